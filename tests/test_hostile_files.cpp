// Hostile picture files: every sample of every format (the catalogue made by the fixture
// writers, and the files in tests/data) cut at every length and with its header fields
// flipped gives null or a picture, never a crash, a read outside the data or a leaked
// stand-in object; headers that claim 65535 x 65535 pixels or more are refused before the
// picture is allocated; and no file makes a load allocate more than a fixed multiple of the
// picture its header claims.
//
// The allocation bound. This program counts every heap byte (malloc, calloc, realloc and
// operator new, which goes through malloc; under AddressSanitizer through the allocator's
// hooks) and takes the peak above the level before a load. A load may use at most
//     ALLOC_MULTIPLE x (width x height x 4) + ALLOC_PER_FILE_BYTE x file size + ALLOC_FIXED
// where width x height is what the header claims (4 bytes a pixel: the 32-bit picture). The
// multiple covers the decoder's DIB, the surface, the GDI converter's rows and, for JPEG,
// the library's coefficient buffers of a progressive file and its decoded rows.
#include "image/TarnImage.h"
#include "support/ImageFixtures.h"
#include "support/SampleFiles.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define TARN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARN_ASAN 1
#endif
#endif

#ifdef TARN_ASAN
// The sanitizer allocator's hooks (its runtime exports them; not every compiler ships the header).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                              void (*free_hook)(const volatile void*));
size_t __sanitizer_get_allocated_size(const volatile void* p);
}
#endif

using fixtures::Bytes;
using fixtures::SampleFile;

namespace {

constexpr uint64_t ALLOC_MULTIPLE = 3;
constexpr uint64_t ALLOC_PER_FILE_BYTE = 4;
constexpr uint64_t ALLOC_FIXED = 1u << 20;

// Heap bytes in use, counted from program start, and the peak since the last ResetPeak.
std::atomic<int64_t> g_inUse{0};
std::atomic<int64_t> g_peak{0};

void Counted(int64_t bytes) {
    const int64_t now = g_inUse.fetch_add(bytes) + bytes;
    int64_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}

#ifdef TARN_ASAN
void MallocHook(const volatile void*, size_t size) {
    Counted(static_cast<int64_t>(size));
}
void FreeHook(const volatile void* p) {
    Counted(-static_cast<int64_t>(__sanitizer_get_allocated_size(p)));
}
const bool g_hooked = __sanitizer_install_malloc_and_free_hooks(MallocHook, FreeHook) != 0;
#endif

// Bytes allocated at the peak of `load`, above what was in use before it.
template <class Load> uint64_t PeakDuring(Load load) {
    const int64_t before = g_inUse.load();
    g_peak.store(before);
    load();
    return static_cast<uint64_t>(std::max<int64_t>(0, g_peak.load() - before));
}

uint32_t Be32(const Bytes& b, size_t at) {
    return at + 4 <= b.size()
               ? static_cast<uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]
               : 0;
}
uint32_t Le32(const Bytes& b, size_t at) {
    return at + 4 <= b.size() ? static_cast<uint32_t>(b[at]) | b[at + 1] << 8 | b[at + 2] << 16 |
                                    static_cast<uint32_t>(b[at + 3]) << 24
                              : 0;
}
unsigned Le16(const Bytes& b, size_t at) {
    return at + 2 <= b.size() ? static_cast<unsigned>(b[at] | b[at + 1] << 8) : 0;
}

