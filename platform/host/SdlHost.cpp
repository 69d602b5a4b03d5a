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

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tarn::platform {
namespace {

constexpr int kWheelDelta = 120; // Windows' unit for one notch of the wheel

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
    bool ReadJoystick(JoystickState* joystick) override;

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
    mutable int videoState_ = 0;     // 0 not tried, 1 running, -1 failed
    mutable bool offscreen_ = false; // SDL2 draws into memory only: no window system
    mutable int joystickState_ = 0;
    mutable SDL_Joystick* joystick_ = nullptr;
    mutable MachineConfig machine_;
    mutable bool machineKnown_ = false;

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int textureWidth_ = 0, textureHeight_ = 0;
    uint32_t textureFormat_ = 0;
    bool rgb565Native_ = false;
    FrameConverter converter_;
    const char* lastFrameProblem_ = nullptr;

    bool fullScreen_ = false;
    int logicalWidth_ = 0, logicalHeight_ = 0;
    bool cursorShown_ = true;

    HostEvent pending_;
    bool hasPending_ = false;
    int wheel_ = 0; // gathered by the event watch, so no wheel motion is missed between reads

    uint64_t lastBeat_ = 0; // performance-counter time of the last paced frame
    uint64_t period_ = 0;   // performance-counter ticks between frames
    bool pacedThisFrame_ = false;
    bool showPending_ = false; // the texture holds a picture not shown yet
};

bool SdlHost::StartVideo() const {
    if (videoState_ != 0) return videoState_ > 0;
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
        videoState_ = -1;
        return false;
    }
    videoState_ = 1;
    const char* driver = SDL_GetCurrentVideoDriver();
    offscreen_ =
        driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (offscreen_) {
        std::fprintf(stderr,
                     "tarn: SDL2 is using its \"%s\" video driver: nothing will be seen (no "
                     "display found; is DISPLAY set?)\n",
                     driver);
    }
    SDL_AddEventWatch(&SdlHost::Watch, const_cast<SdlHost*>(this));
    return true;
}

bool SdlHost::StartJoystick() const {
    if (joystickState_ != 0) return joystickState_ > 0;
    // The DirectInput stand-in decides when reads count (foreground only); SDL2 must not drop
    // joystick input on its own while no window of ours has the keyboard focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        joystickState_ = -1;
        return false;
    }
    // Read by polling; joystick events would only wake the message wait for nothing.
    SDL_JoystickEventState(SDL_IGNORE);
    joystickState_ = 1;
    return true;
}

// The first joystick, opened when it appears and dropped when it goes.
SDL_Joystick* SdlHost::Joystick() const {
    if (!StartJoystick()) return nullptr;
    SDL_JoystickUpdate();
    if (joystick_ && !SDL_JoystickGetAttached(joystick_)) {
        SDL_JoystickClose(joystick_);
        joystick_ = nullptr;
    }
    if (!joystick_ && SDL_NumJoysticks() > 0) joystick_ = SDL_JoystickOpen(0);
    return joystick_;
}

const MachineConfig& SdlHost::Machine() const {
    if (machineKnown_) return machine_;
    machineKnown_ = true;
    machine_.systemFont = true;
    SDL_DisplayMode desktop{};
    if (StartVideo() && SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0) {
        machine_.desktopWidth = desktop.w;
        machine_.desktopHeight = desktop.h;
        int bits = SDL_BITSPERPIXEL(desktop.format);
        machine_.desktopBits = bits == 24 ? 32 : bits; // a 24-bit X visual is 32 bits a pixel
    }
    // Every mode "exists": a mode is shown scaled to the desktop, never set on the display.
    machine_.modes.clear();
    const int sizes[][2] = {{320, 200},   {320, 240},   {640, 400},  {640, 480},
                            {800, 600},   {1024, 768},  {1152, 864}, {1280, 720},
                            {1280, 1024}, {1600, 1200}, {1920, 1080}};
    for (const auto& size : sizes) {
        for (int bits : {8, 16, 24, 32}) machine_.modes.push_back({size[0], size[1], bits});
    }
    bool desktopListed = false;
    for (const auto& size : sizes)
        desktopListed |= size[0] == machine_.desktopWidth && size[1] == machine_.desktopHeight;
    if (!desktopListed) {
        for (int bits : {8, 16, 24, 32})
            machine_.modes.push_back({machine_.desktopWidth, machine_.desktopHeight, bits});
    }
    machine_.rgb555 = false;
    machine_.videoMemoryBytes = 32u << 20;
    return machine_;
}

