// The DirectDraw, GDI and DirectInput rules the library's checks and recoveries rely on, written
// once and run on both platforms: on the stand-in (Linux, headless host) and on the real thing (the
// Windows build, under wine). Where the two disagree this file fails on one of them, so the
// stand-in cannot drift from the platform it stands in for. Nothing here uses a headless
// instrument.
#include "support/HeadlessTest.h"
#include "support/MachineNeeds.h"

#include <windows.h>
#include <ddraw.h>
#include <dinput.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class PlatformContract : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        IDirectDraw* first = nullptr;
        ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
        ASSERT_EQ(first->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd)), S_OK);
        first->Release();
        ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }
    void TearDown() override {
        for (auto it = held.rbegin(); it != held.rend(); ++it) (*it)->Release();
        held.clear();
        if (dd) dd->Release();
        dd = nullptr;
        HeadlessTest::TearDown();
    }

    // A system-memory surface of an explicit RGB format (bits 16: 5-6-5, 32: 8-8-8).
    IDirectDrawSurface7* Surface(int width, int height, int bits = 32) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
        desc.ddpfPixelFormat.dwRGBBitCount = bits;
        desc.ddpfPixelFormat.dwRBitMask = bits == 16 ? 0xF800 : 0xFF0000;
        desc.ddpfPixelFormat.dwGBitMask = bits == 16 ? 0x07E0 : 0x00FF00;
        desc.ddpfPixelFormat.dwBBitMask = bits == 16 ? 0x001F : 0x0000FF;
        IDirectDrawSurface7* surface = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
        if (surface) held.push_back(surface);
        return surface;
    }

    static HRESULT Fill(IDirectDrawSurface7* surface, DWORD colour, RECT* area = nullptr) {
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = colour;
        return surface->Blt(area, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }

    // The surface's pixels as 32-bit values, rows packed.
    static std::vector<uint32_t> Read(IDirectDrawSurface7* surface) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        std::vector<uint32_t> out;
        if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return out;
        const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            const auto* row = static_cast<const unsigned char*>(desc.lpSurface) + y * desc.lPitch;
            for (DWORD x = 0; x < desc.dwWidth; ++x) {
                uint32_t v = 0;
                std::memcpy(&v, row + x * bytes, bytes);
                out.push_back(v);
            }
        }
        surface->Unlock(nullptr);
        return out;
    }

    IDirectDraw7* dd = nullptr;
    std::vector<IDirectDrawSurface7*> held;
};

// Code fills dwSize with sizeof; a structure of another size is refused, not guessed at.
TEST_F(PlatformContract, WrongStructureSizesAreRefused) {
    IDirectDrawSurface7* s = Surface(4, 4);
    ASSERT_NE(s, nullptr);

    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc - 4;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = desc.dwHeight = 4;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface7* other = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &other, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(s->GetSurfaceDesc(&desc), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);

    DDCAPS caps{};
    caps.dwSize = sizeof caps;
    EXPECT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
}

