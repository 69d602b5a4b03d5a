// The catalogue of sample picture files: one valid file per variant that a decoder reads,
// small enough that a test can cut it at every length, plus the header maps that say where
// each format keeps its fields.
#include "support/SampleFiles.h"

#include "image/TarnImage.h"
#include "support/JpegWriter.h"

#include <cstdio>

namespace fixtures {

namespace {

// A picture with every channel varying along both axes, so a shifted row or a swapped channel
// shows. 0xAARRGGBB, top row first.
std::vector<uint32_t> Pattern(int width, int height) {
    std::vector<uint32_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.push_back(0xFF000000u | ((x * 37 + y * 11) & 0xFFu) << 16 |
                          ((x * 5 + y * 53) & 0xFFu) << 8 | ((x * 91 ^ y * 7) & 0xFFu));
    return out;
}

std::vector<uint32_t> Indices(int width, int height, int colours) {
    std::vector<uint32_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.push_back(static_cast<uint32_t>((x + 3 * y) % colours));
    return out;
}

std::vector<uint32_t> Palette(int colours) {
    std::vector<uint32_t> out;
    for (int i = 0; i < colours; ++i)
        out.push_back(static_cast<uint32_t>((i * 47) & 0xFF) << 16 |
                      static_cast<uint32_t>((i * 89) & 0xFF) << 8 | static_cast<uint32_t>(255 - i));
    return out;
}

// Run-length BMP rows (8 or 4 bits), bottom row first: runs of equal indices, an end of line
// after each row, a delta over the last row's first pixels, and the end of the bitmap.
Bytes BmpRle(int width, int height, int bits, const std::vector<uint32_t>& values) {
    Bytes out;
    for (int r = 0; r < height; ++r) {
        const int y = height - 1 - r;
        int x = 0;
        if (r == height - 1 && width > 2) { // skip two pixels of the top row with a delta
            out.insert(out.end(), {0, 2, 2, 0});
            x = 2;
        }
        while (x < width) {
            int run = 1;
            const uint32_t v = values[static_cast<size_t>(y) * width + x];
            while (x + run < width && run < 255 &&
                   values[static_cast<size_t>(y) * width + x + run] == v)
                ++run;
            out.push_back(static_cast<unsigned char>(run));
            out.push_back(static_cast<unsigned char>(bits == 4 ? (v << 4 | v) : v));
            x += run;
        }
        out.insert(out.end(), {0, 0});
    }
    out.insert(out.end(), {0, 1});
    return out;
}

SampleFile Bmp(const std::string& name, int width, int height, int bits, uint32_t compression = 0,
               uint32_t headerSize = 40, bool topDown = false) {
    BmpFile f;
    f.width = width;
    f.height = topDown ? -height : height;
    f.bits = bits;
    f.compression = compression;
    f.headerSize = headerSize;
    if (bits <= 8) {
        const int colours = 1 << bits;
        f.colours = Palette(colours);
        const std::vector<uint32_t> values = Indices(width, height, colours);
        f.pixels = compression ? BmpRle(width, height, bits, values)
                               : PackBmpRows(width, height, bits, values, topDown);
    } else {
        std::vector<uint32_t> values = Pattern(width, height);
        if (bits == 16)
            for (uint32_t& v : values)
                v = compression ? ((v >> 8) & 0xF800) | ((v >> 5) & 0x07E0) | ((v >> 3) & 0x1F)
                                : ((v >> 9) & 0x7C00) | ((v >> 6) & 0x03E0) | ((v >> 3) & 0x1F);
        if (compression == 3)
            f.masks = bits == 16 ? std::vector<uint32_t>{0xF800, 0x07E0, 0x001F}
                                 : std::vector<uint32_t>{0xFF0000, 0xFF00, 0xFF};
        f.pixels = PackBmpRows(width, height, bits, values, topDown);
    }
    return {name, IMAGE_BMP, width, height, f.Build(), {}};
}

// TGA pixels as stored: indices or grey bytes for 8 bits, else little-endian colour values.
Bytes TgaPixel(uint32_t argb, int depth) {
    Bytes out;
    if (depth == 16) {
        Put16(out, ((argb >> 9) & 0x7C00) | ((argb >> 6) & 0x03E0) | ((argb >> 3) & 0x1F) | 0x8000);
    } else {
        out = {static_cast<unsigned char>(argb), static_cast<unsigned char>(argb >> 8),
               static_cast<unsigned char>(argb >> 16)};
        if (depth == 32) out.push_back(static_cast<unsigned char>(argb >> 24));
    }
    return out;
}

// Run-length TGA packets over the whole pixel stream, so packets cross rows.
Bytes TgaRle(const std::vector<Bytes>& pixels) {
    Bytes out;
    for (size_t i = 0; i < pixels.size();) {
        size_t run = 1;
        while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i]) ++run;
        if (run > 1) {
            out.push_back(static_cast<unsigned char>(0x80 | (run - 1)));
            out.insert(out.end(), pixels[i].begin(), pixels[i].end());
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < pixels.size() && raw < 128 &&
               (i + raw + 1 >= pixels.size() || pixels[i + raw + 1] != pixels[i + raw]))
            ++raw;
        out.push_back(static_cast<unsigned char>(raw - 1));
        for (size_t k = 0; k < raw; ++k)
            out.insert(out.end(), pixels[i + k].begin(), pixels[i + k].end());
        i += raw;
    }
    return out;
}

