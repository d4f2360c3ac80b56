#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace corvanta::bench {

// A program the bench starts, with its standard output on a pipe and its standard error
// dropped. It dies with the bench, even without destructors running.
class ChildProcess {
public:
    // `environment` entries "NAME=value" are set in the child and entries "NAME" are removed;
    // everything else is inherited.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment = {});
    // Asks the child to end (SIGTERM) and kills it if it has not after ten seconds.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of standard output without its line break, or nothing when none arrives
    // before `deadline` or the output has ended.
    std::optional<std::string> readLine(std::chrono::steady_clock::time_point deadline);
    // The child closed its standard output (it has ended, as a rule).
    bool outputEnded() const { return outputEnded_; }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    bool outputEnded_ = false;
    std::string buffered_;
};

}  // namespace corvanta::bench
