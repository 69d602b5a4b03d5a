// The DirectInput device of the stand-in: one object serves IDirectInputDeviceA and
// IDirectInputDevice2A for the system keyboard, the system mouse and the host's joystick, and
// reads them from the Host. It is as strict as DirectInput where the library relies on it: a
// device with the foreground level cannot be acquired without the foreground, a read after the
// foreground was lost fails once with DIERR_INPUTLOST and then with DIERR_NOTACQUIRED, a state
// read must match the data format's size, and joystick axes come scaled to the range set, with
// the dead zone and saturation applied. The devices have no force feedback and keep no buffered
// event queue (buffered reads report no events).
#include "dinput/InputDevice.h"

#include "host/Host.h"
#include "internal/StandIn.h"

#include <winuser.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tarn::platform {
namespace {

const DWORD KEYBOARD_KEYS = 255; // scan codes 1 .. 255
const DWORD MOUSE_OBJECTS = 7;   // X, Y, wheel, four buttons
const DWORD JOYSTICK_AXES = 2;   // X, Y
const DWORD JOYSTICK_BUTTONS = 32;
const DWORD SCALE_MAX = 10000; // dead zone and saturation: ten-thousandths of the half range

const DWORD COOPERATIVE_FLAGS =
    DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;

// Predefined property numbers (the n of MAKEDIPROP(n)).
enum PropertyId : uintptr_t {
    PROP_BUFFERSIZE = 1,
    PROP_AXISMODE = 2,
    PROP_GRANULARITY = 3,
    PROP_RANGE = 4,
    PROP_DEADZONE = 5,
    PROP_SATURATION = 6,
    PROP_UNKNOWN = 0,
};

// The number a property reference names: an entry of the stand-in's table, or a small number
// disguised as an address (the Windows SDK's own form). Real GUIDs name no supported property.
uintptr_t PropertyNumber(REFGUID property) {
    const GUID* address = &property;
    const GUID* table = ::tarn::platform::diPropertyIds;
    uintptr_t where = reinterpret_cast<uintptr_t>(address);
    uintptr_t first = reinterpret_cast<uintptr_t>(table);
    if (where >= first && where < first + sizeof(diPropertyIds))
        return (where - first) / sizeof(GUID);
    if (where <= 0xFFFF) return where;
    return PROP_UNKNOWN;
}

DWORD ObjectCount(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::Keyboard:
        return KEYBOARD_KEYS;
    case DeviceKind::Mouse:
        return MOUSE_OBJECTS;
    case DeviceKind::Joystick:
        break;
    }
    return JOYSTICK_AXES + JOYSTICK_BUTTONS;
}

// Object `index` of a device, in the offsets of the device's predefined data format.
DeviceObject ObjectAt(DeviceKind kind, DWORD index) {
    DeviceObject object = {&GUID_Unknown, 0, 0, {}};
    if (kind == DeviceKind::Keyboard) {
        DWORD dik = index + 1;
        object.type = &GUID_Key;
        object.offset = dik;
        object.typeFlags = DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(dik);
        std::snprintf(object.name, sizeof(object.name), "Key 0x%02X", (unsigned)dik);
        return object;
    }
    DWORD axes = kind == DeviceKind::Mouse ? 3 : JOYSTICK_AXES;
    if (index < axes) {
        static const GUID* const axisGuids[3] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis};
        static const char* const mouseNames[3] = {"X-axis", "Y-axis", "Wheel"};
        static const char* const joystickNames[2] = {"X Axis", "Y Axis"};
        object.type = axisGuids[index];
        object.offset = index * (DWORD)sizeof(LONG); // the same for DIMOUSESTATE and DIJOYSTATE
        object.typeFlags =
            (kind == DeviceKind::Mouse ? DIDFT_RELAXIS : DIDFT_ABSAXIS) | DIDFT_MAKEINSTANCE(index);
        std::snprintf(object.name, sizeof(object.name), "%s",
                      kind == DeviceKind::Mouse ? mouseNames[index] : joystickNames[index]);
        return object;
    }
    DWORD button = index - axes;
    object.type = &GUID_Button;
    object.offset =
        kind == DeviceKind::Mouse ? (DWORD)DIMOFS_BUTTON0 + button : (DWORD)DIJOFS_BUTTON(button);
    object.typeFlags = DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(button);
    std::snprintf(object.name, sizeof(object.name), "Button %u", (unsigned)button);
    return object;
}

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

