// Inside the window manager: the table of windows and what its parts (windows, the message
// queue, the cursor and geometry) share. Window handles are ids into this table, never
// pointers, so an unknown or stale handle is recognised and never followed.
#pragma once

#include <windef.h>
#include <winuser.h>

#include <string>

namespace tarn::platform {

struct WindowRecord {
    HWND handle = nullptr;
    HWND parent = nullptr;
    WNDPROC proc = nullptr;
    HCURSOR classCursor = nullptr;
    HBRUSH classBackground = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    bool visible = false;
    bool destroying = false;
    bool needsPaint = true;
    std::string title;
};

// The record of `hwnd`, or null for an unknown handle. The pointer is valid until the next
// call that may create or destroy a window (including any call of a window procedure).
WindowRecord* FindWindowRecord(HWND hwnd);

// Calls the window procedure of `hwnd` at once, as SendMessage does; 0 for an unknown handle.
LRESULT SendToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// DestroyWindow without the entry-point bookkeeping.
bool DestroyWindowNow(HWND hwnd);

// The program gains or loses the foreground: WM_ACTIVATEAPP to every top-level window when
// the state changes, and WM_SETCURSOR to the active window on activation.
void ActivateApplication(bool active);
// The window keyboard input goes to, and the host window's owner (where WM_CLOSE goes); null
// when there is no window.
HWND InputWindow();

// Posts a message to the thread's queue; false when the queue is full.
bool PostToQueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Forgets the queued messages of a destroyed window.
void DropQueuedMessages(HWND hwnd);
// Clears the queue and the quit request.
void ResetMessageQueue();

// SetCursor without the entry-point bookkeeping.
HCURSOR SetCursorNow(HCURSOR cursor);
void ResetCursor();

// Client-area origin of `hwnd` in screen coordinates and client size; false for an unknown one.
bool ClientArea(HWND hwnd, POINT* origin, SIZE* size);

// Back to a fresh window manager (when the headless host gives a fresh machine): no classes, no
// windows (forgotten without calling their procedures), an empty queue, the cursor shown.
void ResetWindowManager();

} // namespace tarn::platform
