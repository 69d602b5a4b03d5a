/// @file
/// One music stream through a looping DirectSound ring buffer. Seen from the play cursor the
/// ring always holds, in order: silence already committed (silenceAhead), the music queued
/// (musicAhead), and silence for the rest; Update first moves this accounting on by what the
/// cursor passed, silences the stretch just played, then decodes more music behind what is
/// queued. Because everything outside the queue is silence, a stream whose Update comes late
/// falls silent instead of repeating old music, and carries on where it stopped.
#include "sound/TarnMusic.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD RING_SECONDS = 2;
constexpr DWORD QUEUE_DIVISOR = 4; // music queued ahead: a quarter of a second

DWORD Distance(DWORD from, DWORD to, DWORD ring) {
    return to >= from ? to - from : ring - from + to;
}

} // namespace

TarnMusic::TarnMusic() = default;

TarnMusic::~TarnMusic() {
    Close();
}

TarnMusic::TarnMusic(TarnMusic&& other) noexcept {
    TakeOver(other);
}

TarnMusic& TarnMusic::operator=(TarnMusic&& other) noexcept {
    if (this != &other) {
        Close();
        TakeOver(other);
    }
    return *this;
}

// Takes the stream, its ring and its place in the device's list; `other` is left closed.
void TarnMusic::TakeOver(TarnMusic& other) {
    audio = other.audio;
    decoder = other.decoder;
    buffer = other.buffer;
    state = other.state;
    looping = other.looping;
    ended = other.ended;
    ringBytes = other.ringBytes;
    blockAlign = other.blockAlign;
    targetBytes = other.targetBytes;
    lastPlay = other.lastPlay;
    writePos = other.writePos;
    silenceAhead = other.silenceAhead;
    musicAhead = other.musicAhead;
    framesHeard = other.framesHeard;
    volume = other.volume;
    fadeFrom = other.fadeFrom;
    fadeTo = other.fadeTo;
    fadeStart = other.fadeStart;
    fadeLength = other.fadeLength;
    fading = other.fading;
    if (audio) audio->Moved(&other, this);
    other.audio = nullptr;
    other.decoder = nullptr;
    other.buffer = nullptr;
    other.state = CLOSED;
    other.fading = false;
}

int TarnMusic::DeviceFailure() {
    return audio && audio->CheckLost() ? SOUND_NO_DEVICE : SOUND_DEVICE_ERROR;
}

void TarnMusic::Lose() {
    if (state == CLOSED) return;
    buffer->Stop();
    state = STOPPED;
    fading = false;
}

void TarnMusic::Detach() {
    if (buffer) {
        buffer->Stop();
        buffer->Release();
    }
    buffer = nullptr;
    delete decoder;
    decoder = nullptr;
    audio = nullptr;
    state = CLOSED;
}

void TarnMusic::Close() {
    if (audio) audio->Unregister(this);
    Detach();
}

int TarnMusic::Open(TarnAudio* target, const char* fileName) {
    Close();
    if (!target || !target->IsReady() || target->IsLost()) return SOUND_NO_DEVICE;
    const char* reason = nullptr;
    int code = SOUND_BAD_FORMAT;
    TarnAudioDecoder* opened = TarnAudioDecoder::OpenFile(fileName, &reason, &code);
    if (!opened) {
        char text[512];
        std::snprintf(text, sizeof text, "Error: TarnMusic - %s: %s.\n",
                      fileName ? fileName : "(null)", reason);
        OutputDebugStringA(text);
        return code;
    }
    WAVEFORMATEX format = TarnAudio::Pcm16(opened->Channels(), opened->Rate());
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
    desc.dwBufferBytes = format.nAvgBytesPerSec * RING_SECONDS;
    desc.lpwfxFormat = &format;
    LPDIRECTSOUNDBUFFER ring = nullptr;
    if (FAILED(target->device->CreateSoundBuffer(&desc, &ring, nullptr)) || !ring) {
        delete opened;
        if (target->CheckLost()) return SOUND_NO_DEVICE;
        OutputDebugStringA("Error: TarnMusic - no sound buffer for the stream.\n");
        return SOUND_NO_MEMORY;
    }
    decoder = opened;
    buffer = ring;
    audio = target;
    blockAlign = format.nBlockAlign;
    ringBytes = desc.dwBufferBytes;
    targetBytes = format.nAvgBytesPerSec / QUEUE_DIVISOR / blockAlign * blockAlign;
    state = STOPPED;
    audio->Register(this);
    ApplyVolume();
    return 0;
}

