// The imaging factory and the imaging component's GUIDs. The factory makes the PNG decoder
// (from a stream), the PNG encoder, format converters and streams over memory; its other makers
// are not provided.
#include "wincodec/Codecs.h"
#include "internal/ComObject.h"

#include <new>

const CLSID CLSID_WICImagingFactory = {
    0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
const GUID GUID_ContainerFormatPng = {
    0x1b7cfaf4, 0x713f, 0x473c, {0xbb, 0xcd, 0x61, 0x37, 0x42, 0x5f, 0xae, 0xaf}};

// The pixel formats share one pattern but for their last byte.
#define TARN_WIC_PIXEL_FORMAT(last)                                                                \
    {                                                                                              \
        0x6fddc324, 0x4e03, 0x4bfe, {                                                              \
            0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, last                                         \
        }                                                                                          \
    }
const GUID GUID_WICPixelFormatDontCare = TARN_WIC_PIXEL_FORMAT(0x00);
const GUID GUID_WICPixelFormat1bppIndexed = TARN_WIC_PIXEL_FORMAT(0x01);
const GUID GUID_WICPixelFormat2bppIndexed = TARN_WIC_PIXEL_FORMAT(0x02);
const GUID GUID_WICPixelFormat4bppIndexed = TARN_WIC_PIXEL_FORMAT(0x03);
const GUID GUID_WICPixelFormat8bppIndexed = TARN_WIC_PIXEL_FORMAT(0x04);
const GUID GUID_WICPixelFormatBlackWhite = TARN_WIC_PIXEL_FORMAT(0x05);
const GUID GUID_WICPixelFormat2bppGray = TARN_WIC_PIXEL_FORMAT(0x06);
const GUID GUID_WICPixelFormat4bppGray = TARN_WIC_PIXEL_FORMAT(0x07);
const GUID GUID_WICPixelFormat8bppGray = TARN_WIC_PIXEL_FORMAT(0x08);
const GUID GUID_WICPixelFormat16bppGray = TARN_WIC_PIXEL_FORMAT(0x0b);
const GUID GUID_WICPixelFormat24bppBGR = TARN_WIC_PIXEL_FORMAT(0x0c);
const GUID GUID_WICPixelFormat24bppRGB = TARN_WIC_PIXEL_FORMAT(0x0d);
const GUID GUID_WICPixelFormat32bppBGR = TARN_WIC_PIXEL_FORMAT(0x0e);
const GUID GUID_WICPixelFormat32bppBGRA = TARN_WIC_PIXEL_FORMAT(0x0f);
const GUID GUID_WICPixelFormat48bppRGB = TARN_WIC_PIXEL_FORMAT(0x15);
const GUID GUID_WICPixelFormat64bppRGBA = TARN_WIC_PIXEL_FORMAT(0x16);
#undef TARN_WIC_PIXEL_FORMAT

const IID IID_IWICImagingFactory = {
    0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};
const IID IID_IWICBitmapSource = {
    0x00000120, 0xa8f2, 0x4877, {0xba, 0x0a, 0xfd, 0x2b, 0x66, 0x45, 0xfb, 0x94}};
const IID IID_IWICBitmapDecoder = {
    0x9edde9e7, 0x8dee, 0x47ea, {0x99, 0xdf, 0xe6, 0xfa, 0xf2, 0xed, 0x44, 0xbf}};
const IID IID_IWICBitmapFrameDecode = {
    0x3b16811b, 0x6a43, 0x4ec9, {0xa8, 0x13, 0x3d, 0x93, 0x0c, 0x13, 0xb9, 0x40}};
const IID IID_IWICFormatConverter = {
    0x00000301, 0xa8f2, 0x4877, {0xba, 0x0a, 0xfd, 0x2b, 0x66, 0x45, 0xfb, 0x94}};
const IID IID_IWICBitmapEncoder = {
    0x00000103, 0xa8f2, 0x4877, {0xba, 0x0a, 0xfd, 0x2b, 0x66, 0x45, 0xfb, 0x94}};
const IID IID_IWICBitmapFrameEncode = {
    0x00000105, 0xa8f2, 0x4877, {0xba, 0x0a, 0xfd, 0x2b, 0x66, 0x45, 0xfb, 0x94}};

namespace tarn::platform {
namespace {

class ImagingFactory final : public ComObject<IWICImagingFactory, "IWICImagingFactory"> {
public:
    ImagingFactory() : ComObject("imaging", {&IID_IWICImagingFactory}) {}

    HRESULT STDMETHODCALLTYPE CreateDecoderFromFilename(LPCWSTR, const GUID*, DWORD,
                                                        WICDecodeOptions,
                                                        IWICBitmapDecoder**) override {
        return NotImplemented<"CreateDecoderFromFilename">();
    }
    HRESULT STDMETHODCALLTYPE CreateDecoderFromStream(IStream* stream, const GUID*,
                                                      WICDecodeOptions,
                                                      IWICBitmapDecoder** decoder) override {
        if (HRESULT hr; Entered<"CreateDecoderFromStream">(&hr)) return hr;
        if (!stream || !decoder) return E_INVALIDARG;
        return CreatePngDecoder(stream, decoder);
    }
    HRESULT STDMETHODCALLTYPE CreateDecoderFromFileHandle(ULONG_PTR, const GUID*, WICDecodeOptions,
                                                          IWICBitmapDecoder**) override {
        return NotImplemented<"CreateDecoderFromFileHandle">();
    }
    HRESULT STDMETHODCALLTYPE CreateComponentInfo(REFCLSID, IWICComponentInfo**) override {
        return NotImplemented<"CreateComponentInfo">();
    }
    HRESULT STDMETHODCALLTYPE CreateDecoder(REFGUID, const GUID*, IWICBitmapDecoder**) override {
        return NotImplemented<"CreateDecoder">();
    }
    HRESULT STDMETHODCALLTYPE CreateEncoder(REFGUID container, const GUID*,
                                            IWICBitmapEncoder** encoder) override {
        if (HRESULT hr; Entered<"CreateEncoder">(&hr)) return hr;
        if (!encoder) return E_INVALIDARG;
        *encoder = nullptr;
        if (container != GUID_ContainerFormatPng) return WINCODEC_ERR_COMPONENTNOTFOUND;
        return CreatePngEncoder(encoder);
    }
    HRESULT STDMETHODCALLTYPE CreatePalette(IWICPalette**) override {
        return NotImplemented<"CreatePalette">();
    }
    HRESULT STDMETHODCALLTYPE CreateFormatConverter(IWICFormatConverter** converter) override {
        if (HRESULT hr; Entered<"CreateFormatConverter">(&hr)) return hr;
        if (!converter) return E_INVALIDARG;
        return tarn::platform::CreateFormatConverter(converter);
    }
    HRESULT STDMETHODCALLTYPE CreateBitmapScaler(IWICBitmapScaler**) override {
        return NotImplemented<"CreateBitmapScaler">();
    }
    HRESULT STDMETHODCALLTYPE CreateBitmapClipper(IWICBitmapClipper**) override {
        return NotImplemented<"CreateBitmapClipper">();
    }
    HRESULT STDMETHODCALLTYPE CreateBitmapFlipRotator(IWICBitmapFlipRotator**) override {
        return NotImplemented<"CreateBitmapFlipRotator">();
    }
    HRESULT STDMETHODCALLTYPE CreateStream(IWICStream** stream) override {
        if (HRESULT hr; Entered<"CreateStream">(&hr)) return hr;
        if (!stream) return E_INVALIDARG;
        return CreateMemoryStream(stream);
    }
    HRESULT STDMETHODCALLTYPE CreateColorContext(IWICColorContext**) override {
        return NotImplemented<"CreateColorContext">();
    }
    HRESULT STDMETHODCALLTYPE CreateColorTransformer(IWICColorTransform**) override {
        return NotImplemented<"CreateColorTransformer">();
    }
    HRESULT STDMETHODCALLTYPE CreateBitmap(UINT, UINT, REFWICPixelFormatGUID,
                                           WICBitmapCreateCacheOption, IWICBitmap**) override {
        return NotImplemented<"CreateBitmap">();
    }
    HRESULT STDMETHODCALLTYPE CreateBitmapFromSource(IWICBitmapSource*, WICBitmapCreateCacheOption,
                                                     IWICBitmap**) override {
        return NotImplemented<"CreateBitmapFromSource">();
    }
    HRESULT STDMETHODCALLTYPE CreateBitmapFromSourceRect(IWICBitmapSource*, UINT, UINT, UINT, UINT,
                                                         IWICBitmap**) override {
        return NotImplemented<"CreateBitmapFromSourceRect">();
    }
    HRESULT STDMETHODCALLTYPE CreateBitmapFromMemory(UINT, UINT, REFWICPixelFormatGUID, UINT, UINT,
                                                     BYTE*, IWICBitmap**) override {
        return NotImplemented<"CreateBitmapFromMemory">();
    }
    HRESULT STDMETHODCALLTYPE CreateBitmapFromHBITMAP(HBITMAP, HPALETTE,
                                                      WICBitmapAlphaChannelOption,
                                                      IWICBitmap**) override {
        return NotImplemented<"CreateBitmapFromHBITMAP">();
    }
    HRESULT STDMETHODCALLTYPE CreateBitmapFromHICON(HICON, IWICBitmap**) override {
        return NotImplemented<"CreateBitmapFromHICON">();
    }
    HRESULT STDMETHODCALLTYPE CreateComponentEnumerator(DWORD, DWORD, IEnumUnknown**) override {
        return NotImplemented<"CreateComponentEnumerator">();
    }
    HRESULT STDMETHODCALLTYPE
    CreateFastMetadataEncoderFromDecoder(IWICBitmapDecoder*, IWICFastMetadataEncoder**) override {
        return NotImplemented<"CreateFastMetadataEncoderFromDecoder">();
    }
    HRESULT STDMETHODCALLTYPE CreateFastMetadataEncoderFromFrameDecode(
        IWICBitmapFrameDecode*, IWICFastMetadataEncoder**) override {
        return NotImplemented<"CreateFastMetadataEncoderFromFrameDecode">();
    }
    HRESULT STDMETHODCALLTYPE CreateQueryWriter(REFGUID, const GUID*,
                                                IWICMetadataQueryWriter**) override {
        return NotImplemented<"CreateQueryWriter">();
    }
    HRESULT STDMETHODCALLTYPE CreateQueryWriterFromReader(IWICMetadataQueryReader*, const GUID*,
                                                          IWICMetadataQueryWriter**) override {
        return NotImplemented<"CreateQueryWriterFromReader">();
    }
};

} // namespace

HRESULT CreateImagingFactory(REFIID riid, void** ppv) {
    ImagingFactory* factory = new (std::nothrow) ImagingFactory();
    if (!factory) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

} // namespace tarn::platform
