// The PNG decoder. The imaging factory's decoder reads the file where it lies, through the
// factory's stream over memory; frame 0 is copied as 24bppBGR when the file stores 8-bit RGB,
// else converted to 32bppBGRA, straight into the DIB, whose size is checked against the decoders'
// limits before anything is allocated for the pixels.
#include "image/TarnImagePNG.h"

#include "image/TarnImaging.h"

#include <cstring>

namespace {

constexpr unsigned char PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Bits per pixel as the file stores them, from its header chunk (right after the signature);
// 0 when the header is not there.
int StoredBits(int size, const unsigned char* data) {
    TarnByteReader reader(data, static_cast<size_t>(size));
    reader.Seek(8 + 4);
    unsigned char type[4];
    reader.Read(type, 4);
    reader.Skip(8); // width and height
    const int depth = reader.U8();
    const int colourType = reader.U8();
    if (reader.Overrun() || std::memcmp(type, "IHDR", 4) != 0) return 0;
    static const int CHANNELS[7] = {1, 0, 3, 1, 2, 0, 4};
    return colourType <= 6 ? depth * CHANNELS[colourType] : 0;
}

// 1 when the file carries alpha: a colour type with an alpha channel (4, 6), or a tRNS chunk
// before the first IDAT. Opaque pictures get no alpha plane.
int CarriesAlpha(int size, const unsigned char* data) {
    TarnByteReader reader(data, static_cast<size_t>(size));
    reader.Seek(8 + 8 + 9);
    const int colourType = reader.U8();
    if (reader.Overrun()) return 0;
    if (colourType == 4 || colourType == 6) return 1;
    reader.Seek(8);
    while (!reader.Overrun() && reader.Remaining() >= 12) {
        const uint32_t length = reader.U32BE();
        unsigned char type[4];
        reader.Read(type, 4);
        if (std::memcmp(type, "tRNS", 4) == 0) return 1;
        if (std::memcmp(type, "IDAT", 4) == 0 || length > reader.Remaining()) return 0;
        reader.Skip(static_cast<size_t>(length) + 4); // the data and its checksum
    }
    return 0;
}

} // namespace

TarnImagePNG::TarnImagePNG() = default;

TarnImagePNG::~TarnImagePNG() = default;

int TarnImagePNG::TestFormat(const unsigned char* head, int headLength, const unsigned char*, int) {
    return head && headLength >= 8 && std::memcmp(head, PNG_SIGNATURE, 8) == 0 ? 1 : 0;
}

bool TarnImagePNG::DecodeBitmap(int size, const unsigned char* data) {
    FreeBuffers();
    // The imaging component's decoder recognises other formats by itself: a forced PNG decode
    // of anything else must still fail.
    if (!data || TestFormat(data, size, nullptr, 0) != 1) return false;
    TarnImaging imaging;
    if (!imaging.factory) return false;

    // The component reads the caller's bytes where they are, through its own stream over
    // memory; the stream only reads them, and they outlive it.
    TarnReleased<IWICStream> stream;
    if (FAILED(imaging.factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size))))
        return false;

    TarnReleased<IWICBitmapDecoder> decoder;
    TarnReleased<IWICBitmapFrameDecode> frame;
    TarnReleased<IWICFormatConverter> converter;
    UINT frameWidth = 0, frameHeight = 0;
    if (FAILED(imaging.factory->CreateDecoderFromStream(
            stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&frameWidth, &frameHeight)) ||
        frameWidth > static_cast<UINT>(IMAGE_MAX_DIMENSION) ||
        frameHeight > static_cast<UINT>(IMAGE_MAX_DIMENSION))
        return false;
    topDown = 1;
    sourceBits = StoredBits(size, data);
    // A picture the file stores as 8-bit RGB without alpha is copied as it is, three bytes a
    // pixel; every other one is converted to 32bppBGRA, the one target every converter
    // offers from every format. CopyPixels writes every pixel of every row, or fails and the
    // buffer goes.
    const bool alpha = CarriesAlpha(size, data) != 0;
    WICPixelFormatGUID stored = GUID_WICPixelFormatDontCare;
    const bool bgr = !alpha && SUCCEEDED(frame->GetPixelFormat(&stored)) &&
                     IsEqualGUID(stored, GUID_WICPixelFormat24bppBGR);
    if (!SetSize(static_cast<int>(frameWidth), static_cast<int>(frameHeight), bgr ? 24 : 32, false))
        return false;
    if (FAILED(imaging.factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(
            frame.get(), bgr ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat32bppBGRA,
            WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->CopyPixels(nullptr, stride, pixelBytes, pixels))) {
        FreeBuffers();
        return false;
    }
    // The alpha bytes also go into the picture's alpha plane when the file carries alpha.
    if (alpha && !KeepAlphaRows(pixels, static_cast<long>(stride))) {
        FreeBuffers();
        return false;
    }
    BuildBitmapInfo();
    if (!bitmapInfo) {
        FreeBuffers();
        return false;
    }
    return true;
}

IDirectDrawSurface7* TarnImagePNG::Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                          BYTE placement) {
    if (!dd || !DecodeBitmap(size, data)) return nullptr;
    return DeliverSurface(dd, placement);
}
