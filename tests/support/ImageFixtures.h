// Small picture files made in memory for the decoder tests and the fuzzers' seed corpora: BMP,
// TGA, PCX and PSD writers that put every header field where a test wants it, so a test can
// build exactly the odd file it is about. And ImageTest, the fixture that decodes such a file
// through the image front end on the headless host with a 32-bit display and reads the surface
// back as 0x00RRGGBB pixels, top row first.
#pragma once

#include "HeadlessTest.h"
#include "support/ByteWriter.h"

#include <windows.h>
#include <ddraw.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fixtures {

using Bytes = std::vector<unsigned char>;

// Little- and big-endian appenders, shared with the benchmarks
// (tests/support/ByteWriter.h).
using samples::Put16;
using samples::Put16BE;
using samples::Put32;
using samples::Put32BE;

// A Windows bitmap. `pixels` are the file's pixel bytes as they stand (rows in file order,
// padded as the file has them); `colours` are 0x00RRGGBB entries written as the colour table.
struct BmpFile {
    int width = 1;
    int height = 1;
    int bits = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    uint32_t headerSize = 40; // 12, 40, 108, 124 ...
    std::vector<uint32_t> colours;
    std::vector<uint32_t> masks; // bit-field masks: after a 40-byte header, else inside
    Bytes pixels;
    int gapBeforePixels = 0; // extra bytes between the colour table and the pixels
    Bytes Build() const;
};

// Rows of `width` x `height` pixels packed at `bits` (1, 4, 8: indices; 16: raw values;
// 24, 32: 0x00RRGGBB), padded to 4 bytes, bottom row first unless `topDown`. `values` are
// top row first.
Bytes PackBmpRows(int width, int height, int bits, const std::vector<uint32_t>& values,
                  bool topDown = false);

struct TgaFile {
    int type = 2;
    int depth = 24;
    int width = 1;
    int height = 1;
    int descriptor = 0;
    Bytes id;
    int mapType = 0;
    int mapFirst = 0;
    int mapLength = 0;
    int mapEntrySize = 0;
    Bytes colourMap;    // as stored
    Bytes pixels;       // as stored (raw rows or packets)
    bool footer = true; // the TGA 2.0 footer
    Bytes Build() const;
};

struct PcxFile {
    int version = 5;
    int planeBits = 8;
    int planes = 1;
    int xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    int bytesPerLine = 1;
    Bytes encoded;                 // the run-length data after the header
    std::vector<uint32_t> palette; // 256-colour palette (0x00RRGGBB), appended with its marker
    int marker = 12;
    Bytes Build() const;
};

// Run-length codes of one PCX plane line, as a careful encoder writes them.
Bytes EncodePcxLine(const Bytes& line);

struct PsdFile {
    int version = 1;
    int channels = 3;
    uint32_t width = 1, height = 1;
    int depth = 8;
    int mode = 3;
    Bytes colourModeData, resources, layers;
    int compression = 0;
    Bytes data; // the image data after the compression field
    Bytes Build() const;
};

// Raw planes of a picture (0xAARRGGBB, top row first) for the first `channels` channels:
// red, green, blue, alpha, then planes of 0x7F.
Bytes PsdRawPlanes(const std::vector<uint32_t>& argb, int channels);

} // namespace fixtures

// A picture read back from a surface.
struct Decoded {
    bool ok = false;
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, top row first
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The picture a test expects: width x height pixels (0x00RRGGBB, top row first).
inline Decoded ExpectedPicture(int width, int height, std::vector<uint32_t> rgb) {
    Decoded d;
    d.ok = true;
    d.width = width;
    d.height = height;
    d.pixels = std::move(rgb);
    return d;
}

class ImageTest : public HeadlessTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Decodes through TarnImage::LoadMemory (format 0 detects) and reads the surface back.
    Decoded Load(const fixtures::Bytes& file, int format = 0, BYTE placement = 2);
    Decoded LoadFile(const std::string& path, int format = 0);
    static Decoded ReadBack(IDirectDrawSurface7* surface);

    IDirectDraw7* dd = nullptr;
};

// Compares two pictures within `tolerance` per channel; on a mismatch writes both as PPM files
// under the test's temporary folder and reports the first bad pixel.
::testing::AssertionResult SamePicture(const Decoded& actual, const Decoded& expected,
                                       int tolerance, const std::string& name);
// Reads a binary PPM (P6, 8 bits per channel).
Decoded ReadPpm(const std::string& path);
bool ReadWholeFile(const std::string& path, fixtures::Bytes* out);
