// The demo's whole frame allocates nothing once running: TarnInput::Update with keyboard, mouse
// and joystick all changing, CopyTo of a full-screen picture onto the back buffer, and Flip,
// with the frame-rate window closing along the way. (Update alone, and CopyTo with Flip alone,
// are covered by the input and screen tests; this is the three together, as the program runs
// them.)
#include "display/TarnScreen.h"
#include "input/TarnInput.h"
#include "support/AllocationCounter.h"
#include "support/HeadlessTest.h"
#include "support/ScreenFixture.h"
#include "support/TestWindow.h"

namespace {

using tarn::platform::LiveObjects;

class NoAllocationTest : public HeadlessTest {};

TEST_F(NoAllocationTest, DemoFramesAllocateNothing) {
    host->AttachJoystick(true);
    host->SetFrameTime(16); // about sixty frames make a frame-rate window
    HWND window = MakeTestWindow("TarnNoAllocationTest", WS_POPUP | WS_VISIBLE);
    ASSERT_NE(window, nullptr);
    TarnScreen* screen = new TarnScreen();
    ASSERT_EQ(screen->CreateFullScreen(window, 640, 480, 16, 0), 0);
    TarnSurface* picture = WrapOffscreenSurface(screen, 640, 480);
    ASSERT_EQ(picture->FillSolid(0xF81F), DD_OK);
    TarnInput* input = new TarnInput();
    ASSERT_EQ(input->Create(GetModuleHandleA(nullptr), window), 0);

    auto frame = [&] {
        input->Update();
        picture->CopyTo(screen->GetBack(), 0, 0, nullptr);
        screen->Flip(1, 1, 0);
    };
    frame(); // the first frame may set up what later frames reuse

    const int kFrames = 150;
    long allocations = 0;
    for (int i = 0; i < kFrames; ++i) {
        host->SetKey(0x1E, i % 2 == 0); // A
        host->MoveMouse(i % 7 - 3, 2 - i % 5);
        host->TurnWheel(i % 3 == 0 ? 120 : 0);
        host->SetMouseButton(i % 3, i % 4 == 0);
        host->SetJoystick(i * 200 - 15000, 9000 - i * 100);
        host->SetJoystickButton(i % 10, i % 2 == 1);
        const long before = AllocationCount();
        frame();
        allocations += AllocationCount() - before;
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_GE(host->FramesPresented(), kFrames);
    // The frames showed the picture: magenta in 5-6-5, widened.
    int w = 0, h = 0;
    const std::vector<uint32_t>& shown = host->LastFrame(&w, &h);
    ASSERT_EQ(shown.size(), 640u * 480u);
    EXPECT_EQ(shown[0], 0xFF00FFu);
    EXPECT_EQ(shown.back(), 0xFF00FFu);

    delete input;
    delete picture;
    delete screen->GetBack();
    delete screen;
    DestroyWindow(window);
    EXPECT_EQ(LiveObjects(), 0);
}

} // namespace
