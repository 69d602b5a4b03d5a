// The DirectInput device of the stand-in: one object serves IDirectInputDeviceA and
// IDirectInputDevice2A for the system keyboard, the system mouse and the host's joystick, and
// reads them from the Host. It is as strict as DirectInput where the library relies on it: a
// device with the foreground level cannot be acquired without the foreground, a read after the
// foreground was lost fails once with DIERR_INPUTLOST and then with DIERR_NOTACQUIRED, a state
// read must match the data format's size, and joystick axes come scaled to the range set, with
// the dead zone and saturation applied. The devices have no force feedback and keep no buffered
// event queue (buffered reads report no events). Their objects and properties are in
// DeviceObjects.cpp.
#include "dinput/InputDevice.h"

#include "host/Host.h"
#include "internal/StandIn.h"

#include <winuser.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tarn::platform {
namespace {

const DWORD COOPERATIVE_FLAGS =
    DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;

const DIDATAFORMAT& PredefinedFormat(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::Keyboard:
        return c_dfDIKeyboard;
    case DeviceKind::Mouse:
        return c_dfDIMouse;
    case DeviceKind::Joystick:
        break;
    }
    return c_dfDIJoystick;
}

// A data format the device can deliver: its own predefined one, given by address or by an
// identical description.
bool FormatFits(DeviceKind kind, const DIDATAFORMAT* format) {
    const DIDATAFORMAT& own = PredefinedFormat(kind);
    if (format == &own) return true;
    return format->dwSize == sizeof(DIDATAFORMAT) && format->dwObjSize == own.dwObjSize &&
           format->dwDataSize == own.dwDataSize && format->dwNumObjs == own.dwNumObjs &&
           format->rgodf != nullptr &&
           std::memcmp(format->rgodf, own.rgodf, own.dwNumObjs * sizeof(DIOBJECTDATAFORMAT)) == 0;
}

// DirectInput takes every foreground device away when the window loses the foreground. The
// stand-in sees the foreground only when it is called, so it counts the losses it has seen; a
// device acquired before the latest loss was taken away, even if the foreground is back.
unsigned foregroundLosses = 0;
bool lastForeground = true;

unsigned ForegroundEpoch() {
    bool now = CurrentHost().HasFocus();
    if (lastForeground && !now) ++foregroundLosses;
    lastForeground = now;
    return foregroundLosses;
}

} // namespace

InputDevice::InputDevice(DeviceKind kind, IDirectInputA* parent)
    : ComObject("dinputdevice", {&IID_IDirectInputDeviceA, &IID_IDirectInputDevice2A}), kind(kind),
      parent(parent) {
    if (kind == DeviceKind::Joystick) axisMode = DIPROPAXISMODE_ABS;
    if (parent != nullptr) parent->AddRef();
}

InputDevice::~InputDevice() {
    acquired = false;
    if (parent != nullptr) parent->Release();
}

