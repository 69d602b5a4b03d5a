/// @file
/// TarnInput: the keyboard, the mouse and the first joystick, read once per frame through
/// DirectInput in immediate mode, and up to four gamepads through XInput. After each Update the
/// object holds a four-valued state for every key code (keyboard keys 0-176, mouse buttons 256-259,
/// joystick buttons 260-269), the time and mouse position of each code's last press, the mouse and
/// joystick positions moved by scaled, clamped relative motion, the wheel motion of the last poll,
/// and the key-code tables (scan code to key code and back, shifted characters, key names; built at
/// construction, whatever the devices do). The application reads the state and changes the settings
/// (sensitivities, bounds, acceleration) through the public fields.
#pragma once

#include <windows.h>
#include <dinput.h>
#include <xinput.h>

// Key states, one byte per key code in keyState.
const BYTE KEY_UP = 0;       ///< up now and at the previous read
const BYTE KEY_RELEASED = 1; ///< went up at this read
const BYTE KEY_PRESSED = 2;  ///< went down at this read
const BYTE KEY_HELD = 3;     ///< down now and at the previous read

// The key-code space.
const DWORD KEY_CODE_COUNT = 270;     ///< codes 0 .. 269
const DWORD KEY_MOUSE_BUTTON_0 = 256; ///< mouse buttons 0-3: 256-259
const DWORD KEY_JOY_BUTTON_0 = 260;   ///< joystick buttons 0-9: 260-269
const DWORD KEY_NAME_SIZE = 12;       ///< bytes of one key-name slot, terminator included

/// Key codes of keys without a character of their own (letters are their lower-case character,
/// digits their digit, and so on: keyState['a'], keyState['1'], keyState[' ']).
/// @{
const DWORD KEY_CODE_BACKSPACE = 8;
const DWORD KEY_CODE_TAB = 9;
const DWORD KEY_CODE_ENTER = 13;
const DWORD KEY_CODE_ESCAPE = 27;
const DWORD KEY_CODE_SPACE = 32;
const DWORD KEY_CODE_LEFT_SHIFT = 128;
const DWORD KEY_CODE_RIGHT_SHIFT = 129;
const DWORD KEY_CODE_LEFT_CTRL = 130;
const DWORD KEY_CODE_RIGHT_CTRL = 131;
const DWORD KEY_CODE_LEFT_ALT = 132;
const DWORD KEY_CODE_RIGHT_ALT = 133;
const DWORD KEY_CODE_LEFT = 134;  ///< the arrow keys
const DWORD KEY_CODE_RIGHT = 135; ///< ...
const DWORD KEY_CODE_UP = 136;    ///< ...
const DWORD KEY_CODE_DOWN = 137;  ///< ...
const DWORD KEY_CODE_F1 = 138;
const DWORD KEY_CODE_F2 = 139;
const DWORD KEY_CODE_F3 = 140;
const DWORD KEY_CODE_F4 = 141;
const DWORD KEY_CODE_F5 = 142;
const DWORD KEY_CODE_F6 = 143;
const DWORD KEY_CODE_F7 = 144;
const DWORD KEY_CODE_F8 = 145;
const DWORD KEY_CODE_F9 = 146;
const DWORD KEY_CODE_F10 = 147;
const DWORD KEY_CODE_F11 = 148;
const DWORD KEY_CODE_F12 = 149;
const DWORD KEY_CODE_INSERT = 150;
const DWORD KEY_CODE_DELETE = 151;
const DWORD KEY_CODE_HOME = 152;
const DWORD KEY_CODE_END = 153;
const DWORD KEY_CODE_PAGE_UP = 154;
const DWORD KEY_CODE_PAGE_DOWN = 155;
/// @}

