#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QString>
#include <exception>
#include <optional>
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
    QString description() const;
    const char* what() const noexcept override { return what_.c_str(); }

    // The same error seen from one level further out (its path gets `prefix` in front).
    DecodingError within(const QString& prefix) const;

private:
    Kind kind_;
    QString path_;
    QString debugDescription_;
    std::string what_;
};

// Every failure of a backend call: the client's own errors (ApiError) and the transport's
// (TransportError). They carry what went wrong as data. Pages put it into the words of the string
// table (ui::errorText); logs and the terminal take description(), one line in English that is not
// localised (log lines end in " error=" + it). While the table is English, both read the same.
class BackendError : public std::exception {
public:
    virtual QString description() const = 0;
    // description(), as UTF-8.
    const char* what() const noexcept override;

protected:
    // what() must stay valid while the error lives; filled by the subclasses' constructors.
    void setWhat(const QString& text) { what_ = text.toStdString(); }

private:
    std::string what_;
};

// The client's own errors. HTTP status 401 and envelope code 401 both come out as
// `unauthorized`: the sign-in has ended.
class ApiError : public BackendError {
public:
    enum class Kind {
        httpError,
        decodingFailed,
        serverError,
        invalidUrl,
        invalidRequest,
        invalidResponse,
        unauthorized,
        cancelled,
    };

    // For the cases without payload.
    explicit ApiError(Kind kind);
    static ApiError httpError(int statusCode, std::optional<QByteArray> data);
    static ApiError decodingFailed(DecodingError error);
    static ApiError serverError(QString message);
    // A reply of success without the data the request needs: a serverError without a message of
    // the server's.
    static ApiError emptyData();

    Kind kind() const { return kind_; }
    int statusCode() const { return statusCode_; }
    const std::optional<QByteArray>& data() const { return data_; }
    const std::optional<DecodingError>& decodingError() const { return decodingError_; }
    // The server's msg, for a serverError; empty for emptyData().
    const QString& message() const { return message_; }
    bool isEmptyData() const { return emptyData_; }

    QString description() const override;

private:
    void fillWhat() { setWhat(description()); }

    Kind kind_;
    int statusCode_ = 0;
    std::optional<QByteArray> data_;
    std::optional<DecodingError> decodingError_;
    QString message_;
    bool emptyData_ = false;
};

// A transfer that did not produce an HTTP answer: no connection, TLS refused, time-out, or the
// caller's stop. Passed to callers unchanged, as the network layer reported it.
class TransportError : public BackendError {
public:
    TransportError(QNetworkReply::NetworkError code, QString detail);

    static TransportError cancelled();
    static TransportError timedOut();

    QNetworkReply::NetworkError code() const { return code_; }
    const QString& detail() const { return detail_; }
    bool isCancellation() const { return code_ == QNetworkReply::OperationCanceledError; }
    bool isTimeout() const { return code_ == QNetworkReply::TimeoutError; }

    QString description() const override;

private:
    QNetworkReply::NetworkError code_;
    QString detail_;
};

}  // namespace corvanta::backend
