// The Windows Imaging Component as far as the library uses it: the imaging factory, the PNG
// decoder (decoder, frame 0, format converter) and the PNG encoder (encoder, frame), in their
// real vtable order, with the real SDK's GUIDs, HRESULTs, enumerations and structures.
//
// The objects are made by CoCreateInstance(CLSID_WICImagingFactory ...) once COM is
// initialised on the thread. PNG is the one container here: the factory finds no decoder for
// other data (WINCODEC_ERR_COMPONENTNOTFOUND) and makes no other encoder. A frame gives its
// pixels in its own format when that is 24bppBGR or 32bppBGRA; a format converter over a
// frame gives any frame as 24bppBGR, 32bppBGR or 32bppBGRA (16-bit samples rounded to 8 bits,
// palettes, grey and tRNS expanded; gamma and colour chunks are not applied). The encoder
// takes 24bppBGR or 32bppBGRA rows.
#pragma once

#include "windef.h"
#include "objidl.h"

#define WINCODEC_SDK_VERSION 0x0237

#define WINCODEC_ERR_WRONGSTATE ((HRESULT)0x88982F04L)
#define WINCODEC_ERR_VALUEOUTOFRANGE ((HRESULT)0x88982F05L)
#define WINCODEC_ERR_UNKNOWNIMAGEFORMAT ((HRESULT)0x88982F07L)
#define WINCODEC_ERR_NOTINITIALIZED ((HRESULT)0x88982F0CL)
#define WINCODEC_ERR_CODECNOTHUMBNAIL ((HRESULT)0x88982F44L)
#define WINCODEC_ERR_PALETTEUNAVAILABLE ((HRESULT)0x88982F45L)
#define WINCODEC_ERR_COMPONENTNOTFOUND ((HRESULT)0x88982F50L)
#define WINCODEC_ERR_IMAGESIZEOUTOFRANGE ((HRESULT)0x88982F51L)
#define WINCODEC_ERR_BADIMAGE ((HRESULT)0x88982F60L)
#define WINCODEC_ERR_BADHEADER ((HRESULT)0x88982F61L)
#define WINCODEC_ERR_FRAMEMISSING ((HRESULT)0x88982F62L)
#define WINCODEC_ERR_STREAMWRITE ((HRESULT)0x88982F71L)
#define WINCODEC_ERR_STREAMREAD ((HRESULT)0x88982F72L)
#define WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT ((HRESULT)0x88982F80L)
#define WINCODEC_ERR_UNSUPPORTEDOPERATION ((HRESULT)0x88982F81L)
#define WINCODEC_ERR_INSUFFICIENTBUFFER ((HRESULT)0x88982F8CL)

typedef GUID WICPixelFormatGUID;
typedef REFGUID REFWICPixelFormatGUID;

typedef struct WICRect {
    INT X;
    INT Y;
    INT Width;
    INT Height;
} WICRect;

typedef enum WICDecodeOptions {
    WICDecodeMetadataCacheOnDemand = 0x0,
    WICDecodeMetadataCacheOnLoad = 0x1
} WICDecodeOptions;

typedef enum WICBitmapDitherType {
    WICBitmapDitherTypeNone = 0x0,
    WICBitmapDitherTypeSolid = 0x0,
    WICBitmapDitherTypeOrdered4x4 = 0x1
} WICBitmapDitherType;

typedef enum WICBitmapPaletteType {
    WICBitmapPaletteTypeCustom = 0x0,
    WICBitmapPaletteTypeMedianCut = 0x1
} WICBitmapPaletteType;

typedef enum WICBitmapEncoderCacheOption {
    WICBitmapEncoderCacheInMemory = 0x0,
    WICBitmapEncoderCacheTempFile = 0x1,
    WICBitmapEncoderNoCache = 0x2
} WICBitmapEncoderCacheOption;

typedef enum WICBitmapCreateCacheOption {
    WICBitmapNoCache = 0x0,
    WICBitmapCacheOnDemand = 0x1,
    WICBitmapCacheOnLoad = 0x2
} WICBitmapCreateCacheOption;

typedef enum WICBitmapAlphaChannelOption {
    WICBitmapUseAlpha = 0x0,
    WICBitmapUsePremultipliedAlpha = 0x1,
    WICBitmapIgnoreAlpha = 0x2
} WICBitmapAlphaChannelOption;

