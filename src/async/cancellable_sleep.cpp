#include "async/cancellable_sleep.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <memory>

#include "async/resume_slot.h"

namespace corvanta::async {

namespace {

struct SleepState {
    ResumeSlot slot;
    bool completed = false;
};

struct StopHandler {
    std::shared_ptr<SleepState> state;
    void operator()() const {
        // A stop may come from any thread; the sleeper resumes on the main thread.
        auto s = state;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [s] { s->slot.resume(); }, Qt::QueuedConnection);
    }
};

}  // namespace

QCoro::Task<bool> sleepFor(std::chrono::milliseconds duration, std::stop_token stop) {
    if (stop.stop_requested()) {
        co_return false;
    }
    auto state = std::make_shared<SleepState>();
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, [state] {
        state->completed = true;
        state->slot.resume();
    });
    timer->start(duration);
    {
        std::stop_callback onStop(stop, StopHandler{state});
        co_await state->slot.wait();
    }
    // We may be inside the timer's own timeout signal: let the event loop delete it.
    timer->stop();
    timer.release()->deleteLater();
    co_return state->completed;
}

}  // namespace corvanta::async
