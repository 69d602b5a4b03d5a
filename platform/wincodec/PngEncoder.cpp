// The PNG encoder and its one frame. The frame keeps the rows WritePixels gives it and writes
// the file through the encoder's stream when it is committed; the encoder's Commit then
// finishes the job. Steps out of order get WINCODEC_ERR_WRONGSTATE, as on the platform.
#include "wincodec/Codecs.h"
#include "internal/ComObject.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace tarn::platform {
namespace {

// Largest picture the encoder takes: its rows are held in memory until the frame is committed.
constexpr uint64_t MAX_ENCODE_BYTES = 1ull << 30;

class PngEncoder final : public ComObject<IWICBitmapEncoder, "IWICBitmapEncoder"> {
public:
    PngEncoder() : ComObject("imaging", {&IID_IWICBitmapEncoder}) {}
    ~PngEncoder() override {
        if (stream) stream->Release();
    }

    HRESULT STDMETHODCALLTYPE Initialize(IStream* to, WICBitmapEncoderCacheOption) override {
        if (HRESULT hr; Entered<"Initialize">(&hr)) return hr;
        if (!to) return E_INVALIDARG;
        if (stream) return WINCODEC_ERR_WRONGSTATE;
        to->AddRef();
        stream = to;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override {
        if (HRESULT hr; Entered<"GetContainerFormat">(&hr)) return hr;
        if (!format) return E_INVALIDARG;
        *format = GUID_ContainerFormatPng;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEncoderInfo(IWICBitmapEncoderInfo**) override {
        return NotImplemented<"GetEncoderInfo">();
    }
    HRESULT STDMETHODCALLTYPE SetColorContexts(UINT, IWICColorContext**) override {
        return NotImplemented<"SetColorContexts">();
    }
    HRESULT STDMETHODCALLTYPE SetPalette(IWICPalette*) override {
        return Answer<"SetPalette">(WINCODEC_ERR_UNSUPPORTEDOPERATION);
    }
    HRESULT STDMETHODCALLTYPE SetThumbnail(IWICBitmapSource*) override {
        return Answer<"SetThumbnail">(WINCODEC_ERR_UNSUPPORTEDOPERATION);
    }
    HRESULT STDMETHODCALLTYPE SetPreview(IWICBitmapSource*) override {
        return Answer<"SetPreview">(WINCODEC_ERR_UNSUPPORTEDOPERATION);
    }
    HRESULT STDMETHODCALLTYPE CreateNewFrame(IWICBitmapFrameEncode** frame,
                                             IPropertyBag2** options) override;
    HRESULT STDMETHODCALLTYPE Commit() override {
        if (HRESULT hr; Entered<"Commit">(&hr)) return hr;
        if (!frameCommitted || committed) return WINCODEC_ERR_WRONGSTATE;
        committed = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMetadataQueryWriter(IWICMetadataQueryWriter**) override {
        return NotImplemented<"GetMetadataQueryWriter">();
    }

    IStream* Stream() const { return stream; }
    void FrameCommitted() { frameCommitted = true; }

private:
    IStream* stream = nullptr; // one reference owned once initialised
    bool frameMade = false;
    bool frameCommitted = false;
    bool committed = false;
};

class PngFrameEncode final : public ComObject<IWICBitmapFrameEncode, "IWICBitmapFrameEncode"> {
public:
    explicit PngFrameEncode(PngEncoder* owner)
        : ComObject("imaging", {&IID_IWICBitmapFrameEncode}), encoder(owner) {
        encoder->AddRef();
    }
    ~PngFrameEncode() override {
        std::free(pixels);
        encoder->Release();
    }

    HRESULT STDMETHODCALLTYPE Initialize(IPropertyBag2*) override {
        if (HRESULT hr; Entered<"Initialize">(&hr)) return hr;
        if (initialised) return WINCODEC_ERR_WRONGSTATE;
        initialised = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(UINT newWidth, UINT newHeight) override {
        if (HRESULT hr; Entered<"SetSize">(&hr)) return hr;
        if (!initialised || pixels) return WINCODEC_ERR_WRONGSTATE;
        if (newWidth == 0 || newHeight == 0) return E_INVALIDARG;
        if (newWidth > 65535 || newHeight > 65535) return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
        width = newWidth;
        height = newHeight;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetResolution(double, double) override {
        if (HRESULT hr; Entered<"SetResolution">(&hr)) return hr;
        return initialised && !pixels ? S_OK : WINCODEC_ERR_WRONGSTATE;
    }
    // 32bppBGRA is written as it is; every other format becomes 24bppBGR.
    HRESULT STDMETHODCALLTYPE SetPixelFormat(WICPixelFormatGUID* format) override {
        if (HRESULT hr; Entered<"SetPixelFormat">(&hr)) return hr;
        if (!format) return E_INVALIDARG;
        if (!initialised || pixels) return WINCODEC_ERR_WRONGSTATE;
        if (*format != GUID_WICPixelFormat32bppBGRA) *format = GUID_WICPixelFormat24bppBGR;
        layout = *format == GUID_WICPixelFormat32bppBGRA ? PngRows::Bgra32 : PngRows::Bgr24;
        formatSet = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetColorContexts(UINT, IWICColorContext**) override {
        return NotImplemented<"SetColorContexts">();
    }
    HRESULT STDMETHODCALLTYPE SetPalette(IWICPalette*) override {
        return Answer<"SetPalette">(WINCODEC_ERR_UNSUPPORTEDOPERATION);
    }
    HRESULT STDMETHODCALLTYPE SetThumbnail(IWICBitmapSource*) override {
        return Answer<"SetThumbnail">(WINCODEC_ERR_UNSUPPORTEDOPERATION);
    }
    HRESULT STDMETHODCALLTYPE WritePixels(UINT lineCount, UINT stride, UINT bufferSize,
                                          BYTE* source) override;
    HRESULT STDMETHODCALLTYPE WriteSource(IWICBitmapSource*, WICRect*) override {
        return NotImplemented<"WriteSource">();
    }
    HRESULT STDMETHODCALLTYPE Commit() override;
    HRESULT STDMETHODCALLTYPE GetMetadataQueryWriter(IWICMetadataQueryWriter**) override {
        return NotImplemented<"GetMetadataQueryWriter">();
    }

private:
    size_t RowBytes() const { return (size_t)width * (layout == PngRows::Bgr24 ? 3 : 4); }

    PngEncoder* encoder; // one reference owned
    bool initialised = false;
    bool formatSet = false;
    bool committed = false;
    UINT width = 0;
    UINT height = 0;
    PngRows layout = PngRows::Bgr24;
    uint8_t* pixels = nullptr; // height rows of RowBytes(), allocated by the first WritePixels
    UINT rowsWritten = 0;
};

HRESULT PngEncoder::CreateNewFrame(IWICBitmapFrameEncode** frame, IPropertyBag2** options) {
    if (HRESULT hr; Entered<"CreateNewFrame">(&hr)) return hr;
    if (!frame) return E_INVALIDARG;
    *frame = nullptr;
    if (options) *options = nullptr;
    if (!stream || frameMade) return WINCODEC_ERR_WRONGSTATE; // PNG holds one frame
    PngFrameEncode* made = new (std::nothrow) PngFrameEncode(this);
    if (!made) return E_OUTOFMEMORY;
    frameMade = true;
    *frame = made;
    return S_OK;
}

HRESULT PngFrameEncode::WritePixels(UINT lineCount, UINT stride, UINT bufferSize, BYTE* source) {
    if (HRESULT hr; Entered<"WritePixels">(&hr)) return hr;
    if (!initialised || width == 0 || committed) return WINCODEC_ERR_WRONGSTATE;
    if (!formatSet) {
        formatSet = true; // the platform's default: the encoder's first format
        layout = PngRows::Bgr24;
    }
    if (lineCount == 0) return S_OK;
    if (!source || stride < RowBytes() ||
        (uint64_t)stride * (lineCount - 1) + RowBytes() > bufferSize)
        return E_INVALIDARG;
    if (lineCount > height - rowsWritten) return WINCODEC_ERR_WRONGSTATE;
    if (!pixels) {
        if ((uint64_t)RowBytes() * height > MAX_ENCODE_BYTES)
            return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
        pixels = static_cast<uint8_t*>(std::malloc(RowBytes() * height));
        if (!pixels) return E_OUTOFMEMORY;
    }
    for (UINT y = 0; y < lineCount; ++y)
        std::memcpy(pixels + RowBytes() * (rowsWritten + y), source + (size_t)stride * y,
                    RowBytes());
    rowsWritten += lineCount;
    return S_OK;
}

HRESULT PngFrameEncode::Commit() {
    if (HRESULT hr; Entered<"Commit">(&hr)) return hr;
    if (committed || !pixels || rowsWritten != height) return WINCODEC_ERR_WRONGSTATE;
    const uint8_t** rows = static_cast<const uint8_t**>(std::malloc(sizeof(uint8_t*) * height));
    if (!rows) return E_OUTOFMEMORY;
    for (UINT y = 0; y < height; ++y) rows[y] = pixels + RowBytes() * y;
    HRESULT hr = EncodePng(encoder->Stream(), width, height, layout, rows);
    std::free(rows);
    if (FAILED(hr)) return hr;
    committed = true;
    encoder->FrameCommitted();
    return S_OK;
}

} // namespace

HRESULT CreatePngEncoder(IWICBitmapEncoder** encoder) {
    *encoder = new (std::nothrow) PngEncoder();
    return *encoder ? S_OK : E_OUTOFMEMORY;
}

} // namespace tarn::platform
