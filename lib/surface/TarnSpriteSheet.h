/// @file
/// TarnSpriteSheet: one picture cut into numbered frames, by a grid (frame size, spacing between
/// frames, margin around them) or by a list of rectangles, each frame drawn by its number with
/// every sprite call of TarnSurface. The sheet keeps only the rectangles and a pointer to the
/// picture, which it does not own: a picture loaded by TarnGame (LoadPicture) keeps its pointer
/// across switches and display losses, and so does the sheet cut from it.
#pragma once

#include <windows.h>

#include "surface/TarnSurface.h"

/// A picture cut into frames, numbered from 0 left to right, then top to bottom (a grid) or in
/// the order given (rectangles). Results of the drawing calls are those of the TarnSurface call
/// they make; a frame number out of range is DDERR_INVALIDPARAMS, a frame that no longer lies
/// inside the picture DDERR_INVALIDRECT, no picture -1; nothing is drawn then.
class TarnSpriteSheet {
public:
    /// Most frames a sheet holds.
    static const int MAX_FRAMES = 65536;

    TarnSpriteSheet();
    virtual ~TarnSpriteSheet();
    TarnSpriteSheet(const TarnSpriteSheet&) = delete;
    TarnSpriteSheet& operator=(const TarnSpriteSheet&) = delete;

    /// Sets the picture the frames are cut from (not owned; null: none) and drops the frames.
    void SetPicture(TarnSurface* picture);
    /// The picture, or null.
    TarnSurface* Picture() { return picture; }

    /// Cuts the picture into frameWidth x frameHeight frames, the first `margin` pixels from the
    /// top-left corner, `spacing` pixels apart across and down; `count` frames (0: every whole
    /// frame that fits). The number of frames, or -1 (the frames held before stay) without a
    /// picture, for a size below 1, a negative spacing or margin, no frame that fits, or a count
    /// that is negative, more than fit or more than MAX_FRAMES.
    int CutGrid(int frameWidth, int frameHeight, int spacing = 0, int margin = 0, int count = 0);
    /// Takes `count` rectangles (right and bottom exclusive) as the frames. The number of frames,
    /// or -1 (the frames held before stay) without a picture, for a null list, a count below 1 or
    /// above MAX_FRAMES, or a rectangle that is empty or not wholly inside the picture.
    int CutRects(const RECT* rects, int count);
    /// How many frames are cut (0 before any cut).
    int FrameCount() const { return frameCount; }
    /// Copies frame `frame`'s rectangle to `out`: TRUE, or FALSE (out unchanged) for a number out
    /// of range or a null `out`.
    BOOL GetFrameRect(int frame, RECT* out) const;

    /// The frame drawn as TarnSurface's sprite calls draw a source rectangle.
    /// @{
    /// As TarnSurface::CopyTo.
    HRESULT CopyFrameTo(TarnSurface* dest, int x, int y, int frame);
    /// As TarnSurface::CopyKeyedTo.
    HRESULT CopyKeyedFrameTo(TarnSurface* dest, int x, int y, int frame);
    /// As TarnSurface::StretchTo, onto destRect (null: the whole destination).
    HRESULT StretchFrameTo(TarnSurface* dest, const RECT* destRect, int frame, DWORD flags);
    /// As TarnSurface::BlendTo.
    int BlendFrameTo(TarnSurface* dest, int x, int y, int frame, WORD alpha);
    /// As TarnSurface::AlphaBlendTo.
    int AlphaBlendFrameTo(TarnSurface* dest, int x, int y, int frame);
    /// As TarnSurface::CopyTurnedTo, the pivot counted from the frame's corner.
    int CopyTurnedFrameTo(TarnSurface* dest, int x, int y, int frame, const TarnTurn& turn);
    /// @}

private:
    // The frame's rectangle when it can be drawn; else the call's result in *result.
    bool Frame(int frame, RECT* rect, HRESULT* result) const;

    TarnSurface* picture = nullptr;
    RECT* frames = nullptr; // frameCount rectangles, owned (std::malloc)
    int frameCount = 0;
};