// Silence in the whole ring, nothing queued, the music to start at the write cursor.
bool TarnMusic::ResetRing() {
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    if (FAILED(buffer->Lock(0, ringBytes, &part1, &bytes1, &part2, &bytes2, DSBLOCK_ENTIREBUFFER)))
        return false;
    std::memset(part1, 0, bytes1);
    buffer->Unlock(part1, bytes1, part2, bytes2);
    DWORD play = 0, write = 0;
    if (FAILED(buffer->GetCurrentPosition(&play, &write))) return false;
    lastPlay = play;
    writePos = write;
    silenceAhead = Distance(play, write, ringBytes);
    musicAhead = 0;
    return true;
}

int TarnMusic::Play(DWORD flags) {
    if (state == CLOSED) return SOUND_NOT_LOADED;
    if (audio->IsLost()) return SOUND_NO_DEVICE;
    buffer->Stop();
    state = STOPPED;
    looping = (flags & TARN_SOUND_LOOP) != 0;
    ended = false;
    framesHeard = 0;
    if (decoder->Rewind() != 0) return SOUND_BAD_FORMAT;
    DWORD status = 0;
    if (SUCCEEDED(buffer->GetStatus(&status)) && (status & DSBSTATUS_BUFFERLOST) &&
        FAILED(buffer->Restore()))
        return DeviceFailure();
    if (FAILED(buffer->SetCurrentPosition(0)) || !ResetRing() || !Fill(0)) return DeviceFailure();
    if (ended && musicAhead == 0) return SOUND_BAD_FORMAT; // not one frame of sound in it
    if (FAILED(buffer->Play(0, 0, DSBPLAY_LOOPING))) return DeviceFailure();
    state = PLAYING;
    return 0;
}

int TarnMusic::Pause() {
    if (state == CLOSED) return SOUND_NOT_LOADED;
    if (audio->IsLost()) return SOUND_NO_DEVICE;
    if (state != PLAYING) return 0;
    Update(); // account for what was heard up to now; it may find the device gone
    if (state != PLAYING) return audio->IsLost() ? SOUND_NO_DEVICE : 0;
    buffer->Stop();
    state = PAUSED;
    return 0;
}

int TarnMusic::Resume() {
    if (state == CLOSED) return SOUND_NOT_LOADED;
    if (audio->IsLost()) return SOUND_NO_DEVICE;
    if (state != PAUSED) return 0;
    if (FAILED(buffer->Play(0, 0, DSBPLAY_LOOPING))) return DeviceFailure();
    state = PLAYING;
    return 0;
}

int TarnMusic::Stop() {
    if (state == CLOSED) return SOUND_NOT_LOADED;
    buffer->Stop();
    state = STOPPED;
    framesHeard = 0;
    return 0;
}

int TarnMusic::SetVolume(int newVolume) {
    if (newVolume < 0 || newVolume > SOUND_VOLUME_MAX) return SOUND_BAD_ARGUMENT;
    fading = false;
    volume = newVolume;
    if (state == CLOSED) return SOUND_NOT_LOADED;
    ApplyVolume();
    return 0;
}

int TarnMusic::FadeTo(int newVolume, DWORD milliseconds) {
    if (newVolume < 0 || newVolume > SOUND_VOLUME_MAX) return SOUND_BAD_ARGUMENT;
    if (state == CLOSED) return SOUND_NOT_LOADED;
    if (milliseconds == 0) return SetVolume(newVolume);
    fadeFrom = volume;
    fadeTo = newVolume;
    fadeStart = timeGetTime();
    fadeLength = milliseconds;
    fading = true;
    return 0;
}

void TarnMusic::ApplyVolume() {
    if (!buffer || !audio) return;
    buffer->SetVolume(TarnVolumeToDecibels(volume * audio->MasterVolume() / SOUND_VOLUME_MAX));
}

DWORD TarnMusic::Position() {
    if (state == CLOSED || !decoder) return 0;
    uint64_t frames = framesHeard;
    if (state == PLAYING) {
        DWORD play = 0;
        if (SUCCEEDED(buffer->GetCurrentPosition(&play, nullptr))) {
            DWORD passed = Distance(lastPlay, play, ringBytes);
            passed -= std::min(passed, silenceAhead);
            frames += std::min(passed, musicAhead) / blockAlign;
        }
    }
    uint32_t length = decoder->Frames();
    if (looping && length) frames %= length;
    return DWORD(frames * 1000 / uint64_t(decoder->Rate()));
}

