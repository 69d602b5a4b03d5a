// XInput as the library uses it: the state, vibration and capabilities of up to four gamepads of
// the common layout, declared with the real SDK's names, values and structure layouts. On Linux
// the pads come from the host (SDL2's game controllers, or the headless host's scripted pads).
#pragma once

#include "windef.h"
#include "winbase.h"

// Result codes of the calls (besides ERROR_SUCCESS).
#define ERROR_BAD_ARGUMENTS 160L
#define ERROR_DEVICE_NOT_CONNECTED 1167L

// Pads, numbered 0 .. XUSER_MAX_COUNT - 1.
#define XUSER_MAX_COUNT 4
#define XUSER_INDEX_ANY 0x000000FF

// Bits of XINPUT_GAMEPAD::wButtons.
#define XINPUT_GAMEPAD_DPAD_UP 0x0001
#define XINPUT_GAMEPAD_DPAD_DOWN 0x0002
#define XINPUT_GAMEPAD_DPAD_LEFT 0x0004
#define XINPUT_GAMEPAD_DPAD_RIGHT 0x0008
#define XINPUT_GAMEPAD_START 0x0010
#define XINPUT_GAMEPAD_BACK 0x0020
#define XINPUT_GAMEPAD_LEFT_THUMB 0x0040
#define XINPUT_GAMEPAD_RIGHT_THUMB 0x0080
#define XINPUT_GAMEPAD_LEFT_SHOULDER 0x0100
#define XINPUT_GAMEPAD_RIGHT_SHOULDER 0x0200
#define XINPUT_GAMEPAD_A 0x1000
#define XINPUT_GAMEPAD_B 0x2000
#define XINPUT_GAMEPAD_X 0x4000
#define XINPUT_GAMEPAD_Y 0x8000

// The recommended dead zones of the sticks and the trigger threshold.
#define XINPUT_GAMEPAD_LEFT_THUMB_DEADZONE 7849
#define XINPUT_GAMEPAD_RIGHT_THUMB_DEADZONE 8689
#define XINPUT_GAMEPAD_TRIGGER_THRESHOLD 30

// XInputGetCapabilities: what to ask for, and what a pad is.
#define XINPUT_FLAG_GAMEPAD 0x00000001
#define XINPUT_DEVTYPE_GAMEPAD 0x01
#define XINPUT_DEVSUBTYPE_GAMEPAD 0x01
#define XINPUT_CAPS_FFB_SUPPORTED 0x0001
#define XINPUT_CAPS_WIRELESS 0x0002
#define XINPUT_CAPS_VOICE_SUPPORTED 0x0004
#define XINPUT_CAPS_PMD_SUPPORTED 0x0008
#define XINPUT_CAPS_NO_NAVIGATION 0x0010

// 12 bytes: buttons, triggers 0..255, sticks -32768..32767 with y growing upwards.
typedef struct _XINPUT_GAMEPAD {
    WORD wButtons;
    BYTE bLeftTrigger;
    BYTE bRightTrigger;
    SHORT sThumbLX;
    SHORT sThumbLY;
    SHORT sThumbRX;
    SHORT sThumbRY;
} XINPUT_GAMEPAD, *PXINPUT_GAMEPAD;

// 16 bytes: dwPacketNumber changes whenever the pad's state does.
typedef struct _XINPUT_STATE {
    DWORD dwPacketNumber;
    XINPUT_GAMEPAD Gamepad;
} XINPUT_STATE, *PXINPUT_STATE;

// 4 bytes: the left motor is the low-frequency one, the right the high-frequency one.
typedef struct _XINPUT_VIBRATION {
    WORD wLeftMotorSpeed;
    WORD wRightMotorSpeed;
} XINPUT_VIBRATION, *PXINPUT_VIBRATION;

// 20 bytes.
typedef struct _XINPUT_CAPABILITIES {
    BYTE Type;
    BYTE SubType;
    WORD Flags;
    XINPUT_GAMEPAD Gamepad;
    XINPUT_VIBRATION Vibration;
} XINPUT_CAPABILITIES, *PXINPUT_CAPABILITIES;

// ERROR_SUCCESS with the pad's state, ERROR_DEVICE_NOT_CONNECTED, or ERROR_BAD_ARGUMENTS.
DWORD WINAPI XInputGetState(DWORD dwUserIndex, XINPUT_STATE* pState);
// Sets the two motors; while XInput is disabled the request is kept and sent when it is enabled.
DWORD WINAPI XInputSetState(DWORD dwUserIndex, XINPUT_VIBRATION* pVibration);
DWORD WINAPI XInputGetCapabilities(DWORD dwUserIndex, DWORD dwFlags,
                                   XINPUT_CAPABILITIES* pCapabilities);
// FALSE: every pad reads as neutral and the motors stop, until TRUE.
void WINAPI XInputEnable(BOOL enable);
