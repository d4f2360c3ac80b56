#pragma once

#include <chrono>
#include <functional>

namespace corvanta::guard {

using MonotonicTime = std::chrono::steady_clock::time_point;
// Where the guard reads the time; tests hand in a clock they move by hand.
using MonotonicClock = std::function<MonotonicTime()>;

inline MonotonicTime steadyNow() {
    return std::chrono::steady_clock::now();
}

}  // namespace corvanta::guard
