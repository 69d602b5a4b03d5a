// The window manager as the demo's loop and window procedure rely on it: a non-removing look at
// the queue, a blocking take that reports WM_QUIT with its exit code, a wait that ends when the
// host has something, activation with WM_ACTIVATEAPP and WM_SETCURSOR, and the close, destroy
// and quit sequence; plus geometry, the cursor, and the real error results for bad arguments.
#include "support/HeadlessTest.h"

#include "host/ScriptedHost.h"

#include <winbase.h>
#include <winuser.h>

#include <vector>

namespace {

using tarn::platform::HostEvent;

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
};

std::vector<Seen> g_seen;
int g_quitCode = 0;

// Records every message; like the demo, WM_DESTROY posts the quit and WM_SETCURSOR hides the
// cursor.
LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back({hwnd, message, wParam});
    if (message == WM_DESTROY) PostQuitMessage(g_quitCode);
    if (message == WM_SETCURSOR) {
        SetCursor(nullptr);
        return TRUE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HostEvent Event(HostEvent::Type type, uint32_t vk = 0) {
    HostEvent e;
    e.type = type;
    e.vk = vk;
    return e;
}

class UserTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        g_seen.clear();
        g_quitCode = 0;
        WNDCLASSA wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = RecordingProc;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = "TarnTest";
        ASSERT_NE(RegisterClassA(&wc), 0);
    }
    void TearDown() override {
        EXPECT_EQ(tarn::platform::LiveObjects("window"), 0) << "a window was left alive";
        HeadlessTest::TearDown();
    }
    HWND Create(DWORD style = WS_POPUP, int x = 0, int y = 0, int w = 640, int h = 480) {
        return CreateWindowExA(WS_EX_TOPMOST, "TarnTest", "Tarn", style, x, y, w, h, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    int Count(UINT message, WPARAM wParam = (WPARAM)-1) {
        int n = 0;
        for (const Seen& s : g_seen)
            if (s.message == message && (wParam == (WPARAM)-1 || s.wParam == wParam)) ++n;
        return n;
    }
    // Runs the loop until WM_QUIT, as WinMain does, and returns its exit code.
    int DrainUntilQuit() {
        MSG msg;
        int result;
        while ((result = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        EXPECT_EQ(result, 0);
        return (int)msg.wParam;
    }
};

TEST_F(UserTest, CreateAndShowOpensTheHostWindowAndActivates) {
    HWND hwnd = Create();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(host->WindowOpen());
    EXPECT_EQ(Count(WM_NCCREATE), 1);
    EXPECT_EQ(Count(WM_CREATE), 1);
    EXPECT_EQ(Count(WM_ACTIVATEAPP), 0); // not shown yet

    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOWDEFAULT)); // was hidden
    EXPECT_TRUE(UpdateWindow(hwnd));
    EXPECT_EQ(Count(WM_ACTIVATEAPP, TRUE), 1);
    EXPECT_EQ(Count(WM_SETCURSOR), 1);
    EXPECT_EQ(Count(WM_PAINT), 1);
    EXPECT_FALSE(host->CursorShown()); // the procedure's SetCursor(NULL)
    EXPECT_EQ(GetActiveWindow(), hwnd);

    // A class name is registered once.
    WNDCLASSA again{};
    again.lpfnWndProc = RecordingProc;
    again.lpszClassName = "tarntest";
    EXPECT_EQ(RegisterClassA(&again), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CLASS_ALREADY_EXISTS);
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(host->WindowOpen());
}

TEST_F(UserTest, PeekWithNoRemoveLeavesTheMessage) {
    HWND hwnd = Create();
    ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 1, 11, 22));
    MSG msg{};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(msg.message, (UINT)(WM_USER + 1));
        EXPECT_EQ(msg.hwnd, hwnd);
        EXPECT_EQ(msg.wParam, 11u);
        EXPECT_EQ(msg.lParam, 22);
    }
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    DestroyWindow(hwnd);
}

