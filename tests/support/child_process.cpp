#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <system_error>

namespace corvanta::testing {
namespace {

// Waits up to timeout for the child to end; true once it has been reaped.
bool reap(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const pid_t result = waitpid(pid, nullptr, WNOHANG);
        if (result == pid || (result < 0 && errno != EINTR)) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
    // Everything the child needs is built before the fork: between fork and exec only
    // async-signal-safe calls are allowed.
    std::vector<std::string> argumentStrings;
    argumentStrings.push_back(program);
    argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argumentStrings) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) {
        const int error = errno;
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        throw std::system_error(error, std::generic_category(), "fork");
    }
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);  // the test died before the request took hold
        }
        dup2(pipeEnds[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    output_ = pipeEnds[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        if (!reap(pid_, std::chrono::seconds(5))) {
            kill(pid_, SIGKILL);
            reap(pid_, std::chrono::seconds(5));
        }
    }
    if (drain_.joinable()) {
        drain_.join();
    }
    close(output_);
}

std::string ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto newline = buffered_.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffered_.substr(0, newline);
            buffered_.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            throw std::runtime_error("no line from the child process in time");
        }
        pollfd ready{output_, POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (polled <= 0) {
            continue;  // timed out or interrupted: the deadline decides
        }
        char chunk[4096];
        const ssize_t count = read(output_, chunk, sizeof chunk);
        if (count == 0) {
            throw std::runtime_error("the child process closed its output");
        }
        if (count > 0) {
            buffered_.append(chunk, static_cast<std::size_t>(count));
        } else if (errno != EINTR && errno != EAGAIN) {
            throw std::system_error(errno, std::generic_category(), "read");
        }
    }
}

void ChildProcess::killNow() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        reap(pid_, std::chrono::seconds(5));
        pid_ = -1;  // reaped: the number may belong to another process soon
    }
}

void ChildProcess::discardRemainingOutput() {
    drain_ = std::thread([fd = output_] {
        char chunk[4096];
        while (true) {
            const ssize_t count = read(fd, chunk, sizeof chunk);
            if (count == 0 || (count < 0 && errno != EINTR)) {
                return;
            }
        }
    });
}

}  // namespace corvanta::testing
