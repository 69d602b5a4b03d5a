// The stand-in's imaging component as the platform's behaves: COM must be initialised before
// CoCreateInstance, the factory finds no decoder for data that is not PNG, frame 0 only, a
// converter reports NOTINITIALIZED until initialised and checks its buffer, a part of the
// picture copies the same pixels as the whole, the encoder takes its steps in order only, and
// every object lives exactly as long as its references (the frame keeps its decoder alive).
#include "support/HeadlessTest.h"
#include "wincodec/Codecs.h"

#include <libdeflate.h>

#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using tarn::platform::LiveObjects;

std::vector<unsigned char> SuiteFile(const char* name) {
    std::ifstream in(std::string(TARN_TEST_DATA) + "/pngsuite/" + name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

IStream* StreamOver(const std::vector<unsigned char>& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    IStream* stream = nullptr;
    EXPECT_EQ(CreateStreamOnHGlobal(block, TRUE, &stream), S_OK);
    return stream;
}

class WincodecTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        live = LiveObjects();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)),
                  S_OK);
    }
    void TearDown() override {
        if (factory) factory->Release();
        CoUninitialize();
        EXPECT_EQ(LiveObjects(), live);
        HeadlessTest::TearDown();
    }

    // The pixels of frame 0 decoded from `source`, `stride` bytes a row, into *pixels (sized by
    // the caller). The decoder keeps the stream, so the caller's reference is released here.
    void DecodeFrom(IStream* source, UINT stride, std::vector<BYTE>* pixels) {
        IWICBitmapDecoder* decoder = nullptr;
        ASSERT_EQ(factory->CreateDecoderFromStream(source, nullptr, WICDecodeMetadataCacheOnDemand,
                                                   &decoder),
                  S_OK);
        source->Release();
        IWICBitmapFrameDecode* frame = nullptr;
        ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
        ASSERT_EQ(
            frame->CopyPixels(nullptr, stride, static_cast<UINT>(pixels->size()), pixels->data()),
            S_OK);
        frame->Release();
        decoder->Release();
    }

    IWICImagingFactory* factory = nullptr;
    int live = 0;
};

TEST(WincodecCom, CoCreateInstanceNeedsComOnTheThread) {
    tarn::platform::UseHeadlessHost();
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IWICImagingFactory, &object),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    EXPECT_EQ(CoCreateInstance(IID_IStream, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IStream,
                               &object),
              E_NOINTERFACE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(tarn::platform::LiveObjects(), 0);
}

TEST_F(WincodecTest, DecoderFrameAndConverterFollowThePlatformsRules) {
    IStream* text = StreamOver({'n', 'o', 't', ' ', 'P', 'N', 'G', '!', '!'});
    IWICBitmapDecoder* decoder = nullptr;
    EXPECT_EQ(
        factory->CreateDecoderFromStream(text, nullptr, WICDecodeMetadataCacheOnDemand, &decoder),
        WINCODEC_ERR_COMPONENTNOTFOUND);
    text->Release();

    IStream* stream = StreamOver(SuiteFile("basn3p08.png")); // 32 x 32, 8-bit palette
    ASSERT_EQ(
        factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder),
        S_OK);
    stream->Release();
    IWICBitmapFrameDecode* frame = nullptr;
    EXPECT_EQ(decoder->GetFrame(1, &frame), WINCODEC_ERR_FRAMEMISSING);
    ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
    decoder->Release(); // the frame keeps it
    WICPixelFormatGUID format;
    EXPECT_EQ(frame->GetPixelFormat(&format), S_OK);
    EXPECT_TRUE(format == GUID_WICPixelFormat8bppIndexed);
    UINT w = 0, h = 0;
    EXPECT_EQ(frame->GetSize(&w, &h), S_OK);
    EXPECT_EQ(w, 32u);
    EXPECT_EQ(h, 32u);

    IWICFormatConverter* converter = nullptr;
    ASSERT_EQ(factory->CreateFormatConverter(&converter), S_OK);
    BYTE pixels[32 * 32 * 4];
    EXPECT_EQ(converter->CopyPixels(nullptr, 128, sizeof pixels, pixels),
              WINCODEC_ERR_NOTINITIALIZED);
    EXPECT_EQ(converter->Initialize(frame, GUID_WICPixelFormat48bppRGB, WICBitmapDitherTypeNone,
                                    nullptr, 0.0, WICBitmapPaletteTypeCustom),
              WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT);
    ASSERT_EQ(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                    nullptr, 0.0, WICBitmapPaletteTypeCustom),
              S_OK);
    EXPECT_EQ(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                    nullptr, 0.0, WICBitmapPaletteTypeCustom),
              WINCODEC_ERR_WRONGSTATE);
    frame->Release(); // the converter keeps it
    EXPECT_EQ(converter->CopyPixels(nullptr, 127, sizeof pixels, pixels), E_INVALIDARG);
    EXPECT_EQ(converter->CopyPixels(nullptr, 128, sizeof pixels - 1, pixels),
              WINCODEC_ERR_INSUFFICIENTBUFFER);
    ASSERT_EQ(converter->CopyPixels(nullptr, 128, sizeof pixels, pixels), S_OK);
    const WICRect part = {5, 7, 3, 2}, outside = {30, 0, 3, 1};
    BYTE some[3 * 4 * 2];
    EXPECT_EQ(converter->CopyPixels(&outside, 12, sizeof some, some), E_INVALIDARG);
    ASSERT_EQ(converter->CopyPixels(&part, 12, sizeof some, some), S_OK);
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(std::memcmp(some + 12 * y, pixels + 128 * (7 + y) + 5 * 4, 12), 0) << y;
    EXPECT_GT(LiveObjects(), live);
    converter->Release();
}

