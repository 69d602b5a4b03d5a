// The PNG decoder through the front end and the system's imaging component: the public PngSuite
// against its independent reference decodes (every colour type and depth, palettes, tRNS,
// Adam7), its corrupt files refused, truncated and oversized files refused before any pixel
// memory, and where PNG sits in detection. No headless instrument is used, so this also runs on
// Windows, where Wine's imaging component decodes.
#include "image/TarnImage.h"
#include "image/TarnImagePNG.h"
#include "support/ImageFixtures.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

using fixtures::Bytes;

namespace {

class PngTest : public ImageTest {};

std::string SuiteFile(const std::string& name) {
    return std::string(TARN_TEST_DATA) + "/pngsuite/" + name;
}

std::vector<std::string> SuiteNames(bool corrupt) {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(SuiteFile(""))) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".png" && (name[0] == 'x') == corrupt)
            out.push_back(entry.path().stem().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The checksum of PNG chunks (CRC-32, polynomial 0xEDB88320).
uint32_t Crc(const unsigned char* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// `file` with its header chunk claiming width x height, checksum mended.
Bytes WithSize(Bytes file, uint32_t width, uint32_t height) {
    for (int i = 0; i < 4; ++i) {
        file[16 + i] = static_cast<unsigned char>(width >> (24 - 8 * i));
        file[20 + i] = static_cast<unsigned char>(height >> (24 - 8 * i));
    }
    const uint32_t crc = Crc(&file[12], 17);
    for (int i = 0; i < 4; ++i) file[29 + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
    return file;
}

Bytes ReadSuiteFile(const std::string& name) {
    Bytes data;
    EXPECT_TRUE(ReadWholeFile(SuiteFile(name + ".png"), &data)) << name;
    return data;
}

// The file's gamma chunk value (100000 = 1.0), 0 when it has none.
uint32_t FileGamma(const Bytes& file) {
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = (uint32_t(file[at]) << 24) | (uint32_t(file[at + 1]) << 16) |
                                (uint32_t(file[at + 2]) << 8) | file[at + 3];
        if (std::equal(file.begin() + at + 4, file.begin() + at + 8, "gAMA") &&
            at + 16 <= file.size())
            return (uint32_t(file[at + 8]) << 24) | (uint32_t(file[at + 9]) << 16) |
                   (uint32_t(file[at + 10]) << 8) | file[at + 11];
        at += 12 + static_cast<size_t>(length);
    }
    return 0;
}

// The reference reader did not keep to its own rule for one group of files: those whose gamma
// chunk says 1.0 or more it took for linear light and converted to sRGB. For them the test
// converts our (gamma-free) pixels the same way; the curve's rounding allows 2 steps.
void EncodeAsSrgb(Decoded* picture) {
    unsigned char curve[256];
    for (int v = 0; v < 256; ++v) {
        const double linear = v / 255.0;
        const double encoded =
            linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
        curve[v] = static_cast<unsigned char>(std::lround(encoded * 255));
    }
    for (uint32_t& p : picture->pixels)
        p = (uint32_t(curve[(p >> 16) & 0xFF]) << 16) | (uint32_t(curve[(p >> 8) & 0xFF]) << 8) |
            curve[p & 0xFF];
}

} // namespace

// Every good file decodes as the independent reader does: alpha dropped, palettes and grey
// expanded, 16-bit samples rounded (v / 257), no gamma applied. Windows' component may scale
// 16-bit samples by truncation instead, one step off.
TEST_F(PngTest, GoodSuiteFilesMatchTheirReferenceDecodes) {
    const auto names = SuiteNames(false);
    ASSERT_GE(names.size(), 150u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const Decoded expected = ReadPpm(SuiteFile(name + ".ppm"));
        ASSERT_TRUE(expected.ok);
        Decoded actual = LoadFile(SuiteFile(name + ".png"));
        int tolerance = 0;
        if (FileGamma(ReadSuiteFile(name)) >= 100000) {
            EncodeAsSrgb(&actual);
            tolerance = 2;
        }
#ifdef _WIN32
        // Windows' component may scale 16-bit samples by truncation; Wine's converts 16-bit grey
        // through a gamma curve, up to 12 steps off in the darkest greys.
        if (name.find("16") != std::string::npos)
            tolerance += name.find("0g16") != std::string::npos ? 12 : 1;
#endif
        EXPECT_TRUE(SamePicture(actual, expected, tolerance, "pngsuite_" + name));
    }
}

// The corrupt files (bad signature, checksums, colour type or depth, missing image data) give
// no surface, detected or forced.
TEST_F(PngTest, CorruptSuiteFilesAreRefused) {
    const auto names = SuiteNames(true);
    ASSERT_EQ(names.size(), 14u);
    for (const std::string& name : names) {
#ifdef _WIN32
        // Wine's component does not check chunk checksums: these two decode (their pixels are
        // whole; only a checksum is wrong).
        if (name == "xcsn0g01" || name == "xhdn0g08") {
            LoadFile(SuiteFile(name + ".png"));
            continue;
        }
#endif
        EXPECT_FALSE(LoadFile(SuiteFile(name + ".png")).ok) << name;
        EXPECT_FALSE(LoadFile(SuiteFile(name + ".png"), IMAGE_PNG).ok) << name;
    }
}

// A file cut anywhere (in the header, inside the image data, before the end chunk) is refused:
// never a partly decoded surface reported as a picture.
TEST_F(PngTest, TruncatedFilesAreRefused) {
    for (const char* name : {"basn2c08", "basi3p02", "basn6a16"}) {
        const Bytes whole = ReadSuiteFile(name);
        ASSERT_TRUE(Load(whole).ok) << name;
        // Wine's component accepts a file whose image data is whole but whose end chunk is cut
        // or missing (the last 12 bytes); the stand-in refuses those too.
#ifdef _WIN32
        const size_t checked = whole.size() - 12;
#else
        const size_t checked = whole.size();
#endif
        for (size_t length = 0; length < checked; length += length < 64 ? 1 : 37) {
            Bytes cut(whole.begin(), whole.begin() + static_cast<long>(length));
            EXPECT_FALSE(Load(cut, IMAGE_PNG).ok) << name << " cut at " << length;
        }
#ifndef _WIN32
        Bytes noEnd(whole.begin(), whole.end() - 12); // the end chunk missing
        EXPECT_FALSE(Load(noEnd).ok) << name;
#endif
    }
}

// Sizes beyond the decoders' limits are refused from the header, as for the other formats.
TEST_F(PngTest, OversizedHeadersAreRefused) {
    const Bytes file = ReadSuiteFile("basn0g08");
    for (uint32_t side : {32769u, 65535u, 0x7FFFFFFFu}) {
        EXPECT_FALSE(Load(WithSize(file, side, 32)).ok) << side;
        EXPECT_FALSE(Load(WithSize(file, 32, side)).ok) << side;
    }
    EXPECT_FALSE(Load(WithSize(file, 0, 32)).ok);
    TarnImagePNG decoder;
    const Bytes huge = WithSize(file, 30000, 30000); // 3.6 GB of pixels
    EXPECT_FALSE(decoder.DecodeBitmap(static_cast<int>(huge.size()), huge.data()));
    EXPECT_EQ(decoder.pixels, nullptr);
}

// PNG is recognised by its signature; the decoder keeps the decoded rows as 32-bit
// blue-green-red-alpha with the file's alpha (the surface drops it).
TEST_F(PngTest, DetectionAndTheDecodedRows) {
    const Bytes file = ReadSuiteFile("basn6a08");
    EXPECT_EQ(TarnImage::DetectFormat(static_cast<int>(file.size()), file.data()), IMAGE_PNG);
    EXPECT_EQ(TarnImage::DetectFormat(7, file.data()), IMAGE_UNKNOWN);

    TarnImagePNG decoder;
    ASSERT_TRUE(decoder.DecodeBitmap(static_cast<int>(file.size()), file.data()));
    EXPECT_EQ(decoder.width, 32);
    EXPECT_EQ(decoder.height, 32);
    EXPECT_EQ(decoder.sourceBits, 32);
    EXPECT_EQ(decoder.bitsPerPixel, 32);
    ASSERT_NE(decoder.pixels, nullptr);
    int alphas[256] = {};
    for (uint32_t i = 3; i < decoder.pixelBytes; i += 4) alphas[decoder.pixels[i]] = 1;
    EXPECT_GT(std::count(alphas, alphas + 256, 1), 16); // the file's alpha ramp
}
