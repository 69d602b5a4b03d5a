// Writers of small BMP, TGA, PCX and PSD files for tests and fuzz seeds, and the decoding
// fixture that reads a decoded surface back.
#include "support/ImageFixtures.h"

#include "image/TarnImage.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace fixtures {

static void Patch32(Bytes& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

Bytes BmpFile::Build() const {
    Bytes out = {'B', 'M'};
    Put32(out, 0); // file size, patched below
    Put32(out, 0);
    Put32(out, 0); // pixel offset, patched below
    if (headerSize == 12) {
        Put32(out, 12);
        Put16(out, static_cast<unsigned>(width));
        Put16(out, static_cast<unsigned>(height));
        Put16(out, 1);
        Put16(out, static_cast<unsigned>(bits));
    } else {
        Bytes header;
        Put32(header, headerSize);
        Put32(header, static_cast<uint32_t>(width));
        Put32(header, static_cast<uint32_t>(height));
        Put16(header, 1);
        Put16(header, static_cast<unsigned>(bits));
        Put32(header, compression);
        Put32(header, 0);
        Put32(header, 2835);
        Put32(header, 2835);
        Put32(header, clrUsed);
        Put32(header, 0);
        if (headerSize > 40)
            for (uint32_t m : masks) Put32(header, m);
        header.resize(headerSize, 0);
        out.insert(out.end(), header.begin(), header.end());
        if (headerSize == 40)
            for (uint32_t m : masks) Put32(out, m);
    }
    for (uint32_t c : colours) {
        out.push_back(static_cast<unsigned char>(c));       // blue
        out.push_back(static_cast<unsigned char>(c >> 8));  // green
        out.push_back(static_cast<unsigned char>(c >> 16)); // red
        if (headerSize != 12) out.push_back(0);
    }
    out.resize(out.size() + gapBeforePixels, 0);
    Patch32(out, 10, static_cast<uint32_t>(out.size()));
    out.insert(out.end(), pixels.begin(), pixels.end());
    Patch32(out, 2, static_cast<uint32_t>(out.size()));
    return out;
}

Bytes PackBmpRows(int width, int height, int bits, const std::vector<uint32_t>& values,
                  bool topDown) {
    const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    Bytes out(stride * height, 0);
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        unsigned char* row = out.data() + stride * r;
        for (int x = 0; x < width; ++x) {
            const uint32_t v = values[static_cast<size_t>(y) * width + x];
            switch (bits) {
            case 1:
                row[x / 8] |= static_cast<unsigned char>((v & 1) << (7 - x % 8));
                break;
            case 4:
                row[x / 2] |= static_cast<unsigned char>((v & 15) << (x % 2 ? 0 : 4));
                break;
            case 8:
                row[x] = static_cast<unsigned char>(v);
                break;
            case 16:
                row[2 * x] = static_cast<unsigned char>(v);
                row[2 * x + 1] = static_cast<unsigned char>(v >> 8);
                break;
            default: {
                const int n = bits / 8;
                row[n * x + 0] = static_cast<unsigned char>(v);
                row[n * x + 1] = static_cast<unsigned char>(v >> 8);
                row[n * x + 2] = static_cast<unsigned char>(v >> 16);
                break;
            }
            }
        }
    }
    return out;
}

Bytes TgaFile::Build() const {
    Bytes out;
    out.push_back(static_cast<unsigned char>(id.size()));
    out.push_back(static_cast<unsigned char>(mapType));
    out.push_back(static_cast<unsigned char>(type));
    Put16(out, static_cast<unsigned>(mapFirst));
    Put16(out, static_cast<unsigned>(mapLength));
    out.push_back(static_cast<unsigned char>(mapEntrySize));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<unsigned>(width));
    Put16(out, static_cast<unsigned>(height));
    out.push_back(static_cast<unsigned char>(depth));
    out.push_back(static_cast<unsigned char>(descriptor));
    out.insert(out.end(), id.begin(), id.end());
    out.insert(out.end(), colourMap.begin(), colourMap.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    if (footer) {
        Put32(out, 0); // extension area offset
        Put32(out, 0); // developer directory offset
        const char signature[] = "TRUEVISION-XFILE.";
        out.insert(out.end(), signature, signature + sizeof(signature)); // with its final zero
    }
    return out;
}

