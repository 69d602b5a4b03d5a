// Tile maps from Tiled: the maps in tests/data/maps (written as Tiled writes them, their JSON
// twins exported by Tiled itself) drawn and compared pixel for pixel with Tiled's own
// tmxrasterizer; what a program reads of a level (layers, objects, properties, tilesets);
// scrolling, clipping and depths against a whole drawing; animations; display loss; and every
// kind of bad input refused with an error that names the file, leaving nothing loaded.
#include "display/TarnScreen.h"
#include "map/TarnMap.h"
#include "surface/TarnSurface.h"

#include "support/AllocationCounter.h"
#include "support/DesktopScreenTest.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const std::string MAPS = TARN_TEST_DATA "/maps/";

class MapTest : public DesktopScreenTest {
protected:
    TarnSurface* Blank(int w, int h) {
        TarnSurface* s = new TarnSurface();
        made.push_back(s);
        EXPECT_EQ(s->CreateBlank(screen, w, h, 1), 1);
        return s;
    }

    // Every pixel of `s` as its own value, rows packed.
    static std::vector<DWORD> Pixels(TarnSurface* s) {
        std::vector<DWORD> out;
        if (s->Lock() < 1) return out;
        const TarnSurface::ReadPixelFn read = s->readPixel;
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) out.push_back((s->*read)(x, y));
        s->Unlock();
        return out;
    }

    // The whole map drawn as `tarnmap render` draws it: its visible tile layers' bounds on black
    // (Tiled's rasterizer leaves the background colour out too).
    TarnSurface* Render(TarnMap& map, double time = 0) {
        const RECT b = map.DrawnBounds();
        TarnSurface* s = Blank(b.right - b.left, b.bottom - b.top);
        s->FillSolid(0);
        EXPECT_EQ(map.Draw(s, b.left, b.top, time), MAP_OK);
        return s;
    }
};

// Tiled's picture (32-bit RGBA, transparent where nothing is drawn) against ours: every pixel
// the same, transparent ones black. Returns how many differ, after printing the first.
int CompareWithReference(TarnSurface* ours, TarnSurface* ref) {
    if (ours->width != ref->width || ours->height != ref->height) {
        ADD_FAILURE() << "size " << ours->width << "x" << ours->height << ", Tiled's " << ref->width
                      << "x" << ref->height;
        return -1;
    }
    int differ = 0;
    EXPECT_GE(ours->Lock(), 1);
    EXPECT_GE(ref->Lock(), 1);
    for (int y = 0; y < ref->height; ++y)
        for (int x = 0; x < ref->width; ++x) {
            DWORD want = (ref->*ref->readPixel)(x, y) & 0xFFFFFF;
            if (ref->alphaPlane && ref->alphaPlane[y * ref->alphaWidth + x] == 0) want = 0;
            const DWORD got = (ours->*ours->readPixel)(x, y) & 0xFFFFFF;
            if (got != want && differ++ == 0)
                ADD_FAILURE() << "first difference at (" << x << ", " << y << "): " << std::hex
                              << got << ", Tiled's " << want;
        }
    ours->Unlock();
    ref->Unlock();
    return differ;
}

TEST_F(MapTest, DrawsEveryMapAsTiledDoesFromBothFormats) {
    // basic: CSV, spacing and margin, a transparent colour, every flip, a layer offset.
    // external: .tsx tileset, zlib, gzip and plain base64, a group with an offset, a hidden layer,
    //           alpha, tile objects, a background colour. infinite: chunks left of and above 0,
    //           zstd. collection: one picture per tile, larger than a cell, flipped.
    for (const char* name : {"basic", "external", "infinite", "collection"})
        for (const char* ext : {".tmx", ".tmj"}) {
            SCOPED_TRACE(std::string(name) + ext);
            TarnMap map;
            ASSERT_EQ(map.Load((MAPS + name + ext).c_str()), MAP_OK) << map.Error();
            ASSERT_EQ(map.LoadPictures(screen, 1), MAP_OK) << map.Error();
            TarnSurface* ref = new TarnSurface();
            made.push_back(ref);
            ASSERT_EQ(ref->Create(screen, (MAPS + name + ".ref.png").c_str(), 1), 1);
            EXPECT_EQ(CompareWithReference(Render(map), ref), 0);
        }
}