// A locked surface is busy for blits; unlocking twice is an error.
TEST_F(PlatformContract, LockedSurfacesAreBusy) {
    IDirectDrawSurface7* a = Surface(8, 8);
    IDirectDrawSurface7* b = Surface(8, 8);
    ASSERT_TRUE(a && b);

    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(a->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_GE(desc.lPitch, 8 * 4);
    EXPECT_EQ(b->BltFast(0, 0, a, nullptr, DDBLTFAST_WAIT), DDERR_SURFACEBUSY);
    EXPECT_EQ(a->BltFast(0, 0, b, nullptr, DDBLTFAST_WAIT), DDERR_SURFACEBUSY);
    EXPECT_EQ(b->Blt(nullptr, a, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(a->Unlock(nullptr), DD_OK);
    EXPECT_EQ(a->Unlock(nullptr), DDERR_NOTLOCKED);
}

// One DC at a time; while it is out the surface cannot be locked.
TEST_F(PlatformContract, OneDcAtATime) {
    IDirectDrawSurface7* s = Surface(8, 8);
    ASSERT_NE(s, nullptr);
    HDC dc = nullptr, second = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_NE(dc, nullptr);
    EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
}

// Rectangles reaching outside either surface fail; the library clips before it blits.
TEST_F(PlatformContract, RectanglesOutsideTheSurfaceFail) {
    IDirectDrawSurface7* dst = Surface(16, 8);
    IDirectDrawSurface7* src = Surface(8, 8);
    ASSERT_TRUE(dst && src);
    struct Case {
        const char* what;
        int x, y;
        RECT srcRect;
        HRESULT expected;
    } const cases[] = {
        {"inside", 8, 0, {0, 0, 8, 8}, DD_OK},
        {"source past the right", 0, 0, {1, 0, 9, 8}, DDERR_INVALIDRECT},
        {"source past the top", 0, 0, {0, -1, 8, 7}, DDERR_INVALIDRECT},
        {"destination past the right", 9, 0, {0, 0, 8, 8}, DDERR_INVALIDRECT},
        {"destination past the bottom", 0, 1, {0, 0, 8, 8}, DDERR_INVALIDRECT},
    };
    for (const Case& c : cases) {
        RECT r = c.srcRect;
        EXPECT_EQ(dst->BltFast(c.x, c.y, src, &r, DDBLTFAST_WAIT), c.expected) << c.what;
    }
    RECT outside = {10, 0, 17, 8};
    EXPECT_EQ(Fill(dst, 0, &outside), DDERR_INVALIDRECT);
    RECT inside = {10, 0, 16, 8};
    EXPECT_EQ(Fill(dst, 0, &inside), DD_OK);
}

// Colour fills and blits move raw pixel values, in 5-6-5 and 8-8-8 alike.
TEST_F(PlatformContract, FillsAndBlitsKeepPixelValues) {
    for (int bits : {16, 32}) {
        IDirectDrawSurface7* a = Surface(5, 3, bits);
        IDirectDrawSurface7* b = Surface(5, 3, bits);
        ASSERT_TRUE(a && b);
        const DWORD colour = bits == 16 ? 0xA5C3 : 0x00123456;
        ASSERT_EQ(Fill(a, colour), DD_OK);
        ASSERT_EQ(Fill(b, 0), DD_OK);
        RECT r = {1, 1, 4, 3};
        ASSERT_EQ(b->BltFast(2, 0, a, &r, DDBLTFAST_WAIT), DD_OK);
        const std::vector<uint32_t> pixels = Read(b);
        ASSERT_EQ(pixels.size(), 15u) << bits;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const uint32_t expected = (x >= 2 && y < 2) ? colour : 0;
                EXPECT_EQ(pixels[y * 5 + x], expected) << bits << " bits at " << x << "," << y;
            }
    }
}

// Source colour keys: set, read back and cleared; a keyed copy (BltFast or Blt) leaves the
// destination wherever the source holds the key. From a surface without a key, BltFast's flag is
// ignored and Blt's refused; a key range, which the driver does not offer, is refused.
TEST_F(PlatformContract, SourceColourKeysSkipTheirPixels) {
    IDirectDrawSurface7* src = Surface(4, 1, 16);
    IDirectDrawSurface7* dst = Surface(4, 1, 16);
    ASSERT_TRUE(src && dst);
    const DWORD colours[4] = {0xF800, 0x07E0, 0xF800, 0x001F};
    const std::vector<uint32_t> plain(colours, colours + 4);
    for (LONG x = 0; x < 4; ++x) {
        RECT cell = {x, 0, x + 1, 1};
        ASSERT_EQ(Fill(src, colours[x], &cell), DD_OK);
    }
    DDCOLORKEY key{};
    EXPECT_EQ(src->GetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEY);
    ASSERT_EQ(Fill(dst, 0x1234), DD_OK);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(Read(dst), plain);
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr),
              DDERR_INVALIDPARAMS);
    DDCOLORKEY range{0x0010, 0x0020};
    EXPECT_EQ(src->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &range), DDERR_NOCOLORKEYHW);
    EXPECT_EQ(src->GetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEY);

    DDCOLORKEY red{0xF800, 0xF800};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &red), DD_OK);
    ASSERT_EQ(src->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0xF800u);
    EXPECT_EQ(key.dwColorSpaceHighValue, 0xF800u);

    const std::vector<uint32_t> keyed = {0x1234, 0x07E0, 0x1234, 0x001F};
    ASSERT_EQ(Fill(dst, 0x1234), DD_OK);
    ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(Read(dst), keyed);
    ASSERT_EQ(Fill(dst, 0x1234), DD_OK);
    ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Read(dst), keyed);
    // Without the flag the key is not used.
    ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(Read(dst), plain);

    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);
    EXPECT_EQ(src->GetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEY);
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr),
              DDERR_INVALIDPARAMS);
}

