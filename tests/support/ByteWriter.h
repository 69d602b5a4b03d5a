// Little- and big-endian appenders for the sample-file writers of the tests and the
// benchmarks. Header only, so the Windows test build needs no extra source for them.
#pragma once

#include <cstdint>
#include <vector>

namespace samples {

using Bytes = std::vector<unsigned char>;

inline void Put16(Bytes& out, unsigned v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}
inline void Put32(Bytes& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
inline void Put16BE(Bytes& out, unsigned v) {
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v));
}
inline void Put32BE(Bytes& out, uint32_t v) {
    Put16BE(out, v >> 16);
    Put16BE(out, v & 0xFFFF);
}

} // namespace samples
