// The SDL2 host's gamepads: SDL2's game controllers (devices its mapping database knows, plus
// the mappings in SDL_GAMECONTROLLERCONFIG, SDL_GAMECONTROLLERCONFIG_FILE or the file named by
// TARN_PAD_MAPPINGS) in XInput's four slots. The host owns one set of slots, started on first use.
#pragma once

#include "host/Host.h"

#include <SDL.h>

namespace tarn::platform {

class SdlPads {
public:
    SdlPads() = default;
    SdlPads(const SdlPads&) = delete;
    SdlPads& operator=(const SdlPads&) = delete;

    bool Read(int slot, PadState* pad);
    void SetRumble(int slot, uint16_t low, uint16_t high);

private:
    struct Slot {
        SDL_GameController* controller = nullptr;
        SDL_JoystickID id = -1;
        uint16_t low = 0, high = 0; // motor speeds asked for
        Uint32 rumbleStarted = 0;   // SDL_GetTicks of the last request
    };
    bool Start();
    void Refresh();
    void Drop(Slot& slot);
    bool InSlot(SDL_JoystickID id) const;

    int started = 0; // 0 not tried, 1 running, -1 failed
    Slot slots[kPadSlots];
    // SDL2 numbers devices in the order they appear, never twice: the ones up to here were
    // looked at already (and are not controllers, or found every slot taken).
    SDL_JoystickID lastSeen = -1;
};

} // namespace tarn::platform
