// TarnInput's gamepads on the headless host: every button through the keys' four states with
// its press time, the sticks' radial dead zones and the triggers' threshold, plugging and
// unplugging while running, the background (neutral pads, stopped motors), rumble and its
// results, failed reads, queries out of range, and an Update that allocates nothing.
#include "support/AllocationCounter.h"
#include "support/HeadlessTest.h"
#include "support/TestWindow.h"

#include "input/TarnInput.h"

#include <cmath>

namespace {

using tarn::platform::InjectFault;
using tarn::platform::PadState;

class PadTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        window = MakeTestWindow("TarnPadTest", WS_POPUP | WS_VISIBLE);
        ASSERT_NE(window, nullptr);
        input = new TarnInput;
        ASSERT_EQ(input->Create(GetModuleHandleA(nullptr), window), 0);
    }
    void TearDown() override {
        delete input;
        if (window != nullptr) DestroyWindow(window);
        HeadlessTest::TearDown();
    }
    // The motors of a slot as the machine has them.
    std::pair<int, int> Motors(int slot) {
        uint16_t low = 0, high = 0;
        host->PadRumble(slot, &low, &high);
        return {low, high};
    }

    HWND window = nullptr;
    TarnInput* input = nullptr;
};

// Each PAD_ constant answers to its own XInput bit and no other, on every slot.
TEST_F(PadTest, EveryButtonAnswersToItsOwnBit) {
    const struct {
        int button;
        WORD bit;
    } buttons[] = {
        {PAD_A, XINPUT_GAMEPAD_A},
        {PAD_B, XINPUT_GAMEPAD_B},
        {PAD_X, XINPUT_GAMEPAD_X},
        {PAD_Y, XINPUT_GAMEPAD_Y},
        {PAD_LEFT_SHOULDER, XINPUT_GAMEPAD_LEFT_SHOULDER},
        {PAD_RIGHT_SHOULDER, XINPUT_GAMEPAD_RIGHT_SHOULDER},
        {PAD_BACK, XINPUT_GAMEPAD_BACK},
        {PAD_START, XINPUT_GAMEPAD_START},
        {PAD_LEFT_THUMB, XINPUT_GAMEPAD_LEFT_THUMB},
        {PAD_RIGHT_THUMB, XINPUT_GAMEPAD_RIGHT_THUMB},
        {PAD_UP, XINPUT_GAMEPAD_DPAD_UP},
        {PAD_DOWN, XINPUT_GAMEPAD_DPAD_DOWN},
        {PAD_LEFT, XINPUT_GAMEPAD_DPAD_LEFT},
        {PAD_RIGHT, XINPUT_GAMEPAD_DPAD_RIGHT},
    };
    static_assert(std::size(buttons) == PAD_BUTTON_COUNT);
    for (int slot = 0; slot < PAD_COUNT; ++slot) {
        for (const auto& b : buttons) {
            PadState state;
            state.buttons = b.bit;
            host->SetPad(slot, state);
            ASSERT_EQ(input->Update(), 0);
            for (const auto& other : buttons) {
                EXPECT_EQ(input->GetPadButtonState(slot, other.button),
                          other.button == b.button ? KEY_PRESSED : KEY_UP)
                    << "slot " << slot << " bit " << b.bit << " button " << other.button;
            }
            host->SetPad(slot, PadState{});
            input->Update(); // released
            input->Update(); // up
        }
        host->ConnectPad(slot, false);
    }
}

TEST_F(PadTest, ButtonsStepThroughTheFourStatesWithTheirPressTimes) {
    host->ConnectPad(2, true);
    const struct {
        uint32_t time;
        bool down;
        BYTE state;
        DWORD pressTime;
    } steps[] = {
        {10, false, KEY_UP, 0},        {20, true, KEY_PRESSED, 20}, {30, true, KEY_HELD, 20},
        {40, false, KEY_RELEASED, 20}, {50, true, KEY_PRESSED, 50}, {60, false, KEY_RELEASED, 50},
        {70, false, KEY_UP, 50},
    };
    for (const auto& s : steps) {
        host->SetTime(s.time);
        host->SetPadButton(2, XINPUT_GAMEPAD_START, s.down);
        ASSERT_EQ(input->Update(), 0);
        EXPECT_TRUE(input->IsPadConnected(2));
        EXPECT_EQ(input->GetPadButtonState(2, PAD_START), s.state) << "at " << s.time;
        EXPECT_EQ(input->GetPadButtonPressTime(2, PAD_START), s.pressTime) << "at " << s.time;
    }
}

