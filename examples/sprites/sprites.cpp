// sprites: a flapping bird from a sprite sheet with a transparent colour, flown over the demo's
// landscape by the keyboard, the mouse, the joystick or a gamepad's left stick. The sheet is drawn
// by the program into a blank surface: four wing beats facing right, and the same mirrored, on
// magenta, the sheet's colour key. A second sheet holds the same frames in black: the bird's
// shadow, blended under it at a constant alpha. A glow with soft edges, a surface with an alpha
// plane that falls off from its centre, circles round the bird.
//
//   sprites [PICTURE] [--fullscreen]   PICTURE: the landscape, landskap.bmp by default
//   Arrow keys, mouse motion, the joystick or a gamepad's left stick fly the bird; F11 switches
//   window and full screen, Escape ends
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "game/TarnGame.h"

const int WIDTH = 640, HEIGHT = 480;

const int CELL_W = 96, CELL_H = 72; // one frame of the sheet
const int FRAMES = 4;               // wing beats per direction
const int GLOW = 96;                // the glow's size

// One frame of the bird in the cell at (left, top): facing right (dir 1) or left (-1), its wings
// at beat `frame`. The shadow sheet draws the same shapes in black.
void DrawBird(TarnSurface* sheet, int left, int top, int frame, int dir, bool shadow) {
    auto colour = [&](int r, int g, int b) {
        return shadow ? TarnColour(0, 0, 0) : TarnColour(BYTE(r), BYTE(g), BYTE(b));
    };
    const int cx = left + CELL_W / 2, cy = top + CELL_H / 2 + 4;
    for (int i = -7; i <= 7; ++i) // the tail: a fan of lines
        sheet->DrawLine(cx - 10 * dir, cy, cx - 36 * dir, cy - 4 + i, colour(150, 40, 30));
    sheet->FillCircle(cx, cy, 16, colour(210, 60, 40));                  // body
    sheet->FillCircle(cx + 3 * dir, cy + 6, 9, colour(250, 200, 150));   // belly
    sheet->FillCircle(cx + 16 * dir, cy - 10, 10, colour(210, 60, 40));  // head
    sheet->FillCircle(cx + 19 * dir, cy - 13, 3, colour(255, 255, 255)); // eye
    sheet->FillCircle(cx + 20 * dir, cy - 13, 1, colour(0, 0, 0));
    for (int i = 0; i < 5; ++i) // the beak
        sheet->DrawLine(cx + 24 * dir, cy - 12 + i, cx + 36 * dir, cy - 9, colour(250, 180, 30));
    // The wing: discs shrinking from the shoulder to the tip, which rises and falls with the beat.
    const int tipY[FRAMES] = {-34, -12, 14, -12};
    for (int i = 0; i <= 8; ++i)
        sheet->FillCircle(cx - (2 + 2 * i) * dir, cy - 4 + tipY[frame] * i / 8, 10 - i,
                          colour(250, 120 + 12 * i, 50));
}

int main(int argc, char** argv) {
    TarnGame game("Tarn: sprites", argc, argv);
    TarnSurface* landscape = game.LoadPicture(game.Argument(0, "landskap.bmp"));
    // The sheets (a row of frames facing right, a row facing left) and the glow.
    TarnSurface* sheet = game.CreateSurface(CELL_W * FRAMES, CELL_H * 2);
    TarnSurface* shadow = game.CreateSurface(CELL_W * FRAMES, CELL_H * 2);
    TarnSurface* glow = game.CreateSurface(GLOW, GLOW);

    // The sprites' pixels, drawn anew whenever the display lost them (blank surfaces keep no
    // picture to reload), with the sheets' transparent colour and the glow's alpha plane: from
    // 255 at the centre to 0 at the rim (blue-green-red-alpha rows; only the alpha byte counts).
    game.OnRedraw([&](TarnGame&) {
        for (TarnSurface* s : {sheet, shadow}) {
            s->SetColourKeyRGB(255, 0, 255);
            s->FillSolid(TarnColour(255, 0, 255));
            for (int frame = 0; frame < FRAMES; ++frame) {
                DrawBird(s, frame * CELL_W, 0, frame, 1, s == shadow);
                DrawBird(s, frame * CELL_W, CELL_H, frame, -1, s == shadow);
            }
        }
        std::vector<BYTE> rows(GLOW * GLOW * 4);
        for (int row = 0; row < GLOW; ++row)
            for (int col = 0; col < GLOW; ++col) {
                const double d =
                    std::hypot(col + 0.5 - GLOW / 2, row + 0.5 - GLOW / 2) / (GLOW / 2);
                rows[(row * GLOW + col) * 4 + 3] = BYTE(d < 1 ? 255 * (1 - d) : 0);
            }
        glow->SetAlphaPlane(rows.data(), GLOW * 4, GLOW, GLOW);
        for (int r = GLOW / 2; r > 0; r -= 3) // warm colours in rings
            glow->FillCircle(GLOW / 2, GLOW / 2, r,
                             TarnColour(255, BYTE(250 - 3 * r), BYTE(220 - 4 * r)));
    });

    int x = WIDTH / 2, y = HEIGHT / 3, facing = 0;
    return game.Run([&](TarnGame& g) {
        // Move: arrow keys 4 pixels a frame, the mouse as it moves, the joystick by its tilt
        // (its axes run from -1000 to 1000), every pad's left stick by its tilt too (-32767 to
        // 32767, 0 inside its dead zone, y down as on the screen).
        const TarnInput& input = g.Input();
        int dx = 4 * (g.Held(KEY_CODE_RIGHT) - g.Held(KEY_CODE_LEFT)) + input.mouseDeltaX +
                 input.joystickDeltaX * 6 / 1000;
        int dy = 4 * (g.Held(KEY_CODE_DOWN) - g.Held(KEY_CODE_UP)) + input.mouseDeltaY +
                 input.joystickDeltaY * 6 / 1000;
        for (int pad = 0; pad < PAD_COUNT; ++pad) {
            int sx = 0, sy = 0;
            input.GetPadStick(pad, PAD_STICK_LEFT, &sx, &sy);
            dx += sx * 6 / 32767;
            dy += sy * 6 / 32767;
        }
        x = std::max(CELL_W / 2, std::min(WIDTH - CELL_W / 2, x + dx));
        y = std::max(CELL_H / 2, std::min(HEIGHT - CELL_H / 2, y + dy));
        if (dx) facing = dx > 0 ? 0 : 1; // the sheet's row: 0 right, 1 left

        TarnSurface* back = g.Back();
        landscape->CopyTo(back, 0, 0, nullptr);
        // The frame of the animation, by the clock: a wing beat every 90 ms.
        const DWORD now = timeGetTime();
        const int frame = int(now / 90 % FRAMES);
        const RECT cell = {frame * CELL_W, facing * CELL_H, (frame + 1) * CELL_W,
                           (facing + 1) * CELL_H};
        shadow->BlendTo(back, x - CELL_W / 2 + 10, y - CELL_H / 2 + 16, &cell, 96); // 96 / 256
        sheet->CopyKeyedTo(back, x - CELL_W / 2, y - CELL_H / 2, &cell);
        // The glow circles the bird, passing in front of it.
        const double a = now / 700.0;
        glow->AlphaBlendTo(back, x - GLOW / 2 + int(70 * std::cos(a)),
                           y - GLOW / 2 + int(40 * std::sin(a)), nullptr);
        g.Print(8, HEIGHT - 24, TarnColour(255, 255, 255),
                "arrows, mouse, joystick or pad fly the bird (%d, %d)", x, y);
    });
}
