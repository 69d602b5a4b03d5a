// The PNG decoder, its one frame and the format converter. The decoder reads the stream whole
// (or, for the factory's stream over memory, uses its bytes where they are) and checks the
// chunks before the image data when it is made; the pixels are decoded when
// they are copied out, straight into the caller's rows when the whole picture is asked for.
// A frame reports the pixel format the file holds, as the platform's decoder does, and copies
// its pixels out itself when that format is 24bppBGR or 32bppBGRA; a converter gives any frame
// as 24bppBGR, 32bppBGR or 32bppBGRA.
#include "ole/ReadStream.h"
#include "wincodec/Codecs.h"
#include "internal/ComObject.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace tarn::platform {
namespace {

const GUID& NativeFormat(const PngHeader& h) {
    const bool alpha =
        h.colourType == 4 || h.colourType == 6 || (h.transparency && h.colourType != 3);
    if (alpha)
        return h.bitDepth == 16 ? GUID_WICPixelFormat64bppRGBA : GUID_WICPixelFormat32bppBGRA;
    switch (h.colourType) {
    case 0:
        switch (h.bitDepth) {
        case 1:
            return GUID_WICPixelFormatBlackWhite;
        case 2:
            return GUID_WICPixelFormat2bppGray;
        case 4:
            return GUID_WICPixelFormat4bppGray;
        case 8:
            return GUID_WICPixelFormat8bppGray;
        default:
            return GUID_WICPixelFormat16bppGray;
        }
    case 3:
        switch (h.bitDepth) {
        case 1:
            return GUID_WICPixelFormat1bppIndexed;
        case 2:
            return GUID_WICPixelFormat2bppIndexed;
        case 4:
            return GUID_WICPixelFormat4bppIndexed;
        default:
            return GUID_WICPixelFormat8bppIndexed;
        }
    default:
        return h.bitDepth == 16 ? GUID_WICPixelFormat48bppRGB : GUID_WICPixelFormat24bppBGR;
    }
}

// The layout the decoder writes for a format it can copy out, false for others.
bool RowsFor(REFGUID format, PngRows* layout) {
    if (format == GUID_WICPixelFormat24bppBGR) {
        *layout = PngRows::Bgr24;
        return true;
    }
    if (format == GUID_WICPixelFormat32bppBGRA || format == GUID_WICPixelFormat32bppBGR) {
        *layout = PngRows::Bgra32;
        return true;
    }
    return false;
}

class PngDecoder final : public ComObject<IWICBitmapDecoder, "IWICBitmapDecoder"> {
public:
    // Decodes `fileData`: a block of its own (freed with it) when `memory` is null, else bytes
    // inside that memory stream, which it holds a reference to meanwhile.
    PngDecoder(const uint8_t* fileData, size_t fileSize, const PngHeader& fileHeader,
               IStream* memory)
        : ComObject("imaging", {&IID_IWICBitmapDecoder}), data(fileData), size(fileSize),
          header(fileHeader), stream(memory) {
        if (stream) stream->AddRef();
    }
    ~PngDecoder() override {
        if (stream)
            stream->Release();
        else
            std::free(const_cast<uint8_t*>(data));
    }

    HRESULT STDMETHODCALLTYPE QueryCapability(IStream*, DWORD*) override {
        return NotImplemented<"QueryCapability">();
    }
    HRESULT STDMETHODCALLTYPE Initialize(IStream*, WICDecodeOptions) override {
        if (HRESULT hr; Entered<"Initialize">(&hr)) return hr;
        return WINCODEC_ERR_WRONGSTATE; // made by the factory over its stream already
    }
    HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override {
        if (HRESULT hr; Entered<"GetContainerFormat">(&hr)) return hr;
        if (!format) return E_INVALIDARG;
        *format = GUID_ContainerFormatPng;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDecoderInfo(IWICBitmapDecoderInfo**) override {
        return NotImplemented<"GetDecoderInfo">();
    }
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override {
        return Answer<"CopyPalette">(WINCODEC_ERR_PALETTEUNAVAILABLE);
    }
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader**) override {
        return NotImplemented<"GetMetadataQueryReader">();
    }
    HRESULT STDMETHODCALLTYPE GetPreview(IWICBitmapSource**) override {
        return NotImplemented<"GetPreview">();
    }
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT, IWICColorContext**, UINT*) override {
        return NotImplemented<"GetColorContexts">();
    }
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource**) override {
        return Answer<"GetThumbnail">(WINCODEC_ERR_CODECNOTHUMBNAIL);
    }
    HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) override {
        if (HRESULT hr; Entered<"GetFrameCount">(&hr)) return hr;
        if (!count) return E_INVALIDARG;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFrame(UINT index, IWICBitmapFrameDecode** frame) override;

    // The rectangle's rows in `layout`, into the caller's buffer.
    HRESULT Copy(PngRows layout, const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer);

    const PngHeader& Header() const { return header; }

private:
    const uint8_t* data;
    size_t size;
    PngHeader header;
    IStream* stream; // the memory stream `data` lies in, or null
};

