// The per-depth drawing routines of TarnSurface: plot, blend, read, vertical and horizontal line
// for 8-, 15/16-, 24- and 32-bit surfaces. SelectPixelRoutines puts the ones that match the
// surface's depth code into its five slots once, so no routine tests the depth per pixel.
//
// Every routine works straight on the locked pixel memory: pixel (x, y) lies at
// surfaceDesc.lpSurface + y * surfaceDesc.lPitch + x * (bytes per pixel), stored little-endian,
// and all drawing is clipped against clipArea (right and bottom exclusive). Rows may start at any
// byte address (a pitch need not be a multiple of anything), so every store wider than a byte goes
// through memcpy, which the compiler turns into one plain store without a misaligned pointer.
// A surface that was never locked (no pixel address) is left alone, and a read outside the
// surface returns 0 instead of reading memory that is not the surface's.
#include "surface/TarnSurface.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "pixels are stored little-endian with native 16- and 32-bit stores");

namespace {

// Address of pixel (x, y) of a locked surface with `bytes` bytes per pixel.
inline BYTE* PixelAt(const DDSURFACEDESC2& desc, int x, int y, int bytes) {
    return static_cast<BYTE*>(desc.lpSurface) + static_cast<std::ptrdiff_t>(y) * desc.lPitch +
           static_cast<std::ptrdiff_t>(x) * bytes;
}

inline bool InsideClip(const RECT& clip, int x, int y) {
    return x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
}

// Orders the two ends of a line and clips them to [low, high): false when nothing is left.
inline bool ClipSpan(int a, int b, LONG low, LONG high, int* first, int* last) {
    const int from = a < b ? a : b;
    const int to = a < b ? b : a;
    if (from >= high || to < low) return false;
    *first = from < low ? low : from;
    *last = to >= high ? high - 1 : to;
    return *first <= *last; // an inverted clip area leaves nothing
}

inline void Store16(BYTE* p, DWORD value) {
    const uint16_t v = static_cast<uint16_t>(value);
    std::memcpy(p, &v, 2);
}

inline void Store24(BYTE* p, DWORD value) {
    Store16(p, value);
    p[2] = static_cast<BYTE>(value >> 16);
}

inline void Store32(BYTE* p, DWORD value) {
    const uint32_t v = value;
    std::memcpy(p, &v, 4);
}

inline DWORD Load16(const BYTE* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline DWORD Load24(const BYTE* p) {
    return Load16(p) | static_cast<DWORD>(p[2]) << 16;
}

inline DWORD Load32(const BYTE* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

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

// Alpha above 256 would push a channel past its field into its neighbour: treat it as 256.
inline int ClampAlpha(WORD alpha) {
    return alpha > 256 ? 256 : alpha;
}

// Blends `colour` into `dest`, both RGB values whose channels sit at the given shifts with the
// given widths. Bits outside the three channels come out zero.
inline DWORD BlendRGB(DWORD dest, DWORD colour, int alpha, int redShift, int greenShift,
                      DWORD redMax, DWORD greenMax, DWORD blueMax) {
    const int r = MixChannel(static_cast<int>((dest >> redShift) & redMax),
                             static_cast<int>((colour >> redShift) & redMax), alpha);
    const int g = MixChannel(static_cast<int>((dest >> greenShift) & greenMax),
                             static_cast<int>((colour >> greenShift) & greenMax), alpha);
    const int b =
        MixChannel(static_cast<int>(dest & blueMax), static_cast<int>(colour & blueMax), alpha);
    return static_cast<DWORD>(r) << redShift | static_cast<DWORD>(g) << greenShift |
           static_cast<DWORD>(b);
}

} // namespace

// ---- plot ----

int TarnSurface::PlotPixel8(int x, int y, DWORD colour) {
    if (!surfaceDesc.lpSurface || !InsideClip(clipArea, x, y)) return 0;
    *PixelAt(surfaceDesc, x, y, 1) = static_cast<BYTE>(colour);
    return 0;
}

int TarnSurface::PlotPixel16(int x, int y, DWORD colour) {
    if (!surfaceDesc.lpSurface || !InsideClip(clipArea, x, y)) return 0;
    Store16(PixelAt(surfaceDesc, x, y, 2), colour);
    return 0;
}

int TarnSurface::PlotPixel24(int x, int y, DWORD colour) {
    if (!surfaceDesc.lpSurface || !InsideClip(clipArea, x, y)) return 0;
    Store24(PixelAt(surfaceDesc, x, y, 3), colour);
    return 0;
}

int TarnSurface::PlotPixel32(int x, int y, DWORD colour) {
    if (!surfaceDesc.lpSurface || !InsideClip(clipArea, x, y)) return 0;
    Store32(PixelAt(surfaceDesc, x, y, 4), colour);
    return 0;
}

// ---- blend ----

// Palette indices cannot be mixed: the colour index is stored whatever alpha is.
int TarnSurface::BlendPixel8(int x, int y, DWORD colour, WORD /*alpha*/) {
    return PlotPixel8(x, y, colour);
}

// 5-5-5: the stored pixel has bit 15 clear, whatever the destination held there.
int TarnSurface::BlendPixel555(int x, int y, DWORD colour, WORD alpha) {
    if (!surfaceDesc.lpSurface || !InsideClip(clipArea, x, y)) return 0;
    BYTE* p = PixelAt(surfaceDesc, x, y, 2);
    Store16(p, BlendRGB(Load16(p), colour, ClampAlpha(alpha), 10, 5, 31, 31, 31));
    return 0;
}

int TarnSurface::BlendPixel565(int x, int y, DWORD colour, WORD alpha) {
    if (!surfaceDesc.lpSurface || !InsideClip(clipArea, x, y)) return 0;
    BYTE* p = PixelAt(surfaceDesc, x, y, 2);
    Store16(p, BlendRGB(Load16(p), colour, ClampAlpha(alpha), 11, 5, 31, 63, 31));
    return 0;
}

int TarnSurface::BlendPixel24(int x, int y, DWORD colour, WORD alpha) {
    if (!surfaceDesc.lpSurface || !InsideClip(clipArea, x, y)) return 0;
    BYTE* p = PixelAt(surfaceDesc, x, y, 3);
    Store24(p, BlendRGB(Load24(p), colour, ClampAlpha(alpha), 16, 8, 255, 255, 255));
    return 0;
}

// The stored pixel has its top byte zero, whatever the destination held there.
int TarnSurface::BlendPixel32(int x, int y, DWORD colour, WORD alpha) {
    if (!surfaceDesc.lpSurface || !InsideClip(clipArea, x, y)) return 0;
    BYTE* p = PixelAt(surfaceDesc, x, y, 4);
    Store32(p, BlendRGB(Load32(p), colour, ClampAlpha(alpha), 16, 8, 255, 255, 255));
    return 0;
}

// ---- read ----
// No clip test: any pixel of the surface may be read, inside the clip area or not. A position
// outside the surface reads as 0 rather than touching memory that is not the surface's.

DWORD TarnSurface::ReadPixel8(int x, int y) {
    if (!surfaceDesc.lpSurface || x < 0 || x >= width || y < 0 || y >= height) return 0;
    return *PixelAt(surfaceDesc, x, y, 1);
}

DWORD TarnSurface::ReadPixel16(int x, int y) {
    if (!surfaceDesc.lpSurface || x < 0 || x >= width || y < 0 || y >= height) return 0;
    return Load16(PixelAt(surfaceDesc, x, y, 2));
}

DWORD TarnSurface::ReadPixel24(int x, int y) {
    if (!surfaceDesc.lpSurface || x < 0 || x >= width || y < 0 || y >= height) return 0;
    return Load24(PixelAt(surfaceDesc, x, y, 3));
}

DWORD TarnSurface::ReadPixel32(int x, int y) {
    if (!surfaceDesc.lpSurface || x < 0 || x >= width || y < 0 || y >= height) return 0;
    return Load32(PixelAt(surfaceDesc, x, y, 4));
}

// ---- vertical lines: (y1, y2, x); both ends belong to the line, drawn from the top down ----

int TarnSurface::VertLine8(int y1, int y2, int x, DWORD colour) {
    int top, bottom;
    if (!surfaceDesc.lpSurface || x < clipArea.left || x >= clipArea.right ||
        !ClipSpan(y1, y2, clipArea.top, clipArea.bottom, &top, &bottom))
        return 0;
    BYTE* p = PixelAt(surfaceDesc, x, top, 1);
    for (int y = top; y <= bottom; ++y, p += surfaceDesc.lPitch) *p = static_cast<BYTE>(colour);
    return 0;
}

int TarnSurface::VertLine16(int y1, int y2, int x, DWORD colour) {
    int top, bottom;
    if (!surfaceDesc.lpSurface || x < clipArea.left || x >= clipArea.right ||
        !ClipSpan(y1, y2, clipArea.top, clipArea.bottom, &top, &bottom))
        return 0;
    BYTE* p = PixelAt(surfaceDesc, x, top, 2);
    for (int y = top; y <= bottom; ++y, p += surfaceDesc.lPitch) Store16(p, colour);
    return 0;
}

int TarnSurface::VertLine24(int y1, int y2, int x, DWORD colour) {
    int top, bottom;
    if (!surfaceDesc.lpSurface || x < clipArea.left || x >= clipArea.right ||
        !ClipSpan(y1, y2, clipArea.top, clipArea.bottom, &top, &bottom))
        return 0;
    BYTE* p = PixelAt(surfaceDesc, x, top, 3);
    for (int y = top; y <= bottom; ++y, p += surfaceDesc.lPitch) Store24(p, colour);
    return 0;
}

int TarnSurface::VertLine32(int y1, int y2, int x, DWORD colour) {
    int top, bottom;
    if (!surfaceDesc.lpSurface || x < clipArea.left || x >= clipArea.right ||
        !ClipSpan(y1, y2, clipArea.top, clipArea.bottom, &top, &bottom))
        return 0;
    BYTE* p = PixelAt(surfaceDesc, x, top, 4);
    for (int y = top; y <= bottom; ++y, p += surfaceDesc.lPitch) Store32(p, colour);
    return 0;
}

// ---- horizontal lines: (x1, x2, y); both ends belong to the line ----

// The first n mod 4 pixels one byte at a time, then four pixels per 32-bit word.
int TarnSurface::HorzLine8(int x1, int x2, int y, DWORD colour) {
    int left, right;
    if (!surfaceDesc.lpSurface || y < clipArea.top || y >= clipArea.bottom ||
        !ClipSpan(x1, x2, clipArea.left, clipArea.right, &left, &right))
        return 0;
    BYTE* p = PixelAt(surfaceDesc, left, y, 1);
    const int n = right - left + 1;
    const BYTE index = static_cast<BYTE>(colour);
    for (int i = 0; i < n % 4; ++i) *p++ = index;
    StoreWords(p, index * 0x01010101u, n / 4);
    return 0;
}

// The first n mod 2 pixels as one 16-bit value, then two pixels per 32-bit word.
int TarnSurface::HorzLine16(int x1, int x2, int y, DWORD colour) {
    int left, right;
    if (!surfaceDesc.lpSurface || y < clipArea.top || y >= clipArea.bottom ||
        !ClipSpan(x1, x2, clipArea.left, clipArea.right, &left, &right))
        return 0;
    BYTE* p = PixelAt(surfaceDesc, left, y, 2);
    const int n = right - left + 1;
    const uint32_t pixel = colour & 0xFFFFu;
    if (n % 2) {
        Store16(p, pixel);
        p += 2;
    }
    StoreWords(p, pixel | pixel << 16, n / 2);
    return 0;
}

int TarnSurface::HorzLine24(int x1, int x2, int y, DWORD colour) {
    int left, right;
    if (!surfaceDesc.lpSurface || y < clipArea.top || y >= clipArea.bottom ||
        !ClipSpan(x1, x2, clipArea.left, clipArea.right, &left, &right))
        return 0;
    BYTE* p = PixelAt(surfaceDesc, left, y, 3);
    for (int x = left; x <= right; ++x, p += 3) Store24(p, colour);
    return 0;
}

int TarnSurface::HorzLine32(int x1, int x2, int y, DWORD colour) {
    int left, right;
    if (!surfaceDesc.lpSurface || y < clipArea.top || y >= clipArea.bottom ||
        !ClipSpan(x1, x2, clipArea.left, clipArea.right, &left, &right))
        return 0;
    StoreWords(PixelAt(surfaceDesc, left, y, 4), colour, right - left + 1);
    return 0;
}