bool SdlHost::OpenWindow(const char* title, int width, int height) {
    if (window_) CloseWindow();
    if (!StartVideo()) return false;
    const MachineConfig& machine = Machine();
    width = std::max(width, 1);
    height = std::max(height, 1);
    // A window the size of the desktop is the program's full-screen popup: borderless over the
    // whole desktop. Anything smaller is an ordinary window.
    bool covers = width >= machine.desktopWidth && height >= machine.desktopHeight;
    SDL_Rect bounds{0, 0, machine.desktopWidth, machine.desktopHeight};
    SDL_GetDisplayBounds(0, &bounds);
    Uint32 flags = SDL_WINDOW_SHOWN | (covers ? SDL_WINDOW_BORDERLESS : 0);
    int x = covers ? bounds.x : int(SDL_WINDOWPOS_CENTERED);
    int y = covers ? bounds.y : int(SDL_WINDOWPOS_CENTERED);
    window_ = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
    if (!window_) {
        std::fprintf(stderr, "tarn: SDL2 cannot open a window: %s\n", SDL_GetError());
        return false;
    }
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) {
        std::fprintf(stderr, "tarn: SDL2 cannot draw into its window: %s\n", SDL_GetError());
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        return false;
    }
    SDL_RendererInfo info{};
    rgb565Native_ = false;
    if (SDL_GetRendererInfo(renderer_, &info) == 0) {
        for (Uint32 i = 0; i < info.num_texture_formats; ++i)
            rgb565Native_ |= info.texture_formats[i] == SDL_PIXELFORMAT_RGB565;
    }
    SDL_ShowCursor(cursorShown_ ? SDL_ENABLE : SDL_DISABLE);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
    // A new top-level window of the program comes to the foreground, as on Windows, where it is
    // active by the time ShowWindow returns: wait a moment for the window system to agree.
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
    if (!offscreen_) {
        Uint32 until = SDL_GetTicks() + 1000;
        while (!HasFocus() && !SDL_TICKS_PASSED(SDL_GetTicks(), until)) {
            SDL_PumpEvents();
            SDL_Delay(5);
        }
    }
    return true;
}

void SdlHost::CloseWindow() {
    if (!window_) return;
    SDL_SetRelativeMouseMode(SDL_FALSE);
    if (texture_) SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    fullScreen_ = false;
    logicalWidth_ = logicalHeight_ = 0;
    hasPending_ = false;
    showPending_ = false;
    period_ = 0;
}

void SdlHost::SetFullScreen(bool on, int width, int height, int /*bits*/) {
    if (!window_) return;
    fullScreen_ = on;
    if (on) {
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
        if (width > 0 && height > 0) {
            SDL_RenderSetLogicalSize(renderer_, width, height);
            logicalWidth_ = width;
            logicalHeight_ = height;
        }
    } else {
        SDL_SetWindowFullscreen(window_, 0);
    }
}

void SdlHost::ShowCursor(bool show) {
    cursorShown_ = show;
    if (videoState_ > 0) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

bool SdlHost::MakeTexture(int width, int height, uint32_t format) {
    if (texture_ && width == textureWidth_ && height == textureHeight_ && format == textureFormat_)
        return true;
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, format, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture_) {
        std::fprintf(stderr, "tarn: SDL2 cannot make a %dx%d texture: %s\n", width, height,
                     SDL_GetError());
        return false;
    }
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    textureWidth_ = width;
    textureHeight_ = height;
    textureFormat_ = format;
    return true;
}

void SdlHost::Present(const FrameView& frame) {
    if (!renderer_) return;
    const char* problem = nullptr;
    if (!converter_.Prepare(frame, rgb565Native_, &problem)) {
        if (problem != lastFrameProblem_)
            std::fprintf(stderr, "tarn: frame not shown: %s\n", problem);
        lastFrameProblem_ = problem;
        return;
    }
    lastFrameProblem_ = nullptr;
    if (!MakeTexture(frame.width, frame.height, converter_.TextureFormat())) return;
    if (converter_.Direct()) {
        SDL_UpdateTexture(texture_, nullptr, frame.pixels, frame.pitch);
    } else {
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return;
        converter_.Convert(frame, pixels, pitch);
        SDL_UnlockTexture(texture_);
    }
    // A windowed frame is scaled to the window as the full-screen mode is.
    if (!fullScreen_ && (frame.width != logicalWidth_ || frame.height != logicalHeight_)) {
        SDL_RenderSetLogicalSize(renderer_, frame.width, frame.height);
        logicalWidth_ = frame.width;
        logicalHeight_ = frame.height;
    }
    // A flip was paced by its vertical-blank wait and is shown at once. Anything else drawn
    // onto a primary without a chain is shown at most once a refresh; the latest such picture
    // waits in the texture for the next PollEvent or WaitEvent.
    if (pacedThisFrame_) {
        pacedThisFrame_ = false;
        Show();
    } else if (Due()) {
        lastBeat_ = SDL_GetPerformanceCounter();
        Show();
    } else {
        showPending_ = true;
    }
}

void SdlHost::Show() {
    showPending_ = false;
    if (!renderer_ || !texture_) return;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
}

// One millisecond short of the display's refresh period, so pacing never makes a vsync'd
// present miss its blank.
uint64_t SdlHost::Period() {
    if (period_ == 0) {
        uint64_t freq = SDL_GetPerformanceFrequency();
        int refresh = 60;
        SDL_DisplayMode mode{};
        if (window_ && SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0)
            refresh = mode.refresh_rate;
        period_ = freq / uint64_t(refresh) - freq / 1000;
    }
    return period_;
}

