/// @file
/// The bridges between DirectDraw surfaces and Windows bitmaps: loading a bitmap resource or
/// bitmap file into a new surface through the system bitmap loader, stretching a GDI bitmap over
/// a surface, and making a 256-entry palette from a bitmap's colour table (a fixed 3-3-2 palette
/// when the bitmap has none). They take the DirectDraw interfaces directly.
#pragma once

#include <windows.h>
#include <ddraw.h>

/// A new surface holding the bitmap named `name` (a resource of the executable, else a file),
/// with one reference for the caller; its size is stored through width and height. Null on
/// failure (no bitmap, no surface, or the bitmap could not be copied onto it), and then width
/// and height are not written.
IDirectDrawSurface7* LoadBitmapSurface(IDirectDraw7* dd, const char* name, int* width, int* height,
                                       BYTE placement);

/// Stretches the bitmap rectangle at (x, y) of size dx x dy (0: the bitmap's own width or
/// height) over the whole surface. Returns the surface's GetDC result; E_FAIL for a null
/// surface or bitmap, when no memory DC can be made, or when the stretch fails.
HRESULT CopyBitmapToSurface(IDirectDrawSurface7* surface, HBITMAP bitmap, int x, int y, int dx,
                            int dy);

/// A 256-entry palette from the colour table of the bitmap resource or bitmap file `name`, with
/// the 3-3-2 palette for entries the bitmap does not give. E_INVALIDARG for a null argument
/// (`out` untouched); E_FAIL for a resource that cannot be locked or whose header or colour
/// table runs past its end, or for a file shorter than 14 + 40 + 1024 bytes; else the result
/// of CreatePalette.
HRESULT LoadPaletteFromBitmap(IDirectDraw7* dd, IDirectDrawPalette** out, const char* name);

/// The fixed 3-3-2 palette (entry i: 3 bits of red, 3 of green, 2 of blue), for an 8-bit
/// display that has no palette of its own. E_INVALIDARG for a null argument (`out` untouched),
/// else the result of CreatePalette.
HRESULT CreateDefaultPalette(IDirectDraw7* dd, IDirectDrawPalette** out);

/// The colours of the fixed 3-3-2 palette: entry i has 3 bits of red, 3 of green, 2 of blue.
void FillDefaultPalette(PALETTEENTRY table[256]);
