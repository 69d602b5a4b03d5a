// TarnScreen's life: construction (device and enumeration lists), taking the display in
// exclusive full-screen mode or sharing it through a window, the buffer wrappers, the surface
// list with the process-wide serial counter, and destruction, which gives the display back.
// Presenting frames is in TarnScreenPresent.cpp, the enumeration lists in TarnDisplayLists.cpp.
#include "display/TarnScreen.h"

#include <mmsystem.h>

#include <cstring>
#include <new>

#include "surface/internal/BitmapTransfer.h"

namespace {

// Capabilities of the flipping chain, in video or in system memory.
const DWORD CHAIN_CAPS = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;

} // namespace

TarnScreen::TarnScreen()
    : device(nullptr), frontBuffer(nullptr), backBuffer(nullptr), palette(nullptr), width(0),
      height(0), bitDepth(0), window(nullptr), fullScreen(0), modeCount(0), modeList(nullptr),
      tripleBuffer(0), videoMemory(1), driverCount(0), driverList(nullptr), frameCount(0),
      frameTime(0), lastTime(timeGetTime()), frameRate(0) {
    IDirectDraw* first = nullptr;
    if (SUCCEEDED(DirectDrawCreate(nullptr, &first, nullptr)) && first != nullptr) {
        void* seven = nullptr;
        if (SUCCEEDED(first->QueryInterface(IID_IDirectDraw7, &seven)))
            device = static_cast<IDirectDraw7*>(seven);
        first->Release();
    }
    // Without a device there is nothing to enumerate: both lists stay one empty element.
    if (device == nullptr) {
        modeList = new (std::nothrow) TarnDisplayMode();
        driverList = new (std::nothrow) TarnDriverInfo();
        return;
    }
    BuildDriverList();
    BuildModeList();
}

// Gives the display back before anything it showed goes away, then frees what the screen owns.
// Surfaces still registered (and a full-screen back buffer the owner keeps) are cut loose from
// the screen, so that deleting them later does not call back into a screen that is gone.
TarnScreen::~TarnScreen() {
    if (device != nullptr) device->SetCooperativeLevel(window, DDSCL_NORMAL);
    FreeLists();
    if (device != nullptr) device->RestoreDisplayMode();
    for (TarnSurface* s = surfaces.head; s != nullptr; s = s->nextSurface) s->screen = nullptr;
    ForgetSurfaces();
    if (backBuffer != nullptr && fullScreen == 0) {
        delete backBuffer;
        backBuffer = nullptr;
    }
    if (backBuffer != nullptr && backBuffer->screen == this) backBuffer->screen = nullptr;
    if (frontBuffer != nullptr) {
        delete frontBuffer;
        frontBuffer = nullptr;
    }
    if (palette != nullptr) {
        palette->Release();
        palette = nullptr;
    }
    if (device != nullptr) {
        device->Release();
        device = nullptr;
    }
}

// Takes the window's display exclusively, sets the mode and builds the flipping chain, trying
// two back buffers (when asked), then one, then one in system memory. Every failure leaves the
// front buffer null, so the call may be made again; what was already done stays until the
// destructor undoes it.
int TarnScreen::CreateFullScreen(HWND window, int width, int height, int bitDepth,
                                 int standardVGA) {
    if (device == nullptr || frontBuffer != nullptr) return -1;
    this->width = width;
    this->height = height;
    this->bitDepth = bitDepth;
    this->window = window;
    fullScreen = 1;

    if (FAILED(device->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE |
                                                       DDSCL_ALLOWMODEX | DDSCL_ALLOWREBOOT)))
        return -2;
    if (FAILED(device->SetDisplayMode(width, height, bitDepth, 0,
                                      standardVGA != 0 ? DDSDM_STANDARDVGAMODE : 0)))
        return -4;

    frontBuffer = new TarnSurface();
    backBuffer = new TarnSurface();

    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps =
        CHAIN_CAPS | (videoMemory != 0 ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);

    IDirectDrawSurface7* primary = nullptr;
    HRESULT hr = E_FAIL;
    if (tripleBuffer == 1) {
        desc.dwBackBufferCount = 2;
        primary = nullptr;
        hr = device->CreateSurface(&desc, &primary, nullptr);
        SetSurfaceInterface(frontBuffer, primary);
        if (FAILED(hr)) tripleBuffer = 0;
    }
    if (FAILED(hr)) {
        desc.dwBackBufferCount = 1;
        primary = nullptr;
        hr = device->CreateSurface(&desc, &primary, nullptr);
        SetSurfaceInterface(frontBuffer, primary);
    }
    if (FAILED(hr) && videoMemory == 1) {
        desc.dwBackBufferCount = 1;
        desc.ddsCaps.dwCaps = CHAIN_CAPS | DDSCAPS_SYSTEMMEMORY;
        primary = nullptr;
        hr = device->CreateSurface(&desc, &primary, nullptr);
        SetSurfaceInterface(frontBuffer, primary);
    }
    if (FAILED(hr)) {
        SetSurfaceInterface(frontBuffer, nullptr); // a failed call hands out no reference
        DeleteBuffers();
        return videoMemory == 1 ? -8 : -16;
    }

    DDSCAPS2 caps;
    std::memset(&caps, 0, sizeof(caps));
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface7* back = nullptr;
    hr = frontBuffer->surface->GetAttachedSurface(&caps, &back);
    SetSurfaceInterface(backBuffer, SUCCEEDED(hr) ? back : nullptr);
    if (FAILED(hr)) {
        DeleteBuffers();
        return -32;
    }

    SetUpBuffer(frontBuffer, width, height);
    SetUpBuffer(backBuffer, width, height);

    // No palette source is named, so the slot stays empty; an 8-bit display then gets the
    // default 3-3-2 palette, so that its pictures have colours to map to. Other depths attach
    // nothing.
    LoadPaletteFromBitmap(device, &palette, nullptr);
    if (palette == nullptr && bitDepth == 8) CreateDefaultPalette(device, &palette);
    frontBuffer->surface->SetPalette(palette);
    return 0;
}

