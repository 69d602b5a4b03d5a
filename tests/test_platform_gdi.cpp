// The GDI stand-in on the headless host: DIBs drawn into surface DCs of every format with the
// documented rounding, bottom-up and top-down alike, the fast row converters against the
// reference one, scaling, mirroring and clipping, refused headers, memory DCs with StretchBlt,
// text, information contexts, LoadImageA, and bad handles.
#include "support/HeadlessTest.h"

#include "gdi/GdiObjects.h"
#include "gdi/PixelConvert.h"

#include <windows.h>
#include <ddraw.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace tarn::platform;

namespace {

struct Format {
    const char* name;
    int bits;
    uint32_t red, green, blue;
};
const Format k565{"5-6-5", 16, 0xF800, 0x07E0, 0x001F};
const Format k555{"5-5-5", 16, 0x7C00, 0x03E0, 0x001F};
const Format k24{"24", 24, 0xFF0000, 0x00FF00, 0x0000FF};
const Format k32{"32", 32, 0xFF0000, 0x00FF00, 0x0000FF};
const Format k8{"8", 8, 0, 0, 0};

// A DIB built in memory: header, colour table, rows padded to 4 bytes.
struct Dib {
    std::vector<uint8_t> header; // BITMAPINFOHEADER, masks or colours
    std::vector<uint8_t> bits;
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(header.data()); }
    BITMAPINFOHEADER& Header() { return Info()->bmiHeader; }
};

// `rows` top row first, pixels given as 0x00RRGGBB (24/32 bits) or indexes (8 bits or fewer).
Dib MakeDib(int width, const std::vector<std::vector<uint32_t>>& rows, int bits, bool topDown,
            const std::vector<uint32_t>& colours = {}) {
    Dib d;
    d.header.assign(sizeof(BITMAPINFOHEADER) + 4 * (colours.empty() ? 1 : colours.size()), 0);
    BITMAPINFOHEADER& h = d.Header();
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = topDown ? -(LONG)rows.size() : (LONG)rows.size();
    h.biPlanes = 1;
    h.biBitCount = (WORD)bits;
    h.biClrUsed = (DWORD)colours.size();
    for (size_t i = 0; i < colours.size(); ++i) {
        uint8_t* q = d.header.data() + sizeof h + 4 * i;
        q[0] = colours[i] & 0xFF, q[1] = colours[i] >> 8 & 0xFF, q[2] = colours[i] >> 16 & 0xFF;
    }
    size_t stride = ((size_t)width * bits + 31) / 32 * 4;
    d.bits.assign(stride * rows.size(), 0);
    for (size_t r = 0; r < rows.size(); ++r) {
        uint8_t* row = d.bits.data() + (topDown ? r : rows.size() - 1 - r) * stride;
        for (int x = 0; x < width; ++x) {
            uint32_t v = rows[r][x];
            if (bits == 24) {
                row[3 * x] = v & 0xFF, row[3 * x + 1] = v >> 8 & 0xFF,
                        row[3 * x + 2] = v >> 16 & 0xFF;
            } else if (bits == 32) {
                std::memcpy(row + 4 * x, &v, 4);
            } else if (bits == 16) {
                row[2 * x] = v & 0xFF, row[2 * x + 1] = v >> 8 & 0xFF;
            } else if (bits == 8) {
                row[x] = (uint8_t)v;
            } else if (bits == 4) {
                row[x / 2] |= (uint8_t)(v << ((x & 1) ? 0 : 4));
            } else {
                row[x / 8] |= (uint8_t)((v & 1) << (7 - x % 8));
            }
        }
    }
    return d;
}

class GdiTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        IDirectDraw* first = nullptr;
        ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
        ASSERT_EQ(first->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd)), S_OK);
        first->Release();
        ASSERT_EQ(dd->SetCooperativeLevel(reinterpret_cast<HWND>(uintptr_t{1}), DDSCL_NORMAL),
                  DD_OK);
    }
    void TearDown() override {
        for (auto* s : surfaces) s->Release();
        if (palette) palette->Release();
        dd->Release();
        EXPECT_EQ(LiveObjects(), 0);
        HeadlessTest::TearDown();
    }

    // An off-screen surface of the format, filled with `fill`.
    IDirectDrawSurface7* Surface(int width, int height, const Format& f, uint32_t fill = 0) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
        pf.dwSize = sizeof pf;
        pf.dwFlags = DDPF_RGB | (f.bits == 8 ? DDPF_PALETTEINDEXED8 : 0);
        pf.dwRGBBitCount = f.bits;
        pf.dwRBitMask = f.red, pf.dwGBitMask = f.green, pf.dwBBitMask = f.blue;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
        if (!s) return nullptr;
        surfaces.push_back(s);
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = fill;
        EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
        return s;
    }
    void GivePalette(IDirectDrawSurface7* s, const std::vector<uint32_t>& colours) {
        PALETTEENTRY entries[256] = {};
        for (size_t i = 0; i < colours.size(); ++i)
            entries[i] = {(BYTE)(colours[i] >> 16), (BYTE)(colours[i] >> 8), (BYTE)colours[i], 0};
        if (!palette) {
            ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
        }
        ASSERT_EQ(s->SetPalette(palette), DD_OK);
    }
    static uint32_t Pixel(IDirectDrawSurface7* s, int x, int y) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
        int bytes = (int)desc.ddpfPixelFormat.dwRGBBitCount / 8;
        const uint8_t* p = static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes;
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= (uint32_t)p[i] << (8 * i);
        s->Unlock(nullptr);
        return v;
    }
    static int Draw(IDirectDrawSurface7* s, Dib& dib, int x, int y, int w, int h, int sx, int sy,
                    int sw, int sh) {
        HDC dc = nullptr;
        if (s->GetDC(&dc) != DD_OK) return -2;
        int result = StretchDIBits(dc, x, y, w, h, sx, sy, sw, sh, dib.bits.data(), dib.Info(),
                                   DIB_RGB_COLORS, SRCCOPY);
        s->ReleaseDC(dc);
        return result;
    }
    static int DrawWhole(IDirectDrawSurface7* s, Dib& dib) {
        int w = dib.Header().biWidth, h = std::abs(dib.Header().biHeight);
        return Draw(s, dib, 0, 0, w, h, 0, 0, w, h);
    }

    IDirectDraw7* dd = nullptr;
    IDirectDrawPalette* palette = nullptr;
    std::vector<IDirectDrawSurface7*> surfaces;
};

// The four test colours: white, black, and two that show the rounding.
const std::vector<uint32_t> kColours = {0xFFFFFF, 0x000000, 0xC86432, 0x0703FA};
// A palette holding near (not equal) matches of the colours, in another order.
const std::vector<uint32_t> kPalette = {0x808080, 0x0000F0, 0xFFFFFF, 0xC86430, 0x000000};

TEST_F(GdiTest, DibsConvertToEverySurfaceFormatWithTheDocumentedRounding) {
    struct Expect {
        Format format;
        uint32_t pixels[4];
    };
    const Expect expected[] = {
        // 8-bit channels truncated: 200 -> 25 (5 bits), 100 -> 25 (6 bits), 50 -> 6, 250 -> 31.
        {k565, {0xFFFF, 0x0000, 25u << 11 | 25u << 5 | 6u, 0x001F}},
        {k555, {0x7FFF, 0x0000, 25u << 10 | 12u << 5 | 6u, 0x001F}},
        {k24, {0xFFFFFF, 0, 0xC86432, 0x0703FA}},
        {k32, {0xFFFFFF, 0, 0xC86432, 0x0703FA}},
        {k8, {2, 4, 3, 1}}, // the nearest palette entries
    };
    std::vector<uint32_t> indexes = {0, 1, 2, 3};
    Dib dibs[] = {MakeDib(4, {kColours}, 24, true), MakeDib(4, {kColours}, 32, false),
                  MakeDib(4, {indexes}, 8, false, kColours),
                  MakeDib(4, {indexes}, 4, true, kColours)};
    for (Dib& dib : dibs) {
        for (const Expect& e : expected) {
            SCOPED_TRACE(std::string(e.format.name) + " from " +
                         std::to_string(dib.Header().biBitCount) + " bits");
            IDirectDrawSurface7* s = Surface(4, 1, e.format);
            if (e.format.bits == 8) GivePalette(s, kPalette);
            ASSERT_EQ(DrawWhole(s, dib), 1);
            for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(s, x, 0), e.pixels[x]) << "x " << x;
        }
    }
}

