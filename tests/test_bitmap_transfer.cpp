// The GDI bitmap bridges on the headless host: palettes from the 3-3-2 default, from bitmap files
// (raw bytes after the info header, the first n exchanged) and from bitmap resources (the
// colour table, flags cleared), resources and files that claim more than they hold, bitmaps
// loaded into surfaces and stretched over them, surfaces made (and after a loss remade) from
// bitmap resources, and an 8-bit display whose primary surface carries a palette that pictures map
// to.
#include "display/TarnScreen.h"
#include "surface/internal/BitmapTransfer.h"
#include "surface/TarnSurface.h"

#include "support/HeadlessTest.h"
#include "support/ImageFixtures.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <list>
#include <string>
#include <vector>

namespace tarn::platform {
// The resource table the build fills for an executable's embedded bitmaps.
bool RegisterBitmapResource(const char* name, const unsigned char* file, std::size_t size);
} // namespace tarn::platform

namespace {

using fixtures::BmpFile;
using fixtures::Bytes;
using tarn::platform::InjectFault;
using tarn::platform::LiveObjects;

using Palette = std::array<PALETTEENTRY, 256>;

// Resources embedded into this program by the build (tests/CMakeLists.txt).
const char* const PAL8V5_RESOURCE = "Pal8V5"; // 8 bits, 124-byte header, 252 colours
const char* const RGB24_RESOURCE = "Rgb24";

std::string WriteFile(const std::string& name, const Bytes& bytes) {
    std::string path = testing::TempDir() + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f != nullptr) {
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

Bytes ReadFile(const std::string& path) {
    Bytes bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
    return bytes;
}

// Registers `file` as a bitmap resource of this program, followed in memory by `tail` bytes of
// 0x5A that are not part of it: a reader that runs past the resource's end picks them up.
void RegisterResource(const char* name, Bytes file, size_t tail = 0) {
    if (FindResourceA(nullptr, name, RT_BITMAP) != nullptr) return; // a repeated test
    static std::list<Bytes> kept; // resources live as long as the program
    Bytes& data = kept.emplace_back(file);
    data.resize(file.size() + tail, 0x5A);
    EXPECT_TRUE(tarn::platform::RegisterBitmapResource(name, data.data(), file.size())) << name;
}

// The 3-3-2 default palette, entry by entry.
PALETTEENTRY DefaultEntry(int i) {
    return PALETTEENTRY{static_cast<BYTE>(((i >> 5) & 7) * 255 / 7),
                        static_cast<BYTE>(((i >> 2) & 7) * 255 / 7),
                        static_cast<BYTE>((i & 3) * 255 / 3), 0};
}

bool SameEntry(const PALETTEENTRY& a, const PALETTEENTRY& b) {
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue &&
           a.peFlags == b.peFlags;
}

std::string Show(const PALETTEENTRY& e) {
    char text[40];
    std::snprintf(text, sizeof text, "(%d, %d, %d, flags %d)", e.peRed, e.peGreen, e.peBlue,
                  e.peFlags);
    return text;
}

// Compares two palettes and reports the first entry that differs.
void ExpectPalette(const Palette& actual, const Palette& expected) {
    for (int i = 0; i < 256; i++) {
        if (!SameEntry(actual[i], expected[i])) {
            ADD_FAILURE() << "entry " << i << " is " << Show(actual[i]) << ", expected "
                          << Show(expected[i]);
            return;
        }
    }
}

Palette DefaultPalette() {
    Palette p;
    for (int i = 0; i < 256; i++) p[i] = DefaultEntry(i);
    return p;
}

// Reads a palette's entries and releases it.
Palette TakeEntries(IDirectDrawPalette* palette) {
    Palette p{};
    if (palette == nullptr) {
        ADD_FAILURE() << "no palette";
        return p;
    }
    EXPECT_EQ(palette->GetEntries(0, 0, 256, p.data()), DD_OK);
    palette->Release();
    return p;
}

// The colour of the test picture at (x, y), 0x00RRGGBB: ramps of red and green, blue by
// quadrant, so that any shift, flip or scale shows.
uint32_t PicturePixel(int x, int y) {
    return static_cast<uint32_t>((x * 5) & 0xFF) << 16 |
           static_cast<uint32_t>((y * 7) & 0xFF) << 8 | ((x >= 50) != (y >= 25) ? 0xC0u : 0x10u);
}

// A 24-bit bitmap file of w x h pixels with colour(x, y).
template <class F> Bytes Picture24(int w, int h, F colour) {
    std::vector<uint32_t> values;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) values.push_back(colour(x, y));
    BmpFile bmp;
    bmp.width = w;
    bmp.height = h;
    bmp.bits = 24;
    bmp.pixels = fixtures::PackBmpRows(w, h, 24, values);
    return bmp.Build();
}

// A surface's pixel at (x, y): 32-bit pixels as 0x00RRGGBB, 8-bit ones as their index.
uint32_t SurfacePixel(IDirectDrawSurface7* s, int x, int y) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
    const BYTE* row = static_cast<const BYTE*>(desc.lpSurface) + y * desc.lPitch;
    uint32_t v = 0;
    if (desc.ddpfPixelFormat.dwRGBBitCount == 8)
        v = row[x];
    else
        std::memcpy(&v, row + x * 4, sizeof(v));
    s->Unlock(nullptr);
    return v & 0xFFFFFF;
}

