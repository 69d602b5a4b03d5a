// TarnInput on the headless host: creation and its early returns, the acquire operations and the
// flags they keep, the key state machine, mouse acceleration, sensitivity, clamping and wheel,
// the joystick, recovery from failed reads, the key tables checked row by row against the key
// table written out independently below, press times across the clock's wrap, and an Update
// that allocates nothing.
#include "support/AllocationCounter.h"
#include "support/HeadlessTest.h"
#include "support/TestWindow.h"

#include "input/TarnInput.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using tarn::platform::CallCount;
using tarn::platform::InjectFault;
using tarn::platform::LiveObjects;

class InputTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        window = MakeTestWindow("TarnInputTest", WS_POPUP | WS_VISIBLE);
        ASSERT_NE(window, nullptr);
        input = new TarnInput;
    }

    void TearDown() override {
        delete input;
        if (window != nullptr) DestroyWindow(window);
        EXPECT_EQ(LiveObjects("dinput"), 0);
        EXPECT_EQ(LiveObjects("dinputdevice"), 0);
        HeadlessTest::TearDown();
    }

    HRESULT Create() { return input->Create(GetModuleHandleA(nullptr), window); }

    HWND window = nullptr;
    TarnInput* input = nullptr;
};

// DIK codes used below, as plain numbers.
const int SCAN_A = 0x1E;
const int SCAN_ESCAPE = 0x01;

TEST_F(InputTest, ConstructorSetsTheDefaults) {
    const TarnInput& in = *input;
    EXPECT_EQ(in.directInput, nullptr);
    EXPECT_EQ(in.keyboardDevice, nullptr);
    EXPECT_EQ(in.mouseDevice, nullptr);
    EXPECT_EQ(in.joystickDevice, nullptr);
    EXPECT_EQ(in.mouseAcquired | in.keyboardAcquired | in.joystickAcquired, 0);
    EXPECT_EQ(in.mouseSensitivity, 1.0f);
    EXPECT_EQ(in.joystickSensitivity, 1.0f);
    for (LONG min : {in.mouseMinX, in.mouseMinY, in.joystickMinX, in.joystickMinY})
        EXPECT_EQ(min, INT32_MIN);
    for (LONG max : {in.mouseMaxX, in.mouseMaxY, in.joystickMaxX, in.joystickMaxY})
        EXPECT_EQ(max, INT32_MAX);
    EXPECT_EQ(in.mouseAccelThreshold1, 2);
    EXPECT_EQ(in.mouseAccelThreshold2, 6);
    EXPECT_EQ(in.mouseAccelFactor1, 1.5);
    EXPECT_EQ(in.mouseAccelFactor2, 2.0);
    EXPECT_EQ(in.window, nullptr);
    for (LONG v : {in.mouseX, in.mouseY, in.mouseFreeX, in.mouseFreeY, in.mouseDeltaX,
                   in.mouseDeltaY, in.joystickX, in.joystickY, in.joystickFreeX, in.joystickFreeY,
                   in.joystickDeltaX, in.joystickDeltaY})
        EXPECT_EQ(v, 0);
    EXPECT_EQ(in.wheelUp | in.wheelDown | in.wheelUpCount | in.wheelDownCount, 0);
    // Every state byte and press record starts at zero, on the heap as well; the key tables are
    // there from construction (checked entry by entry by KeyTableTest).
    auto allZero = [](const void* p, size_t size) {
        const BYTE* bytes = static_cast<const BYTE*>(p);
        for (size_t i = 0; i < size; ++i)
            if (bytes[i] != 0) return false;
        return true;
    };
    EXPECT_TRUE(allZero(in.keyState, sizeof(in.keyState)));
    EXPECT_TRUE(allZero(in.keyboardBuffer, sizeof(in.keyboardBuffer)));
    EXPECT_TRUE(allZero(in.keyPressTime, sizeof(in.keyPressTime)));
    EXPECT_TRUE(allZero(in.keyPressPos, sizeof(in.keyPressPos)));
    EXPECT_STREQ(in.keyNames[256], "MOUSE LEFT");
    EXPECT_EQ(in.dikToKey[SCAN_A], 97u);
}

TEST_F(InputTest, CreateWithoutJoystickSucceedsAndLeavesTheJoystickAlone) {
    host->SetCursorPos(100, 200);
    ASSERT_EQ(Create(), 0);
    EXPECT_EQ(input->window, window);
    EXPECT_NE(input->directInput, nullptr);
    EXPECT_NE(input->keyboardDevice, nullptr);
    EXPECT_NE(input->mouseDevice, nullptr);
    EXPECT_EQ(input->joystickDevice, nullptr);
    EXPECT_EQ(input->mouseAcquired, 1);
    EXPECT_EQ(input->keyboardAcquired, 1);
    EXPECT_EQ(input->joystickAcquired, 0);
    EXPECT_EQ(input->mouseX, 100);
    EXPECT_EQ(input->mouseY, 200);
    EXPECT_EQ(input->mouseFreeX, 0);
    EXPECT_EQ(input->mouseFreeY, 0);

    input->joystickX = 11;
    input->joystickFreeY = 22;
    input->joystickDeltaX = 33;
    input->joystickSubtype = 44;
    tarn::platform::ResetCallCounts();
    host->MoveMouse(1, 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(input->Update(), 0);
    EXPECT_EQ(CallCount("IDirectInputDevice2A::Poll"), 0u);
    EXPECT_EQ(input->joystickX, 11);
    EXPECT_EQ(input->joystickFreeY, 22);
    EXPECT_EQ(input->joystickDeltaX, 33);
    EXPECT_EQ(input->joystickSubtype, 44u);
    EXPECT_EQ(input->mouseFreeX, 1);
}

// Without the foreground every acquisition is refused 51 times: Create tolerates it, and all
// three devices keep their flags, since it was not the program that gave them up.
TEST_F(InputTest, CreateWithoutTheForegroundToleratesRefusedAcquisitions) {
    host->AttachJoystick(true);
    host->SetFocus(false);
    tarn::platform::ResetCallCounts();
    ASSERT_EQ(Create(), 0);
    EXPECT_EQ(CallCount("IDirectInputDeviceA::Acquire"), 3u * 51u);
    EXPECT_EQ(input->mouseAcquired, 1);
    EXPECT_EQ(input->keyboardAcquired, 1);
    EXPECT_EQ(input->joystickAcquired, 1);
    EXPECT_NE(input->joystickDevice, nullptr);
    EXPECT_STREQ(input->keyNames[27], "ESC");

    // Each poll fails at the keyboard until the foreground is back. Then one device per poll is
    // found unacquired and acquired again, in the poll order: the keyboard (flushing every key),
    // the mouse, the joystick; the poll after that reads all three.
    EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED);
    host->SetFocus(true);
    host->SetKey(SCAN_A, true);
    host->SetJoystickButton(0, true);
    EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED);
    EXPECT_EQ(input->keyState[97], KEY_UP);
    EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED);
    EXPECT_EQ(input->keyState[97], KEY_PRESSED);
    EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED);
    EXPECT_EQ(input->keyState[97], KEY_HELD);
    EXPECT_EQ(input->keyState[260], KEY_UP);
    EXPECT_EQ(input->Update(), 0);
    EXPECT_EQ(input->keyState[260], KEY_PRESSED);
    EXPECT_EQ(input->mouseAcquired & input->keyboardAcquired & input->joystickAcquired, 1);
}

