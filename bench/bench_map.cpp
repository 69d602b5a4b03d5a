// Benchmarks of the tile maps beside their peers. Drawing: a screen of 16 x 16 tiles from a map
// (640 x 480 at 16 bits, 1920 x 1080 at 32 bits) at a scroll offset that is not a multiple of
// the tile size, beside the same tiles copied by CopyTo in a plain loop, and beside SDL2's
// software renderer drawing them with SDL_RenderCopy. Loading: a 256 x 256 map of three layers
// (base64 + zlib) beside what any loader must do: parse the same file with the same XML
// library (pugixml) and inflate its layers' data (with the same inflater, libdeflate).
#include "BenchSupport.h"

#include "display/TarnScreen.h"
#include "map/TarnMap.h"
#include "surface/TarnSurface.h"

#include "host/HeadlessHost.h"

#include <SDL.h>
#include <libdeflate.h>
#include <pugixml.hpp>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace bench {
namespace {

const int kTile = 16;
const int kSheetTiles = 8; // 8 x 8 tiles in the tileset's picture
const int kCameraX = 7, kCameraY = 5;

std::string Base64(const std::vector<uint8_t>& in) {
    static const char* const A = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        const uint32_t v = uint32_t(in[i]) << 16 | (i + 1 < in.size() ? in[i + 1] << 8 : 0) |
                           (i + 2 < in.size() ? in[i + 2] : 0);
        out += A[v >> 18 & 63];
        out += A[v >> 12 & 63];
        out += i + 1 < in.size() ? A[v >> 6 & 63] : '=';
        out += i + 2 < in.size() ? A[v & 63] : '=';
    }
    return out;
}

// A TMX map of w x h cells of 16 pixels with `layers` layers of base64 + zlib data, a tileset of
// 64 tiles from tiles.bmp; cell (c, r) of layer l holds a tile chosen by a fixed scramble.
std::string MakeMap(int w, int h, int layers) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map version=\"1.8\" "
                       "orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" +
                       std::to_string(w) + "\" height=\"" + std::to_string(h) +
                       "\" tilewidth=\"16\" tileheight=\"16\" infinite=\"0\">\n <tileset "
                       "firstgid=\"1\" name=\"tiles\" tilewidth=\"16\" tileheight=\"16\" "
                       "tilecount=\"64\" columns=\"8\">\n  <image source=\"tiles.bmp\" "
                       "width=\"128\" height=\"128\"/>\n </tileset>\n";
    libdeflate_compressor* c = libdeflate_alloc_compressor(6);
    for (int l = 0; l < layers; ++l) {
        std::vector<uint8_t> raw(static_cast<size_t>(w) * h * 4);
        uint32_t state = 99u + l;
        for (size_t i = 0; i < raw.size(); i += 4) {
            state = state * 1103515245u + 12345u;
            const uint32_t gid = l > 0 && (state >> 20) % 3 ? 0 : 1 + (state >> 16) % 64;
            std::memcpy(&raw[i], &gid, 4);
        }
        std::vector<uint8_t> packed(libdeflate_zlib_compress_bound(c, raw.size()));
        packed.resize(
            libdeflate_zlib_compress(c, raw.data(), raw.size(), packed.data(), packed.size()));
        text += " <layer id=\"" + std::to_string(l + 1) + "\" name=\"layer" + std::to_string(l) +
                "\" width=\"" + std::to_string(w) + "\" height=\"" + std::to_string(h) +
                "\">\n  <data encoding=\"base64\" compression=\"zlib\">\n   " + Base64(packed) +
                "\n  </data>\n </layer>\n";
    }
    libdeflate_free_compressor(c);
    return text + "</map>\n";
}

// The tileset's picture, 128 x 128 24-bit BMP of the test picture, into `path`.
void WriteSheet(const std::string& path) {
    const int side = kTile * kSheetTiles;
    const std::vector<uint32_t> colours = TestPicture({side, side});
    std::vector<unsigned char> file;
    const int rowBytes = side * 3;
    file.push_back('B');
    file.push_back('M');
    Put32(file, 54 + rowBytes * side);
    Put32(file, 0);
    Put32(file, 54);
    Put32(file, 40);
    Put32(file, side);
    Put32(file, side);
    Put16(file, 1);
    Put16(file, 24);
    for (int i = 0; i < 6; ++i) Put32(file, 0);
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; ++x) {
            const uint32_t c = colours[static_cast<size_t>(y) * side + x];
            file.push_back(static_cast<unsigned char>(c));
            file.push_back(static_cast<unsigned char>(c >> 8));
            file.push_back(static_cast<unsigned char>(c >> 16));
        }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
}

