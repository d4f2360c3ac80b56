#pragma once

#include <QString>

namespace corvanta::tasks {

// What the engine is doing, as the task orchestrator publishes it.
enum class EngineState {
    idle,        // never started
    running,     // started, and neither paused nor stopped
    paused,      // paused by the user: the loop winds down and runs no further task
    stopped,     // stopped, by the user or by itself (see TaskOrchestrator::stopReason)
    waitingKey,  // the loop ended for want of an account key
    restarting,  // stopped by itself; a restart is scheduled
};

// The state's word, as the headless program prints it: "idle", "running", "paused", "stopped",
// "waiting_key", "restarting".
QString engineStateWord(EngineState state);

}  // namespace corvanta::tasks
