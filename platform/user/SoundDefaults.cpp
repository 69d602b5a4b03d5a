// Stand-ins for the sound hooks while the program is linked without the DirectSound part of the
// stand-in: the window manager reports focus changes through these, and DirectSound's own
// definitions take their place whenever it is linked in.
#include "internal/Sound.h"

namespace tarn::platform {

__attribute__((weak)) void SoundTakenAway() {}
__attribute__((weak)) void SoundGivenBack() {}

} // namespace tarn::platform
