#pragma once

#include <string>
#include <vector>

#include "dev_state.h"
#include "fault.h"

namespace corvanta::devserver {

struct DevOptions {
    int port = 8787;
    std::string demoKey = "corvanta-demo-key";
    std::vector<std::string> extraKeys;
    DevConfig config;
    std::string certFile;
    std::string keyFile;
    std::vector<Fault> faults;
    bool quiet = false;
    bool help = false;

    // Throws std::invalid_argument with a message for the user.
    static DevOptions parse(int argc, char** argv);
    static const char* usage();
};

}  // namespace corvanta::devserver