// A Blt between rectangles of different sizes samples source pixel x * sw / dw for destination
// pixel x: doubled, each source pixel covers two; halved, every other one is taken, starting
// with the first.
// Rectangles reaching outside either surface are refused, scaled or not.
TEST_F(PlatformContract, StretchedBltTakesTheNearestSample) {
    IDirectDrawSurface7* src = Surface(4, 2, 32);
    IDirectDrawSurface7* big = Surface(8, 4, 32);
    IDirectDrawSurface7* small = Surface(2, 1, 32);
    ASSERT_TRUE(src && big && small);
    for (LONG y = 0; y < 2; ++y)
        for (LONG x = 0; x < 4; ++x) {
            RECT cell = {x, y, x + 1, y + 1};
            ASSERT_EQ(Fill(src, static_cast<DWORD>(0x10 * (y + 1) + x), &cell), DD_OK);
        }
    ASSERT_EQ(big->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    const std::vector<uint32_t> doubled = Read(big);
    ASSERT_EQ(doubled.size(), 32u);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(doubled[y * 8 + x], 0x10u * (y / 2 + 1) + x / 2) << x << "," << y;

    ASSERT_EQ(small->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Read(small), (std::vector<uint32_t>{0x10, 0x12}));

    RECT past = {0, 0, 9, 4};
    EXPECT_EQ(big->Blt(&past, src, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    RECT srcPast = {0, 0, 4, 3};
    EXPECT_EQ(big->Blt(nullptr, src, &srcPast, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
}

// StretchDIBits into a surface's DC converts a 24-bit bottom-up DIB into the surface's format.
TEST_F(PlatformContract, StretchDIBitsConvertsIntoTheSurface) {
    for (int bits : {16, 32}) {
        IDirectDrawSurface7* s = Surface(2, 2, bits);
        ASSERT_NE(s, nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = 2;
        info.bmiHeader.biHeight = 2; // bottom row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        // Rows padded to 4 bytes; bytes are blue, green, red.
        const unsigned char dib[] = {0xFF, 0, 0,    0,    0xFF, 0,    0, 0, //
                                     0,    0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
        HDC dc = nullptr;
        ASSERT_EQ(s->GetDC(&dc), DD_OK);
        EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, dib, &info, DIB_RGB_COLORS, SRCCOPY),
                  2);
        ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
        const std::vector<uint32_t> pixels = Read(s);
        ASSERT_EQ(pixels.size(), 4u);
        const uint32_t red = bits == 16 ? 0xF800 : 0xFF0000;
        const uint32_t white = bits == 16 ? 0xFFFF : 0xFFFFFF;
        const uint32_t blue = bits == 16 ? 0x001F : 0x0000FF;
        const uint32_t green = bits == 16 ? 0x07E0 : 0x00FF00;
        EXPECT_EQ(pixels[0], red) << bits;
        EXPECT_EQ(pixels[1], white) << bits;
        EXPECT_EQ(pixels[2], blue) << bits;
        EXPECT_EQ(pixels[3], green) << bits;
    }
}

// Text through a surface's DC, as DrawString puts it: the glyphs come in the text colour with
// a transparent background, near where they were asked for. Fonts differ between machines, so
// only that much is compared.
TEST_F(PlatformContract, TextLandsInTheTextColour) {
    IDirectDrawSurface7* s = Surface(96, 40);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(Fill(s, 0x000080), DD_OK);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 0));
    EXPECT_TRUE(TextOutA(dc, 8, 6, "Tarn", 4));
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);

    const std::vector<uint32_t> pixels = Read(s);
    ASSERT_EQ(pixels.size(), 96u * 40u);
    int inColour = 0, touched = 0, outside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 96; ++x) {
            const uint32_t p = pixels[y * 96 + x] & 0xFFFFFF;
            if (p == 0x000080) continue;
            ++touched;
            if (p == 0xFFFF00) ++inColour;
            if (x < 8 || y < 6) ++outside;
        }
    EXPECT_GE(inColour, 10);
    EXPECT_EQ(outside, 0);
    EXPECT_LT(touched, 96 * 40 / 2); // the background stays where there are no glyphs
}

// A bitmap file as the bitmap functions load it: LoadImageA from the file into a DIB section,
// selected into a memory DC and stretched into a surface's DC; a missing file gives null.
TEST_F(PlatformContract, BitmapFilesStretchIntoSurfaces) {
    // 2 x 2, 24 bits, bottom row first: blue, green / red, white.
    const unsigned char file[] = {
        'B',  'M', 70, 0, 0,    0, 0, 0, 0, 0, 54,   0,    0,    0, // file header
        40,   0,   0,  0, 2,    0, 0, 0, 2, 0, 0,    0,    1,    0,    24, 0,
        0,    0,   0,  0, // info header
        16,   0,   0,  0, 0,    0, 0, 0, 0, 0, 0,    0,    0,    0,    0,  0,
        0,    0,   0,  0,                                                     //
        0xFF, 0,   0,  0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0,  0, // rows
    };
    const std::string path =
        (std::filesystem::temp_directory_path() / "tarn_contract_2x2.bmp").string();
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file), sizeof file);
    }
    EXPECT_EQ(LoadImageA(nullptr, (path + ".missing").c_str(), IMAGE_BITMAP, 0, 0,
                         LR_CREATEDIBSECTION | LR_LOADFROMFILE),
              nullptr);
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                     LR_CREATEDIBSECTION | LR_LOADFROMFILE));
    std::filesystem::remove(path);
    ASSERT_NE(bitmap, nullptr);
    BITMAP bm{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 2);
    EXPECT_EQ(bm.bmHeight, 2);
    EXPECT_EQ(bm.bmBitsPixel, 24);

    IDirectDrawSurface7* s = Surface(4, 4);
    ASSERT_NE(s, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    ASSERT_NE(memory, nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_TRUE(StretchBlt(dc, 0, 0, 4, 4, memory, 0, 0, 2, 2, SRCCOPY));
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);

    const std::vector<uint32_t> pixels = Read(s);
    ASSERT_EQ(pixels.size(), 16u);
    const uint32_t expected[2][2] = {{0xFF0000, 0xFFFFFF}, {0x0000FF, 0x00FF00}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixels[y * 4 + x] & 0xFFFFFF, expected[y / 2][x / 2]) << x << "," << y;
}

