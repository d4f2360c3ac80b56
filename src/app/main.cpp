// corvanta: the windowed desktop client.
#include <QGuiApplication>
#include <QIcon>
#include <QQuickStyle>
#include <QSocketNotifier>

#include <memory>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

#include "app/app_dependency.h"
#include "ui/desktop_application.h"
#include "ui/language_migration.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    corvanta::app::AppDependency::applyApplicationNames();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Corvanta"));
    QGuiApplication::setDesktopFileName(QStringLiteral("corvanta"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/corvanta.svg")));
    // The pages draw their own controls; Basic is the style that lets them.
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    auto& deps = corvanta::app::AppDependency::shared();
    corvanta::ui::migrateLanguageToEnglish(deps.settings());

    corvanta::ui::DesktopApplication window(deps);
    if (!window.load()) {
        std::fprintf(stderr, "corvanta: the window could not be built\n");
        return 1;
    }

    // SIGINT/SIGTERM quit like closing the window: the engine stops and its progress is kept.
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, [] {
            char byte = 0;
            [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
            QCoreApplication::quit();
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }
    const int code = QGuiApplication::exec();
    deps.windDown();
    return code;
}
