/// @file
/// The software half of CopyTurnedTo, on plain pixel memory: how each destination pixel finds its
/// source position (TurnMap, exact integer arithmetic), and the drawing of one turned, scaled and
/// flipped rectangle at the depth codes 8, 15, 16, 24 and 32, by nearest sample or bilinear, with
/// a colour key, an alpha plane and a constant opacity. TurnRectReference gives the same bytes one
/// pixel at a time, each pixel's position worked out afresh; the tests and the fuzzer hold the two
/// together. Nothing here allocates, locks or restores.
#pragma once

#include <windows.h>

#include <cstdint>

#include "surface/internal/BlendRoutines.h"

/// Where destination pixels sample the source. Positions are kept doubled, in units of 2^-32
/// source pixels (a source x of s is s * 2^33), so that a pixel's centre, half a pixel in, is a
/// whole number of units and every position is exact: destination pixel (box.left + i, box.top +
/// j) samples (originX + i * stepXX + j * stepXY, originY + i * stepYX + j * stepYY). The steps
/// are the turn's inverse matrix rounded to 32 fractional bits and doubled.
struct TurnMap {
    int64_t originX, originY; ///< the sample of the box's first pixel
    int64_t stepXX, stepYX;   ///< source x and y, one destination pixel to the right
    int64_t stepXY, stepYY;   ///< source x and y, one destination row down
    RECT box;                 ///< the destination pixels to visit, inside the destination's clip
    RECT bounds;              ///< the source pixels that may be read
    bool smooth;              ///< bilinear sampling (else the nearest pixel)
};

/// One whole sample position unit: a source pixel is 2^33 units wide.
const int64_t TURN_PIXEL = int64_t{1} << 33;

/// A turn's geometry in source and destination pixels: `bounds` the source rectangle (already
/// trimmed, pivot in the same coordinates), its pivot landing on (x, y) of the destination, turned
/// clockwise on the screen by `degrees`, scaled, mirrored, and the box cut to `destClip`. Scales
/// must have magnitudes from 2^-16 to 2^16 and the pivot lie within 2^24 pixels; quarter turns are
/// exact. False when no destination pixel can be drawn.
bool MakeTurnMap(const RECT& bounds, double pivotX, double pivotY, int x, int y, double degrees,
                 double scaleX, double scaleY, bool flipX, bool flipY, bool smooth,
                 const RECT& destClip, TurnMap* map);

/// What a turned copy reads besides the source pixels: the colour key, the alpha plane (one byte
/// per source pixel, rows `planePitch` apart from pixel (0, 0); null for none) and a constant
/// opacity from 0 to 256.
struct TurnExtras {
    SourceKey key;     ///< pixels equal to the key are skipped (read as transparent)
    const BYTE* plane; ///< the alpha plane, or null
    long planePitch;   ///< bytes from one row of the plane to the next
    int alpha;         ///< constant opacity, 0 to 256
};

/// Draws the map's box of `dst` (the whole destination, pixel (0, 0) first) from `src` (the whole
/// source). Nearest: the pixel under each sample, skipped when keyed, stored as it is when
/// opaque, else blended by a = plane byte + (plane byte >> 7) times alpha / 256. Bilinear (the
/// depths above 8): the four pixels around the sample weighted by 16-bit fractions, each by its
/// own opacity (0 outside `bounds` or keyed), colour rounded from the weighted mean and the
/// summed coverage (floored to 0-256, times alpha / 256) blending it in. At 8 bits only nearest
/// without plane or opacity. TurnRectReference gives the same bytes.
/// @{
void TurnRect(int depth, const PixelRect& dst, const PixelRect& src, const TurnMap& map,
              const TurnExtras& extras);
void TurnRectReference(int depth, const PixelRect& dst, const PixelRect& src, const TurnMap& map,
                       const TurnExtras& extras);
/// @}
