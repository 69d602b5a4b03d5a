// Benchmarks of PNG pictures. Loading: a PNG file in memory through TarnImage::LoadMemory into a
// 5-6-5 surface (detection, the imaging component's decoder, frame, converter and CopyPixels,
// StretchDIBits into the new surface), beside the plain way to the same pixels: the fastest of
// libpng, libspng and stb_image decoding to RGB (RGBA for files with alpha), then
// SDL_ConvertPixels to RGB565. The fastest is picked once per file, by timing each a few times.
// The files, written here with libpng at its defaults: RGB, RGBA and palette 8-bit, and RGB
// interlaced.
//
// Saving: TarnSurface::SavePNG of a 640 x 480 5-6-5 surface to a file, beside SDL_ConvertPixels
// to RGB24 and libpng (the encoder under the imaging component here) at the same compression
// level, written to a file too.
#include "BenchSupport.h"

#include "image/TarnImage.h"
#include "surface/TarnSurface.h"

#include <SDL.h>
#include <png.h>
#include <spng.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace bench {
namespace {

enum class PngKind { Rgb, Rgba, Palette, InterlacedRgb };

void AppendToBytes(png_structp png, png_bytep data, size_t size) {
    Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

// The test picture as a PNG file of `kind`, written by libpng with its default settings.
Bytes WritePng(Size s, PngKind kind) {
    const int channels = kind == PngKind::Palette ? 1 : kind == PngKind::Rgba ? 4 : 3;
    std::vector<uint8_t> indices;
    std::vector<uint32_t> colours;
    std::vector<uint32_t> picture;
    if (kind == PngKind::Palette)
        TestPicture8(s, &indices, &colours);
    else
        picture = TestPicture(s);
    std::vector<unsigned char> rows(static_cast<size_t>(s.width) * s.height * channels);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const size_t at = static_cast<size_t>(y) * s.width + x;
            unsigned char* out = &rows[at * channels];
            if (kind == PngKind::Palette) {
                out[0] = indices[at];
                continue;
            }
            out[0] = static_cast<unsigned char>(picture[at] >> 16);
            out[1] = static_cast<unsigned char>(picture[at] >> 8);
            out[2] = static_cast<unsigned char>(picture[at]);
            if (channels == 4) out[3] = static_cast<unsigned char>((x ^ y) | 0x80);
        }
    Bytes file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return Bytes();
    }
    png_set_write_fn(png, &file, AppendToBytes, nullptr);
    const int type = kind == PngKind::Palette ? PNG_COLOR_TYPE_PALETTE
                     : kind == PngKind::Rgba  ? PNG_COLOR_TYPE_RGB_ALPHA
                                              : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, s.width, s.height, 8, type,
                 kind == PngKind::InterlacedRgb ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (uint32_t c : colours)
        palette.push_back({static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8),
                           static_cast<png_byte>(c)});
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_write_info(png, info);
    std::vector<png_bytep> pointers(s.height);
    for (int y = 0; y < s.height; ++y)
        pointers[y] = &rows[static_cast<size_t>(y) * s.width * channels];
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return file;
}

// --- the peers: decode to RGB(A), then SDL_ConvertPixels to RGB565 --------------------------

enum class Decoder { LibPng, LibSpng, StbImage };
const char* const DECODER_NAMES[] = {"libpng", "libspng", "stb_image"};

struct MemoryRead {
    const Bytes* file;
    size_t at;
};

void ReadFromBytes(png_structp png, png_bytep out, size_t size) {
    MemoryRead* source = static_cast<MemoryRead*>(png_get_io_ptr(png));
    if (size > source->file->size() - source->at) png_error(png, "truncated");
    std::memcpy(out, source->file->data() + source->at, size);
    source->at += size;
}

