// input: what the keyboard, the mouse, a joystick and the gamepads are doing right now, as
// TarnInput reads them each frame; run it to check your devices.
//  - Keys: every key code that is not up, with its name, its state (pressed or released on the
//    one frame it changed, then held or up), how long ago it was pressed and where the mouse
//    was then. Mouse and joystick buttons have key codes too, so they are listed as well. A key
//    that went up stays on the list, grey, for two seconds.
//  - Mouse: a cross-hair at its position, its four buttons as boxes that fill while held, and the
//    wheel: boxes lit on the frame it turned, the notches of its last turn and the totals.
//  - Joystick: its axes as a dot in a square (the centre is at rest) and its ten buttons; "no
//    joystick" when none was plugged in at the start (F11 looks again).
//  - Gamepads: all four slots, each pad drawn as a small pad: the sticks as dots in their
//    circles with the dead zone inside (a dot in it reads as 0, 0), the triggers as bars with
//    their threshold, every button lit by its state. Pads come and go as they are plugged in.
//    R held runs the motors of every pad.
//
//   input [--fullscreen]        F11 switches window and full screen, R rumbles, Escape ends
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>

#include "game/TarnGame.h"

const int WIDTH = 640, HEIGHT = 480;

const char* const STATE_NAMES[] = {"up", "released", "pressed", "held"}; // by KEY_UP .. KEY_HELD
const TarnColour STATE_COLOURS[] = {TarnColour(130, 130, 140), TarnColour(255, 130, 90),
                                    TarnColour(255, 235, 90), TarnColour(120, 230, 120)};
const TarnColour WHITE = TarnColour(240, 240, 240), GREY = TarnColour(150, 150, 160);
const DWORD KEEP_MS = 2000; // how long a released key stays on the list

class Input {
public:
    void Frame(TarnGame& g) {
        const DWORD now = timeGetTime();
        TarnInput& input = g.Input();
        TarnSurface* back = g.Back();
        back->FillSolid(TarnColour(18, 22, 34));
        // wheelUp or wheelDown is set by the one read that saw the wheel turn.
        if (input.wheelUp) wheelUpTotal += input.wheelUpCount;
        if (input.wheelDown) wheelDownTotal += input.wheelDownCount;

        // The cross-hair's lines go under the panels' text, its ring over everything.
        const TarnColour hair = TarnColour(60, 80, 120);
        back->DrawLine(0, input.mouseY, WIDTH - 1, input.mouseY, hair);
        back->DrawLine(input.mouseX, 0, input.mouseX, HEIGHT - 1, hair);

        Keys(g, input, now);
        Mouse(g, input);
        Joystick(g, input);
        Rumble(input);
        Pads(g, input);
        g.Print(12, HEIGHT - 24, GREY, "F11: window / full screen     R: rumble     Escape: end");
        back->DrawCircle(input.mouseX, input.mouseY, 9, TarnColour(255, 255, 255));
    }

private:
    // The key codes that are not up, and those that went up less than KEEP_MS ago, in code order.
    void Keys(TarnGame& g, const TarnInput& input, DWORD now) {
        Panel(g, 8, 8, 408, 236, "Keys");
        g.Print(140, 12, GREY, "state");
        g.Print(218, 12, GREY, "pressed");
        g.Print(314, 12, GREY, "free mouse");
        int y = 38, more = 0;
        // Code 0 is left out: it gathers every scan code without a key code of its own.
        for (DWORD code = 1; code < KEY_CODE_COUNT; ++code) {
            const BYTE state = input.keyState[code];
            if (state != KEY_UP)
                shownUntil[code] = now + KEEP_MS;
            else if (now >= shownUntil[code])
                continue;
            if (y > 190) { // no room left in the panel
                ++more;
                continue;
            }
            const TarnColour colour = STATE_COLOURS[state];
            g.Print(16, y, colour, "%s", input.keyNames[code]);
            g.Print(140, y, colour, "%s", STATE_NAMES[state]);
            g.Print(218, y, colour, "%.2f s ago", (now - input.keyPressTime[code]) / 1000.0);
            g.Print(314, y, colour, "%ld, %ld", (long)input.keyPressPos[code].x,
                    (long)input.keyPressPos[code].y);
            y += 20;
        }
        if (more) g.Print(16, y, GREY, "... and %d more", more);
        if (y == 38) g.Print(16, y, GREY, "press any key or button");
    }

