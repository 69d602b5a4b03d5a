// The shared half of every decoder: the pixel buffer and DIB header, surface creation with the
// caller's memory placement, and the one GDI transfer that converts the DIB to the surface's
// pixel format.
#include "image/TarnImageBase.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

TarnImageBase::TarnImageBase()
    : bitmapInfo(nullptr), width(0), height(0), bitsPerPixel(0), pixels(nullptr),
      dibPixels(nullptr), topDown(0), dibUsage(DIB_RGB_COLORS), surface(nullptr), stride(0),
      pixelBytes(0), sourceBits(0) {}

TarnImageBase::~TarnImageBase() {
    FreeBuffers();
    std::free(alpha);
    // A surface still held here was never handed to a caller.
    if (surface) surface->Release();
}

bool TarnImageBase::SetSize(int newWidth, int newHeight, int newBitsPerPixel, bool cleared) {
    uint32_t rowBytes = 0, total = 0;
    if (!TarnImageBytes(newWidth, newHeight, newBitsPerPixel, &rowBytes, &total)) return false;
    width = newWidth;
    height = newHeight;
    bitsPerPixel = static_cast<BYTE>(newBitsPerPixel);
    if (!AllocPixels(total, cleared)) return false;
    stride = rowBytes;
    // Past each row's pixels the DIB's padding: defined even when the pixels are left to the
    // decoder.
    const size_t used = (static_cast<size_t>(newWidth) * newBitsPerPixel + 7) / 8;
    if (!cleared && used < rowBytes)
        for (int y = 0; y < newHeight; ++y)
            std::memset(pixels + static_cast<size_t>(y) * rowBytes + used, 0, rowBytes - used);
    return true;
}

// The buffer is cleared (calloc hands out zero pages cheaply), so a picture that a decoder
// fills only in part never shows undefined memory. One that a decoder fills whole need not be:
// clearing a buffer the allocator reuses costs a pass over it.
bool TarnImageBase::AllocPixels(uint32_t bytes, bool cleared) {
    FreeBuffers();
    if (bytes == 0 || bytes > IMAGE_MAX_BYTES) return false;
    pixels = static_cast<BYTE*>(cleared ? std::calloc(bytes, 1) : std::malloc(bytes));
    if (!pixels) return false;
    dibPixels = pixels;
    pixelBytes = bytes;
    return true;
}

bool TarnImageBase::SetSizeOverRows(int newWidth, int newHeight, int newBitsPerPixel,
                                    const BYTE* rows, size_t available) {
    FreeBuffers();
    uint32_t rowBytes = 0, total = 0;
    if (!rows || !TarnImageBytes(newWidth, newHeight, newBitsPerPixel, &rowBytes, &total) ||
        available < total)
        return false;
    width = newWidth;
    height = newHeight;
    bitsPerPixel = static_cast<BYTE>(newBitsPerPixel);
    dibPixels = rows;
    pixelBytes = total;
    stride = rowBytes;
    return true;
}

int TarnImageBase::FreeBuffers() {
    std::free(pixels);
    pixels = nullptr;
    dibPixels = nullptr;
    pixelBytes = 0;
    std::free(bitmapInfo);
    bitmapInfo = nullptr;
    return 1;
}

BYTE* TarnImageBase::AlphaRow(int dibRow) {
    if (width <= 0 || height <= 0 || dibRow < 0 || dibRow >= height) return nullptr;
    const size_t w = static_cast<size_t>(width);
    if (!alpha) {
        if (w * static_cast<size_t>(height) > IMAGE_MAX_BYTES) return nullptr;
        alpha = static_cast<BYTE*>(std::calloc(w * static_cast<size_t>(height), 1));
        if (!alpha) return nullptr;
    }
    const int row = topDown ? dibRow : height - 1 - dibRow;
    return alpha + w * static_cast<size_t>(row);
}

bool TarnImageBase::KeepAlphaRows(const BYTE* bgraRows, long pitch) {
    if (!bgraRows) return false;
    for (int y = 0; y < height; ++y) {
        BYTE* out = AlphaRow(topDown ? y : height - 1 - y);
        if (!out) return false;
        const BYTE* in = bgraRows + static_cast<ptrdiff_t>(y) * pitch + 3;
        for (int x = 0; x < width; ++x) out[x] = in[4 * x];
    }
    return true;
}

// Decoders make a plane only where the file states alpha (an alpha channel, a tRNS chunk, an
// alpha mask, alpha bits), so the plane is handed over as it is: one of alpha 0 everywhere is a
// picture the file says is transparent.
BYTE* TarnImageBase::TakeAlpha() {
    BYTE* taken = alpha;
    alpha = nullptr;
    return taken;
}

void TarnImageBase::BuildBitmapInfo() {
    std::free(bitmapInfo);
    bitmapInfo = static_cast<BYTE*>(std::calloc(BITMAP_INFO_BYTES, 1));
    if (!bitmapInfo) return;
    BITMAPINFOHEADER* header = InfoHeader();
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = topDown ? -height : height;
    header->biPlanes = 1;
    header->biBitCount = bitsPerPixel;
    header->biCompression = BI_RGB;
}

RGBQUAD* TarnImageBase::ColourTable() {
    return bitmapInfo ? reinterpret_cast<RGBQUAD*>(bitmapInfo + sizeof(BITMAPINFOHEADER)) : nullptr;
}

BITMAPINFOHEADER* TarnImageBase::InfoHeader() {
    return reinterpret_cast<BITMAPINFOHEADER*>(bitmapInfo);
}

bool TarnImageBase::CreateSurface(IDirectDraw7* dd, BYTE placement) {
    if (surface) surface->Release();
    surface = nullptr;
    if (!dd || width <= 0 || height <= 0) return false;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwHeight = static_cast<DWORD>(height);
    desc.dwWidth = static_cast<DWORD>(width);
    if (placement == 0)
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    else if (placement == 1)
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    else
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    HRESULT result = dd->CreateSurface(&desc, &surface, nullptr);
    if (FAILED(result) || !surface) {
        surface = nullptr;
        return false;
    }
    return true;
}

IDirectDrawSurface7* TarnImageBase::TransferToSurface() {
    if (!surface) {
        FreeBuffers();
        return nullptr;
    }
    int lines = GDI_ERROR;
    HDC hdc = nullptr;
    if (dibPixels && bitmapInfo && SUCCEEDED(surface->GetDC(&hdc)) && hdc) {
        lines = StretchDIBits(hdc, 0, 0, width, height, 0, 0, width, height, dibPixels,
                              reinterpret_cast<const BITMAPINFO*>(bitmapInfo), dibUsage, SRCCOPY);
        surface->ReleaseDC(hdc);
    }
    FreeBuffers();
    IDirectDrawSurface7* result = surface;
    surface = nullptr;
    // A surface whose pixels were never drawn holds nothing defined: give it back.
    if (lines == static_cast<int>(GDI_ERROR) || lines <= 0) {
        result->Release();
        return nullptr;
    }
    return result;
}

IDirectDrawSurface7* TarnImageBase::DeliverSurface(IDirectDraw7* dd, BYTE placement) {
    if (!dibPixels || !bitmapInfo || !CreateSurface(dd, placement)) {
        FreeBuffers();
        return nullptr;
    }
    return TransferToSurface();
}
