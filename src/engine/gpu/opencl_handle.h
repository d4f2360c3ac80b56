#pragma once

#include <CL/cl.h>

#include <utility>

namespace corvanta::engine::gpu {

// Owns one reference to an OpenCL object and releases it once. Move-only.
template <typename Handle, cl_int (*Release)(Handle)>
class OpenClHandle {
public:
    OpenClHandle() = default;
    explicit OpenClHandle(Handle handle) : handle_(handle) {}
    ~OpenClHandle() { reset(); }
    OpenClHandle(const OpenClHandle&) = delete;
    OpenClHandle& operator=(const OpenClHandle&) = delete;
    OpenClHandle(OpenClHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    OpenClHandle& operator=(OpenClHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Address of a handle slot for APIs that hand back a new object (clEnqueue*'s event).
    Handle* out() {
        reset();
        return &handle_;
    }
    void reset() {
        if (handle_ != nullptr) {
            Release(std::exchange(handle_, nullptr));
        }
    }

private:
    Handle handle_ = nullptr;
};

using ClContext = OpenClHandle<cl_context, clReleaseContext>;
using ClCommandQueue = OpenClHandle<cl_command_queue, clReleaseCommandQueue>;
using ClProgram = OpenClHandle<cl_program, clReleaseProgram>;
using ClKernel = OpenClHandle<cl_kernel, clReleaseKernel>;
using ClMemory = OpenClHandle<cl_mem, clReleaseMemObject>;
using ClEvent = OpenClHandle<cl_event, clReleaseEvent>;

}  // namespace corvanta::engine::gpu
