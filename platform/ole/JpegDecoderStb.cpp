// JPEG decoding for the browser build's picture loader, where there is no libjpeg: stb_image
// (Debian's libstb-dev) decodes the file to red-green-blue, which becomes the same layouts as on
// the desktop (32-bit blue-green-red-unused, or 5-6-5 with the channels truncated). stb_image
// decodes a picture whole, so a banded decode hands over bands of the finished picture. Its
// colour conversion and upsampling round a little differently from libjpeg's: a photograph
// differs from the desktop's decode by a step or two in some pixels.
#include "ole/JpegDecoder.h"

#include "wincodec/StbImage.h"

#include <olectl.h>

#include <cstdlib>
#include <cstring>

namespace tarn::platform {
namespace {

// The file starts with a start-of-image marker and stb_image reads a sane header from it.
HRESULT ReadInfo(const uint8_t* data, size_t size, JpegInfo* info) {
    if (!data || size < 4 || size > 0x7fffffff || data[0] != 0xFF || data[1] != 0xD8)
        return CTL_E_INVALIDPICTURE;
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, (int)size, &width, &height, &channels))
        return CTL_E_INVALIDPICTURE;
    if (width <= 0 || height <= 0 || (uint32_t)width > MAX_JPEG_SIDE ||
        (uint32_t)height > MAX_JPEG_SIDE || (uint64_t)width * (uint64_t)height > MAX_JPEG_PIXELS)
        return CTL_E_INVALIDPICTURE;
    info->width = width;
    info->height = height;
    info->cmyk = false; // stb_image converts CMYK and YCCK itself
    return S_OK;
}

} // namespace

HRESULT DecodeJpeg(const uint8_t* data, size_t size, JpegLayout layout, DecodedPicture* out) {
    *out = DecodedPicture{};
    JpegInfo info;
    if (HRESULT hr = ReadInfo(data, size, &info); FAILED(hr)) return hr;
    int width = 0, height = 0, channels = 0;
    uint8_t* rgb = stbi_load_from_memory(data, (int)size, &width, &height, &channels, 3);
    if (!rgb) return CTL_E_INVALIDPICTURE;
    if (width != info.width || height != info.height) {
        stbi_image_free(rgb);
        return CTL_E_INVALIDPICTURE;
    }
    const bool rgb565 = layout == JpegLayout::Rgb565;
    const size_t stride = rgb565 ? ((size_t)width * 2 + 3) & ~(size_t)3 : (size_t)width * 4;
    uint8_t* pixels = static_cast<uint8_t*>(std::calloc(stride, (size_t)height));
    if (!pixels) {
        stbi_image_free(rgb);
        return E_OUTOFMEMORY;
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = rgb + (size_t)y * width * 3;
        uint8_t* row = pixels + stride * y;
        for (int x = 0; x < width; ++x, in += 3) {
            if (rgb565) {
                const uint16_t p = (uint16_t)((in[0] >> 3) << 11 | (in[1] >> 2) << 5 | in[2] >> 3);
                std::memcpy(row + (size_t)x * 2, &p, 2);
            } else {
                row[x * 4] = in[2];
                row[x * 4 + 1] = in[1];
                row[x * 4 + 2] = in[0];
                row[x * 4 + 3] = 0;
            }
        }
    }
    stbi_image_free(rgb);
    out->width = width;
    out->height = height;
    out->bitsPerPixel = rgb565 ? 16 : 32;
    out->layout = rgb565 ? JpegLayout::Rgb565 : JpegLayout::Bgrx32;
    out->stride = (int)stride;
    out->pixels = pixels;
    return S_OK;
}

HRESULT ReadJpegInfo(const uint8_t* data, size_t size, JpegInfo* info) {
    *info = JpegInfo{};
    return ReadInfo(data, size, info);
}

HRESULT DecodeJpegInBands(const uint8_t* data, size_t size, JpegLayout layout, int bandRows,
                          JpegBandSink sink, void* context) {
    if (bandRows <= 0 || !sink) return E_INVALIDARG;
    DecodedPicture whole;
    if (HRESULT hr = DecodeJpeg(data, size, layout, &whole); FAILED(hr)) return hr;
    HRESULT hr = S_OK;
    for (int top = 0; top < whole.height && SUCCEEDED(hr); top += bandRows) {
        DecodedPicture band = whole;
        band.height = whole.height - top < bandRows ? whole.height - top : bandRows;
        band.pixels = whole.pixels + (size_t)top * whole.stride;
        hr = sink(context, band, top);
    }
    FreeDecodedPicture(&whole);
    return hr;
}

void FreeDecodedPicture(DecodedPicture* picture) {
    std::free(picture->pixels);
    *picture = DecodedPicture{};
}

} // namespace tarn::platform
