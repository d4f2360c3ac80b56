#pragma once

#include <stdexcept>
#include <string>

namespace corvanta::storage {

// A failed SQLite call: the result code SQLite returned (primary or extended) and its message.
class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}

    int code() const { return code_; }

private:
    int code_;
};

}  // namespace corvanta::storage
