// TarnSurface's own operations: creation from a picture file or a bitmap resource, locking and
// device contexts with nesting counters (only the outermost call reaches DirectDraw), text,
// fills, clipped copies, recovery of lost surfaces, the pixel layout and the choice of drawing
// routines. The drawing routines themselves are in PixelRoutines.cpp.
#include "surface/TarnSurface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "cpu/ProcessorFeatures.h"
#include "display/TarnScreen.h"
#include "image/TarnImage.h"
#include "surface/internal/BitmapTransfer.h"
#include "surface/internal/LostSurfaces.h"

namespace {

void ClearDesc(DDSURFACEDESC2* desc) {
    std::memset(desc, 0, sizeof(*desc));
    desc->dwSize = sizeof(*desc);
}

// Puts `plane` (w x h, or null for none) in the place of the surface's alpha plane, which is freed.
void ReplaceAlphaPlane(TarnSurface* s, BYTE* plane, int w, int h) {
    std::free(s->alphaPlane);
    s->alphaPlane = plane;
    s->alphaWidth = plane ? w : 0;
    s->alphaHeight = plane ? h : 0;
}

// Loads a picture through a front end that lives for this one call. A loaded picture's alpha
// plane (none when it has none) becomes the surface's: the front end's block is taken over, so
// nothing is allocated or copied here and nothing can fail.
IDirectDrawSurface7* LoadPicture(IDirectDraw7* dd, const char* name, BYTE placement,
                                 TarnSurface* owner) {
    TarnImage image;
    IDirectDrawSurface7* result = image.LoadFile(dd, name, placement, 0);
    if (result) {
        ReplaceAlphaPlane(owner, image.alpha, image.alphaWidth, image.alphaHeight);
        image.alpha = nullptr;
    }
    return result;
}

} // namespace

TarnSurface::TarnSurface()
    : surface(nullptr), width(0), height(0), hdc(nullptr), screen(nullptr),
      hasMMX(ProcessorHasMMX()), nextSurface(nullptr), prevSurface(nullptr), lockCount(0),
      dcCount(0), placement(1), surfaceId(-1), plotPixel(nullptr), blendPixel(nullptr),
      readPixel(nullptr), vertLine(nullptr), horzLine(nullptr) {
    std::memset(&surfaceDesc, 0, sizeof(surfaceDesc));
    std::memset(fileName, 0, sizeof(fileName));
    std::memset(&clipArea, 0, sizeof(clipArea));
    std::memset(&pixelLayout, 0, sizeof(pixelLayout));
    SelectPixelRoutines();
}

// A device context still held is given back whatever its nesting depth, then the surface is
// released and the object leaves its screen's surface list.
TarnSurface::~TarnSurface() {
    Reset();
}

// As the destructor, then every field as the constructor left it.
void TarnSurface::Reset() {
    if (hdc != nullptr) {
        dcCount = 1;
        ReleaseDC();
    }
    if (surface != nullptr) {
        surface->Release();
        surface = nullptr;
    }
    ReplaceAlphaPlane(this, nullptr, 0, 0);
    if (screen != nullptr) screen->RemoveSurface(this);
    // A full-screen back buffer is deleted by its owner before the screen: the screen must not
    // keep the pointer.
    if (screen != nullptr && screen->backBuffer == this) screen->backBuffer = nullptr;
    std::memset(&surfaceDesc, 0, sizeof(surfaceDesc));
    width = height = 0;
    std::memset(fileName, 0, sizeof(fileName));
    hdc = nullptr;
    screen = nullptr;
    std::memset(&clipArea, 0, sizeof(clipArea));
    std::memset(&pixelLayout, 0, sizeof(pixelLayout));
    nextSurface = prevSurface = nullptr;
    lockCount = dcCount = 0;
    placement = 1;
    surfaceId = -1;
    colourKey = 0;
    hasColourKey = FALSE;
    SelectPixelRoutines();
}

