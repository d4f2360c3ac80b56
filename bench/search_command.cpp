// corvanta-bench search SEED START END DIFFICULTY [--impl NAME]
// Prints the hits of [START, END), one decimal nonce per line. --impl gpu runs the engine's GPU
// path alone: when it leaves the range unprocessed, its note goes to standard error and the exit
// code is 1.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>

#include "bench_commands.h"
#include "bench_util.h"
#include "engine/compute_engine.h"

namespace corvanta::bench {

namespace {

template <typename T>
bool parseNumber(const std::string& text, T& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr == last;
}

}  // namespace

int runSearchCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--impl") {
            ++i;
        } else {
            positional.push_back(args[i]);
        }
    }
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    int difficulty = 0;
    if (positional.size() != 4 || !parseNumber(positional[1], start) ||
        !parseNumber(positional[2], end) || !parseNumber(positional[3], difficulty)) {
        std::cerr << "usage: corvanta-bench search SEED START END DIFFICULTY [--impl NAME]\n";
        return 2;
    }
    if (start > end) {
        std::cerr << "corvanta-bench: START lies above END\n";
        return 2;
    }
    engine::ComputeEngine::Options options;
    const std::string implName = optionValue(args, "--impl");
    const bool gpu = implName == "gpu";
    if (!implName.empty() && !gpu) {
        auto parsed = engine::sha256ImplFromName(implName);
        if (!parsed || !engine::sha256ImplSupported(*parsed)) {
            std::cerr << "corvanta-bench: kernel '" << implName << "' is not available here\n";
            return 2;
        }
        options.cpuImpl = *parsed;
    }
    engine::ComputeEngine engine(options);
    const auto result = engine.searchRange(engine::SearchRequest{
        start, end, positional[0], difficulty,
        gpu ? engine::ComputeWorkerLaneKind::gpu : engine::ComputeWorkerLaneKind::cpu,
        std::nullopt});
    if (result.status != engine::ComputeSearchStatus::completed) {
        std::cerr << "corvanta-bench: range not searched: " << engine::searchNoteWord(result.note)
                  << '\n';
        return 1;
    }
    std::string out;
    for (std::uint64_t nonce : result.nonces) {
        out += std::to_string(nonce);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace corvanta::bench
