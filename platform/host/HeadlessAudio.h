// The headless host's sound card: it plays (mixes) exactly as much as the test's clock has moved
// on, at 44.1 kHz, and keeps everything it played in memory so that tests can compare samples.
// Faults a test can bring about: no device at all, the device going away while it plays, and a
// late Update is simply the clock moving on while the program does nothing. Moving the clock
// (AdvanceTime, a presented frame) plays; setting it (SetTime) jumps without playing.
#pragma once

#include "host/Host.h"

#include <cstdint>
#include <vector>

namespace tarn::platform {

class HeadlessAudio {
public:
    // Back to a machine with a device, nothing recorded, nothing open.
    void Reset();
    // A machine without a sound device: OpenAudio fails.
    void SetDevicePresent(bool present) { devicePresent = present; }
    // The open device goes away: it stops playing and AudioLost() reports it until it is
    // closed; a later open finds the device again only if it is present.
    void LoseDevice() { lost = true; }
    // Plays `frames` frames now, whatever the clock says.
    void Play(int frames);
    // Everything played so far (interleaved left, right), after catching up with the clock.
    const std::vector<int16_t>& Recording();
    void ClearRecording() { recording.clear(); }
    int Rate() const { return rate; }
    bool IsOpen() const { return pull != nullptr; }

    // The host's side.
    bool Open(int rate, AudioPull pull, void* context, uint32_t now);
    void Close();
    bool Lost() const { return lost; }
    void CatchUp(uint32_t now);
    // The clock was set rather than moved on: nothing is owed for the jump.
    void Resync(uint32_t now) { lastClock = now; }

private:
    bool devicePresent = true;
    bool lost = false;
    int rate = 44100;
    AudioPull pull = nullptr;
    void* context = nullptr;
    uint32_t lastClock = 0;
    uint64_t owedThousandths = 0; // frames x 1000 the clock moved past but not yet played
    std::vector<int16_t> recording;
};

// The one headless sound device.
HeadlessAudio& HeadlessAudioDevice();

} // namespace tarn::platform
