// Benchmarks of TarnFont beside SDL_ttf with the same font file (DejaVu Sans) at the same size:
// a 40-character line drawn every frame at 16 and 48 pixels onto a 640 x 480 surface of 16 and
// of 32 bits (the peer: TTF_RenderUTF8_Blended, its glyphs kept by SDL_ttf's cache, and
// SDL_BlitSurface of the result onto a surface of the same format); the first draw of a new
// size (opening the font and drawing the line once, against TTF_OpenFont and the same render
// and blit); and a block of 500 words wrapped in a 600-pixel box (against
// TTF_RenderUTF8_Blended_Wrapped and its blit).
#include "BenchSupport.h"

#include "display/TarnScreen.h"
#include "host/HeadlessHost.h"
#include "surface/TarnSurface.h"
#include "text/TarnFont.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <string>

namespace bench {
namespace {

const Size kScreen = {640, 480};
const char* const kFontFile = TARN_DEFAULT_FONT;
constexpr int kBoxWidth = 600;

// 40 characters of a game's status line.
const char* const kLine = "Level 12: the Tarn of Shadows  \xCE\xB1\xCE\xB2 \xD0\x96  9981";

// 500 words of prose, several to a sentence.
std::string Block() {
    static const char* const words[] = {"the",   "quick", "lantern", "flickered", "over",
                                        "black", "water", "while",   "distant",   "bells",
                                        "rang",  "and",   "a",       "traveller", "waited"};
    std::string text;
    for (int i = 0; i < 500; ++i) {
        if (i) text += ' ';
        text += words[(i * 7 + i / 15) % 15];
    }
    return text;
}

// Ink (pixels other than 0) of a w x h surface of `bytes` bytes a pixel.
long InkCount(const void* pixels, long pitch, int w, int h, int bytes) {
    long n = 0;
    for (int y = 0; y < h; ++y) {
        const auto* row = static_cast<const unsigned char*>(pixels) + y * pitch;
        for (int x = 0; x < w * bytes; x += bytes) {
            unsigned v = 0;
            for (int b = 0; b < bytes; ++b) v |= row[x + b];
            n += v != 0;
        }
    }
    return n;
}

enum class Work { Line, FirstDraw, Block };

class FontCase : public PairCase {
public:
    FontCase(Work work, int pixels, int bits) : work(work), pixels(pixels), bits(bits) {}
    ~FontCase() override {
        delete target;
        delete screen;
        if (peerFont) TTF_CloseFont(peerFont);
        if (peerTarget) SDL_FreeSurface(peerTarget);
        if (ttfStarted) TTF_Quit();
    }

    std::string Prepare() override {
        tarn::platform::HeadlessHost& host = tarn::platform::UseHeadlessHost();
        host.Config().desktopBits = bits;
        screen = new TarnScreen();
        if (screen->GetDirectDraw() == nullptr ||
            screen->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL) != DD_OK)
            return "no DirectDraw device";
        target = new TarnSurface();
        if (target->CreateBlank(screen, kScreen.width, kScreen.height, 1) != 1) return "no surface";
        if (target->pixelLayout.depth != bits) return "the surface is not of the depth asked";
        if (font.Open(kFontFile, pixels) != 0) return font.ErrorMessage();
        if (TTF_Init() != 0) return std::string("TTF_Init: ") + TTF_GetError();
        ttfStarted = true;
        peerFont = TTF_OpenFont(kFontFile, pixels);
        if (!peerFont) return std::string("TTF_OpenFont: ") + TTF_GetError();
        peerTarget = SDL_CreateRGBSurfaceWithFormat(0, kScreen.width, kScreen.height, bits,
                                                    bits == 16 ? SDL_PIXELFORMAT_RGB565
                                                               : SDL_PIXELFORMAT_RGB888);
        if (!peerTarget) return std::string("no SDL surface: ") + SDL_GetError();
        block = Block();

