// TarnScreen: the display object. It owns the DirectDraw device, takes exclusive full-screen
// control of a window (or shares the desktop through a windowed screen), builds the flipping
// chain and wraps its primary surface and first back buffer in two TarnSurface objects. It keeps
// the lists of display modes and drivers found when it was made, the list of surfaces loaded on
// it, and the frame-rate measurement that presenting a frame updates.
//
// Ownership: the screen always deletes its front buffer object; it deletes its back buffer object
// only when it is a windowed screen (the owner of a full-screen screen deletes the back buffer
// before the screen). Surfaces in the surface list are never deleted by the screen.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include "display/TarnCList.h"
#include "display/TarnDisplayLists.h"
#include "surface/TarnSurface.h"

class TarnScreen {
public:
    IDirectDraw7* device;
    TarnSurface* frontBuffer;
    TarnSurface* backBuffer;
    IDirectDrawPalette* palette;
    int width;
    int height;
    int bitDepth;
    HWND window;
    int fullScreen;
    int modeCount;
    TarnDisplayMode* modeList;
    int tripleBuffer; // ask for two back buffers first
    int videoMemory;  // ask for the chain in video memory first, system memory as fallback
    int driverCount;
    TarnDriverInfo* driverList;
    DWORD frameCount; // Flip calls counted in the current measuring window
    DWORD frameTime;  // milliseconds accumulated in the current measuring window
    DWORD lastTime;   // clock at the previous Flip
    int frameRate;    // frames per second of the last closed window
    TarnCList<TarnSurface> surfaces;
    // Serial numbers of created surfaces, shared by every screen of the process: the last one
    // handed out. Unsigned, so that it wraps instead of overflowing.
    static DWORD surfaceCounter;

    TarnScreen();
    virtual ~TarnScreen();

    // Result codes: 0 success; -1 no device or buffers exist already; -2 cooperative level;
    // -4 display mode; -8 no chain in video or system memory; -16 no chain (system-memory
    // fallback off); -32 the chain's back buffer could not be had.
    int CreateFullScreen(HWND window, int width, int height, int bitDepth, int standardVGA);
    // A screen that presents into a window's client area: the primary surface as front buffer
    // and an off-screen back buffer of width x height that the screen owns. Result codes:
    // 0 success; -1 no device, buffers exist already, or a size below 1; -2 cooperative level;
    // -8 no primary surface; -16 no back buffer surface.
    int CreateWindowed(HWND window, int width, int height);

    void Flip(int wait, int stretch, int showFrameRate);
    HRESULT Restore();
    HRESULT WaitForVBlank();

    void BuildModeList();
    void BuildDriverList();

    void AddSurface(TarnSurface* surface);
    void RemoveSurface(TarnSurface* surface);
    void ForgetSurfaces();
    // The next serial number: 1 for the first surface of the process, then rising; after
    // 2^32 numbers it wraps around to 0.
    static int NextSurfaceId();

    IDirectDraw7* GetDirectDraw() { return device; }
    TarnSurface* GetFront() { return frontBuffer; }
    TarnSurface* GetBack() { return backBuffer; }
    int IsFullScreen() { return fullScreen; }

    void SetSurfaceInterface(TarnSurface* target, IDirectDrawSurface7* surface);
    void SetSurfaceWidth(TarnSurface* target, int width);
    void SetSurfaceHeight(TarnSurface* target, int height);
    void SetSurfaceScreen(TarnSurface* target);
    void QuerySurfacePixelFormat(TarnSurface* target);

private:
    void SetUpBuffer(TarnSurface* target, int width, int height);
    void DeleteBuffers();
    void FreeLists();
};
