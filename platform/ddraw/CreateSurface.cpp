// IDirectDraw7::CreateSurface: the primary surface (alone, or with one or two back buffers as a
// flipping chain, which needs the exclusive level) and off-screen plain surfaces in video
// memory, system memory or wherever they fit. Video memory has the host machine's budget: a
// surface that asks for video memory and does not fit fails, one without a preference goes to
// system memory instead.
#include "ddraw/DirectDrawObjects.h"

#include "host/Host.h"
#include "internal/StandIn.h"

#include <cstring>

#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)

namespace tarn::platform {
namespace {

constexpr int MAX_SIDE = 16384;                    // widest and tallest surface made
constexpr uint64_t MAX_SURFACE_BYTES = 256u << 20; // one surface's memory at most

uint64_t SurfaceBytes(int width, int height, int bits, int padding) {
    uint64_t pitch = (((uint64_t)width * (uint64_t)(bits / 8)) + 3) & ~uint64_t{3};
    return (pitch + (uint64_t)padding) * (uint64_t)height;
}

// Chooses the memory of a new surface (or chain) of `bytes`: DDSCAPS_VIDEOMEMORY or
// DDSCAPS_SYSTEMMEMORY in *where, or DDERR_OUTOFVIDEOMEMORY.
HRESULT Place(DWORD caps, uint64_t bytes, DWORD* where) {
    uint64_t budget = CurrentHost().Machine().videoMemoryBytes;
    uint64_t used = Display().videoMemoryUsed;
    bool fits = used <= budget && bytes <= budget - used;
    if (caps & DDSCAPS_SYSTEMMEMORY) {
        *where = DDSCAPS_SYSTEMMEMORY;
    } else if (caps & DDSCAPS_VIDEOMEMORY) {
        if (!fits) return DDERR_OUTOFVIDEOMEMORY;
        *where = DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    } else {
        *where = fits ? DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM : DDSCAPS_SYSTEMMEMORY;
    }
    return DD_OK;
}

// A pixel format a program asked for: palettised 8-bit or RGB of 16, 24 or 32 bits.
bool TakeFormat(const DDPIXELFORMAT& pf, SurfaceFormat* out) {
    if (pf.dwSize != sizeof(DDPIXELFORMAT) || !(pf.dwFlags & DDPF_RGB)) return false;
    SurfaceFormat f;
    f.bits = (int)pf.dwRGBBitCount;
    if (f.bits == 8) {
        if (!(pf.dwFlags & DDPF_PALETTEINDEXED8)) return false;
        *out = f;
        return true;
    }
    if (f.bits != 16 && f.bits != 24 && f.bits != 32) return false;
    f.redMask = pf.dwRBitMask, f.greenMask = pf.dwGBitMask, f.blueMask = pf.dwBBitMask;
    uint32_t limit = f.bits == 32 ? 0xFFFFFFFFu : (1u << f.bits) - 1;
    bool valid = f.redMask && f.greenMask && f.blueMask && (f.redMask & f.greenMask) == 0 &&
                 (f.redMask & f.blueMask) == 0 && (f.greenMask & f.blueMask) == 0 &&
                 ((f.redMask | f.greenMask | f.blueMask) & ~limit) == 0;
    if (!valid) return false;
    *out = f;
    return true;
}

HRESULT CreatePrimary(DirectDrawDevice* device, const DDSURFACEDESC2& desc, DWORD caps,
                      LPDIRECTDRAWSURFACE7* out) {
    if (device->primarySurface) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    if (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
    int backBuffers = 0;
    if (caps & DDSCAPS_FLIP) {
        if (!(caps & DDSCAPS_COMPLEX) || !(desc.dwFlags & DDSD_BACKBUFFERCOUNT) ||
            desc.dwBackBufferCount == 0)
            return DDERR_INVALIDCAPS;
        if (!device->Exclusive()) return DDERR_NOEXCLUSIVEMODE;
        if (desc.dwBackBufferCount > (DWORD)CurrentHost().Machine().maxBackBuffers)
            return DDERR_OUTOFCAPS;
        backBuffers = (int)desc.dwBackBufferCount;
    } else if (desc.dwFlags & DDSD_BACKBUFFERCOUNT) {
        return DDERR_INVALIDCAPS;
    }
    int width, height, bits;
    CurrentMode(&width, &height, &bits);
    SurfaceFormat format = DisplayFormat(bits);
    int padding = CurrentHost().Machine().pitchPadding;
    uint64_t bytes = SurfaceBytes(width, height, bits, padding) * (uint64_t)(backBuffers + 1);
    DWORD where = 0;
    if (HRESULT hr = Place(caps, bytes, &where); FAILED(hr)) return hr;

    const DWORD shared = (caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE)) | where;
    auto* front = new DirectDrawSurface(device, width, height, format,
                                        shared | DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE |
                                            (backBuffers ? DDSCAPS_FRONTBUFFER : 0),
                                        padding);
    if (backBuffers) front->JoinChain(front, 0);
    for (int i = 1; i <= backBuffers; ++i) {
        auto* back = new DirectDrawSurface(device, width, height, format,
                                           shared | (i == 1 ? DDSCAPS_BACKBUFFER : 0), padding);
        back->JoinChain(front, i);
    }
    device->primarySurface = front;
    *out = front;
    return DD_OK;
}

HRESULT CreateOffscreen(DirectDrawDevice* device, const DDSURFACEDESC2& desc, DWORD caps,
                        LPDIRECTDRAWSURFACE7* out) {
    (void)device;
    if (caps & (DDSCAPS_FLIP | DDSCAPS_BACKBUFFER | DDSCAPS_FRONTBUFFER | DDSCAPS_OVERLAY |
                DDSCAPS_ZBUFFER))
        return DDERR_INVALIDCAPS;
    if (!(desc.dwFlags & DDSD_WIDTH) || !(desc.dwFlags & DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
    if (desc.dwWidth == 0 || desc.dwHeight == 0) return DDERR_INVALIDPARAMS;
    if (desc.dwWidth > (DWORD)MAX_SIDE) return DDERR_TOOBIGWIDTH;
    if (desc.dwHeight > (DWORD)MAX_SIDE) return DDERR_TOOBIGHEIGHT;
    int width = (int)desc.dwWidth, height = (int)desc.dwHeight;
    SurfaceFormat format;
    if (desc.dwFlags & DDSD_PIXELFORMAT) {
        if (!TakeFormat(desc.ddpfPixelFormat, &format)) return DDERR_INVALIDPIXELFORMAT;
    } else {
        int modeW, modeH, bits;
        CurrentMode(&modeW, &modeH, &bits);
        format = DisplayFormat(bits);
    }
    int padding = CurrentHost().Machine().pitchPadding;
    uint64_t bytes = SurfaceBytes(width, height, format.bits, padding);
    if (bytes > MAX_SURFACE_BYTES) return DDERR_OUTOFMEMORY;
    DWORD where = 0;
    if (HRESULT hr = Place(caps, bytes, &where); FAILED(hr)) return hr;
    DWORD keep = caps & ~(DWORD)(DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY | DDSCAPS_LOCALVIDMEM |
                                 DDSCAPS_NONLOCALVIDMEM);
    if (!(keep & (DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE))) keep |= DDSCAPS_OFFSCREENPLAIN;
    auto* surface = new DirectDrawSurface(device, width, height, format, keep | where, padding);
    *out = surface;
    return DD_OK;
}

} // namespace

HRESULT DirectDrawDevice::CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* out,
                                        IUnknown* outer) {
    if (HRESULT hr; Enter<"IDirectDraw7::CreateSurface">(&hr)) return hr;
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!cooperativeLevelSet) return DDERR_NOCOOPERATIVELEVELSET;
    DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : 0;
    if ((caps & DDSCAPS_VIDEOMEMORY) && (caps & DDSCAPS_SYSTEMMEMORY)) return DDERR_INVALIDCAPS;
    if (caps & DDSCAPS_PRIMARYSURFACE) return CreatePrimary(this, *desc, caps, out);
    return CreateOffscreen(this, *desc, caps, out);
}

} // namespace tarn::platform
