// A DirectDraw surface: its memory and description, reference counting (a flipping chain lives
// as long as its primary), Lock/Unlock, device contexts, palettes, colour keys, and loss: once
// the display is taken away a chain buffer or video-memory surface answers DDERR_SURFACELOST
// until Restore, which gives the memory back filled with junk, never the old pixels.
#include "ddraw/DirectDrawObjects.h"

#include "host/Host.h"
#include "internal/Display.h"
#include "internal/StandIn.h"

#include <algorithm>
#include <cstring>

namespace tarn::platform {

DirectDrawSurface::DirectDrawSurface(DirectDrawDevice* device, int width, int height,
                                     const SurfaceFormat& format, DWORD caps, int pitchPadding)
    : ComObject("surface", {&IID_IDirectDrawSurface7}), device(device), width(width),
      height(height), format(format), caps(caps) {
    pitch = (long)((((int64_t)width * (format.bits / 8)) + 3) & ~int64_t{3}) + pitchPadding;
    memory.assign((size_t)pitch * (size_t)height, 0);
    modeGeneration = Display().modeGeneration;
    device->Hold();
    DisplayState& d = Display();
    d.surfaces.push_back(this);
    d.surfaceInterfaces.Insert(static_cast<IDirectDrawSurface7*>(this));
    if (InVideoMemory()) d.videoMemoryUsed += memory.size();
}

DirectDrawSurface::~DirectDrawSurface() {
    if (dc) DestroySurfaceDC(dc);
    if (palette) palette->Release();
    DisplayState& d = Display();
    if (InVideoMemory()) d.videoMemoryUsed -= std::min<uint64_t>(d.videoMemoryUsed, memory.size());
    d.surfaces.erase(std::remove(d.surfaces.begin(), d.surfaces.end(), this), d.surfaces.end());
    d.surfaceInterfaces.Erase(static_cast<IDirectDrawSurface7*>(this));
    if (device->primarySurface == this) device->primarySurface = nullptr;
    device->Drop();
}

// The object behind an interface pointer: a blit's source is checked against the live surfaces
// by its address, without a search, whatever the number of surfaces.
DirectDrawSurface* DirectDrawSurface::From(IDirectDrawSurface7* surface) {
    if (!Display().surfaceInterfaces.Contains(surface)) return nullptr;
    return static_cast<DirectDrawSurface*>(surface);
}

void DirectDrawSurface::JoinChain(DirectDrawSurface* chainPrimary, int index) {
    if (index == 0) {
        chain.push_back(this);
        return;
    }
    primary = chainPrimary;
    refs = 0; // held by the chain; GetAttachedSurface hands out references
    chainPrimary->chain.push_back(this);
}

// A chain dies with its primary. A back buffer the program still holds a reference to
// leaves the chain and lives on alone until released.
void DirectDrawSurface::Destroy() {
    for (size_t i = 1; i < chain.size(); ++i) {
        DirectDrawSurface* back = chain[i];
        back->primary = nullptr;
        if (back->refs == 0) delete back;
    }
    chain.clear();
    delete this;
}

// The last reference of a buffer of a living chain goes back to the chain, which keeps it.
void DirectDrawSurface::LastReleased() {
    if (!primary) Destroy();
}

bool DirectDrawSurface::RectInside(const RECT& r) const {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= width &&
           r.bottom <= height;
}

void DirectDrawSurface::MarkLostIfDisplayed() {
    if (primary || IsPrimary() || InVideoMemory()) lost = true;
}

// The palette GDI and the display use for an 8-bit surface: its own, else its chain's, else the
// primary surface's.
const uint32_t* DirectDrawSurface::PaletteColours() {
    if (palette) return palette->Colours();
    if (primary && primary->palette) return primary->palette->Colours();
    DirectDrawSurface* screen = device->primarySurface;
    if (screen && screen->palette) return screen->palette->Colours();
    return nullptr;
}

bool DirectDrawSurface::DescribeTarget(PixelTarget* out) {
    if (lost) return false;
    out->pixels = memory.data();
    out->pitch = pitch;
    out->width = width;
    out->height = height;
    out->bits = format.bits;
    out->redMask = format.redMask;
    out->greenMask = format.greenMask;
    out->blueMask = format.blueMask;
    out->palette = format.bits == 8 ? PaletteColours() : nullptr;
    return true;
}

void DirectDrawSurface::FillDesc(DDSURFACEDESC2* desc) {
    DWORD size = desc->dwSize;
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = size;
    desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = (DWORD)width;
    desc->dwHeight = (DWORD)height;
    desc->lPitch = (LONG)pitch;
    if (chain.size() > 1) {
        desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc->dwBackBufferCount = (DWORD)(chain.size() - 1);
    }
    if (hasSrcKey) {
        desc->dwFlags |= DDSD_CKSRCBLT;
        desc->ddckCKSrcBlt = srcKey;
    }
    FillPixelFormat(format, &desc->ddpfPixelFormat);
    desc->ddsCaps.dwCaps = caps;
}

// Restored memory holds whatever the card had there: a non-zero pattern that changes with
// every restore, so a test can tell it from the old pixels.
void DirectDrawSurface::FillJunk() {
    uint32_t x = 0x9E3779B9u ^ (++junkSeed * 0x85EBCA6Bu) ^ (uint32_t)(uintptr_t)this;
    for (size_t i = 0; i < memory.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        memory[i] = (uint8_t)(x | 1);
    }
}

// Shows the front buffer through the host: a flipping chain whole, a primary surface without
// one (a windowed program's desktop) only where the program's window is. Nothing is allocated.
void DirectDrawSurface::Present() {
    FrameView view;
    view.pixels = memory.data();
    view.pitch = (int)pitch;
    view.width = width;
    view.height = height;
    RECT area;
    if (chain.size() < 2 && WindowedViewport(width, height, &area)) {
        view.pixels =
            memory.data() + (size_t)area.top * pitch + (size_t)area.left * format.bits / 8;
        view.width = area.right - area.left;
        view.height = area.bottom - area.top;
    }
    view.bits = format.bits;
    view.redMask = format.redMask;
    view.greenMask = format.greenMask;
    view.blueMask = format.blueMask;
    if (format.bits == 8) {
        const uint32_t* colours = PaletteColours();
        view.palette = colours ? colours : DefaultPalette();
    }
    CurrentHost().Present(view);
}

// ---------------------------------------------------------------------------------------------
// Description, locking, loss
// ---------------------------------------------------------------------------------------------

HRESULT DirectDrawSurface::GetSurfaceDesc(LPDDSURFACEDESC2 desc) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::GetSurfaceDesc">(&hr)) return hr;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    FillDesc(desc);
    return DD_OK;
}

