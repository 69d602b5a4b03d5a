// The thread's message queue: posted messages in order, the quit request (WM_QUIT comes once
// nothing else is queued), and the host's events turned into messages whenever the program
// looks at the queue. Key presses and WM_CLOSE are posted; focus changes are sent at once, as
// Windows sends WM_ACTIVATEAPP, and take the display away or give it back.
//
// The queue is a fixed ring (the real platform's quota of 10000 messages), so looking at and
// taking messages allocates nothing.
#include "user/WindowManager.h"

#include "host/Host.h"
#include "internal/MachineEvents.h"
#include "internal/StandIn.h"
#include "kernel/Kernel.h"

#include <mmsystem.h>
#include <winbase.h>

namespace tarn::platform {
namespace {

constexpr int QUEUE_LIMIT = 10000;

struct Queue {
    MSG ring[QUEUE_LIMIT];
    int head = 0;
    int count = 0;
    bool quitPending = false;
    int quitCode = 0;
    bool keyDown[256] = {};
    bool sentSomething = false; // a message was sent while pumping host events
};

Queue& Q() {
    static Queue* queue = new Queue;
    return *queue;
}

MSG& At(int index) {
    return Q().ring[(Q().head + index) % QUEUE_LIMIT];
}

void RemoveAt(int index) {
    Queue& q = Q();
    for (int i = index; i > 0; --i) At(i) = At(i - 1);
    q.head = (q.head + 1) % QUEUE_LIMIT;
    --q.count;
}

bool Matches(const MSG& m, HWND hwnd, UINT low, UINT high) {
    if (hwnd == (HWND)(LONG_PTR)-1) {
        if (m.hwnd) return false;
    } else if (hwnd && m.hwnd != hwnd) {
        return false;
    }
    if (low == 0 && high == 0) return true;
    return m.message >= low && m.message <= high;
}

bool ValidFilter(HWND hwnd) {
    return !hwnd || hwnd == (HWND)(LONG_PTR)-1 || FindWindowRecord(hwnd);
}

void PostKey(const HostEvent& e) {
    HWND target = InputWindow();
    uint32_t vk = e.vk & 0xFF;
    Queue& q = Q();
    bool down = e.type == HostEvent::KeyDown;
    // lParam: repeat count 1; bit 30 the previous key state; bit 31 set on release.
    LPARAM lParam = 1;
    if (q.keyDown[vk]) lParam |= (LPARAM)1 << 30;
    if (!down) lParam |= (LPARAM)0xC0000000u;
    q.keyDown[vk] = down;
    if (target) PostToQueue(target, down ? WM_KEYDOWN : WM_KEYUP, vk, lParam);
}

// Turns every event the host has into messages. Returns true when something was posted or sent.
bool PumpHost() {
    Host& host = CurrentHost();
    Queue& q = Q();
    int before = q.count;
    q.sentSomething = false;
    HostEvent e;
    while (host.PollEvent(&e)) {
        switch (e.type) {
        case HostEvent::KeyDown:
        case HostEvent::KeyUp:
            PostKey(e);
            break;
        case HostEvent::FocusGained:
            TellMachine(MachineChange::GivenBack);
            q.sentSomething = true;
            ActivateApplication(true);
            break;
        case HostEvent::FocusLost:
            TellMachine(MachineChange::TakenAway);
            q.sentSomething = true;
            ActivateApplication(false);
            break;
        case HostEvent::DisplayLost:
            TellMachine(MachineChange::DisplayLost);
            break;
        case HostEvent::Close:
            if (HWND target = InputWindow()) PostToQueue(target, WM_CLOSE, 0, 0);
            break;
        }
    }
    return q.count != before || q.sentSomething;
}

// Looks for a message as PeekMessageA does, after the host's events were taken in.
bool Look(MSG* msg, HWND hwnd, UINT low, UINT high, bool remove) {
    PumpHost();
    Queue& q = Q();
    for (int i = 0; i < q.count; ++i) {
        if (!Matches(At(i), hwnd, low, high)) continue;
        *msg = At(i);
        if (remove) RemoveAt(i);
        return true;
    }
    if (q.quitPending) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = (WPARAM)(LONG_PTR)q.quitCode;
        msg->time = CurrentHost().Milliseconds();
        if (remove) q.quitPending = false;
        return true;
    }
    return false;
}

// The character a key-down gives, without shift state: letters lower case.
int CharacterOf(WPARAM vk) {
    if (vk >= 'A' && vk <= 'Z') return (int)(vk - 'A' + 'a');
    if (vk >= '0' && vk <= '9') return (int)vk;
    switch (vk) {
    case VK_SPACE:
        return ' ';
    case VK_RETURN:
        return '\r';
    case VK_ESCAPE:
        return 27;
    case VK_BACK:
        return 8;
    case VK_TAB:
        return 9;
    default:
        return 0;
    }
}

} // namespace

