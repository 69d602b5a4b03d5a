// libFuzzer target for the PNG decoder's whole-buffer way against libpng's: every chunk
// checksum of the input is set right first (so mutations inside chunks reach the inflating and
// unfiltering rather than stop at the checksum check), then whatever file the whole-buffer way
// decodes, libpng must decode too, to the same pixels, in both row layouts. A file it leaves
// (S_FALSE) is libpng's alone and not compared.
#include "wincodec/Codecs.h"

#include <libdeflate.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using tarn::platform::PngRows;

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Rewrites the checksum of every chunk that lies wholly inside the data.
void RepairChecksums(std::vector<uint8_t>& file) {
    size_t at = 8;
    while (file.size() - at >= 12) {
        const uint32_t length = BigEndian32(&file[at]);
        if (length > file.size() - at - 12) return;
        const uint32_t crc = libdeflate_crc32(0, &file[at + 4], size_t{length} + 4);
        for (int i = 0; i < 4; ++i)
            file[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        at += size_t{length} + 12;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 33) return 0;
    std::vector<uint8_t> file(data, data + size);
    RepairChecksums(file);
    // The picture's size from the header chunk; large ones are not worth the fuzzer's time.
    const uint32_t width = BigEndian32(&file[16]), height = BigEndian32(&file[20]);
    if (width == 0 || height == 0 || uint64_t{width} * height > (1u << 20)) return 0;
    for (PngRows layout : {PngRows::Bgr24, PngRows::Bgra32}) {
        const size_t row = size_t{width} * (layout == PngRows::Bgr24 ? 3 : 4);
        std::vector<uint8_t> quick(row * height), libpng(row * height);
        std::vector<uint8_t*> quickRows(height), libpngRows(height);
        for (uint32_t y = 0; y < height; ++y) {
            quickRows[y] = quick.data() + row * y;
            libpngRows[y] = libpng.data() + row * y;
        }
        if (tarn::platform::DecodePngWhole(file.data(), file.size(), layout, quickRows.data()) !=
            S_OK)
            return 0;
        const HRESULT hr = tarn::platform::DecodePngWithLibpng(file.data(), file.size(), layout,
                                                               libpngRows.data());
        if (hr != S_OK || quick != libpng) {
            std::fprintf(stderr, "fuzz_png_whole: the whole-buffer way %s libpng (0x%08lx)\n",
                         hr != S_OK ? "decoded a file refused by" : "differs from",
                         static_cast<unsigned long>(hr));
            std::abort();
        }
    }
    return 0;
}
