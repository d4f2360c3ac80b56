#pragma once

#include <string_view>

namespace corvanta::engine::gpu {

// The source of the GPU kernel sha256_search (src/engine/kernels/sha256_search.cl), embedded into
// the binary at build time.
std::string_view sha256SearchKernelSource();

}  // namespace corvanta::engine::gpu
