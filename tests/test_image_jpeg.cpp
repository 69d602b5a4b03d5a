// Tests of JPEG pictures: the OLE stand-in (streams over global memory, the picture loader and
// its IPicture) and TarnImageJPG through the image front end. Every JPEG file is written by
// libjpeg-turbo in the test, and every decode is compared with libjpeg-turbo's own decode of the
// same file. Surfaces are made at 32 bits per pixel, so the comparison is exact: both decodes
// run the same libjpeg code, and a 32-bit DIB drawn 1:1 into a 32-bit surface is a copy.
// (test_image_jpeg_files decodes checked-in files on both platforms; here their references are
// checked against libjpeg.)
#include "support/HeadlessTest.h"
#include "support/ImageFixtures.h"

#include "image/TarnImage.h"
#include "support/JpegReader.h"
#include "support/JpegWriter.h"

#include <ddraw.h>
#include <objbase.h>
#include <olectl.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using Bytes = std::vector<unsigned char>;

struct JpegFile {
    const char* name;
    int width;
    int height;
    bool grey;
    bool progressive;
    bool exif = false; // an Exif segment first instead of the JFIF one
};

const JpegFile kFiles[] = {
    {"baseline_colour", 64, 48, false, false},
    {"progressive_colour", 37, 23, false, true}, // partial blocks at both edges
    {"baseline_grey", 33, 17, true, false},
    {"progressive_grey", 50, 40, true, true},
};

// A picture with smooth and sharp parts, so that every block decodes differently.
unsigned char Sample(int x, int y, int channel) {
    switch (channel) {
    case 0:
        return static_cast<unsigned char>(x * 255 / 63);
    case 1:
        return static_cast<unsigned char>((y * 5 + x * 3) & 0xFF);
    default:
        return static_cast<unsigned char>(((x / 4 + y / 4) & 1) ? 230 : 20);
    }
}

Bytes MakeJpeg(const JpegFile& f) {
    samples::JpegOptions options;
    options.quality = 85;
    options.progressive = f.progressive;
    options.exif = f.exif;
    const int components = f.grey ? 1 : 3;
    return samples::WriteJpeg(
        f.width, f.height, components,
        [&](int y, unsigned char* row) {
            for (int x = 0; x < f.width; ++x)
                for (int c = 0; c < components; ++c)
                    row[static_cast<size_t>(x * components + c)] = Sample(x, y, c);
        },
        options);
}

// Pixels as 0x00RRGGBB, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// libjpeg's own decode of the file, the reference every comparison here is made with.
Picture LibjpegDecode(const Bytes& file) {
    samples::JpegPixels rgb;
    Picture p;
    if (!samples::ReadJpeg(file, samples::JpegColour::Rgb, &rgb)) return p;
    p.width = rgb.width;
    p.height = rgb.height;
    for (int y = 0; y < p.height; ++y)
        for (const unsigned char* q = rgb.Row(y); q != rgb.Row(y) + 3 * p.width; q += 3)
            p.pixels.push_back(uint32_t{q[0]} << 16 | uint32_t{q[1]} << 8 | q[2]);
    return p;
}

