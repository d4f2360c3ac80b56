#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace corvanta::bench {

inline bool hasFlag(const std::vector<std::string>& args, const std::string& flag) {
    return std::find(args.begin(), args.end(), flag) != args.end();
}

// The value after `option`, or `fallback` when it is absent.
inline std::string optionValue(const std::vector<std::string>& args, const std::string& option,
                               const std::string& fallback = {}) {
    auto it = std::find(args.begin(), args.end(), option);
    if (it == args.end() || std::next(it) == args.end()) {
        return fallback;
    }
    return *std::next(it);
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A seed of `bytes` printable ASCII bytes.
inline std::string makeSeed(std::size_t bytes) {
    std::string seed;
    for (std::size_t i = 0; i < bytes; ++i) {
        seed.push_back(static_cast<char>('a' + (i * 7) % 26));
    }
    return seed;
}

}  // namespace corvanta::bench
