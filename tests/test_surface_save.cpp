// Saving surfaces: SaveBMP and SavePNG at every depth a surface may have (8-bit with its palette,
// 5-5-5, 5-6-5, 24 and 32 bits) give files that load back with the same pixels, a saved PNG
// works through TarnSurface::Create, and bad calls are refused. On the headless host a failure
// at any step of the write leaves no file behind and an older file untouched.
#include "display/TarnScreen.h"
#include "image/TarnImage.h"
#include "surface/TarnSurface.h"

#include "support/ImageFixtures.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include "internal/StandIn.h"
#endif

namespace {

struct Format {
    const char* name;
    int bits;
    DWORD red, green, blue; // 0 for palettised
};

const Format FORMATS[] = {
    {"8-bit palette", 8, 0, 0, 0},
    {"5-5-5", 16, 0x7C00, 0x03E0, 0x001F},
    {"5-6-5", 16, 0xF800, 0x07E0, 0x001F},
    {"24-bit", 24, 0xFF0000, 0x00FF00, 0x0000FF},
    {"32-bit", 32, 0xFF0000, 0x00FF00, 0x0000FF},
};

class SaveTest : public ImageTest {
protected:
    void SetUp() override {
        ImageTest::SetUp();
        folder = std::filesystem::temp_directory_path() /
                 ("tarn_save_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        for (TarnSurface* s : made) delete s;
        for (IDirectDrawPalette* p : palettes) p->Release();
        std::filesystem::remove_all(folder);
        ImageTest::TearDown();
    }

    // A w x h system-memory surface of `format` filled with a pattern that uses every bit of
    // every channel, wrapped in a TarnSurface.
    TarnSurface* Make(const Format& format, int w, int h) {
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof(desc));
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = w;
        desc.dwHeight = h;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
        pf.dwSize = sizeof(pf);
        pf.dwFlags = DDPF_RGB | (format.bits == 8 ? DDPF_PALETTEINDEXED8 : 0);
        pf.dwRGBBitCount = format.bits;
        pf.dwRBitMask = format.red;
        pf.dwGBitMask = format.green;
        pf.dwBBitMask = format.blue;
        IDirectDrawSurface7* dds = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &dds, nullptr), DD_OK) << format.name;
        if (!dds) return nullptr;
        if (format.bits == 8) {
            PALETTEENTRY entries[256];
            for (int i = 0; i < 256; ++i)
                entries[i] = {BYTE(i * 7), BYTE(255 - i), BYTE(i * 13 + 5), 0};
            IDirectDrawPalette* palette = nullptr;
            EXPECT_EQ(
                dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr),
                DD_OK);
            if (palette) {
                EXPECT_EQ(dds->SetPalette(palette), DD_OK);
                palettes.push_back(palette);
            }
        }
        DDSURFACEDESC2 locked;
        std::memset(&locked, 0, sizeof(locked));
        locked.dwSize = sizeof(locked);
        EXPECT_EQ(dds->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
        const int bytes = format.bits / 8;
        uint32_t seed = 0x1234567u;
        for (int y = 0; y < h; ++y) {
            BYTE* row = static_cast<BYTE*>(locked.lpSurface) + locked.lPitch * y;
            for (int x = 0; x < w * bytes; ++x) {
                seed = seed * 1103515245u + 12345u;
                row[x] = static_cast<BYTE>(seed >> 16);
            }
        }
        dds->Unlock(nullptr);
        TarnSurface* s = new TarnSurface();
        s->surface = dds;
        s->width = w;
        s->height = h;
        made.push_back(s);
        return s;
    }

    // The surface's colours as 0x00RRGGBB, palettes looked up.
    static Decoded Colours(TarnSurface* s) {
        DDPIXELFORMAT pf;
        std::memset(&pf, 0, sizeof(pf));
        pf.dwSize = sizeof(pf);
        s->surface->GetPixelFormat(&pf);
        if (pf.dwRGBBitCount != 8) return ReadBack(s->surface);
        IDirectDrawPalette* palette = nullptr;
        PALETTEENTRY entries[256];
        s->surface->GetPalette(&palette);
        palette->GetEntries(0, 0, 256, entries);
        palette->Release();
        Decoded d;
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof(desc));
        desc.dwSize = sizeof(desc);
        s->surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
        d.ok = true;
        d.width = static_cast<int>(desc.dwWidth);
        d.height = static_cast<int>(desc.dwHeight);
        for (int y = 0; y < d.height; ++y)
            for (int x = 0; x < d.width; ++x) {
                const PALETTEENTRY& e =
                    entries[static_cast<const BYTE*>(desc.lpSurface)[desc.lPitch * y + x]];
                d.pixels.push_back((uint32_t(e.peRed) << 16) | (uint32_t(e.peGreen) << 8) |
                                   e.peBlue);
            }
        s->surface->Unlock(nullptr);
        return d;
    }

    std::string Path(const std::string& name) const { return (folder / name).string(); }

    std::filesystem::path folder;
    std::vector<TarnSurface*> made;
    std::vector<IDirectDrawPalette*> palettes;
};

} // namespace

