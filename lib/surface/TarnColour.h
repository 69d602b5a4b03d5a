/// @file
/// TarnColour: a colour as a program names it, red, green, blue and alpha, 0 to 255 each. The
/// shapes, fills, text, colour keys and the game's Print take it beside their older forms
/// (pixel values in a surface's own format, GDI's COLORREF), which it cannot be mixed up with:
/// a TarnColour is never a number. TarnSurface::MapRGB turns it into a surface's pixel value.
#pragma once

#include <windows.h>

/// Red, green, blue and alpha, 0 .. 255 each; alpha 255 (the default) is opaque.
struct TarnColour {
    BYTE r = 0;   ///< red
    BYTE g = 0;   ///< green
    BYTE b = 0;   ///< blue
    BYTE a = 255; ///< alpha: 0 transparent .. 255 opaque

    /// Black.
    constexpr TarnColour() = default;
    /// The colour (red, green, blue), opaque unless `alpha` says otherwise.
    constexpr TarnColour(BYTE red, BYTE green, BYTE blue, BYTE alpha = 255)
        : r(red), g(green), b(blue), a(alpha) {}

    /// The same red, green and blue as a GDI colour (COLORREF, as RGB() makes it).
    constexpr COLORREF ToCOLORREF() const {
        return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
    }
    /// The same red, green and blue from a GDI colour, opaque.
    static constexpr TarnColour FromCOLORREF(COLORREF c) {
        return TarnColour(BYTE(c & 0xFF), BYTE((c >> 8) & 0xFF), BYTE((c >> 16) & 0xFF));
    }
    /// Equal in all four channels.
    constexpr bool operator==(const TarnColour& o) const {
        return r == o.r && g == o.g && b == o.b && a == o.a;
    }
    /// Different in any channel.
    constexpr bool operator!=(const TarnColour& o) const { return !(*this == o); }
};

/// A few colours by name.
/// @{
constexpr TarnColour TARN_BLACK(0, 0, 0);
constexpr TarnColour TARN_WHITE(255, 255, 255);
constexpr TarnColour TARN_RED(255, 0, 0);
constexpr TarnColour TARN_GREEN(0, 255, 0);
constexpr TarnColour TARN_BLUE(0, 0, 255);
constexpr TarnColour TARN_YELLOW(255, 255, 0);
/// @}
