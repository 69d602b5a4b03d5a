// LoadImageA for bitmaps: from a bitmap file (LR_LOADFROMFILE) or from an RT_BITMAP resource of
// a module, made into a GDI bitmap that keeps the picture's own depth and colour table (a DIB
// section with LR_CREATEDIBSECTION). Run-length encoded pictures are expanded to 8 bits per
// pixel. Files and resources are untrusted: the header is checked, and the pixels must lie
// inside the data, before anything is copied.
#include "gdi/GdiObjects.h"

#include "internal/StandIn.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tarn::platform {
namespace {

constexpr long MAX_FILE_BYTES = 256L << 20;

bool ReadWholeFile(const char* path, std::vector<uint8_t>* out) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    ok = ok && size >= 0 && size <= MAX_FILE_BYTES && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        out->resize((size_t)size);
        ok = size == 0 || std::fread(out->data(), 1, (size_t)size, f) == (size_t)size;
    }
    std::fclose(f);
    return ok;
}

// A packed DIB (header, masks, colours) whose pixels start at `pixelOffset` of `data`.
BitmapObject* BitmapFromPackedDib(const uint8_t* data, size_t size, size_t dibOffset,
                                  size_t pixelOffset) {
    if (dibOffset >= size) return nullptr;
    // Copy the header part out (the longest header, masks and colour table there can be), so
    // that it is aligned and read within bounds.
    const size_t longest = 124 + 12 + 4096 * 4;
    size_t available = std::min(size - dibOffset, longest);
    std::vector<uint8_t> header(data + dibOffset, data + dibOffset + available);
    header.resize(available + 4, 0); // BITMAPINFO declares one colour entry at least
    DibInfo dib;
    const auto* info = reinterpret_cast<const BITMAPINFO*>(header.data());
    if (!ReadDibHeader(info, available, &dib)) return nullptr;
    if (pixelOffset == 0) pixelOffset = dibOffset + dib.headerBytes;
    if (pixelOffset > size || dib.imageBytes > size - pixelOffset) return nullptr;
    const uint8_t* pixels = data + pixelOffset;
    if (dib.compression != BI_RLE8 && dib.compression != BI_RLE4) return MakeBitmap(dib, pixels);

    // RLE: expand to one byte per pixel, rows top first and padded to 4 bytes.
    std::vector<uint8_t> indexes;
    ExpandRle(dib, pixels, dib.imageBytes, &indexes);
    DibInfo flat = dib;
    flat.bits = 8;
    flat.compression = BI_RGB;
    flat.topDown = true;
    flat.stride = ((size_t)dib.width + 3) & ~size_t{3};
    std::vector<uint8_t> rows(flat.stride * (size_t)dib.height, 0);
    for (int y = 0; y < dib.height; ++y)
        std::memcpy(rows.data() + (size_t)y * flat.stride, indexes.data() + (size_t)y * dib.width,
                    (size_t)dib.width);
    flat.imageBytes = rows.size();
    return MakeBitmap(flat, rows.data());
}

BitmapObject* LoadBitmapFile(const char* path) {
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, &file) || file.size() < sizeof(BITMAPFILEHEADER)) return nullptr;
    BITMAPFILEHEADER fh;
    std::memcpy(&fh, file.data(), sizeof fh);
    if (fh.bfType != 0x4D42) return nullptr; // "BM"
    if (fh.bfOffBits < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return nullptr;
    return BitmapFromPackedDib(file.data(), file.size(), sizeof(BITMAPFILEHEADER), fh.bfOffBits);
}

BitmapObject* LoadBitmapResource(HINSTANCE module, LPCSTR name) {
    HRSRC found = FindResourceA(module, name, RT_BITMAP);
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(module, found);
    if (!data || size == 0) return nullptr;
    return BitmapFromPackedDib(static_cast<const uint8_t*>(data), size, 0, 0);
}

} // namespace
} // namespace tarn::platform

using namespace tarn::platform;

// Only bitmaps, at their own size (cx and cy 0 or equal to it). A module handle of NULL without
// LR_LOADFROMFILE would name the system's own bitmaps, which the stand-in does not have.
HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
    if (HANDLE result; Enter<"LoadImageA">(&result)) return result;
    if (!name || type != IMAGE_BITMAP) return nullptr;
    BitmapObject* bitmap = nullptr;
    if (fuLoad & LR_LOADFROMFILE) {
        if (IS_INTRESOURCE(name)) return nullptr;
        bitmap = LoadBitmapFile(name);
    } else if (hInst) {
        bitmap = LoadBitmapResource(hInst, name);
    }
    if (!bitmap) return nullptr;
    if ((cx && cx != bitmap->dib.width) || (cy && cy != bitmap->dib.height)) {
        delete bitmap;
        return nullptr;
    }
    bitmap->dibSection = (fuLoad & LR_CREATEDIBSECTION) != 0;
    RegisterObject(bitmap, "bitmap");
    return static_cast<HANDLE>(static_cast<GdiObject*>(bitmap));
}