// A device that loses its acquisition while the program is away is acquired again once the
// program is back, however often it was refused in between. (No keyboard and no mouse here, so
// that the polls reach the joystick while the program is away.)
TEST_F(InputTest, JoystickLostWhileAwayComesBackWithTheForeground) {
    host->AttachJoystick(true);
    InjectFault("IDirectInputA::CreateDevice", 1, DIERR_DEVICENOTREG, 2); // mouse, keyboard
    ASSERT_EQ(Create(), 0);
    ASSERT_NE(input->joystickDevice, nullptr);
    host->SetJoystickButton(1, true);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->keyState[261], KEY_PRESSED);

    host->SetFocus(false);
    EXPECT_TRUE(FAILED(input->Update())); // lost, then refused 51 times while away
    EXPECT_EQ(input->joystickAcquired, 1);
    EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED);
    EXPECT_EQ(input->joystickAcquired, 1);
    host->SetFocus(true);
    EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED); // acquired again
    host->SetJoystickButton(1, false);
    EXPECT_EQ(input->Update(), 0);
    EXPECT_EQ(input->keyState[261], KEY_RELEASED);
}

// A device the program unacquired itself is neither read nor acquired again by Update, which
// goes on reading the others, until the program acquires it again.
TEST_F(InputTest, ADeviceTheProgramUnacquiredStaysUnacquired) {
    host->AttachJoystick(true);
    ASSERT_EQ(Create(), 0);
    enum Device { Keyboard, Mouse, Joystick };
    const DWORD codes[] = {97, 256, 260}; // a key code each device drives
    auto unacquire = [&](int d) {
        return d == Keyboard ? input->UnacquireKeyboard()
               : d == Mouse  ? input->UnacquireMouse()
                             : input->UnacquireJoystick();
    };
    auto acquire = [&](int d) {
        return d == Keyboard ? input->AcquireKeyboard()
               : d == Mouse  ? input->AcquireMouse()
                             : input->AcquireJoystick();
    };
    auto flag = [&](int d) {
        return d == Keyboard ? input->keyboardAcquired
               : d == Mouse  ? input->mouseAcquired
                             : input->joystickAcquired;
    };
    auto press = [&](bool down) {
        host->SetKey(SCAN_A, down);
        host->SetMouseButton(0, down);
        host->SetJoystickButton(0, down);
    };
    for (int d : {Keyboard, Mouse, Joystick}) {
        SCOPED_TRACE(testing::Message() << "device " << d);
        press(false);
        EXPECT_EQ(input->Update(), 0);
        EXPECT_EQ(input->Update(), 0); // every key up
        EXPECT_EQ(unacquire(d), DI_OK);
        tarn::platform::ResetCallCounts();
        press(true);
        for (int poll = 0; poll < 3; ++poll) EXPECT_EQ(input->Update(), 0);
        EXPECT_EQ(CallCount("IDirectInputDeviceA::Acquire"), 0u);
        EXPECT_EQ(flag(d), 0);
        EXPECT_EQ(input->keyState[codes[d]], KEY_UP);
        for (int other : {Keyboard, Mouse, Joystick}) {
            if (other != d) {
                EXPECT_EQ(input->keyState[codes[other]], KEY_HELD) << other;
            }
        }

        EXPECT_EQ(acquire(d), DI_OK);
        EXPECT_EQ(input->Update(), 0);
        EXPECT_EQ(input->keyState[codes[d]], KEY_PRESSED);
    }
}

// A keyboard whose acquisition failed, for whatever reason and also at Create or when the
// program itself asked for it, is asked for again by every poll until it comes; only a keyboard
// the program unacquired is left alone (above). (No mouse here, so the keyboard's acquisitions
// are the only ones.)
TEST_F(InputTest, AKeyboardWhoseAcquisitionFailedIsAskedForEveryPoll) {
    enum Step { AtCreate, AfterAFailedRead, ByTheProgram };
    const struct {
        const char* name;
        Step step;
    } cases[] = {
        {"refused at Create", AtCreate},
        {"refused after a read failed", AfterAFailedRead},
        {"refused to the program", ByTheProgram},
    };
    const unsigned tries = 51;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delete input;
        input = new TarnInput;
        host->SetKey(SCAN_A, false);
        InjectFault("IDirectInputA::CreateDevice", 1, DIERR_DEVICENOTREG); // no mouse
        if (c.step == AtCreate) {
            InjectFault("IDirectInputDeviceA::Acquire", 1, DIERR_GENERIC, tries);
            ASSERT_EQ(Create(), DIERR_GENERIC);
        } else {
            ASSERT_EQ(Create(), 0);
            ASSERT_NE(input->keyboardDevice, nullptr);
            if (c.step == AfterAFailedRead) {
                host->SetFocus(false); // the keyboard is taken away
                EXPECT_EQ(input->Update(), DIERR_INPUTLOST);
                host->SetFocus(true);
                InjectFault("IDirectInputDeviceA::Acquire", 1, DIERR_GENERIC, tries);
                EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED);
            } else {
                EXPECT_EQ(input->UnacquireKeyboard(), DI_OK);
                InjectFault("IDirectInputDeviceA::Acquire", 1, DIERR_GENERIC, tries);
                EXPECT_EQ(input->AcquireKeyboard(), DIERR_GENERIC);
            }
        }
        tarn::platform::ClearFaults();
        host->SetKey(SCAN_A, true);
        InjectFault("IDirectInputDeviceA::Acquire", 1, DIERR_GENERIC, 2 * tries);
        for (int poll = 0; poll < 2; ++poll) {
            tarn::platform::ResetCallCounts();
            EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED) << "poll " << poll;
            EXPECT_EQ(CallCount("IDirectInputDeviceA::Acquire"), tries) << "poll " << poll;
        }
        EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED); // acquired at last
        EXPECT_EQ(input->Update(), 0);
        EXPECT_EQ(input->keyState[97], KEY_PRESSED);
        tarn::platform::ClearFaults();
    }
}