// Makes the surface from a picture file through the image front end; a name the front end
// cannot load may still be a bitmap resource of the executable. The size is read back from the
// surface itself, and the surface joins its screen's list with the next serial number. The
// screen, name and size are known before the first Lock, so that a surface lost by then is
// restored with its picture reloaded rather than left blank.
int TarnSurface::Create(TarnScreen* screen, const char* fileName, BYTE placement) {
    if (fileName == nullptr || std::strlen(fileName) > MAX_FILE_NAME) return -1;
    if (screen == nullptr || screen->GetDirectDraw() == nullptr || surface != nullptr) return -1;
    IDirectDraw7* dd = screen->GetDirectDraw();

    surface = LoadPicture(dd, fileName, placement, this);
    if (surface == nullptr) {
        HRSRC resource = FindResourceA(nullptr, fileName, RT_BITMAP);
        if (resource == nullptr) return -2;
        HGLOBAL data = LoadResource(nullptr, resource);
        if (data == nullptr) return -3;
        if (LockResource(data) == nullptr) return -4;
        surface = LoadBitmapSurface(dd, fileName, &width, &height, placement);
        if (surface == nullptr) return -1;
    }

    DDSURFACEDESC2 desc;
    ClearDesc(&desc);
    desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
    if (FAILED(surface->GetSurfaceDesc(&desc))) {
        surface->Release();
        surface = nullptr;
        width = height = 0;
        return -1;
    }
    width = static_cast<int>(desc.dwWidth);
    height = static_cast<int>(desc.dwHeight);
    clipArea = RECT{0, 0, width, height};
    this->screen = screen;
    this->placement = placement;
    std::strcpy(this->fileName, fileName);

    // One Lock and Unlock leave the surface's description in surfaceDesc; a surface lost since
    // it was loaded is restored and its picture reloaded on the way.
    if (Lock() > 0) Unlock();

    QueryPixelLayout(surface, &pixelLayout);
    hasMMX = ProcessorHasMMX();

    screen->AddSurface(this);
    surfaceId = TarnScreen::NextSurfaceId();
    SelectPixelRoutines();
    return 1;
}

