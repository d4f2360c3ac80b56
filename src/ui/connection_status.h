#pragma once

#include <QString>

namespace corvanta::ui {

// What the backend's latest transfer came to: an HTTP answer of any status, a transfer that
// never got one, or nothing yet since the engine started.
enum class LastBackendReply { none, answered, failed };

// The top bar's indicator, "connected", "connecting" or "disconnected" (also its label's key):
// - an engine that is not running, or paused, does not talk to the backend: disconnected;
// - a running engine whose latest transfer got an answer and that is working ("running"):
//   connected;
// - a running engine still waiting for its first answer, retrying after a failed transfer, or
//   waiting for a key: connecting.
QString connectionStatusFor(bool engineRunning, const QString& engineState,
                            LastBackendReply lastReply);

}  // namespace corvanta::ui
