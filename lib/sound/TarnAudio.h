/// @file
/// Sound for a Tarn program: TarnAudio is the one sound device of the program (DirectSound), and
/// the sound effects (TarnSound) and music streams (TarnMusic) made on it register with it so
/// that its Update, called once a frame, keeps them going: it refills streams, moves fades on,
/// frees the voices of effects that ended and restores buffers DirectSound took away while the
/// program was not in the foreground. Without a device every call does nothing and says so by
/// its result, and the program goes on silent.
#pragma once

#include <windows.h>
#include <dsound.h>

#include <vector>

class TarnSound;
class TarnMusic;

/// Play flag: the sound or music starts again at its end, without a gap.
constexpr DWORD TARN_SOUND_LOOP = 0x1;

/// Results of the sound calls: 0 (or a voice number >= 0) on success, one of these otherwise.
enum {
    SOUND_NO_DEVICE = -1,    ///< no sound device (none present, refused or lost)
    SOUND_FILE_ERROR = -2,   ///< the file cannot be opened or read
    SOUND_BAD_FORMAT = -3,   ///< the file is not a sound this library reads
    SOUND_NO_MEMORY = -4,    ///< memory or a sound buffer could not be had
    SOUND_DEVICE_ERROR = -5, ///< DirectSound refused a call
    SOUND_NOT_LOADED = -6,   ///< nothing is loaded or opened
    SOUND_BAD_VOICE = -7,    ///< the voice number is not one of this sound's, or has ended
    SOUND_BAD_ARGUMENT = -8, ///< a value out of its range
};

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

    /// Opens the default sound device for `window` (cooperative level DSSCL_PRIORITY, primary
    /// buffer 44100 Hz, 16-bit, stereo). 0 on success, SOUND_NO_DEVICE otherwise (the reason
    /// goes to the debugger output).
    int Create(HWND window);
    /// Makes `window` the one whose foreground the sound follows, for a program that replaced
    /// its window (TarnGame does on a switch to or from full screen); what was loaded stays.
    /// 0 on success, SOUND_NO_DEVICE without a device, SOUND_DEVICE_ERROR when refused.
    int SetWindow(HWND window);
    /// Closes the device; the sounds and music made on it stop and must be loaded again.
    void Release();
    /// True between a successful Create and Release.
    bool IsReady() const { return device != nullptr; }
    /// Once a frame: refills music streams, moves fades on, frees the voices of sounds that
    /// ended and restores what DirectSound lost. Never blocks; allocates nothing.
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
    // The 16-bit PCM format every buffer of ours holds.
    static WAVEFORMATEX Pcm16(int channels, int rate);

    int masterVolume = SOUND_VOLUME_MAX;
    std::vector<TarnSound*> sounds;
    std::vector<TarnMusic*> musics;
};
