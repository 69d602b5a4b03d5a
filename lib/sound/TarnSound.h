/// @file
/// One sound effect: a WAV or Ogg Vorbis file decoded whole into a DirectSound buffer, played on
/// up to eight voices at once (the buffer and its duplicates), each with its own volume, pan and
/// frequency. When all voices are busy, the one that started first is taken over.
#pragma once

#include "sound/TarnAudio.h"

#include <cstdint>
#include <vector>

/// The voices one sound plays on at most.
constexpr int SOUND_VOICES = 8;

/// One sound effect, decoded whole, played on up to SOUND_VOICES voices at once.
class TarnSound {
public:
    TarnSound();
    virtual ~TarnSound();

    /// Loads `fileName` (WAV or Ogg Vorbis) for `audio`. 0 on success, a negative SOUND_* code
    /// otherwise (the reason goes to the debugger output); a sound loaded before is released
    /// first, and nothing is half-loaded.
    int Load(TarnAudio* audio, const char* fileName);
    /// Releases the sound and its voices.
    void Release();
    /// Plays the sound from its start on a free voice (or the oldest); volume 0 .. 256, pan
    /// -256 .. 256, flags TARN_SOUND_LOOP. The voice number (>= 0) or a negative SOUND_* code.
    int Play(int volume = SOUND_VOLUME_MAX, int pan = 0, DWORD flags = 0);
    /// Stops every voice.
    void Stop();
    /// Stops one voice.
    void StopVoice(int voice);
    /// Changes a playing voice's volume (0 .. 256): 0 or a negative SOUND_* code.
    int SetVoiceVolume(int voice, int volume);
    /// Changes a playing voice's pan (-256 .. 256): 0 or a negative SOUND_* code.
    int SetVoicePan(int voice, int pan);
    /// Plays the voice at `hertz` frames a second (100 .. 100000; 0: the file's own rate).
    int SetVoiceFrequency(int voice, DWORD hertz);
    /// True while any voice plays.
    bool IsPlaying();

    /// The decoded sound: frames x channels 16-bit samples at `rate`.
    std::vector<int16_t> samples;
    int rate = 0;     ///< frames a second of `samples`
    int channels = 0; ///< 1 or 2

private:
    friend class TarnAudio;
    struct Voice {
        LPDIRECTSOUNDBUFFER buffer = nullptr; // voice 0: the sound's own buffer
        unsigned started = 0;                 // when it was last started (Play's count)
        int generation = 0;                   // part of the voice number
        int volume = SOUND_VOLUME_MAX;
    };
    // The buffer of a voice number that is still current, or null.
    Voice* Find(int voice);
    bool Refill();
    bool RestoreIfLost();
    void ApplyMasterVolume();
    void Detach();

    TarnAudio* audio = nullptr;
    Voice voices[SOUND_VOICES];
    unsigned plays = 0;
};
