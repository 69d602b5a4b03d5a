// Window classes and windows: registration, creation (WM_NCCREATE, WM_CREATE), showing and
// activation (WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_SETCURSOR), destruction (WM_DESTROY,
// WM_NCDESTROY) and the default window procedure. The first top-level window opens the host's
// window; destroying the last one closes it.
#include "user/WindowManager.h"

#include "host/Host.h"
#include "internal/Display.h"
#include "internal/MachineEvents.h"
#include "internal/StandIn.h"
#include "kernel/Kernel.h"

#include <winbase.h>

#include <strings.h>

#include <algorithm>
#include <vector>

namespace tarn::platform {
namespace {

struct ClassRecord {
    ATOM atom = 0;
    std::string name;
    WNDCLASSA info{};
};

struct Registry {
    std::vector<ClassRecord> classes;
    std::vector<WindowRecord> windows;
    uintptr_t nextHandle = 0x10010;
    ATOM nextAtom = 0xC001;
    bool appActive = false;
    HWND activeWindow = nullptr;
    HWND hostWindow = nullptr; // the top-level window the host's window belongs to
};

Registry& Reg() {
    static Registry* registry = new Registry;
    return *registry;
}

ClassRecord* FindClass(LPCSTR name) {
    for (ClassRecord& c : Reg().classes) {
        if (IS_INTRESOURCE(name) ? c.atom == (ATOM)(uintptr_t)name
                                 : strcasecmp(c.name.c_str(), name) == 0)
            return &c;
    }
    return nullptr;
}

bool IsTopLevel(const WindowRecord& w) {
    return !(w.style & WS_CHILD);
}

// Show commands that do not make the window the active one.
bool ActivatesOnShow(int command) {
    return command != SW_SHOWNOACTIVATE && command != SW_SHOWNA && command != SW_SHOWMINNOACTIVE &&
           command != SW_MINIMIZE && command != SW_FORCEMINIMIZE && command != SW_HIDE;
}

HWND FirstVisibleTopLevel(HWND except) {
    for (const WindowRecord& w : Reg().windows)
        if (w.handle != except && w.visible && !w.destroying && IsTopLevel(w)) return w.handle;
    return nullptr;
}

LPARAM SetCursorParam() {
    return MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
}

// Shows or hides `hwnd`; activation follows the foreground as the host reports it.
void ShowNow(HWND hwnd, int command) {
    WindowRecord* w = FindWindowRecord(hwnd);
    if (!w) return;
    Registry& r = Reg();
    if (command == SW_HIDE) {
        if (!w->visible) return;
        w->visible = false;
        SendToWindow(hwnd, WM_SHOWWINDOW, FALSE, 0);
        if (r.activeWindow == hwnd) {
            r.activeWindow = FirstVisibleTopLevel(hwnd);
            if (!r.activeWindow) ActivateApplication(false);
        }
        return;
    }
    if (!w->visible) {
        w->visible = true;
        w->needsPaint = true;
        SendToWindow(hwnd, WM_SHOWWINDOW, TRUE, 0);
    }
    w = FindWindowRecord(hwnd);
    if (!w || !ActivatesOnShow(command) || !IsTopLevel(*w)) return;
    r.activeWindow = hwnd;
    if (!r.appActive && CurrentHost().HasFocus()) ActivateApplication(true);
}

} // namespace

WindowRecord* FindWindowRecord(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (WindowRecord& w : Reg().windows)
        if (w.handle == hwnd) return &w;
    return nullptr;
}

LRESULT SendToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* w = FindWindowRecord(hwnd);
    if (!w) return 0;
    WNDPROC proc = w->proc; // the record may move while the procedure runs
    if (!proc) return DefWindowProcA(hwnd, message, wParam, lParam);
    return proc(hwnd, message, wParam, lParam);
}

void ActivateApplication(bool active) {
    Registry& r = Reg();
    if (active) {
        if (!r.activeWindow || !FindWindowRecord(r.activeWindow))
            r.activeWindow = FirstVisibleTopLevel(nullptr);
        if (r.appActive || !r.activeWindow) return;
    } else if (!r.appActive) {
        return;
    }
    r.appActive = active;
    // Handles first: the procedures may create or destroy windows while we go.
    HWND targets[64];
    int count = 0;
    for (const WindowRecord& w : r.windows)
        if (IsTopLevel(w) && count < 64) targets[count++] = w.handle;
    for (int i = 0; i < count; ++i) SendToWindow(targets[i], WM_ACTIVATEAPP, active, 0);
    if (active && r.activeWindow)
        SendToWindow(r.activeWindow, WM_SETCURSOR, (WPARAM)r.activeWindow, SetCursorParam());
}

bool WindowedViewport(int width, int height, RECT* area) {
    Registry& r = Reg();
    POINT origin;
    SIZE size;
    if (!r.hostWindow || !ClientArea(r.hostWindow, &origin, &size)) return false;
    area->left = std::max<LONG>(origin.x, 0);
    area->top = std::max<LONG>(origin.y, 0);
    area->right = std::min<LONG>(origin.x + size.cx, width);
    area->bottom = std::min<LONG>(origin.y + size.cy, height);
    return area->left < area->right && area->top < area->bottom;
}

