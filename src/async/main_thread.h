#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <coroutine>
#include <functional>
#include <stop_token>

namespace corvanta::async {

// `co_await resumeOnMainThread();` continues the coroutine on the Qt event-loop thread. On that
// thread already, it continues without suspending.
class MainThreadHop {
public:
    bool await_ready() const noexcept;
    void await_suspend(std::coroutine_handle<> handle) const;
    void await_resume() const noexcept {}
};

inline MainThreadHop resumeOnMainThread() {
    return {};
}

// `co_await yieldToEventLoop();` always suspends and continues on the main thread once the events
// already posted there have run.
class EventLoopYield {
public:
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) const;
    void await_resume() const noexcept {}
};

inline EventLoopYield yieldToEventLoop() {
    return {};
}

bool isMainThread();

// Posts `work` to the main thread and blocks the calling (background) thread until it has run.
// Returns early, without waiting any longer, once `giveUp` answers true (polled) or the
// application is gone, so a search thread can never hang on a main thread that is shutting down.
// Returns whether `work` ran. On the main thread it simply runs `work`. After an early return
// `work` may still run later, so it must own (or hold weakly) everything it touches.
bool runOnMainThreadAndWait(std::function<void()> work, std::function<bool()> giveUp = {});

}  // namespace corvanta::async
