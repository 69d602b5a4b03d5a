// Stand-ins for the display hooks while the program is linked without the DirectDraw part of
// the stand-in: the window manager reports focus changes through these, and DirectDraw's own
// definitions take their place whenever it is linked in.
#include "internal/Display.h"

namespace tarn::platform {

__attribute__((weak)) void DisplayTakenAway() {}
__attribute__((weak)) void DisplayGivenBack() {}

} // namespace tarn::platform
