// The objects behind the DirectDraw interfaces: the device (IDirectDraw7, with the IDirectDraw
// face that DirectDrawCreate hands out), surfaces and palettes, and the one display they share
// (current mode, exclusive owner, whether the display was taken away, video memory in use).
#pragma once

#include <ddraw.h>

#include "gdi/GdiTarget.h"
#include "internal/AddressSet.h"
#include "internal/ComObject.h"

#include <cstdint>
#include <vector>

namespace tarn::platform {

class DirectDrawDevice;
class DirectDrawSurface;
class DirectDrawPalette;

// A pixel format as surfaces carry it.
struct SurfaceFormat {
    int bits = 0;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    bool operator==(const SurfaceFormat&) const = default;
};

// The format of a display mode of `bits` on this machine (16 bits: 5-6-5 or 5-5-5).
SurfaceFormat DisplayFormat(int bits);
void FillPixelFormat(const SurfaceFormat& format, DDPIXELFORMAT* out);

// What every device and surface shares: there is one display.
struct DisplayState {
    int width = 0, height = 0, bits = 0; // current mode; 0 = the desktop's
    bool modeChanged = false;            // a device set a mode that was not given back yet
    unsigned modeGeneration = 0;         // counts mode changes; a chain belongs to one
    DirectDrawDevice* exclusiveOwner = nullptr;
    bool away = false; // the display was taken away (MachineChange::TakenAway)
    uint64_t videoMemoryUsed = 0;
    std::vector<DirectDrawSurface*> surfaces; // every live surface
    AddressSet surfaceInterfaces;             // the same, by their interface pointers
    int liveDevices = 0;
};
DisplayState& Display();
// The current mode, the desktop's when none was set.
void CurrentMode(int* width, int* height, int* bits);

class DirectDrawPalette final : public ComObject<IDirectDrawPalette, "IDirectDrawPalette"> {
public:
    DirectDrawPalette(DirectDrawDevice* device, DWORD caps, const PALETTEENTRY* entries);

    HRESULT STDMETHODCALLTYPE GetCaps(LPDWORD caps) override;
    HRESULT STDMETHODCALLTYPE GetEntries(DWORD flags, DWORD base, DWORD count,
                                         LPPALETTEENTRY entries) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW dd, DWORD flags,
                                         LPPALETTEENTRY table) override;
    HRESULT STDMETHODCALLTYPE SetEntries(DWORD flags, DWORD first, DWORD count,
                                         LPPALETTEENTRY entries) override;

    // 256 colours as 0x00RRGGBB, for GDI and for presenting an 8-bit frame.
    const uint32_t* Colours() const { return colours; }
    static DirectDrawPalette* From(IDirectDrawPalette* palette); // null for foreign objects

private:
    ~DirectDrawPalette() override;
    DirectDrawDevice* device;
    DWORD caps;
    PALETTEENTRY entries[256];
    uint32_t colours[256];
};

