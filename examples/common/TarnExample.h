// The frame every example shares, so that each example's own file holds only its one idea: a
// window of 640 x 480 (or the full screen with --fullscreen), a TarnScreen on it, TarnInput, and
// a loop that reads the input, lets the example draw its frame into the back buffer and
// presents it. F11 switches between window and full screen; Escape (or closing the window) ends
// the program with exit code 0.
//
// An example derives from tarn_example::Program and calls tarn_example::Run from its WinMain.
// Switching modes makes a new window, screen and input, so the example's surfaces are made in
// Load and deleted in Unload, which the frame calls around every switch. Load also runs after
// the program had lost the display (another program took the foreground, or the system took
// the display away), because surfaces the example drew itself (CreateBlank) lose their pixels
// with the display; pictures loaded from files would come back by themselves.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "display/TarnScreen.h"
#include "input/TarnInput.h"
#include "surface/TarnSurface.h"

namespace tarn_example {

const int WIDTH = 640;
const int HEIGHT = 480;

class Program {
public:
    virtual ~Program() = default;
    // Makes the example's surfaces on a new screen; false ends the program with exit code 1.
    virtual bool Load(TarnScreen* screen) { return screen != nullptr; }
    // Deletes them: the screen goes next.
    virtual void Unload() {}
    // One frame: the input has been read; draw the back buffer.
    virtual void Frame(TarnScreen* screen, TarnInput& input) = 0;

    int fullScreenDepth = 16; // bits per pixel in full screen; SwitchTo changes it
    // Asks for full screen at `depth` bits (or the window, depth 0) from the next frame on.
    void SwitchTo(int depth) { wanted = depth; }
    int wanted = -1; // read by the frame: -1 no change, 0 window, else full screen at that depth
};

// The command line's words; a quoted word keeps its spaces. "--fullscreen" is taken out and
// sets *fullScreen.
inline std::vector<std::string> Arguments(const char* commandLine, bool* fullScreen) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (const char* c = commandLine ? commandLine : "";; ++c) {
        if (*c == '"') {
            quoted = !quoted;
            any = true;
        } else if (*c != '\0' && (quoted || (*c != ' ' && *c != '\t'))) {
            word += *c;
            any = true;
        } else if (any) {
            if (word == "--fullscreen")
                *fullScreen = true;
            else
                words.push_back(word);
            word.clear();
            any = false;
        }
        if (*c == '\0') return words;
    }
}

// Writes printf-style text at (x, y) through the surface's device context.
inline void Text(TarnSurface* surface, int x, int y, COLORREF colour, const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (surface->GetDC() == nullptr) return;
    surface->DrawString(x, y, colour, text);
    surface->ReleaseDC();
}

struct Frame {
    HINSTANCE instance = nullptr;
    const char* title = "";
    Program* program = nullptr;
    HWND window = nullptr;
    TarnScreen* screen = nullptr;
    TarnInput* input = nullptr;
    int depth = 0; // 0: windowed, else full screen at that depth
    bool active = true, reload = false;
};
inline Frame g_frame;

inline LRESULT CALLBACK FrameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATEAPP:
        g_frame.active = wParam != 0;
        if (!g_frame.active) g_frame.reload = true; // the display may go with the foreground
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) PostQuitMessage(0);
        if (wParam == VK_F11 && g_frame.program)
            g_frame.program->SwitchTo(g_frame.depth ? 0 : g_frame.program->fullScreenDepth);
        break;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    case WM_SETCURSOR:
        if (g_frame.depth) { // no pointer over a full-screen frame
            SetCursor(nullptr);
            return TRUE;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Window, screen, input and the example's surfaces, windowed or full screen.
inline bool OpenFrame(Frame& f) {
    const DWORD style = f.depth ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    RECT r = {0, 0, WIDTH, HEIGHT};
    if (f.depth)
        r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    else
        AdjustWindowRect(&r, style, FALSE);
    f.window =
        CreateWindowExA(f.depth ? WS_EX_TOPMOST : 0, "TarnExample", f.title, style, 0, 0,
                        r.right - r.left, r.bottom - r.top, nullptr, nullptr, f.instance, nullptr);
    if (f.window == nullptr) return false;
    ShowWindow(f.window, SW_SHOW);
    UpdateWindow(f.window);
    f.screen = new TarnScreen;
    const int result = f.depth ? f.screen->CreateFullScreen(f.window, WIDTH, HEIGHT, f.depth, 0)
                               : f.screen->CreateWindowed(f.window, WIDTH, HEIGHT);
    if (result != 0) {
        std::fprintf(stderr, "%s: no screen (%d)\n", f.title, result);
        return false;
    }
    f.screen->GetBack()->FillSolid(0);
    f.input = new TarnInput;
    f.input->Create(f.instance, f.window);
    f.input->mouseMinX = f.input->mouseMinY = 0;
    f.input->mouseMaxX = WIDTH;
    f.input->mouseMaxY = HEIGHT;
    f.input->mouseX = WIDTH / 2;
    f.input->mouseY = HEIGHT / 2;
    f.active = true; // a new window has the foreground
    f.reload = false;
    return f.program->Load(f.screen);
}

// True once after the display was taken away and could be restored: the screen's buffers came
// back, and the example's drawn surfaces lost their pixels (also without a change of focus).
inline bool DisplayCameBack(Frame& f) {
    TarnSurface* buffers[] = {f.screen->GetFront(), f.screen->GetBack()};
    bool lost = false;
    for (TarnSurface* buffer : buffers)
        lost = lost || (buffer && buffer->surface && buffer->surface->IsLost() != DD_OK);
    return lost && SUCCEEDED(f.screen->Restore());
}

// The surfaces before their screen; a full-screen back buffer is the program's to delete.
inline void CloseFrame(Frame& f) {
    f.program->Unload();
    delete f.input;
    if (f.screen && f.screen->IsFullScreen()) delete f.screen->GetBack();
    delete f.screen;
    if (f.window) DestroyWindow(f.window);
    f.input = nullptr;
    f.screen = nullptr;
    f.window = nullptr;
}

// Runs the example until Escape: 0, or 1 when the window, the screen or Load failed.
inline int Run(HINSTANCE instance, const char* title, bool fullScreen, Program& program) {
    Frame& f = g_frame;
    f.instance = instance;
    f.title = title;
    f.program = &program;
    f.depth = fullScreen ? program.fullScreenDepth : 0;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "TarnExample";
    RegisterClassA(&wc);

    bool ok = OpenFrame(f);
    MSG msg = {};
    while (ok) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (program.wanted >= 0) {
            CloseFrame(f);
            const int previous = f.depth;
            f.depth = program.wanted;
            program.wanted = -1;
            ok = OpenFrame(f);
            if (!ok && f.depth != previous) { // the display refused it: back to where it was
                CloseFrame(f);
                f.depth = previous;
                ok = OpenFrame(f);
            } else if (f.depth) {
                program.fullScreenDepth = f.depth;
            }
        } else if (!f.active) {
            WaitMessage();
        } else if (f.reload || DisplayCameBack(f)) {
            program.Unload();
            f.reload = false;
            ok = program.Load(f.screen);
        } else {
            f.input->Update();
            program.Frame(f.screen, *f.input);
            f.screen->Flip(1, 1, 0);
        }
    }
    CloseFrame(f);
    return ok ? 0 : 1;
}

} // namespace tarn_example
