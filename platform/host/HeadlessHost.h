// The headless host: a deterministic, in-memory machine for tests. The clock is set by the test,
// events and input are set through its controls (HostControls.h), the machine is configurable,
// every presented frame is kept and can be written out as a BMP file, and debugger output is
// captured.
//
// In-process tests call UseHeadlessHost(), which selects it and resets it to defaults. A whole
// program is driven by it from outside with TARN_HOST=headless and a script of steps in
// TARN_HEADLESS_SCRIPT, played by the script player in front of the host (ScriptedHost.h, which
// describes the steps and the report); under a script each presented frame moves the clock on
// by 16 ms.
#pragma once

#include "host/FrameConvert.h"
#include "host/Host.h"
#include "host/HostControls.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::platform {

class HeadlessHost : public Host, public HostControls {
public:
    // Back to a fresh machine: default config, clock 0, no events, no input, no pads, no
    // frames, no debug text, focus on, faults cleared, call counts reset.
    virtual void Reset() = 0;
    virtual MachineConfig& Config() = 0; // change before the stand-in objects are created

    // Clock (AdvanceTime is among the controls).
    virtual void SetTime(uint32_t ms) = 0;
    virtual void SetFrameTime(uint32_t ms) = 0; // clock step per presented frame (default 0
                                                // in-process, 16 when driven by a script)

    // Events (PushEvent and SetFocus are among the controls): queues `event` to be released
    // once `frames` more frames have been presented.
    virtual void ScheduleAfterFrames(int frames, const HostEvent& event) = 0;

    virtual void SetCursorPos(int x, int y) = 0;
    virtual void SetPad(int slot, const PadState& state) = 0;
    // The motor speeds the pad was last given (0, 0 for an empty slot).
    virtual void PadRumble(int slot, uint16_t* low, uint16_t* high) const = 0;

    // What the program showed.
    virtual int FramesPresented() const = 0;
    virtual bool WindowOpen() const = 0;
    virtual bool FullScreen() const = 0;
    virtual bool CursorShown() const = 0;
    virtual int VerticalBlankWaits() const = 0;
    // The last presented frame as 0x00RRGGBB pixels, top row first (each channel widened by
    // repeating its top bits); empty before the first frame.
    virtual const std::vector<uint32_t>& LastFrame(int* width, int* height) const = 0;
    virtual bool DumpLastFrame(const std::string& bmpPath) const = 0;

    // Captured OutputDebugStringA text, in order.
    virtual const std::string& DebugText() const = 0;
    virtual void ClearDebugText() = 0;

    // Audio: the headless sound card (HeadlessAudio.h). It mixes as the clock moves on and
    // records everything it played (interleaved left, right, 16-bit, at AudioRate()).
    virtual void SetAudioDevicePresent(bool present) = 0; // false: OpenAudio fails
    virtual void LoseAudioDevice() = 0;                   // the open device goes away
    // Plays `frames` frames now, whatever the clock says, and returns what they were.
    // (AudioRecording, among the controls, catches up with the clock first.)
    virtual std::vector<int16_t> PlayAudio(int frames) = 0;
    virtual void ClearAudioRecording() = 0;
};

// Selects the headless host, resets it and returns it.
HeadlessHost& UseHeadlessHost();

} // namespace tarn::platform