    // Position (kept inside the frame), free position (never clamped), motion of the last read,
    // the four buttons and the wheel.
    void Mouse(TarnGame& g, const TarnInput& input) {
        Panel(g, 416, 8, 632, 236, "Mouse");
        if (input.mouseDevice == nullptr) {
            g.Print(428, 38, GREY, "no mouse");
            return;
        }
        g.Print(428, 38, WHITE, "at %ld, %ld", (long)input.mouseX, (long)input.mouseY);
        g.Print(428, 58, WHITE, "free %ld, %ld", (long)input.mouseFreeX, (long)input.mouseFreeY);
        g.Print(428, 78, WHITE, "moved %ld, %ld", (long)input.mouseDeltaX, (long)input.mouseDeltaY);
        const char* const names[] = {"left", "right", "middle", "4th"};
        for (int i = 0; i < 4; ++i)
            Button(g, 428 + (i % 2) * 102, 104 + (i / 2) * 28, 96,
                   input.keyState[KEY_MOUSE_BUTTON_0 + i], names[i]);
        g.Print(428, 162, WHITE, "wheel");
        Button(g, 480, 160, 50, input.wheelUp ? KEY_HELD : KEY_UP, "up");
        Button(g, 536, 160, 62, input.wheelDown ? KEY_HELD : KEY_UP, "down");
        g.Print(428, 188, WHITE, "last: %d up, %d down", input.wheelUpCount, input.wheelDownCount);
        g.Print(428, 208, WHITE, "in all: %ld up, %ld down", wheelUpTotal, wheelDownTotal);
    }

    // The axes of the last read (-1000 .. 1000 each way) as a dot, and the ten buttons.
    void Joystick(TarnGame& g, const TarnInput& input) {
        TarnSurface* back = g.Back();
        Panel(g, 8, 244, 188, 448, "Joystick");
        if (input.joystickDevice == nullptr) {
            g.Print(20, 274, GREY, "no joystick");
            return;
        }
        RECT square = {16, 272, 96, 352};
        const int cx = 56, cy = 312, reach = 40;
        back->FillRect(&square, TarnColour(30, 36, 54));
        back->DrawRect(&square, TarnColour(110, 120, 150));
        back->DrawLine(cx, square.top, cx, square.bottom - 1, TarnColour(60, 70, 95));
        back->DrawLine(square.left, cy, square.right - 1, cy, TarnColour(60, 70, 95));
        const LONG x = std::clamp<LONG>(input.joystickDeltaX, -1000, 1000);
        const LONG y = std::clamp<LONG>(input.joystickDeltaY, -1000, 1000);
        back->FillCircle(cx + x * reach / 1000, cy + y * reach / 1000, 5, TarnColour(255, 235, 90));
        g.Print(16, 410, WHITE, "axes %ld, %ld", (long)input.joystickDeltaX,
                (long)input.joystickDeltaY);
        for (int i = 0; i < 10; ++i) {
            char label[2] = {char('0' + i), '\0'};
            Button(g, 104 + (i / 5) * 40, 272 + (i % 5) * 26, 36,
                   input.keyState[KEY_JOY_BUTTON_0 + i], label);
        }
    }

    // R held runs both motors of every pad; each pad is told only when that changes (a pad
    // plugged in while R is held joins in).
    void Rumble(TarnInput& input) {
        const bool wanted =
            input.keyState[int{'r'}] == KEY_PRESSED || input.keyState[int{'r'}] == KEY_HELD;
        for (int pad = 0; pad < PAD_COUNT; ++pad) {
            if (!input.IsPadConnected(pad)) {
                rumbling[pad] = false;
            } else if (wanted != rumbling[pad]) {
                const WORD speed = wanted ? 40000 : 0;
                rumbling[pad] = input.SetPadRumble(pad, speed, speed / 2) == 0 && wanted;
            }
        }
    }

    // The four slots side by side, each pad drawn as a small pad.
    void Pads(TarnGame& g, const TarnInput& input) {
        Panel(g, 196, 244, 632, 448, "Gamepads");
        for (int pad = 0; pad < PAD_COUNT; ++pad) Pad(g, input, pad, 204 + pad * 107, 270);
    }

    // One pad in a 102 x 150 box at (left, top): triggers at the edges, shoulders above, the
    // left stick and the face buttons in the upper row, the d-pad and the right stick below,
    // back and start between them.
    void Pad(TarnGame& g, const TarnInput& input, int pad, int left, int top) {
        TarnSurface* back = g.Back();
        if (!input.IsPadConnected(pad)) {
            g.Print(left, top, GREY, "%d: none", pad + 1);
            return;
        }
        g.Print(left, top, WHITE, rumbling[pad] ? "%d: rumble" : "%d", pad + 1);
        const XINPUT_GAMEPAD& raw = input.padGamepad[pad];
        Trigger(back, input, left, top + 24, raw.bLeftTrigger, PAD_TRIGGER_LEFT, pad);
        Trigger(back, input, left + 96, top + 24, raw.bRightTrigger, PAD_TRIGGER_RIGHT, pad);
        Box(back, left + 10, top + 22, 30, 8, input.GetPadButtonState(pad, PAD_LEFT_SHOULDER));
        Box(back, left + 62, top + 22, 30, 8, input.GetPadButtonState(pad, PAD_RIGHT_SHOULDER));
        Stick(back, input, pad, PAD_STICK_LEFT, left + 30, top + 58, raw.sThumbLX, raw.sThumbLY);
        Stick(back, input, pad, PAD_STICK_RIGHT, left + 72, top + 106, raw.sThumbRX, raw.sThumbRY);
        const struct {
            int button, dx, dy;
        } face[] = {{PAD_Y, 0, -11}, {PAD_A, 0, 11}, {PAD_X, -11, 0}, {PAD_B, 11, 0}};
        for (const auto& f : face)
            Dot(back, left + 74 + f.dx, top + 58 + f.dy, input.GetPadButtonState(pad, f.button));
        const struct {
            int button, dx, dy;
        } dpad[] = {{PAD_UP, 0, -9}, {PAD_DOWN, 0, 9}, {PAD_LEFT, -9, 0}, {PAD_RIGHT, 9, 0}};
        for (const auto& d : dpad)
            Box(back, left + 26 + d.dx, top + 102 + d.dy, 8, 8,
                input.GetPadButtonState(pad, d.button));
        Box(back, left + 41, top + 80, 8, 6, input.GetPadButtonState(pad, PAD_BACK));
        Box(back, left + 53, top + 80, 8, 6, input.GetPadButtonState(pad, PAD_START));
    }