// The first pixel at which surface and picture differ, as a message; empty when they agree.
template <class F> std::string FirstDifference(IDirectDrawSurface7* s, int w, int h, F expected) {
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (SurfacePixel(s, x, y) != expected(x, y)) {
                char text[80];
                std::snprintf(text, sizeof text, "(%d, %d) is %06X, expected %06X", x, y,
                              SurfacePixel(s, x, y), expected(x, y));
                return text;
            }
    return "";
}

class BitmapTransferTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        screen = new TarnScreen();
        dd = screen->GetDirectDraw();
        ASSERT_NE(dd, nullptr);
        // Off-screen surfaces need a cooperative level; the desktop's own (32 bits) will do.
        ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }
    void TearDown() override {
        delete screen;
        EXPECT_EQ(LiveObjects(), 0);
        HeadlessTest::TearDown();
    }

    IDirectDrawSurface7* MakeSurface(int w, int h) {
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof(desc));
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = w;
        desc.dwHeight = h;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
        return s;
    }

    // The palette LoadPaletteFromBitmap makes of `name`; a failure is reported.
    Palette PaletteOf(const char* name) {
        IDirectDrawPalette* palette = nullptr;
        EXPECT_EQ(LoadPaletteFromBitmap(dd, &palette, name), DD_OK) << name;
        return TakeEntries(palette);
    }

    TarnScreen* screen = nullptr;
    IDirectDraw7* dd = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Palettes
// ---------------------------------------------------------------------------------------------

// A name that is neither a resource nor a file gives the 3-3-2 palette, the same one that
// CreateDefaultPalette makes.
TEST_F(BitmapTransferTest, DefaultPaletteEntries) {
    const struct {
        int index;
        BYTE red, green, blue;
    } cases[] = {
        {0x00, 0, 0, 0},   {0xFF, 255, 255, 255}, {0xE0, 255, 0, 0},     {0x1C, 0, 255, 0},
        {0x03, 0, 0, 255}, {0x6D, 109, 109, 85},  {0x92, 145, 145, 170}, {0x25, 36, 36, 85},
    };
    Palette palette = PaletteOf("no such bitmap.bmp");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_TRUE(SameEntry(palette[c.index], PALETTEENTRY{c.red, c.green, c.blue, 0}))
            << Show(palette[c.index]);
    }
    IDirectDrawPalette* made = nullptr;
    ASSERT_EQ(CreateDefaultPalette(dd, &made), DD_OK);
    ExpectPalette(TakeEntries(made), palette);
    ExpectPalette(palette, DefaultPalette());
}

