// TarnScreen on the headless host: every CreateFullScreen result code with what it leaves
// behind, the triple-buffer and video-memory fallbacks, who deletes which buffer, the frame-rate
// measurement (window boundaries, truncation, a long start, the clock's wrap), the wait flag,
// the overlay, presenting into a window with and without stretching, recovery of a lost chain,
// the enumeration lists, and that a frame (CopyTo and Flip) allocates nothing.
#include "display/TarnScreen.h"

#include "support/AllocationCounter.h"
#include "support/HeadlessTest.h"
#include "support/ScreenFixture.h"
#include "support/TestWindow.h"

#include <climits>
#include <cstring>
#include <string>

namespace {

using tarn::platform::CallCount;
using tarn::platform::ClearFaults;
using tarn::platform::InjectFault;
using tarn::platform::LiveObjects;
using tarn::platform::ResetCallCounts;

class ScreenTest : public HeadlessTest {
protected:
    HWND MakeWindow(int x = 0, int y = 0, int w = 1024, int h = 768) {
        window = MakeTestWindow("TarnScreenTest", WS_POPUP | WS_VISIBLE, x, y, w, h);
        return window;
    }

    // A full-screen screen at 640 x 480 x 16 on a fresh window.
    TarnScreen* MakeFullScreen() {
        TarnScreen* screen = new TarnScreen();
        EXPECT_EQ(screen->CreateFullScreen(MakeWindow(), 640, 480, 16, 0), 0);
        return screen;
    }

    // Deletes in the owner's order (a full-screen back buffer first), closes the window and
    // checks that the stand-in holds nothing any more.
    void Finish(TarnScreen* screen) {
        if (screen->IsFullScreen() && screen->GetBack() != nullptr) delete screen->GetBack();
        delete screen;
        if (window != nullptr) DestroyWindow(window);
        window = nullptr;
        EXPECT_EQ(LiveObjects(), 0);
    }

