// TarnSurface's calls that take a TarnColour: each turns the colour into the surface's own pixel
// value (MapRGB) or GDI's COLORREF once, at the call, and goes on as the older form does. The
// colour's alpha is not used by these calls: they draw its red, green and blue.
#include "surface/TarnColour.h"
#include "surface/TarnSurface.h"

DWORD TarnSurface::MapRGB(TarnColour colour) {
    return MapRGB(colour.r, colour.g, colour.b);
}

int TarnSurface::DrawLine(int x1, int y1, int x2, int y2, TarnColour colour) {
    return DrawLine(x1, y1, x2, y2, MapRGB(colour));
}

int TarnSurface::DrawRect(const RECT* r, TarnColour colour) {
    return DrawRect(r, MapRGB(colour));
}

int TarnSurface::FillRect(const RECT* r, TarnColour colour) {
    return FillRect(r, MapRGB(colour));
}

int TarnSurface::DrawCircle(int cx, int cy, int radius, TarnColour colour) {
    return DrawCircle(cx, cy, radius, MapRGB(colour));
}

int TarnSurface::FillCircle(int cx, int cy, int radius, TarnColour colour) {
    return FillCircle(cx, cy, radius, MapRGB(colour));
}

HRESULT TarnSurface::FillSolid(TarnColour colour) {
    return FillSolid(MapRGB(colour));
}

int TarnSurface::DrawString(int x, int y, TarnColour colour, const char* text) {
    return DrawString(x, y, colour.ToCOLORREF(), text);
}

HRESULT TarnSurface::SetColourKey(TarnColour colour) {
    return SetColourKeyRGB(colour.r, colour.g, colour.b);
}
