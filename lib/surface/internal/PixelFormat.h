// The one description of how a pixel of each depth code is addressed, read, written, blended and
// (for the direct-colour depths, in their standard layouts) made from red, green and blue:
// PixelFormat<8>, <15>, <16>, <24> and <32>. The per-depth pixel routines, the shapes, the sprite
// blends and their plain references are all written once over these traits, and WithPixelFormat
// picks the trait for a depth code once per call, never per pixel. Private to the surface code: not
// part of what a program includes.
//
// Pixels are stored little-endian at any byte address (a pitch need not be a multiple of
// anything), so every access wider than a byte goes through memcpy, which the compiler turns
// into one plain load or store without a misaligned pointer.
#pragma once

#include <windows.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "pixels are stored little-endian with native 16- and 32-bit accesses");

namespace pixel_format {

// Sixteen copies of `word` from `p` on: a fixed-size loop the compiler turns into wide vector
// stores, where it would not vectorise a loop of unknown length.
inline void StoreBlock(BYTE* p, uint32_t word) {
    for (int k = 0; k < 16; ++k) std::memcpy(p + 4 * k, &word, 4);
}

// Stores `count` copies of the 32-bit word `word` from `p` on. A run of at least sixteen goes in
// whole blocks, and its last partial block is stored as the run's final sixteen words, covering
// some words twice with the same value, instead of word by word.
inline void StoreWords(BYTE* p, uint32_t word, int count) {
    if (count >= 16) {
        BYTE* const end = p + 4 * static_cast<std::ptrdiff_t>(count);
        for (; end - p >= 64; p += 64) StoreBlock(p, word);
        if (p != end) StoreBlock(end - 64, word);
        return;
    }
    for (; count > 0; --count, p += 4) std::memcpy(p, &word, 4);
}

// One channel of a blend: d + floor((s - d) * alpha / 256), the floor taken by an arithmetic
// shift of the signed product. With alpha at most 256 the result stays between d and s, so it
// never leaves its field.
inline int MixChannel(int d, int s, int alpha) {
    return d + (((s - d) * alpha) >> 8);
}

// What every depth shares: the address of a pixel and whole-pixel loads and stores.
template <int Bytes> struct Storage {
    static constexpr int bytes = Bytes;

    // Pixel (x, y) of memory whose first row starts at `base`, rows `pitch` bytes apart.
    static BYTE* At(BYTE* base, long pitch, int x, int y) {
        return base + static_cast<std::ptrdiff_t>(y) * pitch +
               static_cast<std::ptrdiff_t>(x) * Bytes;
    }

    static DWORD Load(const BYTE* p) {
        if constexpr (Bytes == 1) {
            return *p;
        } else if constexpr (Bytes == 2) {
            uint16_t v;
            std::memcpy(&v, p, 2);
            return v;
        } else if constexpr (Bytes == 3) {
            uint16_t v;
            std::memcpy(&v, p, 2);
            return v | static_cast<DWORD>(p[2]) << 16;
        } else {
            uint32_t v;
            std::memcpy(&v, p, 4);
            return v;
        }
    }

    // The low `Bytes` bytes of `value`.
    static void Store(BYTE* p, DWORD value) {
        if constexpr (Bytes == 1) {
            *p = static_cast<BYTE>(value);
        } else if constexpr (Bytes == 2) {
            const uint16_t v = static_cast<uint16_t>(value);
            std::memcpy(p, &v, 2);
        } else if constexpr (Bytes == 3) {
            const uint16_t v = static_cast<uint16_t>(value);
            std::memcpy(p, &v, 2);
            p[2] = static_cast<BYTE>(value >> 16);
        } else {
            const uint32_t v = value;
            std::memcpy(p, &v, 4);
        }
    }

    // `count` copies of `value` from `p` on. Pixels of one and two bytes go as whole 32-bit words
    // of four or two pixels after the first count mod 4 (or mod 2) of them.
    static void Fill(BYTE* p, DWORD value, int count) {
        if constexpr (Bytes == 1) {
            const BYTE index = static_cast<BYTE>(value);
            for (int i = 0; i < count % 4; ++i) *p++ = index;
            StoreWords(p, index * 0x01010101u, count / 4);
        } else if constexpr (Bytes == 2) {
            const uint32_t pixel = value & 0xFFFFu;
            if (count % 2) {
                Store(p, pixel);
                p += 2;
            }
            StoreWords(p, pixel | pixel << 16, count / 2);
        } else if constexpr (Bytes == 3) {
            for (int i = 0; i < count; ++i, p += 3) Store(p, value);
        } else {
            StoreWords(p, value, count);
        }
    }
};

// A direct-colour depth: three channels at fixed shifts with fixed widths, blue at bit 0.
template <int Bytes, int RedShift, int GreenShift, DWORD RedMax, DWORD GreenMax, DWORD BlueMax>
struct Rgb : Storage<Bytes> {
    static constexpr bool mixes = true; // channels can be blended
    static constexpr int redShift = RedShift, greenShift = GreenShift;
    static constexpr DWORD redMax = RedMax, greenMax = GreenMax, blueMax = BlueMax;

