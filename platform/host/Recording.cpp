// The recorder and the player of Recording.h, and the file between them.
#include "host/Recording.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tarn::platform {
namespace {

constexpr char MAGIC[8] = {'T', 'A', 'R', 'N', 'P', 'L', 'A', 'Y'};
constexpr uint16_t VERSION = 1;

// One tag a record of each kind.
enum Tag : uint8_t {
    EVENT = 'P',
    FOCUS = 'F',
    KEYBOARD = 'K',
    MOUSE = 'M',
    JOYSTICK_ATTACHED = 'A',
    JOYSTICK_NAME = 'N',
    JOYSTICK = 'J',
    PAD = 'D',
    CLOCK = 'T',
    CURSOR = 'C',
    FRAME = 'H',
};

void Fnv(uint64_t* hash, const void* bytes, size_t count) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < count; ++i) *hash = (*hash ^ p[i]) * 0x100000001B3ull;
}

// The program's name as the kernel knows it, for the file's header.
std::string ProgramName() {
    std::ifstream in("/proc/self/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

} // namespace

uint64_t FrameHash(const FrameView& frame) {
    uint64_t hash = 0xCBF29CE484222325ull;
    const int format[] = {frame.width,        frame.height,         frame.bits,
                          (int)frame.redMask, (int)frame.greenMask, (int)frame.blueMask};
    Fnv(&hash, format, sizeof format);
    const int bytes = (frame.bits + 7) / 8;
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0 || frame.pitch < frame.width * bytes)
        return hash;
    for (int y = 0; y < frame.height; ++y)
        Fnv(&hash, static_cast<const uint8_t*>(frame.pixels) + (size_t)y * (size_t)frame.pitch,
            (size_t)frame.width * (size_t)bytes);
    if (frame.bits == 8 && frame.palette) Fnv(&hash, frame.palette, 256 * sizeof(uint32_t));
    return hash;
}

// ---------------------------------------------------------------------------------------------
// The recorder

RecordingHost::RecordingHost(Host& inner, FILE* file, const std::string& program)
    : PassThroughHost(inner), file(file) {
    good = file != nullptr;
    if (!good) return;
    std::fwrite(MAGIC, 1, sizeof MAGIC, file);
    Byte(VERSION & 0xFF);
    Byte(VERSION >> 8);
    const size_t length = program.size() > 0xFFFF ? 0xFFFF : program.size();
    Byte(uint8_t(length));
    Byte(uint8_t(length >> 8));
    std::fwrite(program.data(), 1, length, file);
}

RecordingHost::~RecordingHost() {
    Finish();
}

void RecordingHost::Finish() {
    if (!file) return;
    good = std::fclose(file) == 0 && good;
    file = nullptr;
}

void RecordingHost::Byte(uint8_t v) const {
    if (file && std::fputc(v, file) == EOF) good = false;
}

void RecordingHost::Unsigned(uint64_t v) const {
    while (v >= 0x80) {
        Byte(uint8_t(v | 0x80));
        v >>= 7;
    }
    Byte(uint8_t(v));
}

void RecordingHost::Signed(int64_t v) const {
    Unsigned((uint64_t(v) << 1) ^ uint64_t(v >> 63));
}

void RecordingHost::Present(const FrameView& frame) {
    Byte(FRAME);
    const uint64_t hash = FrameHash(frame);
    for (int i = 0; i < 8; ++i) Byte(uint8_t(hash >> (8 * i)));
    inner.Present(frame);
}

bool RecordingHost::PollEvent(HostEvent* event) {
    HostEvent e;
    const bool got = inner.PollEvent(&e);
    Byte(EVENT);
    Byte(got ? uint8_t(1 + e.type) : 0);
    if (got) Unsigned(e.vk);
    if (got && event) *event = e;
    return got;
}

bool RecordingHost::HasFocus() const {
    const bool focus = inner.HasFocus();
    Byte(FOCUS);
    Byte(focus ? 1 : 0);
    return focus;
}

// Only the keys that changed since the last reading are written.
void RecordingHost::ReadKeyboard(uint8_t state[256]) {
    uint8_t now[256] = {};
    inner.ReadKeyboard(now);
    int changed = 0;
    for (int i = 0; i < 256; ++i) changed += now[i] != keys[i];
    Byte(KEYBOARD);
    Unsigned((uint64_t)changed);
    for (int i = 0; i < 256; ++i) {
        if (now[i] == keys[i]) continue;
        Byte(uint8_t(i));
        Byte(now[i]);
        keys[i] = now[i];
    }
    if (state) std::memcpy(state, now, sizeof now);
}

void RecordingHost::ReadMouse(MouseState* mouse) {
    MouseState m;
    inner.ReadMouse(&m);
    Byte(MOUSE);
    Signed(m.dx);
    Signed(m.dy);
    Signed(m.wheel);
    Byte(uint8_t(m.buttons[0] | m.buttons[1] << 1 | m.buttons[2] << 2 | m.buttons[3] << 3));
    if (mouse) *mouse = m;
}

