#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <memory>

namespace corvanta::app {

// SIGINT and SIGTERM as a Qt signal on the thread that made this object (the main thread): the
// handler only writes a byte to a socket pair that a QSocketNotifier watches, so whatever
// follows runs on the event loop. One instance at a time in a process; the signals' earlier
// actions come back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the socket pair could not be made: the signals then keep their earlier action.
    bool isListening() const { return notifier_ != nullptr; }

signals:
    // SIGINT or SIGTERM arrived; once per signal.
    void received();

private:
    int sockets_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
};

}  // namespace corvanta::app
