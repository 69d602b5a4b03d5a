// TarnInput's gamepads: the four XInput slots read once per Update, each pad's buttons stepped
// through the keys' four states, the sticks' circular dead zones and the triggers' threshold
// applied when they are asked for, and the motors. XInput is enabled only while the program's
// window is the foreground window, so a program in the background reads its pads as neutral and
// its pads stop rumbling. Nothing here allocates.
#include "input/TarnInput.h"
#include "input/internal/TarnInputParts.h"

#include <cmath>
#include <cstring>

namespace {

// XInput's button bit of each PAD_ button, in the order of the constants.
const WORD kPadButtonBits[PAD_BUTTON_COUNT] = {
    XINPUT_GAMEPAD_A,              // PAD_A
    XINPUT_GAMEPAD_B,              // PAD_B
    XINPUT_GAMEPAD_X,              // PAD_X
    XINPUT_GAMEPAD_Y,              // PAD_Y
    XINPUT_GAMEPAD_LEFT_SHOULDER,  // PAD_LEFT_SHOULDER
    XINPUT_GAMEPAD_RIGHT_SHOULDER, // PAD_RIGHT_SHOULDER
    XINPUT_GAMEPAD_BACK,           // PAD_BACK
    XINPUT_GAMEPAD_START,          // PAD_START
    XINPUT_GAMEPAD_LEFT_THUMB,     // PAD_LEFT_THUMB
    XINPUT_GAMEPAD_RIGHT_THUMB,    // PAD_RIGHT_THUMB
    XINPUT_GAMEPAD_DPAD_UP,        // PAD_UP
    XINPUT_GAMEPAD_DPAD_DOWN,      // PAD_DOWN
    XINPUT_GAMEPAD_DPAD_LEFT,      // PAD_LEFT
    XINPUT_GAMEPAD_DPAD_RIGHT,     // PAD_RIGHT
};

const LONG STICK_FULL = 32767;

bool ValidPad(int pad) {
    return pad >= 0 && pad < PAD_COUNT;
}

LONG RoundToAxis(double value) {
    double rounded = std::floor(value + 0.5);
    if (rounded > STICK_FULL) return STICK_FULL;
    if (rounded < -STICK_FULL) return -STICK_FULL;
    return static_cast<LONG>(rounded);
}

} // namespace

// The foreground decides first: XInput is switched to match it, and on the way into the
// background every pad is told to stand still, so that its motors stay off when the program
// comes back instead of resuming an old request. Then each slot is read; a slot that cannot be
// read (unplugged, or any failure) reads as an unplugged pad, so no button stays down.
void TarnInput::UpdatePads() {
    bool foreground = window == nullptr || GetForegroundWindow() == window;
    if (padsEnabled != (foreground ? 1 : 0)) {
        XInputEnable(foreground ? TRUE : FALSE);
        padsEnabled = foreground ? 1 : 0;
        if (!foreground) {
            for (DWORD pad = 0; pad < PAD_COUNT; ++pad) {
                XINPUT_VIBRATION still = {0, 0};
                if (padRumbling[pad]) XInputSetState(pad, &still);
                padRumbling[pad] = FALSE;
            }
        }
    }
    for (int pad = 0; pad < PAD_COUNT; ++pad) {
        XINPUT_STATE state;
        std::memset(&state, 0, sizeof(state));
        bool connected = XInputGetState(static_cast<DWORD>(pad), &state) == ERROR_SUCCESS;
        if (!connected) {
            std::memset(&state, 0, sizeof(state));
            padRumbling[pad] = FALSE; // an unplugged pad's motors went with it
        }
        padConnected[pad] = connected ? TRUE : FALSE;
        padGamepad[pad] = state.Gamepad;
        for (int button = 0; button < PAD_BUTTON_COUNT; ++button) {
            bool down = (state.Gamepad.wButtons & kPadButtonBits[button]) != 0;
            if (StepKeyState(padButtonState[pad][button], down))
                padButtonPressTime[pad][button] = timeGetTime();
        }
    }
}

bool TarnInput::IsPadConnected(int pad) const {
    return ValidPad(pad) && padConnected[pad];
}

BYTE TarnInput::GetPadButtonState(int pad, int button) const {
    if (!ValidPad(pad) || button < 0 || button >= PAD_BUTTON_COUNT) return KEY_UP;
    return padButtonState[pad][button];
}

DWORD TarnInput::GetPadButtonPressTime(int pad, int button) const {
    if (!ValidPad(pad) || button < 0 || button >= PAD_BUTTON_COUNT) return 0;
    return padButtonPressTime[pad][button];
}

// A radial dead zone: the distance from the centre decides, so a diagonal keeps its direction.
// The distance beyond the zone is stretched over the whole range (a raw distance past full
// deflection, as the corners of a square gate give, counts as full); y turns round to grow
// downwards.
void TarnInput::GetPadStick(int pad, int stick, int* x, int* y) const {
    LONG outX = 0, outY = 0;
    if (ValidPad(pad) && (stick == PAD_STICK_LEFT || stick == PAD_STICK_RIGHT)) {
        const XINPUT_GAMEPAD& g = padGamepad[pad];
        double rawX = stick == PAD_STICK_LEFT ? g.sThumbLX : g.sThumbRX;
        double rawY = stick == PAD_STICK_LEFT ? g.sThumbLY : g.sThumbRY;
        double deadZone = padStickDeadZone[stick] < 0 ? 0 : padStickDeadZone[stick];
        double distance = std::sqrt(rawX * rawX + rawY * rawY);
        if (distance > deadZone && deadZone < STICK_FULL) {
            double reach = distance > STICK_FULL ? STICK_FULL : distance;
            double scale = (reach - deadZone) / (STICK_FULL - deadZone) * STICK_FULL / distance;
            outX = RoundToAxis(rawX * scale);
            outY = RoundToAxis(-rawY * scale);
        }
    }
    if (x) *x = outX;
    if (y) *y = outY;
}

int TarnInput::GetPadTrigger(int pad, int trigger) const {
    if (!ValidPad(pad) || (trigger != PAD_TRIGGER_LEFT && trigger != PAD_TRIGGER_RIGHT)) return 0;
    int raw =
        trigger == PAD_TRIGGER_LEFT ? padGamepad[pad].bLeftTrigger : padGamepad[pad].bRightTrigger;
    int threshold = padTriggerThreshold < 0 ? 0 : padTriggerThreshold;
    if (raw <= threshold || threshold >= 255) return 0;
    return ((raw - threshold) * 255 + (255 - threshold) / 2) / (255 - threshold);
}

int TarnInput::SetPadRumble(int pad, WORD low, WORD high) {
    if (!ValidPad(pad)) return ERROR_BAD_ARGUMENTS;
    XINPUT_VIBRATION vibration = {low, high};
    DWORD result = XInputSetState(static_cast<DWORD>(pad), &vibration);
    if (result == ERROR_SUCCESS) padRumbling[pad] = (low != 0 || high != 0) ? TRUE : FALSE;
    return static_cast<int>(result);
}

// A program that ends with a pad rumbling would leave it rumbling: the motors are stopped, and
// XInput, if this object disabled it, is enabled again for whoever reads the pads next.
void ReleasePads(TarnInput& input) {
    for (DWORD pad = 0; pad < PAD_COUNT; ++pad) {
        if (!input.padRumbling[pad]) continue;
        XINPUT_VIBRATION still = {0, 0};
        XInputSetState(pad, &still);
        input.padRumbling[pad] = FALSE;
    }
    if (input.padsEnabled == 0) XInputEnable(TRUE);
    input.padsEnabled = -1;
}