// The windowed screen: normal cooperative level, the whole primary surface as front buffer and
// an off-screen back buffer of the asked size, which Flip copies into the window's client area.
int TarnScreen::CreateWindowed(HWND window, int width, int height) {
    if (device == nullptr || frontBuffer != nullptr || width < 1 || height < 1) return -1;
    this->width = width;
    this->height = height;
    this->window = window;
    fullScreen = 0;

    if (FAILED(device->SetCooperativeLevel(window, DDSCL_NORMAL))) return -2;

    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7* primary = nullptr;
    if (FAILED(device->CreateSurface(&desc, &primary, nullptr)) || primary == nullptr) return -8;

    // A clipper on the window keeps what Flip copies onto the desktop inside the window's
    // visible part (it is also how the primary surface knows which window it shows). Without
    // one, where the device makes none, the copy goes to the client rectangle as it is.
    IDirectDrawClipper* clipper = nullptr;
    if (SUCCEEDED(device->CreateClipper(0, &clipper, nullptr)) && clipper != nullptr) {
        if (SUCCEEDED(clipper->SetHWnd(0, window))) primary->SetClipper(clipper);
        clipper->Release(); // the primary surface holds its own reference
    }

    frontBuffer = new TarnSurface();
    backBuffer = new TarnSurface();
    SetSurfaceInterface(frontBuffer, primary);

    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps =
        DDSCAPS_OFFSCREENPLAIN | (videoMemory != 0 ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    IDirectDrawSurface7* back = nullptr;
    HRESULT hr = device->CreateSurface(&desc, &back, nullptr);
    if (FAILED(hr) && videoMemory != 0) {
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        back = nullptr;
        hr = device->CreateSurface(&desc, &back, nullptr);
    }
    if (FAILED(hr)) {
        DeleteBuffers();
        return -16;
    }
    SetSurfaceInterface(backBuffer, back);

    // The front buffer covers the whole desktop; read its size back from the primary surface.
    DDSURFACEDESC2 primaryDesc;
    std::memset(&primaryDesc, 0, sizeof(primaryDesc));
    primaryDesc.dwSize = sizeof(primaryDesc);
    primaryDesc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    primary->GetSurfaceDesc(&primaryDesc);
    bitDepth = static_cast<int>(primaryDesc.ddpfPixelFormat.dwRGBBitCount);
    SetUpBuffer(frontBuffer, static_cast<int>(primaryDesc.dwWidth),
                static_cast<int>(primaryDesc.dwHeight));
    SetUpBuffer(backBuffer, width, height);
    return 0;
}

// Fills in a buffer wrapper the way Create does for a loaded picture, minus the surface list.
void TarnScreen::SetUpBuffer(TarnSurface* target, int w, int h) {
    SetSurfaceWidth(target, w);
    SetSurfaceHeight(target, h);
    SetSurfaceScreen(target);
    RECT area = {0, 0, w, h};
    target->SetClipArea(&area);
    QuerySurfacePixelFormat(target);
    target->SelectPixelRoutines();
}

// After a failed creation: the back buffer wrapper goes first, then the front buffer wrapper,
// which releases whatever primary surface it holds.
void TarnScreen::DeleteBuffers() {
    delete backBuffer;
    backBuffer = nullptr;
    delete frontBuffer;
    frontBuffer = nullptr;
}

void TarnScreen::AddSurface(TarnSurface* surface) {
    surfaces.Insert(surface, 1);
}

// The buffer wrappers are never in the list; anything else is unlinked, never deleted.
void TarnScreen::RemoveSurface(TarnSurface* surface) {
    if (surface == nullptr || surface == frontBuffer || surface == backBuffer) return;
    TarnSurface* copy = surface;
    surfaces.Remove(copy, 0);
}

void TarnScreen::ForgetSurfaces() {
    surfaces.Clear(0);
}

DWORD TarnScreen::surfaceCounter = 0;

// Numbers from 2^31 on read as negative ids; the count itself never overflows.
int TarnScreen::NextSurfaceId() {
    return static_cast<int>(++surfaceCounter);
}

void TarnScreen::SetSurfaceInterface(TarnSurface* target, IDirectDrawSurface7* surface) {
    target->surface = surface;
}

void TarnScreen::SetSurfaceWidth(TarnSurface* target, int w) {
    target->width = w;
}

void TarnScreen::SetSurfaceHeight(TarnSurface* target, int h) {
    target->height = h;
}

void TarnScreen::SetSurfaceScreen(TarnSurface* target) {
    target->screen = this;
}

void TarnScreen::QuerySurfacePixelFormat(TarnSurface* target) {
    if (target->surface != nullptr) QueryPixelLayout(target->surface, &target->pixelLayout);
}
