// tarnimg: look at or convert pictures with the library's own decoders.
//
//   tarnimg info FILE [--format F]          the detected format, width, height, bits per pixel
//   tarnimg convert FILE OUT [--format F]   decode FILE into a 32-bit surface and write OUT as
//                                           binary PPM (P6), or as BMP or PNG when OUT ends in
//                                           .bmp or .png (the surface's own SaveBMP, SavePNG)
//   tarnimg compare FILE FILE               exit 0 when both decode to the same pixels, else
//                                           say where they differ and exit 1
//   tarnimg --version                       the library's version
//   tarnimg --help                          this usage, on standard output
//
// F is bmp, tga, pcx, psd, jpg or png and skips detection. Decoding runs exactly as in a program:
// TarnImage::LoadFile into a surface of the stand-in's headless host, whose display is set to
// 32 bits, then the surface is locked and read. Exit 0 on success; otherwise one line naming the
// file and the reason on standard error, exit 1.
#include "image/TarnImage.h"
#include "image/TarnImageBMP.h"
#include "image/TarnImagePCX.h"
#include "image/TarnImagePNG.h"
#include "image/TarnImagePSD.h"
#include "image/TarnImageTGA.h"
#include "surface/TarnSurface.h"

#include "host/HeadlessHost.h"

#include "TarnVersion.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

const char* const FORMAT_NAMES[] = {"unknown", "bmp", "psd", "tga", "pcx", "jpg", "png"};

int Fail(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "tarnimg: %s: %s\n", file.c_str(), reason.c_str());
    return 1;
}

bool ReadFile(const std::string& path, Bytes* out) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    out->clear();
    unsigned char chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
        out->insert(out->end(), chunk, chunk + n);
    const bool ok = !std::ferror(file); // a folder opens, but can't be read
    std::fclose(file);
    return ok;
}

int FormatCode(const std::string& name) {
    for (int code = IMAGE_BMP; code <= IMAGE_PNG; ++code)
        if (name == FORMAT_NAMES[code]) return code;
    return -1;
}

// Width, height and components from a JPEG's start-of-frame segment.
bool JpegInfo(const Bytes& data, int* width, int* height, int* bits) {
    size_t at = 2;
    while (at + 9 < data.size()) {
        if (data[at] != 0xFF) return false;
        const int marker = data[at + 1];
        const size_t length = (data[at + 2] << 8) | data[at + 3];
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            *height = (data[at + 5] << 8) | data[at + 6];
            *width = (data[at + 7] << 8) | data[at + 8];
            *bits = 8 * data[at + 9];
            return true;
        }
        at += 2 + length;
    }
    return false;
}

// Decodes the header and pixels without a surface, for the numbers `info` reports.
bool Describe(const Bytes& data, int format, int* width, int* height, int* bits) {
    const int size = static_cast<int>(data.size());
    auto take = [&](TarnImageBase& decoder, bool ok) {
        *width = decoder.width;
        *height = decoder.height;
        *bits = decoder.sourceBits;
        return ok;
    };
    switch (format) {
    case IMAGE_BMP: {
        TarnImageBMP decoder;
        return take(decoder, decoder.DecodeBitmap(size, data.data()));
    }
    case IMAGE_TGA: {
        TarnImageTGA decoder;
        return take(decoder, decoder.DecodeBitmap(size, data.data()));
    }
    case IMAGE_PCX: {
        TarnImagePCX decoder;
        return take(decoder, decoder.DecodeBitmap(size, data.data()));
    }
    case IMAGE_PSD: {
        TarnImagePSD decoder;
        return take(decoder, decoder.DecodeBitmap(size, data.data()));
    }
    case IMAGE_JPG:
        return JpegInfo(data, width, height, bits);
    case IMAGE_PNG: {
        TarnImagePNG decoder;
        return take(decoder, decoder.DecodeBitmap(size, data.data()));
    }
    default:
        return false;
    }
}

