#include "pow_check.h"

#include <openssl/evp.h>

namespace corvanta::devserver {

std::string digestHex(const std::string& seed, std::uint64_t nonce) {
    const std::string message = seed + std::to_string(nonce);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(message.data(), message.size(), digest, &length, EVP_sha256(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0F];
    }
    return hex;
}

bool meetsDifficulty(const std::string& seed, std::uint64_t nonce, std::int64_t difficulty) {
    if (difficulty < 1) {
        return true;
    }
    if (difficulty > 64) {
        return false;
    }
    const std::string hex = digestHex(seed, nonce);
    for (std::int64_t i = 0; i < difficulty; ++i) {
        if (hex[std::size_t(i)] != '0') {
            return false;
        }
    }
    return true;
}

}  // namespace corvanta::devserver
