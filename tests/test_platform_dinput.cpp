// The DirectInput stand-in on the headless host: the foreground rules of acquiring and reading,
// the state sizes of the data formats, what the host's keyboard, mouse and joystick read as, the
// joystick's range and dead zone, device enumeration, bad arguments, and reference counting.
#include "support/HeadlessTest.h"
#include "support/TestWindow.h"

#include <windows.h>
#include <dinput.h>

#include <cstring>
#include <string>
#include <vector>

using tarn::platform::CallCount;
using tarn::platform::InjectFault;
using tarn::platform::LiveObjects;

static_assert(sizeof(DIDEVICEINSTANCEA) == 580);
static_assert(sizeof(DIMOUSESTATE) == 16);
static_assert(sizeof(DIJOYSTATE) == 80);
static_assert(sizeof(DIPROPHEADER) == 16 && sizeof(DIPROPDWORD) == 20 && sizeof(DIPROPRANGE) == 24);
static_assert(DIJOFS_X == 0 && DIJOFS_Y == 4 && DIJOFS_BUTTON(0) == 48);

namespace {

enum class Kind { Keyboard, Mouse, Joystick };

const char* KindName(Kind kind) {
    return kind == Kind::Keyboard ? "keyboard" : kind == Kind::Mouse ? "mouse" : "joystick";
}

class DInputTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        window = MakeTestWindow("TarnDInputTest", WS_POPUP | WS_VISIBLE);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(DirectInputCreateA(GetModuleHandleA(nullptr), 0x0700, &di, nullptr), DI_OK);
    }

    void TearDown() override {
        if (di != nullptr) di->Release();
        if (window != nullptr) DestroyWindow(window);
        EXPECT_EQ(LiveObjects("dinput"), 0);
        EXPECT_EQ(LiveObjects("dinputdevice"), 0);
        HeadlessTest::TearDown();
    }

    // Finds the joystick's instance GUID through EnumDevices; false when none is attached.
    bool FindJoystick(GUID* guid) {
        struct Found {
            bool any = false;
            GUID guid = {};
        } found;
        auto callback = [](LPCDIDEVICEINSTANCEA info, LPVOID ref) -> BOOL {
            Found* f = static_cast<Found*>(ref);
            f->any = true;
            f->guid = info->guidInstance;
            return DIENUM_STOP;
        };
        di->EnumDevices(DIDEVTYPE_JOYSTICK, callback, &found, DIEDFL_ATTACHEDONLY);
        *guid = found.guid;
        return found.any;
    }

    // A device of `kind` with its predefined format at the foreground, non-exclusive level.
    IDirectInputDevice2A* MakeDevice(Kind kind,
                                     DWORD level = DISCL_FOREGROUND | DISCL_NONEXCLUSIVE) {
        GUID guid = GUID_SysKeyboard;
        const DIDATAFORMAT* format = &c_dfDIKeyboard;
        if (kind == Kind::Mouse) {
            guid = GUID_SysMouse;
            format = &c_dfDIMouse;
        } else if (kind == Kind::Joystick) {
            host->AttachJoystick(true);
            if (!FindJoystick(&guid)) return nullptr;
            format = &c_dfDIJoystick;
        }
        IDirectInputDeviceA* device = nullptr;
        if (FAILED(di->CreateDevice(guid, &device, nullptr))) return nullptr;
        void* device2 = nullptr;
        HRESULT hr = device->QueryInterface(IID_IDirectInputDevice2A, &device2);
        device->Release();
        if (FAILED(hr)) return nullptr;
        IDirectInputDevice2A* result = static_cast<IDirectInputDevice2A*>(device2);
        EXPECT_EQ(result->SetDataFormat(format), DI_OK);
        EXPECT_EQ(result->SetCooperativeLevel(window, level), DI_OK);
        return result;
    }

    static DWORD StateSize(Kind kind) {
        return kind == Kind::Keyboard ? 256
               : kind == Kind::Mouse  ? sizeof(DIMOUSESTATE)
                                      : sizeof(DIJOYSTATE);
    }

    HWND window = nullptr;
    IDirectInputA* di = nullptr;
};

const Kind ALL_KINDS[] = {Kind::Keyboard, Kind::Mouse, Kind::Joystick};

