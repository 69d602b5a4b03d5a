// The web host: the stand-in's machine when the program runs in a browser (built with
// Emscripten). Frames go into the page's <canvas> at the display mode's size, which the page
// scales by whole pixels to fit and letterboxes; keys, mouse (relative motion through pointer
// lock after a click) and wheel come from the browser's events, the joystick and the XInput pads
// from its Gamepad API, sound goes out through Web Audio; the page hidden or left is the focus
// lost, so the program pauses and its display is taken away as when
// another program takes the foreground. The program's own loop runs as written: waiting for the
// vertical blank or for a message gives the browser its turn (Asyncify), and the vertical blank
// is the browser's next animation frame.
//
// The host's parts are in files of their own, as the SDL2 host's: the frame (WebFrame), the
// pads (WebPads), the sound (WebAudio), and the page's side of everything (web/tarn_web.js,
// declared in WebPage.h).
//
// A page that runs the program on a script (TARN_HEADLESS_SCRIPT in the environment the page
// gives) has the headless machine shown in its canvas instead (WebHeadless.cpp).
#include "host/Host.h"
#include "host/WebAudio.h"
#include "host/WebFrame.h"
#include "host/WebKeymap.h"
#include "host/WebPads.h"
#include "host/WebPage.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace tarn::platform {

Host* CreateWebHeadlessHost();

namespace {

constexpr int WHEEL_DELTA = 120; // Windows' unit for one notch of the wheel
constexpr const char* CANVAS = "#canvas";

class WebHost final : public Host {
public:
    WebHost();

    const char* Name() const override { return "web"; }
    const MachineConfig& Machine() const override;

    bool OpenWindow(const char* title, int width, int height) override;
    void CloseWindow() override { windowOpen = false; }
    void SetFullScreen(bool, int, int, int) override {} // the page is the whole screen
    void ShowCursor(bool show) override { WebPageShowCursor(show ? 1 : 0); }
    void Present(const FrameView& frame) override;
    void WaitVerticalBlank() override;

    bool PollEvent(HostEvent* event) override;
    void WaitEvent() override;

    bool HasFocus() const override { return focus; }
    void ReadKeyboard(uint8_t state[256]) override;
    void ReadMouse(MouseState* mouse) override;
    bool JoystickAttached() const override { return pads.JoystickAttached(); }
    std::string JoystickName() const override { return pads.JoystickName(); }
    bool ReadJoystick(JoystickState* out) override { return pads.ReadJoystick(out); }

    // Gamepads: WebPads.cpp.
    bool ReadPad(int slot, PadState* pad) override { return pads.ReadPad(slot, pad); }
    void SetPadRumble(int slot, uint16_t low, uint16_t high) override {
        pads.SetRumble(slot, low, high);
    }

    uint32_t Milliseconds() override;
    void CursorPos(int* x, int* y) override;
    void DebugOutput(const char* text) override;

    // Sound: Web Audio, in WebAudio.cpp.
    bool OpenAudio(int rate, AudioPull pull, void* context) override {
        return WebOpenAudio(rate, pull, context);
    }
    void CloseAudio() override { WebCloseAudio(); }

private:
    void Push(HostEvent::Type type, uint32_t vk = 0);
    void FocusChanged(bool on);
    void MoveCursor(long clientX, long clientY);
    static bool PointerLocked();
    void YieldIfBusy();
    void NextTurn();

    static EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* e, void* self);
    static EM_BOOL OnMouseButton(int type, const EmscriptenMouseEvent* e, void* self);
    static EM_BOOL OnMouseMove(int type, const EmscriptenMouseEvent* e, void* self);
    static EM_BOOL OnWheel(int type, const EmscriptenWheelEvent* e, void* self);
    static EM_BOOL OnTouch(int type, const EmscriptenTouchEvent* e, void* self);
    static EM_BOOL OnFocus(int type, const EmscriptenFocusEvent* e, void* self);
    static EM_BOOL OnVisibility(int type, const EmscriptenVisibilityChangeEvent* e, void* self);

    mutable MachineConfig machine;
    mutable bool machineKnown = false;
    bool windowOpen = false;

