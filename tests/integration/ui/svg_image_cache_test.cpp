#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "support/coro_test_util.h"
#include "support/devserver_process.h"
#include "ui/svg_icon_item.h"
#include "ui/svg_image_cache.h"
#include "ui/svg_image_disk_cache_store.h"

// Generated with the Corvanta.Ui module; the window calls it too.
void qml_register_types_Corvanta_Ui();

namespace corvanta::ui {
namespace {

using testing::processEventsUntil;
using testing::runSync;

// The devserver's aurora icon is a circle in this colour filling its 64 × 64 view box.
const QColor kAuroraBlue(0x4f, 0x7c, 0xff);

// Premultiplied storage rounds a translucent colour by a step or two.
bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2 && a.alpha() == b.alpha();
}

class SvgImageCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        cache_ = makeCache();
    }

    std::unique_ptr<SvgImageCache> makeCache() {
        return std::make_unique<SvgImageCache>(
            std::make_shared<SvgImageDiskCacheStore>(directory()), nullptr);
    }

    QString directory() const { return root_.filePath(QStringLiteral("caches/svg")); }
    QUrl icon(const char* name) const {
        return QUrl(server_.url() + QStringLiteral("/static/icons/%1.svg").arg(name));
    }
    QString fileOf(const QUrl& url) const {
        return QDir(directory()).filePath(SvgImageDiskCacheStore::fileName(url));
    }

    // Downloads of one icon as the server saw them.
    int downloads(const QUrl& url) {
        int count = 0;
        for (const auto& entry : server_.requests()) {
            if (entry.value("path", "") == url.path().toStdString()) {
                ++count;
            }
        }
        return count;
    }

    void fault(const QUrl& url, nlohmann::json fault) {
        fault["path"] = url.path().toStdString();
        server_.addFault(fault);
    }

    std::optional<QByteArray> fetch(const QUrl& url) { return runSync(cache_->fetch(url)); }

    static bool settle(const SvgIconItem& item) {
        return processEventsUntil([&] { return item.status() != SvgIconItem::Loading; });
    }

    static QImage paint(SvgIconItem& item) {
        QImage image(int(item.width()), int(item.height()), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        item.paint(&painter);
        painter.end();
        return image;
    }

    testing::DevServerProcess server_;
    QTemporaryDir root_;
    std::unique_ptr<SvgImageCache> cache_;
};

TEST_F(SvgImageCacheTest, OneDownloadServesConcurrentViewsThenMemoryThenDisk) {
    const QUrl aurora = icon("aurora");
    // Slow enough that every asker below arrives while the download is under way.
    fault(aurora, {{"delayMs", 200}});

    SvgIconItem first;
    SvgIconItem second;
    first.setCache(cache_.get());
    second.setCache(cache_.get());
    first.setUrl(aurora);
    second.setUrl(aurora);
    EXPECT_EQ(first.status(), SvgIconItem::Loading);
    EXPECT_TRUE(cache_->isLoading(aurora));
    const std::optional<QByteArray> bytes = fetch(aurora);
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(bytes->contains("<svg"));
    ASSERT_TRUE(settle(first));
    ASSERT_TRUE(settle(second));
    EXPECT_EQ(first.status(), SvgIconItem::Ready);
    EXPECT_EQ(second.status(), SvgIconItem::Ready);
    EXPECT_FALSE(cache_->isLoading(aurora));
    EXPECT_EQ(downloads(aurora), 1);

    // The file is named by the SHA-256 of the full URL and holds exactly the bytes.
    const QString expectedName =
        QString::fromLatin1(
            QCryptographicHash::hash(aurora.toEncoded(), QCryptographicHash::Sha256).toHex()) +
        QStringLiteral(".svgcache");
    EXPECT_EQ(SvgImageDiskCacheStore::fileName(aurora), expectedName);
    QFile file(fileOf(aurora));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), *bytes);
    file.close();

    // Memory: a new view shows the icon as soon as a pool thread has parsed it, no download.
    SvgIconItem third;
    third.setCache(cache_.get());
    third.setUrl(aurora);
    EXPECT_EQ(third.status(), SvgIconItem::Loading);
    ASSERT_TRUE(settle(third));
    EXPECT_EQ(third.status(), SvgIconItem::Ready);
    EXPECT_EQ(fetch(aurora), bytes);

    // Disk: a new cache object has nothing in memory and still no download.
    cache_ = makeCache();
    EXPECT_FALSE(cache_->cached(aurora));
    EXPECT_EQ(fetch(aurora), bytes);
    EXPECT_TRUE(cache_->cached(aurora));
    EXPECT_EQ(downloads(aurora), 1);
}

