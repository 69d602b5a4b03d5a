// The DirectSound device: creation (which opens the host's audio device for the first device and
// closes it with the last), the cooperative level, buffer creation and duplication, and the one
// sound system all devices share, including what happens when the program leaves the foreground
// (every buffer is lost, as DirectSound loses them, until the program comes back and restores
// them) and when the host's device goes away while it plays.
#include "dsound/SoundObjects.h"

#include "host/Host.h"
#include "internal/MachineEvents.h"
#include "internal/Sound.h"

#include <algorithm>
#include <cstring>
#include <new>

// Interface identifiers, with their real values.
const IID IID_IDirectSound = {
    0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSoundBuffer = {
    0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

namespace tarn::platform {

SoundSystem& Sounds() {
    static SoundSystem system;
    return system;
}

namespace {

// Every secondary buffer is lost and stops.
void LoseEverything(SoundSystem& s) {
    for (SoundBuffer* b : s.buffers) b->TakeAway();
}

// True once the host's device went away.
bool Gone() {
    SoundSystem& s = Sounds();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.deviceLost;
}

// A format DirectSound takes for a secondary buffer: PCM, mono or stereo, 8 or 16 bits.
bool ValidFormat(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
           f.nSamplesPerSec >= DSBFREQUENCY_MIN && f.nSamplesPerSec <= DSBFREQUENCY_MAX &&
           f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
           f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

} // namespace

void SoundEntry() {
    SoundSystem& s = Sounds();
    Host& host = CurrentHost();
    if (!s.open) return;
    host.CatchUpAudio();
    if (host.AudioLost()) {
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.deviceLost) {
            s.deviceLost = true;
            LoseEverything(s);
        }
    }
}

void PullSound(void*, int16_t* out, int frames) {
    SoundSystem& s = Sounds();
    std::lock_guard<std::mutex> guard(s.lock);
    if (frames > s.devicePeriod && std::this_thread::get_id() != s.programThread)
        s.devicePeriod = frames;
    s.mixing.clear();
    if (!s.takenAway && !s.deviceLost)
        for (SoundBuffer* b : s.buffers)
            if (!b->IsPrimary() && b->voice.playing) s.mixing.push_back(&b->voice);
    MixVoices(s.mixing.data(), int(s.mixing.size()), out, frames);
}

void SoundTakenAway() {
    SoundSystem& s = Sounds();
    if (s.open) CurrentHost().CatchUpAudio();
    std::lock_guard<std::mutex> guard(s.lock);
    s.takenAway = true;
    LoseEverything(s);
}

void SoundGivenBack() {
    SoundSystem& s = Sounds();
    if (s.open) CurrentHost().CatchUpAudio();
    std::lock_guard<std::mutex> guard(s.lock);
    s.takenAway = false;
}

// The foreground's changes as the window manager hears of them; a fresh machine has its sound.
void ListenForSound(MachineChange change) {
    if (change == MachineChange::TakenAway) SoundTakenAway();
    if (change == MachineChange::GivenBack) SoundGivenBack();
    if (change == MachineChange::Reset) ResetSound();
}
[[maybe_unused]] const bool listening = ListenToMachine(&ListenForSound);

void ResetSound() {
    SoundSystem& s = Sounds();
    std::lock_guard<std::mutex> guard(s.lock);
    s.takenAway = false;
    if (s.devices == 0) {
        s.deviceLost = false;
        s.primaryLevel = 0;
        s.devicePeriod = 0;
    }
}

SoundDevice::SoundDevice() : SoundObject("sound", {&IID_IDirectSound}) {
    ++Sounds().devices;
}

SoundDevice::~SoundDevice() {
    SoundSystem& s = Sounds();
    if (--s.devices == 0 && s.open) {
        CurrentHost().CloseAudio();
        s.open = false;
        s.deviceLost = false;
    }
}

HRESULT SoundDevice::SetCooperativeLevel(HWND hwnd, DWORD dwLevel) {
    HRESULT hr;
    if (Entered<"SetCooperativeLevel">(&hr)) return hr;
    if (!hwnd || dwLevel < DSSCL_NORMAL || dwLevel > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    level = dwLevel;
    std::lock_guard<std::mutex> guard(Sounds().lock);
    Sounds().primaryLevel = dwLevel;
    return DS_OK;
}

// A primary buffer stands for the device's output (its format is the program's wish; the
// device itself plays 16-bit stereo at its own rate); a secondary buffer gets memory of its own.
HRESULT SoundDevice::CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* out,
                                       LPUNKNOWN outer) {
    HRESULT hr;
    if (Entered<"CreateSoundBuffer">(&hr)) return hr;
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (!desc || (desc->dwSize != sizeof(DSBUFFERDESC) && desc->dwSize != sizeof(DSBUFFERDESC1)))
        return DSERR_INVALIDPARAM;
    if (outer) return DSERR_NOAGGREGATION;
    if (!level) return DSERR_PRIOLEVELNEEDED;
    if (Gone()) return DSERR_NODRIVER;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat ||
            (desc->dwFlags & (DSBCAPS_CTRLFREQUENCY | DSBCAPS_STATIC)))
            return DSERR_INVALIDPARAM;
        WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 22050, 22050 * 2, 2, 8, 0};
        auto memory = std::make_shared<SoundMemory>();
        auto* buffer = new SoundBuffer(true, desc->dwFlags, format, std::move(memory));
        *out = buffer;
        return DS_OK;
    }
    if (!desc->lpwfxFormat) return DSERR_INVALIDPARAM;
    if (!ValidFormat(*desc->lpwfxFormat)) return DSERR_BADFORMAT;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX)
        return DSERR_INVALIDPARAM;
    auto memory = std::make_shared<SoundMemory>();
    DWORD align = desc->lpwfxFormat->nBlockAlign;
    memory->size = desc->dwBufferBytes / align * align;
    if (memory->size == 0) return DSERR_INVALIDPARAM;
    memory->bytes.reset(new (std::nothrow) uint8_t[memory->size]);
    if (!memory->bytes) return DSERR_OUTOFMEMORY;
    std::memset(memory->bytes.get(), desc->lpwfxFormat->wBitsPerSample == 8 ? 0x80 : 0,
                memory->size);
    *out = new SoundBuffer(false, desc->dwFlags, *desc->lpwfxFormat, std::move(memory));
    return DS_OK;
}

