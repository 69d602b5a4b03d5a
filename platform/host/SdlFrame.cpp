// Frame conversion for the SDL2 host: a frame in any of the display mode formats (8 bits with a
// palette, 16 bits 5-6-5 or 5-5-5, 24 and 32 bits with their masks) to ARGB8888 texture pixels.
// A channel narrower than 8 bits is widened by repeating its top bits, so white stays white.
// 5-6-5 and 5-5-5 are widened by arithmetic, other 16-bit masks through a table.
#include "host/SdlFrame.h"

#include <SDL.h>

#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarn::platform {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

bool Is565(const FrameView& f) {
    return f.redMask == 0xF800 && f.greenMask == 0x07E0 && f.blueMask == 0x001F;
}
bool Is555(const FrameView& f) {
    return f.redMask == 0x7C00 && f.greenMask == 0x03E0 && f.blueMask == 0x001F;
}
bool IsX888(const FrameView& f) {
    return f.redMask == 0xFF0000 && f.greenMask == 0x00FF00 && f.blueMask == 0x0000FF;
}

// One 5-6-5 (G6) or 5-5-5 pixel as ARGB8888, each channel widened by repeating its top bits.
template <bool G6> uint32_t Widen16(uint32_t p) {
    const uint32_t r = (p >> (G6 ? 11 : 10)) & 0x1F, b = p & 0x1F;
    const uint32_t g = G6 ? (p >> 5) & 0x3F : (p >> 5) & 0x1F;
    const uint32_t g8 = G6 ? (g << 2 | g >> 4) : (g << 3 | g >> 2);
    return kOpaque | (r << 3 | r >> 2) << 16 | g8 << 8 | (b << 3 | b >> 2);
}

// A row of 5-6-5 or 5-5-5 pixels to ARGB8888 by arithmetic, eight at a time where SSE2 is
// there: a table of every 16-bit pixel is 256 KB, which the frame's varied pixels read all
// over, competing with the frame itself for the cache.
template <bool G6> void WidenRow16(const uint8_t* src, uint32_t* out, int width) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i five = _mm_set1_epi16(0x1F), six = _mm_set1_epi16(0x3F);
    const __m128i alpha = _mm_set1_epi16(static_cast<short>(0xFF00));
    for (; x + 8 <= width; x += 8) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * x));
        __m128i r = _mm_and_si128(_mm_srli_epi16(p, G6 ? 11 : 10), five);
        __m128i g = _mm_and_si128(_mm_srli_epi16(p, 5), G6 ? six : five);
        __m128i b = _mm_and_si128(p, five);
        r = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
        g = G6 ? _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4))
               : _mm_or_si128(_mm_slli_epi16(g, 3), _mm_srli_epi16(g, 2));
        b = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
        // Memory order blue, green, red, alpha: the low half of each pixel is blue | green << 8,
        // the high half red | alpha << 8.
        const __m128i low = _mm_or_si128(b, _mm_slli_epi16(g, 8));
        const __m128i high = _mm_or_si128(r, alpha);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_unpacklo_epi16(low, high));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4), _mm_unpackhi_epi16(low, high));
    }
#endif
    for (; x < width; ++x) {
        uint16_t p;
        std::memcpy(&p, src + 2 * x, 2);
        out[x] = Widen16<G6>(p);
    }
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
    widen16 = 0;
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
    } else if (bits == 16 && (Is565(frame) || Is555(frame))) {
        widen16 = Is565(frame) ? 6 : 5; // by arithmetic, no table
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
            if (widen16 == 6) {
                WidenRow16<true>(srcRow, out, frame.width);
                break;
            }
            if (widen16 == 5) {
                WidenRow16<false>(srcRow, out, frame.width);
                break;
            }
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
