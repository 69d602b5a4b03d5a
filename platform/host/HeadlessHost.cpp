// The headless host: a deterministic machine in memory, for tests and scripted runs. The clock
// moves only when the test (or a presented frame) moves it, events and input come from its
// controls (set by a test or by the script player in front of it), and what the program shows
// is kept as the last frame.
#include "host/HeadlessAudio.h"
#include "host/HeadlessHost.h"
#include "internal/MachineEvents.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace tarn::platform {

namespace {

class HeadlessMachine final : public HeadlessHost {
public:
    HeadlessMachine() { ResetState(); }

    const char* Name() const override { return "headless"; }
    const MachineConfig& Machine() const override { return config; }

    bool OpenWindow(const char*, int, int) override {
        windowOpen = true;
        return true;
    }
    void CloseWindow() override {
        windowOpen = false;
        fullScreen = false;
    }
    void SetFullScreen(bool on, int, int, int) override { fullScreen = on; }
    void ShowCursor(bool show) override { cursorShown = show; }
    void Present(const FrameView& frame) override;
    void WaitVerticalBlank() override { ++verticalBlankWaits; }

    bool PollEvent(HostEvent* event) override;
    void WaitEvent() override;

    bool HasFocus() const override { return focus; }
    void ReadKeyboard(uint8_t state[256]) override {
        if (state) std::memcpy(state, keys, sizeof keys);
    }
    void ReadMouse(MouseState* out) override {
        if (out) *out = mouse;
        mouse.dx = mouse.dy = mouse.wheel = 0;
    }
    bool JoystickAttached() const override { return joystickAttached; }
    std::string JoystickName() const override { return joystickAttached ? joystickName : ""; }
    bool ReadJoystick(JoystickState* out) override {
        if (!joystickAttached) return false;
        if (out) *out = joystick;
        return true;
    }

    bool ReadPad(int slot, PadState* out) override {
        bool present = ValidSlot(slot) && pads[slot].connected;
        if (out) *out = present ? pads[slot].state : PadState{};
        return present;
    }
    void SetPadRumble(int slot, uint16_t low, uint16_t high) override {
        if (!ValidSlot(slot) || !pads[slot].connected) return;
        pads[slot].rumbleLow = low;
        pads[slot].rumbleHigh = high;
    }

    uint32_t Milliseconds() override { return clock; }
    void CursorPos(int* x, int* y) override {
        if (x) *x = cursorX;
        if (y) *y = cursorY;
    }
    void DebugOutput(const char* text) override {
        if (text) debugText += text;
    }

    // Audio: the headless sound card of HeadlessAudio.cpp, played as the clock moves.
    bool OpenAudio(int rate, AudioPull pull, void* context) override {
        return HeadlessAudioDevice().Open(rate, pull, context, clock);
    }
    void CloseAudio() override { HeadlessAudioDevice().Close(); }
    bool AudioLost() override { return HeadlessAudioDevice().Lost(); }
    void CatchUpAudio() override { HeadlessAudioDevice().CatchUp(clock); }
    void SetAudioDevicePresent(bool present) override {
        HeadlessAudioDevice().SetDevicePresent(present);
    }
    void LoseAudioDevice() override { HeadlessAudioDevice().LoseDevice(); }
    std::vector<int16_t> PlayAudio(int frames) override {
        const size_t before = AudioRecording().size();
        HeadlessAudioDevice().Play(frames);
        const auto& all = AudioRecording();
        return std::vector<int16_t>(all.begin() + std::ptrdiff_t(before), all.end());
    }
    const std::vector<int16_t>& AudioRecording() override {
        return HeadlessAudioDevice().Recording();
    }
    void ClearAudioRecording() override { HeadlessAudioDevice().ClearRecording(); }
    int AudioRate() const override { return HeadlessAudioDevice().Rate(); }