    std::deque<HostEvent> events;
    bool focus = true;
    bool visible = true, pageFocused = true;
    uint8_t keys[256] = {};
    MouseState mouse;
    int cursorX = 0, cursorY = 0;
    int notedCursorX = -1, notedCursorY = -1;
    // The first finger on the canvas, which is the mouse: its id (-1: none), where it was last.
    // A tap's release waits until the program has read the press once.
    long touchId = -1, touchX = 0, touchY = 0;
    bool touchPressUnread = false, touchReleaseWaits = false;
    double start = 0, lastYield = 0;

    WebFrame frame;
    WebPads pads;
};

WebHost* webHost = nullptr;

WebHost::WebHost() {
    start = lastYield = emscripten_get_now();
    visible = WebPageVisible() != 0;
    focus = visible;
    // Keys on the window, so the game has them wherever the page's focus is; the pointer on the
    // canvas. Handlers run while the program waits for the browser.
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, 1, &WebHost::OnKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, 1, &WebHost::OnKey);
    emscripten_set_mousedown_callback(CANVAS, this, 1, &WebHost::OnMouseButton);
    emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, 1,
                                    &WebHost::OnMouseButton);
    emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, 1,
                                      &WebHost::OnMouseMove);
    emscripten_set_wheel_callback(CANVAS, this, 1, &WebHost::OnWheel);
    emscripten_set_touchstart_callback(CANVAS, this, 0, &WebHost::OnTouch);
    emscripten_set_touchmove_callback(CANVAS, this, 0, &WebHost::OnTouch);
    emscripten_set_touchend_callback(CANVAS, this, 0, &WebHost::OnTouch);
    emscripten_set_touchcancel_callback(CANVAS, this, 0, &WebHost::OnTouch);
    // The window's own blur and focus only (not in the capture phase): an element of the page
    // losing the focus to another (the canvas to the page's body) is not the page losing it.
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, 0, &WebHost::OnFocus);
    emscripten_set_focus_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, 0, &WebHost::OnFocus);
    emscripten_set_visibilitychange_callback(this, 1, &WebHost::OnVisibility);
    pads.Start();
}

const MachineConfig& WebHost::Machine() const {
    if (machineKnown) return machine;
    machineKnown = true;
    // The page is scaled to show the frame whole, so the "desktop" is never smaller than a
    // common one: a program's window keeps the size it asks for on a phone's narrow page.
    machine.desktopWidth = std::max(WebPageWidth(), 1024);
    machine.desktopHeight = std::max(WebPageHeight(), 768);
    machine.desktopBits = 32;
    // Every mode "exists": a mode is the canvas's size, scaled by the page.
    machine.modes.clear();
    const int sizes[][2] = {{320, 200},  {320, 240},  {640, 400},   {640, 480},   {800, 600},
                            {1024, 768}, {1280, 720}, {1280, 1024}, {1600, 1200}, {1920, 1080}};
    for (const auto& size : sizes)
        for (int bits : {8, 16, 24, 32}) machine.modes.push_back({size[0], size[1], bits});
    machine.videoMemoryBytes = 32u << 20;
    machine.systemFont = false;
    return machine;
}

bool WebHost::OpenWindow(const char* title, int, int) {
    windowOpen = true;
    if (title && *title) WebPageSetTitle(title);
    return true;
}

void WebHost::Push(HostEvent::Type type, uint32_t vk) {
    HostEvent e;
    e.type = type;
    e.vk = vk;
    events.push_back(e);
    WebPageWake();
}

// The page hidden, or another window or tab in front: the display is taken away, as when
// another program takes the foreground; keys held then are let go.
void WebHost::FocusChanged(bool on) {
    if (on == focus) return;
    focus = on;
    if (!on) {
        std::memset(keys, 0, sizeof keys);
        for (bool& b : mouse.buttons) b = false;
        touchId = -1;
        touchPressUnread = touchReleaseWaits = false;
        emscripten_exit_pointerlock();
    }
    Push(on ? HostEvent::FocusGained : HostEvent::FocusLost);
}

EM_BOOL WebHost::OnKey(int type, const EmscriptenKeyboardEvent* e, void* self) {
    WebHost& host = *static_cast<WebHost*>(self);
    const WebKey* key = FindWebKey(e->code);
    if (!key) return EM_FALSE;
    const bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
    if (key->dik) host.keys[key->dik] = down ? 0x80 : 0;
    const uint32_t vk = VirtualKeyForWebKey(*key, e->keyCode);
    if (vk) host.Push(down ? HostEvent::KeyDown : HostEvent::KeyUp, vk);
    // The browser keeps its reload, developer and with-Control/Command shortcuts; every other
    // key the table knows is the game's (arrows and Space do not scroll, Tab does not move on).
    if (std::strcmp(e->code, "F5") == 0 || std::strcmp(e->code, "F12") == 0) return EM_FALSE;
    if ((e->ctrlKey || e->metaKey) && vk >= 'A' && vk <= 'Z') return EM_FALSE;
    return EM_TRUE;
}

