/// @file
/// One music stream: a WAV or Ogg Vorbis file decoded piece by piece as it plays, through a ring
/// buffer of two seconds that TarnAudio::Update refills to a quarter of a second ahead of what is
/// heard. The stream loops without a gap (the decoder starts again while the ring is filled).
///
/// A late Update (a frame that took long, a level loading) starves the stream: what was queued
/// plays to its end and then the stream is silent, never an old piece again, for up to the
/// ring's length beyond it; the next Update carries on with the music where it stopped, so
/// nothing of the music is skipped, and Position counts only music that was heard. (A stall of
/// more than about two seconds may hear the last quarter second once more; call Pause before
/// such work.) After the program was out of the foreground, the queued quarter second is lost
/// and the music carries on after it. When the device goes away for good the music ends
/// (IsPlaying turns false) and every call answers SOUND_NO_DEVICE.
#pragma once

#include "sound/TarnAudio.h"
#include "sound/TarnAudioDecoder.h"

/// One music stream on a TarnAudio: open, play, pause, fade; TarnAudio::Update keeps it fed.
class TarnMusic {
public:
    TarnMusic();
    virtual ~TarnMusic();
    /// Not copied: the stream, its buffer and its registration with TarnAudio have one owner.
    TarnMusic(const TarnMusic&) = delete;
    /// Not copied.
    TarnMusic& operator=(const TarnMusic&) = delete;
    /// Takes over `other`'s stream, playing or not; `other` is left closed.
    TarnMusic(TarnMusic&& other) noexcept;
    /// Closes this stream and takes over `other`'s.
    TarnMusic& operator=(TarnMusic&& other) noexcept;

    /// Opens `fileName` (WAV or Ogg Vorbis) to stream it on `audio`. 0 on success, a negative
    /// SOUND_* code otherwise (the reason goes to the debugger output).
    int Open(TarnAudio* audio, const char* fileName);
    /// Closes the stream.
    void Close();
    /// Plays from the start; flags TARN_SOUND_LOOP. 0 or a negative SOUND_* code
    /// (SOUND_BAD_FORMAT for a stream that yields no sound at all).
    int Play(DWORD flags = 0);
    /// Holds the music where it is; Resume carries on from there. 0 or a negative SOUND_* code.
    int Pause();
    /// Carries on after Pause. 0 or a negative SOUND_* code.
    int Resume();
    /// Stops; the next Play starts at the beginning.
    int Stop();
    /// Volume 0 .. 256; ends a fade.
    int SetVolume(int volume);
    /// Moves the volume to `volume` over `milliseconds`, a step each Update.
    int FadeTo(int volume, DWORD milliseconds);
    /// Milliseconds of the music heard since it started (within the piece, when it loops).
    DWORD Position();
    /// True while it plays (not paused, not ended).
    bool IsPlaying() const { return state == PLAYING; }
    /// The current volume, 0 .. 256.
    int Volume() const { return volume; }

private:
    friend class TarnAudio;
    enum State { CLOSED, STOPPED, PLAYING, PAUSED };
    void Update();
    bool Fill(DWORD played);
    bool ResetRing();
    void ApplyVolume();
    void Detach();
    // The device went away for good: the music stops where it is.
    void Lose();
    // The result for a device that failed a call: SOUND_NO_DEVICE once it is gone for good.
    int DeviceFailure();
    void TakeOver(TarnMusic& other);
    // Moves the accounting on to the play cursor `play`.
    void Advance(DWORD play);

    TarnAudio* audio = nullptr;
    TarnAudioDecoder* decoder = nullptr;
    LPDIRECTSOUNDBUFFER buffer = nullptr;
    State state = CLOSED;
    bool looping = false;
    bool ended = false; // the decoder reached the end and does not loop
    DWORD ringBytes = 0;
    DWORD blockAlign = 0;
    DWORD targetBytes = 0;  // how far ahead of the play cursor music is queued
    DWORD lastPlay = 0;     // the play cursor at the last Update
    DWORD writePos = 0;     // where the next decoded frame goes
    DWORD silenceAhead = 0; // bytes of silence between the play cursor and the music queued
    DWORD musicAhead = 0;   // bytes of music queued
    uint64_t framesHeard = 0;
    int volume = SOUND_VOLUME_MAX;
    int fadeFrom = 0, fadeTo = 0;
    DWORD fadeStart = 0, fadeLength = 0;
    bool fading = false;
};