    // `colour` over `dest` with weight `alpha` (0 to 256) per channel. Bits outside the three
    // channels come out zero: bit 15 of a 5-5-5 pixel, the top byte of a 32-bit one.
    static DWORD Blend(DWORD dest, DWORD colour, int alpha) {
        const int r = MixChannel(static_cast<int>((dest >> RedShift) & RedMax),
                                 static_cast<int>((colour >> RedShift) & RedMax), alpha);
        const int g = MixChannel(static_cast<int>((dest >> GreenShift) & GreenMax),
                                 static_cast<int>((colour >> GreenShift) & GreenMax), alpha);
        const int b =
            MixChannel(static_cast<int>(dest & BlueMax), static_cast<int>(colour & BlueMax), alpha);
        return static_cast<DWORD>(r) << RedShift | static_cast<DWORD>(g) << GreenShift |
               static_cast<DWORD>(b);
    }

    // Each 8-bit channel scaled down to its field: v * (max + 1) / 256.
    static DWORD FromRGB(BYTE r, BYTE g, BYTE b) {
        return (r * (RedMax + 1) >> 8) << RedShift | (g * (GreenMax + 1) >> 8) << GreenShift |
               (b * (BlueMax + 1) >> 8);
    }
};

// A palettised depth: an index cannot be mixed, so a blend stores the colour's index.
struct Indexed : Storage<1> {
    static constexpr bool mixes = false;
    static DWORD Blend(DWORD /*dest*/, DWORD colour, int /*alpha*/) { return colour & 0xFF; }
};

} // namespace pixel_format

/// The pixel-format trait of a depth code (8, 15 for 5-5-5, 16 for 5-6-5, 24, 32).
template <int Depth> struct PixelFormat;
template <> struct PixelFormat<8> : pixel_format::Indexed {};
template <> struct PixelFormat<15> : pixel_format::Rgb<2, 10, 5, 31, 31, 31> {};
template <> struct PixelFormat<16> : pixel_format::Rgb<2, 11, 5, 31, 63, 31> {};
template <> struct PixelFormat<24> : pixel_format::Rgb<3, 16, 8, 255, 255, 255> {};
template <> struct PixelFormat<32> : pixel_format::Rgb<4, 16, 8, 255, 255, 255> {};

/// Calls `fn(PixelFormat<D>{})` for the depth code `depth`: false (and no call) for a code
/// without a trait.
template <class Fn> bool WithPixelFormat(int depth, Fn&& fn) {
    switch (depth) {
    case 8:
        fn(PixelFormat<8>{});
        return true;
    case 15:
        fn(PixelFormat<15>{});
        return true;
    case 16:
        fn(PixelFormat<16>{});
        return true;
    case 24:
        fn(PixelFormat<24>{});
        return true;
    case 32:
        fn(PixelFormat<32>{});
        return true;
    default:
        return false;
    }
}