/// The letters' and digits' key codes by name: a letter's code is its lower-case character
/// (KEY_CODE_A == 'a'), a digit's its digit (KEY_CODE_0 == '0').
/// @{
const DWORD KEY_CODE_A = 'a', KEY_CODE_B = 'b', KEY_CODE_C = 'c', KEY_CODE_D = 'd';
const DWORD KEY_CODE_E = 'e', KEY_CODE_F = 'f', KEY_CODE_G = 'g', KEY_CODE_H = 'h';
const DWORD KEY_CODE_I = 'i', KEY_CODE_J = 'j', KEY_CODE_K = 'k', KEY_CODE_L = 'l';
const DWORD KEY_CODE_M = 'm', KEY_CODE_N = 'n', KEY_CODE_O = 'o', KEY_CODE_P = 'p';
const DWORD KEY_CODE_Q = 'q', KEY_CODE_R = 'r', KEY_CODE_S = 's', KEY_CODE_T = 't';
const DWORD KEY_CODE_U = 'u', KEY_CODE_V = 'v', KEY_CODE_W = 'w', KEY_CODE_X = 'x';
const DWORD KEY_CODE_Y = 'y', KEY_CODE_Z = 'z';
const DWORD KEY_CODE_0 = '0', KEY_CODE_1 = '1', KEY_CODE_2 = '2', KEY_CODE_3 = '3';
const DWORD KEY_CODE_4 = '4', KEY_CODE_5 = '5', KEY_CODE_6 = '6', KEY_CODE_7 = '7';
const DWORD KEY_CODE_8 = '8', KEY_CODE_9 = '9';
/// @}

/// Gamepads: up to four pads of the common layout (XInput's slots 0-3).
/// @{
const int PAD_COUNT = 4;
/// Buttons, for GetPadButtonState.
const int PAD_A = 0;
const int PAD_B = 1;
const int PAD_X = 2;
const int PAD_Y = 3;
const int PAD_LEFT_SHOULDER = 4;
const int PAD_RIGHT_SHOULDER = 5;
const int PAD_BACK = 6;
const int PAD_START = 7;
const int PAD_LEFT_THUMB = 8;  ///< the left stick pressed in
const int PAD_RIGHT_THUMB = 9; ///< the right stick pressed in
const int PAD_UP = 10;         ///< the d-pad
const int PAD_DOWN = 11;       ///< ...
const int PAD_LEFT = 12;       ///< ...
const int PAD_RIGHT = 13;      ///< ...
const int PAD_BUTTON_COUNT = 14;
/// Axes of a pad for TarnGame::Axis: a stick's across or down (down positive), or the d-pad
/// read as -1, 0 or 1 (left or up negative).
/// @{
const int PAD_AXIS_NONE = -1;
const int PAD_AXIS_LEFT_X = 0;
const int PAD_AXIS_LEFT_Y = 1;
const int PAD_AXIS_RIGHT_X = 2;
const int PAD_AXIS_RIGHT_Y = 3;
const int PAD_AXIS_DPAD_X = 4;
const int PAD_AXIS_DPAD_Y = 5;
/// @}
/// Sticks, for GetPadStick.
const int PAD_STICK_LEFT = 0;
const int PAD_STICK_RIGHT = 1; ///< ...
/// Triggers, for GetPadTrigger.
const int PAD_TRIGGER_LEFT = 0;
const int PAD_TRIGGER_RIGHT = 1; ///< ...
/// @}

/// The keyboard, the mouse, the first joystick and the gamepads, read once per frame by Update
/// into the public fields.
class TarnInput {
public:
    /// Builds the key-code tables; no devices until Create.
    TarnInput();
    /// Releases the devices and DirectInput.
    virtual ~TarnInput();

    /// Makes DirectInput and the devices for the window (replacing those of an earlier Create)
    /// and acquires them: the mouse, the keyboard, then the first attached joystick (axes
    /// -1000 to 1000, a 10 % dead zone). A missing mouse, keyboard or joystick is not an error.
    /// 0 on success; else the first failure (DirectInput, a device's acquisition other than
    /// another program having priority, the joystick's interface or properties).
    HRESULT Create(HINSTANCE hInstance, HWND hWnd);
    /// Reads the gamepads, then the keyboard, the mouse and the joystick once and updates the
    /// key and pad button states, positions and wheel fields. 0 on success; a failed read of a
    /// DirectInput device asks for the device again and returns the read's failure (the devices
    /// after it are not read this time). A keyboard whose acquisition failed is asked for again
    /// by every poll until it comes. The pads never fail it: a pad that cannot be read reads as
    /// unplugged.
    HRESULT Update();
    /// The gamepad part of Update (Update calls it; it needs no Create): reads the four slots
    /// through XInput and steps every pad button's state. While the window given to Create is
    /// not the foreground window, XInput is disabled: pads read as neutral (held buttons are
    /// released) and their motors stop.
    void UpdatePads();

