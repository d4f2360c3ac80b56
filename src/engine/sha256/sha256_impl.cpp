#include "engine/sha256/sha256_impl.h"

#include <cstdlib>

namespace corvanta::engine {

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
    for (Sha256Impl impl : {Sha256Impl::scalar, Sha256Impl::shani, Sha256Impl::avx2,
                            Sha256Impl::avx512, Sha256Impl::armv8}) {
        if (sha256ImplName(impl) == name) {
            return impl;
        }
    }
    return std::nullopt;
}

bool sha256ImplSupported(Sha256Impl impl) {
    return impl == Sha256Impl::scalar;
}

std::vector<Sha256Impl> supportedSha256Impls() {
    return {Sha256Impl::scalar};
}

Sha256Impl defaultSha256Impl() {
    if (const char* forced = std::getenv("CORVANTA_SHA256_IMPL")) {
        if (auto impl = sha256ImplFromName(forced); impl && sha256ImplSupported(*impl)) {
            return *impl;
        }
    }
    return Sha256Impl::scalar;
}

}  // namespace corvanta::engine
