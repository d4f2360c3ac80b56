#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace corvanta::backend {

// One row of the AI model ranking, every figure as display text.
struct ModelRankingDTO {
    QString model;
    QString featuresContextWindow;
    QString featuresCreator;
    QString iconSrc;
    QString intelligence;
    QString price;
    QString speed;
    QString latency;
    std::optional<QString> endToEndResponseTime;

    static ModelRankingDTO decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
