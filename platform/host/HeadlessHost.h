// The headless host: a deterministic, in-memory machine for tests. The clock is set by the test,
// events and input are scripted, the machine is configurable, every presented frame is kept and
// can be written out as a BMP file, and debugger output is captured.
//
// In-process tests call UseHeadlessHost(), which selects it and resets it to defaults.
// A whole program can be driven by it from outside through the environment:
//   TARN_HOST=headless
//   TARN_HEADLESS_SCRIPT="focus 1; frames 10; key ESCAPE"   steps run in order:
//     focus 1|0      focus gained / lost (WM_ACTIVATEAPP, display taken away and given back)
//     frames N       the following steps wait until N more frames were presented; when the
//                    program waits for a message instead (inactive), the wait ends at once
//     key VK         key down and up of a virtual key: a number or a name (ESCAPE, SPACE, A ...)
//     lose           the display is taken away without a focus change
//     close          the window manager asks the window to close
//     time MS        the clock moves on by MS milliseconds
//     dump PATH      the last presented frame is written to PATH as a 24-bit BMP
//     memory NAME    the process's resident memory now (kB) goes into the report as NAME
//     dikey DIK 1|0  a key of the keyboard device goes down / up (by scan code)
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
//   TARN_HEADLESS_REPORT=PATH   at exit, writes "frames N\nlive N\nfullscreen 0|1\n", a line
//                               "NAME KB" for each memory step, and the captured debugger
//                               output to PATH
//   Each presented frame moves the clock on by the frame time (16 ms unless set otherwise).
#pragma once

#include "host/Host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::platform {

// Widens an n-bit channel value to 8 bits by repeating its top bits (5 bits abcde -> abcdeabc),
// as frame dumps do; the web host draws its canvas with it, so both show the same pixels.
uint32_t WidenChannel(uint32_t value, int bits);

class HeadlessHost : public Host {
public:
    // Back to a fresh machine: default config, clock 0, no events, no input, no pads, no
    // frames, no debug text, focus on, faults cleared, call counts reset.
    virtual void Reset() = 0;
    virtual MachineConfig& Config() = 0; // change before the stand-in objects are created

    // Clock.
    virtual void SetTime(uint32_t ms) = 0;
    virtual void AdvanceTime(uint32_t ms) = 0;
    virtual void SetFrameTime(uint32_t ms) = 0; // clock step per presented frame (default 0
                                                // in-process, 16 when driven by a script)

    // Events and focus.
    virtual void PushEvent(const HostEvent& event) = 0;
    // Focus gained or lost: changes HasFocus and queues FocusGained / FocusLost.
    virtual void SetFocus(bool focus) = 0;
    // Queues `event` to be released once `frames` more frames have been presented.
    virtual void ScheduleAfterFrames(int frames, const HostEvent& event) = 0;
    virtual void RunScript(const std::string& script) = 0; // the TARN_HEADLESS_SCRIPT language

    // Input.
    virtual void SetKey(int dik, bool down) = 0;
    virtual void MoveMouse(int dx, int dy) = 0;
    virtual void TurnWheel(int delta) = 0;
    virtual void SetMouseButton(int button, bool down) = 0;
    virtual void AttachJoystick(bool attached, const std::string& name = "Headless Joystick") = 0;
    virtual void SetJoystick(int x, int y) = 0;
    virtual void SetJoystickButton(int button, bool down) = 0;
    virtual void SetCursorPos(int x, int y) = 0;

    // Gamepads in slots 0 .. kPadSlots - 1 (other slots are ignored). A pad is plugged in
    // neutral and still; pulling it out forgets its state and stops its motors. The Set calls
    // plug the pad in when the slot is empty.
    virtual void ConnectPad(int slot, bool connected) = 0;
    virtual void SetPad(int slot, const PadState& state) = 0;
    virtual void SetPadButton(int slot, uint16_t button, bool down) = 0; // XINPUT_GAMEPAD_* bits
    virtual void SetPadStick(int slot, int stick, int x, int y) = 0;     // stick 0 left, 1 right
    virtual void SetPadTrigger(int slot, int trigger, int value) = 0;    // 0 left, 1 right
    // The motor speeds the pad was last given (0, 0 for an empty slot).
    virtual void PadRumble(int slot, uint16_t* low, uint16_t* high) const = 0;

    // What the program showed.
    virtual int FramesPresented() const = 0;
    virtual bool WindowOpen() const = 0;
    virtual bool FullScreen() const = 0;
    virtual bool CursorShown() const = 0;
    virtual int VerticalBlankWaits() const = 0;
    // The last presented frame as 0x00RRGGBB pixels, top row first (each channel widened by
    // repeating its top bits); empty before the first frame.
    virtual const std::vector<uint32_t>& LastFrame(int* width, int* height) const = 0;
    virtual bool DumpLastFrame(const std::string& bmpPath) const = 0;

    // Captured OutputDebugStringA text, in order.
    virtual const std::string& DebugText() const = 0;
    virtual void ClearDebugText() = 0;

    // Audio: the headless sound card (HeadlessAudio.h). It mixes as the clock moves on and
    // records everything it played (interleaved left, right, 16-bit, at AudioRate()).
    virtual void SetAudioDevicePresent(bool present) = 0; // false: OpenAudio fails
    virtual void LoseAudioDevice() = 0;                   // the open device goes away
    // Plays `frames` frames now, whatever the clock says, and returns what they were.
    virtual std::vector<int16_t> PlayAudio(int frames) = 0;
    virtual const std::vector<int16_t>& AudioRecording() = 0; // after catching up with the clock
    virtual void ClearAudioRecording() = 0;
    virtual int AudioRate() const = 0;
};

// Selects the headless host, resets it and returns it.
HeadlessHost& UseHeadlessHost();

} // namespace tarn::platform
