#pragma once

#include <QQmlNetworkAccessManagerFactory>

namespace corvanta::ui {

// The QML engine's network access: none. The pages load their QML, fonts and icons from the
// application itself; the model icons come through the SVG cache, which has its own access. A
// request made for the pages (an image named by rich text, a source property set to a URL) is
// refused before anything is sent, with one line on the system log. Safe to call from the
// engine's loader threads.
class LocalOnlyNetworkAccessFactory final : public QQmlNetworkAccessManagerFactory {
public:
    QNetworkAccessManager* create(QObject* parent) override;
};

}  // namespace corvanta::ui
