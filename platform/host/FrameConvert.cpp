// The one frame converter of the hosts (see FrameConvert.h): checks a presented frame, picks
// the way its format is converted once per frame, then converts whole rows.
#include "host/FrameConvert.h"

#include <cstdio>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace tarn::platform {

bool FrameIs565(const FrameView& f) {
    return f.redMask == 0xF800 && f.greenMask == 0x07E0 && f.blueMask == 0x001F;
}
bool FrameIs555(const FrameView& f) {
    return f.redMask == 0x7C00 && f.greenMask == 0x03E0 && f.blueMask == 0x001F;
}
bool FrameIsX888(const FrameView& f) {
    return f.redMask == 0xFF0000 && f.greenMask == 0x00FF00 && f.blueMask == 0x0000FF;
}

namespace {

// A row of 5-6-5 (G6) or 5-5-5 pixels widened by arithmetic, eight at a time where the build
// has vector registers: a table of every 16-bit pixel is 256 KB, which the frame's varied
// pixels read all over, competing with the frame itself for the cache. `argb` picks the output
// order; `alpha` is the top byte of every pixel.
template <bool G6, bool Argb>
void WidenRow16(const uint8_t* src, uint32_t* out, int width, uint32_t alpha) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i five = _mm_set1_epi16(0x1F), six = _mm_set1_epi16(0x3F);
    const __m128i a = _mm_set1_epi16(static_cast<short>((alpha >> 24) << 8));
    for (; x + 8 <= width; x += 8) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * x));
        __m128i r = _mm_and_si128(_mm_srli_epi16(p, G6 ? 11 : 10), five);
        __m128i g = _mm_and_si128(_mm_srli_epi16(p, 5), G6 ? six : five);
        __m128i b = _mm_and_si128(p, five);
        r = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
        g = G6 ? _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4))
               : _mm_or_si128(_mm_slli_epi16(g, 3), _mm_srli_epi16(g, 2));
        b = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
        // The low half of each output pixel holds its first two bytes in memory, the high half
        // the third and the alpha.
        const __m128i low = _mm_or_si128(Argb ? b : r, _mm_slli_epi16(g, 8));
        const __m128i high = _mm_or_si128(Argb ? r : b, a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_unpacklo_epi16(low, high));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4), _mm_unpackhi_epi16(low, high));
    }
#elif defined(__wasm_simd128__)
    const v128_t five = wasm_i16x8_splat(0x1F), six = wasm_i16x8_splat(0x3F);
    const v128_t a = wasm_i16x8_splat(static_cast<short>((alpha >> 24) << 8));
    for (; x + 8 <= width; x += 8) {
        const v128_t p = wasm_v128_load(src + 2 * x);
        v128_t r = wasm_v128_and(wasm_u16x8_shr(p, G6 ? 11 : 10), five);
        v128_t g = wasm_v128_and(wasm_u16x8_shr(p, 5), G6 ? six : five);
        v128_t b = wasm_v128_and(p, five);
        r = wasm_v128_or(wasm_i16x8_shl(r, 3), wasm_u16x8_shr(r, 2));
        g = G6 ? wasm_v128_or(wasm_i16x8_shl(g, 2), wasm_u16x8_shr(g, 4))
               : wasm_v128_or(wasm_i16x8_shl(g, 3), wasm_u16x8_shr(g, 2));
        b = wasm_v128_or(wasm_i16x8_shl(b, 3), wasm_u16x8_shr(b, 2));
        const v128_t low = wasm_v128_or(Argb ? b : r, wasm_i16x8_shl(g, 8));
        const v128_t high = wasm_v128_or(Argb ? r : b, a);
        wasm_v128_store(out + x, wasm_i16x8_shuffle(low, high, 0, 8, 1, 9, 2, 10, 3, 11));
        wasm_v128_store(out + x + 4, wasm_i16x8_shuffle(low, high, 4, 12, 5, 13, 6, 14, 7, 15));
    }
