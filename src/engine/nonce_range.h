#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace corvanta::engine {

// A half-open range [start, end) of 64-bit nonces. A range whose start is not below its end is
// empty.
struct NonceRange {
    std::uint64_t start = 0;
    std::uint64_t end = 0;

    bool isEmpty() const { return start >= end; }
    // Number of nonces in the range (0 when empty).
    std::uint64_t size() const { return isEmpty() ? 0 : end - start; }

    friend bool operator==(const NonceRange&, const NonceRange&) = default;
    friend auto operator<=>(const NonceRange&, const NonceRange&) = default;

    // {"start":S,"end":E} with exact 64-bit integers, keys in that order.
    nlohmann::ordered_json toJson() const;
    // Throws RangeDecodingError when a key is missing or a value is not an integer in
    // [0, 2^64 - 1].
    static NonceRange fromJson(const nlohmann::json& value);
};

class RangeDecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Drops empty ranges, sorts by (start, end) and merges ranges that overlap or touch.
std::vector<NonceRange> normalizeRanges(std::vector<NonceRange> ranges);

// The JSON text of a list of ranges, as the task database stores it.
std::string rangesToJsonText(const std::vector<NonceRange>& ranges);
// Parses the text of rangesToJsonText. Throws RangeDecodingError on malformed input.
std::vector<NonceRange> rangesFromJsonText(const std::string& text);

}  // namespace corvanta::engine

template <>
struct std::hash<corvanta::engine::NonceRange> {
    std::size_t operator()(const corvanta::engine::NonceRange& r) const noexcept {
        std::size_t h = std::hash<std::uint64_t>{}(r.start);
        return h ^
               (std::hash<std::uint64_t>{}(r.end) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
    }
};
