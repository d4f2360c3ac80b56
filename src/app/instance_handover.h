#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>

namespace corvanta::app {

// The window's side of one client per profile: the running window listens on a local socket in
// the runtime directory, and a second start of the window asks it to come to the front instead
// of opening a window of its own. Main thread only.
class InstanceHandover : public QObject {
    Q_OBJECT

public:
    explicit InstanceHandover(QObject* parent = nullptr);

    // The socket of this profile (named after its data directory) in the runtime directory.
    static QString socketPath();
    // Asks the window running on this profile to come to the front. False when none answered
    // within `limit` (none runs, or the profile is held by the headless client).
    static bool askRunningWindowToShow(std::chrono::milliseconds limit);

    // Starts answering such requests by calling `show`. False when the socket cannot be made.
    bool listen(std::function<void()> show);

private:
    void answer();

    QLocalServer server_;
    std::function<void()> show_;
};

}  // namespace corvanta::app
