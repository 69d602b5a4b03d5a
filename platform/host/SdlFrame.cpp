// Frame conversion for the SDL2 host: a frame in any of the display mode formats (8 bits with a
// palette, 16 bits 5-6-5 or 5-5-5, 24 and 32 bits with their masks) to ARGB8888 texture pixels.
// A channel narrower than 8 bits is widened by repeating its top bits, so white stays white.
#include "host/SdlFrame.h"

#include <SDL.h>

#include <bit>
#include <cstring>

namespace tarn::platform {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

bool Is565(const FrameView& f) {
    return f.redMask == 0xF800 && f.greenMask == 0x07E0 && f.blueMask == 0x001F;
}
bool IsX888(const FrameView& f) {
    return f.redMask == 0xFF0000 && f.greenMask == 0x00FF00 && f.blueMask == 0x0000FF;
}

} // namespace

FrameConverter::Channel FrameConverter::MakeChannel(uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (mask != 0) {
        c.shift = std::countr_zero(mask);
        c.bits = std::popcount(mask);
    }
    return c;
}

uint32_t FrameConverter::Expand(uint32_t pixel, const Channel& c) {
    if (c.bits == 0) return 0;
    uint32_t v = (pixel & c.mask) >> c.shift;
    if (c.bits >= 8) return v >> (c.bits - 8);
    // Repeat the value's bits downwards until 8 bits are filled.
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << c.bits) | v;
        filled += c.bits;
    }
    return out >> (filled - 8);
}

bool FrameConverter::Prepare(const FrameView& frame, bool rgb565Native, const char** why) {
    const char* reason = nullptr;
    int bytes = frame.bits / 8;
    if (!frame.pixels)
        reason = "the frame has no pixels";
    else if (frame.bits != 8 && frame.bits != 16 && frame.bits != 24 && frame.bits != 32)
        reason = "the frame's depth is not 8, 16, 24 or 32 bits";
    else if (frame.width <= 0 || frame.height <= 0 || frame.width > 16384 || frame.height > 16384)
        reason = "the frame's size is out of range";
    else if (frame.pitch < frame.width * bytes)
        reason = "the frame's pitch is shorter than a row";
    else if (frame.bits == 8 && !frame.palette)
        reason = "an 8-bit frame has no palette";
    else if (frame.bits > 8 &&
             ((frame.redMask & frame.greenMask) || (frame.redMask & frame.blueMask) ||
              (frame.greenMask & frame.blueMask)))
        reason = "the frame's colour masks overlap";
    if (reason) {
        if (why) *why = reason;
        return false;
    }

    bits = frame.bits;
    red = MakeChannel(frame.redMask);
    green = MakeChannel(frame.greenMask);
    blue = MakeChannel(frame.blueMask);
    direct = false;
    textureFormat = SDL_PIXELFORMAT_ARGB8888;
    if (bits == 16 && Is565(frame) && rgb565Native) {
        direct = true;
        textureFormat = SDL_PIXELFORMAT_RGB565;
    } else if (bits == 32 && IsX888(frame)) {
        direct = true; // drawn without blending, so the unused top byte does not matter
    } else if (bits == 16) {
        uint32_t masks[3] = {frame.redMask, frame.greenMask, frame.blueMask};
        if (table16.empty() || std::memcmp(masks, table16Masks, sizeof masks) != 0) {
            table16.resize(65536);
            for (uint32_t p = 0; p < 65536; ++p) {
                table16[p] =
                    kOpaque | Expand(p, red) << 16 | Expand(p, green) << 8 | Expand(p, blue);
            }
            std::memcpy(table16Masks, masks, sizeof masks);
        }
    }
    return true;
}

void FrameConverter::Convert(const FrameView& frame, void* dst, int dstPitch) const {
    const auto* srcRow = static_cast<const uint8_t*>(frame.pixels);
    auto* dstRow = static_cast<uint8_t*>(dst);
    for (int y = 0; y < frame.height; ++y, srcRow += frame.pitch, dstRow += dstPitch) {
        auto* out = reinterpret_cast<uint32_t*>(dstRow);
        switch (bits) {
        case 8:
            for (int x = 0; x < frame.width; ++x) out[x] = kOpaque | frame.palette[srcRow[x]];
            break;
        case 16: {
            for (int x = 0; x < frame.width; ++x) {
                uint16_t p;
                std::memcpy(&p, srcRow + 2 * x, 2);
                out[x] = table16[p];
            }
            break;
        }
        case 24:
        case 32: {
            int bytes = bits / 8;
            for (int x = 0; x < frame.width; ++x) {
                const uint8_t* s = srcRow + bytes * x;
                uint32_t p = uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16;
                if (bytes == 4) p |= uint32_t(s[3]) << 24;
                out[x] = kOpaque | Expand(p, red) << 16 | Expand(p, green) << 8 | Expand(p, blue);
            }
            break;
        }
        }
    }
}

} // namespace tarn::platform