TEST_F(InputTest, AcquireRetriesFiftyOneTimesAndKeepsTheFlagByDevice) {
    host->AttachJoystick(true);
    ASSERT_EQ(Create(), 0);
    enum Device { Keyboard, Mouse, Joystick };
    struct Case {
        Device device;
        HRESULT fault;
        BOOL flagAfter;
    };
    // The flag stays up when the system refused the device (no foreground, input lost): Update
    // asks for it again. Any other failure drops it, the same for all three devices.
    const Case cases[] = {
        {Keyboard, DIERR_OTHERAPPHASPRIO, 1}, {Keyboard, DIERR_INPUTLOST, 1},
        {Keyboard, DIERR_GENERIC, 0},         {Mouse, DIERR_OTHERAPPHASPRIO, 1},
        {Mouse, DIERR_INPUTLOST, 1},          {Mouse, DIERR_GENERIC, 0},
        {Joystick, DIERR_OTHERAPPHASPRIO, 1}, {Joystick, DIERR_INPUTLOST, 1},
        {Joystick, DIERR_GENERIC, 0},
    };
    auto acquire = [&](Device d) {
        return d == Keyboard ? input->AcquireKeyboard()
               : d == Mouse  ? input->AcquireMouse()
                             : input->AcquireJoystick();
    };
    auto flag = [&](Device d) {
        return d == Keyboard ? input->keyboardAcquired
               : d == Mouse  ? input->mouseAcquired
                             : input->joystickAcquired;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "device " << c.device << " fault " << std::hex << c.fault);
        input->UnacquireKeyboard();
        input->UnacquireMouse();
        input->UnacquireJoystick();
        tarn::platform::ResetCallCounts();
        InjectFault("IDirectInputDeviceA::Acquire", 1, c.fault, 51);
        EXPECT_EQ(acquire(c.device), c.fault);
        EXPECT_EQ(CallCount("IDirectInputDeviceA::Acquire"), 51u);
        EXPECT_EQ(flag(c.device), c.flagAfter);

        // Fifty failures: the 51st attempt succeeds.
        tarn::platform::ClearFaults();
        tarn::platform::ResetCallCounts();
        InjectFault("IDirectInputDeviceA::Acquire", 1, c.fault, 50);
        EXPECT_EQ(acquire(c.device), DI_OK);
        EXPECT_EQ(CallCount("IDirectInputDeviceA::Acquire"), 51u);
        EXPECT_EQ(flag(c.device), 1);
        tarn::platform::ClearFaults();
    }
}

TEST_F(InputTest, OperationsOnMissingDevicesReturnMinusOneAndChangeNothing) {
    // No Create: no devices at all.
    EXPECT_EQ(input->AcquireKeyboard(), (HRESULT)0xFFFFFFFF);
    EXPECT_EQ(input->AcquireMouse(), (HRESULT)0xFFFFFFFF);
    EXPECT_EQ(input->AcquireJoystick(), (HRESULT)0xFFFFFFFF);
    EXPECT_EQ(input->UnacquireKeyboard(), (HRESULT)0xFFFFFFFF);
    EXPECT_EQ(input->UnacquireMouse(), (HRESULT)0xFFFFFFFF);
    EXPECT_EQ(input->UnacquireJoystick(), (HRESULT)0xFFFFFFFF);
    EXPECT_EQ(input->mouseAcquired | input->keyboardAcquired | input->joystickAcquired, 0);
    EXPECT_EQ(input->Update(), 0); // nothing to read
}

// The scripted sequence: held over three polls, released, up; pressed again right after a
// release, which records a new press time.
TEST_F(InputTest, KeyStateMachineOverAScriptedSequence) {
    ASSERT_EQ(Create(), 0);
    struct Poll {
        bool down;
        BYTE state;
        bool newPress;
    };
    const Poll polls[] = {
        {true, KEY_PRESSED, true},    {true, KEY_HELD, false},   {true, KEY_HELD, false},
        {false, KEY_RELEASED, false}, {false, KEY_UP, false},    {true, KEY_PRESSED, true},
        {false, KEY_RELEASED, false}, {true, KEY_PRESSED, true}, {true, KEY_HELD, false},
    };
    DWORD pressTime = 0;
    DWORD now = 1000;
    for (size_t i = 0; i < std::size(polls); ++i) {
        SCOPED_TRACE(i);
        now += 16;
        host->SetTime(now);
        host->SetKey(SCAN_A, polls[i].down);
        ASSERT_EQ(input->Update(), 0);
        EXPECT_EQ(input->keyState[97], polls[i].state);
        if (polls[i].newPress) pressTime = now;
        EXPECT_EQ(input->keyPressTime[97], pressTime);
        EXPECT_EQ(input->keyboardBuffer[SCAN_A], polls[i].down ? 0x80 : 0);
        EXPECT_EQ(input->keyState[27], KEY_UP);
    }

    // Values outside the four states are left alone; codes outside the table are ignored.
    input->keyState[27] = 7;
    input->UpdateKeyState(27, TRUE);
    EXPECT_EQ(input->keyState[27], 7);
    input->UpdateKeyState(270, TRUE);
    input->UpdateKeyState(0xFFFFFFFF, TRUE);
}

// The keyboard is read before the mouse: a key records the free mouse position of the previous
// poll, a mouse button that of the current one.
TEST_F(InputTest, PressPositionsFollowThePollOrder) {
    ASSERT_EQ(Create(), 0);
    host->MoveMouse(2, 1);
    ASSERT_EQ(input->Update(), 0);
    host->MoveMouse(2, -1);
    host->SetKey(SCAN_ESCAPE, true);
    host->SetMouseButton(0, true);
    host->SetMouseButton(3, true);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->keyState[27], KEY_PRESSED);
    EXPECT_EQ(input->keyPressPos[27].x, 2);
    EXPECT_EQ(input->keyPressPos[27].y, 1);
    EXPECT_EQ(input->keyState[256], KEY_PRESSED);
    EXPECT_EQ(input->keyPressPos[256].x, 4);
    EXPECT_EQ(input->keyPressPos[256].y, 0);
    EXPECT_EQ(input->keyState[259], KEY_PRESSED); // the fourth button drives 259
    EXPECT_EQ(input->keyState[257], KEY_UP);
    EXPECT_EQ(input->keyState[258], KEY_UP);
}

