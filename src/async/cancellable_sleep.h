#pragma once

#include <QCoroTask>

#include <chrono>
#include <stop_token>

namespace corvanta::async {

// Suspends the calling coroutine (on the main thread) for `duration`, or until `stop` is
// requested, whichever comes first. Returns true when the full duration passed.
QCoro::Task<bool> sleepFor(std::chrono::milliseconds duration, std::stop_token stop);

}  // namespace corvanta::async
