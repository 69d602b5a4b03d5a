// Bitmap transfers: StretchDIBits (a DIB drawn into a DC), StretchBlt and BitBlt (one DC's
// pixels drawn into another). The arguments are checked and the rectangles clipped once at the
// entry; DrawImage then picks one row converter and runs it over whole rows. Unscaled rows are
// converted straight into the destination; scaled ones are converted once into a scratch row
// and spread by a column map (nearest neighbour, the source pixel under each destination
// pixel's centre). The scratch rows grow as needed and are kept, so repeated transfers do not
// allocate.
#include "gdi/GdiObjects.h"

#include "internal/StandIn.h"

#include <cstring>
#include <vector>

namespace tarn::platform {
namespace {

struct Scratch {
    std::vector<uint8_t> row; // converted source span, destination format
    std::vector<int> columns; // source column of each destination column
    std::vector<uint8_t> rle; // expanded RLE pictures
    ConvertContext ctx;
};
Scratch& TheScratch() {
    static thread_local Scratch scratch;
    return scratch;
}

// Source offset (0 .. srcLen-1) under destination pixel i of a span of dstLen pixels.
inline int MapNearest(int i, int dstLen, int srcLen) {
    return (int)(((int64_t)(2 * i + 1) * srcLen) / (2 * (int64_t)dstLen));
}

void Gather(uint8_t* out, const uint8_t* row, const int* columns, int count, int bytes) {
    switch (bytes) {
    case 1:
        for (int i = 0; i < count; ++i) out[i] = row[columns[i]];
        break;
    case 2:
        for (int i = 0; i < count; ++i) std::memcpy(out + 2 * i, row + 2 * columns[i], 2);
        break;
    case 3:
        for (int i = 0; i < count; ++i) std::memcpy(out + 3 * i, row + 3 * columns[i], 3);
        break;
    default:
        for (int i = 0; i < count; ++i) std::memcpy(out + 4 * i, row + 4 * columns[i], 4);
        break;
    }
}

} // namespace

void DrawImage(const PixelTarget& dst, const SourceImage& src, int xD, int yD, int wD, int hD,
               int xS, int yS, int wS, int hS, bool reference) {
    if (wD == 0 || hD == 0 || wS == 0 || hS == 0) return;
    // A negative extent runs left (or up) from its origin; differing signs mirror.
    bool flipX = false, flipY = false;
    int64_t xd = xD, yd = yD, wd = wD, hd = hD, xs = xS, ys = yS, ws = wS, hs = hS;
    if (wd < 0) xd += wd, wd = -wd, flipX = !flipX;
    if (hd < 0) yd += hd, hd = -hd, flipY = !flipY;
    if (ws < 0) xs += ws, ws = -ws, flipX = !flipX;
    if (hs < 0) ys += hs, hs = -hs, flipY = !flipY;
    if (wd > MAX_DIB_SIDE * 4 || hd > MAX_DIB_SIDE * 4 || ws > MAX_DIB_SIDE * 4 ||
        hs > MAX_DIB_SIDE * 4)
        return;

    DestFormat dstFormat;
    if (!DescribeDest(dst, &dstFormat)) return;
    Scratch& scratch = TheScratch();
    ConvertContext& ctx = scratch.ctx;
    PrepareConversion(src.format, dstFormat, &ctx);
    RowConverter convert = reference ? ReferenceConvertRow : FastRowConverter(ctx);
    const int bytes = DestBytes(dstFormat.kind);

    // Destination columns [c0, c1) that land on the target and read inside the source.
    auto sourceColumn = [&](int64_t c) {
        int64_t u = MapNearest((int)c, (int)wd, (int)ws);
        return xs + (flipX ? ws - 1 - u : u);
    };
    int64_t c0 = xd < 0 ? -xd : 0, c1 = wd;
    if (xd + c1 > dst.width) c1 = dst.width - xd;
    while (c0 < c1 && (sourceColumn(c0) < 0 || sourceColumn(c0) >= src.width)) ++c0;
    while (c1 > c0 && (sourceColumn(c1 - 1) < 0 || sourceColumn(c1 - 1) >= src.width)) --c1;
    if (c0 >= c1) return;
    const int count = (int)(c1 - c0);
    const bool direct = wd == ws && !flipX;

    int spanLeft = 0, spanWidth = 0;
    if (!direct) {
        int64_t a = sourceColumn(c0), b = sourceColumn(c1 - 1);
        spanLeft = (int)(a < b ? a : b);
        spanWidth = (int)((a < b ? b : a) - spanLeft + 1);
        if (scratch.row.size() < (size_t)spanWidth * 4) scratch.row.resize((size_t)spanWidth * 4);
        if (scratch.columns.size() < (size_t)count) scratch.columns.resize((size_t)count);
        for (int i = 0; i < count; ++i) scratch.columns[i] = (int)(sourceColumn(c0 + i) - spanLeft);
    }

    int64_t lastSy = -1;
    for (int64_t r = 0; r < hd; ++r) {
        int64_t y = yd + r;
        if (y < 0 || y >= dst.height) continue;
        int64_t v = MapNearest((int)r, (int)hd, (int)hs);
        int64_t sy = ys + (flipY ? hs - 1 - v : v);
        if (sy < 0 || sy >= src.height) continue;
        uint8_t* out = dst.pixels + y * dst.pitch + (xd + c0) * bytes;
        const uint8_t* in = src.row0 + sy * src.stride;
        if (direct) {
            convert(out, in, (int)(xs + c0), count, ctx);
            continue;
        }
        if (sy != lastSy) {
            convert(scratch.row.data(), in, spanLeft, spanWidth, ctx);
            lastSy = sy;
        }
        Gather(out, scratch.row.data(), scratch.columns.data(), count, bytes);
    }
}

} // namespace tarn::platform

