// A DirectDraw palette: 256 colours, read and written in ranges, kept also as 0x00RRGGBB for GDI
// and for presenting 8-bit frames.
#include "ddraw/DirectDrawObjects.h"

#include "internal/StandIn.h"

#include <cstring>

#define TARN_ENTER(name)                                                                           \
    do {                                                                                           \
        long enterCode;                                                                            \
        if (::tarn::platform::Enter(name, &enterCode)) return (HRESULT)enterCode;                  \
    } while (0)

namespace tarn::platform {
namespace {
// Live palettes, so that a pointer handed in can be checked before it is used.
std::vector<DirectDrawPalette*>& Palettes() {
    static auto* list = new std::vector<DirectDrawPalette*>;
    return *list;
}
} // namespace

DirectDrawPalette::DirectDrawPalette(DirectDrawDevice* device, DWORD caps,
                                     const PALETTEENTRY* table)
    : device(device), caps(caps) {
    std::memcpy(entries, table, sizeof entries);
    for (int i = 0; i < 256; ++i)
        colours[i] = (uint32_t)entries[i].peRed << 16 | (uint32_t)entries[i].peGreen << 8 |
                     entries[i].peBlue;
    device->Hold();
    Palettes().push_back(this);
    ObjectCreated("palette");
}

DirectDrawPalette::~DirectDrawPalette() {
    auto& list = Palettes();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == this) {
            list.erase(list.begin() + (long)i);
            break;
        }
    ObjectDestroyed("palette");
    device->Drop();
}

DirectDrawPalette* DirectDrawPalette::From(IDirectDrawPalette* palette) {
    for (DirectDrawPalette* p : Palettes())
        if (static_cast<IDirectDrawPalette*>(p) == palette) return p;
    return nullptr;
}

HRESULT DirectDrawPalette::QueryInterface(REFIID riid, void** out) {
    TARN_ENTER("IDirectDrawPalette::QueryInterface");
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid != IID_IDirectDrawPalette && riid != IID_IUnknown) return E_NOINTERFACE;
    *out = static_cast<IDirectDrawPalette*>(this);
    ++refs;
    return S_OK;
}

ULONG DirectDrawPalette::AddRef() {
    long ignored;
    Enter("IDirectDrawPalette::AddRef", &ignored);
    return ++refs;
}

ULONG DirectDrawPalette::Release() {
    long ignored;
    Enter("IDirectDrawPalette::Release", &ignored);
    if (refs == 0) return 0;
    ULONG left = --refs;
    if (left == 0) delete this;
    return left;
}

HRESULT DirectDrawPalette::GetCaps(LPDWORD out) {
    TARN_ENTER("IDirectDrawPalette::GetCaps");
    if (!out) return DDERR_INVALIDPARAMS;
    *out = caps;
    return DD_OK;
}

HRESULT DirectDrawPalette::GetEntries(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY out) {
    TARN_ENTER("IDirectDrawPalette::GetEntries");
    if (flags != 0 || !out || base >= 256 || count > 256 - base) return DDERR_INVALIDPARAMS;
    std::memcpy(out, entries + base, count * sizeof(PALETTEENTRY));
    return DD_OK;
}

HRESULT DirectDrawPalette::Initialize(LPDIRECTDRAW, DWORD, LPPALETTEENTRY) {
    TARN_ENTER("IDirectDrawPalette::Initialize");
    return DDERR_ALREADYINITIALIZED;
}

HRESULT DirectDrawPalette::SetEntries(DWORD flags, DWORD first, DWORD count, LPPALETTEENTRY in) {
    TARN_ENTER("IDirectDrawPalette::SetEntries");
    if (flags != 0 || !in || first >= 256 || count > 256 - first) return DDERR_INVALIDPARAMS;
    std::memcpy(entries + first, in, count * sizeof(PALETTEENTRY));
    for (DWORD i = first; i < first + count; ++i)
        colours[i] = (uint32_t)entries[i].peRed << 16 | (uint32_t)entries[i].peGreen << 8 |
                     entries[i].peBlue;
    return DD_OK;
}

} // namespace tarn::platform
