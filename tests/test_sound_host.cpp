// The sound library on the real SDL2 host: SDL's disk audio driver (SDL_AUDIODRIVER=disk) writes
// what the device played to a file, and a known sound played through TarnAudio must be found in
// it sample for sample, and the device's own thread is seen in the write cursor's lead.
#include "host/Host.h"
#include "sound/TarnAudioDecoder.h"
#include "sound/TarnSound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

TEST(SdlDiskAudio, APlayedSoundIsFoundInTheCapture) {
    const char* capture = "sound_disk_capture.raw";
    const char* file = "sound_disk_known.wav";
    std::remove(capture);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture, 1);
    ASSERT_TRUE(tarn::platform::SelectHost("sdl2"));

    // A stereo pattern that cannot be mistaken for anything else.
    std::vector<int16_t> known;
    for (int i = 0; i < 3000; ++i) {
        known.push_back(int16_t(1000 + (i * 37) % 9000));
        known.push_back(int16_t(-1000 - (i * 53) % 7000));
    }
    ASSERT_EQ(TarnSaveWave(file, known.data(), 3000, 2, 44100), S_OK);
    {
        TarnAudio audio;
        ASSERT_EQ(audio.Create(reinterpret_cast<HWND>(uintptr_t(1))), 0);
        TarnSound sound;
        ASSERT_EQ(sound.Load(&audio, file), 0);
        ASSERT_GE(sound.Play(), 0);
        for (int i = 0; i < 300 && sound.IsPlaying(); ++i) {
            audio.Update();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_FALSE(sound.IsPlaying());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } // the device closes: the capture is complete
    std::remove(file);

    std::vector<int16_t> heard;
    FILE* f = std::fopen(capture, "rb");
    ASSERT_NE(f, nullptr) << "SDL's disk audio driver wrote no capture";
    int16_t piece[4096];
    size_t n;
    while ((n = std::fread(piece, sizeof(int16_t), 4096, f)) > 0)
        heard.insert(heard.end(), piece, piece + n);
    std::fclose(f);
    std::remove(capture);
    size_t at = 0;
    while (at < heard.size() && heard[at] != known[0]) ++at;
    ASSERT_LT(at + known.size(), heard.size() + 1) << "the sound's first sample is not there";
    for (size_t i = 0; i < known.size(); ++i)
        ASSERT_EQ(heard[at + i], known[i]) << "sample " << i << " of the sound";
}

// SDL's thread mixes a period (1024 frames) at a time while the program runs: the write cursor
// leads by that period beyond its 10 ms, so that music the program writes there is never
// already mixed.
TEST(SdlDiskAudio, TheWriteCursorLeadsByTheDevicesPeriod) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "sound_disk_lead.raw", 1);
    ASSERT_TRUE(tarn::platform::SelectHost("sdl2"));
    {
        TarnAudio audio;
        ASSERT_EQ(audio.Create(reinterpret_cast<HWND>(uintptr_t(1))), 0);
        WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
        DSBUFFERDESC d{};
        d.dwSize = sizeof d;
        d.dwBufferBytes = 44100 * 4; // one second
        d.lpwfxFormat = &f;
        IDirectSoundBuffer* ring = nullptr;
        ASSERT_EQ(audio.device->CreateSoundBuffer(&d, &ring, nullptr), DS_OK);
        ASSERT_EQ(ring->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // a few periods pulled
        DWORD play = 0, write = 0;
        ASSERT_EQ(ring->GetCurrentPosition(&play, &write), DS_OK);
        DWORD lead = (write + d.dwBufferBytes - play) % d.dwBufferBytes;
        EXPECT_GE(lead, (441u + 1024u) * 4) << "play " << play << " write " << write;
        ring->Release();
    }
    std::remove("sound_disk_lead.raw");
}
