#include "app/terminal_status_line.h"

#include <unistd.h>

#include <cerrno>

#include "tasks/lane_plan.h"

namespace corvanta::app {

TerminalStatusLine::TerminalStatusLine(std::function<QString()> compose, int fd,
                                       std::chrono::milliseconds interval, QObject* parent)
    : QObject(parent), compose_(std::move(compose)), fd_(fd) {
    timer_.setInterval(interval);
    connect(&timer_, &QTimer::timeout, this, &TerminalStatusLine::write);
}

bool TerminalStatusLine::start() {
    if (::isatty(fd_) != 1) {
        return false;
    }
    timer_.start();
    return true;
}

std::chrono::milliseconds TerminalStatusLine::intervalFromEnvironment() {
    bool ok = false;
    const qint64 value = qEnvironmentVariable("CORVANTA_STATUS_INTERVAL_MS").toLongLong(&ok);
    return ok && value > 0 ? std::chrono::milliseconds(value) : kDefaultInterval;
}

QString TerminalStatusLine::compose(const QString& stateWord, double rate, const QString& taskId,
                                    std::uint64_t position, std::uint64_t upperBound) {
    // Between tasks there is neither a task nor a share of one done.
    const bool hasTask = !taskId.isEmpty() && taskId != QStringLiteral("-") && upperBound > 0;
    return QStringLiteral("state=") + stateWord + QStringLiteral(" rate=") +
           tasks::rateLabel(rate) + QStringLiteral(" task=") +
           (hasTask ? taskId : QStringLiteral("-")) + QStringLiteral(" progress=") +
           (hasTask ? tasks::progressLabel(position, upperBound) + QStringLiteral("%")
                    : QStringLiteral("-"));
}

void TerminalStatusLine::write() {
    const QByteArray line =
        QStringLiteral("corvanta-headless: ").toUtf8() + compose_().toUtf8() + '\n';
    // One write of a short line: the terminal shows it whole between the run log's lines. A
    // terminal that has gone away costs nothing but this failed call.
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t written =
            ::write(fd_, line.constData() + done, static_cast<std::size_t>(line.size() - done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        done += written;
    }
}

}  // namespace corvanta::app
