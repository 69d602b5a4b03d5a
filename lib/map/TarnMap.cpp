// TarnMap: loading a Tiled map through its reader, the checks across the whole map that make
// drawing safe (every tile id inside its tileset, every animation frame too), the tilesets'
// pictures with the flipped tiles made from them once, and the drawing of layers from a camera.
#include "map/TarnMap.h"

#include "display/TarnScreen.h"
#include "map/internal/MapReader.h"
#include "surface/TarnSurface.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

using namespace tarn::map;

namespace {

// Floor division for positions left of or above the map's origin.
int FloorDiv(long long a, long long b) {
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return static_cast<int>(q);
}

} // namespace

// What drawing needs of one tileset: its pictures, one per flip combination used (index: the
// gid's top three bits; 0 is the picture as loaded), the tiles' current animation frames.
struct TarnMap::Impl {
    struct Sheet {
        bool collection = false;                // one picture per tile
        int range = 0;                          // tile ids 0 .. range - 1 exist
        BYTE flipsUsed = 0;                     // bit f set: flip combination f is drawn somewhere
        bool alpha = false;                     // the picture has an alpha plane
        bool keyed = false;                     // the picture has a transparent colour
        std::array<TarnSurface*, 8> pictures{}; // a picture cut into tiles
        std::vector<std::array<TarnSurface*, 8>> tilePictures; // by index in tileset.tiles
        std::vector<int> animated; // indices in tileset.tiles of the animated tiles
        std::vector<int> shown;    // the tile each animated one shows now (parallel)
        int totalMs = 0;
    };
    std::vector<Sheet> sheets;
    std::string root; // the map's folder
    TarnScreen* screen = nullptr;
    BYTE placement = 2;
    int padX = 0, padY = 0;          // cells around the view that may still reach into it
    std::vector<TarnSurface*> owned; // every surface made, to delete
};

const TarnMapProperty* TarnMapProperties::Find(const char* name) const {
    if (!name) return nullptr;
    for (const TarnMapProperty& p : list)
        if (p.name == name) return &p;
    return nullptr;
}

const char* TarnMapProperties::GetString(const char* name, const char* otherwise) const {
    const TarnMapProperty* p = Find(name);
    return p ? p->text.c_str() : otherwise;
}

double TarnMapProperties::GetNumber(const char* name, double otherwise) const {
    const TarnMapProperty* p = Find(name);
    if (!p || p->type == PROPERTY_STRING || p->type == PROPERTY_FILE || p->type == PROPERTY_CLASS)
        return otherwise;
    return p->number;
}

bool TarnMapProperties::GetBool(const char* name, bool otherwise) const {
    const TarnMapProperty* p = Find(name);
    if (!p || p->type == PROPERTY_STRING || p->type == PROPERTY_FILE || p->type == PROPERTY_CLASS)
        return otherwise;
    return p->number != 0;
}

DWORD TarnMapLayer::TileAt(int column, int row) const {
    const long long c = static_cast<long long>(column) - x, r = static_cast<long long>(row) - y;
    if (kind != LAYER_TILES || c < 0 || r < 0 || c >= width || r >= height) return 0;
    return tiles[static_cast<size_t>(r * width + c)];
}

const TarnMapTile* TarnMapTileset::FindTile(int id) const {
    auto it = std::lower_bound(tiles.begin(), tiles.end(), id,
                               [](const TarnMapTile& t, int v) { return t.id < v; });
    return it != tiles.end() && it->id == id ? &*it : nullptr;
}

TarnMap::TarnMap() : impl(new Impl) {}

TarnMap::~TarnMap() {
    ReleasePictures();
    delete impl;
}

void TarnMap::Clear() {
    ReleasePictures();
    width = height = tileWidth = tileHeight = 0;
    infinite = hasBackground = false;
    backgroundColour = 0;
    type.clear();
    layers.clear();
    tilesets.clear();
    properties.list.clear();
    impl->sheets.clear();
    impl->root.clear();
}

