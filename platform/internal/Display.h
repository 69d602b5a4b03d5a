// Between the window manager and the DirectDraw part of the stand-in: where a windowed program
// shows itself. (The display's loss and return reach DirectDraw through MachineEvents.h.)
#pragma once

#include <windef.h>

namespace tarn::platform {

// Where a program without a flipping chain shows itself: the client area of its top-level
// window, in screen coordinates, cut to width x height (the primary surface's size). The host
// shows that part of the primary surface, as a window on a desktop shows only its own client
// area. False without a window or when nothing of it is on the surface.
bool WindowedViewport(int width, int height, RECT* area);

} // namespace tarn::platform