    // The test instrument.
    void Reset() override;
    MachineConfig& Config() override { return config; }
    void SetTime(uint32_t ms) override {
        HeadlessAudioDevice().CatchUp(clock);
        clock = ms;
        HeadlessAudioDevice().Resync(clock);
    }
    void AdvanceTime(uint32_t ms) override { clock += ms; }
    void SetFrameTime(uint32_t ms) override { frameTime = ms; }
    void PushEvent(const HostEvent& event) override { events.push_back(event); }
    void SetFocus(bool on) override {
        focus = on;
        HostEvent e;
        e.type = on ? HostEvent::FocusGained : HostEvent::FocusLost;
        events.push_back(e);
    }
    void ScheduleAfterFrames(int frames, const HostEvent& event) override {
        if (frames <= 0) {
            events.push_back(event);
            return;
        }
        scheduled.push_back({frames, event});
    }
    void SetKey(int dik, bool down) override {
        if (dik >= 0 && dik < 256) keys[dik] = down ? 0x80 : 0;
    }
    void MoveMouse(int dx, int dy) override;
    void TurnWheel(int delta) override { mouse.wheel += delta; }
    void SetMouseButton(int button, bool down) override {
        if (button >= 0 && button < 4) mouse.buttons[button] = down;
    }
    void AttachJoystick(bool attached, const std::string& name) override {
        joystickAttached = attached;
        joystickName = name;
        joystick = JoystickState{};
    }
    void PlugJoystick() override {
        if (!joystickAttached) AttachJoystick(true, "Headless Joystick");
    }
    void SetJoystick(int x, int y) override {
        joystick.x = x < -32768 ? -32768 : (x > 32767 ? 32767 : x);
        joystick.y = y < -32768 ? -32768 : (y > 32767 ? 32767 : y);
    }
    void SetJoystickButton(int button, bool down) override {
        if (button >= 0 && button < 32) joystick.buttons[button] = down;
    }
    void SetCursorPos(int x, int y) override {
        cursorX = x;
        cursorY = y;
    }
    void ConnectPad(int slot, bool connected) override {
        if (ValidSlot(slot)) pads[slot] = Pad{connected, {}, 0, 0};
    }
    void SetPad(int slot, const PadState& state) override {
        if (Plugged(slot)) pads[slot].state = state;
    }
    void SetPadButton(int slot, uint16_t button, bool down) override;
    void SetPadStick(int slot, int stick, int x, int y) override;
    void SetPadTrigger(int slot, int trigger, int value) override;
    void PadRumble(int slot, uint16_t* low, uint16_t* high) const override {
        bool present = ValidSlot(slot) && pads[slot].connected;
        if (low) *low = present ? pads[slot].rumbleLow : 0;
        if (high) *high = present ? pads[slot].rumbleHigh : 0;
    }

    int FramesPresented() const override { return frames; }
    bool WindowOpen() const override { return windowOpen; }
    bool FullScreen() const override { return fullScreen; }
    bool CursorShown() const override { return cursorShown; }
    int VerticalBlankWaits() const override { return verticalBlankWaits; }
    const std::vector<uint32_t>& LastFrame(int* width, int* height) const override {
        return lastFrame.Pixels(width, height);
    }
    bool DumpLastFrame(const std::string& bmpPath) const override {
        return lastFrame.WriteBmp(bmpPath);
    }
    const std::string& DebugText() const override { return debugText; }
    void ClearDebugText() override { debugText.clear(); }

private:
    struct Scheduled {
        int frames;
        HostEvent event;
    };
    struct Pad {
        bool connected = false;
        PadState state;
        uint16_t rumbleLow = 0, rumbleHigh = 0;
    };

    static bool ValidSlot(int slot) { return slot >= 0 && slot < kPadSlots; }
    // A slot in range, with a pad plugged in if it had none.
    bool Plugged(int slot) {
        if (!ValidSlot(slot)) return false;
        if (!pads[slot].connected) ConnectPad(slot, true);
        return true;
    }

    void ResetState();
    void ReleaseScheduled(bool earliestOnly);

    MachineConfig config;
    uint32_t clock = 0;
    uint32_t frameTime = 0;
    std::deque<HostEvent> events;
    std::vector<Scheduled> scheduled;

    bool focus = true;
    uint8_t keys[256] = {};
    MouseState mouse;
    bool joystickAttached = false;
    std::string joystickName;
    JoystickState joystick;
    Pad pads[kPadSlots];
    int cursorX = 0, cursorY = 0;