// The tool draws what Tiled draws; its info names the things of the map; a bad map is said.
TEST_F(MapTest, TheToolRendersAsTiledAndListsTheMap) {
    const std::string tool = std::string(TARN_BIN_DIR) + "/tarnmap";
    ASSERT_TRUE(std::filesystem::exists(tool)) << "build the tarnmap tool first";
    const std::string out =
        (std::filesystem::temp_directory_path() / ("tarnmap-" + std::to_string(::getpid())))
            .string();
    for (const char* file : {"basic.tmx", "external.tmj", "infinite.tmx", "collection.tmj"}) {
        SCOPED_TRACE(file);
        const std::string stem = std::string(file).substr(0, std::string(file).find('.'));
        ASSERT_EQ(
            std::system(("'" + tool + "' render '" + MAPS + file + "' '" + out + ".png'").c_str()),
            0);
        TarnSurface* ours = new TarnSurface();
        TarnSurface* ref = new TarnSurface();
        made.push_back(ours);
        made.push_back(ref);
        ASSERT_EQ(ours->Create(screen, (out + ".png").c_str(), 1), 1);
        ASSERT_EQ(ref->Create(screen, (MAPS + stem + ".ref.png").c_str(), 1), 1);
        EXPECT_EQ(CompareWithReference(ours, ref), 0);
    }
    ASSERT_EQ(
        std::system(("'" + tool + "' info '" + MAPS + "external.tmx' >'" + out + ".txt'").c_str()),
        0);
    std::ifstream in(out + ".txt");
    const std::string info((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* line :
         {"map ", "tileset things: first id 1, 12 tiles of 8x8", "layer 2 top (tiles) in 1",
          "object 4 exit (door) rectangle at (48, 8)", "property partner (object) = 3"})
        EXPECT_NE(info.find(line), std::string::npos) << line << " in:\n" << info;
    EXPECT_NE(std::system(("'" + tool + "' render '" + MAPS + "gone.tmx' '" + out + ".png' 2>'" +
                           out + ".txt'")
                              .c_str()),
              0);
    std::ifstream err(out + ".txt");
    std::string said;
    std::getline(err, said);
    EXPECT_NE(said.find("gone.tmx: cannot be read"), std::string::npos) << said;
    std::filesystem::remove(out + ".png");
    std::filesystem::remove(out + ".txt");
}

TEST_F(MapTest, AnimatedTilesFollowTheGamesTime) {
    TarnMap map;
    ASSERT_EQ(map.Load((MAPS + "external.tmx").c_str()), MAP_OK) << map.Error();
    ASSERT_EQ(map.LoadPictures(screen, 1), MAP_OK) << map.Error();
    TarnSurface* ref = new TarnSurface();
    made.push_back(ref);
    ASSERT_EQ(ref->Create(screen, (MAPS + "external.150ms.ref.png").c_str(), 1), 1);
    // Frames of 100, 100 and 200 ms: 150 ms shows the second, and so does a loop later.
    EXPECT_EQ(CompareWithReference(Render(map, 0.15), ref), 0);
    EXPECT_EQ(CompareWithReference(Render(map, 0.55), ref), 0);
    EXPECT_NE(Pixels(Render(map, 0.0)), Pixels(Render(map, 0.15)));
}

TEST_F(MapTest, ReadsWhatALevelTellsItsProgramInBothFormats) {
    for (const char* file : {"external.tmx", "external.tmj"}) {
        SCOPED_TRACE(file);
        TarnMap map;
        ASSERT_EQ(map.Load((MAPS + file).c_str()), MAP_OK) << map.Error();
        EXPECT_EQ(map.width, 8);
        EXPECT_EQ(map.height, 6);
        EXPECT_EQ(map.tileWidth, 8);
        if (std::string(file).ends_with(".tmx")) { // a map's class is exported from Tiled 1.9 on
            EXPECT_EQ(map.type, "level");
        }
        EXPECT_TRUE(map.hasBackground);
        EXPECT_EQ(map.backgroundColour, 0xFF102030u);

        // Properties of every type.
        const TarnMapProperties& p = map.properties;
        EXPECT_STREQ(p.GetString("title"), "The Tarn");
        EXPECT_DOUBLE_EQ(p.GetNumber("gravity"), 9.5);
        EXPECT_EQ(p.GetNumber("lives"), 3);
        EXPECT_TRUE(p.GetBool("dark"));
        EXPECT_EQ(p.Find("tint")->type, PROPERTY_COLOUR);
        EXPECT_EQ(static_cast<DWORD>(p.GetNumber("tint")), 0x80FF0000u);
        EXPECT_EQ(p.Find("music")->type, PROPERTY_FILE);
        EXPECT_STREQ(p.GetString("music"), "sounds/tune.ogg");
        EXPECT_STREQ(p.GetString("note"), "Two\nlines");
        EXPECT_STREQ(p.GetString("absent", "none"), "none");
        EXPECT_EQ(p.GetNumber("title", -1), -1);

        // Layers, the group's offset added to its members, visibility through the group.
        ASSERT_EQ(map.layers.size(), 6u);
        const int top = map.FindLayer("top"), hidden = map.FindLayer("hidden");
        ASSERT_GE(top, 0);
        EXPECT_EQ(map.layers[top].parent, map.FindLayer("upper"));
        EXPECT_EQ(map.layers[top].totalOffsetX, 4);
        EXPECT_EQ(map.layers[top].totalOffsetY, 2);
        EXPECT_FALSE(map.layers[hidden].totalVisible);
        const TarnMapLayer& ground = map.layers[map.FindLayer("ground")];
        EXPECT_TRUE(ground.properties.GetBool("solid"));
        EXPECT_EQ(ground.TileAt(1, 1), 1u | MAP_FLIP_HORIZONTAL);
        EXPECT_EQ(ground.TileAt(2, 1), 11u);
        EXPECT_EQ(ground.TileAt(8, 0), 0u);
        EXPECT_EQ(ground.TileAt(-1, 0), 0u);

        // Objects of every shape, with their classes, positions and properties.
        struct Want {
            const char* name;
            const char* type;
            int shape;
            double x, y, w, h, rotation;
            size_t points;
            bool visible;
        };
        const Want wants[] = {
            {"coin", "pickup", SHAPE_TILE, 16, 24, 8, 8, 0, 0, true},
            {"start", "spawn", SHAPE_POINT, 12, 20, 0, 0, 0, 0, true},
            {"exit", "door", SHAPE_RECTANGLE, 48, 8, 8, 16, 0, 0, true},
            {"pond", "", SHAPE_ELLIPSE, 20, 30, 12, 6, 15, 0, true},
            {"hill", "", SHAPE_POLYGON, 2, 40, 0, 0, 0, 3, true},
            {"path", "", SHAPE_POLYLINE, 0, 0, 0, 0, 0, 3, false},
        };
        for (const Want& w : wants) {
            SCOPED_TRACE(w.name);
            const TarnMapObject* o = map.FindObject(w.name);
            ASSERT_NE(o, nullptr);
            EXPECT_EQ(o->type, w.type);
            EXPECT_EQ(o->shape, w.shape);
            EXPECT_EQ(o->x, w.x);
            EXPECT_EQ(o->y, w.y);
            EXPECT_EQ(o->width, w.w);
            EXPECT_EQ(o->height, w.h);
            EXPECT_EQ(o->rotation, w.rotation);
            EXPECT_EQ(o->points.size(), w.points);
            EXPECT_EQ(o->visible, w.visible);
        }
        EXPECT_EQ(map.FindObject("coin")->gid, 4u);
        EXPECT_EQ(map.FindObject("coin")->properties.GetNumber("value"), 10);
        EXPECT_EQ(map.FindObject("flag")->gid, 13u | MAP_FLIP_HORIZONTAL);
        EXPECT_EQ(map.FindObject("path")->points[1].x, 8.5);
        EXPECT_EQ(map.FindObject("hill")->points[1].y, -6);
        const TarnMapObject* exit = map.FindObject("exit");
        EXPECT_STREQ(exit->properties.GetString("to"), "basic.tmx");
        EXPECT_EQ(exit->properties.Find("partner")->type, PROPERTY_OBJECT);
        EXPECT_EQ(exit->properties.GetNumber("partner"), 3);
        EXPECT_EQ(map.FindObject("nobody"), nullptr);

        // The tilesets: one from its own file (paths from the map's folder), one embedded.
        ASSERT_EQ(map.tilesets.size(), 2u);
        const TarnMapTileset& things = map.tilesets[0];
        EXPECT_EQ(things.source, "tilesets/things.tsx");
        EXPECT_EQ(things.image, "sheet.png");
        EXPECT_EQ(things.name, "things");
        EXPECT_EQ(things.spacing, 2);
        EXPECT_EQ(things.margin, 1);
        EXPECT_EQ(things.columns, 4);
        EXPECT_EQ(things.tileCount, 12);
        EXPECT_TRUE(things.hasTransparent);
        EXPECT_EQ(things.transparent, 0xFF00FFu);
        EXPECT_STREQ(things.properties.GetString("author"), "tests");
        ASSERT_NE(things.FindTile(0), nullptr);
        ASSERT_EQ(things.FindTile(0)->animation.size(), 3u);
        EXPECT_EQ(things.FindTile(0)->animation[2].duration, 200);
        EXPECT_EQ(things.FindTile(3)->type, "coin");
        EXPECT_TRUE(things.FindTile(3)->properties.GetBool("shiny"));
        EXPECT_EQ(map.TilesetOf(13 | MAP_FLIP_VERTICAL), &map.tilesets[1]);
        EXPECT_EQ(map.tilesets[1].image, "tilesets/alpha.png");
        EXPECT_EQ(map.TilesetOf(0), nullptr);
    }
}

// A window onto the map at any scroll offset, on a surface clipped to a part of itself, shows
// exactly that part of the whole drawing and nothing outside the clip area; at every depth.
TEST_F(MapTest, ScrollsByAnyOffsetClippedAtEveryDepth) {
    for (int depth : {16, 24, 32}) {
        SCOPED_TRACE(depth);
        host->Config().desktopBits = depth;
        delete screen;
        screen = new TarnScreen();
        ASSERT_EQ(screen->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
        for (const char* file : {"basic.tmx", "infinite.tmj"}) {
            SCOPED_TRACE(file);
            TarnMap map;
            ASSERT_EQ(map.Load((MAPS + file).c_str()), MAP_OK) << map.Error();
            ASSERT_EQ(map.LoadPictures(screen, 1), MAP_OK) << map.Error();
            const RECT b = map.DrawnBounds();
            // The whole map with a border of 20 pixels of a marker colour.
            const int bw = b.right - b.left + 40, bh = b.bottom - b.top + 40;
            TarnSurface* whole = Blank(bw, bh);
            ASSERT_EQ(whole->FillSolid(0), DD_OK);
            ASSERT_EQ(map.Draw(whole, b.left - 20, b.top - 20), MAP_OK);
            const std::vector<DWORD> all = Pixels(whole);
            const DWORD marker = whole->MapRGB(1, 2, 3);
            const int cameras[][2] = {
                {-20, -20}, {-13, -7}, {5, 3}, {b.right - 9, b.bottom - 5}, {17, -11}};
            for (const auto& cam : cameras) {
                const int cx = cam[0] + static_cast<int>(b.left),
                          cy = cam[1] + static_cast<int>(b.top);
                TarnSurface* view = Blank(30, 26);
                ASSERT_EQ(view->FillSolid(marker), DD_OK);
                const RECT clip = {3, 2, 27, 23};
                view->SetClipArea(&clip);
                ASSERT_EQ(map.Draw(view, cx, cy), MAP_OK);
                const std::vector<DWORD> got = Pixels(view);
                for (int y = 0; y < 26; ++y)
                    for (int x = 0; x < 30; ++x) {
                        const int wx = x + cx - static_cast<int>(b.left) + 20;
                        const int wy = y + cy - static_cast<int>(b.top) + 20;
                        const bool inside = x >= 3 && x < 27 && y >= 2 && y < 23;
                        DWORD want = marker;
                        if (inside)
                            want = wx >= 0 && wy >= 0 && wx < bw && wy < bh
                                       ? all[static_cast<size_t>(wy) * bw + wx]
                                       : marker;
                        // Outside the whole drawing nothing is drawn: the view keeps its fill
                        // where the whole drawing kept its 0.
                        if (inside && want == 0) want = got[y * 30 + x] == marker ? marker : 0;
                        ASSERT_EQ(got[y * 30 + x], want) << "camera (" << cx << ", " << cy
                                                         << ") pixel (" << x << ", " << y << ")";
                    }
            }
        }
    }
    host->Config().desktopBits = 32;
}

TEST_F(MapTest, DrawingAllocatesNothingAndPicturesComeBackAfterADisplayLoss) {
    TarnMap map;
    ASSERT_EQ(map.Load((MAPS + "external.tmx").c_str()), MAP_OK) << map.Error();
    ASSERT_EQ(map.LoadPictures(screen, 0), MAP_OK) << map.Error(); // video memory: lost
    const std::vector<DWORD> before = Pixels(Render(map));
    TarnSurface* view = Blank(64, 48);
    const long allocations = AllocationCount();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(map.Draw(view, i * 3 - 7, i - 4, i * 0.1), MAP_OK);
    EXPECT_EQ(AllocationCount(), allocations);

    LoseDisplay();
    ASSERT_EQ(map.RestorePictures(), MAP_OK) << map.Error();
    for (TarnSurface* s : made) s->Restore();
    EXPECT_EQ(Pixels(Render(map)), before);
}

TEST_F(MapTest, CallsOutOfOrderAreRefused) {
    TarnMap map;
    TarnSurface* view = Blank(8, 8);
    EXPECT_EQ(map.Draw(view, 0, 0), MAP_ERR_STATE);
    EXPECT_EQ(map.LoadPictures(screen), MAP_ERR_STATE);
    EXPECT_EQ(map.Load(nullptr), MAP_ERR_STATE);
    ASSERT_EQ(map.Load((MAPS + "basic.tmx").c_str()), MAP_OK);
    EXPECT_EQ(map.Draw(view, 0, 0), MAP_ERR_STATE); // no pictures yet
    EXPECT_EQ(map.LoadPictures(nullptr), MAP_ERR_STATE);
    ASSERT_EQ(map.LoadPictures(screen), MAP_OK);
    EXPECT_EQ(map.Draw(nullptr, 0, 0), MAP_ERR_STATE);
    EXPECT_EQ(map.DrawLayer(view, 2, 0, 0), MAP_ERR_STATE);
    EXPECT_EQ(map.DrawLayer(view, -1, 0, 0), MAP_ERR_STATE);
    EXPECT_EQ(map.DrawLayer(view, 1, 0, 0), MAP_OK);
}

// A folder of files for one bad-input case: the map, and whatever else the case writes.
class BadMapTest : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        dir = std::filesystem::temp_directory_path() /
              ("tarn-map-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "sub");
        std::filesystem::copy_file(MAPS + "sheet.png", dir / "sheet.png");
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        MapTest::TearDown();
    }
    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream((dir / name).string(), std::ios::binary) << text;
        return (dir / name).string();
    }
    std::filesystem::path dir;
};

