/// @file
/// One sound effect: decoded whole, copied into one DirectSound buffer, and played on that
/// buffer and up to seven duplicates of it (made when first needed, sharing its memory). A voice
/// number carries the voice's slot and how often the slot was started, so a number kept after its
/// voice was taken over no longer reaches the new sound. The decoded samples stay in memory so
/// that a buffer DirectSound lost can be refilled.
#include "sound/TarnSound.h"

#include "sound/TarnAudioDecoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int VOICE_SLOT_BITS = 3; // SOUND_VOICES == 1 << VOICE_SLOT_BITS
constexpr int VOICE_GENERATIONS = 1 << 20;

void Complain(const char* fileName, const char* reason) {
    char text[512];
    std::snprintf(text, sizeof text, "Error: TarnSound - %s: %s.\n", fileName ? fileName : "(null)",
                  reason);
    OutputDebugStringA(text);
}

} // namespace

TarnSound::TarnSound() = default;

TarnSound::~TarnSound() {
    Release();
}

TarnSound::TarnSound(TarnSound&& other) noexcept {
    TakeOver(other);
}

TarnSound& TarnSound::operator=(TarnSound&& other) noexcept {
    if (this != &other) {
        Release();
        TakeOver(other);
    }
    return *this;
}

// Takes the buffers, the samples and the place in the device's list; `other` is left empty.
void TarnSound::TakeOver(TarnSound& other) {
    samples = std::move(other.samples);
    rate = other.rate;
    channels = other.channels;
    for (int i = 0; i < SOUND_VOICES; ++i) {
        voices[i] = other.voices[i];
        other.voices[i] = Voice{};
    }
    plays = other.plays;
    audio = other.audio;
    if (audio) audio->Moved(&other, this);
    other.audio = nullptr;
    other.samples.clear();
    other.rate = other.channels = 0;
    other.plays = 0;
}

int TarnSound::DeviceFailure() {
    return audio && audio->CheckLost() ? SOUND_NO_DEVICE : SOUND_DEVICE_ERROR;
}

void TarnSound::Detach() {
    for (Voice& v : voices) {
        if (v.buffer) {
            v.buffer->Stop();
            v.buffer->Release();
        }
        v = Voice{};
    }
    audio = nullptr;
}

void TarnSound::Release() {
    if (audio) audio->Unregister(this);
    Detach();
    samples.clear();
    samples.shrink_to_fit();
    rate = channels = 0;
}

int TarnSound::Load(TarnAudio* target, const char* fileName) {
    Release();
    if (!target || !target->IsReady() || target->IsLost()) return SOUND_NO_DEVICE;
    const char* reason = nullptr;
    int code = SOUND_BAD_FORMAT;
    std::unique_ptr<TarnAudioDecoder> decoder(TarnAudioDecoder::OpenFile(fileName, &reason, &code));
    if (!decoder) {
        Complain(fileName, reason);
        return code;
    }
    std::vector<int16_t> decoded;
    if (!TarnAudioDecoder::DecodeAll(decoder.get(), &decoded, &code)) {
        Complain(fileName,
                 code == SOUND_NO_MEMORY ? "out of memory" : "the sound is broken or too long");
        return code;
    }
    WAVEFORMATEX format = TarnAudio::Pcm16(decoder->Channels(), decoder->Rate());
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY |
                   DSBCAPS_GETCURRENTPOSITION2;
    desc.dwBufferBytes = DWORD(decoded.size() * sizeof(int16_t));
    desc.lpwfxFormat = &format;
    LPDIRECTSOUNDBUFFER buffer = nullptr;
    if (FAILED(target->device->CreateSoundBuffer(&desc, &buffer, nullptr)) || !buffer) {
        if (target->CheckLost()) return SOUND_NO_DEVICE;
        Complain(fileName, "no sound buffer for it");
        return SOUND_NO_MEMORY;
    }
    samples = std::move(decoded);
    rate = decoder->Rate();
    channels = decoder->Channels();
    voices[0].buffer = buffer;
    audio = target;
    if (!Refill()) {
        Complain(fileName, "the sound buffer cannot be filled");
        int result = DeviceFailure();
        Release();
        return result;
    }
    audio->Register(this);
    return 0;
}

// Copies the decoded sound into the buffer (the duplicates share its memory).
bool TarnSound::Refill() {
    LPDIRECTSOUNDBUFFER buffer = voices[0].buffer;
    if (!buffer) return false;
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    DWORD size = DWORD(samples.size() * sizeof(int16_t));
    if (FAILED(buffer->Lock(0, size, &part1, &bytes1, &part2, &bytes2, DSBLOCK_ENTIREBUFFER)))
        return false;
    std::memcpy(part1, samples.data(), std::min(bytes1, size));
    buffer->Unlock(part1, bytes1, part2, bytes2);
    return true;
}

// A buffer lost while the program was away comes back with junk in it: restore and refill.
bool TarnSound::RestoreIfLost() {
    LPDIRECTSOUNDBUFFER buffer = voices[0].buffer;
    if (!buffer) return false;
    DWORD status = 0;
    if (FAILED(buffer->GetStatus(&status))) return false;
    if (!(status & DSBSTATUS_BUFFERLOST)) return true;
    if (FAILED(buffer->Restore())) return false;
    return Refill();
}

