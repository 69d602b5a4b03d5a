// The key-code tables of TarnInput: which key code each DirectInput scan code drives, which scan
// code belongs to each key code, the character each key gives with Shift on a US layout, and a
// printable name per key code. All of it comes from two constant tables below, one row per key
// code and one per shifted pair; the Init operations only copy them into the object.
//
// The rows hold as they stand, irregular ones included: the minus key is named "UNDERSCORE", the
// middle mouse button "MOUSE MIDLE", escape "ESC"; ':', '@' and '_' give scan codes of keys of
// their own (DIK_COLON, DIK_AT, DIK_UNDERLINE) that drive nothing; 127 "DELETE" and 151 "DEL"
// share DIK_DELETE, which drives 151 only; "PRINT SCRN" has no scan code back and "PAUSE" has a
// name only. Scan codes with no row (DIK_LWIN, DIK_RWIN, DIK_APPS, DIK_PAUSE ...) drive code 0.
#include "input/TarnInput.h"

#include <cstring>
#include <iterator>

namespace {

struct KeyRow {
    WORD code;        // key code
    const char* name; // at most 11 characters
    BYTE drivenBy;    // scan code that drives this code in dikToKey, 0 for none
    BYTE dik;         // keyToDik entry of this code, 0 for none
};

// clang-format off
const KeyRow KEY_ROWS[] = {
    // code, name, driven by, scan code back
    {0, "NULL", 0, 0},                              // every scan code without a key of its own
    {8, "BACKSPACE", DIK_BACK, DIK_BACK},           // backspace
    {9, "TAB", DIK_TAB, DIK_TAB},                   // tab
    {13, "ENTER", DIK_RETURN, DIK_RETURN},          // carriage return
    {27, "ESC", DIK_ESCAPE, DIK_ESCAPE},            // escape
    {32, "SPACE", DIK_SPACE, DIK_SPACE},            // space
    {33, "1", 0, DIK_1},                            // ! on the 1 key
    {34, "APOSTROPHE", 0, DIK_APOSTROPHE},          // double quote on the apostrophe key
    {35, "3", 0, DIK_3},                            // # on the 3 key
    {36, "4", 0, DIK_4},                            // $ on the 4 key
    {37, "5", 0, DIK_5},                            // % on the 5 key
    {38, "7", 0, DIK_7},                            // & on the 7 key
    {39, "APOSTROPHE", DIK_APOSTROPHE, DIK_APOSTROPHE},// apostrophe
    {40, "9", 0, DIK_9},                            // ( on the 9 key
    {41, "0", 0, DIK_0},                            // ) on the 0 key
    {42, "8", 0, DIK_8},                            // * on the 8 key
    {43, "EQUALS", 0, DIK_EQUALS},                  // + on the equals key
    {44, "COMMA", DIK_COMMA, DIK_COMMA},            // comma
    {45, "UNDERSCORE", DIK_MINUS, DIK_MINUS},       // minus, named after its shifted character
    {46, "PERIOD", DIK_PERIOD, DIK_PERIOD},         // period
    {47, "SLASH", DIK_SLASH, DIK_SLASH},            // slash
    {48, "0", DIK_0, DIK_0},                        // 0
    {49, "1", DIK_1, DIK_1},                        // 1
    {50, "2", DIK_2, DIK_2},                        // 2
    {51, "3", DIK_3, DIK_3},                        // 3
    {52, "4", DIK_4, DIK_4},                        // 4
    {53, "5", DIK_5, DIK_5},                        // 5
    {54, "6", DIK_6, DIK_6},                        // 6
    {55, "7", DIK_7, DIK_7},                        // 7
    {56, "8", DIK_8, DIK_8},                        // 8
    {57, "9", DIK_9, DIK_9},                        // 9
    {58, "SEMICOLON", 0, DIK_COLON},                // colon: DIK_COLON, not DIK_SEMICOLON
    {59, "SEMICOLON", DIK_SEMICOLON, DIK_SEMICOLON},// semicolon
    {60, "COMMA", 0, DIK_COMMA},                    // less-than on the comma key
    {61, "EQUALS", DIK_EQUALS, DIK_EQUALS},         // equals
    {62, "PERIOD", 0, DIK_PERIOD},                  // greater-than on the period key
    {63, "SLASH", 0, DIK_SLASH},                    // question mark on the slash key
    {64, "2", 0, DIK_AT},                           // at sign: DIK_AT, not DIK_2
    {65, "A", 0, DIK_A},                            // upper-case A, never driven
    {66, "B", 0, DIK_B},                            // upper-case B, never driven
    {67, "C", 0, DIK_C},                            // upper-case C, never driven
    {68, "D", 0, DIK_D},                            // upper-case D, never driven
    {69, "E", 0, DIK_E},                            // upper-case E, never driven
    {70, "F", 0, DIK_F},                            // upper-case F, never driven
    {71, "G", 0, DIK_G},                            // upper-case G, never driven
    {72, "H", 0, DIK_H},                            // upper-case H, never driven
    {73, "I", 0, DIK_I},                            // upper-case I, never driven
    {74, "J", 0, DIK_J},                            // upper-case J, never driven
    {75, "K", 0, DIK_K},                            // upper-case K, never driven
    {76, "L", 0, DIK_L},                            // upper-case L, never driven
    {77, "M", 0, DIK_M},                            // upper-case M, never driven
    {78, "N", 0, DIK_N},                            // upper-case N, never driven
    {79, "O", 0, DIK_O},                            // upper-case O, never driven
    {80, "P", 0, DIK_P},                            // upper-case P, never driven
    {81, "Q", 0, DIK_Q},                            // upper-case Q, never driven
    {82, "R", 0, DIK_R},                            // upper-case R, never driven
    {83, "S", 0, DIK_S},                            // upper-case S, never driven
    {84, "T", 0, DIK_T},                            // upper-case T, never driven
    {85, "U", 0, DIK_U},                            // upper-case U, never driven
    {86, "V", 0, DIK_V},                            // upper-case V, never driven
    {87, "W", 0, DIK_W},                            // upper-case W, never driven
    {88, "X", 0, DIK_X},                            // upper-case X, never driven
    {89, "Y", 0, DIK_Y},                            // upper-case Y, never driven
    {90, "Z", 0, DIK_Z},                            // upper-case Z, never driven
    {91, "LEFT BRKT", DIK_LBRACKET, DIK_LBRACKET},  // [
    {92, "BACKSLASH", DIK_BACKSLASH, DIK_BACKSLASH},// backslash
    {93, "RIGHT BRKT", DIK_RBRACKET, DIK_RBRACKET}, // ]
    {94, "6", 0, DIK_6},                            // ^ on the 6 key
    {95, "UNDERSCORE", 0, DIK_UNDERLINE},           // underscore: DIK_UNDERLINE, not DIK_MINUS
    {96, "GRAVE", DIK_GRAVE, DIK_GRAVE},            // grave accent
    {97, "A", DIK_A, DIK_A},                        // a
    {98, "B", DIK_B, DIK_B},                        // b
    {99, "C", DIK_C, DIK_C},                        // c
    {100, "D", DIK_D, DIK_D},                       // d
    {101, "E", DIK_E, DIK_E},                       // e
    {102, "F", DIK_F, DIK_F},                       // f
    {103, "G", DIK_G, DIK_G},                       // g
    {104, "H", DIK_H, DIK_H},                       // h
    {105, "I", DIK_I, DIK_I},                       // i
    {106, "J", DIK_J, DIK_J},                       // j
    {107, "K", DIK_K, DIK_K},                       // k
    {108, "L", DIK_L, DIK_L},                       // l
    {109, "M", DIK_M, DIK_M},                       // m
    {110, "N", DIK_N, DIK_N},                       // n
    {111, "O", DIK_O, DIK_O},                       // o
    {112, "P", DIK_P, DIK_P},                       // p
    {113, "Q", DIK_Q, DIK_Q},                       // q
    {114, "R", DIK_R, DIK_R},                       // r
    {115, "S", DIK_S, DIK_S},                       // s
    {116, "T", DIK_T, DIK_T},                       // t
    {117, "U", DIK_U, DIK_U},                       // u
    {118, "V", DIK_V, DIK_V},                       // v
    {119, "W", DIK_W, DIK_W},                       // w
    {120, "X", DIK_X, DIK_X},                       // x
    {121, "Y", DIK_Y, DIK_Y},                       // y
    {122, "Z", DIK_Z, DIK_Z},                       // z
    {123, "LEFT BRKT", 0, DIK_LBRACKET},            // left brace on the [ key
    {124, "BACKSLASH", 0, DIK_BACKSLASH},           // vertical bar on the backslash key
    {125, "RIGHT BRKT", 0, DIK_RBRACKET},           // right brace on the ] key
    {126, "GRAVE", 0, DIK_GRAVE},                   // tilde on the grave key
    {127, "DELETE", 0, DIK_DELETE},                 // ASCII delete: DIK_DELETE drives 151 only
    {128, "LEFT SHIFT", DIK_LSHIFT, DIK_LSHIFT},    // left shift
    {129, "RIGHT SHIFT", DIK_RSHIFT, DIK_RSHIFT},   // right shift
    {130, "LEFT CTRL", DIK_LCONTROL, DIK_LCONTROL}, // left ctrl
    {131, "RIGHT CTRL", DIK_RCONTROL, DIK_RCONTROL},// right ctrl
    {132, "LEFT ALT", DIK_LMENU, DIK_LMENU},        // left alt
    {133, "RIGHT ALT", DIK_RMENU, DIK_RMENU},       // right alt
    {134, "LEFT ARROW", DIK_LEFT, DIK_LEFT},        // left arrow
    {135, "RIGHT ARROW", DIK_RIGHT, DIK_RIGHT},     // right arrow
    {136, "UP ARROW", DIK_UP, DIK_UP},              // up arrow
    {137, "DOWN ARROW", DIK_DOWN, DIK_DOWN},        // down arrow
    {138, "F1", DIK_F1, DIK_F1},                    // f1
    {139, "F2", DIK_F2, DIK_F2},                    // f2
    {140, "F3", DIK_F3, DIK_F3},                    // f3
    {141, "F4", DIK_F4, DIK_F4},                    // f4
    {142, "F5", DIK_F5, DIK_F5},                    // f5
    {143, "F6", DIK_F6, DIK_F6},                    // f6
    {144, "F7", DIK_F7, DIK_F7},                    // f7
    {145, "F8", DIK_F8, DIK_F8},                    // f8
    {146, "F9", DIK_F9, DIK_F9},                    // f9
    {147, "F10", DIK_F10, DIK_F10},                 // f10
    {148, "F11", DIK_F11, DIK_F11},                 // f11
    {149, "F12", DIK_F12, DIK_F12},                 // f12
    {150, "INSERT", DIK_INSERT, DIK_INSERT},        // insert
    {151, "DEL", DIK_DELETE, DIK_DELETE},           // del
    {152, "HOME", DIK_HOME, DIK_HOME},              // home
    {153, "END", DIK_END, DIK_END},                 // end
    {154, "PAGE UP", DIK_PRIOR, DIK_PRIOR},         // page up
    {155, "PAGE DOWN", DIK_NEXT, DIK_NEXT},         // page down
    {156, "NUM SLASH", DIK_DIVIDE, DIK_DIVIDE},     // num slash
    {157, "NUM STAR", DIK_MULTIPLY, DIK_MULTIPLY},  // num star
    {158, "NUM MINUS", DIK_SUBTRACT, DIK_SUBTRACT}, // num minus
    {159, "NUM PLUS", DIK_ADD, DIK_ADD},            // num plus
    {160, "NUM ENTER", DIK_NUMPADENTER, DIK_NUMPADENTER},// num enter
    {161, "NUM PERIOD", DIK_DECIMAL, DIK_DECIMAL},  // num period
    {162, "NUM 0", DIK_NUMPAD0, DIK_NUMPAD0},       // num 0
    {163, "NUM 1", DIK_NUMPAD1, DIK_NUMPAD1},       // num 1
    {164, "NUM 2", DIK_NUMPAD2, DIK_NUMPAD2},       // num 2
    {165, "NUM 3", DIK_NUMPAD3, DIK_NUMPAD3},       // num 3
    {166, "NUM 4", DIK_NUMPAD4, DIK_NUMPAD4},       // num 4
    {167, "NUM 5", DIK_NUMPAD5, DIK_NUMPAD5},       // num 5
    {168, "NUM 6", DIK_NUMPAD6, DIK_NUMPAD6},       // num 6
    {169, "NUM 7", DIK_NUMPAD7, DIK_NUMPAD7},       // num 7
    {170, "NUM 8", DIK_NUMPAD8, DIK_NUMPAD8},       // num 8
    {171, "NUM 9", DIK_NUMPAD9, DIK_NUMPAD9},       // num 9
    {172, "NUM LOCK", DIK_NUMLOCK, DIK_NUMLOCK},    // num lock
    {173, "CAPS LOCK", DIK_CAPITAL, DIK_CAPITAL},   // caps lock
    {174, "SCROLL LOCK", DIK_SCROLL, DIK_SCROLL},   // scroll lock
    {175, "PRINT SCRN", DIK_SYSRQ, 0},              // driven by SysRq, no scan code back
    {176, "PAUSE", 0, 0},                           // a name only: DIK_PAUSE drives nothing
    {256, "MOUSE LEFT", 0, 0},                      // mouse button 0, fed by Update
    {257, "MOUSE RIGHT", 0, 0},                     // mouse button 1, fed by Update
    {258, "MOUSE MIDLE", 0, 0},                     // mouse button 2, fed by Update
    {259, "MOUSE BUTN4", 0, 0},                     // mouse button 3, fed by Update
    {260, "JOY BUTN 0", 0, 0},                      // joystick button 0, fed by Update
    {261, "JOY BUTN 1", 0, 0},                      // joystick button 1, fed by Update
    {262, "JOY BUTN 2", 0, 0},                      // joystick button 2, fed by Update
    {263, "JOY BUTN 3", 0, 0},                      // joystick button 3, fed by Update
    {264, "JOY BUTN 4", 0, 0},                      // joystick button 4, fed by Update
    {265, "JOY BUTN 5", 0, 0},                      // joystick button 5, fed by Update
    {266, "JOY BUTN 6", 0, 0},                      // joystick button 6, fed by Update
    {267, "JOY BUTN 7", 0, 0},                      // joystick button 7, fed by Update
    {268, "JOY BUTN 8", 0, 0},                      // joystick button 8, fed by Update
    {269, "JOY BUTN 9", 0, 0},                      // joystick button 9, fed by Update
};
// clang-format on

struct ShiftPair {
    BYTE unshifted;
    BYTE shifted;
};

// The US-layout characters a key gives with Shift, besides the letters (a-z give A-Z).
const ShiftPair SHIFT_PAIRS[] = {
    {'\'', '"'}, {',', '<'}, {'-', '_'}, {'.', '>'}, {'/', '?'},  {'0', ')'}, {'1', '!'},
    {'2', '@'},  {'3', '#'}, {'4', '$'}, {'5', '%'}, {'6', '^'},  {'7', '&'}, {'8', '*'},
    {'9', '('},  {';', ':'}, {'=', '+'}, {'[', '{'}, {'\\', '|'}, {']', '}'}, {'`', '~'},
};

} // namespace

