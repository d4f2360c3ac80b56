#pragma once

#include <QMetaType>
#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <vector>

// The records of the dashboard, notice, version and content-page replies, as the backend sends
// them, each with its decoder (T::decode(data, path), through JsonDecode). A decoder throws
// DecodingError naming the field. display_records.h holds what the pages make of them.

namespace corvanta::backend {

// One day of the user's contribution.
struct WireSignInRecord {
    QString sDate;  // year-month-day
    qint64 award = 0;

    static WireSignInRecord decode(const nlohmann::json& value, const QString& path);
};

// An announcement.
struct WireNotice {
    qint64 id = 0;
    QString title;
    QString content;                   // HTML or plain text, as the backend sends it
    std::optional<qint64> createtime;  // seconds since 1970

    static WireNotice decode(const nlohmann::json& value, const QString& path);
};

// One row of the AI model ranking. The backend sends every figure as display text; they are
// read into numbers here, where a figure that does not parse is 0 (score, price) or absent
// (speed, latency, response time). A row without a name is listed but ranks no model.
struct ModelRanking {
    QString name;           // "model"
    QString contextWindow;  // "featuresContextWindow"
    QString creator;        // "featuresCreator"
    QString iconSrc;
    qint64 intelligenceScore = 0;  // "intelligence"
    // "price": "$1,234.50" reads as 1234.5.
    double pricePerMillionTokens = 0;
    // "speed", "latency", "endToEndResponseTime": plain decimal numbers only, no units.
    std::optional<double> speedTokensPerSecond;
    std::optional<double> latencyMilliseconds;
    std::optional<double> responseTimeMilliseconds;

    static ModelRanking decode(const nlohmann::json& value, const QString& path);
    QString identity() const { return creator + QStringLiteral("::") + name; }

    bool operator==(const ModelRanking&) const = default;
};

// The dashboard's data. Older backends send only the list of contribution records, as a bare
// array; that reads as records with everything else empty.
struct IndexResponse {
    qint64 tokenScarcity = 0;
    std::optional<WireNotice> notice;
    std::vector<WireSignInRecord> recent;
    std::vector<ModelRanking> modelTops;

    static IndexResponse decode(const nlohmann::json& value, const QString& path);
};

// The notice list arrives wrapped in a second envelope inside the outer one's data; only its
// list is used.
struct NoticeListResponse {
    qint64 code = 0;
    QString msg;
    QString time;
    std::vector<WireNotice> data;

    static NoticeListResponse decode(const nlohmann::json& value, const QString& path);
};

// The version-check reply when an update exists. Its keys are all lower case on the wire.
struct VersionUpdateResponse {
    qint64 enforce = 0;
    QString version;
    QString newVersion;
    QString downloadUrl;
    QString packageSize;
    QString upgradeText;

    static VersionUpdateResponse decode(const nlohmann::json& value, const QString& path);
};

// One content page (about, privacy, terms); the content is an HTML fragment.
struct PageDetailResponse {
    std::optional<QString> title;
    std::optional<QString> content;

    static PageDetailResponse decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend

Q_DECLARE_METATYPE(corvanta::backend::ModelRanking)
