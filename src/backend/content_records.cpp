#include "backend/content_records.h"

#include <nlohmann/json.hpp>

#include "backend/json_decoding.h"

namespace corvanta::backend {
namespace {

// "$1,234.50" -> 1234.5; prices are shown with a currency sign and grouping.
double parsePrice(const QString& text) {
    QString cleaned = text;
    cleaned.remove(QLatin1Char('$')).remove(QLatin1Char(','));
    qsizetype begin = 0;
    qsizetype end = cleaned.size();
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(cleaned[begin])) {
        ++begin;
    }
    while (end > begin && blank(cleaned[end - 1])) {
        --end;
    }
    return parseDecimalDouble(QStringView(cleaned).sliced(begin, end - begin)).value_or(0.0);
}

}  // namespace

WireSignInRecord WireSignInRecord::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    return WireSignInRecord{reader.string("sDate"), reader.integer("award")};
}

WireNotice WireNotice::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    return WireNotice{reader.integer("id"), reader.string("title"), reader.string("content"),
                      reader.optionalInteger("createtime")};
}

ModelRanking ModelRanking::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    ModelRanking out;
    out.name = reader.string("model");
    out.contextWindow = reader.string("featuresContextWindow");
    out.creator = reader.string("featuresCreator");
    out.iconSrc = reader.string("iconSrc");
    out.intelligenceScore = parseDecimalInteger(reader.string("intelligence")).value_or(0);
    out.pricePerMillionTokens = parsePrice(reader.string("price"));
    out.speedTokensPerSecond = parseDecimalDouble(reader.string("speed"));
    out.latencyMilliseconds = parseDecimalDouble(reader.string("latency"));
    out.responseTimeMilliseconds =
        parseDecimalDouble(reader.optionalString("endToEndResponseTime").value_or(QString()));
    return out;
}

IndexResponse IndexResponse::decode(const nlohmann::json& value, const QString& path) {
    IndexResponse out;
    if (value.is_array()) {
        try {
            out.recent = JsonDecode<std::vector<WireSignInRecord>>::decode(value, path);
            return out;
        } catch (const DecodingError&) {
            // Not the bare-array shape; the object reading below reports the real mismatch.
        }
    }
    const JsonReader reader(value, path);
    out.tokenScarcity = reader.optionalInteger("tokenScarcity").value_or(0);
    if (const nlohmann::json* notice = reader.find("notice")) {
        out.notice = WireNotice::decode(*notice, reader.pathOf("notice"));
    }
    if (const nlohmann::json* recent = reader.find("recent")) {
        out.recent =
            JsonDecode<std::vector<WireSignInRecord>>::decode(*recent, reader.pathOf("recent"));
    }
    if (const nlohmann::json* tops = reader.find("modelTops")) {
        out.modelTops =
            JsonDecode<std::vector<ModelRanking>>::decode(*tops, reader.pathOf("modelTops"));
    }
    return out;
}

NoticeListResponse NoticeListResponse::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    NoticeListResponse out;
    out.code = reader.integer("code");
    out.msg = reader.string("msg");
    out.time = reader.string("time");
    const nlohmann::json* list = reader.find("data");
    if (!list) {
        throw reader.missing("data", JsonReader::expectedList());
    }
    out.data = JsonDecode<std::vector<WireNotice>>::decode(*list, reader.pathOf("data"));
    return out;
}

VersionUpdateResponse VersionUpdateResponse::decode(const nlohmann::json& value,
                                                    const QString& path) {
    const JsonReader reader(value, path);
    VersionUpdateResponse out;
    out.enforce = reader.integer("enforce");
    out.version = reader.string("version");
    out.newVersion = reader.string("newversion");
    out.downloadUrl = reader.string("downloadurl");
    out.packageSize = reader.string("packagesize");
    out.upgradeText = reader.string("upgradetext");
    return out;
}

PageDetailResponse PageDetailResponse::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    return PageDetailResponse{reader.optionalString("title"), reader.optionalString("content")};
}

}  // namespace corvanta::backend
