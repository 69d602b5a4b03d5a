// What the two map readers (TMX and JSON) share with TarnMap: the context of one load (the
// map's folder, which no path may leave, and the error said), the decoding of a tile layer's
// data, paths, colours and numbers as Tiled writes them, and the inflaters behind them.
#pragma once

#include "map/TarnMap.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarn::map {

// The most cells one layer (or an infinite layer's chunks together) may have, and the deepest
// nesting of groups: past either a file is refused rather than read.
const long long MAX_LAYER_CELLS = 1LL << 24;
const int MAX_GROUP_DEPTH = 64;

// One load: the map's folder (every path stays inside it), the file being read (for errors),
// and the error. Fail keeps the first error only and returns its code.
struct LoadContext {
    std::string root;   // the map's folder, "" for the working folder
    std::string file;   // the file being read, as named to the user
    std::string folder; // that file's folder relative to root ("" at the root)
    std::string error;
    int code = MAP_OK;
    int Fail(int result, const std::string& what);
};

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* out);

// `path` as written in the file being read, made a path from the map's folder: false (with the
// error said) for an absolute path or one that leaves the folder.
bool ResolvePath(LoadContext& ctx, const std::string& path, std::string* fromRoot);
// The path on disk of a path from the map's folder.
std::string OnDisk(const LoadContext& ctx, const std::string& fromRoot);

// Numbers as attribute text: the whole text must be the number. False for anything else.
bool ParseInt(const char* text, long long* out);
bool ParseDouble(const char* text, double* out);
// "#RRGGBB", "#AARRGGBB" (the '#' optional) into 0xAARRGGBB (alpha 0xFF when not written).
bool ParseColour(const char* text, DWORD* out);
// A property type's name as Tiled writes it; -1 for an unknown one.
int PropertyTypeOf(const char* name);

// A layer's data written as text (CSV, or base64 with no compression, zlib, gzip or zstd) into
// exactly `count` cells. `encoding` "" is the XML form's per-tile list (not text: refused here).
// False (with the error said, naming `what`) when the data is damaged or not of that size.
bool DecodeCells(LoadContext& ctx, const std::string& what, const char* encoding,
                 const char* compression, const char* text, size_t length, DWORD* cells,
                 size_t count);

// The inflaters: exactly `outSize` bytes from a zlib, gzip or zstd stream, or false (with a
// reason). The build links one implementation (libdeflate with libzstd, or stb_image's).
bool InflateZlib(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, std::string* why);
bool InflateGzip(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, std::string* why);
bool InflateZstd(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, std::string* why);

// The readers: a whole map, or one tileset file (firstGid already set in `tileset`). Both fill
// what they read and leave the checks across the map to TarnMap.
int ReadTmxMap(TarnMap& map, LoadContext& ctx, std::string& text);
int ReadTmxTileset(TarnMapTileset& tileset, LoadContext& ctx, std::string& text);
int ReadJsonMap(TarnMap& map, LoadContext& ctx, std::string& text);
int ReadJsonTileset(TarnMapTileset& tileset, LoadContext& ctx, std::string& text);

// An external tileset `source` (as written in the file being read): read in its format (XML
// when it starts with '<', else JSON) into `tileset`, with errors naming that file.
int ReadTilesetFile(TarnMapTileset& tileset, LoadContext& ctx, const std::string& source);

} // namespace tarn::map
