// Benchmarks of sound. Mixing: one second of 44.1 kHz output from 32 voices of 16-bit stereo
// at the device's rate, each with its own volume and pan, through the stand-in's mixer (what
// DirectSound's buffers are played by), beside SDL_MixAudioFormat adding the same 32 voices
// into one buffer at their volumes (SDL has no pan; the check mixes ours with the pans centred
// and finds the same sum). The voices are a second long and loop, so each run mixes them whole.
//
// Decoding: an Ogg Vorbis file in memory to 16-bit PCM through the library's decoder
// (TarnAudioDecoder::Open and DecodeAll, as TarnSound::Load does), beside stb_vorbis, the same
// decoder, called directly (stb_vorbis_decode_memory). The file is the sound example's tune,
// made by tools/mksounds (8 seconds of stereo at 44.1 kHz). In both rows the size names the
// work: voices x frames, seconds x rate.
#include "BenchSupport.h"

#include "dsound/Mixer.h"
#include "sound/TarnAudioDecoder.h"

#define STB_VORBIS_HEADER_ONLY
#define STB_VORBIS_NO_STDIO
#include <stb_vorbis.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace bench {
namespace {

using tarn::platform::MixVoices;
using tarn::platform::Voice;

constexpr int kRate = 44100;
constexpr int kVoices = 32;

class MixCase : public PairCase {
public:
    MixCase() {
        // Each voice a different chord of sines, quiet enough that 32 of them never clip (SDL
        // saturates after every voice, ours once at the end: without clipping both are exact).
        samples.resize(kVoices);
        for (int k = 0; k < kVoices; ++k) {
            samples[k].resize(size_t(kRate) * 2);
            for (int i = 0; i < kRate; ++i) {
                const int a = (i * (k + 3)) % 400 - 200, b = (i * (k + 7)) % 250 - 125;
                samples[k][size_t(i) * 2] = int16_t(a * 4 + b);
                samples[k][size_t(i) * 2 + 1] = int16_t(b * 6 - a);
            }
            volumes[k] = 40 + (k * 37) % 88; // SDL's 0 .. 128
        }
        out.resize(size_t(kRate) * 2);
    }

    std::string Prepare() override {
        // Centred: both sides at the voice's volume, SDL's v / 128 as 16.16.
        SetGains(false);
        Ours();
        std::vector<int16_t> ours = out;
        Peer();
        for (size_t i = 0; i < out.size(); ++i)
            if (std::abs(ours[i] - out[i]) > kVoices)
                return "sample " + std::to_string(i) + ": ours " + std::to_string(ours[i]) +
                       ", SDL " + std::to_string(out[i]);
        SetGains(true); // what is timed pans every voice
        return "";
    }

    void Ours() override {
        Voice* list[kVoices];
        for (int k = 0; k < kVoices; ++k) {
            voices[k].position = 0;
            voices[k].playing = true;
            list[k] = &voices[k];
        }
        MixVoices(list, kVoices, out.data(), kRate);
        benchmark::DoNotOptimize(out.data());
    }

    void Peer() override {
        const Uint32 bytes = Uint32(out.size() * sizeof(int16_t));
        std::memset(out.data(), 0, bytes);
        for (int k = 0; k < kVoices; ++k)
            SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()),
                               reinterpret_cast<const Uint8*>(samples[k].data()), AUDIO_S16LSB,
                               bytes, volumes[k]);
        benchmark::DoNotOptimize(out.data());
    }

private:
    // The voices at their volumes; panned: each one somewhere else between left and right.
    void SetGains(bool panned) {
        for (int k = 0; k < kVoices; ++k) {
            Voice& v = voices[k];
            v.data = reinterpret_cast<const uint8_t*>(samples[k].data());
            v.frames = kRate;
            v.channels = 2;
            v.bits = 16;
            v.looping = true;
            const int32_t gain = volumes[k] * 512;                   // v / 128 in 16.16
            const int32_t pan = panned ? (k * 2731) % 65536 : 65536; // the other side's share
            v.gainLeft = k % 2 ? gain : int32_t(int64_t(gain) * pan >> 16);
            v.gainRight = k % 2 ? int32_t(int64_t(gain) * pan >> 16) : gain;
        }
    }

    std::vector<std::vector<int16_t>> samples;
    int volumes[kVoices] = {};
    Voice voices[kVoices];
    std::vector<int16_t> out;
};

class DecodeOggCase : public PairCase {
public:
    std::string Prepare() override {
        std::ifstream in(TARN_BENCH_SOUNDS_DIR "/tune.ogg", std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (file.empty()) return "no " TARN_BENCH_SOUNDS_DIR "/tune.ogg (target tarn_sounds)";
        Ours();
        std::vector<int16_t> ours = decoded;
        Peer();
        if (ours.size() != size_t(peerFrames) * 2) return "the lengths differ";
        if (std::memcmp(ours.data(), peerSamples, ours.size() * 2) != 0)
            return "the samples differ";
        return "";
    }

    void Ours() override {
        std::unique_ptr<TarnAudioDecoder> decoder(TarnAudioDecoder::Open(file));
        if (!decoder || !TarnAudioDecoder::DecodeAll(decoder.get(), &decoded)) decoded.clear();
        benchmark::DoNotOptimize(decoded.data());
    }

    void Peer() override {
        std::free(peerSamples);
        peerSamples = nullptr;
        int channels = 0, rate = 0;
        peerFrames =
            stb_vorbis_decode_memory(file.data(), int(file.size()), &channels, &rate, &peerSamples);
        benchmark::DoNotOptimize(peerSamples);
    }

    ~DecodeOggCase() override { std::free(peerSamples); }

private:
    std::vector<uint8_t> file;
    std::vector<int16_t> decoded;
    short* peerSamples = nullptr;
    int peerFrames = 0;
};

const bool kRegistered = [] {
    RegisterPair("Mix32Voices", "mixing 1 s: 32 voices 16-bit stereo, volume and pan",
                 "SDL_MixAudioFormat", 1.0, [](Size) { return std::make_unique<MixCase>(); },
                 {{kVoices, kRate}});
    RegisterPair("DecodeOgg", "Ogg Vorbis file -> 16-bit PCM (TarnAudioDecoder)",
                 "stb_vorbis_decode_memory", 1.05,
                 [](Size) { return std::make_unique<DecodeOggCase>(); }, {{8, kRate}});
    return true;
}();

} // namespace
} // namespace bench