void WritePpm(const std::string& path, const Picture& p) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%d %d\n255\n", p.width, p.height);
    for (uint32_t v : p.pixels) {
        unsigned char rgb[3] = {static_cast<unsigned char>(v >> 16),
                                static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
        std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
}

// Same size and every channel within `tolerance`; on a mismatch both pictures are written out
// as NAME_actual.ppm and NAME_expected.ppm and the first bad pixel is named.
void ExpectSamePicture(const Picture& actual, const Picture& expected, int tolerance,
                       const std::string& name) {
    ASSERT_EQ(actual.width, expected.width) << name;
    ASSERT_EQ(actual.height, expected.height) << name;
    for (int y = 0; y < actual.height; ++y)
        for (int x = 0; x < actual.width; ++x)
            for (int shift = 0; shift <= 16; shift += 8) {
                int a = (actual.At(x, y) >> shift) & 0xFF, e = (expected.At(x, y) >> shift) & 0xFF;
                if (a - e > tolerance || e - a > tolerance) {
                    WritePpm(name + "_actual.ppm", actual);
                    WritePpm(name + "_expected.ppm", expected);
                    FAIL() << name << ": first bad pixel (" << x << ", " << y << ") is " << std::hex
                           << actual.At(x, y) << ", expected " << expected.At(x, y);
                }
            }
}

class JpegTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        host->Config().desktopBits = 32;
        CreateDirectDraw();
    }
    // DirectDraw in the normal cooperative level: surfaces take the desktop's pixel format.
    void CreateDirectDraw() {
        IDirectDraw* first = nullptr;
        ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
        ASSERT_EQ(first->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd)), S_OK);
        first->Release();
        ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
        baseline = tarn::platform::LiveObjects();
    }
    void TearDown() override {
        if (dd) dd->Release();
        EXPECT_EQ(tarn::platform::LiveObjects(), 0) << "a stand-in object was left alive";
        HeadlessTest::TearDown();
    }

    IDirectDrawSurface7* Load(const Bytes& file, int format, size_t size = SIZE_MAX) {
        if (size == SIZE_MAX) size = file.size();
        TarnImage image;
        return image.LoadMemory(dd, static_cast<int>(size), file.data(), 1, format);
    }

    // The surface's pixels as 0x00RRGGBB (the surface is 32 bits per pixel).
    static Picture Read(IDirectDrawSurface7* surface) {
        Picture p;
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return p;
        EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 32u);
        p.width = static_cast<int>(desc.dwWidth);
        p.height = static_cast<int>(desc.dwHeight);
        for (int y = 0; y < p.height; ++y) {
            const uint32_t* row = reinterpret_cast<const uint32_t*>(
                static_cast<const BYTE*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch);
            for (int x = 0; x < p.width; ++x) p.pixels.push_back(row[x] & 0xFFFFFF);
        }
        surface->Unlock(nullptr);
        return p;
    }

    // A plain 32-bit off-screen surface in system memory.
    IDirectDrawSurface7* MakeSurface(int width, int height) {
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = static_cast<DWORD>(width);
        desc.dwHeight = static_cast<DWORD>(height);
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        IDirectDrawSurface7* surface = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
        return surface;
    }

    // A stream over a copy of `file` that frees its block when released.
    static IStream* StreamOver(const Bytes& file) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, file.size());
        std::memcpy(GlobalLock(block), file.data(), file.size());
        GlobalUnlock(block);
        IStream* stream = nullptr;
        EXPECT_EQ(CreateStreamOnHGlobal(block, TRUE, &stream), S_OK);
        return stream;
    }

    IDirectDraw7* dd = nullptr;
    int baseline = 0; // live stand-in objects once DirectDraw is set up
};

TEST_F(JpegTest, JfifFilesAreDetectedAndDecodeToLibjpegsOwnPixels) {
    for (const JpegFile& f : kFiles) {
        Bytes file = MakeJpeg(f);
        EXPECT_EQ(TarnImage::DetectFormat(static_cast<int>(file.size()), file.data()), IMAGE_JPG)
            << f.name;
        IDirectDrawSurface7* surface = Load(file, IMAGE_UNKNOWN);
        ASSERT_NE(surface, nullptr) << f.name;
        ExpectSamePicture(Read(surface), LibjpegDecode(file), 0, f.name);
        surface->Release();
    }
}

// What cameras and phones write: an Exif segment where JFIF files have theirs.
TEST_F(JpegTest, ExifFileIsDetectedAndDecodes) {
    JpegFile f = {"exif", 40, 30, false, false, true};
    Bytes file = MakeJpeg(f);
    ASSERT_EQ(std::memcmp(file.data() + 6, "Exif", 4), 0);
    EXPECT_EQ(TarnImage::DetectFormat(static_cast<int>(file.size()), file.data()), IMAGE_JPG);
    IDirectDrawSurface7* surface = Load(file, IMAGE_UNKNOWN);
    ASSERT_NE(surface, nullptr);
    ExpectSamePicture(Read(surface), LibjpegDecode(file), 0, "exif");
    surface->Release();
    EXPECT_EQ(host->DebugText(), "");
}

