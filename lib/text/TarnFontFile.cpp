// The TrueType reader behind TarnFont: every table is checked against the file's size when it is
// loaded, every glyph when its outline is read, so a damaged file is refused or draws a glyph
// less, never reads outside its bytes.
#include "text/internal/TarnFontFile.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

int64_t ClampCoordinate(int64_t v) {
    return std::clamp<int64_t>(v, -32768, 32767);
}

// A component's 2x2 matrix (2.14 fixed point) and offset applied after its parent's.
void Compose(const int64_t parent[6], const int64_t child[6], int64_t out[6]) {
    const int64_t limit = int64_t{1} << 24;
    auto fix = [&](int64_t v) { return std::clamp<int64_t>((v + 8192) >> 14, -limit, limit); };
    out[0] = fix(parent[0] * child[0] + parent[2] * child[1]);
    out[1] = fix(parent[1] * child[0] + parent[3] * child[1]);
    out[2] = fix(parent[0] * child[2] + parent[2] * child[3]);
    out[3] = fix(parent[1] * child[2] + parent[3] * child[3]);
    out[4] = std::clamp<int64_t>(fix(parent[0] * child[4] + parent[2] * child[5]) + parent[4],
                                 -limit, limit);
    out[5] = std::clamp<int64_t>(fix(parent[1] * child[4] + parent[3] * child[5]) + parent[5],
                                 -limit, limit);
}

} // namespace

int TarnFontFile::FindTable(size_t directory, const char* tag, size_t* offset,
                            size_t* length) const {
    const int tables = U16(directory + 4);
    if (!Has(directory + 12, static_cast<size_t>(tables) * 16)) return DAMAGED;
    for (int i = 0; i < tables; ++i) {
        const size_t record = directory + 12 + static_cast<size_t>(i) * 16;
        if (std::memcmp(&data[record], tag, 4) != 0) continue;
        *offset = U32(record + 8);
        *length = U32(record + 12);
        return Has(*offset, *length) ? 0 : DAMAGED;
    }
    *offset = *length = 0;
    return 1;
}

int TarnFontFile::Load(const void* bytes, size_t size) {
    data.clear();
    cmapFormat = kernCount = 0;
    if (bytes == nullptr || size < 12) return DAMAGED;
    try {
        data.assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + size);
    } catch (const std::bad_alloc&) {
        return NO_MEMORY;
    }
    const int result = [&] {
        size_t directory = 0;
        if (std::memcmp(&data[0], "ttcf", 4) == 0) { // a collection: its first font
            if (!Has(12, 4)) return int{DAMAGED};
            directory = U32(12);
            if (!Has(directory, 12)) return int{DAMAGED};
        }
        const uint32_t version = U32(directory);
        if (version == 0x4F54544F) return int{UNSUPPORTED}; // 'OTTO': outlines in CFF
        if (version != 0x00010000 && version != 0x74727565) return int{DAMAGED};
        size_t head, hhea, maxp, cmap, kern, headLength, hheaLength, maxpLength, cmapLength,
            kernLength, hmtxLength, locaLength;
        struct Wanted {
            const char* tag;
            size_t* offset;
            size_t* length;
            bool needed;
        };
        const Wanted wanted[] = {
            {"head", &head, &headLength, true}, {"hhea", &hhea, &hheaLength, true},
            {"maxp", &maxp, &maxpLength, true}, {"cmap", &cmap, &cmapLength, true},
            {"hmtx", &hmtx, &hmtxLength, true}, {"loca", &loca, &locaLength, true},
            {"glyf", &glyf, &glyfLength, true}, {"kern", &kern, &kernLength, false}};
        for (const Wanted& w : wanted) {
            const int found = FindTable(directory, w.tag, w.offset, w.length);
            if (found < 0) return found;
            if (found > 0 && w.needed) return int{DAMAGED};
        }
        if (headLength < 54 || hheaLength < 36 || maxpLength < 6) return int{DAMAGED};
        unitsPerEm = U16(head + 18);
        longOffsets = S16(head + 50);
        ascender = S16(hhea + 4);
        descender = S16(hhea + 6);
        lineGap = S16(hhea + 8);
        numHMetrics = U16(hhea + 34);
        numGlyphs = U16(maxp + 4);
        if (unitsPerEm < 16 || unitsPerEm > 16384 || longOffsets < 0 || longOffsets > 1 ||
            numGlyphs < 1 || numHMetrics < 1 || numHMetrics > numGlyphs)
            return int{DAMAGED};
        if (hmtxLength < static_cast<size_t>(numHMetrics) * 4 + (numGlyphs - numHMetrics) * 2u ||
            locaLength < (numGlyphs + 1u) * (longOffsets ? 4u : 2u))
            return int{DAMAGED};
        const int mapped = ReadCharacterMap(cmap, cmapLength);
        if (mapped < 0) return mapped;
        if (kernLength > 0) ReadKerning(kern, kernLength);
        return 0;
    }();
    if (result < 0) data.clear();
    return result;
}

