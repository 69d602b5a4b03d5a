// Reading a whole stream into memory, as the picture loader and the imaging component's
// decoders do before they parse a file.
#pragma once

#include <objidl.h>

#include <cstddef>
#include <cstdint>

namespace tarn::platform {

// Reads `wanted` bytes (0: to the end) from the stream's position into a new std::malloc block
// (*data, *size); the stream's own failure code, or E_OUTOFMEMORY, on failure.
HRESULT ReadStream(IStream* stream, LONG wanted, uint8_t** data, size_t* size);

} // namespace tarn::platform