int TarnMap::Fail(int code, const std::string& what) {
    Clear();
    error = what;
    return code;
}

int TarnMap::Load(const char* fileName) {
    Clear();
    if (!fileName) return Fail(MAP_ERR_STATE, "TarnMap::Load: no file name");
    std::string text;
    if (!ReadWholeFile(fileName, &text))
        return Fail(MAP_ERR_FILE, std::string(fileName) + ": cannot be read");
    return LoadFromMemory(text.data(), text.size(), fileName);
}

int TarnMap::LoadFromMemory(const char* data, size_t size, const char* fileName) {
    Clear();
    error.clear();
    if (!fileName) fileName = "(memory)";
    if (!data) return Fail(MAP_ERR_STATE, std::string(fileName) + ": no data");
    LoadContext ctx;
    ctx.file = fileName;
    const std::string name = fileName;
    const size_t slash = name.find_last_of('/');
    ctx.root = slash == std::string::npos ? "" : slash == 0 ? "/" : name.substr(0, slash);
    std::string text(data, size);
    const size_t first = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    const bool xml = first != std::string::npos && text[first] == '<';
    const int r = xml ? ReadTmxMap(*this, ctx, text) : ReadJsonMap(*this, ctx, text);
    if (r != MAP_OK) return Fail(r, ctx.error);
    impl->root = ctx.root;
    return Check(fileName);
}

