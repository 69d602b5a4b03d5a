// TarnRandom: the game's own random numbers, the one source of randomness a replayable game
// uses. Unless given a seed, a generator seeds itself at its first draw from the clock
// (timeGetTime), a reading the recorder keeps, so a replay draws the same numbers as the play it
// replays. The numbers are the same on every machine for the same seed.
#pragma once

#include <cstdint>

/// A generator of random numbers (PCG, 64-bit state, 32-bit output) whose seed is recorded with
/// a play: a replay of that play draws the same numbers.
class TarnRandom {
public:
    /// A generator that seeds itself from the clock at its first draw.
    TarnRandom() = default;
    /// A generator with the given seed: the same seed gives the same numbers on every machine.
    explicit TarnRandom(uint64_t seed) { Seed(seed); }

    /// Starts the numbers again from `seed`.
    void Seed(uint64_t seed);
    /// The seed the numbers came from (seeding from the clock first if no number was drawn yet).
    uint64_t SeedUsed();

    /// A number from 0 to 2^32 - 1, every one equally likely.
    uint32_t Next();
    /// A whole number from 0 to `count` - 1, every one equally likely; 0 when `count` is 0 or
    /// less.
    int Below(int count);
    /// A whole number from `low` to `high`, both included (in either order).
    int Between(int low, int high);
    /// A number from 0 up to, not including, 1.
    double Unit();
    /// True with the likelihood `chance` (0: never, 1: always).
    bool Chance(double chance);

private:
    uint64_t state = 0;
    uint64_t seed = 0;
    bool seeded = false;
};
