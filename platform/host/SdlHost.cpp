// The SDL2 host: the stand-in's real machine. One SDL2 window shows the program's frames; an
// exclusive full-screen display mode becomes a desktop-sized full-screen window whose renderer
// scales the mode's frame to fit (nearest neighbour, letterboxed), so the desktop's own mode is
// never changed. SDL2's events become window messages (keys by Windows virtual-key code, focus,
// close), and the keyboard, mouse and first joystick are read as raw state for the DirectInput
// stand-in. Nothing on the per-frame path allocates: the texture and the conversion tables are
// kept until the frame's size or format changes.
#include "host/Host.h"
#include "host/SdlAudio.h"
#include "host/SdlFrame.h"
#include "host/SdlKeymap.h"
#include "host/SdlPads.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tarn::platform {
namespace {

constexpr int WHEEL_DELTA = 120; // Windows' unit for one notch of the wheel

class SdlHost final : public Host {
public:
    const char* Name() const override { return "sdl2"; }
    const MachineConfig& Machine() const override;

    bool OpenWindow(const char* title, int width, int height) override;
    void CloseWindow() override;
    void SetFullScreen(bool on, int width, int height, int bits) override;
    void ShowCursor(bool show) override;
    void Present(const FrameView& frame) override;
    void WaitVerticalBlank() override;

    bool PollEvent(HostEvent* event) override;
    void WaitEvent() override;

    bool HasFocus() const override;
    void ReadKeyboard(uint8_t state[256]) override;
    void ReadMouse(MouseState* mouse) override;
    bool JoystickAttached() const override;
    std::string JoystickName() const override;
    bool ReadJoystick(JoystickState* out) override;
    // Gamepads: SdlPads.cpp.
    bool ReadPad(int slot, PadState* pad) override { return pads.Read(slot, pad); }
    void SetPadRumble(int slot, uint16_t low, uint16_t high) override {
        pads.SetRumble(slot, low, high);
    }

    uint32_t Milliseconds() override;
    void CursorPos(int* x, int* y) override;
    void DebugOutput(const char* text) override;

    // Audio: one SDL audio device, in SdlAudio.cpp.
    bool OpenAudio(int rate, AudioPull pull, void* context) override {
        return SdlOpenAudio(rate, pull, context);
    }
    void CloseAudio() override { SdlCloseAudio(); }
    bool AudioLost() override { return SdlAudioLost(); }

private:
    bool StartVideo() const;
    bool StartJoystick() const;
    SDL_Joystick* Joystick() const;
    bool Translate(const SDL_Event& e, HostEvent* out);
    void FocusChanged(bool focused);
    void Pace();
    uint64_t Period();
    bool Due();
    void Show();
    bool MakeTexture(int width, int height, uint32_t format);
    static int SDLCALL Watch(void* self, SDL_Event* e);

    // Started on first use: Machine() is asked before any window exists.
    mutable int videoState = 0;     // 0 not tried, 1 running, -1 failed
    mutable bool offscreen = false; // SDL2 draws into memory only: no window system
    mutable int joystickState = 0;
    mutable SDL_Joystick* joystick = nullptr;
    mutable MachineConfig machine;
    mutable bool machineKnown = false;

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0, textureHeight = 0;
    uint32_t textureFormat = 0;
    bool rgb565Native = false;
    SdlFrame converter;
    SdlPads pads;
    const char* lastFrameProblem = nullptr;

    bool fullScreen = false;
    int logicalWidth = 0, logicalHeight = 0;
    bool cursorShown = true;

    HostEvent pending;
    bool hasPending = false;
    int wheel = 0; // gathered by the event watch, so no wheel motion is missed between reads