// The checks across the map once every file is read: tilesets in order and whole, every tile
// id of a layer, an object or an animation inside its tileset, and the groups' sums.
int TarnMap::Check(const std::string& fileName) {
    std::stable_sort(
        tilesets.begin(), tilesets.end(),
        [](const TarnMapTileset& a, const TarnMapTileset& b) { return a.firstGid < b.firstGid; });
    impl->sheets.assign(tilesets.size(), Impl::Sheet());
    for (size_t i = 0; i < tilesets.size(); ++i) {
        TarnMapTileset& ts = tilesets[i];
        Impl::Sheet& sheet = impl->sheets[i];
        const std::string what = fileName + ": tileset '" + ts.name + "'";
        std::stable_sort(ts.tiles.begin(), ts.tiles.end(),
                         [](const TarnMapTile& a, const TarnMapTile& b) { return a.id < b.id; });
        for (size_t t = 1; t < ts.tiles.size(); ++t)
            if (ts.tiles[t].id == ts.tiles[t - 1].id)
                return Fail(MAP_ERR_FORMAT,
                            what + " describes tile " + std::to_string(ts.tiles[t].id) + " twice");
        if (ts.firstGid == 0 || ts.firstGid > MAP_GID_MASK)
            return Fail(MAP_ERR_FORMAT, what + " has a bad firstgid");
        sheet.collection = ts.image.empty();
        if (sheet.collection) {
            sheet.range = ts.tiles.empty() ? 0 : ts.tiles.back().id + 1;
        } else {
            if (ts.tileWidth < 1 || ts.tileHeight < 1)
                return Fail(MAP_ERR_FORMAT, what + " has no tile size");
            if (ts.columns == 0 && ts.imageWidth > 0)
                ts.columns = std::max(0, (ts.imageWidth - 2 * ts.margin + ts.spacing) /
                                             (ts.tileWidth + ts.spacing));
            if (ts.tileCount == 0 && ts.imageHeight > 0)
                ts.tileCount =
                    ts.columns * std::max(0, (ts.imageHeight - 2 * ts.margin + ts.spacing) /
                                                 (ts.tileHeight + ts.spacing));
            if (ts.tileCount > 0 && ts.columns < 1)
                return Fail(MAP_ERR_FORMAT, what + " has no columns");
            sheet.range = ts.tileCount;
        }
        if (static_cast<unsigned long long>(ts.firstGid) + sheet.range > MAP_GID_MASK + 1ull)
            return Fail(MAP_ERR_FORMAT, what + " has more tiles than ids");
        for (size_t t = 0; t < ts.tiles.size(); ++t) {
            const TarnMapTile& tile = ts.tiles[t];
            if (tile.animation.empty()) continue;
            long long total = 0;
            for (const TarnMapFrame& f : tile.animation) {
                const TarnMapTile* shown = sheet.collection ? ts.FindTile(f.tileId) : nullptr;
                if (f.tileId >= sheet.range ||
                    (sheet.collection && (!shown || shown->image.empty())))
                    return Fail(MAP_ERR_TILE, what + ": tile " + std::to_string(tile.id) +
                                                  "'s animation shows tile " +
                                                  std::to_string(f.tileId) + ", past its tileset");
                total += f.duration;
            }
            if (total <= 0 || total > 0x7FFFFFFF) continue; // never moves
            sheet.animated.push_back(static_cast<int>(t));
            sheet.shown.push_back(tile.id);
        }
    }
    // Every tile used must exist; the flips each tileset needs are noted for LoadPictures.
    auto checkGid = [this](DWORD gid, std::string* why) {
        const DWORD id = gid & MAP_GID_MASK;
        if (id == 0) return true;
        for (size_t i = tilesets.size(); i-- > 0;) {
            const TarnMapTileset& ts = tilesets[i];
            if (ts.firstGid > id) continue;
            Impl::Sheet& sheet = impl->sheets[i];
            const DWORD local = id - ts.firstGid;
            const TarnMapTile* tile =
                sheet.collection ? ts.FindTile(static_cast<int>(local)) : nullptr;
            if (local >= static_cast<DWORD>(sheet.range) ||
                (sheet.collection && (!tile || tile->image.empty())))
                break;
            if ((gid & MAP_FLIP_DIAGONAL) && !sheet.collection && ts.tileWidth != ts.tileHeight) {
                *why = "is turned (flipped diagonally) in tileset '" + ts.name +
                       "', whose tiles are not square";
                return false;
            }
            sheet.flipsUsed |= static_cast<BYTE>(1u << (gid >> 29));
            return true;
        }
        *why = "is past its tileset";
        return false;
    };
    // The ids of the sheet (a tileset cut from one picture) seen last: any id in that range is
    // one of its tiles, so most cells need no more than this.
    // (fastFirst is at least 1, so an empty cell is never in the span; an empty span holds none.)
    DWORD fastFirst = 1, fastSpan = 0;
    size_t fastSheet = 0;
    for (size_t i = 0; i < layers.size(); ++i) {
        TarnMapLayer& layer = layers[i];
        std::string why;
        const DWORD* cells = layer.tiles.data();
        const size_t count = layer.tiles.size();
        for (size_t c = 0; c < count; ++c) {
            // A run of cells that are empty or unturned tiles of the sheet seen last, their flips
            // gathered here and noted once at the run's end.
            unsigned flips = 0;
            for (; c < count; ++c) {
                const DWORD gid = cells[c], id = gid & MAP_GID_MASK;
                if (id == 0) continue;
                if (id - fastFirst >= fastSpan || (gid & MAP_FLIP_DIAGONAL)) break;
                flips |= 1u << (gid >> 29);
            }
            if (flips) impl->sheets[fastSheet].flipsUsed |= static_cast<BYTE>(flips);
            if (c == count) break;
            const DWORD gid = cells[c], id = gid & MAP_GID_MASK;
            const TarnMapTileset* ts = TilesetOf(id);
            if (ts && !impl->sheets[static_cast<size_t>(ts - tilesets.data())].collection) {
                fastSheet = static_cast<size_t>(ts - tilesets.data());
                const size_t next = fastSheet + 1;
                fastFirst = ts->firstGid;
                fastSpan = static_cast<DWORD>(
                    std::min<unsigned long long>(static_cast<unsigned long long>(ts->firstGid) +
                                                     impl->sheets[fastSheet].range,
                                                 next < tilesets.size() ? tilesets[next].firstGid
                                                                        : MAP_GID_MASK + 1ull) -
                    ts->firstGid);
            }
            if (!checkGid(gid, &why)) {
                const int col = layer.x + static_cast<int>(c % layer.width);
                const int row = layer.y + static_cast<int>(c / layer.width);
                return Fail(MAP_ERR_TILE,
                            fileName + ": layer '" + layer.name + "' at (" + std::to_string(col) +
                                ", " + std::to_string(row) + "): tile id " +
                                std::to_string(layer.tiles[c] & MAP_GID_MASK) + " " + why);
            }
        }
        for (const TarnMapObject& o : layer.objects)
            if (!checkGid(o.gid, &why))
                return Fail(MAP_ERR_TILE, fileName + ": object '" + o.name + "' (id " +
                                              std::to_string(o.id) + "): tile id " +
                                              std::to_string(o.gid & MAP_GID_MASK) + " " + why);
        // Groups come before their members, so the parent's sums are ready.
        layer.opacity = std::clamp(layer.opacity, 0.0, 1.0);
        layer.totalVisible = layer.visible;
        layer.totalOpacity = layer.opacity;
        layer.totalOffsetX = layer.offsetX;
        layer.totalOffsetY = layer.offsetY;
        if (layer.parent >= 0) {
            const TarnMapLayer& g = layers[static_cast<size_t>(layer.parent)];
            layer.totalVisible = layer.totalVisible && g.totalVisible;
            layer.totalOpacity *= g.totalOpacity;
            layer.totalOffsetX += g.totalOffsetX;
            layer.totalOffsetY += g.totalOffsetY;
        }
    }
    // Animated tiles drawn in a flip need that flip of the frames they show: a sheet's flipped
    // picture holds every tile, and a collection's flips are made for every tile.
    int pad = 0;
    for (const TarnMapTileset& ts : tilesets) {
        int size = std::max(ts.tileWidth, ts.tileHeight);
        for (const TarnMapTile& t : ts.tiles) size = std::max({size, t.imageWidth, t.imageHeight});
        pad = std::max(pad, size + std::abs(ts.offsetX) + std::abs(ts.offsetY));
    }
    impl->padX = pad / tileWidth + 1;
    impl->padY = pad / tileHeight + 1;
    return MAP_OK;
}