std::string Folder() {
    const auto dir = std::filesystem::temp_directory_path() / "tarn-bench-map";
    std::filesystem::create_directories(dir);
    return dir.string();
}

enum class Against { CopyLoop, Sdl };

class DrawCase : public PairCase {
public:
    DrawCase(Against against, Size size) : against(against), size(size) {}
    ~DrawCase() override {
        map.ReleasePictures();
        delete sheet;
        delete dest;
        delete screen;
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (peerDest) SDL_FreeSurface(peerDest);
        if (peerSheet) SDL_FreeSurface(peerSheet);
    }

    std::string Prepare() override {
        const int depth = size.width == 640 ? 16 : 32;
        tarn::platform::UseHeadlessHost().Config().desktopBits = depth;
        screen = new TarnScreen();
        if (!screen->GetDirectDraw() ||
            screen->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL) != DD_OK)
            return "no DirectDraw device";
        const std::string dir = Folder();
        WriteSheet(dir + "/tiles.bmp");
        cols = size.width / kTile + 2;
        rows = size.height / kTile + 2;
        const std::string text = MakeMap(cols, rows, 1);
        if (map.LoadFromMemory(text.data(), text.size(), (dir + "/screen.tmx").c_str()) != MAP_OK)
            return map.Error();
        if (map.LoadPictures(screen, 1) != MAP_OK) return map.Error();
        sheet = new TarnSurface();
        dest = new TarnSurface();
        if (sheet->Create(screen, (dir + "/tiles.bmp").c_str(), 1) != 1 ||
            dest->CreateBlank(screen, size.width, size.height, 1) != 1)
            return "could not make the surfaces";

        // Ours and the CopyTo loop give the same pixels.
        Ours();
        const std::vector<uint8_t> ours = Read(dest);
        dest->FillSolid(0);
        CopyLoop();
        if (Read(dest) != ours) return "the map and the CopyTo loop differ";
        if (against == Against::CopyLoop) return "";

        const Uint32 format = depth == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
        peerDest = SDL_CreateRGBSurfaceWithFormat(0, size.width, size.height, depth, format);
        SDL_Surface* loaded = SDL_LoadBMP((dir + "/tiles.bmp").c_str());
        if (!loaded || !peerDest) return std::string("SDL: ") + SDL_GetError();
        peerSheet = SDL_ConvertSurfaceFormat(loaded, format, 0);
        SDL_FreeSurface(loaded);
        renderer = SDL_CreateSoftwareRenderer(peerDest);
        texture = renderer ? SDL_CreateTextureFromSurface(renderer, peerSheet) : nullptr;
        if (!texture) return std::string("SDL: ") + SDL_GetError();
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
        Peer();
        for (int y = 0; y < size.height; ++y)
            if (std::memcmp(static_cast<uint8_t*>(peerDest->pixels) + y * peerDest->pitch,
                            ours.data() + static_cast<size_t>(y) * size.width * (depth / 8),
                            static_cast<size_t>(size.width) * (depth / 8)) != 0)
                return "the map and SDL differ in row " + std::to_string(y);
        return "";
    }

    void Ours() override { map.Draw(dest, kCameraX, kCameraY); }
    void Peer() override {
        if (against == Against::CopyLoop) return CopyLoop();
        const TarnMapLayer& layer = map.layers[0];
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                const int id = static_cast<int>(layer.tiles[static_cast<size_t>(r) * cols + c]) - 1;
                const SDL_Rect from = {id % kSheetTiles * kTile, id / kSheetTiles * kTile, kTile,
                                       kTile};
                const SDL_Rect to = {c * kTile - kCameraX, r * kTile - kCameraY, kTile, kTile};
                SDL_RenderCopy(renderer, texture, &from, &to);
            }
        SDL_RenderFlush(renderer);
    }

