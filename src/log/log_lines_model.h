#pragma once

#include <memory>

#include <QAbstractListModel>
#include <QStringList>

namespace corvanta::log {

class CompactLineStore;
class LogBufferService;

// The visible run-log lines as a list model for the run-log page. Reads the service's own line
// store, so the lines exist once, as UTF-8, and a row becomes a string only while the view shows
// it. Follows the service batch by batch, so a batch of N lines costs O(N) however long the log
// is.
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
    // The store's index of a row. The service changes the store first and tells the models
    // after, so while a cut from the front is being announced the store is shorter than the
    // rows by the lines cut; -1 for a row whose line is already gone.
    qsizetype storeIndex(qsizetype row) const;

    std::shared_ptr<const CompactLineStore> lines_;
    // The rows announced to the views.
    qsizetype rows_ = 0;
};

}  // namespace corvanta::log