int TarnMap::FindLayer(const char* name) const {
    if (!name) return -1;
    for (size_t i = 0; i < layers.size(); ++i)
        if (layers[i].name == name) return static_cast<int>(i);
    return -1;
}

const TarnMapObject* TarnMap::FindObject(const char* name) const {
    if (!name) return nullptr;
    for (const TarnMapLayer& layer : layers)
        for (const TarnMapObject& o : layer.objects)
            if (o.name == name) return &o;
    return nullptr;
}

const TarnMapTileset* TarnMap::TilesetOf(DWORD gid) const {
    const DWORD id = gid & MAP_GID_MASK;
    if (id == 0) return nullptr;
    for (size_t i = tilesets.size(); i-- > 0;)
        if (tilesets[i].firstGid <= id) return &tilesets[i];
    return nullptr;
}

RECT TarnMap::DrawnBounds() const {
    RECT r = {0, 0, 0, 0};
    bool any = false;
    for (const TarnMapLayer& l : layers) {
        if (l.kind != LAYER_TILES || !l.totalVisible || l.width == 0 || l.height == 0) continue;
        const long long ox = std::llround(l.totalOffsetX), oy = std::llround(l.totalOffsetY);
        const RECT b = {
            static_cast<LONG>(static_cast<long long>(l.x) * tileWidth + ox),
            static_cast<LONG>(static_cast<long long>(l.y) * tileHeight + oy),
            static_cast<LONG>(static_cast<long long>(l.x + l.width) * tileWidth + ox),
            static_cast<LONG>(static_cast<long long>(l.y + l.height) * tileHeight + oy)};
        if (!any) r = b;
        r.left = std::min(r.left, b.left), r.top = std::min(r.top, b.top);
        r.right = std::max(r.right, b.right), r.bottom = std::max(r.bottom, b.bottom);
        any = true;
    }
    return r;
}

