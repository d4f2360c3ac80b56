#include "headless_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcessEnvironment>

#include <unistd.h>

#include <csignal>

namespace corvanta::testing {

HeadlessProcess::HeadlessProcess(QString baseUrl, QString sharedHome)
    : baseUrl_(std::move(baseUrl)), sharedHome_(std::move(sharedHome)) {}

HeadlessProcess::~HeadlessProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString HeadlessProcess::dataDirectory() const {
    return homeDirectory() + QStringLiteral("/data/Corvanta/Corvanta");
}

QString HeadlessProcess::configDirectory() const {
    return homeDirectory() + QStringLiteral("/config/Corvanta");
}

void HeadlessProcess::start(const QString& key) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVANTA_API_BASE_URL"), baseUrl_);
    if (key.isEmpty()) {
        env.remove(QStringLiteral("CORVANTA_KEY"));
    } else {
        env.insert(QStringLiteral("CORVANTA_KEY"), key);
    }
    const QString home = homeDirectory();
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    env.insert(QStringLiteral("HOME"), home);
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("DISPLAY"));
    // No system bus unless a test brings its own: the machine's sleep and battery stay out.
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
               QStringLiteral("unix:path=") + home + QStringLiteral("/no-system-bus"));
    for (auto it = extraEnvironment_.cbegin(); it != extraEnvironment_.cend(); ++it) {
        env.insert(it.key(), it.value());
    }
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(captureErrors_ ? QProcess::SeparateChannels
                                                  : QProcess::ForwardedErrorChannel);
    partial_.clear();
    if (errorDescriptor_ >= 0) {
        process_.setChildProcessModifier([fd = errorDescriptor_] { ::dup2(fd, STDERR_FILENO); });
    } else {
        process_.setChildProcessModifier({});
    }
    process_.start(QStringLiteral(CORVANTA_HEADLESS_PATH), {});
    process_.waitForStarted(10'000);
}

void HeadlessProcess::drain() {
    // Read both pipes: a full standard-error pipe would block the client.
    errors_ += process_.readAllStandardError();
    partial_ += process_.readAllStandardOutput();
    qsizetype newline = 0;
    while ((newline = partial_.indexOf('\n')) >= 0) {
        lines_.append(QString::fromUtf8(partial_.left(newline)));
        partial_.remove(0, newline + 1);
    }
}

const QByteArray& HeadlessProcess::standardError() {
    drain();
    return errors_;
}

const QStringList& HeadlessProcess::lines() {
    drain();
    return lines_;
}

int HeadlessProcess::countMatching(const QString& pattern) {
    drain();
    const QRegularExpression expression(pattern);
    int count = 0;
    for (const QString& line : lines_) {
        count += expression.match(line).hasMatch() ? 1 : 0;
    }
    return count;
}

bool HeadlessProcess::waitFor(const QString& pattern, int count, std::chrono::milliseconds limit) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < limit.count()) {
        if (countMatching(pattern) >= count) {
            return true;
        }
        if (process_.state() == QProcess::NotRunning) {
            return countMatching(pattern) >= count;
        }
        process_.waitForReadyRead(50);
        QCoreApplication::processEvents();
    }
    return false;
}

void HeadlessProcess::readFor(std::chrono::milliseconds limit) {
    if (process_.state() != QProcess::NotRunning) {
        process_.waitForReadyRead(static_cast<int>(limit.count()));
    }
    drain();
}

int HeadlessProcess::terminate(std::chrono::milliseconds limit) {
    if (process_.state() == QProcess::NotRunning) {
        drain();
        return process_.exitCode();
    }
    ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
    return waitForExit(limit);
}

int HeadlessProcess::waitForExit(std::chrono::milliseconds limit) {
    if (!process_.waitForFinished(static_cast<int>(limit.count()))) {
        return -1;
    }
    drain();
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

void HeadlessProcess::kill() {
    ::kill(static_cast<pid_t>(process_.processId()), SIGKILL);
    process_.waitForFinished(10'000);
    drain();
}

}  // namespace corvanta::testing
