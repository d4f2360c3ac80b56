#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <list>
#include <optional>

namespace corvanta::ui {

// The icon cache's memory level: bytes by URL text, bounded both by the number of entries and by
// their total size, least recently used out first. QCache bounds the total cost only. Not
// thread-safe: the owner keeps it on one thread.
class SvgMemoryCache {
public:
    SvgMemoryCache(int maxEntries, qint64 maxTotalBytes);

    // A hit counts as a use.
    std::optional<QByteArray> object(const QString& key);
    // Replaces an entry under the same key. An entry larger than the whole budget is not kept.
    void insert(const QString& key, const QByteArray& bytes);
    void remove(const QString& key);
    void clear();

    int count() const { return int(entries_.size()); }
    qint64 totalBytes() const { return totalBytes_; }
    bool contains(const QString& key) const { return entries_.contains(key); }

private:
    struct Entry {
        QByteArray bytes;
        std::list<QString>::iterator use;
    };

    void evictOldest();

    int maxEntries_;
    qint64 maxTotalBytes_;
    qint64 totalBytes_ = 0;
    std::list<QString> uses_;  // most recent first
    QHash<QString, Entry> entries_;
};

}  // namespace corvanta::ui
