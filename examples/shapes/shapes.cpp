// shapes: lines, rectangles and circles, outlined and filled, in the surface's own colours.
// Shapes that reach past the window's edges are clipped there. A second layer of shapes, drawn
// into a surface of its own with a transparent colour, fades in and out over the first with a
// blended copy.
//
//   shapes [--fullscreen]        F11 switches window and full screen, Escape ends
#include <cmath>

#include "game/TarnGame.h"

int main(int argc, char** argv) {
    TarnGame game("Tarn: shapes", argc, argv);
    const int WIDTH = game.width, HEIGHT = game.height;
    TarnSurface* layer = game.CreateSurface(WIDTH, HEIGHT);
    game.OnRedraw([&](TarnGame&) { layer->SetColourKey(TarnColour(255, 0, 255)); }); // see-through

    return game.Run([&](TarnGame& g) {
        const double t = g.time;
        TarnSurface* back = g.Back();
        auto rgb = [](int r, int g, int b) { return TarnColour(BYTE(r), BYTE(g), BYTE(b)); };

        // The sky in bands, and a sun cut by the top edge.
        for (int band = 0; band < 8; ++band) {
            RECT r = {0, band * HEIGHT / 8, WIDTH, (band + 1) * HEIGHT / 8};
            back->FillRect(&r, rgb(20 + band * 12, 30 + band * 14, 90 + band * 16));
        }
        back->FillCircle(520, -20, 110, rgb(255, 210, 80));
        back->DrawCircle(520, -20, 130, rgb(255, 240, 160));

        // Outlined and filled rectangles, nested.
        for (int i = 0; i < 6; ++i) {
            RECT r = {40 + i * 12, 60 + i * 12, 260 - i * 12, 220 - i * 12};
            if (i % 2)
                back->FillRect(&r, rgb(40 * i, 200 - 30 * i, 120));
            else
                back->DrawRect(&r, rgb(255, 255, 255));
        }

        // A fan of lines from the bottom-left corner, sweeping past the right edge.
        for (int i = 0; i <= 16; ++i) {
            const double a = -1.5 + i * 0.09 + 0.2 * std::sin(t);
            back->DrawLine(0, HEIGHT - 1, int(900 * std::cos(a)),
                           HEIGHT - 1 + int(900 * std::sin(a)), rgb(255, 120 + i * 8, 40));
        }

        // Circles crossing the left and bottom edges.
        back->FillCircle(-30, 300, 90, rgb(60, 180, 90));
        back->DrawCircle(-30, 300, 100, rgb(200, 255, 200));
        back->FillCircle(380, HEIGHT + 40, 120, rgb(90, 60, 160));

        // The second layer: rings and a square turning about the centre, faded in and out.
        layer->FillSolid(TarnColour(255, 0, 255));
        for (int i = 0; i < 5; ++i) {
            const double a = t + i * 1.2566;
            const int x = WIDTH / 2 + int(150 * std::cos(a)),
                      y = HEIGHT / 2 + int(150 * std::sin(a));
            layer->FillCircle(x, y, 36, TarnColour(250, 250, 250));
            layer->DrawCircle(x, y, 46, TarnColour(250, 60, 60));
        }
        RECT square = {WIDTH / 2 - 60, HEIGHT / 2 - 60, WIDTH / 2 + 60, HEIGHT / 2 + 60};
        layer->FillRect(&square, TarnColour(30, 30, 30));
        layer->DrawLine(square.left, square.top, square.right - 1, square.bottom - 1,
                        TarnColour(250, 250, 0));
        const WORD alpha = WORD(128 + 128 * std::sin(t * 1.5)); // 0 (gone) to 256 (solid)
        layer->BlendTo(back, 0, 0, nullptr, alpha);
        g.Print(8, HEIGHT - 24, TarnColour(255, 255, 255), "layer alpha %d / 256", alpha);
    });
}
