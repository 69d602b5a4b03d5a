// TarnSurface on the headless host: clipping of copies (one table), real copies landing where
// the clipping says, a lost picture restored and reloaded from its file, Lock/Unlock and
// GetDC/ReleaseDC nesting reaching the stand-in once, the bound on retrying a lost surface,
// every Create result code, serial numbers and the surface list, and the pixel layout.
#include "display/TarnScreen.h"
#include "surface/TarnRect.h"
#include "surface/TarnSurface.h"

#include "support/HeadlessTest.h"
#include "support/ScreenFixture.h"
#include "support/TestWindow.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace tarn::platform {
// The resource table the build fills for an executable's embedded bitmaps.
bool RegisterBitmapResource(const char* name, const unsigned char* file, std::size_t size);
} // namespace tarn::platform

namespace {

using tarn::platform::CallCount;
using tarn::platform::InjectFault;
using tarn::platform::LiveObjects;
using tarn::platform::ResetCallCounts;

// A 24-bit bottom-up BMP file whose pixel (x, y) has the colour pixel(x, y) (0x00RRGGBB).
template <class F> std::vector<unsigned char> BmpBytes(int w, int h, F pixel) {
    int row = (w * 3 + 3) & ~3;
    std::vector<unsigned char> data(54 + row * h, 0);
    auto put32 = [&](int at, unsigned v) {
        for (int i = 0; i < 4; i++) data[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    data[0] = 'B';
    data[1] = 'M';
    put32(2, static_cast<unsigned>(data.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    data[26] = 1;
    data[28] = 24;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            unsigned c = pixel(x, y);
            unsigned char* p = &data[54 + (h - 1 - y) * row + x * 3];
            p[0] = static_cast<unsigned char>(c);
            p[1] = static_cast<unsigned char>(c >> 8);
            p[2] = static_cast<unsigned char>(c >> 16);
        }
    }
    return data;
}

template <class F> std::string WriteBmp(const std::string& name, int w, int h, F pixel) {
    std::string path = testing::TempDir() + name;
    std::vector<unsigned char> data = BmpBytes(w, h, pixel);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return path;
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    return path;
}

// Colour of the test picture: red and green ramps, blue by quadrant.
unsigned PicturePixel(int x, int y) {
    return static_cast<unsigned>((x * 4) & 0xF8) << 16 |
           static_cast<unsigned>((y * 4) & 0xFC) << 8 | ((x >= 32) != (y >= 20) ? 0xF8u : 0u);
}

class SurfaceTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        screen = new TarnScreen();
        ASSERT_NE(screen->GetDirectDraw(), nullptr);
        // Surfaces need a cooperative level; the desktop's own is enough for off-screen ones.
        ASSERT_EQ(screen->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }
    void TearDown() override {
        delete screen;
        EXPECT_EQ(LiveObjects(), 0);
        HeadlessTest::TearDown();
    }

    // An off-screen surface in the desktop's format, wrapped the way the screen wraps its buffers.
    TarnSurface* MakeSurface(int w, int h, DWORD caps = DDSCAPS_SYSTEMMEMORY) {
        return WrapOffscreenSurface(screen, w, h, caps);
    }

    TarnScreen* screen = nullptr;
};

// The 0x00RRGGBB colour of a pixel of a 32-bit surface, read through the surface's own lock.
DWORD Pixel(TarnSurface* s, int x, int y) {
    return RawPixel(s, x, y) & 0xFFFFFF;
}

// Copy clipping of a 100 x 80 source onto a 200 x 150 destination: the position and source
// rectangle ClipCopyRects leaves, or nothing to copy.
TEST_F(SurfaceTest, CopyClippingCases) {
    const RECT WHOLE = {0, 0, 100, 80};
    struct Case {
        const char* name;
        RECT sourceClip;
        int x, y;
        RECT src;
        bool copies;
        int outX, outY;
        RECT outSrc;
    };
    const Case cases[] = {
        {"whole picture at the origin", WHOLE, 0, 0, WHOLE, true, 0, 0, WHOLE},
        {"left part cut off", WHOLE, -10, 5, WHOLE, true, 0, 5, {10, 0, 100, 80}},
        {"right and bottom cut off", WHOLE, 150, 100, WHOLE, true, 150, 100, {0, 0, 50, 50}},
        {"all four sides cut off",
         WHOLE,
         -20,
         -30,
         {0, 0, 300, 300},
         true,
         0,
         0,
         {20, 30, 100, 80}},
        {"source rectangle partly outside the source",
         WHOLE,
         0,
         0,
         {90, 70, 120, 100},
         true,
         0,
         0,
         {90, 70, 100, 80}},
        // A trim of the source by its own clip area moves the position with it, as every other
        // trim does: source pixel (10, 10) still lands at (10, 10).
        {"source clip area trims the source and moves the position",
         {10, 10, 50, 50},
         0,
         0,
         WHOLE,
         true,
         10,
         10,
         {10, 10, 50, 50}},
        {"source rectangle starting before the source",
         WHOLE,
         0,
         0,
         {-10, -10, 50, 50},
         true,
         10,
         10,
         {0, 0, 50, 50}},
        {"source and destination trims together",
         {10, 10, 50, 50},
         -5,
         -20,
         WHOLE,
         true,
         5,
         0,
         {10, 20, 50, 50}},
        {"inverted source clip area", {50, 50, 10, 10}, 0, 0, WHOLE, false, 0, 0, {}},
        {"source rectangle wholly outside the source",
         WHOLE,
         0,
         0,
         {100, 0, 120, 10},
         false,
         0,
         0,
         {}},
        {"position on the destination's right edge", WHOLE, 200, 0, WHOLE, false, 0, 0, {}},
        {"picture ending on the destination's left edge", WHOLE, -100, 0, WHOLE, false, 0, 0, {}},
        {"picture ending on the destination's top edge", WHOLE, 0, -80, WHOLE, false, 0, 0, {}},
        {"empty source rectangle", WHOLE, 0, 0, {20, 20, 20, 40}, false, 0, 0, {}},
        {"inverted source rectangle", WHOLE, 0, 0, {50, 50, 10, 10}, false, 0, 0, {}},
        {"position at the largest int", WHOLE, INT_MAX, INT_MAX, WHOLE, false, 0, 0, {}},
        {"position at the smallest int", WHOLE, INT_MIN, 0, WHOLE, false, 0, 0, {}},
    };
    TarnSurface* source = MakeSurface(100, 80);
    TarnSurface* dest = MakeSurface(200, 150);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        source->clipArea = c.sourceClip;
        int x = c.x, y = c.y;
        RECT src = c.src;
        ASSERT_EQ(source->ClipCopyRects(dest, &x, &y, &src), c.copies ? TRUE : FALSE);
        ResetCallCounts();
        EXPECT_GE(source->CopyTo(dest, c.x, c.y, &c.src), 0);
        EXPECT_EQ(CallCount("IDirectDrawSurface7::BltFast"), c.copies ? 1u : 0u);
        if (!c.copies) continue;
        EXPECT_EQ(x, c.outX);
        EXPECT_EQ(y, c.outY);
        EXPECT_EQ(src.left, c.outSrc.left);
        EXPECT_EQ(src.top, c.outSrc.top);
        EXPECT_EQ(src.right, c.outSrc.right);
        EXPECT_EQ(src.bottom, c.outSrc.bottom);
    }
    delete source;
    delete dest;
}

// The copy lands where the clipping says: source pixel (10, 0) at (0, 5) for a copy to (-10, 5).
TEST_F(SurfaceTest, CopyToMovesThePixelsTheClippingNames) {
    TarnSurface* source = MakeSurface(100, 80);
    TarnSurface* dest = MakeSurface(200, 150);
    dest->FillSolid(0);
    ASSERT_EQ(source->Lock(), 1);
    for (int y = 0; y < 80; y++) {
        DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(source->surfaceDesc.lpSurface) +
                                              y * source->surfaceDesc.lPitch);
        for (int x = 0; x < 100; x++) row[x] = static_cast<DWORD>(x << 8 | y);
    }
    ASSERT_EQ(source->Unlock(), 0);
    const RECT* none = nullptr;
    EXPECT_EQ(source->CopyTo(dest, -10, 5, none), DD_OK);
    EXPECT_EQ(Pixel(dest, 0, 5), static_cast<DWORD>(10 << 8 | 0));
    EXPECT_EQ(Pixel(dest, 89, 84), static_cast<DWORD>(99 << 8 | 79));
    EXPECT_EQ(Pixel(dest, 90, 5), 0u);
    EXPECT_EQ(Pixel(dest, 0, 4), 0u);

