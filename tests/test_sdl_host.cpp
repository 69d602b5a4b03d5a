// The SDL2 host without a display: frame conversion for every display-mode format, the key
// table, and the host itself on SDL2's dummy video driver (events to window messages, the
// wheel, full-screen scaling with letterboxing) and with SDL2's virtual joysticks (the first
// joystick, and gamepads in XInput's slots through a mapping file of our own).
// The demo on a real X server is covered by the end-to-end scripts in tests/e2e.
#include "host/Host.h"
#include "host/SdlFrame.h"
#include "host/SdlKeymap.h"

#include <gtest/gtest.h>
#include <SDL.h>

#include <xinput.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace tarn::platform;

namespace {

// ---------------------------------------------------------------------------------------------
// Frame conversion

struct FrameCase {
    const char* name;
    int bits;
    uint32_t red, green, blue;
    std::vector<uint8_t> pixel; // one pixel's bytes in memory order
    uint32_t argb;              // what it must become
};

const uint32_t kPalette[256] = {0x000000, 0x123456, 0xFFFFFF};

TEST(SdlFrame, ConvertsEveryDisplayFormatToOpaqueArgb) {
    const FrameCase cases[] = {
        {"8-bit palette entry", 8, 0, 0, 0, {1}, 0xFF123456},
        {"5-6-5 white", 16, 0xF800, 0x07E0, 0x001F, {0xFF, 0xFF}, 0xFFFFFFFF},
        {"5-6-5 pure green step", 16, 0xF800, 0x07E0, 0x001F, {0x20, 0x00}, 0xFF000400},
        {"5-6-5 red 10000", 16, 0xF800, 0x07E0, 0x001F, {0x00, 0x80}, 0xFF840000},
        {"5-5-5 white", 16, 0x7C00, 0x03E0, 0x001F, {0xFF, 0x7F}, 0xFFFFFFFF},
        {"5-5-5 blue 00001", 16, 0x7C00, 0x03E0, 0x001F, {0x01, 0x00}, 0xFF000008},
        {"5-5-5 top bit ignored", 16, 0x7C00, 0x03E0, 0x001F, {0x00, 0x80}, 0xFF000000},
        {"24-bit BGR in memory", 24, 0xFF0000, 0x00FF00, 0x0000FF, {0x11, 0x22, 0x33}, 0xFF332211},
        {"24-bit RGB in memory", 24, 0x0000FF, 0x00FF00, 0xFF0000, {0x11, 0x22, 0x33}, 0xFF112233},
        {"32-bit x8b8g8r8", 32, 0x0000FF, 0x00FF00, 0xFF0000, {0x11, 0x22, 0x33, 0x99}, 0xFF112233},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Two rows of two pixels with a padded pitch; only the last pixel carries the value.
        const int bytes = c.bits / 8, pitch = 2 * bytes + 3;
        std::vector<uint8_t> memory(2 * pitch, 0);
        std::memcpy(&memory[pitch + bytes], c.pixel.data(), bytes);
        FrameView frame;
        frame.pixels = memory.data();
        frame.pitch = pitch;
        frame.width = frame.height = 2;
        frame.bits = c.bits;
        frame.redMask = c.red, frame.greenMask = c.green, frame.blueMask = c.blue;
        frame.palette = kPalette;

        SdlFrame converter;
        ASSERT_TRUE(converter.Prepare(frame, false, nullptr));
        ASSERT_FALSE(converter.Direct());
        uint32_t out[2][3] = {}; // a destination pitch wider than the frame too
        converter.Convert(frame, out, sizeof out[0]);
        EXPECT_EQ(out[1][1], c.argb);
        EXPECT_EQ(out[0][0] & 0xFF000000u, 0xFF000000u);
        EXPECT_EQ(out[1][2], 0u) << "wrote past the row";
    }
}

// Every 16-bit value, in rows whose width is no multiple of the eight pixels converted at a
// time, becomes what widening each channel by repeating its top bits gives.
TEST(SdlFrame, WidensEvery16BitPixel) {
    struct Layout {
        const char* name;
        int redShift, greenBits;
    };
    for (const Layout& l : {Layout{"5-6-5", 11, 6}, Layout{"5-5-5", 10, 5}}) {
        SCOPED_TRACE(l.name);
        const int width = 257, height = 256, pitch = width * 2 + 6;
        std::vector<uint8_t> memory(static_cast<size_t>(pitch) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint16_t p = static_cast<uint16_t>(y * width + x);
                std::memcpy(&memory[static_cast<size_t>(y) * pitch + 2 * x], &p, 2);
            }
        FrameView frame{memory.data(),
                        pitch,
                        width,
                        height,
                        16,
                        0x1Fu << l.redShift,
                        ((1u << l.greenBits) - 1) << 5,
                        0x1F,
                        nullptr};
        SdlFrame converter;
        ASSERT_TRUE(converter.Prepare(frame, false, nullptr));
        std::vector<uint32_t> out(static_cast<size_t>(width) * height);
        converter.Convert(frame, out.data(), width * 4);
        auto widen = [](uint32_t v, int bits) {
            return bits == 5 ? (v << 3 | v >> 2) : (v << 2 | v >> 4);
        };
        for (size_t i = 0; i < out.size(); ++i) {
            const uint32_t p = static_cast<uint16_t>(i);
            const uint32_t want = 0xFF000000u | widen((p >> l.redShift) & 0x1F, 5) << 16 |
                                  widen((p >> 5) & ((1u << l.greenBits) - 1), l.greenBits) << 8 |
                                  widen(p & 0x1F, 5);
            ASSERT_EQ(out[i], want) << "pixel " << i << " = 0x" << std::hex << p;
        }
    }
}

TEST(SdlFrame, UploadsNativeFormatsUnchanged) {
    uint16_t pixels[4] = {};
    FrameView frame{pixels, 4, 2, 2, 16, 0xF800, 0x07E0, 0x001F, nullptr};
    SdlFrame converter;
    ASSERT_TRUE(converter.Prepare(frame, true, nullptr));
    EXPECT_TRUE(converter.Direct());
    EXPECT_EQ(converter.TextureFormat(), uint32_t(SDL_PIXELFORMAT_RGB565));
    ASSERT_TRUE(converter.Prepare(frame, false, nullptr)); // the renderer lacks RGB565
    EXPECT_FALSE(converter.Direct());

    uint32_t wide[4] = {};
    FrameView x888{wide, 8, 2, 2, 32, 0xFF0000, 0x00FF00, 0x0000FF, nullptr};
    ASSERT_TRUE(converter.Prepare(x888, false, nullptr));
    EXPECT_TRUE(converter.Direct());
    EXPECT_EQ(converter.TextureFormat(), uint32_t(SDL_PIXELFORMAT_ARGB8888));
}

TEST(SdlFrame, RefusesFramesItCannotShow) {
    uint8_t memory[64] = {};
    const FrameView good{memory, 8, 2, 2, 16, 0xF800, 0x07E0, 0x001F, nullptr};
    struct Bad {
        const char* name;
        FrameView frame;
    };
    Bad cases[] = {{"no pixels", good},    {"12 bits", good},   {"pitch short", good},
                   {"no size", good},      {"huge size", good}, {"8 bits, no palette", good},
                   {"masks overlap", good}};
    cases[0].frame.pixels = nullptr;
    cases[1].frame.bits = 12;
    cases[2].frame.pitch = 3;
    cases[3].frame.width = 0;
    cases[4].frame.height = 1 << 20;
    cases[5].frame.bits = 8;
    cases[6].frame.greenMask = 0x0FE0;
    SdlFrame converter;
    for (const Bad& c : cases) {
        const char* why = nullptr;
        EXPECT_FALSE(converter.Prepare(c.frame, true, &why)) << c.name;
        EXPECT_NE(why, nullptr) << c.name;
    }
}

// ---------------------------------------------------------------------------------------------
// The key table

TEST(SdlKeymap, TableIsConsistent) {
    std::set<int> scancodes, diks;
    for (const SdlKey& key : SdlKeyTable()) {
        EXPECT_TRUE(scancodes.insert(key.scancode).second) << "scancode twice: " << key.scancode;
        EXPECT_TRUE(key.dik != 0 || key.vk != 0) << "row without a code: " << key.scancode;
        // Only the ISO key beside Enter shares its scan code (with backslash), as on Windows.
        if (key.dik != 0 && key.scancode != SDL_SCANCODE_NONUSHASH) {
            EXPECT_TRUE(diks.insert(key.dik).second) << "scan code twice: " << int(key.dik);
        }
    }
}

TEST(SdlKeymap, KnownKeys) {
    struct Case {
        SDL_Scancode scancode;
        SDL_Keycode sym;
        uint8_t dik;
        uint32_t vk;
    };
    const Case cases[] = {
        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0x01, 27},
        {SDL_SCANCODE_A, SDLK_a, 0x1E, 'A'},
        {SDL_SCANCODE_0, SDLK_0, 0x0B, '0'},
        {SDL_SCANCODE_F1, SDLK_F1, 0x3B, 0x70},
        {SDL_SCANCODE_F12, SDLK_F12, 0x58, 0x7B},
        {SDL_SCANCODE_UP, SDLK_UP, 0xC8, 0x26},
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, 0x9C, 0x0D},
        {SDL_SCANCODE_RCTRL, SDLK_RCTRL, 0x9D, 0x11},
        // A French keyboard: the key in the Q place types 'a' and is VK 'A' there, but keeps
        // DirectInput's scan code of its place; its digit row types symbols but is still VK '1'.
        {SDL_SCANCODE_Q, SDLK_a, 0x10, 'A'},
        {SDL_SCANCODE_1, SDLK_AMPERSAND, 0x02, '1'},
        {SDL_SCANCODE_UNKNOWN, SDLK_UNKNOWN, 0, 0},
    };
    for (const Case& c : cases) {
        SDL_Keysym key{};
        key.scancode = c.scancode;
        key.sym = c.sym;
        EXPECT_EQ(DikForScancode(c.scancode), c.dik) << SDL_GetScancodeName(c.scancode);
        EXPECT_EQ(VirtualKeyFor(key), c.vk) << SDL_GetScancodeName(c.scancode);
    }
    EXPECT_EQ(DikForScancode(SDL_Scancode(SDL_NUM_SCANCODES + 5)), 0);
}

