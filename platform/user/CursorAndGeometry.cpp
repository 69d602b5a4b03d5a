// The cursor (stock cursors and icons, SetCursor and ShowCursor, shown or hidden through the
// host), system metrics from the host's machine, window and client rectangles in screen
// coordinates, and the rectangle helpers.
#include "user/WindowManager.h"

#include "host/Host.h"
#include "internal/StandIn.h"
#include "kernel/Kernel.h"

#include <winbase.h>

#include <algorithm>

namespace tarn::platform {
namespace {

// Stock cursors and icons are fixed objects; their handles are these objects' addresses.
struct StockImage {
    WORD id;
    HICON__ object;
};
StockImage stockCursors[] = {{32512, {}}, {32513, {}}, {32514, {}}, {32515, {}}, {32516, {}}};
StockImage stockIcons[] = {{32512, {}}, {32513, {}}, {32514, {}},
                           {32515, {}}, {32516, {}}, {32517, {}}};

HCURSOR currentCursor = nullptr;
bool cursorSet = false; // no SetCursor yet: the system's arrow shows
int cursorShowCount = 0;

template <size_t N> HICON FindStock(StockImage (&table)[N], LPCSTR name) {
    if (!IS_INTRESOURCE(name)) return nullptr;
    for (StockImage& s : table)
        if (s.id == (WORD)(uintptr_t)name) return &s.object;
    return nullptr;
}

template <size_t N> bool IsStock(StockImage (&table)[N], HICON handle) {
    for (StockImage& s : table)
        if (&s.object == handle) return true;
    return false;
}

void UpdateHostCursor() {
    bool shown = cursorShowCount >= 0 && (!cursorSet || currentCursor != nullptr);
    CurrentHost().ShowCursor(shown);
}

struct Frame {
    int side = 0;    // border width on each side
    int caption = 0; // caption height above the client area
};

// The non-client parts a style asks for, with the classic metrics.
Frame FrameOf(DWORD style) {
    Frame f;
    if (style & WS_THICKFRAME)
        f.side = 4;
    else if (style & WS_DLGFRAME)
        f.side = 3;
    else if (style & WS_BORDER)
        f.side = 1;
    if ((style & WS_CAPTION) == WS_CAPTION) f.caption = 19;
    return f;
}

// The window's top-left corner in screen coordinates: a child is placed in its parent's client
// area. (A parent always exists before its children, so the chain ends.)
bool WindowOrigin(HWND hwnd, POINT* origin) {
    WindowRecord* w = FindWindowRecord(hwnd);
    if (!w) return false;
    POINT base{0, 0};
    if (w->parent) {
        SIZE ignored;
        POINT parentClient;
        if (!ClientArea(w->parent, &parentClient, &ignored)) return false;
        base = parentClient;
        w = FindWindowRecord(hwnd);
        if (!w) return false;
    }
    origin->x = base.x + w->x;
    origin->y = base.y + w->y;
    return true;
}

BOOL FailNullPointer() {
    return Failure(ERROR_NOACCESS, FALSE);
}

// ClientToScreen (direction +1) and ScreenToClient (-1): the point moves by the client area's
// screen origin, once the window and the pointer are known to be good.
BOOL MoveByClientOrigin(HWND hwnd, POINT* point, int direction) {
    POINT origin;
    SIZE size;
    if (!ClientArea(hwnd, &origin, &size)) return Failure(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!point) return FailNullPointer();
    point->x += direction * origin.x;
    point->y += direction * origin.y;
    return TRUE;
}

} // namespace

bool ClientArea(HWND hwnd, POINT* origin, SIZE* size) {
    POINT windowOrigin;
    if (!WindowOrigin(hwnd, &windowOrigin)) return false;
    WindowRecord* w = FindWindowRecord(hwnd);
    Frame f = FrameOf(w->style);
    origin->x = windowOrigin.x + f.side;
    origin->y = windowOrigin.y + f.side + f.caption;
    int cx = w->width - 2 * f.side, cy = w->height - 2 * f.side - f.caption;
    size->cx = cx > 0 ? cx : 0;
    size->cy = cy > 0 ? cy : 0;
    return true;
}

HCURSOR SetCursorNow(HCURSOR cursor) {
    HCURSOR previous = currentCursor;
    currentCursor = cursor;
    cursorSet = true;
    UpdateHostCursor();
    return previous;
}

void ResetCursor() {
    currentCursor = nullptr;
    cursorSet = false;
    cursorShowCount = 0;
}

} // namespace tarn::platform