// At 16 bits per pixel the picture comes out as 5-6-5 or 5-5-5, each channel libjpeg's own
// decode truncated, whichever way the picture loader and GDI share the conversion.
TEST_F(JpegTest, SixteenBitSurfacesGetLibjpegsPixelsTruncated) {
    for (bool rgb555 : {false, true}) {
        dd->Release();
        host->Config().desktopBits = 16;
        host->Config().rgb555 = rgb555;
        CreateDirectDraw();
        // 100 rows: drawn as several bands of rows and a short last one.
        const JpegFile tall = {"tall_colour", 21, 100, false, false};
        for (const JpegFile& f : {kFiles[1], kFiles[2], tall}) {
            Bytes file = MakeJpeg(f);
            Picture expected = LibjpegDecode(file);
            IDirectDrawSurface7* surface = Load(file, IMAGE_JPG);
            ASSERT_NE(surface, nullptr) << f.name;
            DDSURFACEDESC2 desc;
            std::memset(&desc, 0, sizeof desc);
            desc.dwSize = sizeof desc;
            ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
            EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);
            EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, rgb555 ? 0x03E0u : 0x07E0u);
            std::string mismatch;
            for (int y = 0; y < f.height && mismatch.empty(); ++y)
                for (int x = 0; x < f.width && mismatch.empty(); ++x) {
                    uint32_t e = expected.At(x, y), r = e >> 16, g = (e >> 8) & 0xFF, b = e & 0xFF;
                    uint16_t want = rgb555 ? (r >> 3) << 10 | (g >> 3) << 5 | b >> 3
                                           : (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
                    uint16_t got = reinterpret_cast<const uint16_t*>(
                        static_cast<const BYTE*>(desc.lpSurface) + y * desc.lPitch)[x];
                    if (got != want)
                        mismatch = "first bad pixel (" + std::to_string(x) + ", " +
                                   std::to_string(y) + "): " + std::to_string(got) + ", expected " +
                                   std::to_string(want);
                }
            surface->Unlock(nullptr);
            surface->Release();
            EXPECT_EQ(mismatch, "") << f.name << (rgb555 ? " at 5-5-5" : " at 5-6-5");
        }
    }
}

// CMYK files as Photoshop writes them (an Adobe segment, channels stored inverted: 255 = no ink)
// come out as RGB: with no black ink the colour channels pass through, and half black ink
// halves them.
TEST_F(JpegTest, AdobeCmykFileDecodesToRgb) {
    const int width = 32, height = 16;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    ASSERT_TRUE(cinfo.write_Adobe_marker);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(width * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) row[x * 4 + c] = Sample(x, y, c);
            row[x * 4 + 3] = y < height / 2 ? 255 : 128;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes file(out, out + outSize);
    jpeg_destroy_compress(&cinfo);
    std::free(out);

    // libjpeg's own decode of the four channels, as the reference.
    samples::JpegPixels stored;
    ASSERT_TRUE(samples::ReadJpeg(file, samples::JpegColour::Stored, &stored));
    ASSERT_EQ(stored.bytesPerPixel, 4);
    Picture noInk, halfInk;
    noInk.width = halfInk.width = width;
    noInk.height = halfInk.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* cmyk = stored.Row(y) + x * 4;
            noInk.pixels.push_back(uint32_t{cmyk[0]} << 16 | uint32_t{cmyk[1]} << 8 | cmyk[2]);
            uint32_t half = 0;
            for (int c = 0; c < 3; ++c) half = half << 8 | (cmyk[c] * cmyk[3] + 127) / 255;
            halfInk.pixels.push_back(half);
        }

    IDirectDrawSurface7* surface = Load(file, IMAGE_JPG);
    ASSERT_NE(surface, nullptr);
    Picture p = Read(surface);
    surface->Release();
    Picture top = p, topExpected = noInk, bottom = p, bottomExpected = halfInk;
    const size_t half = static_cast<size_t>(width) * (height / 2);
    top.height = topExpected.height = bottom.height = bottomExpected.height = height / 2;
    top.pixels.resize(half);
    topExpected.pixels.resize(half);
    bottom.pixels.erase(bottom.pixels.begin(), bottom.pixels.begin() + half);
    bottomExpected.pixels.erase(bottomExpected.pixels.begin(),
                                bottomExpected.pixels.begin() + half);
    ExpectSamePicture(top, topExpected, 0, "cmyk_no_black");
    ExpectSamePicture(bottom, bottomExpected, 1, "cmyk_half_black");
}

