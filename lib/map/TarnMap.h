/// @file
/// TarnMap: a tile map made with the Tiled editor, loaded from its XML form (.tmx, tilesets in
/// .tsx) or its JSON form (.tmj/.json, tilesets in .tsj/.json), and drawn onto a surface from a
/// camera position. A level is a file a designer edits: its tile layers are drawn, its object
/// layers (rectangles, points, ellipses, polygons, polylines, tile objects) are read by the
/// program to place its player, enemies and exits, and custom properties ride along on the
/// map, its layers, tilesets, tiles and objects.
///
/// Loading and drawing are two steps: Load reads and checks the whole map (every file, every
/// tile id, every layer's size) without a screen, so a tool or a test can read a level;
/// LoadPictures then makes the tilesets' surfaces on a screen. A map that fails to load keeps
/// nothing of the file and Error() names the file and what is wrong.
///
/// Only orthogonal maps are read; isometric, hexagonal and staggered maps are refused.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

class TarnScreen;
class TarnSurface;

/// Results of TarnMap's calls.
enum TarnMapResult {
    MAP_OK = 0,               ///< done
    MAP_ERR_FILE = -1,        ///< a file cannot be read
    MAP_ERR_FORMAT = -2,      ///< a file is damaged or is not a Tiled map, tileset or picture
    MAP_ERR_UNSUPPORTED = -3, ///< something valid that Tarn does not draw (an isometric map ...)
    MAP_ERR_TILE = -4,        ///< a tile id past every tileset, or layer data of the wrong size
    MAP_ERR_PATH = -5,        ///< a path that leaves the map's folder
    MAP_ERR_PICTURE = -6,     ///< a tileset's picture cannot be loaded or flipped
    MAP_ERR_STATE = -7,       ///< no map loaded, no pictures, no such layer, a null argument
};

/// The flags Tiled keeps in the top bits of a tile's global id, and the id under them.
/// @{
const DWORD MAP_FLIP_HORIZONTAL = 0x80000000u; ///< mirrored left to right
const DWORD MAP_FLIP_VERTICAL = 0x40000000u;   ///< mirrored top to bottom
const DWORD MAP_FLIP_DIAGONAL = 0x20000000u; ///< mirrored across the top-left to bottom-right line
const DWORD MAP_ROTATE_HEX = 0x10000000u;    ///< hexagonal maps' 120 degree turn (ignored)
const DWORD MAP_GID_MASK = 0x0FFFFFFFu;      ///< the global tile id without its flags
/// @}

/// The type of a custom property.
enum TarnMapPropertyType {
    PROPERTY_STRING,
    PROPERTY_INT,
    PROPERTY_FLOAT,
    PROPERTY_BOOL,
    PROPERTY_COLOUR,
    PROPERTY_FILE,
    PROPERTY_OBJECT, ///< an object's id
    PROPERTY_CLASS,  ///< a custom class's value: only its name and type are kept
};

/// One custom property: its text as written in the file, and for numbers, booleans (0 or 1),
/// colours (0xAARRGGBB) and object references its value as a number.
struct TarnMapProperty {
    std::string name;           ///< the property's name
    int type = PROPERTY_STRING; ///< a TarnMapPropertyType
    std::string text;  ///< the value as written (a file's path as written, relative to its file)
    double number = 0; ///< the value of an int, float, bool, colour or object property
};

/// The custom properties of one thing of the map, in the file's order.
struct TarnMapProperties {
    std::vector<TarnMapProperty> list; ///< every property

    /// The property called `name`, or null.
    const TarnMapProperty* Find(const char* name) const;
    /// The text of property `name`, or `otherwise` when there is none.
    const char* GetString(const char* name, const char* otherwise = "") const;
    /// The number of property `name` (an int, float, bool, colour or object), or `otherwise`
    /// when there is none or it is text.
    double GetNumber(const char* name, double otherwise = 0) const;
    /// True when property `name` is a bool that is true (or a number other than 0).
    bool GetBool(const char* name, bool otherwise = false) const;
};

/// A point of a polygon or polyline, relative to its object's position.
struct TarnMapPoint {
    double x = 0; ///< pixels right of the object's position
    double y = 0; ///< pixels below the object's position
};

/// The shape of an object.
enum TarnMapShape {
    SHAPE_RECTANGLE,
    SHAPE_POINT,
    SHAPE_ELLIPSE,
    SHAPE_POLYGON,
    SHAPE_POLYLINE,
    SHAPE_TILE, ///< a tile object: gid is set; (x, y) is its bottom-left corner, as Tiled has it
    SHAPE_TEXT, ///< a text object (its text is not kept)
};

