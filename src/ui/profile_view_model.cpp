#include "ui/profile_view_model.h"

#include "backend/key_store.h"
#include "platform/launch_at_login.h"
#include "platform/string_table.h"
#include "update/app_update_manager.h"

namespace corvanta::ui {

using platform::localized;

ProfileViewModel::ProfileViewModel(LoginFunction login, KeyBoundFunction keyBound,
                                   platform::LaunchAtLogin& launchAtLogin,
                                   update::AppUpdateManager* updates, StoredKeyFunction storedKey,
                                   QString version, QObject* parent)
    : QObject(parent),
      login_(std::move(login)),
      keyBound_(std::move(keyBound)),
      storedKey_(std::move(storedKey)),
      launchAtLogin_(launchAtLogin),
      updates_(updates),
      version_(std::move(version)) {
    boundKey_ = storedKey_();
    isAutoLaunchEnabled_ = launchAtLogin_.isEnabled();
    if (updates_) {
        connect(updates_, &update::AppUpdateManager::isCheckingChanged, this,
                &ProfileViewModel::versionStatusChanged);
        connect(updates_, &update::AppUpdateManager::statusMessageChanged, this,
                &ProfileViewModel::versionStatusChanged);
    }
}

ProfileViewModel::~ProfileViewModel() {
    *alive_ = false;
}

QString ProfileViewModel::masked(const QString& key) {
    const QString trimmed = key.trimmed();
    if (trimmed.isEmpty()) {
        return localized(QStringLiteral("profile_key_empty"));
    }
    return backend::maskedKey(trimmed);
}

void ProfileViewModel::setKey(const QString& key) {
    if (key != key_) {
        key_ = key;
        emit keyChanged();
    }
}

QString ProfileViewModel::versionText() const {
    return localized(QStringLiteral("profile_version")).arg(version_);
}

bool ProfileViewModel::isCheckingVersion() const {
    return updates_ && updates_->isChecking();
}

QString ProfileViewModel::versionStatus() const {
    if (!updates_) {
        return {};
    }
    if (updates_->isChecking()) {
        return localized(QStringLiteral("loading"));
    }
    return updates_->statusMessage().value_or(QString());
}

void ProfileViewModel::save() {
    if (isBinding_) {
        return;
    }
    // The task ends on its own; dropping it does not cancel it.
    [[maybe_unused]] auto running = bindKey();
}

QCoro::Task<> ProfileViewModel::bindKey() {
    const QString trimmed = key_.trimmed();
    if (trimmed.isEmpty()) {
        co_return;
    }
    isBinding_ = true;
    emit isBindingChanged();
    setErrorMessage({});
    const auto alive = alive_;
    bool ok = true;
    try {
        co_await login_(trimmed);
    } catch (...) {
        ok = false;
    }
    if (!*alive) {
        co_return;
    }
    isBinding_ = false;
    emit isBindingChanged();
    if (!ok) {
        setErrorMessage(localized(QStringLiteral("profile_bind_key_failed")));
        co_return;
    }
    keyBound_(trimmed);
    boundKey_ = trimmed;
    emit boundKeyChanged();
    setKey({});
}

void ProfileViewModel::setAutoLaunch(bool enabled) {
    setErrorMessage({});
    bool failed = false;
    try {
        launchAtLogin_.setEnabled(enabled);
    } catch (...) {
        failed = true;
    }
    // The toggle shows what the platform says, also after a failure.
    setAutoLaunchEnabled(launchAtLogin_.isEnabled());
    if (failed) {
        setErrorMessage(localized(QStringLiteral("profile_auto_launch_error")));
    }
}

void ProfileViewModel::checkForUpdates() {
    if (updates_) {
        updates_->requestCheck();
    }
}

void ProfileViewModel::refresh() {
    const QString stored = storedKey_();
    if (stored != boundKey_) {
        boundKey_ = stored;
        emit boundKeyChanged();
    }
    setAutoLaunchEnabled(launchAtLogin_.isEnabled());
}

void ProfileViewModel::setErrorMessage(const QString& message) {
    if (message != errorMessage_) {
        errorMessage_ = message;
        emit errorMessageChanged();
    }
}

void ProfileViewModel::setAutoLaunchEnabled(bool enabled) {
    // Always notify: a toggle the user flipped must snap back to the real state.
    isAutoLaunchEnabled_ = enabled;
    emit isAutoLaunchEnabledChanged();
}

}  // namespace corvanta::ui
