// The TMX reader: Tiled's XML maps (.tmx) and tilesets (.tsx), parsed in place by pugixml.
// Every attribute is checked as it is read: a number that is not a number, a negative size or
// an unknown kind of thing is an error naming the file, never a guess.
#include "map/internal/MapReader.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>

namespace tarn::map {

namespace {

// Reads attributes with the checks, saying the first failure in the context.
struct Attrs {
    LoadContext& ctx;
    pugi::xml_node node;

    bool Int(const char* name, long long lo, long long hi, int* out) {
        pugi::xml_attribute a = node.attribute(name);
        if (!a) return true;
        long long v = 0;
        if (!ParseInt(a.value(), &v) || v < lo || v > hi)
            return ctx.Fail(MAP_ERR_FORMAT, std::string("<") + node.name() + "> has a bad " + name +
                                                " '" + a.value() + "'"),
                   false;
        *out = static_cast<int>(v);
        return true;
    }
    bool Gid(const char* name, DWORD* out) {
        pugi::xml_attribute a = node.attribute(name);
        if (!a) return true;
        long long v = 0;
        if (!ParseInt(a.value(), &v) || v < 0 || v > 0xFFFFFFFFLL)
            return ctx.Fail(MAP_ERR_FORMAT, std::string("<") + node.name() + "> has a bad " + name +
                                                " '" + a.value() + "'"),
                   false;
        *out = static_cast<DWORD>(v);
        return true;
    }
    bool Real(const char* name, double* out) {
        pugi::xml_attribute a = node.attribute(name);
        if (!a) return true;
        if (!ParseDouble(a.value(), out))
            return ctx.Fail(MAP_ERR_FORMAT, std::string("<") + node.name() + "> has a bad " + name +
                                                " '" + a.value() + "'"),
                   false;
        return true;
    }
    bool Flag(const char* name, bool* out) {
        pugi::xml_attribute a = node.attribute(name);
        if (!a) return true;
        const std::string v = a.value();
        if (v != "0" && v != "1")
            return ctx.Fail(MAP_ERR_FORMAT, std::string("<") + node.name() + "> has a bad " + name +
                                                " '" + v + "'"),
                   false;
        *out = v == "1";
        return true;
    }
    bool Colour(const char* name, bool* has, DWORD* out) {
        pugi::xml_attribute a = node.attribute(name);
        if (!a) return true;
        if (!ParseColour(a.value(), out))
            return ctx.Fail(MAP_ERR_FORMAT, std::string("<") + node.name() + "> has a bad " + name +
                                                " '" + a.value() + "'"),
                   false;
        *has = true;
        return true;
    }
    std::string Text(const char* name) { return node.attribute(name).value(); }
};

const long long BIG = 1 << 30; // no size or position in a map comes near this

bool ReadProperties(LoadContext& ctx, pugi::xml_node owner, TarnMapProperties* props) {
    for (pugi::xml_node p : owner.child("properties").children("property")) {
        TarnMapProperty prop;
        prop.name = p.attribute("name").value();
        const int type = PropertyTypeOf(p.attribute("type").value());
        if (type < 0)
            return ctx.Fail(MAP_ERR_FORMAT, "property '" + prop.name + "' has an unknown type '" +
                                                p.attribute("type").value() + "'"),
                   false;
        prop.type = type;
        pugi::xml_attribute value = p.attribute("value");
        prop.text = value ? value.value() : p.child_value(); // long text is the element's
        bool ok = true;
        switch (type) {
        case PROPERTY_INT:
        case PROPERTY_OBJECT: {
            long long v = 0;
            ok = ParseInt(prop.text.c_str(), &v);
            prop.number = static_cast<double>(v);
            break;
        }
        case PROPERTY_FLOAT:
            ok = ParseDouble(prop.text.c_str(), &prop.number);
            break;
        case PROPERTY_BOOL:
            ok = prop.text == "true" || prop.text == "false";
            prop.number = prop.text == "true";
            break;
        case PROPERTY_COLOUR: {
            DWORD c = 0;
            ok = prop.text.empty() || ParseColour(prop.text.c_str(), &c);
            prop.number = c;
            break;
        }
        case PROPERTY_CLASS:
            prop.text = p.attribute("propertytype").value();
            break;
        default:
            break;
        }
        if (!ok)
            return ctx.Fail(MAP_ERR_FORMAT,
                            "property '" + prop.name + "' has a bad value '" + prop.text + "'"),
                   false;
        props->list.push_back(std::move(prop));
    }
    return true;
}

// An <image>: its path from the map and its size as written.
bool ReadImage(LoadContext& ctx, pugi::xml_node image, std::string* path, int* w, int* h) {
    Attrs a{ctx, image};
    if (!image.attribute("source"))
        return ctx.Fail(MAP_ERR_UNSUPPORTED, "an <image> without a source file"), false;
    return ResolvePath(ctx, a.Text("source"), path) && a.Int("width", 0, BIG, w) &&
           a.Int("height", 0, BIG, h);
}

int ReadTilesetBody(TarnMapTileset& ts, LoadContext& ctx, pugi::xml_node node) {
    Attrs a{ctx, node};
    ts.name = a.Text("name");
    if (!a.Int("tilewidth", 0, BIG, &ts.tileWidth) ||
        !a.Int("tileheight", 0, BIG, &ts.tileHeight) || !a.Int("spacing", 0, BIG, &ts.spacing) ||
        !a.Int("margin", 0, BIG, &ts.margin) || !a.Int("tilecount", 0, BIG, &ts.tileCount) ||
        !a.Int("columns", 0, BIG, &ts.columns) || !ReadProperties(ctx, node, &ts.properties))
        return ctx.code;
    if (pugi::xml_node off = node.child("tileoffset")) {
        Attrs o{ctx, off};
        if (!o.Int("x", -BIG, BIG, &ts.offsetX) || !o.Int("y", -BIG, BIG, &ts.offsetY))
            return ctx.code;
    }
    if (pugi::xml_node image = node.child("image")) {
        if (!ReadImage(ctx, image, &ts.image, &ts.imageWidth, &ts.imageHeight)) return ctx.code;
        Attrs i{ctx, image};
        if (!i.Colour("trans", &ts.hasTransparent, &ts.transparent)) return ctx.code;
        ts.transparent &= 0xFFFFFF;
    }
    for (pugi::xml_node t : node.children("tile")) {
        TarnMapTile tile;
        Attrs ta{ctx, t};
        if (!t.attribute("id") || !ta.Int("id", 0, BIG, &tile.id)) {
            return ctx.Fail(MAP_ERR_FORMAT, "a <tile> of tileset '" + ts.name + "' has no id");
        }
        tile.type = t.attribute("class") ? ta.Text("class") : ta.Text("type");
        if (!ReadProperties(ctx, t, &tile.properties)) return ctx.code;
        if (pugi::xml_node image = t.child("image"))
            if (!ReadImage(ctx, image, &tile.image, &tile.imageWidth, &tile.imageHeight))
                return ctx.code;
        for (pugi::xml_node f : t.child("animation").children("frame")) {
            TarnMapFrame frame;
            Attrs fa{ctx, f};
            if (!fa.Int("tileid", 0, BIG, &frame.tileId) ||
                !fa.Int("duration", 0, BIG, &frame.duration))
                return ctx.code;
            tile.animation.push_back(frame);
        }
        ts.tiles.push_back(std::move(tile));
    }
    return MAP_OK;
}

bool ReadObject(LoadContext& ctx, pugi::xml_node node, TarnMapObject* o) {
    Attrs a{ctx, node};
    if (node.attribute("template"))
        return ctx.Fail(MAP_ERR_UNSUPPORTED, "object templates are not read; detach object '" +
                                                 a.Text("name") + "' from its template"),
               false;
    o->name = a.Text("name");
    o->type = node.attribute("class") ? a.Text("class") : a.Text("type");
    if (!a.Int("id", 0, BIG, &o->id) || !a.Real("x", &o->x) || !a.Real("y", &o->y) ||
        !a.Real("width", &o->width) || !a.Real("height", &o->height) ||
        !a.Real("rotation", &o->rotation) || !a.Flag("visible", &o->visible) ||
        !a.Gid("gid", &o->gid) || !ReadProperties(ctx, node, &o->properties))
        return false;
    if (o->gid)
        o->shape = SHAPE_TILE;
    else if (node.child("point"))
        o->shape = SHAPE_POINT;
    else if (node.child("ellipse"))
        o->shape = SHAPE_ELLIPSE;
    else if (node.child("text"))
        o->shape = SHAPE_TEXT;
    pugi::xml_node poly = node.child("polygon");
    if (poly)
        o->shape = SHAPE_POLYGON;
    else if ((poly = node.child("polyline")))
        o->shape = SHAPE_POLYLINE;
    if (poly) {
        // "x,y x,y ...": pairs split at blanks.
        std::string text = poly.attribute("points").value();
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find(' ', at);
            if (end == std::string::npos) end = text.size();
            std::string pair = text.substr(at, end - at);
            at = end + 1;
            if (pair.empty()) continue;
            const size_t comma = pair.find(',');
            TarnMapPoint p;
            if (comma == std::string::npos || !ParseDouble(pair.substr(0, comma).c_str(), &p.x) ||
                !ParseDouble(pair.substr(comma + 1).c_str(), &p.y))
                return ctx.Fail(MAP_ERR_FORMAT,
                                "object '" + o->name + "' has bad points '" + text + "'"),
                       false;
            o->points.push_back(p);
        }
    }
    return true;
}

// A <data> (or a <chunk>) of w x h cells into `cells`.
bool ReadCells(LoadContext& ctx, const std::string& what, pugi::xml_node data, const char* encoding,
               const char* compression, int w, int h, DWORD* cells) {
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    if (!*encoding) { // one <tile gid=".."/> per cell
        size_t n = 0;
        for (pugi::xml_node t : data.children("tile")) {
            DWORD gid = 0;
            Attrs a{ctx, t};
            if (!a.Gid("gid", &gid)) return false;
            if (n == count)
                return ctx.Fail(MAP_ERR_TILE, what + ": the data has more cells than the layer's " +
                                                  std::to_string(count)),
                       false;
            cells[n++] = gid;
        }
        if (n != count)
            return ctx.Fail(MAP_ERR_TILE, what + ": the data has " + std::to_string(n) +
                                              " cells, the layer's size needs " +
                                              std::to_string(count)),
                   false;
        return true;
    }
    const char* text = data.child_value();
    return DecodeCells(ctx, what, encoding, compression, text, std::strlen(text), cells, count);
}

bool ReadTileLayer(TarnMap& map, LoadContext& ctx, pugi::xml_node node, TarnMapLayer* layer) {
    Attrs a{ctx, node};
    const std::string what = "layer '" + layer->name + "'";
    if (!a.Int("width", 0, BIG, &layer->width) || !a.Int("height", 0, BIG, &layer->height))
        return false;
    pugi::xml_node data = node.child("data");
    if (!data) return ctx.Fail(MAP_ERR_FORMAT, what + " has no <data>"), false;
    const char* encoding = data.attribute("encoding").value();
    const char* compression = data.attribute("compression").value();
    if (!map.infinite) {
        const long long cells = static_cast<long long>(layer->width) * layer->height;
        if (cells > MAX_LAYER_CELLS)
            return ctx.Fail(MAP_ERR_UNSUPPORTED, what + " is too large"), false;
        layer->tiles.assign(static_cast<size_t>(cells), 0);
        return ReadCells(ctx, what, data, encoding, compression, layer->width, layer->height,
                         layer->tiles.data());
    }
    // Chunks: the layer becomes the rectangle around them all.
    struct Chunk {
        int x = 0, y = 0, w = 0, h = 0;
        pugi::xml_node node;
    };
    std::vector<Chunk> chunks;
    long long x0 = 0, y0 = 0, x1 = 0, y1 = 0, sum = 0;
    for (pugi::xml_node c : data.children("chunk")) {
        Chunk k;
        k.node = c;
        Attrs ca{ctx, c};
        if (!ca.Int("x", -BIG, BIG, &k.x) || !ca.Int("y", -BIG, BIG, &k.y) ||
            !ca.Int("width", 1, BIG, &k.w) || !ca.Int("height", 1, BIG, &k.h))
            return false;
        const long long right = static_cast<long long>(k.x) + k.w;
        const long long bottom = static_cast<long long>(k.y) + k.h;
        if (chunks.empty()) x0 = k.x, y0 = k.y, x1 = right, y1 = bottom;
        x0 = std::min<long long>(x0, k.x), y0 = std::min<long long>(y0, k.y);
        x1 = std::max(x1, right), y1 = std::max(y1, bottom);
        sum += static_cast<long long>(k.w) * k.h;
        if (sum > MAX_LAYER_CELLS || (x1 - x0) * (y1 - y0) > MAX_LAYER_CELLS)
            return ctx.Fail(MAP_ERR_UNSUPPORTED, what + " is too large"), false;
        chunks.push_back(k);
    }
    layer->x = static_cast<int>(x0), layer->y = static_cast<int>(y0);
    layer->width = static_cast<int>(x1 - x0), layer->height = static_cast<int>(y1 - y0);
    layer->tiles.assign(static_cast<size_t>(layer->width) * layer->height, 0);
    std::vector<DWORD> cells;
    for (const Chunk& k : chunks) {
        cells.assign(static_cast<size_t>(k.w) * k.h, 0);
        if (!ReadCells(ctx, what, k.node, encoding, compression, k.w, k.h, cells.data()))
            return false;
        for (int r = 0; r < k.h; ++r)
            for (int c = 0; c < k.w; ++c)
                layer->tiles[static_cast<size_t>(k.y - layer->y + r) * layer->width +
                             (k.x - layer->x + c)] = cells[static_cast<size_t>(r) * k.w + c];
    }
    return true;
}

bool ReadLayers(TarnMap& map, LoadContext& ctx, pugi::xml_node parent, int parentIndex, int depth) {
    if (depth > MAX_GROUP_DEPTH)
        return ctx.Fail(MAP_ERR_UNSUPPORTED, "groups are nested too deeply"), false;
    for (pugi::xml_node node : parent.children()) {
        const std::string kind = node.name();
        int k = -1;
        if (kind == "layer")
            k = LAYER_TILES;
        else if (kind == "objectgroup")
            k = LAYER_OBJECTS;
        else if (kind == "imagelayer")
            k = LAYER_IMAGE;
        else if (kind == "group")
            k = LAYER_GROUP;
        if (k < 0) continue;
        map.layers.emplace_back();
        const int index = static_cast<int>(map.layers.size()) - 1;
        TarnMapLayer* layer = &map.layers.back();
        layer->kind = k;
        layer->parent = parentIndex;
        Attrs a{ctx, node};
        layer->name = a.Text("name");
        layer->type = a.Text("class");
        if (!a.Int("id", 0, BIG, &layer->id) || !a.Flag("visible", &layer->visible) ||
            !a.Real("opacity", &layer->opacity) || !a.Real("offsetx", &layer->offsetX) ||
            !a.Real("offsety", &layer->offsetY) || !ReadProperties(ctx, node, &layer->properties))
            return false;
        if (k == LAYER_TILES && !ReadTileLayer(map, ctx, node, layer)) return false;
        if (k == LAYER_OBJECTS)
            for (pugi::xml_node o : node.children("object")) {
                layer->objects.emplace_back();
                if (!ReadObject(ctx, o, &layer->objects.back())) return false;
            }
        if (k == LAYER_IMAGE)
            if (pugi::xml_node image = node.child("image")) {
                int w = 0, h = 0;
                if (!ReadImage(ctx, image, &layer->image, &w, &h)) return false;
            }
        if (k == LAYER_GROUP && !ReadLayers(map, ctx, node, index, depth + 1)) return false;
    }
    return true;
}

bool Parse(LoadContext& ctx, std::string& text, pugi::xml_document* doc) {
    const pugi::xml_parse_result r = doc->load_buffer_inplace(text.data(), text.size());
    if (!r) {
        ctx.Fail(MAP_ERR_FORMAT, std::string("damaged XML at byte ") + std::to_string(r.offset) +
                                     ": " + r.description());
        return false;
    }
    return true;
}

} // namespace

