#include "engine/gpu/kernel_source.h"

#include "engine/kernels/sha256_search_cl.h"

namespace corvanta::engine::gpu {

std::string_view sha256SearchKernelSource() {
    return {kSha256SearchCl, kSha256SearchClSize};
}

}  // namespace corvanta::engine::gpu
