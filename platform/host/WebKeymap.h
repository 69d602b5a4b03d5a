// The keyboard as the web host reports it: the browser names a key by its place on the keyboard
// (KeyboardEvent.code, "KeyA", "ArrowLeft" ...), the platform we stand in for by its DirectInput
// scan code (the 256-byte keyboard state) and its Windows virtual-key code (WM_KEYDOWN). One
// constant table holds all three for every key.
#pragma once

#include <cstdint>

namespace tarn::platform {

struct WebKey {
    const char* code; // KeyboardEvent.code
    uint8_t dik;      // DirectInput scan code, 0 when DirectInput has none for the key
    uint8_t vk;       // Windows virtual-key code, 0 when Windows sends none for the key
};

// The row of a key by its KeyboardEvent.code; null for a key the table does not know.
const WebKey* FindWebKey(const char* code);

// The Windows virtual-key code of a key event: letters and digits follow the keyboard layout
// (the browser's keyCode is Windows' own code for them), every other key its place.
uint32_t VirtualKeyForWebKey(const WebKey& key, uint32_t keyCode);

} // namespace tarn::platform