TEST_F(GdiTest, SixteenBitDibsWidenByRepeatingTheTopBits) {
    // 5-5-5 (BI_RGB) red 31, green 16, blue 1 -> 255, 132, 8.
    Dib dib = MakeDib(1, {{31u << 10 | 16u << 5 | 1u}}, 16, true);
    IDirectDrawSurface7* s32 = Surface(1, 1, k32);
    ASSERT_EQ(DrawWhole(s32, dib), 1);
    EXPECT_EQ(Pixel(s32, 0, 0), 0xFF8408u);
    IDirectDrawSurface7* s565 = Surface(1, 1, k565);
    ASSERT_EQ(DrawWhole(s565, dib), 1);
    EXPECT_EQ(Pixel(s565, 0, 0), 31u << 11 | 33u << 5 | 1u); // 5-bit 16 -> 6-bit 33
}

TEST_F(GdiTest, EightBitSurfacesTakeThePrimarysPalette) {
    ASSERT_EQ(dd->SetCooperativeLevel(reinterpret_cast<HWND>(uintptr_t{1}),
                                      DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE),
              DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(320, 200, 8, 0, 0), DD_OK);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
    surfaces.push_back(primary);
    GivePalette(primary, kPalette);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = 4, desc.dwHeight = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    IDirectDrawSurface7* picture = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &picture, nullptr), DD_OK);
    surfaces.push_back(picture);
    Dib dib = MakeDib(4, {kColours}, 24, true);
    ASSERT_EQ(DrawWhole(picture, dib), 1);
    EXPECT_EQ(Pixel(picture, 2, 0), 3u);
    EXPECT_EQ(Pixel(picture, 3, 0), 1u);
}

TEST_F(GdiTest, BottomUpAndTopDownGiveTheSamePicture) {
    const std::vector<std::vector<uint32_t>> rows = {{0x110000, 0x220000, 0x330000},
                                                     {0x001100, 0x002200, 0x003300},
                                                     {0x000011, 0x000022, 0x000033}};
    for (int bits : {24, 32}) {
        SCOPED_TRACE(bits);
        Dib down = MakeDib(3, rows, bits, true), up = MakeDib(3, rows, bits, false);
        IDirectDrawSurface7* a = Surface(3, 3, k32);
        IDirectDrawSurface7* b = Surface(3, 3, k32);
        ASSERT_EQ(DrawWhole(a, down), 3);
        ASSERT_EQ(DrawWhole(b, up), 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) {
                EXPECT_EQ(Pixel(a, x, y), rows[y][x]);
                EXPECT_EQ(Pixel(b, x, y), rows[y][x]);
            }
        // A bottom-up DIB counts the source rectangle's y from its bottom row.
        IDirectDrawSurface7* c = Surface(3, 1, k32);
        ASSERT_EQ(Draw(c, up, 0, 0, 3, 1, 0, 0, 3, 1), 1);
        EXPECT_EQ(Pixel(c, 1, 0), rows[2][1]);
        ASSERT_EQ(Draw(c, down, 0, 0, 3, 1, 0, 0, 3, 1), 1);
        EXPECT_EQ(Pixel(c, 1, 0), rows[0][1]);
    }
}

TEST_F(GdiTest, StretchDIBitsScalesMirrorsAndClips) {
    const uint32_t A = 0x0000AA, B = 0x00BB00, C = 0xCC0000, D = 0xDDDDDD, none = 0x123456;
    Dib dib = MakeDib(2, {{A, B}, {C, D}}, 32, true);
    IDirectDrawSurface7* s = Surface(4, 4, k32, none);
    ASSERT_EQ(Draw(s, dib, 0, 0, 4, 4, 0, 0, 2, 2), 2);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(Pixel(s, x, y), (y < 2 ? (x < 2 ? A : B) : (x < 2 ? C : D)));
    IDirectDrawSurface7* mirrored = Surface(4, 4, k32, none);
    ASSERT_EQ(Draw(mirrored, dib, 4, 0, -4, 4, 0, 0, 2, 2), 2);
    EXPECT_EQ(Pixel(mirrored, 0, 0), B);
    EXPECT_EQ(Pixel(mirrored, 3, 3), C);
    IDirectDrawSurface7* clipped = Surface(4, 4, k32, none);
    ASSERT_EQ(Draw(clipped, dib, -2, -2, 4, 4, 0, 0, 2, 2), 2);
    EXPECT_EQ(Pixel(clipped, 0, 0), D);
    EXPECT_EQ(Pixel(clipped, 1, 1), D);
    EXPECT_EQ(Pixel(clipped, 2, 0), none);
    EXPECT_EQ(Pixel(clipped, 0, 2), none);
    ASSERT_EQ(Draw(clipped, dib, 100, 100, 4, 4, 0, 0, 2, 2), 2); // nothing left: still success
}

