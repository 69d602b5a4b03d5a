// The PNG decoder over the caller's memory: it reads the header when it is made and the pixels
// when they are copied, so bytes changed in between (another picture of another size, put in
// the same block) are refused instead of decoded into rows sized for the first.
#include "support/HeadlessTest.h"

#include <libdeflate.h>

#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using tarn::platform::LiveObjects;

void PutBig32(unsigned char* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

void AddChunk(std::vector<unsigned char>* file, const char* type,
              const std::vector<unsigned char>& body) {
    const size_t at = file->size();
    file->resize(at + 12 + body.size());
    unsigned char* p = file->data() + at;
    PutBig32(p, uint32_t(body.size()));
    std::memcpy(p + 4, type, 4);
    if (!body.empty()) std::memcpy(p + 8, body.data(), body.size());
    PutBig32(p + 8 + body.size(), libdeflate_crc32(0, p + 4, 4 + body.size()));
}

// A grey 8-bit PNG of w x h zeros, padded with a private chunk to `size` bytes when it is
// shorter.
std::vector<unsigned char> BlankPng(uint32_t w, uint32_t h, size_t size) {
    std::vector<unsigned char> file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<unsigned char> header(13, 0);
    PutBig32(&header[0], w);
    PutBig32(&header[4], h);
    header[8] = 8; // bits, grey
    AddChunk(&file, "IHDR", header);
    const std::vector<unsigned char> raw(size_t(w + 1) * h, 0);
    libdeflate_compressor* c = libdeflate_alloc_compressor(9);
    std::vector<unsigned char> packed(libdeflate_zlib_compress_bound(c, raw.size()));
    packed.resize(
        libdeflate_zlib_compress(c, raw.data(), raw.size(), packed.data(), packed.size()));
    libdeflate_free_compressor(c);
    AddChunk(&file, "IDAT", packed);
    if (file.size() + 24 <= size)
        AddChunk(&file, "tsPd", std::vector<unsigned char>(size - file.size() - 24));
    AddChunk(&file, "IEND", {});
    return file;
}

TEST(PngDecoderTest, BytesChangedAfterTheHeaderAreRefused) {
    tarn::platform::UseHeadlessHost();
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    IWICImagingFactory* factory = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    std::ifstream in(std::string(TARN_TEST_DATA) + "/pngsuite/basn2c08.png", std::ios::binary);
    std::vector<unsigned char> file(std::istreambuf_iterator<char>(in), {}); // 32 x 32 RGB
    ASSERT_GT(file.size(), 33u);
    const std::vector<unsigned char> original = file;
    // Each row of the table: the picture put in the block once the decoder is made.
    const struct {
        uint32_t width, height;
        HRESULT copied;
    } cases[] = {
        {32, 32, S_OK}, {32, 200, WINCODEC_ERR_BADIMAGE}, {300, 32, WINCODEC_ERR_BADIMAGE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        file = original;
        IWICStream* stream = nullptr;
        ASSERT_EQ(factory->CreateStream(&stream), S_OK);
        ASSERT_EQ(stream->InitializeFromMemory(file.data(), DWORD(file.size())), S_OK);
        IWICBitmapDecoder* decoder = nullptr;
        ASSERT_EQ(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                   &decoder),
                  S_OK);
        stream->Release();
        // Another sound picture, of the same length, in the same block.
        const std::vector<unsigned char> other = BlankPng(c.width, c.height, file.size());
        ASSERT_EQ(other.size(), file.size());
        if (c.width != 32 || c.height != 32) file = other;
        IWICBitmapFrameDecode* frame = nullptr;
        ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
        std::vector<BYTE> pixels(32 * 32 * 3);
        EXPECT_EQ(frame->CopyPixels(nullptr, 96, UINT(pixels.size()), pixels.data()), c.copied);
        frame->Release();
        decoder->Release();
    }
    factory->Release();
    CoUninitialize();
    EXPECT_EQ(LiveObjects(), 0);
}

} // namespace