// COM reference counts as the library's Release calls expect them: a surface made by an
// IDirectDraw7 holds a reference to it until the surface goes.
TEST_F(PlatformContract, ReferenceCountsAsInCom) {
    EXPECT_EQ(dd->AddRef(), 2u);
    EXPECT_EQ(dd->Release(), 1u);
    IDirectDrawSurface7* s = Surface(2, 2);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->AddRef(), 2u);
    EXPECT_EQ(s->Release(), 1u);
    EXPECT_EQ(dd->AddRef(), 3u);
    EXPECT_EQ(dd->Release(), 2u);
    EXPECT_EQ(s->Release(), 0u);
    held.clear();
    EXPECT_EQ(dd->AddRef(), 2u);
    EXPECT_EQ(dd->Release(), 1u);
}

// GetObject of a bitmap made from a DIB section reports its size and depth.
TEST_F(PlatformContract, BitmapObjectsDescribeThemselves) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 3;
    info.bmiHeader.biHeight = -2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    BITMAP bm{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);
    EXPECT_EQ(bm.bmBitsPixel, 24);
    EXPECT_EQ(bm.bmWidthBytes, 12); // rows padded to 4 bytes
    EXPECT_NE(bm.bmBits, nullptr);
    EXPECT_TRUE(DeleteObject(bitmap));
}

static HRESULT WINAPI CountMode(LPDDSURFACEDESC2 desc, LPVOID context) {
    if (desc->dwWidth == 640 && desc->dwHeight == 480 && desc->ddpfPixelFormat.dwRGBBitCount == 16)
        ++*static_cast<int*>(context);
    return DDENUMRET_OK;
}

