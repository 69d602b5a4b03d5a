// Benchmarks of the sprite calls beside SDL2 doing the same work: a 64 x 64 5-6-5 sprite (a disc,
// the corners transparent) drawn 1,000 times at scattered positions, some cut by the edges, onto
// a 640 x 480 5-6-5 destination: colour-keyed (SDL with and without its run-length encoding),
// doubled in size, at constant alpha 128, and weighted by an alpha plane (SDL: an ARGB8888 sprite
// blended onto RGB565); and FillRect of the whole destination beside memset. Both sides start
// from the same destination, and their results are compared before anything is timed.
#include "BenchSupport.h"

#include "surface/TarnSurface.h"

#include <SDL.h>

#include <cmath>
#include <cstring>

namespace bench {
namespace {

enum class Kind { KeyedRle, Keyed, Doubled, Alpha128, AlphaPlane, Fill };

const int kSprite = 64;
const int kDraws = 1000;
const uint16_t kKey = 0xF81F;

// A 5-6-5 surface wrapped the way the screen wraps its buffers, its layout and routines chosen.
TarnSurface* Wrap(IDirectDrawSurface7* dds, int w, int h) {
    TarnSurface* t = new TarnSurface();
    t->surface = dds;
    t->width = w;
    t->height = h;
    RECT area = {0, 0, w, h};
    t->SetClipArea(&area);
    QueryPixelLayout(dds, &t->pixelLayout);
    t->SelectPixelRoutines();
    return t;
}

class SpriteCase : public PairCase {
public:
    SpriteCase(Kind kind, Size size) : kind(kind), size(size) {}
    ~SpriteCase() override {
        delete sprite;
        delete dest;
        if (peerSprite) SDL_FreeSurface(peerSprite);
        if (peerDest) SDL_FreeSurface(peerDest);
        if (dd) dd->Release();
    }