/// One object of an object layer, in map pixels.
struct TarnMapObject {
    int id = 0;                  ///< the object's id, unique in the map
    std::string name;            ///< its name, for the program to find it by
    std::string type;            ///< its class (called type before Tiled 1.9)
    int shape = SHAPE_RECTANGLE; ///< a TarnMapShape
    double x = 0;                ///< position: the top-left corner (a tile object's bottom-left)
    double y = 0;                ///< position, pixels down
    double width = 0;            ///< size; 0 for a point
    double height = 0;           ///< size; 0 for a point
    double rotation = 0;         ///< degrees clockwise around the position
    bool visible = true;         ///< shown in the editor
    DWORD gid = 0;               ///< a tile object's global tile id with its flip flags, else 0
    std::vector<TarnMapPoint> points; ///< a polygon's or polyline's points
    TarnMapProperties properties;     ///< its custom properties
};

/// The kind of a layer.
enum TarnMapLayerKind {
    LAYER_TILES,
    LAYER_OBJECTS,
    LAYER_IMAGE, ///< an image layer (its picture is named, not drawn)
    LAYER_GROUP,
};

/// One layer. Layers are kept in the file's order, a group before its members; `parent` links a
/// member to its group, and the total* fields hold what the groups around it add.
struct TarnMapLayer {
    int kind = LAYER_TILES;   ///< a TarnMapLayerKind
    int id = 0;               ///< the layer's id
    std::string name;         ///< its name, for FindLayer
    std::string type;         ///< its class
    int parent = -1;          ///< index of its group in TarnMap::layers, -1 at the top
    bool visible = true;      ///< its own visibility
    double opacity = 1;       ///< its own opacity, 0 to 1
    double offsetX = 0;       ///< its own offset in pixels
    double offsetY = 0;       ///< its own offset in pixels
    bool totalVisible = true; ///< visible, and every group around it too
    double totalOpacity = 1;  ///< its opacity times its groups'
    double totalOffsetX = 0;  ///< its offset plus its groups'
    double totalOffsetY = 0;  ///< its offset plus its groups'
    /// A tile layer's cells: width x height global ids with their flip flags (0: empty), rows
    /// packed, the top-left one at tile (x, y). An infinite map's layer covers its chunks.
    /// @{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::vector<DWORD> tiles;
    /// @}
    std::vector<TarnMapObject> objects; ///< an object layer's objects
    std::string image;                  ///< an image layer's picture, as a path from the map
    TarnMapProperties properties;       ///< its custom properties

    /// The global id (with flags) at tile (column, row) of the map; 0 outside the layer.
    DWORD TileAt(int column, int row) const;
};

/// One frame of a tile's animation.
struct TarnMapFrame {
    int tileId = 0;   ///< the tile shown, an id in the same tileset
    int duration = 0; ///< milliseconds
};

/// What a tileset says about one of its tiles (only tiles with something to say are listed).
struct TarnMapTile {
    int id = 0;          ///< the tile's id in its tileset
    std::string type;    ///< its class
    std::string image;   ///< its own picture (a tileset of pictures), as a path from the map
    int imageWidth = 0;  ///< that picture's size as the file says
    int imageHeight = 0; ///< that picture's size as the file says
    std::vector<TarnMapFrame> animation; ///< its frames; empty when it is not animated
    TarnMapProperties properties;        ///< its custom properties
};

/// One tileset: a picture cut into tiles, or one picture per tile.
struct TarnMapTileset {
    DWORD firstGid = 1;          ///< the global id of its tile 0
    std::string name;            ///< its name
    std::string source;          ///< its own file (.tsx/.tsj) as a path from the map, or empty
    std::string image;           ///< the picture cut into tiles, as a path from the map; or empty
    int imageWidth = 0;          ///< that picture's size as the file says
    int imageHeight = 0;         ///< that picture's size as the file says
    int tileWidth = 0;           ///< pixels across one tile
    int tileHeight = 0;          ///< pixels down one tile
    int spacing = 0;             ///< pixels between tiles in the picture
    int margin = 0;              ///< pixels around the tiles in the picture
    int columns = 0;             ///< tiles across the picture
    int tileCount = 0;           ///< tiles in the tileset (ids 0 to tileCount - 1)
    int offsetX = 0;             ///< where its tiles are drawn, moved by this many pixels
    int offsetY = 0;             ///< where its tiles are drawn, moved by this many pixels
    bool hasTransparent = false; ///< the picture has a transparent colour
    DWORD transparent = 0;       ///< that colour, 0xRRGGBB
    std::vector<TarnMapTile> tiles; ///< the tiles it says something about, by rising id
    TarnMapProperties properties;   ///< its custom properties

