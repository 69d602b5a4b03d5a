// TarnInput's devices and polling: creating DirectInput and the keyboard, mouse and joystick
// devices, acquiring them again when the foreground comes and goes, and the once-per-frame Update
// that steps every key code's state machine and moves the mouse and joystick positions. Nothing
// here allocates: all state lives in the object's fixed arrays. The key tables are built in
// TarnKeyTables.cpp.
#include "input/TarnInput.h"
#include "input/internal/TarnInputParts.h"

#include <cmath>
#include <cstring>

namespace {

// Filled by the joystick enumeration callback during Create, emptied again by Create.
IDirectInputDeviceA* g_EnumJoystickDevice = nullptr;

// Attempts made by the acquire operations before they give up: one, then 50 more at once.
const int ACQUIRE_ATTEMPTS = 51;

// The cooperative level of every device: non-exclusive, and only while in the foreground.
const DWORD COOPERATIVE_LEVEL = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;

// Mouse wheel units per notch.
const LONG WHEEL_DELTA_PER_NOTCH = 120;

// The first joystick that can be created is taken: the enumeration stops there.
BOOL CALLBACK EnumJoysticksCallback(LPCDIDEVICEINSTANCEA instance, LPVOID context) {
    IDirectInputA* directInput = static_cast<IDirectInputA*>(context);
    if (instance == nullptr || directInput == nullptr) return DIENUM_CONTINUE;
    HRESULT hr = directInput->CreateDevice(instance->guidInstance, &g_EnumJoystickDevice, nullptr);
    if (FAILED(hr)) {
        g_EnumJoystickDevice = nullptr;
        return DIENUM_CONTINUE;
    }
    return DIENUM_STOP;
}

// A product of a motion and a factor back to an integer, truncated toward zero. Products beyond
// the 32-bit range (an application may set any factor) saturate instead of being undefined.
LONG TruncateToLong(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return (-2147483647 - 1);
    return static_cast<LONG>(value);
}

// Adds a motion to a position that is never clamped; it wraps around like the 32-bit counter it is.
LONG AddWrapping(LONG position, LONG delta) {
    return static_cast<LONG>(static_cast<DWORD>(position) + static_cast<DWORD>(delta));
}

// Moves a clamped position: first the maximum (exclusive), then the minimum (inclusive), so a
// bound pair with the minimum at or above the maximum yields the minimum. The sum is taken in 64
// bits so that a position at the edge of the 32-bit range stops there instead of wrapping.
LONG MoveClamped(LONG position, LONG delta, LONG minimum, LONG maximum) {
    long long moved = static_cast<long long>(position) + delta;
    if (moved >= maximum) moved = static_cast<long long>(maximum) - 1;
    if (moved <= minimum) moved = minimum;
    return static_cast<LONG>(moved);
}

// Mouse acceleration of one axis: above the second threshold the second factor, above the first
// the first factor, else the motion as it is.
LONG Accelerate(LONG value, LONG threshold1, LONG threshold2, double factor1, double factor2) {
    long long magnitude = value < 0 ? -static_cast<long long>(value) : value;
    if (magnitude > threshold2) return TruncateToLong(value * factor2);
    if (magnitude > threshold1) return TruncateToLong(value * factor1);
    return value;
}

// The notches of one wheel motion, kept in a byte as the state field is.
BYTE WheelNotches(LONG motion) {
    long long magnitude = motion < 0 ? -static_cast<long long>(motion) : motion;
    return static_cast<BYTE>((magnitude / WHEEL_DELTA_PER_NOTCH) & 0xFF);
}

bool ButtonDown(BYTE value) {
    return (value & 0x80) != 0;
}

// Releases one interface and empties the field holding it.
template <typename Device> void ReleaseDevice(Device*& device) {
    if (device == nullptr) return;
    device->Release();
    device = nullptr;
}

// An acquisition refused because the window is not in the foreground, or lost with the input,
// is the system's doing, not the program's: the device stays in use and Update asks for it again.
bool LostWithoutAsking(HRESULT hr) {
    return hr == DIERR_OTHERAPPHASPRIO || hr == DIERR_INPUTLOST;
}

// Up to ACQUIRE_ATTEMPTS calls of Acquire in immediate succession; the last result.
template <typename Device> HRESULT AcquireWithRetries(Device* device) {
    HRESULT hr = device->Acquire();
    for (int attempt = 1; FAILED(hr) && attempt < ACQUIRE_ATTEMPTS; ++attempt)
        hr = device->Acquire();
    return hr;
}

// Unacquires and releases the devices, then DirectInput itself: what the destructor does, and
// what a second Create does before it starts again.
void ReleaseEverything(TarnInput& input) {
    if (input.keyboardDevice != nullptr) input.UnacquireKeyboard();
    if (input.mouseDevice != nullptr) input.UnacquireMouse();
    if (input.joystickDevice != nullptr) input.UnacquireJoystick();
    ReleaseDevice(input.keyboardDevice);
    ReleaseDevice(input.mouseDevice);
    ReleaseDevice(input.joystickDevice);
    ReleaseDevice(input.directInput);
}

} // namespace

