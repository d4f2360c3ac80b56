#pragma once

#include <QCoroTask>

#include <memory>
#include <stop_token>

#include "async/resume_slot.h"

namespace corvanta::async {

// A single-consumer stream of events that a coroutine awaits one at a time, with unbounded
// buffering: the task scheduler makes one per run, and the validation of a candidate pushes an
// event when it solves the run's task. Main thread only.
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
    std::shared_ptr<ResumeSlot> waiter_;
};

}  // namespace corvanta::async
