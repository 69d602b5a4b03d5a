// tarninputprobe: shows what TarnInput sees. It opens one window over the desktop, creates the
// input object on it and, while it is the active application, updates the input about a hundred
// times a second and prints every change on standard output, one line each:
//   ready                              input created and the window active
//   key CODE NAME pressed|released     a key, mouse button or joystick button changed
//   mouse DX DY                        the mouse moved (scaled motion of one update)
//   wheel up|down NOTCHES              the wheel turned
//   inactive / active                  the window lost or got back the foreground
// Escape ends it with exit code 0; after 60 seconds it gives up with exit code 2.
// The end-to-end input test drives it with xdotool.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "input/TarnInput.h"

namespace {

const char* const kTitle = "TarnInputProbe";
BOOL g_Active = FALSE;

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATEAPP:
        g_Active = (BOOL)wParam;
        std::printf(g_Active ? "active\n" : "inactive\n");
        std::fflush(stdout);
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Prints what changed in the input object since the last update.
void Report(const TarnInput& input) {
    for (DWORD code = 0; code < KEY_CODE_COUNT; ++code) {
        BYTE state = input.keyState[code];
        if (state == KEY_PRESSED || state == KEY_RELEASED) {
            std::printf("key %lu %s %s\n", (unsigned long)code, input.keyNames[code],
                        state == KEY_PRESSED ? "pressed" : "released");
        }
    }
    if (input.mouseDeltaX != 0 || input.mouseDeltaY != 0)
        std::printf("mouse %ld %ld\n", (long)input.mouseDeltaX, (long)input.mouseDeltaY);
    if (input.wheelUp) std::printf("wheel up %d\n", input.wheelUpCount);
    if (input.wheelDown) std::printf("wheel down %d\n", input.wheelDownCount);
    std::fflush(stdout);
}

} // namespace

int main() {
    static TarnInput input;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = instance;
    wc.lpszClassName = kTitle;
    RegisterClassA(&wc);
    HWND window =
        CreateWindowExA(0, kTitle, kTitle, WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                        GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
    if (!window) {
        std::fprintf(stderr, "tarninputprobe: cannot create a window\n");
        return 1;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    HRESULT created = input.Create(instance, window);
    if (FAILED(created)) {
        std::fprintf(stderr, "tarninputprobe: TarnInput::Create failed with 0x%08lx\n",
                     (unsigned long)created);
        DestroyWindow(window);
        return 1;
    }

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool announced = false;
    MSG msg;
    for (;;) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "tarninputprobe: no Escape within 60 s\n");
            return 2;
        }
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, nullptr, 0, 0)) return (int)msg.wParam;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (!g_Active) {
            WaitMessage();
            continue;
        }
        input.Update();
        if (!announced) { // the first update after becoming active
            std::printf("ready\n");
            announced = true;
        }
        Report(input);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
