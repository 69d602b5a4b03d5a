// The JSON reader: Tiled's JSON maps (.tmj/.json) and tilesets (.tsj/.json), parsed by RapidJSON
// (header-only, so the browser build has it too) without recursion, so no nesting of a hostile
// file can exhaust the stack. Every member is checked for its type as it is read.
#include "map/internal/MapReader.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarn::map {

namespace {

using Value = rapidjson::Value;

const double BIG = 1 << 30; // no size or position in a map comes near this

// Reads members of one JSON object with the checks, saying the first failure in the context.
struct Members {
    LoadContext& ctx;
    const Value& object;
    const char* what; // "map", "layer", "tileset" ... for errors

    const Value* Get(const char* name) const {
        auto it = object.FindMember(name);
        return it == object.MemberEnd() ? nullptr : &it->value;
    }
    bool Bad(const char* name) {
        return ctx.Fail(MAP_ERR_FORMAT, std::string(what) + " has a bad '" + name + "'"), false;
    }
    bool Real(const char* name, double* out, double lo = -BIG, double hi = BIG) {
        const Value* v = Get(name);
        if (!v) return true;
        if (!v->IsNumber() || !(v->GetDouble() >= lo && v->GetDouble() <= hi)) return Bad(name);
        *out = v->GetDouble();
        return true;
    }
    bool Int(const char* name, int* out, double lo = 0, double hi = BIG) {
        double d = *out;
        if (!Real(name, &d, lo, hi)) return false;
        if (d != std::floor(d)) return Bad(name);
        *out = static_cast<int>(d);
        return true;
    }
    bool Gid(const char* name, DWORD* out) {
        double d = *out;
        if (!Real(name, &d, 0, 4294967295.0)) return false;
        if (d != std::floor(d)) return Bad(name);
        *out = static_cast<DWORD>(d);
        return true;
    }
    bool Flag(const char* name, bool* out) {
        const Value* v = Get(name);
        if (!v) return true;
        if (!v->IsBool()) return Bad(name);
        *out = v->GetBool();
        return true;
    }
    bool Text(const char* name, std::string* out) {
        const Value* v = Get(name);
        if (!v) return true;
        if (!v->IsString()) return Bad(name);
        out->assign(v->GetString(), v->GetStringLength());
        return true;
    }
    bool Colour(const char* name, bool* has, DWORD* out) {
        const Value* v = Get(name);
        if (!v) return true;
        if (!v->IsString() || !ParseColour(v->GetString(), out)) return Bad(name);
        *has = true;
        return true;
    }
    bool Array(const char* name, const Value** out) {
        *out = Get(name);
        if (*out && !(*out)->IsArray()) return Bad(name);
        return true;
    }
};

bool ReadProperties(LoadContext& ctx, const Value& owner, TarnMapProperties* props) {
    Members m{ctx, owner, "something"};
    const Value* list = nullptr;
    if (!m.Array("properties", &list)) return false;
    if (!list) return true;
    for (const Value& p : list->GetArray()) {
        if (!p.IsObject()) return ctx.Fail(MAP_ERR_FORMAT, "a property is not an object"), false;
        TarnMapProperty prop;
        Members pm{ctx, p, "a property"};
        std::string type;
        if (!pm.Text("name", &prop.name) || !pm.Text("type", &type)) return false;
        const int t = PropertyTypeOf(type.c_str());
        if (t < 0)
            return ctx.Fail(MAP_ERR_FORMAT,
                            "property '" + prop.name + "' has an unknown type '" + type + "'"),
                   false;
        prop.type = t;
        const Value* v = pm.Get("value");
        bool ok = v != nullptr;
        if (ok) switch (t) {
            case PROPERTY_INT:
            case PROPERTY_OBJECT:
                ok = v->IsNumber() && v->GetDouble() == std::floor(v->GetDouble());
                if (ok) prop.number = v->GetDouble();
                break;
            case PROPERTY_FLOAT:
                ok = v->IsNumber();
                if (ok) prop.number = v->GetDouble();
                break;
            case PROPERTY_BOOL:
                ok = v->IsBool();
                if (ok) prop.number = v->GetBool();
                break;
            case PROPERTY_COLOUR: {
                DWORD c = 0;
                ok = v->IsString() && (!*v->GetString() || ParseColour(v->GetString(), &c));
                prop.number = c;
                break;
            }
            case PROPERTY_CLASS:
                ok = v->IsObject();
                pm.Text("propertytype", &prop.text);
                break;
            default:
                ok = v->IsString();
                break;
            }
        if (!ok)
            return ctx.Fail(MAP_ERR_FORMAT, "property '" + prop.name + "' has a bad value"), false;
        if (v->IsString())
            prop.text.assign(v->GetString(), v->GetStringLength());
        else if (v->IsBool())
            prop.text = v->GetBool() ? "true" : "false";
        else if (v->IsNumber())
            prop.text = t == PROPERTY_FLOAT ? std::to_string(prop.number)
                                            : std::to_string(static_cast<long long>(prop.number));
        props->list.push_back(std::move(prop));
    }
    return true;
}

bool ReadImagePath(LoadContext& ctx, Members& m, const char* name, std::string* path) {
    std::string source;
    if (!m.Text(name, &source)) return false;
    return source.empty() || ResolvePath(ctx, source, path);
}

int ReadTilesetBody(TarnMapTileset& ts, LoadContext& ctx, const Value& node) {
    if (!node.IsObject()) return ctx.Fail(MAP_ERR_FORMAT, "a tileset is not an object");
    Members m{ctx, node, "the tileset"};
    if (!m.Text("name", &ts.name) || !m.Int("tilewidth", &ts.tileWidth) ||
        !m.Int("tileheight", &ts.tileHeight) || !m.Int("spacing", &ts.spacing) ||
        !m.Int("margin", &ts.margin) || !m.Int("tilecount", &ts.tileCount) ||
        !m.Int("columns", &ts.columns) || !ReadImagePath(ctx, m, "image", &ts.image) ||
        !m.Int("imagewidth", &ts.imageWidth) || !m.Int("imageheight", &ts.imageHeight) ||
        !m.Colour("transparentcolor", &ts.hasTransparent, &ts.transparent) ||
        !ReadProperties(ctx, node, &ts.properties))
        return ctx.code;
    ts.transparent &= 0xFFFFFF;
    if (const Value* off = m.Get("tileoffset")) {
        if (!off->IsObject()) return m.Bad("tileoffset"), ctx.code;
        Members o{ctx, *off, "the tileset's offset"};
        if (!o.Int("x", &ts.offsetX, -BIG) || !o.Int("y", &ts.offsetY, -BIG)) return ctx.code;
    }
    const Value* tiles = nullptr;
    if (!m.Array("tiles", &tiles)) return ctx.code;
    if (tiles)
        for (const Value& t : tiles->GetArray()) {
            if (!t.IsObject()) return ctx.Fail(MAP_ERR_FORMAT, "a tile is not an object");
            TarnMapTile tile;
            Members tm{ctx, t, "a tile"};
            if (!tm.Get("id")) return ctx.Fail(MAP_ERR_FORMAT, "a tile has no id");
            if (!tm.Int("id", &tile.id) || !tm.Text("type", &tile.type) ||
                !tm.Text("class", &tile.type) || !ReadImagePath(ctx, tm, "image", &tile.image) ||
                !tm.Int("imagewidth", &tile.imageWidth) ||
                !tm.Int("imageheight", &tile.imageHeight) ||
                !ReadProperties(ctx, t, &tile.properties))
                return ctx.code;
            const Value* frames = nullptr;
            if (!tm.Array("animation", &frames)) return ctx.code;
            if (frames)
                for (const Value& f : frames->GetArray()) {
                    if (!f.IsObject()) return ctx.Fail(MAP_ERR_FORMAT, "a frame is not an object");
                    TarnMapFrame frame;
                    Members fm{ctx, f, "a frame"};
                    if (!fm.Int("tileid", &frame.tileId) || !fm.Int("duration", &frame.duration))
                        return ctx.code;
                    tile.animation.push_back(frame);
                }
            ts.tiles.push_back(std::move(tile));
        }
    return MAP_OK;
}

bool ReadObject(LoadContext& ctx, const Value& node, TarnMapObject* o) {
    if (!node.IsObject()) return ctx.Fail(MAP_ERR_FORMAT, "an object is not an object"), false;
    Members m{ctx, node, "an object"};
    if (m.Get("template"))
        return ctx.Fail(MAP_ERR_UNSUPPORTED, "object templates are not read; detach the object "
                                             "from its template"),
               false;
    bool point = false, ellipse = false;
    if (!m.Text("name", &o->name) || !m.Text("type", &o->type) || !m.Text("class", &o->type) ||
        !m.Int("id", &o->id) || !m.Real("x", &o->x) || !m.Real("y", &o->y) ||
        !m.Real("width", &o->width) || !m.Real("height", &o->height) ||
        !m.Real("rotation", &o->rotation) || !m.Flag("visible", &o->visible) ||
        !m.Gid("gid", &o->gid) || !m.Flag("point", &point) || !m.Flag("ellipse", &ellipse) ||
        !ReadProperties(ctx, node, &o->properties))
        return false;
    if (o->gid)
        o->shape = SHAPE_TILE;
    else if (point)
        o->shape = SHAPE_POINT;
    else if (ellipse)
        o->shape = SHAPE_ELLIPSE;
    else if (m.Get("text"))
        o->shape = SHAPE_TEXT;
    for (const char* kind : {"polygon", "polyline"}) {
        const Value* points = nullptr;
        if (!m.Array(kind, &points)) return false;
        if (!points) continue;
        o->shape = kind[4] == 'g' ? SHAPE_POLYGON : SHAPE_POLYLINE;
        for (const Value& p : points->GetArray()) {
            if (!p.IsObject()) return m.Bad(kind);
            TarnMapPoint point;
            Members pm{ctx, p, "a point"};
            if (!pm.Real("x", &point.x) || !pm.Real("y", &point.y)) return false;
            o->points.push_back(point);
        }
    }
    return true;
}

// A layer's (or a chunk's) "data", w x h cells, into `cells`.
bool ReadCells(LoadContext& ctx, const std::string& what, const Value& data, const char* encoding,
               const char* compression, int w, int h, DWORD* cells) {
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    if (data.IsString())
        return DecodeCells(ctx, what, *encoding ? encoding : "base64", compression,
                           data.GetString(), data.GetStringLength(), cells, count);
    if (!data.IsArray()) return ctx.Fail(MAP_ERR_FORMAT, what + " has bad data"), false;
    if (data.Size() != count)
        return ctx.Fail(MAP_ERR_TILE, what + ": the data has " + std::to_string(data.Size()) +
                                          " cells, the layer's size needs " +
                                          std::to_string(count)),
               false;
    for (size_t i = 0; i < count; ++i) {
        const Value& v = data[static_cast<rapidjson::SizeType>(i)];
        if (!v.IsUint()) return ctx.Fail(MAP_ERR_FORMAT, what + ": a cell is not a tile id"), false;
        cells[i] = v.GetUint();
    }
    return true;
}

bool ReadTileLayer(TarnMap& map, LoadContext& ctx, const Value& node, TarnMapLayer* layer) {
    Members m{ctx, node, "a layer"};
    const std::string what = "layer '" + layer->name + "'";
    std::string encoding, compression;
    if (!m.Int("width", &layer->width) || !m.Int("height", &layer->height) ||
        !m.Text("encoding", &encoding) || !m.Text("compression", &compression))
        return false;
    if (!map.infinite) {
        const Value* data = m.Get("data");
        if (!data) return ctx.Fail(MAP_ERR_FORMAT, what + " has no data"), false;
        const long long cells = static_cast<long long>(layer->width) * layer->height;
        if (cells > MAX_LAYER_CELLS)
            return ctx.Fail(MAP_ERR_UNSUPPORTED, what + " is too large"), false;
        layer->tiles.assign(static_cast<size_t>(cells), 0);
        return ReadCells(ctx, what, *data, encoding.c_str(), compression.c_str(), layer->width,
                         layer->height, layer->tiles.data());
    }
    const Value* chunks = nullptr;
    if (!m.Array("chunks", &chunks)) return false;
    if (!chunks) return ctx.Fail(MAP_ERR_FORMAT, what + " has no chunks"), false;
    struct Chunk {
        int x, y, w, h;
        const Value* data;
    };
    std::vector<Chunk> list;
    long long x0 = 0, y0 = 0, x1 = 0, y1 = 0, sum = 0;
    bool first = true;
    for (const Value& c : chunks->GetArray()) {
        if (!c.IsObject() || !c.HasMember("data"))
            return ctx.Fail(MAP_ERR_FORMAT, what + " has a bad chunk"), false;
        Members cm{ctx, c, "a chunk"};
        int x = 0, y = 0, w = 0, h = 0;
        if (!cm.Int("x", &x, -BIG) || !cm.Int("y", &y, -BIG) || !cm.Int("width", &w, 1) ||
            !cm.Int("height", &h, 1))
            return false;
        if (first)
            x0 = x, y0 = y, x1 = x + static_cast<long long>(w), y1 = y + static_cast<long long>(h);
        first = false;
        x0 = std::min<long long>(x0, x), y0 = std::min<long long>(y0, y);
        x1 = std::max(x1, x + static_cast<long long>(w));
        y1 = std::max(y1, y + static_cast<long long>(h));
        sum += static_cast<long long>(w) * h;
        if (sum > MAX_LAYER_CELLS || (x1 - x0) * (y1 - y0) > MAX_LAYER_CELLS)
            return ctx.Fail(MAP_ERR_UNSUPPORTED, what + " is too large"), false;
        list.push_back({x, y, w, h, &c["data"]});
    }
    layer->x = static_cast<int>(x0), layer->y = static_cast<int>(y0);
    layer->width = static_cast<int>(x1 - x0), layer->height = static_cast<int>(y1 - y0);
    layer->tiles.assign(static_cast<size_t>(layer->width) * layer->height, 0);
    std::vector<DWORD> cells;
    for (const Chunk& k : list) {
        const int x = k.x, y = k.y, w = k.w, h = k.h;
        cells.assign(static_cast<size_t>(w) * h, 0);
        if (!ReadCells(ctx, what, *k.data, encoding.c_str(), compression.c_str(), w, h,
                       cells.data()))
            return false;
        for (int r = 0; r < h; ++r)
            for (int col = 0; col < w; ++col)
                layer->tiles[static_cast<size_t>(y - layer->y + r) * layer->width +
                             (x - layer->x + col)] = cells[static_cast<size_t>(r) * w + col];
    }
    return true;
}

bool ReadLayers(TarnMap& map, LoadContext& ctx, const Value& list, int parentIndex, int depth) {
    if (depth > MAX_GROUP_DEPTH)
        return ctx.Fail(MAP_ERR_UNSUPPORTED, "groups are nested too deeply"), false;
    if (!list.IsArray()) return ctx.Fail(MAP_ERR_FORMAT, "'layers' is not a list"), false;
    for (const Value& node : list.GetArray()) {
        if (!node.IsObject()) return ctx.Fail(MAP_ERR_FORMAT, "a layer is not an object"), false;
        Members m{ctx, node, "a layer"};
        std::string kind;
        if (!m.Text("type", &kind)) return false;
        int k = -1;
        if (kind == "tilelayer")
            k = LAYER_TILES;
        else if (kind == "objectgroup")
            k = LAYER_OBJECTS;
        else if (kind == "imagelayer")
            k = LAYER_IMAGE;
        else if (kind == "group")
            k = LAYER_GROUP;
        else
            return ctx.Fail(MAP_ERR_FORMAT, "a layer of unknown type '" + kind + "'"), false;
        map.layers.emplace_back();
        const int index = static_cast<int>(map.layers.size()) - 1;
        TarnMapLayer* layer = &map.layers.back();
        layer->kind = k;
        layer->parent = parentIndex;
        if (!m.Text("name", &layer->name) || !m.Text("class", &layer->type) ||
            !m.Int("id", &layer->id) || !m.Flag("visible", &layer->visible) ||
            !m.Real("opacity", &layer->opacity) || !m.Real("offsetx", &layer->offsetX) ||
            !m.Real("offsety", &layer->offsetY) || !ReadProperties(ctx, node, &layer->properties))
            return false;
        if (k == LAYER_TILES && !ReadTileLayer(map, ctx, node, layer)) return false;
        if (k == LAYER_OBJECTS) {
            const Value* objects = nullptr;
            if (!m.Array("objects", &objects)) return false;
            if (objects)
                for (const Value& o : objects->GetArray()) {
                    layer->objects.emplace_back();
                    if (!ReadObject(ctx, o, &layer->objects.back())) return false;
                }
        }
        if (k == LAYER_IMAGE && !ReadImagePath(ctx, m, "image", &layer->image)) return false;
        if (k == LAYER_GROUP) {
            const Value* members = m.Get("layers");
            if (members && !ReadLayers(map, ctx, *members, index, depth + 1)) return false;
        }
    }
    return true;
}

bool Parse(LoadContext& ctx, const std::string& text, rapidjson::Document* doc) {
    doc->Parse<rapidjson::kParseIterativeFlag>(text.data(), text.size());
    if (doc->HasParseError()) {
        ctx.Fail(MAP_ERR_FORMAT, std::string("damaged JSON at byte ") +
                                     std::to_string(doc->GetErrorOffset()) + ": " +
                                     rapidjson::GetParseError_En(doc->GetParseError()));
        return false;
    }
    if (!doc->IsObject()) return ctx.Fail(MAP_ERR_FORMAT, "not a Tiled file (no object)"), false;
    return true;
}

} // namespace

