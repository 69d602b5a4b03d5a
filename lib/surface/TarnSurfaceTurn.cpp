// TarnSurface::CopyTurnedTo: a sprite turned about a pivot, scaled, mirrored, keyed, weighed by its
// alpha plane and a constant opacity, drawn on the locked memory of both surfaces by the routines
// of TurnRoutines.cpp. Here are the checks of what the caller asked, the source rectangle and its
// pivot, and the locks with the lost-surface rule every copy follows.
#include "surface/TarnSurface.h"

#include <cmath>
#include <cstddef>

#include "surface/internal/BlendRoutines.h"
#include "surface/internal/LostSurfaces.h"
#include "surface/internal/TurnRoutines.h"

namespace {

const double MIN_SCALE = 1.0 / 65536, MAX_SCALE = 65536, MAX_PIVOT = 16777216;
const DWORD TURN_FLAGS =
    TARN_COPY_KEYED | TARN_COPY_ALPHA | TARN_COPY_SMOOTH | TARN_COPY_FLIP_X | TARN_COPY_FLIP_Y;

// The whole locked memory of a surface, pixel (0, 0) first.
PixelRect LockedSurface(const TarnSurface& s) {
    return PixelRect{static_cast<BYTE*>(s.surfaceDesc.lpSurface), s.surfaceDesc.lPitch, s.width,
                     s.height};
}

// The pivot in source coordinates: the rectangle's middle, or the given offset from its corner.
bool PivotOf(float offset, LONG low, LONG high, double* out) {
    const double at = offset == TARN_TURN_CENTRE ? (static_cast<double>(high) - low) / 2 : offset;
    if (!std::isfinite(at) || std::fabs(at) > MAX_PIVOT) return false;
    *out = low + at;
    return std::fabs(*out) <= 2 * MAX_PIVOT;
}

} // namespace

int TarnSurface::CopyTurnedTo(TarnSurface* dest, int x, int y, const RECT* srcRect,
                              const TarnTurn& turn) {
    if (surface == nullptr || dest == nullptr || dest->surface == nullptr) return -1;
    const int depth = pixelLayout.depth;
    if (BytesPerPixel(depth) == 0 || dest->pixelLayout.depth != depth)
        return DDERR_INVALIDPIXELFORMAT;
    if (dest == this) return DDERR_INVALIDPARAMS; // pixels would be read after being written
    if ((turn.flags & ~TURN_FLAGS) != 0 || turn.alpha < 0 || turn.alpha > 256)
        return DDERR_INVALIDPARAMS;
    if (!std::isfinite(turn.degrees) || !std::isfinite(turn.scaleX) ||
        !std::isfinite(turn.scaleY) || std::fabs(turn.scaleX) > MAX_SCALE ||
        std::fabs(turn.scaleY) > MAX_SCALE)
        return DDERR_INVALIDPARAMS;
    if (depth == 8 &&
        ((turn.flags & (TARN_COPY_SMOOTH | TARN_COPY_ALPHA)) != 0 || turn.alpha < 256))
        return DDERR_INVALIDPIXELFORMAT; // indices cannot be mixed
    RECT rect = srcRect != nullptr ? *srcRect : RECT{0, 0, width, height};
    double pivotX, pivotY;
    if (!PivotOf(turn.pivotX, rect.left, rect.right, &pivotX) ||
        !PivotOf(turn.pivotY, rect.top, rect.bottom, &pivotY))
        return DDERR_INVALIDPARAMS;
    if (turn.alpha == 0 || std::fabs(turn.scaleX) < MIN_SCALE || std::fabs(turn.scaleY) < MIN_SCALE)
        return 0;
    if (rect.right <= rect.left || rect.bottom <= rect.top || !ClipToArea(&rect)) return 0;
    TurnMap map;
    if (!MakeTurnMap(rect, pivotX, pivotY, x, y, turn.degrees, turn.scaleX, turn.scaleY,
                     (turn.flags & TARN_COPY_FLIP_X) != 0, (turn.flags & TARN_COPY_FLIP_Y) != 0,
                     (turn.flags & TARN_COPY_SMOOTH) != 0, dest->clipArea, &map))
        return 0;
    const SourceKey key = {(turn.flags & TARN_COPY_KEYED) != 0 && hasColourKey != FALSE, colourKey};
    return DrawRestoringLost(this, dest, [&] {
        int locked = Lock();
        if (locked < 1) return static_cast<HRESULT>(locked);
        locked = dest->Lock();
        if (locked < 1) {
            Unlock();
            return static_cast<HRESULT>(locked);
        }
        // The plane is looked up once locked: a lock that restored the picture reloaded it.
        const bool plane = (turn.flags & TARN_COPY_ALPHA) != 0 && HasAlpha() != 0;
        const TurnExtras extras = {key, plane ? alphaPlane : nullptr, width, turn.alpha};
        TurnRect(depth, LockedSurface(*dest), LockedSurface(*this), map, extras);
        dest->Unlock();
        Unlock();
        return static_cast<HRESULT>(0);
    });
}