    // A source rectangle that starts before the source: pixel (0, 0) lands 10 in and 10 down.
    dest->FillSolid(0x123456);
    const RECT early = {-10, -10, 50, 50};
    EXPECT_EQ(source->CopyTo(dest, 0, 0, &early), DD_OK);
    EXPECT_EQ(Pixel(dest, 10, 10), 0u);
    EXPECT_EQ(Pixel(dest, 11, 12), static_cast<DWORD>(1 << 8 | 2));
    EXPECT_EQ(Pixel(dest, 59, 59), static_cast<DWORD>(49 << 8 | 49));
    for (POINT outside : {POINT{9, 10}, POINT{10, 9}, POINT{60, 20}, POINT{20, 60}})
        EXPECT_EQ(Pixel(dest, outside.x, outside.y), 0x123456u) << outside.x << "," << outside.y;
    EXPECT_EQ(source->CopyTo(nullptr, 0, 0, none), -1);
    TarnSurface empty;
    EXPECT_EQ(empty.CopyTo(dest, 0, 0, none), -1);
    EXPECT_EQ(source->CopyTo(&empty, 0, 0, none), -1);
    delete source;
    delete dest;
}

TEST_F(SurfaceTest, SetClipAreaStaysInsideTheSurface) {
    TarnSurface* s = MakeSurface(64, 48);
    RECT wide = {-5, -5, 1000, 1000};
    s->SetClipArea(&wide);
    EXPECT_EQ(s->clipArea.left, 0);
    EXPECT_EQ(s->clipArea.top, 0);
    EXPECT_EQ(s->clipArea.right, 64);
    EXPECT_EQ(s->clipArea.bottom, 48);
    delete s;
}

