// GDI objects and device contexts: the table of live handles, bitmaps and DIB sections, memory
// DCs with their selected bitmap, information contexts of the display, surface DCs for
// DirectDraw, and the small state calls (background mode, colours, GetObjectA, GetDeviceCaps).
// Every entry point checks its handles against the table first; bad arguments get GDI's own
// failure values (0, NULL, CLR_INVALID) and touch nothing.
#include "gdi/GdiObjects.h"

#include "host/Host.h"
#include "internal/StandIn.h"

#include <cstring>
#include <strings.h>
#include <unordered_map>

namespace tarn::platform {
namespace {

std::unordered_map<const void*, GdiObject*>& Table() {
    static auto* table = new std::unordered_map<const void*, GdiObject*>;
    return *table;
}

const void* HandleOf(GdiObject* object) {
    return static_cast<const void*>(object);
}

// The 1 x 1 monochrome bitmap every new memory DC holds, as in GDI.
BitmapObject* StockBitmap() {
    static BitmapObject* stock = [] {
        auto* b = new BitmapObject;
        b->stock = true;
        b->dib.width = b->dib.height = 1;
        b->dib.bits = 1;
        b->dib.stride = 4;
        b->dib.imageBytes = 4;
        b->dib.colours = 2;
        b->colourTable[1] = RGBQUAD{255, 255, 255, 0};
        b->dib.colourTable = b->colourTable;
        b->pixels.assign(4, 0);
        RegisterObject(b, nullptr);
        return b;
    }();
    return stock;
}

} // namespace

void RegisterObject(GdiObject* object, const char* kind) {
    Table()[HandleOf(object)] = object;
    if (kind) ObjectCreated(kind);
}

void UnregisterObject(GdiObject* object, const char* kind) {
    Table().erase(HandleOf(object));
    if (kind) ObjectDestroyed(kind);
}

static GdiObject* Find(const void* handle) {
    if (!handle) return nullptr;
    auto it = Table().find(handle);
    return it == Table().end() ? nullptr : it->second;
}

DeviceContext* FindDC(const void* handle) {
    GdiObject* o = Find(handle);
    if (!o || o->type == GdiType::Bitmap) return nullptr;
    auto* dc = static_cast<DeviceContext*>(o);
    return dc->open ? dc : nullptr;
}

BitmapObject* FindBitmap(const void* handle) {
    GdiObject* o = Find(handle);
    return o && o->type == GdiType::Bitmap ? static_cast<BitmapObject*>(o) : nullptr;
}

const uint32_t* DefaultPalette() {
    static const auto* table = [] {
        auto* t = new uint32_t[256];
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = ((i >> 5) & 7) * 255 / 7, g = ((i >> 2) & 7) * 255 / 7,
                     b = (i & 3) * 255 / 3;
            t[i] = r << 16 | g << 8 | b;
        }
        return t;
    }();
    return table;
}

BitmapObject* MakeBitmap(const DibInfo& dib, const void* pixels) {
    auto* b = new BitmapObject;
    b->dib = dib;
    b->dib.compression = dib.compression == BI_BITFIELDS ? BI_BITFIELDS : BI_RGB;
    b->dib.imageBytes = dib.stride * (size_t)dib.height;
    for (int i = 0; i < dib.colours; ++i) {
        b->colourTable[i] = dib.colourTable[i];
        b->colourTable[i].rgbReserved = 0;
        b->paletteRgb[i] = (uint32_t)dib.colourTable[i].rgbRed << 16 |
                           (uint32_t)dib.colourTable[i].rgbGreen << 8 | dib.colourTable[i].rgbBlue;
    }
    b->dib.colourTable = b->colourTable;
    b->dib.headerBytes = sizeof(BITMAPINFOHEADER) + (size_t)dib.colours * 4;
    BITMAPINFOHEADER& h = b->header;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = dib.width;
    h.biHeight = dib.topDown ? -dib.height : dib.height;
    h.biPlanes = 1;
    h.biBitCount = (WORD)dib.bits;
    h.biCompression = b->dib.compression;
    h.biSizeImage = (DWORD)b->dib.imageBytes;
    h.biClrUsed = (DWORD)dib.colours;
    if (pixels)
        b->pixels.assign(static_cast<const uint8_t*>(pixels),
                         static_cast<const uint8_t*>(pixels) + b->dib.imageBytes);
    else
        b->pixels.assign(b->dib.imageBytes, 0);
    return b;
}