TEST_F(UserTest, FiltersPickMatchingMessagesInOrder) {
    HWND a = Create();
    HWND b = Create();
    PostMessageA(a, WM_USER + 1, 1, 0);
    PostMessageA(b, WM_USER + 2, 2, 0);
    PostMessageA(nullptr, WM_USER + 3, 3, 0); // a thread message
    PostMessageA(a, WM_USER + 4, 4, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&msg, (HWND)(LONG_PTR)-1, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 4, WM_USER + 4, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 4u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_EQ(Count(WM_USER + 1), 1);
    DestroyWindow(a);
    DestroyWindow(b);
}

// WM_CLOSE goes to DefWindowProcA, which destroys the window; WM_DESTROY posts the quit, and
// GetMessageA then returns 0 with the exit code. Messages queued for the window are dropped.
TEST_F(UserTest, CloseDestroysTheWindowAndQuitEndsTheLoop) {
    HWND hwnd = Create();
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    g_quitCode = 7;
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    PostMessageA(hwnd, WM_USER, 0, 0);
    EXPECT_EQ(DrainUntilQuit(), 7);
    EXPECT_EQ(Count(WM_DESTROY), 1);
    EXPECT_EQ(Count(WM_NCDESTROY), 1);
    EXPECT_EQ(Count(WM_USER), 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(host->WindowOpen());
    // The quit was taken: nothing is left.
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(UserTest, QuitComesAfterQueuedMessagesAndStaysUntilTaken) {
    PostQuitMessage(3);
    PostMessageA(nullptr, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_USER);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

// The demo's escape path: the host's key becomes WM_KEYDOWN with the virtual key; the
// procedure posts WM_CLOSE; TranslateMessage adds the character.
TEST_F(UserTest, HostKeysAndCloseBecomeMessages) {
    HWND hwnd = Create();
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    host->PushEvent(Event(HostEvent::KeyDown, 'A'));
    host->PushEvent(Event(HostEvent::KeyDown, 'A')); // held: bit 30 tells the repeat
    host->PushEvent(Event(HostEvent::KeyUp, 'A'));
    MSG msg;
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(msg.wParam, (WPARAM)'A');
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.lParam & (1 << 30), 0);
    EXPECT_TRUE(TranslateMessage(&msg));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, (UINT)WM_KEYDOWN);
    EXPECT_NE(msg.lParam & (1 << 30), 0);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, (UINT)WM_KEYUP);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, (UINT)WM_CHAR);
    EXPECT_EQ(msg.wParam, (WPARAM)'a');

    host->PushEvent(Event(HostEvent::Close));
    EXPECT_EQ(DrainUntilQuit(), 0);
    EXPECT_EQ(Count(WM_CLOSE), 1);
    EXPECT_FALSE(IsWindow(hwnd));
}

// WaitMessage sleeps in the host; an event the host releases later ends the wait. With no
// frames coming while the program waits, the scheduled event is released at once.
TEST_F(UserTest, WaitMessageReturnsOnceTheHostHasAnEvent) {
    HWND hwnd = Create();
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    host->ScheduleAfterFrames(5, Event(HostEvent::KeyDown, VK_ESCAPE));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_TRUE(WaitMessage());
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(msg.wParam, (WPARAM)VK_ESCAPE);
    // A message already queued ends the wait at once.
    PostMessageA(hwnd, WM_USER, 0, 0);
    EXPECT_TRUE(WaitMessage());
    DestroyWindow(hwnd);
}

// Focus changes are sent as WM_ACTIVATEAPP when the state changes; a window shown while the
// program is in the background stays inactive until the focus comes.
TEST_F(UserTest, FocusChangesSendActivateApp) {
    host->SetFocus(false);
    HWND hwnd = Create();
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(Count(WM_ACTIVATEAPP), 0);

    host->SetFocus(true);
    EXPECT_TRUE(WaitMessage()); // a sent message ends the wait
    EXPECT_EQ(Count(WM_ACTIVATEAPP, TRUE), 1);
    EXPECT_EQ(Count(WM_SETCURSOR), 1);
    host->SetFocus(true); // no change, no message
    host->SetFocus(false);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(Count(WM_ACTIVATEAPP, TRUE), 1);
    EXPECT_EQ(Count(WM_ACTIVATEAPP, FALSE), 1);
    EXPECT_EQ(GetActiveWindow(), nullptr);
    DestroyWindow(hwnd);
}

