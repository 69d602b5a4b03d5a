/// @file
/// TarnSurface: one DirectDraw surface and what the library keeps about it: its size, the name
/// it was loaded from, a clip rectangle, its pixel layout, nesting counters for locking and for
/// device contexts, and five drawing routines chosen once by pixel depth. Off-screen pictures are
/// made with Create from a picture file or a bitmap resource; the screen fills in the wrappers of
/// its front and back buffer itself. A lost surface restores itself and reloads its picture.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include "surface/PixelLayout.h"
#include "surface/TarnColour.h"

class TarnScreen;

/// StretchTo's flag: skip the source pixels equal to its colour key.
const DWORD TARN_COPY_KEYED = 0x1;
/// CopyTurnedTo's flags: weigh each pixel by the source's alpha plane (opaque without one);
/// sample bilinearly, with smooth edges; mirror the source left to right, top to bottom.
/// @{
const DWORD TARN_COPY_ALPHA = 0x2;
const DWORD TARN_COPY_SMOOTH = 0x4;
const DWORD TARN_COPY_FLIP_X = 0x8;
const DWORD TARN_COPY_FLIP_Y = 0x10;
/// @}
/// A TarnTurn pivot coordinate that stands for the middle of the source rectangle.
const float TARN_TURN_CENTRE = -1.0e30f;

/// How CopyTurnedTo draws: the source rectangle is mirrored by the flags, scaled, turned about
/// its pivot and drawn with the pivot on the given destination point.
struct TarnTurn {
    float degrees = 0; ///< the turn, clockwise as seen on the screen
    /// The pivot in pixels from the source rectangle's top-left corner (0.5 is the middle of
    /// its first pixel); TARN_TURN_CENTRE: the rectangle's middle.
    /// @{
    float pivotX = TARN_TURN_CENTRE;
    float pivotY = TARN_TURN_CENTRE;
    /// @}
    float scaleX = 1; ///< width scale, 2^-16 to 2^16 across (a negative scale mirrors too)
    float scaleY = 1; ///< height scale, as scaleX
    DWORD flags = 0;  ///< TARN_COPY_KEYED, _ALPHA, _SMOOTH, _FLIP_X, _FLIP_Y, combined by |
    int alpha = 256;  ///< constant opacity: 0 (nothing drawn) to 256 (opaque)
};

/// One surface, off-screen picture or screen buffer, with its size, clip area, pixel layout and
/// drawing routines. Deleting it releases its DirectDraw surface and unlinks it from its screen.
class TarnSurface {
public:
    /// The per-depth routine types, called through plotPixel, blendPixel, readPixel, vertLine
    /// and horzLine as (surface.*surface.plotPixel)(x, y, colour).
    /// @{
    typedef int (TarnSurface::*PlotPixelFn)(int x, int y, DWORD colour);
    typedef int (TarnSurface::*BlendPixelFn)(int x, int y, DWORD colour, WORD alpha);
    typedef DWORD (TarnSurface::*ReadPixelFn)(int x, int y);
    typedef int (TarnSurface::*VertLineFn)(int y1, int y2, int x, DWORD colour);
    typedef int (TarnSurface::*HorzLineFn)(int x1, int x2, int y, DWORD colour);
    /// @}

    /// Longest name Create accepts, terminator excluded.
    static const int MAX_FILE_NAME = 255;
    /// How often Lock and Unlock restore a lost surface and try again before giving up.
    static const int LOST_RETRIES = 8;