EM_BOOL WebHost::OnMouseButton(int type, const EmscriptenMouseEvent* e, void* self) {
    WebHost& host = *static_cast<WebHost*>(self);
    // The page's buttons are left, middle, right, back; the platform's left, right, middle, X1.
    static constexpr int BUTTON[] = {0, 2, 1, 3};
    if (e->button >= 0 && e->button < 4)
        host.mouse.buttons[BUTTON[e->button]] = type == EMSCRIPTEN_EVENT_MOUSEDOWN;
    if (type != EMSCRIPTEN_EVENT_MOUSEDOWN) return EM_FALSE;
    // A click on the canvas is the page in front: if its blur went unanswered, it has the focus
    // back now.
    WebPageFocusCanvas();
    if (!host.pageFocused && host.visible) {
        host.pageFocused = true;
        host.FocusChanged(true);
    }
    host.MoveCursor(e->clientX, e->clientY);
    // Relative motion without the pointer's edge: the browser grants the lock only while it
    // handles a click.
    emscripten_request_pointerlock(CANVAS, 0);
    return EM_TRUE;
}

EM_BOOL WebHost::OnMouseMove(int, const EmscriptenMouseEvent* e, void* self) {
    WebHost& host = *static_cast<WebHost*>(self);
    host.mouse.dx += e->movementX;
    host.mouse.dy += e->movementY;
    // While the pointer is locked it stays where it was locked.
    if (!host.PointerLocked()) host.MoveCursor(e->clientX, e->clientY);
    return EM_FALSE;
}

bool WebHost::PointerLocked() {
    EmscriptenPointerlockChangeEvent status{};
    return emscripten_get_pointerlock_status(&status) == EMSCRIPTEN_RESULT_SUCCESS &&
           status.isActive;
}

// The cursor in the frame's pixels from a place on the page: the canvas sits inside the page's
// letterbox and is scaled by it. The page is the whole screen, so a pointer in the letterbox is
// at the frame's nearest edge.
void WebHost::MoveCursor(long clientX, long clientY) {
    double place[4] = {};
    WebPageCanvasPlace(place);
    const int frameWidth = frame.Width(), frameHeight = frame.Height();
    if (frameWidth <= 0 || frameHeight <= 0 || place[2] <= 0 || place[3] <= 0) return;
    const double x = (clientX - place[0]) * frameWidth / place[2];
    const double y = (clientY - place[1]) * frameHeight / place[3];
    cursorX = (int)std::clamp(x, 0.0, (double)(frameWidth - 1));
    cursorY = (int)std::clamp(y, 0.0, (double)(frameHeight - 1));
}

// The page's wheel counts pixels, lines or pages, down positive; the platform counts 120 a
// notch, away from the user positive. A notch is 100 pixels or 3 lines in the browsers.
EM_BOOL WebHost::OnWheel(int, const EmscriptenWheelEvent* e, void* self) {
    WebHost& host = *static_cast<WebHost*>(self);
    double notches = e->deltaY / 100.0;
    if (e->deltaMode == DOM_DELTA_LINE) notches = e->deltaY / 3.0;
    if (e->deltaMode == DOM_DELTA_PAGE) notches = e->deltaY;
    host.mouse.wheel -= (int)(notches * WHEEL_DELTA);
    return EM_TRUE;
}