bool SdlHost::Due() {
    return lastBeat_ == 0 || SDL_GetPerformanceCounter() >= lastBeat_ + Period();
}

// Keeps frames at most one display refresh apart. With working vsync the present itself waits
// for the vertical blank and this adds nothing; without it (Xvfb, some drivers) it keeps the
// frame loop from running flat out.
void SdlHost::Pace() {
    uint64_t now = SDL_GetPerformanceCounter();
    if (lastBeat_ != 0 && now < lastBeat_ + Period()) {
        uint64_t waitMs = (lastBeat_ + Period() - now) * 1000 / SDL_GetPerformanceFrequency();
        if (waitMs > 0) SDL_Delay(Uint32(waitMs));
        now = SDL_GetPerformanceCounter();
    }
    lastBeat_ = now;
}

void SdlHost::WaitVerticalBlank() {
    Pace();
    pacedThisFrame_ = true;
}

void SdlHost::FocusChanged(bool focused) {
    // Relative mode only while ours: it hides and confines the pointer.
    SDL_SetRelativeMouseMode(focused ? SDL_TRUE : SDL_FALSE);
    if (!focused) SDL_ShowCursor(cursorShown_ ? SDL_ENABLE : SDL_DISABLE);
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
        if (!window_ || e.window.windowID != SDL_GetWindowID(window_)) return false;
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
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = nullptr;
        return false;
    default:
        return false;
    }
}

int SDLCALL SdlHost::Watch(void* self, SDL_Event* e) {
    if (e->type == SDL_MOUSEWHEEL) {
        int notches = e->wheel.y;
        if (e->wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
        static_cast<SdlHost*>(self)->wheel_ += notches * kWheelDelta;
    }
    return 0;
}

bool SdlHost::PollEvent(HostEvent* event) {
    if (hasPending_) {
        *event = pending_;
        hasPending_ = false;
        return true;
    }
    if (videoState_ <= 0) return false;
    if (showPending_ && Due()) {
        lastBeat_ = SDL_GetPerformanceCounter();
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
    if (hasPending_ || !StartVideo()) return;
    if (showPending_) Show();
    SDL_Event e;
    while (SDL_WaitEvent(&e)) {
        if (Translate(e, &pending_)) {
            hasPending_ = true;
            return;
        }
    }
    SDL_Delay(10); // SDL_WaitEvent failed: return rather than spin
}

bool SdlHost::HasFocus() const {
    return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SdlHost::ReadKeyboard(uint8_t state[256]) {
    if (videoState_ <= 0) {
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
    if (videoState_ <= 0) return;
    SDL_PumpEvents();
    Uint32 buttons = SDL_GetRelativeMouseState(&mouse->dx, &mouse->dy);
    mouse->buttons[0] = buttons & SDL_BUTTON_LMASK;
    mouse->buttons[1] = buttons & SDL_BUTTON_RMASK;
    mouse->buttons[2] = buttons & SDL_BUTTON_MMASK;
    mouse->buttons[3] = buttons & SDL_BUTTON_X1MASK;
    mouse->wheel = wheel_;
    wheel_ = 0;
}

bool SdlHost::JoystickAttached() const {
    return Joystick() != nullptr;
}

std::string SdlHost::JoystickName() const {
    SDL_Joystick* joystick = Joystick();
    const char* name = joystick ? SDL_JoystickName(joystick) : nullptr;
    return name ? name : "";
}

bool SdlHost::ReadJoystick(JoystickState* joystick) {
    *joystick = JoystickState{};
    SDL_Joystick* device = Joystick();
    if (!device) return false;
    int axes = SDL_JoystickNumAxes(device);
    if (axes > 0) joystick->x = SDL_JoystickGetAxis(device, 0);
    if (axes > 1) joystick->y = SDL_JoystickGetAxis(device, 1);
    int buttons = std::min(SDL_JoystickNumButtons(device), int(std::size(joystick->buttons)));
    for (int i = 0; i < buttons; ++i) joystick->buttons[i] = SDL_JoystickGetButton(device, i);
    return true;
}

uint32_t SdlHost::Milliseconds() {
    return SDL_GetTicks();
}

// Full screen, the program sees the display mode's coordinates, as in an exclusive mode;
// otherwise desktop coordinates.
void SdlHost::CursorPos(int* x, int* y) {
    int cx = 0, cy = 0;
    if (videoState_ > 0) {
        if (fullScreen_ && renderer_ && logicalWidth_ > 0) {
            SDL_GetMouseState(&cx, &cy);
            float lx = 0, ly = 0;
            SDL_RenderWindowToLogical(renderer_, cx, cy, &lx, &ly);
            cx = std::clamp(int(lx), 0, logicalWidth_ - 1);
            cy = std::clamp(int(ly), 0, logicalHeight_ - 1);
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