void SourceOfDib(const DibInfo& dib, const void* bits, SourceImage* out) {
    const uint8_t* base = static_cast<const uint8_t*>(bits);
    out->width = dib.width;
    out->height = dib.height;
    out->stride = dib.topDown ? (long)dib.stride : -(long)dib.stride;
    out->row0 = dib.topDown ? base : base + (size_t)(dib.height - 1) * dib.stride;
    DibSourceFormat(dib, &out->format);
}

bool TargetOf(DeviceContext* dc, PixelTarget* out) {
    if (dc->type == GdiType::SurfaceDC) return dc->surface && dc->surface->DescribeTarget(out);
    if (dc->type != GdiType::MemoryDC || !dc->bitmap) return false;
    BitmapObject* b = dc->bitmap;
    const DibInfo& dib = b->dib;
    if (dib.bits < 8) return false;
    out->width = dib.width;
    out->height = dib.height;
    out->bits = dib.bits;
    out->pitch = dib.topDown ? (long)dib.stride : -(long)dib.stride;
    out->pixels = b->pixels.data() + (dib.topDown ? 0 : (size_t)(dib.height - 1) * dib.stride);
    out->redMask = dib.masks[0], out->greenMask = dib.masks[1], out->blueMask = dib.masks[2];
    out->palette = dib.bits == 8 ? b->paletteRgb : nullptr;
    return true;
}

bool SourceOf(DeviceContext* dc, SourceImage* out) {
    if (dc->type == GdiType::MemoryDC && dc->bitmap) {
        SourceOfDib(dc->bitmap->dib, dc->bitmap->pixels.data(), out);
        return true;
    }
    PixelTarget t;
    if (dc->type != GdiType::SurfaceDC || !TargetOf(dc, &t)) return false;
    if (!DescribeTargetAsSource(t, &out->format)) return false;
    out->row0 = t.pixels;
    out->stride = t.pitch;
    out->width = t.width;
    out->height = t.height;
    return true;
}

uint32_t EncodeColour(const PixelTarget& target, COLORREF colour) {
    uint32_t rgb = (colour & 0xFF) << 16 | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    DestFormat format;
    if (!DescribeDest(target, &format)) return 0;
    if (format.kind == DestKind::Index8) return NearestIndex(format.palette, rgb);
    const uint32_t* masks = format.masks;
    uint32_t in[3] = {rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF};
    uint32_t v = 0;
    for (int i = 0; i < 3; ++i) {
        uint32_t m = masks[i];
        if (!m) continue;
        int shift = 0, width = 0;
        while (!((m >> shift) & 1)) ++shift;
        while (shift + width < 32 && ((m >> (shift + width)) & 1)) ++width;
        v |= Rescale(in[i], 8, width) << shift;
    }
    return v;
}

// The surface DC object registered under `handle`, open or not.
static DeviceContext* FindSurfaceDC(const void* handle) {
    GdiObject* o = Find(handle);
    return o && o->type == GdiType::SurfaceDC ? static_cast<DeviceContext*>(o) : nullptr;
}

HDC OpenSurfaceDC(DrawTarget* target, HDC reuse) {
    if (!target) return nullptr;
    DeviceContext* dc = FindSurfaceDC(reuse);
    if (!dc || dc->surface != target || dc->open) {
        dc = new DeviceContext(GdiType::SurfaceDC);
        dc->surface = target;
        dc->open = false;
        RegisterObject(dc, nullptr);
    }
    // A DC comes with GDI's defaults each time.
    dc->bkMode = OPAQUE;
    dc->textColour = 0x000000;
    dc->bkColour = 0xFFFFFF;
    dc->open = true;
    ObjectCreated("dc");
    return reinterpret_cast<HDC>(static_cast<GdiObject*>(dc));
}

void CloseSurfaceDC(HDC handle) {
    DeviceContext* dc = FindSurfaceDC(handle);
    if (!dc || !dc->open) return;
    dc->open = false;
    ObjectDestroyed("dc");
}

