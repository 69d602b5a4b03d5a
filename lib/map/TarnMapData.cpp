// What both map readers need: files and paths kept inside the map's folder, numbers and colours
// as Tiled writes them, and a tile layer's data (CSV or base64, compressed or not) decoded into
// exactly the cells the layer has.
#include "map/internal/MapReader.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace tarn::map {

int LoadContext::Fail(int result, const std::string& what) {
    if (code == MAP_OK) {
        code = result;
        error = file + ": " + what;
    }
    return code;
}

bool ReadWholeFile(const std::string& path, std::string* out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out->clear();
    char chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out->append(chunk, n);
    const bool ok = !std::ferror(f); // a folder opens but cannot be read
    std::fclose(f);
    return ok;
}

// Joins `folder` and `path` and folds "." and ".." lexically; false when a ".." would climb
// above the start.
static bool Fold(const std::string& folder, const std::string& path, std::string* out) {
    std::vector<std::string> parts;
    auto add = [&parts](const std::string& s) {
        size_t start = 0;
        while (start <= s.size()) {
            size_t end = s.find_first_of("/\\", start);
            if (end == std::string::npos) end = s.size();
            std::string part = s.substr(start, end - start);
            if (part == "..") {
                if (parts.empty()) return false;
                parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            start = end + 1;
        }
        return true;
    };
    if (!add(folder) || !add(path)) return false;
    out->clear();
    for (const std::string& p : parts) {
        if (!out->empty()) *out += '/';
        *out += p;
    }
    return true;
}

bool ResolvePath(LoadContext& ctx, const std::string& path, std::string* fromRoot) {
    const bool absolute =
        !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
    if (path.empty() || absolute || path.find('\0') != std::string::npos ||
        !Fold(ctx.folder, path, fromRoot) || fromRoot->empty()) {
        ctx.Fail(MAP_ERR_PATH, "the path '" + path + "' leaves the map's folder");
        return false;
    }
    return true;
}

std::string OnDisk(const LoadContext& ctx, const std::string& fromRoot) {
    return ctx.root.empty() ? fromRoot : ctx.root + "/" + fromRoot;
}

bool ParseInt(const char* text, long long* out) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno || *end) return false;
    *out = v;
    return true;
}

bool ParseDouble(const char* text, double* out) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno || *end || v != v) return false; // no NaN
    *out = v;
    return true;
}

bool ParseColour(const char* text, DWORD* out) {
    if (!text) return false;
    if (*text == '#') ++text;
    const size_t n = std::strlen(text);
    if (n != 6 && n != 8) return false;
    DWORD v = 0;
    for (size_t i = 0; i < n; ++i) {
        const char c = text[i];
        int d = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (d < 0) return false;
        v = v << 4 | static_cast<DWORD>(d);
    }
    *out = n == 6 ? 0xFF000000u | v : v;
    return true;
}

int PropertyTypeOf(const char* name) {
    static const char* const NAMES[] = {"string", "int",  "float",  "bool",
                                        "color",  "file", "object", "class"};
    if (!name || !*name) return PROPERTY_STRING;
    for (int i = 0; i < 8; ++i)
        if (std::strcmp(name, NAMES[i]) == 0) return i;
    return -1;
}

// What each byte is in base64 text: its value (0 to 63), or one of these.
enum : int8_t { B64_BAD = -1, B64_SPACE = -2, B64_PAD = -3 };
static const std::array<int8_t, 256> kBase64 = [] {
    std::array<int8_t, 256> t;
    t.fill(B64_BAD);
    const char* const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
    for (const char c : {' ', '\n', '\r', '\t'}) t[static_cast<unsigned char>(c)] = B64_SPACE;
    t['='] = B64_PAD;
    return t;
}();

// Base64 (white space skipped, '=' padding at the end only) into `out`; false for anything else.
static bool DecodeBase64(const char* text, size_t length, std::unique_ptr<uint8_t[]>* out,
                         size_t* size) {
    out->reset(new uint8_t[length / 4 * 3 + 3]); // every byte is written before it is read
    uint8_t* to = out->get();
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    uint32_t acc = 0;
    int bits = 0;
    size_t padding = 0;
    size_t i = 0;
    while (i < length) {
        // Whole groups of four characters of the alphabet, three bytes each: nearly all the text.
        if (bits == 0 && !padding) {
            while (i + 4 <= length) {
                const int a = kBase64[in[i]], b = kBase64[in[i + 1]], c = kBase64[in[i + 2]],
                          d = kBase64[in[i + 3]];
                if ((a | b | c | d) < 0) break;
                const uint32_t v = static_cast<uint32_t>(a) << 18 | static_cast<uint32_t>(b) << 12 |
                                   static_cast<uint32_t>(c) << 6 | static_cast<uint32_t>(d);
                to[0] = static_cast<uint8_t>(v >> 16);
                to[1] = static_cast<uint8_t>(v >> 8);
                to[2] = static_cast<uint8_t>(v);
                to += 3;
                i += 4;
            }
            if (i == length) break;
        }
        // One character at a time around white space, padding, damage and the end.
        const int v = kBase64[in[i++]];
        if (v < 0) {
            if (v == B64_PAD)
                ++padding;
            else if (v == B64_BAD)
                return false;
            continue;
        }
        if (padding) return false;
        acc = acc << 6 | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            *to++ = static_cast<uint8_t>(acc >> bits);
        }
    }
    *size = static_cast<size_t>(to - out->get());
    return padding <= 2 && bits < 6;
}

