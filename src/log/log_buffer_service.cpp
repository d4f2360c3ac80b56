#include "log/log_buffer_service.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include "log/log_line.h"
#include "platform/private_directory.h"
#include "storage/sqlite_error.h"

Q_LOGGING_CATEGORY(lcRunLog, "corvanta.log")

namespace corvanta::log {

namespace {

using storage::SqliteDatabase;
using storage::SqliteError;
using storage::SqliteOpenMode;
using storage::SqliteStatement;

const QString kCurrentFileName = QStringLiteral("corvanta_logs.db");
const QString kArchivePrefix = QStringLiteral("corvanta_logs_");
const QString kCompanionSuffixes[] = {QStringLiteral("-shm"), QStringLiteral("-wal"),
                                      QStringLiteral("-journal")};

constexpr const char* kCreateTableSql =
    "CREATE TABLE IF NOT EXISTS log_records (id INTEGER PRIMARY KEY AUTOINCREMENT, device_id TEXT "
    "NOT NULL, log_line TEXT NOT NULL, reported INTEGER DEFAULT 0, created_at REAL NOT NULL);";
constexpr const char* kInsertSql =
    "INSERT INTO log_records (device_id, log_line, reported, created_at) VALUES (?, ?, 0, ?);";
// A commit per line must not wait for the disk: the write-ahead log with NORMAL syncs only at
// checkpoints and still never corrupts the file. Each commit writes two whole pages (the row's
// and the id counter's), so small pages cut the bytes per line by four; a page holds several
// lines all the same. The page size only takes effect in a new file.
constexpr const char* kFastWritePragmas =
    "PRAGMA page_size=1024; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;";
// Holding the file locks for the life of the connection saves the lock calls of every commit,
// which otherwise cost as much as the write itself.
constexpr const char* kHoldLocksPragma = "PRAGMA locking_mode=EXCLUSIVE;";

std::string toLocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

double secondsSinceEpoch(const QDateTime& time) {
    return static_cast<double>(time.toMSecsSinceEpoch()) / 1000.0;
}

void deleteDatabaseFiles(const QString& path) {
    QFile::remove(path);
    for (const QString& suffix : kCompanionSuffixes) {
        QFile::remove(path + suffix);
    }
}

// An archive's name and what it says about when the archive was written.
struct ArchiveEntry {
    QString path;
    qint64 writtenAtMs = 0;   // UTC
    qint64 modifiedAtMs = 0;  // UTC
    int suffix = 0;           // the "_1", "_2" ... of a taken name
    QString name;
};

// Every zone's offset from UTC is a whole number of quarter hours, at most 14 hours either way.
constexpr qint64 kQuarterHourMs = 15 * 60 * 1000;
constexpr qint64 kLargestZoneOffsetMs = 14 * 60 * 60 * 1000;

// When an archive was written. Its name holds the wall-clock time of the zone it was written in,
// which alone can name two instants an hour apart (a daylight-saving fall-back) or read as
// another instant after a move to another zone. The file's modification time, set to the same
// instant at rotation, gives that zone's offset from UTC (to the quarter hour), and with it the
// stamp reads back as the instant it was taken. A modification time that cannot be such an
// offset away (the file was copied or touched later) leaves the stamp read in this machine's
// zone; a name that is no stamp leaves the modification time alone.
ArchiveEntry describeArchive(const QFileInfo& file) {
    static const QRegularExpression pattern(
        QStringLiteral("^corvanta_logs_(\\d{8})_(\\d{6})_(\\d{3})(?:_(\\d+))?\\.db$"));
    ArchiveEntry entry;
    entry.path = file.filePath();
    entry.name = file.fileName();
    entry.modifiedAtMs = file.lastModified().toMSecsSinceEpoch();
    entry.writtenAtMs = entry.modifiedAtMs;
    const QRegularExpressionMatch match = pattern.match(entry.name);
    if (!match.hasMatch()) {
        return entry;
    }
    const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyyMMdd"));
    const QTime time =
        QTime::fromString(match.captured(2) + match.captured(3), QStringLiteral("HHmmsszzz"));
    if (!date.isValid() || !time.isValid()) {
        return entry;
    }
    entry.suffix = match.captured(4).toInt();
    const qint64 wallMs = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    const qint64 offsetMs = wallMs - entry.modifiedAtMs;
    const qint64 quarters =
        (offsetMs >= 0 ? offsetMs + kQuarterHourMs / 2 : offsetMs - kQuarterHourMs / 2) /
        kQuarterHourMs;
    if (std::abs(quarters * kQuarterHourMs) <= kLargestZoneOffsetMs) {
        entry.writtenAtMs = wallMs - quarters * kQuarterHourMs;
    } else {
        entry.writtenAtMs = QDateTime(date, time, Qt::LocalTime).toMSecsSinceEpoch();
    }
    return entry;
}

// The newest `limit` reloadable lines of one file, oldest first. Uses a connection of its own so
// that an archive is never opened for writing.
QStringList readRecentLines(const QString& path, int limit) {
    QStringList lines;
    try {
        SqliteDatabase db = SqliteDatabase::open(toLocalPath(path), SqliteOpenMode::readOnly);
        SqliteStatement select = db.prepare(
            "SELECT log_line FROM (SELECT id, log_line FROM log_records ORDER BY id DESC LIMIT " +
            std::to_string(std::max(limit, 1)) + ") ORDER BY id ASC;");
        while (select.step() == SqliteStatement::StepResult::row) {
            const auto text = select.columnText(0);
            if (!text.has_value()) {
                continue;
            }
            if (std::optional<QString> line = decodeReloadableLogLine(*text)) {
                lines.append(std::move(*line));
            }
        }
    } catch (const SqliteError&) {
        // An unreadable file gives what was read before the failure, usually nothing.
    }
    return lines;
}

}  // namespace

LogBufferService::LogBufferService(std::optional<QString> directory, quint64 fileSizeLimitBytes,
                                   int maxDatabaseFiles, NowProvider nowProvider,
                                   std::chrono::milliseconds uiFlushInterval,
                                   VisibleLines visibleLines, QObject* parent)
    : QObject(parent),
      keepsVisibleLines_(visibleLines == VisibleLines::kept),
      dbDirectory_(directory.has_value()
                       ? *directory
                       : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)),
      fileSizeLimitBytes_(std::max<quint64>(fileSizeLimitBytes, 1)),
      maxDatabaseFiles_(std::max(maxDatabaseFiles, 1)),
      nowProvider_(nowProvider ? std::move(nowProvider)
                               : NowProvider([] { return QDateTime::currentDateTimeUtc(); })),
      uiFlushTimer_(this) {
    uiFlushTimer_.setSingleShot(true);
    uiFlushTimer_.setInterval(uiFlushInterval);
    connect(&uiFlushTimer_, &QTimer::timeout, this, &LogBufferService::flushPendingLines);

    if (dbDirectory_.isEmpty()) {
        if (!directory.has_value()) {
            qCWarning(lcRunLog)
                << "no application data directory: the run log is kept in memory only";
        }
        return;
    }
    dbPath_ = QDir(dbDirectory_).filePath(kCurrentFileName);
    platform::makePrivateDirectory(dbDirectory_);
    openCurrentDatabase();
    rotateIfNeeded();
    if (keepsVisibleLines_) {
        loadRecentLines(kReloadLineLimit);
    }
    // Only now: the reload reads the current file through a connection of its own.
    holdCurrentDatabase();
}