// The first finger on the canvas is the mouse: a tap is a click of the left button where it
// touched, a drag moves the cursor and the mouse. The page neither scrolls nor zooms with it.
EM_BOOL WebHost::OnTouch(int type, const EmscriptenTouchEvent* e, void* self) {
    WebHost& host = *static_cast<WebHost*>(self);
    const bool ends = type == EMSCRIPTEN_EVENT_TOUCHEND || type == EMSCRIPTEN_EVENT_TOUCHCANCEL;
    for (int i = 0; i < e->numTouches && i < 32; ++i) {
        const EmscriptenTouchPoint& t = e->touches[i];
        if (!t.isChanged) continue;
        if (type == EMSCRIPTEN_EVENT_TOUCHSTART && host.touchId < 0) {
            host.touchId = t.identifier;
            host.touchReleaseWaits = false;
            host.touchPressUnread = true;
            host.mouse.buttons[0] = true;
        } else if (t.identifier != host.touchId) {
            continue;
        } else {
            host.mouse.dx += (int)(t.clientX - host.touchX);
            host.mouse.dy += (int)(t.clientY - host.touchY);
        }
        host.touchX = t.clientX;
        host.touchY = t.clientY;
        host.MoveCursor(t.clientX, t.clientY);
        if (ends) {
            host.touchId = -1;
            if (host.touchPressUnread)
                host.touchReleaseWaits = true;
            else
                host.mouse.buttons[0] = false;
        }
    }
    return EM_TRUE;
}

EM_BOOL WebHost::OnFocus(int type, const EmscriptenFocusEvent*, void* self) {
    WebHost& host = *static_cast<WebHost*>(self);
    host.pageFocused = type != EMSCRIPTEN_EVENT_BLUR;
    host.FocusChanged(host.visible && host.pageFocused);
    return EM_FALSE;
}

EM_BOOL WebHost::OnVisibility(int, const EmscriptenVisibilityChangeEvent* e, void* self) {
    WebHost& host = *static_cast<WebHost*>(self);
    host.visible = !e->hidden;
    // Shown again: the page has the focus back with it (a tab switched back to).
    if (host.visible) host.pageFocused = true;
    host.FocusChanged(host.visible && host.pageFocused);
    return EM_FALSE;
}

void WebHost::Present(const FrameView& view) {
    frame.Show(view);
}

// The next animation frame: the browser paints, runs its handlers, and paces the program to
// the display. A hidden page has none, so the program waits there until it is shown again.
void WebHost::WaitVerticalBlank() {
    NextTurn();
}

// The browser's turn: it paints and runs its handlers; the pads may have changed.
void WebHost::NextTurn() {
    WebPageNextFrame();
    lastYield = emscripten_get_now();
    pads.NextTurn();
}

// A program that only polls (no frame wait, no message wait) still lets the browser run now
// and then, or the page would hang.
void WebHost::YieldIfBusy() {
    if (emscripten_get_now() - lastYield < 100) return;
    NextTurn();
}

bool WebHost::PollEvent(HostEvent* event) {
    YieldIfBusy();
    if (events.empty()) return false;
    if (event) *event = events.front();
    events.pop_front();
    return true;
}

void WebHost::WaitEvent() {
    while (events.empty()) {
        WebPageSleep(1000);
        lastYield = emscripten_get_now();
        pads.NextTurn();
    }
}

void WebHost::ReadKeyboard(uint8_t state[256]) {
    if (state) std::memcpy(state, keys, sizeof keys);
}

void WebHost::ReadMouse(MouseState* out) {
    if (out) *out = mouse;
    // A tap's press has been seen: its release may follow.
    touchPressUnread = false;
    if (touchReleaseWaits) {
        touchReleaseWaits = false;
        mouse.buttons[0] = false;
    }
    if (mouse.dx || mouse.dy || mouse.wheel) WebPageNoteMouse(mouse.dx, mouse.dy, mouse.wheel);
    mouse.dx = mouse.dy = mouse.wheel = 0;
}

uint32_t WebHost::Milliseconds() {
    return (uint32_t)(uint64_t)(emscripten_get_now() - start);
}

void WebHost::CursorPos(int* x, int* y) {
    if (x) *x = cursorX;
    if (y) *y = cursorY;
    if (cursorX != notedCursorX || cursorY != notedCursorY) {
        notedCursorX = cursorX;
        notedCursorY = cursorY;
        WebPageNoteCursor(cursorX, cursorY);
    }
}

void WebHost::DebugOutput(const char* text) {
    if (text) std::fputs(text, stderr);
}

} // namespace

Host* CreateWebHost() {
    // A script from the page: the headless machine runs the program, shown in the canvas.
    if (const char* steps = std::getenv("TARN_HEADLESS_SCRIPT"); steps && *steps)
        return CreateWebHeadlessHost();
    if (!webHost) webHost = new WebHost; // lives for the page
    return webHost;
}

} // namespace tarn::platform
