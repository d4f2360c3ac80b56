#include "log/log_lines_model.h"

#include <algorithm>

#include "log/log_buffer_service.h"

namespace corvanta::log {

LogLinesModel::LogLinesModel(LogBufferService* service, QObject* parent)
    : QAbstractListModel(parent), lines_(service->logLines()) {
    connect(service, &LogBufferService::logLinesAppended, this, &LogLinesModel::appendLines);
    connect(service, &LogBufferService::logLinesRemovedFromFront, this,
            &LogLinesModel::removeFront);
}

int LogLinesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant LogLinesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= lines_.size() ||
        (role != Qt::DisplayRole && role != LineRole)) {
        return {};
    }
    return lines_.at(index.row());
}

QHash<int, QByteArray> LogLinesModel::roleNames() const {
    return {{Qt::DisplayRole, "display"}, {LineRole, "line"}};
}

QString LogLinesModel::text(int first, int last) const {
    const qsizetype from = std::max(std::min(first, last), 0);
    const qsizetype to = std::min<qsizetype>(std::max(first, last), lines_.size() - 1);
    return from > to ? QString() : lines_.mid(from, to - from + 1).join(QLatin1Char('\n'));
}

void LogLinesModel::appendLines(const QStringList& lines) {
    if (lines.isEmpty()) {
        return;
    }
    const auto first = static_cast<int>(lines_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size()) - 1);
    lines_.append(lines);
    endInsertRows();
}

void LogLinesModel::removeFront(qsizetype count) {
    count = std::min(count, lines_.size());
    if (count <= 0) {
        return;
    }
    beginRemoveRows(QModelIndex(), 0, static_cast<int>(count) - 1);
    lines_.remove(0, count);
    endRemoveRows();
}

}  // namespace corvanta::log
