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
// A page may run the program on a script (the headless host's language, TARN_HEADLESS_SCRIPT in
// the environment the page gives): then clock, input and events come from the headless machine,
// and every frame still goes to the canvas at the browser's pace, so a scripted run shows in the
// page exactly what the headless host would dump.
#include "host/HeadlessHost.h"
#include "host/Host.h"
#include "host/WebKeymap.h"

#include <emscripten.h>
#include <emscripten/html5.h>
#ifdef __wasm_simd128__
#include <wasm_simd128.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <vector>

namespace tarn::platform {

Host* CreateHeadlessHost();

namespace {

constexpr int WHEEL_DELTA = 120; // Windows' unit for one notch of the wheel
constexpr const char* CANVAS = "#canvas";

// The page's side: the canvas sized and filled, the waits that give the browser its turn.
EM_JS(void, WebShowFrame, (const void* rgba, int width, int height), {
    const canvas = Module['canvas'];
    if (!canvas) return;
    const web = Module['tarnWeb'] || (Module['tarnWeb'] = {frames : 0});
    if (canvas.width != width || canvas.height != height || !web.context) {
        canvas.width = width;
        canvas.height = height;
        web.context = canvas.getContext('2d', {alpha : false});
        web.image = null;
        if (Module['tarnFit']) Module['tarnFit']();
    }
    // The image's pixels are a view of the program's memory; made anew only when the frame's
    // place or size changes, or the memory grows (which replaces its buffer).
    const bytes = width * height * 4;
    if (!web.image || web.imagePtr != rgba || web.image.width != width ||
        web.image.height != height || web.image.data.buffer != HEAPU8.buffer) {
        web.image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, bytes), width, height);
        web.imagePtr = rgba;
    }
    web.context.putImageData(web.image, 0, 0);
    web.frames++;
    if (Module['onTarnFrame']) Module['onTarnFrame'](web.frames);
});

// The two waits hand the browser its turn: Asyncify unwinds the program and winds it back when
// the callback wakes it (both are named in the link's ASYNCIFY_IMPORTS). They create no promise,
// so a frame leaves no garbage behind.
EM_JS(void, WebNextAnimationFrame, (), {
    Asyncify.handleSleep(function(wakeUp) { requestAnimationFrame(function() { wakeUp(); }); });
});

// Ends when WebWake is called (an event arrived) or after `ms` milliseconds.
EM_JS(void, WebSleepUntilWoken, (int ms), {
    Asyncify.handleSleep(function(wakeUp) {
        const web = Module['tarnWeb'] || (Module['tarnWeb'] = {frames : 0});
        const timer = setTimeout(
            function() {
                web.wake = null;
                wakeUp();
            },
            ms);
        // Called from an event handler that the program itself is running: the program is
        // woken once that handler has returned.
        web.wake = function() {
            clearTimeout(timer);
            web.wake = null;
            queueMicrotask(wakeUp);
        };
    });
});

EM_JS(void, WebWake, (), {
    const web = Module['tarnWeb'];
    if (web && web.wake) web.wake();
});

// The canvas's place on the page in CSS pixels: left, top, width, height (the letterbox is what
// lies around it).
EM_JS(void, WebCanvasPlace, (double* place), {
    const canvas = Module['canvas'];
    const r = canvas ? canvas.getBoundingClientRect() : {left : 0, top : 0, width : 0, height : 0};
    HEAPF64[place >> 3] = r.left;
    HEAPF64[(place >> 3) + 1] = r.top;
    HEAPF64[(place >> 3) + 2] = r.width;
    HEAPF64[(place >> 3) + 3] = r.height;
});

// A click on the canvas gives it the keyboard's focus (its mousedown prevents the default, which
// would otherwise do that).
EM_JS(void, WebFocusCanvas, (), {
    if (Module['canvas'] && document.activeElement != Module['canvas']) Module['canvas'].focus();
});

