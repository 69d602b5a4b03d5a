// turn: sprites that turn, mirror and animate over the demo's landscape. A ship turns toward the
// mouse (or a pad's left stick) and flies there; a row of coins spins, each a few frames behind
// the one before, from a sprite sheet cut by a grid; a figure walks to and fro, its walk an
// animation mirrored by its direction; and the ship is shown again at 3x, by nearest sample
// beside bilinear. The sheets are drawn by the program into blank surfaces.
//
//   turn [PICTURE] [--fullscreen]   PICTURE: the landscape, landskap.bmp by default
//   The mouse or a gamepad's left stick steers the ship; F11 switches window and full screen,
//   Escape ends
#include <windows.h>

#include <cmath>
#include <vector>

#include "game/TarnGame.h"
#include "surface/TarnAnimation.h"
#include "surface/TarnSpriteSheet.h"

const int WIDTH = 640, HEIGHT = 480;
const int SHIP = 32;            // the ship's picture, pointing right
const int COIN = 24, SPINS = 8; // one coin frame, frames per turn of a coin
const int WALKER_W = 24, WALKER_H = 40, STEPS = 4;
const double PI = 3.14159265358979323846;

// The ship pointing right, on magenta (the key), with an alpha plane that softens its edge.
void DrawShip(TarnSurface* s) {
    s->FillSolid(TarnColour(255, 0, 255));
    for (int x = 2; x < SHIP - 2; ++x) { // a wedge from the tail to the nose
        const int half = (SHIP - 2 - x) * 12 / SHIP;
        s->DrawLine(x, SHIP / 2 - half, x, SHIP / 2 + half, TarnColour(200, 210, 230));
    }
    s->FillCircle(SHIP / 2 - 2, SHIP / 2, 4, TarnColour(60, 120, 255));        // the cockpit
    s->DrawLine(2, SHIP / 2 - 11, 2, SHIP / 2 + 11, TarnColour(255, 140, 40)); // the engine
}

// The coin turning: a disc squeezed across by cos of its angle, gold with a darker rim.
void DrawCoins(TarnSurface* s) {
    s->FillSolid(TarnColour(255, 0, 255));
    for (int f = 0; f < SPINS; ++f) {
        const double squeeze = std::fabs(std::cos(PI * f / SPINS));
        const int cx = f * COIN + COIN / 2, cy = COIN / 2;
        for (int y = -10; y <= 10; ++y) {
            const int half = int(std::sqrt(100.0 - y * y) * squeeze + 0.5);
            s->DrawLine(cx - half, cy + y, cx + half, cy + y,
                        TarnColour(BYTE(150 + 10 * (half > 2)), 110, 20));
            if (half > 1)
                s->DrawLine(cx - half + 1, cy + y, cx + half - 1, cy + y, TarnColour(250, 200, 40));
        }
    }
}

// The figure walking right: a head, a body, and legs and arms swinging with the step.
void DrawWalker(TarnSurface* s) {
    s->FillSolid(TarnColour(255, 0, 255));
    const int swing[STEPS] = {-6, 0, 6, 0};
    for (int f = 0; f < STEPS; ++f) {
        const int cx = f * WALKER_W + WALKER_W / 2;
        s->FillCircle(cx + 1, 6, 5, TarnColour(240, 190, 150)); // head
        s->FillCircle(cx + 4, 5, 1, TarnColour(0, 0, 0));       // eye (it looks right)
        RECT body = {cx - 3, 12, cx + 4, 26};
        s->FillRect(&body, TarnColour(40, 160, 80));
        s->DrawLine(cx, 26, cx + swing[f], 39, TarnColour(40, 40, 120)); // legs
        s->DrawLine(cx, 26, cx - swing[f], 39, TarnColour(40, 40, 120));
        s->DrawLine(cx, 14, cx - swing[f], 22, TarnColour(240, 190, 150)); // arm
    }
}

