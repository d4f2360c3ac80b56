#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>

#include "backend/display_records.h"
#include "update/app_version_source.h"
#include "update/version_checking.h"

namespace corvanta::update {

// Finds out whether the backend offers a newer version, publishes the offer for the update
// dialog and the account page, and asks again every four hours while the application runs.
// Checks never overlap; a failed check keeps what an earlier one found. Main thread only.
class AppUpdateManager : public QObject {
    Q_OBJECT
    // The offered update (an AppVersionUpdate) or an invalid QVariant; present means the dialog
    // is shown.
    Q_PROPERTY(QVariant availableUpdate READ availableUpdateVariant NOTIFY availableUpdateChanged)
    Q_PROPERTY(bool hasUpdate READ hasUpdate NOTIFY availableUpdateChanged)
    Q_PROPERTY(bool isMandatory READ isMandatory NOTIFY availableUpdateChanged)
    Q_PROPERTY(bool isChecking READ isChecking NOTIFY isCheckingChanged)
    // Empty while there is nothing to say.
    Q_PROPERTY(QString statusMessage READ statusMessageText NOTIFY statusMessageChanged)

public:
    static constexpr std::chrono::milliseconds kAutoCheckInterval = std::chrono::hours(4);

    explicit AppUpdateManager(std::unique_ptr<VersionChecking> versionChecker,
                              std::unique_ptr<AppVersionSource> versionProvider = nullptr,
                              QObject* parent = nullptr);
    ~AppUpdateManager() override;

    const std::optional<backend::AppVersionUpdate>& availableUpdate() const {
        return availableUpdate_;
    }
    bool hasUpdate() const { return availableUpdate_.has_value(); }
    bool isMandatory() const { return availableUpdate_ && availableUpdate_->enforce; }
    bool isChecking() const { return isChecking_; }
    const std::optional<QString>& statusMessage() const { return statusMessage_; }

    // Takes effect at the next startAutoCheck.
    void setAutoCheckInterval(std::chrono::milliseconds interval) { autoCheckInterval_ = interval; }
    bool isAutoChecking() const { return autoCheckTimer_ != nullptr; }

    // Checks once now and then every interval; a second call does nothing.
    Q_INVOKABLE void startAutoCheck();
    // Ends the periodic check (at quit); a later startAutoCheck begins a new one.
    Q_INVOKABLE void stopAutoCheck();

    // One check. Returns at once while another is running. Never fails: a failure only sets the
    // status message.
    QCoro::Task<> checkForUpdates();
    // checkForUpdates without waiting for it, for the account page and the timer.
    Q_INVOKABLE void requestCheck();
    // Closes the dialog: clears the offered update unless it is mandatory.
    Q_INVOKABLE void dismissUpdate();

signals:
    void availableUpdateChanged();
    void isCheckingChanged();
    void statusMessageChanged();

private:
    QVariant availableUpdateVariant() const;
    QString statusMessageText() const { return statusMessage_.value_or(QString()); }
    void setAvailableUpdate(std::optional<backend::AppVersionUpdate> update);
    void setChecking(bool checking);
    void setStatusMessage(std::optional<QString> message);

    std::optional<backend::AppVersionUpdate> availableUpdate_;
    bool isChecking_ = false;
    std::optional<QString> statusMessage_;
    std::unique_ptr<AppVersionSource> versionProvider_;
    std::unique_ptr<VersionChecking> versionChecker_;
    std::unique_ptr<QTimer> autoCheckTimer_;
    std::chrono::milliseconds autoCheckInterval_ = kAutoCheckInterval;
    // Cleared first on destruction: a check that resumes afterwards touches nothing.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::stop_source stop_;  // ends a check in flight on destruction
};

}  // namespace corvanta::update