LogBufferService::~LogBufferService() = default;

quint64 LogBufferService::fileSizeLimitFromEnvironment() {
    bool ok = false;
    const quint64 limit =
        qEnvironmentVariable("CORVANTA_RUN_LOG_FILE_LIMIT_BYTES").trimmed().toULongLong(&ok);
    return ok && limit > 0 ? limit : kDefaultFileSizeLimitBytes;
}

void LogBufferService::append(const QString& deviceId, const QString& category,
                              const QString& message) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, deviceId, category, message] { append(deviceId, category, message); },
            Qt::QueuedConnection);
        return;
    }
    const QDateTime now = nowProvider_();
    QString line = buildLogLine(timestampFor(now), category, message);
    const QByteArray utf8 = line.toUtf8();

    insertRow(deviceId, utf8, now);
    rotateIfNeeded();
    emit lineStored(line);
    if (!keepsVisibleLines_) {
        return;
    }

    buffer_.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    buffer_.push_back('\n');
    pendingUiLines_.append(std::move(line));
    if (pendingUiLines_.size() >= kFlushBatchLines) {
        flushPendingLines();
    } else {
        scheduleUiFlush();
    }

    if (buffer_.size() >= static_cast<std::size_t>(kMaxBufferSize)) {
        const std::size_t lastFeed = buffer_.rfind('\n');
        if (lastFeed != std::string::npos) {
            buffer_.erase(0, lastFeed + 1);
        }
    }
}

