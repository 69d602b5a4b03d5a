// The stand-in's software mixer: see Mixer.h. Mixing runs in pieces of at most kPiece frames over
// a fixed 32-bit accumulator, so nothing is allocated while sound plays.
#include "dsound/Mixer.h"

#include <algorithm>
#include <cmath>

namespace tarn::platform {
namespace {

constexpr int kPiece = 1024;

inline int32_t Sample(const uint8_t* data, uint32_t index, int bits) {
    if (bits == 8) return (int32_t(data[index]) - 128) * 256;
    const uint8_t* p = data + index * 2;
    return int16_t(uint16_t(p[0] | (p[1] << 8)));
}

// The voice's left and right samples at source frame `frame`.
inline void Frame(const Voice& v, uint32_t frame, int32_t* left, int32_t* right) {
    if (v.channels == 2) {
        *left = Sample(v.data, frame * 2, v.bits);
        *right = Sample(v.data, frame * 2 + 1, v.bits);
    } else {
        *left = *right = Sample(v.data, frame, v.bits);
    }
}

// The common case: 16-bit stereo at the device's own rate, a straight scaled sum.
void MixStraight(Voice& v, int32_t* acc, int frames) {
    const int gl = v.gainLeft, gr = v.gainRight;
    int done = 0;
    while (done < frames && v.playing) {
        uint32_t at = uint32_t(v.position >> 32);
        if (at >= v.frames) {
            if (!v.looping) {
                v.playing = false;
                break;
            }
            at = 0;
        }
        int run = int(std::min<uint64_t>(frames - done, v.frames - at));
        const int16_t* src = reinterpret_cast<const int16_t*>(v.data) + size_t(at) * 2;
        int32_t* dst = acc + done * 2;
        for (int i = 0; i < run; ++i) {
            dst[i * 2] += (src[i * 2] * gl) >> 16;
            dst[i * 2 + 1] += (src[i * 2 + 1] * gr) >> 16;
        }
        done += run;
        at += uint32_t(run);
        if (at >= v.frames) {
            if (v.looping)
                at = 0;
            else
                v.playing = false;
        }
        v.position = uint64_t(at) << 32;
    }
}

// Any format and rate: linear interpolation between a frame and the next one (the first frame
// again when the voice loops, the same frame at the end of one that does not).
void MixResampled(Voice& v, int32_t* acc, int frames) {
    const uint64_t end = uint64_t(v.frames) << 32;
    for (int i = 0; i < frames; ++i) {
        if (v.position >= end) {
            if (!v.looping) {
                v.playing = false;
                return;
            }
            v.position %= end;
        }
        uint32_t at = uint32_t(v.position >> 32);
        int32_t l0, r0;
        Frame(v, at, &l0, &r0);
        int32_t frac = int32_t((v.position >> 16) & 0xFFFF);
        if (frac) {
            uint32_t next = at + 1 < v.frames ? at + 1 : (v.looping ? 0 : at);
            int32_t l1, r1;
            Frame(v, next, &l1, &r1);
            // Neighbours may be up to 65535 apart: the product needs more than 32 bits.
            l0 += int32_t((int64_t(l1 - l0) * frac) >> 16);
            r0 += int32_t((int64_t(r1 - r0) * frac) >> 16);
        }
        acc[i * 2] += (l0 * v.gainLeft) >> 16;
        acc[i * 2 + 1] += (r0 * v.gainRight) >> 16;
        v.position += v.step;
    }
    if (!v.looping && v.position >= end) v.playing = false;
}

} // namespace

int32_t GainForLevel(long level) {
    if (level <= -10000) return 0;
    if (level >= 0) return 65536;
    return int32_t(std::lround(65536.0 * std::pow(10.0, double(level) / 2000.0)));
}

void GainsFor(long volume, long pan, int32_t* left, int32_t* right) {
    *left = GainForLevel(volume - (pan > 0 ? pan : 0));
    *right = GainForLevel(volume + (pan < 0 ? pan : 0));
}

uint64_t StepFor(uint32_t frequency, uint32_t rate) {
    return rate ? (uint64_t(frequency) << 32) / rate : 0;
}

void MixVoices(Voice* const* voices, int count, int16_t* out, int frames) {
    int32_t acc[kPiece * 2];
    while (frames > 0) {
        int n = std::min(frames, kPiece);
        std::fill(acc, acc + n * 2, 0);
        for (int k = 0; k < count; ++k) {
            Voice& v = *voices[k];
            if (!v.playing || !v.data || v.frames == 0) continue;
            if (v.bits == 16 && v.channels == 2 && v.step == (uint64_t(1) << 32) &&
                (v.position & 0xFFFFFFFFu) == 0)
                MixStraight(v, acc, n);
            else
                MixResampled(v, acc, n);
        }
        for (int i = 0; i < n * 2; ++i) out[i] = int16_t(std::clamp(acc[i], -32768, 32767));
        out += n * 2;
        frames -= n;
    }
}

} // namespace tarn::platform
