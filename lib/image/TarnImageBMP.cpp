// Windows bitmap decoding. Every header field is checked before it is used: the bit count and
// compression against the combinations that exist, the size against the limits of
// TarnImageBytes, the colour table and pixel rows against the end of the data, and run-length
// codes against the picture's rows and columns, so a hostile file gives null and never a read or
// write outside the data or the buffers.
#include "image/TarnImageBMP.h"

#include <bit>
#include <cstring>

namespace {

constexpr uint32_t BI_ALPHABITFIELDS_CODE = 6;

enum HeaderFamily { HEADER_CORE, HEADER_OS2, HEADER_WINDOWS, HEADER_UNKNOWN };

HeaderFamily FamilyOf(uint32_t headerSize) {
    switch (headerSize) {
    case 12:
        return HEADER_CORE;
    case 16:
    case 64:
        return HEADER_OS2;
    case 40:
    case 52:
    case 56:
    case 108:
    case 124:
        return HEADER_WINDOWS;
    default:
        return HEADER_UNKNOWN;
    }
}

// One channel of a bit-field pixel: where its bits are and how they widen to 8 bits.
struct BitFieldChannel {
    uint32_t mask = 0;
    int shift = 0;
    uint8_t widen[256] = {};

    // False for a mask whose bits are not contiguous.
    bool Set(uint32_t channelMask) {
        mask = channelMask;
        if (mask == 0) return true;
        shift = std::countr_zero(mask);
        uint64_t bits = static_cast<uint64_t>(mask) >> shift;
        if ((bits & (bits + 1)) != 0) return false;
        int count = std::popcount(static_cast<uint32_t>(bits));
        if (count > 8) { // keep the top 8 bits
            shift += count - 8;
            count = 8;
        }
        for (uint32_t v = 0; v < (1u << count); ++v) widen[v] = TarnWidenChannel(v, count);
        return true;
    }
    uint8_t Get(uint32_t pixel) const { return mask ? widen[((pixel & mask) >> shift) & 0xFF] : 0; }
};

} // namespace

TarnImageBMP::TarnImageBMP() : colourCount(0) {
    std::memset(&fileHeader, 0, sizeof(fileHeader));
    std::memset(&infoHeader, 0, sizeof(infoHeader));
}

TarnImageBMP::~TarnImageBMP() = default;

int TarnImageBMP::TestFormat(const unsigned char* head, int headLength, const unsigned char*, int) {
    return head && headLength >= 2 && head[0] == 'B' && head[1] == 'M' ? 1 : 0;
}

IDirectDrawSurface7* TarnImageBMP::Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                          BYTE placement) {
    if (!DecodeBitmap(size, data)) {
        FreeBuffers();
        return nullptr;
    }
    return DeliverSurface(dd, placement);
}