const QString& LogBufferService::timestampFor(const QDateTime& now) {
    const qint64 second = now.toSecsSinceEpoch();
    if (second != stampSecond_) {
        stampText_ = logTimestamp(now);
        stampSecond_ = second;
    }
    return stampText_;
}

void LogBufferService::openCurrentDatabase() {
    try {
        db_ = SqliteDatabase::open(toLocalPath(dbPath_), SqliteOpenMode::readWriteCreate);
    } catch (const SqliteError&) {
        db_.reset();
        return;
    }
    try {
        db_->exec(kFastWritePragmas);
    } catch (const SqliteError&) {
        // Slower writes, or a file that is no database; the CREATE below tells which.
    }
    try {
        db_->exec(kCreateTableSql);
        insertStatement_ = db_->prepare(kInsertSql);
        pageCountStatement_ = db_->prepare("PRAGMA page_count;");
        SqliteStatement pageSize = db_->prepare("PRAGMA page_size;");
        pageSize.step();
        pageSize_ = pageSize.columnInt64(0);
    } catch (const SqliteError&) {
        // Rows are then skipped; the lines still reach the buffer and the view.
    }
}

void LogBufferService::holdCurrentDatabase() {
    if (!db_.has_value()) {
        return;
    }
    try {
        db_->exec(kHoldLocksPragma);
    } catch (const SqliteError&) {
        // Only slower.
    }
}

void LogBufferService::closeCurrentDatabase() {
    insertStatement_.reset();
    pageCountStatement_.reset();
    if (db_.has_value()) {
        try {
            // Back to a rollback journal: the file becomes self-contained, and reading it later
            // through a read-only connection leaves no -wal and -shm files behind.
            db_->exec("PRAGMA journal_mode=DELETE;");
        } catch (const SqliteError&) {
        }
    }
    db_.reset();
}

void LogBufferService::insertRow(const QString& deviceId, const QByteArray& line,
                                 const QDateTime& now) {
    if (!db_.has_value()) {
        return;
    }
    if (!insertStatement_.has_value()) {
        try {
            insertStatement_ = db_->prepare(kInsertSql);
        } catch (const SqliteError&) {
            return;
        }
    }
    try {
        const QByteArray device = deviceId.toUtf8();
        insertStatement_->bindText(1, std::string_view(device.constData(), device.size()));
        insertStatement_->bindText(2, std::string_view(line.constData(), line.size()));
        insertStatement_->bindDouble(3, secondsSinceEpoch(now));
        insertStatement_->step();
    } catch (const SqliteError&) {
        // This row is lost; the next one tries again.
    }
    insertStatement_->reset();
}

quint64 LogBufferService::currentDatabaseSize() {
    // In write-ahead mode the file itself lags behind its content until the next checkpoint, so
    // the size the connection sees is the one that counts.
    if (pageCountStatement_.has_value()) {
        try {
            const bool hasRow = pageCountStatement_->step() == SqliteStatement::StepResult::row;
            const qint64 pages = hasRow ? pageCountStatement_->columnInt64(0) : 0;
            pageCountStatement_->reset();
            if (hasRow && pages > 0 && pageSize_ > 0) {
                return static_cast<quint64>(pages) * static_cast<quint64>(pageSize_);
            }
        } catch (const SqliteError&) {
            pageCountStatement_->reset();
        }
    }
    const QFileInfo info(dbPath_);
    return info.exists() ? static_cast<quint64>(info.size()) : 0;
}

