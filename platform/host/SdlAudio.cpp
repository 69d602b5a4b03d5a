// The SDL2 host's sound: one SDL audio device, 16-bit stereo at the rate asked for, with a
// period of at most 1024 frames (about 23 ms at 44.1 kHz) so that a sound starts soon after the
// program asks for it. SDL converts if the card wants another format; its callback, on SDL's
// audio thread, pulls the mixed frames from the stand-in's mixer. A device that stops (unplugged)
// is reported as lost.
#include "host/SdlAudio.h"

#include <SDL.h>

#include <cstdio>

namespace tarn::platform {
namespace {

SDL_AudioDeviceID g_device = 0;
AudioPull g_pull = nullptr;
void* g_context = nullptr;
bool g_saidNoSound = false; // the missing device is said once, however often it is asked for

void SayNoSound(const char* what) {
    if (g_saidNoSound) return;
    g_saidNoSound = true;
    std::fprintf(stderr, "tarn: %s: %s\n", what, SDL_GetError());
}

void SDLCALL Callback(void*, Uint8* stream, int bytes) {
    g_pull(g_context, reinterpret_cast<int16_t*>(stream), bytes / 4);
}

} // namespace

bool SdlOpenAudio(int rate, AudioPull pull, void* context) {
    if (g_device || !pull || rate <= 0) return false;
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        SayNoSound("no sound");
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    while (want.samples > 64 && want.samples * 44100 > 1024 * rate) want.samples /= 2;
    want.callback = &Callback;
    g_pull = pull;
    g_context = context;
    SDL_AudioSpec have{};
    g_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!g_device) {
        SayNoSound("no sound device");
        g_pull = nullptr;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(g_device, 0);
    return true;
}

void SdlCloseAudio() {
    if (!g_device) return;
    SDL_CloseAudioDevice(g_device);
    g_device = 0;
    g_pull = nullptr;
    g_context = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlAudioLost() {
    return g_device && SDL_GetAudioDeviceStatus(g_device) != SDL_AUDIO_PLAYING;
}

} // namespace tarn::platform