// The fast converters must give exactly the reference converter's bytes, for every pair of
// layouts, odd widths and start columns.
TEST(PixelConvert, FastConvertersMatchTheReference) {
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    SourceFormat sources[9];
    const SourceKind kinds[] = {SourceKind::Index1, SourceKind::Index4, SourceKind::Index8,
                                SourceKind::Rgb555, SourceKind::Rgb565, SourceKind::Masked16,
                                SourceKind::Bgr24,  SourceKind::Bgrx32, SourceKind::Masked32};
    for (size_t i = 0; i < std::size(kinds); ++i) {
        sources[i].kind = kinds[i];
        for (uint32_t& c : sources[i].colours) c = next() & 0xFFFFFF;
    }
    sources[5].masks[0] = 0xF00, sources[5].masks[1] = 0x0F0, sources[5].masks[2] = 0x00F;
    sources[8].masks[0] = 0x3FF00000, sources[8].masks[1] = 0xFFC00, sources[8].masks[2] = 0x3FF;
    std::vector<uint32_t> palette(256);
    for (uint32_t& c : palette) c = next() & 0xFFFFFF;
    DestFormat dests[7];
    const DestKind destKinds[] = {DestKind::Index8,  DestKind::Rgb555, DestKind::Rgb565,
                                  DestKind::Bgr24,   DestKind::Xrgb32, DestKind::Masked16,
                                  DestKind::Masked32};
    for (size_t i = 0; i < std::size(destKinds); ++i) dests[i].kind = destKinds[i];
    dests[0].palette = palette.data();
    dests[5].masks[0] = 0x00F, dests[5].masks[1] = 0x0F0, dests[5].masks[2] = 0xF00;
    dests[6].masks[0] = 0x0000FF, dests[6].masks[1] = 0x00FF00, dests[6].masks[2] = 0xFF0000;

    std::vector<uint8_t> row(4 * 64);
    for (uint8_t& b : row) b = (uint8_t)next();
    auto fast = std::make_unique<ConvertContext>();
    auto reference = std::make_unique<ConvertContext>();
    for (const SourceFormat& src : sources) {
        for (const DestFormat& dst : dests) {
            PrepareConversion(src, dst, fast.get());
            PrepareConversion(src, dst, reference.get());
            RowConverter convert = FastRowConverter(*fast);
            for (int width : {1, 3, 7, 17, 33}) {
                for (int x0 : {0, 1, 5}) {
                    SCOPED_TRACE(::testing::Message()
                                 << "source " << (int)src.kind << " dest " << (int)dst.kind
                                 << " width " << width << " x0 " << x0);
                    std::vector<uint8_t> a(4 * 64, 0xEE), b(4 * 64, 0xEE);
                    convert(a.data(), row.data(), x0, width, *fast);
                    ReferenceConvertRow(b.data(), row.data(), x0, width, *reference);
                    ASSERT_EQ(a, b);
                }
            }
        }
    }
}