void LogBufferService::rotateIfNeeded() {
    if (dbPath_.isEmpty() || currentDatabaseSize() < fileSizeLimitBytes_) {
        return;
    }
    closeCurrentDatabase();
    const QDateTime now = nowProvider_();
    const QString archive = nextArchivePath(now);
    if (QFile::rename(dbPath_, archive)) {
        // Only present when SQLite could not fold them into the file on close; they belong to
        // the archive and must not be taken for the new file's.
        for (const QString& suffix : kCompanionSuffixes) {
            if (QFileInfo::exists(dbPath_ + suffix)) {
                QFile::rename(dbPath_ + suffix, archive + suffix);
            }
        }
        // The file's clock agrees with its stamp: archives are ordered by the two together.
        QFile file(archive);
        if (file.open(QIODevice::ReadOnly)) {
            file.setFileTime(now, QFileDevice::FileModificationTime);
        }
    }
    openCurrentDatabase();
    holdCurrentDatabase();
    pruneArchives();
}

QString LogBufferService::nextArchivePath(const QDateTime& now) const {
    const QString stamp = now.toLocalTime().toString(QStringLiteral("yyyyMMdd_HHmmss_zzz"));
    const QDir dir(dbDirectory_);
    QString path = dir.filePath(kArchivePrefix + stamp + QStringLiteral(".db"));
    for (int n = 1; QFileInfo::exists(path); ++n) {
        path = dir.filePath(kArchivePrefix + stamp + QLatin1Char('_') + QString::number(n) +
                            QStringLiteral(".db"));
    }
    return path;
}

QStringList LogBufferService::archivedDatabaseFiles() const {
    std::vector<ArchiveEntry> archives;
    const QFileInfoList entries =
        QDir(dbDirectory_).entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName().startsWith(kArchivePrefix) && entry.suffix() == QLatin1String("db")) {
            archives.push_back(describeArchive(entry));
        }
    }
    // Oldest first by the time each was written; archives written at the same instant by their
    // files' clocks, then by the suffix their names took in turn.
    std::sort(archives.begin(), archives.end(), [](const ArchiveEntry& a, const ArchiveEntry& b) {
        return std::tie(a.writtenAtMs, a.modifiedAtMs, a.suffix, a.name) <
               std::tie(b.writtenAtMs, b.modifiedAtMs, b.suffix, b.name);
    });
    QStringList paths;
    paths.reserve(static_cast<qsizetype>(archives.size()));
    for (const ArchiveEntry& archive : archives) {
        paths.append(archive.path);
    }
    return paths;
}

void LogBufferService::pruneArchives() {
    const qsizetype keep = std::max(maxDatabaseFiles_ - 1, 0);
    const QStringList archives = archivedDatabaseFiles();
    for (qsizetype i = 0; i < archives.size() - keep; ++i) {
        deleteDatabaseFiles(archives[i]);
    }
}

void LogBufferService::loadRecentLines(int limit) {
    QStringList files;
    if (QFileInfo::exists(dbPath_)) {
        files.append(dbPath_);
    }
    const QStringList archives = archivedDatabaseFiles();
    std::copy(archives.rbegin(), archives.rend(), std::back_inserter(files));

    std::vector<QStringList> chunks;
    qsizetype remaining = std::max(limit, 1);
    for (const QString& file : files) {
        if (remaining < 1) {
            break;
        }
        QStringList lines = readRecentLines(file, static_cast<int>(remaining));
        if (!lines.isEmpty()) {
            remaining -= lines.size();
            chunks.push_back(std::move(lines));
        }
    }
    visibleLines_->clear();
    for (auto chunk = chunks.rbegin(); chunk != chunks.rend(); ++chunk) {
        for (const QString& line : *chunk) {
            visibleLines_->append(line);
        }
    }
}

void LogBufferService::scheduleUiFlush() {
    if (!uiFlushTimer_.isActive()) {
        uiFlushTimer_.start();
    }
}

void LogBufferService::flushPendingLines() {
    if (pendingUiLines_.isEmpty()) {
        return;
    }
    QStringList batch;
    batch.swap(pendingUiLines_);
    for (const QString& line : batch) {
        visibleLines_->append(line);
    }
    emit logLinesAppended(batch);
    if (visibleLines_->size() > kMaxVisibleLogLines) {
        const qsizetype cut = visibleLines_->size() - kMaxVisibleLogLines / 2;
        visibleLines_->removeFront(cut);
        emit logLinesRemovedFromFront(cut);
    }
}

}  // namespace corvanta::log
