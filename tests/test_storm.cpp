// Fault storms: the demo program runs as its own process on the headless host for 10,000
// frames while the display is taken away every few frames (lost surfaces, deactivation and
// reactivation), the input devices are lost every few polls, and random stand-in calls fail.
// It must keep running, show the picture again once the storm lets up, end with Escape and
// exit code 0, and leave no stand-in object alive (and, in the sanitizer build, no leak).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int STORM_FRAMES = 10000;
constexpr int CHECKPOINTS = 4; // the picture is checked after this many calm recoveries
constexpr unsigned FAULT_ONE_IN = 40;

// Calls the storm never fails: releases and other clean-up (a real platform does not refuse
// them, and a refused one would leak by design), and the message loop, whose loss would drop
// the very activation messages the storm sends.
const char* const SPARED =
    "IDirectDraw7::Release,IDirectDraw7::AddRef,IDirectDrawSurface7::Release,"
    "IDirectDrawSurface7::AddRef,IDirectDrawPalette::Release,IDirectDrawPalette::AddRef,"
    "IDirectDrawSurface7::Unlock,IDirectDrawSurface7::ReleaseDC,IDirectInputA::Release,"
    "IDirectInputA::AddRef,IDirectInputDeviceA::Release,IDirectInputDeviceA::AddRef,"
    "IDirectInputDeviceA::Unacquire,IPicture::Release,IPicture::AddRef,IStream::Release,"
    "IStream::AddRef,CloseHandle,GlobalFree,GlobalUnlock,FreeResource,DeleteDC,DeleteObject,"
    "ReleaseDC,PeekMessageA,GetMessageA,TranslateMessage,DispatchMessageA,WaitMessage,"
    "DefWindowProcA,PostMessageA,SendMessageA,PostQuitMessage,DestroyWindow,timeGetTime,"
    "OutputDebugStringA";

// The storm's script: bursts of a few frames, each followed by one blow, with a calm
// recovery, a dumped frame and a memory reading at each checkpoint (the readings are for the
// benchmark's report: bench/memory.sh). Deterministic (a fixed generator).
std::string StormScript(int* framesAsked) {
    std::ostringstream s;
    uint32_t random = 0x2545F491u;
    auto next = [&random](uint32_t range) {
        random ^= random << 13;
        random ^= random >> 17;
        random ^= random << 5;
        return random % range;
    };
    auto storm = [&](int seed) {
        s << "faults " << FAULT_ONE_IN << ' ' << seed << ' ' << SPARED << ";";
    };
    auto calm = [&](int checkpoint) {
        s << "faults 0 0; lose; frames 4; dump calm" << checkpoint << ".bmp; memory calm"
          << checkpoint << ";";
        *framesAsked += 4;
    };
    s << "focus 1; frames 3;";
    *framesAsked = 3;
    int checkpoint = 0;
    storm(1);
    while (*framesAsked < STORM_FRAMES) {
        const int burst = 2 + static_cast<int>(next(6));
        s << "frames " << burst << ";";
        *framesAsked += burst;
        switch (next(4)) {
        case 0:
            s << "lose;";
            break;
        case 1:
            s << "focus 0; frames 1; focus 1;";
            break;
        case 2: // the keyboard, mouse and joystick lose their input for the next few reads
            s << "fault IDirectInputDeviceA::GetDeviceState 0x8007001E " << 1 + next(4) << ";";
            break;
        default: // or find themselves unacquired
            s << "fault IDirectInputDeviceA::GetDeviceState 0x8007000C " << 1 + next(3) << ";";
            break;
        }
        if (*framesAsked >= (checkpoint + 1) * STORM_FRAMES / CHECKPOINTS) {
            calm(checkpoint++);
            if (*framesAsked < STORM_FRAMES) storm(checkpoint + 1);
        }
    }
    s << "faults 0 0; frames 2; key ESCAPE";
    return s.str();
}