using namespace tarn::platform;

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
    if (EnterFailed<"SetCursor">()) return nullptr;
    if (hCursor && !IsStock(stockCursors, hCursor) && !IsStock(stockIcons, hCursor)) {
        SetLastErrorNow(1402L); // ERROR_INVALID_CURSOR_HANDLE
        return nullptr;
    }
    return SetCursorNow(hCursor);
}

int WINAPI ShowCursor(BOOL bShow) {
    if (int result; Enter<"ShowCursor">(&result)) return result;
    cursorShowCount += bShow ? 1 : -1;
    UpdateHostCursor();
    return cursorShowCount;
}

// Only the system's stock cursors exist: the program carries no cursor resources.
HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    if (EnterFailed<"LoadCursorA">()) return nullptr;
    if (!hInstance && lpCursorName)
        if (HCURSOR stock = FindStock(stockCursors, lpCursorName)) return stock;
    SetLastErrorNow(hInstance ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

// Only the system's stock icons exist: the program carries no icon resources.
HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    if (EnterFailed<"LoadIconA">()) return nullptr;
    if (!hInstance && lpIconName)
        if (HICON stock = FindStock(stockIcons, lpIconName)) return stock;
    SetLastErrorNow(hInstance ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

int WINAPI GetSystemMetrics(int nIndex) {
    if (int result; Enter<"GetSystemMetrics">(&result)) return result;
    const MachineConfig& m = CurrentHost().Machine();
    switch (nIndex) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXVIRTUALSCREEN:
        return m.desktopWidth;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
        return m.desktopHeight;
    case SM_CYFULLSCREEN:
        return m.desktopHeight > 19 ? m.desktopHeight - 19 : 0;
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN:
        return 0;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 17;
    case SM_CYCAPTION:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_MOUSEPRESENT:
    case SM_MOUSEWHEELPRESENT:
    case SM_CMONITORS:
        return 1;
    case SM_CMOUSEBUTTONS:
        return 3;
    default:
        return 0;
    }
}

BOOL WINAPI GetCursorPos(LPPOINT lpPoint) {
    if (EnterFailed<"GetCursorPos">()) return FALSE;
    if (!lpPoint) return FailNullPointer();
    int x = 0, y = 0;
    CurrentHost().CursorPos(&x, &y);
    lpPoint->x = x;
    lpPoint->y = y;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    if (EnterFailed<"GetClientRect">()) return FALSE;
    POINT origin;
    SIZE size;
    if (!ClientArea(hWnd, &origin, &size)) return Failure(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!lpRect) return FailNullPointer();
    lpRect->left = lpRect->top = 0;
    lpRect->right = size.cx;
    lpRect->bottom = size.cy;
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    if (EnterFailed<"GetWindowRect">()) return FALSE;
    POINT origin;
    if (!WindowOrigin(hWnd, &origin)) return Failure(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!lpRect) return FailNullPointer();
    WindowRecord* w = FindWindowRecord(hWnd);
    lpRect->left = origin.x;
    lpRect->top = origin.y;
    lpRect->right = origin.x + w->width;
    lpRect->bottom = origin.y + w->height;
    return TRUE;
}

// The window rectangle whose client area is *lpRect, by the same metrics as the windows' own
// (no menu bars on this platform: bMenu is ignored).
BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL) {
    if (EnterFailed<"AdjustWindowRect">()) return FALSE;
    if (!lpRect) return FailNullPointer();
    const Frame f = FrameOf(dwStyle);
    lpRect->left -= f.side;
    lpRect->right += f.side;
    lpRect->top -= f.side + f.caption;
    lpRect->bottom += f.side;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    if (EnterFailed<"ClientToScreen">()) return FALSE;
    return MoveByClientOrigin(hWnd, lpPoint, +1);
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    if (EnterFailed<"ScreenToClient">()) return FALSE;
    return MoveByClientOrigin(hWnd, lpPoint, -1);
}