private:
    // The same tiles, each copied by CopyTo where the map puts it (every cell holds a tile).
    void CopyLoop() {
        const TarnMapLayer& layer = map.layers[0];
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                const int id = static_cast<int>(layer.tiles[static_cast<size_t>(r) * cols + c]) - 1;
                const RECT from = {id % kSheetTiles * kTile, id / kSheetTiles * kTile,
                                   id % kSheetTiles * kTile + kTile,
                                   id / kSheetTiles * kTile + kTile};
                sheet->CopyTo(dest, c * kTile - kCameraX, r * kTile - kCameraY, &from);
            }
    }
    static std::vector<uint8_t> Read(TarnSurface* s) {
        std::vector<uint8_t> out;
        if (s->Lock() < 1) return out;
        const int bytes = static_cast<int>(s->surfaceDesc.ddpfPixelFormat.dwRGBBitCount) / 8;
        for (int y = 0; y < s->height; ++y) {
            const uint8_t* row =
                static_cast<const uint8_t*>(s->surfaceDesc.lpSurface) + y * s->surfaceDesc.lPitch;
            out.insert(out.end(), row, row + s->width * bytes);
        }
        s->Unlock();
        return out;
    }

    Against against;
    Size size;
    TarnScreen* screen = nullptr;
    TarnMap map;
    TarnSurface* sheet = nullptr;
    TarnSurface* dest = nullptr;
    int cols = 0, rows = 0;
    SDL_Surface* peerDest = nullptr;
    SDL_Surface* peerSheet = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
};

class LoadCase : public PairCase {
public:
    std::string Prepare() override {
        text = MakeMap(256, 256, 3);
        name = Folder() + "/load.tmx";
        Ours();
        if (map.layers.size() != 3) return map.Error();
        Peer();
        for (int l = 0; l < 3; ++l)
            if (std::memcmp(cells[l].data(), map.layers[l].tiles.data(), cells[l].size()) != 0)
                return "the peer's cells differ in layer " + std::to_string(l);
        return "";
    }
    void Ours() override { map.LoadFromMemory(text.data(), text.size(), name.c_str()); }
    // Parse in place (on a copy, as the text is parsed again next time), then each layer's
    // data: base64 decoded and inflated into its cells.
    void Peer() override {
        copy.assign(text);
        pugi::xml_document doc;
        doc.load_buffer_inplace(copy.data(), copy.size());
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        int l = 0;
        for (pugi::xml_node layer : doc.child("map").children("layer")) {
            const char* b64 = layer.child_value("data");
            packed.clear();
            uint32_t acc = 0;
            int bits = 0;
            for (const char* p = b64; *p; ++p) {
                const int v = Value(static_cast<unsigned char>(*p));
                if (v < 0) continue;
                acc = acc << 6 | static_cast<uint32_t>(v);
                bits += 6;
                if (bits >= 8) {
                    bits -= 8;
                    packed.push_back(static_cast<uint8_t>(acc >> bits));
                }
            }
            // The cells are the load's result: held anew for each map, as a loader must.
            std::vector<uint8_t> layerCells(256 * 256 * 4);
            libdeflate_zlib_decompress(d, packed.data(), packed.size(), layerCells.data(),
                                       layerCells.size(), nullptr);
            cells[l] = std::move(layerCells);
            ++l;
        }
        libdeflate_free_decompressor(d);
    }

private:
    static int Value(unsigned char c) {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        return c == '+' ? 62 : c == '/' ? 63 : -1;
    }
    std::string text, copy, name;
    std::vector<uint8_t> packed;
    std::vector<uint8_t> cells[3];
    TarnMap map;
};

const bool kRegistered = [] {
    const std::vector<Size> screens = {{640, 480}, {1920, 1080}};
    RegisterPair(
        "map_draw_copyto",
        "a screen of 16x16 map tiles at a scroll of (7, 5) (640x480 16-bit, 1920x1080 32-bit)",
        "the same tiles by CopyTo in a loop", 1.1,
        [](Size s) { return std::make_unique<DrawCase>(Against::CopyLoop, s); }, screens);
    RegisterPair(
        "map_draw_sdl",
        "a screen of 16x16 map tiles at a scroll of (7, 5) (640x480 16-bit, 1920x1080 32-bit)",
        "SDL_RenderCopy on SDL2's software renderer", 1.0,
        [](Size s) { return std::make_unique<DrawCase>(Against::Sdl, s); }, screens);
    RegisterPair("map_load", "loading a 256x256 map of three base64+zlib layers",
                 "pugixml's parse and libdeflate's inflate of the same file", 1.2,
                 [](Size) { return std::make_unique<LoadCase>(); }, {{256, 256}});
    return true;
}();

} // namespace
} // namespace bench
