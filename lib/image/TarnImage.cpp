// The image front end: file in, format recognised from one table in the system's order,
// one decoder object for the call, surface out.
#include "image/TarnImage.h"

#include "image/TarnFile.h"
#include "image/TarnImageBMP.h"
#include "image/TarnImageJPG.h"
#include "image/TarnImagePCX.h"
#include "image/TarnImagePNG.h"
#include "image/TarnImagePSD.h"
#include "image/TarnImageTGA.h"

#include <climits>
#include <cstdlib>
#include <new>

namespace {

constexpr int HEAD_BYTES = 256;
constexpr int FOOT_BYTES = 64;

// A decoder's test sees the data's head and foot, or the bytes present of shorter data.
template <class Decoder> int TestWith(int size, const unsigned char* data) {
    const int headLength = size < HEAD_BYTES ? size : HEAD_BYTES;
    const int footLength = size < FOOT_BYTES ? size : FOOT_BYTES;
    Decoder decoder;
    return decoder.TestFormat(data, headLength, data + (size - footLength), footLength);
}

// Decodes, and hands the picture's alpha plane (if any) to `image`.
template <class Decoder>
IDirectDrawSurface7* DecodeWith(IDirectDraw7* dd, int size, const unsigned char* data,
                                BYTE placement, TarnImage* image) {
    Decoder decoder;
    IDirectDrawSurface7* result = decoder.Decode(dd, size, data, placement);
    if (result) {
        image->alpha = decoder.TakeAlpha();
        image->alphaWidth = image->alpha ? decoder.width : 0;
        image->alphaHeight = image->alpha ? decoder.height : 0;
    }
    return result;
}

struct DecoderEntry {
    int format;
    int (*test)(int size, const unsigned char* data);
    IDirectDrawSurface7* (*decode)(IDirectDraw7*, int, const unsigned char*, BYTE, TarnImage*);
};

// In detection order: TGA first, since its mark is in the footer and its header may start with
// anything, even "BM". A TGA without the footer has no mark at all: its header alone, checked
// strictly, decides last.
constexpr DecoderEntry DECODERS[] = {
    {IMAGE_TGA, TestWith<TarnImageTGA>, DecodeWith<TarnImageTGA>},
    {IMAGE_BMP, TestWith<TarnImageBMP>, DecodeWith<TarnImageBMP>},
    {IMAGE_PSD, TestWith<TarnImagePSD>, DecodeWith<TarnImagePSD>},
    {IMAGE_PCX, TestWith<TarnImagePCX>, DecodeWith<TarnImagePCX>},
    {IMAGE_JPG, TestWith<TarnImageJPG>, DecodeWith<TarnImageJPG>},
    {IMAGE_PNG, TestWith<TarnImagePNG>, DecodeWith<TarnImagePNG>},
    {IMAGE_TGA, TarnImageTGA::TestHeader, DecodeWith<TarnImageTGA>},
};

} // namespace

TarnImage::TarnImage() = default;

TarnImage::~TarnImage() {
    std::free(alpha);
}

IDirectDrawSurface7* TarnImage::LoadFile(IDirectDraw7* dd, const char* fileName, BYTE placement,
                                         int format) {
    TarnFile file;
    if (file.OpenRead(fileName) != 0) return nullptr;
    const DWORD size = file.GetSize();
    if (size == INVALID_FILE_SIZE || size > static_cast<DWORD>(INT_MAX)) return nullptr;
    unsigned char* buffer = nullptr;
    if (size > 0) {
        buffer = new (std::nothrow) unsigned char[size];
        if (!buffer) return nullptr;
        if (file.Read(buffer, size) != size) {
            delete[] buffer;
            return nullptr;
        }
    }
    file.Close();
    IDirectDrawSurface7* result = LoadMemory(dd, static_cast<int>(size), buffer, placement, format);
    delete[] buffer;
    return result;
}

IDirectDrawSurface7* TarnImage::LoadMemory(IDirectDraw7* dd, int size, const unsigned char* data,
                                           BYTE placement, int format) {
    std::free(alpha);
    alpha = nullptr;
    alphaWidth = alphaHeight = 0;
    if (format == IMAGE_UNKNOWN) format = DetectFormat(size, data);
    if (format == IMAGE_UNKNOWN) {
        OutputDebugStringA("Error: TarnImage - Unsupported Image type.");
        return nullptr;
    }
    if (size <= 0 || !data) return nullptr;
    for (const DecoderEntry& entry : DECODERS)
        if (entry.format == format) return entry.decode(dd, size, data, placement, this);
    return nullptr;
}

int TarnImage::DetectFormat(int size, const unsigned char* data) {
    if (size <= 0 || !data) return IMAGE_UNKNOWN;
    for (const DecoderEntry& entry : DECODERS)
        if (entry.test(size, data) == 1) return entry.format;
    return IMAGE_UNKNOWN;
}
