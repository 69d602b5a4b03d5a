// The steps of the script language (played by ScriptedHost.h) and their parser, with the one
// table of key names that the `key` and `dikey` steps share.
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
        Memory,
        Wav
    };
    Kind kind = Focus;
    int a = 0, b = 0; // the step's numbers: focus flag, frame count, key code, milliseconds ...
    int c = 0, d = 0; // ... and the pad steps' further ones
    std::string text; // the path of a dump or a WAV file, the operation of a fault, the spared
                      // operations, the name of a memory reading
};

// Appends the steps of `script` to `steps`. Steps are separated by ';' or new lines. A step
// that cannot be read is left out and described in *error; the others are kept.
bool ParseScript(const std::string& script, std::vector<ScriptStep>* steps, std::string* error);

// A key by name (ESCAPE, SPACE, A, 7, F11, LEFTSHIFT ..., in any case) or by number (decimal or
// 0x hex): its virtual-key code or its DirectInput scan code; -1 when unknown. A number is the
// code itself; a virtual-key number that names a key of the table also has its scan code
// (ScanCodeOfVirtualKey).
int VirtualKeyByName(const std::string& name);
int ScanCodeByName(const std::string& name);
int ScanCodeOfVirtualKey(int vk);
// The key names a script accepts, for error messages: "A..Z, 0..9, F1..F15, ESCAPE, ...".
std::string KeyNames();
// An XINPUT_GAMEPAD_* bit by number or name (A, B, X, Y, LB, RB, BACK, START, LS, RS, UP, DOWN,
// LEFT, RIGHT); -1 when unknown.
int PadButtonByName(const std::string& name);

} // namespace tarn::platform
