#pragma once

#include <array>
#include <string_view>

// Words that name another platform's parts (Apple's Metal and CryptoKit, the macOS preferences,
// Mac models) and nevertheless stay as they are in this Linux build, because the backend, the
// readers of the run log or stored preferences rely on them. They are gathered here so that none
// of them passes for a word of this build; each says why it stays. Plain constants without Qt, so
// that every module, the engine included, can use them.
namespace corvanta::engine::foreign_words {

// The run log's "backend=" word for a search on the GPU (OpenCL here), in the done and throughput
// lines: users and their tools search run logs for it.
inline constexpr std::string_view kGpuBackend = "gpu-metal";
// The run log's "backend=" word for a search on processor cores (this build's own SHA-256
// kernels), kept for the same readers of run logs.
inline constexpr std::string_view kCpuBackend = "cpu-cryptokit";

// The GPU fallback reason when no usable OpenCL device was found: it stands in the run log's
// "fallback reason=" and "note=gpu-only-..." fields, which readers of run logs match.
inline constexpr std::string_view kNoGpuDevice = "no-metal-device";
// The GPU fallback reason when the OpenCL kernel could not be built, in the same run-log fields.
inline constexpr std::string_view kGpuPipelineUnavailable = "metal-pipeline-unavailable";

// The preferences key of the interface's language list that the English-only migration writes
// and checks: every profile written so far holds it, and renaming it would rewrite each once.
inline constexpr std::string_view kLanguagesPreferenceKey = "AppleLanguages";

// Mac model identifiers, as a Mac running Linux reports them in DMI "product_name", give the
// machine description's product image name (`productImageName`, one of its fields). Apple's
// names, since they are what the firmware reports.
struct ProductImagePrefix {
    std::string_view prefix;
    std::string_view image;  // empty: look the exact identifier up in kProductImageFamilies
};

// First match wins, so the longer "MacBook…" names come before "MacBook" and "Mac" comes last.
inline constexpr std::array<ProductImagePrefix, 9> kProductImagePrefixes = {{
    {"MacBookPro", "macbook-pro"},
    {"MacBookAir", "macbook-air"},
    {"MacBookNeo", "macbook-neo"},
    {"MacBook", "macbook-neo"},
    {"iMac", "imac"},
    {"Macmini", "mac-mini"},
    {"MacStudio", "mac-studio"},
    {"MacPro", "mac-pro"},
    {"Mac", ""},
}};

struct ProductImageFamily {
    std::string_view image;
    std::string_view identifiers;  // separated by single spaces
};

// Apple's newer machines are all "MacNN,N", so the family has to be looked up per identifier.
inline constexpr std::array<ProductImageFamily, 7> kProductImageFamilies = {{
    {"macbook-air", "Mac14,2 Mac15,12 Mac15,13 Mac16,12 Mac16,13"},
    {"macbook-pro",
     "Mac14,5 Mac14,6 Mac14,7 Mac14,9 Mac14,10 Mac14,11 Mac14,12 Mac15,3 Mac15,6 Mac15,7 "
     "Mac15,8 Mac15,9 Mac15,10 Mac15,11 Mac16,1 Mac16,5 Mac16,6 Mac16,7 Mac17,1 Mac17,2 "
     "Mac17,3 Mac17,4 Mac17,5 Mac17,6"},
    {"macbook-neo", "Mac17,8 MacBook10,1"},
    {"imac", "Mac15,4 Mac15,5 Mac16,2 Mac16,3"},
    {"mac-mini", "Mac14,3 Mac14,4 Mac16,10 Mac16,11"},
    {"mac-studio", "Mac13,1 Mac13,2 Mac14,13 Mac14,14 Mac15,14 Mac16,9"},
    {"mac-pro", "Mac14,8"},
}};

}  // namespace corvanta::engine::foreign_words