// 8-bit rows into 16-bit layouts go through a table lookup that works on many pixels at once:
// long rows that hold every index in every position of a step, at several start columns and
// with tails of every length, give the reference converter's bytes.
TEST(PixelConvert, EightBitRowsIntoSixteenBitsUseEveryIndexLikeTheReference) {
    SourceFormat src;
    src.kind = SourceKind::Index8;
    uint32_t seed = 99;
    for (uint32_t& c : src.colours) c = (seed = seed * 1103515245u + 12345u) >> 8 & 0xFFFFFF;
    std::vector<uint8_t> row(600);
    for (size_t i = 0; i < row.size(); ++i) row[i] = (uint8_t)(i * 37 + i / 256);
    auto fast = std::make_unique<ConvertContext>();
    auto reference = std::make_unique<ConvertContext>();
    for (DestKind kind : {DestKind::Rgb565, DestKind::Rgb555, DestKind::Masked16}) {
        DestFormat dst;
        dst.kind = kind;
        dst.masks[0] = 0x00F, dst.masks[1] = 0x0F0, dst.masks[2] = 0xF00; // for Masked16
        PrepareConversion(src, dst, fast.get());
        PrepareConversion(src, dst, reference.get());
        RowConverter convert = FastRowConverter(*fast);
        for (int x0 : {0, 3, 31}) {
            for (int width = 256; width <= 256 + 33; ++width) {
                SCOPED_TRACE(::testing::Message()
                             << "dest " << (int)kind << " width " << width << " x0 " << x0);
                std::vector<uint8_t> a(2 * 600, 0xEE), b(2 * 600, 0xEE);
                convert(a.data(), row.data(), x0, width, *fast);
                ReferenceConvertRow(b.data(), row.data(), x0, width, *reference);
                ASSERT_EQ(a, b);
            }
        }
    }
}

TEST_F(GdiTest, ScaledDrawsMatchTheReferencePath) {
    std::vector<std::vector<uint32_t>> rows(5, std::vector<uint32_t>(7));
    uint32_t v = 1;
    for (auto& r : rows)
        for (uint32_t& p : r) p = (v = v * 2654435761u + 7u) & 0xFFFFFF;
    Dib dib = MakeDib(7, rows, 24, false);
    DibInfo info;
    ASSERT_TRUE(ReadDibHeader(dib.Info(), SIZE_MAX, &info));
    SourceImage src;
    SourceOfDib(info, dib.bits.data(), &src);
    for (const Format& f : {k565, k555, k24, k32}) {
        SCOPED_TRACE(f.name);
        std::vector<uint8_t> a(13 * 11 * 4, 0), b(13 * 11 * 4, 0);
        PixelTarget t{a.data(), 13 * 4, 13, 11, f.bits, f.red, f.green, f.blue, nullptr};
        DrawImage(t, src, -1, 2, 15, -9, 1, 0, 6, 5, false);
        t.pixels = b.data();
        DrawImage(t, src, -1, 2, 15, -9, 1, 0, 6, 5, true);
        EXPECT_EQ(a, b);
    }
}

