// Recording a run and replaying it: what the program received comes back in the same order,
// every frame is checked by its hash, and a recording that is damaged, cut, of another version
// or of another program is refused.
#include "support/HeadlessTest.h"

#include "host/Recording.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using tarn::platform::FrameView;
using tarn::platform::HostEvent;
using tarn::platform::RecordingHost;
using tarn::platform::ReplayHost;

FrameView Frame(const uint32_t* pixels) {
    return FrameView{pixels, 8, 2, 1, 32, 0xFF0000, 0x00FF00, 0x0000FF, nullptr};
}

class RecordingTest : public HeadlessTest {
protected:
    // What a program does in one frame: reads the clock, the events, the keyboard and the mouse,
    // then shows a frame. Returns what it read.
    template <class H> std::vector<long> OneFrame(H& h, const uint32_t* pixels) {
        std::vector<long> seen{(long)h.Milliseconds()};
        HostEvent e;
        while (h.PollEvent(&e)) seen.insert(seen.end(), {(long)e.type, (long)e.vk});
        uint8_t keys[256];
        h.ReadKeyboard(keys);
        for (int i = 0; i < 256; ++i)
            if (keys[i]) seen.push_back(1000 + i);
        tarn::platform::MouseState mouse;
        h.ReadMouse(&mouse);
        seen.insert(seen.end(), {mouse.dx, mouse.dy, mouse.wheel, (long)h.HasFocus()});
        h.Present(Frame(pixels));
        return seen;
    }

    // Records three frames of play and returns the file's bytes.
    std::vector<uint8_t> Record(std::vector<long>* seen) {
        const std::string path = testing::TempDir() + "tarn_recording.bin";
        {
            RecordingHost recorder(*host, std::fopen(path.c_str(), "wb"), "game");
            host->SetFrameTime(16);
            host->SetKey(0x39, true);
            host->MoveMouse(3, -2);
            for (int f = 0; f < 3; ++f) {
                if (f == 1) host->SetFocus(false);
                auto one = OneFrame(recorder, pixels[f]);
                seen->insert(seen->end(), one.begin(), one.end());
            }
            recorder.Finish();
            EXPECT_TRUE(recorder.Good());
        }
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::vector<uint8_t> bytes;
        for (int c; f && (c = std::fgetc(f)) != EOF;) bytes.push_back(uint8_t(c));
        if (f) std::fclose(f);
        std::remove(path.c_str());
        return bytes;
    }

    const uint32_t pixels[3][2] = {{1, 2}, {3, 4}, {5, 6}};
};

TEST_F(RecordingTest, AReplayGivesWhatWasRecordedAndMatchesEveryFrame) {
    std::vector<long> recorded;
    const std::vector<uint8_t> file = Record(&recorded);
    EXPECT_LT(file.size(), 120u) << "three frames of play";

    tarn::platform::UseHeadlessHost(); // a machine that knows nothing of the play
    ReplayHost replay(*host, file, "game", testing::TempDir() + "replay");
    ASSERT_EQ(replay.Error(), "");
    std::vector<long> replayed;
    for (int f = 0; f < 3; ++f) {
        auto one = OneFrame(replay, pixels[f]);
        replayed.insert(replayed.end(), one.begin(), one.end());
    }
    EXPECT_EQ(replayed, recorded);
    EXPECT_EQ(replay.FramesMatched(), 3);
    EXPECT_TRUE(replay.AtEnd());
    EXPECT_EQ(host->FramesPresented(), 3) << "the frames are shown on the host behind";
}

TEST_F(RecordingTest, AChangedProgramIsStoppedAtItsFirstDifferentFrame) {
    std::vector<long> recorded;
    const std::vector<uint8_t> file = Record(&recorded);
    const uint32_t changed[2] = {3, 5};
    EXPECT_EXIT(
        {
            ReplayHost replay(*host, file, "game", testing::TempDir() + "replay");
            OneFrame(replay, pixels[0]);
            OneFrame(replay, changed);
        },
        testing::ExitedWithCode(1), "frame 2 differs at 16 ms.*replayed frame is in");
    // A program that asks for something else than the recording holds next, or for more.
    EXPECT_EXIT(
        {
            ReplayHost replay(*host, file, "game", "");
            replay.Present(Frame(pixels[0]));
        },
        testing::ExitedWithCode(2), "asks for a frame where the recording holds");
    EXPECT_EXIT(
        {
            ReplayHost replay(*host, file, "game", "");
            for (int f = 0; f < 4; ++f) OneFrame(replay, pixels[f % 3]);
        },
        testing::ExitedWithCode(2), "more input than the recording holds");
}

