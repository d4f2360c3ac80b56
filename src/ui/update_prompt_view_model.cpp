#include "ui/update_prompt_view_model.h"

#include <QDesktopServices>

#include "platform/string_table.h"
#include "update/app_update_manager.h"

namespace corvanta::ui {

using platform::localized;

UpdatePromptViewModel::UpdatePromptViewModel(update::AppUpdateManager& updates,
                                             QString runningVersion, OpenUrl openUrl,
                                             QObject* parent)
    : QObject(parent),
      updates_(updates),
      runningVersion_(std::move(runningVersion)),
      openUrl_(std::move(openUrl)) {
    if (!openUrl_) {
        openUrl_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    }
    connect(&updates_, &update::AppUpdateManager::availableUpdateChanged, this,
            &UpdatePromptViewModel::changed);
}

bool UpdatePromptViewModel::isVisible() const {
    return updates_.hasUpdate();
}

bool UpdatePromptViewModel::isMandatory() const {
    return updates_.isMandatory();
}

QString UpdatePromptViewModel::title() const {
    const auto& update = updates_.availableUpdate();
    return update ? localized(QStringLiteral("update_dialog_title_format")).arg(update->newVersion)
                  : QString();
}

QString UpdatePromptViewModel::currentVersion() const {
    return localized(QStringLiteral("update_current_version_format")).arg(runningVersion_);
}

QString UpdatePromptViewModel::packageSize() const {
    const auto& update = updates_.availableUpdate();
    if (!update || update->packageSize.isEmpty()) {
        return {};
    }
    return localized(QStringLiteral("update_package_size_format")).arg(update->packageSize);
}

QString UpdatePromptViewModel::descriptionTitle() const {
    return localized(QStringLiteral("update_description_title"));
}

QString UpdatePromptViewModel::description() const {
    const auto& update = updates_.availableUpdate();
    const QString text = update ? update->upgradeText.trimmed() : QString();
    return text.isEmpty() ? localized(QStringLiteral("update_description_default"))
                          : update->upgradeText;
}

QString UpdatePromptViewModel::buttonTitle() const {
    return localized(QStringLiteral("update_button"));
}

bool UpdatePromptViewModel::canDownload() const {
    const auto& update = updates_.availableUpdate();
    return update && update->downloadUrl.has_value();
}

void UpdatePromptViewModel::update() {
    const auto& offered = updates_.availableUpdate();
    if (!offered) {
        return;
    }
    if (offered->downloadUrl && offered->downloadUrl->isValid()) {
        openUrl_(*offered->downloadUrl);
    }
    if (!offered->enforce) {
        updates_.dismissUpdate();
    }
}

void UpdatePromptViewModel::close() {
    updates_.dismissUpdate();
}

}  // namespace corvanta::ui