TEST_F(GdiTest, MalformedHeadersFailWithoutDrawing) {
    const uint32_t sentinel = 0x00ABCDEF;
    struct Case {
        const char* name;
        void (*spoil)(BITMAPINFOHEADER&);
    };
    const Case cases[] = {
        {"core header size", [](BITMAPINFOHEADER& h) { h.biSize = 12; }},
        {"header too long", [](BITMAPINFOHEADER& h) { h.biSize = 4000; }},
        {"zero width", [](BITMAPINFOHEADER& h) { h.biWidth = 0; }},
        {"negative width", [](BITMAPINFOHEADER& h) { h.biWidth = -2; }},
        {"zero height", [](BITMAPINFOHEADER& h) { h.biHeight = 0; }},
        {"lowest height", [](BITMAPINFOHEADER& h) { h.biHeight = INT32_MIN; }},
        {"two planes", [](BITMAPINFOHEADER& h) { h.biPlanes = 2; }},
        {"seven bits", [](BITMAPINFOHEADER& h) { h.biBitCount = 7; }},
        {"bit fields at 24 bits", [](BITMAPINFOHEADER& h) { h.biCompression = BI_BITFIELDS; }},
        {"RLE at 24 bits", [](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE8; }},
        {"JPEG", [](BITMAPINFOHEADER& h) { h.biCompression = BI_JPEG; }},
        {"too many pixels", [](BITMAPINFOHEADER& h) { h.biWidth = 32768, h.biHeight = 32768; }},
        {"too many colours",
         [](BITMAPINFOHEADER& h) { h.biBitCount = 8, h.biClrUsed = 0x10000000; }},
    };
    IDirectDrawSurface7* s = Surface(2, 2, k32, sentinel);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dib dib = MakeDib(2, {{1, 2}, {3, 4}}, 24, false);
        c.spoil(dib.Header());
        EXPECT_EQ(Draw(s, dib, 0, 0, 2, 2, 0, 0, 2, 2), (int)GDI_ERROR);
    }
    // Bit-field masks that are zero, overlapping or broken.
    const uint32_t masks[][3] = {
        {0, 0xFF00, 0xFF}, {0xFF0000, 0xFFFF00, 0xFF}, {0xF0F000, 0xFF00, 0xFF}};
    for (const auto& m : masks) {
        Dib dib = MakeDib(2, {{1, 2}, {3, 4}}, 32, false);
        dib.Header().biCompression = BI_BITFIELDS;
        dib.header.resize(sizeof(BITMAPINFOHEADER) + 12);
        std::memcpy(dib.header.data() + sizeof(BITMAPINFOHEADER), m, 12);
        EXPECT_EQ(Draw(s, dib, 0, 0, 2, 2, 0, 0, 2, 2), (int)GDI_ERROR);
    }
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(Pixel(s, x, y), sentinel);

    Dib good = MakeDib(2, {{1, 2}, {3, 4}}, 24, false);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(
        StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, nullptr, good.Info(), DIB_RGB_COLORS, SRCCOPY),
        (int)GDI_ERROR);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, good.bits.data(), nullptr, DIB_RGB_COLORS,
                            SRCCOPY),
              (int)GDI_ERROR);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, good.bits.data(), good.Info(),
                            DIB_PAL_COLORS, SRCCOPY),
              (int)GDI_ERROR);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, good.bits.data(), good.Info(),
                            DIB_RGB_COLORS, SRCPAINT),
              (int)GDI_ERROR);
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
    // The released DC is gone: using it again is refused, not followed.
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, good.bits.data(), good.Info(),
                            DIB_RGB_COLORS, SRCCOPY),
              (int)GDI_ERROR);
}

TEST_F(GdiTest, MemoryDcBitmapsStretchOntoSurfaces) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = -1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bits, nullptr);
    const uint8_t pixels[6] = {0, 0, 255, 0, 255, 0}; // red, green (blue-green-red bytes)
    std::memcpy(bits, pixels, sizeof pixels);
    BITMAP bm{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof bm, &bm), (int)sizeof bm);
    EXPECT_EQ(bm.bmWidth, 2);
    EXPECT_EQ(bm.bmHeight, 1);
    EXPECT_EQ(bm.bmBitsPixel, 24);
    EXPECT_EQ(bm.bmBits, bits);
    EXPECT_EQ(GetObjectA(bitmap, 4, &bm), 0);

    HDC memory = CreateCompatibleDC(nullptr);
    ASSERT_NE(memory, nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(GetPixel(memory, 1, 0), RGB(0, 255, 0));
    IDirectDrawSurface7* s = Surface(4, 2, k565);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_TRUE(StretchBlt(dc, 0, 0, 4, 2, memory, 0, 0, 2, 1, SRCCOPY));
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(Pixel(s, 1, 1), 0xF800u);
    EXPECT_EQ(Pixel(s, 2, 0), 0x07E0u);

    EXPECT_FALSE(DeleteObject(bitmap)); // still selected: kept
    EXPECT_EQ(SelectObject(memory, old), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_FALSE(DeleteDC(memory));
}

TEST_F(GdiTest, TextIsDrawnInTheTextColourOverTheBackground) {
    const uint32_t background = 0x123456;
    IDirectDrawSurface7* s = Surface(64, 24, k32, background);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetTextColor(dc, RGB(255, 0, 0)), RGB(0, 0, 0));
    EXPECT_TRUE(TextOutA(dc, 2, 2, "Hi", 2));
    EXPECT_FALSE(TextOutA(dc, 2, 2, nullptr, 2));
    EXPECT_FALSE(TextOutA(dc, 2, 2, "Hi", -1));
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
    int ink = 0, other = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 64; ++x) {
            uint32_t p = Pixel(s, x, y);
            if (p == 0xFF0000) {
                ++ink;
                EXPECT_GE(x, 2);
                EXPECT_GE(y, 2);
            } else if (p != background) {
                ++other; // thresholded glyphs: no blended colours
            }
        }
    EXPECT_GT(ink, 20);
    EXPECT_EQ(other, 0);

    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(SetBkMode(dc, OPAQUE), OPAQUE); // a DC taken again starts from the defaults
    SetBkColor(dc, RGB(0, 0, 255));
    EXPECT_TRUE(TextOutA(dc, 30, 0, "x", 1));
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(Pixel(s, 30, 0), 0x0000FFu); // the cell's corner is background, not glyph
}