TEST_F(DInputTest, ForegroundDeviceIsAcquiredOnlyWithTheForeground) {
    for (Kind kind : ALL_KINDS) {
        SCOPED_TRACE(KindName(kind));
        host->SetFocus(false);
        IDirectInputDevice2A* foreground = MakeDevice(kind);
        IDirectInputDevice2A* background = MakeDevice(kind, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE);
        ASSERT_NE(foreground, nullptr);
        ASSERT_NE(background, nullptr);
        EXPECT_EQ(foreground->Acquire(), DIERR_OTHERAPPHASPRIO);
        EXPECT_EQ(foreground->Acquire(), (HRESULT)0x80070005);
        EXPECT_EQ(background->Acquire(), DI_OK);

        host->SetFocus(true);
        EXPECT_EQ(foreground->Acquire(), DI_OK);
        EXPECT_EQ(foreground->Acquire(), DI_NOEFFECT); // already acquired
        EXPECT_EQ(foreground->Unacquire(), DI_OK);
        EXPECT_EQ(foreground->Unacquire(), DI_NOEFFECT);
        foreground->Release();
        background->Release();
    }
}

// The foreground belongs to a window, not to the program: while another window of the same
// program is the active one, a device set up for this window is refused.
TEST_F(DInputTest, ForegroundDeviceNeedsItsOwnWindowActive) {
    IDirectInputDevice2A* keyboard = MakeDevice(Kind::Keyboard);
    ASSERT_NE(keyboard, nullptr);
    HWND other = MakeTestWindow("TarnDInputOther", WS_POPUP | WS_VISIBLE);
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(GetActiveWindow(), other);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    DestroyWindow(other); // activation goes back to the device's window
    ASSERT_EQ(GetActiveWindow(), window);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    keyboard->Release();
}

// After the foreground goes, a read fails once with DIERR_INPUTLOST and then with
// DIERR_NOTACQUIRED, even once the foreground is back, until the device is acquired again.
TEST_F(DInputTest, ReadsAfterLosingTheForegroundFailUntilAcquiredAgain) {
    for (Kind kind : ALL_KINDS) {
        SCOPED_TRACE(KindName(kind));
        IDirectInputDevice2A* device = MakeDevice(kind);
        ASSERT_NE(device, nullptr);
        BYTE state[256] = {};
        ASSERT_EQ(device->Acquire(), DI_OK);
        EXPECT_EQ(device->GetDeviceState(StateSize(kind), state), DI_OK);

        host->SetFocus(false);
        EXPECT_EQ(device->GetDeviceState(StateSize(kind), state), DIERR_INPUTLOST);
        EXPECT_EQ(device->GetDeviceState(StateSize(kind), state), DIERR_NOTACQUIRED);
        host->SetFocus(true);
        EXPECT_EQ(device->GetDeviceState(StateSize(kind), state), DIERR_NOTACQUIRED);
        EXPECT_EQ(device->Acquire(), DI_OK);
        EXPECT_EQ(device->GetDeviceState(StateSize(kind), state), DI_OK);
        device->Release();
    }
}

TEST_F(DInputTest, StateReadsMustMatchTheDataFormatSize) {
    for (Kind kind : ALL_KINDS) {
        SCOPED_TRACE(KindName(kind));
        IDirectInputDevice2A* device = MakeDevice(kind);
        ASSERT_NE(device, nullptr);
        BYTE state[300] = {};
        DWORD size = StateSize(kind);
        EXPECT_EQ(device->GetDeviceState(size, state), DIERR_NOTACQUIRED);
        ASSERT_EQ(device->Acquire(), DI_OK);
        for (DWORD wrong : {DWORD(0), size - 1, size + 1, DWORD(256 + 80 + 16 - size)}) {
            if (wrong == size) continue;
            EXPECT_EQ(device->GetDeviceState(wrong, state), DIERR_INVALIDPARAM) << wrong;
        }
        EXPECT_EQ(device->GetDeviceState(size, nullptr), DIERR_INVALIDPARAM);
        EXPECT_EQ(device->GetDeviceState(size, state), DI_OK);
        device->Release();
    }
}

