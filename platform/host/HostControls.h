// What a player of input works on a host with: the foreground, events, the clock, the keyboard,
// mouse, joystick and gamepads, and the sound it played. The headless host has these controls
// itself (a test sets its machine's state through them); in front of any other host the script
// player (ScriptedHost.h) lays its own over what the machine reports.
#pragma once

#include "host/Host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::platform {

class HostControls {
public:
    virtual ~HostControls() = default;

    // Events and focus. SetFocus changes HasFocus and queues FocusGained / FocusLost.
    virtual void PushEvent(const HostEvent& event) = 0;
    virtual void SetFocus(bool focus) = 0;
    // The clock moves on by `ms`.
    virtual void AdvanceTime(uint32_t ms) = 0;

    // Input.
    virtual void SetKey(int dik, bool down) = 0; // by DirectInput scan code
    virtual void MoveMouse(int dx, int dy) = 0;
    virtual void TurnWheel(int delta) = 0;
    virtual void SetMouseButton(int button, bool down) = 0;
    virtual void AttachJoystick(bool attached, const std::string& name = "Headless Joystick") = 0;
    virtual void PlugJoystick() = 0; // attaches a joystick when none is
    virtual void SetJoystick(int x, int y) = 0;
    virtual void SetJoystickButton(int button, bool down) = 0;

    // Gamepads in slots 0 .. kPadSlots - 1 (other slots are ignored). A pad is plugged in
    // neutral and still; pulling it out forgets its state and stops its motors. The Set calls
    // plug the pad in when the slot is empty.
    virtual void ConnectPad(int slot, bool connected) = 0;
    virtual void SetPadButton(int slot, uint16_t button, bool down) = 0; // XINPUT_GAMEPAD_* bits
    virtual void SetPadStick(int slot, int stick, int x, int y) = 0;     // stick 0 left, 1 right
    virtual void SetPadTrigger(int slot, int trigger, int value) = 0;    // 0 left, 1 right

    // Everything the machine played so far (interleaved left, right, 16-bit, at AudioRate());
    // empty, with rate 0, where the sound is not recorded.
    virtual const std::vector<int16_t>& AudioRecording() = 0;
    virtual int AudioRate() const = 0;
};

} // namespace tarn::platform
