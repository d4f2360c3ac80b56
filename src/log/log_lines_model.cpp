#include "log/log_lines_model.h"

#include <algorithm>

#include "log/compact_line_store.h"
#include "log/log_buffer_service.h"

namespace corvanta::log {

LogLinesModel::LogLinesModel(LogBufferService* service, QObject* parent)
    : QAbstractListModel(parent), lines_(service->visibleLines()), rows_(lines_->size()) {
    connect(service, &LogBufferService::logLinesAppended, this, &LogLinesModel::appendLines);
    connect(service, &LogBufferService::logLinesRemovedFromFront, this,
            &LogLinesModel::removeFront);
}

int LogLinesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_);
}

qsizetype LogLinesModel::storeIndex(qsizetype row) const {
    const qsizetype index = row - std::max<qsizetype>(rows_ - lines_->size(), 0);
    return index >= 0 && index < lines_->size() ? index : -1;
}

QVariant LogLinesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || (role != Qt::DisplayRole && role != LineRole)) {
        return {};
    }
    const qsizetype line = storeIndex(index.row());
    return line < 0 ? QVariant() : QVariant(lines_->at(line));
}

QHash<int, QByteArray> LogLinesModel::roleNames() const {
    return {{Qt::DisplayRole, "display"}, {LineRole, "line"}};
}

QString LogLinesModel::text(int first, int last) const {
    const qsizetype from = std::max(std::min(first, last), 0);
    const qsizetype to = std::min<qsizetype>(std::max(first, last), rows_ - 1);
    if (from > to) {
        return {};
    }
    return lines_->join(std::max<qsizetype>(storeIndex(from), 0), storeIndex(to),
                        QLatin1Char('\n'));
}

void LogLinesModel::appendLines(const QStringList& lines) {
    if (lines.isEmpty()) {
        return;
    }
    const auto first = static_cast<int>(rows_);
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size()) - 1);
    rows_ += lines.size();
    endInsertRows();
}

void LogLinesModel::removeFront(qsizetype count) {
    count = std::min(count, rows_);
    if (count <= 0) {
        return;
    }
    beginRemoveRows(QModelIndex(), 0, static_cast<int>(count) - 1);
    rows_ -= count;
    endRemoveRows();
}

}  // namespace corvanta::log
