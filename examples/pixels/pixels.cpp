// pixels: a plasma written pixel by pixel into the back buffer, through the surface's drawing
// routine for its depth, in 8, 16 or 32 bits. The plasma's 256 colours are made once per screen
// with MapRGB, which gives pixel values at 16 and 32 bits and palette indices at 8 bits (where
// the example first puts its own colours into the display's palette). The bar at the top shows
// the depth, its pixel layout and the frame rate; the strip at the bottom shows the colour table
// as this depth holds it. The window has the desktop's depth; the keys pick a full-screen depth
// (a depth the display has no 640 x 480 mode at is refused with a note).
//
//   pixels [--fullscreen]        1 / 2 / 3 full screen at 8 / 16 / 32 bits,
//                                F11 switches window and full screen, Escape ends
#include <windows.h>
#include <mmsystem.h>

#include <cmath>
#include <cstdio>

#include "game/TarnGame.h"

const int WIDTH = 640, HEIGHT = 480;

// The plasma's colours: from deep blue through purple and orange to pale yellow (index 128) and
// back the same way, so that an index may wrap round without a seam.
static PALETTEENTRY PlasmaColour(int i) {
    static const BYTE stops[4][3] = {
        {10, 10, 110}, {150, 30, 150}, {250, 120, 20}, {255, 245, 170}};
    const int along = (i < 128 ? i : 256 - i) * 3; // 0 .. 384: three steps of 128
    const int stop = along < 384 ? along / 128 : 2, f = along - stop * 128;
    PALETTEENTRY e = {};
    e.peRed = BYTE(stops[stop][0] + (stops[stop + 1][0] - stops[stop][0]) * f / 128);
    e.peGreen = BYTE(stops[stop][1] + (stops[stop + 1][1] - stops[stop][1]) * f / 128);
    e.peBlue = BYTE(stops[stop][2] + (stops[stop + 1][2] - stops[stop][2]) * f / 128);
    return e;
}

// The bits of a channel whose largest value is `max` (31 gives 5).
static int ChannelBits(int max) {
    int bits = 0;
    for (; max > 0; max >>= 1) ++bits;
    return bits;
}

// True when the display lists a mode of the examples' size at `depth` bits.
static bool HasMode(TarnScreen* screen, int depth) {
    const TarnDisplayMode* mode = screen->modeList;
    for (int i = 0; i < screen->modeCount; ++i, mode = mode->next)
        if (mode->width == WIDTH && mode->height == HEIGHT && int(mode->bitDepth) == depth)
            return true;
    return false;
}