HRESULT DirectDrawSurface::GetPixelFormat(LPDDPIXELFORMAT out) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::GetPixelFormat">(&hr)) return hr;
    if (!out || out->dwSize != sizeof(DDPIXELFORMAT)) return DDERR_INVALIDPARAMS;
    FillPixelFormat(format, out);
    return DD_OK;
}

HRESULT DirectDrawSurface::GetCaps(LPDDSCAPS2 out) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::GetCaps">(&hr)) return hr;
    if (!out) return DDERR_INVALIDPARAMS;
    std::memset(out, 0, sizeof *out);
    out->dwCaps = caps;
    return DD_OK;
}

HRESULT DirectDrawSurface::Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::Lock">(&hr)) return hr;
    (void)flags;
    (void)event;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    if (lost) return DDERR_SURFACELOST;
    if (Busy()) return DDERR_SURFACEBUSY;
    if (rect && !RectInside(*rect)) return DDERR_INVALIDRECT;
    FillDesc(desc);
    size_t offset = 0;
    if (rect) offset = (size_t)rect->top * (size_t)pitch + (size_t)rect->left * (format.bits / 8);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = memory.data() + offset;
    locked = true;
    return DD_OK;
}

// A surface lost while locked keeps its lock (and its memory) until it is restored.
HRESULT DirectDrawSurface::Unlock(LPRECT) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::Unlock">(&hr)) return hr;
    if (!locked) return DDERR_NOTLOCKED;
    if (lost) return DDERR_SURFACELOST;
    locked = false;
    return DD_OK;
}

HRESULT DirectDrawSurface::IsLost() {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::IsLost">(&hr)) return hr;
    return lost ? DDERR_SURFACELOST : DD_OK;
}

// Restoring the primary restores its whole chain; a back buffer cannot be restored alone.
HRESULT DirectDrawSurface::Restore() {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::Restore">(&hr)) return hr;
    if (!lost) return DD_OK;
    if (primary) return DDERR_IMPLICITLYCREATED;
    if (Display().away) return DDERR_WRONGMODE;
    if (IsPrimary() && modeGeneration != Display().modeGeneration) return DDERR_WRONGMODE;
    if (chain.empty()) {
        FillJunk();
        lost = false;
    }
    for (DirectDrawSurface* s : chain) {
        s->FillJunk();
        s->lost = false;
    }
    return DD_OK;
}