// The files that test_image_jpeg_files decodes through the system's picture loader on every
// platform: each .ppm beside a .jpg is libjpeg-turbo's decode of it.
TEST_F(JpegTest, CheckedInReferencesAreLibjpegsDecodes) {
    for (const char* name : {"baseline_420", "baseline_444", "progressive_colour", "baseline_grey",
                             "progressive_grey", "exif"}) {
        const std::string base = std::string(TARN_TEST_DATA) + "/jpeg/" + name;
        Bytes file;
        ASSERT_TRUE(ReadWholeFile(base + ".jpg", &file)) << name;
        const Decoded reference = ReadPpm(base + ".ppm");
        ASSERT_TRUE(reference.ok) << name;
        Picture expected;
        expected.width = reference.width;
        expected.height = reference.height;
        expected.pixels = reference.pixels;
        ExpectSamePicture(LibjpegDecode(file), expected, 0, name);
    }
}

// The picture's HIMETRIC size is its pixel size at the display's logical resolution, so the
// decoder's conversion back gives the surface exactly the picture's pixel size.
TEST_F(JpegTest, HimetricSizeComesBackToThePixelSizeAtTheDisplayResolution) {
    const struct {
        int dpi;
        int width, height;
        LONG hmWidth, hmHeight;
    } kCases[] = {
        {96, 96, 48, 2540, 1270}, {120, 96, 48, 2032, 1016}, {72, 37, 23, 1305, 811},
        {144, 101, 7, 1782, 123}, {96, 1, 1, 26, 26},
    };
    for (const auto& c : kCases) {
        host->Config().logPixelsX = c.dpi;
        host->Config().logPixelsY = c.dpi;
        Bytes file = MakeJpeg({"size", c.width, c.height, false, false});
        IStream* stream = StreamOver(file);
        IPicture* picture = nullptr;
        ASSERT_EQ(OleLoadPicture(stream, static_cast<LONG>(file.size()), FALSE, IID_IPicture,
                                 reinterpret_cast<void**>(&picture)),
                  S_OK);
        stream->Release();
        OLE_XSIZE_HIMETRIC hmWidth = 0;
        OLE_YSIZE_HIMETRIC hmHeight = 0;
        picture->get_Width(&hmWidth);
        picture->get_Height(&hmHeight);
        picture->Release();
        EXPECT_EQ(hmWidth, c.hmWidth) << c.dpi << " dpi";
        EXPECT_EQ(hmHeight, c.hmHeight) << c.dpi << " dpi";

        IDirectDrawSurface7* surface = Load(file, IMAGE_JPG);
        ASSERT_NE(surface, nullptr) << c.dpi << " dpi";
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        ASSERT_EQ(surface->GetSurfaceDesc(&desc), DD_OK);
        EXPECT_EQ(static_cast<int>(desc.dwWidth), c.width) << c.dpi << " dpi";
        EXPECT_EQ(static_cast<int>(desc.dwHeight), c.height) << c.dpi << " dpi";
        surface->Release();
    }
}

// Offset of the first marker `code` in a file written by libjpeg (markers are not escaped
// inside headers, and all of these come before the entropy-coded data).
size_t FindMarker(const Bytes& file, unsigned char code) {
    for (size_t i = 2; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == code) return i;
    return 0;
}

TEST_F(JpegTest, StreamsTheLoaderRefusesGiveNull) {
    const Bytes good = MakeJpeg(kFiles[0]);
    const struct {
        const char* name;
        void (*spoil)(Bytes&);
    } kCases[] = {
        {"zero width in the frame header",
         [](Bytes& f) { f[FindMarker(f, 0xC0) + 7] = f[FindMarker(f, 0xC0) + 8] = 0; }},
        {"12-bit samples", [](Bytes& f) { f[FindMarker(f, 0xC0) + 4] = 12; }},
        {"60000 x 60000 pixels",
         [](Bytes& f) {
             size_t sof = FindMarker(f, 0xC0);
             f[sof + 5] = f[sof + 7] = 0xEA;
             f[sof + 6] = f[sof + 8] = 0x60;
         }},
        {"quantisation table number 5", [](Bytes& f) { f[FindMarker(f, 0xDB) + 4] = 5; }},
        {"reserved marker in place of the frame header",
         [](Bytes& f) { f[FindMarker(f, 0xC0) + 1] = 0xC8; }},
        {"junk after the JFIF segment",
         [](Bytes& f) {
             for (size_t i = 20; i < f.size(); ++i) f[i] = static_cast<unsigned char>(i * 7);
         }},
        {"no start-of-image marker", [](Bytes& f) { f[1] = 0x00; }},
    };
    for (const auto& c : kCases) {
        Bytes file = good;
        c.spoil(file);
        EXPECT_EQ(Load(file, IMAGE_JPG), nullptr) << c.name;

        IStream* stream = StreamOver(file);
        IUnknown* picture = nullptr;
        EXPECT_EQ(
            OleLoadPicture(stream, 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture)),
            CTL_E_INVALIDPICTURE)
            << c.name;
        EXPECT_EQ(picture, nullptr) << c.name;
        stream->Release();
    }
}