extern "C++" {
extern const CLSID CLSID_WICImagingFactory;
extern const GUID GUID_ContainerFormatPng;
extern const GUID GUID_WICPixelFormatDontCare;
extern const GUID GUID_WICPixelFormat1bppIndexed;
extern const GUID GUID_WICPixelFormat2bppIndexed;
extern const GUID GUID_WICPixelFormat4bppIndexed;
extern const GUID GUID_WICPixelFormat8bppIndexed;
extern const GUID GUID_WICPixelFormatBlackWhite;
extern const GUID GUID_WICPixelFormat2bppGray;
extern const GUID GUID_WICPixelFormat4bppGray;
extern const GUID GUID_WICPixelFormat8bppGray;
extern const GUID GUID_WICPixelFormat16bppGray;
extern const GUID GUID_WICPixelFormat24bppBGR;
extern const GUID GUID_WICPixelFormat24bppRGB;
extern const GUID GUID_WICPixelFormat32bppBGR;
extern const GUID GUID_WICPixelFormat32bppBGRA;
extern const GUID GUID_WICPixelFormat48bppRGB;
extern const GUID GUID_WICPixelFormat64bppRGBA;
extern const IID IID_IWICImagingFactory;
extern const IID IID_IWICBitmapSource;
extern const IID IID_IWICBitmapDecoder;
extern const IID IID_IWICBitmapFrameDecode;
extern const IID IID_IWICFormatConverter;
extern const IID IID_IWICBitmapEncoder;
extern const IID IID_IWICBitmapFrameEncode;
extern const IID IID_IWICStream;
}

// Interfaces the methods below name but the library does not use.
struct IWICPalette;
struct IWICColorContext;
struct IWICMetadataQueryReader;
struct IWICMetadataQueryWriter;
struct IWICBitmapDecoderInfo;
struct IWICBitmapEncoderInfo;
struct IWICComponentInfo;
struct IWICBitmapScaler;
struct IWICBitmapClipper;
struct IWICBitmapFlipRotator;
struct IWICColorTransform;
struct IWICBitmap;
struct IWICFastMetadataEncoder;
struct IEnumUnknown;
struct IPropertyBag2;

// A stream the factory makes; InitializeFromMemory reads and writes the caller's bytes where they
// are, without a copy (the caller keeps them alive for as long as the stream is used).
struct IWICStream : public IStream {
    virtual HRESULT STDMETHODCALLTYPE InitializeFromIStream(IStream* pIStream) = 0;
    virtual HRESULT STDMETHODCALLTYPE InitializeFromFilename(LPCWSTR wzFileName,
                                                             DWORD dwDesiredAccess) = 0;
    virtual HRESULT STDMETHODCALLTYPE InitializeFromMemory(BYTE* pbBuffer, DWORD cbBufferSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE InitializeFromIStreamRegion(IStream* pIStream,
                                                                  ULARGE_INTEGER ulOffset,
                                                                  ULARGE_INTEGER ulMaxSize) = 0;
};

struct IWICBitmapSource : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSize(UINT* puiWidth, UINT* puiHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* pPixelFormat) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResolution(double* pDpiX, double* pDpiY) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* pIPalette) = 0;
    // Rows of the rectangle (null: the whole picture), top row first, cbStride bytes apart.
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* prc, UINT cbStride,
                                                 UINT cbBufferSize, BYTE* pbBuffer) = 0;
};

struct IWICBitmapFrameDecode : public IWICBitmapSource {
    virtual HRESULT STDMETHODCALLTYPE
    GetMetadataQueryReader(IWICMetadataQueryReader** ppIMetadataQueryReader) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetColorContexts(UINT cCount,
                                                       IWICColorContext** ppIColorContexts,
                                                       UINT* pcActualCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** ppIThumbnail) = 0;
};

struct IWICBitmapDecoder : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryCapability(IStream* pIStream, DWORD* pdwCapability) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(IStream* pIStream,
                                                 WICDecodeOptions cacheOptions) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* pguidContainerFormat) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDecoderInfo(IWICBitmapDecoderInfo** ppIDecoderInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* pIPalette) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetMetadataQueryReader(IWICMetadataQueryReader** ppIMetadataQueryReader) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPreview(IWICBitmapSource** ppIBitmapSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetColorContexts(UINT cCount,
                                                       IWICColorContext** ppIColorContexts,
                                                       UINT* pcActualCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** ppIThumbnail) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* pCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFrame(UINT index,
                                               IWICBitmapFrameDecode** ppIBitmapFrame) = 0;
};

struct IWICFormatConverter : public IWICBitmapSource {
    virtual HRESULT STDMETHODCALLTYPE Initialize(IWICBitmapSource* pISource,
                                                 REFWICPixelFormatGUID dstFormat,
                                                 WICBitmapDitherType dither, IWICPalette* pIPalette,
                                                 double alphaThresholdPercent,
                                                 WICBitmapPaletteType paletteTranslate) = 0;
    virtual HRESULT STDMETHODCALLTYPE CanConvert(REFWICPixelFormatGUID srcPixelFormat,
                                                 REFWICPixelFormatGUID dstPixelFormat,
                                                 BOOL* pfCanConvert) = 0;
};

struct IWICBitmapFrameEncode : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize(IPropertyBag2* pIEncoderOptions) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSize(UINT uiWidth, UINT uiHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetResolution(double dpiX, double dpiY) = 0;
    // Takes the wanted format and gives back the one the encoder will write.
    virtual HRESULT STDMETHODCALLTYPE SetPixelFormat(WICPixelFormatGUID* pPixelFormat) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetColorContexts(UINT cCount,
                                                       IWICColorContext** ppIColorContext) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPalette(IWICPalette* pIPalette) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetThumbnail(IWICBitmapSource* pIThumbnail) = 0;
    virtual HRESULT STDMETHODCALLTYPE WritePixels(UINT lineCount, UINT cbStride, UINT cbBufferSize,
                                                  BYTE* pbPixels) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteSource(IWICBitmapSource* pIBitmapSource,
                                                  WICRect* prc) = 0;
    virtual HRESULT STDMETHODCALLTYPE Commit() = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetMetadataQueryWriter(IWICMetadataQueryWriter** ppIMetadataQueryWriter) = 0;
};

