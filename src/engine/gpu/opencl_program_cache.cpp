#include "engine/gpu/opencl_program_cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "engine/gpu/opencl_device.h"
#include "engine/sha256/sha256.h"

namespace corvanta::engine::gpu {

namespace {

// File layout: magic, key length (4 bytes, little-endian), key, binary length (8 bytes,
// little-endian), binary, then the SHA-256 of everything before it.
constexpr std::string_view kMagic = "CVCLPRG1";
constexpr std::size_t kDigestBytes = 32;
// Far above any real program binary; a larger file is not ours.
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{256} << 20;

std::string hex(const Sha256Digest& digest, std::size_t bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < bytes; ++i) {
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 0xf];
    }
    return text;
}

void appendLittleEndian(std::vector<unsigned char>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

std::uint64_t readLittleEndian(const unsigned char* in, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | in[i];
    }
    return value;
}

Sha256Digest digestOf(const unsigned char* data, std::size_t size) {
    return sha256(reinterpret_cast<const std::uint8_t*>(data), size);
}

// Like create_directories, but every folder it makes is the owner's alone.
bool makePrivateDirectories(const std::filesystem::path& directory) {
    std::filesystem::path prefix;
    for (const auto& part : directory) {
        prefix /= part;
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return std::filesystem::is_directory(directory);
}

}  // namespace

OpenClProgramCache::OpenClProgramCache(std::filesystem::path directory)
    : directory_(std::move(directory)) {}

std::string OpenClProgramCache::keyFor(const OpenClDevice& device, std::string_view source,
                                       std::string_view options) {
    return "device=" + device.name() + "\ndriver=" + device.driverVersion() +
           "\nsource-sha256=" + hex(sha256(source), kDigestBytes) +
           "\noptions=" + std::string(options);
}

std::filesystem::path OpenClProgramCache::pathFor(const std::string& key) const {
    return directory_ / (hex(sha256(key), 16) + ".clbin");
}

std::optional<std::vector<unsigned char>> OpenClProgramCache::load(const std::string& key,
                                                                   LoadResult* result) const {
    const auto report = [result](LoadResult value) {
        if (result != nullptr) {
            *result = value;
        }
    };
    const std::filesystem::path path = pathFor(key);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        report(LoadResult::absent);
        return std::nullopt;
    }
    std::vector<unsigned char> bytes;
    if (size <= kMaxFileBytes) {
        std::ifstream file(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    const std::size_t fixed = kMagic.size() + 4 + 8 + kDigestBytes;
    if (bytes.size() != size || bytes.size() < fixed + key.size() ||
        std::memcmp(bytes.data(), kMagic.data(), kMagic.size()) != 0) {
        report(LoadResult::damaged);
        return std::nullopt;
    }
    const unsigned char* cursor = bytes.data() + kMagic.size();
    const std::uint64_t keyLength = readLittleEndian(cursor, 4);
    cursor += 4;
    if (keyLength != key.size() || std::memcmp(cursor, key.data(), key.size()) != 0) {
        report(LoadResult::damaged);  // another key under the same name: not ours to use
        return std::nullopt;
    }
    cursor += keyLength;
    const std::uint64_t binaryLength = readLittleEndian(cursor, 8);
    cursor += 8;
    const std::size_t body = static_cast<std::size_t>(cursor - bytes.data());
    if (binaryLength == 0 || binaryLength != bytes.size() - body - kDigestBytes) {
        report(LoadResult::damaged);
        return std::nullopt;
    }
    const Sha256Digest digest = digestOf(bytes.data(), bytes.size() - kDigestBytes);
    if (std::memcmp(digest.data(), bytes.data() + bytes.size() - kDigestBytes, kDigestBytes) != 0) {
        report(LoadResult::damaged);
        return std::nullopt;
    }
    report(LoadResult::hit);
    return std::vector<unsigned char>(cursor, cursor + binaryLength);
}

bool OpenClProgramCache::store(const std::string& key,
                               const std::vector<unsigned char>& binary) const {
    if (binary.empty()) {
        return false;
    }
    if (!makePrivateDirectories(directory_)) {
        return false;
    }
    std::error_code error;

    std::vector<unsigned char> bytes(kMagic.begin(), kMagic.end());
    appendLittleEndian(bytes, key.size(), 4);
    bytes.insert(bytes.end(), key.begin(), key.end());
    appendLittleEndian(bytes, binary.size(), 8);
    bytes.insert(bytes.end(), binary.begin(), binary.end());
    const Sha256Digest digest = digestOf(bytes.data(), bytes.size());
    bytes.insert(bytes.end(), digest.begin(), digest.end());

    const std::filesystem::path target = pathFor(key);
    std::filesystem::path temporary = target;
    // Unique within the process as well: two engines may store the same program at once.
    static std::atomic<unsigned> written{0};
    temporary += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(written++);
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        if (!file.flush()) {
            file.close();
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace corvanta::engine::gpu
