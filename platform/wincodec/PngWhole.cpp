// The quick way through the commonest PNG pictures, 8-bit RGB and RGBA without a tRNS chunk,
// plain or Adam7: the image data is inflated whole with libdeflate (far quicker than zlib's
// streaming inflate), then each row is unfiltered in place and written straight into the
// caller's rows in the asked layout. It takes only files whose chunks are all sound (every
// checksum right, the image data in one run, nothing critical but IHDR, IDAT and IEND, the
// stream inflating to exactly the picture); for anything else it answers S_FALSE and DecodePng
// goes through libpng, which then decides, so no file is refused or read differently here.
#include "wincodec/Codecs.h"

#include <libdeflate.h>

#include <cstdlib>
#include <cstring>

namespace tarn::platform {
namespace {

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

struct Chunk {
    const uint8_t* type = nullptr;
    const uint8_t* body = nullptr;
    uint32_t length = 0;

    bool Is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
    // Critical chunks have an upper-case first letter.
    bool Critical() const { return (type[0] & 0x20) == 0; }
};

// libpng refuses any chunk but the image data beyond this (its default chunk allocation limit).
constexpr uint32_t MOST_CHUNK_BYTES = 8000000;

bool Letter(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The chunk at *at, its checksum checked, and *at moved past it; false when the data ends, or
// for a chunk libpng would refuse: a wrong checksum, a name not of four letters, a length past
// its limits.
bool NextChunk(const uint8_t* data, size_t size, size_t* at, Chunk* chunk) {
    if (size - *at < 12) return false;
    const uint32_t length = BigEndian32(data + *at);
    if (length > size - *at - 12 || length > 0x7FFFFFFFu) return false;
    const uint8_t* type = data + *at + 4;
    if (!Letter(type[0]) || !Letter(type[1]) || !Letter(type[2]) || !Letter(type[3])) return false;
    if (length > MOST_CHUNK_BYTES && std::memcmp(type, "IDAT", 4) != 0) return false;
    chunk->type = data + *at + 4;
    chunk->body = chunk->type + 4;
    chunk->length = length;
    if (libdeflate_crc32(0, chunk->type, size_t{length} + 4) != BigEndian32(chunk->body + length))
        return false;
    *at += size_t{length} + 12;
    return true;
}

struct Pass {
    uint32_t x0, y0, dx, dy;
};
constexpr Pass WHOLE[1] = {{0, 0, 1, 1}};
constexpr Pass ADAM7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// A pass's size in pixels (0 for a pass with no pixels of a small picture).
uint32_t PassSide(uint32_t side, uint32_t first, uint32_t step) {
    return side > first ? (side - first + step - 1) / step : 0;
}

uint8_t Paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes a row's filter in place; `prior` is the unfiltered row above (zeros for a pass's first
// row). False for a filter type PNG does not define.
template <size_t Bpp> bool Unfilter(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t n) {
    switch (filter) {
    case 0:
        return true;
    case 1:
        for (size_t i = Bpp; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - Bpp]);
        return true;
    case 2:
        for (size_t i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
        return true;
    case 3:
        for (size_t i = 0; i < Bpp; ++i) row[i] = static_cast<uint8_t>(row[i] + (prior[i] >> 1));
        for (size_t i = Bpp; i < n; ++i)
            row[i] = static_cast<uint8_t>(row[i] + ((row[i - Bpp] + prior[i]) >> 1));
        return true;
    case 4:
        for (size_t i = 0; i < Bpp; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
        for (size_t i = Bpp; i < n; ++i)
            row[i] = static_cast<uint8_t>(row[i] + Paeth(row[i - Bpp], prior[i], prior[i - Bpp]));
        return true;
    default:
        return false;
    }
}

// Writes `count` pixels of an unfiltered row (red, green, blue[, alpha]) into `out` in the
// layout's order, `Step` pixels apart (the pass's spacing, 1 for a plain picture).
template <size_t Bpp, size_t OutBytes>
void Place(const uint8_t* in, size_t count, uint8_t* out, size_t step) {
    for (size_t i = 0; i < count; ++i, in += Bpp, out += step * OutBytes) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        if constexpr (OutBytes == 4) out[3] = Bpp == 4 ? in[3] : 0xFF;
    }
}

// Unfilters every pass's rows in `image` (the inflated data, exactly the passes' size) and
// places their pixels; false for an undefined filter type.
template <size_t Bpp, size_t OutBytes>
bool Reconstruct(uint8_t* image, const Pass* passes, int passCount, uint32_t width, uint32_t height,
                 const uint8_t* zeros, uint8_t* const* rows) {
    for (int p = 0; p < passCount; ++p) {
        const Pass& pass = passes[p];
        const uint32_t w = PassSide(width, pass.x0, pass.dx);
        const uint32_t h = PassSide(height, pass.y0, pass.dy);
        if (w == 0 || h == 0) continue;
        const size_t n = size_t{w} * Bpp;
        const uint8_t* prior = zeros;
        for (uint32_t y = 0; y < h; ++y) {
            uint8_t* row = image + 1;
            if (!Unfilter<Bpp>(image[0], row, prior, n)) return false;
            uint8_t* out = rows[pass.y0 + size_t{y} * pass.dy] + size_t{pass.x0} * OutBytes;
            if (pass.dx == 1)
                Place<Bpp, OutBytes>(row, w, out, 1);
            else
                Place<Bpp, OutBytes>(row, w, out, pass.dx);
            prior = row;
            image += n + 1;
        }
    }
    return true;
}

// Frees what the decode holds, whichever way it leaves.
struct Held {
    uint8_t* joined = nullptr;
    uint8_t* image = nullptr;
    uint8_t* zeros = nullptr;
    libdeflate_decompressor* inflater = nullptr;
    ~Held() {
        std::free(joined);
        std::free(image);
        std::free(zeros);
        if (inflater) libdeflate_free_decompressor(inflater);
    }
};

} // namespace

HRESULT DecodePngWhole(const uint8_t* data, size_t size, PngRows layout, uint8_t* const* rows) {
    if (!HasPngSignature(data, size) || !rows) return S_FALSE;
    size_t at = 8;
    Chunk chunk;
    if (!NextChunk(data, size, &at, &chunk) || !chunk.Is("IHDR") || chunk.length != 13)
        return S_FALSE;
    const uint32_t width = BigEndian32(chunk.body), height = BigEndian32(chunk.body + 4);
    const uint8_t depth = chunk.body[8], colourType = chunk.body[9];
    const uint8_t compression = chunk.body[10], filtering = chunk.body[11],
                  interlace = chunk.body[12];
    // libpng's limits (ReadPngHeader) stand for every other picture.
    if (width == 0 || height == 0 || width > 65535 || height > 65535 || depth != 8 ||
        (colourType != 2 && colourType != 6) || compression != 0 || filtering != 0 || interlace > 1)
        return S_FALSE;

    // The chunks before the image data: nothing critical, no transparency to apply.
    do {
        if (!NextChunk(data, size, &at, &chunk)) return S_FALSE;
        if (!chunk.Is("IDAT") && (chunk.Critical() || chunk.Is("tRNS"))) return S_FALSE;
    } while (!chunk.Is("IDAT"));
    // The image data, one run of IDAT chunks, and what follows it up to IEND: no more image data
    // and nothing critical.
    const size_t firstData = at - chunk.length - 12;
    size_t compressed = chunk.length;
    size_t pieces = 1;
    for (;;) {
        if (!NextChunk(data, size, &at, &chunk)) return S_FALSE;
        if (!chunk.Is("IDAT")) break;
        compressed += chunk.length;
        ++pieces;
    }
    while (!chunk.Is("IEND")) {
        if (chunk.Critical() || !NextChunk(data, size, &at, &chunk)) return S_FALSE;
    }
    if (chunk.length != 0) return S_FALSE;

    Held held;
    const uint8_t* stream = data + firstData + 8;
    if (pieces > 1) {
        held.joined = static_cast<uint8_t*>(std::malloc(compressed));
        if (!held.joined) return S_FALSE;
        size_t piece = firstData, filled = 0;
        while (filled < compressed) {
            const uint32_t length = BigEndian32(data + piece);
            std::memcpy(held.joined + filled, data + piece + 8, length);
            filled += length;
            piece += size_t{length} + 12;
        }
        stream = held.joined;
    }

    const size_t bpp = colourType == 6 ? 4 : 3;
    const Pass* passes = interlace ? ADAM7 : WHOLE;
    const int passCount = interlace ? 7 : 1;
    size_t expected = 0;
    for (int p = 0; p < passCount; ++p) {
        const size_t w = PassSide(width, passes[p].x0, passes[p].dx);
        const size_t h = PassSide(height, passes[p].y0, passes[p].dy);
        if (w && h) expected += h * (1 + w * bpp);
    }
    // Deflate makes at most 1032 bytes of every compressed byte: image data too short for the
    // picture gets no buffer of the picture's size here.
    if (expected / 1032 > compressed) return S_FALSE;
    held.image = static_cast<uint8_t*>(std::malloc(expected));
    held.zeros = static_cast<uint8_t*>(std::calloc(size_t{width} * bpp, 1));
    held.inflater = libdeflate_alloc_decompressor();
    if (!held.image || !held.zeros || !held.inflater) return S_FALSE;
    size_t used = 0, made = 0;
    if (libdeflate_zlib_decompress_ex(held.inflater, stream, compressed, held.image, expected,
                                      &used, &made) != LIBDEFLATE_SUCCESS ||
        used != compressed || made != expected)
        return S_FALSE;

    bool ok;
    if (bpp == 3)
        ok =
            layout == PngRows::Bgr24
                ? Reconstruct<3, 3>(held.image, passes, passCount, width, height, held.zeros, rows)
                : Reconstruct<3, 4>(held.image, passes, passCount, width, height, held.zeros, rows);
    else
        ok =
            layout == PngRows::Bgr24
                ? Reconstruct<4, 3>(held.image, passes, passCount, width, height, held.zeros, rows)
                : Reconstruct<4, 4>(held.image, passes, passCount, width, height, held.zeros, rows);
    return ok ? S_OK : S_FALSE;
}

} // namespace tarn::platform
