// Benchmarks of GDI's pixel conversion: StretchDIBits of a whole 24-bit, 32-bit or 8-bit DIB
// (top-down, 1:1, as the picture decoders draw theirs) into a 5-6-5 surface's device context,
// beside SDL2 converting the same bytes: SDL_ConvertPixels BGR24 or BGRA32 to RGB565, and
// SDL_BlitSurface of an INDEX8 surface with the same colours onto an RGB565 surface.
// The device context is taken once, outside the timing; only the transfer is timed.
#include "BenchSupport.h"

#include <SDL.h>

#include <cstring>

namespace bench {
namespace {

class DibCase : public PairCase {
public:
    DibCase(Size s, int bits) : size(s), bits(bits) {}
    ~DibCase() override {
        if (hdc) surface->ReleaseDC(hdc);
        if (surface) surface->Release();
        if (dd) dd->Release();
        if (sdlSource) SDL_FreeSurface(sdlSource);
        if (sdlDest) SDL_FreeSurface(sdlDest);
    }

    std::string Prepare() override {
        std::string error;
        dd = OpenDirectDraw(&error);
        if (!dd) return error;
        surface = CreatePlainSurface(dd, size.width, size.height);
        if (!surface) return "could not create the surface";
        MakeDib();
        peerPixels.assign(static_cast<size_t>(size.width) * size.height, 0);
        if (bits == 8) {
            sdlSource = SDL_CreateRGBSurfaceWithFormatFrom(dib.data(), size.width, size.height, 8,
                                                           stride, SDL_PIXELFORMAT_INDEX8);
            sdlDest =
                SDL_CreateRGBSurfaceWithFormatFrom(peerPixels.data(), size.width, size.height, 16,
                                                   size.width * 2, SDL_PIXELFORMAT_RGB565);
            if (!sdlSource || !sdlDest) return SDL_GetError();
            SDL_Color colours[256];
            for (int i = 0; i < 256; ++i)
                colours[i] = {static_cast<Uint8>(palette[i] >> 16),
                              static_cast<Uint8>(palette[i] >> 8), static_cast<Uint8>(palette[i]),
                              255};
            SDL_SetPaletteColors(sdlSource->format->palette, colours, 0, 256);
        }
        if (FAILED(surface->GetDC(&hdc)) || !hdc) return "no device context";
        Ours();
        surface->ReleaseDC(hdc);
        hdc = nullptr;
        int w = 0, h = 0;
        std::vector<uint16_t> ours = ReadSurface565(surface, &w, &h);
        if (FAILED(surface->GetDC(&hdc)) || !hdc) return "no device context";
        Peer();
        if (peerFailed) return std::string("the peer failed: ") + SDL_GetError();
        return Compare565(ours, w, h, peerPixels.data(), size.width, size.height, size.width * 2);
    }

    void Ours() override {
        StretchDIBits(hdc, 0, 0, size.width, size.height, 0, 0, size.width, size.height, dib.data(),
                      reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, SRCCOPY);
        benchmark::ClobberMemory();
    }

    void Peer() override {
        if (bits == 8) {
            peerFailed = SDL_BlitSurface(sdlSource, nullptr, sdlDest, nullptr) != 0;
        } else {
            Uint32 format = bits == 24 ? SDL_PIXELFORMAT_BGR24 : SDL_PIXELFORMAT_BGRA32;
            peerFailed =
                SDL_ConvertPixels(size.width, size.height, format, dib.data(), stride,
                                  SDL_PIXELFORMAT_RGB565, peerPixels.data(), size.width * 2) != 0;
        }
        benchmark::ClobberMemory();
    }

private:
    // The test picture as a top-down DIB of `bits`, rows padded to four bytes.
    void MakeDib() {
        stride = (size.width * bits / 8 + 3) & ~3;
        dib.assign(static_cast<size_t>(stride) * size.height, 0);
        info.assign(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
        BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
        header->biSize = sizeof(BITMAPINFOHEADER);
        header->biWidth = size.width;
        header->biHeight = -size.height;
        header->biPlanes = 1;
        header->biBitCount = static_cast<WORD>(bits);
        header->biCompression = BI_RGB;
        if (bits == 8) {
            std::vector<uint8_t> indices;
            TestPicture8(size, &indices, &palette);
            palette.resize(256, 0);
            RGBQUAD* table = reinterpret_cast<RGBQUAD*>(info.data() + sizeof(BITMAPINFOHEADER));
            for (int i = 0; i < 256; ++i)
                table[i] = {static_cast<BYTE>(palette[i]), static_cast<BYTE>(palette[i] >> 8),
                            static_cast<BYTE>(palette[i] >> 16), 0};
            for (int y = 0; y < size.height; ++y)
                std::memcpy(&dib[static_cast<size_t>(y) * stride],
                            &indices[static_cast<size_t>(y) * size.width], size.width);
            return;
        }
        const std::vector<uint32_t> picture = TestPicture(size);
        const int bytes = bits / 8;
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) {
                uint32_t p = picture[static_cast<size_t>(y) * size.width + x];
                unsigned char* out = &dib[static_cast<size_t>(y) * stride + x * bytes];
                out[0] = static_cast<unsigned char>(p);
                out[1] = static_cast<unsigned char>(p >> 8);
                out[2] = static_cast<unsigned char>(p >> 16);
                if (bytes == 4) out[3] = 0xFF;
            }
    }

    Size size;
    int bits;
    int stride = 0;
    Bytes dib, info;
    std::vector<uint32_t> palette;
    IDirectDraw7* dd = nullptr;
    IDirectDrawSurface7* surface = nullptr;
    HDC hdc = nullptr;
    std::vector<uint16_t> peerPixels;
    SDL_Surface* sdlSource = nullptr;
    SDL_Surface* sdlDest = nullptr;
    bool peerFailed = false;
};

const bool kRegistered = [] {
    RegisterPair("StretchDIBits24", "StretchDIBits 24-bit DIB -> 5-6-5 surface",
                 "SDL_ConvertPixels BGR24 -> RGB565", 0.25,
                 [](Size s) { return std::make_unique<DibCase>(s, 24); });
    RegisterPair("StretchDIBits32", "StretchDIBits 32-bit DIB -> 5-6-5 surface",
                 "SDL_ConvertPixels BGRA32 -> RGB565", 1.0,
                 [](Size s) { return std::make_unique<DibCase>(s, 32); });
    RegisterPair("StretchDIBits8", "StretchDIBits 8-bit DIB -> 5-6-5 surface",
                 "SDL_BlitSurface INDEX8 -> RGB565", 1.0,
                 [](Size s) { return std::make_unique<DibCase>(s, 8); });
    return true;
}();

} // namespace
} // namespace bench