// ---------------------------------------------------------------------------------------------
// Device contexts
// ---------------------------------------------------------------------------------------------

HRESULT DirectDrawSurface::GetDC(HDC* out) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::GetDC">(&hr)) return hr;
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (lost) return DDERR_SURFACELOST;
    if (dcOut) return DDERR_DCALREADYCREATED;
    if (locked) return DDERR_SURFACEBUSY;
    HDC opened = OpenSurfaceDC(this, dc);
    if (!opened) return DDERR_CANTCREATEDC;
    dc = opened;
    dcOut = true;
    *out = dc;
    return DD_OK;
}

// Releasing always ends the context, even on a lost surface: nothing is left half-held.
HRESULT DirectDrawSurface::ReleaseDC(HDC hdc) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::ReleaseDC">(&hr)) return hr;
    if (!dcOut) return DDERR_NODC;
    if (hdc != dc) return DDERR_INVALIDPARAMS;
    CloseSurfaceDC(dc);
    dcOut = false;
    if (IsPrimary() && chain.size() < 2 && !lost) Present();
    return DD_OK;
}

// ---------------------------------------------------------------------------------------------
// Palettes, colour keys, attached surfaces
// ---------------------------------------------------------------------------------------------

HRESULT DirectDrawSurface::SetPalette(LPDIRECTDRAWPALETTE newPalette) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::SetPalette">(&hr)) return hr;
    if (lost) return DDERR_SURFACELOST;
    if (!newPalette) {
        if (palette) palette->Release();
        palette = nullptr;
        return DD_OK;
    }
    DirectDrawPalette* p = DirectDrawPalette::From(newPalette);
    if (!p) return DDERR_INVALIDPARAMS;
    if (format.bits != 8) return DDERR_INVALIDPIXELFORMAT;
    p->Hold();
    if (palette) palette->Release();
    palette = p;
    return DD_OK;
}

HRESULT DirectDrawSurface::GetPalette(LPDIRECTDRAWPALETTE* out) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::GetPalette">(&hr)) return hr;
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    DirectDrawPalette* p = palette ? palette : (primary ? primary->palette : nullptr);
    if (!p) return DDERR_NOPALETTEATTACHED;
    p->Hold();
    *out = p;
    return DD_OK;
}

HRESULT DirectDrawSurface::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::SetColorKey">(&hr)) return hr;
    if ((flags & ~(DWORD)DDCKEY_COLORSPACE) != DDCKEY_SRCBLT) return DDERR_UNSUPPORTED;
    // The device offers single-colour keys only (its caps list no colour-space keys), so a
    // range is refused as a driver without the hardware refuses it.
    if (flags & DDCKEY_COLORSPACE) return DDERR_NOCOLORKEYHW;
    if (!key) {
        hasSrcKey = false;
        return DD_OK;
    }
    srcKey.dwColorSpaceLowValue = srcKey.dwColorSpaceHighValue = key->dwColorSpaceLowValue;
    hasSrcKey = true;
    return DD_OK;
}

HRESULT DirectDrawSurface::GetColorKey(DWORD flags, LPDDCOLORKEY key) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::GetColorKey">(&hr)) return hr;
    if (!key) return DDERR_INVALIDPARAMS;
    if (flags != DDCKEY_SRCBLT) return DDERR_UNSUPPORTED;
    if (!hasSrcKey) return DDERR_NOCOLORKEY;
    *key = srcKey;
    return DD_OK;
}

// The next buffer of the chain whose capabilities include all of `wanted`.
HRESULT DirectDrawSurface::GetAttachedSurface(LPDDSCAPS2 wanted, LPDIRECTDRAWSURFACE7* out) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::GetAttachedSurface">(&hr)) return hr;
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!wanted) return DDERR_INVALIDPARAMS;
    DirectDrawSurface* head = ChainPrimary();
    const auto& members = head->chain;
    auto self = std::find(members.begin(), members.end(), this);
    if (members.size() < 2 || self == members.end()) return DDERR_NOTFOUND;
    size_t next = ((size_t)(self - members.begin()) + 1) % members.size();
    DirectDrawSurface* found = members[next];
    if ((found->caps & wanted->dwCaps) != wanted->dwCaps) return DDERR_NOTFOUND;
    ++found->refs;
    *out = found;
    return DD_OK;
}