using namespace tarn::platform;

// Draws a DIB into a DC. For a bottom-up DIB the source rectangle's y counts from the bottom
// row, as in GDI. Failures (a bad DC, a malformed header, null bits, a raster operation other
// than SRCCOPY) give GDI_ERROR; otherwise the number of source rows.
int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc,
                         int ySrc, int SrcWidth, int SrcHeight, const VOID* lpBits,
                         const BITMAPINFO* lpbmi, UINT iUsage, DWORD rop) {
    if (int result; Enter<"StretchDIBits">(&result)) return result;
    DeviceContext* dc = FindDC(hdc);
    if (!dc || !lpBits || !lpbmi || iUsage != DIB_RGB_COLORS || rop != SRCCOPY)
        return (int)GDI_ERROR;
    DibInfo dib;
    if (!ReadDibHeader(lpbmi, SIZE_MAX, &dib)) return (int)GDI_ERROR;
    PixelTarget target;
    if (!TargetOf(dc, &target)) return (int)GDI_ERROR;
    DestFormat dstFormat;
    if (!DescribeDest(target, &dstFormat)) return (int)GDI_ERROR;

    SourceImage src;
    if (dib.compression == BI_RLE8 || dib.compression == BI_RLE4) {
        std::vector<uint8_t>& expanded = TheScratch().rle;
        ExpandRle(dib, static_cast<const uint8_t*>(lpBits), dib.imageBytes, &expanded);
        src.row0 = expanded.data();
        src.stride = dib.width;
        src.width = dib.width;
        src.height = dib.height;
        DibSourceFormat(dib, &src.format);
    } else {
        SourceOfDib(dib, lpBits, &src);
    }
    int64_t height = SrcHeight < 0 ? -(int64_t)SrcHeight : SrcHeight;
    int yTop = ySrc;
    if (!dib.topDown) {
        // Bottom-up: ySrc names the rectangle's bottom edge counted from the last row.
        int64_t top = (int64_t)dib.height - ySrc - SrcHeight;
        if (top < INT32_MIN || top > INT32_MAX) return (int)GDI_ERROR;
        yTop = (int)top;
    }
    DrawImage(target, src, xDest, yDest, DestWidth, DestHeight, xSrc, yTop, SrcWidth, SrcHeight);
    return (int)height;
}

BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc,
                       int xSrc, int ySrc, int wSrc, int hSrc, DWORD rop) {
    if (BOOL result; Enter<"StretchBlt">(&result)) return result;
    DeviceContext* dstDC = FindDC(hdcDest);
    PixelTarget target;
    if (!dstDC || !TargetOf(dstDC, &target)) return FALSE;
    if (rop == BLACKNESS || rop == WHITENESS) {
        // Fills need no source: draw a one-pixel source of the colour over the rectangle.
        uint32_t pixel = rop == BLACKNESS ? 0 : 0xFFFFFF;
        SourceImage fill;
        fill.row0 = reinterpret_cast<const uint8_t*>(&pixel);
        fill.width = fill.height = 1;
        fill.format.kind = SourceKind::Bgrx32;
        DrawImage(target, fill, xDest, yDest, wDest, hDest, 0, 0, 1, 1);
        return TRUE;
    }
    if (rop != SRCCOPY) return FALSE;
    DeviceContext* srcDC = FindDC(hdcSrc);
    SourceImage src;
    if (!srcDC || !SourceOf(srcDC, &src)) return FALSE;
    DrawImage(target, src, xDest, yDest, wDest, hDest, xSrc, ySrc, wSrc, hSrc);
    return TRUE;
}

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    if (BOOL result; Enter<"BitBlt">(&result)) return result;
    return StretchBlt(hdc, x, y, cx, cy, hdcSrc, x1, y1, cx, cy, rop);
}