// The picture size a file's header claims to the decoder of `format` (0 when it claims none
// or the field is cut off), in pixels.
uint64_t ClaimedPixels(int format, const Bytes& f) {
    uint64_t w = 0, h = 0;
    switch (format) {
    case IMAGE_BMP:
        if (Le32(f, 14) == 12) {
            w = Le16(f, 18);
            h = Le16(f, 20);
        } else {
            const int32_t sw = static_cast<int32_t>(Le32(f, 18));
            const int32_t sh = static_cast<int32_t>(Le32(f, 22));
            w = sw < 0 ? 0 : static_cast<uint64_t>(sw);
            h = sh < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(sh))
                       : static_cast<uint64_t>(sh);
        }
        break;
    case IMAGE_TGA:
        w = Le16(f, 12);
        h = Le16(f, 14);
        break;
    case IMAGE_PCX:
        if (f.size() >= 12) {
            w = static_cast<uint64_t>(
                std::max(0, static_cast<int>(Le16(f, 8)) - static_cast<int>(Le16(f, 4)) + 1));
            h = static_cast<uint64_t>(
                std::max(0, static_cast<int>(Le16(f, 10)) - static_cast<int>(Le16(f, 6)) + 1));
        }
        break;
    case IMAGE_PSD:
        h = Be32(f, 14);
        w = Be32(f, 18);
        break;
    case IMAGE_PNG: // the header chunk right after the signature
        w = Be32(f, 16);
        h = Be32(f, 20);
        break;
    case IMAGE_JPG: // the frame header: FFCn, length, precision, height, width
        for (size_t pos = 2; pos + 8 < f.size();) {
            if (f[pos] != 0xFF) break;
            const int marker = f[pos + 1];
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                marker != 0xCC) {
                h = static_cast<unsigned>(f[pos + 5] << 8 | f[pos + 6]);
                w = static_cast<unsigned>(f[pos + 7] << 8 | f[pos + 8]);
                break;
            }
            pos += 2 + (static_cast<size_t>(f[pos + 2]) << 8 | f[pos + 3]);
        }
        break;
    default:
        break;
    }
    return w * h;
}

uint64_t AllowedBytes(int format, const Bytes& file) {
    return ALLOC_MULTIPLE * ClaimedPixels(format, file) * 4 + ALLOC_PER_FILE_BYTE * file.size() +
           ALLOC_FIXED;
}

// The decoder a file is meant for when its content does not say (a fuzzer's finding for a
// forced decoder, kept in tests/data/regress as NAME.bmp, .psd, .tga, .pcx, .jpg or .png).
int FormatByExtension(const std::string& ext) {
    const struct {
        const char* ext;
        int format;
    } table[] = {{".bmp", IMAGE_BMP}, {".psd", IMAGE_PSD}, {".tga", IMAGE_TGA},
                 {".pcx", IMAGE_PCX}, {".jpg", IMAGE_JPG}, {".png", IMAGE_PNG}};
    for (const auto& row : table)
        if (ext == row.ext) return row.format;
    return IMAGE_UNKNOWN;
}

// Every picture file under tests/data (the regression files of fuzzing findings included),
// with the format its content says it is, or else its name.
std::vector<SampleFile> DataFiles() {
    std::vector<SampleFile> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(TARN_TEST_DATA)) {
        const std::string ext = entry.path().extension().string();
        // The PngSuite has a test of its own (PngFilesCutAndFlippedNeverBreakTheLoader).
        const bool pngSuite = entry.path().parent_path().filename() == "pngsuite";
        if (!entry.is_regular_file() || ext == ".ppm" || ext == ".txt" || ext == ".md" || pngSuite)
            continue;
        SampleFile file;
        file.name = std::filesystem::relative(entry.path(), TARN_TEST_DATA).string();
        if (!ReadWholeFile(entry.path().string(), &file.bytes)) continue;
        file.format =
            TarnImage::DetectFormat(static_cast<int>(file.bytes.size()), file.bytes.data());
        if (file.format == IMAGE_UNKNOWN) file.format = FormatByExtension(ext);
        if (file.format == IMAGE_UNKNOWN) continue;
        file.headerFields = fixtures::HeaderFieldOffsets(file.format, file.bytes);
        out.push_back(std::move(file));
    }
    std::sort(out.begin(), out.end(),
              [](const SampleFile& a, const SampleFile& b) { return a.name < b.name; });
    return out;
}

class HostileFileTest : public ImageTest {
protected:
    void SetUp() override {
        ImageTest::SetUp();
        baseline = tarn::platform::LiveObjects();
    }

