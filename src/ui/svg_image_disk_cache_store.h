#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <mutex>
#include <optional>

namespace corvanta::ui {

// The icon cache's files: one file per URL, named by the SHA-256 of the URL, in one directory.
// Every file operation runs under one lock, so the store may be used from any thread. Writes go
// through a temporary file and a rename: a crash or a full disk never leaves half an icon behind.
class SvgImageDiskCacheStore {
public:
    // The caches directory followed by Corvanta/ImageCache/svg; the temporary directory instead
    // when the platform names no caches directory.
    static QString defaultDirectory();
    // Lower-case hex SHA-256 of the URL's full encoded form, with the extension "svgcache".
    static QString fileName(const QUrl& url);

    // Creates the directory (with its parents) when it does not exist yet.
    explicit SvgImageDiskCacheStore(QString directory = defaultDirectory());

    SvgImageDiskCacheStore(const SvgImageDiskCacheStore&) = delete;
    SvgImageDiskCacheStore& operator=(const SvgImageDiskCacheStore&) = delete;

    const QString& directory() const { return directory_; }
    QString filePath(const QUrl& url) const;

    // The stored bytes; nothing when there is no entry, it cannot be read, or it is empty or
    // larger than `maxBytes` (such a file is not ours to trust).
    std::optional<QByteArray> read(const QUrl& url, qint64 maxBytes) const;
    // Replaces the entry; re-creates the directory when it was deleted meanwhile. False when the
    // file could not be written (the entry then stays as it was).
    bool write(const QUrl& url, const QByteArray& bytes);

private:
    QString directory_;
    mutable std::mutex lock_;
};

}  // namespace corvanta::ui