    uint64_t lastBeat = 0; // performance-counter time of the last paced frame
    uint64_t period = 0;   // performance-counter ticks between frames
    bool pacedThisFrame = false;
    bool showPending = false; // the texture holds a picture not shown yet
};

bool SdlHost::StartVideo() const {
    if (videoState != 0) return videoState > 0;
    // Nearest-neighbour scaling; mouse deltas in device units, not divided by the scale; the
    // window stays when it loses the focus; closing the window is our Close, not SDL_QUIT.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    SDL_SetHint(SDL_HINT_MOUSE_RELATIVE_SCALING, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A display server that is just starting, or is very busy, may refuse the first
    // connection: a few tries a moment apart before giving up.
    int video = SDL_InitSubSystem(SDL_INIT_VIDEO);
    for (int attempt = 1; video != 0 && attempt < 5; ++attempt) {
        SDL_Delay(200);
        video = SDL_InitSubSystem(SDL_INIT_VIDEO);
    }
    if (video != 0) {
        std::fprintf(stderr, "tarn: SDL2 cannot start its video: %s\n", SDL_GetError());
        videoState = -1;
        return false;
    }
    videoState = 1;
    const char* driver = SDL_GetCurrentVideoDriver();
    offscreen =
        driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (offscreen) {
        std::fprintf(stderr,
                     "tarn: SDL2 is using its \"%s\" video driver: nothing will be seen (no "
                     "display found; is DISPLAY set?)\n",
                     driver);
    }
    SDL_AddEventWatch(&SdlHost::Watch, const_cast<SdlHost*>(this));
    return true;
}

bool SdlHost::StartJoystick() const {
    if (joystickState != 0) return joystickState > 0;
    // The DirectInput stand-in decides when reads count (foreground only); SDL2 must not drop
    // joystick input on its own while no window of ours has the keyboard focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        joystickState = -1;
        return false;
    }
    // Read by polling; joystick events would only wake the message wait for nothing.
    SDL_JoystickEventState(SDL_IGNORE);
    joystickState = 1;
    return true;
}

// The first joystick, opened when it appears and dropped when it goes.
SDL_Joystick* SdlHost::Joystick() const {
    if (!StartJoystick()) return nullptr;
    SDL_JoystickUpdate();
    if (joystick && !SDL_JoystickGetAttached(joystick)) {
        SDL_JoystickClose(joystick);
        joystick = nullptr;
    }
    if (!joystick && SDL_NumJoysticks() > 0) joystick = SDL_JoystickOpen(0);
    return joystick;
}

const MachineConfig& SdlHost::Machine() const {
    if (machineKnown) return machine;
    machineKnown = true;
    machine.systemFont = true;
    SDL_DisplayMode desktop{};
    if (StartVideo() && SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0) {
        machine.desktopWidth = desktop.w;
        machine.desktopHeight = desktop.h;
        int bits = SDL_BITSPERPIXEL(desktop.format);
        machine.desktopBits = bits == 24 ? 32 : bits; // a 24-bit X visual is 32 bits a pixel
    }
    // Every mode "exists": a mode is shown scaled to the desktop, never set on the display.
    machine.modes.clear();
    const int sizes[][2] = {{320, 200},   {320, 240},   {640, 400},  {640, 480},
                            {800, 600},   {1024, 768},  {1152, 864}, {1280, 720},
                            {1280, 1024}, {1600, 1200}, {1920, 1080}};
    for (const auto& size : sizes) {
        for (int bits : {8, 16, 24, 32}) machine.modes.push_back({size[0], size[1], bits});
    }
    bool desktopListed = false;
    for (const auto& size : sizes)
        desktopListed |= size[0] == machine.desktopWidth && size[1] == machine.desktopHeight;
    if (!desktopListed) {
        for (int bits : {8, 16, 24, 32})
            machine.modes.push_back({machine.desktopWidth, machine.desktopHeight, bits});
    }
    machine.rgb555 = false;
    machine.videoMemoryBytes = 32u << 20;
    return machine;
}