bool TarnImageBMP::DecodeBitmap(int size, const unsigned char* data) {
    TarnByteReader reader(data, size > 0 ? static_cast<size_t>(size) : 0);
    uint32_t colourTableAt = 0;
    int colourEntryBytes = 4;
    if (!ReadHeaders(reader, &colourTableAt, &colourEntryBytes)) return false;

    const uint32_t compression = infoHeader.biCompression;
    const int fileBits = infoHeader.biBitCount;
    const bool bitFields = compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS_CODE;
    int dibBits = fileBits;
    if (compression == BI_RLE8 || compression == BI_RLE4) dibBits = 8;
    if (bitFields) dibBits = 32;

    topDown = infoHeader.biHeight < 0 ? 1 : 0;
    const int rows = topDown ? -infoHeader.biHeight : infoHeader.biHeight;
    sourceBits = fileBits;

    // Uncompressed rows must all be present before anything is allocated; the last row may
    // lack its padding, as many writers leave it out.
    if (compression == BI_RGB || bitFields) {
        uint32_t fileStride = 0;
        if (!TarnDibStride(infoHeader.biWidth, fileBits, &fileStride)) return false;
        uint64_t lastRow = (static_cast<uint64_t>(infoHeader.biWidth) * fileBits + 7) / 8;
        uint64_t need = static_cast<uint64_t>(fileStride) * (rows - 1) + lastRow;
        if (fileHeader.bfOffBits > reader.Size() || reader.Size() - fileHeader.bfOffBits < need)
            return false;
    }

    // Plain rows that are all in the data, padding included, are DIB rows already: the
    // transfer draws them where they are. Otherwise (a last row without its padding, or rows
    // that need decoding) they go into a buffer of our own.
    const bool overRows =
        compression == BI_RGB && fileHeader.bfOffBits <= reader.Size() &&
        SetSizeOverRows(infoHeader.biWidth, rows, dibBits, data + fileHeader.bfOffBits,
                        reader.Size() - fileHeader.bfOffBits);
    if (!overRows && !SetSize(infoHeader.biWidth, rows, dibBits)) return false;
    BuildBitmapInfo();
    if (!bitmapInfo) return false;

    if (fileBits <= 8 && !ReadColourTable(reader, colourTableAt, colourEntryBytes)) return false;

    switch (compression) {
    case BI_RGB:
        return overRows || ReadPlainRows(reader);
    case BI_RLE8:
        return DecodeRLE8(data, size, fileHeader.bfOffBits) == 1;
    case BI_RLE4:
        return DecodeRLE4(data, size, fileHeader.bfOffBits) == 1;
    default:
        return ReadBitFieldRows(reader);
    }
}

// Reads the file header and the information header of any known size into `infoHeader`, and
// checks the combination of size, planes, bit count and compression.
bool TarnImageBMP::ReadHeaders(TarnByteReader& reader, uint32_t* colourTableAt,
                               int* colourEntryBytes) {
    fileHeader.bfType = reader.U16LE();
    fileHeader.bfSize = reader.U32LE();
    fileHeader.bfReserved1 = reader.U16LE();
    fileHeader.bfReserved2 = reader.U16LE();
    fileHeader.bfOffBits = reader.U32LE();

    const uint32_t headerSize = reader.U32LE();
    const HeaderFamily family = FamilyOf(headerSize);
    if (reader.Overrun() || family == HEADER_UNKNOWN) return false;

    std::memset(&infoHeader, 0, sizeof(infoHeader));
    infoHeader.biSize = sizeof(BITMAPINFOHEADER);
    if (family == HEADER_CORE) {
        infoHeader.biWidth = reader.U16LE();
        infoHeader.biHeight = reader.U16LE();
        infoHeader.biPlanes = reader.U16LE();
        infoHeader.biBitCount = reader.U16LE();
        *colourEntryBytes = 3;
    } else {
        // The fields a shorter OS/2 header leaves out are zero.
        unsigned char fields[36] = {};
        uint32_t present = headerSize - 4 < sizeof(fields) ? headerSize - 4 : sizeof(fields);
        reader.Read(fields, present);
        TarnByteReader header(fields, sizeof(fields));
        infoHeader.biWidth = static_cast<LONG>(header.U32LE());
        infoHeader.biHeight = static_cast<LONG>(header.U32LE());
        infoHeader.biPlanes = header.U16LE();
        infoHeader.biBitCount = header.U16LE();
        infoHeader.biCompression = header.U32LE();
        infoHeader.biSizeImage = header.U32LE();
        infoHeader.biXPelsPerMeter = static_cast<LONG>(header.U32LE());
        infoHeader.biYPelsPerMeter = static_cast<LONG>(header.U32LE());
        infoHeader.biClrUsed = header.U32LE();
        infoHeader.biClrImportant = header.U32LE();
        *colourEntryBytes = 4;
    }
    *colourTableAt = 14 + headerSize;
    if (reader.Overrun()) return false;

    const LONG w = infoHeader.biWidth, h = infoHeader.biHeight;
    if (w <= 0 || w > IMAGE_MAX_DIMENSION || h == 0 || h < -IMAGE_MAX_DIMENSION ||
        h > IMAGE_MAX_DIMENSION || infoHeader.biPlanes != 1)
        return false;

    const int bits = infoHeader.biBitCount;
    const uint32_t compression = infoHeader.biCompression;
    switch (compression) {
    case BI_RGB:
        return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case BI_RLE8:
        return family != HEADER_CORE && bits == 8 && h > 0;
    case BI_RLE4:
        return family != HEADER_CORE && bits == 4 && h > 0;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS_CODE:
        // OS/2 uses these codes for Huffman and 24-bit run-length coding, which we don't read.
        return family == HEADER_WINDOWS && (bits == 16 || bits == 32);
    default:
        return false;
    }
}