class PngFrame final : public ComObject<IWICBitmapFrameDecode, "IWICBitmapFrameDecode"> {
public:
    explicit PngFrame(PngDecoder* owner)
        : ComObject("imaging", {&IID_IWICBitmapFrameDecode, &IID_IWICBitmapSource}),
          decoder(owner) {
        decoder->AddRef();
    }
    ~PngFrame() override { decoder->Release(); }

    HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override {
        if (HRESULT hr; Entered<"GetSize">(&hr)) return hr;
        if (!width || !height) return E_INVALIDARG;
        *width = decoder->Header().width;
        *height = decoder->Header().height;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override {
        if (HRESULT hr; Entered<"GetPixelFormat">(&hr)) return hr;
        if (!format) return E_INVALIDARG;
        *format = NativeFormat(decoder->Header());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override {
        if (HRESULT hr; Entered<"GetResolution">(&hr)) return hr;
        if (!dpiX || !dpiY) return E_INVALIDARG;
        *dpiX = *dpiY = 96.0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override {
        return Answer<"CopyPalette">(WINCODEC_ERR_PALETTEUNAVAILABLE);
    }
    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize,
                                         BYTE* buffer) override {
        if (HRESULT hr; Entered<"CopyPixels">(&hr)) return hr;
        PngRows layout;
        if (!RowsFor(NativeFormat(decoder->Header()), &layout))
            return WINCODEC_ERR_UNSUPPORTEDOPERATION;
        return decoder->Copy(layout, rect, stride, bufferSize, buffer);
    }
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader**) override {
        return NotImplemented<"GetMetadataQueryReader">();
    }
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT, IWICColorContext**, UINT*) override {
        return NotImplemented<"GetColorContexts">();
    }
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource**) override {
        return Answer<"GetThumbnail">(WINCODEC_ERR_CODECNOTHUMBNAIL);
    }

    PngDecoder* Decoder() const { return decoder; }

private:
    PngDecoder* decoder; // one reference owned
};

HRESULT PngDecoder::GetFrame(UINT index, IWICBitmapFrameDecode** frame) {
    if (HRESULT hr; Entered<"GetFrame">(&hr)) return hr;
    if (!frame) return E_INVALIDARG;
    *frame = nullptr;
    if (index != 0) return WINCODEC_ERR_FRAMEMISSING;
    PngFrame* made = new (std::nothrow) PngFrame(this);
    if (!made) return E_OUTOFMEMORY;
    *frame = made;
    return S_OK;
}

HRESULT PngDecoder::Copy(PngRows layout, const WICRect* rect, UINT stride, UINT bufferSize,
                         BYTE* buffer) {
    const WICRect whole = {0, 0, (INT)header.width, (INT)header.height};
    const WICRect& r = rect ? *rect : whole;
    if (r.X < 0 || r.Y < 0 || r.Width < 0 || r.Height < 0 ||
        (int64_t)r.X + r.Width > (int64_t)header.width ||
        (int64_t)r.Y + r.Height > (int64_t)header.height)
        return E_INVALIDARG;
    if (r.Width == 0 || r.Height == 0) return S_OK;
    const size_t pixelBytes = layout == PngRows::Bgr24 ? 3 : 4;
    const size_t rowBytes = (size_t)r.Width * pixelBytes;
    if (!buffer) return E_INVALIDARG;
    if (stride < rowBytes) return E_INVALIDARG;
    if ((uint64_t)stride * (r.Height - 1) + rowBytes > bufferSize)
        return WINCODEC_ERR_INSUFFICIENTBUFFER;

    const size_t fullRow = (size_t)header.width * pixelBytes;
    const bool direct = r.X == 0 && r.Y == 0 && r.Width == whole.Width && r.Height == whole.Height;
    // The whole picture goes straight into the caller's rows; a part is decoded whole into a
    // scratch picture and its rectangle copied out.
    uint8_t* scratch = nullptr;
    if (!direct) {
        scratch = static_cast<uint8_t*>(std::malloc(fullRow * header.height));
        if (!scratch) return E_OUTOFMEMORY;
    }
    uint8_t** rows = static_cast<uint8_t**>(std::malloc(sizeof(uint8_t*) * header.height));
    if (!rows) {
        std::free(scratch);
        return E_OUTOFMEMORY;
    }
    for (uint32_t y = 0; y < header.height; ++y)
        rows[y] = direct ? buffer + (size_t)stride * y : scratch + fullRow * y;
    // The decode parses the bytes again: bytes of the caller's memory may have changed since
    // the header was read, and rows sized by that header must not take another picture.
    PngHeader now;
    HRESULT hr = ReadPngHeader(data, size, &now);
    if (SUCCEEDED(hr) && (now.width != header.width || now.height != header.height))
        hr = WINCODEC_ERR_BADIMAGE;
    if (SUCCEEDED(hr)) hr = DecodePng(data, size, layout, rows);
    if (SUCCEEDED(hr) && !direct)
        for (INT y = 0; y < r.Height; ++y)
            std::memcpy(buffer + (size_t)stride * y, rows[r.Y + y] + (size_t)r.X * pixelBytes,
                        rowBytes);
    std::free(rows);
    std::free(scratch);
    return hr;
}

