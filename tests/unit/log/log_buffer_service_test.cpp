#include <gtest/gtest.h>

#include <time.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include "log/log_buffer_service.h"
#include "log/log_lines_model.h"
#include "storage/sqlite_database.h"

namespace corvanta::log {
namespace {

using namespace std::chrono_literals;
using storage::SqliteDatabase;
using storage::SqliteOpenMode;
using storage::SqliteStatement;

constexpr const char* kCreateSql =
    "CREATE TABLE IF NOT EXISTS log_records (id INTEGER PRIMARY KEY AUTOINCREMENT, device_id TEXT "
    "NOT NULL, log_line TEXT NOT NULL, reported INTEGER DEFAULT 0, created_at REAL NOT NULL);";

QString fromView(std::optional<std::string_view> text) {
    return text ? QString::fromUtf8(text->data(), qsizetype(text->size())) : QString();
}

// Writes a log database as an earlier run would have left it.
void writeLogFile(const QString& path, const QStringList& lines) {
    SqliteDatabase db = SqliteDatabase::open(path.toStdString(), SqliteOpenMode::readWriteCreate);
    db.exec(kCreateSql);
    db.exec("BEGIN;");
    SqliteStatement insert = db.prepare(
        "INSERT INTO log_records (device_id, log_line, reported, created_at) VALUES ('7', ?, 0, "
        "1);");
    for (const QString& line : lines) {
        insert.bindText(1, line.toStdString());
        insert.step();
        insert.reset();
    }
    db.exec("COMMIT;");
}

QStringList numbered(const QString& prefix, int from, int to) {
    QStringList lines;
    for (int i = from; i < to; ++i) {
        lines.append(prefix + QString::number(i));
    }
    return lines;
}

QStringList storedLines(const QString& path) {
    QStringList lines;
    SqliteDatabase db = SqliteDatabase::open(path.toStdString(), SqliteOpenMode::readOnly);
    SqliteStatement select = db.prepare("SELECT log_line FROM log_records ORDER BY id;");
    while (select.step() == SqliteStatement::StepResult::row) {
        lines.append(fromView(select.columnText(0)));
    }
    return lines;
}

class LogBufferServiceTest : public ::testing::Test {
protected:
    std::unique_ptr<LogBufferService> makeService(quint64 sizeLimit = 1 << 30, int files = 10,
                                                  std::chrono::milliseconds interval = 150ms) {
        return makeServiceIn(dir_.path(), sizeLimit, files, interval);
    }

    std::unique_ptr<LogBufferService> makeServiceIn(const QString& directory, quint64 sizeLimit,
                                                    int files,
                                                    std::chrono::milliseconds interval = 150ms) {
        return std::make_unique<LogBufferService>(
            directory, sizeLimit, files, [this] { return clock_; }, interval);
    }

    QString path(const QString& name) const { return dir_.filePath(name); }