// An off-screen surface in the display's pixel format (DirectDraw's default for a plain
// off-screen surface), cleared to 0. It has no picture, so a restore gives back memory only.
int TarnSurface::CreateBlank(TarnScreen* screen, int width, int height, BYTE placement) {
    if (screen == nullptr || screen->GetDirectDraw() == nullptr || surface != nullptr) return -1;
    if (width < 1 || height < 1) return -1;
    DDSURFACEDESC2 desc;
    ClearDesc(&desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (placement == 0) desc.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY;
    if (placement == 1) desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    if (FAILED(screen->GetDirectDraw()->CreateSurface(&desc, &surface, nullptr)) ||
        surface == nullptr) {
        surface = nullptr;
        return -1;
    }
    this->width = width;
    this->height = height;
    clipArea = RECT{0, 0, width, height};
    this->screen = screen;
    this->placement = placement;
    fileName[0] = '\0';
    ReplaceAlphaPlane(this, nullptr, 0, 0);
    QueryPixelLayout(surface, &pixelLayout);
    hasMMX = ProcessorHasMMX();
    screen->AddSurface(this);
    surfaceId = TarnScreen::NextSurfaceId();
    SelectPixelRoutines();
    FillSolid(0);
    return 1;
}

// Puts the picture back after the surface lost its contents: the file (or bitmap resource) is
// loaded again into a temporary system-memory surface and copied 1:1 into the top-left
// width x height pixels.
HRESULT TarnSurface::ReloadPixels(const char* name) {
    if (name == nullptr) name = fileName;
    if (surface == nullptr || screen == nullptr || screen->GetDirectDraw() == nullptr) return -2;
    RECT rect = {0, 0, width, height};
    IDirectDrawSurface7* temporary = LoadPicture(screen->GetDirectDraw(), name, 1, this);
    if (temporary == nullptr) { // a surface made from a bitmap resource reloads it from there
        int w = 0, h = 0;
        temporary = LoadBitmapSurface(screen->GetDirectDraw(), name, &w, &h, 1);
    }
    if (temporary == nullptr) return -2;
    HRESULT hr = surface->Blt(&rect, temporary, &rect, DDBLT_WAIT, nullptr);
    temporary->Release();
    return hr;
}

// A full-screen back buffer is part of the chain and comes back with the primary surface; a
// surface loaded from a picture reloads it, since restoring returns memory, not contents.
HRESULT TarnSurface::Restore() {
    if (surface == nullptr) return -1;
    HRESULT hr;
    if (screen != nullptr && screen->GetBack() == this && screen->IsFullScreen() == 1 &&
        screen->GetFront() != nullptr)
        hr = screen->GetFront()->Restore();
    else
        hr = surface->Restore();
    if (SUCCEEDED(hr) && fileName[0] != '\0') return ReloadPixels(fileName);
    return hr;
}

// Only the outermost Lock reaches DirectDraw. A lost surface is restored and locked again, at
// most LOST_RETRIES times, so a display that stays away cannot hold the program here.
int TarnSurface::Lock() {
    if (lockCount > 0) return static_cast<int>(++lockCount);
    if (surface == nullptr) return -1;
    ClearDesc(&surfaceDesc);
    HRESULT hr = surface->Lock(nullptr, &surfaceDesc, DDLOCK_WAIT, nullptr);
    for (int retry = 0; hr == DDERR_SURFACELOST && retry < LOST_RETRIES; retry++) {
        Restore();
        ClearDesc(&surfaceDesc);
        hr = surface->Lock(nullptr, &surfaceDesc, DDLOCK_WAIT, nullptr);
    }
    if (FAILED(hr)) {
        ClearDesc(&surfaceDesc);
        return hr;
    }
    return static_cast<int>(++lockCount);
}

// Only the outermost Unlock reaches DirectDraw; an Unlock without a Lock still asks it, and its
// "not locked" answer is returned. Once the surface is unlocked its memory address is forgotten,
// so that a drawing routine called without a lock does nothing instead of writing through it.
int TarnSurface::Unlock() {
    if (lockCount > 1) return static_cast<int>(--lockCount);
    if (surface == nullptr) return -1;
    HRESULT hr = surface->Unlock(nullptr);
    for (int retry = 0; hr == DDERR_SURFACELOST && retry < LOST_RETRIES; retry++) {
        Restore();
        hr = surface->Unlock(nullptr);
    }
    if (FAILED(hr)) return hr;
    if (lockCount > 0) lockCount--;
    if (lockCount == 0) surfaceDesc.lpSurface = nullptr;
    return static_cast<int>(lockCount);
}

HDC TarnSurface::GetDC() {
    if (dcCount > 0) {
        dcCount++;
        return hdc;
    }
    if (surface == nullptr) return nullptr;
    HDC dc = nullptr;
    if (SUCCEEDED(surface->GetDC(&dc)) && dc != nullptr) {
        hdc = dc;
        dcCount++;
    }
    return hdc;
}

int TarnSurface::ReleaseDC() {
    if (dcCount > 1) {
        dcCount--;
        return 0;
    }
    if (surface == nullptr || hdc == nullptr) return -1;
    if (FAILED(surface->ReleaseDC(hdc))) return -1;
    dcCount = 0;
    hdc = nullptr;
    return 0;
}

// Text in the context's current font with a transparent background. No text is nothing to do;
// no device context to draw it in is a failure like a failed text output.
int TarnSurface::DrawString(int x, int y, COLORREF colour, const char* text) {
    if (text == nullptr) return 0;
    HDC dc = GetDC();
    if (dc == nullptr) return -1;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    BOOL drawn = TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
    ReleaseDC();
    return drawn ? 0 : -1;
}

// Fills the whole surface with a raw pixel value, whatever the clip area.
HRESULT TarnSurface::FillSolid(DWORD colour) {
    if (surface == nullptr) return -1;
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof(fx));
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = colour;
    return DrawRestoringLost(this, nullptr, [&] {
        return surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    });
}

