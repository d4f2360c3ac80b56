#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3_stmt;

namespace corvanta::storage {

// One prepared statement, finalised on destruction. Parameter indexes start at 1, column indexes
// at 0, as in SQLite. Every text is bound with copy semantics, so the caller's buffer may go away
// before the statement runs.
class SqliteStatement {
public:
    enum class StepResult {
        row,
        done,
    };

    explicit SqliteStatement(sqlite3_stmt* statement) : statement_(statement) {}

    // Each bind throws SqliteError when SQLite refuses it (index out of range, statement busy).
    void bindText(int index, std::string_view text);
    void bindDouble(int index, double value);
    void bindInt32(int index, std::int32_t value);
    void bindInt64(int index, std::int64_t value);
    void bindNull(int index);

    // Throws SqliteError for every result other than a row or the end.
    StepResult step();
    // The raw result code of one step, for callers that classify failures themselves.
    int stepCode();
    // Makes the statement ready to run again; bindings are kept.
    void reset() noexcept;

    int columnCount() const;
    bool columnIsNull(int column) const;
    // nullopt for NULL. The view is valid until the next step, reset or column read of another
    // type on this column.
    std::optional<std::string_view> columnText(int column) const;
    std::int32_t columnInt32(int column) const;
    std::int64_t columnInt64(int column) const;
    double columnDouble(int column) const;

    sqlite3_stmt* handle() const { return statement_.get(); }

private:
    struct Finalizer {
        void operator()(sqlite3_stmt* statement) const noexcept;
    };

    void check(int rc) const;

    std::unique_ptr<sqlite3_stmt, Finalizer> statement_;
};

}  // namespace corvanta::storage
