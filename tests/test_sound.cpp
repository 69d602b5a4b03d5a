// The sound library on the headless host: the WAV reader's formats and refusals, the volume and
// pan laws, effects mixed with exact samples, loops without a gap, voices taken over, music
// streamed across the ring, through a late Update and a loss of the foreground, a machine
// without a sound device or whose device goes away, the codes of every refusal, and sound
// objects moved rather than copied.
#include "support/AllocationCounter.h"
#include "support/ByteWriter.h"
#include "support/HeadlessTest.h"

#include "dsound/Mixer.h"
#include "sound/TarnAudioDecoder.h"
#include "sound/TarnMusic.h"
#include "sound/TarnSound.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using samples::Bytes;
using samples::Put16;
using samples::Put32;
void PutId(Bytes& b, const char* id) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(id[i]));
}

// A RIFF WAVE file of the given format chunk body and data.
Bytes Wave(const Bytes& fmt, const Bytes& data) {
    Bytes b;
    PutId(b, "RIFF");
    Put32(b, uint32_t(4 + 8 + fmt.size() + 8 + data.size()));
    PutId(b, "WAVE");
    PutId(b, "fmt ");
    Put32(b, uint32_t(fmt.size()));
    b.insert(b.end(), fmt.begin(), fmt.end());
    PutId(b, "data");
    Put32(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes Fmt(uint16_t tag, int channels, uint32_t rate, int bits, uint32_t blockAlign) {
    Bytes f;
    Put16(f, tag);
    Put16(f, uint32_t(channels));
    Put32(f, rate);
    Put32(f, rate * blockAlign);
    Put16(f, blockAlign);
    Put16(f, uint32_t(bits));
    return f;
}

// The same, as WAVE_FORMAT_EXTENSIBLE around sub-format `tag`.
Bytes FmtExtensible(uint16_t tag, int channels, uint32_t rate, int bits) {
    Bytes f = Fmt(0xFFFE, channels, rate, bits, uint32_t(channels * bits / 8));
    Put16(f, 22);
    Put16(f, uint32_t(bits));
    Put32(f, channels == 2 ? 3 : 4);
    Put16(f, tag);
    const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    f.insert(f.end(), tail, tail + 14);
    return f;
}

std::vector<int16_t> Decode(const Bytes& file, int* rate = nullptr, int* channels = nullptr,
                            int* format = nullptr) {
    const char* error = nullptr;
    std::unique_ptr<TarnAudioDecoder> d(TarnAudioDecoder::Open(file, &error));
    if (!d) return {};
    std::vector<int16_t> out;
    EXPECT_TRUE(TarnAudioDecoder::DecodeAll(d.get(), &out));
    if (rate) *rate = d->Rate();
    if (channels) *channels = d->Channels();
    if (format) *format = d->Format();
    return out;
}

// IMA ADPCM, encoded the way every encoder does it, keeping the decoder's own reconstruction.
struct ImaEncoder {
    int predictor = 0, index = 0;
    static constexpr int steps[89] = {
        7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
        25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
        88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
        307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
        1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
        3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
        12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
    int Encode(int sample, int16_t* reconstructed) {
        static const int adjust[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
        int step = steps[index], diff = sample - predictor, code = 0;
        if (diff < 0) {
            code = 8;
            diff = -diff;
        }
        int delta = step >> 3;
        if (diff >= step) {
            code |= 4;
            diff -= step;
            delta += step;
        }
        if (diff >= step >> 1) {
            code |= 2;
            diff -= step >> 1;
            delta += step >> 1;
        }
        if (diff >= step >> 2) {
            code |= 1;
            delta += step >> 2;
        }
        predictor += (code & 8) ? -delta : delta;
        predictor = std::max(-32768, std::min(32767, predictor));
        index = std::max(0, std::min(88, index + adjust[code & 7]));
        *reconstructed = int16_t(predictor);
        return code;
    }
};

TEST(WaveReader, DecodesEveryEncodingToTheSame16BitSamples) {
    const int16_t stereo[6] = {0, -32768, 16384, 32767, -256, 256};
    struct Case {
        const char* what;
        Bytes file;
        int format;
    };
    Bytes u8, s16, s24, f32;
    for (int16_t s : stereo) {
        u8.push_back(uint8_t((s >> 8) + 128));
        Put16(s16, uint16_t(s));
        s24.push_back(0x7F);
        Put16(s24, uint16_t(s));
        float f = s / 32767.0f;
        uint32_t u;
        std::memcpy(&u, &f, 4);
        Put32(f32, u);
    }
    const Case cases[] = {
        {"8-bit", Wave(Fmt(1, 2, 11025, 8, 2), u8), SOUND_FORMAT_PCM8},
        {"16-bit", Wave(Fmt(1, 2, 11025, 16, 4), s16), SOUND_FORMAT_PCM16},
        {"24-bit", Wave(Fmt(1, 2, 11025, 24, 6), s24), SOUND_FORMAT_PCM24},
        {"float", Wave(Fmt(3, 2, 11025, 32, 8), f32), SOUND_FORMAT_FLOAT32},
        {"extensible 16-bit", Wave(FmtExtensible(1, 2, 11025, 16), s16), SOUND_FORMAT_PCM16},
        {"extensible float", Wave(FmtExtensible(3, 2, 11025, 32), f32), SOUND_FORMAT_FLOAT32},
    };
    for (const Case& c : cases) {
        int rate = 0, channels = 0, format = 0;
        std::vector<int16_t> got = Decode(c.file, &rate, &channels, &format);
        ASSERT_EQ(got.size(), 6u) << c.what;
        EXPECT_EQ(rate, 11025) << c.what;
        EXPECT_EQ(channels, 2) << c.what;
        EXPECT_EQ(format, c.format) << c.what;
        for (int i = 0; i < 6; ++i) {
            int expected = c.format == SOUND_FORMAT_PCM8 ? (stereo[i] >> 8) * 256 : stereo[i];
            if (c.format == SOUND_FORMAT_FLOAT32 && stereo[i] == -32768) expected = -32767;
            EXPECT_EQ(got[i], expected) << c.what << " sample " << i;
        }
    }
}

TEST(WaveReader, DecodesImaAdpcmBlocksIncludingAShortLastOne) {
    for (int channels : {1, 2}) {
        const uint32_t blockAlign = 256u * channels;
        const uint32_t perBlock = (blockAlign - 4u * channels) * 2 / channels + 1; // 505
        const uint32_t frames = perBlock + 1 + 16; // a short second block
        std::vector<int16_t> expected(size_t(frames) * channels);
        Bytes data;
        ImaEncoder enc[2];
        for (uint32_t start = 0; start < frames; start += perBlock) {
            uint32_t n = std::min(perBlock, frames - start);
            for (int c = 0; c < channels; ++c) {
                int s = int(8000 * std::sin((start + c * 7) * 0.05));
                enc[c].predictor = s;
                expected[size_t(start) * channels + c] = int16_t(s);
                Put16(data, uint16_t(int16_t(s)));
                data.push_back(uint8_t(enc[c].index));
                data.push_back(0);
            }
            for (uint32_t group = 0; group * 8 + 1 < n; ++group)
                for (int c = 0; c < channels; ++c)
                    for (int pair = 0; pair < 4; ++pair) {
                        int codes[2];
                        for (int k = 0; k < 2; ++k) {
                            uint32_t f = start + 1 + group * 8 + pair * 2 + k;
                            int s = int(8000 * std::sin((f + c * 7) * 0.05));
                            int16_t r;
                            codes[k] = enc[c].Encode(s, &r);
                            if (f < frames) expected[size_t(f) * channels + c] = r;
                        }
                        data.push_back(uint8_t(codes[0] | (codes[1] << 4)));
                    }
        }
        Bytes fmt = Fmt(0x11, channels, 22050, 4, blockAlign);
        Put16(fmt, 2);
        Put16(fmt, perBlock);
        int format = 0;
        std::vector<int16_t> got = Decode(Wave(fmt, data), nullptr, nullptr, &format);
        EXPECT_EQ(format, SOUND_FORMAT_IMA_ADPCM);
        ASSERT_EQ(got.size(), expected.size()) << channels;
        EXPECT_EQ(got, expected) << channels << " channels";
    }
}

TEST(WaveReader, RefusesWhatItCannotReadAndKeepsWholeFramesOfACutFile) {
    Bytes s16(40, 0x11);
    struct Case {
        const char* what;
        Bytes file;
    };
    Bytes dataFirst;
    PutId(dataFirst, "RIFF");
    Put32(dataFirst, 20);
    PutId(dataFirst, "WAVE");
    PutId(dataFirst, "data");
    Put32(dataFirst, 4);
    Put32(dataFirst, 0);
    const Case cases[] = {
        {"rate too low", Wave(Fmt(1, 1, 7999, 16, 2), s16)},
        {"rate too high", Wave(Fmt(1, 1, 96001, 16, 2), s16)},
        {"three channels", Wave(Fmt(1, 3, 22050, 16, 6), s16)},
        {"12 bits", Wave(Fmt(1, 1, 22050, 12, 2), s16)},
        {"wrong block align", Wave(Fmt(1, 2, 22050, 16, 2), s16)},
        {"unknown encoding (mu-law)", Wave(Fmt(7, 1, 8000, 8, 1), s16)},
        {"short format chunk", Wave(Bytes(10, 1), s16)},
        {"no data", Wave(Fmt(1, 1, 22050, 16, 2), Bytes())},
        {"data before format", dataFirst},
        {"extensible of an unknown kind", Wave(FmtExtensible(0x55, 1, 22050, 16), s16)},
        {"not RIFF at all", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}},
        {"empty", Bytes()},
    };
    for (const Case& c : cases) {
        const char* error = nullptr;
        std::unique_ptr<TarnAudioDecoder> d(TarnAudioDecoder::Open(c.file, &error));
        EXPECT_EQ(d, nullptr) << c.what;
        EXPECT_NE(error, nullptr) << c.what;
    }
    Bytes cut = Wave(Fmt(1, 2, 22050, 16, 4), Bytes(41, 0x22));
    cut.resize(cut.size() - 10); // the data chunk says 41 bytes; 31 are there: 7 whole frames
    EXPECT_EQ(Decode(cut).size(), 14u);
}

TEST(SoundLaws, VolumeAndPanInHundredthsOfADecibel) {
    struct Case {
        int value;
        LONG volume, pan;
    };
    const Case cases[] = {
        {256, 0, -10000}, {128, -602, -602}, {64, -1204, -1204}, {1, -4816, -4816}, {0, -10000, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(TarnVolumeToDecibels(c.value), c.volume) << c.value;
    // Pan: the other side attenuated by the same law; 256 - |pan| is what is left of it.
    EXPECT_EQ(TarnPanToDecibels(0), 0);
    EXPECT_EQ(TarnPanToDecibels(128), 602);
    EXPECT_EQ(TarnPanToDecibels(-128), -602);
    EXPECT_EQ(TarnPanToDecibels(256), 10000);
    EXPECT_EQ(TarnPanToDecibels(-256), -10000);
}

// The library over the headless device, with test sounds written to the test's own folder.
class SoundTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        window = reinterpret_cast<HWND>(uintptr_t(0x5678));
    }
    void TearDown() override {
        for (const std::string& f : files) std::remove(f.c_str());
        HeadlessTest::TearDown();
    }
    std::string WriteWav(const char* name, const std::vector<int16_t>& samples, int channels,
                         int rate = 44100) {
        std::string path = std::string("sound_") + name + ".wav";
        EXPECT_EQ(TarnSaveWave(path.c_str(), samples.data(), uint32_t(samples.size() / channels),
                               channels, rate),
                  S_OK);
        files.push_back(path);
        return path;
    }
    std::vector<int16_t> Hear(int frames) { return host->PlayAudio(frames); }
    static int Scaled(int sample, LONG level) {
        return (sample * tarn::platform::GainForLevel(level)) >> 16;
    }

    HWND window = nullptr;
    std::vector<std::string> files;
};

TEST_F(SoundTest, TwoEffectsMixWithVolumeAndPan) {
    TarnAudio audio;
    ASSERT_EQ(audio.Create(window), 0);
    TarnSound a, b;
    ASSERT_EQ(a.Load(&audio, WriteWav("a", {1000, 1000, 2000, 2000, -3000, -3000}, 2).c_str()), 0);
    ASSERT_EQ(b.Load(&audio, WriteWav("b", {4000, 8000, 12000}, 1).c_str()), 0);
    ASSERT_GE(a.Play(128), 0);
    ASSERT_GE(b.Play(256, -64), 0); // right side at 192/256
    std::vector<int16_t> heard = Hear(4);
    const int as[3] = {1000, 2000, -3000}, bs[3] = {4000, 8000, 12000};
    LONG half = TarnVolumeToDecibels(128), right = TarnVolumeToDecibels(192);
    ASSERT_EQ(heard.size(), 8u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(heard[i * 2], Scaled(as[i], half) + bs[i]) << i;
        EXPECT_EQ(heard[i * 2 + 1], Scaled(as[i], half) + Scaled(bs[i], right)) << i;
    }
    EXPECT_EQ(heard[6], 0);
    EXPECT_FALSE(a.IsPlaying());
    a.Release();
    b.Release();
    audio.Release();
    EXPECT_EQ(tarn::platform::LiveObjects("sound"), 0);
}

TEST_F(SoundTest, LoopWrapsWithoutGapAndVoicesAreTakenOverOldestFirst) {
    TarnAudio audio;
    ASSERT_EQ(audio.Create(window), 0);
    TarnSound s;
    ASSERT_EQ(s.Load(&audio, WriteWav("loop", {100, 200, 300, 400, 500}, 1).c_str()), 0);
    int first = s.Play(256, 0, TARN_SOUND_LOOP);
    ASSERT_GE(first, 0);
    std::vector<int16_t> heard = Hear(23);
    for (int i = 0; i < 23; ++i) ASSERT_EQ(heard[i * 2], 100 * (1 + i % 5)) << i;
    // Seven more take the free voices; the ninth takes over the first.
    for (int i = 0; i < SOUND_VOICES - 1; ++i) ASSERT_GE(s.Play(0, 0, TARN_SOUND_LOOP), 0);
    int ninth = s.Play(0, 0, TARN_SOUND_LOOP);
    ASSERT_GE(ninth, 0);
    EXPECT_EQ(ninth % SOUND_VOICES, first % SOUND_VOICES);
    EXPECT_EQ(s.SetVoiceVolume(first, 10), SOUND_BAD_VOICE); // the old number reaches nothing
    EXPECT_EQ(s.SetVoicePan(ninth, 300), SOUND_BAD_ARGUMENT);
    EXPECT_EQ(s.SetVoiceFrequency(ninth, 22050), 0);
    EXPECT_EQ(Hear(3), std::vector<int16_t>(6, 0)); // everything at volume 0
    s.Stop();
    EXPECT_FALSE(s.IsPlaying());
}

// A mono ramp that is never 0, so silence and music can be told apart.
std::vector<int16_t> Ramp(int frames) {
    std::vector<int16_t> r(frames);
    for (int i = 0; i < frames; ++i) r[i] = int16_t(1 + i % 20000);
    return r;
}

TEST_F(SoundTest, MusicStreamsAcrossTheRingAndLoopsWithoutAGap) {
    TarnAudio audio;
    ASSERT_EQ(audio.Create(window), 0);
    std::vector<int16_t> music = Ramp(30000);
    TarnMusic m;
    ASSERT_EQ(m.Open(&audio, WriteWav("music", music, 1).c_str()), 0);
    ASSERT_EQ(m.Play(TARN_SOUND_LOOP), 0);
    std::vector<int16_t> heard;
    for (int frame = 0; frame < 300; ++frame) { // 300 frames of 16 ms: past the 2 s ring
        audio.Update();
        std::vector<int16_t> piece = Hear(705);
        heard.insert(heard.end(), piece.begin(), piece.end());
    }
    for (size_t i = 0; i < heard.size() / 2; ++i)
        ASSERT_EQ(heard[i * 2], music[i % music.size()]) << "frame " << i;
    EXPECT_EQ(m.Position(), DWORD((300 * 705) % 30000 * 1000 / 44100));
}

// A late Update: the queued quarter second plays out, then silence (never old music), then the
// music carries on where it stopped, and Position counts only what was heard.
TEST_F(SoundTest, MusicStarvedByALateUpdateFallsSilentAndCarriesOn) {
    TarnAudio audio;
    ASSERT_EQ(audio.Create(window), 0);
    std::vector<int16_t> music = Ramp(44100 * 3);
    TarnMusic m;
    ASSERT_EQ(m.Open(&audio, WriteWav("starved", music, 1).c_str()), 0);
    ASSERT_EQ(m.Play(), 0);
    audio.Update();
    std::vector<int16_t> heard = Hear(705);
    audio.Update(); // queued up to 705 + 11025
    std::vector<int16_t> stall = Hear(44100);
    heard.insert(heard.end(), stall.begin(), stall.end());
    const size_t queued = 705 + 11025;
    for (size_t i = 0; i < queued; ++i) ASSERT_EQ(heard[i * 2], music[i]) << i;
    for (size_t i = queued; i < heard.size() / 2; ++i) ASSERT_EQ(heard[i * 2], 0) << i;
    EXPECT_EQ(m.Position(), DWORD(queued * 1000 / 44100));
    audio.Update();
    std::vector<int16_t> after = Hear(2000);
    size_t gap = 0;
    while (gap < after.size() / 2 && after[gap * 2] == 0) ++gap;
    EXPECT_EQ(gap, 441u); // the write cursor's lead
    for (size_t i = gap; i < after.size() / 2; ++i)
        ASSERT_EQ(after[i * 2], music[queued + i - gap]) << i;
}

TEST_F(SoundTest, EffectsAndMusicComeBackAfterTheForegroundWasLost) {
    TarnAudio audio;
    ASSERT_EQ(audio.Create(window), 0);
    TarnSound s;
    ASSERT_EQ(s.Load(&audio, WriteWav("focus", {1234, 1234, 2345, 2345}, 2).c_str()), 0);
    std::vector<int16_t> music = Ramp(44100);
    TarnMusic m;
    ASSERT_EQ(m.Open(&audio, WriteWav("focusmusic", music, 1).c_str()), 0);
    ASSERT_EQ(m.Play(TARN_SOUND_LOOP), 0);
    audio.Update();
    Hear(1000);
    MSG msg;
    host->SetFocus(false);
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    audio.Update();
    EXPECT_EQ(Hear(500), std::vector<int16_t>(1000, 0)); // away: nothing heard
    EXPECT_LT(s.Play(), 0);                              // cannot play while away
    host->SetFocus(true);
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    audio.Update();
    m.SetVolume(0);
    ASSERT_GE(s.Play(), 0);
    std::vector<int16_t> heard = Hear(2);
    EXPECT_EQ(heard, (std::vector<int16_t>{1234, 1234, 2345, 2345})); // refilled, not junk
    m.SetVolume(256);
    std::vector<int16_t> again = Hear(2000);
    size_t at = 0;
    while (at < again.size() / 2 && again[at * 2] == 0) ++at;
    ASSERT_LT(at, again.size() / 2); // the music plays again
    int16_t first = again[at * 2];
    for (size_t i = at; i < again.size() / 2; ++i)
        ASSERT_EQ(again[i * 2], music[(size_t(first - 1) + i - at) % music.size()]) << i;
}

TEST_F(SoundTest, WithoutADeviceEverythingSaysSoAndNothingBreaks) {
    host->SetAudioDevicePresent(false);
    TarnAudio audio;
    EXPECT_EQ(audio.Create(window), SOUND_NO_DEVICE);
    EXPECT_NE(host->DebugText().find("no sound device"), std::string::npos);
    TarnSound s;
    TarnMusic m;
    std::string file = WriteWav("silent", {1, 2}, 1);
    EXPECT_EQ(s.Load(&audio, file.c_str()), SOUND_NO_DEVICE);
    EXPECT_EQ(m.Open(&audio, file.c_str()), SOUND_NO_DEVICE);
    EXPECT_LT(s.Play(), 0);
    EXPECT_LT(m.Play(), 0);
    EXPECT_EQ(m.Position(), 0u);
    EXPECT_EQ(s.SetVoiceVolume(0, 5), SOUND_NOT_LOADED);
    audio.Update();
    audio.SetMasterVolume(100);
    EXPECT_FALSE(s.IsPlaying());
}

TEST_F(SoundTest, DeviceLostWhilePlayingLeavesTheGameSilent) {
    TarnAudio audio;
    ASSERT_EQ(audio.Create(window), 0);
    TarnSound s;
    ASSERT_EQ(s.Load(&audio, WriteWav("lost", {5, 5, 6, 6}, 2).c_str()), 0);
    ASSERT_GE(s.Play(256, 0, TARN_SOUND_LOOP), 0);
    std::vector<int16_t> music = Ramp(44100 * 3);
    TarnMusic m;
    ASSERT_EQ(m.Open(&audio, WriteWav("lostmusic", music, 1).c_str()), 0);
    ASSERT_EQ(m.Play(TARN_SOUND_LOOP), 0);
    audio.Update();
    Hear(1000);
    host->LoseAudioDevice();
    audio.Update();
    // Gone for good, unlike a program in the background: the music ends and every call says
    // there is no device.
    EXPECT_TRUE(audio.IsLost());
    EXPECT_FALSE(m.IsPlaying());
    EXPECT_NE(host->DebugText().find("the sound device is gone"), std::string::npos);
    EXPECT_EQ(s.Play(), SOUND_NO_DEVICE);
    EXPECT_FALSE(s.IsPlaying());
    EXPECT_EQ(m.Play(), SOUND_NO_DEVICE);
    EXPECT_EQ(m.Pause(), SOUND_NO_DEVICE);
    EXPECT_EQ(m.Resume(), SOUND_NO_DEVICE);
    TarnSound later;
    EXPECT_EQ(later.Load(&audio, WriteWav("later", {1, 1}, 2).c_str()), SOUND_NO_DEVICE);
    audio.Update();
    EXPECT_FALSE(m.IsPlaying());
    audio.Release();
    EXPECT_FALSE(audio.IsLost());
    EXPECT_EQ(tarn::platform::LiveObjects("sound"), 0);
}

// A sound's voice numbers reach only voices that play: not voice 0 before any Play, not a voice
// that ended or was stopped.
TEST_F(SoundTest, VoiceNumbersOfVoicesThatDoNotPlayAreRefused) {
    TarnAudio audio;
    ASSERT_EQ(audio.Create(window), 0);
    TarnSound s;
    ASSERT_EQ(s.Load(&audio, WriteWav("voices", {10, 10, 20, 20}, 2).c_str()), 0);
    struct Call {
        const char* what;
        int (*call)(TarnSound&, int);
    };
    const Call calls[] = {
        {"SetVoiceVolume", [](TarnSound& x, int v) { return x.SetVoiceVolume(v, 100); }},
        {"SetVoicePan", [](TarnSound& x, int v) { return x.SetVoicePan(v, 10); }},
        {"SetVoiceFrequency", [](TarnSound& x, int v) { return x.SetVoiceFrequency(v, 22050); }},
        {"StopVoice", [](TarnSound& x, int v) { return x.StopVoice(v); }},
    };
    for (const Call& c : calls) {
        EXPECT_EQ(c.call(s, 0), SOUND_BAD_VOICE) << c.what << " before any Play";
        int ended = s.Play();
        ASSERT_GE(ended, 0);
        Hear(3);
        ASSERT_FALSE(s.IsPlaying());
        EXPECT_EQ(c.call(s, ended), SOUND_BAD_VOICE) << c.what << " on a voice that ended";
        int stopped = s.Play(256, 0, TARN_SOUND_LOOP);
        ASSERT_GE(stopped, 0);
        EXPECT_EQ(c.call(s, stopped), 0) << c.what << " on a voice that plays";
        s.Stop();
        EXPECT_EQ(c.call(s, stopped), SOUND_BAD_VOICE) << c.what << " on a voice stopped";
        s.Release();
        ASSERT_EQ(s.Load(&audio, WriteWav("voices", {10, 10, 20, 20}, 2).c_str()), 0);
    }
}

// Every refusal has its code, the same for effects and music, whatever the message says.
TEST_F(SoundTest, EffectsAndMusicRefuseWithTheSameCodes) {
    TarnAudio audio;
    ASSERT_EQ(audio.Create(window), 0);
    const std::string good = WriteWav("codes", {1, 2, 3, 4}, 1);
    // A sound whose file (12390 bytes) and decoded samples (12346) have sizes of their own, so
    // that only their allocations are made to fail.
    const std::string sized = WriteWav("codes_sized", std::vector<int16_t>(6173, 5), 1);
    FILE* f = std::fopen("sound_codes_bad.wav", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("RIFF\x10\0\0\0WAVEjunkjunk", f);
    std::fclose(f);
    files.push_back("sound_codes_bad.wav");
    struct Case {
        const char* what;
        std::string file;
        const char* fault; // a stand-in call made to fail, or null
        long faultCode;
        size_t failBytes; // allocations of this size fail, or 0
        int expected;
        int expectedMusic; // music decodes as it plays: Open does not decode the whole sound
    };
    const Case cases[] = {
        {"missing", "sound_codes_missing.wav", nullptr, 0, 0, SOUND_FILE_ERROR, SOUND_FILE_ERROR},
        {"cannot be read", good, "ReadFile", 0, 0, SOUND_FILE_ERROR, SOUND_FILE_ERROR},
        {"not a sound", "sound_codes_bad.wav", nullptr, 0, 0, SOUND_BAD_FORMAT, SOUND_BAD_FORMAT},
        {"no buffer", good, "IDirectSound::CreateSoundBuffer", DSERR_OUTOFMEMORY, 0,
         SOUND_NO_MEMORY, SOUND_NO_MEMORY},
        {"no memory for the file", sized, nullptr, 0, 12390, SOUND_NO_MEMORY, SOUND_NO_MEMORY},
        {"no memory for the sound", sized, nullptr, 0, 12346, SOUND_NO_MEMORY, 0},
    };
    for (const Case& c : cases) {
        TarnSound s;
        if (c.fault) tarn::platform::InjectFault(c.fault, 1, c.faultCode);
        FailAllocationsOf(c.failBytes);
        EXPECT_EQ(s.Load(&audio, c.file.c_str()), c.expected) << c.what << " (effect)";
        FailAllocationsOf(0);
        tarn::platform::ClearFaults();
        EXPECT_EQ(s.Play() < 0, c.expected != 0) << c.what;
        TarnMusic m;
        if (c.fault) tarn::platform::InjectFault(c.fault, 1, c.faultCode);
        FailAllocationsOf(c.failBytes);
        EXPECT_EQ(m.Open(&audio, c.file.c_str()), c.expectedMusic) << c.what << " (music)";
        FailAllocationsOf(0);
        tarn::platform::ClearFaults();
        EXPECT_EQ(m.Play() < 0, c.expectedMusic != 0) << c.what;
    }
    // The decoders give the code beside the message.
    const char* message = nullptr;
    int code = 0;
    EXPECT_EQ(TarnAudioDecoder::OpenFile("sound_codes_missing.wav", &message, &code), nullptr);
    EXPECT_EQ(code, SOUND_FILE_ERROR);
    EXPECT_STREQ(message, "cannot open the file");
    EXPECT_EQ(TarnAudioDecoder::Open(Bytes{'O', 'g', 'g', 'S', 0}, &message, &code), nullptr);
    EXPECT_EQ(code, SOUND_BAD_FORMAT);
    std::unique_ptr<TarnAudioDecoder> d(TarnAudioDecoder::OpenFile(good.c_str(), &message, &code));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(code, 0);
}

// The "no sound device" line is said once, however often the program asks for the device (a
// game asks again at every switch to or from full screen).
TEST_F(SoundTest, NoSoundDeviceIsSaidOnce) {
    host->SetAudioDevicePresent(false);
    TarnAudio audio;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(audio.Create(window), SOUND_NO_DEVICE);
    const std::string& said = host->DebugText();
    const size_t first = said.find("no sound device");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(said.find("no sound device", first + 1), std::string::npos);
}

// Sounds, music and the device move (a vector of sounds grows) and never copy: everything is
// released once, and what plays goes on playing from its new place.
TEST_F(SoundTest, SoundObjectsMoveWithTheirRegistration) {
    TarnAudio first;
    ASSERT_EQ(first.Create(window), 0);
    std::vector<TarnSound> effects;
    for (int i = 0; i < 5; ++i) {
        effects.emplace_back();
        int16_t v = int16_t(100 * (i + 1));
        ASSERT_EQ(effects.back().Load(
                      &first, WriteWav(("move" + std::to_string(i)).c_str(), {v, v}, 2).c_str()),
                  0);
    }
    std::vector<int16_t> music = Ramp(44100);
    TarnMusic m;
    ASSERT_EQ(m.Open(&first, WriteWav("movemusic", music, 1).c_str()), 0);
    ASSERT_EQ(m.Play(TARN_SOUND_LOOP), 0);
    TarnAudio audio(std::move(first));
    EXPECT_FALSE(first.IsReady());
    TarnMusic moved(std::move(m));
    EXPECT_FALSE(m.IsPlaying());
    EXPECT_EQ(m.Play(), SOUND_NOT_LOADED);
    EXPECT_TRUE(moved.IsPlaying());
    int voice = effects[2].Play(256, 0, TARN_SOUND_LOOP);
    ASSERT_GE(voice, 0);
    TarnSound third = std::move(effects[2]);
    EXPECT_EQ(effects[2].Play(), SOUND_NOT_LOADED);
    EXPECT_EQ(third.SetVoiceVolume(voice, 0), 0); // the voice number still reaches it
    EXPECT_EQ(third.SetVoiceVolume(voice, 256), 0);
    moved.SetVolume(0);
    // Streamed from its new place past the ring's queue, and the master volume reaches all.
    std::vector<int16_t> heard;
    for (int frame = 0; frame < 40; ++frame) {
        audio.Update();
        std::vector<int16_t> piece = Hear(705);
        heard.insert(heard.end(), piece.begin(), piece.end());
    }
    for (size_t i = 0; i < heard.size() / 2; ++i) ASSERT_EQ(heard[i * 2], 300) << i;
    EXPECT_EQ(moved.Position(), DWORD(40 * 705 * 1000 / 44100));
    audio.SetMasterVolume(0);
    EXPECT_EQ(Hear(1), (std::vector<int16_t>{0, 0}));
    effects.clear();
    third.Release();
    moved.Close();
    audio.Release();
    EXPECT_EQ(tarn::platform::LiveObjects("sound"), 0);
}

TEST_F(SoundTest, AFileItCannotReadIsRefusedWithAMessageAndNothingLoaded) {
    TarnAudio audio;
    ASSERT_EQ(audio.Create(window), 0);
    FILE* f = std::fopen("sound_bad.wav", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("RIFF\x10\0\0\0WAVEjunkjunk", f);
    std::fclose(f);
    files.push_back("sound_bad.wav");
    TarnSound s;
    EXPECT_EQ(s.Load(&audio, "sound_bad.wav"), SOUND_BAD_FORMAT);
    EXPECT_EQ(s.Load(&audio, "sound_missing.wav"), SOUND_FILE_ERROR);
    EXPECT_NE(host->DebugText().find("Error: TarnSound - sound_bad.wav"), std::string::npos);
    EXPECT_TRUE(s.samples.empty());
    EXPECT_LT(s.Play(), 0);
    audio.Release();
    EXPECT_EQ(tarn::platform::LiveObjects("sound"), 0);
}

Bytes ReadBytes(const char* path) {
    Bytes bytes;
    FILE* f = std::fopen(path, "rb");
    if (!f) return bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
    std::fclose(f);
    return bytes;
}

// An Ogg page (checksum and all) of the logical stream `serial` holding one whole packet.
Bytes OggPage(uint8_t flags, uint64_t granule, uint32_t serial, uint32_t sequence,
              const uint8_t* packet, uint8_t size) {
    Bytes page = {'O', 'g', 'g', 'S', 0, flags};
    for (int i = 0; i < 8; ++i) page.push_back(uint8_t(granule >> (8 * i)));
    Put32(page, serial);
    Put32(page, sequence);
    Put32(page, 0); // the checksum, below
    page.push_back(1);
    page.push_back(size);
    page.insert(page.end(), packet, packet + size);
    uint32_t crc = 0;
    for (uint8_t byte : page) {
        crc ^= uint32_t(byte) << 24;
        for (int k = 0; k < 8; ++k) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    for (int i = 0; i < 4; ++i) page[22 + i] = uint8_t(crc >> (8 * i));
    return page;
}

// The test tone's header pages, then a last page whose granule claims 5000 frames while its one
// packet (the tone's first audio packet, which only primes the decoder) yields none: music that
// loops over it must end, not spin.
TEST_F(SoundTest, LoopingMusicThatYieldsNothingEndsInsteadOfSpinning) {
    Bytes tone = ReadBytes(TARN_TEST_DATA "/sound/tone.ogg");
    ASSERT_GT(tone.size(), 100u);
    size_t at = 0;
    for (int page = 0; page < 2; ++page) { // the identification page, then the comment and setup
        int segments = tone[at + 26];
        size_t body = 0;
        for (int i = 0; i < segments; ++i) body += tone[at + 27 + i];
        at += 27 + segments + body;
    }
    ASSERT_EQ(std::memcmp(tone.data() + at, "OggS", 4), 0);
    const uint8_t firstPacket = tone[at + 27];
    ASSERT_LT(firstPacket, 255);
    const uint8_t* audioBody = tone.data() + at + 27 + tone[at + 26];
    uint32_t serial = uint32_t(tone[14] | (tone[15] << 8) | (tone[16] << 16) | (tone[17] << 24));
    Bytes file(tone.begin(), tone.begin() + std::ptrdiff_t(at));
    Bytes last = OggPage(4, 5000, serial, 2, audioBody, firstPacket);
    file.insert(file.end(), last.begin(), last.end());
    FILE* f = std::fopen("sound_empty_loop.ogg", "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    files.push_back("sound_empty_loop.ogg");
    {
        const char* error = nullptr;
        std::unique_ptr<TarnAudioDecoder> d(TarnAudioDecoder::Open(file, &error));
        ASSERT_NE(d, nullptr) << (error ? error : "");
        ASSERT_EQ(d->Frames(), 5000u);
        int16_t some[64];
        ASSERT_EQ(d->Read(some, 32), 0); // the fixture is what it claims to be
    }

    TarnAudio audio;
    ASSERT_EQ(audio.Create(window), 0);
    TarnMusic m;
    ASSERT_EQ(m.Open(&audio, "sound_empty_loop.ogg"), 0);
    for (DWORD flags : {DWORD(TARN_SOUND_LOOP), DWORD(0)}) {
        EXPECT_EQ(m.Play(flags), SOUND_BAD_FORMAT) << flags; // returns, saying why
        EXPECT_FALSE(m.IsPlaying());
        audio.Update();
        EXPECT_EQ(Hear(100), std::vector<int16_t>(200, 0));
    }
}

TEST_F(SoundTest, OggVorbisDecodesToItsLengthAndItsTone) {
    const char* error = nullptr;
    std::unique_ptr<TarnAudioDecoder> d(
        TarnAudioDecoder::OpenFile(TARN_TEST_DATA "/sound/tone.ogg", &error));
    ASSERT_NE(d, nullptr) << (error ? error : "");
    EXPECT_EQ(d->Rate(), 22050);
    EXPECT_EQ(d->Channels(), 1);
    EXPECT_EQ(d->Frames(), 11025u);
    std::vector<int16_t> pcm;
    ASSERT_TRUE(TarnAudioDecoder::DecodeAll(d.get(), &pcm));
    // Lossy, but close to the 440 Hz sine it was made from.
    double error2 = 0, signal2 = 0;
    for (size_t i = 1000; i < 10000; ++i) {
        double want = 0.5 * 32767 * std::sin(2 * 3.14159265358979 * 440 * double(i) / 22050);
        error2 += (pcm[i] - want) * (pcm[i] - want);
        signal2 += want * want;
    }
    EXPECT_LT(error2 / signal2, 0.01);
    // Truncated, it still opens or is refused, but never reads outside its data.
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(TARN_TEST_DATA "/sound/tone.ogg", "rb");
    ASSERT_NE(f, nullptr);
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
    std::fclose(f);
    bytes.resize(bytes.size() / 2);
    std::unique_ptr<TarnAudioDecoder> half(TarnAudioDecoder::Open(bytes));
    if (half) {
        std::vector<int16_t> some;
        TarnAudioDecoder::DecodeAll(half.get(), &some);
    }
}

} // namespace
