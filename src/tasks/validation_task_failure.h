#pragma once

#include <QString>

#include <optional>

namespace corvanta::tasks {

enum class ValidationTaskFailureReason { rangeExhaustedNoValidNonce };

inline QString rawValue(ValidationTaskFailureReason) {
    return QStringLiteral("range_exhausted_no_valid_nonce");
}

inline std::optional<ValidationTaskFailureReason> failureReasonFromRawValue(const QString& raw) {
    if (raw == QLatin1String("range_exhausted_no_valid_nonce")) {
        return ValidationTaskFailureReason::rangeExhaustedNoValidNonce;
    }
    return std::nullopt;
}

// A task reported as failed by validation. Two failures are the same when their task ids are.
struct ValidationTaskFailure {
    QString taskId;
    ValidationTaskFailureReason reason = ValidationTaskFailureReason::rangeExhaustedNoValidNonce;

    QString logText() const {
        return QStringLiteral("❌ validation failed id=") + taskId + QStringLiteral(" reason=") +
               rawValue(reason);
    }
    friend bool operator==(const ValidationTaskFailure& a, const ValidationTaskFailure& b) {
        return a.taskId == b.taskId;
    }
};

}  // namespace corvanta::tasks