HRESULT DirectDrawSurface::GetDDInterface(LPVOID* out) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::GetDDInterface">(&hr)) return hr;
    if (!out) return DDERR_INVALIDPARAMS;
    device->Hold();
    *out = static_cast<IDirectDraw7*>(device);
    return DD_OK;
}

// ---------------------------------------------------------------------------------------------
// What the library never calls: present in the vtable, answered plainly.
// ---------------------------------------------------------------------------------------------
#define TARN_UNSUPPORTED(signature, name)                                                          \
    HRESULT DirectDrawSurface::signature {                                                         \
        return Answer<name>(DDERR_UNSUPPORTED);                                                    \
    }

TARN_UNSUPPORTED(AddAttachedSurface(LPDIRECTDRAWSURFACE7), "AddAttachedSurface")
TARN_UNSUPPORTED(AddOverlayDirtyRect(LPRECT), "AddOverlayDirtyRect")
TARN_UNSUPPORTED(BltBatch(LPDDBLTBATCH, DWORD, DWORD), "BltBatch")
TARN_UNSUPPORTED(DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE7), "DeleteAttachedSurface")
TARN_UNSUPPORTED(EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK7), "EnumAttachedSurfaces")
TARN_UNSUPPORTED(EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK7), "EnumOverlayZOrders")
TARN_UNSUPPORTED(GetClipper(LPDIRECTDRAWCLIPPER*), "GetClipper")
TARN_UNSUPPORTED(GetOverlayPosition(LPLONG, LPLONG), "GetOverlayPosition")
TARN_UNSUPPORTED(SetClipper(LPDIRECTDRAWCLIPPER), "SetClipper")
TARN_UNSUPPORTED(SetOverlayPosition(LONG, LONG), "SetOverlayPosition")
TARN_UNSUPPORTED(UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD, LPDDOVERLAYFX),
                 "UpdateOverlay")
TARN_UNSUPPORTED(UpdateOverlayDisplay(DWORD), "UpdateOverlayDisplay")
TARN_UNSUPPORTED(UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE7), "UpdateOverlayZOrder")
TARN_UNSUPPORTED(SetSurfaceDesc(LPDDSURFACEDESC2, DWORD), "SetSurfaceDesc")
TARN_UNSUPPORTED(SetPrivateData(REFGUID, LPVOID, DWORD, DWORD), "SetPrivateData")
TARN_UNSUPPORTED(GetPrivateData(REFGUID, LPVOID, LPDWORD), "GetPrivateData")
TARN_UNSUPPORTED(FreePrivateData(REFGUID), "FreePrivateData")
TARN_UNSUPPORTED(SetPriority(DWORD), "SetPriority")
TARN_UNSUPPORTED(GetPriority(LPDWORD), "GetPriority")
TARN_UNSUPPORTED(SetLOD(DWORD), "SetLOD")
TARN_UNSUPPORTED(GetLOD(LPDWORD), "GetLOD")

HRESULT DirectDrawSurface::GetBltStatus(DWORD) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::GetBltStatus">(&hr)) return hr;
    return lost ? DDERR_SURFACELOST : DD_OK;
}
HRESULT DirectDrawSurface::GetFlipStatus(DWORD) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::GetFlipStatus">(&hr)) return hr;
    return lost ? DDERR_SURFACELOST : DD_OK;
}
HRESULT DirectDrawSurface::Initialize(LPDIRECTDRAW, LPDDSURFACEDESC2) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::Initialize">(&hr)) return hr;
    return DDERR_ALREADYINITIALIZED;
}
HRESULT DirectDrawSurface::PageLock(DWORD) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::PageLock">(&hr)) return hr;
    return DD_OK;
}
HRESULT DirectDrawSurface::PageUnlock(DWORD) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::PageUnlock">(&hr)) return hr;
    return DD_OK;
}
HRESULT DirectDrawSurface::GetUniquenessValue(LPDWORD value) {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::GetUniquenessValue">(&hr)) return hr;
    if (!value) return DDERR_INVALIDPARAMS;
    *value = 0;
    return DD_OK;
}
HRESULT DirectDrawSurface::ChangeUniquenessValue() {
    if (HRESULT hr; Enter<"IDirectDrawSurface7::ChangeUniquenessValue">(&hr)) return hr;
    return DD_OK;
}

} // namespace tarn::platform
