// A catalogue of small, valid picture files of every format and of the variants each decoder
// reads (bit depths, run-length and raw data, colour maps, top-down rows, planes, channels),
// built with the fixture writers of ImageFixtures. The hostile-file tests cut and flip them;
// the fuzzers take them as their seed corpora. Each entry lists the offsets of its header
// fields, where a flipped byte changes how the decoder reads the rest.
#pragma once

#include "support/ImageFixtures.h"

#include <string>
#include <vector>

namespace fixtures {

struct SampleFile {
    std::string name; // unique, usable as a file name: "bmp_rle8_7x5"
    int format = 0;   // the format code DetectFormat gives it
    int width = 0;    // the picture it holds
    int height = 0;
    Bytes bytes;
    std::vector<size_t> headerFields; // offsets worth flipping
};

// Every sample, in format order (BMP, TGA, PCX, PSD, JPEG).
std::vector<SampleFile> SampleFiles();

// One larger sample of a format, of the given size: 8-bit run-length BMP, run-length 32-bit
// TGA, 24-bit PCX, PackBits PSD with four channels, progressive JPEG.
SampleFile SampleOfSize(int format, int width, int height);

// A JPEG of `width` x `height` (libjpeg, quality 85): baseline or progressive, colour or grey.
Bytes EncodeJpeg(int width, int height, bool progressive, bool grey);

// Offsets of the header fields of any picture file of the five formats (by its detected
// format; for JPEG the frame header's precision, size and component count).
std::vector<size_t> HeaderFieldOffsets(int format, const Bytes& file);

} // namespace fixtures