// The font comes from fontconfig's sans-serif match (here steered to another family by a
// configuration of the test's own); a configuration with no fonts leaves the fixed path.
TEST(FontLookup, FontconfigsSansSerifMatchOrTheFixedPath) {
    const char* const fonts = "/usr/share/fonts/truetype/dejavu";
    struct Case {
        const char* name;
        std::string config;
        const char* expected; // the file's name
    } cases[] = {
        {"no fonts", "<fontconfig></fontconfig>", "DejaVuSans.ttf"},
        {"sans-serif is monospace",
         std::string("<fontconfig><dir>") + fonts +
             "</dir><alias binding=\"strong\"><family>sans-serif</family>"
             "<prefer><family>DejaVu Sans Mono</family></prefer></alias></fontconfig>",
         "DejaVuSansMono.ttf"},
    };
    const char* saved = std::getenv("FONTCONFIG_FILE");
    const std::string before = saved ? saved : "";
    const std::string path = ::testing::TempDir() + "tarn-fonts.conf";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(c.config.c_str(), f);
        std::fclose(f);
        setenv("FONTCONFIG_FILE", path.c_str(), 1);
        const FontFile found = FindFontFile();
        EXPECT_EQ(found.path, std::string(fonts) + "/" + c.expected);
        EXPECT_EQ(found.index, 0);
    }
    if (saved)
        setenv("FONTCONFIG_FILE", before.c_str(), 1);
    else
        unsetenv("FONTCONFIG_FILE");
    std::remove(path.c_str());
}