// A surface, or one buffer of a flipping chain. The chain's primary owns the chain: its
// references keep every buffer alive; a back buffer's own references only count the ones handed
// out by GetAttachedSurface.
class DirectDrawSurface final : public ComObject<IDirectDrawSurface7, "IDirectDrawSurface7">,
                                public DrawTarget {
public:
    DirectDrawSurface(DirectDrawDevice* device, int width, int height, const SurfaceFormat& format,
                      DWORD caps, int pitchPadding);

    static DirectDrawSurface* From(IDirectDrawSurface7* surface); // null for foreign objects

    // IDirectDrawSurface7
    HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE7) override;
    HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override;
    HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE7 src, LPRECT srcRect,
                                  DWORD flags, LPDDBLTFX fx) override;
    HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 src, LPRECT srcRect,
                                      DWORD trans) override;
    HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE7) override;
    HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK7) override;
    HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK7) override;
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE7 target, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS2 caps,
                                                 LPDIRECTDRAWSURFACE7* out) override;
    HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS2 caps) override;
    HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER*) override;
    HRESULT STDMETHODCALLTYPE GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT STDMETHODCALLTYPE GetDC(HDC* out) override;
    HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG, LPLONG) override;
    HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE* out) override;
    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT out) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC2 out) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC2) override;
    HRESULT STDMETHODCALLTYPE IsLost() override;
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags,
                                   HANDLE event) override;
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER) override;
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE palette) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPRECT rect) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD,
                                            LPDDOVERLAYFX) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE7) override;
    HRESULT STDMETHODCALLTYPE GetDDInterface(LPVOID* out) override;
    HRESULT STDMETHODCALLTYPE PageLock(DWORD) override;
    HRESULT STDMETHODCALLTYPE PageUnlock(DWORD) override;
    HRESULT STDMETHODCALLTYPE SetSurfaceDesc(LPDDSURFACEDESC2, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, LPVOID, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, LPVOID, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override;
    HRESULT STDMETHODCALLTYPE GetUniquenessValue(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE ChangeUniquenessValue() override;
    HRESULT STDMETHODCALLTYPE SetPriority(DWORD) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE SetLOD(DWORD) override;
    HRESULT STDMETHODCALLTYPE GetLOD(LPDWORD) override;

    // DrawTarget: the memory a device context of this surface draws into.
    bool DescribeTarget(PixelTarget* out) override;

    // Chain building (the device's CreateSurface).
    void JoinChain(DirectDrawSurface* primary, int index);
    // The display was taken away: a chain buffer or video-memory surface is lost.
    void MarkLostIfDisplayed();
    bool InVideoMemory() const { return (caps & DDSCAPS_VIDEOMEMORY) != 0; }
    bool IsPrimary() const { return (caps & DDSCAPS_PRIMARYSURFACE) != 0; }
    uint64_t Bytes() const { return memory.size(); }

private:
    ~DirectDrawSurface() override;
    void LastReleased() override;
    void Destroy();
    bool Busy() const { return locked || dcOut; }
    DirectDrawSurface* ChainPrimary() { return primary ? primary : this; }
    const uint32_t* PaletteColours();
    void FillDesc(DDSURFACEDESC2* desc);
    void FillJunk();
    void Present();
    bool RectInside(const RECT& r) const;
    HRESULT BlitChecks(DirectDrawSurface* src);

    DirectDrawDevice* device;
    int width, height;
    long pitch;
    SurfaceFormat format;
    DWORD caps;
    std::vector<uint8_t> memory;
    bool locked = false;
    bool lost = false;
    HDC dc = nullptr;   // this surface's DC object, kept between GetDC calls
    bool dcOut = false; // handed out by GetDC and not yet released
    DirectDrawPalette* palette = nullptr;
    unsigned modeGeneration = 0;
    unsigned junkSeed = 0;
    DDCOLORKEY srcKey{};
    bool hasSrcKey = false;
    // Flipping chain: chain[0] is the primary; only the primary's vector is filled.
    DirectDrawSurface* primary = nullptr;
    std::vector<DirectDrawSurface*> chain;
};

// The device. IDirectDraw is a second face of the same object, sharing its reference count.
class DirectDrawDevice final : public ComObject<IDirectDraw7, "IDirectDraw7"> {
public:
    explicit DirectDrawDevice(int driverIndex);

    HRESULT STDMETHODCALLTYPE Compact() override;
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) override;
    HRESULT STDMETHODCALLTYPE CreatePalette(DWORD flags, LPPALETTEENTRY table,
                                            LPDIRECTDRAWPALETTE* out, IUnknown* outer) override;
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* out,
                                            IUnknown* outer) override;
    HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE7,
                                               LPDIRECTDRAWSURFACE7*) override;
    HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD flags, LPDDSURFACEDESC2 desc, LPVOID context,
                                               LPDDENUMMODESCALLBACK2 callback) override;
    HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC2, LPVOID,
                                           LPDDENUMSURFACESCALLBACK7) override;
    HRESULT STDMETHODCALLTYPE FlipToGDISurface() override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS driverCaps, LPDDCAPS helCaps) override;
    HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC2 desc) override;
    HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE7*) override;
    HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(BOOL*) override;
    HRESULT STDMETHODCALLTYPE Initialize(GUID*) override;
    HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bits,
                                             DWORD refreshRate, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD flags, HANDLE event) override;
    HRESULT STDMETHODCALLTYPE GetAvailableVidMem(LPDDSCAPS2 caps, LPDWORD total,
                                                 LPDWORD freeBytes) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceFromDC(HDC, LPDIRECTDRAWSURFACE7*) override;
    HRESULT STDMETHODCALLTYPE RestoreAllSurfaces() override;
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
    HRESULT STDMETHODCALLTYPE GetDeviceIdentifier(LPDDDEVICEIDENTIFIER2, DWORD) override;
    HRESULT STDMETHODCALLTYPE StartModeTest(LPSIZE, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE EvaluateMode(DWORD, DWORD*) override;

    IDirectDraw* FirstInterface() { return &face; }
    // The primary surface (a chain's front buffer) of this device, if one exists.
    DirectDrawSurface* primarySurface = nullptr;
    bool Exclusive() const { return Display().exclusiveOwner == this; }
    bool cooperativeLevelSet = false;

private:
    // The IDirectDraw face: the methods a program calls before asking for IDirectDraw7.
    class FirstFace final : public IDirectDraw {
    public:
        explicit FirstFace(DirectDrawDevice* owner) : owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE Compact() override;
        HRESULT STDMETHODCALLTYPE CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) override;
        HRESULT STDMETHODCALLTYPE CreatePalette(DWORD flags, LPPALETTEENTRY table,
                                                LPDIRECTDRAWPALETTE* out, IUnknown* outer) override;
        HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC, LPDIRECTDRAWSURFACE*,
                                                IUnknown*) override;
        HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE,
                                                   LPDIRECTDRAWSURFACE*) override;
        HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID,
                                                   LPDDENUMMODESCALLBACK) override;
        HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID,
                                               LPDDENUMSURFACESCALLBACK) override;
        HRESULT STDMETHODCALLTYPE FlipToGDISurface() override;
        HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS driverCaps, LPDDCAPS helCaps) override;
        HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC) override;
        HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD, LPDWORD) override;
        HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE*) override;
        HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD) override;
        HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override;
        HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(BOOL*) override;
        HRESULT STDMETHODCALLTYPE Initialize(GUID*) override;
        HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override;
        HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override;
        HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bits) override;
        HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD flags, HANDLE event) override;

    private:
        DirectDrawDevice* owner;
    };

    ~DirectDrawDevice() override;
    void* OtherFace(REFIID riid) override;
    HRESULT FillCaps(LPDDCAPS caps, bool hardware);

    int driverIndex;
    FirstFace face{this};
};

} // namespace tarn::platform
