// The image front end: format detection in the system's order (also on data shorter than the
// head and foot it looks at), forced format codes, the one debugger message and memory
// placement. No headless instrument but the captured debugger output, which the Windows build
// reads too: this runs on the stand-in and on Windows. Failures of the platform calls and
// TarnFile are tested in test_image_file.
#include "image/TarnImage.h"
#include "support/ImageFixtures.h"
#include "support/MachineNeeds.h"

#include <memory>
#include <string>

using fixtures::BmpFile;
using fixtures::Bytes;

namespace {

const char* const UNSUPPORTED = "Error: TarnImage - Unsupported Image type.";

Bytes SmallBmp() {
    BmpFile file;
    file.width = 3;
    file.height = 2;
    file.bits = 24;
    file.pixels = fixtures::PackBmpRows(
        3, 2, 24, {0xFF0000, 0x00FF00, 0x0000FF, 0x010203, 0x808080, 0xFFFFFF});
    return file.Build();
}

Bytes SmallTga(bool footer = true) {
    fixtures::TgaFile file;
    file.width = 2;
    file.height = 1;
    file.pixels = {1, 2, 3, 4, 5, 6};
    file.footer = footer;
    return file.Build();
}

// A TGA whose first two bytes are "BM": an image ID of 0x42 bytes and colour map type 0x4D.
Bytes TgaStartingWithBM() {
    fixtures::TgaFile file;
    file.id = Bytes(0x42, 'x');
    file.mapType = 0x4D;
    file.width = 2;
    file.height = 1;
    file.pixels = {1, 2, 3, 4, 5, 6};
    return file.Build();
}

Bytes SmallPsd() {
    fixtures::PsdFile file;
    file.data = fixtures::PsdRawPlanes({0xFF112233}, 3);
    return file.Build();
}

Bytes SmallPcx() {
    fixtures::PcxFile file;
    file.encoded = {0x07};
    file.palette = {0, 0, 0, 0, 0, 0, 0, 0x123456};
    return file.Build();
}

Bytes JfifHead() {
    Bytes data = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01};
    data.resize(300, 0);
    return data;
}

class FrontTest : public ImageTest {};

