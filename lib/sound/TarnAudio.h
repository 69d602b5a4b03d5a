/// @file
/// Sound for a Tarn program: TarnAudio is the one sound device of the program (DirectSound), and
/// the sound effects (TarnSound) and music streams (TarnMusic) made on it register with it so
/// that its Update, called once a frame, keeps them going: it refills streams, moves fades on,
/// frees the voices of effects that ended and restores buffers DirectSound took away while the
/// program was not in the foreground. Without a device every call does nothing and says so by
/// its result, and the program goes on silent; so it does once the device went away for good
/// (unplugged): music ends and every call answers SOUND_NO_DEVICE.
#pragma once

#include <windows.h>
#include <dsound.h>

#include "sound/TarnSoundCodes.h"

#include <vector>

class TarnSound;
class TarnMusic;

/// Play flag: the sound or music starts again at its end, without a gap.
constexpr DWORD TARN_SOUND_LOOP = 0x1;

/// Volumes run 0 (silent) .. 256 (as recorded); pans -256 (left) .. 256 (right).
constexpr int SOUND_VOLUME_MAX = 256;
constexpr int SOUND_PAN_LEFT = -256; ///< the pan of the left side only
constexpr int SOUND_PAN_RIGHT = 256; ///< the pan of the right side only

/// DirectSound's level, in hundredths of a decibel, for a volume 0 .. 256:
/// 2000 * log10(volume / 256), DSBVOLUME_MIN for 0.
LONG TarnVolumeToDecibels(int volume);
/// DirectSound's pan for a pan -256 .. 256: the other side is attenuated by the volume law.
LONG TarnPanToDecibels(int pan);

/// The program's one sound device.
class TarnAudio {
public:
    TarnAudio();
    virtual ~TarnAudio();
    /// Not copied: the device and what is registered with it have one owner.
    TarnAudio(const TarnAudio&) = delete;
    /// Not copied.
    TarnAudio& operator=(const TarnAudio&) = delete;
    /// Takes over `other`'s device; what was made on it now belongs to this one.
    TarnAudio(TarnAudio&& other) noexcept;
    /// Releases this device and takes over `other`'s.
    TarnAudio& operator=(TarnAudio&& other) noexcept;

    /// Opens the default sound device for `window` (cooperative level DSSCL_PRIORITY, primary
    /// buffer 44100 Hz, 16-bit, stereo). 0 on success, SOUND_NO_DEVICE otherwise (the reason
    /// goes to the debugger output, once for this object however often Create fails).
    int Create(HWND window);
    /// Makes `window` the one whose foreground the sound follows, for a program that replaced
    /// its window (TarnGame does on a switch to or from full screen); what was loaded stays.
    /// 0 on success, SOUND_NO_DEVICE without a device, SOUND_DEVICE_ERROR when refused.
    int SetWindow(HWND window);
    /// Closes the device; the sounds and music made on it stop and must be loaded again.
    void Release();
    /// True between a successful Create and Release.
    bool IsReady() const { return device != nullptr; }
    /// True once the device went away for good (unplugged) after a successful Create: music
    /// has stopped, and everything made on the device answers SOUND_NO_DEVICE until Release
    /// (a new Create may find a device again).
    bool IsLost() const { return lost; }
    /// Once a frame: refills music streams, moves fades on, frees the voices of sounds that
    /// ended, restores what DirectSound lost and notices a device gone for good. Never
    /// blocks; allocates nothing.
    void Update();
    /// The volume every sound and music is scaled by, 0 .. 256 (256 at first).
    void SetMasterVolume(int volume);
    /// The master volume, 0 .. 256.
    int MasterVolume() const { return masterVolume; }

    /// The DirectSound device and its primary buffer, null without a device.
    LPDIRECTSOUND device = nullptr;
    LPDIRECTSOUNDBUFFER primary = nullptr; ///< the primary buffer: 44100 Hz, 16-bit, stereo

private:
    friend class TarnSound;
    friend class TarnMusic;
    void Register(TarnSound* sound);
    void Unregister(TarnSound* sound);
    void Register(TarnMusic* music);
    void Unregister(TarnMusic* music);
    // A sound or music moved to a new address keeps its place.
    void Moved(TarnSound* from, TarnSound* to);
    void Moved(TarnMusic* from, TarnMusic* to);
    // True when the device is gone for good (noticed now or before); on first notice the
    // music stops and the loss is said.
    bool CheckLost();
    void TakeOver(TarnAudio& other);
    // The 16-bit PCM format every buffer of ours holds.
    static WAVEFORMATEX Pcm16(int channels, int rate);

    int masterVolume = SOUND_VOLUME_MAX;
    bool lost = false;
    bool saidNoDevice = false; // "no sound device" goes to the debugger output once
    std::vector<TarnSound*> sounds;
    std::vector<TarnMusic*> musics;
};
