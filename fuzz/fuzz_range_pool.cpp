// A range pool restored from whatever a task database row may hold (overlapping, inverted and
// out-of-bound ranges, a next nonce anywhere), then claimed from, returned to and completed like
// the lanes do. No claim may leave [lowerBound, upperBound), exceed the size asked for, touch a
// completed nonce or share a nonce with a range still handed out.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/range_pool.h"

using corvanta::engine::NonceRange;
using corvanta::engine::RangePool;

namespace {

bool overlaps(const NonceRange& a, const NonceRange& b) {
    return a.start < b.end && b.start < a.end;
}

bool overlapsAny(const NonceRange& range, const std::vector<NonceRange>& list) {
    return std::any_of(list.begin(), list.end(),
                       [&](const NonceRange& other) { return overlaps(range, other); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // Mostly small numbers, so that ranges meet; now and then any 64-bit value.
    auto number = [&] {
        return input.ConsumeBool() ? input.ConsumeIntegralInRange<std::uint64_t>(0, 5'000)
                                   : input.ConsumeIntegral<std::uint64_t>();
    };
    auto ranges = [&] {
        std::vector<NonceRange> list(input.ConsumeIntegralInRange<std::size_t>(0, 6));
        for (NonceRange& range : list) {
            range = {number(), number()};
        }
        return list;
    };
    const std::uint64_t lower = number();
    const std::uint64_t upper = number();
    const std::uint64_t next = number();
    const auto completed = ranges();
    const auto returned = ranges();
    const auto claimed = ranges();
    RangePool pool(lower, upper, next, completed, returned, claimed);

    // Completed when restored: never handed out.
    std::vector<NonceRange> done = pool.snapshot().completedRanges;
    for (const NonceRange& range : done) {
        if (range.isEmpty() || range.start < lower || range.end > upper) {
            std::abort();
        }
    }
    std::vector<NonceRange> out;
    for (int step = 0; step < 200 && input.remaining_bytes() > 0; ++step) {
        const std::uint64_t want = input.ConsumeIntegralInRange<std::uint64_t>(1, 2'000);
        const auto range = pool.claim(want);
        if (!range) {
            if (out.empty()) {
                break;
            }
        } else {
            if (range->isEmpty() || range->size() > want || range->start < lower ||
                range->end > upper || overlapsAny(*range, done) || overlapsAny(*range, out)) {
                std::abort();
            }
            out.push_back(*range);
        }
        // Settle one range handed out: searched, or given back.
        const std::size_t which = input.ConsumeIntegralInRange<std::size_t>(0, out.size() - 1);
        const NonceRange settled = out[which];
        out.erase(out.begin() + static_cast<std::ptrdiff_t>(which));
        if (input.ConsumeBool()) {
            pool.complete(settled);
            done.push_back(settled);
        } else {
            pool.returnRange(settled);
        }
    }
    return 0;
}