#endif
    for (; x < width; ++x) {
        uint16_t p;
        std::memcpy(&p, src + 2 * x, 2);
        const uint32_t r = (p >> (G6 ? 11 : 10)) & 0x1F, b = p & 0x1F;
        const uint32_t g = G6 ? (p >> 5) & 0x3F : (p >> 5) & 0x1F;
        const uint32_t r8 = r << 3 | r >> 2, b8 = b << 3 | b >> 2;
        const uint32_t g8 = G6 ? (g << 2 | g >> 4) : (g << 3 | g >> 2);
        out[x] = Argb ? alpha | r8 << 16 | g8 << 8 | b8 : alpha | b8 << 16 | g8 << 8 | r8;
    }
}

} // namespace

bool FrameConverter::Prepare(const FrameView& frame, const char** why) {
    const char* reason = nullptr;
    const int frameBytes = frame.bits / 8;
    if (!frame.pixels)
        reason = "the frame has no pixels";
    else if (frame.bits != 8 && frame.bits != 16 && frame.bits != 24 && frame.bits != 32)
        reason = "the frame's depth is not 8, 16, 24 or 32 bits";
    else if (frame.width <= 0 || frame.height <= 0 || frame.width > 16384 || frame.height > 16384)
        reason = "the frame's size is out of range";
    else if (frame.pitch < frame.width * frameBytes)
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

    bytes = frameBytes;
    FrameView masks = frame;
    if (frame.bits > 8 && !frame.redMask && !frame.greenMask && !frame.blueMask) {
        const bool wide = frame.bits != 16;
        masks.redMask = wide ? 0xFF0000 : 0xF800;
        masks.greenMask = wide ? 0x00FF00 : 0x07E0;
        masks.blueMask = wide ? 0x0000FF : 0x001F;
    }
    red = ChannelOf(masks.redMask);
    green = ChannelOf(masks.greenMask);
    blue = ChannelOf(masks.blueMask);
    if (frame.bits == 8) {
        path = Path::Palette;
    } else if (frame.bits == 16 && FrameIs565(masks)) {
        path = Path::Widen565;
    } else if (frame.bits == 16 && FrameIs555(masks)) {
        path = Path::Widen555;
    } else if (frame.bits == 16) {
        path = Path::Table16;
        const uint32_t want[3] = {masks.redMask, masks.greenMask, masks.blueMask};
        if (table16.empty() || std::memcmp(want, table16Masks, sizeof want) != 0) {
            table16.resize(65536);
            for (uint32_t p = 0; p < 65536; ++p)
                table16[p] =
                    Compose(WidenChannel(p, red), WidenChannel(p, green), WidenChannel(p, blue));
            std::memcpy(table16Masks, want, sizeof want);
        }
    } else if (FrameIsX888(masks)) {
        path = Path::X888;
    } else {
        path = Path::Masked;
    }
    return true;
}

void FrameConverter::ConvertRow(const FrameView& frame, const uint8_t* src, uint32_t* out) const {
    const int width = frame.width;
    const bool argb = order == RgbOrder::Argb;
    switch (path) {
    case Path::Palette:
        for (int x = 0; x < width; ++x) {
            const uint32_t c = frame.palette[src[x]];
            out[x] =
                argb ? alpha | (c & 0xFFFFFF) : Compose(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF);
        }
        break;
    case Path::Widen565:
        argb ? WidenRow16<true, true>(src, out, width, alpha)
             : WidenRow16<true, false>(src, out, width, alpha);
        break;
    case Path::Widen555:
        argb ? WidenRow16<false, true>(src, out, width, alpha)
             : WidenRow16<false, false>(src, out, width, alpha);
        break;
    case Path::Table16:
        for (int x = 0; x < width; ++x) {
            uint16_t p;
            std::memcpy(&p, src + 2 * x, 2);
            out[x] = table16[p];
        }
        break;
    case Path::X888:
        if (argb && bytes == 4) {
            for (int x = 0; x < width; ++x) {
                uint32_t p;
                std::memcpy(&p, src + 4 * x, 4);
                out[x] = alpha | (p & 0xFFFFFF);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                const uint8_t* s = src + bytes * x;
                out[x] = Compose(s[2], s[1], s[0]);
            }
        }
        break;
    case Path::Masked:
        for (int x = 0; x < width; ++x) {
            const uint8_t* s = src + bytes * x;
            uint32_t p = uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16;
            if (bytes == 4) p |= uint32_t(s[3]) << 24;
            out[x] = Compose(WidenChannel(p, red), WidenChannel(p, green), WidenChannel(p, blue));
        }
        break;
    }
}

