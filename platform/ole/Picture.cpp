// The system picture loader: OleLoadPicture reads a JPEG file from a stream, checks everything
// up to its pixel data and gives an IPicture over it. The picture reports its size in HIMETRIC
// units at the display's logical resolution and draws itself into any device context through
// the public GDI call StretchDIBits. It decodes straight into the layout that suits the
// context (5-6-5 for 16-bit contexts, 32-bit otherwise). A Render of the whole picture at its
// own size, upright, decodes a band at a time and keeps nothing; any other Render decodes the
// whole picture and keeps it for further Renders in that layout.
#include <olectl.h>
#include <windows.h>

#include "host/Host.h"
#include "internal/ComObject.h"
#include "ole/JpegDecoder.h"
#include "ole/ReadStream.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

const IID IID_IPicture = {
    0x7bf80980, 0xbf32, 0x101a, {0x8b, 0xbb, 0x00, 0xaa, 0x00, 0x30, 0x0c, 0xab}};

namespace tarn::platform {
namespace {

constexpr LONG HIMETRIC_PER_INCH = 2540;

// value * numerator / denominator rounded to the nearest, halves away from zero (MulDiv's rule).
LONG ScaleRounded(LONGLONG value, LONGLONG numerator, LONGLONG denominator) {
    LONGLONG product = value * numerator;
    bool negative = (product < 0) != (denominator < 0);
    LONGLONG a = product < 0 ? -product : product, b = denominator < 0 ? -denominator : denominator;
    LONGLONG q = (a + b / 2) / b;
    return (LONG)(negative ? -q : q);
}

int LogicalDpi(int configured) {
    return configured > 0 ? configured : 96;
}

// Rows decoded by a band at a time, drawn into a device context as they come.
constexpr int BAND_ROWS = 32;

// The header StretchDIBits takes for decoded rows.
struct DibHeader {
    BITMAPINFOHEADER header;
    DWORD masks[3]; // red, green, blue for BI_BITFIELDS
};

void DescribeRows(const DecodedPicture& rows, bool topDown, DibHeader* dib) {
    std::memset(dib, 0, sizeof *dib);
    dib->header.biSize = sizeof(BITMAPINFOHEADER);
    dib->header.biWidth = rows.width;
    dib->header.biHeight = topDown ? -rows.height : rows.height;
    dib->header.biPlanes = 1;
    dib->header.biBitCount = (WORD)rows.bitsPerPixel;
    dib->header.biCompression = BI_RGB;
    if (rows.layout == JpegLayout::Rgb565) {
        dib->header.biCompression = BI_BITFIELDS;
        dib->masks[0] = 0xF800;
        dib->masks[1] = 0x07E0;
        dib->masks[2] = 0x001F;
    }
}

struct BandTarget {
    HDC hdc;
    LONG x, y; // where the picture's top-left pixel goes
};

HRESULT DrawBand(void* context, const DecodedPicture& band, int firstRow) {
    const BandTarget* target = static_cast<const BandTarget*>(context);
    DibHeader dib;
    DescribeRows(band, true, &dib);
    int lines = StretchDIBits(target->hdc, target->x, target->y + firstRow, band.width, band.height,
                              0, 0, band.width, band.height, band.pixels,
                              reinterpret_cast<const BITMAPINFO*>(&dib), DIB_RGB_COLORS, SRCCOPY);
    return lines == 0 || lines == (int)GDI_ERROR ? E_FAIL : S_OK;
}

class Picture final : public ComObject<IPicture, "IPicture"> {
public:
    // Takes the file's bytes (std::malloc) as they were checked by ReadJpegInfo.
    Picture(uint8_t* fileData, size_t fileSize, const JpegInfo& header)
        : ComObject("picture", {&IID_IPicture}), file(fileData), fileSize(fileSize), info(header) {
        const MachineConfig& machine = CurrentHost().Machine();
        hmWidth = ScaleRounded(info.width, HIMETRIC_PER_INCH, LogicalDpi(machine.logPixelsX));
        hmHeight = ScaleRounded(info.height, HIMETRIC_PER_INCH, LogicalDpi(machine.logPixelsY));
    }
    ~Picture() {
        FreeDecodedPicture(&image);
        std::free(file);
    }

