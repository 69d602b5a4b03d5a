/// @file
/// TarnFontFile: what TarnFont reads from a TrueType file, read by us with every offset checked
/// against the file's size: the table directory, the metrics (head, hhea, hmtx, maxp), the map
/// from characters to glyphs (cmap formats 4 and 12), the kerning pairs (kern format 0) and each
/// glyph's outline (glyf and loca, simple and composite glyphs). A damaged table is refused when
/// the file is loaded; a damaged glyph is refused when it is asked for, so a cut or corrupted
/// file never makes the reader look outside its buffer. Private to the text module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

/// One step of a glyph's outline in font units (y up): a move to (x, y) opening a contour, a
/// straight line to it, or a quadratic curve to it through the control point (cx, cy).
struct TarnOutlineStep {
    enum Kind : uint8_t { MOVE, LINE, CURVE };
    Kind kind;
    int16_t x, y;   ///< where the step ends
    int16_t cx, cy; ///< the control point of a curve
};

/// The font file's bytes (a copy it owns) and where its tables lie.
class TarnFontFile {
public:
    /// Load's results besides 0.
    enum Result { DAMAGED = -3, UNSUPPORTED = -4, NO_MEMORY = -5 };
    /// Deepest nesting of composite glyphs followed; deeper ones are damaged.
    static constexpr int MAX_COMPOSITE_DEPTH = 8;
    /// Most outline steps one glyph may have.
    static constexpr int MAX_OUTLINE_STEPS = 1 << 16;

    virtual ~TarnFontFile() = default;

    /// Takes a copy of `size` bytes of a TrueType font (or the first font of a collection) and
    /// checks its tables. 0; DAMAGED for a file that is not a font or whose tables are cut or
    /// inconsistent; UNSUPPORTED for outlines other than TrueType's or no Unicode character
    /// map; NO_MEMORY when the copy cannot be made. On failure nothing is held.
    int Load(const void* bytes, size_t size);
    /// The glyph of a Unicode character, 0 (the font's replacement glyph) when it has none.
    int GlyphIndex(uint32_t codepoint) const;
    /// The glyph's advance in font units.
    int Advance(int glyph) const;
    /// The kerning between two glyphs in font units (0 without a pair or a kern table).
    int Kerning(int left, int right) const;
    /// The glyph's outline appended to `out` (cleared first). 0, also for an empty glyph; -1 for
    /// a damaged glyph (`out` then empty). Allocates as `out` grows.
    int Outline(int glyph, std::vector<TarnOutlineStep>* out) const;

    int unitsPerEm = 0; ///< font units to the em, 16 to 16384
    int ascender = 0;   ///< above the baseline, font units (hhea)
    int descender = 0;  ///< below the baseline, font units, negative (hhea)
    int lineGap = 0;    ///< between lines, font units (hhea)
    int numGlyphs = 0;  ///< glyphs in the font (maxp)

private:
    bool Has(size_t offset, size_t length) const {
        return offset <= data.size() && length <= data.size() - offset;
    }
    uint16_t U16(size_t at) const { return static_cast<uint16_t>(data[at] << 8 | data[at + 1]); }
    int16_t S16(size_t at) const { return static_cast<int16_t>(U16(at)); }
    uint32_t U32(size_t at) const {
        return static_cast<uint32_t>(U16(at)) << 16 | static_cast<uint32_t>(U16(at + 2));
    }
    int FindTable(size_t directory, const char* tag, size_t* offset, size_t* length) const;
    int ReadCharacterMap(size_t cmap, size_t length);
    void ReadKerning(size_t kern, size_t length);
    bool GlyphData(int glyph, size_t* offset, size_t* length) const;
    int AppendOutline(int glyph, int depth, const int64_t transform[6], int* budget,
                      std::vector<TarnOutlineStep>* out) const;
    int AppendSimple(size_t at, size_t end, int contours, const int64_t transform[6],
                     std::vector<TarnOutlineStep>* out) const;

    std::vector<uint8_t> data;
    size_t hmtx = 0, loca = 0, glyf = 0, glyfLength = 0;
    int numHMetrics = 0;
    int longOffsets = 0;
    size_t cmapTable = 0; ///< the chosen subtable
    size_t cmapEnd = 0;   ///< the end of the cmap table, which its subtable must keep within
    int cmapFormat = 0;   ///< 4 or 12
    size_t kernPairs = 0; ///< the first pair of a format-0 kern subtable
    int kernCount = 0;    ///< its pairs, 0 without one
};