bool RecordingHost::JoystickAttached() const {
    const bool attached = inner.JoystickAttached();
    Byte(JOYSTICK_ATTACHED);
    Byte(attached ? 1 : 0);
    return attached;
}

std::string RecordingHost::JoystickName() const {
    const std::string name = inner.JoystickName();
    Byte(JOYSTICK_NAME);
    Unsigned(name.size());
    for (char c : name) Byte(uint8_t(c));
    return name;
}

bool RecordingHost::ReadJoystick(JoystickState* joystick) {
    JoystickState j;
    const bool ok = inner.ReadJoystick(&j);
    Byte(JOYSTICK);
    Byte(ok ? 1 : 0);
    if (ok) {
        Signed(j.x);
        Signed(j.y);
        uint32_t buttons = 0;
        for (int i = 0; i < 32; ++i) buttons |= uint32_t(j.buttons[i]) << i;
        Unsigned(buttons);
        if (joystick) *joystick = j;
    }
    return ok;
}

bool RecordingHost::ReadPad(int slot, PadState* pad) {
    PadState p;
    const bool ok = inner.ReadPad(slot, &p);
    Byte(PAD);
    Byte(ok ? 1 : 0);
    if (ok) {
        Unsigned(p.buttons);
        Byte(p.leftTrigger);
        Byte(p.rightTrigger);
        Signed(p.leftX);
        Signed(p.leftY);
        Signed(p.rightX);
        Signed(p.rightY);
    }
    if (pad) *pad = p;
    return ok;
}

// Clock readings as the time since the previous one, mostly one byte.
uint32_t RecordingHost::Milliseconds() {
    const uint32_t now = inner.Milliseconds();
    Byte(CLOCK);
    Unsigned(uint32_t(now - lastClock));
    lastClock = now;
    return now;
}

void RecordingHost::CursorPos(int* x, int* y) {
    int cx = 0, cy = 0;
    inner.CursorPos(&cx, &cy);
    Byte(CURSOR);
    Signed(cx);
    Signed(cy);
    if (x) *x = cx;
    if (y) *y = cy;
}

// ---------------------------------------------------------------------------------------------
// The player

ReplayHost::ReplayHost(Host& inner, const std::vector<uint8_t>& recording,
                       const std::string& program, const std::string& picturePrefix)
    : PassThroughHost(inner), data(recording), picturePrefix(picturePrefix) {
    if (data.size() < sizeof MAGIC + 4 || std::memcmp(data.data(), MAGIC, sizeof MAGIC) != 0) {
        error = "it is no recording of a Tarn program";
        return;
    }
    at = sizeof MAGIC;
    const unsigned version = data[at] | data[at + 1] << 8;
    const size_t length = data[at + 2] | data[at + 3] << 8;
    at += 4;
    if (version != VERSION) {
        error = "it was made by version " + std::to_string(version) + " of the recorder, this is " +
                std::to_string(VERSION);
        return;
    }
    if (data.size() - at < length) {
        error = "it is cut short in its header";
        return;
    }
    const std::string recorded(data.begin() + std::ptrdiff_t(at),
                               data.begin() + std::ptrdiff_t(at + length));
    at += length;
    if (recorded != program) error = "it was made by the program \"" + recorded + "\"";
}

[[noreturn]] void ReplayHost::Stop(const std::string& why, int code) const {
    std::fprintf(stderr, "tarn replay: %s (after %d matching frames)\n", why.c_str(),
                 framesMatched);
    std::fflush(stderr);
    std::_Exit(code);
}

uint8_t ReplayHost::Byte() const {
    if (at >= data.size()) Stop("the program asks for more input than the recording holds", 2);
    return data[at++];
}

uint64_t ReplayHost::Unsigned() const {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        const uint8_t b = Byte();
        v |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80)) return v;
    }
    Stop("the recording is damaged (a number runs on)", 2);
}

int64_t ReplayHost::Signed() const {
    const uint64_t v = Unsigned();
    return int64_t(v >> 1) ^ -int64_t(v & 1);
}

void ReplayHost::Expect(uint8_t tag, const char* what) const {
    const uint8_t got = Byte();
    if (got != tag)
        Stop(std::string("the program asks for ") + what + " where the recording holds '" +
                 char(got) + "': it does not run as it did when recorded",
             2);
}

void ReplayHost::Present(const FrameView& view) {
    Expect(FRAME, "a frame");
    uint64_t recorded = 0;
    for (int i = 0; i < 8; ++i) recorded |= uint64_t(Byte()) << (8 * i);
    const uint64_t replayed = FrameHash(view);
    inner.Present(view);
    if (replayed == recorded) {
        ++framesMatched;
        return;
    }
    const std::string picture =
        picturePrefix + ".frame-" + std::to_string(framesMatched + 1) + ".bmp";
    frame.Keep(view);
    const bool written = frame.WriteBmp(picture);
    char text[200];
    std::snprintf(
        text, sizeof text, "frame %d differs at %u ms: recorded %016llx, replayed %016llx%s%s",
        framesMatched + 1, clock, (unsigned long long)recorded, (unsigned long long)replayed,
        written ? "; the replayed frame is in " : "", written ? picture.c_str() : "");
    Stop(text, 1);
}

