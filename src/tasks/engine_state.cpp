#include "tasks/engine_state.h"

namespace corvanta::tasks {

QString engineStateWord(EngineState state) {
    switch (state) {
        case EngineState::idle:
            return QStringLiteral("idle");
        case EngineState::running:
            return QStringLiteral("running");
        case EngineState::paused:
            return QStringLiteral("paused");
        case EngineState::stopped:
            return QStringLiteral("stopped");
        case EngineState::restarting:
            return QStringLiteral("restarting");
        case EngineState::waitingKey:
            break;
    }
    return QStringLiteral("waiting_key");
}

}  // namespace corvanta::tasks