SampleFile Tga(const std::string& name, int type, int depth, int width, int height,
               bool topDown = false) {
    TgaFile f;
    f.type = type;
    f.depth = depth;
    f.width = width;
    f.height = height;
    f.descriptor = topDown ? 0x20 : 0;
    f.id = {'t', 'a', 'r', 'n'};
    const bool mapped = type == 1 || type == 9;
    const bool grey = type == 3 || type == 11;
    std::vector<Bytes> stored;
    if (mapped || grey) {
        for (uint32_t v : Indices(width, height, mapped ? 12 : 256))
            stored.push_back({static_cast<unsigned char>(mapped ? v + 4 : v)});
        if (mapped) { // 12 entries of 24 bits, the first index being 4
            f.mapType = 1;
            f.mapFirst = 4;
            f.mapLength = 12;
            f.mapEntrySize = 24;
            for (uint32_t c : Palette(12)) {
                Bytes e = TgaPixel(c, 24);
                f.colourMap.insert(f.colourMap.end(), e.begin(), e.end());
            }
        }
    } else {
        for (uint32_t v : Pattern(width, height)) stored.push_back(TgaPixel(v, depth));
        // Repeats, so the run-length files hold runs as well as raw packets.
        for (size_t i = 3; i + 1 < stored.size(); i += 5) stored[i + 1] = stored[i];
    }
    if (type >= 9) {
        f.pixels = TgaRle(stored);
    } else {
        for (const Bytes& p : stored) f.pixels.insert(f.pixels.end(), p.begin(), p.end());
    }
    return {name, IMAGE_TGA, width, height, f.Build(), {}};
}

SampleFile Pcx(const std::string& name, int width, int height, bool trueColour) {
    PcxFile f;
    f.xmax = width - 1;
    f.ymax = height - 1;
    f.bytesPerLine = width + (width & 1);
    f.planes = trueColour ? 3 : 1;
    const std::vector<uint32_t> values =
        trueColour ? Pattern(width, height) : Indices(width, height, 256);
    for (int y = 0; y < height; ++y)
        for (int plane = 0; plane < f.planes; ++plane) {
            Bytes line(static_cast<size_t>(f.bytesPerLine), 0);
            for (int x = 0; x < width; ++x) {
                const uint32_t v = values[static_cast<size_t>(y) * width + x];
                line[x] = static_cast<unsigned char>(trueColour ? v >> (16 - 8 * plane) : v);
            }
            Bytes codes = EncodePcxLine(line);
            f.encoded.insert(f.encoded.end(), codes.begin(), codes.end());
        }
    if (!trueColour) f.palette = Palette(256);
    return {name, IMAGE_PCX, width, height, f.Build(), {}};
}

