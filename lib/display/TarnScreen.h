/// TarnScreen: the display object. It owns the DirectDraw device, takes exclusive full-screen
/// control of a window (or shares the desktop through a windowed screen), builds the flipping
/// chain and wraps its primary surface and first back buffer in two TarnSurface objects. It keeps
/// the lists of display modes and drivers found when it was made, the list of surfaces loaded on
/// it, and the frame-rate measurement that presenting a frame updates.
///
/// Ownership: the screen always deletes its front buffer object; it deletes its back buffer object
/// only when it is a windowed screen (the owner of a full-screen screen deletes the back buffer
/// before the screen). Surfaces in the surface list are never deleted by the screen.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include "display/TarnCList.h"
#include "display/TarnDisplayLists.h"
#include "surface/TarnSurface.h"

class TarnScreen {
public:
    IDirectDraw7* device;        ///< the DirectDraw device, one reference owned; null when none
    TarnSurface* frontBuffer;    ///< the primary surface's wrapper, owned
    TarnSurface* backBuffer;     ///< the back buffer's wrapper (owned only when windowed)
    IDirectDrawPalette* palette; ///< the 8-bit display's palette, one reference owned, or null
    int width;                   ///< the display's (full screen) or back buffer's width
    int height;                  ///< the display's (full screen) or back buffer's height
    int bitDepth;                ///< bits per pixel of the display mode set
    HWND window;                 ///< the window presented into, not owned
    int fullScreen;              ///< 1 for a full-screen screen, 0 for a windowed one
    int modeCount;               ///< display modes in modeList
    TarnDisplayMode* modeList;   ///< the device's display modes, owned
    int tripleBuffer;            ///< ask for two back buffers first
    int videoMemory; ///< ask for the chain in video memory first, system memory as fallback
    int driverCount; ///< drivers in driverList
    TarnDriverInfo* driverList;      ///< the machine's DirectDraw drivers, owned
    DWORD frameCount;                ///< Flip calls counted in the current measuring window
    DWORD frameTime;                 ///< milliseconds accumulated in the current measuring window
    DWORD lastTime;                  ///< clock at the previous Flip
    int frameRate;                   ///< frames per second of the last closed window
    TarnCList<TarnSurface> surfaces; ///< the surfaces loaded on this screen, not owned
    /// Serial numbers of created surfaces, shared by every screen of the process: the last one
    /// handed out. Unsigned, so that it wraps instead of overflowing.
    static DWORD surfaceCounter;

    /// Makes the DirectDraw device (device stays null when there is none) and the lists of
    /// display modes and drivers; no buffers yet.
    TarnScreen();
    /// Gives the display back (normal cooperative level, the desktop's mode), cuts the listed
    /// surfaces loose (their screen becomes null), deletes the buffers it owns (see above) and
    /// releases the palette and the device.
    virtual ~TarnScreen();

    /// Takes the window for exclusive full-screen use, sets the display mode width x height
    /// at bitDepth (a standard VGA mode when standardVGA is nonzero) and builds the flipping
    /// chain. Result codes: 0 success; -1 no device or buffers exist already; -2 cooperative level;
    /// -4 display mode; -8 no chain in video or system memory; -16 no chain (system-memory
    /// fallback off); -32 the chain's back buffer could not be had.
    int CreateFullScreen(HWND window, int width, int height, int bitDepth, int standardVGA);
    /// A screen that presents into a window's client area: the primary surface as front buffer
    /// and an off-screen back buffer of width x height that the screen owns. Result codes:
    /// 0 success; -1 no device, buffers exist already, or a size below 1; -2 cooperative level;
    /// -8 no primary surface; -16 no back buffer surface.
    int CreateWindowed(HWND window, int width, int height);

    /// Shows the back buffer: flips the chain (full screen) or blits it into the window's
    /// client area, scaled to it when `stretch` is nonzero, else its top-left part 1:1. `wait`
    /// 1 waits for the vertical blank. Measures frameRate and, when showFrameRate is nonzero,
    /// writes it into the back buffer first. A lost display is restored; a frame that cannot
    /// be shown is dropped. Allocates nothing.
    void Flip(int wait, int stretch, int showFrameRate);
    /// Restores lost display surfaces (the chain, or a windowed screen's primary and back
    /// buffer). DD_OK when nothing was lost, else the first failing restore's result. Pictures
    /// of surfaces are not reloaded here: each surface does that itself.
    HRESULT Restore();
    /// Waits for the start of the vertical blank; DDERR_NOTINITIALIZED without a device.
    HRESULT WaitForVBlank();

    /// Builds modeList and modeCount afresh from the device (called by the constructor).
    void BuildModeList();
    /// Builds driverList and driverCount afresh (called by the constructor).
    void BuildDriverList();

    /// Links a surface at the end of the surface list; the list does not own it. Null is
    /// ignored.
    void AddSurface(TarnSurface* surface);
    /// Unlinks a surface from the list without deleting it; the screen's own buffers and
    /// surfaces not in the list are ignored.
    void RemoveSurface(TarnSurface* surface);
    /// Empties the surface list without deleting any surface.
    void ForgetSurfaces();
    /// The next serial number: 1 for the first surface of the process, then rising; after
    /// 2^32 numbers it wraps around to 0.
    static int NextSurfaceId();

    /// The DirectDraw device (still owned by the screen), null when there is none.
    IDirectDraw7* GetDirectDraw() { return device; }
    /// The front buffer's wrapper, null before a Create call succeeded.
    TarnSurface* GetFront() { return frontBuffer; }
    /// The back buffer's wrapper: the surface to draw each frame on.
    TarnSurface* GetBack() { return backBuffer; }
    /// 1 for a full-screen screen, 0 for a windowed one.
    int IsFullScreen() { return fullScreen; }

    /// Sets the target's DirectDraw surface (the reference passes to the target).
    void SetSurfaceInterface(TarnSurface* target, IDirectDrawSurface7* surface);
    /// Sets the target's width.
    void SetSurfaceWidth(TarnSurface* target, int width);
    /// Sets the target's height.
    void SetSurfaceHeight(TarnSurface* target, int height);
    /// Makes this screen the target's screen.
    void SetSurfaceScreen(TarnSurface* target);
    /// Reads the target's pixel layout from its surface; nothing happens without a surface.
    void QuerySurfacePixelFormat(TarnSurface* target);

private:
    void SetUpBuffer(TarnSurface* target, int width, int height);
    void DeleteBuffers();
    void FreeLists();
};
