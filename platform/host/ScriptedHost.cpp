// The script player in front of a host, and the overlay of controls it uses in front of a host
// without its own (see ScriptedHost.h for the steps and the report).
#include "host/ScriptedHost.h"

#include "internal/StandIn.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarn::platform {

namespace {

int ClampAxis(int v) {
    return v < -32768 ? -32768 : (v > 32767 ? 32767 : v);
}

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

// Interleaved 16-bit stereo samples as a WAV file.
bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const uint32_t dataBytes = (uint32_t)(samples.size() * 2);
    uint8_t header[44] = {'R', 'I', 'F', 'F', 0,  0, 0, 0, 'W', 'A', 'V', 'E',
                          'f', 'm', 't', ' ', 16, 0, 0, 0, 1,   0,   2,   0};
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) header[at + i] = (uint8_t)(v >> (8 * i));
    };
    put32(4, 36 + dataBytes);
    put32(24, (uint32_t)rate);
    put32(28, (uint32_t)rate * 4); // bytes a second
    header[32] = 4;                // bytes a frame
    header[34] = 16;               // bits a sample
    std::memcpy(header + 36, "data", 4);
    put32(40, dataBytes);
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    for (size_t i = 0; ok && i < samples.size(); ++i) {
        const uint8_t bytes[2] = {(uint8_t)samples[i], (uint8_t)((uint16_t)samples[i] >> 8)};
        ok = std::fwrite(bytes, 1, 2, f) == 2;
    }
    return std::fclose(f) == 0 && ok;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The overlay

void InputOverlay::SetFocus(bool on) {
    focusSet = true;
    focus = on;
    HostEvent e;
    e.type = on ? HostEvent::FocusGained : HostEvent::FocusLost;
    events.push_back(e);
}

void InputOverlay::SetKey(int dik, bool down) {
    if (dik < 0 || dik >= 256) return;
    keys[dik] = down ? 0x80 : 0;
    if (down) anyKey = true;
}

void InputOverlay::MoveMouse(int dx, int dy) {
    mouse.dx += dx;
    mouse.dy += dy;
}

void InputOverlay::SetMouseButton(int button, bool down) {
    if (button >= 0 && button < 4) mouse.buttons[button] = down;
}

void InputOverlay::AttachJoystick(bool attached, const std::string& name) {
    joystickSet = true;
    joystickAttached = attached;
    joystickName = name;
    joystick = JoystickState{};
}

void InputOverlay::PlugJoystick() {
    if (!joystickSet || !joystickAttached) AttachJoystick(true, "Headless Joystick");
}

void InputOverlay::SetJoystick(int x, int y) {
    joystick.x = ClampAxis(x);
    joystick.y = ClampAxis(y);
}

void InputOverlay::SetJoystickButton(int button, bool down) {
    if (button >= 0 && button < 32) joystick.buttons[button] = down;
}

void InputOverlay::ConnectPad(int slot, bool connected) {
    if (slot >= 0 && slot < kPadSlots) pads[slot] = Pad{true, connected, {}};
}

bool InputOverlay::PluggedPad(int slot) {
    if (slot < 0 || slot >= kPadSlots) return false;
    if (!pads[slot].set || !pads[slot].connected) ConnectPad(slot, true);
    return true;
}

void InputOverlay::SetPadButton(int slot, uint16_t button, bool down) {
    if (!PluggedPad(slot)) return;
    uint16_t& buttons = pads[slot].state.buttons;
    buttons = down ? uint16_t(buttons | button) : uint16_t(buttons & ~button);
}

void InputOverlay::SetPadStick(int slot, int stick, int x, int y) {
    if ((stick != 0 && stick != 1) || !PluggedPad(slot)) return;
    PadState& state = pads[slot].state;
    (stick == 0 ? state.leftX : state.rightX) = int16_t(ClampAxis(x));
    (stick == 0 ? state.leftY : state.rightY) = int16_t(ClampAxis(y));
}

void InputOverlay::SetPadTrigger(int slot, int trigger, int value) {
    if ((trigger != 0 && trigger != 1) || !PluggedPad(slot)) return;
    const uint8_t v = uint8_t(value < 0 ? 0 : (value > 255 ? 255 : value));
    (trigger == 0 ? pads[slot].state.leftTrigger : pads[slot].state.rightTrigger) = v;
}

bool InputOverlay::PollEvent(HostEvent* event) {
    if (events.empty()) return false;
    if (event) *event = events.front();
    events.pop_front();
    return true;
}

void InputOverlay::ReadKeyboard(Host& host, uint8_t state[256]) const {
    host.ReadKeyboard(state);
    if (!anyKey || !state) return;
    for (int i = 0; i < 256; ++i) state[i] |= keys[i];
}

