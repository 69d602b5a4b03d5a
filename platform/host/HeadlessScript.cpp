// Reads the script language: steps such as "focus 1", "frames 10", "key ESCAPE",
// "dump out.bmp", separated by ';' or new lines. Keys are given by number or by name, from one
// table for the `key` step (virtual-key codes) and the `dikey` step (DirectInput scan codes).
#include "host/HeadlessScript.h"

#include <xinput.h>

#include <cctype>
#include <cstdlib>
#include <iterator>

namespace tarn::platform {
namespace {

// A key's two codes; -1 where the key has none of that kind.
struct KeyCodes {
    int vk = -1, dik = -1;
};

struct NamedKey {
    const char* name;
    KeyCodes codes;
};

// Keys by name, with their virtual-key code and DirectInput scan code (letters, digits and
// function keys are found by KeyByName without a row each). Aliases follow the name they mean.
const NamedKey KEYS[] = {
    {"ESCAPE", {0x1B, 0x01}},     {"ESC", {0x1B, 0x01}},       {"RETURN", {0x0D, 0x1C}},
    {"ENTER", {0x0D, 0x1C}},      {"SPACE", {0x20, 0x39}},     {"TAB", {0x09, 0x0F}},
    {"BACK", {0x08, 0x0E}},       {"BACKSPACE", {0x08, 0x0E}}, {"SHIFT", {0x10, 0x2A}},
    {"LSHIFT", {0xA0, 0x2A}},     {"LEFTSHIFT", {0xA0, 0x2A}}, {"RSHIFT", {0xA1, 0x36}},
    {"RIGHTSHIFT", {0xA1, 0x36}}, {"CONTROL", {0x11, 0x1D}},   {"CTRL", {0x11, 0x1D}},
    {"LCONTROL", {0xA2, 0x1D}},   {"LCTRL", {0xA2, 0x1D}},     {"LEFTCTRL", {0xA2, 0x1D}},
    {"RCONTROL", {0xA3, 0x9D}},   {"RCTRL", {0xA3, 0x9D}},     {"RIGHTCTRL", {0xA3, 0x9D}},
    {"MENU", {0x12, 0x38}},       {"ALT", {0x12, 0x38}},       {"LMENU", {0xA4, 0x38}},
    {"LALT", {0xA4, 0x38}},       {"LEFTALT", {0xA4, 0x38}},   {"RMENU", {0xA5, 0xB8}},
    {"RALT", {0xA5, 0xB8}},       {"RIGHTALT", {0xA5, 0xB8}},  {"PAUSE", {0x13, 0xC5}},
    {"CAPSLOCK", {0x14, 0x3A}},   {"PRIOR", {0x21, 0xC9}},     {"PGUP", {0x21, 0xC9}},
    {"PAGEUP", {0x21, 0xC9}},     {"NEXT", {0x22, 0xD1}},      {"PGDN", {0x22, 0xD1}},
    {"PAGEDOWN", {0x22, 0xD1}},   {"END", {0x23, 0xCF}},       {"HOME", {0x24, 0xC7}},
    {"LEFT", {0x25, 0xCB}},       {"UP", {0x26, 0xC8}},        {"RIGHT", {0x27, 0xCD}},
    {"DOWN", {0x28, 0xD0}},       {"INSERT", {0x2D, 0xD2}},    {"DELETE", {0x2E, 0xD3}},
    {"MINUS", {0xBD, 0x0C}},      {"EQUALS", {0xBB, 0x0D}},    {"LBRACKET", {0xDB, 0x1A}},
    {"RBRACKET", {0xDD, 0x1B}},   {"SEMICOLON", {0xBA, 0x27}}, {"APOSTROPHE", {0xDE, 0x28}},
    {"GRAVE", {0xC0, 0x29}},      {"BACKSLASH", {0xDC, 0x2B}}, {"COMMA", {0xBC, 0x33}},
    {"PERIOD", {0xBE, 0x34}},     {"SLASH", {0xBF, 0x35}},     {"NUMPAD0", {0x60, 0x52}},
    {"NUMPAD1", {0x61, 0x4F}},    {"NUMPAD2", {0x62, 0x50}},   {"NUMPAD3", {0x63, 0x51}},
    {"NUMPAD4", {0x64, 0x4B}},    {"NUMPAD5", {0x65, 0x4C}},   {"NUMPAD6", {0x66, 0x4D}},
    {"NUMPAD7", {0x67, 0x47}},    {"NUMPAD8", {0x68, 0x48}},   {"NUMPAD9", {0x69, 0x49}},
};

// Scan codes of the letters, by keyboard row, and of the function keys F1 .. F15.
const char* const LETTER_ROWS[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
const int LETTER_ROW_START[] = {0x10, 0x1E, 0x2C};
const int FUNCTION_SCAN_CODES[] = {0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42,
                                   0x43, 0x44, 0x57, 0x58, 0x64, 0x65, 0x66};

// Gamepad buttons by name.
const struct {
    const char* name;
    int bit;
} PAD_BUTTONS[] = {
    {"UP", XINPUT_GAMEPAD_DPAD_UP},
    {"DOWN", XINPUT_GAMEPAD_DPAD_DOWN},
    {"LEFT", XINPUT_GAMEPAD_DPAD_LEFT},
    {"RIGHT", XINPUT_GAMEPAD_DPAD_RIGHT},
    {"START", XINPUT_GAMEPAD_START},
    {"BACK", XINPUT_GAMEPAD_BACK},
    {"LS", XINPUT_GAMEPAD_LEFT_THUMB},
    {"RS", XINPUT_GAMEPAD_RIGHT_THUMB},
    {"LB", XINPUT_GAMEPAD_LEFT_SHOULDER},
    {"RB", XINPUT_GAMEPAD_RIGHT_SHOULDER},
    {"A", XINPUT_GAMEPAD_A},
    {"B", XINPUT_GAMEPAD_B},
    {"X", XINPUT_GAMEPAD_X},
    {"Y", XINPUT_GAMEPAD_Y},
};

std::string Upper(const std::string& s) {
    std::string u = s;
    for (char& c : u) c = (char)std::toupper((unsigned char)c);
    return u;
}

// A whole-string integer in decimal or 0x hex.
bool ParseNumber(const std::string& s, long* value) {
    if (s.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 0);
    if (!end || *end != 0) return false;
    *value = v;
    return true;
}

// A key by name: a letter, DIGIT0 .. DIGIT9, F1 .. F24 or a row of KEYS, in any case and with
// or without underscores (LEFT_SHIFT is LEFTSHIFT, as the library's KEY_CODE_LEFT_SHIFT).
KeyCodes KeyByName(const std::string& name) {
    std::string u;
    for (char c : Upper(name))
        if (c != '_') u += c;
    if (u.size() == 6 && u.compare(0, 5, "DIGIT") == 0) u = u.substr(5);
    KeyCodes k;
    if (u.size() == 1 && u[0] >= 'A' && u[0] <= 'Z') {
        k.vk = u[0];
        for (int row = 0; row < 3; ++row)
            for (int i = 0; LETTER_ROWS[row][i]; ++i)
                if (LETTER_ROWS[row][i] == u[0]) k.dik = LETTER_ROW_START[row] + i;
        return k;
    }
    if (u.size() == 1 && u[0] >= '0' && u[0] <= '9') {
        k.vk = u[0];
        k.dik = u[0] == '0' ? 0x0B : 0x02 + (u[0] - '1');
        return k;
    }
    long f = 0;
    if (u.size() >= 2 && u[0] == 'F' && std::isdigit((unsigned char)u[1]) &&
        ParseNumber(u.substr(1), &f) && f >= 1 && f <= 24) {
        k.vk = 0x70 + (int)f - 1;
        if (f <= (long)std::size(FUNCTION_SCAN_CODES)) k.dik = FUNCTION_SCAN_CODES[f - 1];
        return k;
    }
    for (const NamedKey& named : KEYS)
        if (u == named.name) return named.codes;
    return k;
}

// The text's pieces between separators (empty pieces kept).
std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> pieces(1);
    for (char c : text)
        if (c == separator)
            pieces.emplace_back();
        else
            pieces.back() += c;
    return pieces;
}

// The piece without the blanks around it.
std::string Trim(const std::string& piece) {
    size_t begin = 0, end = piece.size();
    while (begin < end && std::isspace((unsigned char)piece[begin])) ++begin;
    while (end > begin && std::isspace((unsigned char)piece[end - 1])) --end;
    return piece.substr(begin, end - begin);
}

// The first `count` blank-separated words of a piece, missing ones empty.
std::vector<std::string> Words(const std::string& piece, size_t count) {
    std::vector<std::string> words(count);
    size_t i = 0, n = 0;
    while (n < count) {
        while (i < piece.size() && std::isspace((unsigned char)piece[i])) ++i;
        if (i == piece.size()) break;
        size_t start = i;
        while (i < piece.size() && !std::isspace((unsigned char)piece[i])) ++i;
        words[n++] = piece.substr(start, i - start);
    }
    return words;
}

} // namespace

int VirtualKeyByName(const std::string& name) {
    long number = 0;
    if (ParseNumber(name, &number)) return number >= 0 && number < 256 ? (int)number : -1;
    return KeyByName(name).vk;
}

int ScanCodeByName(const std::string& name) {
    long number = 0;
    if (ParseNumber(name, &number)) return number >= 0 && number < 256 ? (int)number : -1;
    return KeyByName(name).dik;
}

int ScanCodeOfVirtualKey(int vk) {
    if (vk >= 'A' && vk <= 'Z') return KeyByName(std::string(1, (char)vk)).dik;
    if (vk >= '0' && vk <= '9') return KeyByName("DIGIT" + std::string(1, (char)vk)).dik;
    if (vk >= 0x70 && vk < 0x70 + (int)std::size(FUNCTION_SCAN_CODES))
        return FUNCTION_SCAN_CODES[vk - 0x70];
    for (const NamedKey& named : KEYS)
        if (named.codes.vk == vk) return named.codes.dik;
    return -1;
}

std::string KeyNames() {
    std::string names = "A..Z, DIGIT0..DIGIT9, F1..F24 (dikey: F1..F15)";
    for (const NamedKey& named : KEYS) names += std::string(", ") + named.name;
    return names + ", or a number";
}

int PadButtonByName(const std::string& name) {
    long number = 0;
    if (ParseNumber(name, &number))
        return number > 0 && number <= 0xFFFF && (number & (number - 1)) == 0 ? (int)number : -1;
    std::string u = Upper(name);
    for (const auto& button : PAD_BUTTONS)
        if (u == button.name) return button.bit;
    return -1;
}

bool ParseScript(const std::string& script, std::vector<ScriptStep>* steps, std::string* error) {
    bool ok = true;
    bool unknownKey = false; // a key step named no key: the error lists the names
    std::string text = script;
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ';';
    for (const std::string& piece : Split(text, ';')) {
        const std::vector<std::string> words = Words(piece, 6);
        const std::string &verb = words[0], &first = words[1], &second = words[2],
                          &extra = words[3], &more = words[4], &rest = words[5];
        if (verb.empty()) continue;
        ScriptStep step;
        long a = 0, b = 0, c = 0, d = 0;
        bool good = extra.empty() && more.empty() && rest.empty();
        // A pad's number, and its stick or trigger by L or R.
        auto padSlot = [&](const std::string& s) { return ParseNumber(s, &a) && a >= 0 && a < 4; };
        auto side = [&](const std::string& s) {
            std::string u = Upper(s);
            b = u == "R" ? 1 : 0;
            return u == "L" || u == "R";
        };
        std::string v = Upper(verb);
        if (v == "FOCUS") {
            step.kind = ScriptStep::Focus;
            good = good && ParseNumber(first, &a) && (a == 0 || a == 1) && second.empty();
        } else if (v == "FRAMES") {
            step.kind = ScriptStep::Frames;
            good = good && ParseNumber(first, &a) && a >= 0 && second.empty();
        } else if (v == "KEY") {
            step.kind = ScriptStep::Key;
            a = VirtualKeyByName(first);
            b = ScanCodeOfVirtualKey((int)a);
            unknownKey = unknownKey || (!first.empty() && a < 0);
            good = good && a >= 0 && second.empty();
        } else if (v == "LOSE" || v == "CLOSE") {
            step.kind = v == "LOSE" ? ScriptStep::Lose : ScriptStep::Close;
            good = good && first.empty();
        } else if (v == "TIME") {
            step.kind = ScriptStep::Time;
            good = good && ParseNumber(first, &a) && a >= 0 && second.empty();
        } else if (v == "DUMP") {
            step.kind = ScriptStep::Dump;
            step.text = first;
            good = good && !first.empty() && second.empty();
        } else if (v == "WAV") {
            step.kind = ScriptStep::Wav;
            step.text = first;
            good = good && !first.empty() && second.empty();
        } else if (v == "MEMORY") {
            step.kind = ScriptStep::Memory;
            step.text = first;
            good = good && !first.empty() && second.empty();
        } else if (v == "DIKEY") {
            step.kind = ScriptStep::DiKey;
            a = ScanCodeByName(first);
            unknownKey = unknownKey || (!first.empty() && a < 0);
            good = good && a >= 0 && ParseNumber(second, &b) && (b == 0 || b == 1);
        } else if (v == "FAULT") { // fault OP [CODE [COUNT]]
            step.kind = ScriptStep::Fault;
            step.text = first;
            a = (long)0x80004005L; // E_FAIL unless a code is given
            good = !first.empty() && (second.empty() || ParseNumber(second, &a)) &&
                   (extra.empty() || (ParseNumber(extra, &b) && b >= 0));
        } else if (v == "FAULTS") { // faults ONE_IN SEED [SPARED,OPERATIONS]
            step.kind = ScriptStep::Faults;
            step.text = extra;
            good = ParseNumber(first, &a) && a >= 0 && ParseNumber(second, &b);
        } else if (v == "MOUSE") {
            step.kind = ScriptStep::Mouse;
            good = good && ParseNumber(first, &a) && ParseNumber(second, &b);
        } else if (v == "BUTTON" || v == "JBUTTON") {
            step.kind = v == "BUTTON" ? ScriptStep::Button : ScriptStep::JoyButton;
            const long buttons = v == "BUTTON" ? 4 : 32;
            good = good && ParseNumber(first, &a) && a >= 0 && a < buttons &&
                   ParseNumber(second, &b) && (b == 0 || b == 1);
        } else if (v == "WHEEL") {
            step.kind = ScriptStep::Wheel;
            good = good && ParseNumber(first, &a) && second.empty();
        } else if (v == "JOYSTICK") {
            step.kind = ScriptStep::Joystick;
            good = good && ParseNumber(first, &a) && ParseNumber(second, &b) && a >= -32768 &&
                   a <= 32767 && b >= -32768 && b <= 32767;
        } else if (v == "PAD") {
            step.kind = ScriptStep::Pad;
            good = good && padSlot(first) && ParseNumber(second, &b) && (b == 0 || b == 1);
        } else if (v == "PBUTTON") { // pbutton N BUTTON 1|0
            step.kind = ScriptStep::PadButton;
            b = PadButtonByName(second);
            good = more.empty() && rest.empty() && padSlot(first) && b > 0 &&
                   ParseNumber(extra, &c) && (c == 0 || c == 1);
        } else if (v == "PSTICK") { // pstick N L|R X Y
            step.kind = ScriptStep::PadStick;
            good = rest.empty() && padSlot(first) && side(second) && ParseNumber(extra, &c) &&
                   ParseNumber(more, &d) && c >= -32768 && c <= 32767 && d >= -32768 && d <= 32767;
        } else if (v == "PTRIGGER") { // ptrigger N L|R V
            step.kind = ScriptStep::PadTrigger;
            good = more.empty() && rest.empty() && padSlot(first) && side(second) &&
                   ParseNumber(extra, &c) && c >= 0 && c <= 255;
        } else {
            good = false;
        }
        if (!good) {
            if (error) {
                if (!error->empty()) *error += "; ";
                *error += "cannot read script step \"" + Trim(piece) + "\"";
            }
            ok = false;
            continue;
        }
        step.a = (int)a;
        step.b = (int)b;
        step.c = (int)c;
        step.d = (int)d;
        steps->push_back(step);
    }
    if (unknownKey && error) *error += "; the keys are " + KeyNames();
    return ok;
}

} // namespace tarn::platform
