// The image front end: file in, format recognised from one table in the system's order,
// one decoder object for the call, surface out.
#include "image/TarnImage.h"

#include "image/TarnFile.h"
#include "image/TarnImageBMP.h"
#include "image/TarnImageJPG.h"
#include "image/TarnImagePCX.h"
#include "image/TarnImagePSD.h"
#include "image/TarnImageTGA.h"

#include <climits>
#include <cstdlib>
#include <new>

namespace {

constexpr int HEAD_BYTES = 256;
constexpr int FOOT_BYTES = 64;

template <class Decoder>
int TestWith(const unsigned char* head, int headLength, const unsigned char* foot, int footLength) {
    Decoder decoder;
    return decoder.TestFormat(head, headLength, foot, footLength);
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
    int (*test)(const unsigned char*, int, const unsigned char*, int);
    IDirectDrawSurface7* (*decode)(IDirectDraw7*, int, const unsigned char*, BYTE, TarnImage*);
};

// In detection order: TGA first, since its mark is in the footer and its header may start with
// anything, even "BM".
constexpr DecoderEntry DECODERS[] = {
    {IMAGE_TGA, TestWith<TarnImageTGA>, DecodeWith<TarnImageTGA>},
    {IMAGE_BMP, TestWith<TarnImageBMP>, DecodeWith<TarnImageBMP>},
    {IMAGE_PSD, TestWith<TarnImagePSD>, DecodeWith<TarnImagePSD>},
    {IMAGE_PCX, TestWith<TarnImagePCX>, DecodeWith<TarnImagePCX>},
    {IMAGE_JPG, TestWith<TarnImageJPG>, DecodeWith<TarnImageJPG>},
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
    const int headLength = size < HEAD_BYTES ? size : HEAD_BYTES;
    const int footLength = size < FOOT_BYTES ? size : FOOT_BYTES;
    const unsigned char* foot = data + (size - footLength);
    for (const DecoderEntry& entry : DECODERS)
        if (entry.test(data, headLength, foot, footLength) == 1) return entry.format;
    return IMAGE_UNKNOWN;
}
