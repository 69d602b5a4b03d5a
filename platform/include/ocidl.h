// OLE control interfaces as far as the library uses them: the picture object IPicture in its
// real vtable order, and the HIMETRIC and handle types of its methods.
#pragma once

#include "windef.h"
#include "objidl.h"

typedef UINT OLE_HANDLE;
typedef LONG OLE_XPOS_HIMETRIC;
typedef LONG OLE_YPOS_HIMETRIC;
typedef LONG OLE_XSIZE_HIMETRIC;
typedef LONG OLE_YSIZE_HIMETRIC;

typedef enum tagPictureAttributes {
    PICTURE_SCALABLE = 0x1,
    PICTURE_TRANSPARENT = 0x2
} PICTUREATTRIBUTES;

extern "C++" {
extern const IID IID_IPicture;
}

// A loaded picture. Sizes are in HIMETRIC units (0.01 mm); Render's source rectangle is in
// HIMETRIC units with y running up from the picture's bottom edge.
struct IPicture : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Handle(OLE_HANDLE* pHandle) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_hPal(OLE_HANDLE* phPal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Type(SHORT* pType) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC* pWidth) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC* pHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE Render(HDC hDC, LONG x, LONG y, LONG cx, LONG cy,
                                             OLE_XPOS_HIMETRIC xSrc, OLE_YPOS_HIMETRIC ySrc,
                                             OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                                             LPCRECT pRcWBounds) = 0;
    virtual HRESULT STDMETHODCALLTYPE set_hPal(OLE_HANDLE hPal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CurDC(HDC* phDC) = 0;
    virtual HRESULT STDMETHODCALLTYPE SelectPicture(HDC hDCIn, HDC* phDCOut,
                                                    OLE_HANDLE* phBmpOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_KeepOriginalFormat(BOOL* pKeep) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_KeepOriginalFormat(BOOL keep) = 0;
    virtual HRESULT STDMETHODCALLTYPE PictureChanged() = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveAsFile(LPSTREAM pStream, BOOL fSaveMemCopy,
                                                 LONG* pCbSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Attributes(DWORD* pDwAttr) = 0;
};
typedef IPicture* LPPICTURE;
