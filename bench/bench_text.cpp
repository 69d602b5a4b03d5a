// Benchmarks of text drawn every frame, as a game draws its score, frame rate or menu: ours is
// TarnSurface::DrawString of a 40-character line in the default font onto the 640 x 480 5-6-5
// back buffer of a full-screen screen on the headless host (a line, and a screen of 20 lines).
// The peer is SDL_ttf with the same font file at the same size: each line rendered with
// TTF_RenderText_Solid (glyphs kept by SDL_ttf's own cache, the line's surface made anew, as a
// program does when its text changes) and blitted onto an RGB565 surface with SDL_BlitSurface.
#include "BenchSupport.h"

#include "display/TarnScreen.h"
#include "host/HeadlessHost.h"
#include "surface/TarnSurface.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace bench {
namespace {

const Size kScreen = {640, 480};
constexpr int kFontPixels = 16;     // the size the default font is drawn at
constexpr int kLinePitch = 20;      // pixels between the tops of the screen's lines
constexpr COLORREF kInk = 0xFFFFFF; // white

// Line `i` of the screen: 40 characters of a score table.
std::string Line(int i) {
    char text[64];
    std::snprintf(text, sizeof text, "Player %02d   Score %07d   Level %02d  OK", i + 1,
                  1234567 - 40503 * i, (i * 7) % 100);
    return text;
}

// Ink pixels (not the background's 0) of a 5-6-5 picture, and their bounding box.
struct Ink {
    long count = 0;
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};
Ink InkOf(const uint16_t* pixels, int width, int height, int pitchPixels) {
    Ink ink;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (pixels[static_cast<size_t>(y) * pitchPixels + x] != 0) {
                ++ink.count;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
    return ink;
}

class TextCase : public PairCase {
public:
    explicit TextCase(int lineCount) {
        for (int i = 0; i < lineCount; ++i) lines.push_back(Line(i));
    }
    ~TextCase() override {
        if (peerFont) TTF_CloseFont(peerFont);
        if (peerTarget) SDL_FreeSurface(peerTarget);
        if (ttfStarted) TTF_Quit();
    }

    std::string Prepare() override {
        for (const std::string& line : lines)
            if (line.size() != 40) return "a line is not 40 characters: " + line;
        tarn::platform::UseHeadlessHost();
        if (std::string failed =
                demo.Open("TarnBenchText", kScreen.width, kScreen.height, kScreen.width,
                          kScreen.height, std::vector<uint16_t>(640 * 480, 0));
            !failed.empty())
            return failed;
        back = demo.screen->GetBack();
        if (TTF_Init() != 0) return std::string("TTF_Init: ") + TTF_GetError();
        ttfStarted = true;
        peerFont = TTF_OpenFont(TARN_DEFAULT_FONT, kFontPixels);
        if (!peerFont) return std::string("TTF_OpenFont: ") + TTF_GetError();
        peerTarget = SDL_CreateRGBSurfaceWithFormat(0, kScreen.width, kScreen.height, 16,
                                                    SDL_PIXELFORMAT_RGB565);
        if (!peerTarget) return std::string("no RGB565 surface: ") + SDL_GetError();

        // Both draw the same text in the same place: about as many ink pixels in about the
        // same box (the two rasterise the same outlines by different rules at the edges).
        back->FillSolid(0);
        Ours();
        int w = 0, h = 0;
        const std::vector<uint16_t> ours = ReadSurface565(back->surface, &w, &h);
        if (ours.empty()) return "the back buffer cannot be read";
        SDL_FillRect(peerTarget, nullptr, 0);
        Peer();
        const Ink a = InkOf(ours.data(), w, h, w);
        const Ink b = InkOf(static_cast<const uint16_t*>(peerTarget->pixels), kScreen.width,
                            kScreen.height, peerTarget->pitch / 2);
        if (a.count == 0 || b.count == 0) return "no text drawn";
        const double inkRatio = static_cast<double>(a.count) / static_cast<double>(b.count);
        if (inkRatio < 0.8 || inkRatio > 1.25 || std::abs(a.left - b.left) > 2 ||
            std::abs(a.right - b.right) > 4 || std::abs(a.top - b.top) > 3 ||
            std::abs(a.bottom - b.bottom) > 3)
            return "the two texts differ: " + std::to_string(a.count) + " ink pixels in (" +
                   std::to_string(a.left) + "," + std::to_string(a.top) + ")-(" +
                   std::to_string(a.right) + "," + std::to_string(a.bottom) + ") against " +
                   std::to_string(b.count) + " in (" + std::to_string(b.left) + "," +
                   std::to_string(b.top) + ")-(" + std::to_string(b.right) + "," +
                   std::to_string(b.bottom) + ")";
        return "";
    }

    void Ours() override {
        for (size_t i = 0; i < lines.size(); ++i)
            back->DrawString(8, 8 + kLinePitch * static_cast<int>(i), kInk, lines[i].c_str());
    }

    void Peer() override {
        const SDL_Color ink = {0xFF, 0xFF, 0xFF, 0xFF};
        for (size_t i = 0; i < lines.size(); ++i) {
            SDL_Surface* text = TTF_RenderText_Solid(peerFont, lines[i].c_str(), ink);
            if (!text) continue;
            SDL_Rect at = {8, 8 + kLinePitch * static_cast<int>(i), 0, 0};
            SDL_BlitSurface(text, nullptr, peerTarget, &at);
            SDL_FreeSurface(text);
        }
        benchmark::DoNotOptimize(peerTarget->pixels);
    }

private:
    std::vector<std::string> lines;
    DemoFrame demo;
    TarnSurface* back = nullptr;
    bool ttfStarted = false;
    TTF_Font* peerFont = nullptr;
    SDL_Surface* peerTarget = nullptr;
};

const bool kRegistered = [] {
    const std::string peer = "SDL_ttf Solid + SDL_BlitSurface onto RGB565";
    RegisterPair("TextLine", "DrawString, one 40-character line, 5-6-5 back buffer", peer, 1.0,
                 [](Size) { return std::make_unique<TextCase>(1); }, {kScreen});
    RegisterPair("TextScreen", "DrawString, a screen of 20 such lines", peer, 1.0,
                 [](Size) { return std::make_unique<TextCase>(20); }, {kScreen});
    return true;
}();

} // namespace
} // namespace bench
