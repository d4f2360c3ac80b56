// sha256_search: one thread per nonce. Thread i tests nonce base + i: SHA-256 over the seed's bytes
// followed by the nonce in decimal must begin with `difficulty` zero hexadecimal digits. A hit
// bumps the counter and, while there is room, lands in the result slot the counter gave it.
//
// Arguments 0-6 are the host contract. Argument 7 is the dispatch plan built by the host
// (engine/gpu/dispatch_plan.h, whose layout the PLAN_* offsets below mirror): the nonces are cut
// into segments whose messages differ only in their last nine or fewer digits, and each segment
// carries its padded message template, the midstate of a constant first block, the state after
// the rounds that read only constant words, and where its digits go. The seed itself is folded
// into those templates, so arguments 0 and 1 are bound but not read here. The host rounds the grid
// up to whole work-groups; threads past the plan's count do nothing.

#define PLAN_COUNT 0
#define PLAN_SEGMENT_COUNT 1
#define PLAN_SEGMENT_START 16
#define PLAN_HEADER_WORDS 32
#define PLAN_SEGMENT_WORDS 64

#define SEG_STATE 0
#define SEG_FIRST_THREAD 8
#define SEG_FIRST_VALUE 9
#define SEG_FIRST_BLOCK 10
#define SEG_BLOCK_COUNT 11
#define SEG_WINDOW 12
#define SEG_SHIFT 13
#define SEG_DIGIT_MASK 14
#define SEG_START_ROUND 17
#define SEG_ROUND_STATE 18
#define SEG_TEMPLATE 32

__constant uint K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

#define ROTR(x, n) rotate((x), (uint)(32 - (n)))
#define BSIG0(x) (ROTR(x, 2) ^ ROTR(x, 13) ^ ROTR(x, 22))
#define BSIG1(x) (ROTR(x, 6) ^ ROTR(x, 11) ^ ROTR(x, 25))
#define SSIG0(x) (ROTR(x, 7) ^ ROTR(x, 18) ^ ((x) >> 3))
#define SSIG1(x) (ROTR(x, 17) ^ ROTR(x, 19) ^ ((x) >> 10))
#define CH(e, f, g) bitselect((g), (f), (e))
#define MAJ(a, b, c) bitselect((b), (a), (b) ^ (c))

#define ROUND(i, wi)                                              \
    {                                                             \
        const uint t1 = h + BSIG1(e) + CH(e, f, g) + K[i] + (wi); \
        const uint t2 = BSIG0(a) + MAJ(a, b, c);                  \
        h = g;                                                    \
        g = f;                                                    \
        f = e;                                                    \
        e = d + t1;                                               \
        d = c;                                                    \
        c = b;                                                    \
        b = a;                                                    \
        a = t1 + t2;                                              \
    }

// Rounds startRound..63 of one block over the working variables in work (a..h), which hold the
// state before round startRound. w holds the block's 16 words and becomes the rolling message
// schedule. Rounds before startRound read only words the host already knew, so it ran them.
void runRounds(uint* work, uint* w, uint startRound) {
    uint a = work[0], b = work[1], c = work[2], d = work[3];
    uint e = work[4], f = work[5], g = work[6], h = work[7];
    // One round per case, each on one line.
    // clang-format off
    switch (startRound) {  // each case falls through to the next round
        case 0: ROUND(0, w[0]);
        case 1: ROUND(1, w[1]);
        case 2: ROUND(2, w[2]);
        case 3: ROUND(3, w[3]);
        case 4: ROUND(4, w[4]);
        case 5: ROUND(5, w[5]);
        case 6: ROUND(6, w[6]);
        case 7: ROUND(7, w[7]);
        case 8: ROUND(8, w[8]);
        case 9: ROUND(9, w[9]);
        case 10: ROUND(10, w[10]);
        case 11: ROUND(11, w[11]);
        case 12: ROUND(12, w[12]);
        case 13: ROUND(13, w[13]);
        case 14: ROUND(14, w[14]);
        case 15: ROUND(15, w[15]);
        default: break;
    }  // clang-format on
#pragma unroll
    for (int i = 16; i < 64; ++i) {
        const uint wi =
            w[i & 15] + SSIG0(w[(i + 1) & 15]) + w[(i + 9) & 15] + SSIG1(w[(i + 14) & 15]);
        w[i & 15] = wi;
        ROUND(i, wi);
    }
    work[0] = a;
    work[1] = b;
    work[2] = c;
    work[3] = d;
    work[4] = e;
    work[5] = f;
    work[6] = g;
    work[7] = h;
}

