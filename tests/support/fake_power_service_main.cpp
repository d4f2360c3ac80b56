// fake-power-service BUS_ADDRESS: UPower's display device and logind's sleep signal on the given
// bus, for tests and measurements of the real programs. Commands on standard input, one a line:
//   battery STATE PERCENT   a battery in UPower's STATE (1 charging, 2 discharging, 4 full)
//   nobattery               no battery
//   sleep | wake            logind's PrepareForSleep(true | false)
// Prints "ready" once it serves, and "ok" after every command.
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <unistd.h>
#include <cstdio>

#include "support/fake_power_services.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fake-power-service BUS_ADDRESS\n");
        return 2;
    }
    corvanta::testing::FakePowerServices services(QString::fromLocal8Bit(argv[1]));
    std::printf("ready\n");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (!std::fgets(buffer, sizeof buffer, stdin)) {
            QCoreApplication::quit();
            return;
        }
        const QStringList words =
            QString::fromLocal8Bit(buffer).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString command = words.value(0).trimmed();
        if (command == QLatin1String("battery") && words.size() == 3) {
            services.setBattery(words[1].toUInt(), words[2].trimmed().toDouble());
        } else if (command == QLatin1String("nobattery")) {
            services.removeBattery();
        } else if (command == QLatin1String("sleep") || command == QLatin1String("wake")) {
            services.prepareForSleep(command == QLatin1String("sleep"));
        } else {
            std::printf("unknown command\n");
            std::fflush(stdout);
            return;
        }
        std::printf("ok\n");
        std::fflush(stdout);
    });
    return QCoreApplication::exec();
}