TEST(SdlKeymap, KeyboardStateBecomesDirectInputState) {
    uint8_t sdl[SDL_NUM_SCANCODES] = {};
    sdl[SDL_SCANCODE_A] = 1;
    sdl[SDL_SCANCODE_LEFT] = 1;
    sdl[SDL_SCANCODE_AC_HOME] = 1; // beyond the count given below: not read
    uint8_t dik[256];
    std::memset(dik, 0x55, sizeof dik);
    KeyboardStateToDik(sdl, SDL_SCANCODE_AC_HOME, dik);
    for (int i = 0; i < 256; ++i) {
        uint8_t want = (i == 0x1E || i == 0xCB) ? 0x80 : 0;
        EXPECT_EQ(dik[i], want) << "scan code " << i;
    }
}

// ---------------------------------------------------------------------------------------------
// The host on SDL2's dummy video driver

class SdlHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_TRUE(SelectHost("sdl2"));
    }
    Host& host = CurrentHost();

    SDL_Window* OurWindow() {
        for (Uint32 id = 1; id < 64; ++id) {
            SDL_Window* w = SDL_GetWindowFromID(id);
            if (w && std::strcmp(SDL_GetWindowTitle(w), "MyFirstTarn") == 0) return w;
        }
        return nullptr;
    }
    void Drain() {
        HostEvent e;
        while (host.PollEvent(&e)) {
        }
    }
};

