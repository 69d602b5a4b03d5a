// The DirectSound part of the stand-in: the device (IDirectSound), its buffers
// (IDirectSoundBuffer) and the one sound system they share: the list of buffers the mixer plays,
// the host's audio device, and whether the program may be heard (the foreground, a device that
// is still there). The host's audio thread and the program's calls meet under one lock.
#pragma once

#include <dsound.h>

#include "dsound/Mixer.h"
#include "internal/ComObject.h"
#include "internal/StandIn.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarn::platform {

// Plays what the headless clock moved past and notices a device that went away (every buffer
// is then lost). Called at every entry, outside the lock.
void SoundEntry();

// What every DirectSound object shares beyond ComObject: each method's entry, once counted,
// plays what the headless clock moved past, so that every answer (cursors, status) is as of now.
template <class Interface, OperationName InterfaceName>
class SoundObject : public ComObject<Interface, InterfaceName> {
public:
    using ComObject<Interface, InterfaceName>::ComObject;

protected:
    // Entry of a method: true with *result set when a fault was injected for it.
    template <OperationName Method> bool Entered(HRESULT* result) {
        if (ComObject<Interface, InterfaceName>::template Entered<Method>(result)) return true;
        SoundEntry();
        return false;
    }
};

// The sample memory of a buffer, shared by the buffer and its duplicates.
struct SoundMemory {
    std::unique_ptr<uint8_t[]> bytes;
    DWORD size = 0;
    bool lost = false; // taken away: DSERR_BUFFERLOST until Restore
};

class SoundBuffer final : public SoundObject<IDirectSoundBuffer, "IDirectSoundBuffer"> {
public:
    SoundBuffer(bool primary, DWORD flags, const WAVEFORMATEX& format,
                std::shared_ptr<SoundMemory> memory);
    ~SoundBuffer() override;
    // A new buffer over the same memory, stopped at the start, with this one's settings.
    SoundBuffer* Duplicate() const;
    bool IsPrimary() const { return primary; }

    STDMETHOD(GetCaps)(LPDSBCAPS pDSBufferCaps) override;
    STDMETHOD(GetCurrentPosition)
    (LPDWORD pdwCurrentPlayCursor, LPDWORD pdwCurrentWriteCursor) override;
    STDMETHOD(GetFormat)
    (LPWAVEFORMATEX pwfxFormat, DWORD dwSizeAllocated, LPDWORD pdwSizeWritten) override;
    STDMETHOD(GetVolume)(LPLONG plVolume) override;
    STDMETHOD(GetPan)(LPLONG plPan) override;
    STDMETHOD(GetFrequency)(LPDWORD pdwFrequency) override;
    STDMETHOD(GetStatus)(LPDWORD pdwStatus) override;
    STDMETHOD(Initialize)(LPDIRECTSOUND pDirectSound, LPCDSBUFFERDESC pcDSBufferDesc) override;
    STDMETHOD(Lock)
    (DWORD dwOffset, DWORD dwBytes, LPVOID* ppvAudioPtr1, LPDWORD pdwAudioBytes1,
     LPVOID* ppvAudioPtr2, LPDWORD pdwAudioBytes2, DWORD dwFlags) override;
    STDMETHOD(Play)(DWORD dwReserved1, DWORD dwPriority, DWORD dwFlags) override;
    STDMETHOD(SetCurrentPosition)(DWORD dwNewPosition) override;
    STDMETHOD(SetFormat)(LPCWAVEFORMATEX pcfxFormat) override;
    STDMETHOD(SetVolume)(LONG lVolume) override;
    STDMETHOD(SetPan)(LONG lPan) override;
    STDMETHOD(SetFrequency)(DWORD dwFrequency) override;
    STDMETHOD(Stop)() override;
    STDMETHOD(Unlock)
    (LPVOID pvAudioPtr1, DWORD dwAudioBytes1, LPVOID pvAudioPtr2, DWORD dwAudioBytes2) override;
    STDMETHOD(Restore)() override;

    // Under the sound system's lock.
    Voice voice;
    void TakeAway();

private:
    void UpdateGains();
    void UpdateStep();

    bool primary;
    DWORD flags;
    WAVEFORMATEX format;
    std::shared_ptr<SoundMemory> memory;
    LONG volume = 0;
    LONG pan = 0;
    DWORD frequency = 0; // 0 until set: the format's own
};

class SoundDevice final : public SoundObject<IDirectSound, "IDirectSound"> {
public:
    SoundDevice();
    ~SoundDevice() override;

    STDMETHOD(CreateSoundBuffer)
    (LPCDSBUFFERDESC pcDSBufferDesc, LPDIRECTSOUNDBUFFER* ppDSBuffer, LPUNKNOWN pUnkOuter) override;
    STDMETHOD(GetCaps)(LPDSCAPS pDSCaps) override;
    STDMETHOD(DuplicateSoundBuffer)
    (LPDIRECTSOUNDBUFFER pDSBufferOriginal, LPDIRECTSOUNDBUFFER* ppDSBufferDuplicate) override;
    STDMETHOD(SetCooperativeLevel)(HWND hwnd, DWORD dwLevel) override;
    STDMETHOD(Compact)() override;
    STDMETHOD(GetSpeakerConfig)(LPDWORD pdwSpeakerConfig) override;
    STDMETHOD(SetSpeakerConfig)(DWORD dwSpeakerConfig) override;
    STDMETHOD(Initialize)(LPCGUID pcGuidDevice) override;

    DWORD level = 0; // the cooperative level, 0 until set
};

// The one sound system of the process.
struct SoundSystem {
    std::mutex lock;
    std::vector<SoundBuffer*> buffers; // every live buffer; the mixer plays the secondary ones
    std::vector<Voice*> mixing;        // the voices of one mix, kept to avoid allocating
    int devices = 0;                   // live IDirectSound objects
    bool open = false;                 // the host's audio device is open
    bool takenAway = false;            // the program lost the foreground
    bool deviceLost = false;           // the host's device went away
    int rate = 44100;
    DWORD primaryLevel = 0; // the highest cooperative level of a live device
    // The program's thread (the one that opened the device), and the most frames a device
    // pulling on a thread of its own took at once: the write cursors lead by that much more.
    std::thread::id programThread;
    int devicePeriod = 0;
};
SoundSystem& Sounds();

// Back to a machine whose program has the foreground and whose sound device is there, for a
// fresh machine (the headless host's reset); what is still open stays open.
void ResetSound();

// The host asks for `frames` more frames.
void PullSound(void* context, int16_t* out, int frames);

} // namespace tarn::platform