// Creating from a picture file: the size comes from the surface, the surface joins the list
// with consecutive serial numbers, and deleting it takes it out again.
TEST_F(SurfaceTest, CreateLoadsAPictureAndJoinsTheScreen) {
    std::string path = WriteBmp("create.bmp", 64, 40, PicturePixel);
    TarnSurface* a = new TarnSurface();
    TarnSurface* b = new TarnSurface();
    ASSERT_EQ(a->Create(screen, path.c_str(), 1), 1);
    ASSERT_EQ(b->Create(screen, path.c_str(), 2), 1);
    EXPECT_EQ(a->width, 64);
    EXPECT_EQ(a->height, 40);
    EXPECT_EQ(a->clipArea.right, 64);
    EXPECT_EQ(a->clipArea.bottom, 40);
    EXPECT_STREQ(a->fileName, path.c_str());
    EXPECT_EQ(a->screen, screen);
    EXPECT_EQ(a->placement, 1);
    EXPECT_EQ(b->placement, 2);
    EXPECT_GE(a->surfaceId, 1);
    EXPECT_EQ(b->surfaceId, a->surfaceId + 1);
    EXPECT_EQ(TarnScreen::NextSurfaceId(), b->surfaceId + 1);
    EXPECT_EQ(a->pixelLayout.depth, 32);
    EXPECT_EQ(Pixel(a, 40, 10), PicturePixel(40, 10));
    EXPECT_EQ(screen->surfaces.count, 2);
    EXPECT_EQ(screen->surfaces.head, a);
    EXPECT_EQ(screen->surfaces.tail, b);
    EXPECT_EQ(a->Create(screen, path.c_str(), 1), -1); // already holds a surface
    delete a;
    EXPECT_EQ(screen->surfaces.count, 1);
    EXPECT_EQ(screen->surfaces.head, b);
    delete b;
    EXPECT_EQ(screen->surfaces.count, 0);
}