    /// @{
    /// Takes the device for reading (up to 51 tries); the keyboard then starts with every key
    /// up. Its result, or 0xFFFFFFFF without that device. The device stays in use (Update asks
    /// again) when only the foreground or the input is missing.
    HRESULT AcquireKeyboard();
    HRESULT AcquireMouse();
    HRESULT AcquireJoystick();
    /// @}
    /// @{
    /// Gives the device up (the keyboard with every key up) so Update no longer reads it; the
    /// unacquire's result, or 0xFFFFFFFF without that device.
    HRESULT UnacquireKeyboard();
    HRESULT UnacquireMouse();
    HRESULT UnacquireJoystick();
    /// @}

    /// Puts every key code to KEY_UP and clears the keyboard buffer, the wheel fields and the
    /// press times and positions.
    void FlushKeys();
    /// One step of a key code's state: KEY_PRESSED once on a press (recording its time and
    /// position), then KEY_HELD; KEY_RELEASED once on a release, then KEY_UP. Codes from
    /// KEY_CODE_COUNT on are ignored.
    void UpdateKeyState(DWORD key, BOOL down);

    /// @{
    /// @name Gamepads
    /// As read by the last Update. A pad out of range (0 .. PAD_COUNT - 1), or a button, stick
    /// or trigger out of range, reads as nothing.

    /// A pad is plugged into the slot.
    bool IsPadConnected(int pad) const;
    /// KEY_UP, KEY_RELEASED, KEY_PRESSED or KEY_HELD by the keys' own rules (a press is seen
    /// once as KEY_PRESSED, then KEY_HELD); `button` is PAD_A ... PAD_RIGHT. An unplugged pad's
    /// held buttons go KEY_RELEASED once, then KEY_UP.
    BYTE GetPadButtonState(int pad, int button) const;
    /// timeGetTime at the button's last press, 0 before the first.
    DWORD GetPadButtonPressTime(int pad, int button) const;
    /// A stick's position, -32767 .. 32767 on each axis, y growing downwards. Inside the dead
    /// zone (padStickDeadZone, a circle) it reads 0, 0; beyond it the distance is rescaled so
    /// that the dead zone's edge reads 0 and full deflection the full range, in the stick's
    /// own direction. Either pointer may be null.
    void GetPadStick(int pad, int stick, int* x, int* y) const;
    /// A trigger, 0 .. 255: 0 up to padTriggerThreshold, rescaled above it so that a full
    /// press reads 255.
    int GetPadTrigger(int pad, int trigger) const;
    /// Runs the pad's two motors, `low` the low-frequency (left) one and `high` the
    /// high-frequency (right) one, 0 .. 65535 (0, 0 stops them). They run until told otherwise,
    /// and stop when the program loses the foreground, when the pad is unplugged and when this
    /// object is destroyed. ERROR_SUCCESS (0), ERROR_DEVICE_NOT_CONNECTED, or
    /// ERROR_BAD_ARGUMENTS for a pad out of range.
    int SetPadRumble(int pad, WORD low, WORD high);
    /// @}

    /// Fills dikToKey (called by the constructor).
    void InitDIKToKeyTable();
    /// Fills keyToDik (called by the constructor).
    void InitKeyToDIKTable();
    /// Fills shiftTable (called by the constructor).
    void InitShiftTable();
    /// Fills keyNames (called by the constructor).
    void InitKeyNames();

    IDirectInputA* directInput;           ///< DirectInput, one reference owned; null before Create
    IDirectInputDeviceA* keyboardDevice;  ///< the keyboard, owned; null when none
    IDirectInputDeviceA* mouseDevice;     ///< the mouse, owned; null when none
    IDirectInputDevice2A* joystickDevice; ///< the first joystick, owned; null when none

