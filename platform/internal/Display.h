// Between the window manager and DirectDraw parts of the stand-in: what happens to the display
// when the program loses or regains the foreground, as the window manager learns it from the host.
// Only the window manager calls these; tests take the display away through the headless host
// (its focus and display-lost events).
#pragma once

#include <windef.h>

namespace tarn::platform {

// The display is taken away: every surface of the flipping chain and every video-memory surface
// reports DDERR_SURFACELOST, and Restore fails until the display is given back.
void DisplayTakenAway();
// The program has the display again: Restore succeeds (with junk in the memory).
void DisplayGivenBack();

// Where a program without a flipping chain shows itself: the client area of its top-level
// window, in screen coordinates, cut to width x height (the primary surface's size). The host
// shows that part of the primary surface, as a window on a desktop shows only its own client
// area. False without a window or when nothing of it is on the surface.
bool WindowedViewport(int width, int height, RECT* area);

} // namespace tarn::platform