TEST_F(DInputTest, KeyboardAndMouseReadTheHost) {
    IDirectInputDevice2A* keyboard = MakeDevice(Kind::Keyboard);
    IDirectInputDevice2A* mouse = MakeDevice(Kind::Mouse);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    host->MoveMouse(50, 50); // before the acquisition: not reported
    ASSERT_EQ(mouse->Acquire(), DI_OK);

    host->SetKey(DIK_A, true);
    host->SetKey(DIK_RCONTROL, true);
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    for (int dik = 0; dik < 256; ++dik) {
        bool down = dik == DIK_A || dik == DIK_RCONTROL;
        EXPECT_EQ(keys[dik], down ? 0x80 : 0x00) << dik;
    }

    host->MoveMouse(3, -2);
    host->TurnWheel(240);
    host->SetMouseButton(3, true);
    DIMOUSESTATE state;
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 3);
    EXPECT_EQ(state.lY, -2);
    EXPECT_EQ(state.lZ, 240);
    EXPECT_EQ(state.rgbButtons[0], 0);
    EXPECT_EQ(state.rgbButtons[3], 0x80);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK); // motion was consumed
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.lZ, 0);
    EXPECT_EQ(state.rgbButtons[3], 0x80);
    keyboard->Release();
    mouse->Release();
}

void SetRange(IDirectInputDevice2A* device, DWORD how, DWORD object, LONG min, LONG max) {
    DIPROPRANGE range = {{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), object, how}, min, max};
    ASSERT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
}

void SetDeadZone(IDirectInputDevice2A* device, DWORD how, DWORD object, DWORD value) {
    DIPROPDWORD dead = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), object, how}, value};
    ASSERT_EQ(device->SetProperty(DIPROP_DEADZONE, &dead.diph), DI_OK);
}

TEST_F(DInputTest, JoystickAxesFollowRangeAndDeadZone) {
    struct Case {
        LONG min, max;
        DWORD deadZone;
        int raw;
        LONG expected;
    };
    const Case cases[] = {
        {0, 65535, 0, 0, 32767},          {0, 65535, 0, 32767, 65535},
        {0, 65535, 0, -32768, 0},         {-1000, 1000, 1000, 0, 0},
        {-1000, 1000, 1000, 3000, 0},     {-1000, 1000, 1000, -3276, 0},
        {-1000, 1000, 1000, 32767, 1000}, {-1000, 1000, 1000, -32768, -1000},
        {-1000, 1000, 1000, 16384, 444},  {-1000, 1000, 1000, -16384, -444},
        {-1000, 1000, 0, 16384, 500},     {-100, 100, 10000, 32767, 0},
    };
    IDirectInputDevice2A* joystick = MakeDevice(Kind::Joystick);
    ASSERT_NE(joystick, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.min << ".." << c.max << " dead " << c.deadZone << " raw " << c.raw);
        SetRange(joystick, DIPH_BYOFFSET, DIJOFS_X, c.min, c.max);
        SetRange(joystick, DIPH_BYOFFSET, DIJOFS_Y, c.min, c.max);
        SetDeadZone(joystick, DIPH_BYOFFSET, DIJOFS_X, c.deadZone);
        SetDeadZone(joystick, DIPH_BYOFFSET, DIJOFS_Y, c.deadZone);
        ASSERT_TRUE(SUCCEEDED(joystick->Acquire()));
        host->SetJoystick(c.raw, -c.raw - 1);
        DIJOYSTATE state;
        ASSERT_EQ(joystick->Poll(), DI_OK);
        ASSERT_EQ(joystick->GetDeviceState(sizeof(state), &state), DI_OK);
        EXPECT_EQ(state.lX, c.expected);
        EXPECT_GE(state.lY, c.min);
        EXPECT_LE(state.lY, c.max);
    }

    // Set per axis, read back per axis; the whole device at once sets both.
    SetRange(joystick, DIPH_BYOFFSET, DIJOFS_X, -10, 10);
    SetRange(joystick, DIPH_BYOFFSET, DIJOFS_Y, -20, 20);
    DIPROPRANGE range = {
        {sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), DIJOFS_Y, DIPH_BYOFFSET}, 0, 0};
    ASSERT_EQ(joystick->GetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    EXPECT_EQ(range.lMin, -20);
    EXPECT_EQ(range.lMax, 20);
    SetDeadZone(joystick, DIPH_DEVICE, 0, 2500);
    DIPROPDWORD dead = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), DIJOFS_X, DIPH_BYOFFSET}, 0};
    ASSERT_EQ(joystick->GetProperty(DIPROP_DEADZONE, &dead.diph), DI_OK);
    EXPECT_EQ(dead.dwData, 2500u);

    host->SetJoystickButton(0, true);
    host->SetJoystickButton(31, true);
    DIJOYSTATE state;
    ASSERT_EQ(joystick->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.rgbButtons[0], 0x80);
    EXPECT_EQ(state.rgbButtons[1], 0);
    EXPECT_EQ(state.rgbButtons[31], 0x80);
    joystick->Release();
}