    std::string Prepare() override {
        std::string error;
        dd = OpenDirectDraw(&error);
        if (!dd) return error;
        IDirectDrawSurface7* a = CreatePlainSurface(dd, kSprite, kSprite);
        IDirectDrawSurface7* b = CreatePlainSurface(dd, size.width, size.height);
        if (!a || !b) {
            if (a) a->Release();
            if (b) b->Release();
            return "could not create the surfaces";
        }
        sprite = Wrap(a, kSprite, kSprite);
        dest = Wrap(b, size.width, size.height);
        if (sprite->pixelLayout.depth != 16) return "the surfaces are not 5-6-5";

        // The sprite: the test picture inside a disc, the key (or alpha 0) outside, alpha falling
        // over the disc's last pixel and a half.
        const std::vector<uint32_t> colours = TestPicture({kSprite, kSprite});
        std::vector<uint16_t> pixels(kSprite * kSprite);
        std::vector<uint32_t> argb(kSprite * kSprite);
        for (int y = 0; y < kSprite; ++y)
            for (int x = 0; x < kSprite; ++x) {
                const double dist = std::hypot(x - 31.5, y - 31.5);
                const int i = y * kSprite + x;
                uint16_t p = To565(colours[i]);
                if (p == kKey) p ^= 1;
                // Weighted sprites keep their colours where the weight is 0: it hides them.
                pixels[i] = dist < 30 || kind == Kind::AlphaPlane ? p : kKey;
                const double weight = (30.5 - dist) * 170;
                const uint32_t alpha = weight <= 0 ? 0 : weight >= 255 ? 255 : (uint32_t)weight;
                // The ARGB colour is the 5-6-5 one widened, so both sides blend the same colours.
                const uint32_t r = p >> 11, g = p >> 5 & 63, bl = p & 31;
                argb[i] = alpha << 24 | (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 |
                          (bl << 3 | bl >> 2);
            }
        if (!Put(sprite, pixels.data(), kSprite * 2)) return "could not lock the sprite";
        background.resize(static_cast<size_t>(size.width) * size.height);
        const std::vector<uint32_t> picture = TestPicture(size);
        for (size_t i = 0; i < background.size(); ++i) background[i] = To565(picture[i]);

        peerDest =
            SDL_CreateRGBSurfaceWithFormat(0, size.width, size.height, 16, SDL_PIXELFORMAT_RGB565);
        if (kind == Kind::AlphaPlane) {
            peerSprite =
                SDL_CreateRGBSurfaceWithFormat(0, kSprite, kSprite, 32, SDL_PIXELFORMAT_ARGB8888);
            if (peerSprite) std::memcpy(peerSprite->pixels, argb.data(), argb.size() * 4);
        } else {
            peerSprite =
                SDL_CreateRGBSurfaceWithFormat(0, kSprite, kSprite, 16, SDL_PIXELFORMAT_RGB565);
            if (peerSprite)
                for (int y = 0; y < kSprite; ++y)
                    std::memcpy(static_cast<uint8_t*>(peerSprite->pixels) + y * peerSprite->pitch,
                                pixels.data() + y * kSprite, kSprite * 2);
        }
        if (!peerSprite || !peerDest) return std::string("SDL: ") + SDL_GetError();

        int tolerance = 0;
        switch (kind) {
        case Kind::KeyedRle:
            SDL_SetSurfaceRLE(peerSprite, 1);
            [[fallthrough]];
        case Kind::Keyed:
            SDL_SetColorKey(peerSprite, SDL_TRUE, kKey);
            sprite->SetColourKey(kKey);
            break;
        case Kind::Doubled:
            break;
        case Kind::Alpha128:
            SDL_SetSurfaceBlendMode(peerSprite, SDL_BLENDMODE_BLEND);
            SDL_SetSurfaceAlphaMod(peerSprite, 128);
            tolerance = 1;
            break;
        case Kind::AlphaPlane:
            SDL_SetSurfaceBlendMode(peerSprite, SDL_BLENDMODE_BLEND);
            if (sprite->SetAlphaPlane(reinterpret_cast<const BYTE*>(argb.data()), kSprite * 4,
                                      kSprite, kSprite) != 0)
                return "SetAlphaPlane failed";
            tolerance = 4; // SDL weighs by alpha cut to 5 bits, and the sprites overlap
            break;
        case Kind::Fill:
            break;
        }
        // Scattered positions, the same for both sides, some cut by the edges. Doubled sprites
        // stay inside: SDL trims a cut scaled copy with rounding of its own.
        const int side = kind == Kind::Doubled ? 2 * kSprite : kSprite;
        const int margin = kind == Kind::Doubled ? 0 : side;
        uint32_t state = 12345;
        for (auto& p : positions) {
            state = state * 1103515245u + 12345u;
            p.x = static_cast<int>(state >> 8) % (size.width - side + 2 * margin) - margin;
            state = state * 1103515245u + 12345u;
            p.y = static_cast<int>(state >> 8) % (size.height - side + 2 * margin) - margin;
        }

        if (!Put(dest, background.data(), size.width * 2)) return "could not lock the destination";
        for (int y = 0; y < size.height; ++y)
            std::memcpy(static_cast<uint8_t*>(peerDest->pixels) + y * peerDest->pitch,
                        background.data() + static_cast<size_t>(y) * size.width, size.width * 2);
        Ours();
        if (!ourResult.empty()) return ourResult;
        Peer();
        if (peerFailed) return std::string("SDL: ") + SDL_GetError();
        int w = 0, h = 0;
        const std::vector<uint16_t> ours = ReadSurface565(dest->surface, &w, &h);
        return Compare565(ours, w, h, static_cast<const uint16_t*>(peerDest->pixels), peerDest->w,
                          peerDest->h, peerDest->pitch, tolerance);
    }

    void Ours() override {
        int result = 0;
        switch (kind) {
        case Kind::KeyedRle:
        case Kind::Keyed:
            for (const auto& p : positions) result |= sprite->CopyKeyedTo(dest, p.x, p.y, nullptr);
            break;
        case Kind::Doubled:
            for (const auto& p : positions) {
                const RECT to = {p.x, p.y, p.x + 2 * kSprite, p.y + 2 * kSprite};
                result |= sprite->StretchTo(dest, &to, nullptr, 0);
            }
            break;
        case Kind::Alpha128:
            for (const auto& p : positions) result |= sprite->BlendTo(dest, p.x, p.y, nullptr, 128);
            break;
        case Kind::AlphaPlane:
            for (const auto& p : positions) result |= sprite->AlphaBlendTo(dest, p.x, p.y, nullptr);
            break;
        case Kind::Fill:
            result = dest->FillRect(nullptr, 0x3C3C);
            break;
        }
        if (result != 0) ourResult = "a call failed: " + std::to_string(result);
        benchmark::ClobberMemory();
    }

    void Peer() override {
        if (kind == Kind::Fill) {
            std::memset(peerDest->pixels, 0x3C, static_cast<size_t>(peerDest->pitch) * peerDest->h);
            benchmark::ClobberMemory();
            return;
        }
        for (const auto& p : positions) {
            const int side = kind == Kind::Doubled ? 2 * kSprite : kSprite;
            SDL_Rect to = {p.x, p.y, side, side};
            const int failed = kind == Kind::Doubled
                                   ? SDL_BlitScaled(peerSprite, nullptr, peerDest, &to)
                                   : SDL_BlitSurface(peerSprite, nullptr, peerDest, &to);
            if (failed != 0) peerFailed = true;
        }
        benchmark::ClobberMemory();
    }

private:
    static bool Put(TarnSurface* s, const uint16_t* pixels, int rowBytes) {
        if (s->Lock() < 1) return false;
        for (int y = 0; y < s->height; ++y)
            std::memcpy(static_cast<BYTE*>(s->surfaceDesc.lpSurface) + y * s->surfaceDesc.lPitch,
                        reinterpret_cast<const BYTE*>(pixels) + static_cast<size_t>(y) * rowBytes,
                        rowBytes);
        s->Unlock();
        return true;
    }

    struct Position {
        int x, y;
    };
    Kind kind;
    Size size;
    IDirectDraw7* dd = nullptr;
    TarnSurface* sprite = nullptr;
    TarnSurface* dest = nullptr;
    SDL_Surface* peerSprite = nullptr;
    SDL_Surface* peerDest = nullptr;
    std::vector<uint16_t> background;
    Position positions[kDraws] = {};
    std::string ourResult;
    bool peerFailed = false;
};

const bool kRegistered = [] {
    const std::vector<Size> screen = {{640, 480}};
    auto factory = [](Kind kind) {
        return [kind](Size s) { return std::make_unique<SpriteCase>(kind, s); };
    };
    RegisterPair("CopyKeyedTo565Rle", "TarnSurface::CopyKeyedTo 5-6-5, 1,000 64x64 sprites",
                 "SDL_BlitSurface, colour key, RLE", 1.0, factory(Kind::KeyedRle), screen);
    RegisterPair("CopyKeyedTo565", "TarnSurface::CopyKeyedTo 5-6-5, 1,000 64x64 sprites",
                 "SDL_BlitSurface, colour key", 0.5, factory(Kind::Keyed), screen);
    RegisterPair("StretchTo565", "TarnSurface::StretchTo 2x 5-6-5, 1,000 64x64 sprites",
                 "SDL_BlitScaled", 1.0, factory(Kind::Doubled), screen);
    RegisterPair("BlendTo565", "TarnSurface::BlendTo alpha 128 5-6-5, 1,000 64x64 sprites",
                 "SDL_BlitSurface, SDL_SetSurfaceAlphaMod", 0.5, factory(Kind::Alpha128), screen);
    RegisterPair("AlphaBlendTo565", "TarnSurface::AlphaBlendTo onto 5-6-5, 1,000 64x64 sprites",
                 "SDL_BlitSurface ARGB8888 -> RGB565, blend", 1.0, factory(Kind::AlphaPlane),
                 screen);
    RegisterPair("FillRect565", "TarnSurface::FillRect 5-6-5, whole surface", "memset", 1.2,
                 factory(Kind::Fill), screen);
    return true;
}();

} // namespace
} // namespace bench
