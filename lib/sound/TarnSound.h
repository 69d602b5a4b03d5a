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
    /// Not copied: the buffers and the registration with TarnAudio have one owner.
    TarnSound(const TarnSound&) = delete;
    /// Not copied.
    TarnSound& operator=(const TarnSound&) = delete;
    /// Takes over `other`'s sound and voices (voice numbers stay good); `other` is left
    /// empty. A std::vector<TarnSound> may grow.
    TarnSound(TarnSound&& other) noexcept;
    /// Releases this sound and takes over `other`'s.
    TarnSound& operator=(TarnSound&& other) noexcept;

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
    /// Stops one voice: 0, or SOUND_BAD_VOICE when it has ended or is not one of this sound's.
    int StopVoice(int voice);
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
    // The voice of a voice number that is still playing, or null.
    Voice* Find(int voice);
    // The result for a device that failed a call: SOUND_NO_DEVICE once it is gone for good.
    int DeviceFailure();
    void TakeOver(TarnSound& other);
    bool Refill();
    bool RestoreIfLost();
    void ApplyMasterVolume();
    void Detach();

    TarnAudio* audio = nullptr;
    Voice voices[SOUND_VOICES];
    unsigned plays = 0;
};