    // Loads `file` through the front end with `format`, reads any picture back whole, and
    // checks that nothing stays alive and the load kept within its allocation bound. Returns
    // whether a picture came out.
    bool Survives(const Bytes& file, int format, int claimFormat, const std::string& what) {
        IDirectDrawSurface7* surface = nullptr;
        const uint64_t peak = PeakDuring([&] {
            TarnImage image;
            surface = image.LoadMemory(dd, static_cast<int>(file.size()), file.data(), 2, format);
        });
        const Decoded picture = ReadBack(surface);
        if (surface) surface->Release();
        EXPECT_EQ(tarn::platform::LiveObjects(), baseline) << what;
        EXPECT_LE(peak, AllowedBytes(claimFormat, file))
            << what << ": " << peak << " bytes at the peak for a header claiming "
            << ClaimedPixels(claimFormat, file) << " pixels";
        if (picture.ok) {
            EXPECT_GT(picture.width, 0) << what;
            EXPECT_GT(picture.height, 0) << what;
        }
        host->ClearDebugText();
        return picture.ok;
    }

    // Lengths to cut a file at: all of them for small files; for large ones every length in
    // the first 512 bytes (the headers and tables) and 128 spread over the rest.
    static std::vector<size_t> Cuts(size_t size) {
        std::vector<size_t> cuts;
        const size_t dense = size <= 4096 ? size : 1024;
        for (size_t n = 0; n < dense; ++n) cuts.push_back(n);
        for (size_t i = 1; dense < size && i <= 256; ++i)
            cuts.push_back(dense + (size - dense) * i / 257);
        return cuts;
    }

    // Every cut, through the file's own decoder forced; every header flip, through detection
    // and through its decoder.
    void Batter(const SampleFile& sample) {
        SCOPED_TRACE(sample.name);
        for (size_t n : Cuts(sample.bytes.size())) {
            const Bytes cut(sample.bytes.begin(), sample.bytes.begin() + static_cast<ptrdiff_t>(n));
            Survives(cut, sample.format, sample.format, "cut at " + std::to_string(n));
            if (HasFailure()) return;
        }
        for (size_t at : sample.headerFields) {
            const unsigned char was = sample.bytes[at];
            const unsigned char values[] = {0x00,
                                            0xFF,
                                            0x80,
                                            0x7F,
                                            static_cast<unsigned char>(was ^ 0x01),
                                            static_cast<unsigned char>(was + 1),
                                            static_cast<unsigned char>(was - 1)};
            for (unsigned char v : values) {
                Bytes flipped = sample.bytes;
                flipped[at] = v;
                const std::string what = "byte " + std::to_string(at) + " = " + std::to_string(v);
                const int detected =
                    TarnImage::DetectFormat(static_cast<int>(flipped.size()), flipped.data());
                Survives(flipped, 0, detected, what + ", detected");
                Survives(flipped, sample.format, sample.format, what + ", forced");
                if (HasFailure()) return;
            }
        }
    }

    int baseline = 0;
};

TEST_F(HostileFileTest, SamplesDecodeWhole) {
    for (const SampleFile& sample : fixtures::SampleFiles()) {
        SCOPED_TRACE(sample.name);
        EXPECT_EQ(
            TarnImage::DetectFormat(static_cast<int>(sample.bytes.size()), sample.bytes.data()),
            sample.format);
        const Decoded picture = Load(sample.bytes);
        ASSERT_TRUE(picture.ok);
        EXPECT_EQ(picture.width, sample.width);
        EXPECT_EQ(picture.height, sample.height);
    }
}

TEST_F(HostileFileTest, CatalogueCutAndFlippedNeverBreaksTheLoader) {
    for (const SampleFile& sample : fixtures::SampleFiles()) Batter(sample);
}