// The name of a bitmap resource of this test program, registered once as the build's resource
// embedding does for an executable.
const char* TestResource() {
    static const std::vector<unsigned char> file = BmpBytes(24, 16, PicturePixel);
    static const bool registered =
        tarn::platform::RegisterBitmapResource("TARNTESTBITMAP", file.data(), file.size());
    EXPECT_TRUE(registered);
    return "TARNTESTBITMAP";
}

// A name the image front end cannot load may be a bitmap resource of the executable.
TEST_F(SurfaceTest, CreateFallsBackToABitmapResource) {
    TarnSurface* s = new TarnSurface();
    ASSERT_EQ(s->Create(screen, TestResource(), 1), 1);
    EXPECT_EQ(s->width, 24);
    EXPECT_EQ(s->height, 16);
    EXPECT_EQ(Pixel(s, 20, 3), PicturePixel(20, 3));
    delete s;
}

// Create's failures: the name itself, then the bitmap-resource fallback step by step.
TEST_F(SurfaceTest, CreateFailureCodes) {
    struct Case {
        const char* name;
        std::string fileName;
        bool nullName;
        const char* fault; // an operation made to fail on every call, or null
        int result;
        long code = 0; // what the failing operation returns (0: null or FALSE)
    };
    const std::string resource = TestResource();
    const std::string picture = WriteBmp("unreadable.bmp", 8, 8, PicturePixel);
    const Case cases[] = {
        {"null name", "", true, nullptr, -1},
        {"name of 256 characters", std::string(256, 'n'), false, nullptr, -1},
        {"name of 255 characters reaches the loaders", std::string(255, 'n'), false, nullptr, -2},
        {"neither a picture nor a resource", "no such picture.bmp", false, nullptr, -2},
        {"resource cannot be loaded", resource, false, "LoadResource", -3},
        {"resource cannot be locked", resource, false, "LockResource", -4},
        {"system bitmap loader gives nothing", resource, false, "LoadImageA", -1},
        {"no surface for the bitmap", resource, false, "IDirectDraw7::CreateSurface", -1},
        {"size of the new surface cannot be read", picture, false,
         "IDirectDrawSurface7::GetSurfaceDesc", -1, DDERR_GENERIC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fault != nullptr) InjectFault(c.fault, 1, c.code, 0);
        TarnSurface s;
        EXPECT_EQ(s.Create(screen, c.nullName ? nullptr : c.fileName.c_str(), 1), c.result);
        EXPECT_EQ(s.surface, nullptr);
        EXPECT_EQ(s.surfaceId, -1);
        EXPECT_EQ(s.screen, nullptr);
        EXPECT_EQ(s.fileName[0], '\0');
        EXPECT_EQ(screen->surfaces.count, 0);
        EXPECT_EQ(s.Lock(), -1);
        EXPECT_EQ(s.GetDC(), nullptr);
        tarn::platform::ClearFaults();
    }
    TarnSurface s;
    EXPECT_EQ(s.Create(nullptr, "x.bmp", 1), -1);
}

// A picture in video memory loses its pixels with the display; the next CopyTo restores it,
// reloads the file and makes the copy, which shows the picture again.
// A blank surface: the display's format, cleared, in the screen's list, drawn into and copied
// from like a picture; refused without a screen, twice, or at a size below 1. Lost with the
// display, a copy from it restores it without reading any file (it has none).
TEST_F(SurfaceTest, CreateBlankMakesAClearedSurfaceToDrawInto) {
    TarnSurface* blank = new TarnSurface();
    ASSERT_EQ(blank->CreateBlank(screen, 48, 30, 0), 1);
    EXPECT_EQ(blank->width, 48);
    EXPECT_EQ(blank->height, 30);
    EXPECT_EQ(blank->pixelLayout.depth, 32);
    EXPECT_EQ(blank->fileName[0], '\0');
    EXPECT_EQ(screen->surfaces.count, 1);
    for (POINT p : {POINT{0, 0}, POINT{47, 29}}) EXPECT_EQ(Pixel(blank, p.x, p.y), 0u);
    ASSERT_EQ(blank->FillCircle(24, 15, 10, 0x00FF00), 0);

    TarnSurface* dest = MakeSurface(48, 30);
    dest->FillSolid(0x0000FF);
    LoseDisplay();
    ResetCallCounts();
    EXPECT_EQ(blank->CopyTo(dest, 0, 0, nullptr), DD_OK);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::Restore"), 1u);
    EXPECT_EQ(CallCount("CreateFileA"), 0u);

    TarnSurface* other = new TarnSurface();
    EXPECT_EQ(blank->CreateBlank(screen, 8, 8, 1), -1); // already has a surface
    EXPECT_EQ(other->CreateBlank(nullptr, 8, 8, 1), -1);
    EXPECT_EQ(other->CreateBlank(screen, 0, 8, 1), -1);
    EXPECT_EQ(other->CreateBlank(screen, 8, -1, 1), -1);
    EXPECT_EQ(other->surface, nullptr);
    delete other;
    delete dest;
    delete blank;
}

