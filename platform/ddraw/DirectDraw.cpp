// The DirectDraw device: creation and driver enumeration, the cooperative level, display modes
// (from the host machine's list; setting one makes the host go full screen), capabilities, the
// vertical blank, and the one display all devices share, including its loss when the program
// is no longer in the foreground (heard of through MachineEvents.h).
#include "ddraw/DirectDrawObjects.h"

#include "host/Host.h"
#include "internal/MachineEvents.h"
#include "internal/StandIn.h"

#include <algorithm>
#include <cstring>
#include <string>

// Interface identifiers, with their real values (IID_IUnknown, shared by every interface, is
// defined with the kernel part of the stand-in).
const IID IID_IDirectDraw = {
    0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectDraw7 = {
    0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
const IID IID_IDirectDrawSurface = {
    0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectDrawSurface7 = {
    0x06675a80, 0x3b9b, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
const IID IID_IDirectDrawPalette = {
    0x6C14DB84, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectDrawClipper = {
    0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)

namespace tarn::platform {

DisplayState& Display() {
    static DisplayState* state = new DisplayState; // outlives objects released at exit
    return *state;
}

void CurrentMode(int* width, int* height, int* bits) {
    const DisplayState& d = Display();
    const MachineConfig& m = CurrentHost().Machine();
    *width = d.width ? d.width : m.desktopWidth;
    *height = d.width ? d.height : m.desktopHeight;
    *bits = d.width ? d.bits : m.desktopBits;
}

SurfaceFormat DisplayFormat(int bits) {
    SurfaceFormat f;
    f.bits = bits;
    if (bits == 16) {
        if (CurrentHost().Machine().rgb555) {
            f.redMask = 0x7C00, f.greenMask = 0x03E0, f.blueMask = 0x001F;
        } else {
            f.redMask = 0xF800, f.greenMask = 0x07E0, f.blueMask = 0x001F;
        }
    } else if (bits == 24 || bits == 32) {
        f.redMask = 0xFF0000, f.greenMask = 0x00FF00, f.blueMask = 0x0000FF;
    }
    return f;
}

void FillPixelFormat(const SurfaceFormat& format, DDPIXELFORMAT* out) {
    std::memset(out, 0, sizeof *out);
    out->dwSize = sizeof(DDPIXELFORMAT);
    out->dwFlags = DDPF_RGB | (format.bits == 8 ? DDPF_PALETTEINDEXED8 : 0);
    out->dwRGBBitCount = (DWORD)format.bits;
    out->dwRBitMask = format.redMask;
    out->dwGBitMask = format.greenMask;
    out->dwBBitMask = format.blueMask;
}

// The display is taken away: the chain and every video-memory surface are lost until restored,
// and cannot be restored until the display is given back. Another program's mode change gives
// it back at once, so Restore brings the surfaces back while the program keeps the foreground.
void ListenForDisplay(MachineChange change) {
    DisplayState& d = Display();
    switch (change) {
    case MachineChange::TakenAway:
        d.away = true;
        [[fallthrough]];
    case MachineChange::DisplayLost:
        for (DirectDrawSurface* s : d.surfaces) s->MarkLostIfDisplayed();
        break;
    case MachineChange::GivenBack:
    case MachineChange::Reset:
        d.away = false;
        break;
    }
}
[[maybe_unused]] const bool listening = ListenToMachine(&ListenForDisplay);

namespace {

// The host's driver index for a DirectDrawCreate GUID argument; -1 when none matches.
int FindDriver(const GUID* guid) {
    const auto& drivers = CurrentHost().Machine().drivers;
    // The two small values DirectDraw accepts instead of a GUID pointer mean the active driver.
    bool active = guid == nullptr || (uintptr_t)guid == 1 || (uintptr_t)guid == 2;
    for (size_t i = 0; i < drivers.size(); ++i) {
        if (active ? drivers[i].primary
                   : !drivers[i].primary && std::memcmp(drivers[i].guid, guid, 16) == 0)
            return (int)i;
    }
    return -1;
}

} // namespace
} // namespace tarn::platform

// ---------------------------------------------------------------------------------------------
// Entry points
// ---------------------------------------------------------------------------------------------
using namespace tarn::platform;

HRESULT WINAPI DirectDrawCreate(GUID* lpGUID, LPDIRECTDRAW* lplpDD, IUnknown* pUnkOuter) {
    if (HRESULT hr; Enter<"DirectDrawCreate">(&hr)) return hr;
    if (!lplpDD) return DDERR_INVALIDPARAMS;
    *lplpDD = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    int index = FindDriver(lpGUID);
    if (index < 0) return DDERR_INVALIDDIRECTDRAWGUID;
    if (CurrentHost().Machine().drivers[index].createFails) return DDERR_NODIRECTDRAWHW;
    auto* device = new DirectDrawDevice(index);
    *lplpDD = device->FirstInterface();
    return DD_OK;
}

// Reports the host's drivers: the primary display driver without a GUID, the others with theirs
// when secondary or non-display devices are asked for.
HRESULT WINAPI DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA lpCallback, LPVOID lpContext,
                                      DWORD dwFlags) {
    if (HRESULT hr; Enter<"DirectDrawEnumerateExA">(&hr)) return hr;
    if (!lpCallback) return DDERR_INVALIDPARAMS;
    if (dwFlags & ~(DWORD)(DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES |
                           DDENUM_NONDISPLAYDEVICES))
        return DDERR_INVALIDPARAMS;
    const auto drivers = CurrentHost().Machine().drivers; // a copy: the callback may do anything
    bool others = (dwFlags & (DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES)) != 0;
    for (size_t i = 0; i < drivers.size(); ++i) {
        const DriverDesc& d = drivers[i];
        if (!d.primary && !others) continue;
        GUID guid;
        std::memcpy(&guid, d.guid, sizeof guid);
        std::string description = d.description, name = d.name;
        HMONITOR monitor = d.primary ? nullptr : (HMONITOR)(uintptr_t)(0x1000 + i);
        if (!lpCallback(d.primary ? nullptr : &guid, description.data(), name.data(), lpContext,
                        monitor))
            break;
    }
    return DD_OK;
}

HRESULT WINAPI DirectDrawEnumerateA(LPDDENUMCALLBACKA lpCallback, LPVOID lpContext) {
    if (HRESULT hr; Enter<"DirectDrawEnumerateA">(&hr)) return hr;
    if (!lpCallback) return DDERR_INVALIDPARAMS;
    for (const DriverDesc& d : CurrentHost().Machine().drivers) {
        if (!d.primary) continue;
        std::string description = d.description, name = d.name;
        if (!lpCallback(nullptr, description.data(), name.data(), lpContext)) break;
    }
    return DD_OK;
}

// ---------------------------------------------------------------------------------------------
// The device
// ---------------------------------------------------------------------------------------------
namespace tarn::platform {

DirectDrawDevice::DirectDrawDevice(int driverIndex)
    : ComObject("ddraw", {&IID_IDirectDraw7}), driverIndex(driverIndex) {
    ++Display().liveDevices;
}

DirectDrawDevice::~DirectDrawDevice() {
    DisplayState& d = Display();
    if (d.exclusiveOwner == this) {
        // Releasing the exclusive owner gives the desktop back, as DirectDraw does.
        if (d.modeChanged) RestoreDisplayMode();
        d.exclusiveOwner = nullptr;
    }
    // With no device left, the display is the desktop's own mode again.
    if (--d.liveDevices == 0) {
        d.width = d.height = d.bits = 0;
        d.modeChanged = false;
    }
}

// IDirectDraw is a second face of the device, sharing its count.
void* DirectDrawDevice::OtherFace(REFIID riid) {
    return riid == IID_IDirectDraw ? &face : nullptr;
}

HRESULT DirectDrawDevice::Compact() {
    if (HRESULT hr; Enter<"IDirectDraw7::Compact">(&hr)) return hr;
    return DD_OK;
}

HRESULT DirectDrawDevice::CreateClipper(DWORD, LPDIRECTDRAWCLIPPER* out, IUnknown*) {
    if (HRESULT hr; Enter<"IDirectDraw7::CreateClipper">(&hr)) return hr;
    if (out) *out = nullptr;
    return DDERR_UNSUPPORTED;
}

HRESULT DirectDrawDevice::CreatePalette(DWORD flags, LPPALETTEENTRY table, LPDIRECTDRAWPALETTE* out,
                                        IUnknown* outer) {
    if (HRESULT hr; Enter<"IDirectDraw7::CreatePalette">(&hr)) return hr;
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!table) return DDERR_INVALIDPARAMS;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!(flags & DDPCAPS_8BIT)) return DDERR_UNSUPPORTED; // only 256-entry palettes are made
    if (flags & (DDPCAPS_4BIT | DDPCAPS_2BIT | DDPCAPS_1BIT)) return DDERR_INVALIDPARAMS;
    if (!cooperativeLevelSet) return DDERR_NOCOOPERATIVELEVELSET;
    *out = new DirectDrawPalette(this, flags, table);
    return DD_OK;
}

HRESULT DirectDrawDevice::DuplicateSurface(LPDIRECTDRAWSURFACE7, LPDIRECTDRAWSURFACE7* out) {
    if (HRESULT hr; Enter<"IDirectDraw7::DuplicateSurface">(&hr)) return hr;
    if (out) *out = nullptr;
    return DDERR_UNSUPPORTED;
}

// Each mode of the host machine once, in its order, with the pixel format it has here.
HRESULT DirectDrawDevice::EnumDisplayModes(DWORD flags, LPDDSURFACEDESC2 filter, LPVOID context,
                                           LPDDENUMMODESCALLBACK2 callback) {
    if (HRESULT hr; Enter<"IDirectDraw7::EnumDisplayModes">(&hr)) return hr;
    if (!callback) return DDERR_INVALIDPARAMS;
    if (flags & ~(DWORD)(DDEDM_REFRESHRATES | DDEDM_STANDARDVGAMODES)) return DDERR_INVALIDPARAMS;
    if (filter && filter->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    const auto modes = CurrentHost().Machine().modes;
    for (size_t i = 0; i < modes.size(); ++i) {
        const DisplayMode& m = modes[i];
        bool seen = false;
        for (size_t j = 0; j < i; ++j)
            seen |=
                modes[j].width == m.width && modes[j].height == m.height && modes[j].bits == m.bits;
        if (seen) continue;
        if (filter) {
            if ((filter->dwFlags & DDSD_WIDTH) && filter->dwWidth != (DWORD)m.width) continue;
            if ((filter->dwFlags & DDSD_HEIGHT) && filter->dwHeight != (DWORD)m.height) continue;
            if ((filter->dwFlags & DDSD_PIXELFORMAT) &&
                filter->ddpfPixelFormat.dwRGBBitCount != (DWORD)m.bits)
                continue;
        }
        SurfaceFormat format = DisplayFormat(m.bits);
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
        desc.dwWidth = (DWORD)m.width;
        desc.dwHeight = (DWORD)m.height;
        desc.lPitch = (LONG)(((m.width * (m.bits / 8)) + 3) & ~3);
        FillPixelFormat(format, &desc.ddpfPixelFormat);
        if (callback(&desc, context) == DDENUMRET_CANCEL) break;
    }
    return DD_OK;
}

HRESULT DirectDrawDevice::EnumSurfaces(DWORD, LPDDSURFACEDESC2, LPVOID, LPDDENUMSURFACESCALLBACK7) {
    if (HRESULT hr; Enter<"IDirectDraw7::EnumSurfaces">(&hr)) return hr;
    return DDERR_UNSUPPORTED;
}

HRESULT DirectDrawDevice::FlipToGDISurface() {
    if (HRESULT hr; Enter<"IDirectDraw7::FlipToGDISurface">(&hr)) return hr;
    return DD_OK;
}

// Plausible capabilities of a simple 2-D card: blits with stretching and colour fill, 8-bit
// palettes, flipping; the video memory is the host's budget.
HRESULT DirectDrawDevice::FillCaps(LPDDCAPS caps, bool hardware) {
    if (!caps) return DD_OK;
    if (caps->dwSize != sizeof(DDCAPS)) return DDERR_INVALIDPARAMS;
    std::memset(caps, 0, sizeof *caps);
    caps->dwSize = sizeof(DDCAPS);
    caps->dwCaps =
        DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTSTRETCH | DDCAPS_PALETTE | DDCAPS_COLORKEY;
    caps->dwCKeyCaps = DDCKEYCAPS_SRCBLT;
    caps->dwCaps2 = DDCAPS2_WIDESURFACES | (hardware ? 0 : DDCAPS2_NOPAGELOCKREQUIRED);
    caps->dwPalCaps = DDPCAPS_8BIT | DDPCAPS_PRIMARYSURFACE;
    if (hardware) {
        uint64_t total = CurrentHost().Machine().videoMemoryBytes;
        uint64_t used = std::min<uint64_t>(Display().videoMemoryUsed, total);
        caps->dwVidMemTotal = (DWORD)total;
        caps->dwVidMemFree = (DWORD)(total - used);
    }
    caps->dwAlignStrideAlign = 4;
    caps->ddsCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP |
                           DDSCAPS_FRONTBUFFER | DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PALETTE |
                           DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY |
                           (hardware ? DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM : 0);
    caps->ddsOldCaps.dwCaps = caps->ddsCaps.dwCaps;
    return DD_OK;
}

HRESULT DirectDrawDevice::GetCaps(LPDDCAPS driverCaps, LPDDCAPS helCaps) {
    if (HRESULT hr; Enter<"IDirectDraw7::GetCaps">(&hr)) return hr;
    if (!driverCaps && !helCaps) return DDERR_INVALIDPARAMS;
    if ((driverCaps && driverCaps->dwSize != sizeof(DDCAPS)) ||
        (helCaps && helCaps->dwSize != sizeof(DDCAPS)))
        return DDERR_INVALIDPARAMS;
    FillCaps(driverCaps, true);
    FillCaps(helCaps, false);
    return DD_OK;
}

HRESULT DirectDrawDevice::GetDisplayMode(LPDDSURFACEDESC2 desc) {
    if (HRESULT hr; Enter<"IDirectDraw7::GetDisplayMode">(&hr)) return hr;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    int width, height, bits;
    CurrentMode(&width, &height, &bits);
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    desc->dwWidth = (DWORD)width;
    desc->dwHeight = (DWORD)height;
    desc->lPitch = (LONG)(((width * (bits / 8)) + 3) & ~3);
    FillPixelFormat(DisplayFormat(bits), &desc->ddpfPixelFormat);
    return DD_OK;
}

HRESULT DirectDrawDevice::GetFourCCCodes(LPDWORD count, LPDWORD) {
    if (HRESULT hr; Enter<"IDirectDraw7::GetFourCCCodes">(&hr)) return hr;
    if (!count) return DDERR_INVALIDPARAMS;
    *count = 0;
    return DD_OK;
}

HRESULT DirectDrawDevice::GetGDISurface(LPDIRECTDRAWSURFACE7* out) {
    if (HRESULT hr; Enter<"IDirectDraw7::GetGDISurface">(&hr)) return hr;
    if (out) *out = nullptr;
    return DDERR_NOTFOUND;
}

HRESULT DirectDrawDevice::GetMonitorFrequency(LPDWORD frequency) {
    if (HRESULT hr; Enter<"IDirectDraw7::GetMonitorFrequency">(&hr)) return hr;
    if (!frequency) return DDERR_INVALIDPARAMS;
    *frequency = 60;
    return DD_OK;
}

HRESULT DirectDrawDevice::GetScanLine(LPDWORD) {
    if (HRESULT hr; Enter<"IDirectDraw7::GetScanLine">(&hr)) return hr;
    return DDERR_UNSUPPORTED;
}

HRESULT DirectDrawDevice::GetVerticalBlankStatus(BOOL* inBlank) {
    if (HRESULT hr; Enter<"IDirectDraw7::GetVerticalBlankStatus">(&hr)) return hr;
    if (!inBlank) return DDERR_INVALIDPARAMS;
    *inBlank = FALSE;
    return DD_OK;
}

HRESULT DirectDrawDevice::Initialize(GUID*) {
    if (HRESULT hr; Enter<"IDirectDraw7::Initialize">(&hr)) return hr;
    return DDERR_ALREADYINITIALIZED;
}

HRESULT DirectDrawDevice::RestoreDisplayMode() {
    if (HRESULT hr; Enter<"IDirectDraw7::RestoreDisplayMode">(&hr)) return hr;
    DisplayState& d = Display();
    if (d.exclusiveOwner && d.exclusiveOwner != this) return DDERR_NOEXCLUSIVEMODE;
    if (!d.modeChanged) return DD_OK;
    const MachineConfig& m = CurrentHost().Machine();
    d.width = d.height = d.bits = 0;
    d.modeChanged = false;
    ++d.modeGeneration;
    CurrentHost().SetFullScreen(false, m.desktopWidth, m.desktopHeight, m.desktopBits);
    return DD_OK;
}

HRESULT DirectDrawDevice::SetCooperativeLevel(HWND window, DWORD flags) {
    if (HRESULT hr; Enter<"IDirectDraw7::SetCooperativeLevel">(&hr)) return hr;
    const DWORD known = DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_NOWINDOWCHANGES |
                        DDSCL_NORMAL | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX | DDSCL_SETFOCUSWINDOW |
                        DDSCL_SETDEVICEWINDOW | DDSCL_CREATEDEVICEWINDOW | DDSCL_MULTITHREADED |
                        DDSCL_FPUSETUP | DDSCL_FPUPRESERVE;
    if (flags & ~known) return DDERR_INVALIDPARAMS;
    bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    bool fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
    bool normal = (flags & DDSCL_NORMAL) != 0;
    // Exactly one of normal and exclusive full screen; exclusive needs the window.
    if (normal == exclusive || exclusive != fullScreen) return DDERR_INVALIDPARAMS;
    if ((flags & DDSCL_ALLOWMODEX) && !exclusive) return DDERR_INVALIDPARAMS;
    DisplayState& d = Display();
    if (exclusive) {
        if (!window) return DDERR_INVALIDPARAMS;
        if (d.exclusiveOwner && d.exclusiveOwner != this) return DDERR_EXCLUSIVEMODEALREADYSET;
        d.exclusiveOwner = this;
    } else if (d.exclusiveOwner == this) {
        d.exclusiveOwner = nullptr;
    }
    cooperativeLevelSet = true;
    return DD_OK;
}

// Only modes of the host's list are set; the host shows them full screen. Changing the mode
// loses every displayed surface, and a chain made for another mode cannot be restored.
HRESULT DirectDrawDevice::SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refreshRate,
                                         DWORD flags) {
    if (HRESULT hr; Enter<"IDirectDraw7::SetDisplayMode">(&hr)) return hr;
    (void)refreshRate;
    if (flags & ~(DWORD)DDSDM_STANDARDVGAMODE) return DDERR_INVALIDPARAMS;
    if (!cooperativeLevelSet) return DDERR_NOCOOPERATIVELEVELSET;
    DisplayState& d = Display();
    if (!Exclusive()) return DDERR_NOEXCLUSIVEMODE;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return DDERR_INVALIDMODE;
    bool listed = false;
    for (const DisplayMode& m : CurrentHost().Machine().modes)
        listed |= (DWORD)m.width == width && (DWORD)m.height == height && (DWORD)m.bits == bits;
    if (!listed) return DDERR_INVALIDMODE;
    int curW, curH, curBits;
    CurrentMode(&curW, &curH, &curBits);
    if ((DWORD)curW != width || (DWORD)curH != height || (DWORD)curBits != bits) {
        ++d.modeGeneration;
        for (DirectDrawSurface* s : d.surfaces) s->MarkLostIfDisplayed();
    }
    d.width = (int)width;
    d.height = (int)height;
    d.bits = (int)bits;
    d.modeChanged = true;
    CurrentHost().SetFullScreen(true, (int)width, (int)height, (int)bits);
    return DD_OK;
}

HRESULT DirectDrawDevice::WaitForVerticalBlank(DWORD flags, HANDLE event) {
    if (HRESULT hr; Enter<"IDirectDraw7::WaitForVerticalBlank">(&hr)) return hr;
    (void)event;
    if (flags == DDWAITVB_BLOCKBEGINEVENT) return DDERR_UNSUPPORTED;
    if (flags != DDWAITVB_BLOCKBEGIN && flags != DDWAITVB_BLOCKEND) return DDERR_INVALIDPARAMS;
    CurrentHost().WaitVerticalBlank();
    return DD_OK;
}

HRESULT DirectDrawDevice::GetAvailableVidMem(LPDDSCAPS2 caps, LPDWORD total, LPDWORD freeBytes) {
    if (HRESULT hr; Enter<"IDirectDraw7::GetAvailableVidMem">(&hr)) return hr;
    if (!caps || (!total && !freeBytes)) return DDERR_INVALIDPARAMS;
    uint64_t budget = CurrentHost().Machine().videoMemoryBytes;
    uint64_t used = std::min<uint64_t>(Display().videoMemoryUsed, budget);
    if (total) *total = (DWORD)budget;
    if (freeBytes) *freeBytes = (DWORD)(budget - used);
    return DD_OK;
}

HRESULT DirectDrawDevice::GetSurfaceFromDC(HDC, LPDIRECTDRAWSURFACE7* out) {
    if (HRESULT hr; Enter<"IDirectDraw7::GetSurfaceFromDC">(&hr)) return hr;
    if (out) *out = nullptr;
    return DDERR_UNSUPPORTED;
}

HRESULT DirectDrawDevice::RestoreAllSurfaces() {
    if (HRESULT hr; Enter<"IDirectDraw7::RestoreAllSurfaces">(&hr)) return hr;
    if (Display().away) return DDERR_WRONGMODE;
    for (DirectDrawSurface* s : Display().surfaces)
        if (s->IsLost() == DDERR_SURFACELOST && s->IsPrimary()) s->Restore();
    for (DirectDrawSurface* s : Display().surfaces)
        if (s->IsLost() == DDERR_SURFACELOST) s->Restore();
    return DD_OK;
}

HRESULT DirectDrawDevice::TestCooperativeLevel() {
    if (HRESULT hr; Enter<"IDirectDraw7::TestCooperativeLevel">(&hr)) return hr;
    if (Display().away) return Exclusive() ? DDERR_NOEXCLUSIVEMODE : DDERR_EXCLUSIVEMODEALREADYSET;
    return DD_OK;
}

HRESULT DirectDrawDevice::GetDeviceIdentifier(LPDDDEVICEIDENTIFIER2, DWORD) {
    if (HRESULT hr; Enter<"IDirectDraw7::GetDeviceIdentifier">(&hr)) return hr;
    return DDERR_UNSUPPORTED;
}

HRESULT DirectDrawDevice::StartModeTest(LPSIZE, DWORD, DWORD) {
    if (HRESULT hr; Enter<"IDirectDraw7::StartModeTest">(&hr)) return hr;
    return DDERR_UNSUPPORTED;
}

HRESULT DirectDrawDevice::EvaluateMode(DWORD, DWORD*) {
    if (HRESULT hr; Enter<"IDirectDraw7::EvaluateMode">(&hr)) return hr;
    return DDERR_UNSUPPORTED;
}

// ---------------------------------------------------------------------------------------------
// The IDirectDraw face: the same device, reached through the first interface.
// ---------------------------------------------------------------------------------------------
using Face = DirectDrawDevice;

HRESULT Face::FirstFace::QueryInterface(REFIID riid, void** out) {
    if (HRESULT hr; Enter<"IDirectDraw::QueryInterface">(&hr)) return hr;
    return owner->QueryInterface(riid, out);
}
ULONG Face::FirstFace::AddRef() {
    return owner->AddRef();
}
ULONG Face::FirstFace::Release() {
    return owner->Release();
}
HRESULT Face::FirstFace::Compact() {
    return owner->Compact();
}
HRESULT Face::FirstFace::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* out, IUnknown* outer) {
    return owner->CreateClipper(flags, out, outer);
}
HRESULT Face::FirstFace::CreatePalette(DWORD flags, LPPALETTEENTRY table, LPDIRECTDRAWPALETTE* out,
                                       IUnknown* outer) {
    return owner->CreatePalette(flags, table, out, outer);
}
HRESULT Face::FirstFace::CreateSurface(LPDDSURFACEDESC, LPDIRECTDRAWSURFACE* out, IUnknown*) {
    if (HRESULT hr; Enter<"IDirectDraw::CreateSurface">(&hr)) return hr;
    if (out) *out = nullptr;
    return DDERR_UNSUPPORTED; // surfaces are made through IDirectDraw7
}
HRESULT Face::FirstFace::DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE* out) {
    if (HRESULT hr; Enter<"IDirectDraw::DuplicateSurface">(&hr)) return hr;
    if (out) *out = nullptr;
    return DDERR_UNSUPPORTED;
}
HRESULT Face::FirstFace::EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) {
    if (HRESULT hr; Enter<"IDirectDraw::EnumDisplayModes">(&hr)) return hr;
    return DDERR_UNSUPPORTED;
}
HRESULT Face::FirstFace::EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) {
    if (HRESULT hr; Enter<"IDirectDraw::EnumSurfaces">(&hr)) return hr;
    return DDERR_UNSUPPORTED;
}
HRESULT Face::FirstFace::FlipToGDISurface() {
    return owner->FlipToGDISurface();
}
HRESULT Face::FirstFace::GetCaps(LPDDCAPS driverCaps, LPDDCAPS helCaps) {
    if (HRESULT hr; Enter<"IDirectDraw::GetCaps">(&hr)) return hr;
    return owner->GetCaps(driverCaps, helCaps);
}
HRESULT Face::FirstFace::GetDisplayMode(LPDDSURFACEDESC) {
    if (HRESULT hr; Enter<"IDirectDraw::GetDisplayMode">(&hr)) return hr;
    return DDERR_UNSUPPORTED;
}
HRESULT Face::FirstFace::GetFourCCCodes(LPDWORD count, LPDWORD codes) {
    return owner->GetFourCCCodes(count, codes);
}
HRESULT Face::FirstFace::GetGDISurface(LPDIRECTDRAWSURFACE* out) {
    if (HRESULT hr; Enter<"IDirectDraw::GetGDISurface">(&hr)) return hr;
    if (out) *out = nullptr;
    return DDERR_NOTFOUND;
}
HRESULT Face::FirstFace::GetMonitorFrequency(LPDWORD f) {
    return owner->GetMonitorFrequency(f);
}
HRESULT Face::FirstFace::GetScanLine(LPDWORD line) {
    return owner->GetScanLine(line);
}
HRESULT Face::FirstFace::GetVerticalBlankStatus(BOOL* b) {
    return owner->GetVerticalBlankStatus(b);
}
HRESULT Face::FirstFace::Initialize(GUID* guid) {
    return owner->Initialize(guid);
}
HRESULT Face::FirstFace::RestoreDisplayMode() {
    return owner->RestoreDisplayMode();
}
HRESULT Face::FirstFace::SetCooperativeLevel(HWND window, DWORD flags) {
    return owner->SetCooperativeLevel(window, flags);
}
HRESULT Face::FirstFace::SetDisplayMode(DWORD width, DWORD height, DWORD bits) {
    return owner->SetDisplayMode(width, height, bits, 0, 0);
}
HRESULT Face::FirstFace::WaitForVerticalBlank(DWORD flags, HANDLE event) {
    return owner->WaitForVerticalBlank(flags, event);
}

} // namespace tarn::platform
