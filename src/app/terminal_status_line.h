#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>

namespace corvanta::app {

// One line about the engine, written to a terminal at a steady interval, for the person who
// started the headless client by hand: the run log scrolls by on standard output, and this line
// on standard error says at a glance how things stand. Nothing is written where the descriptor
// is not a terminal (a service manager's journal, a pipe, a file), which already has the run
// log. Main thread only.
class TerminalStatusLine : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDefaultInterval{60'000};

    // `compose` builds the line when one is due; `fd` is where it goes.
    TerminalStatusLine(std::function<QString()> compose, int fd, std::chrono::milliseconds interval,
                       QObject* parent = nullptr);

    // Starts the timer when `fd` is a terminal; false (and nothing ever written) otherwise.
    bool start();
    bool isActive() const { return timer_.isActive(); }

    // CORVANTA_STATUS_INTERVAL_MS when it holds a positive number of milliseconds, else the
    // default minute.
    static std::chrono::milliseconds intervalFromEnvironment();

    // "state=running rate=1.23M/s task=T4 progress=41.2%"; task and progress are "-" between
    // tasks.
    static QString compose(const QString& stateWord, double rate, const QString& taskId,
                           std::uint64_t position, std::uint64_t upperBound);

private:
    void write();

    std::function<QString()> compose_;
    int fd_;
    QTimer timer_;
};

}  // namespace corvanta::app