// A bitmap file's palette is the 1024 bytes after its info header (14 + biSize, for headers of
// 40 to 124 bytes) as they stand, with red and blue exchanged in the first n entries (n = the
// colours its info header gives, at most 256) and the reserved byte kept as flags. A header of
// any other size gives n = 0 and the 1024 bytes after the first 14 + 40.
TEST_F(BitmapTransferTest, PaletteFromBitmapFile) {
    // The bytes after the colour table are a ramp, so that every raw entry is told apart.
    auto withRamp = [](BmpFile bmp, size_t fileSize) {
        Bytes bytes = bmp.Build();
        for (size_t i = bytes.size(); i < fileSize; i++)
            bytes.push_back(static_cast<unsigned char>(i * 7 + 3));
        return bytes;
    };
    std::vector<uint32_t> colours16;
    for (uint32_t i = 0; i < 16; i++) colours16.push_back(0x102030u * i + 0x010203u);
    BmpFile bits4;
    bits4.width = 2;
    bits4.bits = 4;
    bits4.colours = colours16;
    Bytes bits4Bytes = withRamp(bits4, 1200);
    for (int i = 0; i < 16; i++) bits4Bytes[54 + 4 * i + 3] = static_cast<unsigned char>(i + 1);

    BmpFile bits24;
    bits24.width = 20;
    bits24.height = 20;
    BmpFile clrUsed300;
    clrUsed300.bits = 8;
    clrUsed300.clrUsed = 300;
    BmpFile header124 = bits4;
    header124.headerSize = 124;
    BmpFile header125 = bits4;
    header125.headerSize = 125;
    BmpFile header12 = bits4;
    header12.headerSize = 12;
    const std::string suite = std::string(TARN_TEST_DATA) + "/bmpsuite/g/";
    BmpFile clrUsed3 = bits4;
    clrUsed3.clrUsed = 3;

    const struct {
        const char* name;
        Bytes bytes;
        int exchanged; // entries whose red and blue bytes are exchanged
        size_t tableAt = 54;
    } cases[] = {
        {"4 bits, 16 colours, flags kept", bits4Bytes, 16},
        {"4 bits, 3 colours used", withRamp(clrUsed3, 1078), 3},
        {"24 bits", withRamp(bits24, 1300), 0},
        {"more than 256 colours: the first 256", withRamp(clrUsed300, 1078), 256},
        {"info header of 124 bytes", withRamp(header124, 1200), 16, 14 + 124},
        {"info header of 125 bytes", withRamp(header125, 1200), 0},
        {"core header of 12 bytes", withRamp(header12, 1200), 0},
        {"pal8v4.bmp: 252 colours after a 108-byte header", ReadFile(suite + "pal8v4.bmp"), 252,
         14 + 108},
        {"pal8v5.bmp: 252 colours after a 124-byte header", ReadFile(suite + "pal8v5.bmp"), 252,
         14 + 124},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_GE(c.bytes.size(), c.tableAt + 1024);
        Palette expected;
        for (int i = 0; i < 256; i++) {
            const unsigned char* b = &c.bytes[c.tableAt + 4 * i];
            expected[i] = i < c.exchanged ? PALETTEENTRY{b[2], b[1], b[0], b[3]}
                                          : PALETTEENTRY{b[0], b[1], b[2], b[3]};
        }
        ExpectPalette(PaletteOf(WriteFile("palette.bmp", c.bytes).c_str()), expected);
    }
}

// A file too short for its headers and 1024 bytes of table is refused; the out pointer is
// cleared first.
TEST_F(BitmapTransferTest, ShortBitmapFileGivesFail) {
    BmpFile bits4;
    bits4.bits = 4;
    bits4.colours.assign(16, 0x445566);
    Bytes full = bits4.Build();
    full.resize(1078, 0);
    bits4.headerSize = 108;
    Bytes full108 = bits4.Build();
    full108.resize(14 + 108 + 1024, 0);
    const struct {
        const Bytes* file;
        size_t size;
    } cases[] = {{&full, 0},     {&full, 13},     {&full, 53},     {&full, 1077},
                 {&full108, 53}, {&full108, 121}, {&full108, 1145}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::string path = WriteFile("short.bmp", Bytes(c.file->begin(), c.file->begin() + c.size));
        IDirectDrawPalette* palette = reinterpret_cast<IDirectDrawPalette*>(&full);
        EXPECT_EQ(LoadPaletteFromBitmap(dd, &palette, path.c_str()), E_FAIL);
        EXPECT_EQ(palette, nullptr);
    }
    EXPECT_EQ(tarn::platform::LiveObjects("file"), 0);
}