// No dialog on this platform: the text goes to the debugger output and the answer is OK.
int WINAPI MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT) {
    if (int result; Enter<"MessageBoxA">(&result)) return result;
    Host& host = CurrentHost();
    host.DebugOutput(lpCaption ? lpCaption : "Error");
    host.DebugOutput(": ");
    host.DebugOutput(lpText ? lpText : "");
    host.DebugOutput("\n");
    return IDOK;
}

BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
    if (Enter<"SetRect">() || !lprc) return FALSE;
    lprc->left = xLeft;
    lprc->top = yTop;
    lprc->right = xRight;
    lprc->bottom = yBottom;
    return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT lprc) {
    if (Enter<"SetRectEmpty">() || !lprc) return FALSE;
    *lprc = RECT{0, 0, 0, 0};
    return TRUE;
}

BOOL WINAPI CopyRect(LPRECT lprcDst, const RECT* lprcSrc) {
    if (Enter<"CopyRect">() || !lprcDst || !lprcSrc) return FALSE;
    *lprcDst = *lprcSrc;
    return TRUE;
}

BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy) {
    if (Enter<"OffsetRect">() || !lprc) return FALSE;
    lprc->left += dx;
    lprc->right += dx;
    lprc->top += dy;
    lprc->bottom += dy;
    return TRUE;
}

BOOL WINAPI InflateRect(LPRECT lprc, int dx, int dy) {
    if (Enter<"InflateRect">() || !lprc) return FALSE;
    lprc->left -= dx;
    lprc->right += dx;
    lprc->top -= dy;
    lprc->bottom += dy;
    return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT* lprc) {
    if (BOOL result; Enter<"IsRectEmpty">(&result)) return result;
    return !lprc || lprc->right <= lprc->left || lprc->bottom <= lprc->top;
}

BOOL WINAPI PtInRect(const RECT* lprc, POINT pt) {
    if (Enter<"PtInRect">() || !lprc) return FALSE;
    return pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom;
}

BOOL WINAPI EqualRect(const RECT* lprc1, const RECT* lprc2) {
    if (Enter<"EqualRect">() || !lprc1 || !lprc2) return FALSE;
    return lprc1->left == lprc2->left && lprc1->top == lprc2->top && lprc1->right == lprc2->right &&
           lprc1->bottom == lprc2->bottom;
}

// The overlap of two rectangles; an empty result is (0,0,0,0) and FALSE.
BOOL WINAPI IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
    if (Enter<"IntersectRect">() || !lprcDst) return FALSE;
    if (!lprcSrc1 || !lprcSrc2) {
        *lprcDst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    RECT r;
    r.left = std::max(lprcSrc1->left, lprcSrc2->left);
    r.top = std::max(lprcSrc1->top, lprcSrc2->top);
    r.right = std::min(lprcSrc1->right, lprcSrc2->right);
    r.bottom = std::min(lprcSrc1->bottom, lprcSrc2->bottom);
    if (r.right <= r.left || r.bottom <= r.top) {
        *lprcDst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *lprcDst = r;
    return TRUE;
}

// The smallest rectangle holding both; empty inputs are ignored.
BOOL WINAPI UnionRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
    if (Enter<"UnionRect">() || !lprcDst) return FALSE;
    auto empty = [](const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; };
    bool e1 = empty(lprcSrc1), e2 = empty(lprcSrc2);
    if (e1 && e2) {
        *lprcDst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    if (e1)
        *lprcDst = *lprcSrc2;
    else if (e2)
        *lprcDst = *lprcSrc1;
    else {
        RECT r;
        r.left = std::min(lprcSrc1->left, lprcSrc2->left);
        r.top = std::min(lprcSrc1->top, lprcSrc2->top);
        r.right = std::max(lprcSrc1->right, lprcSrc2->right);
        r.bottom = std::max(lprcSrc1->bottom, lprcSrc2->bottom);
        *lprcDst = r;
    }
    return TRUE;
}
