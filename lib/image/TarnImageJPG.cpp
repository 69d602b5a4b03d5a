// The JPEG decoder: recognises JPEG data by its start-of-image marker and decodes it through the
// system picture loader (OleLoadPicture), which draws the picture into the new surface itself.
#include "image/TarnImageJPG.h"

#include "image/TarnImaging.h"

#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

namespace {
// HIMETRIC units (hundredths of a millimetre) per inch.
constexpr int HIMETRIC_PER_INCH = 2540;
} // namespace

TarnImageJPG::TarnImageJPG() = default;

TarnImageJPG::~TarnImageJPG() = default;

// The start-of-image marker and the start of the next marker, whichever segment it is: JFIF,
// Exif (what cameras and phones write), Adobe or none.
int TarnImageJPG::TestFormat(const unsigned char* head, int headLength, const unsigned char*, int) {
    return head && headLength >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF ? 1 : 0;
}

// JPEG files are decoded by the system picture loader: the file goes into a global memory
// block, a stream over the block goes to OleLoadPicture, and the picture draws itself upright
// into the new surface, converted to the surface's format on the way. Every object made here
// is released on every path, and a picture that fails to draw gives null, not a blank surface.
IDirectDrawSurface7* TarnImageJPG::Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                          BYTE placement) {
    if (!dd || !data || size <= 0) return nullptr;

    IStream* stream = TarnStreamOverCopy(data, size);
    if (!stream) return nullptr;
    IPicture* picture = nullptr;
    HRESULT result =
        OleLoadPicture(stream, size, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(result) || !picture) return nullptr;

    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    if (FAILED(picture->get_Width(&hmWidth)) || FAILED(picture->get_Height(&hmHeight)) ||
        hmWidth <= 0 || hmHeight <= 0) {
        picture->Release();
        return nullptr;
    }

    // The picture's size in pixels at the display's logical resolution.
    HDC display = CreateICA("Display", nullptr, nullptr, nullptr);
    if (!display) {
        picture->Release();
        return nullptr;
    }
    int pixelsWide = MulDiv(hmWidth, GetDeviceCaps(display, LOGPIXELSX), HIMETRIC_PER_INCH);
    int pixelsHigh = MulDiv(hmHeight, GetDeviceCaps(display, LOGPIXELSY), HIMETRIC_PER_INCH);
    DeleteDC(display);
    if (pixelsWide <= 0 || pixelsHigh <= 0 || pixelsWide > IMAGE_MAX_DIMENSION ||
        pixelsHigh > IMAGE_MAX_DIMENSION) {
        picture->Release();
        return nullptr;
    }
    width = pixelsWide;
    height = pixelsHigh;
    bitsPerPixel = 24;
    topDown = 1;

    if (!CreateSurface(dd, placement)) {
        picture->Release();
        return nullptr;
    }
    HDC hdc = nullptr;
    result = surface->GetDC(&hdc);
    if (SUCCEEDED(result) && hdc) {
        // The source rectangle runs from the top edge (hmHeight) down: the picture upright.
        RECT bounds = {0, 0, width, height};
        result =
            picture->Render(hdc, 0, 0, width, height, 0, hmHeight, hmWidth, -hmHeight, &bounds);
        surface->ReleaseDC(hdc);
    } else if (SUCCEEDED(result)) {
        result = E_FAIL;
    }
    picture->Release();

    IDirectDrawSurface7* drawn = surface;
    surface = nullptr;
    if (FAILED(result)) {
        drawn->Release();
        return nullptr;
    }
    return drawn;
}
