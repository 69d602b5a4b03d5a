// JPEG files through the system's picture loader, as a program meets them: the small files in
// tests/data/jpeg (JFIF and Exif, baseline and progressive, colour at 4:2:0 and 4:4:4, grey) are
// found by their content and decoded into 32-bit surfaces and into a 16-bit surface of a
// full-screen chain, each compared with libjpeg-turbo's decode of the same file (the .ppm beside
// it). No headless instrument is used, so this runs on the stand-in (whose picture loader is
// libjpeg-turbo: the pictures agree exactly) and on Windows, where the system's loader decodes.
#include "display/TarnScreen.h"
#include "image/TarnImage.h"
#include "support/ImageFixtures.h"
#include "support/MachineNeeds.h"
#include "support/TestWindow.h"
#include "surface/TarnSurface.h"

#include <windows.h>
#include <ddraw.h>

#include <string>

namespace {

// Each file, and how far a channel of its decode may be from libjpeg-turbo's. The stand-in's
// loader is libjpeg-turbo: 0 everywhere. Measured under Wine 8, whose loader decodes otherwise:
// grey pictures agree exactly and full-resolution colour within 1 (a rounding in 2 of 4608
// samples), but chroma stored at half resolution (4:2:0) is upsampled another way (neither
// libjpeg-turbo's smoothing nor its plain doubling of the chroma), which moves channels by up
// to 8 where the colour changes. The pictures' sharp detail is in brightness only, so that a
// picture that is shifted, mirrored or has its channels swapped is still far outside these.
struct JpegFile {
    const char* name;
    int tolerance;
};
const JpegFile FILES[] = {
    {"baseline_420", 8},  {"baseline_444", 1},     {"progressive_colour", 8},
    {"baseline_grey", 1}, {"progressive_grey", 1}, {"exif", 8},
};

std::string DataPath(const std::string& name, const char* extension) {
    return std::string(TARN_TEST_DATA) + "/jpeg/" + name + extension;
}

class JpegFileTest : public ImageTest {};

TEST_F(JpegFileTest, FilesAreFoundAndDecodeToLibjpegsPixels) {
    for (const JpegFile& f : FILES) {
        SCOPED_TRACE(f.name);
        fixtures::Bytes file;
        ASSERT_TRUE(ReadWholeFile(DataPath(f.name, ".jpg"), &file));
        EXPECT_EQ(TarnImage::DetectFormat(static_cast<int>(file.size()), file.data()), IMAGE_JPG);
        const Decoded expected = ReadPpm(DataPath(f.name, ".ppm"));
        ASSERT_TRUE(expected.ok);
        EXPECT_TRUE(SamePicture(LoadFile(DataPath(f.name, ".jpg")), expected, f.tolerance, f.name));
    }
}

// The demo's display: a picture loaded on a full-screen 640 x 480 x 16 chain takes the
// display's 5-6-5 format, each channel libjpeg's value cut to its bits (within the file's
// tolerance, in steps of the channel: 8 levels in red and blue, 4 in green), and copies to the
// back buffer and flips to the front as any other picture.
class JpegFullScreenTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        host->Config().desktopBits = 32;
        window = MakeTestWindow("TarnJpegFullScreen", WS_POPUP);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
    }
    void TearDown() override {
        if (window) DestroyWindow(window);
        HeadlessTest::TearDown();
    }
    HWND window = nullptr;
};

TEST_F(JpegFullScreenTest, PictureInASixteenBitChain) {
    if (std::string lacks = LacksDisplayMode(640, 480, 16); !lacks.empty()) GTEST_SKIP() << lacks;
    TarnScreen* screen = new TarnScreen();
    ASSERT_EQ(screen->CreateFullScreen(window, 640, 480, 16, 0), 0);
    TarnSurface* back = screen->GetBack();
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->FillSolid(0), DD_OK);
    for (const JpegFile& f : {FILES[0], FILES[1], FILES[5]}) {
        SCOPED_TRACE(f.name);
        const Decoded expected = ReadPpm(DataPath(f.name, ".ppm"));
        ASSERT_TRUE(expected.ok);
        TarnSurface* picture = new TarnSurface();
        ASSERT_EQ(picture->Create(screen, DataPath(f.name, ".jpg").c_str(), 2), 1);
        EXPECT_EQ(picture->width, expected.width);
        EXPECT_EQ(picture->height, expected.height);
        const PixelLayout& layout = picture->pixelLayout;
        EXPECT_EQ(layout.depth, 16);
        ASSERT_EQ(layout.redShift, 11);
        ASSERT_EQ(layout.greenShift, 5);

        std::string mismatch;
        TarnSurface& from = *picture;
        ASSERT_GT(from.Lock(), 0);
        for (int y = 0; y < expected.height && mismatch.empty(); ++y)
            for (int x = 0; x < expected.width && mismatch.empty(); ++x) {
                const DWORD got = (from.*from.readPixel)(x, y);
                const uint32_t e = expected.At(x, y);
                const struct {
                    int got, want, step;
                } channels[] = {
                    {static_cast<int>(got >> 11 & 31), static_cast<int>(e >> 19 & 31), 8},
                    {static_cast<int>(got >> 5 & 63), static_cast<int>(e >> 10 & 63), 4},
                    {static_cast<int>(got & 31), static_cast<int>(e >> 3 & 31), 8}};
                for (const auto& c : channels) {
                    const int steps = (f.tolerance + c.step - 1) / c.step;
                    if (c.got - c.want > steps || c.want - c.got > steps)
                        mismatch = "first bad pixel (" + std::to_string(x) + ", " +
                                   std::to_string(y) + "): " + std::to_string(got);
                }
            }
        from.Unlock();
        EXPECT_EQ(mismatch, "");

        EXPECT_EQ(picture->CopyTo(back, 0, 0, nullptr), DD_OK);
        screen->Flip(1, 0, 0);
        TarnSurface& front = *screen->GetFront();
        ASSERT_GT(from.Lock(), 0);
        ASSERT_GT(front.Lock(), 0);
        for (int y : {0, expected.height / 2, expected.height - 1})
            for (int x : {0, expected.width / 3, expected.width - 1})
                EXPECT_EQ((front.*front.readPixel)(x, y), (from.*from.readPixel)(x, y))
                    << x << ", " << y;
        front.Unlock();
        from.Unlock();
        delete picture;
    }
    delete back;
    delete screen;
}

} // namespace