// A resource's colour table is taken after its info header whatever the header's size (40 or
// more), flags cleared, the rest of the 3-3-2 palette kept; above 8 bits there is none.
TEST_F(BitmapTransferTest, PaletteFromBitmapResource) {
    // The embedded 8-bit picture: 252 colours after a 124-byte header.
    Bytes file = ReadFile(std::string(TARN_TEST_DATA) + "/bmpsuite/g/pal8v5.bmp");
    ASSERT_GT(file.size(), 14u + 124u + 252u * 4u);
    Palette expected = DefaultPalette();
    for (int i = 0; i < 252; i++) {
        const unsigned char* q = &file[14 + 124 + 4 * i];
        expected[i] = PALETTEENTRY{q[2], q[1], q[0], 0};
    }
    ExpectPalette(PaletteOf(PAL8V5_RESOURCE), expected);

    ExpectPalette(PaletteOf(RGB24_RESOURCE), DefaultPalette());

    // 16 colours with reserved bytes set: the flags come out 0.
    BmpFile bits4;
    bits4.bits = 4;
    for (uint32_t i = 0; i < 16; i++) bits4.colours.push_back(0x0A0B0Cu * (i + 1));
    Bytes bytes = bits4.Build();
    for (int i = 0; i < 16; i++) bytes[54 + 4 * i + 3] = 0x77;
    RegisterResource("Flags4", bytes);
    expected = DefaultPalette();
    for (int i = 0; i < 16; i++)
        expected[i] =
            PALETTEENTRY{static_cast<BYTE>(0x0A * (i + 1)), static_cast<BYTE>(0x0B * (i + 1)),
                         static_cast<BYTE>(0x0C * (i + 1)), 0};
    ExpectPalette(PaletteOf("Flags4"), expected);
}

// A resource whose header or colour table runs past its end is refused, never read beyond it
// (the bytes after each of these resources are not theirs); an old 12-byte header has no
// colours to take. A resource that cannot be loaded or locked is refused too.
TEST_F(BitmapTransferTest, ResourceClaimingMoreThanItHolds) {
    BmpFile table16;
    table16.bits = 8; // 256 colours by its header, 16 present
    table16.colours.assign(16, 0x123456);
    BmpFile clrUsed200 = table16;
    clrUsed200.clrUsed = 200;
    Bytes bigHeader = table16.Build();
    bigHeader[14 + 1] = 0x10; // biSize 4112
    BmpFile core;
    core.headerSize = 12;
    core.bits = 1;
    core.colours = {0xFFFFFF, 0};
    Bytes cut = table16.Build();
    cut.resize(14 + 30);

    const struct {
        const char* name;
        Bytes bytes;
        HRESULT result;
    } cases[] = {
        {"Table16", table16.Build(), E_FAIL},
        {"ClrUsed200", clrUsed200.Build(), E_FAIL},
        {"BigHeader", bigHeader, E_FAIL},
        {"CutHeader", cut, E_FAIL},
        {"Empty", Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, E_FAIL},
        {"Core12", core.Build(), DD_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RegisterResource(c.name, c.bytes, 4096);
        IDirectDrawPalette* palette = nullptr;
        EXPECT_EQ(LoadPaletteFromBitmap(dd, &palette, c.name), c.result);
        if (c.result == DD_OK)
            ExpectPalette(TakeEntries(palette), DefaultPalette());
        else
            EXPECT_EQ(palette, nullptr);
    }

    for (const char* step : {"LoadResource", "LockResource", "SizeofResource"}) {
        SCOPED_TRACE(step);
        InjectFault(step, 1, 0);
        IDirectDrawPalette* palette = nullptr;
        EXPECT_EQ(LoadPaletteFromBitmap(dd, &palette, PAL8V5_RESOURCE), E_FAIL);
        EXPECT_EQ(palette, nullptr);
        tarn::platform::ClearFaults();
    }
}

// A null argument is refused and the out pointer keeps what it held; a numbered name that is
// no resource is not taken for a file name.
TEST_F(BitmapTransferTest, PaletteArguments) {
    IDirectDrawPalette* const untouched = reinterpret_cast<IDirectDrawPalette*>(this);
    IDirectDrawPalette* palette = untouched;
    EXPECT_EQ(LoadPaletteFromBitmap(dd, &palette, nullptr), E_INVALIDARG);
    EXPECT_EQ(palette, untouched);
    EXPECT_EQ(LoadPaletteFromBitmap(nullptr, &palette, "x.bmp"), E_INVALIDARG);
    EXPECT_EQ(palette, untouched);
    EXPECT_EQ(LoadPaletteFromBitmap(dd, nullptr, "x.bmp"), E_INVALIDARG);
    EXPECT_EQ(CreateDefaultPalette(nullptr, &palette), E_INVALIDARG);
    EXPECT_EQ(palette, untouched);

    palette = nullptr;
    ASSERT_EQ(LoadPaletteFromBitmap(dd, &palette, MAKEINTRESOURCEA(4242)), DD_OK);
    ExpectPalette(TakeEntries(palette), DefaultPalette());
}

// ---------------------------------------------------------------------------------------------
// Bitmaps into surfaces
// ---------------------------------------------------------------------------------------------

// A bitmap file (no such resource) becomes a surface of its size holding the picture, in the
// memory the placement byte asks for; the size is stored through the two pointers.
TEST_F(BitmapTransferTest, LoadBitmapSurfaceFromFile) {
    std::string path = WriteFile("picture100x50.bmp", Picture24(100, 50, PicturePixel));
    const struct {
        BYTE placement;
        DWORD memory;
    } cases[] = {{0, DDSCAPS_VIDEOMEMORY}, {1, DDSCAPS_SYSTEMMEMORY}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.placement);
        int width = -1, height = -1;
        IDirectDrawSurface7* s = LoadBitmapSurface(dd, path.c_str(), &width, &height, c.placement);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(width, 100);
        EXPECT_EQ(height, 50);
        DDSCAPS2 caps{};
        ASSERT_EQ(s->GetCaps(&caps), DD_OK);
        EXPECT_EQ(caps.dwCaps & (DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY), c.memory);
        EXPECT_EQ(FirstDifference(s, 100, 50, PicturePixel), "");
        s->Release();
    }
}

