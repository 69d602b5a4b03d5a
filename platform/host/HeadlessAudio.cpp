// The headless host's sound card: see HeadlessAudio.h.
#include "host/HeadlessAudio.h"

namespace tarn::platform {

HeadlessAudio& HeadlessAudioDevice() {
    static HeadlessAudio device;
    return device;
}

void HeadlessAudio::Reset() {
    devicePresent = true;
    lost = false;
    pull = nullptr;
    context = nullptr;
    owedThousandths = 0;
    recording.clear();
    recording.shrink_to_fit();
}

bool HeadlessAudio::Open(int wantedRate, AudioPull source, void* sourceContext, uint32_t now) {
    if (!devicePresent || !source || wantedRate <= 0) return false;
    rate = wantedRate;
    pull = source;
    context = sourceContext;
    lost = false;
    lastClock = now;
    owedThousandths = 0;
    return true;
}

void HeadlessAudio::Close() {
    pull = nullptr;
    context = nullptr;
    lost = false;
}

// Plays in pieces no longer than a real device's period, so the mixer sees the same calls it
// would on a sound card.
void HeadlessAudio::Play(int frames) {
    if (!pull || lost || frames <= 0) return;
    constexpr int kPeriod = 1024;
    int16_t piece[kPeriod * 2];
    while (frames > 0) {
        int n = frames < kPeriod ? frames : kPeriod;
        pull(context, piece, n);
        recording.insert(recording.end(), piece, piece + n * 2);
        frames -= n;
    }
}

void HeadlessAudio::CatchUp(uint32_t now) {
    uint32_t elapsed = now - lastClock; // the clock wraps at 2^32
    lastClock = now;
    if (!pull || lost) return;
    owedThousandths += (uint64_t)elapsed * (uint64_t)rate;
    uint64_t frames = owedThousandths / 1000;
    owedThousandths %= 1000;
    while (frames > 0) {
        int n = frames > (1u << 20) ? (1 << 20) : (int)frames;
        Play(n);
        frames -= (uint64_t)n;
    }
}

const std::vector<int16_t>& HeadlessAudio::Recording() {
    CurrentHost().CatchUpAudio();
    return recording;
}

} // namespace tarn::platform
