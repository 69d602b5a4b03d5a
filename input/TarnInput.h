// TarnInput: the keyboard, the mouse and the first joystick, read once per frame through
// DirectInput in immediate mode. After each Update the object holds a four-valued state for every
// key code (keyboard keys 0-176, mouse buttons 256-259, joystick buttons 260-269), the time and
// mouse position of each code's last press, the mouse and joystick positions moved by scaled,
// clamped relative motion, the wheel motion of the last poll, and the key-code tables (scan code
// to key code and back, shifted characters, key names; built at construction, whatever the
// devices do). The application reads the state and changes the settings (sensitivities, bounds,
// acceleration) through the public fields.
#pragma once

#include <windows.h>
#include <dinput.h>

// Key states, one byte per key code in keyState.
const BYTE KEY_UP = 0;       // up now and at the previous read
const BYTE KEY_RELEASED = 1; // went up at this read
const BYTE KEY_PRESSED = 2;  // went down at this read
const BYTE KEY_HELD = 3;     // down now and at the previous read

// The key-code space.
const DWORD KEY_CODE_COUNT = 270;     // codes 0 .. 269
const DWORD KEY_MOUSE_BUTTON_0 = 256; // mouse buttons 0-3: 256-259
const DWORD KEY_JOY_BUTTON_0 = 260;   // joystick buttons 0-9: 260-269
const DWORD KEY_NAME_SIZE = 12;       // bytes of one key-name slot, terminator included

class TarnInput {
public:
    TarnInput();
    virtual ~TarnInput();

    HRESULT Create(HINSTANCE hInstance, HWND hWnd);
    HRESULT Update();

    HRESULT AcquireKeyboard();
    HRESULT AcquireMouse();
    HRESULT AcquireJoystick();
    HRESULT UnacquireKeyboard();
    HRESULT UnacquireMouse();
    HRESULT UnacquireJoystick();

    void FlushKeys();
    void UpdateKeyState(DWORD key, BOOL down);

    void InitDIKToKeyTable();
    void InitKeyToDIKTable();
    void InitShiftTable();
    void InitKeyNames();

    IDirectInputA* directInput;
    IDirectInputDeviceA* keyboardDevice;
    IDirectInputDeviceA* mouseDevice;
    IDirectInputDevice2A* joystickDevice;

    // Per device: in use, so Update reads it (and acquires it again when the system took it away,
    // for the foreground or lost input). Set by the acquire operations; cleared by the unacquire
    // operations and by an acquisition that fails for any other reason.
    BOOL mouseAcquired;
    BOOL keyboardAcquired;
    BOOL joystickAcquired;
    DWORD joystickSubtype; // bits 8-15 of the joystick's DirectInput device type

    float mouseSensitivity;
    float joystickSensitivity;

    // Clamp rectangles: the minimum is reachable, the maximum is not (at most maximum - 1).
    LONG mouseMinX, mouseMinY;
    LONG mouseMaxX, mouseMaxY;
    LONG joystickMinX, joystickMinY;
    LONG joystickMaxX, joystickMaxY;

    LONG mouseX, mouseY;           // clamped position
    LONG mouseFreeX, mouseFreeY;   // sum of all scaled motion, never clamped
    LONG mouseDeltaX, mouseDeltaY; // scaled motion of the last successful read
    LONG joystickX, joystickY;
    LONG joystickFreeX, joystickFreeY;
    LONG joystickDeltaX, joystickDeltaY;

    BYTE keyState[KEY_CODE_COUNT];
    BYTE keyboardBuffer[256];           // last keyboard read by scan code; bit 7 set = down
    BYTE wheelUp;                       // the last mouse read had positive wheel motion
    BYTE wheelDown;                     // ... negative wheel motion
    BYTE wheelUpCount;                  // notches of the last positive motion
    BYTE wheelDownCount;                // notches of the last negative motion
    DWORD keyPressTime[KEY_CODE_COUNT]; // timeGetTime at each code's last press
    POINT keyPressPos[KEY_CODE_COUNT];  // mouseFreeX/Y at each code's last press

    BYTE shiftTable[KEY_CODE_COUNT]; // shifted character per key code, 0 for none
    DWORD dikToKey[256];             // key code per scan code, 0 for none
    HWND window;
    DWORD keyToDik[256];                          // scan code per key code, 0 for none
    char keyNames[KEY_CODE_COUNT][KEY_NAME_SIZE]; // zero-terminated name per key code

    LONG mouseAccelThreshold1; // raw mouse units
    LONG mouseAccelThreshold2;
    double mouseAccelFactor1; // applied above threshold 1
    double mouseAccelFactor2; // applied above threshold 2
};
