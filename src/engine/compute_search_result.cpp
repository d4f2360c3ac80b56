#include "engine/compute_search_result.h"

#include "engine/foreign_platform_words.h"

namespace corvanta::engine {

namespace {

// The note of a GPU search that the fallback reason kept from the GPU.
std::string gpuOnlyNote(GpuFallbackReason reason) {
    return "gpu-only-" + std::string(gpuFallbackReasonWord(reason));
}

}  // namespace

std::string_view searchStatusWord(ComputeSearchStatus status) {
    switch (status) {
        case ComputeSearchStatus::completed:
            return "completed";
        case ComputeSearchStatus::unprocessed:
            return "unprocessed";
        case ComputeSearchStatus::failed:
            break;
    }
    return "failed";
}

std::string_view gpuFallbackReasonWord(GpuFallbackReason reason) {
    switch (reason) {
        case GpuFallbackReason::noDevice:
            return foreign_words::kNoGpuDevice;
        case GpuFallbackReason::pipelineUnavailable:
            return foreign_words::kGpuPipelineUnavailable;
        case GpuFallbackReason::seedTooLong:
            return "seed-too-long";
        case GpuFallbackReason::parityFailed:
            break;
    }
    return "gpu-parity-failed";
}

SearchNote gpuFallbackNote(GpuFallbackReason reason) {
    switch (reason) {
        case GpuFallbackReason::noDevice:
            return SearchNote::gpuNoDevice;
        case GpuFallbackReason::pipelineUnavailable:
            return SearchNote::gpuPipelineUnavailable;
        case GpuFallbackReason::seedTooLong:
            return SearchNote::gpuSeedTooLong;
        case GpuFallbackReason::parityFailed:
            break;
    }
    return SearchNote::gpuParityFailed;
}

std::string_view searchNoteWord(SearchNote note) {
    // Built once; the words of the fallback reasons live in one place.
    static const std::string noDevice = gpuOnlyNote(GpuFallbackReason::noDevice);
    static const std::string pipelineUnavailable =
        gpuOnlyNote(GpuFallbackReason::pipelineUnavailable);
    static const std::string seedTooLong = gpuOnlyNote(GpuFallbackReason::seedTooLong);
    static const std::string parityFailed = gpuOnlyNote(GpuFallbackReason::parityFailed);
    switch (note) {
        case SearchNote::cpu:
            return "cpu";
        case SearchNote::gpuOnly:
            return "gpu-only";
        case SearchNote::gpuNoDevice:
            return noDevice;
        case SearchNote::gpuPipelineUnavailable:
            return pipelineUnavailable;
        case SearchNote::gpuSeedTooLong:
            return seedTooLong;
        case SearchNote::gpuParityFailed:
            return parityFailed;
        case SearchNote::gpuDispatchFailed:
            return "gpu-only-dispatch-failed";
        case SearchNote::searchFailed:
            break;
    }
    return "search-failed";
}

std::string_view searchBackendWord(const ComputeSearchResult& result) {
    return result.usedGpu ? foreign_words::kGpuBackend : foreign_words::kCpuBackend;
}

}  // namespace corvanta::engine
