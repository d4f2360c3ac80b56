#pragma once

#include <cstdint>
#include <string>

namespace corvanta::devserver {

// The proof-of-work hit test: SHA-256 over the seed's bytes followed by the nonce in decimal
// must begin with at least `difficulty` zero hex digits. Below 1 every nonce passes, above 64
// none does.
bool meetsDifficulty(const std::string& seed, std::uint64_t nonce, std::int64_t difficulty);

// The digest of seed + decimal nonce as 64 lower-case hex digits.
std::string digestHex(const std::string& seed, std::uint64_t nonce);

}  // namespace corvanta::devserver
