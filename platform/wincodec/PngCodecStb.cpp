// PNG reading and writing for the browser build, where there is no libpng: stb_image decodes and
// stb_image_write encodes (both from Debian's libstb-dev, used from /usr/include). The header is
// read here from the file's own chunks, so the decoder objects see the same facts as over
// libpng; 16-bit samples are rounded to 8 bits as libpng rounds them (v / 257).
#include "wincodec/Codecs.h"

#include "wincodec/StbImage.h"

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace tarn::platform {
namespace {

constexpr uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t MAX_SIDE = 65535; // as the desktop's libpng is limited

uint32_t Big32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// The CRC-32 every PNG chunk ends with (over its type and data).
uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return crc ^ 0xFFFFFFFFu;
}

// Every chunk up to IEND must lie inside the data, as on the desktop.
bool ChunksFitTheData(const uint8_t* data, size_t size) {
    size_t at = sizeof SIGNATURE;
    while (size - at >= 8) {
        const uint32_t length = Big32(data + at);
        if (length > size - at - 8 || size - at - 8 - length < 4) return false;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
        at += 12 + static_cast<size_t>(length);
    }
    return true;
}

// The colour types and the bit depths each allows.
bool DepthFits(int colourType, int depth) {
    switch (colourType) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

struct StreamTarget {
    IStream* stream;
    bool failed;
};

void WriteToStream(void* context, void* data, int size) {
    StreamTarget* target = static_cast<StreamTarget*>(context);
    ULONG written = 0;
    if (target->failed || size <= 0) return;
    if (FAILED(target->stream->Write(data, (ULONG)size, &written)) || written != (ULONG)size)
        target->failed = true;
}

} // namespace

bool HasPngSignature(const uint8_t* data, size_t size) {
    return data && size >= sizeof SIGNATURE && std::memcmp(data, SIGNATURE, sizeof SIGNATURE) == 0;
}

HRESULT ReadPngHeader(const uint8_t* data, size_t size, PngHeader* header) {
    if (!HasPngSignature(data, size)) return WINCODEC_ERR_COMPONENTNOTFOUND;
    if (!ChunksFitTheData(data, size) || size < 33) return WINCODEC_ERR_BADHEADER;
    const uint8_t* ihdr = data + 8;
    if (Big32(ihdr) != 13 || std::memcmp(ihdr + 4, "IHDR", 4) != 0 ||
        Crc32(ihdr + 4, 17) != Big32(ihdr + 21))
        return WINCODEC_ERR_BADHEADER;
    const uint32_t width = Big32(ihdr + 8), height = Big32(ihdr + 12);
    const int depth = ihdr[16], colourType = ihdr[17];
    if (width == 0 || height == 0 || width > MAX_SIDE || height > MAX_SIDE ||
        !DepthFits(colourType, depth) || ihdr[18] != 0 || ihdr[19] != 0 || ihdr[20] > 1)
        return WINCODEC_ERR_BADHEADER;
    header->width = width;
    header->height = height;
    header->bitDepth = depth;
    header->colourType = colourType;
    header->interlaced = ihdr[20] == 1;
    header->transparency = false;
    // A tRNS chunk counts before the image data, as libpng reads it.
    for (size_t at = 8; size - at >= 12;) {
        const uint32_t length = Big32(data + at);
        if (std::memcmp(data + at + 4, "IDAT", 4) == 0 || length > size - at - 12) break;
        if (std::memcmp(data + at + 4, "tRNS", 4) == 0) header->transparency = true;
        at += 12 + static_cast<size_t>(length);
    }
    return S_OK;
}

HRESULT DecodePng(const uint8_t* data, size_t size, PngRows layout, uint8_t* const* rows) {
    PngHeader header;
    if (HRESULT hr = ReadPngHeader(data, size, &header); FAILED(hr))
        return hr == WINCODEC_ERR_COMPONENTNOTFOUND ? hr : WINCODEC_ERR_BADIMAGE;
    if (size > 0x7FFFFFFF) return WINCODEC_ERR_BADIMAGE;
    const int channels = layout == PngRows::Bgr24 ? 3 : 4;
    int width = 0, height = 0, inFile = 0;
    // 16-bit files are decoded at 16 bits and rounded here; stb_image would truncate.
    const bool wide = header.bitDepth == 16;
    void* pixels =
        wide ? (void*)stbi_load_16_from_memory(data, (int)size, &width, &height, &inFile, channels)
             : (void*)stbi_load_from_memory(data, (int)size, &width, &height, &inFile, channels);
    if (!pixels) return WINCODEC_ERR_BADIMAGE;
    if ((uint32_t)width != header.width || (uint32_t)height != header.height) {
        stbi_image_free(pixels);
        return WINCODEC_ERR_BADIMAGE;
    }
    const size_t rowSamples = (size_t)width * channels;
    for (int y = 0; y < height; ++y) {
        uint8_t* out = rows[y];
        for (size_t i = 0; i < rowSamples; i += channels) {
            uint32_t s[4] = {0, 0, 0, 255};
            for (int c = 0; c < channels; ++c) {
                const size_t at = (size_t)y * rowSamples + i + c;
                s[c] = wide ? (static_cast<uint16_t*>(pixels)[at] * 255u + 32767u) / 65535u
                            : static_cast<uint8_t*>(pixels)[at];
            }
            out[i] = (uint8_t)s[2]; // blue, green, red (, alpha)
            out[i + 1] = (uint8_t)s[1];
            out[i + 2] = (uint8_t)s[0];
            if (channels == 4) out[i + 3] = (uint8_t)s[3];
        }
    }
    stbi_image_free(pixels);
    return S_OK;
}

HRESULT EncodePng(IStream* stream, uint32_t width, uint32_t height, PngRows layout,
                  const uint8_t* const* rows) {
    if (!stream || !rows || width == 0 || height == 0 || width > MAX_SIDE || height > MAX_SIDE)
        return E_INVALIDARG;
    const int channels = layout == PngRows::Bgr24 ? 3 : 4;
    // stb_image_write takes red-green-blue rows in one block.
    std::vector<uint8_t> rgb;
    const size_t rowBytes = (size_t)width * channels;
    rgb.resize(rowBytes * height);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = rgb.data() + rowBytes * y;
        std::memcpy(out, rows[y], rowBytes);
        for (size_t i = 0; i < rowBytes; i += channels) std::swap(out[i], out[i + 2]);
    }
    StreamTarget target{stream, false};
    if (!stbi_write_png_to_func(&WriteToStream, &target, (int)width, (int)height, channels,
                                rgb.data(), (int)rowBytes))
        return target.failed ? WINCODEC_ERR_STREAMWRITE : E_FAIL;
    return target.failed ? WINCODEC_ERR_STREAMWRITE : S_OK;
}

} // namespace tarn::platform