EM_JS(void, WebSetTitle, (const char* title), { document.title = UTF8ToString(title); });

EM_JS(int, WebPageWidth, (), { return window.innerWidth | 0; });
EM_JS(int, WebPageHeight, (), { return window.innerHeight | 0; });
EM_JS(int, WebPageVisible, (), { return document.visibilityState == 'hidden' ? 0 : 1; });
EM_JS(void, WebShowCursor, (int show), {
    if (Module['canvas']) Module['canvas'].style.cursor = show ? 'default' : 'none';
});

// Web Audio: a stereo processor node that asks the program for each block of frames (16-bit,
// interleaved, in the program's memory at `buffer`). Browsers let sound start only after a
// click or a key: until then the context waits, and the first one resumes it. The node counts
// the blocks it handed on and keeps the loudest sample of each side (audio.blocks, audio.peaks:
// what a page or a test can ask). Once the program has ended it only plays silence.
EM_JS(int, WebOpenAudio, (int rate, int16_t* buffer, int frames), {
    const AudioContextType = window.AudioContext || window.webkitAudioContext;
    if (!AudioContextType) return 0;
    let context;
    try {
        context = new AudioContextType({sampleRate : rate});
    } catch (e) {
        return 0;
    }
    const web = Module['tarnWeb'] || (Module['tarnWeb'] = {frames : 0});
    const audio = {context : context, blocks : 0, peaks : [ 0, 0 ]};
    audio.node = context.createScriptProcessor(frames, 0, 2);
    audio.node.onaudioprocess = function(event) {
        const left = event.outputBuffer.getChannelData(0);
        const right = event.outputBuffer.getChannelData(1);
        if (ABORT || (typeof runtimeExited != 'undefined' && runtimeExited) || web.ended ||
            web.audio != audio) {
            left.fill(0);
            right.fill(0);
            return;
        }
        Module['_TarnWebPullAudio'](left.length);
        const samples = new Int16Array(HEAPU8.buffer, buffer, left.length * 2);
        let peakLeft = audio.peaks[0], peakRight = audio.peaks[1];
        for (let i = 0; i < left.length; ++i) {
            const l = samples[2 * i], r = samples[2 * i + 1];
            left[i] = l / 32768;
            right[i] = r / 32768;
            peakLeft = Math.max(peakLeft, l < 0 ? -l : l);
            peakRight = Math.max(peakRight, r < 0 ? -r : r);
        }
        audio.blocks++;
        audio.peaks = [ peakLeft, peakRight ];
    };
    audio.node.connect(context.destination);
    // A resume the browser refuses (no gesture yet) is tried again at the next one.
    audio.resume = function() {
        if (context.state == 'suspended') context.resume().catch(function(){});
    };
    window.addEventListener('keydown', audio.resume, true);
    window.addEventListener('mousedown', audio.resume, true);
    window.addEventListener('pointerdown', audio.resume, true);
    window.addEventListener('touchstart', audio.resume, true);
    web.audio = audio;
    audio.resume();
    return 1;
});

EM_JS(void, WebCloseAudio, (), {
    const web = Module['tarnWeb'];
    if (!web || !web.audio) return;
    const audio = web.audio;
    web.audio = null;
    audio.node.onaudioprocess = null;
    audio.node.disconnect();
    audio.context.close().catch(function(){});
    window.removeEventListener('keydown', audio.resume, true);
    window.removeEventListener('mousedown', audio.resume, true);
    window.removeEventListener('pointerdown', audio.resume, true);
    window.removeEventListener('touchstart', audio.resume, true);
});