TarnInput::TarnInput()
    : directInput(nullptr), keyboardDevice(nullptr), mouseDevice(nullptr), joystickDevice(nullptr),
      mouseAcquired(0), keyboardAcquired(0), joystickAcquired(0), keyboardUnacquired(FALSE),
      joystickSubtype(0), mouseSensitivity(1.0f), joystickSensitivity(1.0f),
      mouseMinX(-2147483647 - 1), mouseMinY(-2147483647 - 1), mouseMaxX(2147483647),
      mouseMaxY(2147483647), joystickMinX(-2147483647 - 1), joystickMinY(-2147483647 - 1),
      joystickMaxX(2147483647), joystickMaxY(2147483647), mouseX(0), mouseY(0), mouseFreeX(0),
      mouseFreeY(0), mouseDeltaX(0), mouseDeltaY(0), joystickX(0), joystickY(0), joystickFreeX(0),
      joystickFreeY(0), joystickDeltaX(0), joystickDeltaY(0), keyState(), keyboardBuffer(),
      wheelUp(0), wheelDown(0), wheelUpCount(0), wheelDownCount(0), keyPressTime(), keyPressPos(),
      shiftTable(), dikToKey(), window(nullptr), keyToDik(), keyNames(), padConnected(),
      padGamepad(), padButtonState(),
      padButtonPressTime(), padStickDeadZone{XINPUT_GAMEPAD_LEFT_THUMB_DEADZONE,
                                             XINPUT_GAMEPAD_RIGHT_THUMB_DEADZONE},
      padTriggerThreshold(XINPUT_GAMEPAD_TRIGGER_THRESHOLD), padRumbling(), padsEnabled(-1),
      mouseAccelThreshold1(2), mouseAccelThreshold2(6), mouseAccelFactor1(1.5),
      mouseAccelFactor2(2.0) {
    FlushKeys();
    // The key tables are constant data: there from the start, whatever the devices do.
    InitDIKToKeyTable();
    InitKeyToDIKTable();
    InitShiftTable();
    InitKeyNames();
}

TarnInput::~TarnInput() {
    ReleaseEverything(*this);
    ReleasePads(*this);
}

// Creates DirectInput and the mouse, keyboard and joystick devices in that order. A missing mouse
// or keyboard is left out; an acquisition refused only because another application has the
// foreground is tolerated (the device stays in use and Update acquires it once the program is
// active). Any other failure ends Create at once with its result, and the devices made so far
// stay for the destructor.
HRESULT TarnInput::Create(HINSTANCE hInstance, HWND hWnd) {
    // A second Create replaces the devices of the first instead of leaking them.
    ReleaseEverything(*this);

    window = hWnd;
    HRESULT hr = DirectInputCreateA(hInstance, 0x0700, &directInput, nullptr);
    if (FAILED(hr)) {
        directInput = nullptr;
        return hr;
    }

    // Mouse.
    if (SUCCEEDED(directInput->CreateDevice(GUID_SysMouse, &mouseDevice, nullptr)) &&
        mouseDevice != nullptr) {
        mouseDevice->SetDataFormat(&c_dfDIMouse);
        mouseDevice->SetCooperativeLevel(hWnd, COOPERATIVE_LEVEL);
        hr = AcquireMouse();
        if (FAILED(hr) && hr != DIERR_OTHERAPPHASPRIO) return hr;
        POINT cursor = {0, 0};
        if (GetCursorPos(&cursor)) {
            mouseX = cursor.x;
            mouseY = cursor.y;
        }
    } else {
        mouseDevice = nullptr;
    }

    // Keyboard.
    if (SUCCEEDED(directInput->CreateDevice(GUID_SysKeyboard, &keyboardDevice, nullptr)) &&
        keyboardDevice != nullptr) {
        keyboardDevice->SetDataFormat(&c_dfDIKeyboard);
        keyboardDevice->SetCooperativeLevel(hWnd, COOPERATIVE_LEVEL);
        hr = AcquireKeyboard();
        if (FAILED(hr) && hr != DIERR_OTHERAPPHASPRIO) return hr;
    } else {
        keyboardDevice = nullptr;
    }

    // Joystick: the first attached one that can be created.
    g_EnumJoystickDevice = nullptr;
    directInput->EnumDevices(DIDEVTYPE_JOYSTICK, EnumJoysticksCallback, directInput,
                             DIEDFL_ATTACHEDONLY);
    if (g_EnumJoystickDevice == nullptr) return 0;

    void* joystick2 = nullptr;
    hr = g_EnumJoystickDevice->QueryInterface(IID_IDirectInputDevice2A, &joystick2);
    // The enumerated interface is released whether or not the second one was obtained, so a
    // failed query leaks nothing and leaves no stale pointer behind.
    g_EnumJoystickDevice->Release();
    g_EnumJoystickDevice = nullptr;
    if (FAILED(hr)) return hr;
    joystickDevice = static_cast<IDirectInputDevice2A*>(joystick2);
    if (joystickDevice == nullptr) return DIERR_NOINTERFACE;

    joystickDevice->SetDataFormat(&c_dfDIJoystick);
    joystickDevice->SetCooperativeLevel(hWnd, COOPERATIVE_LEVEL);

    const DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    for (DWORD axis : axes) {
        DIPROPRANGE range;
        range.diph.dwSize = sizeof(DIPROPRANGE);
        range.diph.dwHeaderSize = sizeof(DIPROPHEADER);
        range.diph.dwObj = axis;
        range.diph.dwHow = DIPH_BYOFFSET;
        range.lMin = -1000;
        range.lMax = 1000;
        hr = joystickDevice->SetProperty(DIPROP_RANGE, &range.diph);
        if (FAILED(hr)) return hr;
    }
    for (DWORD axis : axes) {
        DIPROPDWORD deadZone;
        deadZone.diph.dwSize = sizeof(DIPROPDWORD);
        deadZone.diph.dwHeaderSize = sizeof(DIPROPHEADER);
        deadZone.diph.dwObj = axis;
        deadZone.diph.dwHow = DIPH_BYOFFSET;
        deadZone.dwData = 1000; // 10 % of the range
        hr = joystickDevice->SetProperty(DIPROP_DEADZONE, &deadZone.diph);
        if (FAILED(hr)) return hr;
    }

    hr = AcquireJoystick();
    if (FAILED(hr) && hr != DIERR_OTHERAPPHASPRIO) return hr;

    DIDEVICEINSTANCEA info;
    std::memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(DIDEVICEINSTANCEA);
    joystickDevice->GetDeviceInfo(&info);
    joystickSubtype = (info.dwDevType >> 8) & 0xFF;
    return 0;
}

