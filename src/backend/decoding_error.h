#pragma once

#include <QString>
#include <exception>
#include <string>

namespace corvanta::backend {

// Why a JSON reply did not fit the expected record, and where. The path names the value in the
// reply ("data.id", "data.recent[2].award"); the description says what was expected and what
// came ("expected text, got 5"), see expectedButGot.
class DecodingError : public std::exception {
public:
    enum class Kind { typeMismatch, valueNotFound, keyNotFound, dataCorrupted };

    DecodingError(Kind kind, QString path, QString debugDescription);

    // "expected <expected>, got <found>": the description every decoding error uses.
    static QString expectedButGot(const QString& expected, const QString& found);

    Kind kind() const { return kind_; }
    const QString& path() const { return path_; }
    const QString& debugDescription() const { return debugDescription_; }

    // One line for people: where, then what was expected and what came, for example
    // "data.nonceUpperBound: expected a whole number from 0 to 9223372036854775807, got
    // 1.8446744073709552e19". Without a path the place is "the reply".
    QString localizedDescription() const;
    const char* what() const noexcept override { return what_.c_str(); }

    // The same error seen from one level further out (its path gets `prefix` in front).
    DecodingError within(const QString& prefix) const;

private:
    Kind kind_;
    QString path_;
    QString debugDescription_;
    std::string what_;
};

}  // namespace corvanta::backend