// The dead zone is a circle: a diagonal inside it on neither axis alone still moves, and full
// deflection in any direction reaches the edge of the range. y grows downwards.
TEST_F(PadTest, SticksHaveARadialDeadZoneAndTheFullRange) {
    const int left = XINPUT_GAMEPAD_LEFT_THUMB_DEADZONE;   // 7849
    const int right = XINPUT_GAMEPAD_RIGHT_THUMB_DEADZONE; // 8689
    const struct {
        const char* name;
        int stick;
        int rawX, rawY;
        int x, y; // expected, within 1
    } cases[] = {
        {"centre", PAD_STICK_LEFT, 0, 0, 0, 0},
        {"inside", PAD_STICK_LEFT, left - 1, 0, 0, 0},
        {"on the edge", PAD_STICK_LEFT, 0, -left, 0, 0},
        {"full right", PAD_STICK_LEFT, 32767, 0, 32767, 0},
        {"full up", PAD_STICK_LEFT, 0, 32767, 0, -32767},
        {"full down, the extra step", PAD_STICK_LEFT, 0, -32768, 0, 32767},
        {"halfway left", PAD_STICK_LEFT, -(left + 32767) / 2, 0, -16384, 0},
        {"right stick's larger zone", PAD_STICK_RIGHT, right - 1, 0, 0, 0},
        {"right stick past it", PAD_STICK_RIGHT, 32767, 0, 32767, 0},
        {"corner of a square gate", PAD_STICK_RIGHT, 32767, 32767, 23170, -23170},
        {"diagonal past the circle, each axis inside", PAD_STICK_LEFT, 6000, 6000, 592, -592},
    };
    host->ConnectPad(0, true);
    for (const auto& c : cases) {
        host->SetPadStick(0, c.stick, c.rawX, c.rawY);
        host->SetPadStick(0, 1 - c.stick, 32767, 32767); // the other stick must not matter
        ASSERT_EQ(input->Update(), 0);
        int x = 99, y = 99;
        input->GetPadStick(0, c.stick, &x, &y);
        EXPECT_NEAR(x, c.x, 1) << c.name;
        EXPECT_NEAR(y, c.y, 1) << c.name;
        host->SetPadStick(0, c.stick, 0, 0);
    }
    input->padStickDeadZone[PAD_STICK_LEFT] = 0; // the program's own choice
    host->SetPadStick(0, 0, 100, -50);
    input->Update();
    int x = 0, y = 0;
    input->GetPadStick(0, PAD_STICK_LEFT, &x, &y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 50);
}

TEST_F(PadTest, TriggersReadZeroUpToTheThresholdThenTheRestRescaled) {
    const struct {
        int raw, value;
    } cases[] = {{0, 0}, {XINPUT_GAMEPAD_TRIGGER_THRESHOLD, 0}, {31, 1}, {143, 128}, {255, 255}};
    for (const auto& c : cases) {
        host->SetPadTrigger(1, 0, c.raw);
        host->SetPadTrigger(1, 1, 255 - c.raw);
        ASSERT_EQ(input->Update(), 0);
        EXPECT_EQ(input->GetPadTrigger(1, PAD_TRIGGER_LEFT), c.value) << c.raw;
        int other = input->GetPadTrigger(1, PAD_TRIGGER_RIGHT);
        EXPECT_EQ(other, 255 - c.raw <= 30 ? 0 : other) << "right trigger " << 255 - c.raw;
    }
}

