// The stored list of completed nonce ranges, as read back from the task database.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/nonce_range.h"

using corvanta::engine::NonceRange;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<NonceRange> ranges;
    try {
        ranges = corvanta::engine::rangesFromJsonText(text);
    } catch (const corvanta::engine::RangeDecodingError&) {
        return 0;
    }
    // What was read must survive normalising and a write-read round trip unchanged.
    const auto normal = corvanta::engine::normalizeRanges(ranges);
    for (std::size_t i = 0; i < normal.size(); ++i) {
        if (normal[i].isEmpty() || (i > 0 && normal[i - 1].end >= normal[i].start)) {
            std::abort();
        }
    }
    if (corvanta::engine::rangesFromJsonText(corvanta::engine::rangesToJsonText(normal)) !=
        normal) {
        std::abort();
    }
    return 0;
}
