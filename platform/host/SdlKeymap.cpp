// The one table that names every key three ways: SDL2's scancode, DirectInput's scan code and
// Windows' virtual-key code. The keyboard device reads SDL2's state through the DIK column; the
// window manager's WM_KEYDOWN / WM_KEYUP carry the VK column. A lookup array by scancode is built
// from the table at compile time.
#include "host/SdlKeymap.h"

#include <windows.h>
#include <dinput.h>

#include <array>
#include <cstring>

namespace tarn::platform {
namespace {

// Virtual-key codes the stand-in's winuser.h does not name.
constexpr uint8_t VK_F13 = 0x7C, VK_F14 = 0x7D, VK_F15 = 0x7E;
constexpr uint8_t VK_SLEEP = 0x5F;
constexpr uint8_t VK_KANA = 0x15, VK_CONVERT = 0x1C, VK_NONCONVERT = 0x1D;
constexpr uint8_t VK_VOLUME_MUTE = 0xAD, VK_VOLUME_DOWN = 0xAE, VK_VOLUME_UP = 0xAF;
constexpr uint8_t VK_MEDIA_NEXT_TRACK = 0xB0, VK_MEDIA_PREV_TRACK = 0xB1, VK_MEDIA_STOP = 0xB2,
                  VK_MEDIA_PLAY_PAUSE = 0xB3;

constexpr SdlKey KEYS[] = {
    // Letters: DirectInput numbers them by their place on the keyboard, Windows by the letter.
    {SDL_SCANCODE_A, DIK_A, 'A'},
    {SDL_SCANCODE_B, DIK_B, 'B'},
    {SDL_SCANCODE_C, DIK_C, 'C'},
    {SDL_SCANCODE_D, DIK_D, 'D'},
    {SDL_SCANCODE_E, DIK_E, 'E'},
    {SDL_SCANCODE_F, DIK_F, 'F'},
    {SDL_SCANCODE_G, DIK_G, 'G'},
    {SDL_SCANCODE_H, DIK_H, 'H'},
    {SDL_SCANCODE_I, DIK_I, 'I'},
    {SDL_SCANCODE_J, DIK_J, 'J'},
    {SDL_SCANCODE_K, DIK_K, 'K'},
    {SDL_SCANCODE_L, DIK_L, 'L'},
    {SDL_SCANCODE_M, DIK_M, 'M'},
    {SDL_SCANCODE_N, DIK_N, 'N'},
    {SDL_SCANCODE_O, DIK_O, 'O'},
    {SDL_SCANCODE_P, DIK_P, 'P'},
    {SDL_SCANCODE_Q, DIK_Q, 'Q'},
    {SDL_SCANCODE_R, DIK_R, 'R'},
    {SDL_SCANCODE_S, DIK_S, 'S'},
    {SDL_SCANCODE_T, DIK_T, 'T'},
    {SDL_SCANCODE_U, DIK_U, 'U'},
    {SDL_SCANCODE_V, DIK_V, 'V'},
    {SDL_SCANCODE_W, DIK_W, 'W'},
    {SDL_SCANCODE_X, DIK_X, 'X'},
    {SDL_SCANCODE_Y, DIK_Y, 'Y'},
    {SDL_SCANCODE_Z, DIK_Z, 'Z'},
    // The digit row.
    {SDL_SCANCODE_1, DIK_1, '1'},
    {SDL_SCANCODE_2, DIK_2, '2'},
    {SDL_SCANCODE_3, DIK_3, '3'},
    {SDL_SCANCODE_4, DIK_4, '4'},
    {SDL_SCANCODE_5, DIK_5, '5'},
    {SDL_SCANCODE_6, DIK_6, '6'},
    {SDL_SCANCODE_7, DIK_7, '7'},
    {SDL_SCANCODE_8, DIK_8, '8'},
    {SDL_SCANCODE_9, DIK_9, '9'},
    {SDL_SCANCODE_0, DIK_0, '0'},
    // Control keys of the main block.
    {SDL_SCANCODE_RETURN, DIK_RETURN, VK_RETURN},
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK, VK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB, VK_TAB},
    {SDL_SCANCODE_SPACE, DIK_SPACE, VK_SPACE},
    // Punctuation (US names; Windows calls these the OEM keys).
    {SDL_SCANCODE_MINUS, DIK_MINUS, VK_OEM_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS, VK_OEM_PLUS},
    {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET, VK_OEM_4},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET, VK_OEM_6},
    {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH, VK_OEM_5},
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH, VK_OEM_5}, // the ISO key beside Enter
    {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON, VK_OEM_1},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE, VK_OEM_7},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE, VK_OEM_3},
    {SDL_SCANCODE_COMMA, DIK_COMMA, VK_OEM_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD, VK_OEM_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH, VK_OEM_2},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102, VK_OEM_102}, // the ISO key beside left Shift
    // Function keys.
    {SDL_SCANCODE_F1, DIK_F1, VK_F1},
    {SDL_SCANCODE_F2, DIK_F2, VK_F2},
    {SDL_SCANCODE_F3, DIK_F3, VK_F3},
    {SDL_SCANCODE_F4, DIK_F4, VK_F4},
    {SDL_SCANCODE_F5, DIK_F5, VK_F5},
    {SDL_SCANCODE_F6, DIK_F6, VK_F6},
    {SDL_SCANCODE_F7, DIK_F7, VK_F7},
    {SDL_SCANCODE_F8, DIK_F8, VK_F8},
    {SDL_SCANCODE_F9, DIK_F9, VK_F9},
    {SDL_SCANCODE_F10, DIK_F10, VK_F10},
    {SDL_SCANCODE_F11, DIK_F11, VK_F11},
    {SDL_SCANCODE_F12, DIK_F12, VK_F12},
    {SDL_SCANCODE_F13, DIK_F13, VK_F13},
    {SDL_SCANCODE_F14, DIK_F14, VK_F14},
    {SDL_SCANCODE_F15, DIK_F15, VK_F15},
    // Modifiers and lock keys: Windows reports either Shift as VK_SHIFT and so on.
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT, VK_SHIFT},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT, VK_SHIFT},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL, VK_CONTROL},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL, VK_CONTROL},
    {SDL_SCANCODE_LALT, DIK_LMENU, VK_MENU},
    {SDL_SCANCODE_RALT, DIK_RMENU, VK_MENU},
    {SDL_SCANCODE_LGUI, DIK_LWIN, VK_LWIN},
    {SDL_SCANCODE_RGUI, DIK_RWIN, VK_RWIN},
    {SDL_SCANCODE_APPLICATION, DIK_APPS, VK_APPS},
    {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL, VK_CAPITAL},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK, VK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL, VK_SCROLL},
    // The editing block and the arrows.
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ, VK_SNAPSHOT},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE, VK_PAUSE},
    {SDL_SCANCODE_INSERT, DIK_INSERT, VK_INSERT},
    {SDL_SCANCODE_DELETE, DIK_DELETE, VK_DELETE},
    {SDL_SCANCODE_HOME, DIK_HOME, VK_HOME},
    {SDL_SCANCODE_END, DIK_END, VK_END},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR, VK_PRIOR},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT, VK_NEXT},
    {SDL_SCANCODE_LEFT, DIK_LEFT, VK_LEFT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_UP, DIK_UP, VK_UP},
    {SDL_SCANCODE_DOWN, DIK_DOWN, VK_DOWN},
    // The numeric keypad.
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0, VK_NUMPAD0},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1, VK_NUMPAD1},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2, VK_NUMPAD2},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3, VK_NUMPAD3},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4, VK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5, VK_NUMPAD5},
    {SDL_SCANCODE_KP_6, DIK_NUMPAD6, VK_NUMPAD6},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7, VK_NUMPAD7},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8, VK_NUMPAD8},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9, VK_NUMPAD9},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL, VK_DECIMAL},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE, VK_DIVIDE},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT, VK_SUBTRACT},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD, VK_ADD},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER, VK_RETURN},
    {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS, 0},
    {SDL_SCANCODE_KP_COMMA, DIK_NUMPADCOMMA, VK_SEPARATOR},
    // Keys of Japanese and Brazilian keyboards.
    {SDL_SCANCODE_INTERNATIONAL1, DIK_ABNT_C1, 0}, // Ro
    {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA, VK_KANA},
    {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN, 0},
    {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT, VK_CONVERT},
    {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT, VK_NONCONVERT},
    // Media, power and browser keys.
    {SDL_SCANCODE_MUTE, DIK_MUTE, VK_VOLUME_MUTE},
    {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN, VK_VOLUME_DOWN},
    {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP, VK_VOLUME_UP},
    {SDL_SCANCODE_AUDIONEXT, DIK_NEXTTRACK, VK_MEDIA_NEXT_TRACK},
    {SDL_SCANCODE_AUDIOPREV, DIK_PREVTRACK, VK_MEDIA_PREV_TRACK},
    {SDL_SCANCODE_AUDIOSTOP, DIK_MEDIASTOP, VK_MEDIA_STOP},
    {SDL_SCANCODE_AUDIOPLAY, DIK_PLAYPAUSE, VK_MEDIA_PLAY_PAUSE},
    {SDL_SCANCODE_MEDIASELECT, DIK_MEDIASELECT, 0},
    {SDL_SCANCODE_CALCULATOR, DIK_CALCULATOR, 0},
    {SDL_SCANCODE_COMPUTER, DIK_MYCOMPUTER, 0},
    {SDL_SCANCODE_MAIL, DIK_MAIL, 0},
    {SDL_SCANCODE_POWER, DIK_POWER, 0},
    {SDL_SCANCODE_SLEEP, DIK_SLEEP, VK_SLEEP},
    {SDL_SCANCODE_AC_SEARCH, DIK_WEBSEARCH, 0},
    {SDL_SCANCODE_AC_BOOKMARKS, DIK_WEBFAVORITES, 0},
    {SDL_SCANCODE_AC_REFRESH, DIK_WEBREFRESH, 0},
    {SDL_SCANCODE_AC_STOP, DIK_WEBSTOP, 0},
    {SDL_SCANCODE_AC_FORWARD, DIK_WEBFORWARD, 0},
    {SDL_SCANCODE_AC_BACK, DIK_WEBBACK, 0},
    {SDL_SCANCODE_AC_HOME, DIK_WEBHOME, 0},
};

