// What TarnInput's source files share: the four-state machine every key code and every gamepad
// button follows, and the pads' part of the destructor.
#pragma once

#include "input/TarnInput.h"

// One step of a state: KEY_PRESSED once on a press, then KEY_HELD; KEY_RELEASED once on a
// release, then KEY_UP. True when this step is a new press (the caller records its time).
inline bool StepKeyState(BYTE& state, bool down) {
    switch (state) {
    case KEY_UP:
    case KEY_RELEASED:
        state = down ? KEY_PRESSED : KEY_UP;
        return down;
    case KEY_PRESSED:
    case KEY_HELD:
        state = down ? KEY_HELD : KEY_RELEASED;
        return false;
    default:
        return false;
    }
}

// Stops the motors the object set running and gives XInput back enabled (TarnPads.cpp).
void ReleasePads(TarnInput& input);