HWND InputWindow() {
    Registry& r = Reg();
    if (r.activeWindow && FindWindowRecord(r.activeWindow)) return r.activeWindow;
    if (r.hostWindow && FindWindowRecord(r.hostWindow)) return r.hostWindow;
    return FirstVisibleTopLevel(nullptr);
}

bool DestroyWindowNow(HWND hwnd) {
    WindowRecord* w = FindWindowRecord(hwnd);
    if (!w) return Failure(ERROR_INVALID_WINDOW_HANDLE, false);
    if (w->destroying) return true; // already on its way: WM_DESTROY is not sent twice
    w->destroying = true;
    Registry& r = Reg();
    bool wasVisible = w->visible;
    w->visible = false;
    if (wasVisible && r.activeWindow == hwnd) {
        r.activeWindow = FirstVisibleTopLevel(hwnd);
        if (!r.activeWindow) ActivateApplication(false);
    }
    SendToWindow(hwnd, WM_DESTROY, 0, 0);
    // Children go with their parent.
    for (bool found = true; found;) {
        found = false;
        for (const WindowRecord& child : r.windows) {
            if (child.parent == hwnd && !child.destroying) {
                HWND c = child.handle;
                DestroyWindowNow(c);
                found = true;
                break;
            }
        }
    }
    SendToWindow(hwnd, WM_NCDESTROY, 0, 0);
    for (size_t i = 0; i < r.windows.size(); ++i) {
        if (r.windows[i].handle == hwnd) {
            r.windows.erase(r.windows.begin() + (long)i);
            break;
        }
    }
    DropQueuedMessages(hwnd);
    ObjectDestroyed("window");
    if (r.activeWindow == hwnd) r.activeWindow = nullptr;
    if (r.hostWindow == hwnd) {
        r.hostWindow = nullptr;
        for (const WindowRecord& other : r.windows)
            if (IsTopLevel(other)) r.hostWindow = other.handle;
        if (!r.hostWindow) CurrentHost().CloseWindow();
    }
    return true;
}

void ResetWindowManager() {
    Registry& r = Reg();
    for (size_t i = 0; i < r.windows.size(); ++i) ObjectDestroyed("window");
    r.windows.clear();
    r.classes.clear();
    r.appActive = false;
    r.activeWindow = nullptr;
    r.hostWindow = nullptr;
    ResetMessageQueue();
    ResetCursor();
}

// A fresh machine from the test host means a fresh window manager.
void ListenForWindowManager(MachineChange change) {
    if (change == MachineChange::Reset) ResetWindowManager();
}
[[maybe_unused]] const bool listening = ListenToMachine(&ListenForWindowManager);

} // namespace tarn::platform

using namespace tarn::platform;