// Exclusive full screen as the screen class takes it: the 640 x 480 x 16 mode is listed and
// set (a mode the machine lacks is refused), the flipping chain comes in video memory or, where
// that is refused, in system memory, its back buffer is 5-6-5 with a pitch of at least a row,
// and it flips.
TEST_F(PlatformContract, ExclusiveModeAndFlippingChain) {
    if (std::string lacks = LacksDisplayMode(640, 480, 16); !lacks.empty()) GTEST_SKIP() << lacks;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TarnPlatformContract";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "contract", WS_POPUP, 0, 0, 640,
                                  480, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);

    int found = 0;
    EXPECT_EQ(dd->EnumDisplayModes(0, nullptr, &found, CountMode), DD_OK);
    EXPECT_GE(found, 1);
    EXPECT_TRUE(FAILED(dd->SetDisplayMode(641, 479, 16, 0, 0)));
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);

    IDirectDrawSurface7* front = nullptr;
    HRESULT hr = DDERR_GENERIC;
    for (DWORD memory : {DDSCAPS_VIDEOMEMORY, DDSCAPS_SYSTEMMEMORY}) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | memory;
        desc.dwBackBufferCount = 1;
        hr = dd->CreateSurface(&desc, &front, nullptr);
        if (SUCCEEDED(hr)) break;
    }
    ASSERT_EQ(hr, DD_OK);
    held.push_back(front);
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
    held.push_back(back);

    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(desc.dwWidth, 640u);
    EXPECT_EQ(desc.dwHeight, 480u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, 0x07E0u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwBBitMask, 0x001Fu);
    EXPECT_GE(desc.lPitch, 640 * 2);
    EXPECT_EQ(back->Unlock(nullptr), DD_OK);
    EXPECT_EQ(Fill(back, 0xF800), DD_OK);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);

    for (auto it = held.rbegin(); it != held.rend(); ++it) (*it)->Release();
    held.clear();
    EXPECT_EQ(dd->RestoreDisplayMode(), DD_OK);
    EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    DestroyWindow(window);
}

static BOOL CALLBACK CountKeyboard(LPCDIDEVICEINSTANCEA instance, LPVOID context) {
    EXPECT_EQ(instance->dwSize, sizeof(DIDEVICEINSTANCEA));
    ++*static_cast<int*>(context);
    return DIENUM_CONTINUE;
}

// The keyboard and mouse as the input class uses them: a state is read only from an acquired
// device, in the size of its data format. The window is never shown: on Windows only the
// background level can be acquired for it (the stand-in would take the foreground level too,
// as it does not tell one window of the program from another).
class InputContract : public HeadlessTest {};

TEST_F(InputContract, DevicesReadOnlyWhenAcquired) {
    IDirectInputA* di = nullptr;
    ASSERT_EQ(DirectInputCreateA(GetModuleHandleA(nullptr), 0x0700, &di, nullptr), DI_OK);
    int keyboards = 0;
    EXPECT_EQ(di->EnumDevices(DIDEVTYPE_KEYBOARD, CountKeyboard, &keyboards, DIEDFL_ATTACHEDONLY),
              DI_OK);
    EXPECT_GE(keyboards, 1);

    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TarnInputContract";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "input contract", WS_POPUP, 0, 0, 64, 64,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    struct Case {
        const char* what;
        const GUID& device;
        const DIDATAFORMAT* format;
        DWORD stateSize;
    } const cases[] = {
        {"keyboard", GUID_SysKeyboard, &c_dfDIKeyboard, 256},
        {"mouse", GUID_SysMouse, &c_dfDIMouse, sizeof(DIMOUSESTATE)},
    };
    for (const Case& c : cases) {
        IDirectInputDeviceA* device = nullptr;
        ASSERT_EQ(di->CreateDevice(c.device, &device, nullptr), DI_OK) << c.what;
        unsigned char state[256] = {};
        EXPECT_EQ(device->SetDataFormat(c.format), DI_OK) << c.what;
        EXPECT_EQ(device->GetDeviceState(c.stateSize, state), DIERR_NOTACQUIRED) << c.what;
        EXPECT_EQ(device->SetCooperativeLevel(window, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE), DI_OK)
            << c.what;
        EXPECT_EQ(device->Acquire(), DI_OK) << c.what;
        EXPECT_EQ(device->GetDeviceState(c.stateSize, state), DI_OK) << c.what;
        EXPECT_EQ(device->GetDeviceState(c.stateSize - 1, state), DIERR_INVALIDPARAM) << c.what;
        EXPECT_EQ(device->Unacquire(), DI_OK) << c.what;
        EXPECT_EQ(device->GetDeviceState(c.stateSize, state), DIERR_NOTACQUIRED) << c.what;
        EXPECT_EQ(device->Release(), 0u) << c.what;
    }
    DestroyWindow(window);
    EXPECT_EQ(di->Release(), 0u);
}

} // namespace