// A file cut short gives null or a picture of the full size, never a crash; cut only before
// its end-of-image marker it gives the whole picture.
TEST_F(JpegTest, TruncatedFilesGiveNullOrAPartialPicture) {
    for (const JpegFile& f : {kFiles[0], kFiles[1]}) {
        Bytes file = MakeJpeg(f);
        for (size_t size = 0; size < file.size(); size += 1 + file.size() / 97) {
            IDirectDrawSurface7* surface = Load(file, IMAGE_JPG, size);
            if (!surface) continue;
            Picture p = Read(surface);
            EXPECT_EQ(p.width, f.width) << f.name << " cut at " << size;
            EXPECT_EQ(p.height, f.height) << f.name << " cut at " << size;
            surface->Release();
        }
        IDirectDrawSurface7* surface = Load(file, IMAGE_JPG, file.size() - 2);
        ASSERT_NE(surface, nullptr) << f.name;
        ExpectSamePicture(Read(surface), LibjpegDecode(file), 0, std::string(f.name) + "_no_eoi");
        surface->Release();
    }
}

// Whichever step fails, the decoder gives null and leaves no stream, picture, block, context
// or surface behind (the fixture checks the live objects).
TEST_F(JpegTest, AFailureAtAnyStepGivesNullAndReleasesEverything) {
    const Bytes file = MakeJpeg(kFiles[0]);
    const struct {
        const char* operation;
        long code;
    } kCases[] = {
        {"GlobalAlloc", 0},
        {"GlobalLock", 0},
        {"CreateStreamOnHGlobal", E_OUTOFMEMORY},
        {"IStream::Read", STG_E_READFAULT},
        {"OleLoadPicture", CTL_E_INVALIDPICTURE},
        {"IPicture::get_Height", E_FAIL},
        {"CreateICA", 0},
        {"IDirectDraw7::CreateSurface", DDERR_OUTOFMEMORY},
        {"IDirectDrawSurface7::GetDC", DDERR_GENERIC},
        {"IPicture::Render", E_FAIL},
        {"StretchDIBits", static_cast<long>(GDI_ERROR)},
    };
    for (const auto& c : kCases) {
        tarn::platform::ResetCallCounts();
        tarn::platform::InjectFault(c.operation, 1, c.code);
        EXPECT_EQ(Load(file, IMAGE_JPG), nullptr) << c.operation;
        EXPECT_EQ(tarn::platform::CallCount(c.operation), 1u) << c.operation << " was not reached";
        tarn::platform::ClearFaults();
        EXPECT_EQ(tarn::platform::LiveObjects(), baseline) << c.operation;
    }
}

