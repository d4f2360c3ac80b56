#include "update/app_update_manager.h"

#include <stdexcept>
#include <utility>

#include "platform/string_table.h"
#include "update/bundle_app_version_provider.h"

namespace corvanta::update {

AppUpdateManager::AppUpdateManager(std::unique_ptr<VersionChecking> versionChecker,
                                   std::unique_ptr<AppVersionSource> versionProvider,
                                   QObject* parent)
    : QObject(parent),
      versionProvider_(versionProvider ? std::move(versionProvider)
                                       : std::make_unique<BundleAppVersionProvider>()),
      versionChecker_(std::move(versionChecker)) {
    if (!versionChecker_) {
        throw std::invalid_argument("AppUpdateManager needs a version checker");
    }
}

AppUpdateManager::~AppUpdateManager() {
    // In this order: the aborted request may resume the check right here.
    *alive_ = false;
    stop_.request_stop();
}

void AppUpdateManager::startAutoCheck() {
    if (autoCheckTimer_) {
        return;
    }
    requestCheck();
    autoCheckTimer_ = std::make_unique<QTimer>();
    // A coarse timer of four hours fires on the whole second, well within the half minute of
    // slack a background check can take.
    autoCheckTimer_->setTimerType(Qt::CoarseTimer);
    autoCheckTimer_->setInterval(autoCheckInterval_);
    connect(autoCheckTimer_.get(), &QTimer::timeout, this, &AppUpdateManager::requestCheck);
    autoCheckTimer_->start();
}

void AppUpdateManager::stopAutoCheck() {
    autoCheckTimer_.reset();
}

void AppUpdateManager::requestCheck() {
    // The task ends on its own; dropping it does not cancel it.
    [[maybe_unused]] auto running = checkForUpdates();
}

QCoro::Task<> AppUpdateManager::checkForUpdates() {
    if (isChecking_) {
        co_return;
    }
    setChecking(true);
    setStatusMessage(std::nullopt);
    const std::shared_ptr<bool> alive = alive_;
    std::optional<backend::AppVersionUpdate> update;
    bool failed = false;
    try {
        update = co_await versionChecker_->checkVersion(versionProvider_->currentVersion(),
                                                        stop_.get_token());
    } catch (...) {
        // Any failure means the same to the user; the next try is the timer's or the user's.
        failed = true;
    }
    if (!*alive) {
        co_return;
    }
    if (failed) {
        setStatusMessage(platform::localized(QStringLiteral("profile_version_check_failed")));
    } else {
        const bool upToDate = !update.has_value();
        setAvailableUpdate(std::move(update));
        if (upToDate) {
            setStatusMessage(platform::localized(QStringLiteral("profile_version_latest")));
        }
    }
    setChecking(false);
}

void AppUpdateManager::dismissUpdate() {
    if (availableUpdate_ && availableUpdate_->enforce) {
        return;
    }
    setAvailableUpdate(std::nullopt);
}

QVariant AppUpdateManager::availableUpdateVariant() const {
    return availableUpdate_ ? QVariant::fromValue(*availableUpdate_) : QVariant();
}

void AppUpdateManager::setAvailableUpdate(std::optional<backend::AppVersionUpdate> update) {
    if (availableUpdate_ == update) {
        return;
    }
    availableUpdate_ = std::move(update);
    emit availableUpdateChanged();
}

void AppUpdateManager::setChecking(bool checking) {
    if (isChecking_ == checking) {
        return;
    }
    isChecking_ = checking;
    emit isCheckingChanged();
}

void AppUpdateManager::setStatusMessage(std::optional<QString> message) {
    if (statusMessage_ == message) {
        return;
    }
    statusMessage_ = std::move(message);
    emit statusMessageChanged();
}

}  // namespace corvanta::update