bool SdlHost::OpenWindow(const char* title, int width, int height) {
    if (window) CloseWindow();
    if (!StartVideo()) return false;
    const MachineConfig& desktop = Machine();
    width = std::max(width, 1);
    height = std::max(height, 1);
    // A window the size of the desktop is the program's full-screen popup: borderless over the
    // whole desktop. Anything smaller is an ordinary window.
    bool covers = width >= desktop.desktopWidth && height >= desktop.desktopHeight;
    SDL_Rect bounds{0, 0, desktop.desktopWidth, desktop.desktopHeight};
    SDL_GetDisplayBounds(0, &bounds);
    Uint32 flags = SDL_WINDOW_SHOWN | (covers ? SDL_WINDOW_BORDERLESS : 0);
    int x = covers ? bounds.x : int(SDL_WINDOWPOS_CENTERED);
    int y = covers ? bounds.y : int(SDL_WINDOWPOS_CENTERED);
    window = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
    if (!window) {
        std::fprintf(stderr, "tarn: SDL2 cannot open a window: %s\n", SDL_GetError());
        return false;
    }
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, 0);
    if (!renderer) {
        std::fprintf(stderr, "tarn: SDL2 cannot draw into its window: %s\n", SDL_GetError());
        SDL_DestroyWindow(window);
        window = nullptr;
        return false;
    }
    SDL_RendererInfo info{};
    rgb565Native = false;
    if (SDL_GetRendererInfo(renderer, &info) == 0) {
        for (Uint32 i = 0; i < info.num_texture_formats; ++i)
            rgb565Native |= info.texture_formats[i] == SDL_PIXELFORMAT_RGB565;
    }
    SDL_ShowCursor(cursorShown ? SDL_ENABLE : SDL_DISABLE);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderPresent(renderer);
    // A new top-level window of the program comes to the foreground, as on Windows, where it is
    // active by the time ShowWindow returns: wait a moment for the window system to agree.
    SDL_RaiseWindow(window);
    SDL_SetWindowInputFocus(window);
    if (!offscreen) {
        Uint32 until = SDL_GetTicks() + 1000;
        while (!HasFocus() && !SDL_TICKS_PASSED(SDL_GetTicks(), until)) {
            SDL_PumpEvents();
            SDL_Delay(5);
        }
    }
    return true;
}

void SdlHost::CloseWindow() {
    if (!window) return;
    SDL_SetRelativeMouseMode(SDL_FALSE);
    if (texture) SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
    fullScreen = false;
    logicalWidth = logicalHeight = 0;
    hasPending = false;
    showPending = false;
    period = 0;
}

void SdlHost::SetFullScreen(bool on, int width, int height, int /*bits*/) {
    if (!window) return;
    fullScreen = on;
    if (on) {
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        if (width > 0 && height > 0) {
            SDL_RenderSetLogicalSize(renderer, width, height);
            logicalWidth = width;
            logicalHeight = height;
        }
    } else {
        SDL_SetWindowFullscreen(window, 0);
    }
}

void SdlHost::ShowCursor(bool show) {
    cursorShown = show;
    if (videoState > 0) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

bool SdlHost::MakeTexture(int width, int height, uint32_t format) {
    if (texture && width == textureWidth && height == textureHeight && format == textureFormat)
        return true;
    if (texture) SDL_DestroyTexture(texture);
    texture = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture) {
        std::fprintf(stderr, "tarn: SDL2 cannot make a %dx%d texture: %s\n", width, height,
                     SDL_GetError());
        return false;
    }
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
    textureWidth = width;
    textureHeight = height;
    textureFormat = format;
    return true;
}

void SdlHost::Present(const FrameView& frame) {
    if (!renderer) return;
    const char* problem = nullptr;
    if (!converter.Prepare(frame, rgb565Native, &problem)) {
        if (problem != lastFrameProblem)
            std::fprintf(stderr, "tarn: frame not shown: %s\n", problem);
        lastFrameProblem = problem;
        return;
    }
    lastFrameProblem = nullptr;
    if (!MakeTexture(frame.width, frame.height, converter.TextureFormat())) return;
    if (converter.Direct()) {
        SDL_UpdateTexture(texture, nullptr, frame.pixels, frame.pitch);
    } else {
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0) return;
        converter.Convert(frame, pixels, pitch);
        SDL_UnlockTexture(texture);
    }
    // A windowed frame is scaled to the window as the full-screen mode is.
    if (!fullScreen && (frame.width != logicalWidth || frame.height != logicalHeight)) {
        SDL_RenderSetLogicalSize(renderer, frame.width, frame.height);
        logicalWidth = frame.width;
        logicalHeight = frame.height;
    }
    // A flip was paced by its vertical-blank wait and is shown at once. Anything else drawn
    // onto a primary without a chain is shown at most once a refresh; the latest such picture
    // waits in the texture for the next PollEvent or WaitEvent.
    if (pacedThisFrame) {
        pacedThisFrame = false;
        Show();
    } else if (Due()) {
        lastBeat = SDL_GetPerformanceCounter();
        Show();
    } else {
        showPending = true;
    }
}