int TarnMap::PixelWidth() const {
    if (!infinite) return width * tileWidth;
    int right = 0;
    for (const TarnMapLayer& l : layers)
        if (l.kind == LAYER_TILES) right = std::max(right, (l.x + l.width) * tileWidth);
    return right;
}

int TarnMap::PixelHeight() const {
    if (!infinite) return height * tileHeight;
    int bottom = 0;
    for (const TarnMapLayer& l : layers)
        if (l.kind == LAYER_TILES) bottom = std::max(bottom, (l.y + l.height) * tileHeight);
    return bottom;
}

namespace {

// Draws `r` of `src`, flipped by `flips` (the gid's top three bits), onto `dst` at (dx, dy), with
// its alpha (when src has a plane) into `alpha`, dst's BGRA rows. Diagonal first, then
// horizontal, then vertical: the order Tiled applies them in. Both surfaces are locked.
void DrawFlipped(TarnSurface* src, const RECT& r, TarnSurface* dst, int dx, int dy, int flips,
                 std::vector<BYTE>* alpha) {
    const bool h = flips & 4, v = flips & 2, d = flips & 1;
    const TarnSurface::PlotPixelFn plot = dst->plotPixel;
    const TarnSurface::ReadPixelFn read = src->readPixel;
    const int sw = r.right - r.left, sh = r.bottom - r.top;
    const int w = d ? sh : sw, hgt = d ? sw : sh;
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < w; ++x) {
            const int ux = h ? w - 1 - x : x, uy = v ? hgt - 1 - y : y;
            const int sx = r.left + (d ? uy : ux), sy = r.top + (d ? ux : uy);
            const DWORD pixel = (src->*read)(sx, sy);
            (dst->*plot)(dx + x, dy + y, pixel);
            if (alpha && src->alphaPlane)
                (*alpha)[(static_cast<size_t>(dy + y) * dst->width + dx + x) * 4 + 3] =
                    src->alphaPlane[static_cast<size_t>(sy) * src->alphaWidth + sx];
        }
}

} // namespace