// A TMX map of 2 x 2 cells of 8 pixels with the sheet's tileset embedded, `layer` inside.
std::string Tmx(const std::string& layer, const std::string& tileset = "",
                const std::string& orientation = "orthogonal") {
    return "<?xml version=\"1.0\"?>\n<map version=\"1.8\" orientation=\"" + orientation +
           "\" width=\"2\" height=\"2\" tilewidth=\"8\" tileheight=\"8\" infinite=\"0\">\n" +
           (tileset.empty() ? " <tileset firstgid=\"1\" name=\"sheet\" tilewidth=\"8\" "
                              "tileheight=\"8\" spacing=\"2\" margin=\"1\" tilecount=\"12\" "
                              "columns=\"4\">\n  <image source=\"sheet.png\" width=\"40\" "
                              "height=\"30\"/>\n </tileset>\n"
                            : tileset) +
           layer + "</map>\n";
}

std::string CsvLayer(const std::string& data) {
    return " <layer id=\"1\" name=\"ground\" width=\"2\" height=\"2\">\n  <data "
           "encoding=\"csv\">" +
           data + "</data>\n </layer>\n";
}

std::string Base64Layer(const std::string& compression, const std::string& data) {
    return " <layer id=\"1\" name=\"ground\" width=\"2\" height=\"2\">\n  <data "
           "encoding=\"base64\"" +
           (compression.empty() ? "" : " compression=\"" + compression + "\"") + ">" + data +
           "</data>\n </layer>\n";
}