TEST_F(SurfaceTest, LostPictureIsRestoredAndReloadedByCopyTo) {
    std::string path = WriteBmp("lost.bmp", 64, 40, PicturePixel);
    TarnSurface* picture = new TarnSurface();
    ASSERT_EQ(picture->Create(screen, path.c_str(), 0), 1);
    TarnSurface* dest = MakeSurface(64, 40);
    dest->FillSolid(0);

    LoseDisplay();
    ResetCallCounts();
    const RECT* none = nullptr;
    EXPECT_EQ(picture->CopyTo(dest, 0, 0, none), DD_OK); // the copy made after the restore
    EXPECT_EQ(CallCount("IDirectDrawSurface7::Restore"), 1u);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::BltFast"), 2u);
    for (int y : {0, 10, 39})
        for (int x : {0, 33, 63}) EXPECT_EQ(Pixel(dest, x, y), PicturePixel(x, y));
    delete dest;
    delete picture;
}

// Copies onto a full-screen back buffer after the display was taken away: whichever surface
// is lost is restored (the back buffer through its chain), only a lost picture reads its file
// again, and the copy is made once more. While the display is still away the restore's failure
// is the result: nothing was copied.
TEST_F(SurfaceTest, CopyToRestoresWhicheverSurfaceWasLost) {
    std::string path = WriteBmp("onto-back.bmp", 64, 40, PicturePixel);
    struct Case {
        const char* name;
        BYTE placement; // 0: the picture is lost with the display too; 1: it is not
        bool displayBack;
        bool copied;
        unsigned fileReads;
    };
    const Case cases[] = {
        {"only the back buffer lost", 1, true, true, 0},
        {"picture and back buffer lost", 0, true, true, 1},
        {"back buffer lost, display still away", 1, false, false, 0},
    };
    HWND window = MakeTestWindow("TarnSurfaceTest", WS_POPUP | WS_VISIBLE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TarnScreen* full = new TarnScreen();
        ASSERT_EQ(full->CreateFullScreen(window, 640, 480, 16, 0), 0);
        TarnSurface* back = full->GetBack();
        TarnSurface* picture = new TarnSurface();
        ASSERT_EQ(picture->Create(full, path.c_str(), c.placement), 1);

        TakeDisplayAway();
        if (c.displayBack) GiveDisplayBack();
        ResetCallCounts();
        HRESULT result = picture->CopyTo(back, 0, 0, nullptr);
        EXPECT_EQ(CallCount("CreateFileA"), c.fileReads);
        if (c.copied) {
            EXPECT_EQ(result, DD_OK);
            for (POINT p : {POINT{0, 0}, POINT{40, 10}, POINT{63, 39}})
                EXPECT_EQ(RawPixel(back, p.x, p.y), RawPixel(picture, p.x, p.y));
        } else {
            EXPECT_TRUE(FAILED(result)) << std::hex << result;
            EXPECT_EQ(CallCount("IDirectDrawSurface7::BltFast"), 1u);
            GiveDisplayBack();
        }
        delete picture;
        delete back;
        delete full;
    }
    DestroyWindow(window);
}

