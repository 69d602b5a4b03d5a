// The headless host: a deterministic machine in memory, for tests and scripted runs. The clock
// moves only when the test (or a presented frame) moves it, events come from the test or from
// the script in TARN_HEADLESS_SCRIPT, and what the program shows is kept as the last frame in
// 0x00RRGGBB. The script language and the report written at exit are described in
// HeadlessHost.h; the script's steps live in HeadlessScript.cpp.
#include "host/HeadlessAudio.h"
#include "host/HeadlessHost.h"
#include "host/HeadlessScript.h"
#include "internal/StandIn.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace tarn::platform {

uint32_t WidenChannel(uint32_t value, int bits) {
    if (bits <= 0) return 0;
    if (bits >= 8) return (value >> (bits - 8)) & 0xFF;
    uint32_t wide = 0;
    int filled = 0;
    while (filled < 8) {
        wide = (wide << bits) | value;
        filled += bits;
    }
    return (wide >> (filled - 8)) & 0xFF;
}

namespace {

// The process's resident memory in kB, as the kernel counts it (VmRSS); -1 where it cannot be
// read.
long ResidentKilobytes() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kilobytes = -1;
    while (kilobytes < 0 && std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmRSS:", 6) == 0) kilobytes = std::strtol(line + 6, nullptr, 10);
    std::fclose(status);
    return kilobytes;
}

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
};

Channel Describe(uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (!mask) return c;
    while (!((mask >> c.shift) & 1)) ++c.shift;
    while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1)) ++c.bits;
    return c;
}

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
    void RunScript(const std::string& text) override;
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
        ConvertFrame();
        if (width) *width = lastWidth;
        if (height) *height = lastHeight;
        return lastFrame;
    }
    bool DumpLastFrame(const std::string& bmpPath) const override;
    const std::string& DebugText() const override { return debugText; }
    void ClearDebugText() override { debugText.clear(); }

    // Script support.
    void RunSteps();
    void WriteReport() const;

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
    void KeepFrame(const FrameView& frame);
    void ConvertFrame() const;
    void ReleaseScheduled(bool earliestOnly);

    MachineConfig config;
    uint32_t clock = 0;
    uint32_t frameTime = 0;
    std::deque<HostEvent> events;
    std::vector<Scheduled> scheduled;
    std::vector<ScriptStep> steps;
    size_t nextStep = 0;
    int framesToWait = 0; // the script waits for this many more frames

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
    // The last presented frame's bytes as the display held them, and their format (pixels and
    // palette point into rawFrame and rawPalette); converted into lastFrame when asked for.
    std::vector<uint8_t> rawFrame;
    FrameView rawView;
    uint32_t rawPalette[256] = {};
    mutable bool frameConverted = true;
    mutable std::vector<uint32_t> lastFrame;
    int lastWidth = 0, lastHeight = 0;
    std::string debugText;
    std::string memoryReadings; // "NAME KB" lines of the script's memory steps
};

void HeadlessMachine::ResetState() {
    config = MachineConfig{};
    clock = 0;
    frameTime = 0;
    events.clear();
    scheduled.clear();
    steps.clear();
    nextStep = 0;
    framesToWait = 0;
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
    rawFrame.clear();
    rawView = FrameView{};
    frameConverted = true;
    lastFrame.clear();
    lastWidth = lastHeight = 0;
    debugText.clear();
}

void HeadlessMachine::Reset() {
    ResetState();
    HeadlessAudioDevice().Reset();
    ClearFaults();
    ResetCallCounts();
    MachineReset();
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

// Keeps a copy of the frame's bytes, reusing the buffer while the size stays the same, so a
// presented frame costs one copy, as on a real display, and allocates nothing after the first.
void HeadlessMachine::KeepFrame(const FrameView& frame) {
    int bytes = (frame.bits + 7) / 8;
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0 || bytes < 1 || bytes > 4 ||
        frame.pitch < frame.width * bytes)
        return;
    const size_t rowBytes = (size_t)frame.width * (size_t)bytes;
    const size_t total = rowBytes * (size_t)frame.height;
    if (rawFrame.size() != total) rawFrame.assign(total, 0);
    const auto* base = static_cast<const uint8_t*>(frame.pixels);
    if ((size_t)frame.pitch == rowBytes) {
        std::memcpy(rawFrame.data(), base, total);
    } else {
        for (int y = 0; y < frame.height; ++y)
            std::memcpy(rawFrame.data() + (size_t)y * rowBytes,
                        base + (size_t)y * (size_t)frame.pitch, rowBytes);
    }
    rawView = frame;
    rawView.pixels = rawFrame.data();
    rawView.pitch = (int)rowBytes;
    rawView.palette = nullptr;
    if (frame.bits <= 8 && frame.palette) {
        std::memcpy(rawPalette, frame.palette, sizeof rawPalette);
        rawView.palette = rawPalette;
    }
    lastWidth = frame.width;
    lastHeight = frame.height;
    frameConverted = false;
}