TEST_F(RecordingTest, DamagedRecordingsAreRefused) {
    std::vector<long> recorded;
    const std::vector<uint8_t> file = Record(&recorded);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* program;
        const char* error;
    } cases[] = {
        {"empty", {}, "game", "no recording"},
        {"another format",
         {'T', 'A', 'R', 'N', 'P', 'L', 'A', 'X', 1, 0, 0, 0},
         "game",
         "no recording"},
        {"another version", file, "game", "version 9"},
        {"cut in the header", std::vector<uint8_t>(file.begin(), file.begin() + 13), "game",
         "cut short"},
        {"another program", file, "other", "program \"game\""},
    };
    cases[2].bytes[8] = 9;
    for (const Case& c : cases) {
        ReplayHost replay(*host, c.bytes, c.program, "");
        EXPECT_NE(replay.Error().find(c.error), std::string::npos)
            << c.name << ": " << replay.Error();
    }
}

// Runs and changes that point before the first frame or past a frame's input end the replay
// with a message, never reading outside what was recorded.
TEST_F(RecordingTest, DamagedRunsAndChangesEndTheReplay) {
    const std::vector<uint8_t> header = {'T', 'A', 'R', 'N', 'P', 'L', 'A', 'Y',
                                         3,   0,   4,   0,   'g', 'a', 'm', 'e'};
    std::vector<long> recorded;
    const std::vector<uint8_t> file = Record(&recorded); // its first frame is written whole
    const std::vector<uint8_t> firstFrame(file.begin() + 16, file.end());
    struct Case {
        const char* name;
        std::vector<uint8_t> records;
        const char* message;
    } cases[] = {
        {"a run before any frame", {'R', 1, 1}, "damaged \\(a run of frames\\)"},
        {"a run of no frames", {'R', 0, 1}, "damaged \\(a run of frames\\)"},
        {"changes before any frame", {'X', 1, 0}, "damaged \\(a frame's changes\\)"},
        {"a number that runs on",
         {'R', 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},
         "a number runs on"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = header;
        bytes.insert(bytes.end(), c.records.begin(), c.records.end());
        EXPECT_EXIT(
            {
                ReplayHost replay(*host, bytes, "game", "");
                OneFrame(replay, pixels[0]);
            },
            testing::ExitedWithCode(2), c.message)
            << c.name;
    }
    // A frame's changes at a place past the input of the frame it changes.
    const size_t frameEnd = std::string(firstFrame.begin(), firstFrame.end()).find('H');
    ASSERT_NE(frameEnd, std::string::npos);
    std::vector<uint8_t> bytes = header;
    bytes.insert(bytes.end(), firstFrame.begin(),
                 firstFrame.begin() + std::ptrdiff_t(frameEnd + 9));
    bytes.insert(bytes.end(), {'X', 1, 1, 100, 7});
    EXPECT_EXIT(
        {
            ReplayHost replay(*host, bytes, "game", "");
            OneFrame(replay, pixels[0]);
            OneFrame(replay, pixels[1]);
        },
        testing::ExitedWithCode(2), "damaged \\(a frame's changes\\)");
}

// A minute of keyboard and mouse play at 60 frames a second, the clock stepping 16, 17, 17 ms
// as a display's refresh does: keys pressed and let go now and then, the mouse moved in a burst
// of a third of a second every ten seconds.
// Its input fits in 2 KB beside the frames' hashes, and it replays with every frame equal,
// runs of repeated input included.
TEST_F(RecordingTest, AMinuteOfPlayIsSmallAndReplaysExactly) {
    const std::string path = testing::TempDir() + "tarn_minute.bin";
    constexpr int FRAMES = 3600;
    auto drive = [&](int f) {
        host->SetFrameTime(f % 3 == 0 ? 16 : 17);
        if (f % 97 == 0) host->SetKey(0x39, (f / 97) % 2 == 0);
        if (f % 600 < 20) host->MoveMouse(f % 7 - 3, 2);
    };
    std::vector<long> recorded;
    {
        RecordingHost recorder(*host, std::fopen(path.c_str(), "wb"), "game");
        for (int f = 0; f < FRAMES; ++f) {
            drive(f);
            const uint32_t shown[2] = {uint32_t(f), uint32_t(f / 60)};
            auto one = OneFrame(recorder, shown);
            recorded.insert(recorded.end(), one.begin(), one.end());
        }
        recorder.Finish();
        ASSERT_TRUE(recorder.Good());
    }
    std::vector<uint8_t> file;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    for (int c; in && (c = std::fgetc(in)) != EOF;) file.push_back(uint8_t(c));
    if (in) std::fclose(in);
    std::remove(path.c_str());
    EXPECT_LE(file.size(), 2048u + 8u * FRAMES) << "input beside the hashes";

    tarn::platform::UseHeadlessHost();
    ReplayHost replay(*host, file, "game", "");
    ASSERT_EQ(replay.Error(), "");
    std::vector<long> replayed;
    for (int f = 0; f < FRAMES; ++f) {
        const uint32_t shown[2] = {uint32_t(f), uint32_t(f / 60)};
        auto one = OneFrame(replay, shown);
        replayed.insert(replayed.end(), one.begin(), one.end());
    }
    EXPECT_EQ(replayed, recorded);
    EXPECT_EQ(replay.FramesMatched(), FRAMES);
    EXPECT_TRUE(replay.AtEnd());
}

} // namespace
