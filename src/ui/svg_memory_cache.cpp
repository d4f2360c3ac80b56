#include "ui/svg_memory_cache.h"

namespace corvanta::ui {

SvgMemoryCache::SvgMemoryCache(int maxEntries, qint64 maxTotalBytes)
    : maxEntries_(maxEntries), maxTotalBytes_(maxTotalBytes) {}

std::optional<QByteArray> SvgMemoryCache::object(const QString& key) {
    const auto found = entries_.find(key);
    if (found == entries_.end()) {
        return std::nullopt;
    }
    uses_.splice(uses_.begin(), uses_, found->use);
    return found->bytes;
}

void SvgMemoryCache::insert(const QString& key, const QByteArray& bytes) {
    remove(key);
    if (bytes.size() > maxTotalBytes_ || maxEntries_ <= 0) {
        return;
    }
    while (!uses_.empty() &&
           (count() >= maxEntries_ || totalBytes_ + bytes.size() > maxTotalBytes_)) {
        evictOldest();
    }
    uses_.push_front(key);
    entries_.insert(key, Entry{bytes, uses_.begin()});
    totalBytes_ += bytes.size();
}

void SvgMemoryCache::remove(const QString& key) {
    const auto found = entries_.find(key);
    if (found == entries_.end()) {
        return;
    }
    totalBytes_ -= found->bytes.size();
    uses_.erase(found->use);
    entries_.erase(found);
}

void SvgMemoryCache::clear() {
    entries_.clear();
    uses_.clear();
    totalBytes_ = 0;
}

void SvgMemoryCache::evictOldest() {
    const QString oldest = uses_.back();  // a copy: remove() frees the list's node
    remove(oldest);
}

}  // namespace corvanta::ui