InputDevice::InputDevice(DeviceKind kind, IDirectInputA* parent) : kind(kind), parent(parent) {
    if (kind == DeviceKind::Joystick) axisMode = DIPROPAXISMODE_ABS;
    if (parent != nullptr) parent->AddRef();
    ObjectCreated("dinputdevice");
}

InputDevice::~InputDevice() {
    acquired = false;
    if (parent != nullptr) parent->Release();
    ObjectDestroyed("dinputdevice");
}

HRESULT STDMETHODCALLTYPE InputDevice::QueryInterface(REFIID riid, void** out) {
    long code;
    if (Enter("IDirectInputDeviceA::QueryInterface", &code)) return (HRESULT)code;
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectInputDeviceA ||
        riid == IID_IDirectInputDevice2A) {
        ++refs;
        *out = static_cast<IDirectInputDevice2A*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE InputDevice::AddRef() {
    long code;
    if (Enter("IDirectInputDeviceA::AddRef", &code)) return (ULONG)code;
    return ++refs;
}

ULONG STDMETHODCALLTYPE InputDevice::Release() {
    long code;
    if (Enter("IDirectInputDeviceA::Release", &code)) return (ULONG)code;
    ULONG left = --refs;
    if (left == 0) delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE InputDevice::GetCapabilities(LPDIDEVCAPS caps) {
    long code;
    if (Enter("IDirectInputDeviceA::GetCapabilities", &code)) return (HRESULT)code;
    if (caps == nullptr ||
        (caps->dwSize != sizeof(DIDEVCAPS) && caps->dwSize != sizeof(DIDEVCAPS_DX3)))
        return DIERR_INVALIDPARAM;
    DWORD size = caps->dwSize;
    std::memset(reinterpret_cast<BYTE*>(caps) + sizeof(DWORD), 0, size - sizeof(DWORD));
    DIDEVICEINSTANCEA info;
    DescribeDevice(kind, &info, sizeof(info));
    caps->dwDevType = info.dwDevType;
    caps->dwFlags = DIDC_ATTACHED;
    if (kind == DeviceKind::Keyboard) {
        caps->dwButtons = KEYBOARD_KEYS;
    } else if (kind == DeviceKind::Mouse) {
        caps->dwAxes = 3;
        caps->dwButtons = 4;
    } else {
        caps->dwFlags |= DIDC_POLLEDDEVICE | DIDC_POLLEDDATAFORMAT;
        if (!CurrentHost().JoystickAttached()) caps->dwFlags &= ~(DWORD)DIDC_ATTACHED;
        caps->dwAxes = JOYSTICK_AXES;
        caps->dwButtons = JOYSTICK_BUTTONS;
    }
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback,
                                                   LPVOID ref, DWORD flags) {
    long code;
    if (Enter("IDirectInputDeviceA::EnumObjects", &code)) return (HRESULT)code;
    if (callback == nullptr) return DIERR_INVALIDPARAM;
    DWORD types = DIDFT_GETTYPE(flags);
    for (DWORD i = 0; i < ObjectCount(kind); ++i) {
        DeviceObject object = ObjectAt(kind, i);
        if (types != 0 && (DIDFT_GETTYPE(object.typeFlags) & types) == 0) continue;
        DIDEVICEOBJECTINSTANCEA info;
        std::memset(&info, 0, sizeof(info));
        info.dwSize = sizeof(info);
        info.guidType = *object.type;
        info.dwOfs = object.offset;
        info.dwType = object.typeFlags;
        info.dwFlags = (object.typeFlags & DIDFT_ABSAXIS) ? DIDOI_ASPECTPOSITION : 0;
        std::snprintf(info.tszName, MAX_PATH, "%s", object.name);
        if (callback(&info, ref) == DIENUM_STOP) break;
    }
    return DI_OK;
}

// Finds an object by its offset in the data format (once one is set) or by its type and
// instance.
bool InputDevice::FindObject(DWORD object, DWORD how, DeviceObject* found) const {
    for (DWORD i = 0; i < ObjectCount(kind); ++i) {
        DeviceObject candidate = ObjectAt(kind, i);
        bool match = false;
        if (how == DIPH_BYOFFSET)
            match = format != nullptr && candidate.offset == object;
        else if (how == DIPH_BYID)
            match = (DIDFT_GETTYPE(object) & DIDFT_GETTYPE(candidate.typeFlags)) != 0 &&
                    DIDFT_GETINSTANCE(object) == DIDFT_GETINSTANCE(candidate.typeFlags);
        if (match) {
            *found = candidate;
            return true;
        }
    }
    return false;
}

// The joystick axis a property header names: 0 or 1, -1 for the whole device, -2 for none.
int InputDevice::AxisIndex(DWORD object, DWORD how) const {
    if (how == DIPH_DEVICE) return object == 0 ? -1 : -2;
    DeviceObject found;
    if (!FindObject(object, how, &found) || (found.typeFlags & DIDFT_AXIS) == 0) return -2;
    return (int)DIDFT_GETINSTANCE(found.typeFlags);
}

HRESULT STDMETHODCALLTYPE InputDevice::GetProperty(REFGUID property, LPDIPROPHEADER header) {
    long code;
    if (Enter("IDirectInputDeviceA::GetProperty", &code)) return (HRESULT)code;
    if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER) ||
        header->dwHow > DIPH_BYID)
        return DIERR_INVALIDPARAM;
    uintptr_t id = PropertyNumber(property);
    switch (id) {
    case PROP_BUFFERSIZE:
    case PROP_AXISMODE: {
        if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
        if (header->dwHow != DIPH_DEVICE || header->dwObj != 0) return DIERR_INVALIDPARAM;
        if (id == PROP_AXISMODE && kind == DeviceKind::Keyboard) return DIERR_UNSUPPORTED;
        reinterpret_cast<DIPROPDWORD*>(header)->dwData =
            id == PROP_BUFFERSIZE ? bufferSize : axisMode;
        return DI_OK;
    }
    case PROP_GRANULARITY: {
        if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
        DeviceObject object;
        if (!FindObject(header->dwObj, header->dwHow, &object) ||
            (object.typeFlags & DIDFT_AXIS) == 0)
            return DIERR_OBJECTNOTFOUND;
        bool wheel = kind == DeviceKind::Mouse && object.offset == DIMOFS_Z;
        reinterpret_cast<DIPROPDWORD*>(header)->dwData = wheel ? 120 : 1;
        return DI_OK;
    }
    case PROP_RANGE:
    case PROP_DEADZONE:
    case PROP_SATURATION: {
        DWORD expected = id == PROP_RANGE ? sizeof(DIPROPRANGE) : sizeof(DIPROPDWORD);
        if (header->dwSize != expected) return DIERR_INVALIDPARAM;
        if (kind != DeviceKind::Joystick) return DIERR_UNSUPPORTED;
        int axis = AxisIndex(header->dwObj, header->dwHow);
        if (axis == -1) return DIERR_UNSUPPORTED; // a device-wide value does not exist to read
        if (axis < 0) return DIERR_OBJECTNOTFOUND;
        if (id == PROP_RANGE) {
            DIPROPRANGE* range = reinterpret_cast<DIPROPRANGE*>(header);
            range->lMin = axes[axis].min;
            range->lMax = axes[axis].max;
        } else {
            reinterpret_cast<DIPROPDWORD*>(header)->dwData =
                id == PROP_DEADZONE ? axes[axis].deadZone : axes[axis].saturation;
        }
        return DI_OK;
    }
    default:
        return DIERR_UNSUPPORTED;
    }
}

