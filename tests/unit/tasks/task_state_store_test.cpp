#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <nlohmann/json.hpp>

#include "storage/sqlite_database.h"
#include "tasks/store_error.h"
#include "tasks/task_state_store.h"

namespace corvanta::tasks {
namespace {

using engine::NonceRange;
using storage::SqliteDatabase;
using storage::SqliteOpenMode;
using storage::SqliteStatement;

constexpr std::uint64_t kMaxStored = std::numeric_limits<std::int64_t>::max();
constexpr std::uint64_t kMaxNonce = std::numeric_limits<std::uint64_t>::max();

// The table as the first release created it.
constexpr const char* kOldCreateSql =
    "CREATE TABLE task_progress (id TEXT PRIMARY KEY, seed TEXT NOT NULL, difficulty INTEGER NOT "
    "NULL, nonce_position INTEGER NOT NULL, nonce_upper_bound INTEGER NOT NULL, found_nonces TEXT "
    "DEFAULT '', batch_count INTEGER DEFAULT 0, updated_at REAL NOT NULL)";

const char* const kCurrentColumns[] = {"id",
                                       "seed",
                                       "task_id",
                                       "difficulty",
                                       "nonce_position",
                                       "nonce_upper_bound",
                                       "found_nonces",
                                       "batch_count",
                                       "next_unallocated",
                                       "completed_ranges",
                                       "returned_ranges",
                                       "claimed_ranges",
                                       "candidate_nonces",
                                       "updated_at"};

TaskRangeProgress sampleProgress() {
    TaskRangeProgress p;
    p.taskId = "task-🎯-42";
    p.seed = "seed ✅ \xE4\xB8\xAD";
    p.difficulty = 7;
    p.upperBound = kMaxStored;
    p.nextUnallocated = kMaxStored - 1;
    p.completedRanges = {{0, 100}, {200, kMaxNonce}};
    p.returnedRanges = {{100, 150}};
    p.claimedRanges = {{150, 200}, {150, 200}};
    p.candidateNonces = {kMaxNonce, 0, 12345};
    return p;
}

class TaskStateStoreTest : public ::testing::Test {
protected:
    QString dbPath() const { return dir_.filePath("corvanta_tasks.db"); }

    SqliteDatabase openDirect() const {
        return SqliteDatabase::open(dbPath().toStdString(), SqliteOpenMode::readWriteCreate);
    }

    // One text value through the sqlite3 command-line tool.
    QString sqlite3Query(const QString& sql) const {
        QProcess process;
        process.start("sqlite3", {"-readonly", dbPath(), sql});
        EXPECT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput()).chopped(1);
    }

    QStringList columnNames() const {
        QStringList names;
        SqliteDatabase db = openDirect();
        SqliteStatement info = db.prepare("PRAGMA table_info(task_progress);");
        while (info.step() == SqliteStatement::StepResult::row) {
            names.append(QString::fromUtf8(info.columnText(1)->data(),
                                           qsizetype(info.columnText(1)->size())));
        }
        return names;
    }