HRESULT SoundDevice::DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                                          LPDIRECTSOUNDBUFFER* duplicate) {
    HRESULT hr;
    if (Entered<"DuplicateSoundBuffer">(&hr)) return hr;
    if (!duplicate) return DSERR_INVALIDPARAM;
    *duplicate = nullptr;
    if (!original) return DSERR_INVALIDPARAM;
    // Only buffers of this stand-in can be duplicated; a primary buffer cannot.
    SoundSystem& s = Sounds();
    SoundBuffer* source = nullptr;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        for (SoundBuffer* b : s.buffers)
            if (static_cast<IDirectSoundBuffer*>(b) == original) source = b;
    }
    if (!source || source->IsPrimary()) return DSERR_INVALIDCALL;
    *duplicate = source->Duplicate();
    return DS_OK;
}

// A device that went away answers DSERR_NODRIVER, as DirectSound's does once it is removed.
HRESULT SoundDevice::GetCaps(LPDSCAPS caps) {
    HRESULT hr;
    if (Entered<"GetCaps">(&hr)) return hr;
    if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    if (Gone()) return DSERR_NODRIVER;
    std::memset(caps, 0, sizeof *caps);
    caps->dwSize = sizeof(DSCAPS);
    caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT |
                    DSCAPS_PRIMARY16BIT | DSCAPS_CONTINUOUSRATE | DSCAPS_SECONDARYMONO |
                    DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    return DS_OK;
}

HRESULT SoundDevice::Compact() {
    return Answer<"Compact">(DS_OK);
}
HRESULT SoundDevice::GetSpeakerConfig(LPDWORD) {
    return Answer<"GetSpeakerConfig">(DSERR_UNSUPPORTED);
}
HRESULT SoundDevice::SetSpeakerConfig(DWORD) {
    return Answer<"SetSpeakerConfig">(DSERR_UNSUPPORTED);
}
HRESULT SoundDevice::Initialize(LPCGUID) {
    return Answer<"Initialize">(DSERR_ALREADYINITIALIZED);
}

} // namespace tarn::platform

using namespace tarn::platform;

// The default device only (a null GUID); without a sound device on the host, DSERR_NODRIVER.
HRESULT WINAPI DirectSoundCreate(LPCGUID pcGuidDevice, LPDIRECTSOUND* ppDS, LPUNKNOWN pUnkOuter) {
    if (HRESULT hr; Enter<"DirectSoundCreate">(&hr)) return hr;
    if (!ppDS) return DSERR_INVALIDPARAM;
    *ppDS = nullptr;
    if (pUnkOuter) return DSERR_NOAGGREGATION;
    if (pcGuidDevice) return DSERR_NODRIVER;
    SoundSystem& s = Sounds();
    if (!s.open) {
        s.programThread = std::this_thread::get_id();
        s.devicePeriod = 0;
        if (!CurrentHost().OpenAudio(s.rate, &PullSound, nullptr)) return DSERR_NODRIVER;
        s.open = true;
        s.deviceLost = false;
    }
    *ppDS = new SoundDevice();
    return DS_OK;
}
