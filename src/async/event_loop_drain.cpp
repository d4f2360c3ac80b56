#include "async/event_loop_drain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QTimer>

namespace corvanta::async {

namespace {

// Sees every event of the main thread (installed on the application object) and notes when the
// last one that was not the drain's own wake-up arrived.
class ActivityWatch : public QObject {
public:
    ActivityWatch(const QObject* own, const QElapsedTimer& clock) : own_(own), clock_(clock) {}
    qint64 lastActivity() const { return lastActivity_; }

protected:
    bool eventFilter(QObject* receiver, QEvent*) override {
        if (receiver != own_) {
            lastActivity_ = clock_.elapsed();
        }
        return false;
    }

private:
    const QObject* own_;
    const QElapsedTimer& clock_;
    qint64 lastActivity_ = 0;
};

}  // namespace

void drainEventLoop(std::chrono::milliseconds quiet, std::chrono::milliseconds limit) {
    auto* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    QElapsedTimer clock;
    clock.start();
    QTimer wakeUp;
    wakeUp.start(10);
    ActivityWatch watch(&wakeUp, clock);
    app->installEventFilter(&watch);
    while (clock.elapsed() - watch.lastActivity() < quiet.count() &&
           clock.elapsed() < limit.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    app->removeEventFilter(&watch);
}

}  // namespace corvanta::async