bool PostToQueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Queue& q = Q();
    if (q.count >= QUEUE_LIMIT) return false;
    MSG& m = q.ring[(q.head + q.count) % QUEUE_LIMIT];
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    Host& host = CurrentHost();
    m.time = host.Milliseconds();
    int x = 0, y = 0;
    host.CursorPos(&x, &y);
    m.pt.x = x;
    m.pt.y = y;
    ++q.count;
    return true;
}

void DropQueuedMessages(HWND hwnd) {
    Queue& q = Q();
    int kept = 0;
    for (int i = 0; i < q.count; ++i)
        if (At(i).hwnd != hwnd) At(kept++) = At(i);
    q.count = kept;
}

void ResetMessageQueue() {
    Queue& q = Q();
    q.head = q.count = 0;
    q.quitPending = false;
    q.quitCode = 0;
    for (bool& k : q.keyDown) k = false;
}

} // namespace tarn::platform

using namespace tarn::platform;

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
    if (EnterFailed<"PeekMessageA">()) return FALSE;
    if (!lpMsg) return Failure(ERROR_NOACCESS, FALSE);
    if (!ValidFilter(hWnd)) return Failure(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    return Look(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0);
}

// Blocks in the host until a message comes; 0 for WM_QUIT, -1 for a bad argument.
BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (EnterFailed<"GetMessageA">()) return -1;
    if (!lpMsg) return Failure(ERROR_NOACCESS, -1);
    if (!ValidFilter(hWnd)) return Failure(ERROR_INVALID_WINDOW_HANDLE, -1);
    while (!Look(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) CurrentHost().WaitEvent();
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

// Posts WM_CHAR for a key that gives a character; TRUE for every key message.
BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (Enter<"TranslateMessage">()) return FALSE;
    if (!lpMsg) return FALSE;
    switch (lpMsg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (int c = CharacterOf(lpMsg->wParam))
            PostToQueue(lpMsg->hwnd, lpMsg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, (WPARAM)c,
                        lpMsg->lParam);
        return TRUE;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (EnterFailed<"DispatchMessageA">()) return 0;
    if (!lpMsg) return Failure(ERROR_INVALID_PARAMETER, 0);
    if (!lpMsg->hwnd) return 0; // a thread message has no window procedure
    if (!FindWindowRecord(lpMsg->hwnd)) return Failure(ERROR_INVALID_WINDOW_HANDLE, 0);
    return SendToWindow(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

// Sleeps in the host until a message is queued or one was sent to a window procedure.
BOOL WINAPI WaitMessage(void) {
    if (EnterFailed<"WaitMessage">()) return FALSE;
    Queue& q = Q();
    for (;;) {
        if (PumpHost() || q.count > 0 || q.quitPending) return TRUE;
        CurrentHost().WaitEvent();
    }
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (EnterFailed<"PostMessageA">()) return FALSE;
    if (hWnd && !FindWindowRecord(hWnd)) return Failure(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!PostToQueue(hWnd, Msg, wParam, lParam)) return Failure(ERROR_NOT_ENOUGH_QUOTA, FALSE);
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
    if (Enter<"PostQuitMessage">()) return;
    Queue& q = Q();
    q.quitPending = true;
    q.quitCode = nExitCode;
}
