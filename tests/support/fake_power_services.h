#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <memory>

namespace corvanta::testing {

class FakeLogindManager;
class FakeUpowerDevice;

// UPower's display device and logind's sleep signal, served on a bus of the test's own: the
// machine's real power services cannot be driven from a test.
class FakePowerServices {
public:
    // UPower's device states.
    static constexpr unsigned kCharging = 1;
    static constexpr unsigned kDischarging = 2;
    static constexpr unsigned kFullyCharged = 4;

    explicit FakePowerServices(const QString& busAddress);
    ~FakePowerServices();

    // A battery (UPower type 2) in `state` with `percent` charge; announced as a property change.
    void setBattery(unsigned state, double percent);
    // No battery: a desktop's display device (type 0, not present).
    void removeBattery();
    // logind's PrepareForSleep(sleeping).
    void prepareForSleep(bool sleeping);
    // The "delay" locks on sleep that clients still hold.
    int heldDelayLocks() const;

private:
    void announce();

    QDBusConnection bus_;
    std::unique_ptr<FakeUpowerDevice> device_;
    std::unique_ptr<FakeLogindManager> manager_;
};

}  // namespace corvanta::testing
