// The imaging factory's stream (IWICStream) over the caller's memory: InitializeFromMemory makes
// it read and write those bytes in place, so a picture already in memory reaches the decoder
// without a copy. The stream never grows past the buffer (a write beyond it is
// STG_E_MEDIUMFULL); the other ways to initialise it are not provided. The stand-in's decoder
// reads such a stream's bytes where they are (MemoryStreamSpan) and holds the stream meanwhile.
#include "wincodec/Codecs.h"
#include "internal/ComObject.h"
#include "ole/ReadStream.h"

#include <cstring>
#include <new>

const IID IID_IWICStream = {
    0x135ff860, 0x22b7, 0x4ddf, {0xb0, 0xf6, 0x21, 0x8f, 0x4f, 0x29, 0x9a, 0x43}};

namespace tarn::platform {
namespace {

class MemoryStream final : public ComObject<IWICStream, "IWICStream"> {
public:
    MemoryStream()
        : ComObject("imaging", {&IID_IWICStream, &IID_IStream, &IID_ISequentialStream}) {}

    // The bytes from the seek position to the end; false before InitializeFromMemory.
    bool Rest(const uint8_t** data, size_t* size) const {
        if (!buffer) return false;
        *data = buffer + position;
        *size = length - position;
        return true;
    }

    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (HRESULT hr; Entered<"Read">(&hr)) return hr;
        if (pcbRead) *pcbRead = 0;
        if (!pv) return STG_E_INVALIDPOINTER;
        if (!buffer) return WINCODEC_ERR_NOTINITIALIZED;
        const ULONG count = cb < length - position ? cb : (ULONG)(length - position);
        std::memcpy(pv, buffer + position, count);
        position += count;
        if (pcbRead) *pcbRead = count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        if (HRESULT hr; Entered<"Write">(&hr)) return hr;
        if (pcbWritten) *pcbWritten = 0;
        if (!pv) return STG_E_INVALIDPOINTER;
        if (!buffer) return WINCODEC_ERR_NOTINITIALIZED;
        if (cb > length - position) return STG_E_MEDIUMFULL;
        std::memcpy(buffer + position, pv, cb);
        position += cb;
        if (pcbWritten) *pcbWritten = cb;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* newPosition) override {
        if (HRESULT hr; Entered<"Seek">(&hr)) return hr;
        if (!buffer) return WINCODEC_ERR_NOTINITIALIZED;
        LONGLONG from;
        if (!SeekStart(origin, position, length, &from)) return STG_E_INVALIDFUNCTION;
        // Within the buffer only: it cannot grow. The move is checked before it is added.
        if (move.QuadPart < -from || move.QuadPart > (LONGLONG)length - from) return E_INVALIDARG;
        position = (size_t)(from + move.QuadPart);
        if (newPosition) newPosition->QuadPart = position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override {
        return NotImplemented<"SetSize">();
    }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return NotImplemented<"CopyTo">();
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return Answer<"Commit">(S_OK); }
    HRESULT STDMETHODCALLTYPE Revert() override { return NotImplemented<"Revert">(); }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return NotImplemented<"LockRegion">();
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return NotImplemented<"UnlockRegion">();
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (HRESULT hr; Entered<"Stat">(&hr)) return hr;
        if (!stat) return STG_E_INVALIDPOINTER;
        if (!buffer) return WINCODEC_ERR_NOTINITIALIZED;
        std::memset(stat, 0, sizeof *stat);
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = length;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return NotImplemented<"Clone">(); }

    HRESULT STDMETHODCALLTYPE InitializeFromIStream(IStream*) override {
        return NotImplemented<"InitializeFromIStream">();
    }
    HRESULT STDMETHODCALLTYPE InitializeFromFilename(LPCWSTR, DWORD) override {
        return NotImplemented<"InitializeFromFilename">();
    }
    HRESULT STDMETHODCALLTYPE InitializeFromMemory(BYTE* data, DWORD size) override {
        if (HRESULT hr; Entered<"InitializeFromMemory">(&hr)) return hr;
        if (!data) return E_INVALIDARG;
        if (buffer) return WINCODEC_ERR_WRONGSTATE;
        buffer = data;
        length = size;
        position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InitializeFromIStreamRegion(IStream*, ULARGE_INTEGER,
                                                          ULARGE_INTEGER) override {
        return NotImplemented<"InitializeFromIStreamRegion">();
    }

private:
    BYTE* buffer = nullptr; // the caller's, not owned
    size_t length = 0;
    size_t position = 0;
};

} // namespace

HRESULT CreateMemoryStream(IWICStream** stream) {
    *stream = new (std::nothrow) MemoryStream();
    return *stream ? S_OK : E_OUTOFMEMORY;
}

bool MemoryStreamSpan(IStream* stream, const uint8_t** data, size_t* size) {
    const MemoryStream* memory = dynamic_cast<const MemoryStream*>(stream);
    return memory && memory->Rest(data, size);
}

} // namespace tarn::platform