// Word k of the three-word digit window (0, 1 or 2); 0 outside it.
uint windowWord(int k, uint hi, uint mid, uint lo) {
    return k == 0 ? hi : (k == 1 ? mid : (k == 2 ? lo : 0u));
}

// True when the digest begins with `difficulty` (0 to 64) zero hexadecimal digits.
bool meetsDifficulty(const uint* digest, uint difficulty) {
#pragma unroll
    for (int i = 0; i < 8; ++i) {
        const int nibbles = (int)difficulty - 8 * i;
        if (nibbles <= 0) {
            return true;
        }
        const uint mask = nibbles >= 8 ? 0xffffffffu : ~(0xffffffffu >> (4 * nibbles));
        if ((digest[i] & mask) != 0) {
            return false;
        }
    }
    return true;
}

__kernel void sha256_search(__global const uchar* seed, __global const uint* seedLength,
                            __global const uint* difficulty, __global const ulong* baseNonce,
                            __global ulong* results, __global volatile uint* hitCounter,
                            __global const uint* maxResults, __constant uint* plan) {
    // Compared as 64 bits: a rounded-up grid may reach past 2^32 threads.
    if (get_global_id(0) >= plan[PLAN_COUNT]) {
        return;
    }
    const uint thread = (uint)get_global_id(0);
    uint segmentIndex = 0;
    const uint segmentCount = plan[PLAN_SEGMENT_COUNT];
    for (uint i = 1; i < segmentCount; ++i) {
        if (thread >= plan[PLAN_SEGMENT_START + i]) {
            segmentIndex = i;
        }
    }
    __constant uint* segment = plan + PLAN_HEADER_WORDS + segmentIndex * PLAN_SEGMENT_WORDS;

    // The varying value has at most nine digits. Pack them as ASCII, last digit in the lowest
    // byte, drop the ones the segment does not write, and shift them into the window's place.
    uint value = segment[SEG_FIRST_VALUE] + (thread - segment[SEG_FIRST_THREAD]);
    uint packed[3] = {0, 0, 0};
#pragma unroll
    for (int i = 0; i < 9; ++i) {
        const uint quotient = value / 10u;
        packed[i / 4] |= (0x30u + (value - quotient * 10u)) << (8 * (i % 4));
        value = quotient;
    }
    uint lo = packed[0] & segment[SEG_DIGIT_MASK];
    uint mid = packed[1] & segment[SEG_DIGIT_MASK + 1];
    uint hi = packed[2] & segment[SEG_DIGIT_MASK + 2];
    const uint shift = segment[SEG_SHIFT];
    if (shift >= 64) {
        hi = lo;
        mid = 0;
        lo = 0;
    } else if (shift >= 32) {
        hi = mid;
        mid = lo;
        lo = 0;
    }
    const uint bits = shift & 31;
    if (bits != 0) {
        hi = (hi << bits) | (mid >> (32 - bits));
        mid = (mid << bits) | (lo >> (32 - bits));
        lo <<= bits;
    }

    // The first block to compress starts from the host's round state; a second one, when the
    // message has two blocks and the first was not constant, from the first one's result.
    uint state[8];
    uint work[8];
#pragma unroll
    for (int i = 0; i < 8; ++i) {
        state[i] = segment[SEG_STATE + i];
        work[i] = segment[SEG_ROUND_STATE + i];
    }
    const int window = (int)segment[SEG_WINDOW];
    const uint blockCount = segment[SEG_BLOCK_COUNT];
    uint startRound = segment[SEG_START_ROUND];
    for (uint block = segment[SEG_FIRST_BLOCK]; block < blockCount; ++block) {
        uint w[16];
#pragma unroll
        for (int j = 0; j < 16; ++j) {
            const int word = (int)block * 16 + j;
            w[j] = segment[SEG_TEMPLATE + word] | windowWord(word - window, hi, mid, lo);
        }
        runRounds(work, w, startRound);
#pragma unroll
        for (int i = 0; i < 8; ++i) {
            state[i] += work[i];
            work[i] = state[i];
        }
        startRound = 0;
    }

    if (!meetsDifficulty(state, *difficulty)) {
        return;
    }
    const uint slot = atomic_inc(hitCounter);
    if (slot < *maxResults) {
        results[slot] = *baseNonce + thread;
    }
}