void SdlHost::Show() {
    showPending = false;
    if (!renderer || !texture) return;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

// One millisecond short of the display's refresh period, so pacing never makes a vsync'd
// present miss its blank.
uint64_t SdlHost::Period() {
    if (period == 0) {
        uint64_t freq = SDL_GetPerformanceFrequency();
        int refresh = 60;
        SDL_DisplayMode mode{};
        if (window && SDL_GetWindowDisplayMode(window, &mode) == 0 && mode.refresh_rate > 0)
            refresh = mode.refresh_rate;
        period = freq / uint64_t(refresh) - freq / 1000;
    }
    return period;
}

bool SdlHost::Due() {
    return lastBeat == 0 || SDL_GetPerformanceCounter() >= lastBeat + Period();
}

// Keeps frames at most one display refresh apart. With working vsync the present itself waits
// for the vertical blank and this adds nothing; without it (Xvfb, some drivers) it keeps the
// frame loop from running flat out.
void SdlHost::Pace() {
    uint64_t now = SDL_GetPerformanceCounter();
    if (lastBeat != 0 && now < lastBeat + Period()) {
        uint64_t waitMs = (lastBeat + Period() - now) * 1000 / SDL_GetPerformanceFrequency();
        if (waitMs > 0) SDL_Delay(Uint32(waitMs));
        now = SDL_GetPerformanceCounter();
    }
    lastBeat = now;
}

void SdlHost::WaitVerticalBlank() {
    Pace();
    pacedThisFrame = true;
}

void SdlHost::FocusChanged(bool focused) {
    // Relative mode only while ours: it hides and confines the pointer.
    SDL_SetRelativeMouseMode(focused ? SDL_TRUE : SDL_FALSE);
    if (!focused) SDL_ShowCursor(cursorShown ? SDL_ENABLE : SDL_DISABLE);
}

bool SdlHost::Translate(const SDL_Event& e, HostEvent* out) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        uint32_t vk = VirtualKeyFor(e.key.keysym);
        if (vk == 0) return false;
        out->type = e.type == SDL_KEYDOWN ? HostEvent::KeyDown : HostEvent::KeyUp;
        out->vk = vk;
        return true;
    }
    case SDL_WINDOWEVENT:
        if (!window || e.window.windowID != SDL_GetWindowID(window)) return false;
        switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            FocusChanged(true);
            out->type = HostEvent::FocusGained;
            return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            FocusChanged(false);
            out->type = HostEvent::FocusLost;
            return true;
        case SDL_WINDOWEVENT_CLOSE:
            out->type = HostEvent::Close;
            return true;
        default:
            return false;
        }
    case SDL_QUIT: // Ctrl+C or a termination signal: close as the window manager would
        out->type = HostEvent::Close;
        return true;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
        // The texture's contents are gone; the next Present makes a new one.
        if (texture) SDL_DestroyTexture(texture);
        texture = nullptr;
        return false;
    default:
        return false;
    }
}