    HWND window = nullptr;
};

void FillRect(TarnSurface* s, RECT r, DWORD colour) {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof(fx));
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = colour;
    ASSERT_EQ(s->surface->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
}

TEST_F(ScreenTest, CreateFullScreenBuildsTheChainAndTheDestructorGivesTheDisplayBack) {
    TarnScreen* screen = MakeFullScreen();
    ASSERT_NE(screen->GetFront(), nullptr);
    ASSERT_NE(screen->GetBack(), nullptr);
    EXPECT_TRUE(host->FullScreen());
    for (TarnSurface* s : {screen->GetFront(), screen->GetBack()}) {
        EXPECT_EQ(s->width, 640);
        EXPECT_EQ(s->height, 480);
        EXPECT_EQ(s->clipArea.right, 640);
        EXPECT_EQ(s->clipArea.bottom, 480);
        EXPECT_EQ(s->pixelLayout.depth, 16);
        EXPECT_EQ(s->screen, screen);
        EXPECT_EQ(s->surfaceId, -1);
        EXPECT_NE(s->plotPixel, nullptr);
    }
    EXPECT_EQ(screen->surfaces.count, 0); // the buffers are not in the surface list
    EXPECT_EQ(screen->palette, nullptr);

    // A second call changes nothing.
    TarnSurface* front = screen->GetFront();
    EXPECT_EQ(screen->CreateFullScreen(window, 800, 600, 32, 0), -1);
    EXPECT_EQ(screen->GetFront(), front);
    EXPECT_EQ(screen->width, 640);

    Finish(screen);
    EXPECT_FALSE(host->FullScreen());
}

// Each failing step gives its own code, leaves no buffer behind, keeps the stored request, and
// a later call may succeed.
TEST_F(ScreenTest, CreateFullScreenFailureCodes) {
    struct Case {
        const char* operation;
        unsigned count; // 0: every call fails
        int videoMemory;
        int code;
        unsigned surfaceCalls; // CreateSurface attempts, checked when not 0
    };
    const Case cases[] = {
        {"IDirectDraw7::SetCooperativeLevel", 1, 1, -2, 0},
        {"IDirectDraw7::SetDisplayMode", 1, 1, -4, 0},
        {"IDirectDraw7::CreateSurface", 0, 1, -8, 2},
        {"IDirectDraw7::CreateSurface", 0, 0, -16, 1},
        {"IDirectDrawSurface7::GetAttachedSurface", 1, 1, -32, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " -> " + std::to_string(c.code));
        TarnScreen* screen = new TarnScreen();
        screen->videoMemory = c.videoMemory;
        HWND w = MakeWindow();
        ResetCallCounts();
        InjectFault(c.operation, 1, DDERR_GENERIC, c.count);
        EXPECT_EQ(screen->CreateFullScreen(w, 640, 480, 16, 0), c.code);
        EXPECT_EQ(screen->GetFront(), nullptr);
        EXPECT_EQ(screen->GetBack(), nullptr);
        EXPECT_EQ(screen->IsFullScreen(), 1);
        EXPECT_EQ(screen->width, 640);
        EXPECT_EQ(screen->window, w);
        if (c.surfaceCalls != 0) {
            EXPECT_EQ(CallCount("IDirectDraw7::CreateSurface"), c.surfaceCalls);
        }
        ClearFaults();
        EXPECT_EQ(screen->CreateFullScreen(w, 640, 480, 16, 0), 0);
        Finish(screen);
    }
}

TEST_F(ScreenTest, ScreenWithoutDeviceKeepsEmptyListsAndRefusesFullScreen) {
    InjectFault("DirectDrawCreate", 1, DDERR_NODIRECTDRAWHW);
    TarnScreen* screen = new TarnScreen();
    EXPECT_EQ(screen->GetDirectDraw(), nullptr);
    EXPECT_EQ(screen->modeCount, 0);
    EXPECT_EQ(screen->driverCount, 0);
    ASSERT_NE(screen->modeList, nullptr);
    EXPECT_EQ(screen->modeList->next, nullptr);
    ASSERT_NE(screen->driverList, nullptr);
    EXPECT_EQ(screen->driverList->next, nullptr);
    EXPECT_EQ(screen->CreateFullScreen(MakeWindow(), 640, 480, 16, 0), -1);
    EXPECT_EQ(screen->IsFullScreen(), 0);
    Finish(screen);
}

TEST_F(ScreenTest, TripleBufferingFallsBackToOneBackBuffer) {
    const struct {
        int maxBackBuffers;
        int tripleBufferAfter;
    } cases[] = {{2, 1}, {1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maxBackBuffers);
        host->Config().maxBackBuffers = c.maxBackBuffers;
        TarnScreen* screen = new TarnScreen();
        screen->tripleBuffer = 1;
        EXPECT_EQ(screen->CreateFullScreen(MakeWindow(), 640, 480, 16, 0), 0);
        EXPECT_EQ(screen->tripleBuffer, c.tripleBufferAfter);
        Finish(screen);
    }
}

// Too little video memory puts the chain in system memory; with the fallback off, the chain is
// asked for in system memory only.
TEST_F(ScreenTest, ChainFallsBackToSystemMemory) {
    const struct {
        int videoMemory;
        uint32_t budget;
        unsigned surfaceCalls;
    } cases[] = {{1, 1024, 2}, {0, 8u << 20, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.videoMemory);
        host->Config().videoMemoryBytes = c.budget;
        TarnScreen* screen = new TarnScreen();
        screen->videoMemory = c.videoMemory;
        ResetCallCounts();
        EXPECT_EQ(screen->CreateFullScreen(MakeWindow(), 640, 480, 16, 0), 0);
        EXPECT_EQ(CallCount("IDirectDraw7::CreateSurface"), c.surfaceCalls);
        DDSCAPS2 caps;
        std::memset(&caps, 0, sizeof(caps));
        ASSERT_EQ(screen->GetFront()->surface->GetCaps(&caps), DD_OK);
        EXPECT_NE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY, 0u);
        Finish(screen);
    }
}

