// TarnGame on the headless host, in process: how a game ends and with what exit code, switching
// between window and full screen (F11, Alt+Enter, --fullscreen, a mode the display refuses),
// the game's surfaces, sprite sheets and maps across a switch and a display loss, sleeping in
// the background, the frame's seconds by the host's clock, the fixed-step update, Print in a
// font, and the game's sound (with a device and across a switch, and without one).
#include "game/TarnGame.h"
#include "sound/TarnAudioDecoder.h"
#include "sound/TarnSound.h"
#include "support/HeadlessTest.h"

#include <cstdio>
#include <filesystem>
#include <functional>

#include <string>
#include <vector>

namespace {

using tarn::platform::CallCount;
using tarn::platform::HostEvent;
using tarn::platform::InjectFault;
using tarn::platform::LiveObjects;
using tarn::platform::ResetCallCounts;

const std::string PICTURE = std::string(TARN_TEST_DATA) + "/bmpsuite/g/rgb24.bmp";
const std::string MAP = std::string(TARN_TEST_DATA) + "/maps/basic.tmj";

class GameTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        host->SetFrameTime(16);
    }
    void TearDown() override {
        EXPECT_EQ(LiveObjects(), 0) << "the game left stand-in objects behind";
        HeadlessTest::TearDown();
    }
    // `event` after `frames` presented frames (counted from now).
    void After(int frames, HostEvent::Type type, uint32_t vk = 0) {
        HostEvent e;
        e.type = type;
        e.vk = vk;
        host->ScheduleAfterFrames(frames, e);
    }
    void KeyAfter(int frames, uint32_t vk) {
        After(frames, HostEvent::KeyDown, vk);
        After(frames, HostEvent::KeyUp, vk);
    }
    // The last frame's pixel at (x, y) as 0x00RRGGBB.
    uint32_t Pixel(int x, int y) {
        int w = 0, h = 0;
        const std::vector<uint32_t>& frame = host->LastFrame(&w, &h);
        return x < w && y < h ? frame[size_t(y) * size_t(w) + size_t(x)] : 0xFFFFFFFFu;
    }
    // The last frame's pixels in the rectangle (x, y, width, height), row by row.
    std::vector<uint32_t> Block(int x, int y, int width, int height) {
        std::vector<uint32_t> pixels;
        for (int row = y; row < y + height; ++row)
            for (int column = x; column < x + width; ++column) pixels.push_back(Pixel(column, row));
        return pixels;
    }
};

// Channels within `tolerance` of each other (a 16-bit display rounds them).
bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

