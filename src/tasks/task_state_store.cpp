#include "tasks/task_state_store.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include <QStandardPaths>
#include <nlohmann/json.hpp>

#include "platform/private_directory.h"
#include "storage/sqlite_error.h"
#include "tasks/store_error.h"

namespace corvanta::tasks {

namespace {

using storage::SqliteError;
using storage::SqliteStatement;

constexpr const char* kFileName = "corvanta_tasks.db";

constexpr const char* kCreateTableSql =
    "CREATE TABLE IF NOT EXISTS task_progress (\n"
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
    ");";

constexpr const char* kSelectSql =
    "SELECT seed, task_id, difficulty, nonce_upper_bound, next_unallocated,\n"
    "       completed_ranges, returned_ranges, claimed_ranges, candidate_nonces\n"
    "FROM task_progress WHERE id = ?;";

constexpr const char* kInsertSql =
    "INSERT OR REPLACE INTO task_progress (\n"
    "    id, seed, task_id, difficulty, nonce_position, nonce_upper_bound, found_nonces,\n"
    "    batch_count, next_unallocated, completed_ranges, returned_ranges, claimed_ranges,\n"
    "    candidate_nonces, updated_at\n"
    ")\n"
    "VALUES (?, ?, ?, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?);";

constexpr const char* kDeleteSql = "DELETE FROM task_progress WHERE id = ?;";

constexpr const char* kBusyTimeoutSql = "PRAGMA busy_timeout=1000;";

// Columns added after the first release, in the order they are brought in.
struct ColumnMigration {
    const char* name;
    const char* declaration;
};
constexpr ColumnMigration kColumnMigrations[] = {
    {"task_id", "TEXT NOT NULL DEFAULT ''"},   {"next_unallocated", "INTEGER DEFAULT 0"},
    {"completed_ranges", "TEXT DEFAULT '[]'"}, {"returned_ranges", "TEXT DEFAULT '[]'"},
    {"claimed_ranges", "TEXT DEFAULT '[]'"},   {"candidate_nonces", "TEXT DEFAULT '[]'"},
};

constexpr std::uint64_t kMaxStoredUnsigned =
    static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

std::filesystem::path resolveDirectory(const std::optional<QString>& directory) {
    const QString chosen = directory.has_value()
                               ? *directory
                               : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (chosen.isEmpty()) {
        throw StoreError(StoreError::kFileDomain, ENOENT, "no application data directory");
    }
    return std::filesystem::path(chosen.toStdString());
}

void checkStorable(const char* field, std::uint64_t value) {
    if (value > kMaxStoredUnsigned) {
        throw StoreError(StoreError::kWriteDomain, StoreError::kValueOutOfRange,
                         std::string(field) + " " + std::to_string(value) +
                             " is 2^63 or more and cannot be stored");
    }
}

std::uint64_t readUnsigned(const SqliteStatement& row, int column, const char* field) {
    const std::int64_t value = row.columnInt64(column);
    if (value < 0) {
        throw StoreError(StoreError::kWriteDomain, StoreError::kStoredValueOutOfRange,
                         std::string("stored ") + field + " is negative");
    }
    return static_cast<std::uint64_t>(value);
}

std::string readText(const SqliteStatement& row, int column) {
    const auto text = row.columnText(column);
    return text.has_value() ? std::string(*text) : std::string();
}

std::vector<engine::NonceRange> readRanges(const SqliteStatement& row, int column) {
    const std::string text = readText(row, column);
    return text.empty() ? std::vector<engine::NonceRange>{} : engine::rangesFromJsonText(text);
}

std::vector<std::uint64_t> readNonces(const SqliteStatement& row, int column) {
    const std::string text = readText(row, column);
    if (text.empty()) {
        return {};
    }
    const nlohmann::json parsed = nlohmann::json::parse(text);
    if (!parsed.is_array()) {
        throw nlohmann::json::type_error::create(302, "candidate nonces are not an array", &parsed);
    }
    std::vector<std::uint64_t> nonces;
    nonces.reserve(parsed.size());
    for (const nlohmann::json& element : parsed) {
        // get<uint64_t> would wrap a negative number and truncate a fraction.
        if (!element.is_number_unsigned()) {
            throw nlohmann::json::type_error::create(
                302, "candidate nonce is not an unsigned 64-bit integer", &element);
        }
        nonces.push_back(element.get<std::uint64_t>());
    }
    return nonces;
}

std::string joinDecimal(const std::vector<std::uint64_t>& values) {
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        text += std::to_string(values[i]);
    }
    return text;
}

double secondsSinceEpoch() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

TaskStateStore::TaskStateStore(std::optional<QString> directory) {
    const std::filesystem::path folder = resolveDirectory(directory);
    if (!platform::makePrivateDirectory(QString::fromStdString(folder.string()))) {
        const int error = errno;
        throw StoreError(StoreError::kFileDomain, error,
                         "cannot create " + folder.string() + ": " + std::strerror(error));
    }

    dbPath_ = (folder / kFileName).string();
    try {
        db_ = storage::SqliteDatabase::open(dbPath_, storage::SqliteOpenMode::readWriteCreate);
    } catch (const SqliteError& e) {
        throw StoreError(StoreError::kOpenDomain, StoreError::kCannotOpen, e.what());
    }
    try {
        // A reader that holds the file for a moment (a backup, the sqlite3 tool) delays a save
        // instead of failing it.
        db_->exec(kBusyTimeoutSql);
        db_->exec(kCreateTableSql);
    } catch (const SqliteError& e) {
        throw StoreError(StoreError::kOpenDomain, StoreError::kCannotCreateTable, e.what());
    }
    for (const ColumnMigration& column : kColumnMigrations) {
        ensureColumn(column.name, column.declaration);
    }
}

void TaskStateStore::ensureColumn(const std::string& name, const std::string& declaration) {
    try {
        SqliteStatement info = db_->prepare("PRAGMA table_info(task_progress);");
        while (info.step() == SqliteStatement::StepResult::row) {
            const auto columnName = info.columnText(1);
            if (columnName.has_value() && *columnName == name) {
                return;
            }
        }
    } catch (const SqliteError&) {
        // An unreadable column list counts as a missing column; ALTER TABLE then decides.
    }
    try {
        db_->exec("ALTER TABLE task_progress ADD COLUMN " + name + " " + declaration + ";");
    } catch (const SqliteError& e) {
        throw StoreError(StoreError::kOpenDomain, StoreError::kCannotAddColumn, e.what());
    }
}

std::optional<TaskRangeProgress> TaskStateStore::load(const std::string& seed) {
    std::optional<SqliteStatement> select;
    try {
        select = db_->prepare(kSelectSql);
        select->bindText(1, seed);
        if (select->step() != SqliteStatement::StepResult::row) {
            return std::nullopt;
        }
    } catch (const SqliteError&) {
        return std::nullopt;
    }

    TaskRangeProgress progress;
    progress.seed = readText(*select, 0);
    progress.taskId = readText(*select, 1);
    const std::int64_t difficulty = select->columnInt64(2);
    if (difficulty < std::numeric_limits<std::int32_t>::min() ||
        difficulty > std::numeric_limits<std::int32_t>::max()) {
        throw StoreError(StoreError::kWriteDomain, StoreError::kStoredValueOutOfRange,
                         "stored difficulty does not fit 32 bits");
    }
    progress.difficulty = difficulty;
    progress.upperBound = readUnsigned(*select, 3, "upper bound");
    progress.nextUnallocated = readUnsigned(*select, 4, "next unallocated nonce");
    progress.completedRanges = readRanges(*select, 5);
    progress.returnedRanges = readRanges(*select, 6);
    progress.claimedRanges = readRanges(*select, 7);
    progress.candidateNonces = readNonces(*select, 8);
    return progress;
}

void TaskStateStore::save(const TaskRangeProgress& progress) {
    if (progress.difficulty < std::numeric_limits<std::int32_t>::min() ||
        progress.difficulty > std::numeric_limits<std::int32_t>::max()) {
        throw StoreError(
            StoreError::kWriteDomain, StoreError::kValueOutOfRange,
            "difficulty " + std::to_string(progress.difficulty) + " does not fit 32 bits");
    }
    checkStorable("upper bound", progress.upperBound);
    checkStorable("next unallocated nonce", progress.nextUnallocated);

    const std::string completed = engine::rangesToJsonText(progress.completedRanges);
    const std::string returned = engine::rangesToJsonText(progress.returnedRanges);
    const std::string claimed = engine::rangesToJsonText(progress.claimedRanges);
    const std::string candidates = nlohmann::json(progress.candidateNonces).dump();
    const std::string foundNonces = joinDecimal(progress.candidateNonces);

    std::optional<SqliteStatement> insert;
    try {
        insert = db_->prepare(kInsertSql);
    } catch (const SqliteError& e) {
        throw StoreError(StoreError::kWriteDomain, StoreError::kCannotPrepareSave, e.what());
    }
    try {
        const auto nextUnallocated = static_cast<std::int64_t>(progress.nextUnallocated);
        insert->bindText(1, progress.seed);
        insert->bindText(2, progress.seed);
        insert->bindText(3, progress.taskId);
        insert->bindInt32(4, static_cast<std::int32_t>(progress.difficulty));
        insert->bindInt64(5, nextUnallocated);
        insert->bindInt64(6, static_cast<std::int64_t>(progress.upperBound));
        insert->bindText(7, foundNonces);
        insert->bindInt64(8, nextUnallocated);
        insert->bindText(9, completed);
        insert->bindText(10, returned);
        insert->bindText(11, claimed);
        insert->bindText(12, candidates);
        insert->bindDouble(13, secondsSinceEpoch());
        if (insert->step() == SqliteStatement::StepResult::done) {
            return;
        }
    } catch (const SqliteError& e) {
        throw StoreError(StoreError::kWriteDomain, StoreError::kSaveNotDone, e.what());
    }
    throw StoreError(StoreError::kWriteDomain, StoreError::kSaveNotDone,
                     "saving task progress returned a row");
}

void TaskStateStore::remove(const std::string& seed) noexcept {
    try {
        SqliteStatement statement = db_->prepare(kDeleteSql);
        statement.bindText(1, seed);
        statement.stepCode();
    } catch (const std::exception&) {
        // Deleting is best effort: a row left behind is replaced or deleted on the next run.
    }
}

}  // namespace corvanta::tasks
