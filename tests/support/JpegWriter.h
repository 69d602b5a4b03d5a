// The one JPEG writer the tests, the benchmarks and the fuzz seeds share: libjpeg compressing
// rows a caller fills into a file in memory. No GoogleTest here, so the benchmarks link it too
// (library tarn_samples).
#pragma once

#include <functional>
#include <vector>

namespace samples {

using Bytes = std::vector<unsigned char>;

struct JpegOptions {
    int quality = 85;
    bool progressive = false;
    // Sampling factor of the luminance (1 = 4:4:4, 2 = 4:2:0); 0 keeps libjpeg's default.
    int lumaSampling = 0;
    // An Exif segment (an empty little-endian TIFF directory) in place of the JFIF one.
    bool exif = false;
};

// Fills `row` (width * components samples) with picture row `y`; rows come top to bottom,
// each once.
using JpegRowFiller = std::function<void(int y, unsigned char* row)>;

// A JPEG of `width` x `height` with 1 (grey) or 3 (RGB) components. Empty when the size or
// the component count is not one libjpeg takes.
Bytes WriteJpeg(int width, int height, int components, const JpegRowFiller& fillRow,
                const JpegOptions& options = {});

} // namespace samples
