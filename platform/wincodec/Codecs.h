// The imaging component's insides: the factory CoCreateInstance makes, the PNG decoder and
// encoder objects and the memory streams it hands out, and the PNG reading and writing they
// share, over libpng (and libdeflate for the commonest pictures).
#pragma once

#include <wincodec.h>

#include <cstddef>
#include <cstdint>

namespace tarn::platform {

// The factory object (CLSID_WICImagingFactory) with interface riid.
HRESULT CreateImagingFactory(REFIID riid, void** ppv);
// A PNG decoder over the rest of the stream; WINCODEC_ERR_COMPONENTNOTFOUND for data that is
// not PNG, WINCODEC_ERR_BADHEADER for a PNG whose header chunks are damaged.
HRESULT CreatePngDecoder(IStream* stream, IWICBitmapDecoder** decoder);
HRESULT CreatePngEncoder(IWICBitmapEncoder** encoder);
HRESULT CreateFormatConverter(IWICFormatConverter** converter);
// A stream for the factory's CreateStream, to be initialised by its caller.
HRESULT CreateMemoryStream(IWICStream** stream);
// The bytes from the seek position to the end of a stream made by CreateMemoryStream and
// initialised over memory, where they lie; false for any other stream.
bool MemoryStreamSpan(IStream* stream, const uint8_t** data, size_t* size);

// What a PNG file's chunks before the image data say, once libpng has checked them.
struct PngHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;
    bool interlaced = false;
    bool transparency = false; // a tRNS chunk
};

// The row layouts the decoder writes and the encoder reads.
enum class PngRows {
    Bgr24,  // blue, green, red
    Bgra32, // blue, green, red, alpha (255 where the file has no alpha)
};

// The eight bytes every PNG file starts with.
bool HasPngSignature(const uint8_t* data, size_t size);
HRESULT ReadPngHeader(const uint8_t* data, size_t size, PngHeader* header);
// Decodes the whole picture into `rows` (header.height row pointers, each wide enough for the
// layout): 16-bit samples rounded to 8 bits, palettes, grey and tRNS expanded, Adam7
// deinterlaced. WINCODEC_ERR_BADIMAGE for damaged or truncated data.
HRESULT DecodePng(const uint8_t* data, size_t size, PngRows layout, uint8_t* const* rows);
// DecodePng's two ways: the quick one for sound 8-bit RGB and RGBA files without tRNS
// (PngWhole.cpp), S_OK when it decoded the picture and S_FALSE for any file it leaves to the
// other; and libpng's, for every file.
HRESULT DecodePngWhole(const uint8_t* data, size_t size, PngRows layout, uint8_t* const* rows);
HRESULT DecodePngWithLibpng(const uint8_t* data, size_t size, PngRows layout, uint8_t* const* rows);
// Writes a PNG file of `rows` through `stream`. WINCODEC_ERR_STREAMWRITE when the stream
// refuses the bytes.
HRESULT EncodePng(IStream* stream, uint32_t width, uint32_t height, PngRows layout,
                  const uint8_t* const* rows);

} // namespace tarn::platform
