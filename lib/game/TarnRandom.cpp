// TarnRandom: a permuted congruential generator (a 64-bit linear congruential step, its output
// the high bits xor-shifted and rotated by the state's top bits).
#include "game/TarnRandom.h"

#include <windows.h>

#include <mmsystem.h>

namespace {

constexpr uint64_t MULTIPLIER = 6364136223846793005ull;
constexpr uint64_t INCREMENT = 1442695040888963407ull;

// Spreads the clock's few changing bits over the whole seed.
uint64_t Mix(uint64_t v) {
    v += 0x9E3779B97F4A7C15ull;
    v = (v ^ (v >> 30)) * 0xBF58476D1CE4E5B9ull;
    v = (v ^ (v >> 27)) * 0x94D049BB133111EBull;
    return v ^ (v >> 31);
}

} // namespace

void TarnRandom::Seed(uint64_t value) {
    seed = value;
    seeded = true;
    state = 0;
    Next();
    state += value;
    Next();
}

uint64_t TarnRandom::SeedUsed() {
    if (!seeded) Seed(Mix(timeGetTime()));
    return seed;
}

uint32_t TarnRandom::Next() {
    if (!seeded) Seed(Mix(timeGetTime()));
    const uint64_t old = state;
    state = old * MULTIPLIER + INCREMENT;
    const auto shifted = uint32_t(((old >> 18) ^ old) >> 27);
    const auto turn = unsigned(old >> 59);
    return (shifted >> turn) | (shifted << ((32 - turn) & 31));
}

int TarnRandom::Below(int count) {
    return count <= 0 ? 0 : Between(0, count - 1);
}

// Numbers below 2^32 mod the span are drawn again, so that none of the span is favoured.
int TarnRandom::Between(int low, int high) {
    if (low > high) {
        const int t = low;
        low = high;
        high = t;
    }
    const uint32_t span = uint32_t(int64_t(high) - int64_t(low)) + 1u; // 0: every int
    if (span == 0) return int(int64_t(Next()) + INT32_MIN);
    const uint32_t limit = uint32_t(0u - span) % span;
    for (;;) {
        const uint32_t r = Next();
        if (r >= limit) return int(int64_t(low) + int64_t(r % span));
    }
}

double TarnRandom::Unit() {
    const uint64_t high = Next();
    return double(((high << 32) | Next()) >> 11) * (1.0 / 9007199254740992.0); // 53 bits
}

bool TarnRandom::Chance(double chance) {
    return Unit() < chance;
}
