#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace corvanta::platform {
class LaunchAtLogin;
}
namespace corvanta::update {
class AppUpdateManager;
}

namespace corvanta::ui {

// The account page: the key (masked) and binding another one, launch at login, and the version
// row with the update manager's state. Main thread only.
class ProfileViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString key READ key WRITE setKey NOTIFY keyChanged)
    Q_PROPERTY(QString maskedKey READ maskedKey NOTIFY boundKeyChanged)
    Q_PROPERTY(bool isSaveEnabled READ isSaveEnabled NOTIFY keyChanged)
    Q_PROPERTY(bool isBinding READ isBinding NOTIFY isBindingChanged)
    Q_PROPERTY(bool isAutoLaunchEnabled READ isAutoLaunchEnabled NOTIFY isAutoLaunchEnabledChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(QString versionText READ versionText CONSTANT)
    Q_PROPERTY(QString versionStatus READ versionStatus NOTIFY versionStatusChanged)
    Q_PROPERTY(bool isCheckingVersion READ isCheckingVersion NOTIFY versionStatusChanged)

public:
    using LoginFunction = std::function<QCoro::Task<>(QString key)>;
    // Runs after a successful bind with the new key: store it and release the engine.
    using KeyBoundFunction = std::function<void(const QString& key)>;
    // The key stored for this user; read again whenever the page is shown.
    using StoredKeyFunction = std::function<QString()>;

    ProfileViewModel(LoginFunction login, KeyBoundFunction keyBound,
                     platform::LaunchAtLogin& launchAtLogin, update::AppUpdateManager* updates,
                     StoredKeyFunction storedKey, QString version, QObject* parent = nullptr);
    ~ProfileViewModel() override;

    const QString& key() const { return key_; }
    void setKey(const QString& key);
    QString maskedKey() const { return masked(boundKey_); }
    bool isSaveEnabled() const { return !key_.trimmed().isEmpty(); }
    bool isBinding() const { return isBinding_; }
    bool isAutoLaunchEnabled() const { return isAutoLaunchEnabled_; }
    const QString& errorMessage() const { return errorMessage_; }
    QString versionText() const;
    QString versionStatus() const;
    bool isCheckingVersion() const;

    // "•" for every character but the last four of a key of five or more; shorter keys as they
    // are; a blank key as the "no key" text.
    static QString masked(const QString& key);

    Q_INVOKABLE void save();
    QCoro::Task<> bindKey();
    Q_INVOKABLE void setAutoLaunch(bool enabled);
    Q_INVOKABLE void checkForUpdates();
    // Reads the stored key and the launch-at-login state again (the page calls it when shown).
    Q_INVOKABLE void refresh();

signals:
    void keyChanged();
    void boundKeyChanged();
    void isBindingChanged();
    void isAutoLaunchEnabledChanged();
    void errorMessageChanged();
    void versionStatusChanged();

private:
    void setErrorMessage(const QString& message);
    void setAutoLaunchEnabled(bool enabled);

    LoginFunction login_;
    KeyBoundFunction keyBound_;
    StoredKeyFunction storedKey_;
    platform::LaunchAtLogin& launchAtLogin_;
    update::AppUpdateManager* updates_;
    QString key_;
    QString boundKey_;
    QString version_;
    bool isBinding_ = false;
    bool isAutoLaunchEnabled_ = false;
    QString errorMessage_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace corvanta::ui