int main(int argc, char** argv) {
    TarnGame game("Tarn: turn", argc, argv);
    TarnSurface* landscape = game.LoadPicture(game.Argument(0, "landskap.bmp"));
    TarnSurface* ship = game.CreateSurface(SHIP, SHIP);
    TarnSurface* coins = game.CreateSurface(COIN * SPINS, COIN);
    TarnSurface* walker = game.CreateSurface(WALKER_W * STEPS, WALKER_H);

    // The sheets keep only their frames' rectangles: the surfaces are the game's, and keep their
    // pointers across switches and display losses.
    TarnSpriteSheet coinSheet, walkerSheet;
    coinSheet.SetPicture(coins);
    walkerSheet.SetPicture(walker);
    coinSheet.CutGrid(COIN, COIN);
    walkerSheet.CutGrid(WALKER_W, WALKER_H);
    const int spin[SPINS] = {0, 1, 2, 3, 4, 5, 6, 7};
    const int walk[STEPS] = {0, 1, 2, 3};
    TarnAnimation coinAnims[6], walking;
    for (TarnAnimation& a : coinAnims) a.Create(&coinSheet, spin, SPINS, 12, TARN_ANIMATE_LOOP);
    walking.Create(&walkerSheet, walk, STEPS, 8, TARN_ANIMATE_LOOP);

    // The pixels, drawn anew whenever the display lost them, with the sheets' colour key.
    game.OnRedraw([&](TarnGame&) {
        for (TarnSurface* s : {ship, coins, walker}) s->SetColourKeyRGB(255, 0, 255);
        DrawShip(ship);
        DrawCoins(coins);
        DrawWalker(walker);
    });

    double shipX = 200, shipY = 300, heading = 0; // heading in degrees, clockwise from right
    double targetX = shipX, targetY = shipY, walkerX = 100, walkerDir = 1, clock = 0;
    return game.Run([&](TarnGame& g) {
        const double dt = g.seconds;
        clock += dt;
        // Steer: the mouse moves the target; a pad's left stick pushes it.
        const TarnInput& input = g.Input();
        targetX += input.mouseDeltaX;
        targetY += input.mouseDeltaY;
        for (int pad = 0; pad < PAD_COUNT; ++pad) {
            int sx = 0, sy = 0;
            input.GetPadStick(pad, PAD_STICK_LEFT, &sx, &sy);
            targetX += sx * 6.0 / 32767;
            targetY += sy * 6.0 / 32767;
        }
        targetX = std::fmin(std::fmax(targetX, 0), WIDTH - 1);
        targetY = std::fmin(std::fmax(targetY, 0), HEIGHT - 1);
        // Turn toward the target, at most 180 degrees a second, and fly while far from it.
        const double dx = targetX - shipX, dy = targetY - shipY;
        if (std::hypot(dx, dy) > 4) {
            double want = std::atan2(dy, dx) * 180 / PI - heading;
            want = std::remainder(want, 360.0);
            const double most = 180 * dt;
            heading += std::fmax(-most, std::fmin(most, want));
            shipX += std::cos(heading * PI / 180) * 120 * dt;
            shipY += std::sin(heading * PI / 180) * 120 * dt;
        }
        walkerX += walkerDir * 40 * dt;
        if (walkerX > 600 || walkerX < 40) walkerDir = -walkerDir;
        for (int i = 0; i < 6; ++i) // each coin starts a tenth of a second after the one before
            if (clock >= 0.1 * i) coinAnims[i].Update(dt);
        walking.Update(dt);

        TarnSurface* back = g.Back();
        landscape->CopyTo(back, 0, 0, nullptr);
        TarnTurn turn;
        turn.degrees = float(heading);
        turn.flags = TARN_COPY_KEYED | TARN_COPY_SMOOTH;
        ship->CopyTurnedTo(back, int(shipX), int(shipY), nullptr, turn);
        back->DrawCircle(int(targetX), int(targetY), 3, TarnColour(255, 255, 255));

        for (int i = 0; i < 6; ++i) coinAnims[i].CopyKeyedTo(back, 380 + 36 * i, 40);
        // The walker, mirrored when it walks left.
        TarnTurn facing;
        facing.flags = TARN_COPY_KEYED | (walkerDir < 0 ? TARN_COPY_FLIP_X : 0);
        walking.CopyTurnedTo(back, int(walkerX), 420, facing);

        // The ship at 3x, by nearest sample and bilinear.
        TarnTurn big = turn;
        big.scaleX = big.scaleY = 3;
        big.flags = TARN_COPY_KEYED;
        ship->CopyTurnedTo(back, 80, 100, nullptr, big);
        big.flags = TARN_COPY_KEYED | TARN_COPY_SMOOTH;
        ship->CopyTurnedTo(back, 220, 100, nullptr, big);
        g.Print(40, 160, TarnColour(255, 255, 255), "nearest            bilinear");
        g.Print(8, HEIGHT - 24, TarnColour(255, 255, 255),
                "mouse or pad steers the ship (heading %d degrees)", int(heading));
    });
}
