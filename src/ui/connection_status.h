#pragma once

#include <QString>

#include "tasks/engine_state.h"

namespace corvanta::ui {

// What the backend's latest transfer came to: an HTTP answer of any status, a transfer that
// never got one, or nothing yet since the engine started.
enum class LastBackendReply { none, answered, failed };

// The top bar's indicator: whether the user is signed in and what the engine is doing. The value
// is also its label's key in the string table.
// - signed out: "status_signed_out";
// - paused: "status_paused"; waiting for an account key: "status_waiting_key";
// - stopped by itself with a restart scheduled: "status_restarting" (its label takes the seconds
//   left as %1);
// - running, and the latest transfer got an answer: "status_running"; still waiting for the
//   first answer, or retrying after a failed transfer: "status_connecting";
// - anything else (stopped, or not started): "status_stopped".
QString connectionStatusFor(bool signedIn, bool engineRunning, tasks::EngineState engineState,
                            LastBackendReply lastReply);

// The theme colour of the indicator's dot for a status: "success" (running), "accent"
// (connecting), "warning" (paused, waiting for a key or restarting), "secondaryText" (stopped) or
// "danger" (signed out).
QString connectionStatusColor(const QString& status);

}  // namespace corvanta::ui
