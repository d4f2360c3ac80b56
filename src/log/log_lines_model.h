#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace corvanta::log {

class LogBufferService;

// The visible run-log lines as a list model for the run-log page. Follows the service batch by
// batch, so a batch of N lines costs O(N) however long the log is. The strings are shared with
// the service, not copied.
class LogLinesModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        LineRole = Qt::UserRole + 1,
    };

    explicit LogLinesModel(LogBufferService* service, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Rows [first, last] (in either order, clamped to the rows there are), one per line.
    QString text(int first, int last) const;

private:
    void appendLines(const QStringList& lines);
    void removeFront(qsizetype count);

    QStringList lines_;
};

}  // namespace corvanta::log
