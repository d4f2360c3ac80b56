#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <thread>

extern char** environ;

namespace corvanta::bench {

namespace {

// Waits up to `timeout` for the child to end; true once it has been reaped.
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

// The bench's environment with `changes` applied.
std::vector<std::string> childEnvironment(const std::vector<std::string>& changes) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        result.emplace_back(*entry);
    }
    for (const std::string& change : changes) {
        const auto equals = change.find('=');
        const std::string name = change.substr(0, equals);
        std::erase_if(result, [&](const std::string& existing) {
            return existing.compare(0, name.size() + 1, name + "=") == 0;
        });
        if (equals != std::string::npos) {
            result.push_back(change);
        }
    }
    return result;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment) {
    // Everything the child needs is built before the fork: between fork and exec only
    // async-signal-safe calls are allowed.
    std::vector<std::string> argumentStrings{program};
    argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argumentStrings) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environmentStrings = childEnvironment(environment);
    std::vector<char*> envp;
    for (std::string& entry : environmentStrings) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) {
        const int error = errno;
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        close(devNull);
        throw std::system_error(error, std::generic_category(), "fork");
    }
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);  // the bench died before the request took hold
        }
        dup2(pipeEnds[1], STDOUT_FILENO);
        if (devNull >= 0) {
            dup2(devNull, STDERR_FILENO);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    if (devNull >= 0) {
        close(devNull);
    }
    output_ = pipeEnds[0];
}

ChildProcess::~ChildProcess() {
    kill(pid_, SIGTERM);
    if (!reap(pid_, std::chrono::seconds(10))) {
        kill(pid_, SIGKILL);
        reap(pid_, std::chrono::seconds(5));
    }
    close(output_);
}

std::optional<std::string> ChildProcess::readLine(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto newline = buffered_.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffered_.substr(0, newline);
            buffered_.erase(0, newline + 1);
            return line;
        }
        if (outputEnded_) {
            return std::nullopt;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd ready{output_, POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(left.count()));
        if (polled <= 0) {
            continue;  // timed out or interrupted: the deadline decides
        }
        char chunk[4096];
        const ssize_t count = read(output_, chunk, sizeof chunk);
        if (count == 0) {
            outputEnded_ = true;
            return std::nullopt;
        }
        if (count > 0) {
            buffered_.append(chunk, static_cast<std::size_t>(count));
        } else if (errno != EINTR && errno != EAGAIN) {
            return std::nullopt;
        }
    }
}

}  // namespace corvanta::bench
