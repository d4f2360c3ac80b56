#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

namespace corvanta::update {
class AppUpdateManager;
}

namespace corvanta::ui {

// The update prompt shown over the window while the update manager offers an update.
// Main thread only.
class UpdatePromptViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isVisible READ isVisible NOTIFY changed)
    Q_PROPERTY(bool isMandatory READ isMandatory NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString currentVersion READ currentVersion NOTIFY changed)
    Q_PROPERTY(QString packageSize READ packageSize NOTIFY changed)
    Q_PROPERTY(QString descriptionTitle READ descriptionTitle CONSTANT)
    Q_PROPERTY(QString description READ description NOTIFY changed)
    Q_PROPERTY(QString buttonTitle READ buttonTitle CONSTANT)
    // False when the offer names no https download: the prompt then shows no download button.
    Q_PROPERTY(bool canDownload READ canDownload NOTIFY changed)

public:
    using OpenUrl = std::function<void(const QUrl&)>;

    // `openUrl` empty: the desktop's default browser.
    UpdatePromptViewModel(update::AppUpdateManager& updates, QString runningVersion,
                          OpenUrl openUrl = {}, QObject* parent = nullptr);

    bool isVisible() const;
    bool isMandatory() const;
    QString title() const;
    QString currentVersion() const;
    // Empty when the update names no size: the row is then left out.
    QString packageSize() const;
    QString descriptionTitle() const;
    QString description() const;
    QString buttonTitle() const;
    bool canDownload() const;

    // Opens the download page; closes the prompt unless the update is mandatory.
    Q_INVOKABLE void update();
    // The close button; a mandatory update stays.
    Q_INVOKABLE void close();

signals:
    void changed();

private:
    update::AppUpdateManager& updates_;
    QString runningVersion_;
    OpenUrl openUrl_;
};

}  // namespace corvanta::ui