// Turns the kept frame into 0x00RRGGBB pixels, once per presented frame that is looked at.
void HeadlessMachine::ConvertFrame() const {
    if (frameConverted) return;
    frameConverted = true;
    const FrameView& frame = rawView;
    int bytes = (frame.bits + 7) / 8;
    size_t count = (size_t)frame.width * (size_t)frame.height;
    if (lastFrame.size() != count) lastFrame.assign(count, 0);

    uint32_t rm = frame.redMask, gm = frame.greenMask, bm = frame.blueMask;
    if (!rm && !gm && !bm) {
        if (frame.bits == 16)
            rm = 0xF800, gm = 0x07E0, bm = 0x001F;
        else
            rm = 0xFF0000, gm = 0x00FF00, bm = 0x0000FF;
    }
    Channel r = Describe(rm), g = Describe(gm), b = Describe(bm);
    const auto* base = static_cast<const uint8_t*>(frame.pixels);
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* row = base + (size_t)y * (size_t)frame.pitch;
        uint32_t* out = lastFrame.data() + (size_t)y * (size_t)frame.width;
        for (int x = 0; x < frame.width; ++x) {
            const uint8_t* p = row + (size_t)x * bytes;
            uint32_t v = 0;
            for (int i = 0; i < bytes; ++i) v |= (uint32_t)p[i] << (8 * i);
            if (frame.bits <= 8) {
                out[x] = frame.palette ? (frame.palette[v & 0xFF] & 0xFFFFFF) : v * 0x010101u;
                continue;
            }
            out[x] = WidenChannel((v & r.mask) >> r.shift, r.bits) << 16 |
                     WidenChannel((v & g.mask) >> g.shift, g.bits) << 8 |
                     WidenChannel((v & b.mask) >> b.shift, b.bits);
        }
    }
}

void HeadlessMachine::Present(const FrameView& frame) {
    KeepFrame(frame);
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
    if (framesToWait > 0 && --framesToWait == 0) RunSteps();
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
        if (framesToWait > 0) {
            framesToWait = 0;
            RunSteps();
            continue;
        }
        if (!scheduled.empty()) {
            ReleaseScheduled(true);
            continue;
        }
        std::fprintf(stderr, "tarn headless host: the program waits for a message, but no event is "
                             "queued, scheduled or left in the script; exiting with code 3\n");
        std::fflush(stderr);
        std::exit(3);
    }
}

void HeadlessMachine::RunScript(const std::string& text) {
    std::string error;
    if (!ParseScript(text, &steps, &error))
        std::fprintf(stderr, "tarn headless host: %s\n", error.c_str());
    if (framesToWait <= 0) RunSteps();
}

// Runs the script's steps in order until one waits for frames or the script ends.
void HeadlessMachine::RunSteps() {
    while (nextStep < steps.size() && framesToWait <= 0) {
        const ScriptStep& step = steps[nextStep++];
        HostEvent e;
        switch (step.kind) {
        case ScriptStep::Focus:
            SetFocus(step.a != 0);
            break;
        case ScriptStep::Frames:
            framesToWait = step.a;
            break;
        case ScriptStep::Key:
            e.type = HostEvent::KeyDown;
            e.vk = (uint32_t)step.a;
            events.push_back(e);
            e.type = HostEvent::KeyUp;
            events.push_back(e);
            break;
        case ScriptStep::Lose:
            e.type = HostEvent::DisplayLost;
            events.push_back(e);
            break;
        case ScriptStep::Close:
            e.type = HostEvent::Close;
            events.push_back(e);
            break;
        case ScriptStep::Time:
            clock += (uint32_t)step.a;
            break;
        case ScriptStep::Dump:
            if (!DumpLastFrame(step.text))
                std::fprintf(stderr, "tarn headless host: could not dump a frame to %s\n",
                             step.text.c_str());
            break;
        case ScriptStep::Memory:
            memoryReadings += step.text + " " + std::to_string(ResidentKilobytes()) + "\n";
            break;
        case ScriptStep::DiKey:
            SetKey(step.a, step.b != 0);
            break;
        case ScriptStep::Mouse:
            MoveMouse(step.a, step.b);
            break;
        case ScriptStep::Button:
            SetMouseButton(step.a, step.b != 0);
            break;
        case ScriptStep::Wheel:
            TurnWheel(step.a);
            break;
        case ScriptStep::Joystick:
            if (!joystickAttached) AttachJoystick(true, "Headless Joystick");
            SetJoystick(step.a, step.b);
            break;
        case ScriptStep::JoyButton:
            if (!joystickAttached) AttachJoystick(true, "Headless Joystick");
            SetJoystickButton(step.a, step.b != 0);
            break;
        case ScriptStep::Pad:
            ConnectPad(step.a, step.b != 0);
            break;
        case ScriptStep::PadButton:
            SetPadButton(step.a, uint16_t(step.b), step.c != 0);
            break;
        case ScriptStep::PadStick:
            SetPadStick(step.a, step.b, step.c, step.d);
            break;
        case ScriptStep::PadTrigger:
            SetPadTrigger(step.a, step.b, step.c);
            break;
        case ScriptStep::Fault:
            InjectFault(step.text.c_str(), 1, step.a, (unsigned)step.b);
            break;
        case ScriptStep::Faults:
            InjectRandomFaults((unsigned)step.a, (uint32_t)step.b, step.text.c_str());
            break;
        }
    }
}