void DestroySurfaceDC(HDC handle) {
    DeviceContext* dc = FindSurfaceDC(handle);
    if (!dc) return;
    CloseSurfaceDC(handle);
    UnregisterObject(dc, nullptr);
    delete dc;
}

} // namespace tarn::platform

using namespace tarn::platform;

static HDC HandleOf(DeviceContext* dc) {
    return reinterpret_cast<HDC>(static_cast<GdiObject*>(dc));
}
static HBITMAP HandleOf(BitmapObject* b) {
    return reinterpret_cast<HBITMAP>(static_cast<GdiObject*>(b));
}

HDC WINAPI CreateCompatibleDC(HDC hdc) {
    if (HDC result; Enter<"CreateCompatibleDC">(&result)) return result;
    if (hdc && !FindDC(hdc)) return nullptr;
    auto* dc = new DeviceContext(GdiType::MemoryDC);
    dc->bitmap = StockBitmap();
    RegisterObject(dc, "dc");
    return HandleOf(dc);
}

HDC WINAPI CreateICA(LPCSTR pszDriver, LPCSTR, LPCSTR, const DEVMODEA*) {
    if (HDC result; Enter<"CreateICA">(&result)) return result;
    if (!pszDriver || strcasecmp(pszDriver, "DISPLAY") != 0) return nullptr;
    auto* dc = new DeviceContext(GdiType::InfoDC);
    RegisterObject(dc, "dc");
    return HandleOf(dc);
}

BOOL WINAPI DeleteDC(HDC hdc) {
    if (BOOL result; Enter<"DeleteDC">(&result)) return result;
    DeviceContext* dc = FindDC(hdc);
    if (!dc || dc->type == GdiType::SurfaceDC) return FALSE; // a surface's DC goes by ReleaseDC
    if (dc->bitmap) dc->bitmap->selectedInto = nullptr;
    UnregisterObject(dc, "dc");
    delete dc;
    return TRUE;
}

// Surface DCs answer for their surface, the others for the display in its current mode.
int WINAPI GetDeviceCaps(HDC hdc, int index) {
    if (int result; Enter<"GetDeviceCaps">(&result)) return result;
    DeviceContext* dc = FindDC(hdc);
    if (!dc) return 0;
    const MachineConfig& m = CurrentHost().Machine();
    int width = m.desktopWidth, height = m.desktopHeight, bits = m.desktopBits;
    PixelTarget t;
    if (dc->type == GdiType::SurfaceDC && TargetOf(dc, &t))
        width = t.width, height = t.height, bits = t.bits;
    switch (index) {
    case DRIVERVERSION:
        return 0x0400;
    case TECHNOLOGY:
        return DT_RASDISPLAY;
    case HORZRES:
        return width;
    case VERTRES:
        return height;
    case HORZSIZE:
        return m.logPixelsX > 0 ? width * 254 / (m.logPixelsX * 10) : 0;
    case VERTSIZE:
        return m.logPixelsY > 0 ? height * 254 / (m.logPixelsY * 10) : 0;
    case BITSPIXEL:
        return bits;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return bits <= 8 ? 20 : -1;
    case RASTERCAPS:
        return 0x0001 | 0x0080 | 0x0200 | 0x0800 | 0x2000 | (bits <= 8 ? 0x0100 : 0);
    case LOGPIXELSX:
        return m.logPixelsX;
    case LOGPIXELSY:
        return m.logPixelsY;
    case SIZEPALETTE:
        return bits <= 8 ? 256 : 0;
    default:
        return 0;
    }
}

// Only bitmaps are selected here (into memory DCs); a bitmap sits in one DC at a time.
HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    if (HGDIOBJ result; Enter<"SelectObject">(&result)) return result;
    DeviceContext* dc = FindDC(hdc);
    BitmapObject* bitmap = FindBitmap(h);
    if (!dc || !bitmap || dc->type != GdiType::MemoryDC) return nullptr;
    if (bitmap->selectedInto && bitmap->selectedInto != dc) return nullptr;
    BitmapObject* previous = dc->bitmap;
    if (previous && !previous->stock) previous->selectedInto = nullptr;
    dc->bitmap = bitmap;
    if (!bitmap->stock) bitmap->selectedInto = dc;
    return HandleOf(previous ? previous : StockBitmap());
}