// PNG files of each colour type, depth and interlacing from the public suite, cut and with
// their header chunk's fields flipped (the checksum then refuses most of them; the decoder must
// still give null cleanly), and the suite's corrupt files whole.
TEST_F(HostileFileTest, PngFilesCutAndFlippedNeverBreakTheLoader) {
    const std::string suite = std::string(TARN_TEST_DATA) + "/pngsuite/";
    for (const char* name : {"basn0g01", "basn0g16", "basn2c16", "basn3p04", "basi3p08", "basn4a08",
                             "basi6a16", "tbbn3p08", "s01i3p01", "oi9n2c16"}) {
        SampleFile sample;
        sample.name = name;
        sample.format = IMAGE_PNG;
        ASSERT_TRUE(ReadWholeFile(suite + name + ".png", &sample.bytes));
        for (size_t at = 16; at < 29; ++at) sample.headerFields.push_back(at); // IHDR fields
        Batter(sample);
    }
    for (const auto& entry : std::filesystem::directory_iterator(suite)) {
        const std::string name = entry.path().filename().string();
        if (name[0] != 'x' || entry.path().extension() != ".png") continue;
        Bytes file;
        ASSERT_TRUE(ReadWholeFile(entry.path().string(), &file));
        EXPECT_FALSE(Survives(file, IMAGE_PNG, IMAGE_PNG, name));
    }
}

TEST_F(HostileFileTest, DataFilesCutAndFlippedNeverBreakTheLoader) {
    const std::vector<SampleFile> files = DataFiles();
    ASSERT_FALSE(files.empty());
    for (const SampleFile& file : files) Batter(file);
}

// A picture of real size must fit the bound as well, so the bound is no mere constant; and
// the count must at least see the picture's own surface, or it counts nothing.
TEST_F(HostileFileTest, LargerPicturesStayWithinTheAllocationMultiple) {
    for (int format : {IMAGE_BMP, IMAGE_TGA, IMAGE_PCX, IMAGE_PSD, IMAGE_JPG}) {
        const SampleFile sample = fixtures::SampleOfSize(format, 640, 480);
        SCOPED_TRACE(sample.name);
        EXPECT_TRUE(Survives(sample.bytes, 0, format, "whole"));
        IDirectDrawSurface7* surface = nullptr;
        const uint64_t peak = PeakDuring([&] {
            TarnImage image;
            surface = image.LoadMemory(dd, static_cast<int>(sample.bytes.size()),
                                       sample.bytes.data(), 2, 0);
        });
        ASSERT_NE(surface, nullptr);
        surface->Release();
        EXPECT_GE(peak, 640u * 480u * 4u);
    }
}

