// tarnsnd: look at, convert or play sound files with the library's own decoders.
//
//   tarnsnd info FILE          the format, rate, channels and length
//   tarnsnd convert IN OUT.wav decode IN and write it as a 16-bit PCM WAV file, same rate and
//                              channels
//   tarnsnd play FILE          play FILE through the machine's sound device until its end (an
//                              error when the device goes away before)
//   tarnsnd --version          the library's version
//
// Exit 0 on success; otherwise one line naming the file and the reason on standard error, exit 1.
#include "sound/TarnAudioDecoder.h"
#include "sound/TarnMusic.h"

#include "TarnVersion.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

int Fail(const char* file, const char* reason) {
    std::fprintf(stderr, "tarnsnd: %s: %s\n", file, reason);
    return 1;
}

int Usage() {
    std::fprintf(stderr, "usage: tarnsnd info FILE | convert IN OUT.wav | play FILE | --version\n");
    return 2;
}

int Info(const char* file) {
    const char* reason = nullptr;
    std::unique_ptr<TarnAudioDecoder> decoder(TarnAudioDecoder::OpenFile(file, &reason));
    if (!decoder) return Fail(file, reason);
    std::printf("%s: %s, %d Hz, %d channel%s, %.3f s (%u frames)\n", file,
                TarnAudioDecoder::FormatName(decoder->Format()), decoder->Rate(),
                decoder->Channels(), decoder->Channels() == 1 ? "" : "s",
                double(decoder->Frames()) / decoder->Rate(), decoder->Frames());
    return 0;
}

int Convert(const char* in, const char* out) {
    const char* reason = nullptr;
    std::unique_ptr<TarnAudioDecoder> decoder(TarnAudioDecoder::OpenFile(in, &reason));
    if (!decoder) return Fail(in, reason);
    std::vector<int16_t> samples;
    if (!TarnAudioDecoder::DecodeAll(decoder.get(), &samples))
        return Fail(in, "the sound is broken or too long");
    uint32_t frames = uint32_t(samples.size() / size_t(decoder->Channels()));
    if (FAILED(TarnSaveWave(out, samples.data(), frames, decoder->Channels(), decoder->Rate())))
        return Fail(out, "cannot write the file");
    return 0;
}

// Plays the file as music, updating the device every 10 ms, until it ends.
int Play(const char* file) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "tarnsnd";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "tarnsnd", "tarnsnd", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return Fail(file, "no window for the sound device");
    TarnAudio audio;
    if (audio.Create(window) != 0) return Fail(file, "no sound device");
    TarnMusic music;
    int result = music.Open(&audio, file);
    if (result == SOUND_FILE_ERROR) return Fail(file, "cannot open the file");
    if (result == SOUND_NO_MEMORY) return Fail(file, "out of memory");
    if (result == SOUND_NO_DEVICE) return Fail(file, "the sound device went away");
    if (result != 0) return Fail(file, "not a sound file this library reads");
    result = music.Play();
    if (result == SOUND_BAD_FORMAT) return Fail(file, "the sound in it is broken");
    if (result != 0) return Fail(file, "the sound device refused to play it");
    while (music.IsPlaying()) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        audio.Update();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The music ends early when the device goes away for good (unplugged).
    if (audio.IsLost()) return Fail(file, "the sound device went away");
    // What was mixed last is still in the device's own buffer: let it out.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    music.Close();
    audio.Release();
    DestroyWindow(window);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tarnsnd %s\n", TARN_VERSION_STRING);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "info") == 0) return Info(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "convert") == 0) return Convert(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "play") == 0) return Play(argv[2]);
    return Usage();
}
