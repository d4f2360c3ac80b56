#pragma once

#include <QtQml/qqmlregistration.h>
#include <QList>
#include <QObject>
#include <QString>

// The modules of the main view, in the order the top bar offers them. Pages compare with
// WindowModule.RunLog and so on (QML reads only enum values that begin with a capital letter).
namespace corvanta::ui::window_module {
Q_NAMESPACE
QML_NAMED_ELEMENT(WindowModule)

enum class Module { Dashboard, DeviceInfo, RunLog, AccountInfo };
Q_ENUM_NS(Module)

// The module's word, which is also its title's key in the string table and names its button:
// "dashboard", "device_info", "run_log", "account_info".
QString moduleWord(Module module);
// Every module, in the top bar's order.
QList<Module> allModules();

}  // namespace corvanta::ui::window_module

namespace corvanta::ui {
using WindowModule = window_module::Module;
}
