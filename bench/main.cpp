// corvanta-bench: measures the system against a baseline in the same run and prints the ratio.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "bench_commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
    const char* help;
};

const Command kCommands[] = {
    {"cpu", corvanta::bench::runCpuBench,
     "cpu [--json] [--impl NAME] [--seconds S]   naive baseline vs engine, one and all cores"},
    {"search", corvanta::bench::runSearchCommand,
     "search SEED START END DIFFICULTY [--impl NAME]   print the hits of [START, END)"},
    {"gpu", corvanta::bench::runGpuBench,
     "gpu [--json] [--seconds S]   GPU path vs CPU search on every core"},
    {"log", corvanta::bench::runLogBench,
     "log [--json] [--lines N]   run-log appends per second, database on vs memory only; "
     "resident memory per line, headless and window"},
    {"scheduler", corvanta::bench::runSchedulerBench,
     "scheduler [--json] [--segment-nonces N [--seconds S]]   one task through the full scheduler "
     "vs the bare engine; with N, segments per second and the GPU ceiling"},
    {"neighbour", corvanta::bench::runNeighbourBench,
     "neighbour [--json] [--seconds S]   foreground loop and main-thread timers, alone vs beside "
     "the engine"},
    {"e2e", corvanta::bench::runEndToEndBench,
     "e2e [--json] [--seconds S] [--warm-up W]   corvanta-headless against the devserver vs the "
     "bare engine on every core"},
};

void usage() {
    std::cerr << "usage: corvanta-bench COMMAND [ARGS]\n";
    for (const Command& command : kCommands) {
        std::cerr << "  " << command.help << '\n';
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage();
        return 2;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) {
            try {
                return command.run(args);
            } catch (const std::exception& error) {
                std::cerr << "corvanta-bench: " << error.what() << '\n';
                return 1;
            }
        }
    }
    usage();
    return 2;
}
