// The recorder and the player of Recording.h, and the file between them.
#include "host/Recording.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tarn::platform {
namespace {

constexpr char MAGIC[8] = {'T', 'A', 'R', 'N', 'P', 'L', 'A', 'Y'};
constexpr uint16_t VERSION = 3;
constexpr uint8_t RUN = 'R';
constexpr uint8_t PATCH = 'X';

size_t VarintSize(uint64_t v) {
    size_t n = 1;
    for (; v >= 0x80; v >>= 7) ++n;
    return n;
}
// A run is written out after this many frames, so that a program that dies loses little (two
// seconds at most).
constexpr size_t LONGEST_RUN = 120;

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

// Rows are hashed 32 bytes at a time in four independent lanes (a multiply and a turn each: a
// bijection of the lane, so a changed word always changes its lane), the rest byte by byte;
// the lanes are then folded into the hash with a full mix. Hashing a frame costs about as much
// as copying it.
namespace {

constexpr uint64_t LANE = 0x9E3779B97F4A7C15ull;

uint64_t Turn(uint64_t v, int by) {
    return (v << by) | (v >> (64 - by));
}

uint64_t Mix64(uint64_t v) {
    v = (v ^ (v >> 30)) * 0xBF58476D1CE4E5B9ull;
    v = (v ^ (v >> 27)) * 0x94D049BB133111EBull;
    return v ^ (v >> 31);
}

void HashRow(uint64_t lanes[4], uint64_t* tail, const uint8_t* p, size_t count) {
    size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        uint64_t w[4];
        std::memcpy(w, p + i, sizeof w);
        for (int k = 0; k < 4; ++k) lanes[k] = Turn((lanes[k] ^ w[k]) * LANE, 29);
    }
    Fnv(tail, p + i, count - i);
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
    uint64_t lanes[4] = {1, 2, 3, 4};
    for (int y = 0; y < frame.height; ++y)
        HashRow(lanes, &hash,
                static_cast<const uint8_t*>(frame.pixels) + (size_t)y * (size_t)frame.pitch,
                (size_t)frame.width * (size_t)bytes);
    for (uint64_t lane : lanes) hash = Mix64(hash ^ lane) * LANE;
    if (frame.bits == 8 && frame.palette) Fnv(&hash, frame.palette, 256 * sizeof(uint32_t));
    return hash;
}

// ---------------------------------------------------------------------------------------------
// The recorder

RecordingHost::RecordingHost(Host& inner, FILE* file, const std::string& program)
    : PassThroughHost(inner), file(file) {
    good = file != nullptr;
    if (!good) return;
    input.reserve(1024);
    for (auto& h : history) h.reserve(1024);
    runHashes.reserve(LONGEST_RUN);
    const size_t length = program.size() > 0xFFFF ? 0xFFFF : program.size();
    const uint8_t header[4] = {VERSION & 0xFF, VERSION >> 8, uint8_t(length), uint8_t(length >> 8)};
    Write(reinterpret_cast<const uint8_t*>(MAGIC), sizeof MAGIC);
    Write(header, sizeof header);
    Write(reinterpret_cast<const uint8_t*>(program.data()), length);
}

RecordingHost::~RecordingHost() {
    Finish();
}

void RecordingHost::Finish() {
    if (!file) return;
    EndRun();
    Write(input.data(), input.size()); // what the program read after its last frame
    input.clear();
    good = std::fclose(file) == 0 && good;
    file = nullptr;
}

void RecordingHost::Byte(uint8_t v) const {
    input.push_back(v);
}

void RecordingHost::Write(const uint8_t* bytes, size_t count) const {
    if (file && count && std::fwrite(bytes, 1, count, file) != count) good = false;
}

void RecordingHost::Write(uint64_t v) const {
    uint8_t bytes[10];
    size_t n = 0;
    for (; v >= 0x80; v >>= 7) bytes[n++] = uint8_t(v | 0x80);
    bytes[n++] = uint8_t(v);
    Write(bytes, n);
}

void RecordingHost::EndRun() {
    if (runDistance == 0) return;
    Write(&RUN, 1);
    Write(uint64_t(runDistance));
    Write(uint64_t(runHashes.size()));
    for (uint64_t hash : runHashes) {
        uint8_t bytes[8];
        for (int i = 0; i < 8; ++i) bytes[i] = uint8_t(hash >> (8 * i));
        Write(bytes, 8);
    }
    runHashes.clear();
    runDistance = 0;
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

// A frame whose input is the same as a frame's shortly before joins a run (or starts one);
// another is written out whole.
void RecordingHost::Present(const FrameView& frame) {
    const uint64_t hash = FrameHash(frame);
    auto same = [&](int d) {
        return d <= newest + 1 && history[(newest - d + 1) % HISTORY] == input;
    };
    int distance = runDistance != 0 && same(runDistance) ? runDistance : 0;
    for (int d = 1; d <= HISTORY && distance == 0; ++d)
        if (same(d)) distance = d;
    if (distance != runDistance) EndRun();
    if (distance != 0) {
        runDistance = distance;
        runHashes.push_back(hash);
        if (runHashes.size() >= LONGEST_RUN) EndRun();
    } else {
        // The input as the few bytes where it differs from a frame's shortly before, when that
        // is shorter (the mouse moved, the rest as before).
        int best = 0;
        size_t bestSize = input.size() + 1;
        for (int d = 1; d <= HISTORY && d <= newest + 1; ++d) {
            const std::vector<uint8_t>& back = history[(newest - d + 1) % HISTORY];
            if (back.size() != input.size()) continue;
            size_t size = 1 + VarintSize(uint64_t(d)), count = 0;
            for (size_t i = 0; i < input.size() && size < bestSize; ++i)
                if (input[i] != back[i]) size += VarintSize(i) + 1, ++count;
            size += VarintSize(count);
            if (size < bestSize) best = d, bestSize = size;
        }
        uint8_t bytes[9] = {FRAME};
        for (int i = 0; i < 8; ++i) bytes[1 + i] = uint8_t(hash >> (8 * i));
        if (best != 0) {
            const std::vector<uint8_t>& back = history[(newest - best + 1) % HISTORY];
            size_t count = 0;
            for (size_t i = 0; i < input.size(); ++i) count += input[i] != back[i];
            Write(&PATCH, 1);
            Write(uint64_t(best));
            Write(uint64_t(count));
            for (size_t i = 0; i < input.size(); ++i) {
                if (input[i] == back[i]) continue;
                Write(uint64_t(i));
                Write(&input[i], 1);
            }
            Write(bytes + 1, 8); // the input is complete: the hash needs no tag
        } else {
            Write(input.data(), input.size());
            Write(bytes, sizeof bytes);
        }
    }
    // The ring's slots: newest counts frames, so that the first HISTORY frames know how far
    // back they may look.
    ++newest;
    history[newest % HISTORY] = input;
    input.clear();
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
    input.reserve(1024);
    for (auto& h : history) h.reserve(1024);
}

void ReplayHost::DumpFrames(const std::string& folder, int from, int to) {
    dumpFolder = folder;
    dumpFrom = from;
    dumpTo = to;
}

[[noreturn]] void ReplayHost::Stop(const std::string& why, int code) const {
    std::fprintf(stderr, "tarn replay: %s (after %d matching frames)\n", why.c_str(),
                 framesMatched);
    std::fflush(stderr);
    std::_Exit(code);
}

uint8_t ReplayHost::FileByte() const {
    if (at >= data.size()) Stop("the program asks for more input than the recording holds", 2);
    return data[at++];
}

// A run's record comes before its first frame's input: it says how far back this frame and the
// run's next ones take their input from.
void ReplayHost::BeginFrame() {
    inFrame = true;
    input.clear();
    auto number = [&] {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const uint8_t b = FileByte();
            v |= uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        Stop("the recording is damaged (a number runs on)", 2);
    };
    if (runLeft == 0 && at < data.size() && data[at] == RUN) {
        ++at;
        const uint64_t distance = number();
        runLeft = number();
        if (distance < 1 || distance > RecordingHost::HISTORY ||
            int64_t(distance) > int64_t(newest) + 1 || runLeft == 0)
            Stop("the recording is damaged (a run of frames)", 2);
        runDistance = int(distance);
    }
    source = runLeft ? &history[(newest - runDistance + 1) % RecordingHost::HISTORY] : nullptr;
    sourceAt = 0;
    if (runLeft == 0 && at < data.size() && data[at] == PATCH) {
        ++at;
        const uint64_t distance = number();
        if (distance < 1 || distance > RecordingHost::HISTORY ||
            int64_t(distance) > int64_t(newest) + 1)
            Stop("the recording is damaged (a frame's changes)", 2);
        patched = history[(newest - int(distance) + 1) % RecordingHost::HISTORY];
        const uint64_t count = number();
        if (count > patched.size()) Stop("the recording is damaged (a frame's changes)", 2);
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t position = number();
            if (position >= patched.size()) Stop("the recording is damaged (a frame's changes)", 2);
            patched[position] = FileByte();
        }
        source = &patched;
    }
}

uint8_t ReplayHost::Byte() const {
    if (!inFrame) const_cast<ReplayHost*>(this)->BeginFrame();
    uint8_t b;
    if (source) {
        if (sourceAt >= source->size())
            Stop("the program asks for more input in a frame than it read when recorded: it "
                 "does not run as it did when recorded",
                 2);
        b = (*source)[sourceAt++];
    } else {
        b = FileByte();
    }
    input.push_back(b);
    return b;
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
    if (!inFrame) BeginFrame();
    if (source && sourceAt != source->size())
        Stop("the program shows a frame where the recording holds more input: it does not "
             "run as it did when recorded",
             2);
    if (!source) {
        const uint8_t got = FileByte();
        if (got != FRAME)
            Stop(std::string("the program asks for a frame where the recording holds '") +
                     char(got) + "': it does not run as it did when recorded",
                 2);
    }
    uint64_t recorded = 0;
    for (int i = 0; i < 8; ++i) recorded |= uint64_t(FileByte()) << (8 * i);
    ++newest;
    history[newest % RecordingHost::HISTORY] = input;
    inFrame = false;
    if (runLeft) --runLeft;
    const uint64_t replayed = FrameHash(view);
    inner.Present(view);
    const int number = framesMatched + 1;
    if (!dumpFolder.empty() && number >= dumpFrom && (dumpTo < 0 || number <= dumpTo)) {
        frame.Keep(view);
        const std::string picture = dumpFolder + "/frame-" + std::to_string(number) + ".bmp";
        if (!frame.WriteBmp(picture))
            std::fprintf(stderr, "tarn replay: cannot write %s\n", picture.c_str());
    }
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

// A setting from the environment or, for a program with its own main() (whose arguments the
// platform's entry never saw), from its command line: TARN_RECORD or --record FILE and so on.
std::string Setting(const char* variable, const char* flag) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string word;
    bool next = false;
    while (std::getline(in, word, '\0')) {
        if (next) return word;
        next = word == flag;
    }
    return "";
}

// A frame number from --from or --to; `fallback` when not given.
int FrameSetting(const char* variable, const char* flag, int fallback) {
    const std::string text = Setting(variable, flag);
    if (text.empty()) return fallback;
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || n < 1 || n > 0x7FFFFFFF) {
        std::fprintf(stderr, "tarn replay: %s takes a frame number from 1, not \"%s\"\n", flag,
                     text.c_str());
        std::_Exit(2);
    }
    return int(n);
}

} // namespace