// An opaque copy with the top-left corner at (x, y), clipped against both surfaces' clip areas
// once here so that the blit always gets rectangles inside both surfaces. When the blit finds a
// surface lost, each lost one is restored (the destination through its own Restore, so a
// full-screen back buffer comes back with its chain; a picture reloads its file) and the copy is
// made once more: the result is that copy's, or the failure of the restore that stopped it.
HRESULT TarnSurface::CopyTo(TarnSurface* dest, int x, int y, const RECT* srcRect) {
    if (surface == nullptr || dest == nullptr || dest->surface == nullptr) return -1;
    RECT rect = srcRect != nullptr ? *srcRect : RECT{0, 0, width, height};
    if (!ClipCopyRects(dest, &x, &y, &rect)) return 0;
    const DWORD dx = static_cast<DWORD>(x), dy = static_cast<DWORD>(y);
    return DrawRestoringLost(
        this, dest, [&] { return dest->surface->BltFast(dx, dy, surface, &rect, DDBLTFAST_WAIT); });
}

// The source first, as a copy's recovery has always gone; a surface that is both is restored once.
HRESULT RestoreLostSurfaces(TarnSurface* a, TarnSurface* b) {
    for (TarnSurface* s : {a, b}) {
        if (s == nullptr || s->surface == nullptr || (s == b && b == a)) continue;
        if (s->surface->IsLost() != DDERR_SURFACELOST) continue;
        const HRESULT hr = s->Restore();
        if (FAILED(hr)) return hr;
    }
    return DD_OK;
}

// The clipping of every copy from this surface onto `dest`. The copy maps source pixel
// (src.left + i, src.top + j) to (x + i, y + j); the part kept is what lies inside both the
// source rectangle and this surface's clip area and lands inside the destination's clip area.
// On TRUE, src is that part and (x, y) where its top-left pixel lands, so every trim on either
// side moves the other side with it. FALSE (nothing changed) when nothing is left: an empty or
// inverted rectangle or clip area, or a copy wholly outside either surface. The arithmetic is
// 64-bit, so positions anywhere in the int range cannot overflow.
BOOL TarnSurface::ClipCopyRects(TarnSurface* dest, int* x, int* y, RECT* src) {
    if (dest == nullptr || x == nullptr || y == nullptr || src == nullptr) return FALSE;
    // Destination coordinate = source coordinate + offset.
    const long long offsetX = static_cast<long long>(*x) - src->left;
    const long long offsetY = static_cast<long long>(*y) - src->top;
    const RECT& to = dest->clipArea;
    const long long left = std::max({static_cast<long long>(src->left),
                                     static_cast<long long>(clipArea.left), to.left - offsetX});
    const long long top = std::max(
        {static_cast<long long>(src->top), static_cast<long long>(clipArea.top), to.top - offsetY});
    const long long right = std::min({static_cast<long long>(src->right),
                                      static_cast<long long>(clipArea.right), to.right - offsetX});
    const long long bottom =
        std::min({static_cast<long long>(src->bottom), static_cast<long long>(clipArea.bottom),
                  to.bottom - offsetY});
    if (right <= left || bottom <= top) return FALSE;
    *src = RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                static_cast<LONG>(bottom)};
    *x = static_cast<int>(left + offsetX);
    *y = static_cast<int>(top + offsetY);
    return TRUE;
}

BOOL TarnSurface::ClipToArea(RECT* r) {
    if (r == nullptr) return FALSE;
    if (r->top >= clipArea.bottom || r->left >= clipArea.right || r->bottom <= clipArea.top ||
        r->right <= clipArea.left)
        return FALSE;
    if (r->top < clipArea.top) r->top = clipArea.top;
    if (r->left < clipArea.left) r->left = clipArea.left;
    if (r->bottom > clipArea.bottom) r->bottom = clipArea.bottom;
    if (r->right > clipArea.right) r->right = clipArea.right;
    return TRUE;
}

void TarnSurface::SetClipArea(const RECT* r) {
    if (r == nullptr) return;
    clipArea.top = r->top > 0 ? r->top : 0;
    clipArea.left = r->left > 0 ? r->left : 0;
    clipArea.bottom = r->bottom < height ? r->bottom : height;
    clipArea.right = r->right < width ? r->right : width;
}

