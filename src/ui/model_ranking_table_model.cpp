#include "ui/model_ranking_table_model.h"

#include <QVariantMap>
#include <numeric>

#include "platform/string_table.h"
#include "ui/responsive_layout.h"

namespace corvanta::ui {

using platform::localized;

namespace {

struct Column {
    const char* key;
    const char* title;     // localisation key
    const char* subtitle;  // localisation keys joined by " · ", or empty
    double designWidth;
};

// Seven columns after the model; together they fit a 1280-wide window at the 1600 scale.
constexpr Column kColumns[] = {
    {"name", "table_model", "table_creator", 330},
    {"contextWindow", "table_context_window", "table_feature", 150},
    {"intelligence", "table_intelligence", "table_intelligence_desc", 160},
    {"price", "table_price", "table_mixed table_price_unit", 170},
    {"speed", "table_speed", "table_median table_speed_unit", 170},
    {"latency", "table_latency", "table_median table_first_part", 170},
    {"responseTime", "table_response_header", "table_total table_reply", 170},
};

QString subtitleOf(const char* keys) {
    QStringList texts;
    for (const auto& key : QString::fromLatin1(keys).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        texts << localized(key);
    }
    return texts.join(QStringLiteral(" · "));
}

}  // namespace

const QList<double>& ModelRankingTableModel::designColumnWidths() {
    static const QList<double> widths = [] {
        QList<double> out;
        for (const auto& column : kColumns) {
            out << column.designWidth;
        }
        return out;
    }();
    return widths;
}

ModelRankingTableModel::ModelRankingTableModel(const ResponsiveLayout& layout, QObject* parent)
    : QObject(parent), layout_(layout) {
    connect(&layout, &ResponsiveLayout::changed, this, &ModelRankingTableModel::columnsChanged);
}

QString ModelRankingTableModel::formatScore(qint64 score) {
    return QString::number(score);
}

QString ModelRankingTableModel::formatPrice(double pricePerMillionTokens) {
    return QString::asprintf("$%.2f", pricePerMillionTokens);
}

QString ModelRankingTableModel::formatSpeed(const std::optional<double>& tokensPerSecond) {
    return tokensPerSecond ? QString::asprintf("%.0f", *tokensPerSecond) : QStringLiteral("--");
}

QString ModelRankingTableModel::formatMilliseconds(const std::optional<double>& milliseconds) {
    return milliseconds ? QString::asprintf("%.2f", *milliseconds) : QStringLiteral("--");
}

QStringList ModelRankingTableModel::cells(const backend::ModelRanking& model) {
    return {model.name,
            model.contextWindow,
            formatScore(model.intelligenceScore),
            formatPrice(model.pricePerMillionTokens),
            formatSpeed(model.speedTokensPerSecond),
            formatMilliseconds(model.latencyMilliseconds),
            formatMilliseconds(model.responseTimeMilliseconds)};
}

QList<double> ModelRankingTableModel::columnWidths() const {
    QList<double> widths;
    for (double width : designColumnWidths()) {
        widths << layout_.s(width);
    }
    return widths;
}

double ModelRankingTableModel::tableWidth() const {
    const QList<double> widths = columnWidths();
    return std::accumulate(widths.begin(), widths.end(), 0.0);
}

void ModelRankingTableModel::setModels(const QList<backend::ModelRanking>& models) {
    if (models == models_) {
        return;
    }
    models_ = models;
    if (hoveredRow_ >= models_.size()) {
        hoveredRow_ = -1;
        emit hoveredRowChanged();
    }
    emit rowsChanged();
}

void ModelRankingTableModel::setHoveredRow(int row) {
    const int valid = row >= 0 && row < models_.size() ? row : -1;
    if (valid != hoveredRow_) {
        hoveredRow_ = valid;
        emit hoveredRowChanged();
    }
}

QVariantList ModelRankingTableModel::rowsVariant() const {
    QVariantList out;
    out.reserve(models_.size());
    for (const auto& model : models_) {
        const QStringList texts = cells(model);
        QVariantMap row;
        for (int i = 0; i < texts.size(); ++i) {
            row.insert(QString::fromLatin1(kColumns[i].key), texts[i]);
        }
        row.insert(QStringLiteral("creator"), model.creator);
        row.insert(QStringLiteral("iconSrc"), model.iconSrc);
        out << row;
    }
    return out;
}

QVariantList ModelRankingTableModel::columnsVariant() const {
    QVariantList out;
    const QList<double> widths = columnWidths();
    for (int i = 0; i < widths.size(); ++i) {
        out << QVariantMap{{QStringLiteral("key"), QString::fromLatin1(kColumns[i].key)},
                           {QStringLiteral("title"), localized(kColumns[i].title)},
                           {QStringLiteral("subtitle"), subtitleOf(kColumns[i].subtitle)},
                           {QStringLiteral("width"), widths[i]}};
    }
    return out;
}

}  // namespace corvanta::ui
