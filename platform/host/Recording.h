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
// The file: "TARNPLAY", a 16-bit version (1), the program's name (a 16-bit length and its
// bytes), then one record per call: a tag byte and its fields, numbers as LEB128 varints
// (signed ones zig-zagged). A file that is damaged, cut, of another version or made by another
// program is refused with a message before anything is replayed.
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

private:
    void Byte(uint8_t v) const;
    void Unsigned(uint64_t v) const;
    void Signed(int64_t v) const;

    mutable FILE* file;
    mutable bool good = true;
    uint8_t keys[256] = {}; // the keyboard as last recorded
    uint32_t lastClock = 0;
};

class ReplayHost final : public PassThroughHost {
public:
    // Reads the whole recording; Error() says why it was refused (empty when it was taken).
    ReplayHost(Host& inner, const std::vector<uint8_t>& recording, const std::string& program,
               const std::string& picturePrefix);
    const std::string& Error() const { return error; }
    int FramesMatched() const { return framesMatched; }
    bool AtEnd() const { return at >= data.size(); }

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

private:
    // The next record must be `tag`; anything else ends the replay (exit code 2).
    void Expect(uint8_t tag, const char* what) const;
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
};

// The recorder or the player in front of `inner` when TARN_RECORD or TARN_REPLAY asks for one;
// else `inner` itself. A recording that cannot be read ends the program with a message (code 2).
Host* RecordingFromEnvironment(Host* inner);

} // namespace tarn::platform