TEST_F(InputTest, MouseMotionIsAcceleratedThenScaled) {
    ASSERT_EQ(Create(), 0);
    struct Case {
        int raw;
        float sensitivity;
        LONG expected;
    };
    const Case cases[] = {
        {0, 1.0f, 0},     {1, 1.0f, 1}, {2, 1.0f, 2},   {-2, 1.0f, -2}, {3, 1.0f, 4},
        {-3, 1.0f, -4},   {6, 1.0f, 9}, {-6, 1.0f, -9}, {7, 1.0f, 14},  {-7, 1.0f, -14},
        {5, 1.0f, 7},     {3, 0.5f, 2}, {-3, 0.5f, -2}, {7, 0.5f, 7},   {5, 0.3f, 2},
        {100, 2.0f, 400}, {1, 0.5f, 0},
    };
    LONG freeX = 0, freeY = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.raw << " x " << c.sensitivity);
        input->mouseSensitivity = c.sensitivity;
        host->MoveMouse(c.raw, -c.raw);
        ASSERT_EQ(input->Update(), 0);
        EXPECT_EQ(input->mouseDeltaX, c.expected);
        EXPECT_EQ(input->mouseDeltaY, -c.expected);
        freeX += c.expected;
        freeY -= c.expected;
        EXPECT_EQ(input->mouseFreeX, freeX);
        EXPECT_EQ(input->mouseFreeY, freeY);
    }
}

TEST_F(InputTest, MousePositionIsClampedButTheFreePositionIsNot) {
    host->SetCursorPos(320, 240);
    ASSERT_EQ(Create(), 0);
    input->mouseMinX = 0;
    input->mouseMinY = 0;
    input->mouseMaxX = 640;
    input->mouseMaxY = 480;
    struct Case {
        int dx, dy;
        LONG x, y;
    };
    const Case cases[] = {
        {1000, 1000, 639, 479}, {1, 1, 639, 479}, {-1, -1, 638, 478},
        {-2000, -2000, 0, 0},   {-5, -5, 0, 0},   {2, 2, 2, 2},
    };
    LONG freeX = 0;
    for (const Case& c : cases) {
        host->MoveMouse(c.dx, c.dy);
        ASSERT_EQ(input->Update(), 0);
        EXPECT_EQ(input->mouseX, c.x) << c.dx;
        EXPECT_EQ(input->mouseY, c.y) << c.dy;
        freeX += input->mouseDeltaX;
    }
    EXPECT_EQ(input->mouseFreeX, freeX);
    EXPECT_EQ(freeX, 2000 + 1 - 1 - 4000 - 7 + 2);

    // A minimum at or above the maximum yields the minimum.
    input->mouseMinX = 100;
    input->mouseMaxX = 50;
    host->MoveMouse(1, 0);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->mouseX, 100);
}

// With the default bounds the position reaches the lowest 32-bit value but stops one below the
// highest, and it never wraps around.
TEST_F(InputTest, DefaultBoundsStopAtTheEdgesOfTheIntegerRange) {
    ASSERT_EQ(Create(), 0);
    input->mouseX = INT32_MIN + 50;
    input->mouseY = INT32_MAX - 50;
    host->MoveMouse(-1000, 1000);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->mouseX, INT32_MIN);
    EXPECT_EQ(input->mouseY, INT32_MAX - 1);
    host->MoveMouse(-1000, 1000);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->mouseX, INT32_MIN);
    EXPECT_EQ(input->mouseY, INT32_MAX - 1);
    host->MoveMouse(1, -1);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->mouseX, INT32_MIN + 1);
    EXPECT_EQ(input->mouseY, INT32_MAX - 2);
}

TEST_F(InputTest, WheelRecordsTheLastMotion) {
    ASSERT_EQ(Create(), 0);
    struct Poll {
        int wheel;
        BYTE up, down, upCount, downCount;
    };
    const Poll polls[] = {
        {240, 1, 0, 2, 0}, {60, 1, 0, 0, 0},         {0, 0, 0, 0, 0},         {360, 1, 0, 3, 0},
        {0, 0, 0, 3, 0},   {-360, 0, 1, 3, 3},       {-119, 0, 1, 3, 0},      {-240, 0, 1, 3, 2},
        {0, 0, 0, 3, 2},   {120 * 300, 1, 0, 44, 2}, {INT_MIN, 0, 1, 44, 17},
    };
    for (size_t i = 0; i < std::size(polls); ++i) {
        SCOPED_TRACE(testing::Message() << "poll " << i << " wheel " << polls[i].wheel);
        host->TurnWheel(polls[i].wheel);
        ASSERT_EQ(input->Update(), 0);
        EXPECT_EQ(input->wheelUp, polls[i].up);
        EXPECT_EQ(input->wheelDown, polls[i].down);
        EXPECT_EQ(input->wheelUpCount, polls[i].upCount);
        EXPECT_EQ(input->wheelDownCount, polls[i].downCount);
    }
}

// A failed keyboard read ends the poll with its error; the keyboard is acquired again at once,
// which flushes every key, wheel field and press record.
TEST_F(InputTest, FailedKeyboardReadReacquiresAndFlushes) {
    ASSERT_EQ(Create(), 0);
    host->SetTime(500);
    host->SetKey(SCAN_A, true);
    host->SetMouseButton(1, true);
    host->TurnWheel(240);
    ASSERT_EQ(input->Update(), 0);
    ASSERT_EQ(input->keyState[97], KEY_PRESSED);
    ASSERT_EQ(input->keyState[257], KEY_PRESSED);

    tarn::platform::ResetCallCounts();
    InjectFault("IDirectInputDeviceA::GetDeviceState", 1, DIERR_INPUTLOST);
    host->MoveMouse(2, 2);
    EXPECT_EQ(input->Update(), DIERR_INPUTLOST);
    EXPECT_EQ(CallCount("IDirectInputDeviceA::GetDeviceState"), 1u); // the mouse was not read
    EXPECT_EQ(CallCount("IDirectInputDeviceA::Acquire"), 1u);
    EXPECT_EQ(input->keyboardAcquired, 1);
    for (DWORD code = 0; code < KEY_CODE_COUNT; ++code) {
        ASSERT_EQ(input->keyState[code], KEY_UP) << code;
        ASSERT_EQ(input->keyPressTime[code], 0u) << code;
    }
    EXPECT_EQ(input->wheelUp, 0);
    EXPECT_EQ(input->wheelUpCount, 0);
    EXPECT_EQ(input->mouseFreeX, 0);

    // The keys still down are seen as new presses by the next poll.
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->keyState[97], KEY_PRESSED);
    EXPECT_EQ(input->keyState[257], KEY_PRESSED);
    EXPECT_EQ(input->mouseFreeX, 2);
}