// Failing loads give null and leave width and height as they were; neither the bitmap nor a
// surface is kept. A bitmap that cannot be copied onto its new surface is a failure too, not a
// blank surface.
TEST_F(BitmapTransferTest, LoadBitmapSurfaceFailures) {
    std::string path = WriteFile("picture8x8.bmp", Picture24(8, 8, PicturePixel));
    const struct {
        const char* name;
        std::string file;
        const char* fault;
        long code;
    } cases[] = {
        {"neither resource nor file", "no such bitmap.bmp", nullptr, 0},
        {"no surface for the bitmap", path, "IDirectDraw7::CreateSurface", 0},
        {"loader gives nothing", path, "LoadImageA", 0},
        {"no DC on the new surface", path, "IDirectDrawSurface7::GetDC", DDERR_CANTCREATEDC},
        {"no memory DC for the bitmap", path, "CreateCompatibleDC", 0},
        {"the bitmap cannot be drawn", path, "StretchBlt", 0},
    };
    const int surfacesBefore = LiveObjects("surface");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fault != nullptr) InjectFault(c.fault, 1, c.code, 0);
        int width = -7, height = -9;
        EXPECT_EQ(LoadBitmapSurface(dd, c.file.c_str(), &width, &height, 1), nullptr);
        EXPECT_EQ(width, -7);
        EXPECT_EQ(height, -9);
        EXPECT_EQ(LiveObjects("bitmap"), 0);
        EXPECT_EQ(LiveObjects("surface"), surfacesBefore);
        tarn::platform::ClearFaults();
    }
    int width = -7;
    EXPECT_EQ(LoadBitmapSurface(dd, nullptr, &width, &width, 1), nullptr);
    EXPECT_EQ(LoadBitmapSurface(nullptr, path.c_str(), &width, &width, 1), nullptr);
    EXPECT_EQ(width, -7);
}

// Bitmap files and resources that claim more than they hold give null or a surface, never a
// read outside their data.
TEST_F(BitmapTransferTest, HostileBitmapsGiveNullOrASurface) {
    BmpFile table16;
    table16.width = 4;
    table16.height = 4;
    table16.bits = 8;
    table16.colours.assign(16, 0x204060);
    table16.pixels.assign(16, 3);
    Bytes noPixels = Picture24(40, 30, PicturePixel);
    noPixels.resize(54 + 100);
    Bytes bigHeader = table16.Build();
    bigHeader[14 + 2] = 0x01; // biSize 65576
    Bytes tall = Picture24(4, 4, PicturePixel);
    tall[22 + 3] = 0x7F; // a height of two thousand million rows

    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"ColourTableShort", table16.Build()},
        {"PixelsShort", noPixels},
        {"HeaderLongerThanFile", bigHeader},
        {"TallerThanItHolds", tall},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = WriteFile(std::string(c.name) + ".bmp", c.bytes);
        RegisterResource(c.name, c.bytes, 4096);
        for (const std::string& name : {path, std::string(c.name)}) {
            int width = -7, height = -9;
            IDirectDrawSurface7* s = LoadBitmapSurface(dd, name.c_str(), &width, &height, 1);
            if (s == nullptr) {
                EXPECT_EQ(width, -7);
                EXPECT_EQ(height, -9);
            } else {
                EXPECT_GT(width, 0);
                EXPECT_GT(height, 0);
                s->Release();
            }
        }
    }
}

