// PSD decoding. Version, channels, depth, mode and compression are checked and the three
// variable sections skipped by their lengths through the bounds-checked reader before anything
// is allocated; PackBits packets never write past their plane, so a truncated or hostile file
// gives null and never a read or write outside the data or the buffers.
#include "image/TarnImagePSD.h"

#include <cstring>
#include <new>

namespace {

constexpr int PSD_MAX_CHANNELS = 24;
constexpr int PSD_RGB = 3;

// Byte of the blue-green-red-alpha pixel that file channel k (red, green, blue, alpha) fills,
// and what it holds when the file has no such channel.
constexpr int CHANNEL_BYTE[4] = {2, 1, 0, 3};
constexpr BYTE ABSENT_VALUE[4] = {0, 0, 0, 255};

void Scatter(BYTE* pixels, int byte, const BYTE* plane, size_t count) {
    BYTE* out = pixels + byte;
    for (size_t i = 0; i < count; ++i) out[4 * i] = plane[i];
}

void Fill(BYTE* pixels, int byte, BYTE value, size_t count) {
    BYTE* out = pixels + byte;
    for (size_t i = 0; i < count; ++i) out[4 * i] = value;
}

// The red, green and blue planes (and alpha, or opaque when null) into whole blue-green-red-alpha
// pixels, one pass with one store a pixel.
void Interleave(BYTE* pixels, const BYTE* red, const BYTE* green, const BYTE* blue,
                const BYTE* alpha, size_t count) {
    uint32_t* out = reinterpret_cast<uint32_t*>(pixels);
    if (alpha)
        for (size_t i = 0; i < count; ++i)
            out[i] = uint32_t{alpha[i]} << 24 | uint32_t{red[i]} << 16 | uint32_t{green[i]} << 8 |
                     blue[i];
    else
        for (size_t i = 0; i < count; ++i)
            out[i] = 0xFF000000u | uint32_t{red[i]} << 16 | uint32_t{green[i]} << 8 | blue[i];
}

// One plane of PackBits: c < 128 copies c + 1 bytes, c > 128 repeats the next byte 257 - c
// times, 128 does nothing; the rows run on until `count` bytes are out. A packet that goes past
// the plane's end is cut there. False when the data ends first.
bool UnpackBits(TarnByteReader& reader, BYTE* plane, size_t count) {
    size_t out = 0;
    while (out < count) {
        const int c = reader.U8();
        if (reader.Overrun()) return false;
        if (c < 128) {
            const size_t n = static_cast<size_t>(c) + 1;
            const unsigned char* in = reader.Take(n);
            if (!in) return false;
            const size_t stored = n < count - out ? n : count - out;
            std::memcpy(plane + out, in, stored);
            out += stored;
        } else if (c > 128) {
            const size_t n = static_cast<size_t>(257 - c);
            const int v = reader.U8();
            if (reader.Overrun()) return false;
            const size_t stored = n < count - out ? n : count - out;
            std::memset(plane + out, v, stored);
            out += stored;
        }
    }
    return true;
}

} // namespace

TarnImagePSD::TarnImagePSD()
    : version(0), channels(0), fileHeight(0), fileWidth(0), depth(0), colourMode(0) {}

TarnImagePSD::~TarnImagePSD() = default;

int TarnImagePSD::TestFormat(const unsigned char* head, int headLength, const unsigned char*, int) {
    return head && headLength >= 5 && std::memcmp(head, "8BPS", 4) == 0 && head[4] == 0 ? 1 : 0;
}

IDirectDrawSurface7* TarnImagePSD::Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                          BYTE placement) {
    if (!DecodeBitmap(size, data)) {
        FreeBuffers();
        return nullptr;
    }
    return DeliverSurface(dd, placement);
}

