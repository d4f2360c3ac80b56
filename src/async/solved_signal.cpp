#include "async/solved_signal.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace corvanta::async {

void SolvedSignal::push() {
    if (ended_) {
        return;
    }
    ++pending_;
    wake();
}

void SolvedSignal::end() {
    ended_ = true;
    wake();
}

void SolvedSignal::wake() {
    if (auto waiter = std::exchange(waiter_, nullptr)) {
        // Posted, so the pusher (the validation coordinator) finishes its turn first.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [waiter] { waiter->resume(); }, Qt::QueuedConnection);
    }
}

QCoro::Task<bool> SolvedSignal::next(std::stop_token stop) {
    for (;;) {
        if (pending_ > 0) {
            --pending_;
            co_return true;
        }
        if (ended_ || stop.stop_requested()) {
            co_return false;
        }
        auto waiter = std::make_shared<ResumeSlot>();
        waiter_ = waiter;
        {
            auto onStop = [waiter] {
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [waiter] { waiter->resume(); },
                    Qt::QueuedConnection);
            };
            std::stop_callback<decltype(onStop)> link(stop, onStop);
            co_await waiter->wait();
        }
    }
}

}  // namespace corvanta::async
