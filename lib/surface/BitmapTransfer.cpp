// GDI bitmaps to DirectDraw: a bitmap resource or bitmap file loaded into a new surface, a
// bitmap stretched over a surface through its device context, and a palette made from a
// bitmap's colour table or the fixed 3-3-2 one. Resource data is read only within the
// resource's size, and a resource or file that ends before its header and colour table do gives
// a failure, never a read past what was there.
#include "surface/internal/BitmapTransfer.h"

#include <cstring>

namespace {

const DWORD PLACEMENT_CAPS[3] = {DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY,
                                 DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY,
                                 DDSCAPS_OFFSCREENPLAIN};

DWORD CapsForPlacement(BYTE placement) {
    return placement < 2 ? PLACEMENT_CAPS[placement] : PLACEMENT_CAPS[2];
}

// Entries a colour table holds by its header: none above 8 bits, else biClrUsed or 2^bits. A
// larger count than 256 is capped, not refused: the palette has 256 entries and takes the first
// 256 of the table.
DWORD ColourCount(const BITMAPINFOHEADER& header) {
    if (header.biBitCount > 8) return 0;
    DWORD n = header.biClrUsed != 0 ? header.biClrUsed : (1u << header.biBitCount);
    return n > 256 ? 256 : n;
}

// Takes the colours of a bitmap resource of `size` bytes. A header below 40 bytes (the old
// core header) or a picture above 8 bits gives no colours. A header or colour table that claims
// more than the resource holds is refused (false) rather than read past its end.
bool TakeResourceColours(const BYTE* data, DWORD size, PALETTEENTRY table[256]) {
    DWORD headerSize = 0;
    if (size < sizeof(headerSize)) return false;
    std::memcpy(&headerSize, data, sizeof(headerSize));
    if (headerSize < sizeof(BITMAPINFOHEADER)) return true;
    if (headerSize > size) return false;
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof(header));
    DWORD n = ColourCount(header);
    if (n > (size - headerSize) / sizeof(RGBQUAD)) return false;
    for (DWORD i = 0; i < n; i++) {
        RGBQUAD quad;
        std::memcpy(&quad, data + headerSize + i * sizeof(RGBQUAD), sizeof(quad));
        table[i].peRed = quad.rgbRed;
        table[i].peGreen = quad.rgbGreen;
        table[i].peBlue = quad.rgbBlue;
        table[i].peFlags = 0;
    }
    return true;
}

bool ReadExactly(HANDLE file, void* buffer, DWORD size) {
    DWORD read = 0;
    return ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

} // namespace

// The default palette: 3 bits of red, 3 of green, 2 of blue.
void FillDefaultPalette(PALETTEENTRY table[256]) {
    for (int i = 0; i < 256; i++) {
        table[i].peRed = static_cast<BYTE>(((i >> 5) & 7) * 255 / 7);
        table[i].peGreen = static_cast<BYTE>(((i >> 2) & 7) * 255 / 7);
        table[i].peBlue = static_cast<BYTE>((i & 3) * 255 / 3);
        table[i].peFlags = 0;
    }
}

// The executable's resource first, then a file of that name; the bitmap is copied whole onto a
// new surface of its own size. A copy that fails releases the surface: a blank surface is no
// picture.
IDirectDrawSurface7* LoadBitmapSurface(IDirectDraw7* dd, const char* name, int* width, int* height,
                                       BYTE placement) {
    if (dd == nullptr || name == nullptr) return nullptr;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap == nullptr)
        bitmap = static_cast<HBITMAP>(
            LoadImageA(nullptr, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_LOADFROMFILE));
    if (bitmap == nullptr) return nullptr;

    BITMAP bm;
    std::memset(&bm, 0, sizeof(bm));
    GetObjectA(bitmap, sizeof(bm), &bm);

    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.ddsCaps.dwCaps = CapsForPlacement(placement);
    desc.dwWidth = static_cast<DWORD>(bm.bmWidth);
    desc.dwHeight = static_cast<DWORD>(bm.bmHeight);
    IDirectDrawSurface7* surface = nullptr;
    if (dd->CreateSurface(&desc, &surface, nullptr) != DD_OK || surface == nullptr) {
        DeleteObject(bitmap);
        return nullptr;
    }
    HRESULT copied = CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0);
    DeleteObject(bitmap);
    if (FAILED(copied)) {
        surface->Release();
        return nullptr;
    }
    if (width != nullptr) *width = static_cast<int>(desc.dwWidth);
    if (height != nullptr) *height = static_cast<int>(desc.dwHeight);
    return surface;
}

