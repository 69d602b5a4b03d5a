// Reading a whole stream into memory (the stream's statistics size the block when the stream
// offers them; otherwise it grows as the bytes come), and where a seek starts.
#include "ole/ReadStream.h"

#include <cstdlib>

namespace tarn::platform {
namespace {

constexpr ULONG READ_CHUNK = 64 * 1024;
constexpr size_t MAX_FILE_BYTES = 0x7fffffff;

} // namespace

HRESULT ReadStream(IStream* stream, LONG wanted, uint8_t** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    size_t limit = wanted > 0 ? (size_t)wanted : MAX_FILE_BYTES;
    size_t capacity = READ_CHUNK;
    STATSTG stat;
    ULARGE_INTEGER here;
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) &&
        SUCCEEDED(stream->Seek(zero, STREAM_SEEK_CUR, &here))) {
        ULONGLONG left =
            stat.cbSize.QuadPart > here.QuadPart ? stat.cbSize.QuadPart - here.QuadPart : 0;
        if (left < limit) limit = (size_t)left;
        capacity = limit;
    }
    if (capacity > limit) capacity = limit;
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(capacity ? capacity : 1));
    if (!buffer) return E_OUTOFMEMORY;
    size_t filled = 0;
    while (filled < limit) {
        if (filled == capacity) {
            size_t grown = capacity * 2 < limit ? capacity * 2 : limit;
            uint8_t* bigger = static_cast<uint8_t*>(std::realloc(buffer, grown));
            if (!bigger) {
                std::free(buffer);
                return E_OUTOFMEMORY;
            }
            buffer = bigger;
            capacity = grown;
        }
        size_t room = capacity - filled;
        ULONG ask = room > READ_CHUNK * 16 ? READ_CHUNK * 16 : (ULONG)room, got = 0;
        HRESULT hr = stream->Read(buffer + filled, ask, &got);
        if (FAILED(hr)) {
            std::free(buffer);
            return hr;
        }
        if (got == 0) break;
        filled += got > ask ? ask : got;
    }
    *data = buffer;
    *size = filled;
    return S_OK;
}

bool SeekStart(DWORD origin, ULONGLONG position, ULONGLONG size, LONGLONG* start) {
    switch (origin) {
    case STREAM_SEEK_SET:
        *start = 0;
        return true;
    case STREAM_SEEK_CUR:
        *start = (LONGLONG)position;
        return true;
    case STREAM_SEEK_END:
        *start = (LONGLONG)size;
        return true;
    default:
        return false;
    }
}

} // namespace tarn::platform
