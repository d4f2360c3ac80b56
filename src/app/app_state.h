#pragma once

#include <QLocale>
#include <QObject>

namespace corvanta::app {

// Environment state the pages observe.
class AppState : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isOffline READ isOffline NOTIFY isOfflineChanged)
    Q_PROPERTY(QLocale currentLocale READ currentLocale NOTIFY currentLocaleChanged)
    Q_PROPERTY(bool didReceiveUnauthorized READ didReceiveUnauthorized NOTIFY
                   didReceiveUnauthorizedChanged)

public:
    using QObject::QObject;

    bool isOffline() const { return isOffline_; }
    QLocale currentLocale() const { return currentLocale_; }
    bool didReceiveUnauthorized() const { return didReceiveUnauthorized_; }

signals:
    void isOfflineChanged();
    void currentLocaleChanged();
    void didReceiveUnauthorizedChanged();

private:
    bool isOffline_ = false;
    QLocale currentLocale_ = QLocale::system();
    bool didReceiveUnauthorized_ = false;
};

}  // namespace corvanta::app