bool ReplayAsked() {
    return !Setting("TARN_REPLAY", "--replay").empty();
}

Host* RecordingFromEnvironment(Host* inner) {
    if (!inner || recorder || player) return inner;
    const std::string replay = Setting("TARN_REPLAY", "--replay");
    const std::string record = Setting("TARN_RECORD", "--record");
    if (!replay.empty()) {
        std::ifstream in(replay, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "tarn replay: cannot read %s\n", replay.c_str());
            std::_Exit(2);
        }
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        player = new ReplayHost(*inner, bytes, ProgramName(), replay);
        if (!player->Error().empty()) {
            std::fprintf(stderr, "tarn replay: %s is refused: %s\n", replay.c_str(),
                         player->Error().c_str());
            std::_Exit(2);
        }
        const std::string dump = Setting("TARN_DUMP", "--dump");
        const int from = FrameSetting("TARN_DUMP_FROM", "--from", 1);
        const int to = FrameSetting("TARN_DUMP_TO", "--to", -1);
        if (!dump.empty()) {
            std::error_code failed;
            std::filesystem::create_directories(dump, failed);
            if (failed) {
                std::fprintf(stderr, "tarn replay: cannot make the folder %s: %s\n", dump.c_str(),
                             failed.message().c_str());
                std::_Exit(2);
            }
            player->DumpFrames(dump, from, to);
        }
        return player;
    }
    if (!record.empty()) {
        recorder = new RecordingHost(*inner, std::fopen(record.c_str(), "wb"), ProgramName());
        if (!recorder->Good())
            std::fprintf(stderr, "tarn: cannot record into %s\n", record.c_str());
        return recorder;
    }
    return inner;
}

} // namespace tarn::platform
