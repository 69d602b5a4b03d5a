// Where GDI meets DirectDraw inside the stand-in: a device context handed out by a surface draws
// straight into that surface's memory, described by a PixelTarget that GDI asks for at every
// drawing call (a surface's memory moves when its chain flips, its palette may change).
#pragma once

#include <windef.h>
#include <wingdi.h>

#include <cstdint>

namespace tarn::platform {

// Memory GDI may draw into: `pixels` is the top-left pixel, `pitch` the bytes from one row to
// the next (negative for a bottom-up bitmap). For 8 bits or less `palette` holds 256 colours as
// 0x00RRGGBB (null: the default palette); for more, the three masks give the channels.
struct PixelTarget {
    uint8_t* pixels = nullptr;
    long pitch = 0;
    int width = 0;
    int height = 0;
    int bits = 0;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    const uint32_t* palette = nullptr;
};

// Implemented by a DirectDraw surface that hands out a device context.
class DrawTarget {
public:
    // False when the memory cannot be drawn into now (the surface was lost).
    virtual bool DescribeTarget(PixelTarget* out) = 0;

protected:
    ~DrawTarget() = default;
};

// Hands out a device context drawing into `target`, with GDI's defaults. `reuse` is the
// target's context from an earlier call (or null): a surface keeps one context object for its
// life, so taking and giving back its DC every frame allocates nothing. Null on failure.
HDC OpenSurfaceDC(DrawTarget* target, HDC reuse);
// The context was given back: GDI refuses it until it is opened again.
void CloseSurfaceDC(HDC dc);
// The target is gone: its context object is freed. Other handles are left alone.
void DestroySurfaceDC(HDC dc);

// The 3-3-2 palette GDI maps to when an 8-bit target has none, as 0x00RRGGBB.
const uint32_t* DefaultPalette();

} // namespace tarn::platform
