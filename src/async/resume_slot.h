#pragma once

#include <coroutine>

namespace corvanta::async {

// A place where one coroutine parks until something resumes it, once. The awaiter holds only a
// plain pointer: GCC 12 copies and destroys co_await temporaries in ways that are unsafe for
// awaiters owning resources, so the owner keeps the slot alive (usually in shared state).
class ResumeSlot {
public:
    struct Awaiter {
        ResumeSlot* slot;
        bool await_ready() const noexcept { return slot->fired_; }
        void await_suspend(std::coroutine_handle<> handle) noexcept { slot->handle_ = handle; }
        void await_resume() const noexcept {}
    };

    Awaiter wait() { return Awaiter{this}; }

    // Resumes the parked coroutine inline; later calls do nothing. Before anyone parks, it makes
    // the next wait() return at once.
    void resume() {
        if (fired_) {
            return;
        }
        fired_ = true;
        if (auto handle = std::exchange(handle_, {})) {
            handle.resume();
        }
    }
    bool fired() const { return fired_; }

private:
    std::coroutine_handle<> handle_;
    bool fired_ = false;
};

}  // namespace corvanta::async