bool DecodeCells(LoadContext& ctx, const std::string& what, const char* encoding,
                 const char* compression, const char* text, size_t length, DWORD* cells,
                 size_t count) {
    const std::string enc = encoding ? encoding : "";
    const std::string comp = compression ? compression : "";
    if (enc == "csv") {
        if (!comp.empty())
            return ctx.Fail(MAP_ERR_FORMAT, what + ": CSV data cannot be compressed"), false;
        size_t n = 0;
        size_t i = 0;
        while (i < length) {
            while (i < length &&
                   (text[i] == ' ' || text[i] == '\n' || text[i] == '\r' || text[i] == '\t'))
                ++i;
            if (i == length) break;
            if (text[i] < '0' || text[i] > '9')
                return ctx.Fail(MAP_ERR_FORMAT, what + ": CSV data holds something not a tile id"),
                       false;
            unsigned long long v = 0;
            while (i < length && text[i] >= '0' && text[i] <= '9') {
                v = v * 10 + static_cast<unsigned>(text[i] - '0');
                if (v > 0xFFFFFFFFull)
                    return ctx.Fail(MAP_ERR_FORMAT, what + ": a tile id in CSV data is too large"),
                           false;
                ++i;
            }
            if (n == count)
                return ctx.Fail(MAP_ERR_TILE, what + ": the data has more cells than the layer's " +
                                                  std::to_string(count)),
                       false;
            cells[n++] = static_cast<DWORD>(v);
            while (i < length &&
                   (text[i] == ' ' || text[i] == '\n' || text[i] == '\r' || text[i] == '\t'))
                ++i;
            if (i < length && text[i] == ',')
                ++i;
            else if (i < length)
                return ctx.Fail(MAP_ERR_FORMAT, what + ": CSV data holds something not a tile id"),
                       false;
        }
        if (n != count)
            return ctx.Fail(MAP_ERR_TILE, what + ": the data has " + std::to_string(n) +
                                              " cells, the layer's size needs " +
                                              std::to_string(count)),
                   false;
        return true;
    }
    if (enc != "base64")
        return ctx.Fail(MAP_ERR_FORMAT, what + ": unknown data encoding '" + enc + "'"), false;

    std::unique_ptr<uint8_t[]> raw;
    size_t rawSize = 0;
    if (!DecodeBase64(text, length, &raw, &rawSize))
        return ctx.Fail(MAP_ERR_FORMAT, what + ": the base64 data is damaged"), false;
    // The cells are 32-bit little-endian ids: inflated (or copied) straight into place, and
    // turned round only on a big-endian machine.
    const size_t bytes = count * 4;
    uint8_t* into = reinterpret_cast<uint8_t*>(cells);
    if (!comp.empty()) {
        std::string why;
        bool ok = false;
        if (comp == "zlib")
            ok = InflateZlib(raw.get(), rawSize, into, bytes, &why);
        else if (comp == "gzip")
            ok = InflateGzip(raw.get(), rawSize, into, bytes, &why);
        else if (comp == "zstd")
            ok = InflateZstd(raw.get(), rawSize, into, bytes, &why);
        else
            return ctx.Fail(MAP_ERR_UNSUPPORTED, what + ": unknown compression '" + comp + "'"),
                   false;
        if (!ok)
            return ctx.Fail(why.find("not in this build") != std::string::npos ? MAP_ERR_UNSUPPORTED
                                                                               : MAP_ERR_TILE,
                            what + ": the " + comp + " data " + why),
                   false;
    } else {
        if (rawSize % 4 != 0)
            return ctx.Fail(MAP_ERR_TILE, what + ": the data has " + std::to_string(rawSize) +
                                              " bytes, not whole 4-byte cells"),
                   false;
        if (rawSize != bytes)
            return ctx.Fail(MAP_ERR_TILE, what + ": the data has " + std::to_string(rawSize / 4) +
                                              " cells, the layer's size needs " +
                                              std::to_string(count)),
                   false;
        if (bytes) std::memcpy(into, raw.get(), bytes); // a layer of no cells has no storage
    }
    if constexpr (std::endian::native == std::endian::big)
        for (size_t i = 0; i < count; ++i)
            cells[i] = static_cast<DWORD>(into[4 * i]) | static_cast<DWORD>(into[4 * i + 1]) << 8 |
                       static_cast<DWORD>(into[4 * i + 2]) << 16 |
                       static_cast<DWORD>(into[4 * i + 3]) << 24;
    return true;
}

int ReadTilesetFile(TarnMapTileset& tileset, LoadContext& ctx, const std::string& source) {
    std::string fromRoot;
    if (!ResolvePath(ctx, source, &fromRoot)) return ctx.code;
    tileset.source = fromRoot;
    std::string text;
    const std::string path = OnDisk(ctx, fromRoot);
    if (!ReadWholeFile(path, &text))
        return ctx.Fail(MAP_ERR_FILE, "its tileset '" + source + "' cannot be read");
    // The tileset's own paths are relative to its own folder, and its errors name it.
    LoadContext inner;
    inner.root = ctx.root;
    inner.file = path;
    const size_t slash = fromRoot.rfind('/');
    inner.folder = slash == std::string::npos ? "" : fromRoot.substr(0, slash);
    size_t first = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    const bool xml = first != std::string::npos && text[first] == '<';
    const int result =
        xml ? ReadTmxTileset(tileset, inner, text) : ReadJsonTileset(tileset, inner, text);
    if (result != MAP_OK) {
        ctx.code = result;
        ctx.error = inner.error.empty() ? path + ": damaged tileset" : inner.error;
    }
    return result;
}

} // namespace tarn::map
