// The Host: everything of the stand-in that touches the machine, behind one narrow interface.
// The Windows-shaped facade (kernel, user, gdi, ddraw, dinput, dsound, xinput, ole, wincodec) is
// written once over it; a backend (the headless host for tests, the SDL2 host for a real window,
// the web host in a browser) only reports raw state and shows frames, through the one frame
// converter (FrameConvert.h). Backends are registered in one table and chosen at run time
// (TARN_HOST, or the SDL2 host by default, the web host in a browser build); the headless one
// only when asked for by name. A host may stand in front of another and pass it through with
// something added: the script player (ScriptedHost.h) does so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::platform {

struct DisplayMode {
    int width = 0;
    int height = 0;
    int bits = 0;
};

// One DirectDraw driver as DirectDrawEnumerateExA reports it.
struct DriverDesc {
    bool primary = true;   // reported without a GUID
    uint8_t guid[16] = {}; // used when not primary
    std::string name;
    std::string description;
    bool createFails = false; // DirectDrawCreate with this driver's GUID fails
};

// What the machine offers. The headless host lets a test set every field; the SDL2 host fills it
// from the real machine.
struct MachineConfig {
    int desktopWidth = 1024; // GetSystemMetrics(SM_CXSCREEN)
    int desktopHeight = 768; // GetSystemMetrics(SM_CYSCREEN)
    int desktopBits = 32;    // the desktop's own display mode
    std::vector<DisplayMode> modes = {
        {320, 200, 8},  {320, 240, 8},  {640, 480, 8},  {640, 480, 16},  {640, 480, 24},
        {640, 480, 32}, {800, 600, 16}, {800, 600, 32}, {1024, 768, 16}, {1024, 768, 32}};
    bool rgb555 = false;                  // 16-bit modes are 5-5-5 instead of 5-6-5
    uint32_t videoMemoryBytes = 8u << 20; // budget for video-memory surfaces
    int pitchPadding = 0;                 // extra bytes at the end of every surface row
    int maxBackBuffers = 2;               // longest flipping chain the hardware gives
    std::vector<DriverDesc> drivers = {{true, {}, "display", "Primary Display Driver", false}};
    int logPixelsX = 96; // GetDeviceCaps(LOGPIXELSX)
    int logPixelsY = 96;
    // Text in the machine's own sans-serif font (fontconfig's choice); false: always the fixed
    // DejaVu Sans, so that frames with text are the same on every machine (the headless host).
    bool systemFont = false;
};

// A frame to show: the primary surface's memory in the display mode's pixel format.
struct FrameView {
    const void* pixels = nullptr;
    int pitch = 0; // bytes from one row to the next
    int width = 0;
    int height = 0;
    int bits = 0;                                      // 8, 16, 24 or 32
    uint32_t redMask = 0, greenMask = 0, blueMask = 0; // for 16, 24 and 32 bits
    const uint32_t* palette = nullptr;                 // 256 entries 0x00RRGGBB, for 8 bits
};

// What happens to the window, in the order it happened.
struct HostEvent {
    enum Type {
        KeyDown,     // vk: the Windows virtual-key code
        KeyUp,       // vk
        FocusGained, // the program became the foreground application
        FocusLost,   // another application took the foreground: the display is taken away
        Close,       // the user or the window manager asks the window to close
        DisplayLost, // the display was taken away without a focus change (another program
                     // changed the display mode): surfaces are lost, focus stays
    };
    Type type = KeyDown;
    uint32_t vk = 0;
};

struct MouseState {
    int dx = 0, dy = 0; // relative motion since the last read, in mouse units
    int wheel = 0; // wheel motion since the last read, 120 per notch, positive away from the user
    bool buttons[4] = {};
};

// Audio output: the stand-in's mixer fills `frames` interleaved 16-bit stereo frames (left,
// right) whenever the device wants more; on the SDL2 host from the audio device's own thread.
typedef void (*AudioPull)(void* context, int16_t* out, int frames);

