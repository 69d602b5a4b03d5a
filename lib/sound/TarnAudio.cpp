/// @file
/// The program's sound device: DirectSound opened at the priority level with a 44.1 kHz 16-bit
/// stereo primary buffer, the volume laws that turn Tarn's 0 .. 256 scales into DirectSound's
/// hundredths of a decibel, and the once-a-frame Update of everything made on the device.
#include "sound/TarnAudio.h"

#include "sound/TarnMusic.h"
#include "sound/TarnSound.h"

#include <algorithm>
#include <cmath>

LONG TarnVolumeToDecibels(int volume) {
    if (volume <= 0) return DSBVOLUME_MIN;
    if (volume >= SOUND_VOLUME_MAX) return DSBVOLUME_MAX;
    double level = 2000.0 * std::log10(double(volume) / SOUND_VOLUME_MAX);
    return std::max<LONG>(DSBVOLUME_MIN, LONG(std::lround(level)));
}

LONG TarnPanToDecibels(int pan) {
    pan = std::clamp(pan, SOUND_PAN_LEFT, SOUND_PAN_RIGHT);
    // Panned right, the left side is attenuated by the volume law, and DirectSound's pan is
    // that attenuation, positive; panned left, the same for the right side, negative.
    LONG attenuation = -TarnVolumeToDecibels(SOUND_VOLUME_MAX - std::abs(pan));
    return pan >= 0 ? attenuation : -attenuation;
}

WAVEFORMATEX TarnAudio::Pcm16(int channels, int rate) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = WORD(channels);
    format.nSamplesPerSec = DWORD(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = WORD(2 * channels);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    return format;
}

TarnAudio::TarnAudio() = default;

TarnAudio::~TarnAudio() {
    Release();
}

TarnAudio::TarnAudio(TarnAudio&& other) noexcept {
    TakeOver(other);
}

TarnAudio& TarnAudio::operator=(TarnAudio&& other) noexcept {
    if (this != &other) {
        Release();
        TakeOver(other);
    }
    return *this;
}

// Moves the device and the registrations over; what was made on the device follows it here.
void TarnAudio::TakeOver(TarnAudio& other) {
    device = other.device;
    primary = other.primary;
    masterVolume = other.masterVolume;
    lost = other.lost;
    saidNoDevice = other.saidNoDevice;
    sounds = std::move(other.sounds);
    musics = std::move(other.musics);
    for (TarnSound* sound : sounds) sound->audio = this;
    for (TarnMusic* music : musics) music->audio = this;
    other.device = nullptr;
    other.primary = nullptr;
    other.lost = false;
    other.sounds.clear();
    other.musics.clear();
}

int TarnAudio::Create(HWND window) {
    Release();
    LPDIRECTSOUND created = nullptr;
    HRESULT hr = DirectSoundCreate(nullptr, &created, nullptr);
    if (FAILED(hr) || !created) {
        // Said once: a program that opens its window again (a switch to full screen) asks again.
        if (!saidNoDevice)
            OutputDebugStringA("Error: TarnAudio - no sound device, the program goes on silent.\n");
        saidNoDevice = true;
        return SOUND_NO_DEVICE;
    }
    if (FAILED(created->SetCooperativeLevel(window, DSSCL_PRIORITY))) {
        OutputDebugStringA("Error: TarnAudio - the sound device refused the cooperative level.\n");
        created->Release();
        return SOUND_NO_DEVICE;
    }
    device = created;
    // The primary buffer sets the device's format; a device that keeps its own still plays.
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (SUCCEEDED(device->CreateSoundBuffer(&desc, &primary, nullptr)) && primary) {
        const WAVEFORMATEX format = Pcm16(2, 44100);
        if (FAILED(primary->SetFormat(&format)))
            OutputDebugStringA("TarnAudio - the sound device keeps its own format.\n");
    } else {
        primary = nullptr;
    }
    return 0;
}

int TarnAudio::SetWindow(HWND window) {
    if (!device) return SOUND_NO_DEVICE;
    return FAILED(device->SetCooperativeLevel(window, DSSCL_PRIORITY)) ? SOUND_DEVICE_ERROR : 0;
}

void TarnAudio::Release() {
    // What was made on the device lets go of its buffers first.
    for (TarnMusic* music : std::vector<TarnMusic*>(musics)) music->Detach();
    for (TarnSound* sound : std::vector<TarnSound*>(sounds)) sound->Detach();
    musics.clear();
    sounds.clear();
    if (primary) primary->Release();
    primary = nullptr;
    if (device) device->Release();
    device = nullptr;
    lost = false;
}

bool TarnAudio::CheckLost() {
    if (!device) return false;
    if (lost) return true;
    // DirectSound answers DSERR_NODRIVER once its device was removed; a buffer that is only
    // taken away while the program is in the background leaves the device answering.
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    if (device->GetCaps(&caps) != DSERR_NODRIVER) return false;
    lost = true;
    OutputDebugStringA(
        "Error: TarnAudio - the sound device is gone, the program goes on silent.\n");
    for (TarnMusic* music : musics) music->Lose();
    for (TarnSound* sound : sounds) sound->Stop();
    return true;
}

void TarnAudio::Update() {
    if (!device || lost) return;
    for (TarnMusic* music : musics) music->Update();
    for (TarnSound* sound : sounds)
        if (!lost && !sound->RestoreIfLost()) CheckLost();
}

void TarnAudio::SetMasterVolume(int volume) {
    masterVolume = std::clamp(volume, 0, SOUND_VOLUME_MAX);
    for (TarnMusic* music : musics) music->ApplyVolume();
    for (TarnSound* sound : sounds) sound->ApplyMasterVolume();
}

void TarnAudio::Register(TarnSound* sound) {
    if (std::find(sounds.begin(), sounds.end(), sound) == sounds.end()) sounds.push_back(sound);
}
void TarnAudio::Unregister(TarnSound* sound) {
    sounds.erase(std::remove(sounds.begin(), sounds.end(), sound), sounds.end());
}
void TarnAudio::Register(TarnMusic* music) {
    if (std::find(musics.begin(), musics.end(), music) == musics.end()) musics.push_back(music);
}
void TarnAudio::Unregister(TarnMusic* music) {
    musics.erase(std::remove(musics.begin(), musics.end(), music), musics.end());
}
void TarnAudio::Moved(TarnSound* from, TarnSound* to) {
    std::replace(sounds.begin(), sounds.end(), from, to);
}
void TarnAudio::Moved(TarnMusic* from, TarnMusic* to) {
    std::replace(musics.begin(), musics.end(), from, to);
}
