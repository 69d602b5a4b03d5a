// The game's random numbers: the same seed gives the same numbers, every number of a range comes
// up and none outside it, and a generator that seeded itself from the clock draws the same
// numbers again when its play is replayed.
#include "support/HeadlessTest.h"

#include "game/TarnRandom.h"
#include "host/Recording.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class RandomTest : public HeadlessTest {};

TEST_F(RandomTest, RangesHoldEveryNumberAndNoOther) {
    struct Case {
        int low, high;
    } cases[] = {
        {0, 0}, {0, 1}, {-3, 3}, {5, 2}, {INT32_MIN, INT32_MIN + 2}, {INT32_MAX - 1, INT32_MAX}};
    TarnRandom random(42);
    for (const Case& c : cases) {
        const int low = std::min(c.low, c.high), high = std::max(c.low, c.high);
        std::vector<int> seen(size_t(int64_t(high) - low + 1));
        for (int i = 0; i < 200; ++i) {
            const int n = random.Between(c.low, c.high);
            ASSERT_TRUE(n >= low && n <= high) << n << " from " << c.low << ".." << c.high;
            ++seen[size_t(int64_t(n) - low)];
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 0), 0) << c.low << ".." << c.high;
    }
    EXPECT_EQ(random.Below(0), 0);
    EXPECT_EQ(random.Below(-5), 0);
    for (int i = 0; i < 1000; ++i) {
        const double u = random.Unit();
        ASSERT_TRUE(u >= 0 && u < 1) << u;
    }
    EXPECT_FALSE(random.Chance(0));
    EXPECT_TRUE(random.Chance(1));
}

TEST_F(RandomTest, TheSameSeedGivesTheSameNumbers) {
    TarnRandom a(7), b(7), c(8);
    std::vector<uint32_t> first, second, other;
    for (int i = 0; i < 16; ++i) {
        first.push_back(a.Next());
        second.push_back(b.Next());
        other.push_back(c.Next());
    }
    EXPECT_EQ(first, second);
    EXPECT_NE(first, other);
    a.Seed(7);
    EXPECT_EQ(a.Next(), first[0]) << "seeding again starts again";
    EXPECT_EQ(a.SeedUsed(), 7u);
}

// The seed comes from the clock, which the recorder keeps: a replay draws the same numbers.
TEST_F(RandomTest, AClockSeedIsReplayed) {
    const std::string path = testing::TempDir() + "tarn_random.rec";
    host->AdvanceTime(12345);
    std::vector<int> drawn;
    {
        tarn::platform::RecordingHost recorder(*host, std::fopen(path.c_str(), "wb"), "game");
        tarn::platform::InstallHost(&recorder);
        TarnRandom random;
        for (int i = 0; i < 8; ++i) drawn.push_back(random.Below(1000));
        recorder.Finish();
    }
    std::vector<uint8_t> file;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    for (int c; in && (c = std::fgetc(in)) != EOF;) file.push_back(uint8_t(c));
    if (in) std::fclose(in);
    std::remove(path.c_str());

    host = &tarn::platform::UseHeadlessHost(); // another clock
    tarn::platform::ReplayHost replay(*host, file, "game", "");
    ASSERT_EQ(replay.Error(), "");
    tarn::platform::InstallHost(&replay);
    TarnRandom random;
    std::vector<int> replayed;
    for (int i = 0; i < 8; ++i) replayed.push_back(random.Below(1000));
    tarn::platform::UseHeadlessHost();
    EXPECT_EQ(replayed, drawn);
    EXPECT_TRUE(replay.AtEnd());
}

} // namespace
