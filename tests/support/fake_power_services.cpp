#include "support/fake_power_services.h"

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>

#include <poll.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace corvanta::testing {

// The properties UPower's display device has, as far as the client reads them.
class FakeUpowerDevice : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UPower.Device")
    Q_PROPERTY(uint Type MEMBER type)
    Q_PROPERTY(bool IsPresent MEMBER isPresent)
    Q_PROPERTY(uint State MEMBER state)
    Q_PROPERTY(double Percentage MEMBER percentage)

public:
    uint type = 0;
    bool isPresent = false;
    uint state = 0;
    double percentage = 0;
};

// logind's Inhibit: every lock is the write end of a pipe whose read end stays here, so that the
// lock counts as held until every copy the client got is closed.
class FakeLogindManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    ~FakeLogindManager() override {
        for (int fd : readEnds_) {
            ::close(fd);
        }
    }

    int heldLocks() const {
        int held = 0;
        for (int fd : readEnds_) {
            pollfd check{fd, POLLIN, 0};
            held += ::poll(&check, 1, 0) == 0 ? 1 : 0;  // no hang-up yet
        }
        return held;
    }

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString&, const QString&, const QString&,
                                    const QString&) {
        int ends[2];
        if (::pipe(ends) != 0) {
            return {};
        }
        readEnds_.push_back(ends[0]);
        QDBusUnixFileDescriptor lock(ends[1]);  // a copy of its own
        ::close(ends[1]);
        return lock;
    }

private:
    std::vector<int> readEnds_;
};

namespace {
const QString kDevicePath = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
}

FakePowerServices::FakePowerServices(const QString& busAddress)
    : bus_(QDBusConnection::connectToBus(busAddress, QStringLiteral("corvanta-fake-power"))),
      device_(std::make_unique<FakeUpowerDevice>()),
      manager_(std::make_unique<FakeLogindManager>()) {
    if (!bus_.isConnected() || !bus_.registerService(QStringLiteral("org.freedesktop.UPower")) ||
        !bus_.registerService(QStringLiteral("org.freedesktop.login1")) ||
        !bus_.registerObject(kDevicePath, device_.get(), QDBusConnection::ExportAllProperties) ||
        !bus_.registerObject(QStringLiteral("/org/freedesktop/login1"), manager_.get(),
                             QDBusConnection::ExportAllSlots)) {
        throw std::runtime_error("cannot serve the fake power services");
    }
}

FakePowerServices::~FakePowerServices() {
    bus_.unregisterObject(kDevicePath);
    bus_.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("corvanta-fake-power"));
}

void FakePowerServices::setBattery(unsigned state, double percent) {
    device_->type = 2;
    device_->isPresent = true;
    device_->state = state;
    device_->percentage = percent;
    announce();
}

void FakePowerServices::removeBattery() {
    device_->type = 0;
    device_->isPresent = false;
    device_->state = 0;
    device_->percentage = 0;
    announce();
}

void FakePowerServices::announce() {
    QDBusMessage signal =
        QDBusMessage::createSignal(kDevicePath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.freedesktop.UPower.Device")
           << QVariantMap{{QStringLiteral("State"), device_->state}} << QStringList();
    bus_.send(signal);
}

int FakePowerServices::heldDelayLocks() const {
    return manager_->heldLocks();
}

void FakePowerServices::prepareForSleep(bool sleeping) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("PrepareForSleep"));
    signal << sleeping;
    bus_.send(signal);
}

}  // namespace corvanta::testing

#include "fake_power_services.moc"