TEST_F(SurfaceTest, LockAndDeviceContextNestReachTheStandInOnce) {
    TarnSurface* s = MakeSurface(16, 16);
    ResetCallCounts();
    EXPECT_EQ(s->Lock(), 1);
    EXPECT_EQ(s->Lock(), 2);
    EXPECT_EQ(s->Unlock(), 1);
    EXPECT_EQ(s->Unlock(), 0);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::Lock"), 1u);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::Unlock"), 1u);
    EXPECT_EQ(s->Unlock(), DDERR_NOTLOCKED); // an unmatched Unlock is DirectDraw's to refuse

    // Text needs a device context, which a locked surface cannot give: a failure, not 0.
    ASSERT_EQ(s->Lock(), 1);
    EXPECT_EQ(s->DrawString(1, 1, RGB(255, 255, 255), "busy"), -1);
    ASSERT_EQ(s->Unlock(), 0);
    ResetCallCounts();

    HDC first = s->GetDC();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(s->GetDC(), first);
    EXPECT_EQ(s->DrawString(1, 1, RGB(255, 255, 255), "nested"), 0);
    EXPECT_EQ(s->ReleaseDC(), 0);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::ReleaseDC"), 0u);
    EXPECT_EQ(s->ReleaseDC(), 0);
    EXPECT_EQ(s->hdc, nullptr);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::GetDC"), 1u);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::ReleaseDC"), 1u);
    EXPECT_EQ(s->ReleaseDC(), -1);

    ResetCallCounts();
    EXPECT_EQ(s->DrawString(0, 0, 0, nullptr), 0);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::GetDC"), 0u);

    s->GetDC();
    s->GetDC();
    delete s; // a context still held is given back
    EXPECT_EQ(CallCount("IDirectDrawSurface7::ReleaseDC"), 1u);
}

// While the display stays away a lost surface cannot be restored: Lock gives up after a bounded
// number of tries. Once the display is back, Lock restores and succeeds.
TEST_F(SurfaceTest, LockOfALostSurfaceRetriesABoundedNumberOfTimes) {
    TarnSurface* s = MakeSurface(16, 16, DDSCAPS_VIDEOMEMORY);
    TakeDisplayAway();
    ResetCallCounts();
    EXPECT_EQ(s->Lock(), DDERR_SURFACELOST);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::Lock"), 1u + TarnSurface::LOST_RETRIES);
    EXPECT_EQ(s->lockCount, 0u);
    EXPECT_EQ(s->surfaceDesc.lpSurface, nullptr);
    GiveDisplayBack();
    EXPECT_EQ(s->Lock(), 1);
    EXPECT_EQ(s->Unlock(), 0);
    delete s;
}

// The size comes from the surface's description, not from the lock inside Create: a lock that
// fails there leaves a picture that still has its size and clip area and still copies.
TEST_F(SurfaceTest, CreateWhoseLockFailsKeepsItsSize) {
    std::string path = WriteBmp("nolock.bmp", 8, 8, PicturePixel);
    TarnSurface* s = new TarnSurface();
    InjectFault("IDirectDrawSurface7::Lock", 1, DDERR_GENERIC);
    ASSERT_EQ(s->Create(screen, path.c_str(), 1), 1);
    EXPECT_EQ(s->width, 8);
    EXPECT_EQ(s->height, 8);
    EXPECT_EQ(s->clipArea.right, 8);
    EXPECT_EQ(s->clipArea.bottom, 8);
    TarnSurface* dest = MakeSurface(8, 8);
    dest->FillSolid(0);
    ResetCallCounts();
    const RECT* none = nullptr;
    EXPECT_EQ(s->CopyTo(dest, 0, 0, none), DD_OK);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::BltFast"), 1u);
    EXPECT_EQ(Pixel(dest, 5, 6), PicturePixel(5, 6));
    delete dest;
    delete s;
}