Bytes PcxFile::Build() const {
    Bytes out = {10, static_cast<unsigned char>(version), 1, static_cast<unsigned char>(planeBits)};
    Put16(out, static_cast<unsigned>(xmin));
    Put16(out, static_cast<unsigned>(ymin));
    Put16(out, static_cast<unsigned>(xmax));
    Put16(out, static_cast<unsigned>(ymax));
    Put16(out, 72);
    Put16(out, 72);
    out.resize(64, 0); // 16-colour palette
    out.push_back(0);
    out.push_back(static_cast<unsigned char>(planes));
    Put16(out, static_cast<unsigned>(bytesPerLine));
    Put16(out, 1);
    out.resize(128, 0);
    out.insert(out.end(), encoded.begin(), encoded.end());
    if (!palette.empty()) {
        out.push_back(static_cast<unsigned char>(marker));
        for (int i = 0; i < 256; ++i) {
            const uint32_t c = i < static_cast<int>(palette.size()) ? palette[i] : 0;
            out.push_back(static_cast<unsigned char>(c >> 16));
            out.push_back(static_cast<unsigned char>(c >> 8));
            out.push_back(static_cast<unsigned char>(c));
        }
    }
    return out;
}

Bytes EncodePcxLine(const Bytes& line) {
    Bytes out;
    for (size_t i = 0; i < line.size();) {
        size_t run = 1;
        while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
        if (run > 1 || (line[i] & 0xC0) == 0xC0)
            out.push_back(static_cast<unsigned char>(0xC0 | run));
        out.push_back(line[i]);
        i += run;
    }
    return out;
}

Bytes PsdFile::Build() const {
    Bytes out = {'8', 'B', 'P', 'S'};
    Put16BE(out, static_cast<unsigned>(version));
    out.resize(out.size() + 6, 0);
    Put16BE(out, static_cast<unsigned>(channels));
    Put32BE(out, height);
    Put32BE(out, width);
    Put16BE(out, static_cast<unsigned>(depth));
    Put16BE(out, static_cast<unsigned>(mode));
    for (const Bytes* section : {&colourModeData, &resources, &layers}) {
        Put32BE(out, static_cast<uint32_t>(section->size()));
        out.insert(out.end(), section->begin(), section->end());
    }
    Put16BE(out, static_cast<unsigned>(compression));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes PsdRawPlanes(const std::vector<uint32_t>& argb, int channels) {
    Bytes out;
    const int shifts[4] = {16, 8, 0, 24};
    for (int c = 0; c < channels; ++c)
        for (uint32_t p : argb)
            out.push_back(c < 4 ? static_cast<unsigned char>(p >> shifts[c]) : 0x7F);
    return out;
}

} // namespace fixtures

void ImageTest::SetUp() {
    HeadlessTest::SetUp();
    host->Config().desktopBits = 32;
    IDirectDraw* first = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
    ASSERT_EQ(first->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd)), S_OK);
    first->Release();
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
}

void ImageTest::TearDown() {
    if (dd) dd->Release();
    dd = nullptr;
    HeadlessTest::TearDown();
}

Decoded ImageTest::Load(const fixtures::Bytes& file, int format, BYTE placement) {
    TarnImage image;
    IDirectDrawSurface7* surface =
        image.LoadMemory(dd, static_cast<int>(file.size()), file.data(), placement, format);
    Decoded result = ReadBack(surface);
    if (surface) surface->Release();
    return result;
}

Decoded ImageTest::LoadFile(const std::string& path, int format) {
    TarnImage image;
    IDirectDrawSurface7* surface = image.LoadFile(dd, path.c_str(), 2, format);
    Decoded result = ReadBack(surface);
    if (surface) surface->Release();
    return result;
}

// Widens a channel of any mask to 8 bits by repeating its top bits.
static uint32_t Channel(uint32_t pixel, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    uint32_t bits = 0;
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1)) ++bits;
    uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return v >> (bits - 8);
    uint32_t out = 0, filled = 0;
    for (; filled < 8; filled += bits) out = (out << bits) | v;
    return (out >> (filled - 8)) & 0xFF;
}

