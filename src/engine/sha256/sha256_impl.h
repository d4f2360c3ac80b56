#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace corvanta::engine {

// The SHA-256 kernels the nonce search can run on.
enum class Sha256Impl { scalar, shani, avx2, avx512, armv8 };

std::string_view sha256ImplName(Sha256Impl impl);
std::optional<Sha256Impl> sha256ImplFromName(std::string_view name);
// Whether this build and this processor can run the kernel.
bool sha256ImplSupported(Sha256Impl impl);
std::vector<Sha256Impl> supportedSha256Impls();
// The kernel searches use by default: the one named by CORVANTA_SHA256_IMPL when it is set and
// supported, else the fastest one on this processor (decided once per process).
Sha256Impl defaultSha256Impl();

}  // namespace corvanta::engine