HRESULT STDMETHODCALLTYPE InputDevice::SetProperty(REFGUID property, LPCDIPROPHEADER header) {
    long code;
    if (Enter("IDirectInputDeviceA::SetProperty", &code)) return (HRESULT)code;
    if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER) ||
        header->dwHow > DIPH_BYID)
        return DIERR_INVALIDPARAM;
    uintptr_t id = PropertyNumber(property);
    switch (id) {
    case PROP_BUFFERSIZE:
    case PROP_AXISMODE: {
        if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
        if (header->dwHow != DIPH_DEVICE || header->dwObj != 0) return DIERR_INVALIDPARAM;
        if (acquired) return DIERR_ACQUIRED;
        DWORD value = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        if (id == PROP_BUFFERSIZE) {
            bufferSize = value;
            return DI_OK;
        }
        if (kind == DeviceKind::Keyboard) return DIERR_UNSUPPORTED;
        if (value != DIPROPAXISMODE_ABS && value != DIPROPAXISMODE_REL) return DIERR_INVALIDPARAM;
        axisMode = value;
        std::memset(mouseAbsolute, 0, sizeof(mouseAbsolute));
        return DI_OK;
    }
    case PROP_RANGE:
    case PROP_DEADZONE:
    case PROP_SATURATION: {
        DWORD expected = id == PROP_RANGE ? sizeof(DIPROPRANGE) : sizeof(DIPROPDWORD);
        if (header->dwSize != expected) return DIERR_INVALIDPARAM;
        if (kind != DeviceKind::Joystick) return DIERR_UNSUPPORTED;
        int axis = AxisIndex(header->dwObj, header->dwHow);
        if (axis == -2) return DIERR_OBJECTNOTFOUND;
        AxisSettings wanted = axes[axis < 0 ? 0 : axis];
        if (id == PROP_RANGE) {
            const DIPROPRANGE* range = reinterpret_cast<const DIPROPRANGE*>(header);
            if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
            wanted.min = range->lMin;
            wanted.max = range->lMax;
        } else {
            DWORD value = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            if (value > SCALE_MAX) return DIERR_INVALIDPARAM;
            (id == PROP_DEADZONE ? wanted.deadZone : wanted.saturation) = value;
        }
        for (int i = 0; i < (int)JOYSTICK_AXES; ++i) {
            if (axis >= 0 && i != axis) continue;
            if (id == PROP_RANGE) {
                axes[i].min = wanted.min;
                axes[i].max = wanted.max;
            } else if (id == PROP_DEADZONE) {
                axes[i].deadZone = wanted.deadZone;
            } else {
                axes[i].saturation = wanted.saturation;
            }
        }
        return DI_OK;
    }
    case PROP_GRANULARITY:
        return DIERR_READONLY;
    default:
        return DIERR_UNSUPPORTED;
    }
}

