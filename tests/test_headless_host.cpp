// The headless host as a test instrument: its clock, the conversion of presented frames to
// 0x00RRGGBB and their BMP dump, scheduled events, raw input state, Reset; the script player in
// front of it and in front of a host without controls of its own, and the report written at
// exit; the machine's listeners; and the stand-in's call counts, injected faults and live
// objects.
#include "support/HeadlessTest.h"

#include "host/HeadlessScript.h"
#include "host/ScriptedHost.h"
#include "internal/MachineEvents.h"

#include <windows.h>
#include <dsound.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using tarn::platform::FrameView;
using tarn::platform::HostEvent;

std::vector<HostEvent::Type> Drain(tarn::platform::Host* host) {
    std::vector<HostEvent::Type> types;
    HostEvent e;
    while (host->PollEvent(&e)) types.push_back(e.type);
    return types;
}

FrameView OnePixel(const void* pixel, int bits, uint32_t r = 0, uint32_t g = 0, uint32_t b = 0,
                   const uint32_t* palette = nullptr) {
    FrameView f;
    f.pixels = pixel;
    f.pitch = 4;
    f.width = f.height = 1;
    f.bits = bits;
    f.redMask = r;
    f.greenMask = g;
    f.blueMask = b;
    f.palette = palette;
    return f;
}

using HeadlessHostTest = HeadlessTest;

TEST_F(HeadlessHostTest, ClockIsSetByTheTestAndByFrames) {
    EXPECT_EQ(host->Milliseconds(), 0u);
    host->SetTime(0xFFFFFFFEu);
    host->AdvanceTime(5); // wraps
    EXPECT_EQ(host->Milliseconds(), 3u);
    uint32_t pixel = 0;
    host->Present(OnePixel(&pixel, 32));
    EXPECT_EQ(host->Milliseconds(), 3u); // frame time 0 in-process
    host->SetFrameTime(16);
    host->Present(OnePixel(&pixel, 32));
    EXPECT_EQ(host->Milliseconds(), 19u);
    EXPECT_EQ(host->FramesPresented(), 2);
}

// Each channel is widened by repeating its top bits, so full scale stays full scale.
TEST_F(HeadlessHostTest, FramesAreConvertedToRgbFromEveryFormat) {
    const uint32_t palette[256] = {0, 0x123456};
    struct Case {
        const char* name;
        uint32_t value;
        int bits;
        uint32_t r, g, b;
        uint32_t expected;
    } cases[] = {
        {"565 red", 0xF800, 16, 0xF800, 0x07E0, 0x001F, 0xFF0000},
        {"565 green", 0x07E0, 16, 0xF800, 0x07E0, 0x001F, 0x00FF00},
        {"565 half blue", 0x0010, 16, 0xF800, 0x07E0, 0x001F, 0x000084},
        {"565 without masks", 0x001F, 16, 0, 0, 0, 0x0000FF},
        {"555 red", 0x7C00, 16, 0x7C00, 0x03E0, 0x001F, 0xFF0000},
        {"555 green 1", 0x0020, 16, 0x7C00, 0x03E0, 0x001F, 0x000800},
        {"24-bit", 0x123456, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456},
        {"32-bit ignores the top byte", 0xFF654321, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0x654321},
        {"8-bit through the palette", 1, 8, 0, 0, 0, 0x123456},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t pixel = c.value;
        host->Present(OnePixel(&pixel, c.bits, c.r, c.g, c.b, palette));
        int w = 0, h = 0;
        const std::vector<uint32_t>& frame = host->LastFrame(&w, &h);
        ASSERT_EQ(w, 1);
        ASSERT_EQ(h, 1);
        EXPECT_EQ(frame[0], c.expected);
    }
}

