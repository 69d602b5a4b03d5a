// Benchmarks of turned sprites beside SDL2 doing the same work: 100 copies of a 64 x 64 sprite with
// alpha (a disc, its edge fading), each turned by a different angle, onto a 640 x 480 destination,
// by nearest sample and bilinear: beside SDL2_gfx's rotozoomSurface plus SDL_BlitSurface of the
// turned copy, and beside SDL_RenderCopyEx into a software renderer's surface, at 32 bits; at 16
// bits (5-6-5) beside the same 32-bit SDL2_gfx run. And a mirrored copy beside CopyTo of the same
// sprite. The two sides' results are compared before anything is timed: the same sprites in the
// same places, within what their different sampling rules let differ.
#include "BenchSupport.h"

#include "surface/TarnSurface.h"

#include <SDL.h>
#include <SDL2_rotozoom.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace bench {
namespace {

enum class Against { Gfx, Renderer, CopyTo };

const int kSprite = 64;
const int kDraws = 100;

// An off-screen system-memory surface of `depth` bits (16: 5-6-5, 32: X8R8G8B8), wrapped the way
// the screen wraps its buffers.
TarnSurface* MakeSurface(IDirectDraw7* dd, int w, int h, int depth) {
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = w;
    desc.dwHeight = h;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    pf.dwSize = sizeof pf;
    pf.dwFlags = DDPF_RGB;
    pf.dwRGBBitCount = depth;
    if (depth == 16)
        pf.dwRBitMask = 0xF800, pf.dwGBitMask = 0x07E0, pf.dwBBitMask = 0x001F;
    else
        pf.dwRBitMask = 0xFF0000, pf.dwGBitMask = 0x00FF00, pf.dwBBitMask = 0x0000FF;
    IDirectDrawSurface7* dds = nullptr;
    if (dd->CreateSurface(&desc, &dds, nullptr) != DD_OK) return nullptr;
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

// A surface's pixels as 0x00RRGGBB, top row first.
std::vector<uint32_t> ReadRgb(TarnSurface* s) {
    std::vector<uint32_t> out;
    if (s->Lock() < 1) return out;
    for (int y = 0; y < s->height; ++y)
        for (int x = 0; x < s->width; ++x) {
            const BYTE* row = static_cast<const BYTE*>(s->surfaceDesc.lpSurface) +
                              static_cast<size_t>(y) * s->surfaceDesc.lPitch;
            if (s->pixelLayout.depth == 16) {
                uint16_t p;
                std::memcpy(&p, row + 2 * x, 2);
                const uint32_t r = p >> 11, g = p >> 5 & 63, b = p & 31;
                out.push_back((r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2));
            } else {
                uint32_t p;
                std::memcpy(&p, row + 4 * x, 4);
                out.push_back(p & 0xFFFFFF);
            }
        }
    s->Unlock();
    return out;
}

// "" when at most `share` of the pixels differ by more than `step` in a channel.
std::string Resembles(const std::vector<uint32_t>& ours, const SDL_Surface* peer, double share,
                      int step) {
    if (ours.size() != static_cast<size_t>(peer->w) * peer->h) return "sizes differ";
    long far = 0;
    for (int y = 0; y < peer->h; ++y)
        for (int x = 0; x < peer->w; ++x) {
            const uint32_t a = ours[static_cast<size_t>(y) * peer->w + x];
            uint32_t b;
            std::memcpy(&b, static_cast<const uint8_t*>(peer->pixels) + y * peer->pitch + 4 * x, 4);
            for (int shift : {0, 8, 16})
                if (std::abs(static_cast<int>(a >> shift & 255) -
                             static_cast<int>(b >> shift & 255)) > step) {
                    ++far;
                    break;
                }
        }
    const double got = static_cast<double>(far) / ours.size();
    if (got <= share) return "";
    return "the results differ at " + std::to_string(100 * got) + "% of the pixels";
}

class TurnCase : public PairCase {
public:
    TurnCase(Against against, int depth, bool smooth, Size size)
        : against(against), depth(depth), smooth(smooth), size(size) {}
    ~TurnCase() override {
        delete sprite;
        delete dest;
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (peerSprite) SDL_FreeSurface(peerSprite);
        if (peerDest) SDL_FreeSurface(peerDest);
        if (dd) dd->Release();
    }

    std::string Prepare() override {
        std::string error;
        dd = OpenDirectDraw(&error);
        if (!dd) return error;
        sprite = MakeSurface(dd, kSprite, kSprite, depth);
        dest = MakeSurface(dd, size.width, size.height, depth);
        if (!sprite || !dest) return "could not create the surfaces";

        // The sprite: the test picture inside a disc, alpha falling over its last pixel and a
        // half, 0 outside.
        const std::vector<uint32_t> colours = TestPicture({kSprite, kSprite});
        std::vector<uint32_t> argb(kSprite * kSprite);
        for (int y = 0; y < kSprite; ++y)
            for (int x = 0; x < kSprite; ++x) {
                const double dist = std::hypot(x - 31.5, y - 31.5);
                const double weight = (30.5 - dist) * 170;
                const uint32_t alpha = weight <= 0 ? 0 : weight >= 255 ? 255 : (uint32_t)weight;
                uint32_t c = colours[y * kSprite + x];
                if (depth == 16) { // the 5-6-5 colour widened, so both sides have the same
                    const uint32_t p = To565(c), r = p >> 11, g = p >> 5 & 63, b = p & 31;
                    c = (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
                }
                argb[y * kSprite + x] = alpha << 24 | c;
            }
        if (sprite->Lock() < 1) return "could not lock the sprite";
        for (int y = 0; y < kSprite; ++y)
            for (int x = 0; x < kSprite; ++x) {
                BYTE* row = static_cast<BYTE*>(sprite->surfaceDesc.lpSurface) +
                            static_cast<size_t>(y) * sprite->surfaceDesc.lPitch;
                const uint32_t c = argb[y * kSprite + x] & 0xFFFFFF;
                if (depth == 16) {
                    const uint16_t p = To565(c);
                    std::memcpy(row + 2 * x, &p, 2);
                } else {
                    std::memcpy(row + 4 * x, &c, 4);
                }
            }
        sprite->Unlock();
        if (against != Against::CopyTo &&
            sprite->SetAlphaPlane(reinterpret_cast<const BYTE*>(argb.data()), kSprite * 4, kSprite,
                                  kSprite) != 0)
            return "SetAlphaPlane failed";

        // Places inside the destination, the same for both sides, and an angle each.
        uint32_t state = 12345;
        for (int i = 0; i < kDraws; ++i) {
            state = state * 1103515245u + 12345u;
            places[i].x = 48 + static_cast<int>(state >> 8) % (size.width - 96);
            state = state * 1103515245u + 12345u;
            places[i].y = 48 + static_cast<int>(state >> 8) % (size.height - 96);
            places[i].degrees = 3.6 * i + 1.3;
        }
        const std::vector<uint32_t> picture = TestPicture(size);
        if (dest->Lock() < 1) return "could not lock the destination";
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) {
                BYTE* row = static_cast<BYTE*>(dest->surfaceDesc.lpSurface) +
                            static_cast<size_t>(y) * dest->surfaceDesc.lPitch;
                const uint32_t c = picture[static_cast<size_t>(y) * size.width + x];
                if (depth == 16) {
                    const uint16_t p = To565(c);
                    std::memcpy(row + 2 * x, &p, 2);
                } else {
                    std::memcpy(row + 4 * x, &c, 4);
                }
            }
        dest->Unlock();

        if (against == Against::CopyTo) {
            // One mirrored copy is the sprite's rows reversed.
            TarnTurn turn;
            turn.flags = TARN_COPY_FLIP_X;
            if (sprite->CopyTurnedTo(dest, 32, 32, nullptr, turn) != 0) return "the copy failed";
            const std::vector<uint32_t> got = ReadRgb(dest), want = ReadRgb(sprite);
            for (int y = 0; y < kSprite; ++y)
                for (int x = 0; x < kSprite; ++x)
                    if (got[static_cast<size_t>(y) * size.width + x] !=
                        want[y * kSprite + kSprite - 1 - x])
                        return "the mirrored copy is not the sprite mirrored";
            return "";
        }

        peerSprite =
            SDL_CreateRGBSurfaceWithFormat(0, kSprite, kSprite, 32, SDL_PIXELFORMAT_ARGB8888);
        peerDest = SDL_CreateRGBSurfaceWithFormat(0, size.width, size.height, 32,
                                                  SDL_PIXELFORMAT_XRGB8888);
        if (!peerSprite || !peerDest) return std::string("SDL: ") + SDL_GetError();
        std::memcpy(peerSprite->pixels, argb.data(), argb.size() * 4);
        SDL_SetSurfaceBlendMode(peerSprite, SDL_BLENDMODE_BLEND);
        for (int y = 0; y < size.height; ++y) {
            uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(peerDest->pixels) +
                                                        y * peerDest->pitch);
            for (int x = 0; x < size.width; ++x) {
                uint32_t c = picture[static_cast<size_t>(y) * size.width + x];
                if (depth == 16) {
                    const uint32_t p = To565(c), r = p >> 11, g = p >> 5 & 63, b = p & 31;
                    c = (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
                }
                row[x] = c;
            }
        }
        if (against == Against::Renderer) {
            renderer = SDL_CreateSoftwareRenderer(peerDest);
            if (!renderer) return std::string("SDL: ") + SDL_GetError();
            texture = SDL_CreateTextureFromSurface(renderer, peerSprite);
            if (!texture) return std::string("SDL: ") + SDL_GetError();
            SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
            SDL_SetTextureScaleMode(texture, smooth ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
        }
        Ours();
        if (!ourResult.empty()) return ourResult;
        Peer();
        if (peerFailed) return std::string("SDL: ") + SDL_GetError();
        // Both draw the same sprites at the same places and angles, but their sampling rules
        // differ (where a pixel's centre is, how a turned copy is placed): a sample a pixel over
        // in the picture's grain differs by far more than a step, so up to a fifth of the pixels
        // may. A turn the other way, or a sprite elsewhere, differs at most of them.
        return Resembles(ReadRgb(dest), peerDest, 0.2, depth == 16 ? 40 : 32);
    }

    void Ours() override {
        int result = 0;
        TarnTurn turn;
        if (against == Against::CopyTo) {
            turn.flags = TARN_COPY_FLIP_X;
            for (const auto& p : places)
                result |= sprite->CopyTurnedTo(dest, p.x, p.y, nullptr, turn);
        } else {
            turn.flags = TARN_COPY_ALPHA | (smooth ? TARN_COPY_SMOOTH : 0);
            for (const auto& p : places) {
                turn.degrees = static_cast<float>(p.degrees);
                result |= sprite->CopyTurnedTo(dest, p.x, p.y, nullptr, turn);
            }
        }
        if (result != 0) ourResult = "a call failed: " + std::to_string(result);
        benchmark::ClobberMemory();
    }

    void Peer() override {
        if (against == Against::CopyTo) {
            for (const auto& p : places) {
                const HRESULT hr =
                    sprite->CopyTo(dest, p.x - kSprite / 2, p.y - kSprite / 2, nullptr);
                if (hr != DD_OK) peerFailed = true;
            }
        } else if (against == Against::Gfx) {
            for (const auto& p : places) {
                // rotozoomSurface turns anticlockwise.
                SDL_Surface* turned = rotozoomSurface(peerSprite, -p.degrees, 1.0,
                                                      smooth ? SMOOTHING_ON : SMOOTHING_OFF);
                if (!turned) {
                    peerFailed = true;
                    continue;
                }
                SDL_Rect to = {p.x - turned->w / 2, p.y - turned->h / 2, turned->w, turned->h};
                if (SDL_BlitSurface(turned, nullptr, peerDest, &to) != 0) peerFailed = true;
                SDL_FreeSurface(turned);
            }
        } else {
            for (const auto& p : places) {
                const SDL_Rect to = {p.x - kSprite / 2, p.y - kSprite / 2, kSprite, kSprite};
                if (SDL_RenderCopyEx(renderer, texture, nullptr, &to, p.degrees, nullptr,
                                     SDL_FLIP_NONE) != 0)
                    peerFailed = true;
            }
            SDL_RenderFlush(renderer);
        }
        benchmark::ClobberMemory();
    }

private:
    struct Place {
        int x, y;
        double degrees;
    };
    Against against;
    int depth;
    bool smooth;
    Size size;
    IDirectDraw7* dd = nullptr;
    TarnSurface* sprite = nullptr;
    TarnSurface* dest = nullptr;
    SDL_Surface* peerSprite = nullptr;
    SDL_Surface* peerDest = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    Place places[kDraws] = {};
    std::string ourResult;
    bool peerFailed = false;
};

const bool kRegistered = [] {
    const std::vector<Size> screen = {{640, 480}};
    auto factory = [](Against against, int depth, bool smooth) {
        return [=](Size s) { return std::make_unique<TurnCase>(against, depth, smooth, s); };
    };
    const char* what32 = "TarnSurface::CopyTurnedTo alpha 32-bit, 100 64x64 sprites";
    const char* what16 = "TarnSurface::CopyTurnedTo alpha 5-6-5, 100 64x64 sprites";
    RegisterPair("CopyTurnedTo32Gfx", std::string(what32) + ", nearest",
                 "SDL2_gfx rotozoomSurface + SDL_BlitSurface, 32-bit", 1.0,
                 factory(Against::Gfx, 32, false), screen);
    RegisterPair("CopyTurnedTo32GfxSmooth", std::string(what32) + ", bilinear",
                 "SDL2_gfx rotozoomSurface smoothed + SDL_BlitSurface, 32-bit", 1.0,
                 factory(Against::Gfx, 32, true), screen);
    RegisterPair("CopyTurnedTo32Renderer", std::string(what32) + ", nearest",
                 "SDL_RenderCopyEx, software renderer, nearest", 1.0,
                 factory(Against::Renderer, 32, false), screen);
    RegisterPair("CopyTurnedTo32RendererSmooth", std::string(what32) + ", bilinear",
                 "SDL_RenderCopyEx, software renderer, linear", 1.0,
                 factory(Against::Renderer, 32, true), screen);
    RegisterPair("CopyTurnedTo565Gfx", std::string(what16) + ", nearest",
                 "SDL2_gfx rotozoomSurface + SDL_BlitSurface, 32-bit", 1.0,
                 factory(Against::Gfx, 16, false), screen);
    RegisterPair("CopyTurnedTo565GfxSmooth", std::string(what16) + ", bilinear",
                 "SDL2_gfx rotozoomSurface smoothed + SDL_BlitSurface, 32-bit", 1.0,
                 factory(Against::Gfx, 16, true), screen);
    RegisterPair("CopyTurnedToMirrored32", "TarnSurface::CopyTurnedTo mirrored, 100 64x64 sprites",
                 "TarnSurface::CopyTo", 1.1, factory(Against::CopyTo, 32, false), screen);
    return true;
}();

} // namespace
} // namespace bench
