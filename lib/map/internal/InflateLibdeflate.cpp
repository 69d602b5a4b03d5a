// The map readers' inflaters on Linux: libdeflate for zlib and gzip (the library already links
// it for PNG; it inflates into a buffer of the size the layer must have, which is exactly what a
// tile layer needs) and libzstd for zstd.
#include "map/internal/MapReader.h"

#include <libdeflate.h>
#include <zstd.h>
#include <zstd_errors.h>

namespace tarn::map {

// One inflate through libdeflate, `zlib` or gzip framing; the output must fill `outSize`.
static bool Inflate(bool zlib, const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize,
                    std::string* why) {
    // One decompressor per thread, made at its first use and kept: a map has many layers.
    struct Kept {
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        ~Kept() { libdeflate_free_decompressor(d); }
    };
    thread_local Kept kept;
    libdeflate_decompressor* d = kept.d;
    if (!d) {
        *why = "cannot be inflated (out of memory)";
        return false;
    }
    size_t got = 0;
    const libdeflate_result r = zlib
                                    ? libdeflate_zlib_decompress(d, in, inSize, out, outSize, &got)
                                    : libdeflate_gzip_decompress(d, in, inSize, out, outSize, &got);
    if (r == LIBDEFLATE_INSUFFICIENT_SPACE) {
        *why = "holds more cells than the layer's size";
        return false;
    }
    if (r != LIBDEFLATE_SUCCESS) {
        *why = "is damaged";
        return false;
    }
    if (got != outSize) {
        *why = "holds " + std::to_string(got / 4) + " cells, the layer's size needs " +
               std::to_string(outSize / 4);
        return false;
    }
    return true;
}

bool InflateZlib(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, std::string* why) {
    return Inflate(true, in, inSize, out, outSize, why);
}

bool InflateGzip(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, std::string* why) {
    return Inflate(false, in, inSize, out, outSize, why);
}

bool InflateZstd(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, std::string* why) {
    const size_t got = ZSTD_decompress(out, outSize, in, inSize);
    if (ZSTD_isError(got)) {
        *why = ZSTD_getErrorCode(got) == ZSTD_error_dstSize_tooSmall
                   ? "holds more cells than the layer's size"
                   : "is damaged";
        return false;
    }
    if (got != outSize) {
        *why = "holds " + std::to_string(got / 4) + " cells, the layer's size needs " +
               std::to_string(outSize / 4);
        return false;
    }
    return true;
}

} // namespace tarn::map