HRESULT STDMETHODCALLTYPE InputDevice::Acquire() {
    if (HRESULT hr; Enter<"IDirectInputDeviceA::Acquire">(&hr)) return hr;
    if (format == nullptr) return DIERR_INVALIDPARAM;
    Host& host = CurrentHost();
    bool foreground = (cooperativeLevel & DISCL_FOREGROUND) != 0;
    unsigned epoch = ForegroundEpoch();
    if (acquired && foreground && epoch != acquiredEpoch) acquired = false;
    if (acquired) return DI_NOEFFECT;
    // A foreground level is only granted while its own window is the active one, as on Windows:
    // another window of the same program having the focus is not enough.
    if (foreground && (!host.HasFocus() || GetActiveWindow() != cooperativeWindow))
        return DIERR_OTHERAPPHASPRIO;
    if (kind == DeviceKind::Joystick && !host.JoystickAttached()) return DIERR_INPUTLOST;
    if (kind == DeviceKind::Mouse) {
        // Relative motion counts from the acquisition on.
        MouseState discard;
        host.ReadMouse(&discard);
    }
    acquired = true;
    acquiredEpoch = epoch;
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::Unacquire() {
    if (HRESULT hr; Enter<"IDirectInputDeviceA::Unacquire">(&hr)) return hr;
    if (!acquired) return DI_NOEFFECT;
    acquired = false;
    return DI_OK;
}

// A read needs the acquisition; a foreground device that lost the foreground is unacquired here
// and reports the loss once.
HRESULT InputDevice::CheckReadable() {
    if (!acquired) return DIERR_NOTACQUIRED;
    unsigned epoch = ForegroundEpoch();
    if ((cooperativeLevel & DISCL_FOREGROUND) && epoch != acquiredEpoch) {
        acquired = false;
        return DIERR_INPUTLOST;
    }
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::GetDeviceState(DWORD size, LPVOID data) {
    if (HRESULT hr; Enter<"IDirectInputDeviceA::GetDeviceState">(&hr)) return hr;
    if (data == nullptr) return DIERR_INVALIDPARAM;
    if (format == nullptr) return DIERR_NOTACQUIRED;
    if (size != format->dwDataSize) return DIERR_INVALIDPARAM;
    HRESULT hr = CheckReadable();
    if (FAILED(hr)) return hr;
    switch (kind) {
    case DeviceKind::Keyboard:
        ReadKeyboard(data);
        return DI_OK;
    case DeviceKind::Mouse:
        ReadMouse(data);
        return DI_OK;
    case DeviceKind::Joystick:
        break;
    }
    return ReadJoystick(data);
}

void InputDevice::ReadKeyboard(void* data) {
    uint8_t keys[256];
    CurrentHost().ReadKeyboard(keys);
    for (uint8_t& key : keys) key = (key & 0x80) ? 0x80 : 0;
    std::memcpy(data, keys, sizeof(keys));
}

void InputDevice::ReadMouse(void* data) {
    MouseState mouse;
    CurrentHost().ReadMouse(&mouse);
    DIMOUSESTATE state;
    std::memset(&state, 0, sizeof(state));
    state.lX = mouse.dx;
    state.lY = mouse.dy;
    state.lZ = mouse.wheel;
    if (axisMode == DIPROPAXISMODE_ABS) {
        mouseAbsolute[0] = (LONG)((DWORD)mouseAbsolute[0] + (DWORD)mouse.dx);
        mouseAbsolute[1] = (LONG)((DWORD)mouseAbsolute[1] + (DWORD)mouse.dy);
        mouseAbsolute[2] = (LONG)((DWORD)mouseAbsolute[2] + (DWORD)mouse.wheel);
        state.lX = mouseAbsolute[0];
        state.lY = mouseAbsolute[1];
        state.lZ = mouseAbsolute[2];
    }
    for (int i = 0; i < 4; ++i) state.rgbButtons[i] = mouse.buttons[i] ? 0x80 : 0;
    std::memcpy(data, &state, sizeof(state));
}

// A joystick that is no longer there loses its acquisition like a lost foreground.
HRESULT InputDevice::ReadJoystick(void* data) {
    JoystickState joystick;
    if (!CurrentHost().ReadJoystick(&joystick)) {
        acquired = false;
        return DIERR_INPUTLOST;
    }
    DIJOYSTATE state;
    std::memset(&state, 0, sizeof(state));
    state.lX = ScaleAxis(joystick.x, axes[0]);
    state.lY = ScaleAxis(joystick.y, axes[1]);
    for (DWORD i = 0; i < JOYSTICK_BUTTONS; ++i)
        state.rgbButtons[i] = joystick.buttons[i] ? 0x80 : 0;
    std::memcpy(data, &state, sizeof(state));
    return DI_OK;
}

// Maps a host axis (-32768 .. 32767, centre 0) into the axis's range: deflections inside the dead
// zone read as the centre, deflections beyond the saturation as the end, and the rest is spread
// over the whole half range, as DirectInput does.
LONG InputDevice::ScaleAxis(int raw, const AxisSettings& axis) const {
    double t = raw >= 0 ? raw / 32767.0 : raw / 32768.0;
    if (t > 1.0) t = 1.0;
    if (t < -1.0) t = -1.0;
    double deadZone = axis.deadZone / (double)SCALE_MAX;
    double saturation = axis.saturation / (double)SCALE_MAX;
    double magnitude = std::fabs(t);
    if (magnitude <= deadZone) {
        magnitude = 0.0;
    } else if (magnitude >= saturation || saturation <= deadZone) {
        magnitude = 1.0;
    } else {
        magnitude = (magnitude - deadZone) / (saturation - deadZone);
    }
    long long span = (long long)axis.max - axis.min;
    long long centre = axis.min + span / 2;
    if (magnitude == 0.0) return (LONG)centre;
    double half = t > 0 ? (double)(axis.max - centre) : (double)(centre - axis.min);
    long long value = centre + (long long)std::llround((t > 0 ? 1.0 : -1.0) * magnitude * half);
    if (value < axis.min) value = axis.min;
    if (value > axis.max) value = axis.max;
    return (LONG)value;
}

HRESULT STDMETHODCALLTYPE InputDevice::GetDeviceData(DWORD objectSize, LPDIDEVICEOBJECTDATA data,
                                                     LPDWORD inOut, DWORD flags) {
    if (HRESULT hr; Enter<"IDirectInputDeviceA::GetDeviceData">(&hr)) return hr;
    if (objectSize != sizeof(DIDEVICEOBJECTDATA) || inOut == nullptr ||
        (flags & ~(DWORD)DIGDD_PEEK) != 0)
        return DIERR_INVALIDPARAM;
    (void)data;
    if (bufferSize == 0) return DIERR_NOTBUFFERED;
    HRESULT hr = CheckReadable();
    if (FAILED(hr)) return hr;
    *inOut = 0;
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::SetDataFormat(LPCDIDATAFORMAT newFormat) {
    if (HRESULT hr; Enter<"IDirectInputDeviceA::SetDataFormat">(&hr)) return hr;
    if (newFormat == nullptr) return DIERR_INVALIDPARAM;
    if (acquired) return DIERR_ACQUIRED;
    if (!FormatFits(kind, newFormat)) return DIERR_INVALIDPARAM;
    format = &PredefinedFormat(kind);
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::SetEventNotification(HANDLE newEvent) {
    if (HRESULT hr; Enter<"IDirectInputDeviceA::SetEventNotification">(&hr)) return hr;
    if (acquired) return DIERR_ACQUIRED;
    event = newEvent;
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::SetCooperativeLevel(HWND hwnd, DWORD flags) {
    if (HRESULT hr; Enter<"IDirectInputDeviceA::SetCooperativeLevel">(&hr)) return hr;
    bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
    bool nonExclusive = (flags & DISCL_NONEXCLUSIVE) != 0;
    bool foreground = (flags & DISCL_FOREGROUND) != 0;
    bool background = (flags & DISCL_BACKGROUND) != 0;
    if ((flags & ~COOPERATIVE_FLAGS) != 0 || exclusive == nonExclusive || foreground == background)
        return DIERR_INVALIDPARAM;
    if ((flags & DISCL_NOWINKEY) && kind != DeviceKind::Keyboard) return DIERR_INVALIDPARAM;
    // A foreground or exclusive level belongs to a window; any window given must exist.
    if (hwnd != nullptr ? !IsWindow(hwnd) : (foreground || exclusive)) return E_HANDLE;
    if (kind == DeviceKind::Keyboard && exclusive && background) return DIERR_UNSUPPORTED;
    if (acquired) return DIERR_ACQUIRED;
    cooperativeLevel = flags;
    cooperativeWindow = hwnd;
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::RunControlPanel(HWND owner, DWORD flags) {
    if (HRESULT hr; Enter<"IDirectInputDeviceA::RunControlPanel">(&hr)) return hr;
    (void)owner;
    return flags == 0 ? DI_OK : DIERR_INVALIDPARAM;
}

HRESULT STDMETHODCALLTYPE InputDevice::Initialize(HINSTANCE hinst, DWORD version, REFGUID guid) {
    if (HRESULT hr; Enter<"IDirectInputDeviceA::Initialize">(&hr)) return hr;
    (void)hinst;
    if (version < 0x0300 || version > 0x0700)
        return version > 0x0700 ? DIERR_OLDDIRECTINPUTVERSION : DIERR_BETADIRECTINPUTVERSION;
    DIDEVICEINSTANCEA info;
    DescribeDevice(kind, &info, sizeof(info));
    return guid == info.guidInstance ? DI_OK : DIERR_ALREADYINITIALIZED;
}

HRESULT STDMETHODCALLTYPE InputDevice::CreateEffect(REFGUID guid, LPCDIEFFECT effect,
                                                    LPDIRECTINPUTEFFECT* out, LPUNKNOWN outer) {
    if (HRESULT hr; Enter<"IDirectInputDevice2A::CreateEffect">(&hr)) return hr;
    (void)guid;
    (void)effect;
    if (out == nullptr) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer != nullptr) return DIERR_NOAGGREGATION;
    return DIERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE InputDevice::EnumEffects(LPDIENUMEFFECTSCALLBACKA callback, LPVOID ref,
                                                   DWORD type) {
    if (HRESULT hr; Enter<"IDirectInputDevice2A::EnumEffects">(&hr)) return hr;
    (void)ref;
    (void)type;
    return callback == nullptr ? DIERR_INVALIDPARAM : DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::GetEffectInfo(LPDIEFFECTINFOA info, REFGUID guid) {
    if (HRESULT hr; Enter<"IDirectInputDevice2A::GetEffectInfo">(&hr)) return hr;
    (void)guid;
    if (info == nullptr || info->dwSize != sizeof(DIEFFECTINFOA)) return DIERR_INVALIDPARAM;
    return DIERR_DEVICENOTREG;
}

HRESULT STDMETHODCALLTYPE InputDevice::GetForceFeedbackState(LPDWORD out) {
    if (HRESULT hr; Enter<"IDirectInputDevice2A::GetForceFeedbackState">(&hr)) return hr;
    if (out == nullptr) return DIERR_INVALIDPARAM;
    return DIERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE InputDevice::SendForceFeedbackCommand(DWORD flags) {
    if (HRESULT hr; Enter<"IDirectInputDevice2A::SendForceFeedbackCommand">(&hr)) return hr;
    (void)flags;
    return DIERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE InputDevice::EnumCreatedEffectObjects(
    LPDIENUMCREATEDEFFECTOBJECTSCALLBACK callback, LPVOID ref, DWORD flags) {
    if (HRESULT hr; Enter<"IDirectInputDevice2A::EnumCreatedEffectObjects">(&hr)) return hr;
    (void)ref;
    if (callback == nullptr || flags != 0) return DIERR_INVALIDPARAM;
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::Escape(LPDIEFFESCAPE escape) {
    if (HRESULT hr; Enter<"IDirectInputDevice2A::Escape">(&hr)) return hr;
    if (escape == nullptr || escape->dwSize != sizeof(DIEFFESCAPE)) return DIERR_INVALIDPARAM;
    return DIERR_UNSUPPORTED;
}

// Only the joystick is a polled device; for the others Poll has nothing to do.
HRESULT STDMETHODCALLTYPE InputDevice::Poll() {
    if (HRESULT hr; Enter<"IDirectInputDevice2A::Poll">(&hr)) return hr;
    HRESULT hr = CheckReadable();
    if (FAILED(hr)) return hr;
    if (kind != DeviceKind::Joystick) return DI_NOEFFECT;
    if (!CurrentHost().JoystickAttached()) {
        acquired = false;
        return DIERR_INPUTLOST;
    }
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::SendDeviceData(DWORD objectSize, LPCDIDEVICEOBJECTDATA data,
                                                      LPDWORD inOut, DWORD flags) {
    if (HRESULT hr; Enter<"IDirectInputDevice2A::SendDeviceData">(&hr)) return hr;
    if (objectSize != sizeof(DIDEVICEOBJECTDATA) || inOut == nullptr || flags != 0 ||
        (*inOut != 0 && data == nullptr))
        return DIERR_INVALIDPARAM;
    HRESULT hr = CheckReadable();
    if (FAILED(hr)) return hr;
    return DIERR_UNSUPPORTED;
}

} // namespace tarn::platform