struct JoystickState {
    int x = 0, y = 0; // -32768 .. 32767, centre 0
    bool buttons[32] = {};
};

// Gamepads of the common layout (two sticks, two triggers, face buttons, shoulders, d-pad) in
// XInput's four slots, as XInput reports one.
constexpr int kPadSlots = 4;
struct PadState {
    uint16_t buttons = 0;                      // XINPUT_GAMEPAD_* bits
    uint8_t leftTrigger = 0, rightTrigger = 0; // 0 .. 255
    int16_t leftX = 0, leftY = 0;              // -32768 .. 32767, y grows upwards
    int16_t rightX = 0, rightY = 0;            // ...
    bool operator==(const PadState&) const = default;
};

class Host {
public:
    virtual ~Host() = default;
    virtual const char* Name() const = 0;
    virtual const MachineConfig& Machine() const = 0;

    // The program's one top-level window. Full screen means the display mode given is shown
    // filling the screen (scaled, letterboxed on a real desktop).
    virtual bool OpenWindow(const char* title, int width, int height) = 0;
    virtual void CloseWindow() = 0;
    virtual void SetFullScreen(bool on, int width, int height, int bits) = 0;
    virtual void ShowCursor(bool show) = 0;
    virtual void Present(const FrameView& frame) = 0;
    virtual void WaitVerticalBlank() = 0;

    // Events: PollEvent never blocks; WaitEvent returns once PollEvent has something.
    virtual bool PollEvent(HostEvent* event) = 0;
    virtual void WaitEvent() = 0;

    // Raw input state. Reading the mouse consumes its motion and wheel.
    virtual bool HasFocus() const = 0;
    virtual void ReadKeyboard(uint8_t state[256]) = 0; // by DirectInput scan code, 0x80 = down
    virtual void ReadMouse(MouseState* mouse) = 0;
    virtual bool JoystickAttached() const = 0;
    virtual std::string JoystickName() const = 0;
    virtual bool ReadJoystick(JoystickState* joystick) = 0;

    // Gamepads, slots 0 .. kPadSlots - 1. A pad keeps its slot while it stays plugged in; a new
    // one takes the lowest free slot. ReadPad is false (and *pad neutral) for an empty slot;
    // SetPadRumble drives the two motors (0 .. 65535) until told otherwise and does nothing
    // without a pad. A backend without gamepads keeps these defaults.
    virtual bool ReadPad(int slot, PadState* pad) {
        (void)slot;
        if (pad) *pad = PadState{};
        return false;
    }
    virtual void SetPadRumble(int slot, uint16_t low, uint16_t high) {
        (void)slot, (void)low, (void)high;
    }

    virtual uint32_t Milliseconds() = 0; // runs up and wraps at 2^32
    virtual void CursorPos(int* x, int* y) = 0;
    virtual void DebugOutput(const char* text) = 0;

    // Audio output (a host without sound keeps these defaults: no device). OpenAudio starts a
    // 16-bit stereo device at `rate` frames a second that pulls from `pull`; false when the
    // machine has no device or refuses it.
    virtual bool OpenAudio(int rate, AudioPull pull, void* context) {
        (void)rate, (void)pull, (void)context;
        return false;
    }
    virtual void CloseAudio() {}
    // True once the open device went away (unplugged, taken by another program).
    virtual bool AudioLost() { return false; }
    // The headless host plays now what its clock has moved past since the last call; a real
    // device plays on its own and ignores this.
    virtual void CatchUpAudio() {}
};

// The current host, chosen on first use from TARN_HOST ("headless" or "sdl2", default "sdl2";
// in a browser build "headless" or "web", default "web").
Host& CurrentHost();
// Chooses a registered host by name before or instead of the first use; false when unknown.
bool SelectHost(const char* name);
// Makes `host` the current host: a host that stands in front of the current one (the script
// player) puts itself there. The caller keeps it alive while it is current.
void InstallHost(Host* host);

} // namespace tarn::platform
