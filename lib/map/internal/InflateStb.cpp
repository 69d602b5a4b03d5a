// The map readers' inflaters where libdeflate is not linked (the browser, Windows): stb_image's
// zlib inflater, compiled here with its functions kept private to this file. zstd has none there.
#include "map/internal/MapReader.h"

#include "map/internal/StbInflate.h"

#include <climits>

namespace tarn::map {

// One inflate: `header` for a zlib stream, else raw deflate. The output must fill `outSize`;
// one byte more is asked for so that a longer stream shows.
static bool Inflate(bool header, const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize,
                    std::string* why) {
    if (inSize > INT_MAX || outSize >= INT_MAX) {
        *why = "is too large";
        return false;
    }
    std::string room(outSize + 1, '\0');
    const char* src = reinterpret_cast<const char*>(in);
    const int got =
        header ? stbi_zlib_decode_buffer(room.data(), int(room.size()), src, int(inSize))
               : stbi_zlib_decode_noheader_buffer(room.data(), int(room.size()), src, int(inSize));
    if (got < 0) {
        *why = "is damaged or holds more cells than the layer's size";
        return false;
    }
    if (size_t(got) != outSize) {
        *why = "holds " + std::to_string(got / 4) + " cells, the layer's size needs " +
               std::to_string(outSize / 4);
        return false;
    }
    for (size_t i = 0; i < outSize; ++i) out[i] = uint8_t(room[i]);
    return true;
}

bool InflateZlib(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, std::string* why) {
    return Inflate(true, in, inSize, out, outSize, why);
}

// A gzip member: its header (RFC 1952) is stepped over, the deflate stream after it inflated.
bool InflateGzip(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, std::string* why) {
    *why = "is damaged";
    if (inSize < 18 || in[0] != 0x1F || in[1] != 0x8B || in[2] != 8) return false;
    const uint8_t flags = in[3];
    size_t at = 10;
    if (flags & 4) { // extra field
        if (at + 2 > inSize) return false;
        at += 2 + (in[at] | size_t(in[at + 1]) << 8);
    }
    for (int bit : {8, 16}) // name, comment: zero-terminated
        if (flags & bit) {
            while (at < inSize && in[at]) ++at;
            ++at;
        }
    if (flags & 2) at += 2; // header CRC
    if (at + 8 > inSize) return false;
    return Inflate(false, in + at, inSize - at - 8, out, outSize, why);
}

bool InflateZstd(const uint8_t*, size_t, uint8_t*, size_t, std::string* why) {
    *why = "cannot be read: zstd is not in this build";
    return false;
}

} // namespace tarn::map