// The source pixel under the centre of destination pixel i when `from` pixels are stretched
// over `to`.
int Under(int i, int to, int from) {
    return (2 * i + 1) * from / (2 * to);
}

// With dx and dy of 0 the whole bitmap is stretched over the surface whatever its size; a
// rectangle of the bitmap is stretched the same way.
TEST_F(BitmapTransferTest, CopyBitmapStretchesOverTheWholeSurface) {
    std::string path = WriteFile("picture100x50.bmp", Picture24(100, 50, PicturePixel));
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                     LR_CREATEDIBSECTION | LR_LOADFROMFILE));
    ASSERT_NE(bitmap, nullptr);
    const struct {
        int x, y, dx, dy, width, height;
    } cases[] = {
        {0, 0, 0, 0, 200, 100}, // the whole bitmap, twice its size
        {0, 0, 0, 0, 50, 25},   // the whole bitmap, half its size
        {10, 5, 20, 10, 40, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y << ", " << c.dx << " x " << c.dy
                                        << " over " << c.width << " x " << c.height);
        IDirectDrawSurface7* s = MakeSurface(c.width, c.height);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(CopyBitmapToSurface(s, bitmap, c.x, c.y, c.dx, c.dy), DD_OK);
        int dx = c.dx != 0 ? c.dx : 100, dy = c.dy != 0 ? c.dy : 50;
        EXPECT_EQ(FirstDifference(s, c.width, c.height,
                                  [&](int x, int y) {
                                      return PicturePixel(c.x + Under(x, c.width, dx),
                                                          c.y + Under(y, c.height, dy));
                                  }),
                  "");
        s->Release();
    }
    EXPECT_TRUE(DeleteObject(bitmap));
}

// Failures: E_FAIL for a null surface or bitmap; the GetDC failure unchanged and nothing drawn;
// no memory DC: the debugger message, nothing drawn, and E_FAIL (not the success of a GetDC
// that drew nothing); a stretch that fails: E_FAIL.
TEST_F(BitmapTransferTest, CopyBitmapFailures) {
    std::string path = WriteFile("picture8x8.bmp", Picture24(8, 8, PicturePixel));
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                     LR_CREATEDIBSECTION | LR_LOADFROMFILE));
    ASSERT_NE(bitmap, nullptr);
    IDirectDrawSurface7* s = MakeSurface(8, 8);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(CopyBitmapToSurface(nullptr, bitmap, 0, 0, 0, 0), E_FAIL);
    EXPECT_EQ(CopyBitmapToSurface(s, nullptr, 0, 0, 0, 0), E_FAIL);

    const struct {
        const char* fault;
        long code;
        HRESULT result;
        const char* message;
    } cases[] = {
        {"IDirectDrawSurface7::GetDC", DDERR_CANTCREATEDC, DDERR_CANTCREATEDC, ""},
        {"CreateCompatibleDC", 0, E_FAIL, "createcompatible dc failed\n"},
        {"StretchBlt", 0, E_FAIL, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        DDBLTFX fx;
        std::memset(&fx, 0, sizeof(fx));
        fx.dwSize = sizeof(fx);
        fx.dwFillColor = 0x00ABCDEF;
        ASSERT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
        host->ClearDebugText();
        InjectFault(c.fault, 1, c.code);
        EXPECT_EQ(CopyBitmapToSurface(s, bitmap, 0, 0, 0, 0), c.result);
        EXPECT_EQ(host->DebugText(), c.message);
        EXPECT_EQ(FirstDifference(s, 8, 8, [](int, int) { return 0xABCDEFu; }), "");
        tarn::platform::ClearFaults();
    }
    s->Release();
    EXPECT_TRUE(DeleteObject(bitmap));
}

