#include "engine/sha256/nonce_kernel.h"

namespace corvanta::engine {

NonceKernelInfo nonceKernelInfo(Sha256Impl impl) {
    switch (impl) {
        case Sha256Impl::scalar:
            return {&scanNoncesScalar, 1};
#if defined(__x86_64__)
        case Sha256Impl::shani:
            return {&scanNoncesShaNi, 2};
        case Sha256Impl::avx2:
            return {&scanNoncesAvx2, 1};
        case Sha256Impl::avx512:
            return {&scanNoncesAvx512, 1};
#endif
#if defined(__aarch64__)
        case Sha256Impl::armv8:
            return {&scanNoncesArmv8, 4};
#endif
        default:
            return {};
    }
}

bool searchCancelled(const std::atomic<bool>& cancelled) {
    return cancelled.load(std::memory_order_relaxed);
}

}  // namespace corvanta::engine