// Reads the file's colour entries into the DIB's colour table. The count is what the header
// says, capped at what the bit count can address and at the room before the pixel data.
bool TarnImageBMP::ReadColourTable(TarnByteReader& reader, uint32_t at, int entryBytes) {
    uint32_t count = 1u << infoHeader.biBitCount;
    if (infoHeader.biClrUsed != 0 && infoHeader.biClrUsed < count) count = infoHeader.biClrUsed;
    if (fileHeader.bfOffBits >= at) {
        uint32_t room = (fileHeader.bfOffBits - at) / static_cast<uint32_t>(entryBytes);
        if (room < count) count = room;
    }
    colourCount = count;
    reader.Seek(at);
    RGBQUAD* table = ColourTable();
    for (uint32_t i = 0; i < count; ++i) {
        table[i].rgbBlue = reader.U8();
        table[i].rgbGreen = reader.U8();
        table[i].rgbRed = reader.U8();
        table[i].rgbReserved = 0;
        if (entryBytes == 4) reader.U8();
    }
    return !reader.Overrun();
}

// File rows are DIB rows already: one copy, for rows whose last one lacks its padding (the rest
// of the buffer stays cleared). Presence was checked before allocation.
bool TarnImageBMP::ReadPlainRows(TarnByteReader& reader) {
    reader.Seek(fileHeader.bfOffBits);
    size_t count = reader.Remaining() < pixelBytes ? reader.Remaining() : pixelBytes;
    const unsigned char* source = reader.Take(count);
    if (!source) return false;
    std::memcpy(pixels, source, count);
    return true;
}

// Bit-field pixels of 16 or 32 bits become plain 32-bit blue-green-red-x pixels, each channel
// widened to 8 bits. The masks sit at offset 54: right after a 40-byte header, or inside a
// larger one.
bool TarnImageBMP::ReadBitFieldRows(TarnByteReader& reader) {
    reader.Seek(14);
    const uint32_t headerSize = reader.U32LE();
    reader.Seek(14 + 40);
    uint32_t redMask = reader.U32LE(), greenMask = reader.U32LE(), blueMask = reader.U32LE();
    if (reader.Overrun()) return false;
    BitFieldChannel red, green, blue, opacity;
    if (!red.Set(redMask) || !green.Set(greenMask) || !blue.Set(blueMask)) return false;
    // An alpha mask follows the colour masks in headers of 56 bytes and more, and after a
    // 40-byte header with alpha bit fields; a 32-bit picture with one keeps an alpha plane.
    if (infoHeader.biBitCount == 32 &&
        (headerSize >= 56 || infoHeader.biCompression == BI_ALPHABITFIELDS_CODE)) {
        const uint32_t alphaMask = reader.U32LE();
        if (reader.Overrun() || !opacity.Set(alphaMask)) opacity = BitFieldChannel{}; // none
    }

    const int fileBits = infoHeader.biBitCount;
    uint32_t fileStride = 0;
    TarnDibStride(width, fileBits, &fileStride);
    for (int y = 0; y < height; ++y) {
        reader.Seek(static_cast<uint64_t>(fileHeader.bfOffBits) +
                    static_cast<uint64_t>(fileStride) * y);
        size_t rowBytes = static_cast<size_t>(width) * (fileBits / 8);
        const unsigned char* source = reader.Take(rowBytes);
        if (!source) return false;
        BYTE* out = pixels + static_cast<size_t>(stride) * y;
        if (fileBits == 16) {
            for (int x = 0; x < width; ++x) {
                uint32_t p = source[2 * x] | (source[2 * x + 1] << 8);
                out[4 * x + 0] = blue.Get(p);
                out[4 * x + 1] = green.Get(p);
                out[4 * x + 2] = red.Get(p);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                uint32_t p = static_cast<uint32_t>(source[4 * x]) |
                             (static_cast<uint32_t>(source[4 * x + 1]) << 8) |
                             (static_cast<uint32_t>(source[4 * x + 2]) << 16) |
                             (static_cast<uint32_t>(source[4 * x + 3]) << 24);
                out[4 * x + 0] = blue.Get(p);
                out[4 * x + 1] = green.Get(p);
                out[4 * x + 2] = red.Get(p);
            }
            if (opacity.mask != 0) {
                BYTE* plane = AlphaRow(y);
                if (!plane) return false;
                for (int x = 0; x < width; ++x)
                    plane[x] =
                        opacity.Get(static_cast<uint32_t>(source[4 * x + 3]) << 24 |
                                    static_cast<uint32_t>(source[4 * x + 2]) << 16 |
                                    static_cast<uint32_t>(source[4 * x + 1]) << 8 | source[4 * x]);
            }
        }
    }
    return true;
}

