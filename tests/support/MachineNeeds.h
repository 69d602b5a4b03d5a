// What a test needs of the machine and may not find there. On the headless host a test sets the
// machine up itself, but on Windows, and under Wine, the display and its driver are the machine's
// own: a driver without video memory or without the demo's display mode is a machine to set up,
// not a fault of the library. Each check returns "" when the thing is there and otherwise says
// what is missing and what provides it, for the test to skip with:
//     if (std::string lacks = LacksVideoMemory(dd); !lacks.empty()) GTEST_SKIP() << lacks;
// The Windows run lists every case skipped this way with its reason.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <cstdio>
#include <string>

// An off-screen surface in video memory, asked of the driver directly.
inline std::string LacksVideoMemory(IDirectDraw7* dd) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    desc.dwWidth = desc.dwHeight = 8;
    IDirectDrawSurface7* surface = nullptr;
    const HRESULT hr = dd->CreateSurface(&desc, &surface, nullptr);
    if (SUCCEEDED(hr) && surface) {
        surface->Release();
        return "";
    }
    char text[256];
    std::snprintf(text, sizeof text,
                  "the display driver makes no surfaces in video memory (CreateSurface: 0x%08X); "
                  "Wine's needs OpenGL beside it (for 32-bit Wine: libgl1:i386, "
                  "libgl1-mesa-dri:i386, libglx-mesa0:i386)",
                  static_cast<unsigned>(hr));
    return text;
}

// The mode a test looks for in the driver's list, and whether it was there.
struct WantedMode {
    DWORD width, height, bits;
    bool found;
};

// EnumDisplayModes' callback (a named function: it is WINAPI, which a lambda is not on 32-bit x86).
inline HRESULT WINAPI FindWantedMode(LPDDSURFACEDESC2 mode, LPVOID context) {
    auto* wanted = static_cast<WantedMode*>(context);
    if (mode->dwWidth == wanted->width && mode->dwHeight == wanted->height &&
        mode->ddpfPixelFormat.dwRGBBitCount == wanted->bits)
        wanted->found = true;
    return wanted->found ? DDENUMRET_CANCEL : DDENUMRET_OK;
}

// A display mode of exactly this size and depth in the driver's list, asked of a DirectDraw
// object of its own (for tests that only hold the library's screen).
inline std::string LacksDisplayMode(DWORD width, DWORD height, DWORD bits) {
    IDirectDraw* first = nullptr;
    IDirectDraw7* dd = nullptr;
    if (FAILED(DirectDrawCreate(nullptr, &first, nullptr))) return "no DirectDraw device";
    const HRESULT hr = first->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd));
    first->Release();
    if (FAILED(hr)) return "no DirectDraw 7 interface";
    WantedMode wanted{width, height, bits, false};
    dd->EnumDisplayModes(0, nullptr, &wanted, FindWantedMode);
    dd->Release();
    if (wanted.found) return "";
    char text[160];
    std::snprintf(text, sizeof text,
                  "the display has no %lu x %lu x %lu mode (under Xvfb: a 24-bit screen of at "
                  "least that size)",
                  static_cast<unsigned long>(width), static_cast<unsigned long>(height),
                  static_cast<unsigned long>(bits));
    return text;
}
