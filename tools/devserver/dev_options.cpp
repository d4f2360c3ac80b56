#include "dev_options.h"

#include <stdexcept>

namespace corvanta::devserver {

const char* DevOptions::usage() {
    return "usage: corvanta-devserver [options]\n"
           "  --port N                 port on 127.0.0.1 (default 8787; 0 picks a free one)\n"
           "  --demo-key K             the demo account's key (default corvanta-demo-key)\n"
           "  --key K                  another account key (repeatable)\n"
           "  --token-lifetime S       seconds a token lives (default 604800)\n"
           "  --difficulty N           leading zero hex digits a task asks for (default 5)\n"
           "  --upper-bound N          nonce space of a task (default 42949672960; 0 omits it)\n"
           "  --reissue N              hand a device's unsolved task out again up to N times\n"
           "  --version-reply MODE     none | optional | mandatory (default none)\n"
           "  --latest-version V       version offered by the version check (default 1.2.0)\n"
           "  --cert FILE --cert-key FILE   serve HTTPS with this certificate and key\n"
           "  --fault FAULT            PATH:key=value,... (repeatable; see README.md)\n"
           "  --quiet                  no request log on standard error\n";
}

DevOptions DevOptions::parse(int argc, char** argv) {
    DevOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                throw std::invalid_argument(arg + " needs a value");
            }
            return argv[++i];
        };
        const auto number = [&](const std::string& text) -> long long {
            std::size_t used = 0;
            const long long n = std::stoll(text, &used);
            if (used != text.size()) {
                throw std::invalid_argument(arg + ": not a number: " + text);
            }
            return n;
        };
        if (arg == "--port") {
            options.port = int(number(value()));
            if (options.port < 0 || options.port > 65535) {
                throw std::invalid_argument("--port must be 0..65535");
            }
        } else if (arg == "--demo-key") {
            options.demoKey = value();
        } else if (arg == "--key") {
            options.extraKeys.push_back(value());
        } else if (arg == "--token-lifetime") {
            options.config.tokenLifetimeSeconds = number(value());
        } else if (arg == "--difficulty") {
            options.config.difficulty = number(value());
        } else if (arg == "--upper-bound") {
            options.config.upperBound = std::stoull(value());
        } else if (arg == "--reissue") {
            options.config.reissueUnsolved = static_cast<int>(number(value()));
        } else if (arg == "--version-reply") {
            options.config.versionReply = value();
            if (options.config.versionReply != "none" &&
                options.config.versionReply != "optional" &&
                options.config.versionReply != "mandatory") {
                throw std::invalid_argument("--version-reply must be none, optional or mandatory");
            }
        } else if (arg == "--latest-version") {
            options.config.latestVersion = value();
        } else if (arg == "--cert") {
            options.certFile = value();
        } else if (arg == "--cert-key") {
            options.keyFile = value();
        } else if (arg == "--fault") {
            options.faults.push_back(Fault::parse(value()));
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else {
            throw std::invalid_argument("unknown option: " + arg);
        }
    }
    if (options.certFile.empty() != options.keyFile.empty()) {
        throw std::invalid_argument("--cert and --cert-key go together");
    }
    return options;
}

}  // namespace corvanta::devserver
