// The XInput stand-in on the headless host: the structure layouts, empty slots and bad
// arguments, packet numbers that move only with the state, disabling (neutral state, motors
// stopped, the last request kept and sent again), a pad that goes taking its vibration with it,
// capabilities, injected faults, and the headless host's pad script steps.
#include "support/HeadlessTest.h"

#include "host/HeadlessScript.h"
#include "host/ScriptedHost.h"

#include <windows.h>
#include <xinput.h>

#include <cstddef>

using tarn::platform::CallCount;
using tarn::platform::InjectFault;
using tarn::platform::PadState;

static_assert(sizeof(XINPUT_GAMEPAD) == 12 && offsetof(XINPUT_GAMEPAD, sThumbLX) == 4);
static_assert(sizeof(XINPUT_STATE) == 16 && offsetof(XINPUT_STATE, Gamepad) == 4);
static_assert(sizeof(XINPUT_VIBRATION) == 4);
static_assert(sizeof(XINPUT_CAPABILITIES) == 20 && offsetof(XINPUT_CAPABILITIES, Vibration) == 16);

namespace {

using XInputTest = HeadlessTest;

DWORD Rumble(DWORD pad, WORD low, WORD high) {
    XINPUT_VIBRATION v = {low, high};
    return XInputSetState(pad, &v);
}

TEST_F(XInputTest, EmptySlotsAndBadArguments) {
    host->ConnectPad(1, true);
    XINPUT_STATE state;
    XINPUT_CAPABILITIES caps;
    XINPUT_VIBRATION still = {0, 0};
    struct Case {
        const char* name;
        DWORD got, want;
    } cases[] = {
        {"state, empty slot", XInputGetState(0, &state), ERROR_DEVICE_NOT_CONNECTED},
        {"state, slot 4", XInputGetState(4, &state), ERROR_BAD_ARGUMENTS},
        {"state, any slot", XInputGetState(XUSER_INDEX_ANY, &state), ERROR_BAD_ARGUMENTS},
        {"state, no buffer", XInputGetState(1, nullptr), ERROR_BAD_ARGUMENTS},
        {"vibration, empty slot", XInputSetState(3, &still), ERROR_DEVICE_NOT_CONNECTED},
        {"vibration, slot 4", XInputSetState(4, &still), ERROR_BAD_ARGUMENTS},
        {"vibration, none given", XInputSetState(1, nullptr), ERROR_BAD_ARGUMENTS},
        {"caps, empty slot", XInputGetCapabilities(2, XINPUT_FLAG_GAMEPAD, &caps),
         ERROR_DEVICE_NOT_CONNECTED},
        {"caps, unknown flag", XInputGetCapabilities(1, 2, &caps), ERROR_BAD_ARGUMENTS},
        {"caps, no buffer", XInputGetCapabilities(1, 0, nullptr), ERROR_BAD_ARGUMENTS},
        {"state, the pad", XInputGetState(1, &state), ERROR_SUCCESS},
        {"vibration, the pad", XInputSetState(1, &still), ERROR_SUCCESS},
        {"caps, the pad", XInputGetCapabilities(1, XINPUT_FLAG_GAMEPAD, &caps), ERROR_SUCCESS},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
    EXPECT_EQ(caps.Type, XINPUT_DEVTYPE_GAMEPAD);
    EXPECT_EQ(caps.SubType, XINPUT_DEVSUBTYPE_GAMEPAD);
    EXPECT_EQ(caps.Gamepad.wButtons, 0xF3FF); // every button but the two reserved bits
    EXPECT_EQ(caps.Gamepad.bLeftTrigger, 0xFF);
    EXPECT_EQ(caps.Vibration.wLeftMotorSpeed, 0xFFFF);
}

// The packet number is how a program skips a pad that did not change: it must move on every
// change and only then.
TEST_F(XInputTest, PacketNumberMovesOnlyWithTheState) {
    host->ConnectPad(0, true);
    XINPUT_STATE state;
    ASSERT_EQ(XInputGetState(0, &state), ERROR_SUCCESS);
    DWORD packet = state.dwPacketNumber;
    struct Step {
        const char* name;
        void (*change)(tarn::platform::HeadlessHost*);
        bool moves;
    } steps[] = {
        {"nothing", [](tarn::platform::HeadlessHost*) {}, false},
        {"A down",
         [](tarn::platform::HeadlessHost* h) { h->SetPadButton(0, XINPUT_GAMEPAD_A, true); }, true},
        {"A still down",
         [](tarn::platform::HeadlessHost* h) { h->SetPadButton(0, XINPUT_GAMEPAD_A, true); },
         false},
        {"stick", [](tarn::platform::HeadlessHost* h) { h->SetPadStick(0, 1, 5, -5); }, true},
        {"trigger", [](tarn::platform::HeadlessHost* h) { h->SetPadTrigger(0, 0, 1); }, true},
        {"another pad", [](tarn::platform::HeadlessHost* h) { h->SetPadTrigger(2, 0, 9); }, false},
    };
    for (const Step& s : steps) {
        s.change(host);
        ASSERT_EQ(XInputGetState(0, &state), ERROR_SUCCESS) << s.name;
        EXPECT_EQ(state.dwPacketNumber != packet, s.moves) << s.name;
        packet = state.dwPacketNumber;
    }
    EXPECT_EQ(state.Gamepad.wButtons, XINPUT_GAMEPAD_A);
    EXPECT_EQ(state.Gamepad.sThumbRX, 5);
    EXPECT_EQ(state.Gamepad.sThumbRY, -5);
    EXPECT_EQ(state.Gamepad.bLeftTrigger, 1);
}

TEST_F(XInputTest, DisabledPadsReadNeutralAndTheLastRequestWaits) {
    PadState pressed;
    pressed.buttons = XINPUT_GAMEPAD_B;
    pressed.leftX = 30000;
    pressed.rightTrigger = 200;
    host->SetPad(0, pressed);
    host->ConnectPad(1, true);
    ASSERT_EQ(Rumble(0, 1000, 2000), ERROR_SUCCESS);
    uint16_t low = 0, high = 0;
    host->PadRumble(0, &low, &high);
    EXPECT_EQ(low, 1000);
    EXPECT_EQ(high, 2000);

    XInputEnable(FALSE);
    host->PadRumble(0, &low, &high);
    EXPECT_EQ(low + high, 0) << "disabling stops the motors";
    XINPUT_STATE state;
    ASSERT_EQ(XInputGetState(0, &state), ERROR_SUCCESS) << "still connected";
    EXPECT_EQ(state.Gamepad.wButtons, 0);
    EXPECT_EQ(state.Gamepad.sThumbLX, 0);
    EXPECT_EQ(state.Gamepad.bRightTrigger, 0);
    ASSERT_EQ(Rumble(1, 7, 8), ERROR_SUCCESS);
    host->PadRumble(1, &low, &high);
    EXPECT_EQ(low + high, 0) << "kept, not sent";

    XInputEnable(TRUE);
    host->PadRumble(0, &low, &high);
    EXPECT_EQ(low, 1000);
    host->PadRumble(1, &low, &high);
    EXPECT_EQ(high, 8);
    ASSERT_EQ(XInputGetState(0, &state), ERROR_SUCCESS);
    EXPECT_EQ(state.Gamepad.wButtons, XINPUT_GAMEPAD_B);
}

TEST_F(XInputTest, APadThatGoesTakesItsVibrationAlong) {
    host->ConnectPad(2, true);
    ASSERT_EQ(Rumble(2, 500, 600), ERROR_SUCCESS);
    XInputEnable(FALSE);
    host->ConnectPad(2, false);
    XINPUT_STATE state;
    EXPECT_EQ(XInputGetState(2, &state), ERROR_DEVICE_NOT_CONNECTED);
    host->ConnectPad(2, true);
    XInputEnable(TRUE);
    uint16_t low = 1, high = 1;
    host->PadRumble(2, &low, &high);
    EXPECT_EQ(low + high, 0) << "a new pad starts still";
}

TEST_F(XInputTest, CallsAreCountedAndFaultsInjected) {
    host->ConnectPad(0, true);
    InjectFault("XInputGetState", 2, ERROR_DEVICE_NOT_CONNECTED);
    InjectFault("XInputSetState", 1, E_FAIL);
    XINPUT_STATE state;
    EXPECT_EQ(XInputGetState(0, &state), ERROR_SUCCESS);
    EXPECT_EQ(XInputGetState(0, &state), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(XInputGetState(0, &state), ERROR_SUCCESS);
    EXPECT_EQ(Rumble(0, 1, 1), (DWORD)E_FAIL);
    uint16_t low = 0, high = 0;
    host->PadRumble(0, &low, &high);
    EXPECT_EQ(low, 0) << "a failed call does nothing";
    InjectFault("XInputEnable", 1, 0);
    XInputEnable(FALSE); // swallowed
    ASSERT_EQ(XInputGetState(0, &state), ERROR_SUCCESS);
    host->SetPadButton(0, XINPUT_GAMEPAD_Y, true);
    ASSERT_EQ(XInputGetState(0, &state), ERROR_SUCCESS);
    EXPECT_EQ(state.Gamepad.wButtons, XINPUT_GAMEPAD_Y) << "still enabled";
    EXPECT_EQ(CallCount("XInputGetState"), 5u);
    EXPECT_EQ(CallCount("XInputEnable"), 1u);
}

TEST_F(XInputTest, ScriptedPads) {
    tarn::platform::PlayScript(
        "pbutton 1 A 1; pbutton 1 dpleft 1; pbutton 1 0x0020 1; pstick 1 R 100 -200; "
        "ptrigger 1 L 255; pad 3 1; ptrigger 3 r 7; pbutton 3 LB 1; pbutton 3 LB 0");
    PadState pad;
    EXPECT_FALSE(host->ReadPad(0, &pad));
    ASSERT_TRUE(host->ReadPad(1, &pad)) << "plugged in by its first step";
    EXPECT_EQ(pad.buttons, XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_BACK) << "dpleft is no name";
    EXPECT_EQ(pad.rightX, 100);
    EXPECT_EQ(pad.rightY, -200);
    EXPECT_EQ(pad.leftTrigger, 255);
    ASSERT_TRUE(host->ReadPad(3, &pad));
    EXPECT_EQ(pad.rightTrigger, 7);
    EXPECT_EQ(pad.buttons, 0);
    tarn::platform::PlayScript("pad 1 0");
    EXPECT_FALSE(host->ReadPad(1, &pad));

    std::vector<tarn::platform::ScriptStep> steps;
    std::string error;
    EXPECT_FALSE(tarn::platform::ParseScript("pad 4 1; pad 0 2; pbutton 0 C 1; pbutton 0 3 1; "
                                             "pstick 0 M 1 1; pstick 0 L 40000 0; ptrigger 0 L "
                                             "256; ptrigger 0 R; pbutton 0 A 1 extra",
                                             &steps, &error));
    EXPECT_TRUE(steps.empty()) << steps.size() << " bad steps read";
    EXPECT_NE(error.find("pbutton 0 3 1"), std::string::npos) << "3 is two bits";
}

} // namespace
