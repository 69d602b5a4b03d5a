// A short Tarn program: a window, a windowed screen on it, a picture (the file named on the
// command line) copied into the back buffer and presented for a few frames, then a clean end.
// It opens the sound device on the window too and updates it each frame; a machine without one
// is no failure (the program goes on silent and says so).
// It says what it did on standard output and exits 0, or names the step that failed and exits 1.
#include <windows.h>

#include <cstdio>

#include "TarnVersion.h"
#include "display/TarnScreen.h"
#include "sound/TarnSound.h"
#include "surface/TarnSurface.h"

static const int FRAMES = 10;

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

static int Fail(const char* step, int result) {
    std::printf("consumer: %s failed (%d)\n", step, result);
    return 1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "TarnConsumer";
    if (!RegisterClassA(&wc)) return Fail("RegisterClassA", 0);
    HWND window = CreateWindowExA(0, "TarnConsumer", "Tarn consumer", WS_OVERLAPPEDWINDOW, 0, 0,
                                  320, 240, nullptr, nullptr, instance, nullptr);
    if (!window) return Fail("CreateWindowExA", 0);
    ShowWindow(window, showCommand);

    int status = 0;
    TarnScreen* screen = new TarnScreen;
    TarnSurface* picture = new TarnSurface;
    TarnAudio audio;
    const bool sound = audio.Create(window) == 0;
    if (int result = screen->CreateWindowed(window, 320, 240); result != 0) {
        status = Fail("CreateWindowed", result);
    } else if (int loaded = picture->Create(screen, commandLine, 2); loaded != 1) {
        status = Fail("loading the picture", loaded);
    } else {
        for (int frame = 0; frame < FRAMES; ++frame) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            picture->CopyTo(screen->GetBack(), 0, 0, nullptr);
            screen->Flip(0, 1, 0);
            audio.Update();
        }
        std::printf("consumer: Tarn %s, %d frames of %s (%s)\n", TARN_VERSION_STRING, FRAMES,
                    commandLine, sound ? "sound device open" : "no sound device");
    }
    // Surfaces go before their screen, the sound device before its window.
    audio.Release();
    delete picture;
    delete screen;
    DestroyWindow(window);
    return status;
}
