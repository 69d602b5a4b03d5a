// GDI's objects inside the stand-in: bitmaps (kept as device-independent bitmaps), and device
// contexts on a surface, on a selected bitmap (memory DCs) or on the display for information
// only. Handles are the objects' addresses, checked against the table of live objects before
// use, so a stale or made-up handle is refused instead of followed.
#pragma once

#include "gdi/Dib.h"
#include "gdi/GdiTarget.h"
#include "gdi/PixelConvert.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::platform {

enum class GdiType : uint8_t { Bitmap, SurfaceDC, MemoryDC, InfoDC };

struct DeviceContext;

struct GdiObject {
    explicit GdiObject(GdiType type) : type(type) {}
    virtual ~GdiObject() = default;
    GdiType type;
};

struct BitmapObject : GdiObject {
    BitmapObject() : GdiObject(GdiType::Bitmap) {}
    BITMAPINFOHEADER header{}; // as made: BI_RGB or BI_BITFIELDS
    DibInfo dib;               // its colourTable points into `colourTable` below
    RGBQUAD colourTable[256]{};
    uint32_t paletteRgb[256]{}; // the colour table as 0x00RRGGBB, for drawing into it
    std::vector<uint8_t> pixels;
    bool dibSection = false; // bmBits is reported
    bool stock = false;      // the 1 x 1 bitmap a new memory DC holds; never deleted
    DeviceContext* selectedInto = nullptr;
};

struct DeviceContext : GdiObject {
    explicit DeviceContext(GdiType type) : GdiObject(type) {}
    DrawTarget* surface = nullptr;  // SurfaceDC
    bool open = true;               // SurfaceDC: handed out by its surface now
    BitmapObject* bitmap = nullptr; // MemoryDC
    int bkMode = OPAQUE;
    COLORREF textColour = 0x000000;
    COLORREF bkColour = 0xFFFFFF;
};

// A source to draw from, rows top first: `row0` is the top row, `stride` the bytes to the next.
struct SourceImage {
    const uint8_t* row0 = nullptr;
    long stride = 0;
    int width = 0, height = 0;
    SourceFormat format;
};

// Live-object table.
void RegisterObject(GdiObject* object, const char* kind);
void UnregisterObject(GdiObject* object, const char* kind);
DeviceContext* FindDC(const void* handle);
BitmapObject* FindBitmap(const void* handle);

// Makes a bitmap object holding a copy of a checked DIB (uncompressed, or RLE expanded to
// 8 bits); `pixels` may be null for a zero-filled one. Not registered.
BitmapObject* MakeBitmap(const DibInfo& dib, const void* pixels);

// The memory a DC draws into; false when it cannot be drawn into (an information context, a
// lost surface, a bitmap of fewer than 8 bits).
bool TargetOf(DeviceContext* dc, PixelTarget* out);
// The pixels of a DC read as a source.
bool SourceOf(DeviceContext* dc, SourceImage* out);
// A checked DIB as a source (uncompressed only).
void SourceOfDib(const DibInfo& dib, const void* bits, SourceImage* out);

// Draws the source rectangle (xS, yS, wS, hS), top row first, over the destination rectangle,
// by nearest neighbour, mirrored where the signs of the widths or heights differ, clipped to
// both. `reference` draws with the reference converter instead of the fast one.
void DrawImage(const PixelTarget& dst, const SourceImage& src, int xD, int yD, int wD, int hD,
               int xS, int yS, int wS, int hS, bool reference = false);

// The destination pixel value of a colour (COLORREF) in a target's format.
uint32_t EncodeColour(const PixelTarget& target, COLORREF colour);

// The font file text is drawn in: fontconfig's match for sans-serif, or the fixed fallback
// path when fontconfig has no answer.
struct FontFile {
    std::string path;
    long index = 0; // face within the file
};
FontFile FindFontFile();

} // namespace tarn::platform
