#include "async/main_thread.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace corvanta::async {

namespace {

struct Handoff {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool ran = false;

    // The first outcome counts: a drop reported after the work has run changes nothing. Notifies
    // under the lock: the waiter may free this object as soon as it sees `finished`.
    void finish(bool didRun) {
        std::lock_guard lock(mutex);
        if (finished) {
            return;
        }
        finished = true;
        ran = didRun;
        done.notify_all();
    }
};

// Dies with the last copy of the posted work, on whichever thread drops it: reports the work as
// not run unless it already ran. (Reading a shared flag from the copies instead would race with
// the main thread setting it.)
struct DropReport {
    std::shared_ptr<Handoff> handoff;
    ~DropReport() { handoff->finish(false); }
};

// Marks the handoff finished even when the posted event is dropped unrun (its receiver died).
struct PostedWork {
    std::shared_ptr<Handoff> handoff;
    std::shared_ptr<std::function<void()>> work;
    std::shared_ptr<DropReport> dropReport;

    void operator()() const {
        (*work)();
        handoff->finish(true);
    }
};

}  // namespace

bool isMainThread() {
    const auto* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

bool MainThreadHop::await_ready() const noexcept {
    return isMainThread();
}

void MainThreadHop::await_suspend(std::coroutine_handle<> handle) const {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [handle] { handle.resume(); }, Qt::QueuedConnection);
}

void EventLoopYield::await_suspend(std::coroutine_handle<> handle) const {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [handle] { handle.resume(); }, Qt::QueuedConnection);
}

bool runOnMainThreadAndWait(std::function<void()> work, std::function<bool()> giveUp) {
    if (isMainThread()) {
        work();
        return true;
    }
    auto* app = QCoreApplication::instance();
    if (app == nullptr) {
        return false;
    }
    auto handoff = std::make_shared<Handoff>();
    QMetaObject::invokeMethod(
        app,
        PostedWork{handoff, std::make_shared<std::function<void()>>(std::move(work)),
                   std::make_shared<DropReport>(handoff)},
        Qt::QueuedConnection);
    std::unique_lock lock(handoff->mutex);
    while (!handoff->finished) {
        if ((giveUp && giveUp()) || QCoreApplication::instance() == nullptr) {
            return false;
        }
        handoff->done.wait_for(lock, std::chrono::milliseconds(20));
    }
    return handoff->ran;
}

}  // namespace corvanta::async
