// Reads the headless host's script language: steps such as "focus 1", "frames 10",
// "key ESCAPE", "dump out.bmp", separated by ';' or new lines. Keys are given by number or by
// name; the tables below hold the names a script is likely to use.
#include "host/HeadlessScript.h"

#include <cctype>
#include <cstdlib>

namespace tarn::platform {
namespace {

struct Named {
    const char* name;
    int code;
};

// Virtual-key codes by name (letters and F-keys are computed).
const Named VIRTUAL_KEYS[] = {
    {"BACK", 0x08},   {"BACKSPACE", 0x08}, {"TAB", 0x09},   {"RETURN", 0x0D}, {"ENTER", 0x0D},
    {"SHIFT", 0x10},  {"CONTROL", 0x11},   {"CTRL", 0x11},  {"MENU", 0x12},   {"ALT", 0x12},
    {"PAUSE", 0x13},  {"ESCAPE", 0x1B},    {"ESC", 0x1B},   {"SPACE", 0x20},  {"PRIOR", 0x21},
    {"PGUP", 0x21},   {"NEXT", 0x22},      {"PGDN", 0x22},  {"END", 0x23},    {"HOME", 0x24},
    {"LEFT", 0x25},   {"UP", 0x26},        {"RIGHT", 0x27}, {"DOWN", 0x28},   {"INSERT", 0x2D},
    {"DELETE", 0x2E},
};

// DirectInput scan codes by name (letters by keyboard row).
const Named SCAN_CODES[] = {
    {"ESCAPE", 0x01}, {"ESC", 0x01},  {"RETURN", 0x1C}, {"ENTER", 0x1C},  {"SPACE", 0x39},
    {"TAB", 0x0F},    {"BACK", 0x0E}, {"LSHIFT", 0x2A}, {"RSHIFT", 0x36}, {"LCONTROL", 0x1D},
    {"LMENU", 0x38},  {"UP", 0xC8},   {"DOWN", 0xD0},   {"LEFT", 0xCB},   {"RIGHT", 0xCD},
};
// Gamepad buttons by name, as XINPUT_GAMEPAD_* bits.
const Named PAD_BUTTONS[] = {
    {"UP", 0x0001},   {"DOWN", 0x0002}, {"LEFT", 0x0004}, {"RIGHT", 0x0008}, {"START", 0x0010},
    {"BACK", 0x0020}, {"LS", 0x0040},   {"RS", 0x0080},   {"LB", 0x0100},    {"RB", 0x0200},
    {"A", 0x1000},    {"B", 0x2000},    {"X", 0x4000},    {"Y", 0x8000},
};
const char* const LETTER_ROWS[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
const int LETTER_ROW_START[] = {0x10, 0x1E, 0x2C};

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
    std::string u = Upper(name);
    if (u.size() == 1 && u[0] >= 'A' && u[0] <= 'Z') return u[0];
    if (u.size() >= 2 && u[0] == 'F') {
        long f = 0;
        if (ParseNumber(u.substr(1), &f) && f >= 1 && f <= 24) return 0x70 + (int)f - 1;
    }
    for (const Named& k : VIRTUAL_KEYS)
        if (u == k.name) return k.code;
    return -1;
}

int ScanCodeByName(const std::string& name) {
    long number = 0;
    if (ParseNumber(name, &number)) return number >= 0 && number < 256 ? (int)number : -1;
    std::string u = Upper(name);
    if (u.size() == 1)
        for (int row = 0; row < 3; ++row)
            for (int i = 0; LETTER_ROWS[row][i]; ++i)
                if (LETTER_ROWS[row][i] == u[0]) return LETTER_ROW_START[row] + i;
    for (const Named& k : SCAN_CODES)
        if (u == k.name) return k.code;
    return -1;
}

int PadButtonByName(const std::string& name) {
    long number = 0;
    if (ParseNumber(name, &number))
        return number > 0 && number <= 0xFFFF && (number & (number - 1)) == 0 ? (int)number : -1;
    std::string u = Upper(name);
    for (const Named& k : PAD_BUTTONS)
        if (u == k.name) return k.code;
    return -1;
}

bool ParseScript(const std::string& script, std::vector<ScriptStep>* steps, std::string* error) {
    bool ok = true;
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
        } else if (v == "MEMORY") {
            step.kind = ScriptStep::Memory;
            step.text = first;
            good = good && !first.empty() && second.empty();
        } else if (v == "DIKEY") {
            step.kind = ScriptStep::DiKey;
            a = ScanCodeByName(first);
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
                *error += "cannot read script step \"" + piece + "\"";
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
    return ok;
}

} // namespace tarn::platform
