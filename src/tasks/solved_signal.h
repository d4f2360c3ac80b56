#pragma once

#include <QCoroTask>

#include <memory>
#include <stop_token>

#include "async/resume_slot.h"

namespace corvanta::tasks {

// A single-consumer stream of "solved" events with unbounded buffering, made fresh for each run.
// Main thread only.
class SolvedSignal {
public:
    void push();
    // Ends the stream: a waiting or later next() gives false once the buffer is empty.
    void end();
    bool isEnded() const { return ended_; }
    // True for the next event; false when the stream has ended or `stop` was requested.
    QCoro::Task<bool> next(std::stop_token stop);

private:
    void wake();

    int pending_ = 0;
    bool ended_ = false;
    std::shared_ptr<async::ResumeSlot> waiter_;
};

}  // namespace corvanta::tasks
