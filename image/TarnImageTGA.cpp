// TGA decoding. The image type and depth are checked against the combinations we decode before
// anything is allocated; the colour map, raw rows and packets are read through the bounds-checked
// reader, and packets never write past the picture's last row, so a truncated or hostile file
// gives null and never a read or write outside the data or the buffers.
#include "image/TarnImageTGA.h"

#include <cstring>
#include <new>

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

// 5-bit channels are shifted left by 3 with zeros below; bit 15 (attribute) is ignored.
void Convert16(BYTE* out, const BYTE* in, int count) {
    for (int x = 0; x < count; ++x) {
        const unsigned v = in[2 * x] | (in[2 * x + 1] << 8);
        out[3 * x + 0] = static_cast<BYTE>((v & 0x1F) << 3);
        out[3 * x + 1] = static_cast<BYTE>(((v >> 5) & 0x1F) << 3);
        out[3 * x + 2] = static_cast<BYTE>(((v >> 10) & 0x1F) << 3);
    }
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
    return depth == 8 || depth == 16 || depth == 24 || depth == 32 ? 1 : 0;
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

    const int type = ImageType(header), depth = Depth(header);
    const int mapType = header[1], entrySize = header[7];
    switch (type) {
    case TGA_MAPPED:
    case TGA_MAPPED_RLE:
        if (depth != 8 || mapType == 0) return false;
        if (entrySize != 15 && entrySize != 16 && entrySize != 24 && entrySize != 32) return false;
        break;
    case TGA_TRUECOLOUR:
    case TGA_TRUECOLOUR_RLE:
        if (depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
        break;
    case TGA_GREY:
    case TGA_GREY_RLE:
        if (depth != 8) return false;
        break;
    default:
        return false;
    }
    topDown = (header[17] & 0x20) ? 1 : 0;
    sourceBits = depth;

    const int pictureWidth = Field16(header, 12), pictureHeight = Field16(header, 14);
    const int inBytes = (depth + 1) / 8;
    const int entryBytes = entrySize == 15 ? 2 : entrySize / 8;
    const uint64_t pixelStart = 18 + static_cast<uint64_t>(header[0]) +
                                static_cast<uint64_t>(Field16(header, 5)) * entryBytes;
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
            const unsigned v = reader.U16LE();
            entry.rgbRed = static_cast<BYTE>(((v >> 10) & 0x1F) << 3);
            entry.rgbGreen = static_cast<BYTE>(((v >> 5) & 0x1F) << 3);
            entry.rgbBlue = static_cast<BYTE>((v & 0x1F) << 3);
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
// byte in the alpha plane; other pictures have none.
bool TarnImageTGA::KeepAlpha(int y, const BYTE* in) {
    if (Depth(header) != 32 || (header[17] & 0x0F) == 0) return true;
    BYTE* out = AlphaRow(y);
    if (!out) return false;
    for (int x = 0; x < width; ++x) out[x] = in[4 * x + 3];
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