    HRESULT STDMETHODCALLTYPE get_Handle(OLE_HANDLE*) override {
        return NotImplemented<"get_Handle">();
    }
    HRESULT STDMETHODCALLTYPE get_hPal(OLE_HANDLE*) override {
        return NotImplemented<"get_hPal">();
    }
    HRESULT STDMETHODCALLTYPE get_Type(SHORT* pType) override {
        if (HRESULT hr; Entered<"get_Type">(&hr)) return hr;
        if (!pType) return E_POINTER;
        *pType = PICTYPE_BITMAP;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC* pWidth) override {
        if (HRESULT hr; Entered<"get_Width">(&hr)) return hr;
        if (!pWidth) return E_POINTER;
        *pWidth = hmWidth;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC* pHeight) override {
        if (HRESULT hr; Entered<"get_Height">(&hr)) return hr;
        if (!pHeight) return E_POINTER;
        *pHeight = hmHeight;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Render(HDC hDC, LONG x, LONG y, LONG cx, LONG cy,
                                     OLE_XPOS_HIMETRIC xSrc, OLE_YPOS_HIMETRIC ySrc,
                                     OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                                     LPCRECT pRcWBounds) override;
    HRESULT STDMETHODCALLTYPE set_hPal(OLE_HANDLE) override { return NotImplemented<"set_hPal">(); }
    HRESULT STDMETHODCALLTYPE get_CurDC(HDC*) override { return NotImplemented<"get_CurDC">(); }
    HRESULT STDMETHODCALLTYPE SelectPicture(HDC, HDC*, OLE_HANDLE*) override {
        return NotImplemented<"SelectPicture">();
    }
    HRESULT STDMETHODCALLTYPE get_KeepOriginalFormat(BOOL*) override {
        return NotImplemented<"get_KeepOriginalFormat">();
    }
    HRESULT STDMETHODCALLTYPE put_KeepOriginalFormat(BOOL) override {
        return NotImplemented<"put_KeepOriginalFormat">();
    }
    HRESULT STDMETHODCALLTYPE PictureChanged() override {
        return NotImplemented<"PictureChanged">();
    }
    HRESULT STDMETHODCALLTYPE SaveAsFile(LPSTREAM, BOOL, LONG*) override {
        return NotImplemented<"SaveAsFile">();
    }
    HRESULT STDMETHODCALLTYPE get_Attributes(DWORD*) override {
        return NotImplemented<"get_Attributes">();
    }

private:
    uint8_t* file;
    size_t fileSize;
    JpegInfo info;
    DecodedPicture image; // empty until the first Render

    LONG hmWidth = 0;
    LONG hmHeight = 0;
};

// The source rectangle is in HIMETRIC units with y running up from the bottom edge, so
// (0, hmHeight, hmWidth, -hmHeight) is the whole picture upright and a positive cySrc turns it
// upside down. An upside-down source is drawn from the same rows read as a bottom-up DIB,
// and a right-to-left one by mirroring the destination: no pixel is copied here, and
// StretchDIBits does the scaling and the conversion in one pass.
HRESULT Picture::Render(HDC hDC, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc,
                        OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                        LPCRECT) {
    if (HRESULT hr; Entered<"Render">(&hr)) return hr;
    if (!hDC || cx == 0 || cy == 0 || cxSrc == 0 || cySrc == 0) return E_INVALIDARG;

    LONGLONG hmLeft = xSrc, hmRight = (LONGLONG)xSrc + cxSrc;
    LONGLONG hmTop = ySrc, hmBottom = (LONGLONG)ySrc + cySrc; // y up: "top" is ySrc
    bool mirrorX = hmRight < hmLeft;
    bool flipY = hmBottom > hmTop;
    if (mirrorX) std::swap(hmLeft, hmRight);
    if (flipY) std::swap(hmTop, hmBottom);
    if (hmLeft < 0 || hmRight > hmWidth || hmBottom < 0 || hmTop > hmHeight) return E_INVALIDARG;

    // Pixel rectangle of the upright picture, rows counted from the top.
    int left = ScaleRounded(hmLeft, info.width, hmWidth);
    int right = ScaleRounded(hmRight, info.width, hmWidth);
    int top = ScaleRounded(hmHeight - hmTop, info.height, hmHeight);
    int bottom = ScaleRounded(hmHeight - hmBottom, info.height, hmHeight);
    if (right <= left || bottom <= top) return E_INVALIDARG; // less than a pixel of source

    // A 16-bit context takes 5-6-5 rows as they are (a 5-5-5 one loses the same bit either
    // way); every other depth gets 32-bit rows. CMYK files always decode to 32 bits.
    JpegLayout layout =
        GetDeviceCaps(hDC, BITSPIXEL) == 16 && !info.cmyk ? JpegLayout::Rgb565 : JpegLayout::Bgrx32;
    // The whole picture drawn 1:1 and upright, not decoded yet: it is decoded a band at a time
    // and each band drawn as it comes, so the rows are still in the cache when they are drawn
    // and the whole picture is never held. The next Render decodes again.
    const bool whole = left == 0 && top == 0 && right == info.width && bottom == info.height;
    if (whole && !mirrorX && !flipY && cx == info.width && cy == info.height &&
        (!image.pixels || image.layout != layout)) {
        FreeDecodedPicture(&image);
        BandTarget target{hDC, x, y};
        return DecodeJpegInBands(file, fileSize, layout, BAND_ROWS, DrawBand, &target);
    }
    if (!image.pixels || image.layout != layout) {
        FreeDecodedPicture(&image);
        HRESULT hr = DecodeJpeg(file, fileSize, layout, &image);
        if (FAILED(hr)) return hr;
    }

    // Top-down normally; read bottom-up the same rows show the picture upside down, and the
    // source rectangle of a bottom-up DIB is measured from its bottom row, which is our top.
    DibHeader dib;
    DescribeRows(image, !flipY, &dib);
    int srcY = top;

    int destX = x, destW = cx;
    if (mirrorX) {
        destX = x + cx;
        destW = -cx;
    }
    int lines = StretchDIBits(hDC, destX, y, destW, cy, left, srcY, right - left, bottom - top,
                              image.pixels, reinterpret_cast<const BITMAPINFO*>(&dib),
                              DIB_RGB_COLORS, SRCCOPY);
    if (lines == 0 || lines == (int)GDI_ERROR) return E_FAIL;
    return S_OK;
}

} // namespace
} // namespace tarn::platform

HRESULT OleLoadPicture(LPSTREAM lpstream, LONG lSize, BOOL, REFIID riid, LPVOID* lplpvObj) {
    using namespace tarn::platform;
    if (HRESULT hr; Enter<"OleLoadPicture">(&hr)) return hr;
    if (!lplpvObj) return E_POINTER;
    *lplpvObj = nullptr;
    if (!lpstream) return E_POINTER;
    if (riid != IID_IPicture && riid != IID_IUnknown) return E_NOINTERFACE;

    uint8_t* data = nullptr;
    size_t size = 0;
    HRESULT hr = ReadStream(lpstream, lSize, &data, &size);
    if (FAILED(hr)) return hr;
    JpegInfo info;
    hr = ReadJpegInfo(data, size, &info);
    if (FAILED(hr)) {
        std::free(data);
        return hr;
    }
    Picture* picture = new (std::nothrow) Picture(data, size, info);
    if (!picture) {
        std::free(data);
        return E_OUTOFMEMORY;
    }
    *lplpvObj = static_cast<IPicture*>(picture);
    return S_OK;
}