TEST_F(InputTest, LosingTheForegroundStopsThePollAtTheKeyboard) {
    ASSERT_EQ(Create(), 0);
    host->SetKey(SCAN_A, true);
    ASSERT_EQ(input->Update(), 0);
    host->SetFocus(false);
    EXPECT_EQ(input->Update(), DIERR_INPUTLOST);
    EXPECT_EQ(input->keyboardAcquired, 1); // refused for the foreground: still in use
    EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED);
    EXPECT_EQ(input->keyState[97], KEY_PRESSED); // not flushed: the keyboard did not come back
    host->SetFocus(true);
    EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED); // acquired again, keys flushed
    EXPECT_EQ(input->keyState[97], KEY_UP);
    // The mouse lost its acquisition with the foreground too: its read fails once and acquires
    // it again.
    EXPECT_EQ(input->Update(), DIERR_INPUTLOST);
    EXPECT_EQ(input->keyState[97], KEY_PRESSED);
    EXPECT_EQ(input->mouseAcquired, 1);
    EXPECT_EQ(input->Update(), 0);
    EXPECT_EQ(input->keyState[97], KEY_HELD);
}

TEST_F(InputTest, WithoutAKeyboardUpdateReadsTheOtherDevices) {
    InjectFault("IDirectInputA::CreateDevice", 2, DIERR_DEVICENOTREG); // mouse first, then keyboard
    ASSERT_EQ(Create(), 0);
    EXPECT_EQ(input->keyboardDevice, nullptr);
    EXPECT_STREQ(input->keyNames[258], "MOUSE MIDLE"); // the tables are there all the same
    host->MoveMouse(2, 0);
    host->SetMouseButton(2, true);
    EXPECT_EQ(input->Update(), 0);
    EXPECT_EQ(input->mouseDeltaX, 2);
    EXPECT_EQ(input->keyState[258], KEY_PRESSED);
}

TEST_F(InputTest, CreateStopsAtTheFirstHardFailure) {
    struct Case {
        const char* operation;
        unsigned nth;
        HRESULT fault;
        int liveDevices; // after Create
    };
    const Case cases[] = {
        {"DirectInputCreateA", 1, DIERR_OUTOFMEMORY, 0},
        {"IDirectInputDeviceA::Acquire", 1, DIERR_GENERIC, 1},        // mouse: ends Create
        {"IDirectInputDeviceA::QueryInterface", 1, E_NOINTERFACE, 2}, // joystick released
        {"IDirectInputDeviceA::SetProperty", 1, DIERR_INVALIDPARAM, 3},
        {"IDirectInputDeviceA::SetProperty", 4, DIERR_INVALIDPARAM, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        host->AttachJoystick(true);
        TarnInput* in = new TarnInput;
        InjectFault(c.operation, c.nth, c.fault, c.nth == 1 && c.fault == DIERR_GENERIC ? 51 : 1);
        EXPECT_EQ(in->Create(GetModuleHandleA(nullptr), window), c.fault);
        EXPECT_EQ(LiveObjects("dinputdevice"), c.liveDevices);
        tarn::platform::ClearFaults();
        delete in;
        EXPECT_EQ(LiveObjects("dinputdevice"), 0);
        EXPECT_EQ(LiveObjects("dinput"), 0);
    }
}

TEST_F(InputTest, JoystickRangeAndDeadZoneReachTheDevice) {
    host->AttachJoystick(true);
    ASSERT_EQ(Create(), 0);
    ASSERT_NE(input->joystickDevice, nullptr);
    EXPECT_EQ(input->joystickAcquired, 1);
    for (DWORD axis : {DWORD(DIJOFS_X), DWORD(DIJOFS_Y)}) {
        DIPROPRANGE range = {
            {sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, 0, 0};
        ASSERT_EQ(input->joystickDevice->GetProperty(DIPROP_RANGE, &range.diph), DI_OK);
        EXPECT_EQ(range.lMin, -1000);
        EXPECT_EQ(range.lMax, 1000);
        DIPROPDWORD dead = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, 0};
        ASSERT_EQ(input->joystickDevice->GetProperty(DIPROP_DEADZONE, &dead.diph), DI_OK);
        EXPECT_EQ(dead.dwData, 1000u);
    }
    DIDEVICEINSTANCEA info = {};
    info.dwSize = sizeof(info);
    ASSERT_EQ(input->joystickDevice->GetDeviceInfo(&info), DI_OK);
    EXPECT_EQ(input->joystickSubtype, (info.dwDevType >> 8) & 0xFF);
    EXPECT_NE(input->joystickSubtype, 0u);

    input->joystickMinX = -1500;
    input->joystickMaxY = 1200;
    struct Poll {
        int x, y;
        float sensitivity;
        LONG dx, dy, posX, posY;
    };
    const Poll polls[] = {
        {32767, -32768, 1.0f, 1000, -1000, 1000, -1000},
        {3000, -3000, 1.0f, 0, 0, 1000, -1000}, // inside the dead zone
        {-32768, 32767, 0.5f, -500, 500, 500, -500},
        {-32768, 32767, 2.0f, -2000, 2000, -1500, 1199},
        {16384, 0, 1.0f, 444, 0, -1056, 1199},
    };
    LONG freeX = 0;
    for (const Poll& p : polls) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y << " x " << p.sensitivity);
        input->joystickSensitivity = p.sensitivity;
        host->SetJoystick(p.x, p.y);
        ASSERT_EQ(input->Update(), 0);
        EXPECT_EQ(input->joystickDeltaX, p.dx);
        EXPECT_EQ(input->joystickDeltaY, p.dy);
        EXPECT_EQ(input->joystickX, p.posX);
        EXPECT_EQ(input->joystickY, p.posY);
        freeX += p.dx;
        EXPECT_EQ(input->joystickFreeX, freeX);
    }

    host->SetJoystickButton(0, true);
    host->SetJoystickButton(9, true);
    host->SetJoystickButton(10, true);
    ASSERT_EQ(input->Update(), 0);
    for (DWORD code = 260; code < 270; ++code)
        EXPECT_EQ(input->keyState[code], code == 260 || code == 269 ? KEY_PRESSED : KEY_UP) << code;

    // An unplugged joystick fails its reads (its input is lost) and stays in use: once it is
    // plugged in again it is acquired again and read.
    host->AttachJoystick(false);
    EXPECT_TRUE(FAILED(input->Update()));
    EXPECT_EQ(input->joystickAcquired, 1);
    EXPECT_TRUE(FAILED(input->Update()));
    host->AttachJoystick(true);
    host->SetJoystickButton(0, false);
    EXPECT_EQ(input->Update(), DIERR_NOTACQUIRED); // acquired again
    EXPECT_EQ(input->Update(), 0);
    EXPECT_EQ(input->keyState[260], KEY_RELEASED);
}

