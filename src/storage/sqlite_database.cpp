#include "storage/sqlite_database.h"

#include <sqlite3.h>

#include "storage/sqlite_error.h"

namespace corvanta::storage {

void SqliteDatabase::Closer::operator()(sqlite3* db) const noexcept {
    // The _v2 variant defers the close until the last statement is finalised instead of failing.
    sqlite3_close_v2(db);
}

SqliteDatabase SqliteDatabase::open(const std::string& path, SqliteOpenMode mode) {
    const int flags = mode == SqliteOpenMode::readOnly ? SQLITE_OPEN_READONLY
                                                       : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    // SQLite hands out a handle even on failure; it must be closed all the same.
    SqliteDatabase database(raw);
    if (rc != SQLITE_OK) {
        throw SqliteError(rc, "cannot open " + path + ": " +
                                  (raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
    }
    return database;
}

void SqliteDatabase::exec(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        std::string text = message != nullptr ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throw SqliteError(rc, text);
    }
}

SqliteStatement SqliteDatabase::prepare(std::string_view sql) {
    sqlite3_stmt* statement = nullptr;
    const int rc = sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()),
                                      &statement, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(statement);
        throw SqliteError(rc, errorMessage());
    }
    return SqliteStatement(statement);
}

std::string SqliteDatabase::errorMessage() const {
    return sqlite3_errmsg(db_.get());
}

}  // namespace corvanta::storage