// Acquiring: the flag goes to 1 first, then up to 51 attempts in immediate succession. The flag
// says the device is in use (Update reads it): it stays 1 when only the foreground or the input
// is missing, so that Update asks again once the program is active, and falls to 0 on any other
// failure. A keyboard that comes back starts from a clean slate (every key up).
HRESULT TarnInput::AcquireKeyboard() {
    if (keyboardDevice == nullptr) return (HRESULT)0xFFFFFFFF;
    keyboardAcquired = 1;
    keyboardUnacquired = FALSE;
    HRESULT hr = AcquireWithRetries(keyboardDevice);
    if (SUCCEEDED(hr))
        FlushKeys();
    else if (!LostWithoutAsking(hr))
        keyboardAcquired = 0;
    return hr;
}

HRESULT TarnInput::AcquireMouse() {
    if (mouseDevice == nullptr) return (HRESULT)0xFFFFFFFF;
    mouseAcquired = 1;
    HRESULT hr = AcquireWithRetries(mouseDevice);
    if (FAILED(hr) && !LostWithoutAsking(hr)) mouseAcquired = 0;
    return hr;
}

HRESULT TarnInput::AcquireJoystick() {
    if (joystickDevice == nullptr) return (HRESULT)0xFFFFFFFF;
    joystickAcquired = 1;
    HRESULT hr = AcquireWithRetries(joystickDevice);
    if (FAILED(hr) && !LostWithoutAsking(hr)) joystickAcquired = 0;
    return hr;
}

HRESULT TarnInput::UnacquireKeyboard() {
    if (keyboardDevice == nullptr) return (HRESULT)0xFFFFFFFF;
    FlushKeys();
    keyboardAcquired = 0;
    keyboardUnacquired = TRUE;
    return keyboardDevice->Unacquire();
}

HRESULT TarnInput::UnacquireMouse() {
    if (mouseDevice == nullptr) return (HRESULT)0xFFFFFFFF;
    mouseAcquired = 0;
    return mouseDevice->Unacquire();
}

HRESULT TarnInput::UnacquireJoystick() {
    if (joystickDevice == nullptr) return (HRESULT)0xFFFFFFFF;
    joystickAcquired = 0;
    return joystickDevice->Unacquire();
}

void TarnInput::FlushKeys() {
    std::memset(keyState, 0, sizeof(keyState));
    std::memset(keyboardBuffer, 0, sizeof(keyboardBuffer));
    wheelUp = 0;
    wheelDown = 0;
    wheelUpCount = 0;
    wheelDownCount = 0;
    std::memset(keyPressTime, 0, sizeof(keyPressTime));
    std::memset(keyPressPos, 0, sizeof(keyPressPos));
}

