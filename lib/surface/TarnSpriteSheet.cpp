// TarnSpriteSheet: the frames of a picture as rectangles, cut once (the only allocation), and
// each drawing call checked against the picture as it is at the moment: a picture reloaded at
// another size never has a frame read outside it.
#include "surface/TarnSpriteSheet.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

TarnSpriteSheet::TarnSpriteSheet() = default;

TarnSpriteSheet::~TarnSpriteSheet() {
    std::free(frames);
}

void TarnSpriteSheet::SetPicture(TarnSurface* p) {
    picture = p;
    std::free(frames);
    frames = nullptr;
    frameCount = 0;
}

// Frames at margin + i * (size + spacing) on each axis, as many as end inside the picture.
int TarnSpriteSheet::CutGrid(int frameWidth, int frameHeight, int spacing, int margin, int count) {
    if (picture == nullptr || frameWidth < 1 || frameHeight < 1 || spacing < 0 || margin < 0 ||
        count < 0)
        return -1;
    auto fit = [&](int64_t length, int64_t size) -> int64_t {
        const int64_t room = length - margin - size;
        return room < 0 ? 0 : room / (size + spacing) + 1;
    };
    const int64_t across = fit(picture->width, frameWidth);
    const int64_t down = fit(picture->height, frameHeight);
    const int64_t fits = across * down;
    if (fits == 0 || count > fits) return -1;
    const int64_t wanted = count == 0 ? fits : count;
    if (wanted > MAX_FRAMES) return -1;
    RECT* cut = static_cast<RECT*>(std::malloc(sizeof(RECT) * static_cast<size_t>(wanted)));
    if (cut == nullptr) return -1;
    for (int64_t i = 0; i < wanted; ++i) {
        const int64_t left = margin + (i % across) * (frameWidth + spacing);
        const int64_t top = margin + (i / across) * (frameHeight + spacing);
        cut[i] = {static_cast<LONG>(left), static_cast<LONG>(top),
                  static_cast<LONG>(left + frameWidth), static_cast<LONG>(top + frameHeight)};
    }
    std::free(frames);
    frames = cut;
    frameCount = static_cast<int>(wanted);
    return frameCount;
}

int TarnSpriteSheet::CutRects(const RECT* rects, int count) {
    if (picture == nullptr || rects == nullptr || count < 1 || count > MAX_FRAMES) return -1;
    for (int i = 0; i < count; ++i) {
        const RECT& r = rects[i];
        if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
            r.right > picture->width || r.bottom > picture->height)
            return -1;
    }
    RECT* cut = static_cast<RECT*>(std::malloc(sizeof(RECT) * static_cast<size_t>(count)));
    if (cut == nullptr) return -1;
    std::memcpy(cut, rects, sizeof(RECT) * static_cast<size_t>(count));
    std::free(frames);
    frames = cut;
    frameCount = count;
    return frameCount;
}

BOOL TarnSpriteSheet::GetFrameRect(int frame, RECT* out) const {
    if (out == nullptr || frame < 0 || frame >= frameCount) return FALSE;
    *out = frames[frame];
    return TRUE;
}

bool TarnSpriteSheet::Frame(int frame, RECT* rect, HRESULT* result) const {
    if (picture == nullptr) {
        *result = -1;
        return false;
    }
    if (!GetFrameRect(frame, rect)) {
        *result = DDERR_INVALIDPARAMS;
        return false;
    }
    if (rect->right > picture->width || rect->bottom > picture->height) {
        *result = DDERR_INVALIDRECT;
        return false;
    }
    return true;
}

HRESULT TarnSpriteSheet::CopyFrameTo(TarnSurface* dest, int x, int y, int frame) {
    RECT r;
    HRESULT hr;
    return Frame(frame, &r, &hr) ? picture->CopyTo(dest, x, y, &r) : hr;
}

HRESULT TarnSpriteSheet::CopyKeyedFrameTo(TarnSurface* dest, int x, int y, int frame) {
    RECT r;
    HRESULT hr;
    return Frame(frame, &r, &hr) ? picture->CopyKeyedTo(dest, x, y, &r) : hr;
}

HRESULT TarnSpriteSheet::StretchFrameTo(TarnSurface* dest, const RECT* destRect, int frame,
                                        DWORD flags) {
    RECT r;
    HRESULT hr;
    return Frame(frame, &r, &hr) ? picture->StretchTo(dest, destRect, &r, flags) : hr;
}

int TarnSpriteSheet::BlendFrameTo(TarnSurface* dest, int x, int y, int frame, WORD alpha) {
    RECT r;
    HRESULT hr;
    return Frame(frame, &r, &hr) ? picture->BlendTo(dest, x, y, &r, alpha) : hr;
}

int TarnSpriteSheet::AlphaBlendFrameTo(TarnSurface* dest, int x, int y, int frame) {
    RECT r;
    HRESULT hr;
    return Frame(frame, &r, &hr) ? picture->AlphaBlendTo(dest, x, y, &r) : hr;
}

int TarnSpriteSheet::CopyTurnedFrameTo(TarnSurface* dest, int x, int y, int frame,
                                       const TarnTurn& turn) {
    RECT r;
    HRESULT hr;
    return Frame(frame, &r, &hr) ? picture->CopyTurnedTo(dest, x, y, &r, turn) : hr;
}