void TarnMusic::Advance(DWORD play) {
    DWORD passed = Distance(lastPlay, play, ringBytes);
    DWORD justPlayed = passed;
    DWORD s = std::min(passed, silenceAhead);
    silenceAhead -= s;
    passed -= s;
    DWORD m = std::min(passed, musicAhead);
    musicAhead -= m;
    passed -= m;
    framesHeard += m / blockAlign;
    // The stretch just played becomes silence, so that nothing old is heard again.
    if (justPlayed > 0) {
        void* part1 = nullptr;
        void* part2 = nullptr;
        DWORD bytes1 = 0, bytes2 = 0;
        if (SUCCEEDED(buffer->Lock(lastPlay, justPlayed, &part1, &bytes1, &part2, &bytes2, 0))) {
            std::memset(part1, 0, bytes1);
            if (part2) std::memset(part2, 0, bytes2);
            buffer->Unlock(part1, bytes1, part2, bytes2);
        }
    }
    if (passed > 0) {
        // Starved: the cursor ran past the music into silence. The music carries on at the
        // write cursor, after the silence between it and the play cursor.
        DWORD write = play;
        buffer->GetCurrentPosition(nullptr, &write);
        writePos = write;
        silenceAhead = Distance(play, write, ringBytes);
    }
    lastPlay = play;
}

// Decodes music behind what is queued until a quarter of a second is queued; a looping stream
// starts its decoder again at the end, so the loop has no gap. A stream that yields nothing
// right after it started again (its length claimed more than it holds) ends there.
bool TarnMusic::Fill(DWORD) {
    bool rewound = false; // the decoder started again and has given nothing since
    while (!ended && silenceAhead + musicAhead < targetBytes) {
        DWORD want = targetBytes - silenceAhead - musicAhead;
        void* part1 = nullptr;
        void* part2 = nullptr;
        DWORD bytes1 = 0, bytes2 = 0;
        if (FAILED(buffer->Lock(writePos, want, &part1, &bytes1, &part2, &bytes2, 0))) return false;
        DWORD written = 0;
        void* parts[2] = {part1, part2};
        DWORD sizes[2] = {bytes1, part2 ? bytes2 : 0};
        for (int p = 0; p < 2 && !ended; ++p) {
            DWORD done = 0;
            while (done < sizes[p] && !ended) {
                int frames = int((sizes[p] - done) / blockAlign);
                if (frames == 0) break;
                int n = decoder->Read(
                    reinterpret_cast<int16_t*>(static_cast<uint8_t*>(parts[p]) + done), frames);
                if (n > 0) {
                    done += DWORD(n) * blockAlign;
                    rewound = false;
                } else if (n == 0 && looping && !rewound && decoder->Rewind() == 0) {
                    rewound = true;
                } else {
                    ended = true; // the end, or data that turned out broken: what came plays
                }
            }
            written += done;
            if (done < sizes[p]) break;
        }
        buffer->Unlock(part1, bytes1, part2, bytes2);
        musicAhead += written;
        writePos = (writePos + written) % ringBytes;
        if (written == 0) break;
    }
    return true;
}

void TarnMusic::Update() {
    if (state == CLOSED || !buffer) return;
    if (fading) {
        DWORD elapsed = timeGetTime() - fadeStart;
        if (elapsed >= fadeLength) {
            volume = fadeTo;
            fading = false;
        } else {
            volume = fadeFrom + int((int64_t(fadeTo - fadeFrom) * elapsed) / fadeLength);
        }
        ApplyVolume();
    }
    if (state != PLAYING) return;
    DWORD status = 0;
    if (FAILED(buffer->GetStatus(&status))) return;
    if (status & DSBSTATUS_BUFFERLOST) {
        // Back from the background: the ring comes back with junk; what was queued is lost.
        // Still away, it waits; a device gone for good ends the music (CheckLost stops it).
        if (FAILED(buffer->Restore())) {
            audio->CheckLost();
            return;
        }
        if (!ResetRing()) return;
        Fill(0);
        buffer->Play(0, 0, DSBPLAY_LOOPING);
        return;
    }
    DWORD play = 0;
    if (FAILED(buffer->GetCurrentPosition(&play, nullptr))) return;
    Advance(play);
    Fill(play);
    if (ended && musicAhead == 0) {
        buffer->Stop();
        state = STOPPED;
    }
}