        // Both draw the same text: about as many ink pixels (the two rasterise the same
        // outlines, FreeType hinted, ours not).
        target->FillSolid(0);
        Ours();
        if (target->Lock() < 1) return "the surface cannot be locked";
        const long ours = InkCount(target->surfaceDesc.lpSurface, target->surfaceDesc.lPitch,
                                   kScreen.width, kScreen.height, bits / 8);
        target->Unlock();
        SDL_FillRect(peerTarget, nullptr, 0);
        Peer();
        const long peer = InkCount(peerTarget->pixels, peerTarget->pitch, kScreen.width,
                                   kScreen.height, bits / 8);
        if (ours == 0 || peer == 0) return "no text drawn";
        const double ratio = static_cast<double>(ours) / static_cast<double>(peer);
        if (ratio < 0.75 || ratio > 1.33)
            return "the two texts differ: " + std::to_string(ours) + " ink pixels against " +
                   std::to_string(peer);
        return "";
    }

    void Ours() override {
        const COLORREF ink = RGB(255, 255, 255);
        switch (work) {
        case Work::Line:
            font.Draw(target, 8, 8, ink, kLine);
            break;
        case Work::FirstDraw: {
            TarnFont fresh;
            fresh.Open(kFontFile, pixels);
            fresh.Draw(target, 8, 8, ink, kLine);
            break;
        }
        case Work::Block: {
            const RECT box = {8, 8, 8 + kBoxWidth, kScreen.height};
            font.DrawBox(target, &box, ink, block.c_str());
            break;
        }
        }
    }

    void Peer() override {
        const SDL_Color ink = {0xFF, 0xFF, 0xFF, 0xFF};
        SDL_Surface* text = nullptr;
        TTF_Font* opened = nullptr;
        switch (work) {
        case Work::Line:
            text = TTF_RenderUTF8_Blended(peerFont, kLine, ink);
            break;
        case Work::FirstDraw:
            opened = TTF_OpenFont(kFontFile, pixels);
            if (opened) text = TTF_RenderUTF8_Blended(opened, kLine, ink);
            break;
        case Work::Block:
            text = TTF_RenderUTF8_Blended_Wrapped(peerFont, block.c_str(), ink, kBoxWidth);
            break;
        }
        if (text) {
            SDL_Rect at = {8, 8, 0, 0};
            SDL_BlitSurface(text, nullptr, peerTarget, &at);
            SDL_FreeSurface(text);
        }
        if (opened) TTF_CloseFont(opened);
        benchmark::DoNotOptimize(peerTarget->pixels);
    }

private:
    Work work;
    int pixels, bits;
    TarnScreen* screen = nullptr;
    TarnSurface* target = nullptr;
    TarnFont font;
    std::string block;
    bool ttfStarted = false;
    TTF_Font* peerFont = nullptr;
    SDL_Surface* peerTarget = nullptr;
};

const bool kRegistered = [] {
    for (int pixels : {16, 48})
        for (int bits : {16, 32}) {
            char name[64], what[128];
            std::snprintf(name, sizeof name, "FontLine%dpx%dbit", pixels, bits);
            std::snprintf(what, sizeof what, "TarnFont::Draw, a 40-character line, %d px, %d-bit",
                          pixels, bits);
            RegisterPair(name, what, "SDL_ttf RenderUTF8_Blended + SDL_BlitSurface", 0.5,
                         [pixels, bits](Size) {
                             return std::make_unique<FontCase>(Work::Line, pixels, bits);
                         },
                         {kScreen});
        }
    RegisterPair("FontFirstDraw", "TarnFont::Open at 16 px and the line's first draw, 32-bit",
                 "TTF_OpenFont + RenderUTF8_Blended + blit", 1.0,
                 [](Size) { return std::make_unique<FontCase>(Work::FirstDraw, 16, 32); },
                 {kScreen});
    RegisterPair("FontBlock", "TarnFont::DrawBox, 500 words wrapped at 600 px, 16 px, 32-bit",
                 "SDL_ttf RenderUTF8_Blended_Wrapped + blit", 0.5,
                 [](Size) { return std::make_unique<FontCase>(Work::Block, 16, 32); }, {kScreen});
    return true;
}();

} // namespace
} // namespace bench
