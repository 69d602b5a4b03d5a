// What the stand-in's streams share: reading a whole stream into memory, as the picture loader
// and the imaging component's decoders do before they parse a file, and where a seek starts.
#pragma once

#include <objidl.h>

#include <cstddef>
#include <cstdint>

namespace tarn::platform {

// Reads `wanted` bytes (0: to the end) from the stream's position into a new std::malloc block
// (*data, *size); the stream's own failure code, or E_OUTOFMEMORY, on failure.
HRESULT ReadStream(IStream* stream, LONG wanted, uint8_t** data, size_t* size);

// Where a seek from `origin` (STREAM_SEEK_SET, _CUR or _END) starts in a stream at `position`
// of `size` bytes; false for any other origin.
bool SeekStart(DWORD origin, ULONGLONG position, ULONGLONG size, LONGLONG* start);

} // namespace tarn::platform
