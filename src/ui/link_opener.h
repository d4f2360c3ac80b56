#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

namespace corvanta::ui {

// Opens the links of backend texts (announcements, content pages) in the desktop's browser, and
// only those: an https address with a host. Any other scheme (file:, smb:, javascript:, a custom
// handler's) does nothing but write one line to the system log. Main thread only. In QML, as
// the context property `links`: `onLinkActivated: (link) => links.open(link)`.
class LinkOpener : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    static bool isOpenable(const QUrl& url);

    Q_INVOKABLE void open(const QString& link) const;
};

}  // namespace corvanta::ui
