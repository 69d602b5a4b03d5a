// JPEG decoding for the picture loader: a JPEG file held in memory becomes a top-down DIB in the
// layout the picture object hands to StretchDIBits: 32-bit blue-green-red-unused, or 16-bit
// 5-6-5 for 16-bit destinations, so that drawing into those is a copy rather than a conversion.
// libjpeg-turbo does the work; its errors come back as a result, never end the process.
#pragma once

#include <windef.h>

#include <cstddef>
#include <cstdint>

namespace tarn::platform {

// Largest picture the loader accepts, checked against the file's header before any pixel
// memory is allocated: each side at most MAX_JPEG_SIDE, at most MAX_JPEG_PIXELS in all.
constexpr uint32_t MAX_JPEG_SIDE = 32768;
constexpr uint64_t MAX_JPEG_PIXELS = 1ull << 26;

enum class JpegLayout {
    Bgrx32, // 32 bits: blue, green, red, unused bytes
    Rgb565, // 16 bits 5-6-5 (channels truncated), rows padded to 4 bytes
};

// What the header says, once the loader has checked it.
struct JpegInfo {
    int width = 0;
    int height = 0;
    bool cmyk = false; // CMYK or YCCK: only decoded to Bgrx32
};

// A decoded picture. `pixels` is owned (std::free) and holds `height` rows of `stride` bytes,
// the top row first.
struct DecodedPicture {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0; // 32 or 16, by layout
    JpegLayout layout = JpegLayout::Bgrx32;
    int stride = 0;
    uint8_t* pixels = nullptr;
};

// Decodes baseline and progressive JPEG files, greyscale, YCbCr, RGB and CMYK/YCCK. A file that
// ends early gives what it holds (the rest grey); a file libjpeg refuses, or one larger than the
// limits above, gives CTL_E_INVALIDPICTURE (E_OUTOFMEMORY when memory runs out).
HRESULT DecodeJpeg(const uint8_t* data, size_t size, JpegLayout layout, DecodedPicture* out);

// Reads and checks everything up to the first scan (markers, tables, size limits) without
// decoding pixels; the same failures as DecodeJpeg for a file refused there.
HRESULT ReadJpegInfo(const uint8_t* data, size_t size, JpegInfo* info);

// Receives the rows of a banded decode: `band` describes `band.height` rows (its pixels are the
// decoder's and only valid during the call), the first of them row `firstRow` of the picture.
// A failure result stops the decode and is returned by DecodeJpegInBands.
using JpegBandSink = HRESULT (*)(void* context, const DecodedPicture& band, int firstRow);

// Decodes like DecodeJpeg, but into a buffer of `bandRows` rows that is handed to `sink` each
// time it is full (and once more for the last rows), top band first; the picture as a whole is
// never held. Bands already handed over stay handed over when a later part of the file fails.
HRESULT DecodeJpegInBands(const uint8_t* data, size_t size, JpegLayout layout, int bandRows,
                          JpegBandSink sink, void* context);

void FreeDecodedPicture(DecodedPicture* picture);

} // namespace tarn::platform
