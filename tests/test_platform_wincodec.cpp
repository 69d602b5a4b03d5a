// The stand-in's imaging component as the platform's behaves: COM must be initialised before
// CoCreateInstance, the factory finds no decoder for data that is not PNG, frame 0 only, a
// converter reports NOTINITIALIZED until initialised and checks its buffer, a part of the
// picture copies the same pixels as the whole, the encoder takes its steps in order only, and
// every object lives exactly as long as its references (the frame keeps its decoder alive).
#include "support/HeadlessTest.h"

#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

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
    IWICBitmapDecoder* decoder = nullptr;
    ASSERT_EQ(
        factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder),
        S_OK);
    stream->Release();
    IWICBitmapFrameDecode* decoded = nullptr;
    ASSERT_EQ(decoder->GetFrame(0, &decoded), S_OK);
    BYTE back[2 * 2 * 3];
    ASSERT_EQ(decoded->CopyPixels(nullptr, 6, sizeof back, back), S_OK);
    EXPECT_EQ(std::memcmp(back, row, 6), 0);
    EXPECT_EQ(std::memcmp(back + 6, row, 6), 0);
    decoded->Release();
    decoder->Release();
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

    IWICBitmapDecoder* decoder = nullptr;
    ASSERT_EQ(
        factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder),
        S_OK);
    stream->Release(); // the decoder keeps it
    IWICBitmapFrameDecode* frame = nullptr;
    ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
    std::vector<BYTE> inPlace(32 * 32 * 3), copied(32 * 32 * 3);
    ASSERT_EQ(frame->CopyPixels(nullptr, 96, static_cast<UINT>(inPlace.size()), inPlace.data()),
              S_OK);
    frame->Release();
    decoder->Release();

    IStream* own = StreamOver(file);
    ASSERT_EQ(
        factory->CreateDecoderFromStream(own, nullptr, WICDecodeMetadataCacheOnDemand, &decoder),
        S_OK);
    own->Release();
    ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
    ASSERT_EQ(frame->CopyPixels(nullptr, 96, static_cast<UINT>(copied.size()), copied.data()),
              S_OK);
    frame->Release();
    decoder->Release();
    EXPECT_EQ(inPlace, copied);

    // The same file cut in its image data: the header reads, the pixels do not.
    file.resize(file.size() / 2);
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
