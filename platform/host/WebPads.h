// The web host's gamepads: the browser's Gamepad API as XInput's four slots, and its first
// connected pad as the joystick. The browser's pads are read once a turn (it changes them only
// between turns), and not at all before it has said that one is there.
#pragma once

#include "host/Host.h"

#include <emscripten/html5.h>

#include <string>

namespace tarn::platform {

class WebPads {
public:
    // Listens for the browser's word that a pad is there.
    void Start();
    // The browser has had a turn: the pads are read afresh at the next call.
    void NextTurn() { ++turn; }

    bool JoystickAttached() const { return Gamepad() != nullptr; }
    std::string JoystickName() const;
    bool ReadJoystick(JoystickState* out) const;
    bool ReadPad(int slot, PadState* out) const;
    void SetRumble(int slot, uint16_t low, uint16_t high) const;

private:
    bool Sample() const;
    const EmscriptenGamepadEvent* Gamepad() const;
    static EM_BOOL OnConnected(int type, const EmscriptenGamepadEvent* e, void* self);

    bool seen = false;
    unsigned turn = 1;
    mutable unsigned sampledTurn = 0;
    mutable bool sampled = false;
    mutable EmscriptenGamepadEvent pad{};
};

} // namespace tarn::platform