// Plugged in while running, a pad appears at the next Update; pulled out with a button held, it
// reads released once, then up, and its motors stop; plugged in again, it starts afresh.
TEST_F(PadTest, PlugAndUnplugWhileRunning) {
    ASSERT_EQ(input->Update(), 0);
    EXPECT_FALSE(input->IsPadConnected(3));
    host->SetPadButton(3, XINPUT_GAMEPAD_A, true); // plugs pad 3 in
    host->SetPadStick(3, 0, 32767, 0);
    EXPECT_FALSE(input->IsPadConnected(3)) << "not before the next Update";
    ASSERT_EQ(input->Update(), 0);
    EXPECT_TRUE(input->IsPadConnected(3));
    EXPECT_EQ(input->GetPadButtonState(3, PAD_A), KEY_PRESSED);
    EXPECT_EQ(input->SetPadRumble(3, 4000, 5000), ERROR_SUCCESS);
    EXPECT_EQ(Motors(3), std::make_pair(4000, 5000));

    host->ConnectPad(3, false);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_FALSE(input->IsPadConnected(3));
    EXPECT_EQ(input->GetPadButtonState(3, PAD_A), KEY_RELEASED);
    int x = 1, y = 1;
    input->GetPadStick(3, PAD_STICK_LEFT, &x, &y);
    EXPECT_EQ(x, 0);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_EQ(input->GetPadButtonState(3, PAD_A), KEY_UP);
    EXPECT_EQ(input->SetPadRumble(3, 1, 1), ERROR_DEVICE_NOT_CONNECTED);

    host->ConnectPad(3, true);
    ASSERT_EQ(input->Update(), 0);
    EXPECT_TRUE(input->IsPadConnected(3));
    EXPECT_EQ(Motors(3), std::make_pair(0, 0));
}

// In the background the pads read neutral (a held button is released, not stuck) and their
// motors stop; back in the foreground they read again, and the old rumble does not resume.
TEST_F(PadTest, TheBackgroundReadsNothingAndStopsTheMotors) {
    host->SetPadButton(0, XINPUT_GAMEPAD_X, true);
    host->SetPadTrigger(0, 1, 255);
    ASSERT_EQ(input->Update(), 0);
    ASSERT_EQ(input->SetPadRumble(0, 30000, 40000), ERROR_SUCCESS);

    host->SetFocus(false);
    input->Update(); // the keyboard's read fails without the foreground; the pads come first
    EXPECT_TRUE(input->IsPadConnected(0));
    EXPECT_EQ(input->GetPadButtonState(0, PAD_X), KEY_RELEASED);
    EXPECT_EQ(input->GetPadTrigger(0, PAD_TRIGGER_RIGHT), 0);
    EXPECT_EQ(Motors(0), std::make_pair(0, 0));
    input->Update();
    EXPECT_EQ(input->GetPadButtonState(0, PAD_X), KEY_UP);

    host->SetFocus(true);
    input->Update();
    EXPECT_EQ(input->GetPadButtonState(0, PAD_X), KEY_PRESSED);
    EXPECT_EQ(input->GetPadTrigger(0, PAD_TRIGGER_RIGHT), 255);
    EXPECT_EQ(Motors(0), std::make_pair(0, 0)) << "the old request must not resume";
    ASSERT_EQ(input->SetPadRumble(0, 1, 2), ERROR_SUCCESS);
    EXPECT_EQ(Motors(0), std::make_pair(1, 2));
}

TEST_F(PadTest, DestroyingTheInputStopsItsMotorsAndEnablesXInputAgain) {
    host->ConnectPad(1, true);
    ASSERT_EQ(input->Update(), 0);
    ASSERT_EQ(input->SetPadRumble(1, 9, 9), ERROR_SUCCESS);
    delete input;
    input = nullptr;
    EXPECT_EQ(Motors(1), std::make_pair(0, 0));

    // Destroyed in the background, it leaves XInput enabled for the next reader.
    input = new TarnInput;
    ASSERT_EQ(input->Create(GetModuleHandleA(nullptr), window), 0);
    host->SetPadButton(1, XINPUT_GAMEPAD_Y, true);
    host->SetFocus(false);
    input->Update();
    delete input;
    input = nullptr;
    host->SetFocus(true);
    XINPUT_STATE state;
    ASSERT_EQ(XInputGetState(1, &state), ERROR_SUCCESS);
    EXPECT_EQ(state.Gamepad.wButtons, XINPUT_GAMEPAD_Y);
}

