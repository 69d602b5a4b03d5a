// MyFirstTarn: the demo program. It opens one borderless topmost window over the desktop, takes
// the display at 640 x 480 x 16 in exclusive full-screen mode, loads "landskap.bmp" and, while it
// is the active application, runs frames back to back: read the input, copy the picture into
// the back buffer, flip. Escape closes the window, which deletes the graphics objects and gives
// the display mode back. While inactive it draws nothing and sleeps in the message queue.
#include <windows.h>

#include <cstdio>

#include "display/TarnScreen.h"
#include "input/TarnInput.h"
#include "surface/TarnSurface.h"

static TarnInput g_Input;
static HWND g_Window = nullptr;
static TarnScreen* g_Screen = nullptr;
static TarnSurface* g_BackBuffer = nullptr;
static TarnSurface* g_Picture = nullptr;
static int g_Active = 0;
static int g_ExitCode = 0; // what WinMain returns when start-up fails

static const char* const APP_NAME = "MyFirstTarn";
static const char* const PICTURE_NAME = "landskap.bmp";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The picture and the back buffer go before the screen they belong to; the pointers are
// cleared so that nothing can draw with them afterwards.
static void ShutdownGraphics() {
    delete g_Picture;
    delete g_BackBuffer;
    delete g_Screen;
    g_Picture = nullptr;
    g_BackBuffer = nullptr;
    g_Screen = nullptr;
}

// A screen that cannot take the display is reported on standard error and to the debugger; the
// screen is deleted at once (which gives the display mode back) and start-up fails.
static BOOL InitGraphics() {
    g_Screen = new TarnScreen();
    int result = g_Screen->CreateFullScreen(g_Window, 640, 480, 16, 0);
    if (result != 0) {
        char text[96];
        std::snprintf(text, sizeof(text), "%s: CreateFullScreen failed with %d\n", APP_NAME,
                      result);
        std::fputs(text, stderr);
        OutputDebugStringA(text);
        delete g_Screen;
        g_Screen = nullptr;
        return FALSE;
    }
    g_Screen->GetBack()->FillSolid(0);
    g_Screen->GetFront()->FillSolid(0);
    g_BackBuffer = g_Screen->GetBack();
    g_Picture = new TarnSurface();
    g_Picture->Create(g_Screen, PICTURE_NAME, 2);
    return TRUE;
}

// The class has no icon resource of its own, so it falls back to the system's application icon.
static BOOL InitWindow(HINSTANCE instance, int showCommand) {
    WNDCLASSA wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(32512));
    if (wc.hIcon == nullptr) wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszMenuName = APP_NAME;
    wc.lpszClassName = APP_NAME;
    RegisterClassA(&wc);

    g_Window = CreateWindowExA(WS_EX_TOPMOST, APP_NAME, APP_NAME, WS_POPUP, 0, 0,
                               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                               nullptr, nullptr, instance, nullptr);
    if (g_Window == nullptr) return FALSE;
    ShowWindow(g_Window, showCommand);
    UpdateWindow(g_Window);

    if (!InitGraphics()) {
        g_ExitCode = 1;
        DestroyWindow(g_Window);
        return FALSE;
    }
    g_Input.Create(instance, g_Window);
    return TRUE;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        ShutdownGraphics();
        PostQuitMessage(0);
        break;
    case WM_ACTIVATEAPP:
        g_Active = static_cast<int>(wParam);
        break;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return TRUE;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The per-frame logic step; this program has none.
static void UpdateFrame() {}

static void DrawFrame() {
    g_Picture->CopyTo(g_BackBuffer, 0, 0, nullptr);
    g_Screen->Flip(1, 1, 0);
}

// Pending messages always go first; with none, a frame runs while active, otherwise the thread
// sleeps until the next message.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    if (!InitWindow(instance, showCommand)) return g_ExitCode;
    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, nullptr, 0, 0)) return static_cast<int>(msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (g_Active && g_Screen != nullptr) {
            g_Input.Update();
            UpdateFrame();
            DrawFrame();
        } else {
            WaitMessage();
        }
    }
}