    QTemporaryDir dir_;
};

TEST_F(TaskStateStoreTest, SaveAndLoadRoundTripEveryField) {
    TaskStateStore store(dir_.path());
    EXPECT_EQ(store.dbPath(), dbPath().toStdString());
    EXPECT_EQ(store.load("unknown seed"), std::nullopt);

    TaskRangeProgress progress = sampleProgress();
    store.save(progress);
    EXPECT_EQ(store.load(progress.seed), progress);

    progress.difficulty = std::numeric_limits<std::int32_t>::min();
    progress.upperBound = 0;
    progress.nextUnallocated = 0;
    progress.completedRanges.clear();
    progress.candidateNonces.clear();
    store.save(progress);
    EXPECT_EQ(store.load(progress.seed), progress);

    // A second store on the same file sees the row: it is on disk, not in a cache.
    TaskStateStore reopened(dir_.path());
    EXPECT_EQ(reopened.load(progress.seed), progress);
}

TEST_F(TaskStateStoreTest, RowHoldsTheDocumentedColumnValues) {
    {
        TaskStateStore store(dir_.path());
        TaskRangeProgress progress = sampleProgress();
        progress.completedRanges = {{1000, 2000}};
        progress.candidateNonces = {5, kMaxNonce, 7};
        store.save(progress);
        progress.seed = "empty";
        progress.candidateNonces.clear();
        store.save(progress);
    }
    SqliteDatabase db = openDirect();
    SqliteStatement row = db.prepare(
        "SELECT id, seed, task_id, difficulty, nonce_position, nonce_upper_bound, found_nonces, "
        "batch_count, next_unallocated, completed_ranges, returned_ranges, claimed_ranges, "
        "candidate_nonces, updated_at FROM task_progress ORDER BY id;");
    ASSERT_EQ(row.step(), SqliteStatement::StepResult::row);
    EXPECT_EQ(row.columnText(0), "empty");
    EXPECT_EQ(row.columnText(6), "");
    EXPECT_EQ(row.columnText(12), "[]");
    ASSERT_EQ(row.step(), SqliteStatement::StepResult::row);
    const TaskRangeProgress expected = sampleProgress();
    EXPECT_EQ(row.columnText(0), expected.seed);
    EXPECT_EQ(row.columnText(1), expected.seed);
    EXPECT_EQ(row.columnText(2), expected.taskId);
    EXPECT_EQ(row.columnInt64(3), 7);
    EXPECT_EQ(row.columnInt64(4), std::int64_t(kMaxStored - 1));
    EXPECT_EQ(row.columnInt64(5), std::int64_t(kMaxStored));
    EXPECT_EQ(row.columnText(6), "5,18446744073709551615,7");
    EXPECT_EQ(row.columnInt64(7), 0);
    EXPECT_EQ(row.columnInt64(8), std::int64_t(kMaxStored - 1));
    EXPECT_EQ(row.columnText(9), R"([{"start":1000,"end":2000}])");
    EXPECT_EQ(row.columnText(10), R"([{"start":100,"end":150}])");
    EXPECT_EQ(row.columnText(11), R"([{"start":150,"end":200},{"start":150,"end":200}])");
    EXPECT_EQ(row.columnText(12), "[5,18446744073709551615,7]");
    const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    EXPECT_NEAR(row.columnDouble(13), now, 600.0);
}

TEST_F(TaskStateStoreTest, SameSeedReplacesAndUpdatedAtMovesOn) {
    TaskStateStore store(dir_.path());
    TaskRangeProgress first = sampleProgress();
    store.save(first);
    TaskRangeProgress second = first;
    second.taskId = "another task";
    second.nextUnallocated = 99;
    store.save(second);
    EXPECT_EQ(store.load(first.seed), second);

    auto updatedAt = [&] {
        SqliteDatabase db = openDirect();
        SqliteStatement select = db.prepare("SELECT COUNT(*), MAX(updated_at) FROM task_progress;");
        select.step();
        EXPECT_EQ(select.columnInt64(0), 1);
        return select.columnDouble(1);
    };
    const double before = updatedAt();
    store.save(second);
    EXPECT_GT(updatedAt(), before);

    store.remove(first.seed);
    EXPECT_EQ(store.load(first.seed), std::nullopt);
    store.remove("never saved");
}

TEST_F(TaskStateStoreTest, OlderTableGainsColumnsOnceAndOldRowsLoad) {
    {
        SqliteDatabase db = openDirect();
        db.exec(std::string(kOldCreateSql) + ";");
        db.exec(
            "INSERT INTO task_progress VALUES ('old', 'old', 6, 5000, 90000, '12,34', 3, 1.5);");
    }
    std::optional<TaskRangeProgress> old;
    {
        TaskStateStore store(dir_.path());
        old = store.load("old");
    }
    // The missing columns come last, in migration order, with their declarations.
    EXPECT_EQ(
        columnNames(),
        QStringList({"id", "seed", "difficulty", "nonce_position", "nonce_upper_bound",
                     "found_nonces", "batch_count", "updated_at", "task_id", "next_unallocated",
                     "completed_ranges", "returned_ranges", "claimed_ranges", "candidate_nonces"}));
    const QString sqlAfterFirstOpen =
        sqlite3Query("SELECT sql FROM sqlite_master WHERE name = 'task_progress';");
    const std::string oldSql = kOldCreateSql;
    EXPECT_EQ(sqlAfterFirstOpen.toStdString(),
              oldSql.substr(0, oldSql.size() - 1) +
                  ", task_id TEXT NOT NULL DEFAULT '', next_unallocated INTEGER DEFAULT 0, "
                  "completed_ranges TEXT DEFAULT '[]', returned_ranges TEXT DEFAULT '[]', "
                  "claimed_ranges TEXT DEFAULT '[]', candidate_nonces TEXT DEFAULT '[]')");

    ASSERT_TRUE(old.has_value());
    EXPECT_EQ(old->seed, "old");
    EXPECT_EQ(old->taskId, "");
    EXPECT_EQ(old->difficulty, 6);
    EXPECT_EQ(old->upperBound, 90000u);
    EXPECT_EQ(old->nextUnallocated, 0u);
    EXPECT_TRUE(old->completedRanges.empty());
    EXPECT_TRUE(old->returnedRanges.empty());
    EXPECT_TRUE(old->claimedRanges.empty());
    EXPECT_TRUE(old->candidateNonces.empty());

    // Opening again finds every column and adds nothing.
    { TaskStateStore again(dir_.path()); }
    EXPECT_EQ(sqlite3Query("SELECT sql FROM sqlite_master WHERE name = 'task_progress';"),
              sqlAfterFirstOpen);
}

TEST_F(TaskStateStoreTest, FreshTableHoldsTheExactCreateStatement) {
    { TaskStateStore store(dir_.path()); }
    EXPECT_EQ(sqlite3Query("SELECT sql FROM sqlite_master WHERE name = 'task_progress';"),
              "CREATE TABLE task_progress (\n"
              "    id TEXT PRIMARY KEY,\n"
              "    seed TEXT NOT NULL,\n"
              "    task_id TEXT NOT NULL DEFAULT '',\n"
              "    difficulty INTEGER NOT NULL,\n"
              "    nonce_position INTEGER NOT NULL,\n"
              "    nonce_upper_bound INTEGER NOT NULL,\n"
              "    found_nonces TEXT DEFAULT '',\n"
              "    batch_count INTEGER DEFAULT 0,\n"
              "    next_unallocated INTEGER DEFAULT 0,\n"
              "    completed_ranges TEXT DEFAULT '[]',\n"
              "    returned_ranges TEXT DEFAULT '[]',\n"
              "    claimed_ranges TEXT DEFAULT '[]',\n"
              "    candidate_nonces TEXT DEFAULT '[]',\n"
              "    updated_at REAL NOT NULL\n"
              ")");
    QStringList expected;
    for (const char* name : kCurrentColumns) {
        expected.append(name);
    }
    EXPECT_EQ(columnNames(), expected);
}

TEST_F(TaskStateStoreTest, JsonColumnsDecodeOrFailTheLoad) {
    TaskStateStore store(dir_.path());
    store.save(sampleProgress());
    const std::string seed = sampleProgress().seed;
    auto setColumns = [&](const std::string& assignments) {
        SqliteDatabase db = openDirect();
        SqliteStatement update = db.prepare("UPDATE task_progress SET " + assignments + ";");
        update.step();
    };

    setColumns(
        "completed_ranges = '', returned_ranges = NULL, claimed_ranges = '', "
        "candidate_nonces = NULL");
    const std::optional<TaskRangeProgress> empty = store.load(seed);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->completedRanges.empty());
    EXPECT_TRUE(empty->returnedRanges.empty());
    EXPECT_TRUE(empty->claimedRanges.empty());
    EXPECT_TRUE(empty->candidateNonces.empty());