int TarnMap::LoadPictures(TarnScreen* screen, BYTE placement) {
    ReleasePictures();
    if (!screen) return MAP_ERR_STATE;
    if (tileWidth == 0) {
        error = "TarnMap::LoadPictures: no map is loaded";
        return MAP_ERR_STATE;
    }
    impl->screen = screen;
    impl->placement = placement;
    auto fail = [this](const std::string& what) {
        ReleasePictures();
        error = what;
        return MAP_ERR_PICTURE;
    };
    auto load = [&](const std::string& fromRoot, bool keyed, DWORD key, TarnSurface** out) {
        const std::string path = impl->root.empty() ? fromRoot : impl->root + "/" + fromRoot;
        TarnSurface* s = new TarnSurface();
        impl->owned.push_back(s);
        const int r = s->Create(screen, path.c_str(), placement);
        if (r != 1)
            return fail(path + ": the picture cannot be loaded (" + std::to_string(r) + ")");
        if (keyed &&
            FAILED(s->SetColourKeyRGB(static_cast<BYTE>(key >> 16), static_cast<BYTE>(key >> 8),
                                      static_cast<BYTE>(key))))
            return fail(path + ": its transparent colour cannot be set");
        *out = s;
        return MAP_OK;
    };
    // A flipped copy of `src` (of its size, or turned), with its key and alpha.
    auto flipped = [&](TarnSurface* src, const std::string& name, int flips, bool cutIntoTiles,
                       const TarnMapTileset& ts, int range, TarnSurface** out) {
        const bool d = flips & 1;
        const int w = cutIntoTiles || !d ? src->width : src->height;
        const int h = cutIntoTiles || !d ? src->height : src->width;
        TarnSurface* s = new TarnSurface();
        impl->owned.push_back(s);
        if (s->CreateBlank(screen, w, h, placement) != 1 || !src->readPixel || !s->plotPixel)
            return fail(name + ": its flipped tiles cannot be made");
        std::vector<BYTE> alpha;
        if (src->HasAlpha()) alpha.assign(static_cast<size_t>(w) * h * 4, 0);
        if (src->Lock() < 1) return fail(name + ": it cannot be locked");
        if (s->Lock() < 1) {
            src->Unlock();
            return fail(name + ": its flipped tiles cannot be locked");
        }
        if (cutIntoTiles) {
            for (int id = 0; id < range; ++id) {
                const int col = id % ts.columns, row = id / ts.columns;
                const RECT cell = {ts.margin + col * (ts.tileWidth + ts.spacing),
                                   ts.margin + row * (ts.tileHeight + ts.spacing),
                                   ts.margin + col * (ts.tileWidth + ts.spacing) + ts.tileWidth,
                                   ts.margin + row * (ts.tileHeight + ts.spacing) + ts.tileHeight};
                DrawFlipped(src, cell, s, cell.left, cell.top, flips,
                            alpha.empty() ? nullptr : &alpha);
            }
        } else {
            const RECT all = {0, 0, src->width, src->height};
            DrawFlipped(src, all, s, 0, 0, flips, alpha.empty() ? nullptr : &alpha);
        }
        s->Unlock();
        src->Unlock();
        if (src->hasColourKey && FAILED(s->SetColourKey(src->colourKey)))
            return fail(name + ": its flipped tiles' transparent colour cannot be set");
        if (!alpha.empty() && s->SetAlphaPlane(alpha.data(), w * 4L, w, h) != 0)
            return fail(name + ": its flipped tiles' alpha cannot be kept");
        *out = s;
        return MAP_OK;
    };

    for (size_t i = 0; i < tilesets.size(); ++i) {
        const TarnMapTileset& ts = tilesets[i];
        Impl::Sheet& sheet = impl->sheets[i];
        sheet.keyed = ts.hasTransparent;
        if (!sheet.collection) {
            if (sheet.range == 0) continue;
            if (load(ts.image, ts.hasTransparent, ts.transparent, &sheet.pictures[0]) != MAP_OK)
                return MAP_ERR_PICTURE;
            TarnSurface* pic = sheet.pictures[0];
            const int last = sheet.range - 1;
            const int right = ts.margin +
                              (std::min(last, ts.columns - 1) + 1) * (ts.tileWidth + ts.spacing) -
                              ts.spacing;
            const int bottom =
                ts.margin + (last / ts.columns + 1) * (ts.tileHeight + ts.spacing) - ts.spacing;
            if (right > pic->width || bottom > pic->height)
                return fail((impl->root.empty() ? ts.image : impl->root + "/" + ts.image) +
                            ": the picture is " + std::to_string(pic->width) + "x" +
                            std::to_string(pic->height) + ", smaller than tileset '" + ts.name +
                            "' says");
            sheet.alpha = pic->HasAlpha() != 0;
            for (int f = 1; f < 8; ++f)
                if (sheet.flipsUsed & (1 << f))
                    if (flipped(pic, ts.image, f, true, ts, sheet.range, &sheet.pictures[f]) !=
                        MAP_OK)
                        return MAP_ERR_PICTURE;
        } else {
            sheet.tilePictures.assign(ts.tiles.size(), {});
            for (size_t t = 0; t < ts.tiles.size(); ++t) {
                if (ts.tiles[t].image.empty()) continue;
                auto& pics = sheet.tilePictures[t];
                if (load(ts.tiles[t].image, ts.hasTransparent, ts.transparent, &pics[0]) != MAP_OK)
                    return MAP_ERR_PICTURE;
                sheet.alpha = sheet.alpha || pics[0]->HasAlpha();
                for (int f = 1; f < 8; ++f)
                    if (sheet.flipsUsed & (1 << f))
                        if (flipped(pics[0], ts.tiles[t].image, f, false, ts, 0, &pics[f]) !=
                            MAP_OK)
                            return MAP_ERR_PICTURE;
            }
        }
    }
    picturesLoaded = true;
    error.clear();
    return MAP_OK;
}

