#pragma once

#include <optional>
#include <string>

#include <QString>

#include "storage/sqlite_database.h"
#include "tasks/task_range_progress.h"

namespace corvanta::tasks {

// Keeps the progress of interrupted tasks in "corvanta_tasks.db", one row per seed, so a task
// resumes where it stopped. Confined to one thread; calls must not overlap.
//
// Errors: StoreError (see store_error.h for domains and codes). Decoding a stored JSON column
// throws what the decoder throws: engine::RangeDecodingError for the range lists,
// nlohmann::json::exception for the nonce list. Every one of them derives from std::exception.
class TaskStateStore {
public:
    // Opens (creating when needed) the database in `directory`, or in the application-data
    // directory when none is given, and brings the table up to the current columns.
    // Throws StoreError.
    explicit TaskStateStore(std::optional<QString> directory = std::nullopt);

    TaskStateStore(const TaskStateStore&) = delete;
    TaskStateStore& operator=(const TaskStateStore&) = delete;

    // The progress stored under `seed`, or nullopt when there is none (or the query cannot be
    // prepared). Throws on a row that cannot be decoded.
    std::optional<TaskRangeProgress> load(const std::string& seed);
    // Inserts or replaces the row of `progress.seed`. Throws StoreError; a failed save leaves the
    // previous row as it was.
    void save(const TaskRangeProgress& progress);
    // Removes the row of `seed` if there is one. Never fails towards the caller.
    void remove(const std::string& seed) noexcept;

    const std::string& dbPath() const { return dbPath_; }

private:
    void ensureColumn(const std::string& name, const std::string& declaration);

    std::optional<storage::SqliteDatabase> db_;
    std::string dbPath_;
};

}  // namespace corvanta::tasks
