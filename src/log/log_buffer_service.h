#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "log/compact_line_store.h"
#include "storage/sqlite_database.h"

namespace corvanta::log {

// The one run log of the application. Each line is written to a SQLite file that rotates by size
// and, for a program with a run-log view, kept in a bounded text buffer and handed to the view in
// batches; at start the newest lines of earlier runs are read back for it. A program without a
// view keeps no lines at all: memory stays flat however long it runs.
//
// Lives on the thread of the Qt event loop that drives its flush timer (the main thread); a line
// appended from another thread is posted there. No failure of the file system or of SQLite reaches
// a caller: without a usable database the lines still reach the buffer and the view.
//
// The current file is held with exclusive locks while the service runs (other processes can read
// it once the service is gone); archives are plain rollback-journal files.
class LogBufferService : public QObject {
    Q_OBJECT

public:
    using NowProvider = std::function<QDateTime()>;

    // Whether the lines are kept for a view (the window) or only stored and announced through
    // lineStored (the headless program).
    enum class VisibleLines { kept, none };

    static constexpr qsizetype kMaxBufferSize = 524'288;
    static constexpr qsizetype kMaxVisibleLogLines = 1'000'000;
    static constexpr qsizetype kFlushBatchLines = 200;
    static constexpr int kReloadLineLimit = 500;
    static constexpr std::chrono::milliseconds kUiFlushInterval{150};
    static constexpr quint64 kDefaultFileSizeLimitBytes = 1'073'741'824;
    static constexpr int kDefaultMaxDatabaseFiles = 10;

    // `directory`: where the database files live; nullopt means the application-data directory.
    // An empty path keeps the log in memory only, as does a missing application-data directory
    // (which is reported once in the system log).
    // `fileSizeLimitBytes` 0 counts as 1, `maxDatabaseFiles` below 1 as 1; an empty
    // `nowProvider` is the system clock. With VisibleLines::none nothing is read back, logLines()
    // and buffer() stay empty and no batch is ever announced.
    LogBufferService(std::optional<QString> directory, quint64 fileSizeLimitBytes,
                     int maxDatabaseFiles, NowProvider nowProvider,
                     std::chrono::milliseconds uiFlushInterval = kUiFlushInterval,
                     VisibleLines visibleLines = VisibleLines::kept, QObject* parent = nullptr);
    ~LogBufferService() override;

    LogBufferService(const LogBufferService&) = delete;
    LogBufferService& operator=(const LogBufferService&) = delete;

    // The file size at which the application's log rotates: CORVANTA_RUN_LOG_FILE_LIMIT_BYTES when
    // it holds a positive whole number, otherwise kDefaultFileSizeLimitBytes. Crash tests set a
    // few kilobytes so the log rotates every few dozen lines.
    static quint64 fileSizeLimitFromEnvironment();

    // The log call. Never fails towards the caller.
    void append(const QString& deviceId, const QString& category, const QString& message);

    // Hands the lines waiting for the next batch to the view now.
    void flushPendingLines();

    bool keepsVisibleLines() const { return keepsVisibleLines_; }
    // Visible lines, oldest first. Changes arrive as logLinesAppended / logLinesRemovedFromFront.
    // Shared with the view's models, which may outlive the service at shutdown.
    std::shared_ptr<const CompactLineStore> visibleLines() const { return visibleLines_; }
    // A copy of the visible lines as strings; for checks on short logs, the view reads
    // visibleLines().
    QStringList logLines() const { return visibleLines_->toStringList(); }
    // The newest lines as UTF-8, each followed by a line feed; at most about kMaxBufferSize bytes.
    const std::string& buffer() const { return buffer_; }
    // Empty when the log is kept in memory only.
    const QString& databasePath() const { return dbPath_; }

signals:
    // One line, exactly as stored, right after it was written (not batched).
    void lineStored(const QString& line);
    // A batch of new lines reached the end of logLines().
    void logLinesAppended(const QStringList& lines);
    // The oldest `count` lines left logLines().
    void logLinesRemovedFromFront(qsizetype count);

private:
    void openCurrentDatabase();
    void holdCurrentDatabase();
    void closeCurrentDatabase();
    void insertRow(const QString& deviceId, const QByteArray& line, const QDateTime& now);
    quint64 currentDatabaseSize();
    void rotateIfNeeded();
    QString nextArchivePath(const QDateTime& now) const;
    // Oldest first, by the time each was written.
    QStringList archivedDatabaseFiles() const;
    void pruneArchives();
    void loadRecentLines(int limit);
    void scheduleUiFlush();
    const QString& timestampFor(const QDateTime& now);

    bool keepsVisibleLines_;
    std::string buffer_;
    QString dbDirectory_;
    QString dbPath_;
    quint64 fileSizeLimitBytes_;
    int maxDatabaseFiles_;
    NowProvider nowProvider_;

    // The connection first, so the statements on it are finalised before it closes.
    std::optional<storage::SqliteDatabase> db_;
    std::optional<storage::SqliteStatement> insertStatement_;
    std::optional<storage::SqliteStatement> pageCountStatement_;
    qint64 pageSize_ = 0;

    QStringList pendingUiLines_;
    QTimer uiFlushTimer_;
    std::shared_ptr<CompactLineStore> visibleLines_ = std::make_shared<CompactLineStore>();

    qint64 stampSecond_ = -1;
    QString stampText_;
};

}  // namespace corvanta::log
