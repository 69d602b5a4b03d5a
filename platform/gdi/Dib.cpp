// Checking DIB headers and expanding run-length encoded pictures. Every size is computed in
// 64 bits and capped before it is used; nothing of a header is trusted until it passed here.
#include "gdi/Dib.h"

#include <cstring>

namespace tarn::platform {

bool ReadDibHeader(const BITMAPINFO* info, size_t available, DibInfo* out) {
    if (!info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (available < sizeof(BITMAPINFOHEADER)) return false;
    // The header versions with BITMAPINFOHEADER's first 40 bytes: 40, 52, 56, 108 and 124.
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 124) return false;
    if (h.biSize > available) return false;
    if (h.biWidth <= 0 || h.biWidth > MAX_DIB_SIDE) return false;
    if (h.biHeight == 0 || h.biHeight > MAX_DIB_SIDE || h.biHeight < -MAX_DIB_SIDE) return false;
    if (h.biPlanes != 1) return false;
    DibInfo d;
    d.width = h.biWidth;
    d.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    d.topDown = h.biHeight < 0;
    d.bits = h.biBitCount;
    d.compression = h.biCompression;
    if (d.bits != 1 && d.bits != 4 && d.bits != 8 && d.bits != 16 && d.bits != 24 && d.bits != 32)
        return false;
    switch (d.compression) {
    case BI_RGB:
        break;
    case BI_BITFIELDS:
        if (d.bits != 16 && d.bits != 32) return false;
        break;
    case BI_RLE8:
        if (d.bits != 8 || d.topDown || h.biSizeImage == 0) return false;
        break;
    case BI_RLE4:
        if (d.bits != 4 || d.topDown || h.biSizeImage == 0) return false;
        break;
    default:
        return false;
    }

    const uint8_t* base = reinterpret_cast<const uint8_t*>(info);
    uint64_t offset = h.biSize;
    if (d.compression == BI_BITFIELDS) {
        // A 40-byte header is followed by the three masks; the longer ones hold them inside.
        const uint8_t* at = base + sizeof(BITMAPINFOHEADER);
        if (h.biSize != sizeof(BITMAPINFOHEADER) && h.biSize < 52) return false;
        if (h.biSize == sizeof(BITMAPINFOHEADER)) {
            if (available < offset + 12) return false;
            offset += 12;
        }
        std::memcpy(d.masks, at, sizeof d.masks);
        SourceKind kind;
        if (!ClassifyMasks(d.bits, d.masks, &kind)) return false;
    } else if (d.bits == 16) {
        d.masks[0] = 0x7C00, d.masks[1] = 0x03E0, d.masks[2] = 0x001F;
    } else if (d.bits >= 24) {
        d.masks[0] = 0xFF0000, d.masks[1] = 0x00FF00, d.masks[2] = 0x0000FF;
    }

    uint64_t declared = h.biClrUsed;
    if (d.bits <= 8 && declared == 0) declared = uint64_t{1} << d.bits;
    if (declared > 4096) return false;
    d.colours = d.bits <= 8 ? (int)(declared < (1u << d.bits) ? declared : (1u << d.bits)) : 0;
    if (available != SIZE_MAX && offset + declared * 4 > available) return false;
    d.colourTable = reinterpret_cast<const RGBQUAD*>(base + offset);
    d.headerBytes = (size_t)(offset + declared * 4);

    uint64_t stride = (((uint64_t)d.width * (uint64_t)d.bits + 31) / 32) * 4;
    uint64_t bytes = stride * (uint64_t)d.height;
    if (bytes > MAX_DIB_BYTES) return false;
    d.stride = (size_t)stride;
    d.imageBytes =
        (d.compression == BI_RLE8 || d.compression == BI_RLE4) ? h.biSizeImage : (size_t)bytes;
    if (d.imageBytes > MAX_DIB_BYTES) return false;
    *out = d;
    return true;
}

void DibSourceFormat(const DibInfo& dib, SourceFormat* out) {
    *out = SourceFormat{};
    std::memcpy(out->masks, dib.masks, sizeof out->masks);
    if (dib.bits <= 8) {
        for (int i = 0; i < dib.colours; ++i) {
            const RGBQUAD& q = dib.colourTable[i];
            out->colours[i] = (uint32_t)q.rgbRed << 16 | (uint32_t)q.rgbGreen << 8 | q.rgbBlue;
        }
        bool rle = dib.compression == BI_RLE8 || dib.compression == BI_RLE4;
        out->kind = rle || dib.bits == 8 ? SourceKind::Index8
                    : dib.bits == 4      ? SourceKind::Index4
                                         : SourceKind::Index1;
        return;
    }
    if (dib.bits == 24) {
        out->kind = SourceKind::Bgr24;
        return;
    }
    ClassifyMasks(dib.bits, dib.masks, &out->kind); // checked by ReadDibHeader
}

// RLE: pairs (count, value) of repeated pixels, or an escape (0, code): 0 ends the row, 1 ends
// the picture, 2 moves by the next two bytes, n >= 3 is followed by n literal pixels padded to
// a 16-bit boundary. Rows go from the bottom up.
void ExpandRle(const DibInfo& dib, const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
    const int w = dib.width, h = dib.height;
    out->assign((size_t)w * (size_t)h, 0);
    const bool four = dib.compression == BI_RLE4;
    int x = 0, y = 0; // y counts rows from the bottom
    size_t i = 0;
    auto put = [&](int value) {
        if (x >= 0 && x < w && y >= 0 && y < h)
            (*out)[(size_t)(h - 1 - y) * (size_t)w + (size_t)x] = (uint8_t)value;
        ++x;
    };
    while (i + 1 < size && y < h) {
        int count = data[i], value = data[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k)
                put(four ? ((k & 1) ? value & 0xF : value >> 4) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (i + 1 >= size) break;
            x += data[i];
            y += data[i + 1];
            i += 2;
        } else {
            size_t bytes = four ? ((size_t)value + 1) / 2 : (size_t)value;
            if (i + bytes > size) break;
            for (int k = 0; k < value; ++k) {
                int b = data[i + (four ? (size_t)k / 2 : (size_t)k)];
                put(four ? ((k & 1) ? b & 0xF : b >> 4) : b);
            }
            i += (bytes + 1) & ~size_t{1};
        }
    }
}

} // namespace tarn::platform
