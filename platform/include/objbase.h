// The COM base library as far as the library uses it: initialising COM on a thread, making
// an object by class (CoCreateInstance), streams over global memory blocks
// (CreateStreamOnHGlobal, GetHGlobalFromStream) and the storage access-mode flags.
#pragma once

#include "windef.h"
#include "objidl.h"

#define WINOLEAPI HRESULT

#define STGM_DIRECT 0x00000000L
#define STGM_READ 0x00000000L
#define STGM_WRITE 0x00000001L
#define STGM_READWRITE 0x00000002L
#define STGM_SHARE_EXCLUSIVE 0x00000010L

// An IStream over `hGlobal` (a block from GlobalAlloc(GMEM_MOVEABLE ...), or NULL for a new empty
// block). The stream's size starts as the block's size; with fDeleteOnRelease the block is freed
// when the stream's last reference goes.
WINOLEAPI CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm);
// The block under a stream made by CreateStreamOnHGlobal.
WINOLEAPI GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal);

#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106L)

typedef enum tagCOINIT {
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_MULTITHREADED = 0x0,
    COINIT_DISABLE_OLE1DDE = 0x4,
    COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

typedef enum tagCLSCTX {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_ALL                                                                                 \
    (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

// Initialises COM on the calling thread: S_OK the first time, S_FALSE when it already was (each
// success wants its CoUninitialize), RPC_E_CHANGED_MODE when it was in the other threading model.
WINOLEAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
WINOLEAPI CoInitialize(LPVOID pvReserved);
void CoUninitialize(void);
// A new object of class rclsid (the stand-in knows CLSID_WICImagingFactory, in process), or
// CO_E_NOTINITIALIZED on a thread without COM.
WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                           LPVOID* ppv);
