// The DirectInput object of the stand-in: DirectInputCreateA and IDirectInputA. It creates the
// system keyboard, the system mouse and the host's joystick (by the instance GUID EnumDevices
// reports), enumerates them and tells whether they are attached. Devices are InputDevice objects.
#include "dinput/InputDevice.h"

#include "host/Host.h"
#include "internal/ComObject.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace tarn::platform {

// GUIDs of our own for the one joystick the host offers.
const GUID joystickInstanceGuid = {
    0x7A61726E, 0x4A53, 0x11D3, {0x8E, 0x9D, 0x00, 0x54, 0x41, 0x52, 0x4E, 0x01}};
const GUID joystickProductGuid = {
    0x7A61726E, 0x4A50, 0x11D3, {0x8E, 0x9D, 0x00, 0x54, 0x41, 0x52, 0x4E, 0x02}};

namespace {

// HID usage page and usages of the generic desktop, as DirectInput reports them.
const WORD HID_GENERIC_DESKTOP = 0x01;
const WORD HID_USAGE_MOUSE = 0x02;
const WORD HID_USAGE_GAMEPAD = 0x05;
const WORD HID_USAGE_KEYBOARD = 0x06;

const DWORD ENUM_FLAGS =
    DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK | DIEDFL_INCLUDEALIASES | DIEDFL_INCLUDEPHANTOMS;

bool VersionSupported(DWORD version) {
    return version >= 0x0300 && version <= 0x0700;
}

HRESULT VersionError(DWORD version) {
    return version > 0x0700 ? DIERR_OLDDIRECTINPUTVERSION : DIERR_BETADIRECTINPUTVERSION;
}

DWORD DeviceTypeOf(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::Keyboard:
        return DIDEVTYPE_KEYBOARD | (DIDEVTYPEKEYBOARD_PCENH << 8);
    case DeviceKind::Mouse:
        return DIDEVTYPE_MOUSE | (DIDEVTYPEMOUSE_TRADITIONAL << 8);
    case DeviceKind::Joystick:
        break;
    }
    return DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_GAMEPAD << 8) | DIDEVTYPE_HID;
}

class DirectInputObject final : public ComObject<IDirectInputA, "IDirectInputA"> {
public:
    DirectInputObject() : ComObject("dinput", {&IID_IDirectInputA}) {}

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICEA* out,
                                           LPUNKNOWN outer) override {
        if (HRESULT hr; Enter<"IDirectInputA::CreateDevice">(&hr)) return hr;
        if (out == nullptr) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (outer != nullptr) return DIERR_NOAGGREGATION;
        DeviceKind kind;
        if (guid == GUID_SysKeyboard) {
            kind = DeviceKind::Keyboard;
        } else if (guid == GUID_SysMouse) {
            kind = DeviceKind::Mouse;
        } else if (guid == joystickInstanceGuid && CurrentHost().JoystickAttached()) {
            kind = DeviceKind::Joystick;
        } else {
            return DIERR_DEVICENOTREG;
        }
        *out = new InputDevice(kind, this);
        return DI_OK;
    }

    // Reports the mouse, the keyboard and the joystick, in that order, as far as they match the
    // type asked for; the callback may stop the enumeration. None of them has force feedback.
    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD type, LPDIENUMDEVICESCALLBACKA callback, LPVOID ref,
                                          DWORD flags) override {
        if (HRESULT hr; Enter<"IDirectInputA::EnumDevices">(&hr)) return hr;
        if (callback == nullptr || type > DIDEVTYPE_JOYSTICK || (flags & ~ENUM_FLAGS) != 0)
            return DIERR_INVALIDPARAM;
        if (flags & DIEDFL_FORCEFEEDBACK) return DI_OK;
        const DeviceKind kinds[] = {DeviceKind::Mouse, DeviceKind::Keyboard, DeviceKind::Joystick};
        for (DeviceKind kind : kinds) {
            if (type != 0 && (DeviceTypeOf(kind) & 0xFF) != type) continue;
            if (kind == DeviceKind::Joystick && !CurrentHost().JoystickAttached()) continue;
            DIDEVICEINSTANCEA info;
            std::memset(&info, 0, sizeof(info));
            info.dwSize = sizeof(info);
            DescribeDevice(kind, &info, sizeof(info));
            if (callback(&info, ref) == DIENUM_STOP) break;
        }
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID guid) override {
        if (HRESULT hr; Enter<"IDirectInputA::GetDeviceStatus">(&hr)) return hr;
        if (guid == GUID_SysKeyboard || guid == GUID_SysMouse) return DI_OK;
        if (guid == joystickInstanceGuid)
            return CurrentHost().JoystickAttached() ? DI_OK : DI_NOTATTACHED;
        return DIERR_DEVICENOTREG;
    }

    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND owner, DWORD flags) override {
        if (HRESULT hr; Enter<"IDirectInputA::RunControlPanel">(&hr)) return hr;
        if (flags != 0) return DIERR_INVALIDPARAM;
        (void)owner;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE hinst, DWORD version) override {
        if (HRESULT hr; Enter<"IDirectInputA::Initialize">(&hr)) return hr;
        (void)hinst;
        return VersionSupported(version) ? DI_OK : VersionError(version);
    }
};

} // namespace

void DescribeDevice(DeviceKind kind, DIDEVICEINSTANCEA* info, DWORD size) {
    std::memset(reinterpret_cast<BYTE*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
    info->dwDevType = DeviceTypeOf(kind);
    const char* name = "";
    WORD usage = 0;
    switch (kind) {
    case DeviceKind::Keyboard:
        info->guidInstance = GUID_SysKeyboard;
        info->guidProduct = GUID_SysKeyboard;
        name = "Keyboard";
        usage = HID_USAGE_KEYBOARD;
        break;
    case DeviceKind::Mouse:
        info->guidInstance = GUID_SysMouse;
        info->guidProduct = GUID_SysMouse;
        name = "Mouse";
        usage = HID_USAGE_MOUSE;
        break;
    case DeviceKind::Joystick:
        info->guidInstance = joystickInstanceGuid;
        info->guidProduct = joystickProductGuid;
        usage = HID_USAGE_GAMEPAD;
        break;
    }
    if (kind == DeviceKind::Joystick) {
        std::string joystickName = CurrentHost().JoystickName();
        std::snprintf(info->tszInstanceName, MAX_PATH, "%s", joystickName.c_str());
        std::snprintf(info->tszProductName, MAX_PATH, "%s", joystickName.c_str());
    } else {
        std::snprintf(info->tszInstanceName, MAX_PATH, "%s", name);
        std::snprintf(info->tszProductName, MAX_PATH, "%s", name);
    }
    if (size >= sizeof(DIDEVICEINSTANCEA)) {
        info->wUsagePage = HID_GENERIC_DESKTOP;
        info->wUsage = usage;
    }
}

} // namespace tarn::platform

HRESULT WINAPI DirectInputCreateA(HINSTANCE hinst, DWORD version, LPDIRECTINPUTA* out,
                                  LPUNKNOWN outer) {
    long code;
    if (tarn::platform::Enter<"DirectInputCreateA">(&code)) {
        if (out != nullptr) *out = nullptr;
        return (HRESULT)code;
    }
    (void)hinst; // the stand-in has no modules to check it against
    if (out == nullptr) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer != nullptr) return DIERR_NOAGGREGATION;
    if (!tarn::platform::VersionSupported(version)) return tarn::platform::VersionError(version);
    *out = new tarn::platform::DirectInputObject;
    return DI_OK;
}