class FormatConverter final : public ComObject<IWICFormatConverter, "IWICFormatConverter"> {
public:
    FormatConverter() : ComObject("imaging", {&IID_IWICFormatConverter, &IID_IWICBitmapSource}) {}
    ~FormatConverter() override {
        if (source) source->Release();
    }

    HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override {
        if (HRESULT hr; Entered<"GetSize">(&hr)) return hr;
        if (!source) return WINCODEC_ERR_NOTINITIALIZED;
        return source->GetSize(width, height);
    }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override {
        if (HRESULT hr; Entered<"GetPixelFormat">(&hr)) return hr;
        if (!format) return E_INVALIDARG;
        if (!source) return WINCODEC_ERR_NOTINITIALIZED;
        *format = target;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override {
        if (HRESULT hr; Entered<"GetResolution">(&hr)) return hr;
        if (!source) return WINCODEC_ERR_NOTINITIALIZED;
        return source->GetResolution(dpiX, dpiY);
    }
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override {
        if (HRESULT hr; Entered<"CopyPalette">(&hr)) return hr;
        return source ? WINCODEC_ERR_PALETTEUNAVAILABLE : WINCODEC_ERR_NOTINITIALIZED;
    }
    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize,
                                         BYTE* buffer) override {
        if (HRESULT hr; Entered<"CopyPixels">(&hr)) return hr;
        if (!source) return WINCODEC_ERR_NOTINITIALIZED;
        PngRows layout;
        RowsFor(target, &layout);
        return source->Decoder()->Copy(layout, rect, stride, bufferSize, buffer);
    }
    HRESULT STDMETHODCALLTYPE Initialize(IWICBitmapSource* from, REFWICPixelFormatGUID format,
                                         WICBitmapDitherType, IWICPalette*, double,
                                         WICBitmapPaletteType) override {
        if (HRESULT hr; Entered<"Initialize">(&hr)) return hr;
        if (!from) return E_INVALIDARG;
        if (source) return WINCODEC_ERR_WRONGSTATE;
        PngRows layout;
        if (!RowsFor(format, &layout)) return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
        // The stand-in converts the frames of its own decoders only.
        PngFrame* frame = dynamic_cast<PngFrame*>(from);
        if (!frame) return WINCODEC_ERR_UNSUPPORTEDOPERATION;
        frame->AddRef();
        source = frame;
        target = format;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CanConvert(REFWICPixelFormatGUID, REFWICPixelFormatGUID to,
                                         BOOL* can) override {
        if (HRESULT hr; Entered<"CanConvert">(&hr)) return hr;
        if (!can) return E_INVALIDARG;
        PngRows layout;
        *can = RowsFor(to, &layout) ? TRUE : FALSE;
        return S_OK;
    }

private:
    PngFrame* source = nullptr; // one reference owned once initialised
    GUID target = {};
};

} // namespace

// A picture in one of the factory's memory streams is decoded where it lies; any other stream
// is read whole into a block of the decoder's own first.
HRESULT CreatePngDecoder(IStream* stream, IWICBitmapDecoder** decoder) {
    *decoder = nullptr;
    const uint8_t* inPlace = nullptr;
    uint8_t* data = nullptr;
    size_t size = 0;
    const bool memory = MemoryStreamSpan(stream, &inPlace, &size);
    if (!memory) {
        HRESULT hr = ReadStream(stream, 0, &data, &size);
        if (FAILED(hr)) return hr;
        inPlace = data;
    }
    PngHeader header;
    HRESULT hr = ReadPngHeader(inPlace, size, &header);
    PngDecoder* made = SUCCEEDED(hr)
                           ? new (std::nothrow)
                                 PngDecoder(inPlace, size, header, memory ? stream : nullptr)
                           : nullptr;
    if (!made) {
        std::free(data);
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    }
    *decoder = made;
    return S_OK;
}

HRESULT CreateFormatConverter(IWICFormatConverter** converter) {
    *converter = new (std::nothrow) FormatConverter();
    return *converter ? S_OK : E_OUTOFMEMORY;
}

} // namespace tarn::platform