TEST_F(DInputTest, PropertiesRejectMalformedHeaders) {
    IDirectInputDevice2A* joystick = MakeDevice(Kind::Joystick);
    IDirectInputDevice2A* keyboard = MakeDevice(Kind::Keyboard);
    ASSERT_NE(joystick, nullptr);
    // Bad values are refused by SetProperty only; bad headers by GetProperty as well.
    struct Case {
        const char* what;
        IDirectInputDevice2A* device;
        const GUID* property;
        DIPROPRANGE prop; // a DIPROPDWORD's dwData shares lMin's place
        HRESULT expected;
        bool badHeader;
    };
    const DWORD H = sizeof(DIPROPHEADER);
    const DWORD X = DIJOFS_X, BY = DIPH_BYOFFSET;
    const HRESULT INVALID = DIERR_INVALIDPARAM, NOTFOUND = DIERR_OBJECTNOTFOUND;
    // clang-format off
    const Case cases[] = {
        {"header size",       joystick, &DIPROP_RANGE,    {{24, 12, X, BY}, 0, 9},  INVALID, true},
        {"range size",        joystick, &DIPROP_RANGE,    {{20, H, X, BY}, 0, 9},   INVALID, true},
        {"empty range",       joystick, &DIPROP_RANGE,    {{24, H, X, BY}, 5, 5},   INVALID, false},
        {"reversed range",    joystick, &DIPROP_RANGE,    {{24, H, X, BY}, 9, 0},   INVALID, false},
        {"dead zone size",    joystick, &DIPROP_DEADZONE, {{24, H, X, BY}, 0, 0},   INVALID, true},
        {"dead zone > 10000", joystick, &DIPROP_DEADZONE, {{20, H, X, BY}, 10001, 0}, INVALID, false},
        {"no such axis",      joystick, &DIPROP_RANGE,    {{24, H, DIJOFS_Z, BY}, 0, 9}, NOTFOUND, true},
        {"button, no axis",   joystick, &DIPROP_RANGE,    {{24, H, DIJOFS_BUTTON(0), BY}, 0, 9}, NOTFOUND, true},
        {"device and object", joystick, &DIPROP_RANGE,    {{24, H, 4, DIPH_DEVICE}, 0, 9}, NOTFOUND, true},
        {"bad dwHow",         joystick, &DIPROP_RANGE,    {{24, H, X, 7}, 0, 9},    INVALID, true},
        {"keyboard range",    keyboard, &DIPROP_RANGE,    {{24, H, 0x1E, BY}, 0, 9}, DIERR_UNSUPPORTED, true},
        {"unknown property",  joystick, &GUID_XAxis,      {{24, H, X, BY}, 0, 9},   DIERR_UNSUPPORTED, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(c.device->SetProperty(*c.property, &c.prop.diph), c.expected) << c.what;
        DIPROPRANGE out = c.prop;
        if (c.badHeader) {
            EXPECT_EQ(c.device->GetProperty(*c.property, &out.diph), c.expected) << c.what;
        }
    }
    EXPECT_EQ(joystick->SetProperty(DIPROP_RANGE, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(joystick->GetProperty(DIPROP_RANGE, nullptr), DIERR_INVALIDPARAM);

    // The range before and after the rejected calls is DirectInput's default.
    DIPROPRANGE range = {{24, H, DIJOFS_X, DIPH_BYOFFSET}, 1, 1};
    ASSERT_EQ(joystick->GetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    EXPECT_EQ(range.lMin, 0);
    EXPECT_EQ(range.lMax, 65535);
    joystick->Release();
    keyboard->Release();
}

TEST_F(DInputTest, EnumDevicesReportsTheAttachedJoystick) {
    std::vector<DIDEVICEINSTANCEA> seen;
    auto collect = [](LPCDIDEVICEINSTANCEA info, LPVOID ref) -> BOOL {
        static_cast<std::vector<DIDEVICEINSTANCEA>*>(ref)->push_back(*info);
        return DIENUM_CONTINUE;
    };
    ASSERT_EQ(di->EnumDevices(DIDEVTYPE_JOYSTICK, collect, &seen, DIEDFL_ATTACHEDONLY), DI_OK);
    EXPECT_TRUE(seen.empty());

    host->AttachJoystick(true, "Test Pad");
    ASSERT_EQ(di->EnumDevices(DIDEVTYPE_JOYSTICK, collect, &seen, DIEDFL_ATTACHEDONLY), DI_OK);
    ASSERT_EQ(seen.size(), 1u);
    const DIDEVICEINSTANCEA pad = seen[0];
    EXPECT_EQ(pad.dwSize, 580u);
    EXPECT_EQ(GET_DIDEVICE_TYPE(pad.dwDevType), DIDEVTYPE_JOYSTICK);
    EXPECT_NE(GET_DIDEVICE_SUBTYPE(pad.dwDevType), 0);
    EXPECT_STREQ(pad.tszProductName, "Test Pad");
    EXPECT_EQ(di->GetDeviceStatus(pad.guidInstance), DI_OK);

    // The instance GUID creates the device, which describes itself the same way.
    IDirectInputDeviceA* device = nullptr;
    ASSERT_EQ(di->CreateDevice(pad.guidInstance, &device, nullptr), DI_OK);
    DIDEVICEINSTANCEA info;
    std::memset(&info, 0xCC, sizeof(info));
    info.dwSize = sizeof(info);
    ASSERT_EQ(device->GetDeviceInfo(&info), DI_OK);
    EXPECT_TRUE(info.guidInstance == pad.guidInstance);
    EXPECT_EQ(info.dwDevType, pad.dwDevType);
    device->Release();

    // All devices: mouse, keyboard, joystick; the callback can stop the enumeration.
    seen.clear();
    ASSERT_EQ(di->EnumDevices(0, collect, &seen, DIEDFL_ATTACHEDONLY), DI_OK);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_TRUE(seen[0].guidInstance == GUID_SysMouse);
    EXPECT_TRUE(seen[1].guidInstance == GUID_SysKeyboard);
    int calls = 0;
    auto stop = [](LPCDIDEVICEINSTANCEA, LPVOID ref) -> BOOL {
        ++*static_cast<int*>(ref);
        return DIENUM_STOP;
    };
    ASSERT_EQ(di->EnumDevices(0, stop, &calls, 0), DI_OK);
    EXPECT_EQ(calls, 1);

    // Unplugged: no longer enumerated nor creatable.
    host->AttachJoystick(false);
    seen.clear();
    ASSERT_EQ(di->EnumDevices(DIDEVTYPE_JOYSTICK, collect, &seen, DIEDFL_ATTACHEDONLY), DI_OK);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(di->GetDeviceStatus(pad.guidInstance), DI_NOTATTACHED);
    device = reinterpret_cast<IDirectInputDeviceA*>(&calls);
    EXPECT_EQ(di->CreateDevice(pad.guidInstance, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
}

TEST_F(DInputTest, UnpluggedJoystickLosesItsAcquisition) {
    IDirectInputDevice2A* joystick = MakeDevice(Kind::Joystick);
    ASSERT_NE(joystick, nullptr);
    ASSERT_EQ(joystick->Acquire(), DI_OK);
    host->AttachJoystick(false);
    DIJOYSTATE state;
    EXPECT_EQ(joystick->Poll(), DIERR_INPUTLOST);
    EXPECT_EQ(joystick->GetDeviceState(sizeof(state), &state), DIERR_NOTACQUIRED);
    EXPECT_TRUE(FAILED(joystick->Acquire()));
    joystick->Release();
}

TEST_F(DInputTest, BadArgumentsGetTheRealErrors) {
    IDirectInputA* other = reinterpret_cast<IDirectInputA*>(this);
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0700, nullptr, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0800, &other, nullptr), DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0700, &other, reinterpret_cast<IUnknown*>(di)),
              DIERR_NOAGGREGATION);

    IDirectInputDeviceA* device = reinterpret_cast<IDirectInputDeviceA*>(this);
    EXPECT_EQ(di->CreateDevice(GUID_Joystick, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(di->CreateDevice(GUID_SysMouse, nullptr, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(di->EnumDevices(DIDEVTYPE_JOYSTICK, nullptr, nullptr, 0), DIERR_INVALIDPARAM);
    auto never = [](LPCDIDEVICEINSTANCEA, LPVOID) -> BOOL { return DIENUM_CONTINUE; };
    EXPECT_EQ(di->EnumDevices(5, never, nullptr, 0), DIERR_INVALIDPARAM);
    EXPECT_EQ(di->EnumDevices(0, never, nullptr, 0x8), DIERR_INVALIDPARAM);
    void* none = this;
    EXPECT_EQ(di->QueryInterface(IID_IDirectInputDeviceA, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &device, nullptr), DI_OK);
    EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM); // no data format yet
    EXPECT_EQ(device->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(device->SetDataFormat(&c_dfDIMouse), DIERR_INVALIDPARAM); // not a keyboard format
    EXPECT_EQ(device->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    struct Level {
        HWND hwnd;
        DWORD flags;
        HRESULT expected;
    };
    const Level levels[] = {
        {window, 0, DIERR_INVALIDPARAM},
        {window, DISCL_FOREGROUND, DIERR_INVALIDPARAM},
        {window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, DIERR_INVALIDPARAM},
        {window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND, DIERR_INVALIDPARAM},
        {window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | 0x100, DIERR_INVALIDPARAM},
        {nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, E_HANDLE},
        {window, DISCL_EXCLUSIVE | DISCL_BACKGROUND, DIERR_UNSUPPORTED},
        {nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND, DI_OK},
        {window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, DI_OK},
    };
    for (const Level& level : levels)
        EXPECT_EQ(device->SetCooperativeLevel(level.hwnd, level.flags), level.expected)
            << std::hex << level.flags;
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(device->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(device->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
              DIERR_ACQUIRED);

    DIDEVICEINSTANCEA info = {};
    EXPECT_EQ(device->GetDeviceInfo(nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(device->GetDeviceInfo(&info), DIERR_INVALIDPARAM); // dwSize 0
    info.dwSize = sizeof(DIDEVICEINSTANCE_DX3A);
    EXPECT_EQ(device->GetDeviceInfo(&info), DI_OK);
    EXPECT_EQ(GET_DIDEVICE_TYPE(info.dwDevType), DIDEVTYPE_KEYBOARD);
    DIDEVCAPS caps = {};
    EXPECT_EQ(device->GetCapabilities(&caps), DIERR_INVALIDPARAM);
    DWORD count = 4;
    DIDEVICEOBJECTDATA data[4];
    EXPECT_EQ(device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &count, 0),
              DIERR_NOTBUFFERED);
    EXPECT_EQ(device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, nullptr, 0),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(device->QueryInterface(IID_IDirectInputA, &none), E_NOINTERFACE);
    EXPECT_EQ(device->QueryInterface(IID_IDirectInputDevice2A, nullptr), E_POINTER);
    device->Release();
}

// A device keeps DirectInput alive; the last release frees both.
TEST_F(DInputTest, DevicesHoldDirectInputAndFreeOnTheLastRelease) {
    IDirectInputDeviceA* mouse = nullptr;
    ASSERT_EQ(di->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);
    EXPECT_EQ(LiveObjects("dinput"), 1);
    EXPECT_EQ(LiveObjects("dinputdevice"), 1);
    EXPECT_EQ(di->Release(), 1u); // the device's reference remains
    di = nullptr;
    EXPECT_EQ(LiveObjects("dinput"), 1);

    void* mouse2 = nullptr;
    ASSERT_EQ(mouse->QueryInterface(IID_IDirectInputDevice2A, &mouse2), S_OK);
    EXPECT_EQ(mouse->Release(), 1u);
    EXPECT_EQ(LiveObjects("dinputdevice"), 1);
    EXPECT_EQ(static_cast<IDirectInputDevice2A*>(mouse2)->Release(), 0u);
    EXPECT_EQ(LiveObjects("dinputdevice"), 0);
    EXPECT_EQ(LiveObjects("dinput"), 0);
}

TEST_F(DInputTest, CallsAreCountedAndFaultsInjected) {
    IDirectInputDevice2A* keyboard = MakeDevice(Kind::Keyboard);
    tarn::platform::ResetCallCounts();
    InjectFault("IDirectInputDeviceA::Acquire", 2, DIERR_GENERIC);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    keyboard->Unacquire();
    EXPECT_EQ(keyboard->Acquire(), DIERR_GENERIC);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(CallCount("IDirectInputDeviceA::Acquire"), 3u);
    BYTE keys[256];
    InjectFault("IDirectInputDeviceA::GetDeviceState", 1, DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DI_OK);
    EXPECT_EQ(CallCount("IDirectInputDevice2A::Poll"), 0u);
    keyboard->Release();
}

} // namespace
