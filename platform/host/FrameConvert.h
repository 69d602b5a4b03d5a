// The one converter of presented frames for every host: a frame in any display-mode format (8
// bits with a palette, 16 bits with any masks, 24 and 32 bits with their masks) becomes 32-bit
// red-green-blue pixels in the order the host wants (0xAARRGGBB for SDL2's textures and the
// headless host's kept frame, 0xAABBGGRR for a canvas's R, G, B, A bytes), with the alpha byte
// it asks for. A channel narrower than 8 bits is widened by repeating its top bits (5 bits
// abcde -> abcdeabc), so white stays white; a wider one keeps its top 8 bits.
//
// The display's own formats are converted by arithmetic, 5-6-5 and 5-5-5 eight pixels at a time
// in vector registers where the build has them (SSE2, WebAssembly SIMD); 32-bit 8-8-8 by moving
// bytes; other 16-bit masks through a table of every pixel value, built when the masks change
// (never per frame); other 24 and 32-bit masks pixel by pixel through the channels.
#pragma once

#include "gdi/PixelConvert.h"
#include "host/Host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::platform {

// Widens an n-bit channel value to 8 bits by repeating its top bits (5 bits abcde ->
// abcdeabc); a value of more than 8 bits keeps its top 8. GDI's rule (Rescale), so a frame shows
// what GDI drew.
inline uint32_t WidenChannel(uint32_t value, int bits) {
    return Rescale(value, bits, 8);
}
// The channel of `pixel` widened to 8 bits (0 for an empty mask).
inline uint32_t WidenChannel(uint32_t pixel, const Channel& c) {
    return c.width ? Rescale((pixel & c.mask) >> c.shift, c.width, 8) : 0;
}

// The byte order of the converted pixels, as 32-bit values.
enum class RgbOrder : uint8_t {
    Argb, // 0xAARRGGBB: in memory blue, green, red, alpha
    Abgr, // 0xAABBGGRR: in memory red, green, blue, alpha (a canvas's ImageData)
};

// The well-known 16 and 32-bit layouts of a frame.
bool FrameIs565(const FrameView& frame);
bool FrameIs555(const FrameView& frame);
bool FrameIsX888(const FrameView& frame);

class FrameConverter {
public:
    explicit FrameConverter(RgbOrder order = RgbOrder::Argb, uint8_t alpha = 0xFF)
        : order(order), alpha(uint32_t(alpha) << 24) {}

    // Checks the frame and gets ready for its format. False (with a reason in *why) for a frame
    // that cannot be shown: no pixels, a size or pitch that does not fit, a depth other than 8,
    // 16, 24 or 32, 8 bits without a palette, overlapping masks. A frame above 8 bits without
    // any mask is read as 5-6-5 (16 bits) or 8-8-8. Allocates only when 16-bit masks other than
    // 5-6-5 and 5-5-5 change.
    bool Prepare(const FrameView& frame, const char** why);

    // Writes the prepared frame into dst, rows `dstPitch` bytes apart; allocates nothing.
    void Convert(const FrameView& frame, void* dst, int dstPitch) const;

private:
    enum class Path : uint8_t { Palette, Widen565, Widen555, Table16, X888, Masked };

    uint32_t Compose(uint32_t r, uint32_t g, uint32_t b) const {
        return order == RgbOrder::Argb ? alpha | r << 16 | g << 8 | b
                                       : alpha | b << 16 | g << 8 | r;
    }
    void ConvertRow(const FrameView& frame, const uint8_t* src, uint32_t* out) const;

    RgbOrder order;
    uint32_t alpha; // already in the top byte
    Path path = Path::Masked;
    int bytes = 0;
    Channel red, green, blue;
    uint32_t table16Masks[3] = {};
    std::vector<uint32_t> table16; // 16-bit pixel -> output pixel
};

// A presented frame kept as the display held it, turned into 0x00RRGGBB pixels (top row first)
// when looked at, and written out as a 24-bit BMP: the headless host's last frame and the script
// player's dumps. Keeping costs one copy of the frame's bytes and allocates only when its size
// changes. An 8-bit frame without a palette is kept as shades of grey.
class KeptFrame {
public:
    KeptFrame() = default;
    KeptFrame(const KeptFrame&) = delete;
    KeptFrame& operator=(const KeptFrame&) = delete;

    void Keep(const FrameView& frame);
    void Clear();
    // Empty (0 x 0) before the first frame.
    const std::vector<uint32_t>& Pixels(int* width, int* height) const;
    // False when there is no frame or the file cannot be written.
    bool WriteBmp(const std::string& path) const;

private:
    std::vector<uint8_t> raw; // the rows without their padding
    FrameView view;           // raw's format; pixels and palette point into this object
    uint32_t palette[256] = {};
    mutable bool converted = true;
    mutable std::vector<uint32_t> pixels;
    mutable FrameConverter converter{RgbOrder::Argb, 0};
};

} // namespace tarn::platform