    // A stick: its circle (ringed by its button's state), the dead zone inside it, and a dot at
    // the raw position, lit while the stick reads beyond the dead zone.
    static void Stick(TarnSurface* back, const TarnInput& input, int pad, int stick, int cx, int cy,
                      SHORT rawX, SHORT rawY) {
        const int radius = 21;
        back->FillCircle(cx, cy, radius, TarnColour(30, 36, 54));
        const BYTE pressed = input.GetPadButtonState(
            pad, stick == PAD_STICK_LEFT ? PAD_LEFT_THUMB : PAD_RIGHT_THUMB);
        back->DrawCircle(cx, cy, radius, STATE_COLOURS[pressed]);
        back->DrawCircle(cx, cy, radius * input.padStickDeadZone[stick] / 32767,
                         TarnColour(70, 80, 110));
        int x = 0, y = 0;
        input.GetPadStick(pad, stick, &x, &y);
        const bool moved = x != 0 || y != 0;
        back->FillCircle(cx + rawX * radius / 32768, cy - rawY * radius / 32768, 3,
                         moved ? TarnColour(255, 235, 90) : TarnColour(150, 150, 160));
    }

    // A trigger: a bar filled from the bottom by its raw travel, lit above the threshold, with
    // the threshold marked.
    static void Trigger(TarnSurface* back, const TarnInput& input, int x, int y, BYTE raw,
                        int trigger, int pad) {
        const int height = 96;
        RECT frame = {x, y, x + 6, y + height};
        back->DrawRect(&frame, TarnColour(70, 80, 110));
        RECT fill = {x + 1, y + height - 1 - raw * (height - 2) / 255, x + 5, y + height - 1};
        if (raw > 0)
            back->FillRect(&fill, input.GetPadTrigger(pad, trigger) > 0
                                      ? TarnColour(255, 235, 90)
                                      : TarnColour(150, 150, 160));
        const int mark = y + height - 1 - input.padTriggerThreshold * (height - 2) / 255;
        back->DrawLine(x - 2, mark, x + 7, mark, TarnColour(255, 130, 90));
    }

    // A small button: filled in its state's colour while down, outlined otherwise.
    static void Box(TarnSurface* back, int x, int y, int width, int height, BYTE state) {
        RECT r = {x, y, x + width, y + height};
        const bool down = state == KEY_PRESSED || state == KEY_HELD;
        if (down)
            back->FillRect(&r, STATE_COLOURS[state]);
        else
            back->DrawRect(&r, STATE_COLOURS[state]);
    }

    static void Dot(TarnSurface* back, int x, int y, BYTE state) {
        const bool down = state == KEY_PRESSED || state == KEY_HELD;
        if (down)
            back->FillCircle(x, y, 5, STATE_COLOURS[state]);
        else
            back->DrawCircle(x, y, 5, STATE_COLOURS[state]);
    }

    // A framed panel with its title.
    static void Panel(TarnGame& g, int left, int top, int right, int bottom, const char* title) {
        RECT r = {left, top, right, bottom};
        g.Back()->DrawRect(&r, TarnColour(70, 80, 110));
        g.Print(left + 8, top + 4, WHITE, "%s", title);
    }

    // A button's box: filled while it is down, outlined in its state's colour otherwise.
    static void Button(TarnGame& g, int x, int y, int width, BYTE state, const char* label) {
        TarnSurface* back = g.Back();
        RECT r = {x, y, x + width, y + 22};
        const bool down = state == KEY_PRESSED || state == KEY_HELD;
        const TarnColour pixel = STATE_COLOURS[state];
        if (down)
            back->FillRect(&r, pixel);
        else
            back->DrawRect(&r, pixel);
        g.Print(x + 5, y + 2, down ? TarnColour(20, 20, 30) : WHITE, "%s", label);
    }

    DWORD shownUntil[KEY_CODE_COUNT] = {}; // per key code: listed until this time
    long wheelUpTotal = 0, wheelDownTotal = 0;
    bool rumbling[PAD_COUNT] = {}; // per pad: its motors were set running
};

int main(int argc, char** argv) {
    TarnGame game("Tarn: input", argc, argv);
    Input program;
    return game.Run([&](TarnGame& g) { program.Frame(g); });
}
