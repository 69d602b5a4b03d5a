// input: what the keyboard, the mouse and a joystick are doing right now, as TarnInput reads
// them each frame; run it to check your devices.
//  - Keys: every key code that is not up, with its name, its state (pressed or released on the
//    one frame it changed, then held or up), how long ago it was pressed and where the mouse
//    was then. Mouse and joystick buttons have key codes too, so they are listed as well. A key
//    that went up stays on the list, grey, for two seconds.
//  - Mouse: a cross-hair at its position, its four buttons as boxes that fill while held, and the
//    wheel: boxes lit on the frame it turned, the notches of its last turn and the totals.
//  - Joystick: its axes as a dot in a square (the centre is at rest) and its ten buttons; "no
//    joystick" when none was plugged in at the start (F11 looks again).
//
//   input [--fullscreen]        F11 switches window and full screen, Escape ends
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>

#include "game/TarnGame.h"

const int WIDTH = 640, HEIGHT = 480;

const char* const STATE_NAMES[] = {"up", "released", "pressed", "held"}; // by KEY_UP .. KEY_HELD
const COLORREF STATE_COLOURS[] = {RGB(130, 130, 140), RGB(255, 130, 90), RGB(255, 235, 90),
                                  RGB(120, 230, 120)};
const COLORREF WHITE = RGB(240, 240, 240), GREY = RGB(150, 150, 160);
const DWORD KEEP_MS = 2000; // how long a released key stays on the list

class Input {
public:
    void Frame(TarnGame& g) {
        const DWORD now = timeGetTime();
        const TarnInput& input = g.Input();
        TarnSurface* back = g.Back();
        back->FillSolid(back->MapRGB(18, 22, 34));
        // wheelUp or wheelDown is set by the one read that saw the wheel turn.
        if (input.wheelUp) wheelUpTotal += input.wheelUpCount;
        if (input.wheelDown) wheelDownTotal += input.wheelDownCount;

        // The cross-hair's lines go under the panels' text, its ring over everything.
        const DWORD hair = back->MapRGB(60, 80, 120);
        back->DrawLine(0, input.mouseY, WIDTH - 1, input.mouseY, hair);
        back->DrawLine(input.mouseX, 0, input.mouseX, HEIGHT - 1, hair);

        Keys(g, input, now);
        Mouse(g, input);
        Joystick(g, input);
        g.Print(12, HEIGHT - 24, GREY, "F11: window / full screen     Escape: end");
        back->DrawCircle(input.mouseX, input.mouseY, 9, back->MapRGB(255, 255, 255));
    }

private:
    // The key codes that are not up, and those that went up less than KEEP_MS ago, in code order.
    void Keys(TarnGame& g, const TarnInput& input, DWORD now) {
        Panel(g, 8, 8, 408, 448, "Keys");
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
            if (y > 410) { // no room left in the panel
                ++more;
                continue;
            }
            const COLORREF colour = STATE_COLOURS[state];
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
        Panel(g, 416, 8, 632, 230, "Mouse");
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
        Panel(g, 416, 238, 632, 448, "Joystick");
        if (input.joystickDevice == nullptr) {
            g.Print(428, 268, GREY, "no joystick");
            return;
        }
        RECT square = {428, 268, 538, 378};
        const int cx = 483, cy = 323, reach = 55;
        back->FillRect(&square, back->MapRGB(30, 36, 54));
        back->DrawRect(&square, back->MapRGB(110, 120, 150));
        back->DrawLine(cx, square.top, cx, square.bottom - 1, back->MapRGB(60, 70, 95));
        back->DrawLine(square.left, cy, square.right - 1, cy, back->MapRGB(60, 70, 95));
        const LONG x = std::clamp<LONG>(input.joystickDeltaX, -1000, 1000);
        const LONG y = std::clamp<LONG>(input.joystickDeltaY, -1000, 1000);
        back->FillCircle(cx + x * reach / 1000, cy + y * reach / 1000, 6,
                         back->MapRGB(255, 235, 90));
        g.Print(428, 410, WHITE, "axes %ld, %ld", (long)input.joystickDeltaX,
                (long)input.joystickDeltaY);
        for (int i = 0; i < 10; ++i) {
            char label[2] = {char('0' + i), '\0'};
            Button(g, 548 + (i / 5) * 40, 268 + (i % 5) * 26, 36,
                   input.keyState[KEY_JOY_BUTTON_0 + i], label);
        }
    }

    // A framed panel with its title.
    static void Panel(TarnGame& g, int left, int top, int right, int bottom, const char* title) {
        RECT r = {left, top, right, bottom};
        g.Back()->DrawRect(&r, g.Back()->MapRGB(70, 80, 110));
        g.Print(left + 8, top + 4, WHITE, "%s", title);
    }

    // A button's box: filled while it is down, outlined in its state's colour otherwise.
    static void Button(TarnGame& g, int x, int y, int width, BYTE state, const char* label) {
        TarnSurface* back = g.Back();
        RECT r = {x, y, x + width, y + 22};
        const bool down = state == KEY_PRESSED || state == KEY_HELD;
        const COLORREF c = STATE_COLOURS[state];
        const DWORD pixel = back->MapRGB(GetRValue(c), GetGValue(c), GetBValue(c));
        if (down)
            back->FillRect(&r, pixel);
        else
            back->DrawRect(&r, pixel);
        g.Print(x + 5, y + 2, down ? RGB(20, 20, 30) : WHITE, "%s", label);
    }

    DWORD shownUntil[KEY_CODE_COUNT] = {}; // per key code: listed until this time
    long wheelUpTotal = 0, wheelDownTotal = 0;
};

int main(int argc, char** argv) {
    TarnGame game("Tarn: input", argc, argv);
    Input program;
    return game.Run([&](TarnGame& g) { program.Frame(g); });
}
