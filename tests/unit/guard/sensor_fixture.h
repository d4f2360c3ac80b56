#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "guard/monotonic_clock.h"

namespace corvanta::guard::testing {

// A throw-away file-system root holding the /proc and /sys files the readers look at.
class SensorFixture {
public:
    SensorFixture() { EXPECT_TRUE(dir_.isValid()); }

    std::filesystem::path root() const { return dir_.path().toStdString(); }

    void write(const std::string& absolutePath, const std::string& content) const {
        const std::filesystem::path path =
            root() / std::filesystem::path(absolutePath).relative_path();
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::trunc) << content;
    }

    void remove(const std::string& absolutePath) const {
        std::filesystem::remove_all(root() / std::filesystem::path(absolutePath).relative_path());
    }

    void writeProcStat(unsigned long user, unsigned long nice, unsigned long system,
                       unsigned long idle) const {
        write("/proc/stat", "cpu  " + std::to_string(user) + " " + std::to_string(nice) + " " +
                                std::to_string(system) + " " + std::to_string(idle) +
                                " 7 0 3 0 0 0\ncpu0 1 2 3 4 5 6 7 8 9 10\nintr 12345\n");
    }

    void writeMemInfo(unsigned long totalKiB, unsigned long availableKiB) const {
        write("/proc/meminfo", "MemTotal:       " + std::to_string(totalKiB) +
                                   " kB\nMemFree:          1000 kB\nMemAvailable:   " +
                                   std::to_string(availableKiB) + " kB\nBuffers:  10 kB\n");
    }

    void writePressure(double someAvg10, double fullAvg10) const {
        write("/proc/pressure/memory",
              "some avg10=" + std::to_string(someAvg10) + " avg60=0.00 avg300=0.00 total=12\n" +
                  "full avg10=" + std::to_string(fullAvg10) + " avg60=0.00 avg300=0.00 total=3\n");
    }

    // A thermal zone with a passive trip at 80 °C, a critical one at 100 °C and a fan trip.
    void writeZone(int zone, long milliCelsius) const {
        const std::string dir = "/sys/class/thermal/thermal_zone" + std::to_string(zone) + "/";
        write(dir + "type", "acpitz\n");
        write(dir + "temp", std::to_string(milliCelsius) + "\n");
        write(dir + "trip_point_0_type", "active\n");
        write(dir + "trip_point_0_temp", "50000\n");
        write(dir + "trip_point_1_type", "passive\n");
        write(dir + "trip_point_1_temp", "80000\n");
        write(dir + "trip_point_2_type", "critical\n");
        write(dir + "trip_point_2_temp", "100000\n");
    }

private:
    QTemporaryDir dir_;
};

// A clock that only moves when the test says so.
class ManualClock {
public:
    MonotonicClock function() {
        return [this] { return now_; };
    }
    void advance(std::chrono::milliseconds by) { now_ += by; }
    MonotonicTime now() const { return now_; }

private:
    MonotonicTime now_{std::chrono::hours(1)};
};

}  // namespace corvanta::guard::testing