TEST_F(GdiTest, InformationContextsReportTheMachinesResolution) {
    host->Config().logPixelsX = 120;
    HDC ic = CreateICA("Display", nullptr, nullptr, nullptr);
    ASSERT_NE(ic, nullptr);
    EXPECT_EQ(GetDeviceCaps(ic, LOGPIXELSX), 120);
    EXPECT_EQ(GetDeviceCaps(ic, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(ic, BITSPIXEL), 32);
    EXPECT_FALSE(TextOutA(ic, 0, 0, "x", 1)); // nothing to draw into
    EXPECT_TRUE(DeleteDC(ic));
    EXPECT_EQ(CreateICA("WINSPOOL", nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateICA(nullptr, nullptr, nullptr, nullptr), nullptr);
}

// A bitmap file: 14-byte file header, then the DIB.
std::vector<uint8_t> BitmapFile(Dib& dib, const std::vector<uint8_t>& pixels) {
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = (DWORD)(sizeof fh + dib.header.size());
    fh.bfSize = (DWORD)(fh.bfOffBits + pixels.size());
    std::vector<uint8_t> file(fh.bfSize);
    std::memcpy(file.data(), &fh, sizeof fh);
    std::memcpy(file.data() + sizeof fh, dib.header.data(), dib.header.size());
    std::memcpy(file.data() + fh.bfOffBits, pixels.data(), pixels.size());
    return file;
}

std::string WriteTemp(const char* name, const std::vector<uint8_t>& bytes) {
    std::string path = ::testing::TempDir() + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

TEST_F(GdiTest, LoadImageReadsBitmapFilesAndRefusesDamagedOnes) {
    const std::vector<uint32_t> colours = {0x000000, 0xFF0000, 0x00FF00};
    Dib dib = MakeDib(3, {{0, 1, 2}, {2, 1, 0}}, 8, false, colours);
    std::string good = WriteTemp("tarn_gdi_good.bmp", BitmapFile(dib, dib.bits));
    const UINT flags = LR_LOADFROMFILE | LR_CREATEDIBSECTION;
    HANDLE image = LoadImageA(nullptr, good.c_str(), IMAGE_BITMAP, 0, 0, flags);
    ASSERT_NE(image, nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObjectA(image, sizeof bm, &bm), (int)sizeof bm);
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);
    EXPECT_EQ(bm.bmBitsPixel, 8);
    EXPECT_NE(bm.bmBits, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, image);
    EXPECT_EQ(GetPixel(memory, 1, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(memory, 0, 1), RGB(0, 255, 0));
    SelectObject(memory, old);
    DeleteDC(memory);
    EXPECT_TRUE(DeleteObject(image));

    // RLE8: a run of two 1s, one literal-free run of 2, end of picture (rows from the bottom).
    Dib rle = MakeDib(3, {{0, 0, 0}, {0, 0, 0}}, 8, false, colours);
    const std::vector<uint8_t> runs = {2, 1, 1, 2, 0, 0, 3, 2, 0, 1};
    rle.Header().biCompression = BI_RLE8;
    rle.Header().biSizeImage = (DWORD)runs.size();
    std::string rlePath = WriteTemp("tarn_gdi_rle.bmp", BitmapFile(rle, runs));
    image = LoadImageA(nullptr, rlePath.c_str(), IMAGE_BITMAP, 0, 0, flags);
    ASSERT_NE(image, nullptr);
    memory = CreateCompatibleDC(nullptr);
    old = SelectObject(memory, image);
    EXPECT_EQ(GetPixel(memory, 0, 1), RGB(255, 0, 0)); // bottom row: 1 1 2
    EXPECT_EQ(GetPixel(memory, 2, 1), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(memory, 1, 0), RGB(0, 255, 0)); // top row: 2 2 2
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(image);

    std::vector<uint8_t> truncated = BitmapFile(dib, dib.bits);
    truncated.resize(truncated.size() - 3);
    std::vector<uint8_t> wrongMagic = BitmapFile(dib, dib.bits);
    wrongMagic[0] = 'X';
    std::vector<uint8_t> headerOnly = BitmapFile(dib, dib.bits);
    headerOnly.resize(20);
    for (const auto& [name, bytes] : {std::pair{"tarn_gdi_truncated.bmp", truncated},
                                      std::pair{"tarn_gdi_magic.bmp", wrongMagic},
                                      std::pair{"tarn_gdi_header.bmp", headerOnly}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(LoadImageA(nullptr, WriteTemp(name, bytes).c_str(), IMAGE_BITMAP, 0, 0, flags),
                  nullptr);
    }
    EXPECT_EQ(LoadImageA(nullptr, "/nonexistent/tarn.bmp", IMAGE_BITMAP, 0, 0, flags), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, good.c_str(), IMAGE_ICON, 0, 0, flags), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, nullptr, IMAGE_BITMAP, 0, 0, flags), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, "NOSUCHBITMAP", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION),
              nullptr);
}

TEST_F(GdiTest, BadHandlesAreRefusedNotFollowed) {
    int junk[16] = {};
    HDC fakeDC = reinterpret_cast<HDC>(junk);
    HBITMAP fakeBitmap = reinterpret_cast<HBITMAP>(junk);
    EXPECT_EQ(CreateCompatibleDC(fakeDC), nullptr);
    EXPECT_EQ(SelectObject(fakeDC, fakeBitmap), nullptr);
    EXPECT_FALSE(DeleteObject(fakeBitmap));
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_FALSE(DeleteDC(fakeDC));
    EXPECT_EQ(GetObjectA(fakeBitmap, sizeof(BITMAP), junk), 0);
    EXPECT_EQ(SetBkMode(fakeDC, TRANSPARENT), 0);
    EXPECT_EQ(SetTextColor(fakeDC, 0), CLR_INVALID);
    EXPECT_EQ(GetDeviceCaps(fakeDC, LOGPIXELSX), 0);
    EXPECT_EQ(GetPixel(fakeDC, 0, 0), CLR_INVALID);
    EXPECT_FALSE(StretchBlt(fakeDC, 0, 0, 1, 1, fakeDC, 0, 0, 1, 1, SRCCOPY));
    EXPECT_FALSE(TextOutA(fakeDC, 0, 0, "x", 1));
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SetBkMode(memory, 7), 0);
    EXPECT_EQ(SelectObject(memory, memory), nullptr); // a DC is no bitmap
    EXPECT_TRUE(DeleteDC(memory));
    for (int v : junk) EXPECT_EQ(v, 0);
}

} // namespace
