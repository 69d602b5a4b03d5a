// File access under the image front end: TarnFile opening, reading and closing, and loads that
// give null and leave no surface or file behind when a platform call fails. Counts live objects
// and injects faults, so this runs on the headless host only.
#include "image/TarnFile.h"
#include "image/TarnImage.h"
#include "support/ImageFixtures.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

class ImageFileTest : public ImageTest {};

// A platform call that fails makes the load give null and leaves no surface behind.
TEST_F(ImageFileTest, PlatformFailuresGiveNullAndLeakNothing) {
    const std::string path = std::string(TARN_TEST_DATA) + "/bmpsuite/g/rgb24.bmp";
    ASSERT_TRUE(LoadFile(path).ok);
    const int surfacesBefore = tarn::platform::LiveObjects("surface");
    const int filesBefore = tarn::platform::LiveObjects("file");
    for (const char* operation :
         {"CreateFileA", "ReadFile", "GetFileSize", "IDirectDraw7::CreateSurface",
          "IDirectDrawSurface7::GetDC", "StretchDIBits"}) {
        SCOPED_TRACE(operation);
        tarn::platform::InjectFault(operation, 1, operation[0] == 'S' ? 0 : -1);
        TarnImage image;
        EXPECT_EQ(image.LoadFile(dd, path.c_str(), 2, 0), nullptr);
        tarn::platform::ClearFaults();
        EXPECT_EQ(tarn::platform::LiveObjects("surface"), surfacesBefore);
        EXPECT_EQ(tarn::platform::LiveObjects("file"), filesBefore);
    }
}

TEST_F(ImageFileTest, FileOpensReadsAndCloses) {
    const std::string path = ::testing::TempDir() + "front_file.bin";
    {
        std::ofstream out(path, std::ios::binary);
        out << "0123456789";
    }
    TarnFile file;
    EXPECT_EQ(file.OpenRead("/no/such/file"), -1);
    EXPECT_EQ(file.handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(file.GetSize(), 0u);

    const int filesBefore = tarn::platform::LiveObjects("file");
    ASSERT_EQ(file.OpenRead(path.c_str()), 0);
    ASSERT_EQ(file.OpenRead(path.c_str()), 0); // the first handle is closed
    EXPECT_EQ(tarn::platform::LiveObjects("file"), filesBefore + 1);
    EXPECT_EQ(file.GetSize(), 10u);
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, 0), 0u);
    EXPECT_EQ(file.Read(buffer, 16), 10u); // a short read is the caller's to notice
    EXPECT_EQ(std::string(buffer), "0123456789");
    file.Close();
    file.Close();
    EXPECT_EQ(tarn::platform::LiveObjects("file"), filesBefore);
    EXPECT_EQ(file.Read(buffer, 4), 0u);
    std::remove(path.c_str());
}

} // namespace
