#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace corvanta::tasks {

// A failure of the task state store: a domain and a code, as the scheduler logs them.
//
//   "POSIX"          errno   the application-data directory is missing or cannot be created
//   "TaskStateStore" 1       the database file cannot be opened
//   "TaskStateStore" 2       CREATE TABLE fails (also: the file is not a database)
//   "TaskStateStore" 5       adding a missing column fails
//   "TS"             30      the INSERT OR REPLACE cannot be prepared
//   "TS"             31      the INSERT OR REPLACE does not finish with SQLITE_DONE
//   "TS"             32      save refused: difficulty outside 32 bits, or a bound or position of
//                            2^63 or more (SQLite stores signed 64-bit integers); nothing written
//   "TS"             33      load refused: a stored bound or position is negative, or the stored
//                            difficulty does not fit 32 bits
class StoreError : public std::runtime_error {
public:
    StoreError(std::string domain, int code, const std::string& message)
        : std::runtime_error(message), domain_(std::move(domain)), code_(code) {}

    const std::string& domain() const { return domain_; }
    int code() const { return code_; }

    static constexpr const char* kOpenDomain = "TaskStateStore";
    static constexpr const char* kWriteDomain = "TS";
    static constexpr const char* kFileDomain = "POSIX";
    static constexpr int kCannotOpen = 1;
    static constexpr int kCannotCreateTable = 2;
    static constexpr int kCannotAddColumn = 5;
    static constexpr int kCannotPrepareSave = 30;
    static constexpr int kSaveNotDone = 31;
    static constexpr int kValueOutOfRange = 32;
    static constexpr int kStoredValueOutOfRange = 33;

private:
    std::string domain_;
    int code_;
};

}  // namespace corvanta::tasks