// The Unicode subtable: full repertoire (format 12) before the basic plane (format 4).
int TarnFontFile::ReadCharacterMap(size_t cmap, size_t length) {
    if (length < 4) return DAMAGED;
    const int subtables = U16(cmap + 2);
    if (length < 4 + static_cast<size_t>(subtables) * 8) return DAMAGED;
    cmapEnd = cmap + length;
    int best = 0;
    for (int i = 0; i < subtables; ++i) {
        const size_t record = cmap + 4 + static_cast<size_t>(i) * 8;
        const int platform = U16(record), encoding = U16(record + 2);
        const size_t at = cmap + U32(record + 4);
        const bool unicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
        if (!unicode || at + 2 > cmapEnd || at < cmap) continue;
        const int format = U16(at);
        if (format == 12 && at + 16 <= cmapEnd) {
            const size_t groups = U32(at + 12);
            if (groups > (cmapEnd - at - 16) / 12) return DAMAGED;
            cmapTable = at, cmapFormat = 12, best = 12;
        } else if (format == 4 && best != 12 && at + 14 <= cmapEnd) {
            const size_t segments = U16(at + 6) / 2;
            if (segments == 0 || 16 + segments * 8 > cmapEnd - at) return DAMAGED;
            cmapTable = at, cmapFormat = 4, best = 4;
        }
    }
    return best != 0 ? 0 : UNSUPPORTED;
}

// The first horizontal format-0 subtable of a version-0 kern table; any other, or a damaged one,
// leaves the font without kerning.
void TarnFontFile::ReadKerning(size_t kern, size_t length) {
    if (length < 4 || U16(kern) != 0) return;
    const int subtables = U16(kern + 2);
    size_t at = kern + 4;
    const size_t end = kern + length;
    for (int i = 0; i < subtables && at + 6 <= end; ++i) {
        const size_t subLength = U16(at + 2);
        const int coverage = U16(at + 4);
        if ((coverage >> 8) == 0 && (coverage & 0x7) == 1 && at + 14 <= end) {
            const size_t pairs = U16(at + 6);
            if (pairs * 6 <= end - at - 14) {
                kernPairs = at + 14;
                kernCount = static_cast<int>(pairs);
            }
            return;
        }
        if (subLength < 6) return;
        at += subLength;
    }
}

int TarnFontFile::GlyphIndex(uint32_t codepoint) const {
    int glyph = 0;
    if (cmapFormat == 12) {
        size_t low = 0, high = U32(cmapTable + 12);
        while (low < high) {
            const size_t mid = (low + high) / 2, group = cmapTable + 16 + mid * 12;
            if (codepoint < U32(group)) {
                high = mid;
            } else if (codepoint > U32(group + 4)) {
                low = mid + 1;
            } else {
                const uint64_t g = uint64_t{U32(group + 8)} + (codepoint - U32(group));
                glyph = g < static_cast<uint64_t>(numGlyphs) ? static_cast<int>(g) : 0;
                break;
            }
        }
    } else if (cmapFormat == 4 && codepoint <= 0xFFFF) {
        const size_t segments = U16(cmapTable + 6) / 2;
        const size_t ends = cmapTable + 14, starts = ends + segments * 2 + 2;
        const size_t deltas = starts + segments * 2, ranges = deltas + segments * 2;
        size_t low = 0, high = segments;
        while (low < high) { // the first segment ending at or after the character
            const size_t mid = (low + high) / 2;
            if (U16(ends + mid * 2) < codepoint)
                low = mid + 1;
            else
                high = mid;
        }
        if (low == segments || U16(starts + low * 2) > codepoint) return 0;
        const uint16_t delta = U16(deltas + low * 2), range = U16(ranges + low * 2);
        if (range == 0) {
            glyph = (codepoint + delta) & 0xFFFF;
        } else {
            const size_t at = ranges + low * 2 + range + (codepoint - U16(starts + low * 2)) * 2;
            if (at + 2 > cmapEnd) return 0;
            glyph = U16(at);
            if (glyph != 0) glyph = (glyph + delta) & 0xFFFF;
        }
        if (glyph >= numGlyphs) glyph = 0;
    }
    return glyph;
}