// A surface found lost by the lock inside Create is restored with its picture read again into
// the whole surface: it knows its screen, name and size before that lock.
TEST_F(SurfaceTest, CreateLostDuringItsLockReloadsThePicture) {
    std::string path = WriteBmp("lost-in-create.bmp", 64, 40, PicturePixel);
    TarnSurface* s = new TarnSurface();
    ResetCallCounts();
    InjectFault("IDirectDrawSurface7::Lock", 1, DDERR_SURFACELOST);
    ASSERT_EQ(s->Create(screen, path.c_str(), 0), 1);
    EXPECT_EQ(CallCount("IDirectDrawSurface7::Restore"), 1u);
    EXPECT_EQ(CallCount("CreateFileA"), 2u);              // loaded, then reloaded
    EXPECT_EQ(CallCount("IDirectDrawSurface7::Blt"), 1u); // the reload's copy
    EXPECT_EQ(s->width, 64);
    EXPECT_EQ(s->height, 40);
    for (POINT p : {POINT{0, 0}, POINT{40, 10}, POINT{63, 39}})
        EXPECT_EQ(Pixel(s, p.x, p.y), PicturePixel(p.x, p.y));
    delete s;
}

TEST_F(SurfaceTest, PixelLayoutOfEachDisplayFormat) {
    struct Case {
        int bits;
        bool rgb555;
        int depth;
        BYTE redMax, greenMax, blueMax, redShift, greenShift, blueShift;
    };
    const Case cases[] = {
        {16, false, 16, 31, 63, 31, 11, 5, 0},    {16, true, 15, 31, 31, 31, 10, 5, 0},
        {32, false, 32, 255, 255, 255, 16, 8, 0}, {24, false, 24, 255, 255, 255, 16, 8, 0},
        {8, false, 8, 0, 0, 0, 0, 0, 0},
    };
    HWND window = nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + (c.rgb555 ? " 555" : ""));
        host->Config().rgb555 = c.rgb555;
        window = MakeTestWindow("TarnSurfaceTest", WS_POPUP);
        TarnScreen* full = new TarnScreen();
        ASSERT_EQ(full->CreateFullScreen(window, 640, 480, c.bits, 0), 0);
        PixelLayout layout;
        std::memset(&layout, 0xAB, sizeof(layout));
        ASSERT_TRUE(QueryPixelLayout(full->GetBack()->surface, &layout));
        EXPECT_EQ(layout.depth, c.depth);
        EXPECT_EQ(layout.redMax, c.redMax);
        EXPECT_EQ(layout.greenMax, c.greenMax);
        EXPECT_EQ(layout.blueMax, c.blueMax);
        EXPECT_EQ(layout.redShift, c.redShift);
        EXPECT_EQ(layout.greenShift, c.greenShift);
        EXPECT_EQ(layout.blueShift, c.blueShift);
        EXPECT_NE(full->GetBack()->blendPixel, nullptr);
        delete full->GetBack();
        delete full;
        DestroyWindow(window);
    }
    EXPECT_EQ(QueryPixelLayout(nullptr, nullptr), FALSE);
}

// A typed colour draws that colour at every depth, through every call that takes one: a typed
// red is red where RGB(255, 0, 0) as a pixel value would be blue.
TEST_F(SurfaceTest, TypedRedIsRedAtEveryDepth) {
    const struct {
        int bits;
        bool rgb555;
    } depths[] = {{8, false}, {16, false}, {16, true}, {24, false}, {32, false}};
    using Draw = int (*)(TarnSurface*);
    const struct {
        const char* name;
        Draw draw; // draws red over (4, 4)
    } calls[] = {
        {"FillSolid", [](TarnSurface* s) { return int(s->FillSolid(TARN_RED)); }},
        {"FillRect",
         [](TarnSurface* s) {
             const RECT r = {2, 2, 9, 9};
             return s->FillRect(&r, TarnColour(255, 0, 0));
         }},
        {"DrawRect",
         [](TarnSurface* s) {
             const RECT r = {4, 4, 9, 9};
             return s->DrawRect(&r, TARN_RED);
         }},
        {"DrawLine", [](TarnSurface* s) { return s->DrawLine(0, 4, 15, 4, TARN_RED); }},
        {"FillCircle", [](TarnSurface* s) { return s->FillCircle(4, 4, 2, TARN_RED); }},
        {"DrawCircle", [](TarnSurface* s) { return s->DrawCircle(4, 7, 3, TARN_RED); }},
    };
    for (const auto& d : depths) {
        host->Config().rgb555 = d.rgb555;
        HWND window = MakeTestWindow("TarnSurfaceTest", WS_POPUP);
        TarnScreen* full = new TarnScreen();
        ASSERT_EQ(full->CreateFullScreen(window, 640, 480, d.bits, 0), 0);
        for (const auto& call : calls) {
            SCOPED_TRACE(testing::Message() << d.bits << (d.rgb555 ? " 555 " : " ") << call.name);
            TarnSurface blank;
            ASSERT_EQ(blank.CreateBlank(full, 16, 16, 1), 1);
            const DWORD red = blank.MapRGB(TARN_RED);
            EXPECT_EQ(red, blank.MapRGB(255, 0, 0));
            EXPECT_EQ(call.draw(&blank), 0);
            ASSERT_GT(blank.Lock(), 0);
            const DWORD drawn = (blank.*blank.readPixel)(4, 4);
            blank.Unlock();
            EXPECT_EQ(drawn, red);
            const PixelLayout& p = blank.pixelLayout;
            if (d.bits != 8) {
                EXPECT_EQ((drawn >> p.redShift) & p.redMax, p.redMax);
                EXPECT_EQ((drawn >> p.greenShift) & p.greenMax, 0u);
                EXPECT_EQ((drawn >> p.blueShift) & p.blueMax, 0u);
            }
        }
        delete full->GetBack();
        delete full;
        DestroyWindow(window);
    }
}

