// The per-depth drawing routines of TarnSurface: plot, blend, read, vertical and horizontal line
// for 8-, 15/16-, 24- and 32-bit surfaces. SelectPixelRoutines puts the ones that match the
// surface's depth code into its five slots once, so no routine tests the depth per pixel. Each
// routine is one instance of a template over the depth's pixel-format trait (PixelFormat.h).
//
// Every routine works straight on the locked pixel memory, pixel (x, y) at
// surfaceDesc.lpSurface + y * surfaceDesc.lPitch + x * (bytes per pixel), and all drawing is
// clipped against clipArea (right and bottom exclusive). A surface that was never locked (no
// pixel address) is left alone, and a read outside the surface returns 0 instead of reading
// memory that is not the surface's.
#include "surface/internal/PixelFormat.h"
#include "surface/TarnSurface.h"

namespace {

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

template <class F> inline BYTE* PixelAt(const DDSURFACEDESC2& desc, int x, int y) {
    return F::At(static_cast<BYTE*>(desc.lpSurface), desc.lPitch, x, y);
}

template <class F> void Plot(const DDSURFACEDESC2& desc, const RECT& clip, int x, int y, DWORD c) {
    if (!desc.lpSurface || !InsideClip(clip, x, y)) return;
    F::Store(PixelAt<F>(desc, x, y), c);
}

// Alpha above 256 would push a channel past its field into its neighbour: it counts as 256.
template <class F>
void Blend(const DDSURFACEDESC2& desc, const RECT& clip, int x, int y, DWORD c, WORD alpha) {
    if (!desc.lpSurface || !InsideClip(clip, x, y)) return;
    BYTE* p = PixelAt<F>(desc, x, y);
    F::Store(p, F::Blend(F::Load(p), c, alpha > 256 ? 256 : alpha));
}

// No clip test: any pixel of the surface may be read, inside the clip area or not.
template <class F> DWORD Read(const DDSURFACEDESC2& desc, int width, int height, int x, int y) {
    if (!desc.lpSurface || x < 0 || x >= width || y < 0 || y >= height) return 0;
    return F::Load(PixelAt<F>(desc, x, y));
}

// Both ends belong to the line, drawn from the top down.
template <class F>
void Vert(const DDSURFACEDESC2& desc, const RECT& clip, int y1, int y2, int x, DWORD c) {
    int top, bottom;
    if (!desc.lpSurface || x < clip.left || x >= clip.right ||
        !ClipSpan(y1, y2, clip.top, clip.bottom, &top, &bottom))
        return;
    BYTE* p = PixelAt<F>(desc, x, top);
    for (int y = top; y <= bottom; ++y, p += desc.lPitch) F::Store(p, c);
}

// Both ends belong to the line.
template <class F>
void Horz(const DDSURFACEDESC2& desc, const RECT& clip, int x1, int x2, int y, DWORD c) {
    int left, right;
    if (!desc.lpSurface || y < clip.top || y >= clip.bottom ||
        !ClipSpan(x1, x2, clip.left, clip.right, &left, &right))
        return;
    F::Fill(PixelAt<F>(desc, left, y), c, right - left + 1);
}

using F8 = PixelFormat<8>;
using F555 = PixelFormat<15>;
using F565 = PixelFormat<16>;
using F24 = PixelFormat<24>;
using F32 = PixelFormat<32>;

} // namespace

// ---- plot (5-5-5 and 5-6-5 store alike) ----

int TarnSurface::PlotPixel8(int x, int y, DWORD colour) {
    Plot<F8>(surfaceDesc, clipArea, x, y, colour);
    return 0;
}

int TarnSurface::PlotPixel16(int x, int y, DWORD colour) {
    Plot<F565>(surfaceDesc, clipArea, x, y, colour);
    return 0;
}

int TarnSurface::PlotPixel24(int x, int y, DWORD colour) {
    Plot<F24>(surfaceDesc, clipArea, x, y, colour);
    return 0;
}

int TarnSurface::PlotPixel32(int x, int y, DWORD colour) {
    Plot<F32>(surfaceDesc, clipArea, x, y, colour);
    return 0;
}

// ---- blend ----

// Palette indices cannot be mixed: the colour index is stored whatever alpha is.
int TarnSurface::BlendPixel8(int x, int y, DWORD colour, WORD alpha) {
    Blend<F8>(surfaceDesc, clipArea, x, y, colour, alpha);
    return 0;
}

// 5-5-5: the stored pixel has bit 15 clear, whatever the destination held there.
int TarnSurface::BlendPixel555(int x, int y, DWORD colour, WORD alpha) {
    Blend<F555>(surfaceDesc, clipArea, x, y, colour, alpha);
    return 0;
}

int TarnSurface::BlendPixel565(int x, int y, DWORD colour, WORD alpha) {
    Blend<F565>(surfaceDesc, clipArea, x, y, colour, alpha);
    return 0;
}

int TarnSurface::BlendPixel24(int x, int y, DWORD colour, WORD alpha) {
    Blend<F24>(surfaceDesc, clipArea, x, y, colour, alpha);
    return 0;
}

// The stored pixel has its top byte zero, whatever the destination held there.
int TarnSurface::BlendPixel32(int x, int y, DWORD colour, WORD alpha) {
    Blend<F32>(surfaceDesc, clipArea, x, y, colour, alpha);
    return 0;
}

// ---- read ----

DWORD TarnSurface::ReadPixel8(int x, int y) {
    return Read<F8>(surfaceDesc, width, height, x, y);
}

DWORD TarnSurface::ReadPixel16(int x, int y) {
    return Read<F565>(surfaceDesc, width, height, x, y);
}

DWORD TarnSurface::ReadPixel24(int x, int y) {
    return Read<F24>(surfaceDesc, width, height, x, y);
}

DWORD TarnSurface::ReadPixel32(int x, int y) {
    return Read<F32>(surfaceDesc, width, height, x, y);
}

// ---- vertical lines: (y1, y2, x) ----

int TarnSurface::VertLine8(int y1, int y2, int x, DWORD colour) {
    Vert<F8>(surfaceDesc, clipArea, y1, y2, x, colour);
    return 0;
}

int TarnSurface::VertLine16(int y1, int y2, int x, DWORD colour) {
    Vert<F565>(surfaceDesc, clipArea, y1, y2, x, colour);
    return 0;
}

int TarnSurface::VertLine24(int y1, int y2, int x, DWORD colour) {
    Vert<F24>(surfaceDesc, clipArea, y1, y2, x, colour);
    return 0;
}

int TarnSurface::VertLine32(int y1, int y2, int x, DWORD colour) {
    Vert<F32>(surfaceDesc, clipArea, y1, y2, x, colour);
    return 0;
}

// ---- horizontal lines: (x1, x2, y) ----

int TarnSurface::HorzLine8(int x1, int x2, int y, DWORD colour) {
    Horz<F8>(surfaceDesc, clipArea, x1, x2, y, colour);
    return 0;
}

int TarnSurface::HorzLine16(int x1, int x2, int y, DWORD colour) {
    Horz<F565>(surfaceDesc, clipArea, x1, x2, y, colour);
    return 0;
}

int TarnSurface::HorzLine24(int x1, int x2, int y, DWORD colour) {
    Horz<F24>(surfaceDesc, clipArea, x1, x2, y, colour);
    return 0;
}

int TarnSurface::HorzLine32(int x1, int x2, int y, DWORD colour) {
    Horz<F32>(surfaceDesc, clipArea, x1, x2, y, colour);
    return 0;
}