    DDSURFACEDESC2 surfaceDesc;       ///< filled by the last successful Lock
    IDirectDrawSurface7* surface;     ///< one reference owned
    int width;                        ///< pixels across
    int height;                       ///< pixels down
    char fileName[MAX_FILE_NAME + 1]; ///< the picture it was loaded from, reloaded on restore
    HDC hdc;                          ///< valid while dcCount > 0
    TarnScreen* screen;               ///< not owned
    int hasMMX;                       ///< 1 when the processor has MMX (ProcessorHasMMX)
    RECT clipArea;                    ///< right and bottom exclusive
    PixelLayout pixelLayout;          ///< the surface's pixel format
    TarnSurface* nextSurface;         ///< next in the screen's surface list
    TarnSurface* prevSurface;         ///< previous in the screen's surface list
    DWORD lockCount;                  ///< Lock nesting depth
    DWORD dcCount;                    ///< GetDC nesting depth
    int placement;           ///< 0 video memory, 1 system memory, other: DirectDraw chooses
    int surfaceId;           ///< serial number from TarnScreen::NextSurfaceId
    PlotPixelFn plotPixel;   ///< sets one pixel; null for a depth without routines
    BlendPixelFn blendPixel; ///< blends one pixel; null for a depth without routines
    ReadPixelFn readPixel;   ///< reads one pixel; null for a depth without routines
    VertLineFn vertLine;     ///< draws a vertical line; null for a depth without routines
    HorzLineFn horzLine;     ///< draws a horizontal line; null for a depth without routines
    DWORD colourKey = 0; ///< the source colour key in the surface's own format, when hasColourKey
    BOOL hasColourKey = FALSE; ///< TRUE while a source colour key is set
    /// One byte of alpha per pixel, alphaWidth x alphaHeight, rows packed, owned (std::malloc);
    /// null when the picture has none. Used while it is the surface's size.
    BYTE* alphaPlane = nullptr;
    int alphaWidth = 0;  ///< width of the alpha plane, 0 when there is none
    int alphaHeight = 0; ///< height of the alpha plane, 0 when there is none

    TarnSurface();
    virtual ~TarnSurface();
    /// Gives back everything the surface holds (its device context, DirectDraw surface, alpha
    /// plane and place in its screen's list) and leaves the object as a new one, ready for
    /// another Create or CreateBlank at the same address.
    void Reset();

