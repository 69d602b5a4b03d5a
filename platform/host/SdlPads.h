// The SDL2 host's gamepads: SDL2's game controllers (devices its mapping database knows, plus
// the mappings in SDL_GAMECONTROLLERCONFIG, SDL_GAMECONTROLLERCONFIG_FILE or the file named by
// TARN_PAD_MAPPINGS) in XInput's four slots.
#pragma once

#include "host/Host.h"

namespace tarn::platform {

// The process's one set of slots, started on first use.
bool SdlReadPad(int slot, PadState* pad);
void SdlSetPadRumble(int slot, uint16_t low, uint16_t high);

} // namespace tarn::platform