// A voice number names a slot and the generation of its start; generation 0 was never
// started, and a voice that ended (or was stopped) is no longer reached.
TarnSound::Voice* TarnSound::Find(int voice) {
    if (voice < 0 || !audio) return nullptr;
    Voice& v = voices[voice & (SOUND_VOICES - 1)];
    if (!v.buffer || v.generation == 0 || v.generation != (voice >> VOICE_SLOT_BITS))
        return nullptr;
    DWORD status = 0;
    if (FAILED(v.buffer->GetStatus(&status)) || !(status & DSBSTATUS_PLAYING)) return nullptr;
    return &v;
}

int TarnSound::Play(int volume, int pan, DWORD flags) {
    if (!audio) return SOUND_NOT_LOADED;
    if (!audio->IsReady() || audio->IsLost()) return SOUND_NO_DEVICE;
    if (volume < 0 || volume > SOUND_VOLUME_MAX || pan < SOUND_PAN_LEFT || pan > SOUND_PAN_RIGHT)
        return SOUND_BAD_ARGUMENT;
    if (!RestoreIfLost()) return DeviceFailure();
    // A free voice, or else the one that started first.
    int slot = -1;
    for (int i = 0; i < SOUND_VOICES && slot < 0; ++i) {
        DWORD status = 0;
        if (!voices[i].buffer) {
            if (SUCCEEDED(
                    audio->device->DuplicateSoundBuffer(voices[0].buffer, &voices[i].buffer)) &&
                voices[i].buffer)
                slot = i;
            else
                voices[i].buffer = nullptr;
        } else if (SUCCEEDED(voices[i].buffer->GetStatus(&status)) &&
                   !(status & DSBSTATUS_PLAYING)) {
            slot = i;
        }
    }
    if (slot < 0) {
        slot = 0;
        for (int i = 1; i < SOUND_VOICES; ++i)
            if (voices[i].buffer && voices[i].started < voices[slot].started) slot = i;
    }
    Voice& v = voices[slot];
    v.buffer->Stop();
    v.buffer->SetCurrentPosition(0);
    v.volume = volume;
    v.buffer->SetVolume(TarnVolumeToDecibels(volume * audio->MasterVolume() / SOUND_VOLUME_MAX));
    v.buffer->SetPan(TarnPanToDecibels(pan));
    v.buffer->SetFrequency(DSBFREQUENCY_ORIGINAL);
    if (FAILED(v.buffer->Play(0, 0, (flags & TARN_SOUND_LOOP) ? DSBPLAY_LOOPING : 0)))
        return DeviceFailure();
    v.started = ++plays;
    v.generation = v.generation % (VOICE_GENERATIONS - 1) + 1; // 1 .. VOICE_GENERATIONS - 1
    return (v.generation << VOICE_SLOT_BITS) | slot;
}

void TarnSound::Stop() {
    for (Voice& v : voices)
        if (v.buffer) v.buffer->Stop();
}

int TarnSound::StopVoice(int voice) {
    if (!audio) return SOUND_NOT_LOADED;
    Voice* v = Find(voice);
    if (!v) return SOUND_BAD_VOICE;
    return SUCCEEDED(v->buffer->Stop()) ? 0 : SOUND_DEVICE_ERROR;
}

int TarnSound::SetVoiceVolume(int voice, int volume) {
    if (!audio) return SOUND_NOT_LOADED;
    Voice* v = Find(voice);
    if (!v) return SOUND_BAD_VOICE;
    if (volume < 0 || volume > SOUND_VOLUME_MAX) return SOUND_BAD_ARGUMENT;
    v->volume = volume;
    LONG level = TarnVolumeToDecibels(volume * audio->MasterVolume() / SOUND_VOLUME_MAX);
    return SUCCEEDED(v->buffer->SetVolume(level)) ? 0 : SOUND_DEVICE_ERROR;
}

int TarnSound::SetVoicePan(int voice, int pan) {
    if (!audio) return SOUND_NOT_LOADED;
    Voice* v = Find(voice);
    if (!v) return SOUND_BAD_VOICE;
    if (pan < SOUND_PAN_LEFT || pan > SOUND_PAN_RIGHT) return SOUND_BAD_ARGUMENT;
    return SUCCEEDED(v->buffer->SetPan(TarnPanToDecibels(pan))) ? 0 : SOUND_DEVICE_ERROR;
}

int TarnSound::SetVoiceFrequency(int voice, DWORD hertz) {
    if (!audio) return SOUND_NOT_LOADED;
    Voice* v = Find(voice);
    if (!v) return SOUND_BAD_VOICE;
    if (hertz != 0 && (hertz < DSBFREQUENCY_MIN || hertz > DSBFREQUENCY_MAX))
        return SOUND_BAD_ARGUMENT;
    return SUCCEEDED(v->buffer->SetFrequency(hertz)) ? 0 : SOUND_DEVICE_ERROR;
}

bool TarnSound::IsPlaying() {
    for (Voice& v : voices) {
        DWORD status = 0;
        if (v.buffer && SUCCEEDED(v.buffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING))
            return true;
    }
    return false;
}

void TarnSound::ApplyMasterVolume() {
    if (!audio) return;
    for (Voice& v : voices)
        if (v.buffer)
            v.buffer->SetVolume(
                TarnVolumeToDecibels(v.volume * audio->MasterVolume() / SOUND_VOLUME_MAX));
}