HRESULT STDMETHODCALLTYPE InputDevice::Acquire() {
    long code;
    if (Enter("IDirectInputDeviceA::Acquire", &code)) return (HRESULT)code;
    if (format == nullptr) return DIERR_INVALIDPARAM;
    Host& host = CurrentHost();
    bool foreground = (cooperativeLevel & DISCL_FOREGROUND) != 0;
    unsigned epoch = ForegroundEpoch();
    if (acquired && foreground && epoch != acquiredEpoch) acquired = false;
    if (acquired) return DI_NOEFFECT;
    if (foreground && !host.HasFocus()) return DIERR_OTHERAPPHASPRIO;
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
    long code;
    if (Enter("IDirectInputDeviceA::Unacquire", &code)) return (HRESULT)code;
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
    long code;
    if (Enter("IDirectInputDeviceA::GetDeviceState", &code)) return (HRESULT)code;
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
    long code;
    if (Enter("IDirectInputDeviceA::GetDeviceData", &code)) return (HRESULT)code;
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
    long code;
    if (Enter("IDirectInputDeviceA::SetDataFormat", &code)) return (HRESULT)code;
    if (newFormat == nullptr) return DIERR_INVALIDPARAM;
    if (acquired) return DIERR_ACQUIRED;
    if (!FormatFits(kind, newFormat)) return DIERR_INVALIDPARAM;
    format = &PredefinedFormat(kind);
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::SetEventNotification(HANDLE newEvent) {
    long code;
    if (Enter("IDirectInputDeviceA::SetEventNotification", &code)) return (HRESULT)code;
    if (acquired) return DIERR_ACQUIRED;
    event = newEvent;
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::SetCooperativeLevel(HWND hwnd, DWORD flags) {
    long code;
    if (Enter("IDirectInputDeviceA::SetCooperativeLevel", &code)) return (HRESULT)code;
    bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
    bool nonExclusive = (flags & DISCL_NONEXCLUSIVE) != 0;
    bool foreground = (flags & DISCL_FOREGROUND) != 0;
    bool background = (flags & DISCL_BACKGROUND) != 0;
    if ((flags & ~COOPERATIVE_FLAGS) != 0 || exclusive == nonExclusive || foreground == background)
        return DIERR_INVALIDPARAM;
    if ((flags & DISCL_NOWINKEY) && kind != DeviceKind::Keyboard) return DIERR_INVALIDPARAM;
    // A foreground or exclusive level belongs to a window.
    if ((foreground || exclusive) && (hwnd == nullptr || !IsWindow(hwnd))) return E_HANDLE;
    if (hwnd != nullptr && !IsWindow(hwnd)) return E_HANDLE;
    if (kind == DeviceKind::Keyboard && exclusive && background) return DIERR_UNSUPPORTED;
    if (acquired) return DIERR_ACQUIRED;
    cooperativeLevel = flags;
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA info, DWORD object,
                                                     DWORD how) {
    long code;
    if (Enter("IDirectInputDeviceA::GetObjectInfo", &code)) return (HRESULT)code;
    if (info == nullptr || (info->dwSize != sizeof(DIDEVICEOBJECTINSTANCEA) &&
                            info->dwSize != sizeof(DIDEVICEOBJECTINSTANCE_DX3A)))
        return DIERR_INVALIDPARAM;
    if (how != DIPH_BYOFFSET && how != DIPH_BYID) return DIERR_INVALIDPARAM;
    DeviceObject found;
    if (!FindObject(object, how, &found)) return DIERR_OBJECTNOTFOUND;
    DWORD size = info->dwSize;
    std::memset(reinterpret_cast<BYTE*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
    info->guidType = *found.type;
    info->dwOfs = found.offset;
    info->dwType = found.typeFlags;
    info->dwFlags = (found.typeFlags & DIDFT_ABSAXIS) ? DIDOI_ASPECTPOSITION : 0;
    std::snprintf(info->tszName, MAX_PATH, "%s", found.name);
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::GetDeviceInfo(LPDIDEVICEINSTANCEA info) {
    long code;
    if (Enter("IDirectInputDeviceA::GetDeviceInfo", &code)) return (HRESULT)code;
    if (info == nullptr || (info->dwSize != sizeof(DIDEVICEINSTANCEA) &&
                            info->dwSize != sizeof(DIDEVICEINSTANCE_DX3A)))
        return DIERR_INVALIDPARAM;
    DescribeDevice(kind, info, info->dwSize);
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::RunControlPanel(HWND owner, DWORD flags) {
    long code;
    if (Enter("IDirectInputDeviceA::RunControlPanel", &code)) return (HRESULT)code;
    (void)owner;
    return flags == 0 ? DI_OK : DIERR_INVALIDPARAM;
}

HRESULT STDMETHODCALLTYPE InputDevice::Initialize(HINSTANCE hinst, DWORD version, REFGUID guid) {
    long code;
    if (Enter("IDirectInputDeviceA::Initialize", &code)) return (HRESULT)code;
    (void)hinst;
    if (version < 0x0300 || version > 0x0700)
        return version > 0x0700 ? DIERR_OLDDIRECTINPUTVERSION : DIERR_BETADIRECTINPUTVERSION;
    DIDEVICEINSTANCEA info;
    DescribeDevice(kind, &info, sizeof(info));
    return guid == info.guidInstance ? DI_OK : DIERR_ALREADYINITIALIZED;
}

HRESULT STDMETHODCALLTYPE InputDevice::CreateEffect(REFGUID guid, LPCDIEFFECT effect,
                                                    LPDIRECTINPUTEFFECT* out, LPUNKNOWN outer) {
    long code;
    if (Enter("IDirectInputDevice2A::CreateEffect", &code)) return (HRESULT)code;
    (void)guid;
    (void)effect;
    if (out == nullptr) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer != nullptr) return DIERR_NOAGGREGATION;
    return DIERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE InputDevice::EnumEffects(LPDIENUMEFFECTSCALLBACKA callback, LPVOID ref,
                                                   DWORD type) {
    long code;
    if (Enter("IDirectInputDevice2A::EnumEffects", &code)) return (HRESULT)code;
    (void)ref;
    (void)type;
    return callback == nullptr ? DIERR_INVALIDPARAM : DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::GetEffectInfo(LPDIEFFECTINFOA info, REFGUID guid) {
    long code;
    if (Enter("IDirectInputDevice2A::GetEffectInfo", &code)) return (HRESULT)code;
    (void)guid;
    if (info == nullptr || info->dwSize != sizeof(DIEFFECTINFOA)) return DIERR_INVALIDPARAM;
    return DIERR_DEVICENOTREG;
}

HRESULT STDMETHODCALLTYPE InputDevice::GetForceFeedbackState(LPDWORD out) {
    long code;
    if (Enter("IDirectInputDevice2A::GetForceFeedbackState", &code)) return (HRESULT)code;
    if (out == nullptr) return DIERR_INVALIDPARAM;
    return DIERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE InputDevice::SendForceFeedbackCommand(DWORD flags) {
    long code;
    if (Enter("IDirectInputDevice2A::SendForceFeedbackCommand", &code)) return (HRESULT)code;
    (void)flags;
    return DIERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE InputDevice::EnumCreatedEffectObjects(
    LPDIENUMCREATEDEFFECTOBJECTSCALLBACK callback, LPVOID ref, DWORD flags) {
    long code;
    if (Enter("IDirectInputDevice2A::EnumCreatedEffectObjects", &code)) return (HRESULT)code;
    (void)ref;
    if (callback == nullptr || flags != 0) return DIERR_INVALIDPARAM;
    return DI_OK;
}

HRESULT STDMETHODCALLTYPE InputDevice::Escape(LPDIEFFESCAPE escape) {
    long code;
    if (Enter("IDirectInputDevice2A::Escape", &code)) return (HRESULT)code;
    if (escape == nullptr || escape->dwSize != sizeof(DIEFFESCAPE)) return DIERR_INVALIDPARAM;
    return DIERR_UNSUPPORTED;
}

// Only the joystick is a polled device; for the others Poll has nothing to do.
HRESULT STDMETHODCALLTYPE InputDevice::Poll() {
    long code;
    if (Enter("IDirectInputDevice2A::Poll", &code)) return (HRESULT)code;
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
    long code;
    if (Enter("IDirectInputDevice2A::SendDeviceData", &code)) return (HRESULT)code;
    if (objectSize != sizeof(DIDEVICEOBJECTDATA) || inOut == nullptr || flags != 0 ||
        (*inOut != 0 && data == nullptr))
        return DIERR_INVALIDPARAM;
    HRESULT hr = CheckReadable();
    if (FAILED(hr)) return hr;
    return DIERR_UNSUPPORTED;
}

} // namespace tarn::platform