int ReadTmxTileset(TarnMapTileset& tileset, LoadContext& ctx, std::string& text) {
    pugi::xml_document doc;
    if (!Parse(ctx, text, &doc)) return ctx.code;
    pugi::xml_node node = doc.child("tileset");
    if (!node) return ctx.Fail(MAP_ERR_FORMAT, "not a Tiled tileset (no <tileset>)");
    return ReadTilesetBody(tileset, ctx, node);
}

int ReadTmxMap(TarnMap& map, LoadContext& ctx, std::string& text) {
    pugi::xml_document doc;
    if (!Parse(ctx, text, &doc)) return ctx.code;
    pugi::xml_node root = doc.child("map");
    if (!root) return ctx.Fail(MAP_ERR_FORMAT, "not a Tiled map (no <map>)");
    Attrs a{ctx, root};
    const std::string orientation = a.Text("orientation");
    if (orientation != "orthogonal")
        return ctx.Fail(MAP_ERR_UNSUPPORTED,
                        "the map is " + (orientation.empty() ? "of no orientation" : orientation) +
                            "; only orthogonal maps are drawn");
    map.type = a.Text("class");
    if (!a.Int("width", 0, BIG, &map.width) || !a.Int("height", 0, BIG, &map.height) ||
        !a.Int("tilewidth", 1, BIG, &map.tileWidth) ||
        !a.Int("tileheight", 1, BIG, &map.tileHeight) || !a.Flag("infinite", &map.infinite) ||
        !a.Colour("backgroundcolor", &map.hasBackground, &map.backgroundColour) ||
        !ReadProperties(ctx, root, &map.properties))
        return ctx.code;
    if (!root.attribute("tilewidth") || !root.attribute("tileheight"))
        return ctx.Fail(MAP_ERR_FORMAT, "the map has no tile size");
    for (pugi::xml_node t : root.children("tileset")) {
        map.tilesets.emplace_back();
        TarnMapTileset& ts = map.tilesets.back();
        Attrs ta{ctx, t};
        if (!ta.Gid("firstgid", &ts.firstGid)) return ctx.code;
        const int r = t.attribute("source") ? ReadTilesetFile(ts, ctx, ta.Text("source"))
                                            : ReadTilesetBody(ts, ctx, t);
        if (r != MAP_OK) return ctx.code;
    }
    if (!ReadLayers(map, ctx, root, -1, 0)) return ctx.code;
    return MAP_OK;
}

} // namespace tarn::map
