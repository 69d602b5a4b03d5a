// What the screen and surface tests share: an off-screen surface wrapped in a TarnSurface the
// way TarnScreen wraps its buffers, the raw value of one pixel read through a lock, and the
// pixel format of each depth.
#pragma once

#include "display/TarnScreen.h"
#include "surface/TarnSurface.h"

#include <gtest/gtest.h>

#include <cstring>

// The pixel format of a depth code (8, 15, 16, 24, 32), as a program asks DirectDraw for it.
inline DDPIXELFORMAT FormatOf(int depth) {
    DDPIXELFORMAT pf = {};
    pf.dwSize = sizeof pf;
    pf.dwFlags = DDPF_RGB | (depth == 8 ? DDPF_PALETTEINDEXED8 : 0);
    pf.dwRGBBitCount = depth == 15 ? 16 : depth;
    if (depth == 15) pf.dwRBitMask = 0x7C00, pf.dwGBitMask = 0x03E0, pf.dwBBitMask = 0x001F;
    if (depth == 16) pf.dwRBitMask = 0xF800, pf.dwGBitMask = 0x07E0, pf.dwBBitMask = 0x001F;
    if (depth >= 24) pf.dwRBitMask = 0xFF0000, pf.dwGBitMask = 0x00FF00, pf.dwBBitMask = 0x0000FF;
    return pf;
}

// A w x h off-screen surface on `screen`'s device with `caps` (system memory unless asked), in
// the display's format or `format`, clipped to itself, its pixel layout queried and its pixel
// routines chosen.
inline TarnSurface* WrapOffscreenSurface(TarnScreen* screen, int w, int h,
                                         DWORD caps = DDSCAPS_SYSTEMMEMORY,
                                         const DDPIXELFORMAT* format = nullptr) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (format ? DDSD_PIXELFORMAT : 0);
    desc.dwWidth = w;
    desc.dwHeight = h;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | caps;
    if (format) desc.ddpfPixelFormat = *format;
    IDirectDrawSurface7* dds = nullptr;
    EXPECT_EQ(screen->GetDirectDraw()->CreateSurface(&desc, &dds, nullptr), DD_OK);
    TarnSurface* s = new TarnSurface();
    screen->SetSurfaceInterface(s, dds);
    screen->SetSurfaceWidth(s, w);
    screen->SetSurfaceHeight(s, h);
    RECT area = {0, 0, w, h};
    s->SetClipArea(&area);
    screen->QuerySurfacePixelFormat(s);
    s->SelectPixelRoutines();
    return s;
}

// The raw pixel value at (x, y) in the surface's own depth, read through its lock;
// 0xDEADBEEF when the lock fails.
inline DWORD RawPixel(TarnSurface* s, int x, int y) {
    if (s->Lock() < 1) return 0xDEADBEEF;
    int bytes = static_cast<int>(s->surfaceDesc.ddpfPixelFormat.dwRGBBitCount) / 8;
    const BYTE* p =
        static_cast<const BYTE*>(s->surfaceDesc.lpSurface) + y * s->surfaceDesc.lPitch + x * bytes;
    DWORD value = 0;
    for (int i = 0; i < bytes; i++) value |= static_cast<DWORD>(p[i]) << (8 * i);
    s->Unlock();
    return value;
}