bool ReplayHost::PollEvent(HostEvent* event) {
    Expect(EVENT, "an event");
    const uint8_t type = Byte();
    if (type == 0) return false;
    if (type > HostEvent::DisplayLost + 1) Stop("the recording is damaged (an unknown event)", 2);
    HostEvent e;
    e.type = HostEvent::Type(type - 1);
    e.vk = uint32_t(Unsigned());
    if (event) *event = e;
    return true;
}

bool ReplayHost::HasFocus() const {
    Expect(FOCUS, "the focus");
    return Byte() != 0;
}

void ReplayHost::ReadKeyboard(uint8_t state[256]) {
    Expect(KEYBOARD, "the keyboard");
    const uint64_t changed = Unsigned();
    if (changed > 256) Stop("the recording is damaged (a keyboard reading)", 2);
    for (uint64_t i = 0; i < changed; ++i) {
        const uint8_t key = Byte();
        keys[key] = Byte();
    }
    if (state) std::memcpy(state, keys, sizeof keys);
}

void ReplayHost::ReadMouse(MouseState* mouse) {
    Expect(MOUSE, "the mouse");
    MouseState m;
    m.dx = int(Signed());
    m.dy = int(Signed());
    m.wheel = int(Signed());
    const uint8_t buttons = Byte();
    for (int i = 0; i < 4; ++i) m.buttons[i] = (buttons >> i) & 1;
    if (mouse) *mouse = m;
}

bool ReplayHost::JoystickAttached() const {
    Expect(JOYSTICK_ATTACHED, "whether a joystick is there");
    return Byte() != 0;
}

std::string ReplayHost::JoystickName() const {
    Expect(JOYSTICK_NAME, "the joystick's name");
    const uint64_t length = Unsigned();
    if (length > data.size() - at) Stop("the recording is cut short", 2);
    std::string name;
    for (uint64_t i = 0; i < length; ++i) name += char(Byte());
    return name;
}

bool ReplayHost::ReadJoystick(JoystickState* joystick) {
    Expect(JOYSTICK, "the joystick");
    if (Byte() == 0) return false;
    JoystickState j;
    j.x = int(Signed());
    j.y = int(Signed());
    const uint64_t buttons = Unsigned();
    for (int i = 0; i < 32; ++i) j.buttons[i] = (buttons >> i) & 1;
    if (joystick) *joystick = j;
    return true;
}

bool ReplayHost::ReadPad(int, PadState* pad) {
    Expect(PAD, "a gamepad");
    PadState p;
    const bool ok = Byte() != 0;
    if (ok) {
        p.buttons = uint16_t(Unsigned());
        p.leftTrigger = Byte();
        p.rightTrigger = Byte();
        p.leftX = int16_t(Signed());
        p.leftY = int16_t(Signed());
        p.rightX = int16_t(Signed());
        p.rightY = int16_t(Signed());
    }
    if (pad) *pad = p;
    return ok;
}

uint32_t ReplayHost::Milliseconds() {
    Expect(CLOCK, "the clock");
    clock += uint32_t(Unsigned());
    return clock;
}

void ReplayHost::CursorPos(int* x, int* y) {
    Expect(CURSOR, "the cursor");
    const int cx = int(Signed()), cy = int(Signed());
    if (x) *x = cx;
    if (y) *y = cy;
}

// ---------------------------------------------------------------------------------------------
// From the environment

namespace {

RecordingHost* recorder = nullptr;
ReplayHost* player = nullptr;

__attribute__((destructor)) void FinishAtExit() {
    if (recorder) recorder->Finish();
    if (player)
        std::fprintf(stderr, "tarn replay: %d frames matched%s\n", player->FramesMatched(),
                     player->AtEnd() ? "" : " (the program ended before the recording)");
}

} // namespace

Host* RecordingFromEnvironment(Host* inner) {
    const char* record = std::getenv("TARN_RECORD");
    const char* replay = std::getenv("TARN_REPLAY");
    if (!inner || recorder || player) return inner;
    if (replay && *replay) {
        std::ifstream in(replay, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        player = new ReplayHost(*inner, bytes, ProgramName(), replay);
        if (!in && bytes.empty()) {
            std::fprintf(stderr, "tarn replay: cannot read %s\n", replay);
            std::_Exit(2);
        }
        if (!player->Error().empty()) {
            std::fprintf(stderr, "tarn replay: %s is refused: %s\n", replay,
                         player->Error().c_str());
            std::_Exit(2);
        }
        return player;
    }
    if (record && *record) {
        recorder = new RecordingHost(*inner, std::fopen(record, "wb"), ProgramName());
        if (!recorder->Good()) std::fprintf(stderr, "tarn: cannot record into %s\n", record);
        return recorder;
    }
    return inner;
}

} // namespace tarn::platform