bool HeadlessMachine::DumpLastFrame(const std::string& bmpPath) const {
    ConvertFrame();
    if (lastFrame.empty() || lastWidth <= 0 || lastHeight <= 0) return false;
    FILE* f = std::fopen(bmpPath.c_str(), "wb");
    if (!f) return false;
    uint32_t rowBytes = ((uint32_t)lastWidth * 3 + 3) & ~3u;
    uint32_t imageBytes = rowBytes * (uint32_t)lastHeight;
    uint8_t header[54] = {};
    auto put16 = [&](int at, uint32_t v) {
        header[at] = (uint8_t)v;
        header[at + 1] = (uint8_t)(v >> 8);
    };
    auto put32 = [&](int at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, 54 + imageBytes);
    put32(10, 54);
    put32(14, 40);
    put32(18, (uint32_t)lastWidth);
    put32(22, (uint32_t)lastHeight); // positive: bottom-up rows
    put16(26, 1);
    put16(28, 24);
    put32(34, imageBytes);
    put32(38, 2835); // 72 dpi
    put32(42, 2835);
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    std::vector<uint8_t> row(rowBytes, 0);
    for (int y = lastHeight - 1; ok && y >= 0; --y) {
        const uint32_t* src = lastFrame.data() + (size_t)y * (size_t)lastWidth;
        for (int x = 0; x < lastWidth; ++x) {
            row[(size_t)x * 3] = (uint8_t)src[x];
            row[(size_t)x * 3 + 1] = (uint8_t)(src[x] >> 8);
            row[(size_t)x * 3 + 2] = (uint8_t)(src[x] >> 16);
        }
        ok = std::fwrite(row.data(), 1, rowBytes, f) == rowBytes;
    }
    return std::fclose(f) == 0 && ok;
}

void HeadlessMachine::WriteReport() const {
    const char* reportPath = std::getenv("TARN_HEADLESS_REPORT");
    if (!reportPath || !*reportPath) return;
    FILE* f = std::fopen(reportPath, "w");
    if (!f) {
        std::fprintf(stderr, "tarn headless host: cannot write the report to %s\n", reportPath);
        return;
    }
    std::fprintf(f, "frames %d\nlive %d\nfullscreen %d\n%s%s", frames, LiveObjects(),
                 fullScreen ? 1 : 0, memoryReadings.c_str(), debugText.c_str());
    std::fclose(f);
}

HeadlessMachine* headlessMachine = nullptr;

// The report is written after the program's static objects are destroyed, so the live count
// includes what their destructors released.
__attribute__((destructor)) void WriteReportAtExit() {
    if (headlessMachine) headlessMachine->WriteReport();
}

} // namespace

// The one headless machine, created on first use and never destroyed (stand-in objects may
// still be released during process exit). A program run under a script starts it at once.
Host* CreateHeadlessHost() {
    if (headlessMachine) return headlessMachine;
    headlessMachine = new HeadlessMachine;
    if (const char* script = std::getenv("TARN_HEADLESS_SCRIPT")) {
        headlessMachine->SetFrameTime(16);
        headlessMachine->RunScript(script);
    }
    return headlessMachine;
}

HeadlessHost& UseHeadlessHost() {
    CreateHeadlessHost();
    SelectHost("headless");
    headlessMachine->Reset();
    return *headlessMachine;
}

} // namespace tarn::platform
