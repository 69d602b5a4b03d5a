// The steps of the headless host's script language (see HeadlessHost.h) and their parser.
#pragma once

#include <string>
#include <vector>

namespace tarn::platform {

struct ScriptStep {
    enum Kind {
        Focus,
        Frames,
        Key,
        Lose,
        Close,
        Time,
        Dump,
        DiKey,
        Mouse,
        Button,
        Wheel,
        Joystick,
        JoyButton,
        Pad,
        PadButton,
        PadStick,
        PadTrigger,
        Fault,
        Faults,
        Memory
    };
    Kind kind = Focus;
    int a = 0, b = 0; // the step's numbers: focus flag, frame count, key code, milliseconds ...
    int c = 0, d = 0; // ... and the pad steps' further ones
    std::string text; // the path of a dump, the operation of a fault, the spared operations,
                      // the name of a memory reading
};

// Appends the steps of `script` to `steps`. Steps are separated by ';' or new lines. A step
// that cannot be read is left out and described in *error; the others are kept.
bool ParseScript(const std::string& script, std::vector<ScriptStep>* steps, std::string* error);

// A virtual-key code by number (decimal or 0x hex) or name (ESCAPE, SPACE, A, F1 ...); -1 when
// unknown. DirectInput scan codes likewise (ESCAPE, SPACE, A ...).
int VirtualKeyByName(const std::string& name);
int ScanCodeByName(const std::string& name);
// An XINPUT_GAMEPAD_* bit by number or name (A, B, X, Y, LB, RB, BACK, START, LS, RS, UP, DOWN,
// LEFT, RIGHT); -1 when unknown.
int PadButtonByName(const std::string& name);

} // namespace tarn::platform