TEST_F(WincodecTest, EncoderStepsGoInOrder) {
    IWICBitmapEncoder* encoder = nullptr;
    EXPECT_EQ(factory->CreateEncoder(GUID_WICPixelFormat24bppBGR, nullptr, &encoder),
              WINCODEC_ERR_COMPONENTNOTFOUND);
    ASSERT_EQ(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder), S_OK);
    IWICBitmapFrameEncode* frame = nullptr;
    EXPECT_EQ(encoder->CreateNewFrame(&frame, nullptr), WINCODEC_ERR_WRONGSTATE);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(encoder->Initialize(stream, WICBitmapEncoderNoCache), S_OK);
    ASSERT_EQ(encoder->CreateNewFrame(&frame, nullptr), S_OK);
    IWICBitmapFrameEncode* second = nullptr;
    EXPECT_EQ(encoder->CreateNewFrame(&second, nullptr), WINCODEC_ERR_WRONGSTATE);
    BYTE row[2 * 3] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(frame->SetSize(2, 2), WINCODEC_ERR_WRONGSTATE); // before Initialize
    ASSERT_EQ(frame->Initialize(nullptr), S_OK);
    ASSERT_EQ(frame->SetSize(2, 2), S_OK);
    WICPixelFormatGUID format = GUID_WICPixelFormat48bppRGB;
    ASSERT_EQ(frame->SetPixelFormat(&format), S_OK);
    EXPECT_TRUE(format == GUID_WICPixelFormat24bppBGR); // the nearest it writes
    ASSERT_EQ(frame->WritePixels(1, 6, 6, row), S_OK);
    EXPECT_EQ(frame->Commit(), WINCODEC_ERR_WRONGSTATE); // a row missing
    EXPECT_EQ(encoder->Commit(), WINCODEC_ERR_WRONGSTATE);
    EXPECT_EQ(frame->WritePixels(1, 6, 5, row), E_INVALIDARG); // buffer too small
    ASSERT_EQ(frame->WritePixels(1, 6, 6, row), S_OK);
    EXPECT_EQ(frame->WritePixels(1, 6, 6, row), WINCODEC_ERR_WRONGSTATE); // one row too many
    ASSERT_EQ(frame->Commit(), S_OK);
    ASSERT_EQ(encoder->Commit(), S_OK);
    frame->Release();
    encoder->Release();

    // The stream holds a PNG of those rows.
    STATSTG stat;
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    LARGE_INTEGER start;
    start.QuadPart = 0;
    ASSERT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
    std::vector<BYTE> back(2 * 2 * 3);
    ASSERT_NO_FATAL_FAILURE(DecodeFrom(stream, 6, &back));
    EXPECT_EQ(std::memcmp(back.data(), row, 6), 0);
    EXPECT_EQ(std::memcmp(back.data() + 6, row, 6), 0);
}

} // namespace

