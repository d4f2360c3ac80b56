#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta::engine {

enum class ComputeSearchStatus { completed, unprocessed, failed };

// Why the GPU may not search for a seed; the first that applies wins, in this order.
enum class GpuFallbackReason {
    noDevice,             // no usable OpenCL device
    pipelineUnavailable,  // the kernel could not be built for it
    seedTooLong,          // the seed has more than 99 bytes
    parityFailed,         // the parity probe found the kernel wrong
};

// How a search went, in a word for the run log ("note=").
enum class SearchNote {
    cpu,                     // searched on processor cores
    gpuOnly,                 // searched on the GPU (or cancelled before its first dispatch)
    gpuNoDevice,             // not searched: GpuFallbackReason::noDevice
    gpuPipelineUnavailable,  // not searched: GpuFallbackReason::pipelineUnavailable
    gpuSeedTooLong,          // not searched: GpuFallbackReason::seedTooLong
    gpuParityFailed,         // not searched: GpuFallbackReason::parityFailed
    gpuDispatchFailed,       // an OpenCL dispatch failed; the range counts as not searched
    searchFailed,            // a fault on the search thread; the range counts as not searched
};

// What one search of a range gives back.
struct ComputeSearchResult {
    std::vector<std::uint64_t> nonces;  // hits, ascending
    bool usedGpu = false;
    int batches = 0;
    SearchNote note = SearchNote::cpu;
    ComputeSearchStatus status = ComputeSearchStatus::completed;
};

// The run log's words: "completed", "unprocessed", "failed".
std::string_view searchStatusWord(ComputeSearchStatus status);
// "no-metal-device", "metal-pipeline-unavailable", "seed-too-long", "gpu-parity-failed".
std::string_view gpuFallbackReasonWord(GpuFallbackReason reason);
// The note of a GPU search the reason kept from the GPU.
SearchNote gpuFallbackNote(GpuFallbackReason reason);
// "cpu", "gpu-only", "gpu-only-" + the fallback reason's word, "gpu-only-dispatch-failed",
// "search-failed".
std::string_view searchNoteWord(SearchNote note);
// The run log's "backend=" word for where the result was searched: "gpu-metal" or
// "cpu-cryptokit" (see foreign_platform_words.h).
std::string_view searchBackendWord(const ComputeSearchResult& result);

}  // namespace corvanta::engine