void InputOverlay::ReadMouse(Host& host, MouseState* out) {
    host.ReadMouse(out);
    if (out) {
        out->dx += mouse.dx;
        out->dy += mouse.dy;
        out->wheel += mouse.wheel;
        for (int i = 0; i < 4; ++i) out->buttons[i] = out->buttons[i] || mouse.buttons[i];
    }
    mouse.dx = mouse.dy = mouse.wheel = 0;
}

bool InputOverlay::JoystickAttached(const Host& host) const {
    return joystickSet ? joystickAttached : host.JoystickAttached();
}

std::string InputOverlay::JoystickName(const Host& host) const {
    if (!joystickSet) return host.JoystickName();
    return joystickAttached ? joystickName : "";
}

bool InputOverlay::ReadJoystick(Host& host, JoystickState* out) const {
    if (!joystickSet) return host.ReadJoystick(out);
    if (joystickAttached && out) *out = joystick;
    return joystickAttached;
}

bool InputOverlay::ReadPad(Host& host, int slot, PadState* out) const {
    if (slot < 0 || slot >= kPadSlots || !pads[slot].set) return host.ReadPad(slot, out);
    if (out) *out = pads[slot].connected ? pads[slot].state : PadState{};
    return pads[slot].connected;
}

// ---------------------------------------------------------------------------------------------
// The player

ScriptedHost::ScriptedHost(Host& inner) : PassThroughHost(inner) {
    controls = dynamic_cast<HostControls*>(&inner);
    if (!controls) controls = &overlay;
}

bool ScriptedHost::Play(const std::string& script, std::string* error) {
    const size_t before = steps.size();
    const bool ok = ParseScript(script, &steps, error);
    for (size_t i = before; i < steps.size(); ++i)
        if (steps[i].kind == ScriptStep::Dump) keepFrames = true;
    if (framesToWait <= 0) RunSteps();
    return ok;
}

void ScriptedHost::CloseWindow() {
    fullScreen = false;
    inner.CloseWindow();
}

void ScriptedHost::SetFullScreen(bool on, int width, int height, int bits) {
    fullScreen = on;
    fullScreenEver = fullScreenEver || on;
    inner.SetFullScreen(on, width, height, bits);
}

void ScriptedHost::DebugOutput(const char* text) {
    if (captureDebugText && text) debugText += text;
    inner.DebugOutput(text);
}

// A key step's key was seen by the frame now presented; the script goes on when its frames are
// done.
void ScriptedHost::Present(const FrameView& frame) {
    inner.Present(frame);
    ++frames;
    if (keepFrames) lastFrame.Keep(frame);
    ReleaseHeldKeys();
    if (framesToWait > 0 && --framesToWait == 0) RunSteps();
}

// The program waits for a message and presents no frames meanwhile, so whatever waits for
// frames happens now, until a step has queued an event or the script ends. Then the host waits
// (the headless host ends a program that would wait for ever).
void ScriptedHost::WaitEvent() {
    ReleaseHeldKeys();
    while (!overlay.HasEvents() && framesToWait > 0) {
        framesToWait = 0;
        const unsigned before = eventsQueued;
        RunSteps();
        if (eventsQueued != before) break;
    }
    if (overlay.HasEvents()) return;
    inner.WaitEvent();
}

void ScriptedHost::ReleaseHeldKeys() {
    for (int dik : heldKeys) controls->SetKey(dik, false);
    heldKeys.clear();
}

// Runs the script's steps in order until one waits for frames or the script ends.
void ScriptedHost::RunSteps() {
    while (nextStep < steps.size() && framesToWait <= 0) RunStep(steps[nextStep++]);
}

