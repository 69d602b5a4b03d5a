// The stand-in's software mixer: every playing voice is resampled to the device's rate (linear
// interpolation between neighbouring frames), scaled by its left and right gains, summed in 32
// bits and saturated to 16-bit stereo once at the end. The gains follow DirectSound's laws: a
// volume in hundredths of a decibel (0 as recorded, DSBVOLUME_MIN silent) and a pan that
// attenuates the other side by the same measure.
#pragma once

#include <cstdint>

namespace tarn::platform {

// One sound as the mixer plays it; the caller keeps the data alive while it plays.
struct Voice {
    const uint8_t* data = nullptr; // 8-bit unsigned or 16-bit signed PCM, interleaved
    uint32_t frames = 0;
    int channels = 2;                            // 1 or 2
    int bits = 16;                               // 8 or 16
    uint64_t position = 0;                       // in frames, 32.32 fixed point
    uint64_t step = uint64_t(1) << 32;           // source frames per output frame, 32.32
    int32_t gainLeft = 65536, gainRight = 65536; // 16.16
    bool looping = false;
    bool playing = false; // cleared when a voice that does not loop runs out
};

// Gain in 16.16 for a level in hundredths of a decibel (<= DSBVOLUME_MIN: silent).
int32_t GainForLevel(long hundredthsOfDecibel);
// Left and right gains for a DirectSound volume and pan.
void GainsFor(long volume, long pan, int32_t* left, int32_t* right);
// Source frames per output frame for a voice at `frequency` on a device at `rate`.
uint64_t StepFor(uint32_t frequency, uint32_t rate);

// Mixes `count` voices into `out` (frames x 2 samples), replacing what was there; voices that
// end stop, and every voice's position moves on.
void MixVoices(Voice* const* voices, int count, int16_t* out, int frames);

} // namespace tarn::platform
