#include "engine/nonce_range.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace corvanta::engine {

namespace {

std::uint64_t decodeBound(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end()) {
        throw RangeDecodingError(std::string("nonce range: missing \"") + key + "\"");
    }
    if (it->is_number_unsigned()) {
        return it->get<std::uint64_t>();
    }
    if (it->is_number_integer()) {
        const auto value = it->get<std::int64_t>();
        if (value >= 0) {
            return static_cast<std::uint64_t>(value);
        }
        throw RangeDecodingError(std::string("nonce range: \"") + key + "\" is negative");
    }
    // Fractional numbers and integers beyond 64 bits arrive as floating point.
    throw RangeDecodingError(std::string("nonce range: \"") + key +
                             "\" is not an unsigned 64-bit integer");
}

}  // namespace

nlohmann::ordered_json NonceRange::toJson() const {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object["start"] = start;
    object["end"] = end;
    return object;
}

NonceRange NonceRange::fromJson(const nlohmann::json& value) {
    if (!value.is_object()) {
        throw RangeDecodingError("nonce range: not an object");
    }
    return NonceRange{decodeBound(value, "start"), decodeBound(value, "end")};
}

std::vector<NonceRange> normalizeRanges(std::vector<NonceRange> ranges) {
    std::erase_if(ranges, [](const NonceRange& r) { return r.isEmpty(); });
    std::sort(ranges.begin(), ranges.end());
    std::vector<NonceRange> merged;
    merged.reserve(ranges.size());
    for (const NonceRange& next : ranges) {
        if (!merged.empty() && next.start <= merged.back().end) {
            merged.back().end = std::max(merged.back().end, next.end);
        } else {
            merged.push_back(next);
        }
    }
    return merged;
}

std::string rangesToJsonText(const std::vector<NonceRange>& ranges) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const NonceRange& r : ranges) {
        array.push_back(r.toJson());
    }
    return array.dump();
}

std::vector<NonceRange> rangesFromJsonText(const std::string& text) {
    nlohmann::json parsed = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded()) {
        throw RangeDecodingError("nonce ranges: malformed JSON");
    }
    if (!parsed.is_array()) {
        throw RangeDecodingError("nonce ranges: not an array");
    }
    std::vector<NonceRange> ranges;
    ranges.reserve(parsed.size());
    for (const auto& element : parsed) {
        ranges.push_back(NonceRange::fromJson(element));
    }
    return ranges;
}

}  // namespace corvanta::engine
