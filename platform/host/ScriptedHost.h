// The script player: a Host in front of any other host that plays a script of steps to the
// program and passes everything else through. In front of the headless host the steps work its
// own controls (HostControls.h), so a test sees them in the machine's state; in front of any
// other host (SDL2, the browser) they are laid over what the machine reports (InputOverlay).
// Whatever should sit between the program and the machine (a recorder, a player of a recording)
// sits in the same place, the same way.
//
// A whole program is driven through the environment; the player is put in front of the chosen
// host on its first use when either variable is set:
//   TARN_HEADLESS_SCRIPT="focus 1; frames 10; key ESCAPE"   steps run in order:
//     focus 1|0      focus gained / lost (WM_ACTIVATEAPP, display taken away and given back)
//     frames N       the following steps wait until N more frames were presented; when the
//                    program waits for a message instead (inactive), the wait ends at once
//     key KEY        a key's press and release as window messages (WM_KEYDOWN, WM_KEYUP); the
//                    keyboard device holds it down until the next frame is presented, so the
//                    game's Pressed sees it too
//     dikey KEY 1|0  a key of the keyboard device goes down / up
//                    KEY (both steps): a letter, a digit, F1 .. F24 (dikey: F1 .. F15), ESCAPE,
//                    SPACE, RETURN, TAB, BACK, LEFT, UP, LSHIFT or LEFTSHIFT, LCTRL, LALT ...
//                    (the error for an unknown one lists them all), or a number: a virtual-key
//                    code for `key`, a scan code for `dikey`
//     lose           the display is taken away without a focus change
//     close          the window manager asks the window to close
//     time MS        the clock moves on by MS milliseconds
//     dump PATH      the last presented frame is written to PATH as a 24-bit BMP
//     wav PATH       the sound played so far is written to PATH as a 16-bit stereo WAV file
//                    (where the host records it: the headless host)
//     memory NAME    the process's resident memory now (kB) goes into the report as NAME
//     mouse DX DY    mouse motion
//     button N 1|0   mouse button N (0 left, 1 right, 2 middle, 3 fourth) goes down / up
//     wheel D        the mouse wheel turns by D (120 a notch, positive away from the user)
//     joystick X Y   the joystick's axes (-32768 .. 32767, centre 0); plugs one in if none is
//     jbutton N 1|0  joystick button N (0 .. 31) goes down / up; plugs one in if none is
//     pad N 1|0      gamepad N (0 .. 3) is plugged in (neutral) / pulled out
//     pbutton N B 1|0  a button of pad N goes down / up: A B X Y LB RB BACK START LS RS UP
//                    DOWN LEFT RIGHT (or an XINPUT_GAMEPAD_* bit as a number); plugs it in
//     pstick N L|R X Y  a stick of pad N (-32768 .. 32767, y grows upwards); plugs it in
//     ptrigger N L|R V  a trigger of pad N (0 .. 255); plugs it in
//     fault OP [CODE [N]]  every call (or the next N calls) of the stand-in operation OP from
//                    now on fails with CODE (default E_FAIL), e.g.
//                    "fault IDirectDraw7::SetDisplayMode"
//     faults ONE_IN SEED [OP,OP...]  from now on each stand-in call fails with E_FAIL with
//                    probability 1/ONE_IN (0 stops it), from a generator seeded with SEED;
//                    the listed operations are spared
//   TARN_HEADLESS_REPORT=PATH   at exit, writes to PATH the lines "frames N" (frames
//                               presented), "live N" (stand-in objects still alive),
//                               "fullscreen 0|1" (in full screen at exit), "fullscreen_ever
//                               0|1" (in full screen at any time), a line "NAME KB" for each
//                               memory step, then the debugger output
// A step that cannot be read is reported on standard error and left out; the others run.
#pragma once

#include "host/FrameConvert.h"
#include "host/HeadlessScript.h"
#include "host/HostControls.h"
#include "host/PassThroughHost.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace tarn::platform {

// The controls of a host that has none of its own: kept here and laid over what the host
// reports. Keys and mouse buttons held here are down whatever the machine says; motion adds to
// the machine's; a joystick or pad plugged in here stands in for the machine's.
class InputOverlay final : public HostControls {
public:
    void PushEvent(const HostEvent& event) override { events.push_back(event); }
    void SetFocus(bool focus) override;
    void AdvanceTime(uint32_t ms) override { clockOffset += ms; }
    void SetKey(int dik, bool down) override;
    void MoveMouse(int dx, int dy) override;
    void TurnWheel(int delta) override { mouse.wheel += delta; }
    void SetMouseButton(int button, bool down) override;
    void AttachJoystick(bool attached, const std::string& name) override;
    void PlugJoystick() override;
    void SetJoystick(int x, int y) override;
    void SetJoystickButton(int button, bool down) override;
    void ConnectPad(int slot, bool connected) override;
    void SetPadButton(int slot, uint16_t button, bool down) override;
    void SetPadStick(int slot, int stick, int x, int y) override;
    void SetPadTrigger(int slot, int trigger, int value) override;
    const std::vector<int16_t>& AudioRecording() override { return noSound; }
    int AudioRate() const override { return 0; }

