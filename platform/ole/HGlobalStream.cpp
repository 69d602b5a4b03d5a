// Streams over global memory blocks: CreateStreamOnHGlobal and GetHGlobalFromStream. A stream
// reads and writes the bytes of a GlobalAlloc block through a seek pointer; its size starts as
// the block's size and grows (the block is reallocated) when a write or SetSize goes past it.
// Clones share the block and the size but have their own seek pointer; the block is freed with
// the last stream on it when the creator asked for fDeleteOnRelease.
#include <objbase.h>
#include <windows.h>

#include "internal/ComObject.h"
#include "ole/ReadStream.h"

#include <algorithm>
#include <cstring>
#include <new>

const IID IID_ISequentialStream = {
    0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
const IID IID_IStream = {
    0x0000000c, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace tarn::platform {
namespace {

// Streams never grow beyond this; a 32-bit program could not hold more in one block either.
constexpr ULONGLONG MAX_STREAM_SIZE = 0x7fffffffULL;

// The block and the logical size, shared by a stream and its clones.
struct SharedBlock {
    ULONG refs = 1;
    HGLOBAL block = nullptr;
    bool deleteOnRelease = false;
    ULONGLONG size = 0;

    void AddRef() { ++refs; }
    void Release() {
        if (--refs == 0) {
            if (deleteOnRelease && block) GlobalFree(block);
            delete this;
        }
    }
};

class HGlobalStream final : public ComObject<IStream, "IStream"> {
public:
    explicit HGlobalStream(SharedBlock* shared)
        : ComObject("stream", {&IID_ISequentialStream, &IID_IStream}), shared(shared) {}
    ~HGlobalStream() override { shared->Release(); }

    SharedBlock* Shared() const { return shared; }

    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (HRESULT hr; Entered<"Read">(&hr)) return hr;
        if (pcbRead) *pcbRead = 0;
        if (!pv) return STG_E_INVALIDPOINTER;
        ULONG count = 0;
        if (position < shared->size)
            count = (ULONG)std::min<ULONGLONG>(cb, shared->size - position);
        if (count > 0) {
            const BYTE* base = static_cast<const BYTE*>(GlobalLock(shared->block));
            if (!base) return STG_E_READFAULT;
            std::memcpy(pv, base + position, count);
            GlobalUnlock(shared->block);
            position += count;
        }
        if (pcbRead) *pcbRead = count;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        if (HRESULT hr; Entered<"Write">(&hr)) return hr;
        if (pcbWritten) *pcbWritten = 0;
        if (!pv) return STG_E_INVALIDPOINTER;
        if (cb == 0) return S_OK;
        ULONGLONG end = position + cb;
        if (end > shared->size) {
            HRESULT hr = Resize(end);
            if (FAILED(hr)) return hr;
        }
        BYTE* base = static_cast<BYTE*>(GlobalLock(shared->block));
        if (!base) return STG_E_MEDIUMFULL;
        std::memcpy(base + position, pv, cb);
        GlobalUnlock(shared->block);
        position = end;
        if (pcbWritten) *pcbWritten = cb;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                   ULARGE_INTEGER* plibNewPosition) override {
        if (HRESULT hr; Entered<"Seek">(&hr)) return hr;
        LONGLONG origin;
        if (!SeekStart(dwOrigin, position, shared->size, &origin)) return STG_E_INVALIDFUNCTION;
        // Positions past the end are allowed (a later write grows the stream); before the
        // start and beyond the largest stream are not. The move is checked before it is added,
        // so no distance can overflow the sum (the origin is never beyond the largest stream).
        if (dlibMove.QuadPart > (LONGLONG)MAX_STREAM_SIZE - origin) return STG_E_SEEKERROR;
        LONGLONG target = origin + dlibMove.QuadPart;
        if (target < 0) return STG_E_SEEKERROR;
        position = (ULONGLONG)target;
        if (plibNewPosition) plibNewPosition->QuadPart = position;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override {
        if (HRESULT hr; Entered<"SetSize">(&hr)) return hr;
        return Resize(libNewSize.QuadPart);
    }

    // Copies through a bounded buffer so any destination stream works, ours or another's.
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                     ULARGE_INTEGER* pcbWritten) override {
        if (HRESULT hr; Entered<"CopyTo">(&hr)) return hr;
        if (pcbRead) pcbRead->QuadPart = 0;
        if (pcbWritten) pcbWritten->QuadPart = 0;
        if (!pstm) return STG_E_INVALIDPOINTER;
        ULONGLONG left = cb.QuadPart, readTotal = 0, writtenTotal = 0;
        BYTE buffer[4096];
        HRESULT hr = S_OK;
        while (left > 0) {
            ULONG chunk = (ULONG)std::min<ULONGLONG>(left, sizeof buffer), got = 0, put = 0;
            hr = Read(buffer, chunk, &got);
            if (FAILED(hr) || got == 0) break;
            readTotal += got;
            hr = pstm->Write(buffer, got, &put);
            writtenTotal += put;
            if (FAILED(hr) || put != got) break;
            left -= got;
        }
        if (pcbRead) pcbRead->QuadPart = readTotal;
        if (pcbWritten) pcbWritten->QuadPart = writtenTotal;
        return FAILED(hr) ? hr : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Commit(DWORD) override {
        if (HRESULT hr; Entered<"Commit">(&hr)) return hr;
        return S_OK; // memory streams are always committed
    }
    HRESULT STDMETHODCALLTYPE Revert() override {
        if (HRESULT hr; Entered<"Revert">(&hr)) return hr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        if (HRESULT hr; Entered<"LockRegion">(&hr)) return hr;
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        if (HRESULT hr; Entered<"UnlockRegion">(&hr)) return hr;
        return STG_E_INVALIDFUNCTION;
    }

    HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
        if (HRESULT hr; Entered<"Stat">(&hr)) return hr;
        if (!pstatstg) return STG_E_INVALIDPOINTER;
        if (grfStatFlag > (STATFLAG_NONAME | STATFLAG_NOOPEN)) return STG_E_INVALIDFLAG;
        std::memset(pstatstg, 0, sizeof *pstatstg);
        pstatstg->pwcsName = nullptr; // memory streams have no name
        pstatstg->type = STGTY_STREAM;
        pstatstg->cbSize.QuadPart = shared->size;
        pstatstg->grfMode = STGM_READWRITE;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override {
        if (HRESULT hr; Entered<"Clone">(&hr)) return hr;
        if (!ppstm) return STG_E_INVALIDPOINTER;
        *ppstm = nullptr;
        HGlobalStream* clone = new (std::nothrow) HGlobalStream(shared);
        if (!clone) return E_OUTOFMEMORY;
        shared->AddRef();
        clone->position = position;
        *ppstm = clone;
        return S_OK;
    }

private:
    // Sets the logical size, growing the block when it is too small. Shrinking keeps the block.
    HRESULT Resize(ULONGLONG newSize) {
        if (newSize > MAX_STREAM_SIZE) return STG_E_MEDIUMFULL;
        SIZE_T capacity = GlobalSize(shared->block);
        if (newSize > capacity) {
            HGLOBAL grown = GlobalReAlloc(shared->block, (SIZE_T)newSize, GMEM_MOVEABLE);
            if (!grown) return E_OUTOFMEMORY;
            shared->block = grown;
        }
        shared->size = newSize;
        return S_OK;
    }

    SharedBlock* shared;
    ULONGLONG position = 0;
};

} // namespace
} // namespace tarn::platform

HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm) {
    using namespace tarn::platform;
    if (HRESULT hr; Enter<"CreateStreamOnHGlobal">(&hr)) return hr;
    if (!ppstm) return E_INVALIDARG;
    *ppstm = nullptr;
    bool ownBlock = false;
    if (!hGlobal) {
        hGlobal = GlobalAlloc(GMEM_MOVEABLE, 0);
        if (!hGlobal) return E_OUTOFMEMORY;
        ownBlock = true;
    }
    SharedBlock* shared = new (std::nothrow) SharedBlock;
    if (!shared) {
        if (ownBlock) GlobalFree(hGlobal);
        return E_OUTOFMEMORY;
    }
    shared->block = hGlobal;
    shared->deleteOnRelease = fDeleteOnRelease != FALSE;
    shared->size = ownBlock ? 0 : GlobalSize(hGlobal);
    HGlobalStream* stream = new (std::nothrow) HGlobalStream(shared);
    if (!stream) {
        shared->deleteOnRelease = ownBlock; // a caller's block stays the caller's on failure
        shared->Release();
        return E_OUTOFMEMORY;
    }
    *ppstm = stream;
    return S_OK;
}

HRESULT GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal) {
    using namespace tarn::platform;
    if (HRESULT hr; Enter<"GetHGlobalFromStream">(&hr)) return hr;
    if (!pstm || !phglobal) return E_INVALIDARG;
    // Only streams made by CreateStreamOnHGlobal have a block; the stand-in makes no others.
    HGlobalStream* stream = dynamic_cast<HGlobalStream*>(pstm);
    if (!stream) return E_INVALIDARG;
    *phglobal = stream->Shared()->block;
    return S_OK;
}
