// libFuzzer target for font files: each input is opened as a font (TarnFont::OpenMemory) at a
// size taken from its length, and what opens draws and measures text of several scripts, with
// characters it may lack and an outline, onto a surface of the headless host. A cut or corrupted
// file must be refused or draw without reading outside its bytes; the sanitizers watch both the
// reader of the font's tables and the rasterizer it feeds.
#include "display/TarnScreen.h"
#include "surface/TarnSurface.h"
#include "text/TarnFont.h"

#include "host/HeadlessHost.h"

#include <windows.h>
#include <ddraw.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

TarnScreen* g_screen = nullptr;
TarnSurface* g_canvas = nullptr;

const char* const TEXT = "The quick brown fox, AV Wa fi 0123 \xCE\xA9\xCE\xB1 \xD0\x96\xD0\xB6 "
                         "\xE4\xB8\x80 \xF0\x9F\x98\x80 \xFF\n\xEF\xBF\xBD end";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tarn::platform::HeadlessHost& host = tarn::platform::UseHeadlessHost();
    host.Config().desktopBits = 32;
    g_screen = new TarnScreen();
    g_canvas = new TarnSurface();
    if (g_screen->GetDirectDraw() == nullptr ||
        g_screen->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL) != DD_OK ||
        g_canvas->CreateBlank(g_screen, 200, 80, 1) != 1) {
        std::fprintf(stderr, "fuzz_font: no surface on the headless host\n");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4u << 20) return 0;
    TarnFont font;
    if (font.OpenMemory(data, size, TarnFont::MIN_SIZE + static_cast<int>(size % 60)) != 0)
        return 0;
    int w = 0, h = 0;
    font.Measure(TEXT, &w, &h, 90);
    font.Draw(g_canvas, -3, -2, RGB(255, 255, 255), TEXT, TARN_TEXT_OUTLINE);
    const RECT box = {10, 10, 150, 70};
    font.DrawBox(g_canvas, &box, RGB(200, 30, 30), TEXT, TARN_TEXT_CENTRE | TARN_TEXT_SHADOW);
    return 0;
}