// Fails, as the real call does, for a null class, a null or empty name, a missing window
// procedure, or a name already registered.
ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (EnterFailed<"RegisterClassA">()) return 0;
    // A class is registered by name here; an atom in place of the name is refused too.
    if (!lpWndClass || !lpWndClass->lpszClassName || !lpWndClass->lpfnWndProc ||
        IS_INTRESOURCE(lpWndClass->lpszClassName) || !*lpWndClass->lpszClassName ||
        lpWndClass->cbClsExtra < 0 || lpWndClass->cbWndExtra < 0)
        return Failure(ERROR_INVALID_PARAMETER, 0);
    if (FindClass(lpWndClass->lpszClassName)) return Failure(ERROR_CLASS_ALREADY_EXISTS, 0);
    Registry& r = Reg();
    ClassRecord c;
    c.atom = r.nextAtom++;
    c.name = lpWndClass->lpszClassName;
    c.info = *lpWndClass;
    c.info.lpszClassName = nullptr; // the caller's strings need not outlive the call
    c.info.lpszMenuName = nullptr;
    r.classes.push_back(c);
    return c.atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
    if (EnterFailed<"UnregisterClassA">()) return FALSE;
    ClassRecord* c = lpClassName ? FindClass(lpClassName) : nullptr;
    if (!c) return Failure(ERROR_CLASS_DOES_NOT_EXIST, FALSE);
    Registry& r = Reg();
    for (const WindowRecord& w : r.windows) {
        if (w.proc == c->info.lpfnWndProc) return Failure(ERROR_CLASS_HAS_WINDOWS, FALSE);
    }
    r.classes.erase(r.classes.begin() + (c - r.classes.data()));
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
    if (EnterFailed<"CreateWindowExA">()) return nullptr;
    ClassRecord* c = lpClassName ? FindClass(lpClassName) : nullptr;
    if (!c) return Failure(ERROR_CANNOT_FIND_WND_CLASS, nullptr);
    if (hWndParent && !FindWindowRecord(hWndParent))
        return Failure(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    if ((dwStyle & WS_CHILD) && !hWndParent)
        return Failure(1406L /* ERROR_TLW_WITH_WSCHILD */, nullptr);
    Registry& r = Reg();
    WindowRecord w;
    w.handle = (HWND)(r.nextHandle);
    r.nextHandle += 4;
    w.parent = hWndParent;
    w.proc = c->info.lpfnWndProc;
    w.classCursor = c->info.hCursor;
    w.classBackground = c->info.hbrBackground;
    w.style = dwStyle & ~(DWORD)WS_VISIBLE;
    w.exStyle = dwExStyle;
    w.x = X == CW_USEDEFAULT ? 0 : X;
    w.y = X == CW_USEDEFAULT ? 0 : Y;
    w.width = nWidth == CW_USEDEFAULT ? 640 : (nWidth < 0 ? 0 : nWidth);
    w.height = nWidth == CW_USEDEFAULT ? 480 : (nHeight < 0 ? 0 : nHeight);
    w.title = lpWindowName ? lpWindowName : "";
    HWND hwnd = w.handle;
    bool topLevel = !(dwStyle & WS_CHILD);
    if (topLevel && !r.hostWindow) {
        if (!CurrentHost().OpenWindow(w.title.c_str(), w.width, w.height))
            return Failure(ERROR_NOT_ENOUGH_MEMORY, nullptr);
        r.hostWindow = hwnd;
    }
    r.windows.push_back(w);
    ObjectCreated("window");

    CREATESTRUCTA create{};
    create.lpCreateParams = lpParam;
    create.hInstance = hInstance;
    create.hMenu = hMenu;
    create.hwndParent = hWndParent;
    create.cx = w.width;
    create.cy = w.height;
    create.x = w.x;
    create.y = w.y;
    create.style = (LONG)dwStyle;
    create.lpszName = lpWindowName;
    create.lpszClass = lpClassName;
    create.dwExStyle = dwExStyle;
    // A window procedure that refuses WM_NCCREATE or WM_CREATE ends the creation.
    if (!SendToWindow(hwnd, WM_NCCREATE, 0, (LPARAM)&create) ||
        SendToWindow(hwnd, WM_CREATE, 0, (LPARAM)&create) == -1) {
        if (FindWindowRecord(hwnd)) DestroyWindowNow(hwnd);
        SetLastErrorNow(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!FindWindowRecord(hwnd)) return nullptr; // destroyed during its own creation
    if (dwStyle & WS_VISIBLE) ShowNow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    if (EnterFailed<"ShowWindow">()) return FALSE;
    WindowRecord* w = FindWindowRecord(hWnd);
    if (!w) return Failure(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    BOOL wasVisible = w->visible ? TRUE : FALSE;
    ShowNow(hWnd, nCmdShow);
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
    if (EnterFailed<"UpdateWindow">()) return FALSE;
    WindowRecord* w = FindWindowRecord(hWnd);
    if (!w) return Failure(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (w->visible && w->needsPaint) {
        w->needsPaint = false;
        SendToWindow(hWnd, WM_PAINT, 0, 0);
    }
    return TRUE;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    if (EnterFailed<"DestroyWindow">()) return FALSE;
    return DestroyWindowNow(hWnd) ? TRUE : FALSE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    if (Enter<"IsWindow">()) return FALSE;
    WindowRecord* w = FindWindowRecord(hWnd);
    return w ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
    if (Enter<"IsWindowVisible">()) return FALSE;
    WindowRecord* w = FindWindowRecord(hWnd);
    return w && w->visible ? TRUE : FALSE;
}

HWND WINAPI GetActiveWindow(void) {
    if (Enter<"GetActiveWindow">()) return nullptr;
    Registry& r = Reg();
    return r.appActive ? r.activeWindow : nullptr;
}

HWND WINAPI GetForegroundWindow(void) {
    if (Enter<"GetForegroundWindow">()) return nullptr;
    Registry& r = Reg();
    return r.appActive && CurrentHost().HasFocus() ? r.activeWindow : nullptr;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (EnterFailed<"SendMessageA">()) return 0;
    if (!FindWindowRecord(hWnd)) return Failure(ERROR_INVALID_WINDOW_HANDLE, 0);
    return SendToWindow(hWnd, Msg, wParam, lParam);
}

// What a window gets for the messages its procedure leaves alone: WM_CLOSE destroys the
// window, WM_SETCURSOR over the client area shows the class cursor, WM_PAINT validates.
LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (LRESULT result; Enter<"DefWindowProcA">(&result)) return result;
    WindowRecord* w = FindWindowRecord(hWnd);
    if (!w) return 0;
    switch (Msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindowNow(hWnd);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursorNow(w->classCursor);
            return TRUE;
        }
        return FALSE;
    case WM_PAINT:
        w->needsPaint = false;
        return 0;
    case WM_ERASEBKGND:
        return w->classBackground ? 1 : 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendToWindow(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_NCACTIVATE:
        return TRUE;
    case WM_MOUSEACTIVATE:
        return 1; // MA_ACTIVATE
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_QUERYENDSESSION:
        return TRUE;
    default:
        return 0;
    }
}