void ScriptedHost::RunStep(const ScriptStep& step) {
    HostEvent e;
    switch (step.kind) {
    case ScriptStep::Focus:
        controls->SetFocus(step.a != 0);
        ++eventsQueued;
        break;
    case ScriptStep::Frames:
        framesToWait = step.a;
        break;
    case ScriptStep::Key:
        e.type = HostEvent::KeyDown;
        e.vk = (uint32_t)step.a;
        controls->PushEvent(e);
        e.type = HostEvent::KeyUp;
        controls->PushEvent(e);
        eventsQueued += 2;
        if (step.b >= 0) {
            controls->SetKey(step.b, true);
            heldKeys.push_back(step.b);
        }
        break;
    case ScriptStep::Lose:
    case ScriptStep::Close:
        e.type = step.kind == ScriptStep::Lose ? HostEvent::DisplayLost : HostEvent::Close;
        controls->PushEvent(e);
        ++eventsQueued;
        break;
    case ScriptStep::Time:
        controls->AdvanceTime((uint32_t)step.a);
        break;
    case ScriptStep::Dump:
        if (!lastFrame.WriteBmp(step.text))
            std::fprintf(stderr, "tarn script: could not dump a frame to %s%s\n", step.text.c_str(),
                         frames == 0 ? " (no frame presented yet)" : "");
        break;
    case ScriptStep::Wav:
        if (controls->AudioRate() <= 0)
            std::fprintf(stderr, "tarn script: the %s host records no sound to write to %s\n",
                         inner.Name(), step.text.c_str());
        else if (!WriteWav(step.text, controls->AudioRecording(), controls->AudioRate()))
            std::fprintf(stderr, "tarn script: could not write the sound to %s\n",
                         step.text.c_str());
        break;
    case ScriptStep::Memory:
        memoryReadings += step.text + " " + std::to_string(ResidentKilobytes()) + "\n";
        break;
    case ScriptStep::DiKey:
        controls->SetKey(step.a, step.b != 0);
        break;
    case ScriptStep::Mouse:
        controls->MoveMouse(step.a, step.b);
        break;
    case ScriptStep::Button:
        controls->SetMouseButton(step.a, step.b != 0);
        break;
    case ScriptStep::Wheel:
        controls->TurnWheel(step.a);
        break;
    case ScriptStep::Joystick:
        controls->PlugJoystick();
        controls->SetJoystick(step.a, step.b);
        break;
    case ScriptStep::JoyButton:
        controls->PlugJoystick();
        controls->SetJoystickButton(step.a, step.b != 0);
        break;
    case ScriptStep::Pad:
        controls->ConnectPad(step.a, step.b != 0);
        break;
    case ScriptStep::PadButton:
        controls->SetPadButton(step.a, uint16_t(step.b), step.c != 0);
        break;
    case ScriptStep::PadStick:
        controls->SetPadStick(step.a, step.b, step.c, step.d);
        break;
    case ScriptStep::PadTrigger:
        controls->SetPadTrigger(step.a, step.b, step.c);
        break;
    case ScriptStep::Fault:
        InjectFault(step.text.c_str(), 1, step.a, (unsigned)step.b);
        break;
    case ScriptStep::Faults:
        InjectRandomFaults((unsigned)step.a, (uint32_t)step.b, step.text.c_str());
        break;
    }
}

bool ScriptedHost::WriteReport(const std::string& path) const {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "frames %d\nlive %d\nfullscreen %d\nfullscreen_ever %d\n%s%s", frames,
                 LiveObjects(), fullScreen ? 1 : 0, fullScreenEver ? 1 : 0, memoryReadings.c_str(),
                 debugText.c_str());
    return std::fclose(f) == 0;
}

namespace {

ScriptedHost* environmentPlayer = nullptr; // started from the environment; lives until exit
ScriptedHost* inProcessPlayer = nullptr;   // the last one PlayScript made

// The report is written after the program's static objects are destroyed, so the live count
// includes what their destructors released.
__attribute__((destructor)) void WriteReportAtExit() {
    const char* path = std::getenv("TARN_HEADLESS_REPORT");
    if (!environmentPlayer || !path || !*path) return;
    if (!environmentPlayer->WriteReport(path))
        std::fprintf(stderr, "tarn script: cannot write the report to %s\n", path);
}

} // namespace

Host* PlayerFromEnvironment(Host* inner) {
    const char* script = std::getenv("TARN_HEADLESS_SCRIPT");
    const char* report = std::getenv("TARN_HEADLESS_REPORT");
    const bool wantScript = script && *script, wantReport = report && *report;
    if (!inner || environmentPlayer || (!wantScript && !wantReport)) return inner;
    environmentPlayer = new ScriptedHost(*inner);
    if (wantReport) environmentPlayer->KeepDebugText();
    std::string error;
    if (wantScript && !environmentPlayer->Play(script, &error))
        std::fprintf(stderr, "tarn script: %s\n", error.c_str());
    return environmentPlayer;
}

ScriptedHost& PlayScript(const std::string& script) {
    auto* player = dynamic_cast<ScriptedHost*>(&CurrentHost());
    if (!player) {
        delete inProcessPlayer; // no longer in front of anything
        inProcessPlayer = player = new ScriptedHost(CurrentHost());
        InstallHost(player);
    }
    std::string error;
    if (!player->Play(script, &error)) std::fprintf(stderr, "tarn script: %s\n", error.c_str());
    return *player;
}

} // namespace tarn::platform
