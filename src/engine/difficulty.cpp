#include "engine/difficulty.h"

namespace corvanta::engine {

bool meetsDifficulty(const std::uint8_t* digest, int difficulty) {
    if (difficulty < 1) {
        return true;
    }
    const int zeroBytes = difficulty / 2;
    const bool odd = difficulty % 2 == 1;
    if (zeroBytes > 32 || (odd && zeroBytes >= 32)) {
        return false;
    }
    for (int i = 0; i < zeroBytes; ++i) {
        if (digest[i] != 0) {
            return false;
        }
    }
    return !odd || digest[zeroBytes] < 16;
}

bool meetsDifficulty(const Sha256Digest& digest, int difficulty) {
    return meetsDifficulty(digest.data(), difficulty);
}

}  // namespace corvanta::engine
