// The DirectDraw stand-in on the headless host: the results the library's checks and recoveries
// depend on (strict sizes and rectangles, busy and lost surfaces, restore with junk, the video
// memory budget, flipping and presenting, modes and drivers from the machine) and that
// releasing everything leaves nothing alive.
#include "support/HeadlessTest.h"

#include <windows.h>
#include <ddraw.h>

#include <cstddef>
#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

using namespace tarn::platform;

namespace {

const HWND kWindow = reinterpret_cast<HWND>(uintptr_t{0x1234});

class DirectDrawTest : public HeadlessTest {
protected:
    void TearDown() override {
        for (auto it = held.rbegin(); it != held.rend(); ++it) (*it)->Release();
        held.clear();
        if (dd) dd->Release();
        dd = nullptr;
        EXPECT_EQ(LiveObjects("surface"), 0);
        EXPECT_EQ(LiveObjects("palette"), 0);
        EXPECT_EQ(LiveObjects("ddraw"), 0);
        HeadlessTest::TearDown();
    }

    // A device through DirectDrawCreate and QueryInterface, as the library makes it.
    IDirectDraw7* Device(DWORD level = DDSCL_NORMAL) {
        IDirectDraw* first = nullptr;
        EXPECT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
        EXPECT_EQ(first->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd)), S_OK);
        first->Release();
        EXPECT_EQ(dd->SetCooperativeLevel(kWindow, level), DD_OK);
        return dd;
    }
    IDirectDraw7* ExclusiveDevice(int width = 640, int height = 480, int bits = 16) {
        Device(DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX | DDSCL_ALLOWREBOOT);
        EXPECT_EQ(dd->SetDisplayMode(width, height, bits, 0, 0), DD_OK);
        return dd;
    }

    HRESULT Offscreen(int width, int height, DWORD caps, IDirectDrawSurface7** out,
                      const DDPIXELFORMAT* format = nullptr) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (format ? DDSD_PIXELFORMAT : 0);
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddsCaps.dwCaps = caps;
        if (format) desc.ddpfPixelFormat = *format;
        HRESULT hr = dd->CreateSurface(&desc, out, nullptr);
        if (SUCCEEDED(hr)) held.push_back(*out);
        return hr;
    }
    IDirectDrawSurface7* Offscreen(int width, int height, DWORD caps = DDSCAPS_OFFSCREENPLAIN) {
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(Offscreen(width, height, caps, &s), DD_OK);
        return s;
    }

    HRESULT Chain(DWORD backBuffers, IDirectDrawSurface7** out,
                  DWORD memory = DDSCAPS_VIDEOMEMORY) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.ddsCaps.dwCaps =
            DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE | memory;
        desc.dwBackBufferCount = backBuffers;
        HRESULT hr = dd->CreateSurface(&desc, out, nullptr);
        if (SUCCEEDED(hr)) held.push_back(*out);
        return hr;
    }
    IDirectDrawSurface7* BackBufferOf(IDirectDrawSurface7* primary) {
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        IDirectDrawSurface7* back = nullptr;
        EXPECT_EQ(primary->GetAttachedSurface(&caps, &back), DD_OK);
        if (back) held.push_back(back);
        return back;
    }

    static HRESULT Fill(IDirectDrawSurface7* s, DWORD value, RECT* rect = nullptr) {
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = value;
        return s->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
    // The pixel at (x, y) of a 16-bit surface.
    static uint16_t Pixel16(IDirectDrawSurface7* s, int x, int y) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEAD;
        uint16_t v;
        std::memcpy(&v, static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + 2 * x, 2);
        s->Unlock(nullptr);
        return v;
    }
    static std::vector<uint8_t> Bytes(IDirectDrawSurface7* s) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return {};
        auto* p = static_cast<uint8_t*>(desc.lpSurface);
        std::vector<uint8_t> bytes(p, p + desc.lPitch * desc.dwHeight);
        s->Unlock(nullptr);
        return bytes;
    }

    IDirectDraw7* dd = nullptr;
    std::vector<IDirectDrawSurface7*> held; // released in reverse order by TearDown
};