TEST_F(ScreenTest, FullScreenLeavesItsBackBufferToTheOwner) {
    TarnScreen* screen = MakeFullScreen();
    TarnSurface* back = screen->GetBack();
    delete screen;
    // The back buffer object outlives the screen and no longer points at it.
    EXPECT_EQ(back->screen, nullptr);
    delete back;
    DestroyWindow(window);
    window = nullptr;
    EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(ScreenTest, WindowedScreenDeletesItsBackBuffer) {
    TarnScreen* screen = new TarnScreen();
    ASSERT_EQ(screen->CreateWindowed(MakeWindow(0, 0, 320, 240), 160, 120), 0);
    EXPECT_EQ(screen->IsFullScreen(), 0);
    ASSERT_NE(screen->GetBack(), nullptr);
    EXPECT_EQ(screen->GetBack()->width, 160);
    EXPECT_EQ(screen->GetFront()->width, host->Config().desktopWidth);
    EXPECT_EQ(screen->CreateWindowed(window, 160, 120), -1);
    Finish(screen); // Finish deletes only the screen here: the back buffer must go with it
}

TEST_F(ScreenTest, CreateWindowedFailureCodes) {
    const struct {
        const char* operation;
        unsigned nth;
        int code;
    } cases[] = {
        {"IDirectDraw7::SetCooperativeLevel", 1, -2},
        {"IDirectDraw7::CreateSurface", 1, -8},  // the primary surface
        {"IDirectDraw7::CreateSurface", 2, -16}, // the back buffer, in either memory
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        TarnScreen* screen = new TarnScreen();
        InjectFault(c.operation, c.nth, DDERR_GENERIC, 0);
        EXPECT_EQ(screen->CreateWindowed(MakeWindow(0, 0, 320, 240), 160, 120), c.code);
        EXPECT_EQ(screen->GetFront(), nullptr);
        EXPECT_EQ(screen->GetBack(), nullptr);
        ClearFaults();
        EXPECT_EQ(screen->CreateWindowed(window, 0, 120), -1);
        EXPECT_EQ(screen->CreateWindowed(window, 160, 120), 0);
        Finish(screen);
    }
}

// The frame-rate measurement. Flips run at `first`, at `between` more times spaced by `step`,
// and at `last`; the clock starts at `start` when the screen is made. All in 32-bit clock time.
TEST_F(ScreenTest, FrameRateMeasurement) {
    struct Case {
        const char* name;
        DWORD start, first;
        int between;
        DWORD step, last;
        int frameRate;
        DWORD frameCount, frameTime;
    };
    const Case cases[] = {
        {"exactly 1000 ms keeps the window open", 0, 0, 0, 0, 1000, 0, 2, 1000},
        {"1001 ms closes it", 0, 0, 0, 0, 1001, 0, 1, 0},
        {"59 frames in 1003 ms give 58", 0, 0, 58, 17, 1003, 58, 1, 0},
        {"60 frames in 1001 ms give 59", 0, 0, 59, 16, 1001, 59, 1, 0},
        {"1206 frames in 1200 ms give exactly 1005", 0, 0, 1205, 0, 1200, 1005, 1, 0},
        {"2002 frames in 2000 ms give exactly 1001", 0, 0, 2001, 0, 2000, 1001, 1, 0},
        {"a long start closes an empty window", 0, 5000, 0, 0, 5500, 0, 2, 500},
        {"a long pause lowers the rate", 0, 0, 29, 16, 3000, 10, 1, 0},
        {"the clock wraps inside a window", 0xFFFFFF00u, 0xFFFFFF00u, 0, 0, 0xFFFFFF00u + 1000, 0,
         2, 1000},
        {"a window closes across the wrap", 0xFFFFFE00u, 0xFFFFFE00u, 58, 17, 0xFFFFFE00u + 1003,
         58, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host->SetTime(c.start);
        TarnScreen* screen = new TarnScreen();
        EXPECT_EQ(screen->lastTime, c.start);
        host->SetTime(c.first);
        screen->Flip(1, 1, 0);
        for (int i = 1; i <= c.between; i++) {
            host->SetTime(c.first + c.step * static_cast<DWORD>(i));
            screen->Flip(1, 1, 0);
        }
        host->SetTime(c.last);
        screen->Flip(1, 1, 0);
        EXPECT_EQ(screen->frameRate, c.frameRate);
        EXPECT_EQ(screen->frameCount, c.frameCount);
        EXPECT_EQ(screen->frameTime, c.frameTime);
        EXPECT_EQ(screen->lastTime, c.last);
        Finish(screen);
    }
}

TEST_F(ScreenTest, FirstWindowAfterALongStartStaysAtZeroThenMeasures) {
    TarnScreen* screen = new TarnScreen();
    host->SetTime(5000);
    screen->Flip(1, 1, 0);
    EXPECT_EQ(screen->frameRate, 0);
    for (DWORD i = 1; i <= 58; i++) {
        host->SetTime(5000 + 17 * i);
        screen->Flip(1, 1, 0);
    }
    host->SetTime(6003);
    screen->Flip(1, 1, 0);
    EXPECT_EQ(screen->frameRate, 58);
    Finish(screen);
}

// Only a wait flag of exactly 1 waits for the vertical blank, full-screen and windowed alike.
TEST_F(ScreenTest, OnlyAWaitFlagOfOneWaits) {
    for (int windowed = 0; windowed <= 1; windowed++) {
        TarnScreen* screen = new TarnScreen();
        int created = windowed ? screen->CreateWindowed(MakeWindow(0, 0, 320, 240), 320, 240)
                               : screen->CreateFullScreen(MakeWindow(), 640, 480, 16, 0);
        ASSERT_EQ(created, 0);
        for (int wait : {1, 0, 2, -1}) {
            SCOPED_TRACE(std::to_string(windowed) + " wait " + std::to_string(wait));
            int before = host->VerticalBlankWaits();
            int framesBefore = host->FramesPresented();
            screen->Flip(wait, 1, 0);
            EXPECT_EQ(host->VerticalBlankWaits() - before, wait == 1 ? 1 : 0);
            if (!windowed) {
                EXPECT_EQ(host->FramesPresented() - framesBefore, 1);
            }
        }
        Finish(screen);
    }
}

// The overlay writes "FPS = n" at (10, 20) in yellow into the frame being shown, taking the
// back buffer's device context once; without it the frame is left alone.
TEST_F(ScreenTest, OverlayWritesTheFrameRateIntoTheFrame) {
    TarnScreen* screen = MakeFullScreen();
    for (int overlay = 0; overlay <= 1; overlay++) {
        SCOPED_TRACE(overlay);
        screen->GetBack()->FillSolid(0);
        ResetCallCounts();
        screen->Flip(1, 1, overlay);
        EXPECT_EQ(CallCount("IDirectDrawSurface7::GetDC"), overlay ? 1u : 0u);
        int w = 0, h = 0;
        const std::vector<uint32_t>& frame = host->LastFrame(&w, &h);
        ASSERT_EQ(w, 640);
        int yellow = 0, elsewhere = 0;
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                uint32_t p = frame[y * w + x];
                bool nearText = x >= 10 && x < 120 && y >= 20 && y < 50;
                if (p == 0) continue;
                if (!nearText) elsewhere++;
                if ((p >> 16) >= 0xE0 && ((p >> 8) & 0xFF) >= 0xE0 && (p & 0xFF) < 0x40) yellow++;
            }
        }
        EXPECT_EQ(elsewhere, 0);
        if (overlay) {
            EXPECT_GT(yellow, 10);
        } else {
            EXPECT_EQ(yellow, 0);
        }
    }
    Finish(screen);
}