    QStringList entries() const {
        return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // The archive name of the current clock reading.
    QString archiveName(const QString& suffix = QString()) const {
        return "corvanta_logs_" + clock_.toLocalTime().toString("yyyyMMdd_HHmmss_zzz") + suffix +
               ".db";
    }

    QTemporaryDir dir_;
    QDateTime clock_{QDate(2026, 1, 31), QTime(8, 15, 2, 345), QTimeZone::utc()};
};

TEST_F(LogBufferServiceTest, LinesAreFormattedSanitisedStoredAndReloaded) {
    // Any zone in, UTC out.
    clock_ = QDateTime(QDate(2026, 1, 31), QTime(10, 15, 2, 345), QTimeZone(7200));
    const QStringList expected = {
        "[2026-01-31T08:15:02Z] [TASK_ENGINE] a b c\td",
        "[2026-01-31T08:15:02Z] [WARN] ",
        "[2026-01-31T08:15:02Z] [SUBMIT] 📤 nonce ✅ 🎯 中 x y   z",
        "[2026-01-31T08:15:02Z] [  CPU] split",
    };
    {
        auto service = makeService();
        service->append("17", "TASK_ENGINE", "a\nb\rc\td");
        service->append("?", "WARN", "");
        // DEL, a C1 control and a bidirectional override go too.
        service->append("17", "SUBMIT", "📤 nonce ✅ 🎯 中 x\x01y\x7f\u0085\u202ez");
        service->append("17", "\r\nCPU", "split");
        EXPECT_EQ(QString::fromStdString(service->buffer()), expected.join('\n') + '\n');
        EXPECT_TRUE(service->logLines().isEmpty());  // not yet handed to the view

        QSignalSpy appended(service.get(), &LogBufferService::logLinesAppended);
        ASSERT_TRUE(appended.wait(5000));
        EXPECT_EQ(service->logLines(), expected);
    }

    SqliteDatabase db =
        SqliteDatabase::open(path("corvanta_logs.db").toStdString(), SqliteOpenMode::readOnly);
    SqliteStatement rows = db.prepare(
        "SELECT device_id, log_line, reported, created_at FROM log_records ORDER BY id;");
    for (const QString& line : expected) {
        ASSERT_EQ(rows.step(), SqliteStatement::StepResult::row);
        EXPECT_EQ(fromView(rows.columnText(0)), line.contains("WARN") ? "?" : "17");
        EXPECT_EQ(fromView(rows.columnText(1)), line);
        EXPECT_EQ(rows.columnInt64(2), 0);
        EXPECT_DOUBLE_EQ(rows.columnDouble(3), 1769847302.345);
    }
    EXPECT_EQ(rows.step(), SqliteStatement::StepResult::done);

    // A restart shows the same lines, and only as history.
    auto restarted = makeService();
    EXPECT_EQ(restarted->logLines(), expected);
    EXPECT_TRUE(restarted->buffer().empty());
}

TEST_F(LogBufferServiceTest, FilesHoldTheExactTableStatement) {
    {
        auto service = makeService(0, 10);  // rotates at once: a current file and an archive
        service->append("1", "TASK", "line");
    }
    const QStringList files = entries();
    // Nothing beside the databases once the service is gone.
    for (const QString& file : files) {
        EXPECT_TRUE(file.endsWith(".db")) << file.toStdString();
    }
    ASSERT_GE(files.size(), 2);
    for (const QString& file : files) {
        QProcess sqlite3;
        sqlite3.start("sqlite3", {"-readonly", path(file),
                                  "SELECT sql FROM sqlite_master WHERE name = 'log_records';"});
        ASSERT_TRUE(sqlite3.waitForFinished(20000));
        EXPECT_EQ(sqlite3.exitCode(), 0) << sqlite3.readAllStandardError().toStdString();
        EXPECT_EQ(sqlite3.readAllStandardOutput().toStdString(),
                  "CREATE TABLE log_records (id INTEGER PRIMARY KEY AUTOINCREMENT, device_id TEXT "
                  "NOT NULL, log_line TEXT NOT NULL, reported INTEGER DEFAULT 0, created_at REAL "
                  "NOT NULL)\n")
            << file.toStdString();
    }
}

TEST_F(LogBufferServiceTest, BufferDropsItsWholeLinesAtTheByteBound) {
    auto service = makeServiceIn(QString(), 1 << 30, 10);
    // Three UTF-8 bytes per character: the bound counts bytes, not characters.
    const QString message(300, QChar(0x2705));
    service->append("1", "ENGINE", message);
    const std::size_t lineBytes = service->buffer().size();
    ASSERT_EQ(lineBytes, std::string("[2026-01-31T08:15:02Z] [ENGINE] ").size() + 900 + 1);

    const std::size_t fitting = (LogBufferService::kMaxBufferSize - 1) / lineBytes;
    for (std::size_t i = 1; i < fitting; ++i) {
        service->append("1", "ENGINE", message);
    }
    EXPECT_EQ(service->buffer().size(), fitting * lineBytes);
    service->append("1", "ENGINE", message);
    EXPECT_TRUE(service->buffer().empty());
    service->append("1", "ENGINE", "next");
    EXPECT_EQ(service->buffer(), "[2026-01-31T08:15:02Z] [ENGINE] next\n");
}

TEST_F(LogBufferServiceTest, RotationNamesArchivesAndKeepsTheNewestFiles) {
    {
        // Limit 0 counts as 1 byte: construction already rotates the fresh file, and so does
        // every append.
        auto service = makeService(0, 4);
        EXPECT_TRUE(QFile::exists(path(archiveName())));
        service->append("1", "TASK", "first");
        service->append("1", "TASK", "second");
        // Same millisecond: the next free suffix.
        EXPECT_TRUE(QFile::exists(path(archiveName("_1"))));
        EXPECT_TRUE(QFile::exists(path(archiveName("_2"))));
        EXPECT_EQ(storedLines(path(archiveName("_1"))),
                  QStringList{"[2026-01-31T08:15:02Z] [TASK] first"});
        EXPECT_EQ(storedLines(path(archiveName("_2"))),
                  QStringList{"[2026-01-31T08:15:02Z] [TASK] second"});

        clock_ = clock_.addMSecs(1);
        service->append("1", "TASK", "third");
        // Four files in all: the current one and the three newest archives.
        EXPECT_EQ(entries().filter(QRegularExpression("^corvanta_logs_.*\\.db$")),
                  QStringList({archiveName().replace("_346.db", "_345_1.db"),
                               archiveName().replace("_346.db", "_345_2.db"), archiveName()}));
        EXPECT_TRUE(QFile::exists(path("corvanta_logs.db")));
    }
    // Archives are whole files that a read-only reader can use without leaving files behind.
    SqliteDatabase archive =
        SqliteDatabase::open(path(archiveName()).toStdString(), SqliteOpenMode::readOnly);
    SqliteStatement mode = archive.prepare("PRAGMA journal_mode;");
    ASSERT_EQ(mode.step(), SqliteStatement::StepResult::row);
    EXPECT_EQ(mode.columnText(0), "delete");
    auto restarted = makeService(1 << 30, 4);
    EXPECT_EQ(restarted->logLines(), QStringList({"[2026-01-31T08:15:02Z] [TASK] first",
                                                  "[2026-01-31T08:15:02Z] [TASK] second",
                                                  "[2026-01-31T08:15:02Z] [TASK] third"}));
    for (const QString& file : entries()) {
        EXPECT_FALSE(file.startsWith("corvanta_logs_") && !file.endsWith(".db"))
            << file.toStdString();
    }
}

// Sets the process's time zone while it lives, then restores the one before.
class TimeZoneScope {
public:
    explicit TimeZoneScope(const char* zone)
        : hadZone_(qEnvironmentVariableIsSet("TZ")), previous_(qgetenv("TZ")) {
        set(zone);
    }
    ~TimeZoneScope() {
        if (hadZone_) {
            qputenv("TZ", previous_);
        } else {
            qunsetenv("TZ");
        }
        tzset();
    }
    TimeZoneScope(const TimeZoneScope&) = delete;
    TimeZoneScope& operator=(const TimeZoneScope&) = delete;

