// tarnmap: look at or draw a tile map made with Tiled, through the library's own map reader.
//
//   tarnmap render MAP OUT.png   draw every visible tile layer (and tile object) of MAP, the
//                                whole of what they cover, onto black, as a PNG (or BMP when
//                                OUT ends in .bmp); tile animations at their first frames
//   tarnmap info MAP             the map's size, its tilesets, layers and objects
//   tarnmap --version            the library's version
//   tarnmap --help               this usage, on standard output
//
// MAP is a .tmx or JSON (.tmj/.json) map. Drawing runs exactly as in a program: the pictures are
// loaded into surfaces of the stand-in's headless host, whose display is set to 32 bits. Exit 0
// on success; otherwise one line naming the file and the reason on standard error, exit 1.
#include "display/TarnScreen.h"
#include "map/TarnMap.h"
#include "surface/TarnSurface.h"

#include "host/HeadlessHost.h"

#include "TarnVersion.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage(std::FILE* out = stderr) {
    std::fprintf(out, "usage: tarnmap render MAP OUT.png\n"
                      "       tarnmap info MAP\n"
                      "       tarnmap --version | --help\n");
    return out == stderr ? 1 : 0;
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "tarnmap: %s\n", what.c_str());
    return 1;
}

int Render(const char* file, const char* out) {
    TarnMap map;
    if (map.Load(file) != MAP_OK) return Fail(map.Error());
    const RECT b = map.DrawnBounds();
    if (b.right <= b.left || b.bottom <= b.top)
        return Fail(std::string(file) + ": no visible tile layer to draw");
    if (static_cast<long long>(b.right - b.left) * (b.bottom - b.top) > (1LL << 28))
        return Fail(std::string(file) + ": the map is too large to draw as one picture");
    tarn::platform::UseHeadlessHost().Config().desktopBits = 32;
    TarnScreen screen;
    if (!screen.GetDirectDraw() ||
        FAILED(screen.GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL)))
        return Fail("no DirectDraw device");
    int result = 1;
    {
        TarnSurface picture;
        if (map.LoadPictures(&screen, 1) != MAP_OK) {
            Fail(map.Error());
        } else if (picture.CreateBlank(&screen, b.right - b.left, b.bottom - b.top, 1) != 1) {
            Fail(std::string(file) + ": no surface of the map's size");
        } else if (picture.FillSolid(0) != DD_OK || map.Draw(&picture, b.left, b.top) != MAP_OK) {
            Fail(std::string(file) + ": drawing failed");
        } else {
            const std::string name = out;
            const bool bmp = name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0;
            if (FAILED(bmp ? picture.SaveBMP(out) : picture.SavePNG(out)))
                Fail(name + ": cannot be written");
            else
                result = 0;
        }
        map.ReleasePictures();
    }
    return result;
}

const char* KindName(int kind) {
    static const char* const NAMES[] = {"tiles", "objects", "image", "group"};
    return kind >= 0 && kind < 4 ? NAMES[kind] : "?";
}

const char* ShapeName(int shape) {
    static const char* const NAMES[] = {"rectangle", "point", "ellipse", "polygon",
                                        "polyline",  "tile",  "text"};
    return shape >= 0 && shape < 7 ? NAMES[shape] : "?";
}

void PrintProperties(const TarnMapProperties& props, const char* indent) {
    static const char* const TYPES[] = {"string", "int",  "float",  "bool",
                                        "color",  "file", "object", "class"};
    for (const TarnMapProperty& p : props.list)
        std::printf("%sproperty %s (%s) = %s\n", indent, p.name.c_str(),
                    p.type >= 0 && p.type < 8 ? TYPES[p.type] : "?", p.text.c_str());
}

int Info(const char* file) {
    TarnMap map;
    if (map.Load(file) != MAP_OK) return Fail(map.Error());
    std::printf("map %s: %s%dx%d tiles of %dx%d pixels\n", file, map.infinite ? "infinite, " : "",
                map.width, map.height, map.tileWidth, map.tileHeight);
    PrintProperties(map.properties, "  ");
    for (const TarnMapTileset& ts : map.tilesets) {
        std::printf("tileset %s: first id %lu, %d tiles of %dx%d", ts.name.c_str(),
                    static_cast<unsigned long>(ts.firstGid), ts.tileCount, ts.tileWidth,
                    ts.tileHeight);
        if (!ts.image.empty()) std::printf(", picture %s", ts.image.c_str());
        if (!ts.source.empty()) std::printf(", from %s", ts.source.c_str());
        std::printf("\n");
        PrintProperties(ts.properties, "  ");
    }
    for (size_t i = 0; i < map.layers.size(); ++i) {
        const TarnMapLayer& l = map.layers[i];
        std::printf("layer %zu %s (%s)", i, l.name.c_str(), KindName(l.kind));
        if (l.parent >= 0) std::printf(" in %d", l.parent);
        if (l.kind == LAYER_TILES) std::printf(" %dx%d at (%d, %d)", l.width, l.height, l.x, l.y);
        if (!l.visible) std::printf(" hidden");
        if (l.opacity != 1) std::printf(" opacity %g", l.opacity);
        if (l.offsetX != 0 || l.offsetY != 0) std::printf(" offset (%g, %g)", l.offsetX, l.offsetY);
        std::printf("\n");
        PrintProperties(l.properties, "  ");
        for (const TarnMapObject& o : l.objects) {
            std::printf("  object %d %s (%s) %s at (%g, %g) size %gx%g", o.id, o.name.c_str(),
                        o.type.c_str(), ShapeName(o.shape), o.x, o.y, o.width, o.height);
            if (o.rotation != 0) std::printf(" turned %g", o.rotation);
            if (o.gid) std::printf(" tile %lu", static_cast<unsigned long>(o.gid & MAP_GID_MASK));
            if (!o.points.empty()) std::printf(" %zu points", o.points.size());
            std::printf("\n");
            PrintProperties(o.properties, "    ");
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tarnmap %s\n", TARN_VERSION_STRING);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return Usage(stdout);
    if (argc == 4 && std::strcmp(argv[1], "render") == 0) return Render(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "info") == 0) return Info(argv[2]);
    return Usage();
}