// A windowed screen blits its back buffer into the client area (320 x 240): scaled to fit, or
// its top-left part unscaled; of a window reaching past the desktop's edges (1024 x 768), the
// part on the desktop. The back buffer's left half is red, its right half blue.
TEST_F(ScreenTest, WindowedFlipStretchesOrCopiesUnscaled) {
    const DWORD RED = 0x00FF0000, BLUE = 0x000000FF, DESKTOP = 0x00123456;
    struct Probe {
        int x, y; // in the client area
        DWORD colour;
    };
    const struct {
        int stretch;
        int x, y; // the window's position
        Probe probes[4];
    } cases[] = {
        {1, 16, 8, {{10, 10, RED}, {150, 10, RED}, {170, 230, BLUE}, {319, 239, BLUE}}},
        {0, 16, 8, {{10, 10, RED}, {100, 10, BLUE}, {170, 10, DESKTOP}, {10, 130, DESKTOP}}},
        // Past the top-left corner: client (100, 100) is at the desktop's (0, 0).
        {1, -100, -100, {{100, 100, RED}, {159, 239, RED}, {160, 100, BLUE}, {319, 239, BLUE}}},
        {0,
         -100,
         -100,
         {{100, 100, BLUE}, {159, 119, BLUE}, {160, 100, DESKTOP}, {100, 120, DESKTOP}}},
        // Past the bottom-right corner: client (99, 59) is at the desktop's (1023, 767).
        {1, 924, 708, {{0, 0, RED}, {99, 59, RED}, {76, 32, RED}, {50, 30, RED}}},
        {0, 924, 708, {{0, 0, RED}, {99, 59, BLUE}, {79, 59, RED}, {80, 59, BLUE}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.stretch) + " at " + std::to_string(c.x) + "," +
                     std::to_string(c.y));
        TarnScreen* screen = new TarnScreen();
        ASSERT_EQ(screen->CreateWindowed(MakeWindow(c.x, c.y, 320, 240), 160, 120), 0);
        ASSERT_EQ(screen->bitDepth, 32);
        screen->GetFront()->FillSolid(DESKTOP);
        FillRect(screen->GetBack(), RECT{0, 0, 80, 120}, RED);
        FillRect(screen->GetBack(), RECT{80, 0, 160, 120}, BLUE);
        screen->Flip(0, c.stretch, 0);
        for (const Probe& p : c.probes) {
            SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
            EXPECT_EQ(RawPixel(screen->GetFront(), c.x + p.x, c.y + p.y), p.colour);
        }
        if (c.x > 0) { // outside the client area
            EXPECT_EQ(RawPixel(screen->GetFront(), c.x - 1, c.y), DESKTOP);
        }
        Finish(screen);
    }
}