TEST_F(InputTest, KeyPressTimesAcrossTheClockWrap) {
    ASSERT_EQ(Create(), 0);
    host->SetTime(0xFFFFFFF0u);
    host->SetKey(SCAN_A, true);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->keyPressTime[97], 0xFFFFFFF0u);
    host->SetTime(0x00000008u); // the clock wrapped; the key is held
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->keyState[97], KEY_HELD);
    EXPECT_EQ(input->keyPressTime[97], 0xFFFFFFF0u);
    EXPECT_EQ(timeGetTime() - input->keyPressTime[97], 0x18u); // held for 24 ms
    host->SetKey(SCAN_A, false);
    ASSERT_EQ(input->Update(), 0);
    host->SetTime(0x00000010u);
    host->SetKey(SCAN_A, true);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->keyState[97], KEY_PRESSED);
    EXPECT_EQ(input->keyPressTime[97], 0x10u);
}

TEST_F(InputTest, UpdateAllocatesNothing) {
    host->AttachJoystick(true);
    ASSERT_EQ(Create(), 0);
    ASSERT_EQ(input->Update(), 0); // first calls may set up the stand-in's own tables
    long allocations = 0;
    for (int i = 0; i < 100; ++i) {
        host->SetKey(SCAN_A, i % 2 == 0);
        host->MoveMouse(i, -i);
        host->TurnWheel(i % 3 == 0 ? 120 : -240);
        host->SetMouseButton(i % 4, i % 3 == 0);
        host->SetJoystick(i * 300, -i * 300);
        host->SetJoystickButton(i % 10, i % 2 == 1);
        long before = AllocationCount();
        input->Update();
        allocations += AllocationCount() - before;
    }
    EXPECT_EQ(allocations, 0);
}

// A second Create replaces the devices of the first; the destructor unacquires and releases all.
TEST_F(InputTest, RecreatingAndDestroyingLeakNothing) {
    host->AttachJoystick(true);
    ASSERT_EQ(Create(), 0);
    ASSERT_EQ(Create(), 0);
    EXPECT_EQ(LiveObjects("dinput"), 1);
    EXPECT_EQ(LiveObjects("dinputdevice"), 3);
    tarn::platform::ResetCallCounts();
    delete input;
    input = nullptr;
    EXPECT_EQ(CallCount("IDirectInputDeviceA::Unacquire"), 3u);
    EXPECT_EQ(LiveObjects("dinputdevice"), 0);
    EXPECT_EQ(LiveObjects("dinput"), 0);
}

// ---------------------------------------------------------------------------------------------
// The key tables, checked entry by entry against the key table written out here a second time,
// row by row with plain numbers (scan codes in hex) rather than the library's rows and DIK names.

struct ExpectedKey {
    int code;
    const char* name;
    int drivenBy; // scan code whose state drives this code, 0 for none
    int keyToDik; // scan code this code gives back, 0 for none
};