// Options after the positional arguments: --format F.
bool ParseFormat(int argc, char** argv, int first, int* format) {
    *format = IMAGE_UNKNOWN;
    for (int i = first; i < argc; ++i) {
        if (std::strcmp(argv[i], "--format") == 0 && i + 1 < argc) {
            *format = FormatCode(argv[++i]);
            if (*format < 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

int Info(const std::string& file, int format) {
    Bytes data;
    if (!ReadFile(file, &data)) return Fail(file, "can't read the file");
    if (data.size() > 0x7FFFFFFF) return Fail(file, "file too large");
    if (format == IMAGE_UNKNOWN)
        format = TarnImage::DetectFormat(static_cast<int>(data.size()), data.data());
    if (format == IMAGE_UNKNOWN) return Fail(file, "not a picture format tarnimg knows");
    int width = 0, height = 0, bits = 0;
    if (!Describe(data, format, &width, &height, &bits))
        return Fail(file,
                    std::string("damaged or unsupported ") + FORMAT_NAMES[format] + " picture");
    std::printf("%s: %s, %d x %d, %d bits per pixel\n", file.c_str(), FORMAT_NAMES[format], width,
                height, bits);
    return 0;
}

// A channel of a 32-bit surface pixel by its mask.
unsigned Channel(uint32_t pixel, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    return (pixel & mask) >> shift & 0xFF;
}

// A picture decoded exactly as a program decodes it: TarnImage::LoadFile into a system-memory
// surface of a DirectDraw device on the headless host, whose display is 32 bits.
struct Decoded {
    IDirectDraw7* dd = nullptr;
    IDirectDrawSurface7* surface = nullptr;
    ~Decoded() {
        if (surface) surface->Release();
        if (dd) dd->Release();
    }
};

// 0, or 1 after saying why FILE gave no surface.
int Decode(const std::string& file, int format, Decoded* out) {
    IDirectDraw* first = nullptr;
    if (FAILED(DirectDrawCreate(nullptr, &first, nullptr)) ||
        FAILED(first->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&out->dd))))
        return Fail(file, "no DirectDraw device");
    first->Release();
    out->dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    TarnImage image;
    out->surface = image.LoadFile(out->dd, file.c_str(), 1, format);
    if (out->surface) return 0;
    Bytes data;
    if (!ReadFile(file, &data)) return Fail(file, "can't read the file");
    if (format == IMAGE_UNKNOWN &&
        TarnImage::DetectFormat(static_cast<int>(data.size()), data.data()) == IMAGE_UNKNOWN)
        return Fail(file, "not a picture format tarnimg knows");
    return Fail(file, "damaged or unsupported picture");
}

// The decoded pixels as 0x00RRGGBB, top row first; false when the surface can't be read.
bool ReadPixels(IDirectDrawSurface7* surface, int* width, int* height,
                std::vector<uint32_t>* pixels) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return false;
    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    const bool ok = pf.dwRGBBitCount == 32;
    *width = static_cast<int>(desc.dwWidth);
    *height = static_cast<int>(desc.dwHeight);
    pixels->clear();
    for (int y = 0; ok && y < *height; ++y) {
        const uint32_t* row =
            reinterpret_cast<const uint32_t*>(static_cast<const unsigned char*>(desc.lpSurface) +
                                              static_cast<size_t>(desc.lPitch) * y);
        for (int x = 0; x < *width; ++x)
            pixels->push_back(Channel(row[x], pf.dwRBitMask) << 16 |
                              Channel(row[x], pf.dwGBitMask) << 8 | Channel(row[x], pf.dwBBitMask));
    }
    surface->Unlock(nullptr);
    return ok;
}

int Convert(const std::string& file, const std::string& outName, int format) {
    Decoded decoded;
    if (Decode(file, format, &decoded) != 0) return 1;

    const auto endsWith = [&outName](const char* extension) {
        const size_t n = std::strlen(extension);
        return outName.size() > n && outName.compare(outName.size() - n, n, extension) == 0;
    };
    if (endsWith(".bmp") || endsWith(".png")) {
        TarnSurface picture; // the decoded surface, lent to the savers
        DDSURFACEDESC2 size;
        std::memset(&size, 0, sizeof(size));
        size.dwSize = sizeof(size);
        decoded.surface->GetSurfaceDesc(&size);
        picture.surface = decoded.surface;
        picture.width = static_cast<int>(size.dwWidth);
        picture.height = static_cast<int>(size.dwHeight);
        const HRESULT saved =
            endsWith(".bmp") ? picture.SaveBMP(outName.c_str()) : picture.SavePNG(outName.c_str());
        picture.surface = nullptr;
        return FAILED(saved) ? Fail(outName, "can't write the file") : 0;
    }

    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    if (!ReadPixels(decoded.surface, &width, &height, &pixels))
        return Fail(file, "can't read the decoded surface");
    const std::string header =
        "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    Bytes encoded(header.begin(), header.end());
    for (uint32_t p : pixels) {
        encoded.push_back(static_cast<unsigned char>(p >> 16));
        encoded.push_back(static_cast<unsigned char>(p >> 8));
        encoded.push_back(static_cast<unsigned char>(p));
    }
    std::ofstream out(outName, std::ios::binary);
    out.write(reinterpret_cast<const char*>(encoded.data()),
              static_cast<std::streamsize>(encoded.size()));
    out.close();
    if (!out) return Fail(outName, "can't write the file");
    return 0;
}

// Exit 0 when both pictures decode to the same size and the same colours, whatever their
// formats; otherwise one line saying how they differ, exit 1.
int Compare(const std::string& first, const std::string& second) {
    int w[2] = {}, h[2] = {};
    std::vector<uint32_t> pixels[2];
    const std::string names[2] = {first, second};
    for (int i = 0; i < 2; ++i) {
        Decoded decoded;
        if (Decode(names[i], IMAGE_UNKNOWN, &decoded) != 0) return 1;
        if (!ReadPixels(decoded.surface, &w[i], &h[i], &pixels[i]))
            return Fail(names[i], "can't read the decoded surface");
    }
    if (w[0] != w[1] || h[0] != h[1]) {
        std::fprintf(stderr, "tarnimg: %s is %d x %d, %s is %d x %d\n", first.c_str(), w[0], h[0],
                     second.c_str(), w[1], h[1]);
        return 1;
    }
    size_t differing = 0, at = 0;
    for (size_t i = pixels[0].size(); i-- > 0;)
        if (pixels[0][i] != pixels[1][i]) {
            ++differing;
            at = i;
        }
    if (differing == 0) return 0;
    std::fprintf(stderr,
                 "tarnimg: %s and %s differ in %zu pixels; the first at (%d, %d): #%06X, #%06X\n",
                 first.c_str(), second.c_str(), differing, static_cast<int>(at % w[0]),
                 static_cast<int>(at / w[0]), pixels[0][at], pixels[1][at]);
    return 1;
}

// The usage: asked for (--help), on standard output with exit 0; after a wrong command line, on
// standard error with exit 1.
int Usage(std::FILE* out = stderr) {
    std::fprintf(out, "usage: tarnimg info FILE [--format bmp|tga|pcx|psd|jpg|png]\n"
                      "       tarnimg convert FILE OUT [--format bmp|tga|pcx|psd|jpg|png]\n"
                      "       tarnimg compare FILE FILE\n"
                      "       tarnimg --version\n"
                      "       tarnimg --help\n");
    return out == stderr ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tarnimg %s\n", TARN_VERSION_STRING);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return Usage(stdout);
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    int format = IMAGE_UNKNOWN;
    if (command == "info") {
        if (!ParseFormat(argc, argv, 3, &format)) return Usage();
        return Info(argv[2], format);
    }
    if (command == "convert" && argc >= 4) {
        if (!ParseFormat(argc, argv, 4, &format)) return Usage();
        tarn::platform::UseHeadlessHost().Config().desktopBits = 32;
        return Convert(argv[2], argv[3], format);
    }
    if (command == "compare" && argc == 4) {
        tarn::platform::UseHeadlessHost().Config().desktopBits = 32;
        return Compare(argv[2], argv[3]);
    }
    return Usage();
}
