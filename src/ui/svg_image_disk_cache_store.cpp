#include "ui/svg_image_disk_cache_store.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <openssl/evp.h>

#include "platform/private_directory.h"

namespace corvanta::ui {

QString SvgImageDiskCacheStore::defaultDirectory() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty()) {
        base = QDir::tempPath();
    }
    return QDir(base).filePath(QStringLiteral("Corvanta/ImageCache/svg"));
}

QString SvgImageDiskCacheStore::fileName(const QUrl& url) {
    const QByteArray text = url.toEncoded();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.constData(), std::size_t(text.size()), digest, &length, EVP_sha256(), nullptr);
    const QByteArray hex =
        QByteArray(reinterpret_cast<const char*>(digest), qsizetype(length)).toHex();
    return QString::fromLatin1(hex) + QStringLiteral(".svgcache");
}

SvgImageDiskCacheStore::SvgImageDiskCacheStore(QString directory)
    : directory_(std::move(directory)) {
    platform::makePrivateDirectory(directory_);
}

QString SvgImageDiskCacheStore::filePath(const QUrl& url) const {
    return QDir(directory_).filePath(fileName(url));
}

std::optional<QByteArray> SvgImageDiskCacheStore::read(const QUrl& url, qint64 maxBytes) const {
    const QString path = filePath(url);
    std::lock_guard guard(lock_);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const qint64 size = file.size();
    if (size <= 0 || size > maxBytes) {
        return std::nullopt;
    }
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() != size) {
        return std::nullopt;
    }
    return bytes;
}

bool SvgImageDiskCacheStore::write(const QUrl& url, const QByteArray& bytes) {
    const QString path = filePath(url);
    std::lock_guard guard(lock_);
    // Someone may have cleared the caches while we run.
    if (!platform::makePrivateDirectory(directory_)) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace corvanta::ui