    // What the program gets: the machine's report with the overlay laid over it.
    bool HasEvents() const { return !events.empty(); }
    bool PollEvent(HostEvent* event);
    bool HasFocus(const Host& host) const { return focusSet ? focus : host.HasFocus(); }
    uint32_t Milliseconds(Host& host) const { return host.Milliseconds() + clockOffset; }
    void ReadKeyboard(Host& host, uint8_t state[256]) const;
    void ReadMouse(Host& host, MouseState* out);
    bool JoystickAttached(const Host& host) const;
    std::string JoystickName(const Host& host) const;
    bool ReadJoystick(Host& host, JoystickState* out) const;
    bool ReadPad(Host& host, int slot, PadState* out) const;

private:
    struct Pad {
        bool set = false; // the overlay decides this slot
        bool connected = false;
        PadState state;
    };
    bool PluggedPad(int slot);

    std::deque<HostEvent> events;
    bool focusSet = false, focus = true;
    uint32_t clockOffset = 0;
    uint8_t keys[256] = {};
    bool anyKey = false;
    MouseState mouse;
    bool joystickSet = false, joystickAttached = false;
    std::string joystickName;
    JoystickState joystick;
    Pad pads[kPadSlots];
    std::vector<int16_t> noSound;
};

class ScriptedHost final : public PassThroughHost {
public:
    explicit ScriptedHost(Host& inner);

    // Appends the script's steps and runs them up to the first that waits for frames. False
    // (the unreadable steps described in *error) when a step could not be read.
    bool Play(const std::string& script, std::string* error);
    int FramesPresented() const { return frames; }
    bool FullScreenEver() const { return fullScreenEver; }
    // The report of TARN_HEADLESS_REPORT; false when it cannot be written. Debugger output
    // goes into it from the call of KeepDebugText on.
    bool WriteReport(const std::string& path) const;
    void KeepDebugText() { captureDebugText = true; }

    void CloseWindow() override;
    void SetFullScreen(bool on, int width, int height, int bits) override;
    void Present(const FrameView& frame) override;
    bool PollEvent(HostEvent* event) override {
        return overlay.PollEvent(event) || inner.PollEvent(event);
    }
    void WaitEvent() override;
    bool HasFocus() const override { return overlay.HasFocus(inner); }
    void ReadKeyboard(uint8_t state[256]) override { overlay.ReadKeyboard(inner, state); }
    void ReadMouse(MouseState* mouse) override { overlay.ReadMouse(inner, mouse); }
    bool JoystickAttached() const override { return overlay.JoystickAttached(inner); }
    std::string JoystickName() const override { return overlay.JoystickName(inner); }
    bool ReadJoystick(JoystickState* joystick) override {
        return overlay.ReadJoystick(inner, joystick);
    }
    bool ReadPad(int slot, PadState* pad) override { return overlay.ReadPad(inner, slot, pad); }
    uint32_t Milliseconds() override { return overlay.Milliseconds(inner); }
    void DebugOutput(const char* text) override;

private:
    void RunSteps();
    void RunStep(const ScriptStep& step);
    void ReleaseHeldKeys();

    InputOverlay overlay;
    HostControls* controls; // the inner host's own, else the overlay

    std::vector<ScriptStep> steps;
    size_t nextStep = 0;
    int framesToWait = 0;      // the script waits for this many more frames
    unsigned eventsQueued = 0; // events the steps have queued so far
    std::vector<int> heldKeys; // scan codes a key step holds down until the next frame
    bool keepFrames = false;   // a dump step wants the last frame
    KeptFrame lastFrame;

    int frames = 0;
    bool fullScreen = false, fullScreenEver = false;
    bool captureDebugText = false; // for the report
    std::string debugText;
    std::string memoryReadings; // "NAME KB" lines of the memory steps
};

// Puts the script player in front of the current host (once: a later call appends to the same
// script) and plays `script` on it; unreadable steps are reported on standard error.
ScriptedHost& PlayScript(const std::string& script);

// The player in front of `inner` when TARN_HEADLESS_SCRIPT or TARN_HEADLESS_REPORT asks for
// one (the script started, the report written at exit); else `inner` itself.
Host* PlayerFromEnvironment(Host* inner);

} // namespace tarn::platform