TEST_F(HeadlessHostTest, PitchPaddingIsSkippedAndTheDumpIsABottomUpBmp) {
    // 2 x 2 at 16 bits with 4 bytes of padding per row: red, green / blue, white.
    const uint16_t pixels[] = {0xF800, 0x07E0, 0xDEAD, 0xBEEF, 0x001F, 0xFFFF, 0xDEAD, 0xBEEF};
    FrameView f;
    f.pixels = pixels;
    f.pitch = 8;
    f.width = f.height = 2;
    f.bits = 16;
    f.redMask = 0xF800;
    f.greenMask = 0x07E0;
    f.blueMask = 0x001F;
    std::string path = testing::TempDir() + "tarn_headless_dump.bmp";
    EXPECT_FALSE(host->DumpLastFrame(path)); // nothing presented yet
    host->Present(f);
    int w, h;
    EXPECT_EQ(host->LastFrame(&w, &h),
              (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    ASSERT_TRUE(host->DumpLastFrame(path));

    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bmp((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bmp.size(), 54u + 2 * 8);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[28], 24); // bits per pixel
    // Bottom row first (blue, white), each pixel B, G, R.
    EXPECT_EQ(std::vector<unsigned char>(bmp.begin() + 54, bmp.begin() + 60),
              (std::vector<unsigned char>{0xFF, 0, 0, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::vector<unsigned char>(bmp.begin() + 62, bmp.begin() + 68),
              (std::vector<unsigned char>{0, 0, 0xFF, 0, 0xFF, 0}));
    std::remove(path.c_str());
    EXPECT_FALSE(host->DumpLastFrame("/no/such/folder/x.bmp"));
}

TEST_F(HeadlessHostTest, ScriptStepsWaitForFrames) {
    tarn::platform::ScriptedHost& player =
        tarn::platform::PlayScript("focus 0; frames 2; key ESCAPE; time 100; dikey ESCAPE 1; "
                                   "mouse 3 -4\nbutton 0 1; wheel -120; joystick 100 -200; "
                                   "jbutton 3 1\nframes 1; close; lose");
    EXPECT_EQ(&tarn::platform::CurrentHost(), &player);
    EXPECT_FALSE(host->HasFocus());
    EXPECT_EQ(Drain(host), std::vector<HostEvent::Type>{HostEvent::FocusLost});
    uint32_t pixel = 0;
    player.Present(OnePixel(&pixel, 32));
    EXPECT_TRUE(Drain(host).empty());
    player.Present(OnePixel(&pixel, 32));
    HostEvent e;
    ASSERT_TRUE(host->PollEvent(&e));
    EXPECT_EQ(e.type, HostEvent::KeyDown);
    EXPECT_EQ(e.vk, 0x1Bu);
    ASSERT_TRUE(host->PollEvent(&e));
    EXPECT_EQ(e.type, HostEvent::KeyUp);
    EXPECT_EQ(host->Milliseconds(), 100u);
    uint8_t keys[256];
    host->ReadKeyboard(keys);
    EXPECT_EQ(keys[1], 0x80);
    tarn::platform::MouseState mouse;
    host->ReadMouse(&mouse);
    EXPECT_EQ(mouse.dx, 3);
    EXPECT_EQ(mouse.dy, -4);
    EXPECT_TRUE(mouse.buttons[0]);
    EXPECT_EQ(mouse.wheel, -120);
    tarn::platform::JoystickState stick;
    ASSERT_TRUE(host->ReadJoystick(&stick)); // plugged in by the script
    EXPECT_EQ(stick.x, 100);
    EXPECT_EQ(stick.y, -200);
    EXPECT_TRUE(stick.buttons[3]);
    EXPECT_TRUE(Drain(host).empty());
    player.Present(OnePixel(&pixel, 32));
    EXPECT_EQ(Drain(host),
              (std::vector<HostEvent::Type>{HostEvent::Close, HostEvent::DisplayLost}));
    EXPECT_EQ(player.FramesPresented(), 3);
}

// A key step is a press and release for the window and, for one frame, a key held on the
// keyboard device, so that the game's Pressed sees it; dikey takes the same names.
TEST_F(HeadlessHostTest, KeyStepsReachTheKeyboardDeviceByTheSameNames) {
    tarn::platform::ScriptedHost& player =
        tarn::platform::PlayScript("key SPACE; dikey F11 1; dikey leftshift 1");
    uint8_t keys[256];
    player.ReadKeyboard(keys);
    EXPECT_EQ(keys[0x39], 0x80) << "space held until the next frame";
    EXPECT_EQ(keys[0x57], 0x80);
    EXPECT_EQ(keys[0x2A], 0x80);
    HostEvent e;
    ASSERT_TRUE(player.PollEvent(&e));
    EXPECT_EQ(e.type, HostEvent::KeyDown);
    EXPECT_EQ(e.vk, 0x20u);
    uint32_t pixel = 0;
    player.Present(OnePixel(&pixel, 32));
    player.ReadKeyboard(keys);
    EXPECT_EQ(keys[0x39], 0);
    EXPECT_EQ(keys[0x57], 0x80) << "a dikey stays down";
}

// The sound the headless machine played so far, as a 16-bit stereo WAV file.
TEST_F(HeadlessHostTest, WavStepWritesTheSoundPlayedSoFar) {
    auto pull = [](void*, int16_t* out, int frames) {
        for (int i = 0; i < 2 * frames; ++i) out[i] = int16_t(i % 2 ? -300 : 1000);
    };
    ASSERT_TRUE(host->OpenAudio(22050, pull, nullptr));
    host->PlayAudio(3);
    const std::string path = testing::TempDir() + "tarn_script_sound.wav";
    std::remove(path.c_str());
    tarn::platform::PlayScript("wav " + path);
    host->CloseAudio();
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> wav((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(wav.size(), 44u + 3 * 4);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(wav[22], 2);                    // channels
    EXPECT_EQ(wav[24] | wav[25] << 8, 22050); // rate
    EXPECT_EQ(wav[34], 16);                   // bits
    EXPECT_EQ(wav[40], 12);                   // data bytes
    EXPECT_EQ(int16_t(wav[44] | wav[45] << 8), 1000);
    EXPECT_EQ(int16_t(wav[46] | wav[47] << 8), -300);
    std::remove(path.c_str());
}

// A machine without controls of its own, as the SDL2 and web hosts are: one key down, the
// mouse moved, one event waiting, its clock at 1000.
class PlainHost final : public tarn::platform::Host {
public:
    const char* Name() const override { return "plain"; }
    const tarn::platform::MachineConfig& Machine() const override { return machine; }
    bool OpenWindow(const char*, int, int) override { return true; }
    void CloseWindow() override {}
    void SetFullScreen(bool, int, int, int) override {}
    void ShowCursor(bool) override {}
    void Present(const FrameView&) override { ++presented; }
    void WaitVerticalBlank() override {}
    bool PollEvent(HostEvent* event) override {
        if (!eventWaiting) return false;
        eventWaiting = false;
        event->type = HostEvent::KeyDown;
        event->vk = 'Q';
        return true;
    }
    void WaitEvent() override {}
    bool HasFocus() const override { return true; }
    void ReadKeyboard(uint8_t state[256]) override {
        std::fill(state, state + 256, 0);
        state[0x10] = 0x80;
    }
    void ReadMouse(tarn::platform::MouseState* mouse) override {
        *mouse = tarn::platform::MouseState{};
        mouse->dx = 1;
    }
    bool JoystickAttached() const override { return false; }
    std::string JoystickName() const override { return ""; }
    bool ReadJoystick(tarn::platform::JoystickState*) override { return false; }
    uint32_t Milliseconds() override { return 1000; }
    void CursorPos(int* x, int* y) override { *x = *y = 0; }
    void DebugOutput(const char*) override {}

    tarn::platform::MachineConfig machine;
    bool eventWaiting = true;
    int presented = 0;
};

// In front of a host without controls, the steps are laid over what the machine reports: its
// keys, motion and events stay, the script's come first or on top.
TEST(ScriptedHost, PlaysOverAHostWithoutControls) {
    PlainHost plain;
    tarn::platform::ScriptedHost player(plain);
    std::string error;
    ASSERT_TRUE(player.Play("focus 0; dikey A 1; mouse 5 0; time 30; pbutton 2 B 1; "
                            "joystick 9 -9; frames 1; close",
                            &error))
        << error;
    EXPECT_FALSE(player.HasFocus());
    EXPECT_EQ(player.Milliseconds(), 1030u);
    uint8_t keys[256];
    player.ReadKeyboard(keys);
    EXPECT_EQ(keys[0x10], 0x80) << "the machine's key";
    EXPECT_EQ(keys[0x1E], 0x80) << "the script's key";
    tarn::platform::MouseState mouse;
    player.ReadMouse(&mouse);
    EXPECT_EQ(mouse.dx, 6);
    player.ReadMouse(&mouse);
    EXPECT_EQ(mouse.dx, 1) << "the script's motion is consumed";
    tarn::platform::PadState pad;
    EXPECT_FALSE(player.ReadPad(0, &pad));
    ASSERT_TRUE(player.ReadPad(2, &pad));
    EXPECT_EQ(pad.buttons, 0x2000);
    tarn::platform::JoystickState stick;
    ASSERT_TRUE(player.ReadJoystick(&stick));
    EXPECT_EQ(stick.y, -9);
    EXPECT_EQ(Drain(&player),
              (std::vector<HostEvent::Type>{HostEvent::FocusLost, HostEvent::KeyDown}));
    uint32_t pixel = 0;
    player.Present(OnePixel(&pixel, 32));
    EXPECT_EQ(plain.presented, 1);
    EXPECT_EQ(Drain(&player), std::vector<HostEvent::Type>{HostEvent::Close});
    const std::string wav = testing::TempDir() + "tarn_plain_sound.wav";
    std::remove(wav.c_str());
    EXPECT_TRUE(player.Play("wav " + wav, &error));
    EXPECT_FALSE(std::ifstream(wav).good()) << "this host records no sound";
}

// Every part registers one listener, with no limit on how many; a fresh machine reaches them all,
// DirectSound's foreground state included.
template <int N> int heard = 0;
template <int N> void Hear(tarn::platform::MachineChange change) {
    if (change == tarn::platform::MachineChange::Reset) ++heard<N>;
}
template <int... N> void ListenAll(std::integer_sequence<int, N...>) {
    (tarn::platform::ListenToMachine(&Hear<N>), ...);
    (tarn::platform::ListenToMachine(&Hear<N>), ...); // registered once however often asked
}
template <int... N> std::vector<int> HeardAll(std::integer_sequence<int, N...>) {
    return {heard<N>...};
}

TEST_F(HeadlessHostTest, AFreshMachineReachesEveryListener) {
    constexpr auto many = std::make_integer_sequence<int, 12>{};
    ListenAll(many);
    tarn::platform::UseHeadlessHost();
    EXPECT_EQ(HeardAll(many), std::vector<int>(12, 1));
}

TEST_F(HeadlessHostTest, AFreshMachineHasItsSoundBack) {
    TakeDisplayAway(); // the program left the foreground: its sound is taken away
    tarn::platform::UseHeadlessHost();
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Fresh";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND hwnd =
        CreateWindowExA(0, "Fresh", "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    LPDIRECTSOUND ds = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
    ASSERT_EQ(ds->SetCooperativeLevel(hwnd, DSSCL_PRIORITY), DS_OK);
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwBufferBytes = 64;
    desc.lpwfxFormat = &format;
    LPDIRECTSOUNDBUFFER buffer = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    EXPECT_EQ(buffer->Play(0, 0, 0), DS_OK);
    buffer->Release();
    ds->Release();
    DestroyWindow(hwnd);
}

// A step that cannot be read is reported and left out; the rest of the script still runs.
TEST_F(HeadlessHostTest, BadScriptStepsAreReportedAndSkipped) {
    std::vector<tarn::platform::ScriptStep> steps;
    std::string error;
    EXPECT_FALSE(tarn::platform::ParseScript(
        "bogus 1; key NOSUCHKEY; frames -1; focus 2; dikey A 5; key A; mouse 1; button 4 1; "
        "jbutton 0 2; joystick 40000 0; wheel; wav",
        &steps, &error));
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].kind, tarn::platform::ScriptStep::Key);
    EXPECT_EQ(steps[0].a, 'A');
    EXPECT_NE(error.find("\"bogus 1\""), std::string::npos) << error;
    EXPECT_NE(error.find("\"key NOSUCHKEY\""), std::string::npos) << error;
    EXPECT_NE(error.find("mouse 1"), std::string::npos);
    EXPECT_NE(error.find("LEFTSHIFT"), std::string::npos) << "the error lists the key names";

    struct Name {
        const char* name;
        int vk, scan;
    } names[] = {{"ESCAPE", 0x1B, 0x01},
                 {"space", 0x20, 0x39},
                 {"A", 'A', 0x1E},
                 {"0x41", 0x41, 0x41},
                 {"F12", 0x7B, 0x58},
                 {"M", 'M', 0x32},
                 {"f11", 0x7A, 0x57},
                 {"LEFTSHIFT", 0xA0, 0x2A},
                 {"Digit7", '7', 0x08},
                 {"DIGIT0", '0', 0x0B},
                 {"F20", 0x83, -1},
                 {"NUMPAD5", 0x65, 0x4C},
                 {"RIGHTALT", 0xA5, 0xB8},
                 {"F0", -1, -1},
                 {"", -1, -1},
                 {"7", 7, 7},
                 {"left_ctrl", 0xA2, 0x1D},
                 {"PAGE_UP", 0x21, 0xC9}};
    for (const Name& n : names) {
        EXPECT_EQ(tarn::platform::VirtualKeyByName(n.name), n.vk) << n.name;
        EXPECT_EQ(tarn::platform::ScanCodeByName(n.name), n.scan) << n.name;
    }
}

// While the program waits for a message it presents nothing: waits for frames end at once,
// scheduled events come in order, and with nothing left the process ends with code 3.
TEST_F(HeadlessHostTest, WaitEventReleasesWhatWaitsForFramesAndEndsAHang) {
    HostEvent close;
    close.type = HostEvent::Close;
    HostEvent lose;
    lose.type = HostEvent::DisplayLost;
    host->ScheduleAfterFrames(9, close);
    host->ScheduleAfterFrames(3, lose);
    host->WaitEvent();
    EXPECT_EQ(Drain(host), std::vector<HostEvent::Type>{HostEvent::DisplayLost});
    host->WaitEvent();
    EXPECT_EQ(Drain(host), std::vector<HostEvent::Type>{HostEvent::Close});
    tarn::platform::ScriptedHost& player = tarn::platform::PlayScript("frames 50; focus 0");
    player.WaitEvent();
    EXPECT_EQ(Drain(&player), std::vector<HostEvent::Type>{HostEvent::FocusLost});

    EXPECT_EXIT(player.WaitEvent(), testing::ExitedWithCode(3), "no event");
}

TEST_F(HeadlessHostTest, ReportIsWrittenAtExit) {
    std::string path = testing::TempDir() + "tarn_headless_report.txt";
    std::remove(path.c_str());
    EXPECT_EXIT(
        {
            setenv("TARN_HEADLESS_REPORT", path.c_str(), 1);
            tarn::platform::Host* player = tarn::platform::PlayerFromEnvironment(host);
            uint32_t pixel = 0;
            player->Present(OnePixel(&pixel, 32));
            player->SetFullScreen(true, 640, 480, 16);
            player->SetFullScreen(false, 640, 480, 16);
            player->DebugOutput("hello\n");
            tarn::platform::ObjectCreated("leak");
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().rfind("frames 1\nlive 1\nfullscreen 0\nfullscreen_ever 1\n", 0), 0u)
        << text.str();
    EXPECT_NE(text.str().find("hello\n"), std::string::npos);
    std::remove(path.c_str());
}

TEST_F(HeadlessHostTest, InputStateIsRawAndMouseMotionIsConsumed) {
    host->SetKey(0x1E, true);
    host->SetKey(300, true); // out of range: ignored
    uint8_t keys[256];
    host->ReadKeyboard(keys);
    EXPECT_EQ(keys[0x1E], 0x80);
    EXPECT_EQ(keys[0x1F], 0);

    host->SetCursorPos(10, 10);
    host->MoveMouse(5, -20); // the cursor follows and stays on the desktop
    host->MoveMouse(2, 0);
    host->TurnWheel(-120);
    host->SetMouseButton(1, true);
    tarn::platform::MouseState mouse;
    host->ReadMouse(&mouse);
    EXPECT_EQ(mouse.dx, 7);
    EXPECT_EQ(mouse.dy, -20);
    EXPECT_EQ(mouse.wheel, -120);
    EXPECT_TRUE(mouse.buttons[1]);
    host->ReadMouse(&mouse);
    EXPECT_EQ(mouse.dx, 0);
    EXPECT_EQ(mouse.wheel, 0);
    EXPECT_TRUE(mouse.buttons[1]);
    int x, y;
    host->CursorPos(&x, &y);
    EXPECT_EQ(x, 17);
    EXPECT_EQ(y, 0);

    tarn::platform::JoystickState joystick;
    EXPECT_FALSE(host->JoystickAttached());
    EXPECT_FALSE(host->ReadJoystick(&joystick));
    host->AttachJoystick(true, "Pad");
    host->SetJoystick(-40000, 123);
    host->SetJoystickButton(3, true);
    ASSERT_TRUE(host->ReadJoystick(&joystick));
    EXPECT_EQ(host->JoystickName(), "Pad");
    EXPECT_EQ(joystick.x, -32768);
    EXPECT_EQ(joystick.y, 123);
    EXPECT_TRUE(joystick.buttons[3]);
}

TEST_F(HeadlessHostTest, ResetGivesAFreshMachine) {
    host->Config().desktopWidth = 320;
    host->SetTime(500);
    host->SetFocus(false);
    host->DebugOutput("x");
    uint32_t pixel = 0;
    host->Present(OnePixel(&pixel, 32));
    long code;
    tarn::platform::InjectFault("Anything", 1, 5);
    tarn::platform::Enter("Counted", &code);

    tarn::platform::HeadlessHost& fresh = tarn::platform::UseHeadlessHost();
    EXPECT_EQ(&fresh, host);
    EXPECT_STREQ(tarn::platform::CurrentHost().Name(), "headless");
    EXPECT_EQ(host->Machine().desktopWidth, 1024);
    EXPECT_EQ(host->Milliseconds(), 0u);
    EXPECT_TRUE(host->HasFocus());
    EXPECT_TRUE(Drain(host).empty());
    EXPECT_EQ(host->DebugText(), "");
    EXPECT_EQ(host->FramesPresented(), 0);
    int w, h;
    EXPECT_TRUE(host->LastFrame(&w, &h).empty());
    EXPECT_FALSE(tarn::platform::Enter("Anything", &code));
    EXPECT_EQ(tarn::platform::CallCount("Counted"), 0u);
    EXPECT_FALSE(tarn::platform::SelectHost("no-such-host"));
}

// Fault windows count calls from the moment of injection; count 0 means every call from then.
TEST_F(HeadlessHostTest, FaultsHitExactlyTheCallsAsked) {
    using tarn::platform::Enter;
    long code = 0;
    tarn::platform::InjectFault("Op", 2, 42, 2);
    std::vector<bool> hits;
    for (int i = 0; i < 5; ++i) hits.push_back(Enter("Op", &code));
    EXPECT_EQ(hits, (std::vector<bool>{false, true, true, false, false}));
    EXPECT_EQ(code, 42);
    EXPECT_EQ(tarn::platform::CallCount("Op"), 5u);

    tarn::platform::InjectFault("Op", 1, 7, 0);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Enter("Op", &code));
    tarn::platform::ClearFaults();
    EXPECT_FALSE(Enter("Op", &code));
    tarn::platform::ResetCallCounts();
    EXPECT_EQ(tarn::platform::CallCount("Op"), 0u);
}

// The same seed fails the same calls; spared operations never fail.
TEST_F(HeadlessHostTest, RandomFaultsAreDeterministicAndSpareWhatIsListed) {
    auto run = [](uint32_t seed) {
        tarn::platform::InjectRandomFaults(4, seed, "Spared, AlsoSpared");
        std::vector<bool> hits;
        long code;
        for (int i = 0; i < 64; ++i) {
            hits.push_back(tarn::platform::Enter("Hit", &code));
            EXPECT_FALSE(tarn::platform::Enter("Spared", &code));
            EXPECT_FALSE(tarn::platform::Enter("AlsoSpared", &code));
        }
        return hits;
    };
    std::vector<bool> first = run(1234);
    EXPECT_EQ(run(1234), first);
    int failures = (int)std::count(first.begin(), first.end(), true);
    EXPECT_GT(failures, 4);
    EXPECT_LT(failures, 40);
    tarn::platform::InjectRandomFaults(0, 0);
    long code;
    EXPECT_FALSE(tarn::platform::Enter("Hit", &code));
}

// An entry point names its operation once per call site; it shares the count and the fault
// windows with the name as tests give it, and a used-up window puts it back on its fast path.
TEST_F(HeadlessHostTest, CallSitesShareCountsAndFaultsWithTheirName) {
    using namespace tarn::platform;
    auto site = [] {
        HRESULT hr = S_OK;
        return Enter<"Site::Call">(&hr) ? hr : S_OK;
    };
    auto handle = [] {
        HANDLE result = nullptr;
        return Enter<"Site::Handle">(&result) ? result : nullptr;
    };
    InjectFault("Site::Call", 2, E_OUTOFMEMORY);
    InjectFault("Site::Handle", 1, -1);
    EXPECT_EQ(site(), S_OK);
    EXPECT_EQ(site(), E_OUTOFMEMORY);
    EXPECT_EQ(site(), S_OK);
    long code = 0;
    EXPECT_FALSE(Enter("Site::Call", &code)); // the same operation, by its name
    EXPECT_EQ(CallCount("Site::Call"), 4u);
    EXPECT_EQ(handle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(handle(), nullptr);

    InjectRandomFaults(1, 7, "Site::Spared");
    EXPECT_EQ(site(), E_FAIL);
    EXPECT_FALSE(Enter<"Site::Spared">());
    InjectRandomFaults(0, 0);
    EXPECT_EQ(site(), S_OK);
}

TEST_F(HeadlessHostTest, LiveObjectsAreCountedByKind) {
    using namespace tarn::platform;
    int before = LiveObjects();
    ObjectCreated("surface");
    ObjectCreated("surface");
    ObjectCreated("dc");
    EXPECT_EQ(LiveObjects("surface"), 2);
    EXPECT_EQ(LiveObjects(), before + 3);
    ObjectDestroyed("surface");
    ObjectDestroyed("surface");
    ObjectDestroyed("surface"); // one too many: reported, never below zero
    ObjectDestroyed("dc");
    EXPECT_EQ(LiveObjects("surface"), 0);
    EXPECT_EQ(LiveObjects(), before);
}

} // namespace
