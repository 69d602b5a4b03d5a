// Recording a play and replaying it frame for frame. Both sit where the script player sits: in
// front of the host, as hosts of their own. The recorder passes everything through and writes
// what the program received (every event, focus answer, keyboard, mouse, joystick and pad
// reading, clock reading and cursor position, in order) and a hash of every frame it showed. The
// player answers the program from the file instead of the machine, shows the frames on the host
// behind it without waiting for the clock or the vertical blank, and checks each frame's hash.
//
// Started from the environment on the host's first use:
//   TARN_RECORD=FILE   records the run into FILE
//   TARN_REPLAY=FILE   replays FILE (the host behind is the one chosen as usual; headless by
//                      default when TARN_HOST is not set). At the first frame whose hash
//                      differs, the replay says so (frame number, clock, both hashes), writes the
//                      replayed frame to FILE.frame-N.bmp and ends the program with exit code 1;
//                      a program that asks for more than the file holds, or for something else
//                      than it holds next, ends with code 2; at exit it says how many frames
//                      matched.
//
// The file: "TARNPLAY", a 16-bit version (3), the program's name (a 16-bit length and its
// bytes), then one record per call: a tag byte and its fields, numbers as LEB128 varints
// (signed ones zig-zagged). What the program read between two frames is a frame's input; a
// frame is a frame record ('H' and its 8-byte hash) after its input's records. Most frames read
// what a frame shortly before read (nothing pressed, the mouse still, the clock a steady step or
// a steady pattern of steps), so a run of them is one record: 'R', the distance back d (1 to
// 8) and the count n, then the n frames' hashes; each of those frames reads the input the frame
// d before it read. A frame whose input differs from such a frame's in a few bytes is 'X', the
// distance d, the count of changed bytes and each one's position and value, then its hash. A file
// that is damaged, cut, of another version or made by another program is refused with a message
// before anything is replayed.
#pragma once

#include "host/FrameConvert.h"
#include "host/PassThroughHost.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tarn::platform {

// A frame's hash: FNV-1a over its visible bytes (rows without padding), its format and, for 8
// bits, its palette. Equal frames in the same format hash the same on every machine.
uint64_t FrameHash(const FrameView& frame);

class RecordingHost final : public PassThroughHost {
public:
    // Records into `file` (taken over, closed by Finish or at the end); Good() is false once
    // it could not be written.
    RecordingHost(Host& inner, FILE* file, const std::string& program);
    ~RecordingHost() override;
    bool Good() const { return good; }
    void Finish(); // flushes and closes the file

    void Present(const FrameView& frame) override;
    bool PollEvent(HostEvent* event) override;
    bool HasFocus() const override;
    void ReadKeyboard(uint8_t state[256]) override;
    void ReadMouse(MouseState* mouse) override;
    bool JoystickAttached() const override;
    std::string JoystickName() const override;
    bool ReadJoystick(JoystickState* joystick) override;
    bool ReadPad(int slot, PadState* pad) override;
    uint32_t Milliseconds() override;
    void CursorPos(int* x, int* y) override;

    // How far back a frame's input may repeat an earlier frame's.
    static constexpr int HISTORY = 8;

private:
    void Byte(uint8_t v) const;
    void Unsigned(uint64_t v) const;
    void Signed(int64_t v) const;
    void Write(const uint8_t* bytes, size_t count) const;
    void Write(uint64_t v) const; // a varint straight to the file
    void EndRun();                // writes the run of repeated inputs held back

    mutable FILE* file;
    mutable bool good = true;
    uint8_t keys[256] = {}; // the keyboard as last recorded
    uint32_t lastClock = 0;
    mutable std::vector<uint8_t> input;    // this frame's input so far
    std::vector<uint8_t> history[HISTORY]; // the inputs of the last frames, a ring
    int newest = -1;                       // history's latest frame; -1 before any
    int runDistance = 0;                   // 0: no run
    std::vector<uint64_t> runHashes;       // the hashes of the run's frames
};

class ReplayHost final : public PassThroughHost {
public:
    // Reads the whole recording; Error() says why it was refused (empty when it was taken).
    ReplayHost(Host& inner, const std::vector<uint8_t>& recording, const std::string& program,
               const std::string& picturePrefix);
    const std::string& Error() const { return error; }
    int FramesMatched() const { return framesMatched; }
    bool AtEnd() const { return at >= data.size() && runLeft == 0; }

    void Present(const FrameView& frame) override;
    void WaitVerticalBlank() override {} // as fast as the machine allows
    bool PollEvent(HostEvent* event) override;
    void WaitEvent() override {} // the next event is in the file
    bool HasFocus() const override;
    void ReadKeyboard(uint8_t state[256]) override;
    void ReadMouse(MouseState* mouse) override;
    bool JoystickAttached() const override;
    std::string JoystickName() const override;
    bool ReadJoystick(JoystickState* joystick) override;
    bool ReadPad(int slot, PadState* pad) override;
    uint32_t Milliseconds() override;
    void CursorPos(int* x, int* y) override;

    // Frames from `from` to `to` (counted from 1) are written into `folder` as frame-N.bmp.
    void DumpFrames(const std::string& folder, int from, int to);

private:
    // The next record must be `tag`; anything else ends the replay (exit code 2).
    void Expect(uint8_t tag, const char* what) const;
    void BeginFrame();        // at a frame's first read: a run's frame takes its input from back
    uint8_t FileByte() const; // the next byte of the file itself
    uint8_t Byte() const;
    uint64_t Unsigned() const;
    int64_t Signed() const;
    [[noreturn]] void Stop(const std::string& why, int code) const;

    std::vector<uint8_t> data;
    mutable size_t at = 0;
    std::string error;
    std::string picturePrefix;
    uint8_t keys[256] = {};
    mutable uint32_t clock = 0;
    int framesMatched = 0;
    KeptFrame frame;
    // A frame's input comes from the file or, in a run, from the frame `runDistance` before.
    std::vector<uint8_t> history[RecordingHost::HISTORY];
    int newest = -1;
    mutable std::vector<uint8_t> input; // the current frame's input as read
    mutable bool inFrame = false;       // the current frame's input has begun
    uint64_t runLeft = 0;
    int runDistance = 0;
    std::vector<uint8_t> patched; // a frame's input given as its changes from an earlier one
    mutable const std::vector<uint8_t>* source = nullptr; // a run's input; null: the file
    mutable size_t sourceAt = 0;
    std::string dumpFolder;
    int dumpFrom = 0, dumpTo = -1;
};

// The recorder or the player in front of `inner` when TARN_RECORD or TARN_REPLAY asks for one;
// else `inner` itself. A recording that cannot be read ends the program with a message (code 2).
Host* RecordingFromEnvironment(Host* inner);

// Whether a replay is asked for (TARN_REPLAY, or --replay on the program's command line).
bool ReplayAsked();

} // namespace tarn::platform