// A lost chain costs one frame and one restore; frames come back once the display does.
TEST_F(ScreenTest, FlipRestoresALostChain) {
    TarnScreen* screen = MakeFullScreen();
    TakeDisplayAway();
    ResetCallCounts();
    screen->Flip(1, 1, 0);
    screen->Flip(1, 1, 0);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::Restore"), 2u); // once per frame, failing
    GiveDisplayBack();
    int frames = host->FramesPresented();
    screen->Flip(1, 1, 0); // still lost: restored now, not shown
    EXPECT_EQ(screen->GetFront()->surface->IsLost(), DD_OK);
    EXPECT_EQ(screen->Restore(), DD_OK); // nothing lost any more
    screen->Flip(1, 1, 0);
    EXPECT_EQ(host->FramesPresented(), frames + 1);
    Finish(screen);
}

// A windowed screen restores its primary surface and its back buffer separately; a failure of
// either is the result, the primary's not hidden by the back buffer's success.
TEST_F(ScreenTest, WindowedRestoreReportsEitherFailure) {
    const struct {
        const char* name;
        unsigned failing; // which Restore call fails: 1 the primary's, 2 the back buffer's
        HRESULT result;
    } cases[] = {
        {"both restored", 0, DD_OK},
        {"the primary stays lost", 1, DDERR_GENERIC},
        {"the back buffer stays lost", 2, DDERR_GENERIC},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TarnScreen* screen = new TarnScreen();
        ASSERT_EQ(screen->CreateWindowed(MakeWindow(0, 0, 320, 240), 320, 240), 0);
        LoseDisplay();
        ASSERT_EQ(screen->GetFront()->surface->IsLost(), DDERR_SURFACELOST);
        ASSERT_EQ(screen->GetBack()->surface->IsLost(), DDERR_SURFACELOST);
        ResetCallCounts();
        if (c.failing != 0) InjectFault("IDirectDrawSurface7::Restore", c.failing, DDERR_GENERIC);
        EXPECT_EQ(screen->Restore(), c.result);
        EXPECT_EQ(CallCount("IDirectDrawSurface7::Restore"), 2u);
        ClearFaults();
        Finish(screen);
    }
}

TEST_F(ScreenTest, ModeListKeepsTheReportedOrderAndEndsEmpty) {
    const struct {
        std::vector<tarn::platform::DisplayMode> modes;
    } cases[] = {{{}}, {{{640, 480, 16}, {320, 200, 8}, {1024, 768, 32}}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.modes.size());
        host->Config().modes = c.modes;
        TarnScreen* screen = new TarnScreen();
        EXPECT_EQ(screen->modeCount, static_cast<int>(c.modes.size()));
        const TarnDisplayMode* node = screen->modeList;
        for (const auto& m : c.modes) {
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(node->width, static_cast<DWORD>(m.width));
            EXPECT_EQ(node->height, static_cast<DWORD>(m.height));
            EXPECT_EQ(node->bitDepth, static_cast<DWORD>(m.bits));
            node = node->next;
        }
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->width + node->height + node->bitDepth, 0u);
        EXPECT_EQ(node->next, nullptr);
        Finish(screen);
    }
}