// PackBits of one row: runs of three or more as repeats, the rest as literals.
Bytes PackBits(const unsigned char* row, size_t count) {
    Bytes out;
    for (size_t i = 0; i < count;) {
        size_t run = 1;
        while (i + run < count && run < 128 && row[i + run] == row[i]) ++run;
        if (run >= 3) {
            out.push_back(static_cast<unsigned char>(257 - run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        size_t literal = 0;
        while (i + literal < count && literal < 128 &&
               !(i + literal + 2 < count && row[i + literal] == row[i + literal + 1] &&
                 row[i + literal] == row[i + literal + 2]))
            ++literal;
        if (literal == 0) literal = 1;
        out.push_back(static_cast<unsigned char>(literal - 1));
        out.insert(out.end(), row + i, row + i + literal);
        i += literal;
    }
    return out;
}

SampleFile Psd(const std::string& name, int width, int height, int channels, bool packBits,
               bool layers = false) {
    PsdFile f;
    f.channels = channels;
    f.width = static_cast<uint32_t>(width);
    f.height = static_cast<uint32_t>(height);
    f.resources = {'8', 'B', 'I', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
    if (layers) f.layers = Bytes(18, 0x42);
    std::vector<uint32_t> argb = Pattern(width, height);
    for (size_t i = 0; i < argb.size(); ++i)
        argb[i] = (argb[i] & 0xFFFFFF) | static_cast<uint32_t>(i * 13 & 0xFF) << 24;
    for (size_t i = 2; i + 3 < argb.size(); i += 7) argb[i + 1] = argb[i + 2] = argb[i]; // runs
    const Bytes planes = PsdRawPlanes(argb, channels);
    if (!packBits) {
        f.data = planes;
    } else {
        f.compression = 1;
        Bytes counts, rows;
        for (int row = 0; row < channels * height; ++row) {
            Bytes packed = PackBits(planes.data() + static_cast<size_t>(row) * width, width);
            Put16BE(counts, static_cast<unsigned>(packed.size()));
            rows.insert(rows.end(), packed.begin(), packed.end());
        }
        f.data = counts;
        f.data.insert(f.data.end(), rows.begin(), rows.end());
    }
    return {name, IMAGE_PSD, width, height, f.Build(), {}};
}

} // namespace

Bytes EncodeJpeg(int width, int height, bool progressive, bool grey) {
    const std::vector<uint32_t> pattern = Pattern(width, height);
    samples::JpegOptions options;
    options.quality = 85;
    options.progressive = progressive;
    return samples::WriteJpeg(
        width, height, grey ? 1 : 3,
        [&](int y, unsigned char* row) {
            for (int x = 0; x < width; ++x) {
                const uint32_t v = pattern[static_cast<size_t>(y) * width + x];
                if (grey) {
                    row[x] = static_cast<unsigned char>(v >> 8);
                } else {
                    row[3 * x] = static_cast<unsigned char>(v >> 16);
                    row[3 * x + 1] = static_cast<unsigned char>(v >> 8);
                    row[3 * x + 2] = static_cast<unsigned char>(v);
                }
            }
        },
        options);
}

std::vector<size_t> HeaderFieldOffsets(int format, const Bytes& file) {
    std::vector<size_t> at;
    auto range = [&](size_t first, size_t last) {
        for (size_t i = first; i <= last; ++i)
            if (i < file.size()) at.push_back(i);
    };
    switch (format) {
    case IMAGE_BMP: // file size, pixel offset, header size, width, height, planes, bits,
                    // compression, image size, colours used, masks
        range(2, 5);
        range(10, 37);
        range(46, 49);
        range(54, 65);
        break;
    case IMAGE_TGA: // id length, map and image type, colour map fields, origin, size, depth,
                    // descriptor
        range(0, 17);
        break;
    case IMAGE_PCX: // version, encoding, bits, window, planes, bytes per line, palette marker
        range(0, 11);
        range(64, 67);
        if (file.size() >= 769) at.push_back(file.size() - 769);
        break;
    case IMAGE_PSD: { // version, channels, height, width, depth, mode, section lengths,
                      // compression, the first row counts
        range(4, 5);
        range(12, 25);
        size_t pos = 26;
        for (int section = 0; section < 3 && pos + 4 <= file.size(); ++section) {
            range(pos, pos + 3);
            const size_t length = static_cast<size_t>(file[pos]) << 24 | file[pos + 1] << 16 |
                                  file[pos + 2] << 8 | file[pos + 3];
            pos += 4 + length;
        }
        range(pos, pos + 5);
        break;
    }
    case IMAGE_JPG: // every segment's length; the frame header's precision, size, components
                    // and sampling factors
        range(0, 3);
        for (size_t pos = 2; pos + 3 < file.size();) {
            if (file[pos] != 0xFF) break;
            const int marker = file[pos + 1];
            const size_t length = static_cast<size_t>(file[pos + 2]) << 8 | file[pos + 3];
            range(pos + 1, pos + 3);
            if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) range(pos + 4, pos + 18);
            if (marker == 0xDA) {
                range(pos + 4, pos + 9);
                break;
            }
            pos += 2 + length;
        }
        break;
    default:
        break;
    }
    return at;
}

SampleFile SampleOfSize(int format, int width, int height) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    switch (format) {
    case IMAGE_BMP:
        return Bmp("bmp_rle8_" + size, width, height, 8, 1);
    case IMAGE_TGA:
        return Tga("tga_rle_32bit_" + size, 10, 32, width, height);
    case IMAGE_PCX:
        return Pcx("pcx_24bit_" + size, width, height, true);
    case IMAGE_PSD:
        return Psd("psd_rgba_packbits_" + size, width, height, 4, true);
    default: {
        SampleFile jpeg{"jpg_progressive_" + size,
                        IMAGE_JPG,
                        width,
                        height,
                        EncodeJpeg(width, height, true, false),
                        {}};
        jpeg.headerFields = HeaderFieldOffsets(IMAGE_JPG, jpeg.bytes);
        return jpeg;
    }
    }
}

std::vector<SampleFile> SampleFiles() {
    std::vector<SampleFile> out = {
        Bmp("bmp_1bit_13x5", 13, 5, 1),
        Bmp("bmp_4bit_7x5", 7, 5, 4),
        Bmp("bmp_8bit_7x5", 7, 5, 8),
        Bmp("bmp_16bit_5x4", 5, 4, 16),
        Bmp("bmp_24bit_5x4", 5, 4, 24),
        Bmp("bmp_32bit_5x4", 5, 4, 32),
        Bmp("bmp_topdown_24bit_5x4", 5, 4, 24, 0, 40, true),
        Bmp("bmp_core_24bit_5x3", 5, 3, 24, 0, 12),
        Bmp("bmp_bitfields_565_6x3", 6, 3, 16, 3),
        Bmp("bmp_bitfields_32_v5_5x3", 5, 3, 32, 3, 124),
        Bmp("bmp_rle8_9x5", 9, 5, 8, 1),
        Bmp("bmp_rle4_9x5", 9, 5, 4, 2),
        Tga("tga_mapped_7x4", 1, 8, 7, 4),
        Tga("tga_16bit_5x3", 2, 16, 5, 3),
        Tga("tga_24bit_5x3", 2, 24, 5, 3),
        Tga("tga_32bit_topdown_5x3", 2, 32, 5, 3, true),
        Tga("tga_grey_6x3", 3, 8, 6, 3),
        Tga("tga_rle_mapped_7x4", 9, 8, 7, 4),
        Tga("tga_rle_24bit_7x4", 10, 24, 7, 4),
        Tga("tga_rle_32bit_7x4", 10, 32, 7, 4),
        Tga("tga_rle_grey_7x4", 11, 8, 7, 4),
        Pcx("pcx_256_9x4", 9, 4, false),
        Pcx("pcx_24bit_7x3", 7, 3, true),
        Psd("psd_rgb_raw_5x3", 5, 3, 3, false),
        Psd("psd_rgba_raw_5x3", 5, 3, 4, false, true),
        Psd("psd_rgb_packbits_9x4", 9, 4, 3, true),
        Psd("psd_5channels_packbits_9x4", 9, 4, 5, true),
        {"jpg_baseline_16x8", IMAGE_JPG, 16, 8, EncodeJpeg(16, 8, false, false), {}},
        {"jpg_progressive_9x7", IMAGE_JPG, 9, 7, EncodeJpeg(9, 7, true, false), {}},
        {"jpg_grey_8x8", IMAGE_JPG, 8, 8, EncodeJpeg(8, 8, false, true), {}},
    };
    for (SampleFile& sample : out)
        sample.headerFields = HeaderFieldOffsets(sample.format, sample.bytes);
    return out;
}

} // namespace fixtures
