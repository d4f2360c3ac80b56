#include "ui/window_module.h"

namespace corvanta::ui::window_module {

QString moduleWord(Module module) {
    switch (module) {
        case Module::Dashboard:
            return QStringLiteral("dashboard");
        case Module::DeviceInfo:
            return QStringLiteral("device_info");
        case Module::RunLog:
            return QStringLiteral("run_log");
        case Module::AccountInfo:
            break;
    }
    return QStringLiteral("account_info");
}

QList<Module> allModules() {
    return {Module::Dashboard, Module::DeviceInfo, Module::RunLog, Module::AccountInfo};
}

}  // namespace corvanta::ui::window_module