TEST(DirectDrawHeader, ValuesAndLayoutsAreTheRealOnes) {
    EXPECT_EQ(DDERR_SURFACELOST, (HRESULT)0x887601C2);
    EXPECT_EQ(DDERR_INVALIDRECT, (HRESULT)0x88760096);
    EXPECT_EQ(DDERR_SURFACEBUSY, (HRESULT)0x887601AE);
    EXPECT_EQ(DDERR_NOTLOCKED, (HRESULT)0x88760248);
    EXPECT_EQ(DDERR_OUTOFVIDEOMEMORY, (HRESULT)0x8876017C);
    EXPECT_EQ(DDERR_INVALIDPARAMS, (HRESULT)0x80070057);
    EXPECT_EQ(DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX | DDSCL_ALLOWREBOOT, 0x53u);
    EXPECT_EQ(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE |
                  DDSCAPS_VIDEOMEMORY,
              0x6218u);
    EXPECT_EQ(DDBLT_COLORFILL | DDBLT_WAIT, 0x01000400u);
    // Structures without pointers have their Windows sizes here too.
    EXPECT_EQ(sizeof(DDCAPS), 380u);
    EXPECT_EQ(sizeof(DDPIXELFORMAT), 32u);
    EXPECT_EQ(sizeof(DDSCAPS2), 16u);
    EXPECT_EQ(offsetof(DDSURFACEDESC2, lPitch), 16u);
    EXPECT_EQ(offsetof(DDSURFACEDESC2, dwReserved), 32u);
}

TEST_F(DirectDrawTest, WrongStructureSizesAreRefused) {
    Device();
    IDirectDrawSurface7* s = Offscreen(8, 8);
    for (DWORD size : {0u, (DWORD)sizeof(DDSURFACEDESC2) - 4, (DWORD)sizeof(DDSURFACEDESC2) + 4}) {
        SCOPED_TRACE(size);
        DDSURFACEDESC2 desc{};
        desc.dwSize = size;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = desc.dwHeight = 4;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        IDirectDrawSurface7* made = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &made, nullptr), DDERR_INVALIDPARAMS);
        EXPECT_EQ(made, nullptr);
        EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
        EXPECT_EQ(s->GetSurfaceDesc(&desc), DDERR_INVALIDPARAMS);
        DDCAPS caps{};
        caps.dwSize = size;
        EXPECT_EQ(dd->GetCaps(&caps, nullptr), DDERR_INVALIDPARAMS);
        DDBLTFX fx{};
        fx.dwSize = size;
        EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDPARAMS);
    }
    DDCAPS hardware{}, emulation{};
    hardware.dwSize = emulation.dwSize = sizeof(DDCAPS);
    ASSERT_EQ(dd->GetCaps(&hardware, &emulation), DD_OK);
    EXPECT_EQ(hardware.dwVidMemTotal, host->Config().videoMemoryBytes);
    EXPECT_TRUE(hardware.dwCaps & DDCAPS_BLTSTRETCH);
}

TEST_F(DirectDrawTest, ModesAndDriversComeFromTheMachineOnce) {
    MachineConfig& m = host->Config();
    m.modes = {{640, 480, 16}, {320, 200, 8}, {640, 480, 16}, {800, 600, 32}};
    m.rgb555 = true;
    DriverDesc second;
    second.primary = false;
    second.guid[0] = 7;
    second.name = "second";
    second.description = "Second Card";
    second.createFails = true;
    DriverDesc third = second;
    third.guid[0] = 9;
    third.name = "third";
    third.createFails = false;
    m.drivers.push_back(second);
    m.drivers.push_back(third);
    Device();

    struct Mode {
        DWORD width, height, bits, red;
    };
    std::vector<Mode> modes;
    auto onMode = [](LPDDSURFACEDESC2 d, LPVOID context) -> HRESULT {
        static_cast<std::vector<Mode>*>(context)->push_back({d->dwWidth, d->dwHeight,
                                                             d->ddpfPixelFormat.dwRGBBitCount,
                                                             d->ddpfPixelFormat.dwRBitMask});
        return DDENUMRET_OK;
    };
    ASSERT_EQ(dd->EnumDisplayModes(DDEDM_STANDARDVGAMODES, nullptr, &modes, onMode), DD_OK);
    ASSERT_EQ(modes.size(), 3u);
    EXPECT_EQ(modes[0].width, 640u);
    EXPECT_EQ(modes[0].red, 0x7C00u); // 16-bit modes are 5-5-5 on this machine
    EXPECT_EQ(modes[1].bits, 8u);
    EXPECT_EQ(modes[2].bits, 32u);

    struct Seen {
        bool hasGuid;
        GUID guid;
        std::string name;
    };
    std::vector<Seen> drivers;
    auto onDriver = [](GUID* guid, LPSTR description, LPSTR name, LPVOID context,
                       HMONITOR) -> BOOL {
        (void)description;
        Seen s{guid != nullptr, guid ? *guid : GUID{}, name};
        static_cast<std::vector<Seen>*>(context)->push_back(s);
        return DDENUMRET_OK;
    };
    ASSERT_EQ(DirectDrawEnumerateExA(onDriver, &drivers,
                                     DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES),
              DD_OK);
    ASSERT_EQ(drivers.size(), 3u);
    EXPECT_FALSE(drivers[0].hasGuid);
    EXPECT_EQ(drivers[1].name, "second");
    EXPECT_EQ(drivers[2].guid.Data1 & 0xFF, 9u);
    drivers.clear();
    ASSERT_EQ(DirectDrawEnumerateExA(onDriver, &drivers, 0), DD_OK);
    EXPECT_EQ(drivers.size(), 1u); // without the flags only the display driver

    IDirectDraw* other = nullptr;
    GUID failing{}, working{};
    std::memcpy(&failing, second.guid, 16);
    std::memcpy(&working, third.guid, 16);
    EXPECT_TRUE(FAILED(DirectDrawCreate(&failing, &other, nullptr)));
    EXPECT_EQ(other, nullptr);
    ASSERT_EQ(DirectDrawCreate(&working, &other, nullptr), DD_OK);
    DDCAPS caps{};
    caps.dwSize = sizeof caps;
    EXPECT_EQ(other->GetCaps(&caps, nullptr), DD_OK);
    other->Release();
}

