// libFuzzer target for the picture decoders: feeds each input to TarnImage::LoadMemory on the
// headless host, either with format 0 (detection picks the decoder) or with one decoder forced,
// as chosen by TARN_FUZZ_FORMAT at compile time. A decoded surface is locked and read whole,
// so a wrong size or pitch shows up as a sanitizer report too. After every input the stand-in
// must hold exactly the objects it held before: a decoder that drops a surface or a device
// context on some failure path is a finding like any crash.
#include "image/TarnImage.h"

#include "host/HeadlessHost.h"
#include "internal/StandIn.h"

#include <windows.h>
#include <ddraw.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef TARN_FUZZ_FORMAT
#define TARN_FUZZ_FORMAT 0
#endif

namespace {

tarn::platform::HeadlessHost* g_host = nullptr;
IDirectDraw7* g_dd = nullptr;
int g_baselineObjects = 0;

// Reads every byte of the surface the decoder made, through the pitch it reports.
unsigned ReadWhole(IDirectDrawSurface7* surface) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return 0;
    unsigned sum = 0;
    const unsigned rowBytes = desc.dwWidth * (desc.ddpfPixelFormat.dwRGBBitCount / 8);
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        const unsigned char* row = static_cast<const unsigned char*>(desc.lpSurface) +
                                   static_cast<size_t>(desc.lPitch) * y;
        for (unsigned x = 0; x < rowBytes; ++x) sum += row[x];
    }
    surface->Unlock(nullptr);
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_host = &tarn::platform::UseHeadlessHost();
    g_host->Config().desktopBits = 32;
    IDirectDraw* first = nullptr;
    if (DirectDrawCreate(nullptr, &first, nullptr) != DD_OK ||
        first->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&g_dd)) != S_OK) {
        std::fprintf(stderr, "fuzz_image: no DirectDraw device on the headless host\n");
        std::abort();
    }
    first->Release();
    g_dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    g_baselineObjects = tarn::platform::LiveObjects();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) return 0;
    TarnImage image;
    IDirectDrawSurface7* surface =
        image.LoadMemory(g_dd, static_cast<int>(size), data, 2, TARN_FUZZ_FORMAT);
    if (surface) {
        volatile unsigned sum = ReadWhole(surface);
        (void)sum;
        surface->Release();
    }
    if (tarn::platform::LiveObjects() != g_baselineObjects) {
        std::fprintf(stderr, "fuzz_image: %d stand-in objects alive after the load, %d before\n",
                     tarn::platform::LiveObjects(), g_baselineObjects);
        std::abort();
    }
    // The unsupported-format message would otherwise pile up in the host's captured text.
    g_host->ClearDebugText();
    return 0;
}