// The factory's stream reads and writes the caller's bytes in place and never past them; a
// decoder over it gives the same pixels as over a stream of its own, keeps the stream alive,
// and a picture cut short fails when it is decoded, not before the stream's end is read.
TEST_F(WincodecTest, StreamOverMemoryUsesTheCallersBytes) {
    std::vector<unsigned char> file = SuiteFile("basn2c08.png"); // 32 x 32 RGB
    ASSERT_FALSE(file.empty());
    const unsigned char last = file.back();
    IWICStream* stream = nullptr;
    ASSERT_EQ(factory->CreateStream(&stream), S_OK);
    BYTE byte = 0;
    EXPECT_EQ(stream->Read(&byte, 1, nullptr), WINCODEC_ERR_NOTINITIALIZED);
    ASSERT_EQ(stream->InitializeFromMemory(file.data(), static_cast<DWORD>(file.size())), S_OK);
    EXPECT_EQ(stream->InitializeFromMemory(file.data(), 1), WINCODEC_ERR_WRONGSTATE);

    LARGE_INTEGER move;
    ULARGE_INTEGER at;
    move.QuadPart = -1;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_END, &at), S_OK);
    EXPECT_EQ(at.QuadPart, file.size() - 1);
    ULONG count = 0;
    BYTE two[2] = {0xAA, 0xBB};
    EXPECT_EQ(stream->Write(two, 2, &count), STG_E_MEDIUMFULL); // one byte of room
    EXPECT_EQ(stream->Write(two, 1, &count), S_OK);
    EXPECT_EQ(file.back(), 0xAA); // written in place
    EXPECT_EQ(stream->Read(&byte, 1, &count), S_OK);
    EXPECT_EQ(count, 0u); // at the end
    move.QuadPart = 1;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_END, nullptr), E_INVALIDARG);
    move.QuadPart = -1;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_SET, nullptr), E_INVALIDARG);
    file.back() = last;
    move.QuadPart = 0;
    ASSERT_EQ(stream->Seek(move, STREAM_SEEK_SET, nullptr), S_OK);

    std::vector<BYTE> inPlace(32 * 32 * 3), copied(32 * 32 * 3);
    ASSERT_NO_FATAL_FAILURE(DecodeFrom(stream, 96, &inPlace));
    ASSERT_NO_FATAL_FAILURE(DecodeFrom(StreamOver(file), 96, &copied));
    EXPECT_EQ(inPlace, copied);

    // The same file cut in its image data: the header reads, the pixels do not.
    file.resize(file.size() / 2);
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    ASSERT_EQ(factory->CreateStream(&stream), S_OK);
    ASSERT_EQ(stream->InitializeFromMemory(file.data(), static_cast<DWORD>(file.size())), S_OK);
    HRESULT made =
        factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder);
    stream->Release();
    if (SUCCEEDED(made)) {
        ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
        EXPECT_EQ(frame->CopyPixels(nullptr, 96, static_cast<UINT>(copied.size()), copied.data()),
                  WINCODEC_ERR_BADIMAGE);
        frame->Release();
        decoder->Release();
    } else {
        EXPECT_EQ(made, WINCODEC_ERR_BADHEADER);
    }
}