// Saved and loaded again, every depth gives its colours back exactly, through either format; an
// 8-bit surface's BMP is an 8-bit file with its palette. Also with rows padded to an odd pitch,
// where every other row of 16-bit pixels starts at an odd address.
TEST_F(SaveTest, SavedPicturesLoadBackWithTheSamePixels) {
    for (const int padding : {0, 1})
        for (const Format& format : FORMATS) {
            SCOPED_TRACE(testing::Message() << format.name << ", rows padded by " << padding);
            host->Config().pitchPadding = padding;
            TarnSurface* s = Make(format, 37, 11); // odd width: padded BMP rows
            ASSERT_NE(s, nullptr);
            const Decoded expected = Colours(s);
            ASSERT_TRUE(expected.ok);
            const std::string bmp = Path("saved.bmp"), png = Path("saved.png");
            ASSERT_EQ(s->SaveBMP(bmp.c_str()), S_OK);
            ASSERT_EQ(s->SavePNG(png.c_str()), S_OK);
            EXPECT_TRUE(SamePicture(LoadFile(bmp, IMAGE_BMP), expected, 0, "saved_bmp"));
            EXPECT_TRUE(SamePicture(LoadFile(png), expected, 0, "saved_png"));
            fixtures::Bytes file;
            ASSERT_TRUE(ReadWholeFile(bmp, &file));
            ASSERT_GT(file.size(), 30u);
            EXPECT_EQ(file[28], format.bits == 8 ? 8 : 24);
            EXPECT_FALSE(std::filesystem::exists(bmp + ".saving"));
            EXPECT_FALSE(std::filesystem::exists(png + ".saving"));
        }
}

// A saved PNG is a picture like any other for TarnSurface::Create; a later save replaces it.
TEST_F(SaveTest, SavedPngLoadsThroughCreateAndIsReplaced) {
    TarnSurface* s = Make(FORMATS[4], 20, 10);
    ASSERT_NE(s, nullptr);
    const std::string png = Path("picture.png");
    ASSERT_EQ(s->SavePNG(png.c_str()), S_OK);
    ASSERT_EQ(s->SavePNG(png.c_str()), S_OK);
    TarnScreen screen;
    ASSERT_EQ(screen.GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    TarnSurface* loaded = new TarnSurface();
    ASSERT_EQ(loaded->Create(&screen, png.c_str(), 1), 1);
    EXPECT_EQ(loaded->width, 20);
    EXPECT_EQ(loaded->height, 10);
    EXPECT_TRUE(SamePicture(ReadBack(loaded->surface), Colours(s), 0, "created"));
    delete loaded;
}

// Saves `s` while a lock of it reports the description as `change` leaves it: the surface stays
// locked meanwhile, so the saver's own lock nests and reads that description.
HRESULT SaveWhileLockedAs(TarnSurface* s, bool png, const std::string& path,
                          const std::function<void(DDSURFACEDESC2&)>& change) {
    if (s->Lock() != 1) return E_FAIL;
    const DDSURFACEDESC2 real = s->surfaceDesc;
    change(s->surfaceDesc);
    const HRESULT hr = png ? s->SavePNG(path.c_str()) : s->SaveBMP(path.c_str());
    s->surfaceDesc = real;
    s->Unlock();
    return hr;
}

// A surface whose format or size the files cannot hold gets a clear failure and no file: a format
// that is not RGB, a channel without bits, with a gap or outside the pixel, and a picture whose
// rows or file would pass what the format's sizes can say (4 GiB here), refused before anything
// is read or allocated for it.
TEST_F(SaveTest, FormatsAndSizesTheFilesCannotHoldAreRefused) {
    TarnSurface* s = Make(FORMATS[4], 8, 4);
    ASSERT_NE(s, nullptr);
    const struct {
        const char* name;
        std::function<void(DDSURFACEDESC2&)> change;
        HRESULT result;
    } cases[] = {
        {"not RGB", [](DDSURFACEDESC2& d) { d.ddpfPixelFormat.dwFlags &= ~DDPF_RGB; },
         DDERR_INVALIDPIXELFORMAT},
        {"no red bits", [](DDSURFACEDESC2& d) { d.ddpfPixelFormat.dwRBitMask = 0; },
         DDERR_INVALIDPIXELFORMAT},
        {"a gap in green", [](DDSURFACEDESC2& d) { d.ddpfPixelFormat.dwGBitMask = 0x8000FF00; },
         DDERR_INVALIDPIXELFORMAT},
        {"blue outside a 16-bit pixel",
         [](DDSURFACEDESC2& d) {
             d.ddpfPixelFormat.dwRGBBitCount = 16;
             d.ddpfPixelFormat.dwRBitMask = 0xF800;
             d.ddpfPixelFormat.dwGBitMask = 0x07E0;
             d.ddpfPixelFormat.dwBBitMask = 0x1F0000;
         },
         DDERR_INVALIDPIXELFORMAT},
        {"rows of 4 GiB and more",
         [](DDSURFACEDESC2& d) {
             d.dwWidth = 0x10000;
             d.dwHeight = 0x5556; // 196608 bytes a row: 2^32 + 131072 bytes
         },
         DDERR_TOOBIGSIZE},
        {"wider than a file can say",
         [](DDSURFACEDESC2& d) {
             d.dwWidth = 0x80000000u;
             d.dwHeight = 1;
         },
         DDERR_TOOBIGSIZE},
    };
    for (const auto& c : cases)
        for (bool png : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (png ? ", png" : ", bmp"));
            const std::string path = Path(png ? "refused.png" : "refused.bmp");
            EXPECT_EQ(SaveWhileLockedAs(s, png, path, c.change), c.result);
            EXPECT_FALSE(std::filesystem::exists(path));
            EXPECT_FALSE(std::filesystem::exists(path + ".saving"));
        }
}

