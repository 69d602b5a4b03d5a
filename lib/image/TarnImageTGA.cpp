// TGA decoding. The image type and depth are checked against the combinations we decode before
// anything is allocated; the colour map, raw rows and packets are read through the bounds-checked
// reader, and packets never write past the picture's last row, so a truncated or hostile file
// gives null and never a read or write outside the data or the buffers.
#include "image/TarnImageTGA.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

enum : int {
    TGA_MAPPED = 1,
    TGA_TRUECOLOUR = 2,
    TGA_GREY = 3,
    TGA_MAPPED_RLE = 9,
    TGA_TRUECOLOUR_RLE = 10,
    TGA_GREY_RLE = 11,
};

const char TGA_SIGNATURE[] = "TRUEVISION-XFILE";

int ImageType(const BYTE* header) {
    return header[2];
}
int Depth(const BYTE* header) {
    return header[16];
}
uint16_t Field16(const BYTE* header, int offset) {
    return static_cast<uint16_t>(header[offset] | (header[offset + 1] << 8));
}

// A 15- or 16-bit pixel or colour map entry (bits 14-10 red, 9-5 green, 4-0 blue; bit 15, the
// attribute, ignored) as blue, green, red, each channel widened to 8 bits.
void Widen555(BYTE* out, unsigned v) {
    out[0] = TarnWidenChannel(v & 0x1F, 5);
    out[1] = TarnWidenChannel((v >> 5) & 0x1F, 5);
    out[2] = TarnWidenChannel((v >> 10) & 0x1F, 5);
}

void Convert16(BYTE* out, const BYTE* in, int count) {
    for (int x = 0; x < count; ++x) Widen555(out + 3 * x, in[2 * x] | (in[2 * x + 1] << 8));
}

// Puts the pixels of a row in the opposite order, for pictures stored right to left.
void MirrorRow(BYTE* row, int count, int bytes) {
    for (int left = 0, right = count - 1; left < right; ++left, --right)
        for (int i = 0; i < bytes; ++i) std::swap(row[left * bytes + i], row[right * bytes + i]);
}

// The image types and depths we decode: colour-mapped 8-bit pictures with a map of 15, 16, 24
// or 32-bit entries, true colour at 15, 16, 24 or 32 bits, greyscale at 8 bits.
bool Decodable(const BYTE* header) {
    const int depth = Depth(header), mapType = header[1], entrySize = header[7];
    switch (ImageType(header)) {
    case TGA_MAPPED:
    case TGA_MAPPED_RLE:
        return depth == 8 && mapType != 0 &&
               (entrySize == 15 || entrySize == 16 || entrySize == 24 || entrySize == 32);
    case TGA_TRUECOLOUR:
    case TGA_TRUECOLOUR_RLE:
        return depth == 15 || depth == 16 || depth == 24 || depth == 32;
    case TGA_GREY:
    case TGA_GREY_RLE:
        return depth == 8;
    default:
        return false;
    }
}

// Where the pixel data starts: after the header, the image ID and the colour map (counted
// whatever the colour map type says).
uint64_t PixelStart(const BYTE* header) {
    const int entrySize = header[7];
    const int entryBytes = entrySize == 15 ? 2 : entrySize / 8;
    return 18 + static_cast<uint64_t>(header[0]) +
           static_cast<uint64_t>(Field16(header, 5)) * entryBytes;
}

} // namespace

TarnImageTGA::TarnImageTGA() {
    std::memset(header, 0, sizeof(header));
}

TarnImageTGA::~TarnImageTGA() = default;

int TarnImageTGA::TestFormat(const unsigned char* head, int headLength, const unsigned char* foot,
                             int footLength) {
    if (!head || !foot || headLength < 17 || footLength < 18) return 0;
    if (std::memcmp(foot + footLength - 18, TGA_SIGNATURE, 16) != 0) return 0;
    const int depth = head[16];
    return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32 ? 1 : 0;
}

