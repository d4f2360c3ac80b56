#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

#include "backend/content_records.h"

namespace corvanta::ui {

class ResponsiveLayout;

// The dashboard's ranking of AI models: a header row and one row per model in received order,
// every cell already formatted; all rows share one set of column widths. Main thread only.
class ModelRankingTableModel : public QObject {
    Q_OBJECT
    // Each row as {name, creator, contextWindow, iconSrc, intelligence, price, speed, latency,
    // responseTime}.
    Q_PROPERTY(QVariantList rows READ rowsVariant NOTIFY rowsChanged)
    Q_PROPERTY(int rowCount READ rowCount NOTIFY rowsChanged)
    // Each column as {key, title, subtitle, width}; widths follow the window's scale.
    Q_PROPERTY(QVariantList columns READ columnsVariant NOTIFY columnsChanged)
    Q_PROPERTY(double tableWidth READ tableWidth NOTIFY columnsChanged)
    Q_PROPERTY(int hoveredRow READ hoveredRow WRITE setHoveredRow NOTIFY hoveredRowChanged)

public:
    // The column widths at the 1920-wide design size, model column first.
    static const QList<double>& designColumnWidths();

    explicit ModelRankingTableModel(const ResponsiveLayout& layout, QObject* parent = nullptr);

    static QString formatScore(qint64 score);
    static QString formatPrice(double pricePerMillionTokens);
    static QString formatSpeed(const std::optional<double>& tokensPerSecond);
    static QString formatMilliseconds(const std::optional<double>& milliseconds);
    // The formatted cells of one model, in column order.
    static QStringList cells(const backend::ModelRanking& model);

    const QList<backend::ModelRanking>& models() const { return models_; }
    int rowCount() const { return int(models_.size()); }
    QList<double> columnWidths() const;
    double tableWidth() const;
    int hoveredRow() const { return hoveredRow_; }

    void setModels(const QList<backend::ModelRanking>& models);
    void setHoveredRow(int row);

signals:
    void rowsChanged();
    void columnsChanged();
    void hoveredRowChanged();

private:
    QVariantList rowsVariant() const;
    QVariantList columnsVariant() const;

    const ResponsiveLayout& layout_;
    QList<backend::ModelRanking> models_;
    int hoveredRow_ = -1;
};

}  // namespace corvanta::ui