int g_demoActive = 0;

LRESULT CALLBACK DemoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATEAPP) g_demoActive = (int)wParam;
    if (message == WM_DESTROY) PostQuitMessage(0);
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The demo's loop on the headless host, driven by a script: inactive, it waits; active, it runs
// frames until Escape closes the window.
TEST_F(UserTest, DemoShapedLoopRunsFramesWhileActiveAndEndsOnEscape) {
    g_demoActive = 0;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DemoProc;
    wc.lpszClassName = "Demo";
    ASSERT_NE(RegisterClassA(&wc), 0);
    host->SetFocus(false);
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, "Demo", "Demo", WS_POPUP, 0, 0,
                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                nullptr, nullptr, nullptr, nullptr);
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    tarn::platform::ScriptedHost& player = tarn::platform::PlayScript(
        "frames 2; focus 1; frames 3; focus 0; frames 4; focus 1; frames 5; key ESCAPE");

    uint16_t pixel = 0;
    tarn::platform::FrameView frame;
    frame.pixels = &pixel;
    frame.pitch = 2;
    frame.width = frame.height = 1;
    frame.bits = 16;
    int frames = 0, waits = 0, result = -1;
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, nullptr, 0, 0)) {
                result = (int)msg.wParam;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (g_demoActive) {
            player.Present(frame);
            ++frames;
        } else {
            WaitMessage();
            ++waits;
        }
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(frames, 3 + 5); // the waits for frames while inactive end at once
    EXPECT_GE(waits, 2);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(UserTest, GeometryFollowsTheStyleAndTheMachine) {
    host->Config().desktopWidth = 1280;
    host->Config().desktopHeight = 720;
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 720);

    struct Case {
        DWORD style;
        LONG clientX, clientY, clientW, clientH;
    } cases[] = {
        {WS_POPUP, 10, 20, 300, 200},
        {WS_POPUP | WS_BORDER, 11, 21, 298, 198},
        {WS_OVERLAPPEDWINDOW, 14, 43, 292, 173},
    };
    for (const Case& c : cases) {
        HWND hwnd = Create(c.style, 10, 20, 300, 200);
        RECT client;
        ASSERT_TRUE(GetClientRect(hwnd, &client));
        EXPECT_EQ(client.left, 0);
        EXPECT_EQ(client.right, c.clientW);
        EXPECT_EQ(client.bottom, c.clientH);
        // The windowed screen's way to the client area on the screen.
        POINT origin{0, 0};
        ASSERT_TRUE(ClientToScreen(hwnd, &origin));
        OffsetRect(&client, origin.x, origin.y);
        EXPECT_EQ(client.left, c.clientX);
        EXPECT_EQ(client.top, c.clientY);
        EXPECT_EQ(client.right, c.clientX + c.clientW);
        ASSERT_TRUE(ScreenToClient(hwnd, &origin));
        EXPECT_EQ(origin.x, 0);
        // The way back: the window rectangle around that client area.
        RECT outer = {c.clientX, c.clientY, c.clientX + c.clientW, c.clientY + c.clientH};
        ASSERT_TRUE(AdjustWindowRect(&outer, c.style, FALSE));
        const RECT window = {10, 20, 310, 220};
        EXPECT_TRUE(EqualRect(&outer, &window));
        DestroyWindow(hwnd);
    }

    host->SetCursorPos(33, 44);
    POINT cursor;
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, 33);
    EXPECT_EQ(cursor.y, 44);

    RECT a, b, out;
    SetRect(&a, 0, 0, 10, 10);
    SetRect(&b, 5, 5, 20, 20);
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    EXPECT_EQ(out.left, 5);
    EXPECT_EQ(out.right, 10);
    SetRect(&b, 10, 0, 20, 10); // touching edges do not overlap
    EXPECT_FALSE(IntersectRect(&out, &a, &b));
    EXPECT_TRUE(IsRectEmpty(&out));
}