// The pad's two motors, where the browser can drive them. A browser plays an effect for a set
// time, while XInput's motors run until told otherwise: the effect is played again every 0.9 s
// until the program stops the motors or ends. A pad without motors, or a browser that refuses,
// is left alone.
EM_JS(void, WebRumble, (int index, double strong, double weak), {
    const web = Module['tarnWeb'] || (Module['tarnWeb'] = {frames : 0});
    web.rumble = web.rumble || [];
    clearInterval(web.rumble[index]);
    web.rumble[index] = 0;
    const actuator = function() {
        const pads = navigator.getGamepads ? navigator.getGamepads() : [];
        const pad = pads && pads[index];
        return pad && pad.vibrationActuator;
    };
    const quietly = function(result) {
        if (result && result.catch) result.catch(function(){});
    };
    try {
        const a = actuator();
        if (strong <= 0 && weak <= 0) {
            if (a && a.reset) quietly(a.reset());
            return;
        }
        if (!a || !a.playEffect) return;
    } catch (e) {
        return;
    }
    const play = function() {
        try {
            if (ABORT || (typeof runtimeExited != 'undefined' && runtimeExited)) {
                clearInterval(web.rumble[index]);
                return;
            }
            const a = actuator();
            if (a && a.playEffect)
                quietly(a.playEffect(
                    'dual-rumble',
                    {duration : 1000, strongMagnitude : strong, weakMagnitude : weak}));
        } catch (e) {
        }
    };
    play();
    web.rumble[index] = setInterval(play, 900);
});

// What the program last read from a browser's pad, and the mouse's motion and wheel it has read
// in all, kept on the page (tarnWeb.pads[slot], tarnWeb.joystick, tarnWeb.mouse) for the page or
// a test to see. Called only when there is something to note.
EM_JS(void, WebNotePad, (int slot, int buttons, int lt, int rt, int lx, int ly, int rx, int ry), {
    const web = Module['tarnWeb'] || (Module['tarnWeb'] = {frames : 0});
    const pads = web.pads || (web.pads = []);
    const pad = pads[slot] || (pads[slot] = {});
    pad.buttons = buttons;
    pad.leftTrigger = lt;
    pad.rightTrigger = rt;
    pad.leftX = lx;
    pad.leftY = ly;
    pad.rightX = rx;
    pad.rightY = ry;
});
EM_JS(void, WebNoteJoystick, (int x, int y, int buttons), {
    const web = Module['tarnWeb'] || (Module['tarnWeb'] = {frames : 0});
    const joystick = web.joystick || (web.joystick = {});
    joystick.x = x;
    joystick.y = y;
    joystick.buttons = buttons;
});
// Where the program was last told the cursor is (tarnWeb.cursor), for the page or a test.
EM_JS(void, WebNoteCursor, (int x, int y), {
    const web = Module['tarnWeb'] || (Module['tarnWeb'] = {frames : 0});
    web.cursor = {x : x, y : y};
});
EM_JS(void, WebNoteMouse, (int dx, int dy, int wheel), {
    const web = Module['tarnWeb'] || (Module['tarnWeb'] = {frames : 0});
    const mouse = web.mouse || (web.mouse = {dx : 0, dy : 0, wheel : 0});
    mouse.dx += dx;
    mouse.dy += dy;
    mouse.wheel += wheel;
});

// A channel of a masked pixel format: where it sits and how wide it is.
struct Channel {
    int shift = 0, bits = 0;
};
Channel Describe(uint32_t mask) {
    Channel c;
    if (!mask) return c;
    while (!((mask >> c.shift) & 1)) ++c.shift;
    while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1)) ++c.bits;
    return c;
}
// Red, green, blue and an opaque alpha in the canvas's byte order.
uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b) {
    return r | g << 8 | b << 16 | 0xFF000000u;
}

class WebHost final : public Host {
public:
    WebHost();

    const char* Name() const override { return "web"; }
    const MachineConfig& Machine() const override;

    bool OpenWindow(const char* title, int width, int height) override;
    void CloseWindow() override { windowOpen = false; }
    void SetFullScreen(bool, int, int, int) override {} // the page is the whole screen
    void ShowCursor(bool show) override { WebShowCursor(show ? 1 : 0); }
    void Present(const FrameView& frame) override;
    void WaitVerticalBlank() override;