TEST_F(FrontTest, DetectsFormatsInTheSystemsOrder) {
    struct Case {
        const char* name;
        Bytes data;
        int format;
    };
    const Case cases[] = {
        {"BMP", SmallBmp(), IMAGE_BMP},
        {"TGA with footer", SmallTga(), IMAGE_TGA},
        {"TGA starting with BM is still a TGA", TgaStartingWithBM(), IMAGE_TGA},
        {"TGA without footer, by its header, after the others", SmallTga(false), IMAGE_TGA},
        {"PSD", SmallPsd(), IMAGE_PSD},
        {"PCX", SmallPcx(), IMAGE_PCX},
        {"JFIF", JfifHead(), IMAGE_JPG},
        {"Exif JPEG", {0xFF, 0xD8, 0xFF, 0xE1, 0, 0x10, 'E', 'x', 'i', 'f', 0, 0}, IMAGE_JPG},
        {"JPEG starting with a quantisation table", {0xFF, 0xD8, 0xFF, 0xDB, 0, 0x43}, IMAGE_JPG},
        {"text", Bytes(100, 'a'), IMAGE_UNKNOWN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TarnImage::DetectFormat(static_cast<int>(c.data.size()), c.data.data()), c.format)
            << c.name;
    EXPECT_TRUE(Load(TgaStartingWithBM()).ok);
}

// Data shorter than the 256-byte head or the 64-byte foot is tested on the bytes present only.
// Each buffer below is exactly as long as its data, so a read beyond it is caught by the
// sanitizer build.
TEST_F(FrontTest, DetectsShortDataFromTheBytesPresent) {
    struct Case {
        Bytes data;
        int format;
    };
    const Case cases[] = {
        {{}, IMAGE_UNKNOWN},
        {{'B'}, IMAGE_UNKNOWN},
        {{'B', 'M'}, IMAGE_BMP},
        {{'8', 'B', 'P', 'S'}, IMAGE_UNKNOWN},
        {{'8', 'B', 'P', 'S', 0}, IMAGE_PSD},
        {{10, 5}, IMAGE_UNKNOWN},
        {{10, 5, 1}, IMAGE_PCX},
        {{0xFF, 0xD8}, IMAGE_UNKNOWN},
        {{0xFF, 0xD8, 0xFF}, IMAGE_JPG},
        {{0xFF, 0x00, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F'}, IMAGE_UNKNOWN},
    };
    for (const Case& c : cases) {
        std::unique_ptr<unsigned char[]> exact(new unsigned char[c.data.size()]);
        std::copy(c.data.begin(), c.data.end(), exact.get());
        EXPECT_EQ(TarnImage::DetectFormat(static_cast<int>(c.data.size()), exact.get()), c.format)
            << c.data.size() << " bytes";
    }
    // The last bytes of a TGA alone: the footer's mark needs 18 bytes, the depth byte 17.
    const Bytes tga = SmallTga();
    for (size_t keep = 0; keep <= tga.size(); ++keep) {
        std::unique_ptr<unsigned char[]> exact(new unsigned char[keep]);
        std::copy(tga.end() - keep, tga.end(), exact.get());
        const int format = TarnImage::DetectFormat(static_cast<int>(keep), exact.get());
        if (keep < 18) {
            EXPECT_EQ(format, IMAGE_UNKNOWN) << keep;
        }
        if (keep == tga.size()) {
            EXPECT_EQ(format, IMAGE_TGA);
        }
    }
    EXPECT_EQ(TarnImage::DetectFormat(10, nullptr), IMAGE_UNKNOWN);
}

TEST_F(FrontTest, MissingFileGivesNullAndNoMessage) {
    TarnImage image;
    EXPECT_EQ(image.LoadFile(dd, "/no/such/folder/landskap.bmp", 2, 0), nullptr);
    EXPECT_EQ(host->DebugText(), "");
}

TEST_F(FrontTest, UnknownDataGivesTheMessageOnce) {
    const Bytes text(300, 'x');
    EXPECT_FALSE(Load(text).ok);
    EXPECT_EQ(host->DebugText(), UNSUPPORTED);
}

// A forced format code skips detection: BMP data decodes as BMP with code 1 and goes to the
// TGA, PSD and PNG decoders (which refuse it: the system's imaging component would recognise a
// BMP by itself, so the PNG decoder checks the signature first) with their codes; unknown codes
// give null without a message.
TEST_F(FrontTest, ForcedFormatCodesSkipDetection) {
    const Bytes bmp = SmallBmp();
    EXPECT_TRUE(Load(bmp, IMAGE_BMP).ok);
    EXPECT_FALSE(Load(bmp, IMAGE_TGA).ok);
    EXPECT_FALSE(Load(bmp, IMAGE_PSD).ok);
    EXPECT_FALSE(Load(bmp, IMAGE_PNG).ok);
    EXPECT_FALSE(Load(bmp, 7).ok);
    EXPECT_FALSE(Load(bmp, -1).ok);
    EXPECT_EQ(host->DebugText(), "");
    // An old TGA without footer decodes when its code is given.
    const Decoded tga = Load(SmallTga(false), IMAGE_TGA);
    ASSERT_TRUE(tga.ok);
    EXPECT_EQ(tga.At(0, 0), 0x030201u);
}

// Placement 0 asks for video memory, 1 for system memory, any other value lets DirectDraw
// choose.
TEST_F(FrontTest, PlacementSelectsTheSurfaceMemory) {
    if (std::string lacks = LacksVideoMemory(dd); !lacks.empty()) GTEST_SKIP() << lacks;
    const Bytes bmp = SmallBmp();
    struct Case {
        BYTE placement;
        DWORD want, refuse;
    };
    const Case cases[] = {
        {0, DDSCAPS_VIDEOMEMORY, DDSCAPS_SYSTEMMEMORY},
        {1, DDSCAPS_SYSTEMMEMORY, DDSCAPS_VIDEOMEMORY},
    };
    for (const Case& c : cases) {
        TarnImage image;
        IDirectDrawSurface7* surface =
            image.LoadMemory(dd, static_cast<int>(bmp.size()), bmp.data(), c.placement, 0);
        ASSERT_NE(surface, nullptr);
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof(desc);
        ASSERT_EQ(surface->GetSurfaceDesc(&desc), DD_OK);
        EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_OFFSCREENPLAIN);
        EXPECT_TRUE(desc.ddsCaps.dwCaps & c.want) << int(c.placement);
        EXPECT_FALSE(desc.ddsCaps.dwCaps & c.refuse) << int(c.placement);
        surface->Release();
    }
    EXPECT_TRUE(Load(bmp, 0, 2).ok);
    EXPECT_TRUE(Load(bmp, 0, 255).ok);
}

} // namespace
