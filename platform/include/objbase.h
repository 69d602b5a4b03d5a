// The COM base library as far as the library uses it: streams over global memory blocks
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