// Without the footer's mark, only a header that holds together in every field makes the data
// a TGA: a type and depth we decode, colour map fields that fit the type, a picture of at least
// one pixel, no reserved descriptor bits, and raw pixels that are all there.
int TarnImageTGA::TestHeader(int size, const unsigned char* data) {
    if (!data || size < 18) return 0;
    if (!Decodable(data) || Field16(data, 12) == 0 || Field16(data, 14) == 0) return 0;
    const int type = ImageType(data), mapType = data[1], entrySize = data[7];
    const int mapLength = Field16(data, 5), descriptor = data[17];
    const bool mapped = type == TGA_MAPPED || type == TGA_MAPPED_RLE;
    if (mapType > 1 || (mapped && mapLength == 0)) return 0;
    if (mapType == 0 && (mapLength != 0 || entrySize != 0)) return 0;
    if (mapType == 1 && entrySize != 15 && entrySize != 16 && entrySize != 24 && entrySize != 32)
        return 0;
    if ((descriptor & 0xC0) != 0 || (descriptor & 0x0F) > 8) return 0;
    const uint64_t start = PixelStart(data);
    if (type >= TGA_MAPPED_RLE) return start < static_cast<uint64_t>(size) ? 1 : 0;
    const uint64_t rawBytes =
        static_cast<uint64_t>(Field16(data, 12)) * Field16(data, 14) * ((Depth(data) + 1) / 8);
    return start + rawBytes <= static_cast<uint64_t>(size) ? 1 : 0;
}

IDirectDrawSurface7* TarnImageTGA::Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                          BYTE placement) {
    if (!DecodeBitmap(size, data)) {
        FreeBuffers();
        return nullptr;
    }
    return DeliverSurface(dd, placement);
}

uint16_t TarnImageTGA::Read16(const unsigned char*& cursor) {
    uint16_t v = static_cast<uint16_t>(cursor[0] | (cursor[1] << 8));
    cursor += 2;
    return v;
}

void TarnImageTGA::DropAlpha(BYTE* destination, const BYTE* source, int count) {
    for (int x = 0; x < count; ++x) {
        destination[3 * x + 0] = source[4 * x + 0];
        destination[3 * x + 1] = source[4 * x + 1];
        destination[3 * x + 2] = source[4 * x + 2];
    }
}

bool TarnImageTGA::DecodeBitmap(int size, const unsigned char* data) {
    // The footer is not pixel data: a file cut short must not borrow its 26 bytes.
    size_t length = data && size > 0 ? static_cast<size_t>(size) : 0;
    if (length >= 18 + 26 && std::memcmp(data + length - 18, TGA_SIGNATURE, 16) == 0) length -= 26;
    TarnByteReader reader(data, length);
    reader.Read(header, sizeof(header));
    if (reader.Overrun()) return false;

    if (!Decodable(header)) return false;
    const int type = ImageType(header), depth = Depth(header);
    topDown = (header[17] & 0x20) ? 1 : 0;
    sourceBits = depth;

    const int pictureWidth = Field16(header, 12), pictureHeight = Field16(header, 14);
    const int inBytes = (depth + 1) / 8;
    const uint64_t pixelStart = PixelStart(header);
    // Raw rows must all be present before anything is allocated.
    const bool packets = type >= TGA_MAPPED_RLE;
    if (!packets &&
        pixelStart + static_cast<uint64_t>(pictureWidth) * inBytes * pictureHeight > reader.Size())
        return false;

    if (!SetSize(pictureWidth, pictureHeight, depth == 8 ? 8 : 24)) return false;
    BuildBitmapInfo();
    if (!bitmapInfo) return false;
    if (depth == 8 && !ReadColourMap(reader)) return false;

    reader.Seek(pixelStart);
    return packets ? ReadPacketRows(reader, inBytes) : ReadRawRows(reader, inBytes);
}

// Colour-mapped pictures: the stored entries fill the colour table from the first entry index
// on. Greyscale pictures: a grey ramp.
bool TarnImageTGA::ReadColourMap(TarnByteReader& reader) {
    RGBQUAD* table = ColourTable();
    const int type = ImageType(header);
    if (type == TGA_GREY || type == TGA_GREY_RLE) {
        for (int i = 0; i < 256; ++i) {
            const BYTE v = static_cast<BYTE>(i);
            table[i] = RGBQUAD{v, v, v, 0};
        }
        return true;
    }
    const int first = Field16(header, 3), length = Field16(header, 5), entrySize = header[7];
    reader.Seek(18 + static_cast<uint64_t>(header[0]));
    for (int j = 0; j < length; ++j) {
        RGBQUAD entry = {0, 0, 0, 0};
        if (entrySize <= 16) {
            BYTE bgr[3];
            Widen555(bgr, reader.U16LE());
            entry = RGBQUAD{bgr[0], bgr[1], bgr[2], 0};
        } else {
            entry.rgbBlue = reader.U8();
            entry.rgbGreen = reader.U8();
            entry.rgbRed = reader.U8();
            if (entrySize == 32) reader.U8();
        }
        if (first + j < 256) table[first + j] = entry;
    }
    return !reader.Overrun();
}

