// The demo program's whole life, run as its own process on the headless host: a script drives
// focus, frames and keys, the host's report tells how many frames were shown and how many
// stand-in objects were still alive at exit, and dumped frames show what was on the display.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct DemoRun {
    int exitCode = -1;
    std::map<std::string, long> report; // "frames", "live" ... as the report lists them
    std::string reportText;
};

// Runs the demo in `folder` under `script` and reads the host's report.
DemoRun RunDemo(const fs::path& folder, const std::string& script) {
    DemoRun run;
    fs::path report = folder / "report.txt";
    fs::remove(report);
    std::string command =
        "cd '" + folder.string() + "' && TARN_HOST=headless TARN_HEADLESS_SCRIPT='" + script +
        "' TARN_HEADLESS_REPORT='" + report.string() + "' timeout 60 '" +
        std::string(TARN_BIN_DIR) + "/myfirsttarn' 2>'" + (folder / "stderr.txt").string() + "'";
    int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(report);
    std::stringstream text;
    text << in.rdbuf();
    run.reportText = text.str();
    std::istringstream lines(run.reportText);
    std::string key;
    long value;
    while (lines >> key >> value) run.report[key] = value;
    return run;
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
    size_t row = (static_cast<size_t>(*w) * 3 + 3) & ~size_t(3);
    size_t offset = u32(10);
    if (*w <= 0 || *h <= 0 || d.size() < offset + row * *h) return {};
    std::vector<uint32_t> pixels(static_cast<size_t>(*w) * *h);
    for (int y = 0; y < *h; y++) {
        const unsigned char* p = &d[offset + (*h - 1 - y) * row];
        for (int x = 0; x < *w; x++, p += 3)
            pixels[static_cast<size_t>(y) * *w + x] = p[2] << 16 | p[1] << 8 | p[0];
    }
    return pixels;
}

class DemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::path(testing::TempDir()) /
            ("demo_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        ASSERT_TRUE(fs::exists(fs::path(TARN_BIN_DIR) / "myfirsttarn"))
            << "the demo program is not built (target myfirsttarn)";
    }
    void WithPicture() {
        fs::copy_file(fs::path(TARN_SOURCE_DIR) / "assets" / "landskap.bmp",
                      folder / "landskap.bmp");
    }
    fs::path folder;
};

// Started without the foreground, nothing is shown before the first activation; frames run
// while active and stop on deactivation (the script then waits for frames that must never come);
// Escape ends the program with 0, the display mode given back and nothing of the stand-in left
// alive.
TEST_F(DemoTest, LivesFromActivationToEscape) {
    WithPicture();
    DemoRun run = RunDemo(folder, "focus 0; frames 3; dump before.bmp; focus 1; frames 5; "
                                  "dump during.bmp; focus 0; frames 10; key ESCAPE");
    EXPECT_EQ(run.exitCode, 0) << run.reportText;
    EXPECT_FALSE(fs::exists(folder / "before.bmp"));
    EXPECT_EQ(run.report["frames"], 5);
    EXPECT_EQ(run.report["live"], 0);
    ASSERT_TRUE(run.report.count("fullscreen")) << run.reportText;
    EXPECT_EQ(run.report["fullscreen"], 0);

    // The frame is the picture, within what 16-bit colour keeps.
    int pw = 0, ph = 0, fw = 0, fh = 0;
    std::vector<uint32_t> picture = ReadBmp24(folder / "landskap.bmp", &pw, &ph);
    std::vector<uint32_t> frame = ReadBmp24(folder / "during.bmp", &fw, &fh);
    ASSERT_EQ(fw, 640);
    ASSERT_EQ(fh, 480);
    ASSERT_EQ(pw, 640);
    ASSERT_EQ(ph, 480);
    int bad = 0;
    for (size_t i = 0; i < frame.size(); i += 7) {
        for (int shift : {0, 8, 16}) {
            int a = (frame[i] >> shift) & 0xFF, b = (picture[i] >> shift) & 0xFF;
            if (std::abs(a - b) > 8 && bad++ == 0)
                ADD_FAILURE() << "first bad pixel at (" << i % 640 << ", " << i / 640
                              << "): " << std::hex << frame[i] << " for " << picture[i];
        }
    }
    EXPECT_EQ(bad, 0);
}

// A missing picture leaves the display black; the program still runs and closes with Escape.
TEST_F(DemoTest, RunsWithoutThePicture) {
    DemoRun run = RunDemo(folder, "focus 1; frames 3; dump frame.bmp; key ESCAPE");
    EXPECT_EQ(run.exitCode, 0) << run.reportText;
    EXPECT_GE(run.report["frames"], 3);
    EXPECT_EQ(run.report["live"], 0);
    int w = 0, h = 0;
    std::vector<uint32_t> frame = ReadBmp24(folder / "frame.bmp", &w, &h);
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    size_t lit = 0;
    for (uint32_t p : frame) lit += p != 0;
    EXPECT_EQ(lit, 0u);
}

// A lost display costs frames, not the program: after it comes back the picture is shown again.
TEST_F(DemoTest, SurvivesALostDisplay) {
    WithPicture();
    DemoRun run = RunDemo(folder, "focus 1; frames 2; lose; frames 4; dump after.bmp; key ESCAPE");
    EXPECT_EQ(run.exitCode, 0) << run.reportText;
    EXPECT_EQ(run.report["live"], 0);
    int w = 0, h = 0;
    std::vector<uint32_t> frame = ReadBmp24(folder / "after.bmp", &w, &h);
    ASSERT_EQ(w, 640);
    size_t lit = 0;
    for (uint32_t p : frame) lit += p != 0;
    EXPECT_GT(lit, frame.size() / 2);
}

// A display mode the machine lacks: the failing step and its code are reported and the program
// ends with a nonzero code, leaving nothing alive.
TEST_F(DemoTest, ReportsAScreenThatCannotBeMade) {
    // The headless machine offers no 16-bit 640 x 480 mode when told so through the script's
    // fault injection: the display mode step fails.
    DemoRun run =
        RunDemo(folder, "fault IDirectDraw7::SetDisplayMode; focus 1; frames 2; key ESCAPE");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.report["live"], 0);
    std::ifstream err(folder / "stderr.txt");
    std::stringstream text;
    text << err.rdbuf();
    EXPECT_NE(text.str().find("CreateFullScreen failed with -4"), std::string::npos) << text.str();
    EXPECT_NE(run.reportText.find("CreateFullScreen failed with -4"), std::string::npos);
}

} // namespace