struct IWICBitmapEncoder : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize(IStream* pIStream,
                                                 WICBitmapEncoderCacheOption cacheOption) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* pguidContainerFormat) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEncoderInfo(IWICBitmapEncoderInfo** ppIEncoderInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetColorContexts(UINT cCount,
                                                       IWICColorContext** ppIColorContext) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPalette(IWICPalette* pIPalette) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetThumbnail(IWICBitmapSource* pIThumbnail) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPreview(IWICBitmapSource* pIPreview) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateNewFrame(IWICBitmapFrameEncode** ppIFrameEncode,
                                                     IPropertyBag2** ppIEncoderOptions) = 0;
    virtual HRESULT STDMETHODCALLTYPE Commit() = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetMetadataQueryWriter(IWICMetadataQueryWriter** ppIMetadataQueryWriter) = 0;
};

struct IWICImagingFactory : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateDecoderFromFilename(LPCWSTR wzFilename,
                                                                const GUID* pguidVendor,
                                                                DWORD dwDesiredAccess,
                                                                WICDecodeOptions metadataOptions,
                                                                IWICBitmapDecoder** ppIDecoder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDecoderFromStream(IStream* pIStream,
                                                              const GUID* pguidVendor,
                                                              WICDecodeOptions metadataOptions,
                                                              IWICBitmapDecoder** ppIDecoder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDecoderFromFileHandle(
        ULONG_PTR hFile, const GUID* pguidVendor, WICDecodeOptions metadataOptions,
        IWICBitmapDecoder** ppIDecoder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateComponentInfo(REFCLSID clsidComponent,
                                                          IWICComponentInfo** ppIInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDecoder(REFGUID guidContainerFormat,
                                                    const GUID* pguidVendor,
                                                    IWICBitmapDecoder** ppIDecoder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateEncoder(REFGUID guidContainerFormat,
                                                    const GUID* pguidVendor,
                                                    IWICBitmapEncoder** ppIEncoder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreatePalette(IWICPalette** ppIPalette) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    CreateFormatConverter(IWICFormatConverter** ppIFormatConverter) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBitmapScaler(IWICBitmapScaler** ppIBitmapScaler) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBitmapClipper(IWICBitmapClipper** ppIBitmapClipper) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    CreateBitmapFlipRotator(IWICBitmapFlipRotator** ppIBitmapFlipRotator) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateStream(IWICStream** ppIWICStream) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateColorContext(IWICColorContext** ppIWICColorContext) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    CreateColorTransformer(IWICColorTransform** ppIWICColorTransform) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBitmap(UINT uiWidth, UINT uiHeight,
                                                   REFWICPixelFormatGUID pixelFormat,
                                                   WICBitmapCreateCacheOption option,
                                                   IWICBitmap** ppIBitmap) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBitmapFromSource(IWICBitmapSource* piBitmapSource,
                                                             WICBitmapCreateCacheOption option,
                                                             IWICBitmap** ppIBitmap) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBitmapFromSourceRect(IWICBitmapSource* piBitmapSource,
                                                                 UINT x, UINT y, UINT width,
                                                                 UINT height,
                                                                 IWICBitmap** ppIBitmap) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBitmapFromMemory(UINT uiWidth, UINT uiHeight,
                                                             REFWICPixelFormatGUID pixelFormat,
                                                             UINT cbStride, UINT cbBufferSize,
                                                             BYTE* pbBuffer,
                                                             IWICBitmap** ppIBitmap) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBitmapFromHBITMAP(HBITMAP hBitmap, HPALETTE hPalette,
                                                              WICBitmapAlphaChannelOption options,
                                                              IWICBitmap** ppIBitmap) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBitmapFromHICON(HICON hIcon,
                                                            IWICBitmap** ppIBitmap) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateComponentEnumerator(DWORD componentTypes, DWORD options,
                                                                IEnumUnknown** ppIEnumUnknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateFastMetadataEncoderFromDecoder(
        IWICBitmapDecoder* pIDecoder, IWICFastMetadataEncoder** ppIFastEncoder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateFastMetadataEncoderFromFrameDecode(
        IWICBitmapFrameDecode* pIFrameDecoder, IWICFastMetadataEncoder** ppIFastEncoder) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    CreateQueryWriter(REFGUID guidMetadataFormat, const GUID* pguidVendor,
                      IWICMetadataQueryWriter** ppIQueryWriter) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    CreateQueryWriterFromReader(IWICMetadataQueryReader* pIQueryReader, const GUID* pguidVendor,
                                IWICMetadataQueryWriter** ppIQueryWriter) = 0;
};