TEST_F(SdlHostTest, EventsBecomeWindowMessages) {
    ASSERT_STREQ(host.Name(), "sdl2");
    ASSERT_TRUE(host.OpenWindow("MyFirstTarn", 320, 240));
    SDL_Window* window = OurWindow();
    ASSERT_NE(window, nullptr);
    Drain();

    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    e.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    e.key.keysym.scancode = SDL_SCANCODE_F13; // SDL2 has no key code for it here: by scancode
    e.key.keysym.sym = 0;
    SDL_PushEvent(&e);
    e = SDL_Event{};
    e.type = SDL_MOUSEMOTION; // nothing for the window manager
    SDL_PushEvent(&e);
    e = SDL_Event{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(window);
    for (Uint8 what :
         {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED, SDL_WINDOWEVENT_CLOSE}) {
        e.window.event = what;
        SDL_PushEvent(&e);
    }
    e.window.windowID = SDL_GetWindowID(window) + 100; // someone else's window
    SDL_PushEvent(&e);

    const HostEvent::Type want[] = {HostEvent::KeyDown, HostEvent::KeyUp, HostEvent::FocusLost,
                                    HostEvent::FocusGained, HostEvent::Close};
    HostEvent got;
    for (HostEvent::Type type : want) {
        ASSERT_TRUE(host.PollEvent(&got));
        EXPECT_EQ(got.type, type);
    }
    EXPECT_FALSE(host.PollEvent(&got));
    host.CloseWindow();
}

TEST_F(SdlHostTest, WaitEventKeepsTheEventForPollEvent) {
    ASSERT_TRUE(host.OpenWindow("MyFirstTarn", 320, 240));
    Drain();
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    SDL_PushEvent(&e); // skipped by the wait
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    host.WaitEvent();
    HostEvent got;
    ASSERT_TRUE(host.PollEvent(&got));
    EXPECT_EQ(got.type, HostEvent::Close);
    EXPECT_FALSE(host.PollEvent(&got));
    host.CloseWindow();
}

TEST_F(SdlHostTest, WheelCountsNotchesOf120AndIsConsumedByReading) {
    ASSERT_TRUE(host.OpenWindow("MyFirstTarn", 320, 240));
    MouseState mouse;
    host.ReadMouse(&mouse);
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = 2;
    SDL_PushEvent(&e);
    e.wheel.y = 1;
    e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED; // "natural" scrolling reports it reversed
    SDL_PushEvent(&e);
    host.ReadMouse(&mouse);
    EXPECT_EQ(mouse.wheel, 120);
    host.ReadMouse(&mouse);
    EXPECT_EQ(mouse.wheel, 0);
    host.CloseWindow();
}

// A 640 x 400 mode on the dummy driver's 1024 x 768 desktop: scaled by 1.6 with nearest
// neighbours into a 1024 x 640 band, with black bars of 64 rows above and below.
TEST_F(SdlHostTest, FullScreenFrameIsScaledAndLetterboxed) {
    const MachineConfig& machine = host.Machine();
    ASSERT_EQ(machine.desktopWidth, 1024);
    ASSERT_EQ(machine.desktopHeight, 768);
    ASSERT_TRUE(host.OpenWindow("MyFirstTarn", machine.desktopWidth, machine.desktopHeight));
    host.SetFullScreen(true, 640, 400, 16);
    Drain();

    std::vector<uint16_t> pixels(640 * 400);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 640; ++x)
            pixels[y * 640 + x] = uint16_t((x / 20) << 11 | (y / 10) << 5 | 0x1F);
    FrameView frame{pixels.data(), 640 * 2, 640, 400, 16, 0xF800, 0x07E0, 0x001F, nullptr};
    host.Present(frame);

    SDL_Renderer* renderer = SDL_GetRenderer(OurWindow());
    ASSERT_NE(renderer, nullptr);
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(renderer, &w, &h);
    ASSERT_EQ(w, 1024);
    ASSERT_EQ(h, 768);
    SDL_RenderSetLogicalSize(renderer, 0, 0); // read the whole output, bars included
    std::vector<uint32_t> shown(size_t(w) * h);
    ASSERT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, shown.data(), w * 4),
              0);
    for (int y : {0, 63, 704, 767}) EXPECT_EQ(shown[size_t(y) * w + 500] & 0xFFFFFF, 0u) << y;
    for (int y : {64, 300, 703}) {
        for (int x : {0, 333, 1023}) {
            int fx = x * 640 / 1024, fy = (y - 64) * 400 / 640;
            uint32_t p = pixels[fy * 640 + fx];
            uint32_t want = (p >> 11) << 19 | ((p >> 5) & 0x3F) << 10 | (p & 0x1F) << 3;
            // The 5-6-5 value must come through; how its low bits are filled is SDL2's choice
            // when it converts a native RGB565 texture.
            EXPECT_EQ(shown[size_t(y) * w + x] & 0xF8FCF8, want) << x << "," << y;
        }
    }
    host.CloseWindow();
}

