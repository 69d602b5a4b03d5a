// Where no XML library is linked (the browser and Windows builds), TMX maps and tilesets are
// refused with a clear error: the same map saved as JSON is read everywhere.
#include "map/internal/MapReader.h"

namespace tarn::map {

int ReadTmxMap(TarnMap&, LoadContext& ctx, std::string&) {
    return ctx.Fail(MAP_ERR_UNSUPPORTED,
                    "TMX (XML) maps are not read in this build; save the map as JSON");
}

int ReadTmxTileset(TarnMapTileset&, LoadContext& ctx, std::string&) {
    return ctx.Fail(MAP_ERR_UNSUPPORTED,
                    "TSX (XML) tilesets are not read in this build; save the tileset as JSON");
}

} // namespace tarn::map