TEST_F(BadMapTest, BadMapsAreRefusedWithTheFileAndTheFaultNamed) {
    const std::string good = CsvLayer("1,2,3,4");
    // Cells of tile 1: five in the zlib stream, three in the gzip one.
    const std::string zlib5 = "eJxjZGBgYETDAABQAAY=";
    const std::string gzip3 = "H4sIAAAAAAACA2NkYGBghGIA++1mlAwAAAA=";
    struct Case {
        const char* what;
        std::string map;       // the map file's text (map.tmx, or map.tmj when it starts '{')
        const char* otherName; // a second file to write, or null
        std::string otherText;
        int code;
        const char* said; // a part of the error, beside the file's name
        const char* file; // the file the error names
    };
    const std::string externalTileset = " <tileset firstgid=\"1\" source=\"sub/set.tsx\"/>\n";
    const Case cases[] = {
        {"damaged XML", Tmx(good).substr(0, 120), nullptr, "", MAP_ERR_FORMAT, "damaged XML",
         "map.tmx"},
        {"damaged JSON", "{\"type\":\"map\", \"width\": [", nullptr, "", MAP_ERR_FORMAT,
         "damaged JSON", "map.tmj"},
        {"JSON that is not a map", "{\"type\":\"tileset\"}", nullptr, "", MAP_ERR_FORMAT,
         "not a Tiled map", "map.tmj"},
        {"isometric", Tmx(good, "", "isometric"), nullptr, "", MAP_ERR_UNSUPPORTED,
         "isometric; only orthogonal", "map.tmx"},
        {"hexagonal", Tmx(good, "", "hexagonal"), nullptr, "", MAP_ERR_UNSUPPORTED, "hexagonal",
         "map.tmx"},
        {"staggered", Tmx(good, "", "staggered"), nullptr, "", MAP_ERR_UNSUPPORTED, "staggered",
         "map.tmx"},
        {"tile id past the tileset", Tmx(CsvLayer("1,2,13,4")), nullptr, "", MAP_ERR_TILE,
         "layer 'ground' at (0, 1): tile id 13 is past its tileset", "map.tmx"},
        {"CSV short", Tmx(CsvLayer("1,2,3")), nullptr, "", MAP_ERR_TILE,
         "the data has 3 cells, the layer's size needs 4", "map.tmx"},
        {"CSV long", Tmx(CsvLayer("1,2,3,4,5")), nullptr, "", MAP_ERR_TILE, "more cells",
         "map.tmx"},
        {"CSV not numbers", Tmx(CsvLayer("1,x,3,4")), nullptr, "", MAP_ERR_FORMAT, "not a tile id",
         "map.tmx"},
        {"base64 short", Tmx(Base64Layer("", "AQAAAAEAAAABAAAA")), nullptr, "", MAP_ERR_TILE,
         "the data has 3 cells", "map.tmx"},
        {"base64 damaged", Tmx(Base64Layer("", "AQAA!AAA")), nullptr, "", MAP_ERR_FORMAT,
         "base64 data is damaged", "map.tmx"},
        {"zlib too long", Tmx(Base64Layer("zlib", zlib5)), nullptr, "", MAP_ERR_TILE, "more cells",
         "map.tmx"},
        {"gzip too short", Tmx(Base64Layer("gzip", gzip3)), nullptr, "", MAP_ERR_TILE,
         "holds 3 cells", "map.tmx"},
        {"zlib damaged", Tmx(Base64Layer("zlib", "AQAAAAEAAAABAAAAAQAAAA==")), nullptr, "",
         MAP_ERR_TILE, "is damaged", "map.tmx"},
        {"unknown compression", Tmx(Base64Layer("lzma", "AQAAAA==")), nullptr, "",
         MAP_ERR_UNSUPPORTED, "unknown compression 'lzma'", "map.tmx"},
        {"bad number", Tmx(good).replace(Tmx(good).find("width=\"2\""), 9, "width=\"2x\""), nullptr,
         "", MAP_ERR_FORMAT, "bad width '2x'", "map.tmx"},
        {"missing tileset file", Tmx(good, externalTileset), nullptr, "", MAP_ERR_FILE,
         "its tileset 'sub/set.tsx' cannot be read", "map.tmx"},
        {"damaged tileset file", Tmx(good, externalTileset), "sub/set.tsx",
         "<tileset name=", MAP_ERR_FORMAT, "damaged XML", "set.tsx"},
        {"tileset leaving the folder",
         Tmx(good, " <tileset firstgid=\"1\" source=\"../x.tsx\"/>\n"), nullptr, "", MAP_ERR_PATH,
         "'../x.tsx' leaves the map's folder", "map.tmx"},
        {"absolute tileset path", Tmx(good, " <tileset firstgid=\"1\" source=\"/etc/x.tsx\"/>\n"),
         nullptr, "", MAP_ERR_PATH, "leaves the map's folder", "map.tmx"},
        {"picture leaving the folder through a tileset", Tmx(good, externalTileset), "sub/set.tsx",
         "<tileset name=\"s\" tilewidth=\"8\" tileheight=\"8\" tilecount=\"1\" columns=\"1\">"
         "<image source=\"../../sheet.png\" width=\"8\" height=\"8\"/></tileset>",
         MAP_ERR_PATH, "'../../sheet.png' leaves the map's folder", "set.tsx"},
        {"turned tile that is not square",
         Tmx(CsvLayer("536870913,0,0,0"),
             " <tileset firstgid=\"1\" name=\"wide\" tilewidth=\"8\" tileheight=\"4\" "
             "tilecount=\"2\" columns=\"1\">\n  <image source=\"sheet.png\" width=\"40\" "
             "height=\"30\"/>\n </tileset>\n"),
         nullptr, "", MAP_ERR_TILE, "not square", "map.tmx"},
        {"animation past its tileset",
         Tmx(good, " <tileset firstgid=\"1\" name=\"sheet\" tilewidth=\"8\" tileheight=\"8\" "
                   "spacing=\"2\" margin=\"1\" tilecount=\"12\" columns=\"4\">\n  <image "
                   "source=\"sheet.png\" width=\"40\" height=\"30\"/>\n  <tile id=\"1\"><animation>"
                   "<frame tileid=\"12\" duration=\"10\"/></animation></tile>\n </tileset>\n"),
         nullptr, "", MAP_ERR_TILE, "animation shows tile 12, past its tileset", "map.tmx"},
        {"JSON layer of the wrong size",
         "{\"type\":\"map\",\"orientation\":\"orthogonal\",\"width\":2,\"height\":2,"
         "\"tilewidth\":8,\"tileheight\":8,\"layers\":[{\"type\":\"tilelayer\",\"name\":\"g\","
         "\"width\":2,\"height\":2,\"data\":[0,0,0]}]}",
         nullptr, "", MAP_ERR_TILE, "the data has 3 cells", "map.tmj"},
        {"JSON of the wrong type",
         "{\"type\":\"map\",\"orientation\":\"orthogonal\",\"width\":\"2\",\"height\":2,"
         "\"tilewidth\":8,\"tileheight\":8}",
         nullptr, "", MAP_ERR_FORMAT, "bad 'width'", "map.tmj"},
        {"JSON nested deeply", std::string(100000, '['), nullptr, "", MAP_ERR_FORMAT,
         "damaged JSON", "map.tmj"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool json = c.map[0] == '{' || c.map[0] == '[';
        const std::string path = Write(json ? "map.tmj" : "map.tmx", c.map);
        if (c.otherName) Write(c.otherName, c.otherText);
        TarnMap map;
        EXPECT_EQ(map.Load(path.c_str()), c.code);
        const std::string error = map.Error();
        EXPECT_NE(error.find(c.said), std::string::npos) << error;
        EXPECT_NE(error.find(c.file), std::string::npos) << error;
        EXPECT_TRUE(map.layers.empty() && map.tilesets.empty() && map.tileWidth == 0);
        std::filesystem::remove(dir / "sub" / "set.tsx");
    }
}

// Base64 is read in whole groups of four where it can and a character at a time around white
// space, padding and damage: the same cells wherever those fall, and damage found anywhere.
TEST(MapBase64Test, CellsAreTheSameWhereverSpaceFallsAndDamageIsFoundAnywhere) {
    // Cells 1, 2, 3, 4 are "AQAAAAIAAAADAAAABAAAAA==".
    const char* const damaged = "base64 data is damaged";
    struct Case {
        const char* what;
        const char* data;
        int code;
        const char* said; // a part of the error
    };
    const Case cases[] = {
        {"plain", "AQAAAAIAAAADAAAABAAAAA==", MAP_OK, ""},
        {"lines around it", "\n   AQAAAAIAAAADAAAABAAAAA==\n  ", MAP_OK, ""},
        {"space inside groups", "AQA\r\nAAAIAA AADAAAA\tBAAAAA==", MAP_OK, ""},
        {"space between the padding", "AQAAAAIAAAADAAAABAAAAA= = ", MAP_OK, ""},
        {"no padding", "AQAAAAIAAAADAAAABAAAAA", MAP_OK, ""},
        {"a bad character in a whole group", "AQAAAAIA!AADAAAABAAAAA==", MAP_ERR_FORMAT, damaged},
        {"a bad character in the last group", "AQAAAAIAAAADAAAABAAA!A==", MAP_ERR_FORMAT, damaged},
        {"padding in the middle", "AQAA=AAIAAAADAAAABAAAAA==", MAP_ERR_FORMAT, damaged},
        {"padding after a whole group", "AQAA====AAIAAAADAAAABAAAAA", MAP_ERR_FORMAT, damaged},
        {"three padding", "AQAAAAIAAAADAAAABAAAAA===", MAP_ERR_FORMAT, damaged},
        {"a lone character after the groups", "AQAAAAIAAAADAAAABAAAAAAAA", MAP_ERR_FORMAT, damaged},
        {"a byte past the cells", "AQAAAAIAAAADAAAABAAAAAA", MAP_ERR_TILE,
         "17 bytes, not whole 4-byte cells"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = Tmx(Base64Layer("", c.data));
        TarnMap map;
        ASSERT_EQ(map.LoadFromMemory(text.data(), text.size(), "map.tmx"), c.code) << map.Error();
        if (c.code != MAP_OK) {
            EXPECT_NE(std::string(map.Error()).find(c.said), std::string::npos) << map.Error();
            continue;
        }
        ASSERT_EQ(map.layers.size(), 1u);
        EXPECT_EQ(map.layers[0].tiles, (std::vector<DWORD>{1, 2, 3, 4}));
    }
}

TEST_F(BadMapTest, MissingOrSmallPicturesAreRefusedWithNothingHalfLoaded) {
    struct Case {
        const char* what;
        std::string tileset;
        const char* said;
    };
    const Case cases[] = {
        {"missing picture",
         " <tileset firstgid=\"1\" name=\"s\" tilewidth=\"8\" tileheight=\"8\" tilecount=\"1\" "
         "columns=\"1\">\n  <image source=\"gone.png\" width=\"8\" height=\"8\"/>\n </tileset>\n",
         "gone.png: the picture cannot be loaded"},
        {"picture smaller than its tileset",
         " <tileset firstgid=\"1\" name=\"s\" tilewidth=\"8\" tileheight=\"8\" tilecount=\"30\" "
         "columns=\"5\">\n  <image source=\"sheet.png\" width=\"40\" height=\"48\"/>\n "
         "</tileset>\n",
         "sheet.png: the picture is 40x30, smaller than tileset 's' says"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TarnMap map;
        ASSERT_EQ(map.Load(Write("map.tmx", Tmx(CsvLayer("1,0,0,1"), c.tileset)).c_str()), MAP_OK)
            << map.Error();
        EXPECT_EQ(map.LoadPictures(screen), MAP_ERR_PICTURE);
        EXPECT_NE(std::string(map.Error()).find(c.said), std::string::npos) << map.Error();
        EXPECT_FALSE(map.HasPictures());
        TarnSurface* view = Blank(16, 16);
        EXPECT_EQ(map.Draw(view, 0, 0), MAP_ERR_STATE);
    }
}

} // namespace
