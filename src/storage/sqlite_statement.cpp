#include "storage/sqlite_statement.h"

#include <sqlite3.h>

#include "storage/sqlite_error.h"

namespace corvanta::storage {

void SqliteStatement::Finalizer::operator()(sqlite3_stmt* statement) const noexcept {
    sqlite3_finalize(statement);
}

void SqliteStatement::check(int rc) const {
    if (rc != SQLITE_OK) {
        throw SqliteError(rc, sqlite3_errmsg(sqlite3_db_handle(statement_.get())));
    }
}

void SqliteStatement::bindText(int index, std::string_view text) {
    check(sqlite3_bind_text64(statement_.get(), index, text.data(), text.size(), SQLITE_TRANSIENT,
                              SQLITE_UTF8));
}

void SqliteStatement::bindDouble(int index, double value) {
    check(sqlite3_bind_double(statement_.get(), index, value));
}

void SqliteStatement::bindInt32(int index, std::int32_t value) {
    check(sqlite3_bind_int(statement_.get(), index, value));
}

void SqliteStatement::bindInt64(int index, std::int64_t value) {
    check(sqlite3_bind_int64(statement_.get(), index, value));
}

void SqliteStatement::bindNull(int index) {
    check(sqlite3_bind_null(statement_.get(), index));
}

int SqliteStatement::stepCode() {
    return sqlite3_step(statement_.get());
}

SqliteStatement::StepResult SqliteStatement::step() {
    const int rc = stepCode();
    if (rc == SQLITE_ROW) {
        return StepResult::row;
    }
    if (rc == SQLITE_DONE) {
        return StepResult::done;
    }
    throw SqliteError(rc, sqlite3_errmsg(sqlite3_db_handle(statement_.get())));
}

void SqliteStatement::reset() noexcept {
    // The code repeats the last step's failure, which step already reported.
    sqlite3_reset(statement_.get());
}

int SqliteStatement::columnCount() const {
    return sqlite3_column_count(statement_.get());
}

bool SqliteStatement::columnIsNull(int column) const {
    return sqlite3_column_type(statement_.get(), column) == SQLITE_NULL;
}

std::optional<std::string_view> SqliteStatement::columnText(int column) const {
    const unsigned char* text = sqlite3_column_text(statement_.get(), column);
    if (text == nullptr) {
        return std::nullopt;
    }
    // sqlite3_column_bytes must follow sqlite3_column_text so the length matches the UTF-8 form.
    const int bytes = sqlite3_column_bytes(statement_.get(), column);
    return std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes));
}

std::int32_t SqliteStatement::columnInt32(int column) const {
    return sqlite3_column_int(statement_.get(), column);
}

std::int64_t SqliteStatement::columnInt64(int column) const {
    return sqlite3_column_int64(statement_.get(), column);
}

double SqliteStatement::columnDouble(int column) const {
    return sqlite3_column_double(statement_.get(), column);
}

}  // namespace corvanta::storage