    for (const char* bad : {"'[{\"start\":1}]'", "'not json'", "'{\"start\":1,\"end\":2}'",
                            "'[{\"start\":-1,\"end\":2}]'", "'[{\"start\":1.5,\"end\":2}]'"}) {
        setColumns(std::string("returned_ranges = ") + bad);
        EXPECT_THROW(store.load(seed), engine::RangeDecodingError) << bad;
    }
    setColumns("returned_ranges = '[]'");
    for (const char* bad :
         {"'[1,'", "'[-1]'", "'[1.5]'", "'[\"7\"]'", "'{}'", "'[18446744073709551616]'"}) {
        setColumns(std::string("candidate_nonces = ") + bad);
        EXPECT_THROW(store.load(seed), nlohmann::json::exception) << bad;
    }
}

TEST_F(TaskStateStoreTest, ValuesSqliteCannotHoldAreRefusedBothWays) {
    TaskStateStore store(dir_.path());
    const TaskRangeProgress good = sampleProgress();
    store.save(good);

    auto expectRefused = [&](const TaskRangeProgress& bad) {
        try {
            store.save(bad);
            FAIL() << "saved an unstorable value";
        } catch (const StoreError& e) {
            EXPECT_EQ(e.domain(), "TS");
            EXPECT_EQ(e.code(), StoreError::kValueOutOfRange);
        }
        // The earlier row is untouched.
        EXPECT_EQ(store.load(good.seed), good);
    };
    TaskRangeProgress bad = good;
    bad.difficulty = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    expectRefused(bad);
    bad.difficulty = std::int64_t(std::numeric_limits<std::int32_t>::min()) - 1;
    expectRefused(bad);
    bad = good;
    bad.upperBound = kMaxStored + 1;
    expectRefused(bad);
    bad = good;
    bad.nextUnallocated = kMaxNonce;
    expectRefused(bad);

    auto expectLoadRefused = [&](const std::string& assignment) {
        {
            SqliteDatabase db = openDirect();
            db.exec("UPDATE task_progress SET " + assignment + ";");
        }
        try {
            store.load(good.seed);
            FAIL() << "loaded " << assignment;
        } catch (const StoreError& e) {
            EXPECT_EQ(e.domain(), "TS");
            EXPECT_EQ(e.code(), StoreError::kStoredValueOutOfRange);
        }
        store.save(good);
    };
    expectLoadRefused("nonce_upper_bound = -1");
    expectLoadRefused("next_unallocated = -9223372036854775808");
    expectLoadRefused("difficulty = 4294967296");
}