// A 24-bit bottom-up BMP as 0x00RRGGBB pixels, top row first; empty when it is not one.
std::vector<uint32_t> ReadBmp24(const fs::path& path, int* w, int* h) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), {});
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(d[at] | d[at + 1] << 8 | d[at + 2] << 16 | d[at + 3] << 24);
    };
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || d[28] != 24) return {};
    *w = static_cast<int>(u32(18));
    *h = static_cast<int>(u32(22));
    const size_t row = (static_cast<size_t>(*w) * 3 + 3) & ~size_t(3);
    const size_t offset = u32(10);
    if (*w <= 0 || *h <= 0 || d.size() < offset + row * *h) return {};
    std::vector<uint32_t> pixels(static_cast<size_t>(*w) * *h);
    for (int y = 0; y < *h; y++) {
        const unsigned char* p = &d[offset + (*h - 1 - y) * row];
        for (int x = 0; x < *w; x++, p += 3)
            pixels[static_cast<size_t>(y) * *w + x] = p[2] << 16 | p[1] << 8 | p[0];
    }
    return pixels;
}

// A colour as the 16-bit 5-6-5 display keeps it, widened back by repeating its top bits.
uint32_t Through565(uint32_t c) {
    const uint32_t r = (c >> 16) & 0xF8, g = (c >> 8) & 0xFC, b = c & 0xF8;
    return (r | r >> 5) << 16 | (g | g >> 6) << 8 | (b | b >> 5);
}

// Compares a dumped frame with the picture through 5-6-5, within one 5-bit step per channel
// (rounding against truncation in the conversion).
::testing::AssertionResult ShowsThePicture(const fs::path& dump,
                                           const std::vector<uint32_t>& picture) {
    int w = 0, h = 0;
    const std::vector<uint32_t> frame = ReadBmp24(dump, &w, &h);
    if (w != 640 || h != 480)
        return ::testing::AssertionFailure() << dump << " is no 640 x 480 frame";
    for (size_t i = 0; i < frame.size(); ++i) {
        const uint32_t want = Through565(picture[i]);
        for (int shift : {0, 8, 16}) {
            const int a = (frame[i] >> shift) & 0xFF, b = (want >> shift) & 0xFF;
            if (std::abs(a - b) > 8)
                return ::testing::AssertionFailure()
                       << dump << ": first bad pixel at (" << i % 640 << ", " << i / 640
                       << "): " << std::hex << frame[i] << " for " << want;
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(StormTest, DemoRidesOutTenThousandFramesOfLossesAndFaults) {
    const fs::path folder = fs::path(testing::TempDir()) / "storm";
    fs::remove_all(folder);
    fs::create_directories(folder);
    ASSERT_TRUE(fs::exists(fs::path(TARN_BIN_DIR) / "myfirsttarn"))
        << "the demo program is not built (target myfirsttarn)";
    fs::copy_file(fs::path(TARN_SOURCE_DIR) / "assets" / "landskap.bmp", folder / "landskap.bmp");

    int framesAsked = 0;
    const std::string script = StormScript(&framesAsked);
    const fs::path report = folder / "report.txt";
    const std::string command =
        "cd '" + folder.string() + "' && TARN_HOST=headless TARN_HEADLESS_SCRIPT='" + script +
        "' TARN_HEADLESS_REPORT='" + report.string() + "' timeout 900 '" +
        std::string(TARN_BIN_DIR) + "/myfirsttarn' 2>'" + (folder / "stderr.txt").string() + "'";
    const int status = std::system(command.c_str());
    std::ifstream errors(folder / "stderr.txt");
    std::stringstream errorText;
    errorText << errors.rdbuf();
    ASSERT_TRUE(WIFEXITED(status)) << errorText.str();
    EXPECT_EQ(WEXITSTATUS(status), 0) << errorText.str();

    std::ifstream in(report);
    std::map<std::string, long> values;
    std::string key;
    long value = 0;
    while (in >> key >> value) values[key] = value;
    EXPECT_GE(values["frames"], framesAsked);
    EXPECT_GE(framesAsked, STORM_FRAMES);
    ASSERT_TRUE(values.count("live")) << "no report from the host";
    EXPECT_EQ(values["live"], 0);
    EXPECT_EQ(values["fullscreen"], 0);

    int w = 0, h = 0;
    const std::vector<uint32_t> picture = ReadBmp24(folder / "landskap.bmp", &w, &h);
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    for (int i = 0; i < CHECKPOINTS; ++i)
        EXPECT_TRUE(ShowsThePicture(folder / ("calm" + std::to_string(i) + ".bmp"), picture));
}

} // namespace
