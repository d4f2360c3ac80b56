#pragma once

#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>

namespace corvanta::testing {

// corvanta-headless run against a devserver with private data, config and cache directories
// (kept across restarts of the same object) and no Secret Service.
class HeadlessProcess {
public:
    // With `sharedHome`, the client uses that HOME (another client's profile) instead of its own.
    explicit HeadlessProcess(QString baseUrl, QString sharedHome = {});
    ~HeadlessProcess();

    // Starts the client; an empty key leaves CORVANTA_KEY unset (the stored sign-in is used).
    void start(const QString& key);
    // An extra variable for every later start (a bus address, say).
    void setEnvironment(const QString& name, const QString& value) {
        extraEnvironment_[name] = value;
    }
    // Standard output lines so far.
    const QStringList& lines();
    // Waits until `count` lines match `pattern`; false on time-out or exit.
    bool waitFor(const QString& pattern, int count = 1,
                 std::chrono::milliseconds limit = std::chrono::seconds(60));
    int countMatching(const QString& pattern);
    // Reads the client's output for up to `limit`, so that its pipe never fills while a test
    // waits for something else.
    void readFor(std::chrono::milliseconds limit);
    // SIGTERM and wait for the exit; the exit code, or -1 when it did not exit.
    int terminate(std::chrono::milliseconds limit = std::chrono::seconds(20));
    void kill();
    // Waits for the process to end on its own; the exit code, or -1.
    int waitForExit(std::chrono::milliseconds limit = std::chrono::seconds(30));
    QString dataDirectory() const;
    // Where the settings file and the fallback secret file live.
    QString configDirectory() const;
    // The HOME that holds the data, config and cache directories.
    QString homeDirectory() const { return sharedHome_.isEmpty() ? home_.path() : sharedHome_; }
    qint64 processId() const { return process_.processId(); }
    void clearLines() { lines_.clear(); }
    // From the next start on, standard error is kept here instead of passing through.
    void captureStandardError() { captureErrors_ = true; }
    const QByteArray& standardError();
    // From the next start on, standard error is this descriptor (a pseudo-terminal, say) in the
    // client; -1 goes back to the default.
    void setStandardErrorDescriptor(int fd) { errorDescriptor_ = fd; }

private:
    void drain();

    QString baseUrl_;
    QTemporaryDir home_;
    QString sharedHome_;
    QProcess process_;
    QStringList lines_;
    QByteArray partial_;
    QByteArray errors_;
    bool captureErrors_ = false;
    int errorDescriptor_ = -1;
    QMap<QString, QString> extraEnvironment_;
};

}  // namespace corvanta::testing