// ---------------------------------------------------------------------------------------------
// The first joystick, through SDL2's virtual joystick

TEST_F(SdlHostTest, ReadsTheFirstJoystick) {
    host.JoystickAttached(); // starts SDL2's joystick subsystem
    if (SDL_NumJoysticks() > 0) GTEST_SKIP() << "a real joystick is attached";
    EXPECT_FALSE(host.JoystickAttached());
    JoystickState state;
    state.x = 5;
    EXPECT_FALSE(host.ReadJoystick(&state));
    EXPECT_EQ(state.x, 0);

    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 12, 0);
    ASSERT_EQ(index, 0) << SDL_GetError();
    SDL_Joystick* device = SDL_JoystickOpen(index);
    ASSERT_NE(device, nullptr);
    SDL_JoystickSetVirtualAxis(device, 0, 1000);
    SDL_JoystickSetVirtualAxis(device, 1, -32768);
    SDL_JoystickSetVirtualButton(device, 11, SDL_PRESSED);

    EXPECT_TRUE(host.JoystickAttached());
    EXPECT_FALSE(host.JoystickName().empty());
    ASSERT_TRUE(host.ReadJoystick(&state));
    EXPECT_EQ(state.x, 1000);
    EXPECT_EQ(state.y, -32768);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(state.buttons[i], i == 11) << i;

    SDL_JoystickClose(device);
    SDL_JoystickDetachVirtual(index);
    EXPECT_FALSE(host.JoystickAttached());
    EXPECT_FALSE(host.ReadJoystick(&state));
}

