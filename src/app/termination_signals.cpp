#include "app/termination_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace corvanta::app {

namespace {

// The handler's end of the socket pair; a signal handler can reach nothing else.
volatile std::sig_atomic_t handlerSocket = -1;

void onSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(handlerSocket, &byte, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets_) != 0) {
        sockets_[0] = sockets_[1] = -1;
        return;
    }
    handlerSocket = sockets_[1];
    notifier_ = std::make_unique<QSocketNotifier>(sockets_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(sockets_[0], &byte, 1) == 1) {
            emit received();
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInterrupt_);
    sigaction(SIGTERM, &action, &previousTerminate_);
}

TerminationSignals::~TerminationSignals() {
    if (!isListening()) {
        return;
    }
    sigaction(SIGINT, &previousInterrupt_, nullptr);
    sigaction(SIGTERM, &previousTerminate_, nullptr);
    notifier_.reset();
    handlerSocket = -1;
    ::close(sockets_[0]);
    ::close(sockets_[1]);
}

}  // namespace corvanta::app