    bool PollEvent(HostEvent* event) override;
    void WaitEvent() override;

    bool HasFocus() const override { return script ? script->HasFocus() : focus; }
    void ReadKeyboard(uint8_t state[256]) override;
    void ReadMouse(MouseState* mouse) override;
    bool JoystickAttached() const override;
    std::string JoystickName() const override;
    bool ReadJoystick(JoystickState* out) override;

    bool ReadPad(int slot, PadState* pad) override;
    void SetPadRumble(int slot, uint16_t low, uint16_t high) override;

    uint32_t Milliseconds() override;
    void CursorPos(int* x, int* y) override;
    void DebugOutput(const char* text) override;

    bool OpenAudio(int rate, AudioPull pull, void* context) override;
    void CloseAudio() override;
    void CatchUpAudio() override {
        if (script) script->CatchUpAudio();
    }

    // Fills the sound buffer with `frames` frames for the page's audio callback.
    void PullAudio(int frames);

private:
    void Push(HostEvent::Type type, uint32_t vk = 0);
    void FocusChanged(bool on);
    void MoveCursor(long clientX, long clientY);
    static bool PointerLocked();
    void YieldIfBusy();
    bool Convert(const FrameView& frame);
    bool SamplePads() const;
    const EmscriptenGamepadEvent* Gamepad() const;

    static EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* e, void* self);
    static EM_BOOL OnMouseButton(int type, const EmscriptenMouseEvent* e, void* self);
    static EM_BOOL OnMouseMove(int type, const EmscriptenMouseEvent* e, void* self);
    static EM_BOOL OnWheel(int type, const EmscriptenWheelEvent* e, void* self);
    static EM_BOOL OnFocus(int type, const EmscriptenFocusEvent* e, void* self);
    static EM_BOOL OnVisibility(int type, const EmscriptenVisibilityChangeEvent* e, void* self);
    static EM_BOOL OnGamepad(int type, const EmscriptenGamepadEvent* e, void* self);

    Host* script = nullptr; // the headless machine when the page runs a script
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
    double start = 0, lastYield = 0;

    // The frame in the canvas's layout (red, green, blue, alpha bytes), and the table that
    // turns a 16-bit pixel into it, built when the masks change.
    std::vector<uint32_t> rgba;
    std::vector<uint32_t> table16;
    uint32_t tableMasks[3] = {};
    int frameWidth = 0, frameHeight = 0;
    mutable EmscriptenGamepadEvent pad{};
    // The browser's pads are read once a turn (it changes them only between turns), and not at
    // all before it has said that one is there.
    bool padsSeen = false;
    unsigned turn = 1;
    mutable unsigned sampledTurn = 0;
    mutable bool sampled = false;

    AudioPull audioPull = nullptr;
    void* audioContext = nullptr;
    std::vector<int16_t> audioBuffer; // interleaved stereo, read by the page
};

WebHost* webHost = nullptr;

WebHost::WebHost() {
    start = lastYield = emscripten_get_now();
    // A script from the page: the headless machine runs it and this host shows its frames.
    if (const char* steps = std::getenv("TARN_HEADLESS_SCRIPT"); steps && *steps)
        script = CreateHeadlessHost();
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
    // The window's own blur and focus only (not in the capture phase): an element of the page
    // losing the focus to another (the canvas to the page's body) is not the page losing it.
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, 0, &WebHost::OnFocus);
    emscripten_set_focus_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, 0, &WebHost::OnFocus);
    emscripten_set_visibilitychange_callback(this, 1, &WebHost::OnVisibility);
    emscripten_set_gamepadconnected_callback(this, 1, &WebHost::OnGamepad);
}

