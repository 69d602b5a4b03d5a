// The objects and properties of the stand-in's input devices: the keys, axes and buttons each
// device reports (GetCapabilities, EnumObjects, GetObjectInfo), its description (GetDeviceInfo),
// and the properties DirectInput programs set and read: the buffer size, the axis mode, and each
// joystick axis's range, dead zone and saturation, addressed by data-format offset or by object
// id. Malformed property headers get DirectInput's error codes.
#include "dinput/InputDevice.h"

#include "host/Host.h"
#include "internal/StandIn.h"

#include <cstdio>
#include <cstring>

namespace tarn::platform {
namespace {

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

// What GetProperty and SetProperty check first, before the device is asked anything: a
// well-formed header, the size of the structure the property is read or written through, and a
// device-wide address for the properties that belong to the whole device. (The granularity's
// size is checked by GetProperty alone: setting it is refused as read-only whatever its size.)
HRESULT CheckPropertyHeader(const DIPROPHEADER* header, uintptr_t id) {
    if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER) ||
        header->dwHow > DIPH_BYID)
        return DIERR_INVALIDPARAM;
    switch (id) {
    case PROP_BUFFERSIZE:
    case PROP_AXISMODE:
        if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE ||
            header->dwObj != 0)
            return DIERR_INVALIDPARAM;
        return DI_OK;
    case PROP_RANGE:
        return header->dwSize == sizeof(DIPROPRANGE) ? DI_OK : DIERR_INVALIDPARAM;
    case PROP_DEADZONE:
    case PROP_SATURATION:
        return header->dwSize == sizeof(DIPROPDWORD) ? DI_OK : DIERR_INVALIDPARAM;
    default:
        return DI_OK;
    }
}

} // namespace

HRESULT STDMETHODCALLTYPE InputDevice::GetCapabilities(LPDIDEVCAPS caps) {
    if (HRESULT hr; Enter<"IDirectInputDeviceA::GetCapabilities">(&hr)) return hr;
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
    if (HRESULT hr; Enter<"IDirectInputDeviceA::EnumObjects">(&hr)) return hr;
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
    if (HRESULT hr; Enter<"IDirectInputDeviceA::GetProperty">(&hr)) return hr;
    uintptr_t id = PropertyNumber(property);
    if (HRESULT bad = CheckPropertyHeader(header, id); bad != DI_OK) return bad;
    switch (id) {
    case PROP_BUFFERSIZE:
    case PROP_AXISMODE: {
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
    if (HRESULT hr; Enter<"IDirectInputDeviceA::SetProperty">(&hr)) return hr;
    uintptr_t id = PropertyNumber(property);
    if (HRESULT bad = CheckPropertyHeader(header, id); bad != DI_OK) return bad;
    switch (id) {
    case PROP_BUFFERSIZE:
    case PROP_AXISMODE: {
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

HRESULT STDMETHODCALLTYPE InputDevice::GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA info, DWORD object,
                                                     DWORD how) {
    if (HRESULT hr; Enter<"IDirectInputDeviceA::GetObjectInfo">(&hr)) return hr;
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
    if (HRESULT hr; Enter<"IDirectInputDeviceA::GetDeviceInfo">(&hr)) return hr;
    if (info == nullptr || (info->dwSize != sizeof(DIDEVICEINSTANCEA) &&
                            info->dwSize != sizeof(DIDEVICEINSTANCE_DX3A)))
        return DIERR_INVALIDPARAM;
    DescribeDevice(kind, info, info->dwSize);
    return DI_OK;
}

} // namespace tarn::platform
