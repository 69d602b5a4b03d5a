// The system picture loader: OleLoadPicture reads a JPEG file from a stream, decodes it at once
// and gives an IPicture over the decoded pixels. The picture reports its size in HIMETRIC units
// at the display's logical resolution and draws itself into any device context through the
// public GDI call StretchDIBits, so GDI converts to the context's pixel format exactly once.
#include <olectl.h>
#include <windows.h>

#include "host/Host.h"
#include "internal/StandIn.h"
#include "ole/JpegDecoder.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

const IID IID_IPicture = {
    0x7bf80980, 0xbf32, 0x101a, {0x8b, 0xbb, 0x00, 0xaa, 0x00, 0x30, 0x0c, 0xab}};

namespace tarn::platform {
namespace {

constexpr LONG kHimetricPerInch = 2540;
constexpr ULONG kReadChunk = 64 * 1024;
constexpr size_t kMaxFileBytes = 0x7fffffff;

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

class Picture final : public IPicture {
public:
    explicit Picture(const DecodedPicture& decoded) : image(decoded) {
        const MachineConfig& machine = CurrentHost().Machine();
        hmWidth = ScaleRounded(image.width, kHimetricPerInch, LogicalDpi(machine.logPixelsX));
        hmHeight = ScaleRounded(image.height, kHimetricPerInch, LogicalDpi(machine.logPixelsY));
        ObjectCreated("picture");
    }
    ~Picture() {
        FreeDecodedPicture(&image);
        ObjectDestroyed("picture");
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        long code;
        if (Enter("IPicture::QueryInterface", &code)) return (HRESULT)code;
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IPicture) return E_NOINTERFACE;
        *ppv = static_cast<IPicture*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        long code;
        Enter("IPicture::AddRef", &code);
        return ++refs;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        long code;
        Enter("IPicture::Release", &code);
        ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE get_Handle(OLE_HANDLE*) override {
        return NotImplemented("get_Handle");
    }
    HRESULT STDMETHODCALLTYPE get_hPal(OLE_HANDLE*) override { return NotImplemented("get_hPal"); }
    HRESULT STDMETHODCALLTYPE get_Type(SHORT* pType) override {
        long code;
        if (Enter("IPicture::get_Type", &code)) return (HRESULT)code;
        if (!pType) return E_POINTER;
        *pType = PICTYPE_BITMAP;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC* pWidth) override {
        long code;
        if (Enter("IPicture::get_Width", &code)) return (HRESULT)code;
        if (!pWidth) return E_POINTER;
        *pWidth = hmWidth;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC* pHeight) override {
        long code;
        if (Enter("IPicture::get_Height", &code)) return (HRESULT)code;
        if (!pHeight) return E_POINTER;
        *pHeight = hmHeight;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Render(HDC hDC, LONG x, LONG y, LONG cx, LONG cy,
                                     OLE_XPOS_HIMETRIC xSrc, OLE_YPOS_HIMETRIC ySrc,
                                     OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                                     LPCRECT pRcWBounds) override;
    HRESULT STDMETHODCALLTYPE set_hPal(OLE_HANDLE) override { return NotImplemented("set_hPal"); }
    HRESULT STDMETHODCALLTYPE get_CurDC(HDC*) override { return NotImplemented("get_CurDC"); }
    HRESULT STDMETHODCALLTYPE SelectPicture(HDC, HDC*, OLE_HANDLE*) override {
        return NotImplemented("SelectPicture");
    }
    HRESULT STDMETHODCALLTYPE get_KeepOriginalFormat(BOOL*) override {
        return NotImplemented("get_KeepOriginalFormat");
    }
    HRESULT STDMETHODCALLTYPE put_KeepOriginalFormat(BOOL) override {
        return NotImplemented("put_KeepOriginalFormat");
    }
    HRESULT STDMETHODCALLTYPE PictureChanged() override { return NotImplemented("PictureChanged"); }
    HRESULT STDMETHODCALLTYPE SaveAsFile(LPSTREAM, BOOL, LONG*) override {
        return NotImplemented("SaveAsFile");
    }
    HRESULT STDMETHODCALLTYPE get_Attributes(DWORD*) override {
        return NotImplemented("get_Attributes");
    }

private:
    static HRESULT NotImplemented(const char* method) {
        char operation[64] = "IPicture::";
        std::strncat(operation, method, sizeof operation - std::strlen(operation) - 1);
        long code;
        if (Enter(operation, &code)) return (HRESULT)code;
        return E_NOTIMPL;
    }

    ULONG refs = 1;
    DecodedPicture image;
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
    long code;
    if (Enter("IPicture::Render", &code)) return (HRESULT)code;
    if (!hDC || cx == 0 || cy == 0 || cxSrc == 0 || cySrc == 0) return E_INVALIDARG;

    LONGLONG hmLeft = xSrc, hmRight = (LONGLONG)xSrc + cxSrc;
    LONGLONG hmTop = ySrc, hmBottom = (LONGLONG)ySrc + cySrc; // y up: "top" is ySrc
    bool mirrorX = hmRight<hmLeft, flipY = hmBottom> hmTop;
    if (mirrorX) std::swap(hmLeft, hmRight);
    if (flipY) std::swap(hmTop, hmBottom);
    if (hmLeft < 0 || hmRight > hmWidth || hmBottom < 0 || hmTop > hmHeight) return E_INVALIDARG;

    // Pixel rectangle of the upright picture, rows counted from the top.
    int left = ScaleRounded(hmLeft, image.width, hmWidth);
    int right = ScaleRounded(hmRight, image.width, hmWidth);
    int top = ScaleRounded(hmHeight - hmTop, image.height, hmHeight);
    int bottom = ScaleRounded(hmHeight - hmBottom, image.height, hmHeight);
    if (right <= left || bottom <= top) return E_INVALIDARG; // less than a pixel of source

    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.width;
    // Top-down normally; read bottom-up the same rows show the picture upside down, and the
    // source rectangle of a bottom-up DIB is measured from its bottom row, which is our top.
    info.bmiHeader.biHeight = flipY ? image.height : -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = (WORD)image.bitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    int srcY = top;

    int destX = x, destW = cx;
    if (mirrorX) {
        destX = x + cx;
        destW = -cx;
    }
    int lines = StretchDIBits(hDC, destX, y, destW, cy, left, srcY, right - left, bottom - top,
                              image.pixels, &info, DIB_RGB_COLORS, SRCCOPY);
    if (lines == 0 || lines == (int)GDI_ERROR) return E_FAIL;
    return S_OK;
}

// Reads `wanted` bytes (0: to the end) from the stream's position into a new std::malloc block.
// The stream's statistics size the block when the stream offers them; otherwise it grows.
HRESULT ReadStream(IStream* stream, LONG wanted, uint8_t** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    size_t limit = wanted > 0 ? (size_t)wanted : kMaxFileBytes;
    size_t capacity = kReadChunk;
    STATSTG stat;
    ULARGE_INTEGER here;
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) &&
        SUCCEEDED(stream->Seek(zero, STREAM_SEEK_CUR, &here))) {
        ULONGLONG left =
            stat.cbSize.QuadPart > here.QuadPart ? stat.cbSize.QuadPart - here.QuadPart : 0;
        if (left < limit) limit = (size_t)left;
        capacity = limit;
    }
    if (capacity > limit) capacity = limit;
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(capacity ? capacity : 1));
    if (!buffer) return E_OUTOFMEMORY;
    size_t filled = 0;
    while (filled < limit) {
        if (filled == capacity) {
            size_t grown = capacity * 2 < limit ? capacity * 2 : limit;
            uint8_t* bigger = static_cast<uint8_t*>(std::realloc(buffer, grown));
            if (!bigger) {
                std::free(buffer);
                return E_OUTOFMEMORY;
            }
            buffer = bigger;
            capacity = grown;
        }
        size_t room = capacity - filled;
        ULONG ask = room > kReadChunk * 16 ? kReadChunk * 16 : (ULONG)room, got = 0;
        HRESULT hr = stream->Read(buffer + filled, ask, &got);
        if (FAILED(hr)) {
            std::free(buffer);
            return hr;
        }
        if (got == 0) break;
        filled += got > ask ? ask : got;
    }
    *data = buffer;
    *size = filled;
    return S_OK;
}

} // namespace
} // namespace tarn::platform

HRESULT OleLoadPicture(LPSTREAM lpstream, LONG lSize, BOOL, REFIID riid, LPVOID* lplpvObj) {
    using namespace tarn::platform;
    long code;
    if (Enter("OleLoadPicture", &code)) return (HRESULT)code;
    if (!lplpvObj) return E_POINTER;
    *lplpvObj = nullptr;
    if (!lpstream) return E_POINTER;
    if (riid != IID_IPicture && riid != IID_IUnknown) return E_NOINTERFACE;

    uint8_t* data = nullptr;
    size_t size = 0;
    HRESULT hr = ReadStream(lpstream, lSize, &data, &size);
    if (FAILED(hr)) return hr;
    DecodedPicture decoded;
    hr = DecodeJpeg(data, size, &decoded);
    std::free(data);
    if (FAILED(hr)) return hr;

    Picture* picture = new (std::nothrow) Picture(decoded);
    if (!picture) {
        FreeDecodedPicture(&decoded);
        return E_OUTOFMEMORY;
    }
    *lplpvObj = static_cast<IPicture*>(picture);
    return S_OK;
}