int TarnImageBMP::DecodeRLE8(const unsigned char* data, int size, uint32_t offset) {
    TarnByteReader reader(data, size > 0 ? static_cast<size_t>(size) : 0);
    reader.Seek(offset);
    return DecodeRLE(reader, 8);
}

int TarnImageBMP::DecodeRLE4(const unsigned char* data, int size, uint32_t offset) {
    TarnByteReader reader(data, size > 0 ? static_cast<size_t>(size) : 0);
    reader.Seek(offset);
    return DecodeRLE(reader, 4);
}

// Run-length codes into 8-bit rows, bottom row first. Pixels a code puts beyond the width, or
// rows beyond the height, are dropped; pixels no code writes (end of line, end of bitmap,
// delta) keep colour index 0 from the cleared buffer. The picture ends at end of bitmap or when
// the last row is finished; data that ends before either gives 0.
int TarnImageBMP::DecodeRLE(TarnByteReader& reader, int codeBits) {
    if (!pixels || bitsPerPixel != 8) return 0;
    int x = 0, y = 0;
    for (;;) {
        const int first = reader.U8();
        const int second = reader.U8();
        if (reader.Overrun()) return 0;
        BYTE* row = pixels + static_cast<size_t>(stride) * y;
        if (first > 0) {
            const int count = x < width ? (first < width - x ? first : width - x) : 0;
            if (codeBits == 8) {
                std::memset(row + x, second, count);
            } else {
                const BYTE pair[2] = {static_cast<BYTE>(second >> 4),
                                      static_cast<BYTE>(second & 0x0F)};
                for (int i = 0; i < count; ++i) row[x + i] = pair[i & 1];
            }
            x = x + first < width ? x + first : width;
            continue;
        }
        switch (second) {
        case 0: // end of line
            x = 0;
            if (++y >= height) return 1;
            break;
        case 1: // end of bitmap
            return 1;
        case 2: { // delta
            const int dx = reader.U8();
            const int dy = reader.U8();
            if (reader.Overrun()) return 0;
            x = x + dx < width ? x + dx : width;
            y += dy;
            if (y >= height) return 1;
            break;
        }
        default: { // absolute run of `second` pixels, padded to an even number of bytes
            const int run = second;
            const int bytes = codeBits == 8 ? run : (run + 1) / 2;
            const unsigned char* source = reader.Take(bytes);
            if (!source) return 0;
            reader.Skip(bytes & 1);
            const int count = x < width ? (run < width - x ? run : width - x) : 0;
            if (codeBits == 8) {
                std::memcpy(row + x, source, count);
            } else {
                for (int i = 0; i < count; ++i)
                    row[x + i] = (i & 1) ? (source[i / 2] & 0x0F) : (source[i / 2] >> 4);
            }
            x = x + run < width ? x + run : width;
            break;
        }
        }
    }
}