// RGB or RGBA rows (`channels`) of the file, in a malloc block; null on failure.
unsigned char* DecodeRgb(Decoder decoder, const Bytes& file, int channels, int* w, int* h) {
    if (decoder == Decoder::StbImage) {
        int n = 0;
        return stbi_load_from_memory(file.data(), static_cast<int>(file.size()), w, h, &n,
                                     channels);
    }
    if (decoder == Decoder::LibSpng) {
        spng_ctx* ctx = spng_ctx_new(0);
        spng_set_png_buffer(ctx, file.data(), file.size());
        spng_ihdr ihdr;
        size_t size = 0;
        const int format = channels == 4 ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
        unsigned char* out = nullptr;
        if (spng_get_ihdr(ctx, &ihdr) == 0 && spng_decoded_image_size(ctx, format, &size) == 0 &&
            (out = static_cast<unsigned char*>(std::malloc(size))) &&
            spng_decode_image(ctx, out, size, format, SPNG_DECODE_TRNS) != 0) {
            std::free(out);
            out = nullptr;
        }
        *w = static_cast<int>(ihdr.width);
        *h = static_cast<int>(ihdr.height);
        spng_ctx_free(ctx);
        return out;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    unsigned char* volatile out = nullptr;
    MemoryRead source{&file, 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(out);
        return nullptr;
    }
    png_set_read_fn(png, &source, ReadFromBytes);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_scale_16(png);
    if (channels == 3) png_set_strip_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *w = static_cast<int>(png_get_image_width(png, info));
    *h = static_cast<int>(png_get_image_height(png, info));
    const size_t pitch = png_get_rowbytes(png, info);
    out = static_cast<unsigned char*>(std::malloc(pitch * *h));
    std::vector<png_bytep> rows(*h);
    for (int y = 0; y < *h; ++y) rows[y] = out + pitch * y;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return out;
}

class LoadPngCase : public PairCase {
public:
    LoadPngCase(Bytes file, bool alpha) : file(std::move(file)), channels(alpha ? 4 : 3) {}
    ~LoadPngCase() override {
        std::free(peer565);
        if (dd) dd->Release();
    }

    std::string Prepare() override {
        std::string error;
        dd = OpenDirectDraw(&error);
        if (!dd) return error;
        if (file.empty()) return "libpng could not write the file";
        TarnImage image;
        IDirectDrawSurface7* surface =
            image.LoadMemory(dd, static_cast<int>(file.size()), file.data(), 1, IMAGE_UNKNOWN);
        if (!surface) return "LoadMemory gave null";
        int w = 0, h = 0;
        const std::vector<uint16_t> ours = ReadSurface565(surface, &w, &h);
        surface->Release();
        // The fastest decoder for this file: the best of five runs each.
        double best = 1e30;
        for (Decoder d : {Decoder::LibPng, Decoder::LibSpng, Decoder::StbImage}) {
            double fastest = 1e30;
            for (int run = 0; run < 5; ++run) {
                const auto t0 = std::chrono::steady_clock::now();
                if (!Run(d)) return std::string(DECODER_NAMES[static_cast<int>(d)]) + " failed";
                fastest = std::min(
                    fastest,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            }
            if (fastest < best) {
                best = fastest;
                decoder = d;
            }
        }
        std::fprintf(stderr, "PNG peer for this file: %s\n",
                     DECODER_NAMES[static_cast<int>(decoder)]);
        if (!Run(decoder)) return "the peer failed";
        return Compare565(ours, w, h, peer565, peerWidth, peerHeight, peerWidth * 2, 1);
    }
    void Ours() override {
        TarnImage image;
        IDirectDrawSurface7* surface =
            image.LoadMemory(dd, static_cast<int>(file.size()), file.data(), 1, IMAGE_UNKNOWN);
        benchmark::DoNotOptimize(surface);
        if (surface) surface->Release();
    }
    void Peer() override {
        Run(decoder);
        benchmark::DoNotOptimize(peer565);
    }

private:
    // Decodes with `d` and converts to 5-6-5 into a new block, as a program would each time.
    bool Run(Decoder d) {
        std::free(peer565);
        peer565 = nullptr;
        unsigned char* rgb = DecodeRgb(d, file, channels, &peerWidth, &peerHeight);
        if (!rgb) return false;
        peer565 =
            static_cast<uint16_t*>(std::malloc(static_cast<size_t>(peerWidth) * peerHeight * 2));
        const bool ok =
            peer565 &&
            SDL_ConvertPixels(peerWidth, peerHeight,
                              channels == 4 ? SDL_PIXELFORMAT_RGBA32 : SDL_PIXELFORMAT_RGB24, rgb,
                              peerWidth * channels, SDL_PIXELFORMAT_RGB565, peer565,
                              peerWidth * 2) == 0;
        std::free(rgb); // stb_image's blocks are malloc blocks too
        return ok;
    }

    Bytes file;
    int channels;
    Decoder decoder = Decoder::LibPng;
    IDirectDraw7* dd = nullptr;
    uint16_t* peer565 = nullptr;
    int peerWidth = 0, peerHeight = 0;
};

// --- saving ---------------------------------------------------------------------------------

class SavePngCase : public PairCase {
public:
    explicit SavePngCase(Size s) : size(s) {}
    ~SavePngCase() override {
        delete surface; // releases the DirectDraw surface
        if (dd) dd->Release();
        std::filesystem::remove(oursPath);
        std::filesystem::remove(peerPath);
    }

    std::string Prepare() override {
        std::string error;
        dd = OpenDirectDraw(&error);
        if (!dd) return error;
        IDirectDrawSurface7* dds = CreatePlainSurface(dd, size.width, size.height);
        if (!dds) return "no surface";
        surface = new TarnSurface();
        surface->surface = dds;
        surface->width = size.width;
        surface->height = size.height;
        // The test picture in 5-6-5.
        const std::vector<uint32_t> picture = TestPicture(size);
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (FAILED(dds->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return "lock failed";
        for (int y = 0; y < size.height; ++y) {
            uint16_t* row = reinterpret_cast<uint16_t*>(static_cast<BYTE*>(desc.lpSurface) +
                                                        static_cast<ptrdiff_t>(y) * desc.lPitch);
            for (int x = 0; x < size.width; ++x) {
                const uint32_t p = picture[static_cast<size_t>(y) * size.width + x];
                row[x] = static_cast<uint16_t>(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) |
                                               ((p >> 3) & 0x001F));
            }
        }
        dds->Unlock(nullptr);
        const std::string base = (std::filesystem::temp_directory_path() /
                                  ("tarn_bench_save_" + std::to_string(size.width)))
                                     .string();
        oursPath = base + "_ours.png";
        peerPath = base + "_peer.png";
        if (FAILED(surface->SavePNG(oursPath.c_str()))) return "SavePNG failed";
        if (!PeerSave()) return "the peer failed";
        // Both files hold the same pixels: load each back and compare.
        TarnImage image;
        std::string problem;
        std::vector<uint16_t> pictures[2];
        int w[2] = {}, h[2] = {};
        for (int i = 0; i < 2; ++i) {
            IDirectDrawSurface7* loaded =
                image.LoadFile(dd, (i == 0 ? oursPath : peerPath).c_str(), 1, IMAGE_PNG);
            if (!loaded) return "a saved file does not load";
            pictures[i] = ReadSurface565(loaded, &w[i], &h[i]);
            loaded->Release();
        }
        return Compare565(pictures[0], w[0], h[0], pictures[1].data(), w[1], h[1], w[1] * 2, 0);
    }
    void Ours() override { benchmark::DoNotOptimize(surface->SavePNG(oursPath.c_str())); }
    void Peer() override { benchmark::DoNotOptimize(PeerSave()); }

private:
    // SDL_ConvertPixels to RGB24, then libpng's encoder at its defaults into the file.
    bool PeerSave() {
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (FAILED(surface->surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)))
            return false;
        const size_t pitch = static_cast<size_t>(size.width) * 3;
        unsigned char* rgb = static_cast<unsigned char*>(std::malloc(pitch * size.height));
        const bool converted =
            rgb && SDL_ConvertPixels(size.width, size.height, SDL_PIXELFORMAT_RGB565,
                                     desc.lpSurface, desc.lPitch, SDL_PIXELFORMAT_RGB24, rgb,
                                     static_cast<int>(pitch)) == 0;
        surface->surface->Unlock(nullptr);
        std::FILE* out = converted ? std::fopen(peerPath.c_str(), "wb") : nullptr;
        if (!out) {
            std::free(rgb);
            return false;
        }
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        bool ok = false;
        if (!setjmp(png_jmpbuf(png))) {
            png_init_io(png, out);
            png_set_IHDR(png, info, size.width, size.height, 8, PNG_COLOR_TYPE_RGB,
                         PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            png_write_info(png, info);
            for (int y = 0; y < size.height; ++y) png_write_row(png, rgb + pitch * y);
            png_write_end(png, nullptr);
            ok = true;
        }
        png_destroy_write_struct(&png, &info);
        ok = std::fclose(out) == 0 && ok;
        std::free(rgb);
        return ok;
    }

    Size size;
    IDirectDraw7* dd = nullptr;
    TarnSurface* surface = nullptr;
    std::string oursPath, peerPath;
};

CaseFactory Loader(PngKind kind) {
    return [kind](Size s) {
        return std::make_unique<LoadPngCase>(WritePng(s, kind), kind == PngKind::Rgba);
    };
}

const bool kRegistered = [] {
    const std::string peer = "fastest of libpng/libspng/stb + SDL_ConvertPixels";
    RegisterPair("LoadPngRgb", "file -> 5-6-5 surface: PNG RGB 8-bit", peer, 1.0,
                 Loader(PngKind::Rgb));
    RegisterPair("LoadPngRgba", "file -> 5-6-5 surface: PNG RGBA 8-bit", peer, 1.0,
                 Loader(PngKind::Rgba));
    RegisterPair("LoadPngPalette", "file -> 5-6-5 surface: PNG palette 8-bit", peer, 1.0,
                 Loader(PngKind::Palette));
    RegisterPair("LoadPngInterlaced", "file -> 5-6-5 surface: PNG RGB interlaced", peer, 1.0,
                 Loader(PngKind::InterlacedRgb));
    RegisterPair("SavePng565", "TarnSurface::SavePNG 5-6-5", "SDL_ConvertPixels + libpng", 1.1,
                 [](Size s) { return std::make_unique<SavePngCase>(s); }, {{640, 480}});
    return true;
}();

} // namespace
} // namespace bench