const MachineConfig& WebHost::Machine() const {
    if (script) return script->Machine();
    if (machineKnown) return machine;
    machineKnown = true;
    machine.desktopWidth = WebPageWidth() > 0 ? WebPageWidth() : 1024;
    machine.desktopHeight = WebPageHeight() > 0 ? WebPageHeight() : 768;
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

bool WebHost::OpenWindow(const char* title, int width, int height) {
    if (script) script->OpenWindow(title, width, height);
    windowOpen = true;
    if (title && *title) WebSetTitle(title);
    return true;
}

void WebHost::Push(HostEvent::Type type, uint32_t vk) {
    HostEvent e;
    e.type = type;
    e.vk = vk;
    events.push_back(e);
    WebWake();
}

// The page hidden, or another window or tab in front: the display is taken away, as when
// another program takes the foreground; keys held then are let go.
void WebHost::FocusChanged(bool on) {
    if (on == focus) return;
    focus = on;
    if (!on) {
        std::memset(keys, 0, sizeof keys);
        for (bool& b : mouse.buttons) b = false;
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
    if (vk && !host.script) host.Push(down ? HostEvent::KeyDown : HostEvent::KeyUp, vk);
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
    WebFocusCanvas();
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
    WebCanvasPlace(place);
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

EM_BOOL WebHost::OnFocus(int type, const EmscriptenFocusEvent*, void* self) {
    WebHost& host = *static_cast<WebHost*>(self);
    host.pageFocused = type != EMSCRIPTEN_EVENT_BLUR;
    host.FocusChanged(host.visible && host.pageFocused);
    return EM_FALSE;
}

EM_BOOL WebHost::OnGamepad(int, const EmscriptenGamepadEvent*, void* self) {
    static_cast<WebHost*>(self)->padsSeen = true;
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

// One row of 5-6-5 pixels as the canvas's R, G, B, A bytes, eight pixels at a time in vector
// registers where the build has them.
void Widen565(const uint16_t* src, uint32_t* dst, int width) {
    int x = 0;
#ifdef __wasm_simd128__
    const v128_t low5 = wasm_i16x8_splat(31), low6 = wasm_i16x8_splat(63);
    const v128_t alpha = wasm_i16x8_splat((short)0xFF00);
    for (; x + 8 <= width; x += 8) {
        const v128_t p = wasm_v128_load(src + x);
        const v128_t r = wasm_u16x8_shr(p, 11), g = wasm_v128_and(wasm_u16x8_shr(p, 5), low6),
                     b = wasm_v128_and(p, low5);
        const v128_t r8 = wasm_v128_or(wasm_i16x8_shl(r, 3), wasm_u16x8_shr(r, 2));
        const v128_t g8 = wasm_v128_or(wasm_i16x8_shl(g, 2), wasm_u16x8_shr(g, 4));
        const v128_t b8 = wasm_v128_or(wasm_i16x8_shl(b, 3), wasm_u16x8_shr(b, 2));
        const v128_t rg = wasm_v128_or(r8, wasm_i16x8_shl(g8, 8)), ba = wasm_v128_or(b8, alpha);
        wasm_v128_store(dst + x, wasm_i16x8_shuffle(rg, ba, 0, 8, 1, 9, 2, 10, 3, 11));
        wasm_v128_store(dst + x + 4, wasm_i16x8_shuffle(rg, ba, 4, 12, 5, 13, 6, 14, 7, 15));
    }
#endif
    for (; x < width; ++x) {
        const uint32_t p = src[x], r = p >> 11, g = (p >> 5) & 63, b = p & 31;
        dst[x] = (r << 3 | r >> 2) | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2) << 16 | 0xFF000000u;
    }
}

// The frame in the canvas's layout. 16-bit pixels go through a table of every value, so each
// channel is widened exactly as the headless host's dump widens it.
bool WebHost::Convert(const FrameView& f) {
    if (!f.pixels || f.width <= 0 || f.height <= 0 || f.width > 16384 || f.height > 16384)
        return false;
    const size_t count = (size_t)f.width * (size_t)f.height;
    if (rgba.size() != count) rgba.assign(count, 0xFF000000u);
    const Channel r = Describe(f.redMask), g = Describe(f.greenMask), b = Describe(f.blueMask);
    if (f.bits == 16 && (table16.empty() || tableMasks[0] != f.redMask ||
                         tableMasks[1] != f.greenMask || tableMasks[2] != f.blueMask)) {
        table16.resize(65536);
        for (uint32_t p = 0; p < 65536; ++p)
            table16[p] = Rgba(WidenChannel((p >> r.shift) & ((1u << r.bits) - 1), r.bits),
                              WidenChannel((p >> g.shift) & ((1u << g.bits) - 1), g.bits),
                              WidenChannel((p >> b.shift) & ((1u << b.bits) - 1), b.bits));
        tableMasks[0] = f.redMask;
        tableMasks[1] = f.greenMask;
        tableMasks[2] = f.blueMask;
    }
    const bool rgb565 = f.redMask == 0xF800 && f.greenMask == 0x07E0 && f.blueMask == 0x001F;
    uint32_t* out = rgba.data();
    for (int y = 0; y < f.height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(f.pixels) + (size_t)y * f.pitch;
        uint32_t* dst = out + (size_t)y * f.width;
        switch (f.bits) {
        case 8:
            if (!f.palette) return false;
            for (int x = 0; x < f.width; ++x) {
                const uint32_t c = f.palette[row[x]];
                dst[x] = Rgba((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
            }
            break;
        case 16: {
            const uint16_t* src = reinterpret_cast<const uint16_t*>(row);
            if (rgb565) {
                // The display's own format worked out arithmetically: each channel's top bits
                // repeated below it, as WidenChannel does.
                Widen565(src, dst, f.width);
            } else {
                for (int x = 0; x < f.width; ++x) dst[x] = table16[src[x]];
            }
            break;
        }
        case 24:
        case 32: {
            const int step = f.bits / 8;
            for (int x = 0; x < f.width; ++x) {
                const uint8_t* s = row + (size_t)x * step;
                const uint32_t p =
                    s[0] | s[1] << 8 | s[2] << 16 | (step == 4 ? (uint32_t)s[3] << 24 : 0);
                dst[x] = Rgba(WidenChannel((p >> r.shift) & ((1u << r.bits) - 1), r.bits),
                              WidenChannel((p >> g.shift) & ((1u << g.bits) - 1), g.bits),
                              WidenChannel((p >> b.shift) & ((1u << b.bits) - 1), b.bits));
            }
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

void WebHost::Present(const FrameView& frame) {
    if (script) script->Present(frame);
    if (!Convert(frame)) return;
    frameWidth = frame.width;
    frameHeight = frame.height;
    WebShowFrame(rgba.data(), frame.width, frame.height);
}

// The next animation frame: the browser paints, runs its handlers, and paces the program to
// the display. A hidden page has none, so the program waits there until it is shown again.
void WebHost::WaitVerticalBlank() {
    if (script) script->WaitVerticalBlank();
    WebNextAnimationFrame();
    lastYield = emscripten_get_now();
    ++turn;
}

// A program that only polls (no frame wait, no message wait) still lets the browser run now
// and then, or the page would hang.
void WebHost::YieldIfBusy() {
    if (emscripten_get_now() - lastYield < 100) return;
    WebNextAnimationFrame();
    lastYield = emscripten_get_now();
    ++turn;
}

bool WebHost::PollEvent(HostEvent* event) {
    if (script) {
        YieldIfBusy();
        return script->PollEvent(event);
    }
    YieldIfBusy();
    if (events.empty()) return false;
    if (event) *event = events.front();
    events.pop_front();
    return true;
}

void WebHost::WaitEvent() {
    if (script) {
        script->WaitEvent();
        return;
    }
    while (events.empty()) {
        WebSleepUntilWoken(1000);
        lastYield = emscripten_get_now();
        ++turn;
    }
}

void WebHost::ReadKeyboard(uint8_t state[256]) {
    if (script) return script->ReadKeyboard(state);
    if (state) std::memcpy(state, keys, sizeof keys);
}

void WebHost::ReadMouse(MouseState* out) {
    if (script) return script->ReadMouse(out);
    if (out) *out = mouse;
    if (mouse.dx || mouse.dy || mouse.wheel) WebNoteMouse(mouse.dx, mouse.dy, mouse.wheel);
    mouse.dx = mouse.dy = mouse.wheel = 0;
}

bool WebHost::SamplePads() const {
    if (!padsSeen) return false;
    if (sampledTurn != turn) {
        sampled = emscripten_sample_gamepad_data() == EMSCRIPTEN_RESULT_SUCCESS;
        sampledTurn = turn;
    }
    return sampled;
}

// The first connected gamepad's latest state; null when there is none.
const EmscriptenGamepadEvent* WebHost::Gamepad() const {
    if (!SamplePads()) return nullptr;
    const int count = emscripten_get_num_gamepads();
    for (int i = 0; i < count; ++i)
        if (emscripten_get_gamepad_status(i, &pad) == EMSCRIPTEN_RESULT_SUCCESS && pad.connected)
            return &pad;
    return nullptr;
}

bool WebHost::JoystickAttached() const {
    return script ? script->JoystickAttached() : Gamepad() != nullptr;
}

std::string WebHost::JoystickName() const {
    if (script) return script->JoystickName();
    const EmscriptenGamepadEvent* p = Gamepad();
    return p ? std::string(p->id) : std::string();
}

// The pad's first two axes (-1 .. 1) and its buttons as the joystick's.
bool WebHost::ReadJoystick(JoystickState* out) {
    if (script) return script->ReadJoystick(out);
    const EmscriptenGamepadEvent* p = Gamepad();
    if (!p) return false;
    if (!out) return true;
    auto axis = [&](int i) {
        if (i >= p->numAxes) return 0;
        double v = p->axis[i] < -1 ? -1 : p->axis[i] > 1 ? 1 : p->axis[i];
        return v < 0 ? (int)(v * 32768) : (int)(v * 32767);
    };
    out->x = axis(0);
    out->y = axis(1);
    int held = 0;
    for (int i = 0; i < 32; ++i) {
        out->buttons[i] = i < p->numButtons && p->digitalButton[i];
        if (out->buttons[i]) held |= 1 << i;
    }
    WebNoteJoystick(out->x, out->y, held);
    return true;
}

// The browser's "standard" gamepad layout is XInput's: face buttons 0-3, shoulders 4-5,
// triggers 6-7, back and start 8-9, stick clicks 10-11, the d-pad 12-15; axes 0-3 the sticks,
// y growing downwards (XInput's grows upwards). A pad keeps its index while plugged in, and a new
// one takes the lowest free index, as XInput's slots.
bool WebHost::ReadPad(int slot, PadState* out) {
    if (script) return script->ReadPad(slot, out);
    if (out) *out = PadState{};
    if (slot < 0 || slot >= kPadSlots) return false;
    if (!SamplePads()) return false;
    EmscriptenGamepadEvent p{};
    if (emscripten_get_gamepad_status(slot, &p) != EMSCRIPTEN_RESULT_SUCCESS || !p.connected)
        return false;
    if (!out) return true;
    static constexpr uint16_t BUTTONS[] = {
        0x1000, 0x2000, 0x4000, 0x8000, // A, B, X, Y
        0x0100, 0x0200, 0,      0,      // left and right shoulder; the triggers are analog
        0x0020, 0x0010, 0x0040, 0x0080, // back, start, left and right stick
        0x0001, 0x0002, 0x0004, 0x0008, // d-pad up, down, left, right
    };
    for (int i = 0; i < p.numButtons && i < (int)std::size(BUTTONS); ++i)
        if (p.digitalButton[i]) out->buttons |= BUTTONS[i];
    auto trigger = [&](int i) {
        if (i >= p.numButtons) return (uint8_t)0;
        const double v = p.analogButton[i] < 0 ? 0 : p.analogButton[i] > 1 ? 1 : p.analogButton[i];
        return (uint8_t)(v * 255 + 0.5);
    };
    out->leftTrigger = trigger(6);
    out->rightTrigger = trigger(7);
    auto axis = [&](int i, bool flip) {
        if (i >= p.numAxes) return (int16_t)0;
        double v = p.axis[i] < -1 ? -1 : p.axis[i] > 1 ? 1 : p.axis[i];
        if (flip) v = -v;
        return (int16_t)(v < 0 ? v * 32768 : v * 32767);
    };
    out->leftX = axis(0, false);
    out->leftY = axis(1, true);
    out->rightX = axis(2, false);
    out->rightY = axis(3, true);
    WebNotePad(slot, out->buttons, out->leftTrigger, out->rightTrigger, out->leftX, out->leftY,
               out->rightX, out->rightY);
    return true;
}

void WebHost::SetPadRumble(int slot, uint16_t low, uint16_t high) {
    if (script) return script->SetPadRumble(slot, low, high);
    if (slot >= 0 && slot < kPadSlots) WebRumble(slot, low / 65535.0, high / 65535.0);
}

bool WebHost::OpenAudio(int rate, AudioPull pull, void* context) {
    if (script) return script->OpenAudio(rate, pull, context);
    if (!pull || rate <= 0 || audioPull) return false;
    constexpr int BLOCK_FRAMES = 2048; // about 46 ms at 44.1 kHz
    audioBuffer.assign(BLOCK_FRAMES * 2, 0);
    audioPull = pull;
    audioContext = context;
    if (!WebOpenAudio(rate, audioBuffer.data(), BLOCK_FRAMES)) {
        audioPull = nullptr;
        return false;
    }
    // A program that ends with its device still open (exit() in the middle of a game) has its
    // context closed before its sound objects are destroyed.
    static bool closeAtExit = false;
    if (!closeAtExit)
        closeAtExit = std::atexit([] {
                          if (webHost) webHost->CloseAudio();
                      }) == 0;
    return true;
}

void WebHost::CloseAudio() {
    if (script) return script->CloseAudio();
    if (!audioPull) return;
    WebCloseAudio();
    audioPull = nullptr;
    audioContext = nullptr;
}

void WebHost::PullAudio(int frames) {
    if (frames * 2 > (int)audioBuffer.size()) frames = (int)audioBuffer.size() / 2;
    if (audioPull)
        audioPull(audioContext, audioBuffer.data(), frames);
    else
        std::fill(audioBuffer.begin(), audioBuffer.end(), (int16_t)0);
}

uint32_t WebHost::Milliseconds() {
    if (script) return script->Milliseconds();
    return (uint32_t)(uint64_t)(emscripten_get_now() - start);
}

void WebHost::CursorPos(int* x, int* y) {
    if (script) return script->CursorPos(x, y);
    if (x) *x = cursorX;
    if (y) *y = cursorY;
    if (cursorX != notedCursorX || cursorY != notedCursorY) {
        notedCursorX = cursorX;
        notedCursorY = cursorY;
        WebNoteCursor(cursorX, cursorY);
    }
}

void WebHost::DebugOutput(const char* text) {
    if (text) std::fputs(text, stderr);
}

} // namespace

Host* CreateWebHost() {
    if (!webHost) webHost = new WebHost; // lives for the page
    return webHost;
}

} // namespace tarn::platform

// The page's audio callback asks for sound here (exported by name).
extern "C" EMSCRIPTEN_KEEPALIVE void TarnWebPullAudio(int frames) {
    if (tarn::platform::webHost) tarn::platform::webHost->PullAudio(frames);
}