// ---------------------------------------------------------------------------------------------
// Gamepads, through SDL2's virtual joysticks with a mapping of our own

// What the virtual pads' motors were last told, by the pad's number.
Uint16 g_MotorLow[3], g_MotorHigh[3];

int SDLCALL VirtualRumble(void* pad, Uint16 low, Uint16 high) {
    g_MotorLow[(intptr_t)pad] = low;
    g_MotorHigh[(intptr_t)pad] = high;
    return 0;
}

// A virtual pad of 15 buttons and 6 axes; every virtual pad has the same GUID.
SDL_Joystick* AttachPad(intptr_t number) {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 6;
    desc.nbuttons = 15;
    desc.name = "Tarn Test Pad";
    desc.userdata = (void*)number;
    desc.Rumble = &VirtualRumble;
    int index = SDL_JoystickAttachVirtualEx(&desc);
    return index < 0 ? nullptr : SDL_JoystickOpen(index);
}

void DetachPad(SDL_Joystick* joystick) {
    SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
    SDL_JoystickClose(joystick);
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
}

// The mapping file turns the device's buttons and axes round, so that only a mapping read from
// the file gives the expected layout.
TEST_F(SdlHostTest, GamepadsFillTheSlotsThroughTheirMapping) {
    host.JoystickAttached(); // starts SDL2's joystick subsystem
    if (SDL_NumJoysticks() > 0) GTEST_SKIP() << "a real joystick is attached";
    SDL_Joystick* first = AttachPad(0);
    ASSERT_NE(first, nullptr) << SDL_GetError();
    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(first), guid, sizeof guid);
    // Without the name's checksum (GUID bytes 2-3), as mapping databases write it; SDL2 then
    // prefers it to the layout it makes up for a virtual device itself.
    std::memset(guid + 4, '0', 4);
    const std::string mappings = testing::TempDir() + "tarn_pad_mappings.txt";
    FILE* file = std::fopen(mappings.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fprintf(file,
                 "%s,Tarn Test Pad,a:b14,b:b13,x:b12,y:b11,back:b10,start:b9,leftstick:b8,"
                 "rightstick:b7,leftshoulder:b6,rightshoulder:b5,dpup:b4,dpdown:b3,dpleft:b2,"
                 "dpright:b1,guide:b0,leftx:a2,lefty:a3,rightx:a0,righty:a1,lefttrigger:a5,"
                 "righttrigger:a4,platform:%s,\n",
                 guid, SDL_GetPlatform());
    std::fclose(file);
    setenv("TARN_PAD_MAPPINGS", mappings.c_str(), 1);

    PadState pad;
    ASSERT_TRUE(host.ReadPad(0, &pad)) << "the pad takes the first slot";
    EXPECT_FALSE(host.ReadPad(1, &pad));
    const struct {
        int raw;
        uint16_t bit;
    } buttons[] = {
        {14, XINPUT_GAMEPAD_A},
        {13, XINPUT_GAMEPAD_B},
        {12, XINPUT_GAMEPAD_X},
        {11, XINPUT_GAMEPAD_Y},
        {10, XINPUT_GAMEPAD_BACK},
        {9, XINPUT_GAMEPAD_START},
        {8, XINPUT_GAMEPAD_LEFT_THUMB},
        {7, XINPUT_GAMEPAD_RIGHT_THUMB},
        {6, XINPUT_GAMEPAD_LEFT_SHOULDER},
        {5, XINPUT_GAMEPAD_RIGHT_SHOULDER},
        {4, XINPUT_GAMEPAD_DPAD_UP},
        {3, XINPUT_GAMEPAD_DPAD_DOWN},
        {2, XINPUT_GAMEPAD_DPAD_LEFT},
        {1, XINPUT_GAMEPAD_DPAD_RIGHT},
        {0, 0}, // the guide button has no XInput bit
    };
    for (const auto& b : buttons) {
        SDL_JoystickSetVirtualButton(first, b.raw, SDL_PRESSED);
        ASSERT_TRUE(host.ReadPad(0, &pad));
        EXPECT_EQ(pad.buttons, b.bit) << "raw button " << b.raw;
        SDL_JoystickSetVirtualButton(first, b.raw, SDL_RELEASED);
    }

    // Axes: SDL2's y grows downwards, XInput's upwards; the triggers narrow to a byte.
    const struct {
        int raw;
        Sint16 value;
        int16_t PadState::*stick;
        uint8_t PadState::*trigger;
        int want;
    } axes[] = {
        {2, 1000, &PadState::leftX, nullptr, 1000},
        {3, 32767, &PadState::leftY, nullptr, -32767},
        {3, -32768, &PadState::leftY, nullptr, 32767},
        {0, -32768, &PadState::rightX, nullptr, -32768},
        {1, -200, &PadState::rightY, nullptr, 200},
        {5, 32767, nullptr, &PadState::leftTrigger, 255},
        {4, 32767, nullptr, &PadState::rightTrigger, 255},
        {4, -32768, nullptr, &PadState::rightTrigger, 0},
    };
    for (const auto& a : axes) {
        SDL_JoystickSetVirtualAxis(first, a.raw, a.value);
        ASSERT_TRUE(host.ReadPad(0, &pad));
        EXPECT_EQ(a.stick ? pad.*a.stick : pad.*a.trigger, a.want)
            << "raw axis " << a.raw << " at " << a.value;
        SDL_JoystickSetVirtualAxis(first, a.raw, a.raw >= 4 ? -32768 : 0);
    }

    // The stand-in's XInput over it, and the motors through SDL2.
    XINPUT_STATE state;
    SDL_JoystickSetVirtualButton(first, 14, SDL_PRESSED);
    ASSERT_EQ(XInputGetState(0, &state), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(state.Gamepad.wButtons, XINPUT_GAMEPAD_A);
    XINPUT_VIBRATION vibration = {1234, 5678};
    ASSERT_EQ(XInputSetState(0, &vibration), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(g_MotorLow[0], 1234);
    EXPECT_EQ(g_MotorHigh[0], 5678);

    // Plugging and unplugging: a pad keeps its slot; a new one takes the lowest free slot.
    SDL_Joystick* second = AttachPad(1);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(host.ReadPad(1, &pad));
    DetachPad(first);
    EXPECT_FALSE(host.ReadPad(0, &pad));
    EXPECT_EQ(XInputGetState(0, &state), DWORD(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_TRUE(host.ReadPad(1, &pad));
    SDL_Joystick* third = AttachPad(2);
    ASSERT_NE(third, nullptr);
    EXPECT_TRUE(host.ReadPad(0, &pad));
    host.SetPadRumble(0, 7, 8);
    EXPECT_EQ(g_MotorLow[2], 7) << "slot 0 is the third pad now";
    EXPECT_EQ(g_MotorLow[1], 0);
    DetachPad(second);
    DetachPad(third);
    EXPECT_FALSE(host.ReadPad(0, &pad));
    EXPECT_FALSE(host.ReadPad(1, &pad));
    std::remove(mappings.c_str());
}

} // namespace