int SDLCALL SdlHost::Watch(void* self, SDL_Event* e) {
    if (e->type == SDL_MOUSEWHEEL) {
        int notches = e->wheel.y;
        if (e->wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
        static_cast<SdlHost*>(self)->wheel += notches * WHEEL_DELTA;
    }
    return 0;
}

bool SdlHost::PollEvent(HostEvent* event) {
    if (hasPending) {
        *event = pending;
        hasPending = false;
        return true;
    }
    if (videoState <= 0) return false;
    if (showPending && Due()) {
        lastBeat = SDL_GetPerformanceCounter();
        Show();
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (Translate(e, event)) return true;
    }
    return false;
}

// Sleeps in SDL_WaitEvent until something the program must hear about arrives; that event is
// kept for the next PollEvent.
void SdlHost::WaitEvent() {
    if (hasPending || !StartVideo()) return;
    if (showPending) Show();
    SDL_Event e;
    while (SDL_WaitEvent(&e)) {
        if (Translate(e, &pending)) {
            hasPending = true;
            return;
        }
    }
    SDL_Delay(10); // SDL_WaitEvent failed: return rather than spin
}

bool SdlHost::HasFocus() const {
    return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SdlHost::ReadKeyboard(uint8_t state[256]) {
    if (videoState <= 0) {
        std::memset(state, 0, 256);
        return;
    }
    SDL_PumpEvents();
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    KeyboardStateToDik(keys, count, state);
}

void SdlHost::ReadMouse(MouseState* mouse) {
    *mouse = MouseState{};
    if (videoState <= 0) return;
    SDL_PumpEvents();
    Uint32 buttons = SDL_GetRelativeMouseState(&mouse->dx, &mouse->dy);
    mouse->buttons[0] = buttons & SDL_BUTTON_LMASK;
    mouse->buttons[1] = buttons & SDL_BUTTON_RMASK;
    mouse->buttons[2] = buttons & SDL_BUTTON_MMASK;
    mouse->buttons[3] = buttons & SDL_BUTTON_X1MASK;
    mouse->wheel = wheel;
    wheel = 0;
}

bool SdlHost::JoystickAttached() const {
    return Joystick() != nullptr;
}

std::string SdlHost::JoystickName() const {
    SDL_Joystick* device = Joystick();
    const char* name = device ? SDL_JoystickName(device) : nullptr;
    return name ? name : "";
}

bool SdlHost::ReadJoystick(JoystickState* out) {
    *out = JoystickState{};
    SDL_Joystick* device = Joystick();
    if (!device) return false;
    int axes = SDL_JoystickNumAxes(device);
    if (axes > 0) out->x = SDL_JoystickGetAxis(device, 0);
    if (axes > 1) out->y = SDL_JoystickGetAxis(device, 1);
    int buttons = std::min(SDL_JoystickNumButtons(device), int(std::size(out->buttons)));
    for (int i = 0; i < buttons; ++i) out->buttons[i] = SDL_JoystickGetButton(device, i);
    return true;
}

uint32_t SdlHost::Milliseconds() {
    return SDL_GetTicks();
}

// Full screen, the program sees the display mode's coordinates, as in an exclusive mode;
// otherwise desktop coordinates.
void SdlHost::CursorPos(int* x, int* y) {
    int cx = 0, cy = 0;
    if (videoState > 0) {
        if (fullScreen && renderer && logicalWidth > 0) {
            SDL_GetMouseState(&cx, &cy);
            float lx = 0, ly = 0;
            SDL_RenderWindowToLogical(renderer, cx, cy, &lx, &ly);
            cx = std::clamp(int(lx), 0, logicalWidth - 1);
            cy = std::clamp(int(ly), 0, logicalHeight - 1);
        } else {
            SDL_GetGlobalMouseState(&cx, &cy);
        }
    }
    if (x) *x = cx;
    if (y) *y = cy;
}

void SdlHost::DebugOutput(const char* text) {
    if (!text) return;
    std::fputs(text, stderr);
    std::fflush(stderr);
}

} // namespace

// The one SDL2 host of the process. It is never destroyed: objects with static storage (the
// program's input object) may still talk to it while the process ends, and the window system
// takes the window and any pointer grab back when the process goes.
Host* CreateSdlHost() {
    static SdlHost* host = new SdlHost;
    return host;
}

} // namespace tarn::platform
