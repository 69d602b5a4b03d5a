// Benchmarks of loading a picture file into a 5-6-5 surface: the file's bytes in memory through
// TarnImage::LoadMemory (detection, the decoder, the DIB, StretchDIBits into the new surface;
// the surface is released again), beside the way a program would do it with the peers:
// SDL_LoadBMP_RW + SDL_ConvertSurface for BMP files, stb_image + SDL_ConvertPixels for TGA and
// PSD files, libjpeg-turbo decoding straight to RGB565 for JPEG files. Each side allocates and
// frees its own results in every iteration. The files are written here from the test picture:
// BMP 24-bit, 8-bit and 8-bit run-length; TGA 24-bit raw and run-length; PSD raw and PackBits;
// JPEG at quality 90 with 4:2:0 and 4:4:4 sampling.
#include "BenchSupport.h"

#include "image/TarnImage.h"
#include "support/JpegReader.h"
#include "support/JpegWriter.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#define STBI_ONLY_PSD
#define STBI_ONLY_PNG // the PNG benchmarks' peer
#include <stb/stb_image.h>

namespace bench {
namespace {

// --- file writers ---------------------------------------------------------------------------

// Runs of at least three equal values are worth a run code in all three run-length schemes.
bool RunStarts(const uint8_t* p, int left) {
    return left >= 3 && p[0] == p[1] && p[0] == p[2];
}

// One row in the 8-bit BMP run-length code: runs as (count, index), other stretches as absolute
// blocks of three or more (padded to 16 bits) or single-pixel runs.
void EncodeRle8Row(const uint8_t* row, int width, Bytes& out) {
    int i = 0;
    while (i < width) {
        int run = 1;
        while (i + run < width && run < 255 && row[i + run] == row[i]) ++run;
        if (run >= 3) {
            out.push_back(static_cast<unsigned char>(run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        int j = i;
        while (j < width && j - i < 255 && !RunStarts(row + j, width - j)) ++j;
        const int n = j - i;
        if (n < 3) {
            for (int k = 0; k < n; ++k) {
                out.push_back(1);
                out.push_back(row[i + k]);
            }
        } else {
            out.push_back(0);
            out.push_back(static_cast<unsigned char>(n));
            out.insert(out.end(), row + i, row + j);
            if (n & 1) out.push_back(0);
        }
        i = j;
    }
}

// A bottom-up BMP of the test picture: 24-bit, or 8-bit raw or run-length.
Bytes WriteBmp(Size s, int bits, bool rle) {
    Bytes pixels;
    std::vector<uint32_t> colours;
    if (bits == 24) {
        const std::vector<uint32_t> picture = TestPicture(s);
        const int stride = (s.width * 3 + 3) & ~3;
        pixels.assign(static_cast<size_t>(stride) * s.height, 0);
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                uint32_t p = picture[static_cast<size_t>(y) * s.width + x];
                unsigned char* out =
                    &pixels[static_cast<size_t>(s.height - 1 - y) * stride + x * 3];
                out[0] = static_cast<unsigned char>(p);
                out[1] = static_cast<unsigned char>(p >> 8);
                out[2] = static_cast<unsigned char>(p >> 16);
            }
    } else {
        std::vector<uint8_t> indices;
        TestPicture8(s, &indices, &colours);
        const int stride = (s.width + 3) & ~3;
        for (int y = s.height - 1; y >= 0; --y) {
            const uint8_t* row = &indices[static_cast<size_t>(y) * s.width];
            if (rle) {
                EncodeRle8Row(row, s.width, pixels);
                pixels.push_back(0);
                pixels.push_back(y == 0 ? 1 : 0); // end of the picture, or of the line
            } else {
                pixels.insert(pixels.end(), row, row + s.width);
                pixels.resize(pixels.size() + (stride - s.width), 0);
            }
        }
    }
    const uint32_t offset = 14 + 40 + static_cast<uint32_t>(colours.size()) * 4;
    Bytes file;
    file.push_back('B');
    file.push_back('M');
    Put32(file, offset + static_cast<uint32_t>(pixels.size()));
    Put32(file, 0);
    Put32(file, offset);
    Put32(file, 40);
    Put32(file, static_cast<uint32_t>(s.width));
    Put32(file, static_cast<uint32_t>(s.height));
    Put16(file, 1);
    Put16(file, static_cast<unsigned>(bits));
    Put32(file, rle ? 1 : 0); // BI_RLE8 or BI_RGB
    Put32(file, static_cast<uint32_t>(pixels.size()));
    Put32(file, 2835);
    Put32(file, 2835);
    Put32(file, static_cast<uint32_t>(colours.size()));
    Put32(file, 0);
    for (uint32_t c : colours) Put32(file, c);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

// A 24-bit TGA of the test picture, bottom row first, raw (type 2) or run-length (type 10,
// packets kept within a row), with the version 2 footer.
Bytes WriteTga(Size s, bool rle) {
    const std::vector<uint32_t> picture = TestPicture(s);
    Bytes file = {0, 0, static_cast<unsigned char>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(file, static_cast<unsigned>(s.width));
    Put16(file, static_cast<unsigned>(s.height));
    file.push_back(24);
    file.push_back(0); // bottom-left origin
    auto putPixel = [&](uint32_t p) {
        file.push_back(static_cast<unsigned char>(p));
        file.push_back(static_cast<unsigned char>(p >> 8));
        file.push_back(static_cast<unsigned char>(p >> 16));
    };
    for (int y = s.height - 1; y >= 0; --y) {
        const uint32_t* row = &picture[static_cast<size_t>(y) * s.width];
        if (!rle) {
            for (int x = 0; x < s.width; ++x) putPixel(row[x]);
            continue;
        }
        int i = 0;
        while (i < s.width) {
            int run = 1;
            while (i + run < s.width && run < 128 && row[i + run] == row[i]) ++run;
            if (run >= 2) {
                file.push_back(static_cast<unsigned char>(0x80 | (run - 1)));
                putPixel(row[i]);
                i += run;
                continue;
            }
            int j = i + 1;
            while (j < s.width && j - i < 128 && !(j + 1 < s.width && row[j] == row[j + 1])) ++j;
            file.push_back(static_cast<unsigned char>(j - i - 1));
            for (int k = i; k < j; ++k) putPixel(row[k]);
            i = j;
        }
    }
    Put32(file, 0);
    Put32(file, 0);
    const char signature[] = "TRUEVISION-XFILE.";
    file.insert(file.end(), signature, signature + sizeof signature); // with its NUL
    return file;
}

// One row of one channel in PackBits: runs of three or more as (1 - count, value), the rest
// as literal blocks (count - 1, bytes).
void PackBitsRow(const uint8_t* row, int width, Bytes& out) {
    int i = 0;
    while (i < width) {
        int run = 1;
        while (i + run < width && run < 128 && row[i + run] == row[i]) ++run;
        if (run >= 3) {
            out.push_back(static_cast<unsigned char>(1 - run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        int j = i;
        while (j < width && j - i < 128 && !RunStarts(row + j, width - j)) ++j;
        out.push_back(static_cast<unsigned char>(j - i - 1));
        out.insert(out.end(), row + i, row + j);
        i = j;
    }
}

// A three-channel 8-bit RGB PSD of the test picture, raw or PackBits.
Bytes WritePsd(Size s, bool packBits) {
    const std::vector<uint32_t> picture = TestPicture(s);
    Bytes file = {'8', 'B', 'P', 'S'};
    Put16BE(file, 1);
    file.resize(file.size() + 6, 0);
    Put16BE(file, 3);
    Put32BE(file, static_cast<uint32_t>(s.height));
    Put32BE(file, static_cast<uint32_t>(s.width));
    Put16BE(file, 8);
    Put16BE(file, 3); // RGB
    Put32BE(file, 0); // colour mode data
    Put32BE(file, 0); // image resources
    Put32BE(file, 0); // layers and masks
    Put16BE(file, packBits ? 1 : 0);
    std::vector<uint8_t> plane(static_cast<size_t>(s.width) * s.height);
    Bytes rows;
    std::vector<unsigned> counts;
    for (int c = 0; c < 3; ++c) {
        const int shift = 16 - 8 * c;
        for (size_t i = 0; i < plane.size(); ++i)
            plane[i] = static_cast<uint8_t>(picture[i] >> shift);
        for (int y = 0; y < s.height; ++y) {
            const uint8_t* row = &plane[static_cast<size_t>(y) * s.width];
            if (packBits) {
                size_t before = rows.size();
                PackBitsRow(row, s.width, rows);
                counts.push_back(static_cast<unsigned>(rows.size() - before));
            } else {
                rows.insert(rows.end(), row, row + s.width);
            }
        }
    }
    for (unsigned n : counts) Put16BE(file, n);
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

// The test picture through libjpeg at quality 90, with 4:2:0 or 4:4:4 sampling.
Bytes WriteJpeg(Size s, bool full) {
    const std::vector<uint32_t> picture = TestPicture(s);
    samples::JpegOptions options;
    options.quality = 90;
    options.lumaSampling = full ? 1 : 2;
    return samples::WriteJpeg(
        s.width, s.height, 3,
        [&](int y, unsigned char* row) {
            const uint32_t* in = &picture[static_cast<size_t>(y) * s.width];
            for (int x = 0; x < s.width; ++x) {
                row[x * 3 + 0] = static_cast<unsigned char>(in[x] >> 16);
                row[x * 3 + 1] = static_cast<unsigned char>(in[x] >> 8);
                row[x * 3 + 2] = static_cast<unsigned char>(in[x]);
            }
        },
        options);
}

// --- the peers ------------------------------------------------------------------------------

enum class PeerKind { SdlBmp, StbImage, LibJpeg };

// A peer's result: 5-6-5 pixels, allocated by the peer's library, by malloc or by the shared
// libjpeg decode.
struct PeerResult {
    int width = 0, height = 0, pitch = 0;
    const uint16_t* pixels = nullptr;
    SDL_Surface* surface = nullptr;           // owns the pixels when set
    void* block = nullptr;                    // or this does
    std::unique_ptr<unsigned char[]> decoded; // or this does
    void Free() {
        if (surface) SDL_FreeSurface(surface);
        std::free(block);
        *this = PeerResult{};
    }
};

bool LoadWithSdl(const Bytes& file, const SDL_PixelFormat* format, PeerResult* out) {
    SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), (int)file.size()), 1);
    if (!loaded) return false;
    out->surface = SDL_ConvertSurface(loaded, format, 0);
    SDL_FreeSurface(loaded);
    if (!out->surface) return false;
    out->width = out->surface->w;
    out->height = out->surface->h;
    out->pitch = out->surface->pitch;
    out->pixels = static_cast<const uint16_t*>(out->surface->pixels);
    return true;
}

bool LoadWithStb(const Bytes& file, PeerResult* out) {
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgb = stbi_load_from_memory(file.data(), (int)file.size(), &w, &h, &channels, 3);
    if (!rgb) return false;
    out->block = std::malloc(static_cast<size_t>(w) * h * 2);
    bool ok = out->block && SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_RGB24, rgb, w * 3,
                                              SDL_PIXELFORMAT_RGB565, out->block, w * 2) == 0;
    stbi_image_free(rgb);
    out->width = w, out->height = h, out->pitch = w * 2;
    out->pixels = static_cast<const uint16_t*>(out->block);
    return ok;
}

bool LoadWithLibJpeg(const Bytes& file, PeerResult* out) {
    samples::JpegPixels rgb565;
    if (!samples::ReadJpeg(file, samples::JpegColour::Rgb565, &rgb565)) return false;
    out->width = rgb565.width, out->height = rgb565.height, out->pitch = rgb565.width * 2;
    out->decoded = std::move(rgb565.pixels);
    out->pixels = reinterpret_cast<const uint16_t*>(out->decoded.get());
    return true;
}

// --- the case -------------------------------------------------------------------------------

class LoadCase : public PairCase {
public:
    LoadCase(Bytes file, PeerKind peer) : file(std::move(file)), peer(peer) {}
    ~LoadCase() override {
        if (format) SDL_FreeFormat(format);
        if (dd) dd->Release();
    }

    std::string Prepare() override {
        std::string error;
        dd = OpenDirectDraw(&error);
        if (!dd) return error;
        format = SDL_AllocFormat(SDL_PIXELFORMAT_RGB565);
        if (!format) return SDL_GetError();
        TarnImage image;
        IDirectDrawSurface7* surface =
            image.LoadMemory(dd, (int)file.size(), file.data(), 1, IMAGE_UNKNOWN);
        if (!surface) return "LoadMemory gave null";
        int w = 0, h = 0;
        std::vector<uint16_t> ours = ReadSurface565(surface, &w, &h);
        surface->Release();
        PeerResult result;
        if (!RunPeer(&result)) {
            result.Free();
            return std::string("the peer could not load the file: ") + SDL_GetError();
        }
        std::string problem =
            Compare565(ours, w, h, result.pixels, result.width, result.height, result.pitch);
        result.Free();
        return problem;
    }

    void Ours() override {
        TarnImage image;
        IDirectDrawSurface7* surface =
            image.LoadMemory(dd, (int)file.size(), file.data(), 1, IMAGE_UNKNOWN);
        benchmark::DoNotOptimize(surface);
        if (surface) surface->Release();
    }

    void Peer() override {
        PeerResult result;
        RunPeer(&result);
        benchmark::DoNotOptimize(result.pixels);
        result.Free();
    }

private:
    bool RunPeer(PeerResult* result) {
        switch (peer) {
        case PeerKind::SdlBmp:
            return LoadWithSdl(file, format, result);
        case PeerKind::StbImage:
            return LoadWithStb(file, result);
        default:
            return LoadWithLibJpeg(file, result);
        }
    }

    Bytes file;
    PeerKind peer;
    IDirectDraw7* dd = nullptr;
    SDL_PixelFormat* format = nullptr;
};

template <typename Writer> CaseFactory Loader(Writer write, PeerKind peer) {
    return [write, peer](Size s) { return std::make_unique<LoadCase>(write(s), peer); };
}

const bool kRegistered = [] {
    const std::string sdl = "SDL_LoadBMP_RW + SDL_ConvertSurface";
    const std::string stb = "stb_image + SDL_ConvertPixels";
    RegisterPair("LoadBmp24", "file -> 5-6-5 surface: BMP 24-bit", sdl, 0.35,
                 Loader([](Size s) { return WriteBmp(s, 24, false); }, PeerKind::SdlBmp));
    RegisterPair("LoadBmp8", "file -> 5-6-5 surface: BMP 8-bit", sdl, 1.0,
                 Loader([](Size s) { return WriteBmp(s, 8, false); }, PeerKind::SdlBmp));
    RegisterPair("LoadBmpRle8", "file -> 5-6-5 surface: BMP 8-bit RLE", sdl, 1.0,
                 Loader([](Size s) { return WriteBmp(s, 8, true); }, PeerKind::SdlBmp));
    RegisterPair("LoadTga24", "file -> 5-6-5 surface: TGA 24-bit raw", stb, 0.5,
                 Loader([](Size s) { return WriteTga(s, false); }, PeerKind::StbImage));
    RegisterPair("LoadTga24Rle", "file -> 5-6-5 surface: TGA 24-bit RLE", stb, 0.5,
                 Loader([](Size s) { return WriteTga(s, true); }, PeerKind::StbImage));
    RegisterPair("LoadPsdRaw", "file -> 5-6-5 surface: PSD raw", stb, 0.5,
                 Loader([](Size s) { return WritePsd(s, false); }, PeerKind::StbImage));
    RegisterPair("LoadPsdPackBits", "file -> 5-6-5 surface: PSD PackBits", stb, 0.5,
                 Loader([](Size s) { return WritePsd(s, true); }, PeerKind::StbImage));
    RegisterPair("LoadJpeg420", "file -> 5-6-5 surface: JPEG q90 4:2:0",
                 "libjpeg-turbo straight to RGB565", 1.1,
                 Loader([](Size s) { return WriteJpeg(s, false); }, PeerKind::LibJpeg));
    RegisterPair("LoadJpeg444", "file -> 5-6-5 surface: JPEG q90 4:4:4",
                 "libjpeg-turbo straight to RGB565", 1.1,
                 Loader([](Size s) { return WriteJpeg(s, true); }, PeerKind::LibJpeg));
    return true;
}();

} // namespace
} // namespace bench
