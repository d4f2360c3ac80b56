#include <gtest/gtest.h>

#include <sqlite3.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>

#include "storage/sqlite_database.h"
#include "storage/sqlite_error.h"

namespace corvanta::storage {
namespace {

namespace fs = std::filesystem;

class SqliteDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "corvanta-storage-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(SqliteDatabaseTest, BindsAndReadsEveryTypeExactly) {
    SqliteDatabase db = SqliteDatabase::open(path("t.db"), SqliteOpenMode::readWriteCreate);
    db.exec("CREATE TABLE t (s TEXT, d REAL, i INTEGER, l INTEGER, n TEXT);");

    const std::string text = "✅ tab\there 🎯 \xE4\xB8\xAD";
    const std::int64_t big = std::numeric_limits<std::int64_t>::max();
    {
        SqliteStatement insert = db.prepare("INSERT INTO t VALUES (?, ?, ?, ?, ?);");
        std::string scratch = text;
        insert.bindText(1, scratch);
        // Text is copied at bind time: the caller's buffer may change before the step.
        scratch.assign(scratch.size(), 'x');
        insert.bindDouble(2, 1769847302.125);
        insert.bindInt32(3, std::numeric_limits<std::int32_t>::min());
        insert.bindInt64(4, big);
        insert.bindNull(5);
        EXPECT_EQ(insert.step(), SqliteStatement::StepResult::done);
        insert.reset();
        insert.bindInt64(4, std::numeric_limits<std::int64_t>::min());
        EXPECT_EQ(insert.step(), SqliteStatement::StepResult::done);
    }

    SqliteStatement select = db.prepare("SELECT s, d, i, l, n FROM t ORDER BY rowid;");
    ASSERT_EQ(select.columnCount(), 5);
    ASSERT_EQ(select.step(), SqliteStatement::StepResult::row);
    EXPECT_EQ(select.columnText(0), text);
    EXPECT_EQ(select.columnDouble(1), 1769847302.125);
    EXPECT_EQ(select.columnInt32(2), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(select.columnInt64(3), big);
    EXPECT_TRUE(select.columnIsNull(4));
    EXPECT_EQ(select.columnText(4), std::nullopt);
    ASSERT_EQ(select.step(), SqliteStatement::StepResult::row);
    EXPECT_EQ(select.columnInt64(3), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(select.step(), SqliteStatement::StepResult::done);
}

TEST_F(SqliteDatabaseTest, FailuresCarrySqliteCodes) {
    // A missing file opened read-only cannot be opened at all.
    try {
        SqliteDatabase::open(path("missing.db"), SqliteOpenMode::readOnly);
        FAIL() << "opened a missing file";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_CANTOPEN);
    }
    EXPECT_FALSE(fs::exists(path("missing.db")));

    SqliteDatabase db = SqliteDatabase::open(path("t.db"), SqliteOpenMode::readWriteCreate);
    try {
        db.prepare("SELECT * FROM no_such_table;");
        FAIL() << "prepared against a missing table";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_ERROR);
        EXPECT_NE(std::string(e.what()).find("no_such_table"), std::string::npos);
    }

    db.exec("CREATE TABLE t (k TEXT PRIMARY KEY);");
    SqliteStatement insert = db.prepare("INSERT INTO t VALUES (?);");
    insert.bindText(1, "a");
    EXPECT_EQ(insert.step(), SqliteStatement::StepResult::done);
    insert.reset();
    try {
        insert.step();
        FAIL() << "inserted a duplicate key";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code() & 0xff, SQLITE_CONSTRAINT);
    }
    insert.reset();
    EXPECT_THROW(insert.bindText(2, "out of range"), SqliteError);

    // A read-only connection refuses writes.
    SqliteDatabase reader = SqliteDatabase::open(path("t.db"), SqliteOpenMode::readOnly);
    try {
        reader.exec("INSERT INTO t VALUES ('b');");
        FAIL() << "wrote through a read-only connection";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code() & 0xff, SQLITE_READONLY);
    }
}

TEST_F(SqliteDatabaseTest, FileThatIsNoDatabaseFailsAtFirstStatement) {
    std::ofstream(path("junk.db")) << std::string(4096, 'j');
    // SQLite opens lazily, so the open itself succeeds.
    SqliteDatabase db = SqliteDatabase::open(path("junk.db"), SqliteOpenMode::readWriteCreate);
    try {
        db.exec("CREATE TABLE IF NOT EXISTS t (x);");
        FAIL() << "used a file that is no database";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_NOTADB);
    }
}

TEST_F(SqliteDatabaseTest, StatementOutlivingItsConnectionStaysSafe) {
    std::optional<SqliteStatement> statement;
    {
        SqliteDatabase db = SqliteDatabase::open(path("t.db"), SqliteOpenMode::readWriteCreate);
        statement = db.prepare("SELECT 42;");
    }
    // The connection closes for good only when its last statement is finalised.
    ASSERT_EQ(statement->step(), SqliteStatement::StepResult::row);
    EXPECT_EQ(statement->columnInt32(0), 42);
    statement.reset();

    SqliteDatabase first = SqliteDatabase::open(path("t.db"), SqliteOpenMode::readWriteCreate);
    SqliteDatabase moved = std::move(first);
    moved.exec("CREATE TABLE t (x);");
    EXPECT_EQ(first.handle(), nullptr);
}

}  // namespace
}  // namespace corvanta::storage