// The rectangle helpers at their edges: right and bottom exclusive, empty rectangles nothing.
TEST(RectHelpers, EdgesAndEmptyRectangles) {
    const RECT box = {10, 20, 30, 40};
    const struct {
        RECT other;
        bool overlap, contains;
        RECT shared;
    } cases[] = {
        {{10, 20, 30, 40}, true, true, {10, 20, 30, 40}},  // itself
        {{29, 39, 50, 50}, true, false, {29, 39, 30, 40}}, // one corner pixel
        {{30, 20, 40, 40}, false, false, {0, 0, 0, 0}},    // touching the right edge
        {{0, 40, 50, 45}, false, false, {0, 0, 0, 0}},     // touching the bottom edge
        {{15, 25, 15, 30}, false, false, {0, 0, 0, 0}},    // empty, inside
        {{0, 0, 100, 100}, true, false, {10, 20, 30, 40}}, // around it
        {{12, 22, 18, 28}, true, true, {12, 22, 18, 28}},  // inside
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.other.left << "," << c.other.top << ","
                                        << c.other.right << "," << c.other.bottom);
        EXPECT_EQ(TarnRectsOverlap(box, c.other), c.overlap);
        EXPECT_EQ(TarnRectsOverlap(c.other, box), c.overlap);
        EXPECT_EQ(TarnRectContains(box, c.other), c.contains);
        const RECT shared = TarnRectOverlap(box, c.other);
        EXPECT_TRUE(shared.left == c.shared.left && shared.top == c.shared.top &&
                    shared.right == c.shared.right && shared.bottom == c.shared.bottom);
    }
    EXPECT_TRUE(TarnPointInRect(box, 10, 20));
    EXPECT_TRUE(TarnPointInRect(box, 29, 39));
    EXPECT_FALSE(TarnPointInRect(box, 30, 25));
    EXPECT_FALSE(TarnPointInRect(box, 15, 40));
    EXPECT_EQ(TarnClamp(5, 0, 3), 3);
    EXPECT_EQ(TarnClamp(-2, 0, 3), 0);
    EXPECT_EQ(TarnClamp(2.5, 0.0, 3.0), 2.5);
    const RECT paddle = TarnRectClamp(RECT{-5, 470, 75, 490}, RECT{0, 0, 640, 480});
    EXPECT_TRUE(paddle.left == 0 && paddle.right == 80 && paddle.top == 460 &&
                paddle.bottom == 480);
}

TEST_F(SurfaceTest, ProcessorHasMMXAnswersZeroOrOne) {
    int mmx = ProcessorHasMMX();
    EXPECT_TRUE(mmx == 0 || mmx == 1);
    TarnSurface s;
    EXPECT_EQ(s.hasMMX, mmx);
    EXPECT_EQ(s.plotPixel, nullptr); // depth 0 at construction: no routines
}

} // namespace