int TarnFontFile::Advance(int glyph) const {
    if (data.empty() || glyph < 0 || glyph >= numGlyphs) return 0;
    return U16(hmtx + static_cast<size_t>(std::min(glyph, numHMetrics - 1)) * 4);
}

int TarnFontFile::Kerning(int left, int right) const {
    const uint32_t key = static_cast<uint32_t>(left) << 16 | static_cast<uint32_t>(right);
    int low = 0, high = kernCount;
    while (low < high) {
        const int mid = (low + high) / 2;
        const size_t at = kernPairs + static_cast<size_t>(mid) * 6;
        const uint32_t pair = U32(at);
        if (pair == key) return S16(at + 4);
        if (pair < key)
            low = mid + 1;
        else
            high = mid;
    }
    return 0;
}

bool TarnFontFile::GlyphData(int glyph, size_t* offset, size_t* length) const {
    if (data.empty() || glyph < 0 || glyph >= numGlyphs) return false;
    size_t start, end;
    if (longOffsets) {
        start = U32(loca + static_cast<size_t>(glyph) * 4);
        end = U32(loca + static_cast<size_t>(glyph) * 4 + 4);
    } else {
        start = U16(loca + static_cast<size_t>(glyph) * 2) * size_t{2};
        end = U16(loca + static_cast<size_t>(glyph) * 2 + 2) * size_t{2};
    }
    if (start > end || end > glyfLength) return false;
    *offset = glyf + start;
    *length = end - start;
    return true;
}

int TarnFontFile::Outline(int glyph, std::vector<TarnOutlineStep>* out) const {
    out->clear();
    const int64_t identity[6] = {16384, 0, 0, 16384, 0, 0};
    int budget = 4096; // glyphs visited, against composites that multiply
    int result = -1;
    try {
        result = AppendOutline(glyph, 0, identity, &budget, out);
    } catch (const std::bad_alloc&) {
        result = -1;
    }
    if (result < 0) out->clear();
    return result;
}

int TarnFontFile::AppendOutline(int glyph, int depth, const int64_t transform[6], int* budget,
                                std::vector<TarnOutlineStep>* out) const {
    size_t at, length;
    if (depth > MAX_COMPOSITE_DEPTH || --*budget < 0 || !GlyphData(glyph, &at, &length)) return -1;
    if (length == 0) return 0;
    if (length < 10) return -1;
    const size_t end = at + length;
    const int contours = S16(at);
    if (contours >= 0) return AppendSimple(at + 10, end, contours, transform, out);
    enum { WORDS = 0x1, XY = 0x2, SCALE = 0x8, MORE = 0x20, XY_SCALE = 0x40, TWO_BY_TWO = 0x80 };
    at += 10;
    int flags;
    do {
        if (at + 4 > end) return -1;
        flags = U16(at);
        const int component = U16(at + 2);
        at += 4;
        int64_t local[6] = {16384, 0, 0, 16384, 0, 0};
        if (flags & WORDS) {
            if (at + 4 > end) return -1;
            local[4] = S16(at), local[5] = S16(at + 2);
            at += 4;
        } else {
            if (at + 2 > end) return -1;
            local[4] = static_cast<int8_t>(data[at]), local[5] = static_cast<int8_t>(data[at + 1]);
            at += 2;
        }
        if (!(flags & XY)) local[4] = local[5] = 0; // matched points: placed where they are
        if (flags & SCALE) {
            if (at + 2 > end) return -1;
            local[0] = local[3] = S16(at);
            at += 2;
        } else if (flags & XY_SCALE) {
            if (at + 4 > end) return -1;
            local[0] = S16(at), local[3] = S16(at + 2);
            at += 4;
        } else if (flags & TWO_BY_TWO) {
            if (at + 8 > end) return -1;
            local[0] = S16(at), local[1] = S16(at + 2), local[2] = S16(at + 4);
            local[3] = S16(at + 6);
            at += 8;
        }
        // The offset is in the parent's units: Compose applies the parent's matrix to it.
        int64_t combined[6];
        Compose(transform, local, combined);
        if (AppendOutline(component, depth + 1, combined, budget, out) < 0) return -1;
    } while (flags & MORE);
    return 0;
}