// The surface is restored first so that it has memory to draw into; GDI does the stretching
// and the conversion to the surface's pixel format. Without a memory DC, or when the stretch
// fails, nothing is drawn and the result says so.
HRESULT CopyBitmapToSurface(IDirectDrawSurface7* surface, HBITMAP bitmap, int x, int y, int dx,
                            int dy) {
    if (surface == nullptr || bitmap == nullptr) return E_FAIL;
    surface->Restore();
    HDC memoryDC = CreateCompatibleDC(nullptr);
    if (memoryDC == nullptr) {
        OutputDebugStringA("createcompatible dc failed\n");
        return E_FAIL;
    }
    SelectObject(memoryDC, bitmap);
    BITMAP bm;
    std::memset(&bm, 0, sizeof(bm));
    GetObjectA(bitmap, sizeof(bm), &bm);
    if (dx == 0) dx = bm.bmWidth;
    if (dy == 0) dy = bm.bmHeight;

    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    surface->GetSurfaceDesc(&desc);

    HDC dc = nullptr;
    HRESULT hr = surface->GetDC(&dc);
    if (SUCCEEDED(hr)) {
        if (!StretchBlt(dc, 0, 0, static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight),
                        memoryDC, x, y, dx, dy, SRCCOPY))
            hr = E_FAIL;
        surface->ReleaseDC(dc);
    }
    DeleteDC(memoryDC);
    return hr;
}

// The colour table of a resource (any info header of 40 bytes or more, flags cleared) or of a
// file (the 1024 bytes after an info header of 40 to 124 bytes, or after the first 40 bytes of
// any other header, are the table; the first n entries, for headers of 40 to 124 bytes, turned
// from blue-green-red into red-green-blue, the reserved byte kept as flags). A name that is
// neither, or a numbered resource that is missing, gives the 3-3-2 palette.
HRESULT LoadPaletteFromBitmap(IDirectDraw7* dd, IDirectDrawPalette** out, const char* name) {
    if (dd == nullptr || out == nullptr || name == nullptr) return E_INVALIDARG;
    *out = nullptr;
    PALETTEENTRY table[256];
    FillDefaultPalette(table);

    HRSRC resource = FindResourceA(nullptr, name, RT_BITMAP);
    if (resource != nullptr) {
        HGLOBAL handle = LoadResource(nullptr, resource);
        const BYTE* data = static_cast<const BYTE*>(LockResource(handle));
        if (data == nullptr) return E_FAIL;
        if (!TakeResourceColours(data, SizeofResource(nullptr, resource), table)) return E_FAIL;
    } else if (!IS_INTRESOURCE(name)) {
        HANDLE file = CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            BITMAPFILEHEADER fileHeader;
            BITMAPINFOHEADER header;
            // The later headers (52 to 124 bytes) begin like the 40-byte one and are followed
            // by the colour table as well.
            BYTE laterFields[124 - sizeof(BITMAPINFOHEADER)];
            bool complete = ReadExactly(file, &fileHeader, sizeof(fileHeader)) &&
                            ReadExactly(file, &header, sizeof(header));
            const bool known = complete && header.biSize >= sizeof(BITMAPINFOHEADER) &&
                               header.biSize <= sizeof(BITMAPINFOHEADER) + sizeof(laterFields);
            if (known && header.biSize > sizeof(BITMAPINFOHEADER))
                complete = ReadExactly(file, laterFields, header.biSize - sizeof(header));
            complete = complete && ReadExactly(file, table, sizeof(table));
            CloseHandle(file);
            if (!complete) return E_FAIL;
            DWORD n = known ? ColourCount(header) : 0;
            for (DWORD i = 0; i < n; i++) {
                BYTE blue = table[i].peRed;
                table[i].peRed = table[i].peBlue;
                table[i].peBlue = blue;
            }
        }
    }
    return dd->CreatePalette(DDPCAPS_8BIT, table, out, nullptr);
}

HRESULT CreateDefaultPalette(IDirectDraw7* dd, IDirectDrawPalette** out) {
    if (dd == nullptr || out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    PALETTEENTRY table[256];
    FillDefaultPalette(table);
    return dd->CreatePalette(DDPCAPS_8BIT, table, out, nullptr);
}