    /// Per device: in use. Set by the acquire operations; kept when only the foreground or the
    /// input is missing; cleared by the unacquire operations and by an acquisition that fails for
    /// any other reason. Update reads the mouse and the joystick only while theirs is set (and
    /// acquires them again when the system took them away); it reads the keyboard whatever its
    /// flag, asking for it again every poll until it comes, unless keyboardUnacquired is set.
    /// @{
    BOOL mouseAcquired;
    BOOL keyboardAcquired;
    BOOL joystickAcquired;
    /// @}
    /// TRUE from UnacquireKeyboard until the next AcquireKeyboard: the program gave the keyboard
    /// up, and Update leaves it alone.
    BOOL keyboardUnacquired;
    DWORD joystickSubtype; ///< bits 8-15 of the joystick's DirectInput device type

    float mouseSensitivity;    ///< factor on the mouse's motion
    float joystickSensitivity; ///< factor on the joystick's axes

    /// Clamp rectangles: the minimum is reachable, the maximum is not (at most maximum - 1).
    /// @{
    LONG mouseMinX, mouseMinY;
    LONG mouseMaxX, mouseMaxY;
    LONG joystickMinX, joystickMinY;
    LONG joystickMaxX, joystickMaxY;
    /// @}

    /// @{
    /// The mouse's clamped position.
    LONG mouseX, mouseY;
    /// @}
    /// @{
    /// Sum of all scaled mouse motion, never clamped.
    LONG mouseFreeX, mouseFreeY;
    /// @}
    /// @{
    /// Scaled mouse motion of the last successful read.
    LONG mouseDeltaX, mouseDeltaY;
    /// @}
    /// @{
    /// The joystick's clamped position.
    LONG joystickX, joystickY;
    /// @}
    /// @{
    /// Sum of all scaled joystick motion, never clamped.
    LONG joystickFreeX, joystickFreeY;
    /// @}
    /// @{
    /// Scaled joystick motion of the last successful read.
    LONG joystickDeltaX, joystickDeltaY;
    /// @}

    BYTE keyState[KEY_CODE_COUNT];      ///< KEY_UP, KEY_RELEASED, KEY_PRESSED or KEY_HELD per code
    BYTE keyboardBuffer[256];           ///< last keyboard read by scan code; bit 7 set = down
    BYTE wheelUp;                       ///< the last mouse read had positive wheel motion
    BYTE wheelDown;                     ///< ... negative wheel motion
    BYTE wheelUpCount;                  ///< notches of the last positive motion
    BYTE wheelDownCount;                ///< notches of the last negative motion
    DWORD keyPressTime[KEY_CODE_COUNT]; ///< timeGetTime at each code's last press
    POINT keyPressPos[KEY_CODE_COUNT];  ///< mouseFreeX/Y at each code's last press

    BYTE shiftTable[KEY_CODE_COUNT];              ///< shifted character per key code, 0 for none
    DWORD dikToKey[256];                          ///< key code per scan code, 0 for none
    HWND window;                                  ///< the window given to Create, not owned
    DWORD keyToDik[256];                          ///< scan code per key code, 0 for none
    char keyNames[KEY_CODE_COUNT][KEY_NAME_SIZE]; ///< zero-terminated name per key code

    BOOL padConnected[PAD_COUNT];                     ///< a pad is in the slot
    XINPUT_GAMEPAD padGamepad[PAD_COUNT];             ///< each pad's raw state (neutral when none)
    BYTE padButtonState[PAD_COUNT][PAD_BUTTON_COUNT]; ///< KEY_UP ... KEY_HELD per button
    DWORD padButtonPressTime[PAD_COUNT][PAD_BUTTON_COUNT]; ///< timeGetTime at each last press
    /// Radius of each stick's dead zone (PAD_STICK_LEFT, PAD_STICK_RIGHT) in raw units; XInput's
    /// recommended values to begin with.
    int padStickDeadZone[2];
    int padTriggerThreshold;     ///< a trigger reads 0 up to this raw value (XInput's)
    BOOL padRumbling[PAD_COUNT]; ///< a motor was set running through SetPadRumble
    int padsEnabled;             ///< XInput's state as last set: 1, 0, or -1 before

    LONG mouseAccelThreshold1; ///< raw mouse units
    LONG mouseAccelThreshold2; ///< raw mouse units, above threshold 1
    double mouseAccelFactor1;  ///< applied above threshold 1
    double mouseAccelFactor2;  ///< applied above threshold 2
};