int TarnMap::RestorePictures() {
    if (!picturesLoaded) return MAP_ERR_STATE;
    // The flipped tiles are drawn, not loaded: everything is made again from the files.
    return LoadPictures(impl->screen, impl->placement);
}

void TarnMap::ReleasePictures() {
    for (TarnSurface* s : impl->owned) delete s;
    impl->owned.clear();
    for (Impl::Sheet& sheet : impl->sheets) {
        sheet.pictures = {};
        for (auto& p : sheet.tilePictures) p = {};
    }
    picturesLoaded = false;
}

// One tile whose cell's bottom-left corner is at (left, bottom) on dest.
int TarnMap::DrawOne(TarnSurface* dest, DWORD gid, int left, int bottom, int alpha) {
    const DWORD id = gid & MAP_GID_MASK;
    size_t i = tilesets.size();
    while (i-- > 0 && tilesets[i].firstGid > id) {
    }
    const TarnMapTileset& ts = tilesets[i];
    const Impl::Sheet& sheet = impl->sheets[i];
    int local = static_cast<int>(id - ts.firstGid);
    for (size_t a = 0; a < sheet.animated.size(); ++a)
        if (ts.tiles[static_cast<size_t>(sheet.animated[a])].id == local) {
            local = sheet.shown[a];
            break;
        }
    const int flips = static_cast<int>(gid >> 29);
    TarnSurface* pic = nullptr;
    RECT src;
    if (!sheet.collection) {
        pic = sheet.pictures[static_cast<size_t>(flips)];
        const int col = local % ts.columns, row = local / ts.columns;
        src.left = ts.margin + col * (ts.tileWidth + ts.spacing);
        src.top = ts.margin + row * (ts.tileHeight + ts.spacing);
        src.right = src.left + ts.tileWidth;
        src.bottom = src.top + ts.tileHeight;
    } else {
        const TarnMapTile* tile = ts.FindTile(local);
        pic = sheet.tilePictures[static_cast<size_t>(tile - ts.tiles.data())]
                                [static_cast<size_t>(flips)];
        src = {0, 0, pic->width, pic->height};
    }
    const int x = left + ts.offsetX;
    const int y = bottom - (src.bottom - src.top) + ts.offsetY;
    HRESULT r = 0;
    if (alpha < 256)
        r = pic->BlendTo(dest, x, y, &src, static_cast<WORD>(alpha));
    else if (sheet.alpha)
        r = pic->AlphaBlendTo(dest, x, y, &src);
    else if (sheet.keyed)
        r = pic->CopyKeyedTo(dest, x, y, &src);
    else
        r = pic->CopyTo(dest, x, y, &src);
    return r < 0 ? static_cast<int>(r) : 0;
}

void TarnMap::DrawTiles(TarnSurface* dest, const TarnMapLayer& layer, double offsetX,
                        double offsetY, int cameraX, int cameraY, int alpha, int* result) {
    const RECT& clip = dest->clipArea;
    const long long ox = std::llround(offsetX) - cameraX, oy = std::llround(offsetY) - cameraY;
    // The cells whose tiles may reach into the clip area, with room for large or moved tiles.
    const int c0 = std::max(layer.x, FloorDiv(clip.left - ox, tileWidth) - impl->padX);
    const int c1 =
        std::min(static_cast<long long>(layer.x) + layer.width,
                 static_cast<long long>(FloorDiv(clip.right - ox, tileWidth)) + impl->padX + 1);
    const int r0 = std::max(layer.y, FloorDiv(clip.top - oy, tileHeight) - impl->padY);
    const int r1 =
        std::min(static_cast<long long>(layer.y) + layer.height,
                 static_cast<long long>(FloorDiv(clip.bottom - oy, tileHeight)) + impl->padY + 1);
    // (A layer of no cells, as an infinite one whose chunks are all empty, draws nothing.)
    if (c0 >= c1 || layer.tiles.empty()) return;
    for (int row = r0; row < r1; ++row) {
        const DWORD* cells = layer.tiles.data() + static_cast<size_t>(row - layer.y) * layer.width;
        const int bottom = static_cast<int>(static_cast<long long>(row + 1) * tileHeight + oy);
        for (int col = c0; col < c1; ++col) {
            const DWORD gid = cells[col - layer.x];
            if (!(gid & MAP_GID_MASK)) continue;
            const int left = static_cast<int>(static_cast<long long>(col) * tileWidth + ox);
            const int r = DrawOne(dest, gid, left, bottom, alpha);
            if (r != 0 && *result == MAP_OK) *result = r;
        }
    }
}