    int frames = 0;
    bool windowOpen = false;
    bool fullScreen = false;
    bool cursorShown = true;
    int verticalBlankWaits = 0;
    KeptFrame lastFrame;
    std::string debugText;
};

void HeadlessMachine::ResetState() {
    config = MachineConfig{};
    clock = 0;
    frameTime = 0;
    events.clear();
    scheduled.clear();
    focus = true;
    std::memset(keys, 0, sizeof keys);
    mouse = MouseState{};
    joystickAttached = false;
    joystickName.clear();
    joystick = JoystickState{};
    for (Pad& pad : pads) pad = Pad{};
    cursorX = cursorY = 0;
    frames = 0;
    windowOpen = false;
    fullScreen = false;
    cursorShown = true;
    verticalBlankWaits = 0;
    lastFrame.Clear();
    debugText.clear();
}

void HeadlessMachine::Reset() {
    ResetState();
    HeadlessAudioDevice().Reset();
    TellMachine(MachineChange::Reset);
}

void HeadlessMachine::MoveMouse(int dx, int dy) {
    mouse.dx += dx;
    mouse.dy += dy;
    // The cursor follows the mouse and stays on the desktop, as the system's cursor does.
    int maxX = config.desktopWidth > 0 ? config.desktopWidth - 1 : 0;
    int maxY = config.desktopHeight > 0 ? config.desktopHeight - 1 : 0;
    long x = (long)cursorX + dx, y = (long)cursorY + dy;
    cursorX = (int)(x < 0 ? 0 : (x > maxX ? maxX : x));
    cursorY = (int)(y < 0 ? 0 : (y > maxY ? maxY : y));
}

void HeadlessMachine::SetPadButton(int slot, uint16_t button, bool down) {
    if (!Plugged(slot)) return;
    uint16_t& buttons = pads[slot].state.buttons;
    buttons = down ? uint16_t(buttons | button) : uint16_t(buttons & ~button);
}

void HeadlessMachine::SetPadStick(int slot, int stick, int x, int y) {
    if ((stick != 0 && stick != 1) || !Plugged(slot)) return;
    auto axis = [](int v) { return int16_t(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); };
    PadState& state = pads[slot].state;
    (stick == 0 ? state.leftX : state.rightX) = axis(x);
    (stick == 0 ? state.leftY : state.rightY) = axis(y);
}

void HeadlessMachine::SetPadTrigger(int slot, int trigger, int value) {
    if ((trigger != 0 && trigger != 1) || !Plugged(slot)) return;
    uint8_t v = uint8_t(value < 0 ? 0 : (value > 255 ? 255 : value));
    (trigger == 0 ? pads[slot].state.leftTrigger : pads[slot].state.rightTrigger) = v;
}

void HeadlessMachine::Present(const FrameView& frame) {
    lastFrame.Keep(frame);
    ++frames;
    clock += frameTime;
    for (size_t i = 0; i < scheduled.size();) {
        if (--scheduled[i].frames <= 0) {
            events.push_back(scheduled[i].event);
            scheduled.erase(scheduled.begin() + (long)i);
        } else {
            ++i;
        }
    }
}

bool HeadlessMachine::PollEvent(HostEvent* event) {
    if (events.empty()) return false;
    if (event) *event = events.front();
    events.pop_front();
    return true;
}

// Releases the scheduled events due soonest (or all of them) without waiting for the frames.
void HeadlessMachine::ReleaseScheduled(bool earliestOnly) {
    int soonest = 0;
    for (const Scheduled& s : scheduled)
        if (soonest == 0 || s.frames < soonest) soonest = s.frames;
    for (size_t i = 0; i < scheduled.size();) {
        if (!earliestOnly || scheduled[i].frames == soonest) {
            events.push_back(scheduled[i].event);
            scheduled.erase(scheduled.begin() + (long)i);
        } else {
            ++i;
        }
    }
}

// The program waits for input and presents no frames meanwhile, so whatever waits for frames
// happens now. With nothing left that could ever arrive, the program would hang: end it.
void HeadlessMachine::WaitEvent() {
    while (events.empty()) {
        if (!scheduled.empty()) {
            ReleaseScheduled(true);
            continue;
        }
        std::fprintf(stderr, "tarn headless host: the program waits for a message, but no event is "
                             "queued, scheduled or left in a script; exiting with code 3\n");
        std::fflush(stderr);
        std::exit(3);
    }
}

HeadlessMachine* headlessMachine = nullptr;

} // namespace

// The one headless machine, created on first use and never destroyed (stand-in objects may
// still be released during process exit). Under a script, presented frames move the clock.
Host* CreateHeadlessHost() {
    if (headlessMachine) return headlessMachine;
    headlessMachine = new HeadlessMachine;
    if (const char* script = std::getenv("TARN_HEADLESS_SCRIPT"); script && *script)
        headlessMachine->SetFrameTime(16);
    return headlessMachine;
}

HeadlessHost& UseHeadlessHost() {
    CreateHeadlessHost();
    SelectHost("headless");
    headlessMachine->Reset();
    return *headlessMachine;
}

} // namespace tarn::platform
