#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace corvanta::testing {

// A program started with fork and exec, its standard output on a pipe and its standard error
// shared with the test. Tests that run the engine's threads in their own process start helpers
// with this rather than QProcess: Qt starts children with clone(CLONE_VM | CLONE_VFORK), so the
// child runs for a moment on the parent's memory and thread state, and ThreadSanitizer stops
// seeing the parent's locks for the rest of the run (every later hand-off looks like a race).
// The child is killed when the test process dies, even without running destructors.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    // Asks the child to end (SIGTERM), and kills it if it has not after five seconds.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of standard output without its line break. Throws when the output ends or
    // no full line arrives in time.
    std::string readLine(std::chrono::milliseconds timeout);
    // Reads and drops the rest of the output in the background, so that the child never blocks
    // on a full pipe.
    void discardRemainingOutput();
    // Ends the child at once with SIGKILL, as a crash would, and reaps it. Output it wrote before
    // can still be read.
    void killNow();

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string buffered_;
    std::thread drain_;
};

}  // namespace corvanta::testing