// A simple glyph's contours as moves, lines and curves: between two control points lies an
// implied point on the curve halfway between them.
int TarnFontFile::AppendSimple(size_t at, size_t end, int contours, const int64_t transform[6],
                               std::vector<TarnOutlineStep>* out) const {
    if (contours == 0) return 0;
    if (at + static_cast<size_t>(contours) * 2 + 2 > end) return -1;
    std::vector<uint16_t> ends(static_cast<size_t>(contours));
    for (int i = 0; i < contours; ++i) {
        ends[i] = U16(at + static_cast<size_t>(i) * 2);
        if (i > 0 && ends[i] <= ends[i - 1]) return -1;
    }
    at += static_cast<size_t>(contours) * 2;
    const size_t points = ends.back() + size_t{1};
    at += 2 + U16(at); // the instructions
    struct Point {
        int64_t x, y;
        bool on;
    };
    std::vector<Point> p(points);
    std::vector<uint8_t> flags(points);
    for (size_t i = 0; i < points;) {
        if (at >= end) return -1;
        const uint8_t f = data[at++];
        size_t repeat = 1;
        if (f & 0x8) {
            if (at >= end) return -1;
            repeat += data[at++];
        }
        for (; repeat > 0 && i < points; --repeat) flags[i++] = f;
    }
    for (int axis = 0; axis < 2; ++axis) {
        const uint8_t shortBit = axis == 0 ? 0x2 : 0x4, sameBit = axis == 0 ? 0x10 : 0x20;
        int64_t v = 0;
        for (size_t i = 0; i < points; ++i) {
            if (flags[i] & shortBit) {
                if (at >= end) return -1;
                v += (flags[i] & sameBit) ? data[at] : -data[at];
                at += 1;
            } else if (!(flags[i] & sameBit)) {
                if (at + 2 > end) return -1;
                v += S16(at);
                at += 2;
            }
            (axis == 0 ? p[i].x : p[i].y) = v;
        }
    }
    for (size_t i = 0; i < points; ++i) {
        const int64_t x = p[i].x, y = p[i].y;
        p[i].x =
            ClampCoordinate(((transform[0] * x + transform[2] * y + 8192) >> 14) + transform[4]);
        p[i].y =
            ClampCoordinate(((transform[1] * x + transform[3] * y + 8192) >> 14) + transform[5]);
        p[i].on = flags[i] & 0x1;
    }
    if (out->size() + points * 2 + static_cast<size_t>(contours) * 2 > MAX_OUTLINE_STEPS) return -1;
    auto step = [&](TarnOutlineStep::Kind kind, int64_t x, int64_t y, int64_t cx, int64_t cy) {
        out->push_back({kind, static_cast<int16_t>(x), static_cast<int16_t>(y),
                        static_cast<int16_t>(cx), static_cast<int16_t>(cy)});
    };
    size_t first = 0;
    for (int c = 0; c < contours; ++c) {
        const size_t last = ends[c];
        const size_t count = last - first + 1;
        // Where the contour starts: an on-curve point, else the midpoint of the first and last.
        int64_t sx, sy;
        size_t skip; // points used by the start
        if (p[first].on) {
            sx = p[first].x, sy = p[first].y, skip = 1;
        } else if (p[last].on) {
            sx = p[last].x, sy = p[last].y, skip = 0;
        } else {
            sx = (p[first].x + p[last].x) >> 1, sy = (p[first].y + p[last].y) >> 1, skip = 0;
        }
        const size_t todo = (p[first].on || !p[last].on) ? count - skip : count - 1;
        step(TarnOutlineStep::MOVE, sx, sy, 0, 0);
        bool pending = false;
        int64_t px = 0, py = 0;
        for (size_t k = 0; k < todo; ++k) {
            const Point& q = p[first + (skip + k) % count];
            if (q.on) {
                if (pending)
                    step(TarnOutlineStep::CURVE, q.x, q.y, px, py);
                else
                    step(TarnOutlineStep::LINE, q.x, q.y, 0, 0);
                pending = false;
            } else {
                if (pending) step(TarnOutlineStep::CURVE, (px + q.x) >> 1, (py + q.y) >> 1, px, py);
                px = q.x, py = q.y, pending = true;
            }
        }
        if (pending)
            step(TarnOutlineStep::CURVE, sx, sy, px, py);
        else
            step(TarnOutlineStep::LINE, sx, sy, 0, 0);
        first = last + 1;
    }
    return 0;
}