int ReadJsonTileset(TarnMapTileset& tileset, LoadContext& ctx, std::string& text) {
    rapidjson::Document doc;
    if (!Parse(ctx, text, &doc)) return ctx.code;
    return ReadTilesetBody(tileset, ctx, doc);
}

int ReadJsonMap(TarnMap& map, LoadContext& ctx, std::string& text) {
    rapidjson::Document doc;
    if (!Parse(ctx, text, &doc)) return ctx.code;
    Members m{ctx, doc, "the map"};
    std::string kind, orientation;
    if (!m.Text("type", &kind) || !m.Text("orientation", &orientation)) return ctx.code;
    if (kind != "map") return ctx.Fail(MAP_ERR_FORMAT, "not a Tiled map (its type is not 'map')");
    if (orientation != "orthogonal")
        return ctx.Fail(MAP_ERR_UNSUPPORTED,
                        "the map is " + (orientation.empty() ? "of no orientation" : orientation) +
                            "; only orthogonal maps are drawn");
    if (!m.Get("tilewidth") || !m.Get("tileheight"))
        return ctx.Fail(MAP_ERR_FORMAT, "the map has no tile size");
    if (!m.Text("class", &map.type) || !m.Int("width", &map.width) ||
        !m.Int("height", &map.height) || !m.Int("tilewidth", &map.tileWidth, 1) ||
        !m.Int("tileheight", &map.tileHeight, 1) || !m.Flag("infinite", &map.infinite) ||
        !m.Colour("backgroundcolor", &map.hasBackground, &map.backgroundColour) ||
        !ReadProperties(ctx, doc, &map.properties))
        return ctx.code;
    const Value* tilesets = nullptr;
    if (!m.Array("tilesets", &tilesets)) return ctx.code;
    if (tilesets)
        for (const Value& t : tilesets->GetArray()) {
            if (!t.IsObject()) return ctx.Fail(MAP_ERR_FORMAT, "a tileset is not an object");
            map.tilesets.emplace_back();
            TarnMapTileset& ts = map.tilesets.back();
            Members tm{ctx, t, "a tileset"};
            std::string source;
            if (!tm.Gid("firstgid", &ts.firstGid) || !tm.Text("source", &source)) return ctx.code;
            const int r =
                !source.empty() ? ReadTilesetFile(ts, ctx, source) : ReadTilesetBody(ts, ctx, t);
            if (r != MAP_OK) return ctx.code;
        }
    if (const Value* layers = m.Get("layers"))
        if (!ReadLayers(map, ctx, *layers, -1, 0)) return ctx.code;
    return MAP_OK;
}

} // namespace tarn::map
