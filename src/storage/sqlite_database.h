#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "storage/sqlite_statement.h"

struct sqlite3;

namespace corvanta::storage {

enum class SqliteOpenMode {
    readWriteCreate,
    readOnly,
};

// One SQLite connection. Closing happens on destruction; statements still alive keep the
// connection's memory until they are finalised, so destruction order never matters.
class SqliteDatabase {
public:
    // Throws SqliteError with SQLite's result code when the file cannot be opened. SQLite opens
    // lazily: a file that is not a database only fails at the first statement that reads it.
    static SqliteDatabase open(const std::string& path, SqliteOpenMode mode);

    SqliteDatabase(SqliteDatabase&&) noexcept = default;
    SqliteDatabase& operator=(SqliteDatabase&&) noexcept = default;
    ~SqliteDatabase() = default;

    // Runs one or more statements that return no rows. Throws SqliteError.
    void exec(const std::string& sql);
    // Throws SqliteError when the text does not compile against the current schema.
    SqliteStatement prepare(std::string_view sql);

    std::string errorMessage() const;
    sqlite3* handle() const { return db_.get(); }

private:
    struct Closer {
        void operator()(sqlite3* db) const noexcept;
    };

    explicit SqliteDatabase(sqlite3* db) : db_(db) {}

    std::unique_ptr<sqlite3, Closer> db_;
};

}  // namespace corvanta::storage