// One step of a key code's state machine: a press is seen once as KEY_PRESSED (recording when
// and where it happened), a release once as KEY_RELEASED. Codes outside the table are ignored.
void TarnInput::UpdateKeyState(DWORD key, BOOL down) {
    if (key >= KEY_CODE_COUNT) return;
    if (StepKeyState(keyState[key], down != 0)) {
        keyPressTime[key] = timeGetTime();
        keyPressPos[key].x = mouseFreeX;
        keyPressPos[key].y = mouseFreeY;
    }
}

// One poll in a fixed order: the pads, then keyboard, mouse, joystick. The keyboard is read
// whatever became of its last acquisition, so one that failed, however it failed, is asked for
// again every poll until it comes; the mouse and the joystick only while they are in use (their
// flag is 1). A device the program unacquired is left alone until it acquires it again. A failed
// read asks for the device again and ends the poll with the read's result; the devices after it
// keep their state until the next. The pads come first, so that a DirectInput device refused in
// the background never keeps them from reading as released.
HRESULT TarnInput::Update() {
    HRESULT hr;
    UpdatePads();

    // Without a keyboard device the keyboard step is skipped and the others are read.
    if (keyboardDevice != nullptr && !keyboardUnacquired) {
        hr = keyboardDevice->GetDeviceState(sizeof(keyboardBuffer), keyboardBuffer);
        if (FAILED(hr)) {
            AcquireKeyboard();
            return hr;
        }
        for (DWORD dik = 0; dik < 256; ++dik)
            UpdateKeyState(dikToKey[dik], ButtonDown(keyboardBuffer[dik]));
    }

    if (mouseAcquired && mouseDevice != nullptr) {
        DIMOUSESTATE mouse;
        std::memset(&mouse, 0, sizeof(mouse));
        hr = mouseDevice->GetDeviceState(sizeof(DIMOUSESTATE), &mouse);
        if (FAILED(hr)) {
            AcquireMouse();
            return hr;
        }
        LONG ax = Accelerate(mouse.lX, mouseAccelThreshold1, mouseAccelThreshold2,
                             mouseAccelFactor1, mouseAccelFactor2);
        LONG ay = Accelerate(mouse.lY, mouseAccelThreshold1, mouseAccelThreshold2,
                             mouseAccelFactor1, mouseAccelFactor2);
        LONG dx = TruncateToLong(static_cast<double>(ax) * mouseSensitivity);
        LONG dy = TruncateToLong(static_cast<double>(ay) * mouseSensitivity);
        mouseX = MoveClamped(mouseX, dx, mouseMinX, mouseMaxX);
        mouseY = MoveClamped(mouseY, dy, mouseMinY, mouseMaxY);
        mouseFreeX = AddWrapping(mouseFreeX, dx);
        mouseFreeY = AddWrapping(mouseFreeY, dy);
        mouseDeltaX = dx;
        mouseDeltaY = dy;

        // Left, right, middle, and the fourth button into its own code (259).
        for (DWORD i = 0; i < 4; ++i)
            UpdateKeyState(KEY_MOUSE_BUTTON_0 + i, ButtonDown(mouse.rgbButtons[i]));

        if (mouse.lZ == 0) {
            wheelUp = 0;
            wheelDown = 0;
        } else if (mouse.lZ > 0) {
            wheelUpCount = WheelNotches(mouse.lZ);
            wheelUp = 1;
            wheelDown = 0;
        } else {
            wheelDownCount = WheelNotches(mouse.lZ);
            wheelDown = 1;
            wheelUp = 0;
        }
    }

    if (joystickAcquired && joystickDevice != nullptr) {
        joystickDevice->Poll();
        DIJOYSTATE joystick;
        std::memset(&joystick, 0, sizeof(joystick));
        hr = joystickDevice->GetDeviceState(sizeof(DIJOYSTATE), &joystick);
        if (FAILED(hr)) {
            AcquireJoystick();
            return hr;
        }
        LONG jx = TruncateToLong(static_cast<double>(joystick.lX) * joystickSensitivity);
        LONG jy = TruncateToLong(static_cast<double>(joystick.lY) * joystickSensitivity);
        joystickX = MoveClamped(joystickX, jx, joystickMinX, joystickMaxX);
        joystickY = MoveClamped(joystickY, jy, joystickMinY, joystickMaxY);
        joystickFreeX = AddWrapping(joystickFreeX, jx);
        joystickFreeY = AddWrapping(joystickFreeY, jy);
        joystickDeltaX = jx;
        joystickDeltaY = jy;
        for (DWORD i = 0; i < 10; ++i)
            UpdateKeyState(KEY_JOY_BUTTON_0 + i, ButtonDown(joystick.rgbButtons[i]));
    }
    return 0;
}
