#include "backend/ai_model.h"

#include "backend/number_parsing.h"

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

std::optional<AIModel> AIModel::from(const ModelRanking& ranking) {
    if (ranking.name.isEmpty()) {
        return std::nullopt;
    }
    AIModel model;
    model.name = ranking.name;
    model.contextWindow = ranking.contextWindow;
    model.creator = ranking.creator;
    model.iconSrc = ranking.iconSrc;
    model.intelligenceScore = parseDecimalInteger(ranking.intelligence).value_or(0);
    model.pricePerMillionTokens = parsePrice(ranking.price);
    model.speedTokensPerSecond = parseDecimalDouble(ranking.speed);
    model.latencyMilliseconds = parseDecimalDouble(ranking.latency);
    model.responseTimeMilliseconds = parseDecimalDouble(ranking.responseTime);
    return model;
}

}  // namespace corvanta::backend