void FrameConverter::Convert(const FrameView& frame, void* dst, int dstPitch) const {
    const auto* srcRow = static_cast<const uint8_t*>(frame.pixels);
    auto* dstRow = static_cast<uint8_t*>(dst);
    for (int y = 0; y < frame.height; ++y, srcRow += frame.pitch, dstRow += dstPitch)
        ConvertRow(frame, srcRow, reinterpret_cast<uint32_t*>(dstRow));
}

// Keeps a copy of the frame's bytes, reusing the buffer while the size stays the same, so a
// presented frame costs one copy, as on a real display, and allocates nothing after the first.
void KeptFrame::Keep(const FrameView& frame) {
    const int bytes = (frame.bits + 7) / 8;
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0 || bytes < 1 || bytes > 4 ||
        frame.pitch < frame.width * bytes)
        return;
    const size_t rowBytes = (size_t)frame.width * (size_t)bytes;
    const size_t total = rowBytes * (size_t)frame.height;
    if (raw.size() != total) raw.assign(total, 0);
    const auto* base = static_cast<const uint8_t*>(frame.pixels);
    if ((size_t)frame.pitch == rowBytes) {
        std::memcpy(raw.data(), base, total);
    } else {
        for (int y = 0; y < frame.height; ++y)
            std::memcpy(raw.data() + (size_t)y * rowBytes, base + (size_t)y * (size_t)frame.pitch,
                        rowBytes);
    }
    view = frame;
    view.pixels = raw.data();
    view.pitch = (int)rowBytes;
    if (frame.bits <= 8 && frame.palette)
        std::memcpy(palette, frame.palette, sizeof palette);
    else if (frame.bits <= 8)
        for (uint32_t i = 0; i < 256; ++i) palette[i] = i * 0x010101u;
    view.palette = palette;
    converted = false;
}

void KeptFrame::Clear() {
    raw.clear();
    view = FrameView{};
    pixels.clear();
    converted = true;
}

// Converted once per kept frame that is looked at.
const std::vector<uint32_t>& KeptFrame::Pixels(int* width, int* height) const {
    if (!converted) {
        converted = true;
        const size_t count = (size_t)view.width * (size_t)view.height;
        if (pixels.size() != count) pixels.assign(count, 0);
        const char* why = nullptr;
        if (converter.Prepare(view, &why))
            converter.Convert(view, pixels.data(), view.width * 4);
        else
            std::fprintf(stderr, "tarn: a kept frame cannot be read: %s\n", why);
    }
    if (width) *width = view.width;
    if (height) *height = view.height;
    return pixels;
}

bool KeptFrame::WriteBmp(const std::string& path) const {
    int width = 0, height = 0;
    const std::vector<uint32_t>& frame = Pixels(&width, &height);
    if (frame.empty() || width <= 0 || height <= 0) return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const uint32_t rowBytes = ((uint32_t)width * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * (uint32_t)height;
    uint8_t header[54] = {};
    auto put16 = [&](int at, uint32_t v) {
        header[at] = (uint8_t)v;
        header[at + 1] = (uint8_t)(v >> 8);
    };
    auto put32 = [&](int at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, 54 + imageBytes);
    put32(10, 54);
    put32(14, 40);
    put32(18, (uint32_t)width);
    put32(22, (uint32_t)height); // positive: bottom-up rows
    put16(26, 1);
    put16(28, 24);
    put32(34, imageBytes);
    put32(38, 2835); // 72 dpi
    put32(42, 2835);
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    std::vector<uint8_t> row(rowBytes, 0);
    for (int y = height - 1; ok && y >= 0; --y) {
        const uint32_t* src = frame.data() + (size_t)y * (size_t)width;
        for (int x = 0; x < width; ++x) {
            row[(size_t)x * 3] = (uint8_t)src[x];
            row[(size_t)x * 3 + 1] = (uint8_t)(src[x] >> 8);
            row[(size_t)x * 3 + 2] = (uint8_t)(src[x] >> 16);
        }
        ok = std::fwrite(row.data(), 1, rowBytes, f) == rowBytes;
    }
    return std::fclose(f) == 0 && ok;
}

} // namespace tarn::platform
