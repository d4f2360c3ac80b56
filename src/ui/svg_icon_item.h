#pragma once

#include <QtQml/qqmlregistration.h>
#include <QByteArray>
#include <QColor>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QUrl>

#include <memory>

class QSvgRenderer;

namespace corvanta::ui {

class SvgImageCache;

// A remote SVG icon, drawn from an icon cache with its aspect ratio kept and centred in the item.
// A rounded placeholder stands in while it loads and is parsed, after a failed load, and for
// bytes that do not draw or reference anything outside themselves. The bytes are parsed on a pool
// thread, never on the window's. In the pages, where the window's cache is `svgImages`:
// `SvgIcon { cache: svgImages; url: "https://…/icon.svg"; width: 24; height: 24 }`.
class SvgIconItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(SvgIcon)
    Q_PROPERTY(QUrl url READ url WRITE setUrl NOTIFY urlChanged)
    // The SvgImageCache the icon comes from; without one nothing is loaded (status Null).
    Q_PROPERTY(QObject* cache READ cache WRITE setCache NOTIFY cacheChanged)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(QColor placeholderColor READ placeholderColor WRITE setPlaceholderColor NOTIFY
                   placeholderColorChanged)

public:
    enum Status { Null, Loading, Ready, Error };
    Q_ENUM(Status)

    explicit SvgIconItem(QQuickItem* parent = nullptr);
    ~SvgIconItem() override;

    const QUrl& url() const { return url_; }
    void setUrl(const QUrl& url);
    QObject* cache() const;
    void setCache(QObject* cache);
    Status status() const { return status_; }
    const QColor& placeholderColor() const { return placeholderColor_; }
    void setPlaceholderColor(const QColor& color);

    // Where the icon goes inside `bounds`: the largest rectangle of the icon's proportions,
    // centred. Empty when nothing would show.
    static QRectF fittedRect(const QSizeF& icon, const QRectF& bounds);

    void paint(QPainter* painter) override;

signals:
    void urlChanged();
    void cacheChanged();
    void statusChanged();
    void placeholderColorChanged();

private:
    void request();
    // Parses the bytes off the main thread and shows them when done (Loading until then).
    void show(const QByteArray& bytes);
    void setStatus(Status status);

    QUrl url_;
    QPointer<SvgImageCache> cache_;
    Status status_ = Null;
    QColor placeholderColor_{0x8e, 0x8e, 0x93, 0x40};
    std::shared_ptr<QSvgRenderer> renderer_;
    quint64 generation_ = 0;  // counts show() calls; a parse that finishes late is dropped
    QMetaObject::Connection onLoaded_;
    QMetaObject::Connection onFailed_;
};

}  // namespace corvanta::ui