    /// Loads the picture file `fileName` (else the bitmap resource of that name) into a new
    /// surface of its size on the screen's device and links it into the screen's surface list
    /// (the screen does not own it). `placement`: 0 video memory, 1 system memory, other values
    /// let DirectDraw choose. 1 on success; -1 for a null or over-long name, no screen or device, a
    /// surface already held, no surface from the bitmap loader, or a new surface whose size cannot
    /// be read; -2 neither a loadable picture nor a bitmap resource; -3 the resource cannot be
    /// loaded; -4 it cannot be locked.
    int Create(TarnScreen* screen, const char* fileName, BYTE placement);
    /// Makes a new off-screen surface of width x height in the display's pixel format, cleared
    /// to 0, to draw into (a sprite sheet drawn once, a layer) and copy from like a picture;
    /// `placement` as for Create. It joins the screen's surface list like a picture. It has no
    /// picture to reload: when the display is lost, its pixels are lost, and a restore gives it
    /// back with undefined contents, so the program draws it again (on WM_ACTIVATEAPP, for
    /// instance). 1 on success; -1 without a screen or device, with a surface already held, for
    /// a size below 1, or when DirectDraw makes no such surface.
    int CreateBlank(TarnScreen* screen, int width, int height, BYTE placement);
    /// Loads `name` (null: fileName) again into the surface; -2 when it cannot be loaded (or
    /// without a surface, screen or device), else the copy's result.
    HRESULT ReloadPixels(const char* name);
    /// Restores a lost surface (a full-screen back buffer through its chain) and reloads its
    /// picture. -1 without a surface, else the restore's or the reload's result.
    HRESULT Restore();
    /// The new nesting depth, a failure code, or -1 without a surface. A lost surface is restored
    /// and tried again up to LOST_RETRIES times, then DDERR_SURFACELOST is returned. The pixel
    /// address in surfaceDesc is valid only while the depth is above 0: the Unlock that brings
    /// it back to 0 clears it.
    int Lock();
    /// Ends one Lock: the new nesting depth, the unlock's failure, or -1 without a surface.
    int Unlock();
    /// A GDI device context on the surface, nested like Lock; null when none can be had. Each
    /// successful call needs one ReleaseDC.
    HDC GetDC();
    /// Ends one GetDC: 0, or -1 without a surface or context or when the release fails.
    int ReleaseDC();
    /// Writes text at (x, y) in the GDI colour `colour` with a transparent background. It takes
    /// the surface's device context itself (nested in the caller's GetDC, when there is one).
    /// 0 when drawn (or for null text), -1 when no device context can be had or the output
    /// fails.
    int DrawString(int x, int y, COLORREF colour, const char* text);
    /// As DrawString with a GDI colour, in the typed colour's red, green and blue.
    int DrawString(int x, int y, TarnColour colour, const char* text);
    /// Fills the whole surface, ignoring the clip area, with a pixel value in the surface's own
    /// format. -1 without a surface, else the fill's result; a fill that finds the surface lost
    /// restores it and is made once more (a restore that fails ends the call with its result).
    HRESULT FillSolid(DWORD colour);
    /// As FillSolid, in the typed colour (MapRGB of it).
    HRESULT FillSolid(TarnColour colour);
    /// The surface's pixels as they are on screen, written as a picture file: BMP keeps an 8-bit
    /// surface's pixels and palette and writes other depths as 24-bit RGB; PNG is 24-bit RGB,
    /// written by the system's imaging component. The surface is locked for the copy. S_OK, or
    /// the failure (no surface, lock, palette, encoder, file); a failure leaves no file behind
    /// and an existing file of that name as it was.
    /// @{
    HRESULT SaveBMP(const char* fileName);
    HRESULT SavePNG(const char* fileName);
    /// @}
    /// The blit's result; 0 when nothing is left after clipping; -1 without a surface here or at
    /// the destination. A blit that finds either surface lost restores the lost one(s) and is
    /// made once more; a restore that fails ends the call with its result.
    HRESULT CopyTo(TarnSurface* dest, int x, int y, const RECT* srcRect);
    /// The one clipping of a 1:1 copy of srcRect of this surface to (x, y) on dest, for every
    /// kind of copy: TRUE with srcRect and (x, y) trimmed in step to what lies inside this
    /// surface's clip area and lands inside dest's, FALSE (nothing changed) when nothing does.
    BOOL ClipCopyRects(TarnSurface* dest, int* x, int* y, RECT* srcRect);
    /// Trims `r` to the clip area: TRUE when something is left, FALSE (r unchanged) when it lies
    /// wholly outside or is null.
    BOOL ClipToArea(RECT* r);
    /// Sets the clip area to `r` cut to the surface's bounds; null changes nothing.
    void SetClipArea(const RECT* r);
    /// Copies the pixel layout into `out` (null: nothing).
    void GetPixelLayout(PixelLayout* out);
    /// Chooses the five per-depth drawing routines for the pixel layout's depth code; all null
    /// for a depth without routines.
    void SelectPixelRoutines();