TEST_F(GameTest, EndsWithItsExitCode) {
    struct Case {
        const char* name;
        HostEvent::Type event; // after 3 frames (KeyDown: Escape)
        int quitWith;          // >= 0: the frame calls Quit(quitWith) at frame 3 instead
        int exitCode;
    };
    const Case cases[] = {
        {"Escape", HostEvent::KeyDown, -1, 0},
        {"window closed", HostEvent::Close, -1, 0},
        {"Quit(7)", HostEvent::KeyDown, 7, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host = &tarn::platform::UseHeadlessHost();
        host->SetFrameTime(16);
        if (c.quitWith < 0) After(3, c.event, VK_ESCAPE);
        int frames = 0;
        {
            TarnGame game("test");
            EXPECT_EQ(game.Run([&](TarnGame& g) {
                if (++frames == 3 && c.quitWith >= 0) g.Quit(c.quitWith);
            }),
                      c.exitCode);
            EXPECT_FALSE(host->FullScreen());
        }
        EXPECT_EQ(frames, 3);
        EXPECT_FALSE(host->WindowOpen());
    }
}

// A picture that does not load ends the game with 1 before any frame, and says why; one the
// program asks about itself (`result`) is the program's to handle.
TEST_F(GameTest, MissingPicture) {
    {
        TarnGame game("test");
        EXPECT_EQ(game.LoadPicture("no such file.bmp"), nullptr);
        int frames = 0;
        EXPECT_EQ(game.Run([&](TarnGame&) { ++frames; }), 1);
        EXPECT_EQ(frames, 0);
        EXPECT_NE(host->DebugText().find("test: cannot load the picture \"no such file.bmp\""),
                  std::string::npos)
            << host->DebugText();
    }
    {
        TarnGame game("test");
        int result = 0;
        EXPECT_EQ(game.LoadPicture("no such file.bmp", &result), nullptr);
        EXPECT_NE(result, 1);
        KeyAfter(2, VK_ESCAPE);
        EXPECT_EQ(game.Run([](TarnGame&) {}), 0);
    }
}

// No window, or no screen on it: Run returns 1 before any frame, and says why.
TEST_F(GameTest, CannotOpen) {
    const char* const operations[] = {"CreateWindowExA", "IDirectDraw7::SetCooperativeLevel"};
    for (const char* operation : operations) {
        SCOPED_TRACE(operation);
        host = &tarn::platform::UseHeadlessHost();
        InjectFault(operation, 1, E_FAIL, 0);
        TarnGame game("test");
        int frames = 0;
        EXPECT_EQ(game.Run([&](TarnGame&) { ++frames; }), 1);
        EXPECT_EQ(frames, 0);
        EXPECT_NE(host->DebugText().find("test: no "), std::string::npos) << host->DebugText();
        tarn::platform::ClearFaults();
    }
    // A switch after which neither the new nor the old window can be made ends it with 1 too.
    host = &tarn::platform::UseHeadlessHost();
    KeyAfter(2, VK_F11);
    TarnGame game("test");
    int frames = 0;
    EXPECT_EQ(game.Run([&](TarnGame&) {
        if (++frames == 2) InjectFault("CreateWindowExA", 1, E_FAIL, 0);
    }),
              1);
    EXPECT_EQ(frames, 2);
}

TEST_F(GameTest, ArgumentsOfMainAndWinMain) {
    char program[] = "game", picture[] = "a b.bmp", full[] = "--fullscreen", more[] = "x";
    char* argv[] = {program, picture, full, more};
    TarnGame fromMain("test", 4, argv);
    EXPECT_TRUE(fromMain.fullScreen);
    EXPECT_EQ(fromMain.arguments, (std::vector<std::string>{"a b.bmp", "x"}));
    EXPECT_STREQ(fromMain.Argument(2, "none"), "none");

    TarnGame fromWinMain("test", "\"a b.bmp\"  x \"\"");
    EXPECT_FALSE(fromWinMain.fullScreen);
    EXPECT_EQ(fromWinMain.arguments, (std::vector<std::string>{"a b.bmp", "x", ""}));
}

// F11 and Alt+Enter go to full screen and back; --fullscreen starts there. The surfaces keep
// their addresses, pictures and colour keys; the redraw callback draws the blank one anew.
TEST_F(GameTest, SwitchesBetweenWindowAndFullScreen) {
    struct Case {
        const char* name;
        bool startFull;
        std::vector<uint32_t> keys; // pressed together after frame 2 (and again after frame 6)
    };
    const Case cases[] = {
        {"F11", false, {VK_F11}},
        {"Alt+Enter", false, {VK_MENU, VK_RETURN}},
        {"--fullscreen, then F11", true, {VK_F11}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host = &tarn::platform::UseHeadlessHost();
        host->SetFrameTime(16);
        for (int at : {2, 6}) {
            for (uint32_t vk : c.keys) After(at, HostEvent::KeyDown, vk);
            for (uint32_t vk : c.keys) After(at, HostEvent::KeyUp, vk);
        }
        KeyAfter(10, VK_ESCAPE);
        char program[] = "game", fullScreen[] = "--fullscreen";
        char* argv[] = {program, fullScreen};
        TarnGame game("test", c.startFull ? 2 : 1, argv);
        TarnSurface* picture = game.LoadPicture(PICTURE.c_str());
        TarnSurface* block = game.CreateSurface(16, 16);
        ASSERT_TRUE(picture && block);
        picture->SetColourKeyRGB(0, 0, 255);
        int redraws = 0;
        game.OnRedraw([&](TarnGame&) {
            ++redraws;
            block->FillSolid(block->MapRGB(255, 0, 0));
        });
        std::vector<bool> full;                   // per frame: shown in full screen
        std::vector<bool> keyed;                  // per frame: the picture's key is blue
        std::vector<uint32_t> pictureAt, blockAt; // per frame: what the previous one showed
        EXPECT_EQ(game.Run([&](TarnGame& g) {
            if (host->FramesPresented() > 0) {
                pictureAt.push_back(Pixel(30, 20));
                blockAt.push_back(Pixel(205, 5));
            }
            keyed.push_back(picture->hasColourKey &&
                            picture->colourKey == picture->MapRGB(0, 0, 255));
            picture->CopyTo(g.Back(), 0, 0, nullptr);
            block->CopyTo(g.Back(), 200, 0, nullptr);
            full.push_back(g.IsFullScreen());
        }),
                  0);
        // Frames 1-2 as started, 3-6 switched, 7-10 back.
        ASSERT_EQ(full.size(), 10u);
        for (size_t i = 0; i < full.size(); ++i) {
            EXPECT_EQ(full[i], (i >= 2 && i < 6) != c.startFull) << "frame " << i + 1;
            EXPECT_TRUE(keyed[i]) << "frame " << i + 1;
        }
        for (size_t i = 0; i < pictureAt.size(); ++i) {
            EXPECT_TRUE(Near(pictureAt[i], pictureAt[0], 8)) << "frame " << i + 1;
            EXPECT_EQ(blockAt[i], 0xFF0000u) << "frame " << i + 1;
        }
        EXPECT_EQ(redraws, 3); // before the first frame and after each switch
    }
}

// Every alpha plane comes back byte for byte after a switch there and back and after a display
// loss: a picture's own, and planes the program set on a picture and on a blank surface.
TEST_F(GameTest, AlphaPlanesSurviveSwitchesAndDisplayLoss) {
    const std::string withAlpha = std::string(TARN_TEST_DATA) + "/pngsuite/basn6a08.png";
    struct Case {
        const char* name;
        std::vector<HostEvent::Type> events; // after frames 2 and 4 (KeyDown: F11)
    };
    const Case cases[] = {
        {"F11 and back", {HostEvent::KeyDown, HostEvent::KeyDown}},
        {"display lost", {HostEvent::DisplayLost}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host = &tarn::platform::UseHeadlessHost();
        host->SetFrameTime(16);
        for (size_t i = 0; i < c.events.size(); ++i) {
            if (c.events[i] == HostEvent::KeyDown)
                KeyAfter(2 + 2 * int(i), VK_F11);
            else
                After(2 + 2 * int(i), c.events[i]);
        }
        TarnGame game("test");
        TarnSurface* own = game.LoadPicture(withAlpha.c_str());
        TarnSurface* picture = game.LoadPicture(PICTURE.c_str());
        TarnSurface* blank = game.CreateSurface(13, 7); // an odd width: rows are not 4-aligned
        ASSERT_TRUE(own && picture && blank);
        ASSERT_EQ(own->HasAlpha(), 1);
        // Planes the program sets, from blue-green-red-alpha rows.
        for (TarnSurface* s : {picture, blank}) {
            std::vector<BYTE> rows(size_t(s->width) * size_t(s->height) * 4);
            for (size_t i = 0; i < rows.size() / 4; ++i) rows[i * 4 + 3] = BYTE(i * 7 + 1);
            ASSERT_EQ(s->SetAlphaPlane(rows.data(), s->width * 4, s->width, s->height), 0);
        }
        const TarnSurface* surfaces[] = {own, picture, blank};
        std::vector<std::vector<BYTE>> before;
        for (const TarnSurface* s : surfaces)
            before.emplace_back(s->alphaPlane,
                                s->alphaPlane + size_t(s->alphaWidth) * size_t(s->alphaHeight));
        int frames = 0;
        bool wasFull = false;
        EXPECT_EQ(game.Run([&](TarnGame& g) {
            wasFull = wasFull || g.IsFullScreen();
            for (size_t i = 0; i < std::size(surfaces); ++i) {
                TarnSurface* s = const_cast<TarnSurface*>(surfaces[i]);
                ASSERT_EQ(s->HasAlpha(), 1) << "surface " << i << ", frame " << frames + 1;
                EXPECT_EQ(std::vector<BYTE>(s->alphaPlane, s->alphaPlane + before[i].size()),
                          before[i])
                    << "surface " << i << ", frame " << frames + 1;
            }
            if (++frames == 7) g.Quit(0);
        }),
                  0);
        EXPECT_EQ(frames, 7);
        EXPECT_EQ(wasFull, c.events.size() == 2);
    }
}

// A loss of the display without a change of focus: the game restores the surfaces, reloads the
// picture and lets the program draw its own surface again; the frames look as before.
TEST_F(GameTest, DisplayLossRedrawsThroughTheCallback) {
    After(3, HostEvent::DisplayLost);
    KeyAfter(6, VK_ESCAPE);
    TarnGame game("test");
    TarnSurface* picture = game.LoadPicture(PICTURE.c_str());
    TarnSurface* block = game.CreateSurface(16, 16);
    int redraws = 0;
    game.OnRedraw([&](TarnGame&) {
        ++redraws;
        block->FillSolid(block->MapRGB(0, 255, 0));
    });
    std::vector<uint32_t> pictureAt, blockAt;
    game.Run([&](TarnGame& g) {
        // What the previous frame showed, read before this one is drawn.
        if (host->FramesPresented() > 0) {
            pictureAt.push_back(Pixel(30, 20));
            blockAt.push_back(Pixel(205, 5));
        }
        picture->CopyTo(g.Back(), 0, 0, nullptr);
        block->CopyTo(g.Back(), 200, 0, nullptr);
    });
    EXPECT_EQ(redraws, 2);
    ASSERT_GE(pictureAt.size(), 5u);
    for (size_t i = 1; i < pictureAt.size(); ++i) {
        EXPECT_EQ(pictureAt[i], pictureAt[0]) << "frame " << i + 1;
        EXPECT_EQ(blockAt[i], 0x00FF00u) << "frame " << i + 1;
    }
}

// A sprite sheet and a map the game loaded keep their addresses, frames and pictures across a
// switch there and back and a display loss: each frame draws them as the first did.
TEST_F(GameTest, SheetsAndMapsSurviveSwitchesAndDisplayLoss) {
    const struct {
        const char* name;
        std::vector<HostEvent::Type> events; // after frames 2 and 4 (KeyDown: F11)
    } cases[] = {
        {"F11 and back", {HostEvent::KeyDown, HostEvent::KeyDown}},
        {"display lost", {HostEvent::DisplayLost}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host = &tarn::platform::UseHeadlessHost();
        host->SetFrameTime(16);
        for (size_t i = 0; i < c.events.size(); ++i) {
            if (c.events[i] == HostEvent::KeyDown)
                KeyAfter(2 + 2 * int(i), VK_F11);
            else
                After(2 + 2 * int(i), c.events[i]);
        }
        TarnGame game("test");
        TarnSpriteSheet* sheet = game.LoadSheet(PICTURE.c_str(), 16, 16, 2, 1);
        TarnMap* map = game.LoadMap(MAP.c_str());
        ASSERT_TRUE(sheet && map);
        ASSERT_EQ(sheet->FrameCount(), 7 * 3); // (127 - 1 + 2) / 18 across, (64 - 1 + 2) / 18 down
        sheet->Picture()->SetColourKeyRGB(0, 0, 0);
        std::vector<std::vector<uint32_t>> shown; // per frame: what the previous one showed
        std::vector<bool> full;
        EXPECT_EQ(game.Run([&](TarnGame& g) {
            if (host->FramesPresented() > 0) shown.push_back(Block(0, 0, 48, 56));
            full.push_back(g.IsFullScreen());
            g.Back()->FillRect(nullptr, TarnColour(0, 0, 0));
            EXPECT_EQ(sheet->CopyFrameTo(g.Back(), 0, 0, 9), DD_OK);
            EXPECT_EQ(sheet->CopyKeyedFrameTo(g.Back(), 16, 0, 20), DD_OK);
            EXPECT_EQ(map->Draw(g.Back(), 0, 0), MAP_OK);
            EXPECT_TRUE(sheet->Picture()->hasColourKey);
            if (full.size() == 7) g.Quit(0);
        }),
                  0);
        ASSERT_EQ(shown.size(), 6u);
        EXPECT_EQ(full[2], c.events.size() == 2);
        for (size_t i = 1; i < shown.size(); ++i)
            for (size_t p = 0; p < shown[0].size(); ++p)
                ASSERT_TRUE(Near(shown[i][p], shown[0][p], 8))
                    << "frame " << i + 1 << ", pixel " << p << ": " << std::hex << shown[i][p]
                    << " against " << shown[0][p];
        EXPECT_NE(shown[0][16 * 48 + 8], 0u); // the map drew something below the frames
        game.DeleteSheet(sheet);
        game.DeleteMap(map);
    }
}

// A sheet or map that does not load: with `result` the program is told and the game goes on;
// without it the game says so and Run ends with 1 before any frame.
TEST_F(GameTest, SheetsAndMapsThatDoNotLoad) {
    const std::string damaged = "game_damaged.tmj";
    std::FILE* f = std::fopen(damaged.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("{ \"width\": 3, \"layers\": [", f);
    std::fclose(f);
    const struct {
        const char* name;
        std::function<bool(TarnGame&, int*)> load; // true when something was made
        int result;
        const char* said;
    } cases[] = {
        {"missing picture",
         [](TarnGame& g, int* r) { return g.LoadSheet("no such.bmp", 8, 8, 0, 0, 0, r); }, 0,
         "no such.bmp"},
        {"frames larger than the picture",
         [](TarnGame& g, int* r) { return g.LoadSheet(PICTURE.c_str(), 200, 8, 0, 0, 0, r); }, -1,
         "the frames do not fit"},
        {"more frames than fit",
         [](TarnGame& g, int* r) { return g.LoadSheet(PICTURE.c_str(), 64, 64, 0, 0, 3, r); }, -1,
         "the frames do not fit"},
        {"missing map", [](TarnGame& g, int* r) { return g.LoadMap("no such.tmj", r); },
         MAP_ERR_FILE, "no such.tmj"},
        {"damaged map", [&](TarnGame& g, int* r) { return g.LoadMap(damaged.c_str(), r); },
         MAP_ERR_FORMAT, "game_damaged.tmj"},
        {"no name", [](TarnGame& g, int* r) { return g.LoadMap(nullptr, r); }, MAP_ERR_STATE,
         "without a name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool asked : {true, false}) {
            host = &tarn::platform::UseHeadlessHost();
            host->SetFrameTime(16);
            KeyAfter(2, VK_ESCAPE);
            TarnGame game("test");
            int result = 12345;
            EXPECT_FALSE(c.load(game, asked ? &result : nullptr));
            int frames = 0;
            const int exitCode = game.Run([&](TarnGame&) { ++frames; });
            if (asked) {
                // 0: the picture's own load error, whatever it is
                EXPECT_TRUE(c.result != 0 ? result == c.result : result != 1) << result;
                EXPECT_EQ(exitCode, 0);
                EXPECT_EQ(frames, 2);
            } else {
                EXPECT_EQ(exitCode, 1);
                EXPECT_EQ(frames, 0);
                EXPECT_NE(host->DebugText().find(c.said), std::string::npos) << host->DebugText();
            }
        }
    }
    std::remove(damaged.c_str());
}

// Print draws with the print font as the font draws by itself, the typed colour's alpha
// included; a size the font refuses keeps the font Print had; null goes back to GDI. The font
// keeps drawing after a switch.
TEST_F(GameTest, PrintWithAFont) {
    TarnFont own;
    ASSERT_EQ(own.OpenDefault(20, TARN_FONT_BOLD), 0);
    const TarnColour colours[] = {TarnColour(255, 220, 40), TarnColour(255, 220, 40, 128)};
    KeyAfter(5, VK_F11);
    TarnGame game("test");
    EXPECT_EQ(game.PrintFont(), nullptr);
    EXPECT_EQ(game.SetPrintFont(20, TARN_FONT_BOLD), 0);
    TarnFont* gameFont = game.PrintFont();
    ASSERT_NE(gameFont, nullptr);
    EXPECT_EQ(game.SetPrintFont(300), FONT_BAD_ARGUMENT);
    EXPECT_EQ(game.PrintFont(), gameFont);
    std::vector<std::vector<uint32_t>> shown;
    int frame = 0;
    game.Run([&](TarnGame& g) {
        if (host->FramesPresented() > 0) shown.push_back(Block(10, 10, 120, 24));
        if (frame == 8) g.SetPrintFont(nullptr);
        TarnSurface* back = g.Back();
        back->FillRect(nullptr, TarnColour(0, 0, 0));
        const TarnColour colour = colours[(frame / 2) % 2];
        if (frame % 2 == 0)
            EXPECT_EQ(g.Print(10, 10, colour, "Score %d", 42), 0);
        else
            EXPECT_EQ(own.Draw(back, 10, 10, colour, "Score 42"), 0);
        if (++frame == 10) g.Quit(0);
    });
    ASSERT_EQ(shown.size(), 9u);
    // Frames 1-2 opaque, 3-4 half (5 switched to full screen), 5-6 opaque, 7-8 half, 9 GDI.
    for (size_t i = 0; i + 1 < 8; i += 2) EXPECT_EQ(shown[i], shown[i + 1]) << "frames " << i + 1;
    EXPECT_NE(shown[0], shown[2]);
    EXPECT_EQ(shown[0], shown[4]);
    EXPECT_NE(shown[8], shown[0]);
    EXPECT_NE(shown[8], std::vector<uint32_t>(shown[8].size(), 0u)); // GDI drew the text
}

// In the background the game sleeps in the message queue: no frame, no drawing. Back in the
// foreground it redraws its surfaces, and the first frame counts at most maxSeconds however
// long the pause was.
TEST_F(GameTest, PauseSleepsAndTheFrameAfterItIsClamped) {
    After(3, HostEvent::FocusLost);   // with frame 3's flip
    After(4, HostEvent::FocusGained); // released by the wait, as no frame comes meanwhile
    KeyAfter(5, VK_ESCAPE);
    host->SetPad(0, tarn::platform::PadState{});
    TarnGame game("test");
    int redraws = 0;
    game.OnRedraw([&](TarnGame&) { ++redraws; });
    std::vector<double> seconds;
    uint16_t low = 0, high = 0;
    game.Run([&](TarnGame& g) {
        seconds.push_back(g.seconds);
        if (seconds.size() == 2) {
            EXPECT_EQ(g.Input().SetPadRumble(0, 9000, 9000), ERROR_SUCCESS);
            host->PadRumble(0, &low, &high);
            EXPECT_EQ(low, 9000);
        }
        if (seconds.size() == 3) {
            host->AdvanceTime(5000); // the time spent away
            ResetCallCounts();
        }
        if (seconds.size() == 4) {
            EXPECT_GE(CallCount("WaitMessage"), 1u);
            EXPECT_EQ(host->FramesPresented(), 3);
        }
    });
    // In the background the pad stopped rumbling, and it does not start again by itself.
    host->PadRumble(0, &low, &high);
    EXPECT_EQ(low + high, 0);
    ASSERT_EQ(seconds.size(), 5u);
    EXPECT_EQ(redraws, 2);
    EXPECT_DOUBLE_EQ(seconds[0], 0.0);
    EXPECT_DOUBLE_EQ(seconds[1], 0.016);
    EXPECT_DOUBLE_EQ(seconds[3], 0.1);
    EXPECT_DOUBLE_EQ(seconds[4], 0.016);
}

// The frame's seconds follow the host's clock and are clamped to maxSeconds.
TEST_F(GameTest, SecondsFollowTheClock) {
    TarnGame game("test");
    game.maxSeconds = 0.25;
    std::vector<double> seconds;
    game.Run([&](TarnGame& g) {
        seconds.push_back(g.seconds);
        if (seconds.size() == 2) host->AdvanceTime(84);   // with the flip's 16: 0.1 s
        if (seconds.size() == 3) host->AdvanceTime(4000); // a stall: 0.25 s
        if (seconds.size() == 4) g.Quit(0);
    });
    ASSERT_EQ(seconds.size(), 4u);
    EXPECT_DOUBLE_EQ(seconds[1], 0.016);
    EXPECT_DOUBLE_EQ(seconds[2], 0.1);
    EXPECT_DOUBLE_EQ(seconds[3], 0.25);
    EXPECT_NEAR(game.time, 0.366, 1e-9);
}

// The update runs at stepsPerSecond of the clock whatever the frame time: more than once in a
// long frame, not at all in some short ones, each step seeing the input read anew.
TEST_F(GameTest, FixedStepUpdate) {
    struct Case {
        uint32_t frameMs;
        int stepsPerSecond;
        int frames;
        int updates; // after `frames` frames: clock (frames - 1) * frameMs
    };
    const Case cases[] = {
        {16, 60, 31, 28}, // 480 ms: 28.8 steps
        {50, 60, 5, 12},  // 200 ms: 12 steps, 3 a frame
        {8, 30, 26, 6},   // 200 ms: 6 steps, one every 4 or 5 frames
        {100, 10, 4, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.frameMs << " ms, " << c.stepsPerSecond << "/s");
        host = &tarn::platform::UseHeadlessHost();
        host->SetFrameTime(c.frameMs);
        TarnGame game("test");
        game.stepsPerSecond = c.stepsPerSecond;
        int updates = 0, frames = 0;
        double stepSeconds = 0;
        game.Run(
            [&](TarnGame& g) {
                ++updates;
                stepSeconds = g.seconds;
            },
            [&](TarnGame& g) {
                EXPECT_GE(g.stepFraction, 0.0);
                EXPECT_LT(g.stepFraction, 1.0);
                if (++frames == c.frames) g.Quit(0);
            });
        EXPECT_EQ(updates, c.updates);
        EXPECT_DOUBLE_EQ(stepSeconds, 1.0 / c.stepsPerSecond);
    }
}

// A rate changed mid-run counts on from the time played: time never goes back.
TEST_F(GameTest, FixedStepRateChangeKeepsTime) {
    host->SetFrameTime(50);
    TarnGame game("test");
    game.stepsPerSecond = 60;
    double last = 0;
    int frames = 0;
    bool ordered = true;
    game.Run(
        [&](TarnGame& g) {
            ordered = ordered && g.time > last;
            last = g.time;
        },
        [&](TarnGame& g) {
            ++frames;
            if (frames == 5) g.stepsPerSecond = 20;
            if (frames == 9) g.stepsPerSecond = 100;
            if (frames == 13) g.Quit(0);
        });
    EXPECT_TRUE(ordered);
    // 12 frames of 50 ms: 0.6 s played, whatever the rates.
    EXPECT_NEAR(game.time, 0.6, 0.02);
}

// A key press between two steps is seen by exactly one step, also when a frame runs none.
TEST_F(GameTest, FixedStepSeesEachPressOnce) {
    host->SetFrameTime(5); // about three frames a step
    TarnGame game("test");
    game.stepsPerSecond = 60;
    int presses = 0, frames = 0;
    game.Run([&](TarnGame& g) { presses += g.Pressed('a'); },
             [&](TarnGame& g) {
                 ++frames;
                 if (frames == 2) host->SetKey(DIK_A, true);
                 if (frames == 20) g.Quit(0);
             });
    EXPECT_EQ(presses, 1);
}

// Keys by their names: a letter held answers in either case, and each named constant is the
// key that the scan code gives.
TEST_F(GameTest, KeysByTheirNames) {
    const struct {
        int dik;
        DWORD named;
        DWORD upper; // the same key by its upper-case letter, or 0
    } keys[] = {
        {DIK_A, KEY_CODE_A, 'A'},   {DIK_Z, KEY_CODE_Z, 'Z'},       {DIK_M, KEY_CODE_M, 'M'},
        {DIK_0, KEY_CODE_0, 0},     {DIK_9, KEY_CODE_9, 0},         {DIK_F5, KEY_CODE_F5, 0},
        {DIK_F12, KEY_CODE_F12, 0}, {DIK_SPACE, KEY_CODE_SPACE, 0},
    };
    TarnGame game("test");
    int frames = 0;
    game.Run([&](TarnGame& g) {
        const auto& k = keys[frames / 2];
        if (frames % 2 == 0) {
            host->SetKey(k.dik, true); // read by the next frame
        } else {
            EXPECT_TRUE(g.Held(k.named)) << k.named;
            EXPECT_TRUE(g.Pressed(k.named)) << k.named;
            if (k.upper != 0) {
                EXPECT_TRUE(g.Held(k.upper) && g.Pressed(k.upper)) << k.named;
            }
            EXPECT_FALSE(g.Held(k.named == KEY_CODE_A ? KEY_CODE_B : KEY_CODE_A));
            host->SetKey(k.dik, false);
        }
        if (++frames == int(2 * std::size(keys))) g.Quit(0);
    });
    EXPECT_EQ(frames, int(2 * std::size(keys)));
}

// An axis from two sets of keys and a pad's stick or d-pad, and a button from keys and pad
// buttons, each frame after the input named in its row.
TEST_F(GameTest, AxesAndButtonsOverKeysAndPads) {
    using tarn::platform::PadState;
    PadState stickRight, stickUp, dpadLeft, a;
    stickRight.leftX = 32767;
    stickUp.leftY = 32767; // up on the pad is negative on the axis
    dpadLeft.buttons = XINPUT_GAMEPAD_DPAD_LEFT;
    a.buttons = XINPUT_GAMEPAD_A;
    const struct {
        const char* name;
        std::vector<int> diks;
        PadState pad;
        double x, y;        // Axis over the arrows / A-D with the left stick's x, and the d-pad's y
        double dpadX;       // Axis over no keys with the d-pad's x
        bool held, pressed; // the button of Space, Enter and the pad's A
    } rows[] = {
        {"nothing", {}, {}, 0, 0, 0, false, false},
        {"right arrow", {DIK_RIGHT}, {}, 1, 0, 0, false, false},
        {"A key", {DIK_A}, {}, -1, 0, 0, false, false},
        {"left and right", {DIK_LEFT, DIK_D}, {}, 0, 0, 0, false, false},
        {"stick right", {}, stickRight, 1, 0, 0, false, false},
        {"stick right, left arrow", {DIK_LEFT}, stickRight, 0, 0, 0, false, false},
        {"stick up, up arrow", {DIK_UP}, stickUp, 0, -1, 0, false, false}, // -2 kept to -1
        {"d-pad left", {}, dpadLeft, 0, 0, -1, false, false},
        {"space", {DIK_SPACE}, {}, 0, 0, 0, true, true},
        {"space held, pad A", {DIK_SPACE}, a, 0, 0, 0, true, false},
        {"pad A alone", {}, a, 0, 0, 0, true, false},
        {"enter", {DIK_RETURN}, {}, 0, 0, 0, true, true},
    };
    host->SetPad(0, PadState{});
    TarnGame game("test");
    size_t frame = 0;
    game.Run([&](TarnGame& g) {
        if (frame > 0) {
            const auto& r = rows[frame - 1];
            SCOPED_TRACE(r.name);
            EXPECT_DOUBLE_EQ(
                g.Axis({KEY_CODE_LEFT, KEY_CODE_A}, {KEY_CODE_RIGHT, KEY_CODE_D}, PAD_AXIS_LEFT_X),
                r.x);
            EXPECT_DOUBLE_EQ(g.Axis({KEY_CODE_UP}, {KEY_CODE_DOWN}, PAD_AXIS_LEFT_Y), r.y);
            EXPECT_DOUBLE_EQ(g.Axis({}, {}, PAD_AXIS_DPAD_X), r.dpadX);
            EXPECT_EQ(g.ButtonHeld({KEY_CODE_SPACE, KEY_CODE_ENTER}, {PAD_A}), r.held);
            EXPECT_EQ(g.ButtonPressed({KEY_CODE_SPACE, KEY_CODE_ENTER}, {PAD_A}), r.pressed);
            for (int dik : r.diks) host->SetKey(dik, false);
        }
        if (frame == std::size(rows)) {
            g.Quit(0);
            return;
        }
        const auto& next = rows[frame];
        for (int dik : next.diks) host->SetKey(dik, true);
        host->SetPad(0, next.pad);
        ++frame;
    });
    EXPECT_EQ(frame, std::size(rows));
}

// The program's files are found in the working folder, then beside the program, then in the
// install's data folder; a file in none keeps its name. LoadPicture looks its picture up so.
TEST_F(GameTest, AssetsAreFoundBesideTheProgram) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / "tarn_game_assets";
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    fs::create_directories(root / "share" / "breakout");
    fs::create_directories(root / "elsewhere");
    fs::copy_file(PICTURE, root / "bin" / "ball.bmp");
    fs::copy_file(PICTURE, root / "share" / "breakout" / "brick.bmp");
    fs::copy_file(PICTURE, root / "elsewhere" / "here.bmp");
    const fs::path before = fs::current_path();
    fs::current_path(root / "elsewhere");
    const std::string program = (root / "bin" / "breakout").string();
    char* argv[] = {const_cast<char*>(program.c_str())};
    {
        TarnGame game("test", 1, argv);
        const struct {
            const char* name;
            std::string found;
        } cases[] = {
            {"here.bmp", "here.bmp"},
            {"ball.bmp", (root / "bin" / "ball.bmp").string()},
            {"brick.bmp", (root / "bin" / ".." / "share" / "breakout" / "brick.bmp").string()},
            {"none.bmp", "none.bmp"},
        };
        for (const auto& c : cases) EXPECT_EQ(std::string(game.Asset(c.name)), c.found);
        TarnSurface* ball = game.LoadPicture("ball.bmp");
        ASSERT_NE(ball, nullptr);
        EXPECT_EQ(ball->width, 127);
        game.DeleteSurface(ball);
    }
    fs::current_path(before);
    fs::remove_all(root);
}

// The full screen keeps the window's depth unless the program asks for another: a colour shows
// the same in the window and in the full screen.
TEST_F(GameTest, FullScreenKeepsTheWindowsColours) {
    const struct {
        int fullScreenDepth;
        uint32_t fullColour; // (12, 14, 32) as the full screen shows it
    } cases[] = {{0, 0x0C0E20}, {16, 0x080C21}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fullScreenDepth);
        host = &tarn::platform::UseHeadlessHost();
        host->SetFrameTime(16);
        KeyAfter(2, VK_F11);
        TarnGame game("test");
        game.fullScreenDepth = c.fullScreenDepth;
        std::vector<uint32_t> shown;
        game.Run([&](TarnGame& g) {
            if (host->FramesPresented() > 0) shown.push_back(Pixel(5, 5));
            g.Back()->FillRect(nullptr, TarnColour(12, 14, 32));
            if (shown.size() == 4) g.Quit(0);
        });
        ASSERT_EQ(shown.size(), 4u);
        EXPECT_EQ(shown[0], 0x0C0E20u);
        EXPECT_EQ(shown[3], c.fullColour);
    }
}

// A full screen the display refuses leaves the game in its window, running.
TEST_F(GameTest, RefusedFullScreenStaysInTheWindow) {
    InjectFault("IDirectDraw7::SetDisplayMode", 1, DDERR_INVALIDMODE, 0);
    KeyAfter(2, VK_F11);
    KeyAfter(5, VK_ESCAPE);
    TarnGame game("test");
    TarnSurface* picture = game.LoadPicture(PICTURE.c_str());
    ASSERT_NE(picture, nullptr);
    int frames = 0;
    EXPECT_EQ(game.Run([&](TarnGame& g) {
        ++frames;
        EXPECT_FALSE(g.IsFullScreen());
        EXPECT_EQ(picture->CopyTo(g.Back(), 0, 0, nullptr), DD_OK);
    }),
              0);
    EXPECT_EQ(frames, 5);
}

// A game has sound with no setup of its own: the device opens with the window, a looped effect
// loaded on it is heard every frame, goes on across a switch to full screen and back (the new
// windows take the device over), and the game closes the device at its end, even with the
// effect still alive after it.
TEST_F(GameTest, SoundOpensWithTheGameAndPlaysAcrossSwitches) {
    const char* path = "game_tone.wav";
    const std::vector<int16_t> tone(4410, 8000); // 0.1 s mono at 44.1 kHz, a constant level
    ASSERT_EQ(TarnSaveWave(path, tone.data(), uint32_t(tone.size()), 1, 44100), 0);
    TarnSound effect; // outlives the game: the game's end lets go of its buffers
    {
        TarnGame game("test");
        ASSERT_EQ(game.Open(), 0);
        ASSERT_TRUE(game.Audio().IsReady());
        ASSERT_EQ(effect.Load(&game.Audio(), path), 0);
        ASSERT_GE(effect.Play(SOUND_VOLUME_MAX, 0, TARN_SOUND_LOOP), 0);
        KeyAfter(3, VK_F11);
        KeyAfter(6, VK_F11);
        std::vector<bool> heard; // per frame: the last frame's sound was the effect's
        std::vector<bool> full;
        EXPECT_EQ(game.Run([&](TarnGame& g) {
            const std::vector<int16_t>& played = host->AudioRecording();
            heard.push_back(played.size() >= 2 && played[played.size() - 2] == 8000 &&
                            played.back() == 8000);
            full.push_back(g.IsFullScreen());
            if (heard.size() == 9) g.Quit();
        }),
                  0);
        ASSERT_EQ(heard.size(), 9u);
        for (size_t i = 1; i < heard.size(); ++i) EXPECT_TRUE(heard[i]) << "frame " << i + 1;
        EXPECT_TRUE(full[4]);
        EXPECT_FALSE(full.back());
        EXPECT_TRUE(effect.IsPlaying());
    }
    EXPECT_FALSE(effect.IsPlaying());
    EXPECT_LT(effect.Play(), 0);
    EXPECT_EQ(LiveObjects("sound"), 0);
    std::remove(path);
}

// Without a sound device the game runs as before, silent: the device is said to be missing once,
// and what is loaded on it answers SOUND_NO_DEVICE.
TEST_F(GameTest, WithoutASoundDeviceTheGameGoesOnSilent) {
    host->SetAudioDevicePresent(false);
    KeyAfter(2, VK_F11); // each new window asks for the device again, silently
    TarnGame game("test");
    TarnSound effect;
    int frames = 0;
    EXPECT_EQ(game.Run([&](TarnGame& g) {
        if (++frames == 1) {
            EXPECT_EQ(effect.Load(&g.Audio(), "never-read.wav"), SOUND_NO_DEVICE);
            EXPECT_LT(effect.Play(), 0);
        }
        if (frames == 5) g.Quit(3);
    }),
              3);
    EXPECT_EQ(frames, 5);
    EXPECT_FALSE(game.Audio().IsReady());
    const std::string& said = host->DebugText();
    const size_t first = said.find("no sound device");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(said.find("no sound device", first + 1), std::string::npos);
}

} // namespace
