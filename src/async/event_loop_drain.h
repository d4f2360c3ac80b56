#pragma once

#include <chrono>

namespace corvanta::async {

// Runs the main thread's event loop until no event has been delivered for `quiet`, or `limit`
// has passed. For shutdown, after exec() has returned: coroutines that were told to stop resume
// through posted events and timers, and those dropped with the application object would leave
// their suspended frames (and everything they hold) behind.
void drainEventLoop(std::chrono::milliseconds quiet, std::chrono::milliseconds limit);

}  // namespace corvanta::async
