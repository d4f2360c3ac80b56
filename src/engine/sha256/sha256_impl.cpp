#include "engine/sha256/sha256_impl.h"

#include <time.h>
#include <algorithm>
#include <atomic>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "engine/sha256/nonce_kernel.h"
#include "engine/sha256/nonce_searcher.h"

#if defined(__x86_64__)
#include <cpuid.h>
#elif defined(__aarch64__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#endif

namespace corvanta::engine {

namespace {

constexpr Sha256Impl kAllImpls[] = {Sha256Impl::scalar, Sha256Impl::shani, Sha256Impl::avx2,
                                    Sha256Impl::avx512, Sha256Impl::armv8};

struct ProcessorFeatures {
    bool shaNi = false;
    bool avx2 = false;
    bool avx512 = false;
    bool armSha2 = false;
};

#if defined(__x86_64__)
std::uint64_t readXcr0() {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return std::uint64_t{high} << 32 | low;
}
#endif

ProcessorFeatures detectFeatures() {
    ProcessorFeatures features;
#if defined(__x86_64__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        return features;
    }
    const bool sse41 = (ecx & bit_SSE4_1) != 0;
    const bool avx = (ecx & bit_AVX) != 0;
    // The vector registers are only usable when the operating system saves them on a switch.
    const std::uint64_t xcr0 = (ecx & bit_OSXSAVE) != 0 ? readXcr0() : 0;
    const bool ymmSaved = (xcr0 & 0x6) == 0x6;    // SSE and AVX state
    const bool zmmSaved = (xcr0 & 0xe6) == 0xe6;  // and opmask, ZMM0-15 upper halves, ZMM16-31
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) {
        return features;
    }
    features.shaNi = (ebx & bit_SHA) != 0 && sse41;
    features.avx2 = (ebx & bit_AVX2) != 0 && avx && ymmSaved;
    features.avx512 = (ebx & bit_AVX512F) != 0 && features.avx2 && zmmSaved;
#elif defined(__aarch64__)
    features.armSha2 = (getauxval(AT_HWCAP) & HWCAP_SHA2) != 0;
#endif
    return features;
}

const ProcessorFeatures& processorFeatures() {
    static const ProcessorFeatures features = detectFeatures();
    return features;
}

// Nonces per second of a short search with `impl`.
double measureRate(Sha256Impl impl, std::chrono::microseconds budget) {
    // A 40-byte seed and a difficulty no nonce meets: the hot loop, nothing else.
    NonceSearcher searcher(std::string(40, 'k'), 20, impl);
    const std::atomic<bool> never{false};
    constexpr std::uint64_t kChunk = 1 << 14;
    std::uint64_t nonce = 1'000'000'000;
    std::uint64_t searched = 0;
    // The thread's own processor time, so other work on a busy machine cannot skew the choice.
    const auto threadTime = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
    };
    const auto begin = threadTime();
    std::chrono::nanoseconds elapsed{0};
    do {
        searched += searcher.search(nonce, nonce + kChunk, never, {});
        nonce += kChunk;
        elapsed = threadTime() - begin;
    } while (elapsed < budget);
    return static_cast<double>(searched) / std::chrono::duration<double>(elapsed).count();
}

// Which kernel is fastest depends on the chip (vector width, SHA unit), so they are timed
// against each other: a few short interleaved runs, best of each, so that a burst of other work
// does not decide.
Sha256Impl fastestImpl() {
    // AVX2's 8 lanes lose to either SHA unit or 16-lane AVX-512 wherever those exist.
    std::vector<Sha256Impl> candidates;
    for (Sha256Impl impl : supportedSha256Impls()) {
        if (impl != Sha256Impl::scalar && impl != Sha256Impl::avx2) {
            candidates.push_back(impl);
        }
    }
    if (candidates.empty() && sha256ImplSupported(Sha256Impl::avx2)) {
        candidates.push_back(Sha256Impl::avx2);
    }
    if (candidates.empty()) {
        return Sha256Impl::scalar;
    }
    if (candidates.size() == 1) {
        return candidates.front();
    }
    std::vector<double> best(candidates.size(), 0.0);
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            best[i] = std::max(best[i], measureRate(candidates[i], std::chrono::milliseconds(3)));
        }
    }
    std::size_t fastest = 0;
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        if (best[i] > best[fastest]) {
            fastest = i;
        }
    }
    return candidates[fastest];
}

Sha256Impl chooseDefaultImpl() {
    if (const char* forced = std::getenv("CORVANTA_SHA256_IMPL"); forced && *forced) {
        if (auto impl = sha256ImplFromName(forced); impl && sha256ImplSupported(*impl)) {
            return *impl;
        }
        std::fprintf(stderr,
                     "corvanta: CORVANTA_SHA256_IMPL=%s is not available here; choosing the "
                     "kernel automatically\n",
                     forced);
    }
    return fastestImpl();
}

}  // namespace

std::string_view sha256ImplName(Sha256Impl impl) {
    switch (impl) {
        case Sha256Impl::scalar:
            return "scalar";
        case Sha256Impl::shani:
            return "shani";
        case Sha256Impl::avx2:
            return "avx2";
        case Sha256Impl::avx512:
            return "avx512";
        case Sha256Impl::armv8:
            return "armv8";
    }
    return "scalar";
}

std::optional<Sha256Impl> sha256ImplFromName(std::string_view name) {
    for (Sha256Impl impl : kAllImpls) {
        if (sha256ImplName(impl) == name) {
            return impl;
        }
    }
    return std::nullopt;
}

bool sha256ImplSupported(Sha256Impl impl) {
    if (nonceKernelInfo(impl).scan == nullptr) {
        return false;  // not built for this architecture
    }
    const ProcessorFeatures& features = processorFeatures();
    switch (impl) {
        case Sha256Impl::scalar:
            return true;
        case Sha256Impl::shani:
            return features.shaNi;
        case Sha256Impl::avx2:
            return features.avx2;
        case Sha256Impl::avx512:
            return features.avx512;
        case Sha256Impl::armv8:
            return features.armSha2;
    }
    return false;
}

std::vector<Sha256Impl> supportedSha256Impls() {
    std::vector<Sha256Impl> impls;
    for (Sha256Impl impl : kAllImpls) {
        if (sha256ImplSupported(impl)) {
            impls.push_back(impl);
        }
    }
    return impls;
}

Sha256Impl defaultSha256Impl() {
    static std::once_flag once;
    static Sha256Impl chosen = Sha256Impl::scalar;
    std::call_once(once, [] { chosen = chooseDefaultImpl(); });
    return chosen;
}

}  // namespace corvanta::engine