TEST_F(SvgImageCacheTest, DeletedOrDamagedFilesAreFetchedAgain) {
    const QUrl aurora = icon("aurora");
    const QUrl basalt = icon("basalt");
    ASSERT_TRUE(fetch(aurora));

    // The directory goes while the cache runs: the next miss downloads and re-creates it.
    ASSERT_TRUE(QDir(directory()).removeRecursively());
    ASSERT_TRUE(fetch(basalt));
    EXPECT_EQ(downloads(basalt), 1);
    EXPECT_TRUE(QFile::exists(fileOf(basalt)));

    cache_ = makeCache();
    ASSERT_TRUE(fetch(aurora));
    EXPECT_EQ(downloads(aurora), 2);
    EXPECT_TRUE(QFile::exists(fileOf(aurora)));

    // A file that does not parse (cut short, overwritten) is replaced by a fresh download.
    QFile damaged(fileOf(basalt));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("<svg xmlns=\"http://www.w3.org/2000/svg\"><circle");
    damaged.close();
    cache_ = makeCache();
    const std::optional<QByteArray> fresh = fetch(basalt);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(downloads(basalt), 2);
    ASSERT_TRUE(damaged.open(QIODevice::ReadOnly));
    EXPECT_EQ(damaged.readAll(), *fresh);
}

TEST_F(SvgImageCacheTest, FailedLoadsShowThePlaceholderAndAreTriedAgain) {
    const QUrl cirrus = icon("cirrus");
    const QUrl delta = icon("delta");

    // HTTP 500: the view stays on its placeholder; once a later load succeeds it shows the icon.
    fault(cirrus, {{"status", 500}});
    SvgIconItem view;
    view.setCache(cache_.get());
    view.setSize(QSizeF(24, 24));
    view.setUrl(cirrus);
    ASSERT_TRUE(settle(view));
    EXPECT_EQ(view.status(), SvgIconItem::Error);
    EXPECT_TRUE(near(paint(view).pixelColor(12, 12), view.placeholderColor()));
    EXPECT_FALSE(QFile::exists(fileOf(cirrus)));
    ASSERT_TRUE(fetch(cirrus));
    EXPECT_EQ(downloads(cirrus), 2);
    ASSERT_TRUE(settle(view));
    EXPECT_EQ(view.status(), SvgIconItem::Ready);

    // A reply that is not SVG is neither kept nor drawn, and nothing crashes.
    fault(delta, {{"body", "<svg xmlns=\"http://www.w3.org/2000/svg\"><g><circle r=\"3\"></svg"}});
    SvgIconItem broken;
    broken.setCache(cache_.get());
    broken.setSize(QSizeF(24, 24));
    broken.setUrl(delta);
    ASSERT_TRUE(settle(broken));
    EXPECT_EQ(broken.status(), SvgIconItem::Error);
    EXPECT_TRUE(near(paint(broken).pixelColor(12, 12), broken.placeholderColor()));
    EXPECT_FALSE(cache_->cached(delta));
    EXPECT_FALSE(QFile::exists(fileOf(delta)));

    // Replies too large or too slow are given up.
    fault(delta, {{"reply", "oversized"}});
    EXPECT_FALSE(fetch(delta));
    // Limits well above a request's way to the server on a busy machine, which must see it.
    cache_->setTimeouts({std::chrono::milliseconds(1000), std::chrono::milliseconds(1500)});
    fault(delta, {{"delayMs", 4000}});
    EXPECT_FALSE(fetch(delta));
    EXPECT_EQ(downloads(delta), 3);

    // Not fetched at all: plain HTTP off this machine, other schemes, nonsense.
    for (const char* text : {"http://icons.example/a.svg", "ftp://127.0.0.1/a.svg", "a.svg"}) {
        EXPECT_FALSE(fetch(QUrl(QString::fromLatin1(text)))) << text;
    }
}

TEST_F(SvgImageCacheTest, DrawsTheIconContainedAndCentred) {
    SvgIconItem wide;
    wide.setCache(cache_.get());
    wide.setSize(QSizeF(48, 24));
    wide.setUrl(icon("aurora"));
    ASSERT_TRUE(settle(wide));
    ASSERT_EQ(wide.status(), SvgIconItem::Ready);
    const QImage image = paint(wide);
    // A 24 × 24 circle in the middle (its letter sits lower), nothing in the side bands.
    EXPECT_EQ(image.pixelColor(24, 4), kAuroraBlue);
    EXPECT_EQ(image.pixelColor(6, 12).alpha(), 0);
    EXPECT_EQ(image.pixelColor(42, 12).alpha(), 0);
    EXPECT_EQ(image.pixelColor(14, 12), kAuroraBlue);

    wide.setUrl(QUrl());
    EXPECT_EQ(wide.status(), SvgIconItem::Null);
}

TEST_F(SvgImageCacheTest, QmlPagesUseTheItemAsSvgIcon) {
    qml_register_types_Corvanta_Ui();
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));  // as the window does
    engine.rootContext()->setContextProperty(QStringLiteral("svgImages"), cache_.get());
    QQmlComponent component(&engine);
    component.setData(QStringLiteral("import QtQuick\nimport Corvanta.Ui\n"
                                     "SvgIcon { width: 24; height: 24; cache: svgImages; "
                                     "url: \"%1\" }")
                          .arg(icon("aurora").toString())
                          .toUtf8(),
                      QUrl());
    std::unique_ptr<QObject> object(component.create());
    ASSERT_TRUE(object) << component.errorString().toStdString();
    auto* item = qobject_cast<SvgIconItem*>(object.get());
    ASSERT_TRUE(item);
    ASSERT_TRUE(settle(*item));
    EXPECT_EQ(object->property("status").toInt(), int(SvgIconItem::Ready));
}

}  // namespace
}  // namespace corvanta::ui
