// OLE control helpers as far as the library uses them: the picture loader OleLoadPicture, the
// picture type codes and the control error codes, with the real SDK's names and values.
#pragma once

#include "windef.h"
#include "objidl.h"
#include "ocidl.h"

#define WINOLECTLAPI HRESULT

#define PICTYPE_UNINITIALIZED (-1)
#define PICTYPE_NONE 0
#define PICTYPE_BITMAP 1
#define PICTYPE_METAFILE 2
#define PICTYPE_ICON 3
#define PICTYPE_ENHMETAFILE 4

#ifndef FACILITY_CONTROL
#define FACILITY_CONTROL 10
#endif
#define STD_CTL_SCODE(n) MAKE_HRESULT(1, FACILITY_CONTROL, n)
#define CTL_E_ILLEGALFUNCTIONCALL STD_CTL_SCODE(5)
#define CTL_E_OVERFLOW STD_CTL_SCODE(6)
#define CTL_E_OUTOFMEMORY STD_CTL_SCODE(7)
#define CTL_E_INVALIDPROPERTYVALUE STD_CTL_SCODE(380)
#define CTL_E_INVALIDPICTURE STD_CTL_SCODE(481)

// Reads a picture of lSize bytes (0: up to the stream's end) from the stream's current position
// and gives the interface riid (IID_IPicture or IID_IUnknown) of a new picture object. A stream
// that holds no picture the loader understands gives CTL_E_INVALIDPICTURE.
WINOLECTLAPI OleLoadPicture(LPSTREAM lpstream, LONG lSize, BOOL fRunmode, REFIID riid,
                            LPVOID* lplpvObj);
