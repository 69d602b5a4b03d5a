// Device-independent bitmaps as GDI takes them: one check of a BITMAPINFO header (sizes,
// compression, masks, colour count, overflow) before any pixel is read, the source layout it
// describes, and the expansion of run-length encoded pictures.
#pragma once

#include "gdi/PixelConvert.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarn::platform {

constexpr int MAX_DIB_SIDE = 32768;                   // widest and tallest bitmap taken
constexpr uint64_t MAX_DIB_BYTES = uint64_t{1} << 30; // largest pixel block taken

struct DibInfo {
    int width = 0, height = 0; // height positive; see topDown
    bool topDown = false;
    int bits = 0;
    uint32_t compression = 0; // BI_RGB, BI_BITFIELDS, BI_RLE8 or BI_RLE4
    uint32_t masks[3] = {};   // the channel masks in force (BI_RGB: the defaults)
    int colours = 0;          // colour table entries used (8 bits or fewer)
    const RGBQUAD* colourTable = nullptr;
    size_t headerBytes = 0; // header, masks and the whole declared colour table
    size_t stride = 0;      // bytes per row of uncompressed pixels
    size_t imageBytes = 0;  // uncompressed: stride x height; RLE: biSizeImage
};

// Checks `info` (and, when `available` is not SIZE_MAX, that its header, masks and colour table
// lie within `available` bytes). False for anything malformed or unsupported.
bool ReadDibHeader(const BITMAPINFO* info, size_t available, DibInfo* out);

// The source layout of a checked DIB (an RLE picture reads as its expanded indexes).
void DibSourceFormat(const DibInfo& dib, SourceFormat* out);

// Expands an RLE8 or RLE4 picture of `size` bytes into one index byte per pixel, top row first;
// pixels the encoding skips stay 0. Reads never pass `size`, writes never leave the picture.
void ExpandRle(const DibInfo& dib, const uint8_t* data, size_t size, std::vector<uint8_t>* out);

} // namespace tarn::platform
