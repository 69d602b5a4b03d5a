// A DirectSound buffer: its memory (Lock/Unlock with the two parts of a wrap), its place in the
// mixer (Play, Stop, the cursors), its volume, pan and frequency, and the loss of its memory
// when the program leaves the foreground (Restore gives it back with junk in it, so the program
// must refill it, as on Windows). The primary buffer only keeps the program's format and state.
#include "dsound/SoundObjects.h"

#include "host/Host.h"

#include <algorithm>
#include <cstring>

namespace tarn::platform {
namespace {

// Frames at `rate` a device pulling on its own thread may take at once (rounded up); 0 for a
// device that plays only when the program calls (the headless host). Under the lock.
uint64_t LeadOfDevice(DWORD rate) {
    const SoundSystem& s = Sounds();
    if (s.devicePeriod <= 0 || s.rate <= 0) return 0;
    return (uint64_t(s.devicePeriod) * rate + uint64_t(s.rate) - 1) / uint64_t(s.rate);
}

} // namespace

SoundBuffer::SoundBuffer(bool isPrimary, DWORD bufferFlags, const WAVEFORMATEX& bufferFormat,
                         std::shared_ptr<SoundMemory> bufferMemory)
    : SoundObject("sound", {&IID_IDirectSoundBuffer}), primary(isPrimary), flags(bufferFlags),
      format(bufferFormat), memory(std::move(bufferMemory)) {
    voice.data = memory->bytes.get();
    voice.channels = format.nChannels;
    voice.bits = format.wBitsPerSample;
    voice.frames = format.nBlockAlign ? memory->size / format.nBlockAlign : 0;
    UpdateGains();
    UpdateStep();
    SoundSystem& s = Sounds();
    std::lock_guard<std::mutex> guard(s.lock);
    s.buffers.push_back(this);
}

SoundBuffer::~SoundBuffer() {
    SoundSystem& s = Sounds();
    std::lock_guard<std::mutex> guard(s.lock);
    s.buffers.erase(std::find(s.buffers.begin(), s.buffers.end(), this));
}

SoundBuffer* SoundBuffer::Duplicate() const {
    auto* copy = new SoundBuffer(false, flags, format, memory);
    SoundSystem& s = Sounds();
    std::lock_guard<std::mutex> guard(s.lock);
    copy->volume = volume;
    copy->pan = pan;
    copy->frequency = frequency;
    copy->UpdateGains();
    copy->UpdateStep();
    return copy;
}

void SoundBuffer::TakeAway() {
    if (primary) return;
    memory->lost = true;
    voice.playing = false;
}

void SoundBuffer::UpdateGains() {
    GainsFor(volume, pan, &voice.gainLeft, &voice.gainRight);
}

void SoundBuffer::UpdateStep() {
    voice.step = StepFor(frequency ? frequency : format.nSamplesPerSec, Sounds().rate);
}

HRESULT SoundBuffer::GetCaps(LPDSBCAPS caps) {
    HRESULT hr;
    if (Entered<"GetCaps">(&hr)) return hr;
    if (!caps || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = flags | (primary ? 0 : DSBCAPS_LOCSOFTWARE);
    caps->dwBufferBytes = memory->size;
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
}

// The play cursor is where the mixer reads; the write cursor, where it is safe to write, is
// 10 ms of the buffer's own rate ahead of it, and further by what a device that pulls on its own
// thread may take at once: that much may be mixed between this answer and the program's write.
HRESULT SoundBuffer::GetCurrentPosition(LPDWORD play, LPDWORD write) {
    HRESULT hr;
    if (Entered<"GetCurrentPosition">(&hr)) return hr;
    if (primary) {
        if (play) *play = 0;
        if (write) *write = 0;
        return DS_OK;
    }
    std::lock_guard<std::mutex> guard(Sounds().lock);
    DWORD at = DWORD(voice.position >> 32) * format.nBlockAlign;
    if (at >= memory->size) at = 0;
    DWORD rate = frequency ? frequency : format.nSamplesPerSec;
    uint64_t leadFrames = rate / 100 + LeadOfDevice(rate);
    DWORD lead = DWORD(
        std::min<uint64_t>(leadFrames * format.nBlockAlign, memory->size - format.nBlockAlign));
    if (play) *play = at;
    if (write) *write = voice.playing ? (at + lead) % memory->size : at;
    return DS_OK;
}

HRESULT SoundBuffer::GetFormat(LPWAVEFORMATEX out, DWORD allocated, LPDWORD written) {
    HRESULT hr;
    if (Entered<"GetFormat">(&hr)) return hr;
    if (!out) {
        if (!written) return DSERR_INVALIDPARAM;
        *written = sizeof(WAVEFORMATEX);
        return DS_OK;
    }
    DWORD n = std::min<DWORD>(allocated, sizeof(WAVEFORMATEX));
    std::memcpy(out, &format, n);
    if (written) *written = n;
    return DS_OK;
}

HRESULT SoundBuffer::GetVolume(LPLONG out) {
    HRESULT hr;
    if (Entered<"GetVolume">(&hr)) return hr;
    if (!out) return DSERR_INVALIDPARAM;
    if (!(flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    *out = volume;
    return DS_OK;
}

HRESULT SoundBuffer::GetPan(LPLONG out) {
    HRESULT hr;
    if (Entered<"GetPan">(&hr)) return hr;
    if (!out) return DSERR_INVALIDPARAM;
    if (!(flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    *out = pan;
    return DS_OK;
}

HRESULT SoundBuffer::GetFrequency(LPDWORD out) {
    HRESULT hr;
    if (Entered<"GetFrequency">(&hr)) return hr;
    if (!out) return DSERR_INVALIDPARAM;
    if (!(flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    *out = frequency ? frequency : format.nSamplesPerSec;
    return DS_OK;
}

HRESULT SoundBuffer::GetStatus(LPDWORD out) {
    HRESULT hr;
    if (Entered<"GetStatus">(&hr)) return hr;
    if (!out) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Sounds().lock);
    DWORD status = 0;
    if (voice.playing) status |= DSBSTATUS_PLAYING | (voice.looping ? DSBSTATUS_LOOPING : 0);
    if (!primary && memory->lost) status |= DSBSTATUS_BUFFERLOST;
    *out = status;
    return DS_OK;
}

HRESULT SoundBuffer::Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) {
    return Answer<"Initialize">(DSERR_ALREADYINITIALIZED);
}

// Hands out the memory from dwOffset on, in two parts when the range wraps past the end.
HRESULT SoundBuffer::Lock(DWORD offset, DWORD bytes, LPVOID* part1, LPDWORD bytes1, LPVOID* part2,
                          LPDWORD bytes2, DWORD lockFlags) {
    HRESULT hr;
    if (Entered<"Lock">(&hr)) return hr;
    if (!part1 || !bytes1) return DSERR_INVALIDPARAM;
    *part1 = nullptr;
    *bytes1 = 0;
    if (part2) *part2 = nullptr;
    if (bytes2) *bytes2 = 0;
    if (primary) return DSERR_PRIOLEVELNEEDED; // only DSSCL_WRITEPRIMARY writes the primary
    if (lockFlags & DSBLOCK_FROMWRITECURSOR) {
        DWORD play = 0;
        hr = GetCurrentPosition(nullptr, &play);
        if (FAILED(hr)) return hr;
        offset = play;
    }
    if (lockFlags & DSBLOCK_ENTIREBUFFER) bytes = memory->size;
    if (offset >= memory->size || bytes == 0 || bytes > memory->size) return DSERR_INVALIDPARAM;
    if (memory->lost) return DSERR_BUFFERLOST;
    DWORD first = std::min(bytes, memory->size - offset);
    *part1 = memory->bytes.get() + offset;
    *bytes1 = first;
    if (first < bytes && part2 && bytes2) {
        *part2 = memory->bytes.get();
        *bytes2 = bytes - first;
    }
    return DS_OK;
}

HRESULT SoundBuffer::Unlock(LPVOID part1, DWORD bytes1, LPVOID part2, DWORD bytes2) {
    HRESULT hr;
    if (Entered<"Unlock">(&hr)) return hr;
    const uint8_t* begin = memory->bytes.get();
    const uint8_t* end = begin + memory->size;
    auto inside = [&](LPVOID p, DWORD n) {
        auto* b = static_cast<const uint8_t*>(p);
        return !p ? n == 0 : (b >= begin && b <= end && n <= DWORD(end - b));
    };
    if (primary || !inside(part1, bytes1) || !inside(part2, bytes2)) return DSERR_INVALIDPARAM;
    return DS_OK;
}

HRESULT SoundBuffer::Play(DWORD reserved, DWORD priority, DWORD playFlags) {
    HRESULT hr;
    if (Entered<"Play">(&hr)) return hr;
    if (reserved != 0 || priority != 0) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Sounds().lock);
    if (primary) {
        if (!(playFlags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
        voice.playing = true;
        return DS_OK;
    }
    if (memory->lost) return DSERR_BUFFERLOST;
    // A buffer that played to its end plays again from its start, as DirectSound's does.
    if ((voice.position >> 32) >= voice.frames) voice.position = 0;
    voice.looping = (playFlags & DSBPLAY_LOOPING) != 0;
    voice.playing = true;
    return DS_OK;
}

HRESULT SoundBuffer::Stop() {
    HRESULT hr;
    if (Entered<"Stop">(&hr)) return hr;
    std::lock_guard<std::mutex> guard(Sounds().lock);
    voice.playing = false;
    return DS_OK;
}

HRESULT SoundBuffer::SetCurrentPosition(DWORD position) {
    HRESULT hr;
    if (Entered<"SetCurrentPosition">(&hr)) return hr;
    if (primary) return DSERR_INVALIDCALL;
    if (position >= memory->size) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Sounds().lock);
    voice.position = uint64_t(position / format.nBlockAlign) << 32;
    return DS_OK;
}

// The primary's format: what the program wishes the device to play; only at DSSCL_PRIORITY or
// above.
HRESULT SoundBuffer::SetFormat(LPCWAVEFORMATEX wanted) {
    HRESULT hr;
    if (Entered<"SetFormat">(&hr)) return hr;
    if (!primary) return DSERR_INVALIDCALL;
    if (!wanted) return DSERR_INVALIDPARAM;
    bool priority = false;
    {
        SoundSystem& s = Sounds();
        std::lock_guard<std::mutex> guard(s.lock);
        priority = s.primaryLevel >= DSSCL_PRIORITY;
    }
    if (!priority) return DSERR_PRIOLEVELNEEDED;
    const WAVEFORMATEX& f = *wanted;
    bool valid = f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
                 (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
                 f.nSamplesPerSec >= DSBFREQUENCY_MIN && f.nSamplesPerSec <= DSBFREQUENCY_MAX &&
                 f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
    if (!valid) return DSERR_BADFORMAT;
    format = f;
    format.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    format.cbSize = 0;
    return DS_OK;
}

HRESULT SoundBuffer::SetVolume(LONG level) {
    HRESULT hr;
    if (Entered<"SetVolume">(&hr)) return hr;
    if (!(flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (level < DSBVOLUME_MIN || level > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Sounds().lock);
    volume = level;
    UpdateGains();
    return DS_OK;
}

HRESULT SoundBuffer::SetPan(LONG level) {
    HRESULT hr;
    if (Entered<"SetPan">(&hr)) return hr;
    if (!(flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (level < DSBPAN_LEFT || level > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Sounds().lock);
    pan = level;
    UpdateGains();
    return DS_OK;
}

HRESULT SoundBuffer::SetFrequency(DWORD hertz) {
    HRESULT hr;
    if (Entered<"SetFrequency">(&hr)) return hr;
    if (primary || !(flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    if (hertz != DSBFREQUENCY_ORIGINAL && (hertz < DSBFREQUENCY_MIN || hertz > DSBFREQUENCY_MAX))
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(Sounds().lock);
    frequency = hertz;
    UpdateStep();
    return DS_OK;
}

// Gives lost memory back, with junk in it, once the program may be heard again.
HRESULT SoundBuffer::Restore() {
    HRESULT hr;
    if (Entered<"Restore">(&hr)) return hr;
    SoundSystem& s = Sounds();
    std::lock_guard<std::mutex> guard(s.lock);
    if (primary || !memory->lost) return DS_OK;
    if (s.takenAway || s.deviceLost) return DSERR_BUFFERLOST;
    uint32_t junk = 0x9E3779B9u;
    for (DWORD i = 0; i < memory->size; ++i) {
        junk = junk * 1664525u + 1013904223u;
        memory->bytes[i] = uint8_t(junk >> 24);
    }
    memory->lost = false;
    return DS_OK;
}

} // namespace tarn::platform
