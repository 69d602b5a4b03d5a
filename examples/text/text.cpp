// text: TarnFont's text. Sizes from 8 to 96 pixels, the default font's three faces (DejaVu Sans,
// Sans Bold and Sans Mono), a line in Greek and one in Cyrillic, a shadow and an outline, and a
// block of text wrapped in a box, aligned left, centre or right (the arrow keys), with the box
// Measure says it fills drawn around it. The fonts are opened once; after the first frame the
// text costs no allocation.
//
//   text [--fullscreen]        Left and Right change the alignment, F11 switches window and
//                              full screen, Escape ends
#include <cmath>
#include <cstdio>

#include "game/TarnGame.h"
#include "text/TarnFont.h"

int main(int argc, char** argv) {
    TarnGame game("Tarn: text", argc, argv);
    const int sizes[] = {8, 12, 16, 24, 36, 48, 96};
    TarnFont bySize[7], bold, mono, body;
    auto open = [](TarnFont& font, int size, int face) {
        if (font.OpenDefault(size, face) == 0) return true;
        std::fprintf(stderr, "text: %s\n", font.ErrorMessage());
        return false;
    };
    for (int i = 0; i < 7; ++i)
        if (!open(bySize[i], sizes[i], TARN_FONT_SANS)) return 1;
    if (!open(bold, 22, TARN_FONT_BOLD) || !open(mono, 16, TARN_FONT_MONO) ||
        !open(body, 15, TARN_FONT_SANS))
        return 1;
    bold.SetShadow(TarnColour(0, 0, 0), 3);
    bySize[6].SetOutline(TarnColour(150, 40, 10), 3);
    const DWORD alignments[] = {0, TARN_TEXT_CENTRE, TARN_TEXT_RIGHT};
    const char* const alignmentNames[] = {"left", "centre", "right"};
    int alignment = 0;
    const char* const block =
        "Text in a box wraps at spaces, and a word too long for the line, "
        "Donaudampfschifffahrtsgesellschaft, is broken.\nA new line starts here.";

    return game.Run([&](TarnGame& g) {
        TarnSurface* back = g.Back();
        if (g.Input().keyState[KEY_CODE_LEFT] == KEY_PRESSED) alignment = (alignment + 2) % 3;
        if (g.Input().keyState[KEY_CODE_RIGHT] == KEY_PRESSED) alignment = (alignment + 1) % 3;
        for (int band = 0; band < 6; ++band) {
            RECT r = {0, band * g.height / 6, g.width, (band + 1) * g.height / 6};
            back->FillRect(
                &r, TarnColour(BYTE(30 + band * 6), BYTE(40 + band * 8), BYTE(70 + band * 10)));
        }

        // The sizes, each line's cell top at y.
        int y = 6;
        for (int i = 0; i < 6; ++i) {
            char label[32];
            std::snprintf(label, sizeof label, "%d px Tarn", sizes[i]);
            bySize[i].Draw(back, 8, y, TarnColour(255, 255, 255), label);
            y += bySize[i].LineHeight();
        }
        // 96 pixels, outlined, over the right half, fading in and out.
        bySize[6].SetOpacity(160 + int(95 * std::sin(g.time * 2)));
        bySize[6].Draw(back, 620, 0, TarnColour(250, 200, 60), "Tarn",
                       TARN_TEXT_RIGHT | TARN_TEXT_OUTLINE);
        bySize[6].SetOpacity(255);

        // The faces, the scripts, the shadow.
        bold.Draw(back, 330, 130, TarnColour(255, 230, 120), "Bold, with a shadow",
                  TARN_TEXT_SHADOW);
        mono.Draw(back, 330, 166, TarnColour(160, 255, 160), "Mono: 0123456789 {}[]");
        body.Draw(back, 330, 194, TarnColour(200, 220, 255),
                  "\xCE\x93\xCE\xB5\xCE\xB9\xCE\xAC \xCF\x83\xCE\xBF\xCF\x85, "
                  "\xCE\xBA\xCF\x8C\xCF\x83\xCE\xBC\xCE\xB5!"); // Greek
        body.Draw(back, 330, 218, TarnColour(255, 200, 220),
                  "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, "
                  "\xD0\xBC\xD0\xB8\xD1\x80!"); // Cyrillic

        // The block in its box, aligned as chosen, and the box Measure gives.
        RECT box = {16, 262, 236, 470};
        back->DrawRect(&box, TarnColour(90, 110, 150));
        body.DrawBox(back, &box, TarnColour(240, 240, 240), block, alignments[alignment]);
        int w = 0, h = 0;
        body.Measure(block, &w, &h, box.right - box.left);
        const int left = alignment == 0   ? box.left
                         : alignment == 1 ? box.left + (box.right - box.left - w) / 2
                                          : box.right - w;
        RECT measured = {left - 1, box.top - 1, left + w + 1, box.top + h + 1};
        back->DrawRect(&measured, TarnColour(255, 160, 60));
        char status[64];
        std::snprintf(status, sizeof status, "%s: %d x %d pixels", alignmentNames[alignment], w, h);
        mono.Draw(back, 330, 420, TarnColour(255, 160, 60), "Left, Right: the alignment");
        mono.Draw(back, 330, 444, TarnColour(255, 160, 60), status);
    });
}
