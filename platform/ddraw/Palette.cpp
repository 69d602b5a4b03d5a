// A DirectDraw palette: 256 colours, read and written in ranges, kept also as 0x00RRGGBB for GDI
// and for presenting 8-bit frames.
#include "ddraw/DirectDrawObjects.h"

#include "internal/StandIn.h"

#include <cstring>

namespace tarn::platform {
namespace {
// Live palettes by their interface pointers, so that a pointer handed in is checked before it
// is used.
AddressSet& Palettes() {
    static auto* set = new AddressSet;
    return *set;
}
} // namespace

DirectDrawPalette::DirectDrawPalette(DirectDrawDevice* device, DWORD caps,
                                     const PALETTEENTRY* table)
    : ComObject("palette", {&IID_IDirectDrawPalette}), device(device), caps(caps) {
    std::memcpy(entries, table, sizeof entries);
    for (int i = 0; i < 256; ++i)
        colours[i] = (uint32_t)entries[i].peRed << 16 | (uint32_t)entries[i].peGreen << 8 |
                     entries[i].peBlue;
    device->Hold();
    Palettes().Insert(static_cast<IDirectDrawPalette*>(this));
}

DirectDrawPalette::~DirectDrawPalette() {
    Palettes().Erase(static_cast<IDirectDrawPalette*>(this));
    device->Drop();
}

DirectDrawPalette* DirectDrawPalette::From(IDirectDrawPalette* palette) {
    if (!Palettes().Contains(palette)) return nullptr;
    return static_cast<DirectDrawPalette*>(palette);
}

HRESULT DirectDrawPalette::GetCaps(LPDWORD out) {
    if (HRESULT hr; Enter<"IDirectDrawPalette::GetCaps">(&hr)) return hr;
    if (!out) return DDERR_INVALIDPARAMS;
    *out = caps;
    return DD_OK;
}

HRESULT DirectDrawPalette::GetEntries(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY out) {
    if (HRESULT hr; Enter<"IDirectDrawPalette::GetEntries">(&hr)) return hr;
    if (flags != 0 || !out || base >= 256 || count > 256 - base) return DDERR_INVALIDPARAMS;
    std::memcpy(out, entries + base, count * sizeof(PALETTEENTRY));
    return DD_OK;
}

HRESULT DirectDrawPalette::Initialize(LPDIRECTDRAW, DWORD, LPPALETTEENTRY) {
    if (HRESULT hr; Enter<"IDirectDrawPalette::Initialize">(&hr)) return hr;
    return DDERR_ALREADYINITIALIZED;
}

HRESULT DirectDrawPalette::SetEntries(DWORD flags, DWORD first, DWORD count, LPPALETTEENTRY in) {
    if (HRESULT hr; Enter<"IDirectDrawPalette::SetEntries">(&hr)) return hr;
    if (flags != 0 || !in || first >= 256 || count > 256 - first) return DDERR_INVALIDPARAMS;
    std::memcpy(entries + first, in, count * sizeof(PALETTEENTRY));
    for (DWORD i = first; i < first + count; ++i)
        colours[i] = (uint32_t)entries[i].peRed << 16 | (uint32_t)entries[i].peGreen << 8 |
                     entries[i].peBlue;
    return DD_OK;
}

} // namespace tarn::platform