void TarnSurface::GetPixelLayout(PixelLayout* out) {
    if (out != nullptr) *out = pixelLayout;
}

// The drawing routines are chosen once per surface by its depth code, never per pixel.
void TarnSurface::SelectPixelRoutines() {
    PixelLayout layout;
    GetPixelLayout(&layout);
    switch (layout.depth) {
    case 8:
        plotPixel = &TarnSurface::PlotPixel8;
        blendPixel = &TarnSurface::BlendPixel8;
        readPixel = &TarnSurface::ReadPixel8;
        vertLine = &TarnSurface::VertLine8;
        horzLine = &TarnSurface::HorzLine8;
        break;
    case 15:
    case 16:
        plotPixel = &TarnSurface::PlotPixel16;
        blendPixel = layout.depth == 15 ? &TarnSurface::BlendPixel555 : &TarnSurface::BlendPixel565;
        readPixel = &TarnSurface::ReadPixel16;
        vertLine = &TarnSurface::VertLine16;
        horzLine = &TarnSurface::HorzLine16;
        break;
    case 24:
        plotPixel = &TarnSurface::PlotPixel24;
        blendPixel = &TarnSurface::BlendPixel24;
        readPixel = &TarnSurface::ReadPixel24;
        vertLine = &TarnSurface::VertLine24;
        horzLine = &TarnSurface::HorzLine24;
        break;
    case 32:
        plotPixel = &TarnSurface::PlotPixel32;
        blendPixel = &TarnSurface::BlendPixel32;
        readPixel = &TarnSurface::ReadPixel32;
        vertLine = &TarnSurface::VertLine32;
        horzLine = &TarnSurface::HorzLine32;
        break;
    default:
        plotPixel = nullptr;
        blendPixel = nullptr;
        readPixel = nullptr;
        vertLine = nullptr;
        horzLine = nullptr;
        break;
    }
}

// Reads the channel masks into maximum and shift per channel and derives the depth code that
// selects the drawing routines; 5-5-5 is told from other 16-bit layouts by its channel sizes.
BOOL QueryPixelLayout(IDirectDrawSurface7* surface, PixelLayout* out) {
    if (surface == nullptr || out == nullptr) return FALSE;
    DDSURFACEDESC2 desc;
    ClearDesc(&desc);
    desc.dwFlags = DDSD_PIXELFORMAT;
    if (FAILED(surface->GetSurfaceDesc(&desc))) return FALSE;
    DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
    if (bits <= 8) {
        out->depth = static_cast<int>(bits);
        out->blueMax = out->greenMax = out->redMax = 0;
        out->blueShift = out->greenShift = out->redShift = 0;
        return TRUE;
    }
    DWORD masks[3] = {desc.ddpfPixelFormat.dwRBitMask, desc.ddpfPixelFormat.dwGBitMask,
                      desc.ddpfPixelFormat.dwBBitMask};
    BYTE maxima[3];
    BYTE shifts[3];
    for (int c = 0; c < 3; c++) {
        DWORD mask = masks[c];
        int shift = 0;
        while ((mask & 1) == 0 && shift < 32) {
            mask >>= 1;
            shift++;
        }
        maxima[c] = static_cast<BYTE>(mask & 0xFF);
        shifts[c] = static_cast<BYTE>(shift);
    }
    out->redMax = maxima[0];
    out->greenMax = maxima[1];
    out->blueMax = maxima[2];
    out->redShift = shifts[0];
    out->greenShift = shifts[1];
    out->blueShift = shifts[2];
    if ((desc.ddpfPixelFormat.dwFlags & DDPF_RGB) == 0) {
        out->depth = 0;
        return FALSE;
    }
    switch (bits) {
    case 16:
        out->depth = out->redMax + out->greenMax + out->blueMax == 93 ? 15 : 16;
        break;
    case 24:
        out->depth = 24;
        break;
    case 32:
        out->depth = 32;
        break;
    default:
        out->depth = 0;
        break;
    }
    return TRUE;
}

// The library's one processor probe answers, once per process.
int ProcessorHasMMX() {
    return tarn::cpu::HasMmx() ? 1 : 0;
}
