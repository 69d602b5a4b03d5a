// The one table that names every key the web host knows three ways: the browser's
// KeyboardEvent.code, DirectInput's scan code and Windows' virtual-key code. The rows follow the
// SDL2 host's table, so a key means the same on both.
#include "host/WebKeymap.h"

#include <windows.h>
#include <dinput.h>

#include <cstring>

namespace tarn::platform {
namespace {

// Virtual-key codes the stand-in's winuser.h does not name.
constexpr uint8_t VK_F13 = 0x7C, VK_F14 = 0x7D, VK_F15 = 0x7E;
constexpr uint8_t VK_KANA = 0x15, VK_CONVERT = 0x1C, VK_NONCONVERT = 0x1D;
constexpr uint8_t VK_VOLUME_MUTE = 0xAD, VK_VOLUME_DOWN = 0xAE, VK_VOLUME_UP = 0xAF;
constexpr uint8_t VK_MEDIA_NEXT_TRACK = 0xB0, VK_MEDIA_PREV_TRACK = 0xB1, VK_MEDIA_STOP = 0xB2,
                  VK_MEDIA_PLAY_PAUSE = 0xB3;

// By place: letters, the digit row, Enter to Space, punctuation, F-keys, modifiers, locks,
// the editing block, arrows, the keypad, international and media keys.
constexpr WebKey KEYS[] = {
    {"KeyA", DIK_A, 'A'},
    {"KeyB", DIK_B, 'B'},
    {"KeyC", DIK_C, 'C'},
    {"KeyD", DIK_D, 'D'},
    {"KeyE", DIK_E, 'E'},
    {"KeyF", DIK_F, 'F'},
    {"KeyG", DIK_G, 'G'},
    {"KeyH", DIK_H, 'H'},
    {"KeyI", DIK_I, 'I'},
    {"KeyJ", DIK_J, 'J'},
    {"KeyK", DIK_K, 'K'},
    {"KeyL", DIK_L, 'L'},
    {"KeyM", DIK_M, 'M'},
    {"KeyN", DIK_N, 'N'},
    {"KeyO", DIK_O, 'O'},
    {"KeyP", DIK_P, 'P'},
    {"KeyQ", DIK_Q, 'Q'},
    {"KeyR", DIK_R, 'R'},
    {"KeyS", DIK_S, 'S'},
    {"KeyT", DIK_T, 'T'},
    {"KeyU", DIK_U, 'U'},
    {"KeyV", DIK_V, 'V'},
    {"KeyW", DIK_W, 'W'},
    {"KeyX", DIK_X, 'X'},
    {"KeyY", DIK_Y, 'Y'},
    {"KeyZ", DIK_Z, 'Z'},
    {"Digit1", DIK_1, '1'},
    {"Digit2", DIK_2, '2'},
    {"Digit3", DIK_3, '3'},
    {"Digit4", DIK_4, '4'},
    {"Digit5", DIK_5, '5'},
    {"Digit6", DIK_6, '6'},
    {"Digit7", DIK_7, '7'},
    {"Digit8", DIK_8, '8'},
    {"Digit9", DIK_9, '9'},
    {"Digit0", DIK_0, '0'},
    {"Enter", DIK_RETURN, VK_RETURN},
    {"Escape", DIK_ESCAPE, VK_ESCAPE},
    {"Backspace", DIK_BACK, VK_BACK},
    {"Tab", DIK_TAB, VK_TAB},
    {"Space", DIK_SPACE, VK_SPACE},
    {"Minus", DIK_MINUS, VK_OEM_MINUS},
    {"Equal", DIK_EQUALS, VK_OEM_PLUS},
    {"BracketLeft", DIK_LBRACKET, VK_OEM_4},
    {"BracketRight", DIK_RBRACKET, VK_OEM_6},
    {"Backslash", DIK_BACKSLASH, VK_OEM_5},
    {"Semicolon", DIK_SEMICOLON, VK_OEM_1},
    {"Quote", DIK_APOSTROPHE, VK_OEM_7},
    {"Backquote", DIK_GRAVE, VK_OEM_3},
    {"Comma", DIK_COMMA, VK_OEM_COMMA},
    {"Period", DIK_PERIOD, VK_OEM_PERIOD},
    {"Slash", DIK_SLASH, VK_OEM_2},
    {"IntlBackslash", DIK_OEM_102, VK_OEM_102},
    {"F1", DIK_F1, VK_F1},
    {"F2", DIK_F2, VK_F2},
    {"F3", DIK_F3, VK_F3},
    {"F4", DIK_F4, VK_F4},
    {"F5", DIK_F5, VK_F5},
    {"F6", DIK_F6, VK_F6},
    {"F7", DIK_F7, VK_F7},
    {"F8", DIK_F8, VK_F8},
    {"F9", DIK_F9, VK_F9},
    {"F10", DIK_F10, VK_F10},
    {"F11", DIK_F11, VK_F11},
    {"F12", DIK_F12, VK_F12},
    {"F13", DIK_F13, VK_F13},
    {"F14", DIK_F14, VK_F14},
    {"F15", DIK_F15, VK_F15},
    {"ShiftLeft", DIK_LSHIFT, VK_SHIFT},
    {"ShiftRight", DIK_RSHIFT, VK_SHIFT},
    {"ControlLeft", DIK_LCONTROL, VK_CONTROL},
    {"ControlRight", DIK_RCONTROL, VK_CONTROL},
    {"AltLeft", DIK_LMENU, VK_MENU},
    {"AltRight", DIK_RMENU, VK_MENU},
    {"MetaLeft", DIK_LWIN, VK_LWIN},
    {"MetaRight", DIK_RWIN, VK_RWIN},
    {"ContextMenu", DIK_APPS, VK_APPS},
    {"CapsLock", DIK_CAPITAL, VK_CAPITAL},
    {"NumLock", DIK_NUMLOCK, VK_NUMLOCK},
    {"ScrollLock", DIK_SCROLL, VK_SCROLL},
    {"PrintScreen", DIK_SYSRQ, VK_SNAPSHOT},
    {"Pause", DIK_PAUSE, VK_PAUSE},
    {"Insert", DIK_INSERT, VK_INSERT},
    {"Delete", DIK_DELETE, VK_DELETE},
    {"Home", DIK_HOME, VK_HOME},
    {"End", DIK_END, VK_END},
    {"PageUp", DIK_PRIOR, VK_PRIOR},
    {"PageDown", DIK_NEXT, VK_NEXT},
    {"ArrowLeft", DIK_LEFT, VK_LEFT},
    {"ArrowRight", DIK_RIGHT, VK_RIGHT},
    {"ArrowUp", DIK_UP, VK_UP},
    {"ArrowDown", DIK_DOWN, VK_DOWN},
    {"Numpad0", DIK_NUMPAD0, VK_NUMPAD0},
    {"Numpad1", DIK_NUMPAD1, VK_NUMPAD1},
    {"Numpad2", DIK_NUMPAD2, VK_NUMPAD2},
    {"Numpad3", DIK_NUMPAD3, VK_NUMPAD3},
    {"Numpad4", DIK_NUMPAD4, VK_NUMPAD4},
    {"Numpad5", DIK_NUMPAD5, VK_NUMPAD5},
    {"Numpad6", DIK_NUMPAD6, VK_NUMPAD6},
    {"Numpad7", DIK_NUMPAD7, VK_NUMPAD7},
    {"Numpad8", DIK_NUMPAD8, VK_NUMPAD8},
    {"Numpad9", DIK_NUMPAD9, VK_NUMPAD9},
    {"NumpadDecimal", DIK_DECIMAL, VK_DECIMAL},
    {"NumpadDivide", DIK_DIVIDE, VK_DIVIDE},
    {"NumpadMultiply", DIK_MULTIPLY, VK_MULTIPLY},
    {"NumpadSubtract", DIK_SUBTRACT, VK_SUBTRACT},
    {"NumpadAdd", DIK_ADD, VK_ADD},
    {"NumpadEnter", DIK_NUMPADENTER, VK_RETURN},
    {"NumpadEqual", DIK_NUMPADEQUALS, 0},
    {"NumpadComma", DIK_NUMPADCOMMA, VK_SEPARATOR},
    {"IntlRo", DIK_ABNT_C1, 0},
    {"KanaMode", DIK_KANA, VK_KANA},
    {"IntlYen", DIK_YEN, 0},
    {"Convert", DIK_CONVERT, VK_CONVERT},
    {"NonConvert", DIK_NOCONVERT, VK_NONCONVERT},
    {"AudioVolumeMute", DIK_MUTE, VK_VOLUME_MUTE},
    {"AudioVolumeDown", DIK_VOLUMEDOWN, VK_VOLUME_DOWN},
    {"AudioVolumeUp", DIK_VOLUMEUP, VK_VOLUME_UP},
    {"MediaTrackNext", DIK_NEXTTRACK, VK_MEDIA_NEXT_TRACK},
    {"MediaTrackPrevious", DIK_PREVTRACK, VK_MEDIA_PREV_TRACK},
    {"MediaStop", DIK_MEDIASTOP, VK_MEDIA_STOP},
    {"MediaPlayPause", DIK_PLAYPAUSE, VK_MEDIA_PLAY_PAUSE},
};

} // namespace

const WebKey* FindWebKey(const char* code) {
    if (!code) return nullptr;
    for (const WebKey& key : KEYS)
        if (std::strcmp(key.code, code) == 0) return &key;
    return nullptr;
}

uint32_t VirtualKeyForWebKey(const WebKey& key, uint32_t keyCode) {
    const bool letter = keyCode >= 'A' && keyCode <= 'Z';
    const bool digit = keyCode >= '0' && keyCode <= '9';
    const bool typing = (key.vk >= 'A' && key.vk <= 'Z') || (key.vk >= '0' && key.vk <= '9');
    return typing && (letter || digit) ? keyCode : key.vk;
}

} // namespace tarn::platform
