#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/gpu/opencl_device.h"
#include "engine/gpu/opencl_handle.h"
#include "engine/gpu/opencl_program_cache.h"

namespace corvanta::engine::gpu {

// The compiled kernel `sha256_search` on one device, and the dispatch of one grid of it.
// Thread-safe: a dispatch takes a command queue, kernel object and buffers of its own from a set
// that later dispatches reuse, so a GPU lane dispatches on the same queue time after time and
// there are only as many queues as dispatches ever ran at once.
class OpenClPipeline {
public:
    static constexpr std::uint32_t kMaxResultsPerDispatch = 65536;

    // What a build did: how often the compiler ran on the source, and whether the program came
    // from the cache.
    struct BuildReport {
        int sourceBuilds = 0;
        bool loadedFromCache = false;
        bool cacheEntryDamaged = false;
        bool storedInCache = false;
    };

    // Builds the program and checks that it has the kernel. With a cache, a binary stored there
    // for this device, driver and source is loaded instead of compiling the source, and a
    // program compiled from source is stored; an entry that cannot be read or loaded is built
    // anew and replaced. Writes the build log, "Kernel sha256_search is missing" and "OpenCL
    // diagnostic pipeline: ready|failed; runtime parity-gated" to the system log as the set-up
    // goes. Empty when no usable kernel came out. Blocks for as long as the compiler runs.
    static std::unique_ptr<OpenClPipeline> build(const OpenClDevice& device,
                                                 std::string_view source,
                                                 const OpenClProgramCache* cache = nullptr,
                                                 BuildReport* report = nullptr);

    // Runs one grid over [first, first + count) and gives its hits sorted ascending, at most
    // kMaxResultsPerDispatch of them; empty on any OpenCL failure. The difficulty must be 0 to
    // 64 and the seed at most 99 bytes. Blocks until the device has finished. `hitCount`, when
    // given, receives how many nonces met the difficulty, those that found no slot included.
    std::optional<std::vector<std::uint64_t>> dispatch(std::string_view seed,
                                                       std::uint32_t difficulty,
                                                       std::uint64_t first, std::uint32_t count,
                                                       std::uint32_t* hitCount = nullptr) const;

    // Takes a built program that has the kernel; use build().
    OpenClPipeline(OpenClDevice device, ClContext context, ClProgram program,
                   std::size_t maxThreadsPerGroup);

    const OpenClDevice& device() const { return device_; }
    std::size_t maxThreadsPerGroup() const { return maxThreadsPerGroup_; }

private:
    // What one dispatch needs besides its inputs, all of the largest size any dispatch needs.
    struct DispatchSlot {
        ClCommandQueue queue;
        ClKernel kernel;  // its arguments are the buffers, set once
        std::array<ClMemory, 8> buffers;
    };
    // An idle slot, or a new one; empty when OpenCL cannot make one.
    std::unique_ptr<DispatchSlot> takeSlot() const;
    void returnSlot(std::unique_ptr<DispatchSlot> slot) const;

    OpenClDevice device_;
    ClContext context_;
    ClProgram program_;
    std::size_t maxThreadsPerGroup_;
    mutable std::mutex slotsMutex_;
    mutable std::vector<std::unique_ptr<DispatchSlot>> idleSlots_;
};

}  // namespace corvanta::engine::gpu