// A name that is no picture file but a bitmap resource of the program makes a surface of the
// resource's picture, the same as its file gives; the same holds for a resource registered
// while the program runs.
TEST_F(BitmapTransferTest, SurfaceFromBitmapResource) {
    TarnSurface* fromResource = new TarnSurface();
    ASSERT_EQ(fromResource->Create(screen, PAL8V5_RESOURCE, 1), 1);
    std::string file = std::string(TARN_TEST_DATA) + "/bmpsuite/g/pal8v5.bmp";
    int width = 0, height = 0;
    IDirectDrawSurface7* fromFile = LoadBitmapSurface(dd, file.c_str(), &width, &height, 1);
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(fromResource->width, width);
    EXPECT_EQ(fromResource->height, height);
    EXPECT_EQ(FirstDifference(fromResource->surface, width, height,
                              [&](int x, int y) { return SurfacePixel(fromFile, x, y); }),
              "");
    fromFile->Release();
    delete fromResource;

    RegisterResource("Picture100x50", Picture24(100, 50, PicturePixel));
    TarnSurface* picture = new TarnSurface();
    ASSERT_EQ(picture->Create(screen, "Picture100x50", 1), 1);
    EXPECT_EQ(picture->width, 100);
    EXPECT_EQ(picture->height, 50);
    EXPECT_EQ(FirstDifference(picture->surface, 100, 50, PicturePixel), "");
    delete picture;
}

// A surface made from a bitmap resource in video memory loses its pixels with the display;
// restoring it loads the resource again. A reload that cannot draw the bitmap is a failure,
// not a success with junk left in the surface.
TEST_F(BitmapTransferTest, SurfaceFromResourceIsReloadedAfterLoss) {
    RegisterResource("Picture100x50", Picture24(100, 50, PicturePixel));
    TarnSurface* picture = new TarnSurface();
    ASSERT_EQ(picture->Create(screen, "Picture100x50", 0), 1);
    LoseDisplay();
    EXPECT_EQ(picture->Restore(), DD_OK);
    EXPECT_EQ(FirstDifference(picture->surface, 100, 50, PicturePixel), "");

    LoseDisplay();
    InjectFault("IDirectDrawSurface7::GetDC", 1, DDERR_CANTCREATEDC, 0);
    EXPECT_EQ(picture->Restore(), -2);
    tarn::platform::ClearFaults();
    delete picture;
}

// The resource path's failures reach Create as its own codes.
TEST_F(BitmapTransferTest, SurfaceFromResourceFailureCodes) {
    const struct {
        const char* name;
        const char* fault;
        long code;
        int result;
    } cases[] = {
        {"NoSuchResource", nullptr, 0, -2},
        {PAL8V5_RESOURCE, "LoadResource", 0, -3},
        {PAL8V5_RESOURCE, "LockResource", 0, -4},
        {PAL8V5_RESOURCE, "IDirectDraw7::CreateSurface", 0, -1},
        {PAL8V5_RESOURCE, "IDirectDrawSurface7::GetDC", DDERR_CANTCREATEDC, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault != nullptr ? c.fault : c.name);
        if (c.fault != nullptr) InjectFault(c.fault, 1, c.code, 0);
        TarnSurface s;
        EXPECT_EQ(s.Create(screen, c.name, 1), c.result);
        EXPECT_EQ(s.surface, nullptr);
        tarn::platform::ClearFaults();
    }
}

// ---------------------------------------------------------------------------------------------
// An 8-bit display
// ---------------------------------------------------------------------------------------------

class EightBitDisplayTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        WNDCLASSA wc;
        std::memset(&wc, 0, sizeof(wc));
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TarnBitmapTransferTest";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "TarnBitmapTransferTest", "test", WS_POPUP | WS_VISIBLE, 0, 0,
                                 1024, 768, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (screen != nullptr) {
            if (screen->GetBack() != nullptr) delete screen->GetBack();
            delete screen;
        }
        DestroyWindow(window);
        EXPECT_EQ(LiveObjects(), 0);
        HeadlessTest::TearDown();
    }

    void MakeScreen(int bits) {
        screen = new TarnScreen();
        ASSERT_EQ(screen->CreateFullScreen(window, 640, 480, bits, 0), 0);
    }

    // A surface made by the image front end from a 24-bit file of these colours, in a row.
    TarnSurface* LoadColours(const std::vector<uint32_t>& colours) {
        const int n = static_cast<int>(colours.size());
        std::string path =
            WriteFile("colours.bmp", Picture24(n, 1, [&](int x, int) { return colours[x]; }));
        auto* s = new TarnSurface();
        EXPECT_EQ(s->Create(screen, path.c_str(), 1), 1);
        return s;
    }

    HWND window = nullptr;
    TarnScreen* screen = nullptr;
};

// Index of the palette entry nearest to rgb (squared distance), the first of equals.
int Nearest(const Palette& palette, uint32_t rgb) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 256; i++) {
        long dr = static_cast<long>(rgb >> 16 & 0xFF) - palette[i].peRed;
        long dg = static_cast<long>(rgb >> 8 & 0xFF) - palette[i].peGreen;
        long db = static_cast<long>(rgb & 0xFF) - palette[i].peBlue;
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) best = i, bestDistance = d;
    }
    return best;
}

// Only an 8-bit display carries a palette: the 3-3-2 one, on the primary surface.
TEST_F(EightBitDisplayTest, PrimaryCarriesTheDefaultPaletteOnlyAtEightBits) {
    for (int bits : {8, 16, 32}) {
        SCOPED_TRACE(bits);
        MakeScreen(bits);
        IDirectDrawPalette* attached = nullptr;
        HRESULT hr = screen->GetFront()->surface->GetPalette(&attached);
        if (bits == 8) {
            ASSERT_EQ(hr, DD_OK);
            EXPECT_EQ(attached, screen->palette);
            ExpectPalette(TakeEntries(attached), DefaultPalette());
        } else {
            EXPECT_EQ(hr, DDERR_NOPALETTEATTACHED);
            EXPECT_EQ(screen->palette, nullptr);
        }
        delete screen->GetBack();
        delete screen;
        screen = nullptr;
    }
}

// A 24-bit picture loaded on an 8-bit display becomes an 8-bit surface of indices into the
// primary's palette: the nearest entry to each colour, and the exact entry once the program
// gives the primary a palette of its own (here the embedded picture's).
TEST_F(EightBitDisplayTest, PicturesMapToThePrimarysPalette) {
    MakeScreen(8);
    const std::vector<uint32_t> colours = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                                           0x0000FF, 0x646464, 0x20A0F0, 0x7F3F1F};
    TarnSurface* picture = LoadColours(colours);
    EXPECT_EQ(picture->pixelLayout.depth, 8);
    const Palette standard = DefaultPalette();
    const int expected[] = {0x00, 0xFF, 0xE0, 0x1C, 0x03, 0x6D};
    for (size_t i = 0; i < colours.size(); i++) {
        SCOPED_TRACE(i);
        uint32_t index = SurfacePixel(picture->surface, static_cast<int>(i), 0);
        EXPECT_EQ(index, static_cast<uint32_t>(Nearest(standard, colours[i])));
        if (i < std::size(expected)) {
            EXPECT_EQ(index, static_cast<uint32_t>(expected[i]));
        }
    }
    delete picture;

    IDirectDrawPalette* own = nullptr;
    ASSERT_EQ(LoadPaletteFromBitmap(screen->GetDirectDraw(), &own, PAL8V5_RESOURCE), DD_OK);
    ASSERT_EQ(screen->GetFront()->surface->SetPalette(own), DD_OK);
    Palette entries = TakeEntries(own); // the primary keeps its own reference
    std::vector<uint32_t> fromPalette;
    for (int i : {5, 77, 140, 251})
        fromPalette.push_back(static_cast<uint32_t>(entries[i].peRed) << 16 |
                              static_cast<uint32_t>(entries[i].peGreen) << 8 | entries[i].peBlue);
    picture = LoadColours(fromPalette);
    for (size_t i = 0; i < fromPalette.size(); i++) {
        SCOPED_TRACE(i);
        uint32_t index = SurfacePixel(picture->surface, static_cast<int>(i), 0);
        EXPECT_EQ(index, static_cast<uint32_t>(Nearest(entries, fromPalette[i])));
    }
    delete picture;
}

} // namespace
