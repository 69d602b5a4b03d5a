// PCX decoding. The header is checked (layout, bounds in order, bytes per line at least the
// width) before anything is allocated; each scan line (all its planes, one stream) is expanded
// through the bounds-checked reader and must come out at exactly planes x bytes per line, so a
// truncated or hostile file gives null and never a read or write outside the data or the buffers.
#include "image/TarnImagePCX.h"

#include <cstring>
#include <new>

namespace {

int16_t Signed16(const BYTE* header, int offset) {
    return static_cast<int16_t>(header[offset] | (header[offset + 1] << 8));
}

constexpr int PCX_HEADER_BYTES = 128;
constexpr int PCX_PALETTE_MARKER = 12;
constexpr int PCX_PALETTE_BYTES = 768;

} // namespace

TarnImagePCX::TarnImagePCX() {
    std::memset(header, 0, sizeof(header));
}

TarnImagePCX::~TarnImagePCX() = default;

int TarnImagePCX::TestFormat(const unsigned char* head, int headLength, const unsigned char*, int) {
    return head && headLength >= 3 && head[0] == 10 && head[1] == 5 && head[2] == 1 ? 1 : 0;
}

IDirectDrawSurface7* TarnImagePCX::Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                          BYTE placement) {
    if (!DecodeBitmap(size, data)) {
        FreeBuffers();
        return nullptr;
    }
    return DeliverSurface(dd, placement);
}

// A byte with its top two bits set is a run of (byte & 0x3F) copies of the next byte; any
// other byte stands for itself.
int TarnImagePCX::DecodeLine(BYTE* destination, TarnByteReader& reader, int count) {
    int written = 0;
    while (written < count) {
        const int b = reader.U8();
        if (reader.Overrun()) return written;
        if ((b & 0xC0) == 0xC0) {
            const int n = b & 0x3F;
            const int v = reader.U8();
            if (reader.Overrun()) return written;
            const int stored = n < count - written ? n : count - written;
            std::memset(destination + written, v, static_cast<size_t>(stored));
            written += n;
        } else {
            destination[written++] = static_cast<BYTE>(b);
        }
    }
    return written;
}

bool TarnImagePCX::DecodeBitmap(int size, const unsigned char* data) {
    TarnByteReader reader(data, size > 0 ? static_cast<size_t>(size) : 0);
    reader.Read(header, sizeof(header));
    if (reader.Overrun()) return false;

    const int planeBits = static_cast<int8_t>(header[3]);
    const int planes = static_cast<int8_t>(header[65]);
    const int xmin = Signed16(header, 4), ymin = Signed16(header, 6);
    const int xmax = Signed16(header, 8), ymax = Signed16(header, 10);
    const int bytesPerLine = Signed16(header, 66);
    if (header[2] != 1 || planeBits != 8 || (planes != 1 && planes != 3)) return false;
    if (xmax < xmin || ymax < ymin) return false;
    const int pictureWidth = xmax - xmin + 1, pictureHeight = ymax - ymin + 1;
    if (bytesPerLine < pictureWidth) return false;
    sourceBits = planeBits * planes;

    // Every encoded byte gives at most 63 output bytes: data too short for the lines can't be
    // a whole picture, whatever its codes say.
    const uint64_t lineBytes = static_cast<uint64_t>(planes) * bytesPerLine;
    if (lineBytes * pictureHeight > (static_cast<uint64_t>(reader.Remaining()) + 1) * 63)
        return false;
    if (!SetSize(pictureWidth, pictureHeight, planes * 8)) return false;

    // A scan line is one stream of its planes' bytes: a run may go on from one plane into the
    // next, never into the next scan line.
    BYTE* line = new (std::nothrow) BYTE[lineBytes];
    if (!line) return false;
    bool ok = true;
    for (int y = 0; y < height && ok; ++y) {
        ok = DecodeLine(line, reader, static_cast<int>(lineBytes)) == static_cast<int>(lineBytes);
        if (!ok) break;
        BYTE* out = pixels + static_cast<size_t>(stride) * y;
        if (planes == 1) {
            std::memcpy(out, line, static_cast<size_t>(width));
        } else {
            const BYTE* red = line;
            const BYTE* green = line + bytesPerLine;
            const BYTE* blue = line + 2 * bytesPerLine;
            for (int x = 0; x < width; ++x) {
                out[3 * x + 0] = blue[x];
                out[3 * x + 1] = green[x];
                out[3 * x + 2] = red[x];
            }
        }
    }
    delete[] line;
    if (!ok) return false;

    topDown = 1;
    BuildBitmapInfo();
    if (!bitmapInfo) return false;
    // The 256-colour palette follows a marker byte at the end of the file. Without the marker
    // the picture is a greyscale one (palette type 2 in the header says so): a grey ramp.
    if (planes == 1) {
        RGBQUAD* table = ColourTable();
        if (size >= PCX_HEADER_BYTES + PCX_PALETTE_BYTES + 1 &&
            data[size - PCX_PALETTE_BYTES - 1] == PCX_PALETTE_MARKER) {
            const unsigned char* palette = data + size - PCX_PALETTE_BYTES;
            for (int i = 0; i < 256; ++i)
                table[i] = RGBQUAD{palette[3 * i + 2], palette[3 * i + 1], palette[3 * i], 0};
        } else {
            for (int i = 0; i < 256; ++i) {
                const BYTE v = static_cast<BYTE>(i);
                table[i] = RGBQUAD{v, v, v, 0};
            }
        }
    }
    return true;
}