int main(int argc, char** argv) {
    TarnGame game("Tarn: pixels", argc, argv);
    BYTE wave[256];                // one turn of a sine, 0 to 255
    DWORD colours[256];            // the plasma's colours as pixel values of the back buffer
    BYTE across[WIDTH];            // this frame's wave along a row
    BYTE down[HEIGHT];             // down a column
    BYTE diagonal[WIDTH + HEIGHT]; // along x + y
    int missingDepth = 0;          // the depth last asked for that the display has no mode at
    for (int i = 0; i < 256; ++i) wave[i] = BYTE(127.5 + 127.5 * std::sin(i * 6.2831853 / 256));

    // Each new screen: its colours.
    game.OnRedraw([&](TarnGame& g) {
        TarnScreen* screen = g.Screen();
        TarnSurface* back = g.Back();
        // At 8 bits the display shows palette indices: give the palette the plasma's colours
        // (the screen has a palette only then), and black and white in its first and last
        // entries for the text. MapRGB below then finds each colour's nearest entry.
        if (screen->palette != nullptr) {
            PALETTEENTRY entries[256];
            for (int i = 0; i < 256; ++i) entries[i] = PlasmaColour(i);
            entries[0] = {0, 0, 0, 0};
            entries[255] = {255, 255, 255, 0};
            screen->palette->SetEntries(0, 0, 256, entries);
        }
        // The colour table, in this surface's own pixel values: made once, read every frame.
        for (int i = 0; i < 256; ++i) {
            const PALETTEENTRY e = PlasmaColour(i);
            colours[i] = back->MapRGB(e.peRed, e.peGreen, e.peBlue);
        }
        if (back->plotPixel == nullptr) g.Quit(1); // a depth the routines do not know
    });

    return game.Run([&](TarnGame& g) {
        TarnScreen* screen = g.Screen();
        // Keys 1, 2 and 3 ask for full screen at 8, 16 and 32 bits from the next frame on, when
        // the display has such a mode; else the help line says so.
        const int depths[3] = {8, 16, 32};
        const DWORD keys[3] = {'1', '2', '3'}; // digit keys: their digit is their key code
        for (int k = 0; k < 3; ++k) {
            if (!g.Pressed(keys[k])) continue;
            missingDepth = HasMode(screen, depths[k]) ? 0 : depths[k];
            if (missingDepth == 0) g.SwitchTo(depths[k]);
        }

        // This frame's waves: one along the rows, one down the columns, one on the diagonals,
        // each moving at its own speed. Three table lookups a pixel, no arithmetic on angles.
        const DWORD t = timeGetTime() / 16;
        for (int x = 0; x < WIDTH; ++x) across[x] = wave[(x * 3 / 2 + t * 3) & 255];
        for (int y = 0; y < HEIGHT; ++y) down[y] = wave[(y * 2 - t * 2) & 255];
        for (int d = 0; d < WIDTH + HEIGHT; ++d)
            diagonal[d] = wave[(wave[(d / 2 + t) & 255] + d - t * 4) & 255];

        // Every pixel of the back buffer, between Lock and Unlock, through the routine chosen
        // for its depth (PlotPixel8, 16 or 32), taken out of the surface once; the colour table
        // wraps round.
        TarnSurface* back = g.Back();
        const TarnSurface::PlotPixelFn plot = back->plotPixel;
        const TarnSurface::VertLineFn vertLine = back->vertLine;
        if (back->Lock() > 0) {
            for (int y = 0; y < HEIGHT; ++y)
                for (int x = 0; x < WIDTH; ++x)
                    (back->*plot)(x, y, colours[(across[x] + down[y] + diagonal[x + y]) & 255]);

            // The colour table itself, one vertical line of 2 x 16 pixels per entry.
            for (int i = 0; i < 512; ++i)
                (back->*vertLine)(HEIGHT - 24, HEIGHT - 9, 64 + i, colours[i / 2]);
            back->Unlock();
        }

        // The depth, its layout and the frame rate, on a black bar.
        RECT bar = {0, 0, WIDTH, 44};
        back->FillRect(&bar, TarnColour(0, 0, 0));
        const PixelLayout& p = back->pixelLayout;
        char layout[64];
        if (p.depth == 8)
            std::snprintf(layout, sizeof(layout), "palette of 256 colours");
        else
            std::snprintf(layout, sizeof(layout), "red-green-blue %d-%d-%d", ChannelBits(p.redMax),
                          ChannelBits(p.greenMax), ChannelBits(p.blueMax));
        const TarnColour white(255, 255, 255);
        g.Print(8, 4, white, "%d bits, %s, %s", p.depth == 15 ? 16 : p.depth, layout,
                g.IsFullScreen() ? "full screen" : "window");
        if (screen->frameRate > 0) // measured over the first second after a switch
            g.Print(470, 4, white, "%d frames a second", screen->frameRate);
        if (missingDepth != 0)
            g.Print(8, 22, white, "The display has no %d x %d mode at %d bits.", WIDTH, HEIGHT,
                    missingDepth);
        else
            g.Print(8, 22, white,
                    "1 / 2 / 3: full screen at 8 / 16 / 32 bits    F11: window    Esc: quit");
    });
}