// Every scan code without a row drives code 0, among them DIK_LWIN, DIK_RWIN and DIK_APPS.
void TarnInput::InitDIKToKeyTable() {
    std::memset(dikToKey, 0, sizeof(dikToKey));
    for (const KeyRow& row : KEY_ROWS)
        if (row.drivenBy != 0) dikToKey[row.drivenBy] = row.code;
}

// Only keyboard codes have a scan code back; the table ends at 255.
void TarnInput::InitKeyToDIKTable() {
    std::memset(keyToDik, 0, sizeof(keyToDik));
    for (const KeyRow& row : KEY_ROWS)
        if (row.code < std::size(keyToDik)) keyToDik[row.code] = row.dik;
}

void TarnInput::InitShiftTable() {
    std::memset(shiftTable, 0, sizeof(shiftTable));
    for (BYTE letter = 'a'; letter <= 'z'; ++letter) shiftTable[letter] = letter - 'a' + 'A';
    for (const ShiftPair& pair : SHIFT_PAIRS) shiftTable[pair.unshifted] = pair.shifted;
}

// Bounded copy into the 12-byte slots; a slot without a name stays all zero bytes.
void TarnInput::InitKeyNames() {
    std::memset(keyNames, 0, sizeof(keyNames));
    for (const KeyRow& row : KEY_ROWS) {
        if (row.code >= KEY_CODE_COUNT) continue;
        std::strncpy(keyNames[row.code], row.name, KEY_NAME_SIZE - 1);
        keyNames[row.code][KEY_NAME_SIZE - 1] = '\0';
    }
}