void TarnMap::DrawTileObjects(TarnSurface* dest, const TarnMapLayer& layer, double offsetX,
                              double offsetY, int cameraX, int cameraY, int alpha, int* result) {
    for (const TarnMapObject& o : layer.objects) {
        // A turned tile object is not drawn rather than drawn unturned.
        if (o.shape != SHAPE_TILE || !o.visible || o.rotation != 0) continue;
        const double x = o.x + offsetX - cameraX, y = o.y + offsetY - cameraY;
        if (std::fabs(x) > 1e9 || std::fabs(y) > 1e9) continue;
        const int r = DrawOne(dest, o.gid, static_cast<int>(std::lround(x)),
                              static_cast<int>(std::lround(y)), alpha);
        if (r != 0 && *result == MAP_OK) *result = r;
    }
}

// The frame each animated tile shows at `time` seconds: the animation loops over its frames'
// durations.
static void Advance(TarnMap::Impl& impl, std::vector<TarnMapTileset>& tilesets, double time) {
    const long long ms = time > 0 && time < 1e12 ? static_cast<long long>(time * 1000.0) : 0;
    for (size_t i = 0; i < impl.sheets.size(); ++i) {
        auto& sheet = impl.sheets[i];
        for (size_t a = 0; a < sheet.animated.size(); ++a) {
            const TarnMapTile& tile = tilesets[i].tiles[static_cast<size_t>(sheet.animated[a])];
            long long total = 0;
            for (const TarnMapFrame& f : tile.animation) total += f.duration;
            long long at = ms % total;
            for (const TarnMapFrame& f : tile.animation) {
                if (at < f.duration) {
                    sheet.shown[a] = f.tileId;
                    break;
                }
                at -= f.duration;
            }
        }
    }
}

int TarnMap::DrawLayer(TarnSurface* dest, int index, int cameraX, int cameraY, double time) {
    if (!picturesLoaded || !dest || index < 0 || index >= static_cast<int>(layers.size()))
        return MAP_ERR_STATE;
    Advance(*impl, tilesets, time);
    const TarnMapLayer& layer = layers[static_cast<size_t>(index)];
    const int alpha = static_cast<int>(std::lround(layer.totalOpacity * 256));
    if (alpha <= 0) return MAP_OK;
    int result = MAP_OK;
    if (layer.kind == LAYER_TILES)
        DrawTiles(dest, layer, layer.totalOffsetX, layer.totalOffsetY, cameraX, cameraY, alpha,
                  &result);
    else if (layer.kind == LAYER_OBJECTS)
        DrawTileObjects(dest, layer, layer.totalOffsetX, layer.totalOffsetY, cameraX, cameraY,
                        alpha, &result);
    return result;
}

int TarnMap::Draw(TarnSurface* dest, int cameraX, int cameraY, double time) {
    if (!picturesLoaded || !dest) return MAP_ERR_STATE;
    int result = MAP_OK;
    for (size_t i = 0; i < layers.size(); ++i) {
        if (!layers[i].totalVisible) continue;
        if (layers[i].kind != LAYER_TILES && layers[i].kind != LAYER_OBJECTS) continue;
        const int r = DrawLayer(dest, static_cast<int>(i), cameraX, cameraY, time);
        if (r != MAP_OK && result == MAP_OK) result = r;
    }
    return result;
}
