// The one libjpeg decode the tests and the benchmarks compare our JPEG loader with: libjpeg's own
// pixels for a file in memory. No GoogleTest here, so the benchmarks link it too (library
// tarn_samples).
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace samples {

// What libjpeg decodes to.
enum class JpegColour {
    Rgb,    // red, green, blue bytes
    Rgb565, // 16-bit 5-6-5 pixels, not dithered
    Stored, // the file's own components as stored (four for CMYK, ink inverted as written)
};

struct JpegPixels {
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
    // Rows top first, width * bytesPerPixel bytes each, nothing between them. Not cleared before
    // the decode, so a timed decode pays for no extra pass.
    std::unique_ptr<unsigned char[]> pixels;

    const unsigned char* Row(int y) const {
        return pixels.get() + static_cast<size_t>(y) * width * bytesPerPixel;
    }
};

// libjpeg's decode of `file` into `out`; false (and `out` empty) when libjpeg reports an error.
bool ReadJpeg(const std::vector<unsigned char>& file, JpegColour colour, JpegPixels* out);

} // namespace samples