bool TarnImagePSD::DecodeBitmap(int size, const unsigned char* data) {
    TarnByteReader reader(data, size > 0 ? static_cast<size_t>(size) : 0);
    reader.Skip(4); // signature
    version = reader.U16BE();
    reader.Skip(6);
    channels = reader.U16BE();
    fileHeight = reader.U32BE();
    fileWidth = reader.U32BE();
    depth = reader.U16BE();
    colourMode = reader.U16BE();
    if (reader.Overrun()) return false;
    if (version != 1 || channels < 1 || channels > PSD_MAX_CHANNELS || depth != 8 ||
        colourMode != PSD_RGB)
        return false;
    if (fileWidth > static_cast<uint32_t>(IMAGE_MAX_DIMENSION) ||
        fileHeight > static_cast<uint32_t>(IMAGE_MAX_DIMENSION))
        return false;
    sourceBits = 8 * channels;

    reader.Skip(reader.U32BE()); // colour mode data
    reader.Skip(reader.U32BE()); // image resources
    reader.Skip(reader.U32BE()); // layer and mask information
    const int compression = reader.U16BE();
    if (reader.Overrun() || compression > 1) return false;

    // Raw planes must all be present before anything is allocated, and PackBits gives at most
    // 128 bytes for every 2 it reads.
    const uint64_t planeBytes = static_cast<uint64_t>(fileWidth) * fileHeight;
    const uint64_t readPlanes = channels < 4 ? channels : 4;
    const uint64_t mostOut = compression == 0 ? reader.Remaining() : reader.Remaining() * 64;
    if (planeBytes * readPlanes > mostOut) return false;

    // Every byte of every pixel is written below (32-bit rows have no padding), or the decode
    // fails and the buffer goes: no need to clear it first.
    if (!SetSize(static_cast<int>(fileWidth), static_cast<int>(fileHeight), 32, false))
        return false;
    if (!DecodePlanes(reader, channels, compression)) return false;
    topDown = 1;
    // A fourth channel is alpha: the plane keeps it (GDI ignores the DIB's fourth byte).
    if (channels >= 4 && !KeepAlphaRows(pixels, static_cast<long>(stride))) return false;
    BuildBitmapInfo();
    return bitmapInfo != nullptr;
}

// File channel k goes to byte CHANNEL_BYTE[k] when that byte position is below the channel
// count, reading the planes in file order; the other bytes take their absent value. Channels
// after the fourth are not read.
bool TarnImagePSD::DecodePlanes(TarnByteReader& reader, int channelCount, int compression) {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (compression == 1)
        reader.Skip(static_cast<uint64_t>(channelCount) * static_cast<uint64_t>(height) * 2);
    if (channelCount >= 3)
        return DecodeColourPlanes(reader, channelCount >= 4 ? 4 : 3, compression);
    BYTE* plane = nullptr;
    if (compression == 1) {
        plane = new (std::nothrow) BYTE[count];
        if (!plane) return false;
    }
    bool ok = !reader.Overrun();
    for (int k = 0; k < 4 && ok; ++k) {
        const int byte = CHANNEL_BYTE[k];
        if (byte >= channelCount) {
            Fill(pixels, byte, ABSENT_VALUE[k], count);
        } else if (compression == 0) {
            const unsigned char* in = reader.Take(count);
            ok = in != nullptr;
            if (ok) Scatter(pixels, byte, in, count);
        } else {
            ok = UnpackBits(reader, plane, count);
            if (ok) Scatter(pixels, byte, plane, count);
        }
    }
    delete[] plane;
    return ok;
}

// Three or four channels (red, green, blue, alpha in file order, as CHANNEL_BYTE places them):
// the planes as they lie in the file, or unpacked side by side, then interleaved in one pass
// rather than one pass over the picture a channel.
bool TarnImagePSD::DecodeColourPlanes(TarnByteReader& reader, int planeCount, int compression) {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (reader.Overrun()) return false;
    const BYTE* planes[4] = {};
    BYTE* unpacked = nullptr;
    if (compression == 1) {
        unpacked = new (std::nothrow) BYTE[count * planeCount];
        if (!unpacked) return false;
    }
    bool ok = true;
    for (int k = 0; k < planeCount && ok; ++k) {
        if (compression == 0) {
            planes[k] = reader.Take(count);
            ok = planes[k] != nullptr;
        } else {
            planes[k] = unpacked + count * k;
            ok = UnpackBits(reader, unpacked + count * k, count);
        }
    }
    if (ok) Interleave(pixels, planes[0], planes[1], planes[2], planes[3], count);
    delete[] unpacked;
    return ok;
}
