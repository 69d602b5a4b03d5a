// The XInput calls over the host's gamepads. The host reports each slot's raw state; here it
// becomes XInput's: a packet number that moves only when the state changes, neutral state for
// every pad while XInput is disabled (the program is in the background), and vibration requests
// that are kept while disabled and sent when it is enabled again. A pad that goes away takes its
// vibration with it: plugged in again, it starts still.
#include <xinput.h>

#include "host/Host.h"
#include "internal/MachineEvents.h"
#include "internal/StandIn.h"
#include "xinput/XInputState.h"

namespace tarn::platform {
namespace {

struct Slot {
    XINPUT_GAMEPAD last = {};     // the state reported last
    DWORD packet = 0;             // its packet number
    XINPUT_VIBRATION wanted = {}; // the program's last vibration request
    bool connected = false;       // at the last look
};

struct XInputState {
    bool enabled = true;
    Slot slots[XUSER_MAX_COUNT];
};

XInputState& State() {
    static XInputState state;
    return state;
}

XINPUT_GAMEPAD ToGamepad(const PadState& pad) {
    XINPUT_GAMEPAD g = {};
    g.wButtons = pad.buttons;
    g.bLeftTrigger = pad.leftTrigger;
    g.bRightTrigger = pad.rightTrigger;
    g.sThumbLX = pad.leftX;
    g.sThumbLY = pad.leftY;
    g.sThumbRX = pad.rightX;
    g.sThumbRY = pad.rightY;
    return g;
}

bool SameGamepad(const XINPUT_GAMEPAD& a, const XINPUT_GAMEPAD& b) {
    return a.wButtons == b.wButtons && a.bLeftTrigger == b.bLeftTrigger &&
           a.bRightTrigger == b.bRightTrigger && a.sThumbLX == b.sThumbLX &&
           a.sThumbLY == b.sThumbLY && a.sThumbRX == b.sThumbRX && a.sThumbRY == b.sThumbRY;
}

// Asks the host whether the slot holds a pad and notes a pad that went: its vibration request
// goes with it.
bool LookAt(DWORD index, PadState* pad) {
    Slot& slot = State().slots[index];
    bool connected = CurrentHost().ReadPad((int)index, pad);
    if (!connected && slot.connected) slot.wanted = XINPUT_VIBRATION{};
    slot.connected = connected;
    return connected;
}

} // namespace

void ResetXInput() {
    State() = XInputState{};
}

// A fresh machine from the test host means every slot forgotten and XInput enabled.
void ListenForXInput(MachineChange change) {
    if (change == MachineChange::Reset) ResetXInput();
}
[[maybe_unused]] const bool listening = ListenToMachine(&ListenForXInput);

} // namespace tarn::platform

using namespace tarn::platform;

DWORD WINAPI XInputGetState(DWORD dwUserIndex, XINPUT_STATE* pState) {
    if (DWORD code; Enter<"XInputGetState">(&code)) return code;
    if (dwUserIndex >= XUSER_MAX_COUNT || pState == nullptr) return ERROR_BAD_ARGUMENTS;
    PadState pad;
    if (!LookAt(dwUserIndex, &pad)) {
        *pState = XINPUT_STATE{};
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    XInputState& s = State();
    Slot& slot = s.slots[dwUserIndex];
    XINPUT_GAMEPAD now = s.enabled ? ToGamepad(pad) : XINPUT_GAMEPAD{};
    if (!SameGamepad(now, slot.last)) {
        slot.last = now;
        ++slot.packet;
    }
    pState->dwPacketNumber = slot.packet;
    pState->Gamepad = now;
    return ERROR_SUCCESS;
}

DWORD WINAPI XInputSetState(DWORD dwUserIndex, XINPUT_VIBRATION* pVibration) {
    if (DWORD code; Enter<"XInputSetState">(&code)) return code;
    if (dwUserIndex >= XUSER_MAX_COUNT || pVibration == nullptr) return ERROR_BAD_ARGUMENTS;
    if (!LookAt(dwUserIndex, nullptr)) return ERROR_DEVICE_NOT_CONNECTED;
    XInputState& s = State();
    s.slots[dwUserIndex].wanted = *pVibration;
    if (s.enabled)
        CurrentHost().SetPadRumble((int)dwUserIndex, pVibration->wLeftMotorSpeed,
                                   pVibration->wRightMotorSpeed);
    return ERROR_SUCCESS;
}

DWORD WINAPI XInputGetCapabilities(DWORD dwUserIndex, DWORD dwFlags,
                                   XINPUT_CAPABILITIES* pCapabilities) {
    if (DWORD code; Enter<"XInputGetCapabilities">(&code)) return code;
    if (dwUserIndex >= XUSER_MAX_COUNT || pCapabilities == nullptr ||
        (dwFlags & ~(DWORD)XINPUT_FLAG_GAMEPAD) != 0)
        return ERROR_BAD_ARGUMENTS;
    if (!LookAt(dwUserIndex, nullptr)) {
        *pCapabilities = XINPUT_CAPABILITIES{};
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    // Every pad the host offers has the whole layout, full resolution and both motors.
    XINPUT_CAPABILITIES caps = {};
    caps.Type = XINPUT_DEVTYPE_GAMEPAD;
    caps.SubType = XINPUT_DEVSUBTYPE_GAMEPAD;
    caps.Gamepad.wButtons = XINPUT_GAMEPAD_DPAD_UP | XINPUT_GAMEPAD_DPAD_DOWN |
                            XINPUT_GAMEPAD_DPAD_LEFT | XINPUT_GAMEPAD_DPAD_RIGHT |
                            XINPUT_GAMEPAD_START | XINPUT_GAMEPAD_BACK | XINPUT_GAMEPAD_LEFT_THUMB |
                            XINPUT_GAMEPAD_RIGHT_THUMB | XINPUT_GAMEPAD_LEFT_SHOULDER |
                            XINPUT_GAMEPAD_RIGHT_SHOULDER | XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_B |
                            XINPUT_GAMEPAD_X | XINPUT_GAMEPAD_Y;
    caps.Gamepad.bLeftTrigger = 0xFF;
    caps.Gamepad.bRightTrigger = 0xFF;
    caps.Gamepad.sThumbLX = caps.Gamepad.sThumbLY = (SHORT)-1;
    caps.Gamepad.sThumbRX = caps.Gamepad.sThumbRY = (SHORT)-1;
    caps.Vibration.wLeftMotorSpeed = 0xFFFF;
    caps.Vibration.wRightMotorSpeed = 0xFFFF;
    *pCapabilities = caps;
    return ERROR_SUCCESS;
}

// Disabling stops the motors but keeps each pad's request; enabling sends every connected
// pad's last request again, even a request of nothing.
void WINAPI XInputEnable(BOOL enable) {
    if (Enter<"XInputEnable">()) return;
    XInputState& s = State();
    bool on = enable != FALSE;
    if (on == s.enabled) return;
    s.enabled = on;
    for (DWORD i = 0; i < XUSER_MAX_COUNT; ++i) {
        if (!LookAt(i, nullptr)) continue;
        const XINPUT_VIBRATION& v = s.slots[i].wanted;
        if (on)
            CurrentHost().SetPadRumble((int)i, v.wLeftMotorSpeed, v.wRightMotorSpeed);
        else
            CurrentHost().SetPadRumble((int)i, 0, 0);
    }
}
