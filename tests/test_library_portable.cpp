// The screen and its surfaces over whichever platform is below: the stand-in on Linux, Windows
// itself (under wine) in the Windows build. A full-screen 640 x 480 x 16 chain and a windowed
// screen are made as the demo makes them; the drawing routines chosen from the real pixel
// format draw and read back, a picture file is loaded and copied with clipping, and a flip
// shows the back buffer. The gamepads are read through XInput with none plugged in. No headless
// instrument is used, so this runs on both.
#include "display/TarnScreen.h"
#include "input/TarnInput.h"
#include "surface/TarnSurface.h"

#include "support/HeadlessTest.h"
#include "support/MachineNeeds.h"

#include <windows.h>
#include <ddraw.h>
#include <xinput.h>

#include <string>

namespace {

class LibraryPortable : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        host->Config().desktopBits = 32;
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TarnLibraryPortable";
        RegisterClassA(&wc);
        window = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "TarnLibraryPortable", WS_POPUP,
                                 0, 0, 640, 480, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
    }
    void TearDown() override {
        if (window) DestroyWindow(window);
        HeadlessTest::TearDown();
    }

    // Draws with each routine of `s` (locked) and reads the pixels back. Only the bits of
    // `used` are compared: Wine's colour fill of a 32-bit video-memory surface sets the unused
    // top byte, which Windows leaves as the fill colour has it.
    static void DrawAndRead(TarnSurface& s, DWORD colour, DWORD used) {
        ASSERT_GT(s.Lock(), 0);
        auto read = [&s, used](int x, int y) { return (s.*s.readPixel)(x, y) & used; };
        EXPECT_EQ((s.*s.plotPixel)(3, 4, colour), 0);
        EXPECT_EQ(read(3, 4), colour);
        (s.*s.horzLine)(10, 19, 7, colour);
        (s.*s.vertLine)(2, 5, 30, colour);
        for (int x = 10; x <= 19; ++x) EXPECT_EQ(read(x, 7), colour) << x;
        EXPECT_EQ(read(20, 7), 0u);
        for (int y = 2; y <= 5; ++y) EXPECT_EQ(read(30, y), colour) << y;
        EXPECT_EQ(read(30, 6), 0u);
        s.Unlock();
    }

    HWND window = nullptr;
};

const std::string kPicture = std::string(TARN_TEST_DATA) + "/bmpsuite/g/rgb24.bmp";

// The demo's screen: exclusive 640 x 480 x 16 in 5-6-5, drawn into, a picture copied in with
// clipping at the top left, flipped to the front.
TEST_F(LibraryPortable, FullScreenChainDrawsCopiesAndFlips) {
    if (std::string lacks = LacksDisplayMode(640, 480, 16); !lacks.empty()) GTEST_SKIP() << lacks;
    TarnScreen* screen = new TarnScreen();
    ASSERT_EQ(screen->CreateFullScreen(window, 640, 480, 16, 0), 0);
    TarnSurface* back = screen->GetBack();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->width, 640);
    EXPECT_EQ(back->height, 480);
    EXPECT_EQ(back->pixelLayout.depth, 16);
    EXPECT_EQ(back->pixelLayout.redMax, 31);
    EXPECT_EQ(back->pixelLayout.greenMax, 63);
    EXPECT_EQ(back->pixelLayout.redShift, 11);
    EXPECT_EQ(back->pixelLayout.greenShift, 5);

    EXPECT_EQ(back->FillSolid(0), DD_OK);
    DrawAndRead(*back, 0xF81F, 0xFFFF);

    TarnSurface* picture = new TarnSurface();
    ASSERT_EQ(picture->Create(screen, kPicture.c_str(), 2), 1);
    EXPECT_EQ(picture->width, 127);
    EXPECT_EQ(picture->height, 64);
    EXPECT_EQ(picture->pixelLayout.depth, 16);
    EXPECT_EQ(picture->CopyTo(back, -10, -20, nullptr), DD_OK);
    TarnSurface& from = *picture;
    TarnSurface& to = *back;
    ASSERT_GT(from.Lock(), 0);
    ASSERT_GT(to.Lock(), 0);
    for (int y : {0, 21, 43})
        for (int x : {0, 58, 116})
            EXPECT_EQ((to.*to.readPixel)(x, y), (from.*from.readPixel)(x + 10, y + 20))
                << x << "," << y;
    EXPECT_EQ((to.*to.readPixel)(117, 0), 0u); // right of the copy
    const DWORD corner = (to.*to.readPixel)(0, 0);
    to.Unlock();
    from.Unlock();
    EXPECT_EQ(back->DrawString(200, 200, RGB(255, 255, 255), "Tarn"), 0);

    screen->Flip(1, 0, 0);
    TarnSurface& front = *screen->GetFront();
    ASSERT_GT(front.Lock(), 0);
    EXPECT_EQ((front.*front.readPixel)(0, 0), corner);
    front.Unlock();

    delete picture;
    delete back;
    delete screen;
}

// A windowed screen takes the desktop's format: here 32 bits, as the fixture's machine and the
// Wine run's X screen have it.
TEST_F(LibraryPortable, WindowedScreenDrawsInTheDesktopFormat) {
    TarnScreen screen;
    ASSERT_EQ(screen.CreateWindowed(window, 200, 100), 0);
    TarnSurface* back = screen.GetBack();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->width, 200);
    EXPECT_EQ(back->height, 100);
    EXPECT_EQ(back->pixelLayout.depth, 32);
    EXPECT_EQ(back->FillSolid(0), DD_OK);
    DrawAndRead(*back, 0x00A0B0C0, 0x00FFFFFF);
    screen.Flip(0, 0, 0);
}

// A machine without pads (the test machines have none): every slot reads not connected through
// XInput and TarnInput, rumble says so, and the program goes on.
TEST_F(LibraryPortable, WithoutPadsEverySlotReadsNotConnected) {
    TarnInput input;
    input.Create(GetModuleHandleA(nullptr), window); // the keyboard may wait for the foreground
    input.Update();
    for (DWORD pad = 0; pad < XUSER_MAX_COUNT; ++pad) {
        SCOPED_TRACE(testing::Message() << "pad " << pad);
        XINPUT_STATE state;
        XINPUT_CAPABILITIES caps;
        EXPECT_EQ(XInputGetState(pad, &state), DWORD(ERROR_DEVICE_NOT_CONNECTED))
            << "unplug the pads to run this test";
        EXPECT_EQ(XInputGetCapabilities(pad, XINPUT_FLAG_GAMEPAD, &caps),
                  DWORD(ERROR_DEVICE_NOT_CONNECTED));
        EXPECT_FALSE(input.IsPadConnected(int(pad)));
        EXPECT_EQ(input.GetPadButtonState(int(pad), PAD_A), KEY_UP);
        EXPECT_EQ(input.GetPadTrigger(int(pad), PAD_TRIGGER_LEFT), 0);
        EXPECT_EQ(input.SetPadRumble(int(pad), 1000, 1000), int(ERROR_DEVICE_NOT_CONNECTED));
    }
}

} // namespace
