#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>

#include "ui/svg_memory_cache.h"

class QNetworkAccessManager;

namespace corvanta::ui {

class SvgImageDiskCacheStore;

// Remote SVG icons by URL, in two levels: memory, then files on disk; a miss in both downloads
// the icon once, however many views ask for it at the same time. Every load ends with loaded()
// or failed() for its URL, so every view that waits on a URL hears how it went. Only bytes that
// parse as SVG are kept; failures are not remembered, so the next load tries again.
//
// Lives on the main thread; the disk and the parsing check run on a private background thread.
class SvgImageCache : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxEntries = 200;
    static constexpr qint64 kMaxTotalBytes = 5 * 1024 * 1024;
    // Model icons are a few kilobytes; anything far beyond that is not an icon.
    static constexpr qint64 kMaxIconBytes = 1024 * 1024;

    struct Timeouts {
        std::chrono::milliseconds idle{15000};   // longest silence within a transfer
        std::chrono::milliseconds total{30000};  // longest whole transfer
    };

    // `network` is borrowed and must outlive the cache; without one the cache makes its own.
    SvgImageCache(std::shared_ptr<SvgImageDiskCacheStore> store, QNetworkAccessManager* network,
                  QObject* parent = nullptr);
    ~SvgImageCache() override;

    // http and https URLs, plain http only to this machine.
    static bool isAllowedSource(const QUrl& url);

    void setTimeouts(Timeouts timeouts) { timeouts_ = timeouts; }
    SvgImageDiskCacheStore& diskStore() { return *store_; }

    // The memory level only; a hit counts as a use.
    std::optional<QByteArray> cached(const QUrl& url);
    bool isLoading(const QUrl& url) const;

    // Starts loading unless a load of the URL is under way already. A memory hit, and a URL that
    // may not be fetched, answer at once (inside this call).
    void load(const QUrl& url);
    // load() as a coroutine: the bytes, or nothing when the load failed.
    QCoro::Task<std::optional<QByteArray>> fetch(QUrl url);

signals:
    void loaded(const QUrl& url, const QByteArray& bytes);
    void failed(const QUrl& url);

private:
    QCoro::Task<> run(QUrl url);
    QCoro::Task<> download(QUrl url, std::shared_ptr<std::optional<QByteArray>> out);
    void finish(const QUrl& url, const std::optional<QByteArray>& bytes);

    std::shared_ptr<SvgImageDiskCacheStore> store_;
    QNetworkAccessManager* network_;
    Timeouts timeouts_;
    SvgMemoryCache memory_{kMaxEntries, kMaxTotalBytes};
    mutable QMutex inflightLock_;
    QSet<QString> inflight_;
    std::stop_source stop_;
    QThreadPool io_;  // last, so it is drained first
};

}  // namespace corvanta::ui
