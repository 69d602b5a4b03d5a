// The inside of the DirectInput stand-in, shared by its two files: the device object that serves
// IDirectInputDeviceA and IDirectInputDevice2A for the system keyboard, the system mouse and the
// host's joystick, and the facts about the devices the DirectInput object enumerates.
#pragma once

#include <dinput.h>

#include "internal/ComObject.h"

namespace tarn::platform {

enum class DeviceKind { Keyboard, Mouse, Joystick };

const DWORD KEYBOARD_KEYS = 255; // scan codes 1 .. 255
const DWORD MOUSE_OBJECTS = 7;   // X, Y, wheel, four buttons
const DWORD JOYSTICK_AXES = 2;   // X, Y
const DWORD JOYSTICK_BUTTONS = 32;
const DWORD SCALE_MAX = 10000; // dead zone and saturation: ten-thousandths of the half range

// The instance and product GUIDs of the host's joystick, as EnumDevices reports it.
extern const GUID joystickInstanceGuid;
extern const GUID joystickProductGuid;

// Fills a device description (dwSize already checked by the caller) for `kind`.
void DescribeDevice(DeviceKind kind, DIDEVICEINSTANCEA* info, DWORD size);

// Settings of one absolute axis of the joystick: the range it reports and the dead zone and
// saturation, in ten-thousandths of the distance from the centre.
struct AxisSettings {
    LONG min = 0; // DirectInput's default range 0 .. 65535
    LONG max = 65535;
    DWORD deadZone = 0;
    DWORD saturation = 10000;
};

// One object of a device (key, axis, button, hat) as EnumObjects and GetObjectInfo report it.
struct DeviceObject {
    const GUID* type;
    DWORD offset;    // in the device's predefined data format
    DWORD typeFlags; // DIDFT_* type bits and instance
    char name[32];
};

class InputDevice final : public ComObject<IDirectInputDevice2A, "IDirectInputDeviceA"> {
public:
    InputDevice(DeviceKind kind, IDirectInputA* parent);
    ~InputDevice() override;

    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS caps) override;
    HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, LPVOID ref,
                                          DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID property, LPDIPROPHEADER header) override;
    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID property, LPCDIPROPHEADER header) override;
    HRESULT STDMETHODCALLTYPE Acquire() override;
    HRESULT STDMETHODCALLTYPE Unacquire() override;
    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override;
    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD objectSize, LPDIDEVICEOBJECTDATA data,
                                            LPDWORD inOut, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override;
    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE event) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA info, DWORD object,
                                            DWORD how) override;
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEA info) override;
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND owner, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE hinst, DWORD version, REFGUID guid) override;

    HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID guid, LPCDIEFFECT effect,
                                           LPDIRECTINPUTEFFECT* out, LPUNKNOWN outer) override;
    HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKA callback, LPVOID ref,
                                          DWORD type) override;
    HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOA info, REFGUID guid) override;
    HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD out) override;
    HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(
        LPDIENUMCREATEDEFFECTOBJECTSCALLBACK callback, LPVOID ref, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE escape) override;
    HRESULT STDMETHODCALLTYPE Poll() override;
    HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD objectSize, LPCDIDEVICEOBJECTDATA data,
                                             LPDWORD inOut, DWORD flags) override;

private:
    HRESULT CheckReadable();
    int AxisIndex(DWORD object, DWORD how) const;
    bool FindObject(DWORD object, DWORD how, DeviceObject* found) const;
    LONG ScaleAxis(int raw, const AxisSettings& axis) const;
    void ReadKeyboard(void* data);
    void ReadMouse(void* data);
    HRESULT ReadJoystick(void* data);

    DeviceKind kind;
    IDirectInputA* parent; // holds a reference, as a real device keeps DirectInput alive
    const DIDATAFORMAT* format = nullptr;
    DWORD cooperativeLevel = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    HWND cooperativeWindow = nullptr; // the window a foreground level belongs to
    bool acquired = false;
    unsigned acquiredEpoch = 0; // foreground losses seen when the device was acquired
    DWORD bufferSize = 0;
    DWORD axisMode = DIPROPAXISMODE_REL; // mouse: relative by default, joystick: absolute
    LONG mouseAbsolute[3] = {};          // accumulated mouse axes in absolute mode
    AxisSettings axes[8];                // joystick X, Y, Z, Rx, Ry, Rz, slider 0, slider 1
    HANDLE event = nullptr;
};

} // namespace tarn::platform