TEST_F(TaskStateStoreTest, WriteFailuresCarryTheirCodes) {
    TaskStateStore store(dir_.path());
    const TaskRangeProgress progress = sampleProgress();
    store.save(progress);
    {
        SqliteDatabase db = openDirect();
        db.exec(
            "CREATE TRIGGER refuse BEFORE INSERT ON task_progress BEGIN SELECT RAISE(ABORT, "
            "'refused'); END;");
    }
    TaskRangeProgress changed = progress;
    changed.nextUnallocated = 1;
    try {
        store.save(changed);
        FAIL() << "save passed a refusing trigger";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.domain(), "TS");
        EXPECT_EQ(e.code(), 31);
    }
    EXPECT_EQ(store.load(progress.seed), progress);

    {
        SqliteDatabase db = openDirect();
        db.exec("DROP TABLE task_progress;");
    }
    // Without a table a load finds nothing. It also brings the store's connection up to date
    // with the dropped table, so the next save fails to prepare.
    EXPECT_EQ(store.load(progress.seed), std::nullopt);
    try {
        store.save(changed);
        FAIL() << "save without a table";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.domain(), "TS");
        EXPECT_EQ(e.code(), 30);
    }
    store.remove(progress.seed);
}

TEST_F(TaskStateStoreTest, OpenFailuresCarryTheirCodes) {
    auto expectOpenError = [](const QString& directory, const std::string& domain, int code) {
        try {
            TaskStateStore store(directory);
            FAIL() << "opened " << directory.toStdString();
        } catch (const StoreError& e) {
            EXPECT_EQ(e.domain(), domain) << e.what();
            EXPECT_EQ(e.code(), code) << e.what();
        }
    };

    // Not a database: SQLite only notices at the first statement.
    const QString junkDir = dir_.filePath("junk");
    QDir().mkpath(junkDir);
    QFile junk(junkDir + "/corvanta_tasks.db");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(8192, 'j'));
    junk.close();
    expectOpenError(junkDir, "TaskStateStore", StoreError::kCannotCreateTable);

    // The database path is a directory.
    const QString dirDir = dir_.filePath("dir");
    QDir().mkpath(dirDir + "/corvanta_tasks.db");
    expectOpenError(dirDir, "TaskStateStore", StoreError::kCannotOpen);

    // The directory cannot be created because a file is in the way.
    QFile blocker(dir_.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    expectOpenError(dir_.filePath("blocker/sub"), "POSIX", ENOTDIR);

    expectOpenError(QString(), "POSIX", ENOENT);

    // A table that cannot take new columns (a view of that name).
    const QString viewDir = dir_.filePath("view");
    QDir().mkpath(viewDir);
    {
        SqliteDatabase db = SqliteDatabase::open((viewDir + "/corvanta_tasks.db").toStdString(),
                                                 SqliteOpenMode::readWriteCreate);
        db.exec("CREATE VIEW task_progress AS SELECT 1 AS id;");
    }
    expectOpenError(viewDir, "TaskStateStore", StoreError::kCannotAddColumn);
}

TEST_F(TaskStateStoreTest, DefaultDirectoryIsTheApplicationDataDirectory) {
    QCoreApplication::setOrganizationName("Corvanta");
    QCoreApplication::setApplicationName("Corvanta");
    qputenv("XDG_DATA_HOME", dir_.filePath("xdg").toUtf8());
    TaskStateStore store;
    EXPECT_EQ(store.dbPath(),
              dir_.filePath("xdg/Corvanta/Corvanta/corvanta_tasks.db").toStdString());
    store.save(sampleProgress());
    EXPECT_TRUE(QFile::exists(dir_.filePath("xdg/Corvanta/Corvanta/corvanta_tasks.db")));
}

}  // namespace
}  // namespace corvanta::tasks