    static void set(const char* zone) {
        qputenv("TZ", zone);
        tzset();
    }

private:
    bool hadZone_;
    QByteArray previous_;
};

TEST_F(LogBufferServiceTest, ArchivesAreOrderedByTheTimeTheyWereWritten) {
    TimeZoneScope zone("America/New_York");
    const auto at = [](int day, int hour, int minute) {
        return QDateTime(QDate(2026, 11, day), QTime(hour, minute), QTimeZone::utc());
    };
    const auto line = [](const QDateTime& time, const QString& message) {
        return "[" + time.toString("yyyy-MM-ddTHH:mm:ss") + "Z] [TASK] " + message;
    };
    // On 1 November 2026 New York's clocks go from 01:59 EDT back to 01:00 EST: the archives
    // written at 01:10 and 01:40 EST are the newest, though their names sort among the others.
    const QDateTime times[] = {at(1, 5, 20), at(1, 5, 50), at(1, 6, 10), at(1, 6, 40)};
    const QString messages[] = {"01:20 EDT", "01:50 EDT", "01:10 EST", "01:40 EST"};
    {
        clock_ = at(1, 4, 0);
        auto service = makeService(0, 3);  // every append rotates; two archives are kept
        for (int i = 0; i < 4; ++i) {
            clock_ = times[i];
            service->append("1", "TASK", messages[i]);
        }
    }
    EXPECT_EQ(entries().filter(QRegularExpression("^corvanta_logs_")),
              QStringList({"corvanta_logs_20261101_011000_000.db",
                           "corvanta_logs_20261101_014000_000.db"}));
    {
        auto restarted = makeService(1 << 30, 3);
        EXPECT_EQ(restarted->logLines(),
                  QStringList({line(times[2], messages[2]), line(times[3], messages[3])}));
    }

    // A move to another zone: the Tokyo archive is older than the New York one written an hour
    // later, whose name puts it on the day before.
    QTemporaryDir moved;
    const auto rotateIn = [&](const char* zoneName, const QDateTime& time, const QString& text) {
        TimeZoneScope::set(zoneName);
        clock_ = time;
        auto service = makeServiceIn(moved.path(), 1 << 30, 10);
        service->append("1", "TASK", text);
        service.reset();
        // A later start with a limit of one byte archives what the run left.
        auto rotating = makeServiceIn(moved.path(), 0, 10);
    };
    rotateIn("Asia/Tokyo", at(2, 0, 0), "in Tokyo");
    rotateIn("America/New_York", at(2, 1, 0), "in New York");
    EXPECT_EQ(QDir(moved.path()).entryList({"corvanta_logs_*"}, QDir::Files, QDir::Name),
              QStringList({"corvanta_logs_20261101_200000_000.db",
                           "corvanta_logs_20261102_090000_000.db"}));
    // An archive whose name holds no stamp counts by its file's time: older than both.
    const QString renamed = QDir(moved.path()).filePath("corvanta_logs_saved.db");
    writeLogFile(renamed, {"saved earlier"});
    {
        QFile file(renamed);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ASSERT_TRUE(file.setFileTime(at(1, 12, 0), QFileDevice::FileModificationTime));
    }
    auto reloaded = makeServiceIn(moved.path(), 1 << 30, 10);
    EXPECT_EQ(reloaded->logLines(), QStringList({"saved earlier", line(at(2, 0, 0), "in Tokyo"),
                                                 line(at(2, 1, 0), "in New York")}));
}

TEST_F(LogBufferServiceTest, SingleFileSettingDeletesEveryArchiveWithItsCompanions) {
    const QString old = "corvanta_logs_20250101_000000_000.db";
    writeLogFile(path(old), {"old line"});
    for (const char* companion : {"-wal", "-shm", "-journal"}) {
        QFile file(path(old + companion));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // Not archives: another extension, a hidden file, another name.
    for (const char* other :
         {"corvanta_logs_20250101_000000_000.txt", ".corvanta_logs_hidden.db", "notes.db"}) {
        QFile file(path(other));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    auto service = makeService(0, 0);  // 0 files counts as 1: only the current one is kept
    service->append("1", "TASK", "gone with its archive");
    service->append("1", "TASK", "this one too");
    EXPECT_EQ(entries().filter(QRegularExpression("^corvanta_logs_")),
              QStringList{"corvanta_logs_20250101_000000_000.txt"});
    EXPECT_TRUE(QFile::exists(path(".corvanta_logs_hidden.db")));
    EXPECT_TRUE(QFile::exists(path("notes.db")));
    EXPECT_TRUE(QFile::exists(path("corvanta_logs.db")));
    EXPECT_TRUE(service->logLines().isEmpty());
}

TEST_F(LogBufferServiceTest, ReloadTakesTheNewest500LinesAcrossFilesOldestFirst) {
    writeLogFile(path("corvanta_logs_20260101_000000_000.db"), numbered("oldest ", 0, 1000));
    writeLogFile(path("corvanta_logs_20260130_000000_000.db"), numbered("newer ", 0, 1000));
    writeLogFile(path("corvanta_logs.db"), numbered("current ", 0, 300));
    {
        auto service = makeService();
        EXPECT_EQ(service->logLines(),
                  numbered("newer ", 800, 1000) + numbered("current ", 0, 300));
    }

    // Fewer lines in the newer files: the rest comes from older ones, each chunk in order.
    QTemporaryDir other;
    const QDir dir(other.path());
    writeLogFile(dir.filePath("corvanta_logs_20260101_000000_000.db"),
                 numbered("oldest ", 0, 1000));
    writeLogFile(dir.filePath("corvanta_logs_20260115_000000_000.db"), {});
    QFile junk(dir.filePath("corvanta_logs_20260120_000000_000.db"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(5000, 'x'));
    junk.close();
    writeLogFile(dir.filePath("corvanta_logs_20260130_000000_000.db"), numbered("newer ", 0, 100));
    writeLogFile(dir.filePath("corvanta_logs.db"), numbered("current ", 0, 100));
    auto service = makeServiceIn(other.path(), 1 << 30, 10);
    EXPECT_EQ(service->logLines(), numbered("oldest ", 700, 1000) + numbered("newer ", 0, 100) +
                                       numbered("current ", 0, 100));
}

TEST_F(LogBufferServiceTest, DamagedRowsAreNotReloaded) {
    writeLogFile(path("corvanta_logs.db"),
                 {"good 1", "bad \xEF\xBF\xBD replacement", "bad \x01 control", "bad \n feed",
                  "bad \xC2\x85 C1", "bad \xE2\x80\xAE override", "bad \xE2\x80\xA8 separator",
                  "   \t  ", "\xC2\xA0\xE3\x80\x80", "tab\tkept", "good 2"});
    {
        SqliteDatabase db = SqliteDatabase::open(path("corvanta_logs.db").toStdString(),
                                                 SqliteOpenMode::readWriteCreate);
        // Invalid UTF-8, an overlong encoding and an empty text, as raw bytes.
        db.exec(
            "INSERT INTO log_records (device_id, log_line, created_at) VALUES ('7', CAST(X'626164"
            "20C328' AS TEXT), 1), ('7', CAST(X'C0AF' AS TEXT), 1), ('7', '', 1), ('7', 'good 3', "
            "1);");
    }
    {
        // An older writer without the NOT NULL constraint.
        SqliteDatabase db =
            SqliteDatabase::open(path("corvanta_logs_20260101_000000_000.db").toStdString(),
                                 SqliteOpenMode::readWriteCreate);
        db.exec(
            "CREATE TABLE log_records (id INTEGER PRIMARY KEY, device_id TEXT, log_line TEXT, "
            "reported INTEGER, created_at REAL); INSERT INTO log_records (log_line) VALUES "
            "('archived'), (NULL);");
    }
    auto service = makeService();
    EXPECT_EQ(service->logLines(),
              QStringList({"archived", "good 1", "tab\tkept", "good 2", "good 3"}));
}

TEST_F(LogBufferServiceTest, BatchesReachTheView) {
    auto service = makeService(1 << 30, 10, 40ms);
    LogLinesModel model(service.get());
    QSignalSpy appended(service.get(), &LogBufferService::logLinesAppended);

    for (int i = 0; i < 199; ++i) {
        service->append("1", "CPU", QString::number(i));
    }
    EXPECT_TRUE(service->logLines().isEmpty());
    ASSERT_TRUE(appended.wait(5000));
    ASSERT_EQ(appended.count(), 1);
    EXPECT_EQ(appended.at(0).at(0).toStringList().size(), 199);
    EXPECT_EQ(service->logLines().size(), 199);

    // The 200th pending line hands over all of them at once, without the event loop.
    for (int i = 0; i < 200; ++i) {
        service->append("1", "CPU", QString::number(i));
    }
    EXPECT_EQ(appended.count(), 2);
    EXPECT_EQ(service->logLines().size(), 399);
    EXPECT_EQ(model.rowCount(), 399);
    EXPECT_EQ(model.data(model.index(398)).toString(), service->logLines().last());

    // The view may ask for what is pending before the batch is due.
    service->append("1", "CPU", "early");
    service->append("1", "CPU", "early");
    service->flushPendingLines();
    EXPECT_EQ(appended.count(), 3);
    EXPECT_EQ(service->logLines().size(), 401);
    EXPECT_EQ(model.rowCount(), 401);
    service->flushPendingLines();
    EXPECT_EQ(appended.count(), 3);

    // A flush still scheduled when the service goes away does nothing.
    service->append("1", "CPU", "last");
    service.reset();
    QTest::qWait(80);
    EXPECT_EQ(model.rowCount(), 401);
    // The model still reads the lines it shows.
    EXPECT_EQ(model.data(model.index(400)).toString(), "[2026-01-31T08:15:02Z] [CPU] early");
    EXPECT_EQ(model.text(399, 400),
              "[2026-01-31T08:15:02Z] [CPU] early\n"
              "[2026-01-31T08:15:02Z] [CPU] early");
}

TEST_F(LogBufferServiceTest, ViewIsCutToHalfPastAMillionLines) {
    auto service = makeServiceIn(QString(), 1 << 30, 10, 1h);
    LogLinesModel model(service.get());
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    // A view may still read the rows around a cut while it is being announced.
    QString firstKeptBeforeCut;
    QObject::connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved,
                     [&](const QModelIndex&, int, int last) {
                         firstKeptBeforeCut = model.data(model.index(last + 1)).toString();
                     });
    for (qsizetype i = 0; i < LogBufferService::kMaxVisibleLogLines; ++i) {
        service->append("1", "CPU", QString::number(i));
    }
    EXPECT_EQ(service->logLines().size(), LogBufferService::kMaxVisibleLogLines);
    EXPECT_EQ(removed.count(), 0);
    for (int i = 0; i < 200; ++i) {
        service->append("1", "CPU", "over " + QString::number(i));
    }
    const qsizetype kept = LogBufferService::kMaxVisibleLogLines / 2;
    ASSERT_EQ(service->logLines().size(), kept);
    EXPECT_EQ(service->logLines().first(), "[2026-01-31T08:15:02Z] [CPU] 500200");
    EXPECT_EQ(service->logLines().last(), "[2026-01-31T08:15:02Z] [CPU] over 199");
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(2).toInt(), 500'199);
    EXPECT_EQ(firstKeptBeforeCut, "[2026-01-31T08:15:02Z] [CPU] 500200");
    EXPECT_EQ(model.rowCount(), kept);
    EXPECT_EQ(model.data(model.index(0)), service->logLines().first());
    EXPECT_EQ(model.data(model.index(kept - 1)), service->logLines().last());
    // Half a million short lines in a few of their own sizes, not in per-line objects.
    EXPECT_LT(service->visibleLines()->usedBytes(), std::size_t(kept) * 48);
}

TEST_F(LogBufferServiceTest, WithoutAViewNoLineIsKeptOnlyStoredAndAnnounced) {
    writeLogFile(path("corvanta_logs.db"), {"from an earlier run"});
    auto service = std::make_unique<LogBufferService>(
        dir_.path(), 1 << 30, 10, [this] { return clock_; }, 1ms,
        LogBufferService::VisibleLines::none);
    EXPECT_FALSE(service->keepsVisibleLines());
    LogLinesModel model(service.get());
    QSignalSpy appended(service.get(), &LogBufferService::logLinesAppended);
    QSignalSpy stored(service.get(), &LogBufferService::lineStored);

    for (int i = 0; i < 450; ++i) {
        service->append("1", "CPU", "line " + QString::number(i));
    }
    QTest::qWait(20);
    service->flushPendingLines();

    // Every line reached the file and its listeners, none the memory.
    ASSERT_EQ(stored.count(), 450);
    EXPECT_EQ(stored.at(449).at(0).toString(), "[2026-01-31T08:15:02Z] [CPU] line 449");
    EXPECT_EQ(appended.count(), 0);
    EXPECT_TRUE(service->logLines().isEmpty());
    EXPECT_EQ(service->visibleLines()->usedBytes(), 0u);
    EXPECT_TRUE(service->buffer().empty());
    EXPECT_EQ(model.rowCount(), 0);
    service.reset();
    const QStringList lines = storedLines(path("corvanta_logs.db"));
    ASSERT_EQ(lines.size(), 451);
    EXPECT_EQ(lines.first(), "from an earlier run");
    EXPECT_EQ(lines.last(), "[2026-01-31T08:15:02Z] [CPU] line 449");
}

TEST_F(LogBufferServiceTest, ViewShowsAndCopiesEveryScriptExactly) {
    auto service = makeService(1 << 30, 10, 1ms);
    LogLinesModel model(service.get());
    const QStringList messages = {"📤 nonce ✅ 🎯", "Grüße — Привет", "中文 日本語 한국어",
                                  "e\u0301 tab\tkept 👩‍💻"};
    QStringList expected;
    for (const QString& message : messages) {
        service->append("1", "SUBMIT", message);
        expected.append("[2026-01-31T08:15:02Z] [SUBMIT] " + message);
    }
    service->flushPendingLines();
    EXPECT_EQ(service->logLines(), expected);
    ASSERT_EQ(model.rowCount(), expected.size());
    for (int row = 0; row < model.rowCount(); ++row) {
        EXPECT_EQ(model.data(model.index(row), LogLinesModel::LineRole).toString(), expected[row]);
    }
    EXPECT_EQ(model.text(3, 1), expected.mid(1, 3).join('\n'));
    EXPECT_EQ(model.text(-2, 99), expected.join('\n'));
    // And the same after a restart, read back from the file.
    service.reset();
    EXPECT_EQ(makeService()->logLines(), expected);
}

TEST_F(LogBufferServiceTest, FileThatIsNoDatabaseNeverStopsTheLog) {
    QFile junk(path("corvanta_logs.db"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    const QByteArray junkBytes(16384, 'j');
    junk.write(junkBytes);
    junk.close();
    {
        auto service = makeService(1 << 30, 10, 1ms);
        EXPECT_TRUE(service->logLines().isEmpty());
        service->append("1", "TASK", "kept in memory");
        QSignalSpy appended(service.get(), &LogBufferService::logLinesAppended);
        ASSERT_TRUE(appended.wait(5000));
        EXPECT_EQ(service->logLines(), QStringList{"[2026-01-31T08:15:02Z] [TASK] kept in memory"});
        EXPECT_EQ(service->buffer(), "[2026-01-31T08:15:02Z] [TASK] kept in memory\n");
    }
    ASSERT_TRUE(junk.open(QIODevice::ReadOnly));
    EXPECT_EQ(junk.readAll(), junkBytes);
    junk.close();

    // Once the junk reaches the size limit it is rotated away, and a fresh file (three pages)
    // takes the lines.
    {
        auto service = makeService(16384, 10);
        service->append("1", "TASK", "persisted");
    }
    EXPECT_TRUE(QFile::exists(path(archiveName())));
    EXPECT_EQ(makeService()->logLines(), QStringList{"[2026-01-31T08:15:02Z] [TASK] persisted"});
}

TEST_F(LogBufferServiceTest, LinesFromOtherThreadsArePostedToTheServiceThread) {
    auto service = makeService(1 << 30, 10, 1ms);
    QSignalSpy appended(service.get(), &LogBufferService::logLinesAppended);
    std::thread worker([&] { service->append("1", "GPU0", "from a worker"); });
    worker.join();
    EXPECT_TRUE(service->buffer().empty());
    ASSERT_TRUE(appended.wait(5000));
    EXPECT_EQ(service->logLines(), QStringList{"[2026-01-31T08:15:02Z] [GPU0] from a worker"});
}

TEST_F(LogBufferServiceTest, DefaultDirectoryIsTheApplicationDataDirectory) {
    const QString expected =
        QString::fromUtf8(qgetenv("XDG_DATA_HOME")) + "/Corvanta/Corvanta/corvanta_logs.db";
    LogBufferService own(std::nullopt, 1 << 30, 10, {});
    EXPECT_EQ(own.databasePath(), expected);
    EXPECT_TRUE(QFile::exists(expected));
}

TEST(LogBufferServiceLimit, EnvironmentSetsTheRotationSizeOnlyWithAPositiveNumber) {
    const QByteArray name = "CORVANTA_RUN_LOG_FILE_LIMIT_BYTES";
    const QByteArray saved = qgetenv(name);
    const auto limitFor = [&](const QByteArray& value) {
        qputenv(name, value);
        return LogBufferService::fileSizeLimitFromEnvironment();
    };
    EXPECT_EQ(limitFor(" 8192 "), 8192u);
    for (const QByteArray& unusable : {QByteArray(), QByteArray("0"), QByteArray("-5"),
                                       QByteArray("8k"), QByteArray("99999999999999999999")}) {
        EXPECT_EQ(limitFor(unusable), LogBufferService::kDefaultFileSizeLimitBytes)
            << unusable.constData();
    }
    qunsetenv(name);
    EXPECT_EQ(LogBufferService::fileSizeLimitFromEnvironment(),
              LogBufferService::kDefaultFileSizeLimitBytes);
    if (!saved.isNull()) {
        qputenv(name, saved);
    }
}

}  // namespace
}  // namespace corvanta::log