Decoded ImageTest::ReadBack(IDirectDrawSurface7* surface) {
    Decoded result;
    if (!surface) return result;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return result;
    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    const int bytes = static_cast<int>(pf.dwRGBBitCount / 8);
    result.width = static_cast<int>(desc.dwWidth);
    result.height = static_cast<int>(desc.dwHeight);
    result.pixels.resize(static_cast<size_t>(result.width) * result.height);
    for (int y = 0; y < result.height; ++y) {
        const unsigned char* row = static_cast<const unsigned char*>(desc.lpSurface) +
                                   static_cast<size_t>(desc.lPitch) * y;
        for (int x = 0; x < result.width; ++x) {
            uint32_t p = 0;
            std::memcpy(&p, row + x * bytes, bytes);
            result.pixels[static_cast<size_t>(y) * result.width + x] =
                (Channel(p, pf.dwRBitMask) << 16) | (Channel(p, pf.dwGBitMask) << 8) |
                Channel(p, pf.dwBBitMask);
        }
    }
    surface->Unlock(nullptr);
    result.ok = true;
    return result;
}

static void WritePpm(const std::string& path, const Decoded& picture) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << picture.width << " " << picture.height << "\n255\n";
    for (uint32_t p : picture.pixels) {
        const char rgb[3] = {static_cast<char>(p >> 16), static_cast<char>(p >> 8),
                             static_cast<char>(p)};
        out.write(rgb, 3);
    }
}

::testing::AssertionResult SamePicture(const Decoded& actual, const Decoded& expected,
                                       int tolerance, const std::string& name) {
    if (!actual.ok) return ::testing::AssertionFailure() << name << ": not decoded";
    if (actual.width != expected.width || actual.height != expected.height)
        return ::testing::AssertionFailure()
               << name << ": " << actual.width << " x " << actual.height << ", expected "
               << expected.width << " x " << expected.height;
    for (int y = 0; y < actual.height; ++y)
        for (int x = 0; x < actual.width; ++x) {
            const uint32_t a = actual.At(x, y), e = expected.At(x, y);
            for (int shift = 0; shift <= 16; shift += 8) {
                const int d =
                    static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((e >> shift) & 0xFF);
                if (d > tolerance || d < -tolerance) {
                    std::string base = ::testing::TempDir() + name;
                    WritePpm(base + "_actual.ppm", actual);
                    WritePpm(base + "_expected.ppm", expected);
                    char text[160];
                    std::snprintf(text, sizeof(text),
                                  "%s: first bad pixel (%d, %d): 0x%06X, expected 0x%06X "
                                  "(pictures in %s_*.ppm)",
                                  name.c_str(), x, y, a, e, base.c_str());
                    return ::testing::AssertionFailure() << text;
                }
            }
        }
    return ::testing::AssertionSuccess();
}

bool ReadWholeFile(const std::string& path, fixtures::Bytes* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    out->assign(text.begin(), text.end());
    return true;
}

Decoded ReadPpm(const std::string& path) {
    Decoded result;
    fixtures::Bytes data;
    if (!ReadWholeFile(path, &data)) return result;
    size_t at = 0;
    auto token = [&]() {
        std::string t;
        while (at < data.size()) {
            if (data[at] == '#') {
                while (at < data.size() && data[at] != '\n') ++at;
            } else if (std::isspace(data[at])) {
                if (!t.empty()) break;
                ++at;
            } else {
                t += static_cast<char>(data[at++]);
            }
        }
        return t;
    };
    if (token() != "P6") return result;
    result.width = std::stoi(token());
    result.height = std::stoi(token());
    if (token() != "255") return result;
    ++at; // the one whitespace byte after the maximum
    const size_t count = static_cast<size_t>(result.width) * result.height;
    if (data.size() < at + count * 3) return result;
    result.pixels.resize(count);
    for (size_t i = 0; i < count; ++i, at += 3)
        result.pixels[i] = (data[at] << 16) | (data[at + 1] << 8) | data[at + 2];
    result.ok = true;
    return result;
}