// A channel wider than 8 bits is scaled down to 8 without overflowing on the way: full scale
// stays full scale at 30 bits.
TEST_F(SaveTest, ChannelsWiderThanEightBitsAreScaledDown) {
    TarnSurface* s = Make(FORMATS[4], 2, 1);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->Lock(), 1);
    DWORD* pixels = static_cast<DWORD*>(s->surfaceDesc.lpSurface);
    pixels[0] = 0xFFFFFFFF;
    pixels[1] = 0x80000000; // red at half scale, green and blue 0
    ASSERT_EQ(s->Unlock(), 0);
    const std::string bmp = Path("wide.bmp");
    ASSERT_EQ(SaveWhileLockedAs(s, false, bmp,
                                [](DDSURFACEDESC2& d) {
                                    d.ddpfPixelFormat.dwRBitMask = 0xFFFFFFFC;
                                    d.ddpfPixelFormat.dwGBitMask = 0x2;
                                    d.ddpfPixelFormat.dwBBitMask = 0x1;
                                }),
              S_OK);
    fixtures::Bytes file;
    ASSERT_TRUE(ReadWholeFile(bmp, &file));
    ASSERT_GE(file.size(), 60u);
    const fixtures::Bytes bgr(file.begin() + 54, file.begin() + 60);
    EXPECT_EQ(bgr, (fixtures::Bytes{255, 255, 255, 0, 0, 127}));
}

TEST_F(SaveTest, BadCallsAreRefused) {
    TarnSurface empty;
    EXPECT_TRUE(FAILED(empty.SaveBMP(Path("a.bmp").c_str())));
    EXPECT_TRUE(FAILED(empty.SavePNG(Path("a.png").c_str())));
    TarnSurface* s = Make(FORMATS[2], 4, 4);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->SaveBMP(nullptr), E_INVALIDARG);
    EXPECT_EQ(s->SavePNG(""), E_INVALIDARG);
    const std::string nowhere = Path("no/such/folder/a.png");
    EXPECT_TRUE(FAILED(s->SavePNG(nowhere.c_str())));
    EXPECT_TRUE(FAILED(s->SaveBMP(nowhere.c_str())));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

#ifndef _WIN32
// A failure at any step (creating the file, writing, renaming, the encoder, the lock) leaves
// no file and no temporary behind, an older file as it was, and no object alive.
TEST_F(SaveTest, AFailedSaveLeavesNothingBehind) {
    using tarn::platform::InjectFault;
    TarnSurface* s = Make(FORMATS[2], 16, 8);
    ASSERT_NE(s, nullptr);
    const std::string old = Path("old.png");
    {
        std::FILE* f = std::fopen(old.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("older", f);
        std::fclose(f);
    }
    const int alive = tarn::platform::LiveObjects();
    const char* steps[] = {"CreateFileA",
                           "WriteFile",
                           "MoveFileExA",
                           "IDirectDrawSurface7::Lock",
                           "CoCreateInstance",
                           "IWICBitmapFrameEncode::WritePixels",
                           "IWICBitmapFrameEncode::Commit",
                           "IWICBitmapEncoder::Commit",
                           "IStream::Write"};
    for (const char* step : steps) {
        SCOPED_TRACE(step);
        bool failed = false;
        for (bool png : {false, true}) {
            InjectFault(step, 1, E_FAIL);
            const std::string fresh = Path(png ? "fresh.png" : "fresh.bmp");
            const HRESULT hr = png ? s->SavePNG(fresh.c_str()) : s->SaveBMP(fresh.c_str());
            tarn::platform::ClearFaults();
            if (SUCCEEDED(hr)) { // a step this format does not take
                std::filesystem::remove(fresh);
                continue;
            }
            failed = true;
            EXPECT_FALSE(std::filesystem::exists(fresh)) << png;
            EXPECT_FALSE(std::filesystem::exists(fresh + ".saving")) << png;
            EXPECT_EQ(tarn::platform::LiveObjects(), alive);
        }
        EXPECT_TRUE(failed) << "no save took this step";
    }
    // The older file is replaced only by a whole new one.
    InjectFault("WriteFile", 1, E_FAIL);
    EXPECT_TRUE(FAILED(s->SavePNG(old.c_str())));
    tarn::platform::ClearFaults();
    EXPECT_EQ(std::filesystem::file_size(old), 5u);
    EXPECT_FALSE(std::filesystem::exists(old + ".saving"));
}
#endif