TEST_F(UserTest, CursorIsShownOrHiddenThroughTheHost) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
    // The program carries no icon resources of its own.
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(32512)), nullptr);
    EXPECT_TRUE(host->CursorShown());
    SetCursor(nullptr);
    EXPECT_FALSE(host->CursorShown());
    EXPECT_EQ(SetCursor(arrow), nullptr);
    EXPECT_TRUE(host->CursorShown());
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_FALSE(host->CursorShown());
    EXPECT_EQ(ShowCursor(TRUE), 0);
    int notACursor = 0;
    EXPECT_EQ(SetCursor((HCURSOR)&notACursor), nullptr);
    EXPECT_TRUE(host->CursorShown());
}

TEST_F(UserTest, BadArgumentsGiveTheRealErrors) {
    int junk = 0;
    HWND bogus = (HWND)&junk;
    MSG msg;
    RECT rect;
    POINT point{};
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOACCESS);
    EXPECT_EQ(GetMessageA(&msg, bogus, 0, 0), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOACCESS);
    EXPECT_EQ(DispatchMessageA(nullptr), 0);

    struct Call {
        const char* name;
        BOOL (*call)(HWND);
    } calls[] = {
        {"PostMessageA", [](HWND h) { return PostMessageA(h, WM_USER, 0, 0); }},
        {"PeekMessageA",
         [](HWND h) {
             MSG m;
             return PeekMessageA(&m, h, 0, 0, PM_REMOVE);
         }},
        {"ShowWindow", [](HWND h) { return ShowWindow(h, SW_SHOW); }},
        {"UpdateWindow", [](HWND h) { return UpdateWindow(h); }},
        {"DestroyWindow", [](HWND h) { return DestroyWindow(h); }},
        {"GetClientRect",
         [](HWND h) {
             RECT r;
             return GetClientRect(h, &r);
         }},
        {"ClientToScreen",
         [](HWND h) {
             POINT p{};
             return ClientToScreen(h, &p);
         }},
        {"SendMessageA", [](HWND h) { return (BOOL)SendMessageA(h, WM_USER, 0, 0); }},
    };
    for (const Call& c : calls) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_FALSE(c.call(bogus));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    }
    EXPECT_FALSE(GetClientRect(nullptr, &rect));
    EXPECT_FALSE(ClientToScreen(nullptr, &point));
    EXPECT_FALSE(GetCursorPos(nullptr));
    EXPECT_EQ(DefWindowProcA(bogus, WM_CLOSE, 0, 0), 0);

    EXPECT_EQ(RegisterClassA(nullptr), 0);
    WNDCLASSA noProc{};
    noProc.lpszClassName = "NoProc";
    EXPECT_EQ(RegisterClassA(&noProc), 0);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CANNOT_FIND_WND_CLASS);
    EXPECT_EQ(
        CreateWindowExA(0, nullptr, "x", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(tarn::platform::LiveObjects("window"), 0);
}

TEST_F(UserTest, FaultsAndAFullQueueFailWithoutLosingMessages) {
    HWND hwnd = Create();
    PostMessageA(hwnd, WM_USER, 0, 0);
    tarn::platform::InjectFault("PeekMessageA", 1, 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)); // still there
    EXPECT_EQ(tarn::platform::CallCount("PeekMessageA"), 2u);

    tarn::platform::InjectFault("CreateWindowExA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(Create(), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);

    // The queue holds 10000 messages, as the real one does; the next post fails.
    int posted = 0;
    while (PostMessageA(hwnd, WM_USER, (WPARAM)posted, 0)) ++posted;
    EXPECT_EQ(posted, 10000);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_QUOTA);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u); // the oldest first
    DestroyWindow(hwnd);
    // The window's messages went with it; only the quit its WM_DESTROY posted is left.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
}

// A procedure that refuses WM_CREATE ends the creation, and the window never exists.
TEST_F(UserTest, RefusedCreationLeavesNoWindow) {
    struct Refuse {
        static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_CREATE) return -1;
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
    };
    WNDCLASSA wc{};
    wc.lpfnWndProc = Refuse::Proc;
    wc.lpszClassName = "Refuse";
    ASSERT_NE(RegisterClassA(&wc), 0);
    EXPECT_EQ(CreateWindowExA(0, "Refuse", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(tarn::platform::LiveObjects("window"), 0);
    EXPECT_FALSE(host->WindowOpen());
}

} // namespace
