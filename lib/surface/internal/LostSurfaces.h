/// @file
/// The one rule of every surface call that draws, through DirectDraw or on locked memory, when the
/// display has been taken away: restore whichever surface is lost (a picture reloads its file),
/// draw once more, and return that drawing's result, so that success always means the pixels are
/// there. A restore that fails ends the call with its result: nothing was drawn.
#pragma once

#include "surface/TarnSurface.h"

/// Restores each of `a` and `b` that DirectDraw reports lost, through TarnSurface::Restore (a
/// full-screen back buffer through its chain, a picture reloading its file). Either may be null
/// or both the same surface. DD_OK, or the result of the first restore that failed.
HRESULT RestoreLostSurfaces(TarnSurface* a, TarnSurface* b);

/// Runs `draw` (any callable returning an HRESULT) that draws with `a` and `b`; when it answers
/// DDERR_SURFACELOST, restores the lost one(s) and runs it once more. The result of that second
/// drawing, or of the restore that failed.
template <class Draw> HRESULT DrawRestoringLost(TarnSurface* a, TarnSurface* b, Draw draw) {
    HRESULT hr = draw();
    if (hr != DDERR_SURFACELOST) return hr;
    hr = RestoreLostSurfaces(a, b);
    if (FAILED(hr)) return hr;
    return draw();
}
