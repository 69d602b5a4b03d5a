// TarnSurface's sprite calls: the source colour key, keyed and scaled copies (through DirectDraw,
// so the driver does them), constant-alpha and alpha-plane copies (our own code on the locked
// memory, surface/BlendRoutines.cpp), and the alpha plane itself. Every copy is clipped by
// ClipCopyRects as CopyTo is, except the scaled one, whose source is trimmed in proportion to what
// the destination's clip area cuts away.
#include "surface/TarnSurface.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "display/TarnScreen.h"
#include "surface/internal/BitmapTransfer.h"
#include "surface/internal/BlendRoutines.h"
#include "surface/internal/LostSurfaces.h"

namespace {

// The locked memory of `s` from pixel (x, y) on, w x h pixels.
PixelRect LockedRect(const TarnSurface& s, int x, int y, int w, int h, int bytes) {
    return PixelRect{static_cast<BYTE*>(s.surfaceDesc.lpSurface) +
                         static_cast<std::ptrdiff_t>(y) * s.surfaceDesc.lPitch +
                         static_cast<std::ptrdiff_t>(x) * bytes,
                     s.surfaceDesc.lPitch, w, h};
}

// One axis of a scaled copy: the source span [s0, s1) drawn over the destination span [d0, d1),
// destination pixel i showing source pixel s0 + i * sw / dw, as DirectDraw samples. Spans are at
// most MAX_STRETCH long, so no product here leaves 64 bits.
struct Span {
    int64_t s0, s1, d0, d1;
};
const int64_t MAX_STRETCH = int64_t{1} << 24;

int64_t CeilDiv(int64_t a, int64_t b) {
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

// Keeps the destination pixels [first, end) (counted from d0) and the source pixels they show.
bool KeepDestPixels(Span* a, int64_t first, int64_t end) {
    const int64_t sw = a->s1 - a->s0, dw = a->d1 - a->d0;
    if (first < 0) first = 0;
    if (end > dw) end = dw;
    if (first >= end) return false;
    if (first == 0 && end == dw) return true; // nothing cut: the spans stay as they are
    const int64_t s0 = a->s0 + first * sw / dw;
    const int64_t s1 = a->s0 + (end - 1) * sw / dw + 1;
    a->d1 = a->d0 + end;
    a->d0 += first;
    a->s0 = s0;
    a->s1 = s1;
    return true;
}

// Keeps what shows source pixels inside [low, high): pixel i shows one at or after s0 + c while
// i * sw >= c * dw.
bool ClipSourceSpan(Span* a, int64_t low, int64_t high) {
    if (a->s0 >= high || a->s1 <= low) return false;
    const int64_t sw = a->s1 - a->s0, dw = a->d1 - a->d0;
    const int64_t first = a->s0 < low ? CeilDiv((low - a->s0) * dw, sw) : 0;
    const int64_t end = a->s1 > high ? CeilDiv((high - a->s0) * dw, sw) : dw;
    return KeepDestPixels(a, first, end);
}

// Keeps the destination pixels inside [low, high).
bool ClipDestSpan(Span* a, int64_t low, int64_t high) {
    if (a->d0 >= high || a->d1 <= low) return false;
    return KeepDestPixels(a, low - a->d0, high - a->d0);
}

// Locks both surfaces of a software copy (nesting with their callers' locks); on failure nothing
// stays locked and the lock's result is returned.
int LockPair(TarnSurface* source, TarnSurface* dest) {
    int locked = source->Lock();
    if (locked < 1) return locked;
    locked = dest->Lock();
    if (locked < 1) {
        source->Unlock();
        return locked;
    }
    return 0;
}

} // namespace

HRESULT TarnSurface::SetColourKey(DWORD colour) {
    if (surface == nullptr) return -1;
    DDCOLORKEY key = {colour, colour};
    const HRESULT hr = surface->SetColorKey(DDCKEY_SRCBLT, &key);
    if (FAILED(hr)) return hr;
    colourKey = colour;
    hasColourKey = TRUE;
    return hr;
}

// Each channel keeps its top bits, as pictures are converted into the surface; at 8 bits the
// nearest colour of the surface's palette (else the screen's, else the fixed 3-3-2 one).
DWORD TarnSurface::MapRGB(BYTE r, BYTE g, BYTE b) {
    if (surface == nullptr) return 0;
    if (pixelLayout.depth == 8) {
        PALETTEENTRY entries[256];
        IDirectDrawPalette* palette = nullptr;
        if (FAILED(surface->GetPalette(&palette)) || palette == nullptr) {
            palette = screen != nullptr ? screen->palette : nullptr;
            if (palette != nullptr) palette->AddRef();
        }
        if (palette == nullptr || FAILED(palette->GetEntries(0, 0, 256, entries)))
            FillDefaultPalette(entries);
        if (palette != nullptr) palette->Release();
        DWORD best = 0;
        long bestDistance = -1;
        for (DWORD i = 0; i < 256; ++i) {
            const long dr = entries[i].peRed - r, dg = entries[i].peGreen - g,
                       db = entries[i].peBlue - b;
            const long distance = dr * dr + dg * dg + db * db;
            if (bestDistance < 0 || distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
        return best;
    }
    auto channel = [](BYTE value, BYTE max, BYTE shift) {
        return ((static_cast<DWORD>(value) * (max + 1u)) >> 8) << shift;
    };
    return channel(r, pixelLayout.redMax, pixelLayout.redShift) |
           channel(g, pixelLayout.greenMax, pixelLayout.greenShift) |
           channel(b, pixelLayout.blueMax, pixelLayout.blueShift);
}

HRESULT TarnSurface::SetColourKeyRGB(BYTE r, BYTE g, BYTE b) {
    if (surface == nullptr) return -1;
    if (pixelLayout.depth == 0) return DDERR_INVALIDPIXELFORMAT;
    return SetColourKey(MapRGB(r, g, b));
}

HRESULT TarnSurface::ClearColourKey() {
    if (surface == nullptr) return -1;
    const HRESULT hr = surface->SetColorKey(DDCKEY_SRCBLT, nullptr);
    if (SUCCEEDED(hr)) hasColourKey = FALSE;
    return hr;
}

// A surface that came back without its key (made anew by its screen) gets it again.
HRESULT TarnSurface::CopyKeyedTo(TarnSurface* dest, int x, int y, const RECT* srcRect) {
    if (!hasColourKey) return CopyTo(dest, x, y, srcRect);
    if (surface == nullptr || dest == nullptr || dest->surface == nullptr) return -1;
    RECT rect = srcRect != nullptr ? *srcRect : RECT{0, 0, width, height};
    if (!ClipCopyRects(dest, &x, &y, &rect)) return 0;
    const DWORD flags = DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT;
    const DWORD dx = static_cast<DWORD>(x), dy = static_cast<DWORD>(y);
    return DrawRestoringLost(this, dest, [&] {
        HRESULT hr = dest->surface->BltFast(dx, dy, surface, &rect, flags);
        if (hr == DDERR_NOCOLORKEY && SUCCEEDED(SetColourKey(colourKey)))
            hr = dest->surface->BltFast(dx, dy, surface, &rect, flags);
        return hr;
    });
}

BOOL TarnSurface::ClipScaledRects(const RECT& srcArea, const RECT& destArea, RECT* srcRect,
                                  RECT* destRect) {
    const RECT s = *srcRect, d = *destRect;
    if (s.right <= s.left || s.bottom <= s.top || d.right <= d.left || d.bottom <= d.top)
        return FALSE;
    for (int64_t length : {int64_t{s.right} - s.left, int64_t{s.bottom} - s.top,
                           int64_t{d.right} - d.left, int64_t{d.bottom} - d.top})
        if (length > MAX_STRETCH) return FALSE;
    Span h = {s.left, s.right, d.left, d.right};
    Span v = {s.top, s.bottom, d.top, d.bottom};
    if (!ClipSourceSpan(&h, srcArea.left, srcArea.right) ||
        !ClipSourceSpan(&v, srcArea.top, srcArea.bottom) ||
        !ClipDestSpan(&h, destArea.left, destArea.right) ||
        !ClipDestSpan(&v, destArea.top, destArea.bottom))
        return FALSE;
    *srcRect = {static_cast<LONG>(h.s0), static_cast<LONG>(v.s0), static_cast<LONG>(h.s1),
                static_cast<LONG>(v.s1)};
    *destRect = {static_cast<LONG>(h.d0), static_cast<LONG>(v.d0), static_cast<LONG>(h.d1),
                 static_cast<LONG>(v.d1)};
    return TRUE;
}

HRESULT TarnSurface::StretchTo(TarnSurface* dest, const RECT* destRect, const RECT* srcRect,
                               DWORD flags) {
    if (surface == nullptr || dest == nullptr || dest->surface == nullptr) return -1;
    if ((flags & ~TARN_COPY_KEYED) != 0) return DDERR_INVALIDPARAMS;
    const RECT s = srcRect != nullptr ? *srcRect : RECT{0, 0, width, height};
    const RECT d = destRect != nullptr ? *destRect : RECT{0, 0, dest->width, dest->height};
    if (s.right <= s.left || s.bottom <= s.top || d.right <= d.left || d.bottom <= d.top) return 0;
    for (int64_t length : {int64_t{s.right} - s.left, int64_t{s.bottom} - s.top,
                           int64_t{d.right} - d.left, int64_t{d.bottom} - d.top})
        if (length > MAX_STRETCH) return DDERR_INVALIDRECT;
    RECT from = s, to = d;
    if (!ClipScaledRects(clipArea, dest->clipArea, &from, &to)) return 0;
    const bool keyed = (flags & TARN_COPY_KEYED) != 0 && hasColourKey;
    const DWORD bltFlags = DDBLT_WAIT | (keyed ? DDBLT_KEYSRC : 0);
    return DrawRestoringLost(this, dest, [&] {
        HRESULT hr = dest->surface->Blt(&to, surface, &from, bltFlags, nullptr);
        if (hr == DDERR_NOCOLORKEY && keyed && SUCCEEDED(SetColourKey(colourKey)))
            hr = dest->surface->Blt(&to, surface, &from, bltFlags, nullptr);
        return hr;
    });
}

namespace {

// What BlendTo and AlphaBlendTo share: the checks, the clipping, the locks (which restore a lost
// surface themselves; one still lost after them is restored and the copy made once more, as for
// every copy); `blend` does the pixels of the clipped rectangles.
template <class Blend>
int SoftwareCopy(TarnSurface* source, TarnSurface* dest, int x, int y, const RECT* srcRect,
                 Blend blend) {
    if (source->surface == nullptr || dest == nullptr || dest->surface == nullptr) return -1;
    const int depth = source->pixelLayout.depth;
    const int bytes = BytesPerPixel(depth);
    if (bytes == 0 || dest->pixelLayout.depth != depth) return DDERR_INVALIDPIXELFORMAT;
    if (dest == source) return DDERR_INVALIDPARAMS; // rows would be read after being written
    RECT rect = srcRect != nullptr ? *srcRect : RECT{0, 0, source->width, source->height};
    if (!source->ClipCopyRects(dest, &x, &y, &rect)) return 0;
    return DrawRestoringLost(source, dest, [&] {
        const int failure = LockPair(source, dest);
        if (failure != 0) return static_cast<HRESULT>(failure);
        const int w = rect.right - rect.left, h = rect.bottom - rect.top;
        blend(depth, LockedRect(*dest, x, y, w, h, bytes),
              LockedRect(*source, rect.left, rect.top, w, h, bytes), rect);
        dest->Unlock();
        source->Unlock();
        return static_cast<HRESULT>(0);
    });
}

} // namespace

int TarnSurface::BlendTo(TarnSurface* dest, int x, int y, const RECT* srcRect, WORD alpha) {
    const SourceKey key = {hasColourKey != FALSE, colourKey};
    return SoftwareCopy(this, dest, x, y, srcRect,
                        [&](int depth, const PixelRect& to, const PixelRect& from, const RECT&) {
                            BlendRect(depth, to, from, alpha, key);
                        });
}

// The plane is looked up once both surfaces are locked: a lock that restores a lost picture
// reloads it, and with it a plane of its own.
int TarnSurface::AlphaBlendTo(TarnSurface* dest, int x, int y, const RECT* srcRect) {
    if (HasAlpha() == 0) return CopyTo(dest, x, y, srcRect);
    const SourceKey none = {false, 0};
    return SoftwareCopy(this, dest, x, y, srcRect,
                        [&](int depth, const PixelRect& to, const PixelRect& from, const RECT& r) {
                            if (HasAlpha() == 0) { // the reloaded picture has none: opaque
                                BlendRect(depth, to, from, 256, none);
                                return;
                            }
                            const PixelRect weights = {
                                alphaPlane + static_cast<std::ptrdiff_t>(r.top) * width + r.left,
                                width, from.width, from.height};
                            AlphaRect(depth, to, from, weights);
                        });
}

// A plane is only used while it is the surface's size (a picture reloaded under another name
// may have brought one of its own size).
int TarnSurface::HasAlpha() {
    return alphaPlane != nullptr && width > 0 && height > 0 && alphaWidth == width &&
                   alphaHeight == height
               ? 1
               : 0;
}

// A plane of the surface's size already held is filled where it is; otherwise a new one is
// allocated (without throwing) before the old one goes, so a failure loses nothing.
int TarnSurface::SetAlphaPlane(const BYTE* rows, long pitch, int w, int h) {
    if (rows == nullptr) {
        std::free(alphaPlane);
        alphaPlane = nullptr;
        alphaWidth = alphaHeight = 0;
        return 0;
    }
    if (w != width || h != height || w <= 0 || h <= 0) return -1;
    const bool reuse = alphaPlane != nullptr && alphaWidth == w && alphaHeight == h;
    BYTE* plane =
        reuse ? alphaPlane
              : static_cast<BYTE*>(std::malloc(static_cast<size_t>(w) * static_cast<size_t>(h)));
    if (plane == nullptr) return -1;
    for (int y = 0; y < h; ++y) {
        const BYTE* in = rows + static_cast<std::ptrdiff_t>(y) * pitch + 3;
        BYTE* out = plane + static_cast<size_t>(y) * static_cast<size_t>(w);
        for (int x = 0; x < w; ++x) out[x] = in[4 * x];
    }
    if (!reuse) {
        std::free(alphaPlane);
        alphaPlane = plane;
        alphaWidth = w;
        alphaHeight = h;
    }
    return 0;
}
