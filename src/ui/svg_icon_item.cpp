#include "ui/svg_icon_item.h"

#include <QFutureWatcher>
#include <QPainter>
#include <QSvgRenderer>
#include <QThread>
#include <QtConcurrent>

#include <algorithm>

#include "ui/svg_image_cache.h"
#include "ui/svg_source_check.h"

namespace corvanta::ui {

SvgIconItem::SvgIconItem(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    setImplicitSize(24, 24);
}

SvgIconItem::~SvgIconItem() = default;

void SvgIconItem::setUrl(const QUrl& url) {
    if (url == url_) {
        return;
    }
    url_ = url;
    emit urlChanged();
    request();
}

QObject* SvgIconItem::cache() const {
    return cache_.data();
}

void SvgIconItem::setCache(QObject* cache) {
    auto* icons = qobject_cast<SvgImageCache*>(cache);
    if (icons == cache_) {
        return;
    }
    cache_ = icons;
    emit cacheChanged();
    request();
}

void SvgIconItem::setPlaceholderColor(const QColor& color) {
    if (color == placeholderColor_) {
        return;
    }
    placeholderColor_ = color;
    emit placeholderColorChanged();
    if (!renderer_) {
        update();
    }
}

void SvgIconItem::request() {
    disconnect(onLoaded_);
    disconnect(onFailed_);
    ++generation_;
    renderer_.reset();
    if (url_.isEmpty() || !cache_) {
        setStatus(Null);
        update();
        return;
    }
    SvgImageCache& cache = *cache_;
    if (const auto hit = cache.cached(url_)) {
        show(*hit);
        return;
    }
    setStatus(Loading);
    update();
    // Still listening after a failure: when another view loads the same icon later, this one
    // shows it too.
    onLoaded_ = connect(&cache, &SvgImageCache::loaded, this,
                        [this](const QUrl& which, const QByteArray& bytes) {
                            if (which == url_ && status_ != Ready) {
                                show(bytes);
                            }
                        });
    onFailed_ = connect(&cache, &SvgImageCache::failed, this, [this](const QUrl& which) {
        if (which == url_ && status_ == Loading) {
            setStatus(Error);
            update();
        }
    });
    cache.load(url_);
}

namespace {

// Runs on a pool thread: the renderer, handed over to `home`, or none for bytes that reference
// anything outside themselves or do not draw. It is deleted on its own thread, wherever the last
// reference goes.
std::shared_ptr<QSvgRenderer> parse(const QByteArray& bytes, QThread* home) {
    if (!isSelfContainedSvg(bytes)) {
        return nullptr;
    }
    auto renderer = std::make_unique<QSvgRenderer>(bytes);
    if (!renderer->isValid()) {
        return nullptr;
    }
    renderer->moveToThread(home);
    return std::shared_ptr<QSvgRenderer>(renderer.release(), [](QSvgRenderer* done) {
        if (done->thread() == QThread::currentThread()) {
            delete done;
        } else {
            done->deleteLater();
        }
    });
}

}  // namespace

void SvgIconItem::show(const QByteArray& bytes) {
    const quint64 generation = ++generation_;
    renderer_.reset();
    setStatus(Loading);
    update();
    using Watcher = QFutureWatcher<std::shared_ptr<QSvgRenderer>>;
    auto* watcher = new Watcher(this);  // owned by this item; gone with it
    connect(watcher, &Watcher::finished, this, [this, watcher, generation] {
        const std::shared_ptr<QSvgRenderer> renderer = watcher->result();
        watcher->deleteLater();
        if (generation != generation_) {
            return;  // another URL, or newer bytes, since
        }
        renderer_ = renderer;
        setStatus(renderer_ ? Ready : Error);
        update();
    });
    watcher->setFuture(QtConcurrent::run(&parse, bytes, thread()));
}

void SvgIconItem::setStatus(Status status) {
    if (status == status_) {
        return;
    }
    status_ = status;
    emit statusChanged();
}

QRectF SvgIconItem::fittedRect(const QSizeF& icon, const QRectF& bounds) {
    if (icon.isEmpty() || bounds.isEmpty()) {
        return {};
    }
    const QSizeF size = icon.scaled(bounds.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(), size);
    target.moveCenter(bounds.center());
    return target;
}

void SvgIconItem::paint(QPainter* painter) {
    const QRectF bounds = boundingRect();
    if (renderer_) {
        QSizeF icon = renderer_->viewBoxF().size();
        if (icon.isEmpty()) {
            icon = renderer_->defaultSize();
        }
        const QRectF target = fittedRect(icon, bounds);
        if (!target.isEmpty()) {
            renderer_->render(painter, target);
        }
        return;
    }
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(placeholderColor_);
    const qreal radius = std::min(bounds.width(), bounds.height()) * 0.2;
    painter->drawRoundedRect(bounds, radius, radius);
}

}  // namespace corvanta::ui