// A pad that cannot be read counts as unplugged for that Update: nothing is stuck and Update
// itself still succeeds.
TEST_F(PadTest, AFailedReadIsAnUnpluggedPad) {
    host->SetPadButton(0, XINPUT_GAMEPAD_B, true);
    ASSERT_EQ(input->Update(), 0);
    InjectFault("XInputGetState", 1, E_FAIL);
    EXPECT_EQ(input->Update(), 0);
    EXPECT_FALSE(input->IsPadConnected(0));
    EXPECT_EQ(input->GetPadButtonState(0, PAD_B), KEY_RELEASED);
    EXPECT_EQ(input->Update(), 0);
    EXPECT_EQ(input->GetPadButtonState(0, PAD_B), KEY_PRESSED);
}

TEST_F(PadTest, QueriesOutOfRangeReadAsNothing) {
    PadState full;
    full.buttons = 0xFFFF;
    full.leftX = full.rightY = 32767;
    full.leftTrigger = full.rightTrigger = 255;
    for (int slot = 0; slot < PAD_COUNT; ++slot) host->SetPad(slot, full);
    ASSERT_EQ(input->Update(), 0);
    ASSERT_EQ(input->Update(), 0);
    const struct {
        int pad, index;
    } cases[] = {{-1, 0}, {PAD_COUNT, 0}, {0, -1}, {0, PAD_BUTTON_COUNT}, {0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "pad " << c.pad << " index " << c.index);
        EXPECT_EQ(input->IsPadConnected(c.pad), c.pad >= 0 && c.pad < PAD_COUNT);
        bool button = c.index >= 0 && c.index < PAD_BUTTON_COUNT && c.pad >= 0 && c.pad < PAD_COUNT;
        EXPECT_EQ(input->GetPadButtonState(c.pad, c.index), button ? KEY_HELD : KEY_UP);
        EXPECT_EQ(input->GetPadButtonPressTime(c.pad, c.index), 0u);
        bool axis = c.index >= 0 && c.index <= 1 && c.pad >= 0 && c.pad < PAD_COUNT;
        int x = 5, y = 5;
        input->GetPadStick(c.pad, c.index, &x, &y);
        EXPECT_EQ(x != 0 || y != 0, axis);
        EXPECT_EQ(input->GetPadTrigger(c.pad, c.index) != 0, axis);
    }
    input->GetPadStick(0, PAD_STICK_LEFT, nullptr, nullptr); // null pointers are allowed
    EXPECT_EQ(input->SetPadRumble(PAD_COUNT, 1, 1), ERROR_BAD_ARGUMENTS);
    EXPECT_EQ(input->SetPadRumble(-1, 1, 1), ERROR_BAD_ARGUMENTS);
}

TEST_F(PadTest, UpdateAllocatesNothing) {
    ASSERT_EQ(input->Update(), 0);
    long allocations = 0;
    for (int i = 0; i < 100; ++i) {
        host->ConnectPad(i % 4, i % 7 != 0);
        host->SetPadButton(i % 4, WORD(1u << (i % 16)), i % 2 == 0);
        host->SetPadStick(i % 4, i % 2, i * 300, -i * 300);
        host->SetPadTrigger(i % 4, i % 2, i * 2);
        if (i % 10 == 0) host->SetFocus(i % 20 == 0);
        long before = AllocationCount();
        input->Update();
        input->SetPadRumble(i % 4, WORD(i * 600), WORD(i));
        allocations += AllocationCount() - before;
    }
    EXPECT_EQ(allocations, 0);
}

} // namespace