    /// What it says about tile `id`, or null.
    const TarnMapTile* FindTile(int id) const;
};

/// A loaded Tiled map, its pictures and its drawing.
class TarnMap {
public:
    int width = 0;                        ///< tiles across (for an infinite map: 0)
    int height = 0;                       ///< tiles down (for an infinite map: 0)
    int tileWidth = 0;                    ///< pixels across one cell
    int tileHeight = 0;                   ///< pixels down one cell
    bool infinite = false;                ///< the map is made of chunks
    bool hasBackground = false;           ///< the map has a background colour
    DWORD backgroundColour = 0;           ///< that colour, 0xAARRGGBB
    std::string type;                     ///< the map's class
    std::vector<TarnMapLayer> layers;     ///< every layer, groups included, in the file's order
    std::vector<TarnMapTileset> tilesets; ///< by rising firstGid
    TarnMapProperties properties;         ///< the map's custom properties

    TarnMap();
    virtual ~TarnMap();
    TarnMap(const TarnMap&) = delete;
    TarnMap& operator=(const TarnMap&) = delete;

    /// Reads the map `fileName` (TMX when it starts with '<', else JSON) with its tilesets, and
    /// checks it: every tile id within a tileset, every layer's data of its size, every path
    /// inside the map's folder. The map held before (and its pictures) is dropped first.
    /// MAP_OK, or an error with Error() naming the file and what is wrong; the map is then empty.
    int Load(const char* fileName);
    /// The same from a file's bytes in memory; `fileName` names it in errors and places the
    /// folder its tilesets and pictures are looked for in.
    int LoadFromMemory(const char* data, size_t size, const char* fileName);
    /// What the last failed call found wrong, naming the file; empty after a success.
    const char* Error() const { return error.c_str(); }
    /// Drops the map and its pictures.
    void Clear();

    /// Loads every tileset's pictures onto `screen` (placement as in TarnSurface::Create) and
    /// makes the flipped tiles the layers use. MAP_OK; MAP_ERR_PICTURE naming the picture that
    /// failed (no picture is then kept); MAP_ERR_STATE without a map or screen.
    int LoadPictures(TarnScreen* screen, BYTE placement = 2);
    /// After a display loss: restores the pictures and draws the flipped tiles again. MAP_OK, or
    /// MAP_ERR_PICTURE (MAP_ERR_STATE without pictures).
    int RestorePictures();
    /// Deletes the pictures (the map stays).
    void ReleasePictures();
    /// True while the pictures are loaded.
    bool HasPictures() const { return picturesLoaded; }

    /// Draws tile layer (or tile objects of object layer) `index` onto `dest`, whose pixel
    /// (0, 0) shows map pixel (cameraX, cameraY), clipped to dest's clip area, with the layer's
    /// offset and opacity, its animations at `time` seconds. A hidden layer is drawn too.
    /// MAP_OK (also when nothing shows); MAP_ERR_STATE without pictures, a destination or such a
    /// layer; else the first failed copy's result. Allocates nothing.
    int DrawLayer(TarnSurface* dest, int index, int cameraX, int cameraY, double time = 0);
    /// Draws every visible tile and object layer (groups applied) in order, as DrawLayer.
    int Draw(TarnSurface* dest, int cameraX, int cameraY, double time = 0);

    /// The index in layers of the first layer called `name`, or -1.
    int FindLayer(const char* name) const;
    /// The first object called `name` in any object layer, or null.
    const TarnMapObject* FindObject(const char* name) const;
    /// The tileset that global id `gid` (flags allowed) belongs to, or null.
    const TarnMapTileset* TilesetOf(DWORD gid) const;
    /// The rectangle of map pixels the visible tile layers cover, their offsets included (an
    /// infinite map's may start left of or above 0): what a whole picture of the map shows.
    /// Empty (all 0) without visible tile layers.
    RECT DrawnBounds() const;
    /// The map's size in pixels (an infinite map's: of the cells its layers cover).
    /// @{
    int PixelWidth() const;
    int PixelHeight() const;
    /// @}

    struct Impl; ///< what the readers and the drawing share (lib/map/internal)

private:
    std::string error;
    Impl* impl;
    bool picturesLoaded = false;

    int Fail(int code, const std::string& what);
    int Check(const std::string& fileName);
    void DrawTiles(TarnSurface* dest, const TarnMapLayer& layer, double offsetX, double offsetY,
                   int cameraX, int cameraY, int alpha, int* result);
    void DrawTileObjects(TarnSurface* dest, const TarnMapLayer& layer, double offsetX,
                         double offsetY, int cameraX, int cameraY, int alpha, int* result);
    int DrawOne(TarnSurface* dest, DWORD gid, int left, int bottom, int alpha);
};
