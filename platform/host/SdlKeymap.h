// The keyboard as the SDL2 host reports it: SDL2 names a key by its USB-style scancode, the
// platform we stand in for by its DirectInput scan code (the 256-byte keyboard state) and by its
// Windows virtual-key code (WM_KEYDOWN). One constant table holds all three for every key.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <span>

namespace tarn::platform {

struct SdlKey {
    SDL_Scancode scancode;
    uint8_t dik; // DirectInput scan code, 0 when DirectInput has none for the key
    uint8_t vk;  // Windows virtual-key code, 0 when Windows sends none for the key
};

// Every key the host knows, one row per SDL scancode.
std::span<const SdlKey> SdlKeyTable();

// The DirectInput scan code of an SDL scancode; 0 when the key has none.
uint8_t DikForScancode(SDL_Scancode scancode);

// The Windows virtual-key code of a key event; 0 when Windows has none for it. Letters and
// digits follow the keyboard layout (the key that types 'a' is 'A'), as on Windows.
uint32_t VirtualKeyFor(const SDL_Keysym& key);

// Turns SDL2's keyboard state (indexed by scancode, nonzero = down) into the 256-byte state by
// DirectInput scan code (0x80 = down).
void KeyboardStateToDik(const uint8_t* sdlState, int count, uint8_t dikState[256]);

} // namespace tarn::platform