TEST_F(DirectDrawTest, DisplayModesAreSetOnlyFromTheListAndGivenBack) {
    Device();
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(1280, 1024, 16, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 15, 0, 0), DDERR_INVALIDMODE);
    EXPECT_FALSE(host->FullScreen());
    ASSERT_EQ(dd->SetDisplayMode(800, 600, 32, 0, 0), DD_OK);
    EXPECT_TRUE(host->FullScreen());
    DDSURFACEDESC2 mode{};
    mode.dwSize = sizeof mode;
    ASSERT_EQ(dd->GetDisplayMode(&mode), DD_OK);
    EXPECT_EQ(mode.dwWidth, 800u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(dd->RestoreDisplayMode(), DD_OK);
    EXPECT_FALSE(host->FullScreen());
}

TEST_F(DirectDrawTest, FlippingChainsNeedExclusiveModeAndTheHardware) {
    host->Config().maxBackBuffers = 1;
    Device();
    IDirectDrawSurface7* primary = nullptr;
    EXPECT_EQ(Chain(1, &primary), DDERR_NOEXCLUSIVEMODE);
    dd->Release();
    dd = nullptr;
    ExclusiveDevice();
    EXPECT_TRUE(FAILED(Chain(2, &primary))); // more back buffers than the card gives
    ASSERT_EQ(Chain(1, &primary), DD_OK);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(primary->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwWidth, 640u);
    EXPECT_EQ(desc.dwHeight, 480u);
    EXPECT_EQ(desc.dwBackBufferCount, 1u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_TRUE(desc.ddpfPixelFormat.dwFlags & DDPF_RGB);
    IDirectDrawSurface7* second = nullptr;
    EXPECT_EQ(Chain(1, &second), DDERR_PRIMARYSURFACEALREADYEXISTS);
}

TEST_F(DirectDrawTest, FlipShowsTheBackBufferAndSwapsTheChain) {
    ExclusiveDevice();
    IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(Chain(1, &primary), DD_OK);
    IDirectDrawSurface7* back = BackBufferOf(primary);
    ASSERT_EQ(Fill(primary, 0x001F), DD_OK); // blue in 5-6-5
    ASSERT_EQ(Fill(back, 0xF800), DD_OK);    // red
    int waits = host->VerticalBlankWaits();
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(host->VerticalBlankWaits(), waits + 1);
    int width = 0, height = 0;
    const std::vector<uint32_t>& frame = host->LastFrame(&width, &height);
    ASSERT_EQ(width, 640);
    ASSERT_EQ(height, 480);
    EXPECT_EQ(frame[0], 0xFF0000u);
    EXPECT_EQ(frame[640 * 480 - 1], 0xFF0000u);
    EXPECT_EQ(Pixel16(primary, 5, 5), 0xF800);
    EXPECT_EQ(Pixel16(back, 5, 5), 0x001F); // the old front buffer is drawn into next
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(host->VerticalBlankWaits(), waits + 1);
    EXPECT_EQ(host->LastFrame(&width, &height)[0], 0x0000FFu);
    EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
}

TEST_F(DirectDrawTest, VideoMemoryBudgetRefusesOrFallsBack) {
    const int side = 100; // 100 x 100 x 2 bytes = 20000 bytes a surface
    host->Config().videoMemoryBytes = 30000;
    ExclusiveDevice(); // 16-bit surfaces
    IDirectDrawSurface7* first =
        Offscreen(side, side, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
    IDirectDrawSurface7* second = nullptr;
    EXPECT_EQ(Offscreen(side, side, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, &second),
              DDERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(second, nullptr);
    IDirectDrawSurface7* anywhere = Offscreen(side, side, DDSCAPS_OFFSCREENPLAIN);
    DDSCAPS2 caps{};
    ASSERT_EQ(anywhere->GetCaps(&caps), DD_OK);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY);
    EXPECT_FALSE(caps.dwCaps & DDSCAPS_VIDEOMEMORY);
    ASSERT_EQ(first->GetCaps(&caps), DD_OK);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_VIDEOMEMORY);
    // Released video memory can be had again.
    held.erase(held.begin());
    first->Release();
    IDirectDrawSurface7* again =
        Offscreen(side, side, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
    EXPECT_NE(again, nullptr);
}

TEST_F(DirectDrawTest, LockDescribesMemoryWithPaddedPitch) {
    host->Config().pitchPadding = 12;
    Device();
    IDirectDrawSurface7* s = Offscreen(3, 5); // desktop mode: 32 bits
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_NE(desc.lpSurface, nullptr);
    EXPECT_EQ(desc.lPitch, 3 * 4 + 12);
    EXPECT_EQ(desc.dwWidth, 3u);
    EXPECT_EQ(desc.dwHeight, 5u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
}

// Colour fills at every depth, whole surfaces and inner rectangles, with and without padding at
// the row ends: every pixel inside gets the colour's low bytes, nothing outside changes. Rows
// long enough that a whole surface is several blocks of the fill's pattern.
TEST_F(DirectDrawTest, ColourFillsWriteExactlyTheirRectangleAtEveryDepth) {
    for (int bits : {8, 16, 24, 32})
        for (int padding : {0, 12}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, padding " + std::to_string(padding));
            host->Config().pitchPadding = padding;
            ExclusiveDevice(640, 480, bits);
            const int width = 1500, height = 7, bytes = bits / 8;
            IDirectDrawSurface7* s = Offscreen(width, height);
            ASSERT_NE(s, nullptr);
            const std::vector<uint8_t> before = Bytes(s);
            const long pitch = (long)before.size() / height;
            RECT inner{3, 2, width - 4, 5};
            ASSERT_EQ(Fill(s, 0x55A1B2C3), DD_OK);
            ASSERT_EQ(Fill(s, 0x1A2B3C4D, &inner), DD_OK);
            const std::vector<uint8_t> after = Bytes(s);
            for (int y = 0; y < height; ++y)
                for (long i = 0; i < pitch; ++i) {
                    const long x = i / bytes;
                    uint8_t expected = before[y * pitch + i];
                    if (x < width) {
                        bool in = x >= inner.left && x < inner.right && y >= inner.top &&
                                  y < inner.bottom;
                        expected = (uint8_t)((in ? 0x1A2B3C4D : 0x55A1B2C3) >> (8 * (i % bytes)));
                    }
                    ASSERT_EQ(after[y * pitch + i], expected) << "row " << y << ", byte " << i;
                }
            for (auto it = held.rbegin(); it != held.rend(); ++it) (*it)->Release();
            held.clear();
            dd->Release();
            dd = nullptr;
        }
}

TEST_F(DirectDrawTest, BltFastRefusesRectanglesOutsideEitherSurface) {
    ExclusiveDevice();
    IDirectDrawSurface7* src = Offscreen(10, 10);
    IDirectDrawSurface7* dst = Offscreen(20, 20);
    ASSERT_EQ(Fill(src, 0x07E0), DD_OK);
    ASSERT_EQ(Fill(dst, 0), DD_OK);
    struct Case {
        const char* name;
        DWORD x, y;
        RECT src;
    };
    const Case cases[] = {
        {"source passes the right edge", 0, 0, {5, 0, 11, 4}},
        {"source starts above", 0, 0, {0, -1, 4, 4}},
        {"empty source", 0, 0, {3, 3, 3, 4}},
        {"destination passes the bottom edge", 0, 15, {0, 0, 10, 10}},
        {"negative destination position", (DWORD)-1, 0, {0, 0, 4, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RECT r = c.src;
        EXPECT_EQ(dst->BltFast(c.x, c.y, src, &r, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    }
    EXPECT_EQ(Pixel16(dst, 0, 0), 0); // nothing was drawn by the refused calls
    RECT r{0, 0, 10, 10};
    ASSERT_EQ(dst->BltFast(10, 10, src, &r, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(Pixel16(dst, 9, 9), 0);
    EXPECT_EQ(Pixel16(dst, 10, 10), 0x07E0);
    EXPECT_EQ(Pixel16(dst, 19, 19), 0x07E0);
}

TEST_F(DirectDrawTest, BltScalesByNearestAndFillsRectangles) {
    ExclusiveDevice();
    IDirectDrawSurface7* src = Offscreen(2, 2);
    IDirectDrawSurface7* dst = Offscreen(4, 4);
    RECT cell[4] = {{0, 0, 1, 1}, {1, 0, 2, 1}, {0, 1, 1, 2}, {1, 1, 2, 2}};
    const DWORD colours[4] = {0x1111, 0x2222, 0x3333, 0x4444};
    for (int i = 0; i < 4; ++i) ASSERT_EQ(Fill(src, colours[i], &cell[i]), DD_OK);
    ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel16(dst, x, y), colours[(y / 2) * 2 + x / 2]);
    RECT outside{2, 2, 5, 4};
    EXPECT_EQ(Fill(dst, 0, &outside), DDERR_INVALIDRECT);

    // A source colour key leaves the destination where the source has the key colour.
    DDCOLORKEY key{0x1111, 0x1111};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    ASSERT_EQ(Fill(dst, 0x5555), DD_OK);
    ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(Pixel16(dst, 0, 0), 0x5555);
    EXPECT_EQ(Pixel16(dst, 1, 0), 0x2222);
}

// Keyed copies and scaled copies at every pixel size, over row lengths around the vector widths
// (whole vectors, a tail, a tail alone): every byte of the destination, its row padding included,
// is what a pixel-by-pixel model says.
TEST_F(DirectDrawTest, KeyedAndScaledCopiesMatchAPixelModel) {
    host->Config().pitchPadding = 3;
    Device();
    for (int bits : {8, 16, 24, 32}) {
        DDPIXELFORMAT pf{};
        pf.dwSize = sizeof pf;
        pf.dwFlags = DDPF_RGB | (bits == 8 ? DDPF_PALETTEINDEXED8 : 0);
        pf.dwRGBBitCount = bits;
        if (bits == 16) pf.dwRBitMask = 0xF800, pf.dwGBitMask = 0x07E0, pf.dwBBitMask = 0x001F;
        if (bits > 16) pf.dwRBitMask = 0xFF0000, pf.dwGBitMask = 0xFF00, pf.dwBBitMask = 0xFF;
        const int bytes = bits / 8;
        for (int width : {1, 7, 31, 32, 33, 70}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(width) + " wide");
            IDirectDrawSurface7 *src = nullptr, *dst = nullptr;
            ASSERT_EQ(Offscreen(width, 3, DDSCAPS_OFFSCREENPLAIN, &src, &pf), DD_OK);
            ASSERT_EQ(Offscreen(2 * width, 6, DDSCAPS_OFFSCREENPLAIN, &dst, &pf), DD_OK);
            // Source pixels alternate between the key (value 1) and other values in runs.
            std::vector<uint8_t> in = Bytes(src), out = Bytes(dst);
            DDSURFACEDESC2 sd{}, dd2{};
            sd.dwSize = dd2.dwSize = sizeof sd;
            ASSERT_EQ(src->GetSurfaceDesc(&sd), DD_OK);
            ASSERT_EQ(dst->GetSurfaceDesc(&dd2), DD_OK);
            for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 7 + 3);
            for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i * 13 + 5);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < width; ++x)
                    if ((x / 3 + y) % 2 == 0) {
                        uint8_t* p = &in[y * sd.lPitch + x * bytes];
                        std::memset(p, 0, bytes);
                        p[0] = 1;
                    }
            auto put = [](IDirectDrawSurface7* s, const std::vector<uint8_t>& b) {
                DDSURFACEDESC2 desc{};
                desc.dwSize = sizeof desc;
                ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
                std::memcpy(desc.lpSurface, b.data(), b.size());
                s->Unlock(nullptr);
            };
            put(src, in);
            DDCOLORKEY key{1, 1};
            ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
            for (bool scaled : {false, true}) {
                put(dst, out);
                std::vector<uint8_t> want = out;
                const int dw = scaled ? 2 * width : width, dh = scaled ? 6 : 3;
                for (int y = 0; y < dh; ++y)
                    for (int x = 0; x < dw; ++x) {
                        const uint8_t* p = &in[(y * 3 / dh) * sd.lPitch + (x * width / dw) * bytes];
                        if (p[0] == 1 &&
                            std::all_of(p + 1, p + bytes, [](uint8_t b) { return b == 0; }))
                            continue;
                        std::memcpy(&want[y * dd2.lPitch + x * bytes], p, bytes);
                    }
                RECT to{0, 0, dw, dh};
                if (scaled)
                    ASSERT_EQ(dst->Blt(&to, src, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr),
                              DD_OK);
                else
                    ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
                EXPECT_EQ(Bytes(dst), want) << (scaled ? "scaled" : "keyed");
            }
        }
    }
}

TEST_F(DirectDrawTest, LockedSurfacesAndDeviceContextsAreBusy) {
    Device();
    IDirectDrawSurface7* s = Offscreen(8, 8);
    IDirectDrawSurface7* other = Offscreen(8, 8);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    HDC dc = nullptr;
    EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
    EXPECT_EQ(dc, nullptr);
    EXPECT_EQ(other->BltFast(0, 0, s, nullptr, DDBLTFAST_WAIT), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    ASSERT_EQ(s->Unlock(nullptr), DD_OK);

    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    ASSERT_NE(dc, nullptr);
    HDC second = nullptr;
    EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Blt(nullptr, other, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->ReleaseDC(reinterpret_cast<HDC>(uintptr_t{0x99})), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(s->ReleaseDC(dc), DDERR_NODC);
    EXPECT_EQ(LiveObjects("dc"), 0);
}

TEST_F(DirectDrawTest, LostSurfacesRefuseUntilRestoredWithJunk) {
    ExclusiveDevice();
    IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(Chain(1, &primary), DD_OK);
    IDirectDrawSurface7* back = BackBufferOf(primary);
    IDirectDrawSurface7* video = Offscreen(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
    IDirectDrawSurface7* system = Offscreen(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
    ASSERT_EQ(Fill(video, 0x1234), DD_OK);
    const std::vector<uint8_t> before = Bytes(video);

    TakeDisplayAway();
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    HDC dc = nullptr;
    for (IDirectDrawSurface7* s : {primary, back, video}) {
        EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
        EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
        EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACELOST);
        EXPECT_EQ(Fill(s, 0), DDERR_SURFACELOST);
    }
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(system->BltFast(0, 0, video, nullptr, DDBLTFAST_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(system->IsLost(), DD_OK); // system memory is never lost
    EXPECT_EQ(Fill(system, 0), DD_OK);
    EXPECT_EQ(primary->Restore(), DDERR_WRONGMODE); // not while the display is away
    EXPECT_EQ(video->Restore(), DDERR_WRONGMODE);

    GiveDisplayBack();
    EXPECT_EQ(back->Restore(), DDERR_IMPLICITLYCREATED); // the chain comes back through its primary
    ASSERT_EQ(primary->Restore(), DD_OK);
    EXPECT_EQ(back->IsLost(), DD_OK);
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    ASSERT_EQ(video->Restore(), DD_OK);
    const std::vector<uint8_t> after = Bytes(video);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    EXPECT_NE(after, std::vector<uint8_t>(after.size(), 0));
}

TEST_F(DirectDrawTest, EightBitChainsPresentThroughThePrimarysPalette) {
    ExclusiveDevice(320, 200, 8);
    IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(Chain(1, &primary), DD_OK);
    IDirectDrawSurface7* back = BackBufferOf(primary);
    PALETTEENTRY entries[256] = {};
    entries[7] = {10, 20, 30, 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr),
              DD_OK);
    ASSERT_EQ(primary->SetPalette(palette), DD_OK);
    palette->Release(); // the surface keeps its own reference
    ASSERT_EQ(Fill(back, 7), DD_OK);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    int width = 0, height = 0;
    EXPECT_EQ(host->LastFrame(&width, &height)[0], 0x0A141Eu);
    IDirectDrawPalette* got = nullptr;
    ASSERT_EQ(back->GetPalette(&got), DD_OK);
    PALETTEENTRY entry{};
    EXPECT_EQ(got->GetEntries(0, 7, 1, &entry), DD_OK);
    EXPECT_EQ(entry.peBlue, 30);
    EXPECT_EQ(got->GetEntries(0, 255, 2, &entry), DDERR_INVALIDPARAMS);
    got->Release();
}

TEST_F(DirectDrawTest, ReleasingEverythingLeavesNothingAlive) {
    ExclusiveDevice();
    IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(Chain(1, &primary), DD_OK);
    held.clear();
    IDirectDrawSurface7* back = nullptr;
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), DD_OK);
    IDirectDrawSurface7* picture = Offscreen(4, 4);
    held.clear();
    EXPECT_EQ(LiveObjects("surface"), 3);
    // The library's order: picture, back buffer, then the primary (with the chain), the device.
    EXPECT_EQ(picture->Release(), 0u);
    EXPECT_EQ(back->Release(), 0u);
    EXPECT_EQ(LiveObjects("surface"), 2); // the chain keeps its back buffer
    EXPECT_EQ(primary->Release(), 0u);
    EXPECT_EQ(LiveObjects("surface"), 0);
    EXPECT_EQ(dd->Release(), 0u);
    dd = nullptr;
    EXPECT_EQ(LiveObjects(), 0);
    EXPECT_FALSE(host->FullScreen()); // releasing the exclusive owner gave the desktop back
}

TEST_F(DirectDrawTest, BadArgumentsGetTheRealErrors) {
    Device();
    IDirectDrawSurface7* s = Offscreen(4, 4);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    const std::function<HRESULT()> calls[] = {
        [&] { return DirectDrawCreate(nullptr, nullptr, nullptr); },
        [&] { return DirectDrawEnumerateExA(nullptr, nullptr, 0); },
        [&] { return dd->CreateSurface(nullptr, nullptr, nullptr); },
        [&] { return dd->CreateSurface(&desc, nullptr, nullptr); },
        [&] { return dd->EnumDisplayModes(0, nullptr, nullptr, nullptr); },
        [&] { return dd->GetCaps(nullptr, nullptr); },
        [&] { return dd->CreatePalette(DDPCAPS_8BIT, nullptr, nullptr, nullptr); },
        [&] { return dd->SetCooperativeLevel(kWindow, 0); },
        [&] { return dd->SetCooperativeLevel(nullptr, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE); },
        [&] { return s->Lock(nullptr, nullptr, 0, nullptr); },
        [&] { return s->GetSurfaceDesc(nullptr); },
        [&] { return s->GetDC(nullptr); },
        [&] { return s->GetAttachedSurface(nullptr, nullptr); },
        [&] { return s->BltFast(0, 0, nullptr, nullptr, 0); },
        [&] { return s->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT, nullptr); },
        [&] { return s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr); },
        [&] { return s->BltFast(0, 0, reinterpret_cast<IDirectDrawSurface7*>(&desc), nullptr, 0); },
        [&] { return s->GetPalette(nullptr); },
    };
    for (size_t i = 0; i < std::size(calls); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i](), DDERR_INVALIDPARAMS);
    }
    DDSURFACEDESC2 noSize{};
    noSize.dwSize = sizeof noSize;
    noSize.dwFlags = DDSD_CAPS;
    noSize.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    IDirectDrawSurface7* made = nullptr;
    EXPECT_EQ(dd->CreateSurface(&noSize, &made, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
}

TEST_F(DirectDrawTest, InjectedFaultsReachTheCaller) {
    Device();
    IDirectDrawSurface7* s = Offscreen(4, 4);
    InjectFault("IDirectDrawSurface7::Lock", 2, DDERR_SURFACELOST);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(s->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Lock(nullptr, &desc, 0, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED); // the failed call did nothing
    EXPECT_EQ(CallCount("IDirectDrawSurface7::Lock"), 2u);
}

} // namespace
