// Between the window manager and DirectDraw parts of the stand-in: what happens to the display
// when the program loses or regains the foreground, as the window manager learns it from the host.
#pragma once

namespace tarn::platform {

// The display is taken away: every surface of the flipping chain and every video-memory surface
// reports DDERR_SURFACELOST, and Restore fails until the display is given back.
void DisplayTakenAway();
// The program has the display again: Restore succeeds (with junk in the memory).
void DisplayGivenBack();

} // namespace tarn::platform
