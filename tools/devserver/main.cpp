// corvanta-devserver: the reference backend for development, tests and a first run.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <thread>

#include "dev_server.h"

using corvanta::devserver::DevOptions;
using corvanta::devserver::DevServer;

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    // Blocked in every thread; one thread waits for them and stops the server cleanly.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    DevOptions options;
    try {
        options = DevOptions::parse(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "corvanta-devserver: %s\n%s", error.what(), DevOptions::usage());
        return 2;
    }
    if (options.help) {
        std::fputs(DevOptions::usage(), stdout);
        return 0;
    }

    DevServer server(options);
    if (!server.bind()) {
        std::fprintf(stderr, "corvanta-devserver: cannot serve on 127.0.0.1:%d%s\n", options.port,
                     options.certFile.empty() ? "" : " (check --cert and --cert-key)");
        return 1;
    }
    // Scripts and tests read these two lines; keep their form.
    std::printf("listening on %s\n", server.origin().c_str());
    std::printf("demo key: %s\n", server.demoKey().c_str());
    std::fflush(stdout);

    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });
    const bool served = server.run();
    // Wakes the waiter when serving ended on its own.
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    return served ? 0 : 1;
}