    /// Sprites (surface/TarnSurfaceSprites.cpp). Results as CopyTo: the blit's result on the
    /// DirectDraw paths, 0 when nothing is left after clipping (and for a software path done),
    /// -1 without a surface here or at the destination, the lock's failure when a software path
    /// cannot lock, DDERR_INVALIDPIXELFORMAT for surfaces of different depths. A copy that finds
    /// either surface lost restores the lost one(s) and is made once more, as CopyTo is.
    /// Sets the source colour key to a pixel value in the surface's own format; -1 without a
    /// surface, else the result of setting it.
    HRESULT SetColourKey(DWORD colour);
    /// Sets the key from a colour: each channel cut to the surface's bits, at 8 bits the
    /// nearest palette entry. As SetColourKey; DDERR_INVALIDPIXELFORMAT for a surface that is
    /// not RGB.
    HRESULT SetColourKeyRGB(BYTE r, BYTE g, BYTE b);
    /// SetColourKeyRGB of the typed colour's red, green and blue.
    HRESULT SetColourKey(TarnColour colour);
    /// The pixel value in this surface's own format nearest to the colour (r, g, b): each
    /// channel cut to the surface's bits, at 8 bits the nearest palette entry (the surface's,
    /// else the screen's, else the fixed 3-3-2 palette). 0 without a surface or for a surface
    /// that is not RGB. For the colours of fills, shapes, pixel routines and keys.
    DWORD MapRGB(BYTE r, BYTE g, BYTE b);
    /// MapRGB of the typed colour's red, green and blue: the pixel value of the older forms.
    DWORD MapRGB(TarnColour colour);
    /// Removes the colour key; -1 without a surface, else the result of removing it.
    HRESULT ClearColourKey();
    /// As CopyTo, skipping source pixels equal to the colour key (CopyTo when none is set).
    HRESULT CopyKeyedTo(TarnSurface* dest, int x, int y, const RECT* srcRect);
    /// srcRect (null: the whole surface) scaled onto destRect (null: the whole destination) by
    /// nearest sample; flags 0 or TARN_COPY_KEYED.
    HRESULT StretchTo(TarnSurface* dest, const RECT* destRect, const RECT* srcRect, DWORD flags);
    /// The one clipping of a scaled copy (StretchTo's): srcRect drawn over destRect, each
    /// destination pixel showing the source pixel DirectDraw's nearest sample gives it. TRUE with
    /// both rectangles trimmed in proportion to what shows source pixels inside srcArea and lands
    /// inside destArea; FALSE (nothing changed) when nothing does, for an empty rectangle, or
    /// for one longer than 2^24 pixels.
    static BOOL ClipScaledRects(const RECT& srcArea, const RECT& destArea, RECT* srcRect,
                                RECT* destRect);
    /// A copy mixed with the destination by a constant alpha: 0 (the destination stays) to 256
    /// (the source); the key, when set, is skipped.
    int BlendTo(TarnSurface* dest, int x, int y, const RECT* srcRect, WORD alpha);
    /// A copy weighted per pixel by the alpha plane; CopyTo when the surface has none.
    int AlphaBlendTo(TarnSurface* dest, int x, int y, const RECT* srcRect);
    /// 1 when the surface has an alpha plane of its size, else 0.
    int HasAlpha();
    /// srcRect (null: the whole surface; trimmed to the clip area, the pivot staying on its
    /// source point) turned, scaled and mirrored as `turn` says, its pivot on (x, y) of dest,
    /// clipped to dest's clip area (surface/TarnSurfaceTurn.cpp). Each destination pixel shows
    /// the source where its centre maps back to: the nearest pixel, or with TARN_COPY_SMOOTH the
    /// four around it, each counted by its opacity (smooth edges); turns by multiples of 90
    /// degrees at scale 1 and mirrors move whole pixels. The key (TARN_COPY_KEYED), the alpha
    /// plane (TARN_COPY_ALPHA) and turn.alpha combine; opaque pixels are stored as they are,
    /// others blended as BlendTo does. 8-bit surfaces: nearest and keyed only. Results as the
    /// other sprite calls: 0 when drawn or nothing is left (a rectangle, scale below 2^-16 or
    /// opacity 0 drawing nothing), -1 without a surface here or at dest, the lock's failure,
    /// DDERR_INVALIDPIXELFORMAT for different depths or what 8 bits cannot do,
    /// DDERR_INVALIDPARAMS for dest == this, unknown flags, an opacity outside 0-256, a scale
    /// above 2^16, a pivot farther than 2^24 pixels or a value that is not a finite number. A
    /// lost surface is restored and the copy made once more, as for every copy.
    int CopyTurnedTo(TarnSurface* dest, int x, int y, const RECT* srcRect, const TarnTurn& turn);
    /// Fills the alpha plane from rows of blue-green-red-alpha pixels (the alpha of pixel x of row
    /// y at rows + y * pitch + 4 * x + 3), or drops it (rows null). 0, or -1 for a size that is
    /// not the surface's or a plane that cannot be allocated (the plane held before stays).
    int SetAlphaPlane(const BYTE* rows, long pitch, int w, int h);

