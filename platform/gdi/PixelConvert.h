// Pixel-format conversion, the one place GDI turns a bitmap's pixels into a destination's:
// a row converter is chosen once per call (source layout x destination layout) and then
// converts whole rows in tight, dedicated loops. Beside the fast converters sits a plain
// reference converter that does everything through masks and one colour at a time; tests and
// benchmarks compare the two.
//
// Colour rules (both paths): a source channel of n bits becomes 8 bits by repeating its bits
// from the top (5 bits v -> v << 3 | v >> 2, 6 bits v -> v << 2 | v >> 4); an 8-bit channel
// becomes n bits by truncation (v >> (8 - n): 5 bits v >> 3, 6 bits v >> 2). An 8-bit destination
// takes the palette entry nearest in RGB (squared distance, the lowest index on a tie); an index
// beyond a bitmap's colour table reads as black.
#pragma once

#include "gdi/GdiTarget.h"

#include <cstdint>

namespace tarn::platform {

enum class SourceKind : uint8_t {
    Index1,   // 1 bit per pixel, first pixel in the top bit, through the colour table
    Index4,   // 4 bits per pixel, first pixel in the high nibble
    Index8,   // one byte per pixel
    Rgb555,   // 16 bits x-5-5-5 (the top bit ignored)
    Rgb565,   // 16 bits 5-6-5
    Masked16, // 16 bits with other channel masks
    Bgr24,    // blue, green, red bytes
    Bgrx32,   // blue, green, red, unused bytes
    Masked32, // 32 bits with other channel masks
};

enum class DestKind : uint8_t {
    Index8,   // palette index, nearest colour of the destination's palette
    Rgb555,   // 0-5-5-5 in 16 bits
    Rgb565,   // 5-6-5 in 16 bits
    Bgr24,    // blue, green, red bytes
    Xrgb32,   // 0x00RRGGBB in 32 bits
    Masked16, // other 16-bit masks
    Masked32, // other 32-bit masks
};

struct SourceFormat {
    SourceKind kind = SourceKind::Bgr24;
    uint32_t masks[3] = {};     // red, green, blue (used by the masked kinds)
    uint32_t colours[256] = {}; // indexed kinds: 0x00RRGGBB; entries past the table are black
};

struct DestFormat {
    DestKind kind = DestKind::Xrgb32;
    uint32_t masks[3] = {};
    const uint32_t* palette = nullptr; // Index8: 256 colours 0x00RRGGBB
};

// One colour channel of a masked pixel: where it sits and how wide it is.
struct Channel {
    uint32_t mask = 0;
    int shift = 0; // lowest bit of the mask
    int width = 0; // bits from there up to the first gap
};
Channel ChannelOf(uint32_t mask);

// Everything one conversion needs, prepared once per call.
struct ConvertContext {
    SourceFormat src;
    DestFormat dst;
    Channel srcChannels[3], dstChannels[3];
    uint32_t lut[256];   // indexed sources: the destination pixel of every index
    uint16_t lut16[256]; // the same for 16-bit destinations, as 16-bit values
    // 8-bit destinations of direct-colour sources: nearest-colour answers already found.
    uint32_t cacheKey[4096];
    uint8_t cacheIndex[4096];
};

// Converts `count` pixels of a source row, starting at pixel x0, into destination pixels.
using RowConverter = void (*)(uint8_t* dst, const uint8_t* srcRow, int x0, int count,
                              ConvertContext& ctx);

int SourceBits(SourceKind kind);
int DestBytes(DestKind kind);
// The layout GDI draws into for a target; false for layouts it cannot draw into.
bool DescribeDest(const PixelTarget& target, DestFormat* out);
// The layout of a target read as a source (a surface DC blitted from).
bool DescribeTargetAsSource(const PixelTarget& target, SourceFormat* out);
// Chooses the masked or plain kind for 16 or 32-bit masks; false for masks that are zero,
// overlapping or not contiguous.
bool ClassifyMasks(int bits, const uint32_t masks[3], SourceKind* out);

void PrepareConversion(const SourceFormat& src, const DestFormat& dst, ConvertContext* ctx);
RowConverter FastRowConverter(const ConvertContext& ctx);
void ReferenceConvertRow(uint8_t* dst, const uint8_t* srcRow, int x0, int count,
                         ConvertContext& ctx);

// The reference definitions the fast converters must agree with.
uint32_t ReferenceReadRgb(const ConvertContext& ctx, const uint8_t* row, int x); // 0x00RRGGBB
uint32_t ReferenceEncode(const ConvertContext& ctx, uint32_t rgb);
uint8_t NearestIndex(const uint32_t* palette, uint32_t rgb);
// A value of `from` bits widened (by repeating it) or narrowed (by truncation) to `to` bits.
uint32_t Rescale(uint32_t value, int from, int to);

} // namespace tarn::platform