namespace {

using tarn::platform::PngRows;

struct PngChunk {
    std::string type;
    std::vector<uint8_t> body;
};

void PutBigEndian32(std::vector<uint8_t>* out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

std::vector<uint8_t> PngBytes(const std::vector<PngChunk>& chunks) {
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const PngChunk& c : chunks) {
        PutBigEndian32(&file, static_cast<uint32_t>(c.body.size()));
        const size_t from = file.size();
        file.insert(file.end(), c.type.begin(), c.type.end());
        file.insert(file.end(), c.body.begin(), c.body.end());
        PutBigEndian32(&file, libdeflate_crc32(0, file.data() + from, file.size() - from));
    }
    return file;
}

// The chunks of an 8-bit RGB or RGBA picture (`channels` bytes a pixel, rows top down), written
// here rather than by libpng so that every filter type is used: row r of each pass is filtered
// with type r % 5. The compressed data is cut into IDAT chunks of `piece` bytes.
std::vector<PngChunk> FilteredPng(uint32_t w, uint32_t h, int channels, bool adam7,
                                  const std::vector<uint8_t>& pixels, size_t piece) {
    static const uint32_t PASSES[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                          {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    static const uint32_t WHOLE[1][4] = {{0, 0, 1, 1}};
    std::vector<uint8_t> filtered;
    for (int p = 0; p < (adam7 ? 7 : 1); ++p) {
        const uint32_t* pass = adam7 ? PASSES[p] : WHOLE[0];
        std::vector<uint8_t> prior, raw;
        for (uint32_t y = pass[1], r = 0; y < h; y += pass[3], ++r) {
            raw.clear();
            for (uint32_t x = pass[0]; x < w; x += pass[2])
                for (int c = 0; c < channels; ++c)
                    raw.push_back(pixels[(size_t{y} * w + x) * channels + c]);
            if (raw.empty()) break;
            if (prior.empty()) prior.assign(raw.size(), 0);
            const uint8_t type = static_cast<uint8_t>(r % 5);
            filtered.push_back(type);
            for (size_t i = 0; i < raw.size(); ++i) {
                const int a = i >= size_t(channels) ? raw[i - channels] : 0, b = prior[i];
                const int c = i >= size_t(channels) ? prior[i - channels] : 0;
                const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                const int predictions[5] = {0, a, b, (a + b) / 2,
                                            pa <= pb && pa <= pc ? a
                                            : pb <= pc           ? b
                                                                 : c};
                filtered.push_back(static_cast<uint8_t>(raw[i] - predictions[type]));
            }
            prior = raw;
        }
    }
    libdeflate_compressor* deflater = libdeflate_alloc_compressor(6);
    std::vector<uint8_t> compressed(libdeflate_zlib_compress_bound(deflater, filtered.size()));
    compressed.resize(libdeflate_zlib_compress(deflater, filtered.data(), filtered.size(),
                                               compressed.data(), compressed.size()));
    libdeflate_free_compressor(deflater);

    std::vector<PngChunk> chunks(1, {"IHDR", {}});
    PutBigEndian32(&chunks[0].body, w);
    PutBigEndian32(&chunks[0].body, h);
    chunks[0].body.insert(chunks[0].body.end(), {8, static_cast<uint8_t>(channels == 4 ? 6 : 2), 0,
                                                 0, static_cast<uint8_t>(adam7 ? 1 : 0)});
    chunks.push_back({"gAMA", {0, 0, 0xB1, 0x8F}});
    for (size_t at = 0; at < compressed.size(); at += piece)
        chunks.push_back(
            {"IDAT",
             std::vector<uint8_t>(compressed.begin() + at,
                                  compressed.begin() + std::min(at + piece, compressed.size()))});
    chunks.push_back({"tEXt", {'a', 0, 'b'}});
    chunks.push_back({"IEND", {}});
    return chunks;
}

// A decode of `file` in `layout` by `decode` into rows of exactly the picture's width.
template <class Decode>
HRESULT DecodeRows(Decode decode, const std::vector<uint8_t>& file, uint32_t w, uint32_t h,
                   PngRows layout, std::vector<uint8_t>* pixels) {
    const size_t row = size_t{w} * (layout == PngRows::Bgr24 ? 3 : 4);
    pixels->assign(row * h, 0xCD);
    std::vector<uint8_t*> rows(h);
    for (uint32_t y = 0; y < h; ++y) rows[y] = pixels->data() + row * y;
    return decode(file.data(), file.size(), layout, rows.data());
}

} // namespace

// The whole-buffer way decodes every filter type, plain and interlaced, RGB and RGBA, one IDAT
// or many, at sizes that leave Adam7 passes empty, into both layouts, and gives the picture's
// pixels, as libpng does.
TEST(PngWhole, DecodesAsLibpngDoes) {
    const uint32_t SIZES[][2] = {{1, 1}, {3, 2}, {5, 9}, {8, 8}, {13, 7}, {33, 17}};
    for (const auto& size : SIZES)
        for (int channels : {3, 4})
            for (bool adam7 : {false, true})
                for (size_t piece : {size_t{7}, size_t{1} << 20}) {
                    const uint32_t w = size[0], h = size[1];
                    std::vector<uint8_t> source(size_t{w} * h * channels);
                    uint32_t seed = w * 131 + h;
                    for (uint8_t& byte : source) {
                        seed = seed * 1103515245u + 12345u;
                        byte = static_cast<uint8_t>(seed >> 16);
                    }
                    const std::vector<uint8_t> file =
                        PngBytes(FilteredPng(w, h, channels, adam7, source, piece));
                    for (PngRows layout : {PngRows::Bgr24, PngRows::Bgra32}) {
                        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " channels " +
                                     std::to_string(channels) + (adam7 ? " Adam7" : "") +
                                     " piece " + std::to_string(piece) +
                                     (layout == PngRows::Bgr24 ? " BGR" : " BGRA"));
                        std::vector<uint8_t> quick, libpng;
                        ASSERT_EQ(
                            DecodeRows(tarn::platform::DecodePngWhole, file, w, h, layout, &quick),
                            S_OK);
                        ASSERT_EQ(DecodeRows(tarn::platform::DecodePngWithLibpng, file, w, h,
                                             layout, &libpng),
                                  S_OK);
                        EXPECT_EQ(quick, libpng);
                        std::vector<uint8_t> expected;
                        for (size_t p = 0; p < size_t{w} * h; ++p) {
                            const uint8_t* in = &source[p * channels];
                            expected.insert(expected.end(), {in[2], in[1], in[0]});
                            if (layout == PngRows::Bgra32)
                                expected.push_back(channels == 4 ? in[3] : 0xFF);
                        }
                        EXPECT_EQ(quick, expected);
                    }
                }
}

// Files the whole-buffer way does not take go to libpng, which decides as it always did.
TEST(PngWhole, LeavesEveryOtherFileToLibpng) {
    const std::vector<uint8_t> source(6 * 5 * 3, 0x5A);
    const std::vector<PngChunk> sound = FilteredPng(6, 5, 3, false, source, 1 << 20);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    };
    std::vector<Case> cases;
    std::vector<uint8_t> file = PngBytes(sound);
    file[file.size() - 20] ^= 1; // in the tEXt chunk after the image data
    cases.push_back({"a wrong checksum", file});
    std::vector<PngChunk> chunks = sound;
    chunks.insert(chunks.begin() + 1, {"tRNS", {0, 0x5A, 0, 0x5A, 0, 0x5A}});
    cases.push_back({"tRNS", PngBytes(chunks)});
    chunks = sound;
    chunks[2].body.push_back(0); // a byte after the deflate stream
    cases.push_back({"data after the stream", PngBytes(chunks)});
    chunks = sound;
    chunks.insert(chunks.end() - 1, {"IDAT", {}});
    cases.push_back({"image data after another chunk", PngBytes(chunks)});
    chunks = sound;
    chunks.insert(chunks.end() - 1, {"CRIT", {}});
    cases.push_back({"an unknown critical chunk", PngBytes(chunks)});
    chunks = sound;
    chunks.insert(chunks.end() - 1, {std::string("t\0Xt", 4), {}});
    cases.push_back({"a chunk name not of letters", PngBytes(chunks)});
    file = PngBytes(sound);
    file.resize(file.size() - 12);
    cases.push_back({"no IEND", file});
    chunks = sound;
    chunks[0].body[8] = 16; // 16-bit samples: the image data is then too short
    cases.push_back({"16 bits", PngBytes(chunks)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> quick, both, libpng;
        EXPECT_EQ(DecodeRows(tarn::platform::DecodePngWhole, c.file, 6, 5, PngRows::Bgra32, &quick),
                  S_FALSE);
        const HRESULT expected =
            DecodeRows(tarn::platform::DecodePngWithLibpng, c.file, 6, 5, PngRows::Bgra32, &libpng);
        EXPECT_EQ(DecodeRows(tarn::platform::DecodePng, c.file, 6, 5, PngRows::Bgra32, &both),
                  expected);
        if (SUCCEEDED(expected)) {
            EXPECT_EQ(both, libpng);
        }
    }
}