// clang-format off
const ExpectedKey EXPECTED_KEYS[] = {
    {0, "NULL", 0, 0},
    {8, "BACKSPACE", 0x0E, 0x0E}, {9, "TAB", 0x0F, 0x0F}, {13, "ENTER", 0x1C, 0x1C},
    {27, "ESC", 0x01, 0x01}, {32, "SPACE", 0x39, 0x39},
    {33, "1", 0, 0x02}, {34, "APOSTROPHE", 0, 0x28}, {35, "3", 0, 0x04}, {36, "4", 0, 0x05},
    {37, "5", 0, 0x06}, {38, "7", 0, 0x08}, {39, "APOSTROPHE", 0x28, 0x28}, {40, "9", 0, 0x0A},
    {41, "0", 0, 0x0B}, {42, "8", 0, 0x09}, {43, "EQUALS", 0, 0x0D}, {44, "COMMA", 0x33, 0x33},
    {45, "UNDERSCORE", 0x0C, 0x0C}, {46, "PERIOD", 0x34, 0x34}, {47, "SLASH", 0x35, 0x35},
    {48, "0", 0x0B, 0x0B}, {49, "1", 0x02, 0x02}, {50, "2", 0x03, 0x03}, {51, "3", 0x04, 0x04},
    {52, "4", 0x05, 0x05}, {53, "5", 0x06, 0x06}, {54, "6", 0x07, 0x07}, {55, "7", 0x08, 0x08},
    {56, "8", 0x09, 0x09}, {57, "9", 0x0A, 0x0A},
    {58, "SEMICOLON", 0, 0x92}, {59, "SEMICOLON", 0x27, 0x27}, {60, "COMMA", 0, 0x33},
    {61, "EQUALS", 0x0D, 0x0D}, {62, "PERIOD", 0, 0x34}, {63, "SLASH", 0, 0x35}, {64, "2", 0, 0x91},
    {65, "A", 0, 0x1E}, {66, "B", 0, 0x30}, {67, "C", 0, 0x2E}, {68, "D", 0, 0x20},
    {69, "E", 0, 0x12}, {70, "F", 0, 0x21}, {71, "G", 0, 0x22}, {72, "H", 0, 0x23},
    {73, "I", 0, 0x17}, {74, "J", 0, 0x24}, {75, "K", 0, 0x25}, {76, "L", 0, 0x26},
    {77, "M", 0, 0x32}, {78, "N", 0, 0x31}, {79, "O", 0, 0x18}, {80, "P", 0, 0x19},
    {81, "Q", 0, 0x10}, {82, "R", 0, 0x13}, {83, "S", 0, 0x1F}, {84, "T", 0, 0x14},
    {85, "U", 0, 0x16}, {86, "V", 0, 0x2F}, {87, "W", 0, 0x11}, {88, "X", 0, 0x2D},
    {89, "Y", 0, 0x15}, {90, "Z", 0, 0x2C},
    {91, "LEFT BRKT", 0x1A, 0x1A}, {92, "BACKSLASH", 0x2B, 0x2B}, {93, "RIGHT BRKT", 0x1B, 0x1B},
    {94, "6", 0, 0x07}, {95, "UNDERSCORE", 0, 0x93}, {96, "GRAVE", 0x29, 0x29},
    {97, "A", 0x1E, 0x1E}, {98, "B", 0x30, 0x30}, {99, "C", 0x2E, 0x2E}, {100, "D", 0x20, 0x20},
    {101, "E", 0x12, 0x12}, {102, "F", 0x21, 0x21}, {103, "G", 0x22, 0x22}, {104, "H", 0x23, 0x23},
    {105, "I", 0x17, 0x17}, {106, "J", 0x24, 0x24}, {107, "K", 0x25, 0x25}, {108, "L", 0x26, 0x26},
    {109, "M", 0x32, 0x32}, {110, "N", 0x31, 0x31}, {111, "O", 0x18, 0x18}, {112, "P", 0x19, 0x19},
    {113, "Q", 0x10, 0x10}, {114, "R", 0x13, 0x13}, {115, "S", 0x1F, 0x1F}, {116, "T", 0x14, 0x14},
    {117, "U", 0x16, 0x16}, {118, "V", 0x2F, 0x2F}, {119, "W", 0x11, 0x11}, {120, "X", 0x2D, 0x2D},
    {121, "Y", 0x15, 0x15}, {122, "Z", 0x2C, 0x2C},
    {123, "LEFT BRKT", 0, 0x1A}, {124, "BACKSLASH", 0, 0x2B}, {125, "RIGHT BRKT", 0, 0x1B},
    {126, "GRAVE", 0, 0x29}, {127, "DELETE", 0, 0xD3},
    {128, "LEFT SHIFT", 0x2A, 0x2A}, {129, "RIGHT SHIFT", 0x36, 0x36},
    {130, "LEFT CTRL", 0x1D, 0x1D}, {131, "RIGHT CTRL", 0x9D, 0x9D},
    {132, "LEFT ALT", 0x38, 0x38}, {133, "RIGHT ALT", 0xB8, 0xB8},
    {134, "LEFT ARROW", 0xCB, 0xCB}, {135, "RIGHT ARROW", 0xCD, 0xCD},
    {136, "UP ARROW", 0xC8, 0xC8}, {137, "DOWN ARROW", 0xD0, 0xD0},
    {138, "F1", 0x3B, 0x3B}, {139, "F2", 0x3C, 0x3C}, {140, "F3", 0x3D, 0x3D}, {141, "F4", 0x3E, 0x3E},
    {142, "F5", 0x3F, 0x3F}, {143, "F6", 0x40, 0x40}, {144, "F7", 0x41, 0x41}, {145, "F8", 0x42, 0x42},
    {146, "F9", 0x43, 0x43}, {147, "F10", 0x44, 0x44}, {148, "F11", 0x57, 0x57}, {149, "F12", 0x58, 0x58},
    {150, "INSERT", 0xD2, 0xD2}, {151, "DEL", 0xD3, 0xD3}, {152, "HOME", 0xC7, 0xC7},
    {153, "END", 0xCF, 0xCF}, {154, "PAGE UP", 0xC9, 0xC9}, {155, "PAGE DOWN", 0xD1, 0xD1},
    {156, "NUM SLASH", 0xB5, 0xB5}, {157, "NUM STAR", 0x37, 0x37}, {158, "NUM MINUS", 0x4A, 0x4A},
    {159, "NUM PLUS", 0x4E, 0x4E}, {160, "NUM ENTER", 0x9C, 0x9C}, {161, "NUM PERIOD", 0x53, 0x53},
    {162, "NUM 0", 0x52, 0x52}, {163, "NUM 1", 0x4F, 0x4F}, {164, "NUM 2", 0x50, 0x50},
    {165, "NUM 3", 0x51, 0x51}, {166, "NUM 4", 0x4B, 0x4B}, {167, "NUM 5", 0x4C, 0x4C},
    {168, "NUM 6", 0x4D, 0x4D}, {169, "NUM 7", 0x47, 0x47}, {170, "NUM 8", 0x48, 0x48},
    {171, "NUM 9", 0x49, 0x49},
    {172, "NUM LOCK", 0x45, 0x45}, {173, "CAPS LOCK", 0x3A, 0x3A}, {174, "SCROLL LOCK", 0x46, 0x46},
    {175, "PRINT SCRN", 0xB7, 0}, {176, "PAUSE", 0, 0},
    {256, "MOUSE LEFT", 0, 0}, {257, "MOUSE RIGHT", 0, 0}, {258, "MOUSE MIDLE", 0, 0},
    {259, "MOUSE BUTN4", 0, 0},
    {260, "JOY BUTN 0", 0, 0}, {261, "JOY BUTN 1", 0, 0}, {262, "JOY BUTN 2", 0, 0},
    {263, "JOY BUTN 3", 0, 0}, {264, "JOY BUTN 4", 0, 0}, {265, "JOY BUTN 5", 0, 0},
    {266, "JOY BUTN 6", 0, 0}, {267, "JOY BUTN 7", 0, 0}, {268, "JOY BUTN 8", 0, 0},
    {269, "JOY BUTN 9", 0, 0},
};

// Shifted characters besides the letters: {unshifted, shifted}.
const int EXPECTED_SHIFT_PAIRS[][2] = {
    {39, 34}, {44, 60}, {45, 95}, {46, 62}, {47, 63},
    {48, 41}, {49, 33}, {50, 64}, {51, 35}, {52, 36}, {53, 37}, {54, 94}, {55, 38}, {56, 42}, {57, 40},
    {59, 58}, {61, 43}, {91, 123}, {92, 124}, {93, 125}, {96, 126},
};
// clang-format on

class KeyTableTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        ASSERT_EQ(Create(), 0);
        for (const ExpectedKey& row : EXPECTED_KEYS) {
            names[row.code] = row.name;
            if (row.drivenBy != 0) driven[row.drivenBy] = row.code;
            if (row.code < 256) back[row.code] = row.keyToDik;
        }
        for (int letter = 'a'; letter <= 'z'; ++letter) shifted[letter] = letter - 'a' + 'A';
        for (const auto& pair : EXPECTED_SHIFT_PAIRS) shifted[pair[0]] = pair[1];
    }

    std::string names[270];
    unsigned driven[256] = {}; // expected dikToKey
    unsigned back[256] = {};   // expected keyToDik
    int shifted[270] = {};
};

// The tables are constant data: the same on an object just constructed, on one whose Create
// succeeded, and on ones whose Create found no keyboard or no DirectInput at all.
// The named key codes are the keys their names say.
TEST(KeyCodeNames, NameTheirKeys) {
    const struct {
        DWORD code;
        const char* name;
    } keys[] = {{KEY_CODE_BACKSPACE, "BACKSPACE"},
                {KEY_CODE_TAB, "TAB"},
                {KEY_CODE_ENTER, "ENTER"},
                {KEY_CODE_ESCAPE, "ESC"},
                {KEY_CODE_SPACE, "SPACE"},
                {KEY_CODE_LEFT_SHIFT, "LEFT SHIFT"},
                {KEY_CODE_RIGHT_SHIFT, "RIGHT SHIFT"},
                {KEY_CODE_LEFT_CTRL, "LEFT CTRL"},
                {KEY_CODE_RIGHT_CTRL, "RIGHT CTRL"},
                {KEY_CODE_LEFT_ALT, "LEFT ALT"},
                {KEY_CODE_RIGHT_ALT, "RIGHT ALT"},
                {KEY_CODE_LEFT, "LEFT ARROW"},
                {KEY_CODE_RIGHT, "RIGHT ARROW"},
                {KEY_CODE_UP, "UP ARROW"},
                {KEY_CODE_DOWN, "DOWN ARROW"},
                {KEY_CODE_F1, "F1"},
                {KEY_CODE_F12, "F12"},
                {KEY_CODE_INSERT, "INSERT"},
                {KEY_CODE_DELETE, "DEL"},
                {KEY_CODE_HOME, "HOME"},
                {KEY_CODE_END, "END"},
                {KEY_CODE_PAGE_UP, "PAGE UP"},
                {KEY_CODE_PAGE_DOWN, "PAGE DOWN"}};
    TarnInput input;
    for (const auto& key : keys) EXPECT_STREQ(input.keyNames[key.code], key.name);
}

TEST_F(KeyTableTest, EveryEntryMatchesTheKeyTable) {
    TarnInput constructed;
    TarnInput noKeyboard;
    InjectFault("IDirectInputA::CreateDevice", 2, DIERR_DEVICENOTREG); // mouse, then keyboard
    ASSERT_EQ(noKeyboard.Create(GetModuleHandleA(nullptr), window), 0);
    ASSERT_EQ(noKeyboard.keyboardDevice, nullptr);
    TarnInput noDirectInput;
    InjectFault("DirectInputCreateA", 1, DIERR_OUTOFMEMORY);
    ASSERT_EQ(noDirectInput.Create(GetModuleHandleA(nullptr), window), DIERR_OUTOFMEMORY);
    const struct {
        const char* name;
        const TarnInput* in;
    } objects[] = {{"constructed", &constructed},
                   {"created", input},
                   {"created without a keyboard", &noKeyboard},
                   {"created without DirectInput", &noDirectInput}};
    for (const auto& object : objects) {
        SCOPED_TRACE(object.name);
        for (int code = 0; code < 270; ++code) {
            SCOPED_TRACE(code);
            const char* slot = object.in->keyNames[code];
            EXPECT_EQ(std::string(slot, strnlen(slot, KEY_NAME_SIZE)), names[code]);
            EXPECT_EQ(slot[KEY_NAME_SIZE - 1], 0);
            for (size_t i = names[code].size(); i < KEY_NAME_SIZE; ++i) EXPECT_EQ(slot[i], 0);
            EXPECT_EQ(object.in->shiftTable[code], shifted[code]);
            if (code < 256) {
                EXPECT_EQ(object.in->dikToKey[code], driven[code]) << "scan code " << code;
                EXPECT_EQ(object.in->keyToDik[code], back[code]);
            }
        }
    }
    EXPECT_EQ(std::size(EXPECTED_KEYS), 1u + 5 + 144 + 14);
}

TEST_F(KeyTableTest, TheListedIrregularitiesHold) {
    EXPECT_EQ(input->dikToKey[0x1E], 97u); // the A key drives the lower-case code
    EXPECT_STREQ(input->keyNames[97], "A");
    EXPECT_EQ(input->shiftTable[97], 65);
    EXPECT_EQ(input->keyToDik[65], 0x1Eu);
    EXPECT_EQ(input->keyToDik[97], 0x1Eu);
    for (int dik : {0xDB, 0xDC, 0xDD, 0xC5}) EXPECT_EQ(input->dikToKey[dik], 0u) << dik;
    EXPECT_STREQ(input->keyNames[45], "UNDERSCORE");
    EXPECT_STREQ(input->keyNames[258], "MOUSE MIDLE");
    EXPECT_STREQ(input->keyNames[27], "ESC");
    EXPECT_EQ(input->keyToDik[58], 0x92u);
    EXPECT_EQ(input->keyToDik[64], 0x91u);
    EXPECT_EQ(input->keyToDik[95], 0x93u);
    EXPECT_EQ(input->keyToDik[127], 0xD3u);
    EXPECT_EQ(input->keyToDik[151], 0xD3u);
    EXPECT_EQ(input->dikToKey[0xD3], 151u);
    EXPECT_EQ(input->keyToDik[175], 0u);
    EXPECT_EQ(input->dikToKey[0xB7], 175u);
    for (int code : {129, 135, 257, 258, 259, 174})
        EXPECT_EQ(std::strlen(input->keyNames[code]), 11u);
    for (int code : {1, 7, 177, 255}) EXPECT_EQ(input->keyNames[code][0], 0) << code;

    // Shifted characters and keys without a scan code never change state.
    host->SetKey(0x1E, true);
    host->SetKey(0xD3, true);
    host->SetKey(0xDB, true);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->keyState[97], KEY_PRESSED);
    EXPECT_EQ(input->keyState[65], KEY_UP);
    EXPECT_EQ(input->keyState[151], KEY_PRESSED);
    EXPECT_EQ(input->keyState[127], KEY_UP);
}

} // namespace
