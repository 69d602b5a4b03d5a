// TarnSurface: one DirectDraw surface and what the library keeps about it: its size, the name
// it was loaded from, a clip rectangle, its pixel layout, nesting counters for locking and for
// device contexts, and five drawing routines chosen once by pixel depth. Off-screen pictures are
// made with Create from a picture file or a bitmap resource; the screen fills in the wrappers of
// its front and back buffer itself. A lost surface restores itself and reloads its picture.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include "surface/PixelLayout.h"

class TarnScreen;

class TarnSurface {
public:
    typedef int (TarnSurface::*PlotPixelFn)(int x, int y, DWORD colour);
    typedef int (TarnSurface::*BlendPixelFn)(int x, int y, DWORD colour, WORD alpha);
    typedef DWORD (TarnSurface::*ReadPixelFn)(int x, int y);
    typedef int (TarnSurface::*VertLineFn)(int y1, int y2, int x, DWORD colour);
    typedef int (TarnSurface::*HorzLineFn)(int x1, int x2, int y, DWORD colour);

    // Longest name Create accepts, terminator excluded.
    static const int MAX_FILE_NAME = 255;
    // How often Lock and Unlock restore a lost surface and try again before giving up.
    static const int LOST_RETRIES = 8;

    DDSURFACEDESC2 surfaceDesc;   // filled by the last successful Lock
    IDirectDrawSurface7* surface; // one reference owned
    int width;
    int height;
    char fileName[MAX_FILE_NAME + 1];
    HDC hdc;            // valid while dcCount > 0
    TarnScreen* screen; // not owned
    int hasMMX;
    RECT clipArea; // right and bottom exclusive
    PixelLayout pixelLayout;
    TarnSurface* nextSurface; // links of the screen's surface list
    TarnSurface* prevSurface;
    DWORD lockCount;
    DWORD dcCount;
    int placement; // 0 video memory, 1 system memory, other: DirectDraw chooses
    int surfaceId;
    PlotPixelFn plotPixel;
    BlendPixelFn blendPixel;
    ReadPixelFn readPixel;
    VertLineFn vertLine;
    HorzLineFn horzLine;

    TarnSurface();
    virtual ~TarnSurface();

    // 1 on success; -1 for a null or over-long name, no screen or device, a surface already
    // held, no surface from the bitmap loader, or a new surface whose size cannot be read; -2
    // neither a loadable picture nor a bitmap resource; -3 the resource cannot be loaded; -4 it
    // cannot be locked.
    int Create(TarnScreen* screen, const char* fileName, BYTE placement);
    // Loads `name` (null: fileName) again into the surface; -2 when it cannot be loaded.
    HRESULT ReloadPixels(const char* name);
    HRESULT Restore();
    // The new nesting depth, a failure code, or -1 without a surface. A lost surface is restored
    // and tried again up to LOST_RETRIES times, then DDERR_SURFACELOST is returned. The pixel
    // address in surfaceDesc is valid only while the depth is above 0: the Unlock that brings
    // it back to 0 clears it.
    int Lock();
    int Unlock();
    HDC GetDC();
    int ReleaseDC();
    int DrawString(int x, int y, COLORREF colour, const char* text);
    HRESULT FillSolid(DWORD colour);
    // The surface's pixels as they are on screen, written as a picture file: BMP keeps an 8-bit
    // surface's pixels and palette and writes other depths as 24-bit RGB; PNG is 24-bit RGB,
    // written by the system's imaging component. The surface is locked for the copy. S_OK, or
    // the failure (no surface, lock, palette, encoder, file); a failure leaves no file behind
    // and an existing file of that name as it was.
    HRESULT SaveBMP(const char* fileName);
    HRESULT SavePNG(const char* fileName);
    // The blit's result; 0 when nothing is left after clipping; -1 without a surface here or at
    // the destination. A blit that finds either surface lost restores the lost one(s) and is
    // made once more; a restore that fails ends the call with its result.
    HRESULT CopyTo(TarnSurface* dest, int x, int y, const RECT* srcRect);
    // The one clipping of a 1:1 copy of srcRect of this surface to (x, y) on dest, for every
    // kind of copy: TRUE with srcRect and (x, y) trimmed in step to what lies inside this
    // surface's clip area and lands inside dest's, FALSE (nothing changed) when nothing does.
    BOOL ClipCopyRects(TarnSurface* dest, int* x, int* y, RECT* srcRect);
    BOOL ClipToArea(RECT* r);
    void SetClipArea(const RECT* r);
    void GetPixelLayout(PixelLayout* out);
    void SelectPixelRoutines();

    // The per-depth drawing routines (surface/PixelRoutines.cpp). They work on the locked
    // memory (surfaceDesc.lpSurface, surfaceDesc.lPitch) and clip against clipArea.
    int PlotPixel8(int x, int y, DWORD colour);
    int PlotPixel16(int x, int y, DWORD colour);
    int PlotPixel24(int x, int y, DWORD colour);
    int PlotPixel32(int x, int y, DWORD colour);
    int BlendPixel8(int x, int y, DWORD colour, WORD alpha);
    int BlendPixel555(int x, int y, DWORD colour, WORD alpha);
    int BlendPixel565(int x, int y, DWORD colour, WORD alpha);
    int BlendPixel24(int x, int y, DWORD colour, WORD alpha);
    int BlendPixel32(int x, int y, DWORD colour, WORD alpha);
    DWORD ReadPixel8(int x, int y);
    DWORD ReadPixel16(int x, int y);
    DWORD ReadPixel24(int x, int y);
    DWORD ReadPixel32(int x, int y);
    int VertLine8(int y1, int y2, int x, DWORD colour);
    int VertLine16(int y1, int y2, int x, DWORD colour);
    int VertLine24(int y1, int y2, int x, DWORD colour);
    int VertLine32(int y1, int y2, int x, DWORD colour);
    int HorzLine8(int x1, int x2, int y, DWORD colour);
    int HorzLine16(int x1, int x2, int y, DWORD colour);
    int HorzLine24(int x1, int x2, int y, DWORD colour);
    int HorzLine32(int x1, int x2, int y, DWORD colour);
};

// 1 when the processor has MMX, else 0.
int ProcessorHasMMX();