// Render's source rectangle runs upwards from the bottom edge in HIMETRIC units: a negative
// height from the top edge draws the picture upright, a positive one from the bottom edge
// upside down, and the destination rectangle scales it.
TEST_F(JpegTest, RenderDrawsUprightUpsideDownAndScaled) {
    const JpegFile& f = kFiles[0];
    Bytes file = MakeJpeg(f);
    Picture upright = LibjpegDecode(file);
    Picture upsideDown = upright, doubled;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            upsideDown.pixels[static_cast<size_t>(y) * f.width + x] =
                upright.At(x, f.height - 1 - y);
    doubled.width = f.width * 2;
    doubled.height = f.height * 2;
    for (int y = 0; y < doubled.height; ++y)
        for (int x = 0; x < doubled.width; ++x) doubled.pixels.push_back(upright.At(x / 2, y / 2));

    IStream* stream = StreamOver(file);
    IPicture* picture = nullptr;
    ASSERT_EQ(OleLoadPicture(stream, 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture)),
              S_OK);
    stream->Release();
    OLE_XSIZE_HIMETRIC hmW = 0;
    OLE_YSIZE_HIMETRIC hmH = 0;
    picture->get_Width(&hmW);
    picture->get_Height(&hmH);

    const struct {
        const char* name;
        int scale;
        LONG ySrc, cySrc;
        const Picture* expected;
    } kCases[] = {
        {"upright", 1, hmH, -hmH, &upright},
        {"upside_down", 1, 0, hmH, &upsideDown},
        {"doubled", 2, hmH, -hmH, &doubled},
    };
    for (const auto& c : kCases) {
        IDirectDrawSurface7* surface = MakeSurface(f.width * c.scale, f.height * c.scale);
        ASSERT_NE(surface, nullptr);
        HDC hdc = nullptr;
        ASSERT_EQ(surface->GetDC(&hdc), DD_OK);
        RECT bounds = {0, 0, f.width * c.scale, f.height * c.scale};
        EXPECT_EQ(picture->Render(hdc, 0, 0, bounds.right, bounds.bottom, 0, c.ySrc, hmW, c.cySrc,
                                  &bounds),
                  S_OK)
            << c.name;
        surface->ReleaseDC(hdc);
        ExpectSamePicture(Read(surface), *c.expected, 0, c.name);
        surface->Release();
    }
    picture->Release();
}

// The stream reads and writes its block through one seek pointer, grows it on writes past the
// end, shares it with clones, and frees it with the last stream when asked to.
TEST_F(JpegTest, StreamOnGlobalMemoryReadsWritesSeeksAndFreesItsBlock) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
    std::memcpy(GlobalLock(block), "abcdefgh", 8);
    GlobalUnlock(block);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(block, TRUE, &stream), S_OK);

    char text[16] = {};
    ULONG count = 0;
    EXPECT_EQ(stream->Read(text, 5, &count), S_OK);
    EXPECT_EQ(count, 5u);
    EXPECT_STREQ(text, "abcde");
    EXPECT_EQ(stream->Read(text, 16, &count), S_OK);
    EXPECT_EQ(count, 3u) << "a read stops at the end";

    LARGE_INTEGER move;
    ULARGE_INTEGER position;
    move.QuadPart = -2;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 6u);
    EXPECT_EQ(stream->Write("XYZW", 4, &count), S_OK);
    EXPECT_EQ(count, 4u);
    move.QuadPart = -1;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_SET, &position), STG_E_SEEKERROR);
    // Moves too far either way, the largest ones included, are refused and leave the position.
    for (LONGLONG far : {INT64_MAX, INT64_MIN, LONGLONG{0x80000000}}) {
        move.QuadPart = far;
        EXPECT_EQ(stream->Seek(move, STREAM_SEEK_CUR, &position), STG_E_SEEKERROR) << far;
    }
    move.QuadPart = 0;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 10u);

    STATSTG stat;
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 10u) << "the write past the end grew the stream";
    EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));

    IStream* clone = nullptr;
    ASSERT_EQ(stream->Clone(&clone), S_OK);
    EXPECT_EQ(stream->Release(), 0u);
    move.QuadPart = 0;
    EXPECT_EQ(clone->Seek(move, STREAM_SEEK_SET, nullptr), S_OK);
    std::memset(text, 0, sizeof text);
    EXPECT_EQ(clone->Read(text, 16, &count), S_OK);
    EXPECT_STREQ(text, "abcdefXYZW") << "the clone sees the same block";
    HGLOBAL under = nullptr;
    EXPECT_EQ(GetHGlobalFromStream(clone, &under), S_OK);
    EXPECT_NE(under, nullptr);
    EXPECT_EQ(clone->Release(), 0u);
    EXPECT_EQ(tarn::platform::LiveObjects(), baseline) << "the block went with the last stream";

    // Without fDeleteOnRelease the block stays the caller's.
    block = GlobalAlloc(GMEM_MOVEABLE, 4);
    ASSERT_EQ(CreateStreamOnHGlobal(block, FALSE, &stream), S_OK);
    stream->Release();
    EXPECT_NE(GlobalLock(block), nullptr);
    GlobalUnlock(block);
    EXPECT_EQ(GlobalFree(block), nullptr);
}

} // namespace