// Row index + 1 by scancode, 0 for keys outside the table.
constexpr std::array<uint8_t, SDL_NUM_SCANCODES> BuildIndex() {
    std::array<uint8_t, SDL_NUM_SCANCODES> index{};
    for (size_t i = 0; i < std::size(KEYS); ++i) index[KEYS[i].scancode] = uint8_t(i + 1);
    return index;
}
static_assert(std::size(KEYS) < 255, "the index holds row numbers in a byte");
constexpr std::array<uint8_t, SDL_NUM_SCANCODES> ROW_OF_SCANCODE = BuildIndex();

const SdlKey* Find(SDL_Scancode scancode) {
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return nullptr;
    uint8_t row = ROW_OF_SCANCODE[scancode];
    return row ? &KEYS[row - 1] : nullptr;
}

} // namespace

std::span<const SdlKey> SdlKeyTable() {
    return KEYS;
}

uint8_t DikForScancode(SDL_Scancode scancode) {
    const SdlKey* key = Find(scancode);
    return key ? key->dik : 0;
}

uint32_t VirtualKeyFor(const SDL_Keysym& key) {
    if (key.sym >= SDLK_a && key.sym <= SDLK_z) return uint32_t('A' + (key.sym - SDLK_a));
    if (key.sym >= SDLK_0 && key.sym <= SDLK_9) return uint32_t(key.sym);
    const SdlKey* row = Find(key.scancode);
    return row ? row->vk : 0;
}

void KeyboardStateToDik(const uint8_t* sdlState, int count, uint8_t dikState[256]) {
    std::memset(dikState, 0, 256);
    if (!sdlState) return;
    for (const SdlKey& key : KEYS) {
        if (key.dik != 0 && key.scancode < count && sdlState[key.scancode]) {
            dikState[key.dik] = 0x80;
        }
    }
}

} // namespace tarn::platform