    /// Shapes (surface/Shapes.cpp), clipped to clipArea; 0 when drawn or nothing is left, -1
    /// without a surface, else the lock's or the fill's failure. A fill that finds the surface
    /// lost restores it and is made once more. Rectangles are right and bottom
    /// exclusive; a null one is the clip area. Lines include both ends.
    /// A line from (x1, y1) to (x2, y2).
    int DrawLine(int x1, int y1, int x2, int y2, DWORD colour);
    /// A rectangle's outline.
    int DrawRect(const RECT* r, DWORD colour);
    /// A filled rectangle.
    int FillRect(const RECT* r, DWORD colour);
    /// A circle's outline around (cx, cy); a negative radius draws nothing.
    int DrawCircle(int cx, int cy, int radius, DWORD colour);
    /// A filled circle around (cx, cy); a negative radius draws nothing.
    int FillCircle(int cx, int cy, int radius, DWORD colour);
    /// The shapes in a typed colour: the same as above with MapRGB of it (its alpha unused).
    /// @{
    int DrawLine(int x1, int y1, int x2, int y2, TarnColour colour);
    int DrawRect(const RECT* r, TarnColour colour);
    int FillRect(const RECT* r, TarnColour colour);
    int DrawCircle(int cx, int cy, int radius, TarnColour colour);
    int FillCircle(int cx, int cy, int radius, TarnColour colour);
    /// @}

    // The per-depth drawing routines (surface/PixelRoutines.cpp). They work on the locked
    // memory (surfaceDesc.lpSurface, surfaceDesc.lPitch) and clip against clipArea. Without a
    // lock they do nothing. Colours are pixel values in the surface's own format.
    /// @{
    /// Sets pixel (x, y) of the locked memory when it is inside the clip area; always 0.
    int PlotPixel8(int x, int y, DWORD colour);
    int PlotPixel16(int x, int y, DWORD colour);
    int PlotPixel24(int x, int y, DWORD colour);
    int PlotPixel32(int x, int y, DWORD colour);
    /// @}
    /// @{
    /// Mixes `colour` into pixel (x, y) of the locked memory when inside the clip area: alpha 0
    /// keeps the pixel, 256 (or more) stores the colour; at 8 bits the index is stored whatever
    /// alpha is. Always 0.
    int BlendPixel8(int x, int y, DWORD colour, WORD alpha);
    int BlendPixel555(int x, int y, DWORD colour, WORD alpha);
    int BlendPixel565(int x, int y, DWORD colour, WORD alpha);
    int BlendPixel24(int x, int y, DWORD colour, WORD alpha);
    int BlendPixel32(int x, int y, DWORD colour, WORD alpha);
    /// @}
    /// @{
    /// The pixel value at (x, y), clip area or not; 0 outside the surface or without a lock.
    DWORD ReadPixel8(int x, int y);
    DWORD ReadPixel16(int x, int y);
    DWORD ReadPixel24(int x, int y);
    DWORD ReadPixel32(int x, int y);
    /// @}
    /// @{
    /// A vertical line at x from y1 to y2, both ends included, clipped; always 0.
    int VertLine8(int y1, int y2, int x, DWORD colour);
    int VertLine16(int y1, int y2, int x, DWORD colour);
    int VertLine24(int y1, int y2, int x, DWORD colour);
    int VertLine32(int y1, int y2, int x, DWORD colour);
    /// @}
    /// @{
    /// A horizontal line at y from x1 to x2, both ends included, clipped; always 0.
    int HorzLine8(int x1, int x2, int y, DWORD colour);
    int HorzLine16(int x1, int x2, int y, DWORD colour);
    int HorzLine24(int x1, int x2, int y, DWORD colour);
    int HorzLine32(int x1, int x2, int y, DWORD colour);
    /// @}
};

/// 1 when the processor has MMX, else 0.
int ProcessorHasMMX();
