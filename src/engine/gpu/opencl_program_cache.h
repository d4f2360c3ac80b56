#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta::engine::gpu {

class OpenClDevice;

// Built OpenCL programs on disk, so that a later start loads the device binary instead of running
// the compiler again. One file per key; the key names the device, its driver version and a hash of
// the kernel source, so a new driver or a changed kernel never picks up a stale binary. Each file
// carries its key and a SHA-256 checksum: a truncated or damaged file reads as absent and is
// written anew after the next build. Safe to share between processes: files are written whole
// under a temporary name and renamed into place.
class OpenClProgramCache {
public:
    explicit OpenClProgramCache(std::filesystem::path directory);

    // The key of `source` built for `device` with the build options `options`.
    static std::string keyFor(const OpenClDevice& device, std::string_view source,
                              std::string_view options);

    enum class LoadResult { hit, absent, damaged };
    // The binary stored under `key`; `result`, when given, says why there is none.
    std::optional<std::vector<unsigned char>> load(const std::string& key,
                                                   LoadResult* result = nullptr) const;
    // Stores `binary` under `key`, creating the directory (owner only) when needed. False when
    // it could not be written; the cache is an optimisation, so callers carry on either way.
    bool store(const std::string& key, const std::vector<unsigned char>& binary) const;

    // The file that holds `key` (for tests).
    std::filesystem::path pathFor(const std::string& key) const;
    const std::filesystem::path& directory() const { return directory_; }

private:
    std::filesystem::path directory_;
};

}  // namespace corvanta::engine::gpu