// Headers that claim 65535 x 65535 pixels or more, over a few bytes of data: refused, and
// with no more allocated than a picture-less load may use.
TEST_F(HostileFileTest, HugeClaimsAreRefusedBeforeAllocating) {
    auto bmp = [](int32_t w, int32_t h) {
        fixtures::BmpFile f;
        f.width = w;
        f.height = h;
        f.pixels = Bytes(64, 0x11);
        return f.Build();
    };
    auto tga = [](int w, int h, int type) {
        fixtures::TgaFile f;
        f.type = type;
        f.width = w;
        f.height = h;
        f.pixels = Bytes(64, 0x81);
        return f.Build();
    };
    auto pcx = [](int xmax, int ymax, int planes) {
        fixtures::PcxFile f;
        f.xmax = xmax;
        f.ymax = ymax;
        f.planes = planes;
        f.bytesPerLine = (xmax + 2) & 0xFFFF;
        f.encoded = Bytes(64, 0xC1);
        return f.Build();
    };
    auto psd = [](uint32_t w, uint32_t h, int compression) {
        fixtures::PsdFile f;
        f.width = w;
        f.height = h;
        f.compression = compression;
        f.data = Bytes(64, 0x00);
        return f.Build();
    };
    auto jpeg = [](unsigned w, unsigned h) {
        Bytes f = fixtures::EncodeJpeg(8, 8, false, false);
        for (size_t pos = 2; pos + 8 < f.size(); pos += 2 + (f[pos + 2] << 8 | f[pos + 3])) {
            if (f[pos + 1] == 0xC0) {
                f[pos + 5] = static_cast<unsigned char>(h >> 8);
                f[pos + 6] = static_cast<unsigned char>(h);
                f[pos + 7] = static_cast<unsigned char>(w >> 8);
                f[pos + 8] = static_cast<unsigned char>(w);
                break;
            }
        }
        return f;
    };
    const struct {
        const char* name;
        int format;
        Bytes file;
    } cases[] = {
        {"BMP 65535 x 65535", IMAGE_BMP, bmp(65535, 65535)},
        {"BMP 65535 x -65535 (top-down)", IMAGE_BMP, bmp(65535, -65535)},
        {"BMP 2^31-1 x 2^31-1", IMAGE_BMP, bmp(0x7FFFFFFF, 0x7FFFFFFF)},
        {"BMP 2^31-1 wide, 1 high", IMAGE_BMP, bmp(0x7FFFFFFF, 1)},
        {"TGA 65535 x 65535 raw", IMAGE_TGA, tga(65535, 65535, 2)},
        {"TGA 65535 x 65535 run-length", IMAGE_TGA, tga(65535, 65535, 10)},
        {"PCX 65536 x 65536", IMAGE_PCX, pcx(65535, 65535, 1)},
        {"PCX 65535 x 65535, three planes", IMAGE_PCX, pcx(65534, 65534, 3)},
        {"PSD 65535 x 65535 raw", IMAGE_PSD, psd(65535, 65535, 0)},
        {"PSD 65535 x 65535 PackBits", IMAGE_PSD, psd(65535, 65535, 1)},
        {"PSD 2^32-1 x 2^32-1", IMAGE_PSD, psd(0xFFFFFFFF, 0xFFFFFFFF, 0)},
        {"JPEG 65535 x 65535", IMAGE_JPG, jpeg(65535, 65535)},
        {"JPEG 65500 x 65500", IMAGE_JPG, jpeg(65500, 65500)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int format : {0, c.format}) {
            Decoded picture;
            const uint64_t peak = PeakDuring([&] { picture = Load(c.file, format); });
            EXPECT_FALSE(picture.ok);
            EXPECT_LE(peak, ALLOC_PER_FILE_BYTE * c.file.size() + ALLOC_FIXED);
        }
        EXPECT_EQ(tarn::platform::LiveObjects(), baseline);
    }
}

} // namespace

#ifndef TARN_ASAN
// Outside AddressSanitizer, the counting allocator: glibc's own functions do the work, and
// each block is counted at its usable size both ways, so the books balance.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
void* __libc_memalign(size_t, size_t);

void* malloc(size_t size) {
    void* p = __libc_malloc(size);
    if (p) Counted(static_cast<int64_t>(malloc_usable_size(p)));
    return p;
}
void* calloc(size_t count, size_t size) {
    void* p = __libc_calloc(count, size);
    if (p) Counted(static_cast<int64_t>(malloc_usable_size(p)));
    return p;
}
void* realloc(void* old, size_t size) {
    const int64_t was = old ? static_cast<int64_t>(malloc_usable_size(old)) : 0;
    void* p = __libc_realloc(old, size);
    if (p)
        Counted(static_cast<int64_t>(malloc_usable_size(p)) - was);
    else if (size == 0 && old)
        Counted(-was);
    return p;
}
void free(void* p) {
    if (p) Counted(-static_cast<int64_t>(malloc_usable_size(p)));
    __libc_free(p);
}
void* memalign(size_t alignment, size_t size) {
    void* p = __libc_memalign(alignment, size);
    if (p) Counted(static_cast<int64_t>(malloc_usable_size(p)));
    return p;
}
void* aligned_alloc(size_t alignment, size_t size) {
    return memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    void* p = memalign(alignment, size);
    if (!p) return 12; // ENOMEM
    *out = p;
    return 0;
}
}
#endif
