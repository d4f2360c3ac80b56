#pragma once

#include <QString>

#include <chrono>
#include <functional>

namespace corvanta::tasks {

// How long the engine waits before it starts again after stopping by itself: 30 s, then 1, 2, 4
// and 8 minutes, never more than 15 minutes, each shortened by up to 10 % at random so that a
// fleet that lost the backend at the same moment does not come back at the same moment. An
// accepted task starts the series again.
class RestartBackoff {
public:
    static constexpr std::chrono::milliseconds kFirstDelay{30'000};
    static constexpr std::chrono::milliseconds kLongestDelay{15 * 60'000};
    static constexpr double kJitter = 0.10;

    // `unitRandom` gives numbers in [0, 1); by default Qt's global generator. `scale` multiplies
    // every delay (tests shorten the series with it).
    explicit RestartBackoff(double scale = 1.0, std::function<double()> unitRandom = {});

    // The delay before the next restart; every call doubles the one after it.
    std::chrono::milliseconds next();
    // A task was accepted: the next delay is the first one again.
    void reset() { restarts_ = 0; }
    // Restarts scheduled since the last reset.
    int restarts() const { return restarts_; }

    // The factor CORVANTA_RESTART_DELAY_SCALE asks for (a positive number; 0.01 makes the first
    // delay 0.3 s), else 1.
    static double scaleFromEnvironment();

private:
    double scale_;
    std::function<double()> unitRandom_;
    int restarts_ = 0;
};

}  // namespace corvanta::tasks
