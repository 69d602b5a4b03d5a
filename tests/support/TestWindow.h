// A plain window for the tests that need one (screens, surfaces, input devices): a class of
// the given name with the default window procedure, registered on first use, and one window of
// it.
#pragma once

#include <windows.h>

// A window of class `className` with `style` at (x, y), w x h; null when it cannot be made.
// Registering a class that an earlier test registered fails harmlessly.
inline HWND MakeTestWindow(const char* className, DWORD style, int x = 0, int y = 0, int w = 640,
                           int h = 480) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    return CreateWindowExA(0, className, className, style, x, y, w, h, nullptr, nullptr,
                           wc.hInstance, nullptr);
}