// One row of file pixels into a DIB row, mirrored when the descriptor's bit 4 says the file
// stores the first pixel at the right.
void TarnImageTGA::ConvertRow(BYTE* out, const BYTE* in) const {
    switch (Depth(header)) {
    case 8:
        std::memcpy(out, in, static_cast<size_t>(width));
        break;
    case 15:
    case 16:
        Convert16(out, in, width);
        break;
    case 24:
        std::memcpy(out, in, static_cast<size_t>(width) * 3);
        break;
    default:
        DropAlpha(out, in, width);
        break;
    }
    if (header[17] & 0x10) MirrorRow(out, width, Depth(header) == 8 ? 1 : 3);
}

bool TarnImageTGA::ReadRawRows(TarnByteReader& reader, int inBytes) {
    const size_t rowIn = static_cast<size_t>(width) * inBytes;
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = reader.Take(rowIn);
        if (!in) return false;
        ConvertRow(pixels + static_cast<size_t>(stride) * y, in);
        if (!KeepAlpha(y, in)) return false;
    }
    return true;
}

// A 32-bit picture whose descriptor gives its fourth byte as alpha (attribute bits) keeps that
// byte in the alpha plane; other pictures have none. A row stored right to left is mirrored as
// ConvertRow mirrors its colours, so that each alpha stays with its pixel.
bool TarnImageTGA::KeepAlpha(int y, const BYTE* in) {
    if (Depth(header) != 32 || (header[17] & 0x0F) == 0) return true;
    BYTE* out = AlphaRow(y);
    if (!out) return false;
    const bool rightToLeft = (header[17] & 0x10) != 0;
    for (int x = 0; x < width; ++x) out[rightToLeft ? width - 1 - x : x] = in[4 * x + 3];
    return true;
}

// Packets are expanded into one row of file pixels at a time, which is then converted like a
// raw row. A packet may run on from one row into the next; decoding ends with the last row,
// also in the middle of a packet.
bool TarnImageTGA::ReadPacketRows(TarnByteReader& reader, int inBytes) {
    const size_t rowIn = static_cast<size_t>(width) * inBytes;
    BYTE* row = new (std::nothrow) BYTE[rowIn];
    if (!row) return false;
    BYTE value[4] = {};
    int pending = 0;
    bool run = false;
    bool ok = true;
    for (int y = 0; y < height && ok; ++y) {
        int x = 0;
        while (x < width) {
            if (pending == 0) {
                const int h = reader.U8();
                pending = (h & 0x7F) + 1;
                run = (h & 0x80) != 0;
                if (run) reader.Read(value, static_cast<size_t>(inBytes));
                if (reader.Overrun()) {
                    ok = false;
                    break;
                }
            }
            const int n = pending < width - x ? pending : width - x;
            BYTE* out = row + static_cast<size_t>(x) * inBytes;
            if (run) {
                if (inBytes == 1) {
                    std::memset(out, value[0], static_cast<size_t>(n));
                } else {
                    for (int i = 0; i < n; ++i) std::memcpy(out + i * inBytes, value, inBytes);
                }
            } else {
                const unsigned char* in = reader.Take(static_cast<size_t>(n) * inBytes);
                if (!in) {
                    ok = false;
                    break;
                }
                std::memcpy(out, in, static_cast<size_t>(n) * inBytes);
            }
            x += n;
            pending -= n;
        }
        if (ok) ConvertRow(pixels + static_cast<size_t>(stride) * y, row);
        if (ok) ok = KeepAlpha(y, row);
    }
    delete[] row;
    return ok;
}