// A bitmap still selected into a DC is not deleted (FALSE); stock objects are never deleted.
BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    if (BOOL result; Enter<"DeleteObject">(&result)) return result;
    BitmapObject* bitmap = FindBitmap(ho);
    if (!bitmap) return FALSE;
    if (bitmap->stock) return TRUE;
    if (bitmap->selectedInto) return FALSE;
    UnregisterObject(bitmap, "bitmap");
    delete bitmap;
    return TRUE;
}

DWORD WINAPI GetObjectType(HGDIOBJ h) {
    if (DWORD result; Enter<"GetObjectType">(&result)) return result;
    if (FindBitmap(h)) return OBJ_BITMAP;
    DeviceContext* dc = FindDC(h);
    if (!dc) return 0;
    return dc->type == GdiType::MemoryDC ? OBJ_MEMDC : OBJ_DC;
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
    if (int result; Enter<"GetObjectA">(&result)) return result;
    BitmapObject* b = FindBitmap(h);
    if (!b) return 0;
    if (!pv) return (int)sizeof(BITMAP);
    if (c < (int)sizeof(BITMAP)) return 0;
    BITMAP bm{};
    bm.bmType = 0;
    bm.bmWidth = b->dib.width;
    bm.bmHeight = b->dib.height;
    bm.bmWidthBytes = (LONG)b->dib.stride;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = (WORD)b->dib.bits;
    bm.bmBits = b->dibSection ? b->pixels.data() : nullptr;
    if (b->dibSection && c >= (int)sizeof(DIBSECTION)) {
        DIBSECTION ds{};
        ds.dsBm = bm;
        ds.dsBmih = b->header;
        std::memcpy(ds.dsBitfields, b->dib.masks, sizeof ds.dsBitfields);
        std::memcpy(pv, &ds, sizeof ds);
        return (int)sizeof(DIBSECTION);
    }
    std::memcpy(pv, &bm, sizeof bm);
    return (int)sizeof(BITMAP);
}

HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, VOID** ppvBits,
                                HANDLE hSection, DWORD) {
    if (HBITMAP result; Enter<"CreateDIBSection">(&result)) return result;
    if (ppvBits) *ppvBits = nullptr;
    if ((hdc && !FindDC(hdc)) || usage != DIB_RGB_COLORS || hSection) return nullptr;
    DibInfo dib;
    if (!ReadDibHeader(pbmi, SIZE_MAX, &dib)) return nullptr;
    if (dib.compression == BI_RLE8 || dib.compression == BI_RLE4) return nullptr;
    BitmapObject* b = MakeBitmap(dib, nullptr);
    b->dibSection = true;
    RegisterObject(b, "bitmap");
    if (ppvBits) *ppvBits = b->pixels.data();
    return HandleOf(b);
}

int WINAPI SetBkMode(HDC hdc, int mode) {
    if (int result; Enter<"SetBkMode">(&result)) return result;
    DeviceContext* dc = FindDC(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
    if (COLORREF result; Enter<"SetBkColor">(&result)) return result;
    DeviceContext* dc = FindDC(hdc);
    if (!dc) return CLR_INVALID;
    COLORREF previous = dc->bkColour;
    dc->bkColour = color & 0xFFFFFF;
    return previous;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
    if (COLORREF result; Enter<"SetTextColor">(&result)) return result;
    DeviceContext* dc = FindDC(hdc);
    if (!dc) return CLR_INVALID;
    COLORREF previous = dc->textColour;
    dc->textColour = color & 0xFFFFFF;
    return previous;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    if (COLORREF result; Enter<"GetPixel">(&result)) return result;
    DeviceContext* dc = FindDC(hdc);
    SourceImage src;
    if (!dc || !SourceOf(dc, &src)) return CLR_INVALID;
    if (x < 0 || y < 0 || x >= src.width || y >= src.height) return CLR_INVALID;
    ConvertContext* ctx = new ConvertContext; // rare call: keep the big context off the stack
    DestFormat rgb;
    rgb.kind = DestKind::Xrgb32;
    PrepareConversion(src.format, rgb, ctx);
    uint32_t v = ReferenceReadRgb(*ctx, src.row0 + (long)y * src.stride, x);
    delete ctx;
    return RGB(v >> 16 & 0xFF, v >> 8 & 0xFF, v & 0xFF);
}
