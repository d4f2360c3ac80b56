// corvanta-bench e2e [--seconds S] [--warm-up W] [--json] [--devserver PATH] [--headless PATH]
// The whole client against the bare engine: the devserver hands out tasks at a difficulty never
// met, corvanta-headless searches them with everything it does around a search (sign-in, the
// scheduler and its lanes, saved progress, the run log, the pressure controller), and its own
// throughput lines give its rate once it has warmed up. Then the bare engine searches on every
// core for as long, in the same run, and the ratio of the two is printed.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench_commands.h"
#include "bench_util.h"
#include "child_process.h"
#include "engine/compute_engine.h"
#include "parallel_search.h"

namespace corvanta::bench {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Twenty leading zero digits: no task is ever solved, so the client searches without a break.
constexpr int kDifficulty = 20;
// The devserver's seeds are 16 hexadecimal digits.
constexpr std::size_t kSeedBytes = 16;

// "12.34M/s", "5.6K/s" or "42/s" after "rate=" in a throughput line, in nonces per second.
std::optional<double> throughputRate(const std::string& line) {
    if (line.find("throughput workers=") == std::string::npos) {
        return std::nullopt;
    }
    const auto at = line.find(" rate=");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const char* text = line.c_str() + at + 6;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text) {
        return std::nullopt;
    }
    switch (*end) {
        case 'M':
            return value * 1e6;
        case 'K':
            return value * 1e3;
        default:
            return value;
    }
}

class TemporaryHome {
public:
    TemporaryHome() {
        std::string pattern = (fs::temp_directory_path() / "corvanta-e2e-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("no temporary directory");
        }
        path_ = pattern;
    }
    ~TemporaryHome() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    std::string operator/(const char* name) const { return (path_ / name).string(); }
    std::string string() const { return path_.string(); }

private:
    fs::path path_;
};

struct ClientRun {
    std::vector<double> rates;
    double seconds = 0;
};

// Runs the client until it has written throughput lines for `seconds` after `warmUp` seconds of
// them, and returns the rates of the lines inside that window.
ClientRun runClient(const std::string& devserver, const std::string& headless, double warmUp,
                    double seconds) {
    TemporaryHome home;
    ChildProcess server(devserver,
                        {"--port", "0", "--quiet", "--difficulty", std::to_string(kDifficulty)});
    const auto serverDeadline = Clock::now() + std::chrono::seconds(30);
    const auto listening = server.readLine(serverDeadline);
    const auto demoKey = server.readLine(serverDeadline);
    const std::string listeningPrefix = "listening on ";
    const std::string keyPrefix = "demo key: ";
    if (!listening || !demoKey || listening->rfind(listeningPrefix, 0) != 0 ||
        demoKey->rfind(keyPrefix, 0) != 0) {
        throw std::runtime_error("the devserver did not start");
    }
    ChildProcess client(headless, {},
                        {"HOME=" + home.string(), "XDG_DATA_HOME=" + home / "data",
                         "XDG_CONFIG_HOME=" + home / "config", "XDG_CACHE_HOME=" + home / "cache",
                         "CORVANTA_API_BASE_URL=" + listening->substr(listeningPrefix.size()),
                         "CORVANTA_KEY=" + demoKey->substr(keyPrefix.size()),
                         "DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY"});

    ClientRun run;
    std::optional<Clock::time_point> windowStart;
    auto deadline = Clock::now() + std::chrono::minutes(2);  // until the first throughput line
    while (Clock::now() < deadline && !client.outputEnded()) {
        const auto line = client.readLine(deadline);
        if (!line) {
            continue;
        }
        const auto rate = throughputRate(*line);
        if (!rate) {
            continue;
        }
        const auto now = Clock::now();
        if (!windowStart) {
            windowStart = now + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(warmUp));
            deadline = *windowStart + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(seconds));
            continue;
        }
        if (now >= *windowStart) {
            run.rates.push_back(*rate);
            run.seconds = std::chrono::duration<double>(now - *windowStart).count();
        }
    }
    if (run.rates.empty()) {
        throw std::runtime_error("corvanta-headless wrote no throughput lines to measure");
    }
    return run;
}

// The bare engine's processor search on every core for about `seconds`.
double engineRate(double seconds) {
    engine::ComputeEngine engine;
    const std::string seed = makeSeed(kSeedBytes);
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::uint64_t next = 1'000'000'000;
    std::uint64_t share = 1 << 20;
    std::uint64_t searched = 0;
    const auto start = Clock::now();
    for (;;) {
        const auto roundStart = Clock::now();
        searchOnEveryCore(engine, seed, kDifficulty, next, share, threads);
        next += share * threads;
        searched += share * threads;
        const double elapsed = secondsSince(start);
        if (elapsed >= seconds) {
            return static_cast<double>(searched) / elapsed;
        }
        // Rounds of about a quarter second keep the end close to `seconds`.
        const double round = std::max(secondsSince(roundStart), 1e-3);
        share = std::max<std::uint64_t>(
            1 << 16, static_cast<std::uint64_t>(static_cast<double>(share) * 0.25 / round));
    }
}

std::string programBeside(const std::string& relative) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? relative : (self.parent_path().parent_path() / relative).string();
}

}  // namespace

int runEndToEndBench(const std::vector<std::string>& args) {
    const bool json = hasFlag(args, "--json");
    const double seconds = std::stod(optionValue(args, "--seconds", "10"));
    const double warmUp = std::stod(optionValue(args, "--warm-up", "5"));
    const std::string devserver =
        optionValue(args, "--devserver", programBeside("tools/devserver/corvanta-devserver"));
    const std::string headless =
        optionValue(args, "--headless", programBeside("src/app/corvanta-headless"));

    const ClientRun client = runClient(devserver, headless, warmUp, seconds);
    const double clientRate = std::accumulate(client.rates.begin(), client.rates.end(), 0.0) /
                              static_cast<double>(client.rates.size());
    const double bareRate = engineRate(seconds);
    const double ratio = clientRate / bareRate;
    if (json) {
        nlohmann::ordered_json report;
        report["client_nps"] = clientRate;
        report["engine_nps"] = bareRate;
        report["ratio"] = ratio;
        report["throughput_lines"] = client.rates.size();
        std::cout << report.dump() << std::endl;
    } else {
        std::printf(
            "corvanta-headless: %.2f M/s (mean of %zu throughput lines over %.1f s, "
            "after %.0f s of warm-up)\n",
            clientRate / 1e6, client.rates.size(), client.seconds, warmUp);
        std::printf("bare engine on %u threads: %.2f M/s\n",
                    std::max(1u, std::thread::hardware_concurrency()), bareRate / 1e6);
        std::printf("ratio %.3f\n", ratio);
    }
    return 0;
}

}  // namespace corvanta::bench
