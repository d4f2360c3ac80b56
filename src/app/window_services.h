#pragma once

#include "app/app_dependency.h"
#include "ui/desktop_services.h"

namespace corvanta::app {

// The window's share of the root's services. Builds the engine's services first: the window's
// pages show and drive the engine from the start.
inline ui::DesktopServices windowServices(AppDependency& deps) {
    deps.buildEngine();
    return ui::DesktopServices{
        deps.settings(),     deps.logBuffer(),      deps.tokenManager(),
        deps.apiClient(),    deps.authRepository(), deps.systemMonitor(),
        deps.orchestrator(), deps.updateManager(),  [&deps] { return deps.loadStoredSignIn(); },
        deps.powerPolicy(),
    };
}

}  // namespace corvanta::app