// A driver whose DirectDraw object cannot be made is left out; the primary display driver has
// no GUID; an over-long description is cut to fit.
TEST_F(ScreenTest, DriverListSkipsADriverThatFails) {
    tarn::platform::DriverDesc second, third;
    second.primary = third.primary = false;
    second.guid[0] = 2;
    third.guid[0] = 3;
    third.guid[15] = 0x33;
    second.name = "second";
    second.createFails = true;
    third.name = "third";
    third.description = std::string(600, 'd');
    host->Config().drivers.push_back(second);
    host->Config().drivers.push_back(third);

    TarnScreen* screen = new TarnScreen();
    EXPECT_EQ(screen->driverCount, 2);
    const TarnDriverInfo* first = screen->driverList;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->guidPointer, nullptr);
    GUID zero;
    std::memset(&zero, 0, sizeof(zero));
    EXPECT_EQ(std::memcmp(&first->guid, &zero, sizeof(GUID)), 0);
    EXPECT_STREQ(first->name, "display");
    EXPECT_EQ(first->driverCaps.dwSize, sizeof(DDCAPS));
    const TarnDriverInfo* next = first->next;
    ASSERT_NE(next, nullptr);
    EXPECT_STREQ(next->name, "third");
    EXPECT_EQ(next->guidPointer, &next->guid);
    EXPECT_EQ(std::memcmp(&next->guid, third.guid, sizeof(GUID)), 0);
    EXPECT_EQ(std::strlen(next->description), sizeof(next->description) - 1);
    ASSERT_NE(next->next, nullptr);
    EXPECT_EQ(next->next->name[0], '\0');
    EXPECT_EQ(next->next->next, nullptr);
    Finish(screen);
}

// The serial counter is unsigned and wraps: numbers past 2^31 - 1 read as negative ids, and
// after 2^32 - 1 it starts again from 0, with no overflow anywhere.
TEST_F(ScreenTest, SurfaceSerialNumbersWrap) {
    const DWORD saved = TarnScreen::surfaceCounter;
    const struct {
        DWORD counter;
        int next;
    } cases[] = {
        {0, 1}, {41, 42}, {0x7FFFFFFEu, INT_MAX}, {0x7FFFFFFFu, INT_MIN}, {0xFFFFFFFFu, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.counter);
        TarnScreen::surfaceCounter = c.counter;
        EXPECT_EQ(TarnScreen::NextSurfaceId(), c.next);
        EXPECT_EQ(TarnScreen::surfaceCounter, c.counter + 1);
    }
    TarnScreen::surfaceCounter = saved;
}

TEST_F(ScreenTest, RemoveSurfaceIgnoresTheBuffers) {
    TarnScreen* screen = MakeFullScreen();
    TarnSurface* picture = WrapOffscreenSurface(screen, 8, 8);
    screen->AddSurface(picture);
    screen->RemoveSurface(screen->GetFront());
    screen->RemoveSurface(screen->GetBack());
    EXPECT_EQ(screen->surfaces.count, 1);
    EXPECT_EQ(screen->surfaces.head, picture);
    screen->RemoveSurface(picture);
    EXPECT_EQ(screen->surfaces.count, 0);
    delete picture;
    Finish(screen);
}

// The frame path of the demo (CopyTo, then Flip), full-screen and windowed, allocates nothing
// once running. (The overlay is left out: the stand-in's text rasteriser allocates per call.)
TEST_F(ScreenTest, FramesAllocateNothing) {
    for (int windowed = 0; windowed <= 1; windowed++) {
        SCOPED_TRACE(windowed);
        TarnScreen* screen = new TarnScreen();
        int created = windowed ? screen->CreateWindowed(MakeWindow(0, 0, 320, 240), 320, 240)
                               : screen->CreateFullScreen(MakeWindow(), 640, 480, 16, 0);
        ASSERT_EQ(created, 0);
        TarnSurface* picture = WrapOffscreenSurface(screen, 320, 200);
        picture->CopyTo(screen->GetBack(), 0, 0, nullptr); // warm-up frame
        screen->Flip(1, 1, 0);
        long before = AllocationCount();
        for (int i = 0; i < 10; i++) {
            picture->CopyTo(screen->GetBack(), -5, 3, nullptr);
            screen->Flip(1, i % 2, 0);
        }
        EXPECT_EQ(AllocationCount() - before, 0);
        delete picture;
        Finish(screen);
    }
}

} // namespace
