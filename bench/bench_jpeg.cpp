// Benchmark of JPEG loading: a 640 x 480 and a 1920 x 1080 JPEG file, made here with libjpeg,
// loaded into a 5-6-5 surface through TarnImage::LoadMemory as a program does it (the whole way
// through the picture loader, Render and GDI's conversion, surface creation included).
//
// Its peer, timed in the same iteration, is the plain way to the same pixels: libjpeg-turbo
// decoding the same file to RGB and SDL_ConvertPixels converting that to RGB565, both into
// buffers allocated for the iteration. The reported time is ours; the counter x_peer gives it
// over the peer's (1.0 = as fast) and peer_ms the peer's own time. Before timing, each case
// compares our surface with the peer's pixels once, so a wrong decode is reported, not measured.
#include "host/HeadlessHost.h"
#include "image/TarnImage.h"
#include "support/JpegReader.h"
#include "support/JpegWriter.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <ddraw.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A photograph-like picture: smooth gradients with a texture, at quality 85 and 4:2:0, the
// defaults of most cameras and editors.
Bytes MakeJpeg(int width, int height) {
    uint32_t noise = 12345;
    return samples::WriteJpeg(width, height, 3, [&](int y, unsigned char* row) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            int grain = static_cast<int>(noise >> 28) - 8;
            row[x * 3 + 0] =
                static_cast<unsigned char>(std::clamp(x * 255 / width + grain, 0, 255));
            row[x * 3 + 1] =
                static_cast<unsigned char>(std::clamp(y * 255 / height + grain, 0, 255));
            row[x * 3 + 2] = static_cast<unsigned char>(
                std::clamp(((x / 16 + y / 16) & 1) * 120 + 60 + grain, 0, 255));
        }
    });
}

// The peer: libjpeg-turbo to RGB, then SDL's converter to RGB565.
bool PeerLoad(const Bytes& file, std::vector<uint16_t>* out, int* width, int* height) {
    samples::JpegPixels rgb;
    if (!samples::ReadJpeg(file, samples::JpegColour::Rgb, &rgb)) return false;
    *width = rgb.width;
    *height = rgb.height;
    out->resize(static_cast<size_t>(*width) * *height);
    return SDL_ConvertPixels(*width, *height, SDL_PIXELFORMAT_RGB24, rgb.pixels.get(), *width * 3,
                             SDL_PIXELFORMAT_RGB565, out->data(), *width * 2) == 0;
}

// Our surface against the peer's pixels: every channel within one step of 5-6-5, which covers
// the difference between rounding and truncating to 5 or 6 bits.
std::string Compare(IDirectDrawSurface7* surface, const std::vector<uint16_t>& peer, int width,
                    int height) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)))
        return "could not lock the surface";
    std::string problem;
    if (desc.ddpfPixelFormat.dwRGBBitCount != 16 || desc.ddpfPixelFormat.dwGBitMask != 0x07E0)
        problem = "the surface is not 5-6-5";
    else if (static_cast<int>(desc.dwWidth) != width || static_cast<int>(desc.dwHeight) != height)
        problem = "the surface has the wrong size";
    for (int y = 0; y < height && problem.empty(); ++y) {
        const uint16_t* row = reinterpret_cast<const uint16_t*>(
            static_cast<const BYTE*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch);
        for (int x = 0; x < width && problem.empty(); ++x) {
            int a = row[x], e = peer[static_cast<size_t>(y) * width + x];
            int dr = (a >> 11) - (e >> 11), dg = ((a >> 5) & 63) - ((e >> 5) & 63),
                db = (a & 31) - (e & 31);
            if (std::abs(dr) > 1 || std::abs(dg) > 1 || std::abs(db) > 1) {
                char text[96];
                std::snprintf(text, sizeof text, "pixel (%d, %d) is %04x, the peer's %04x", x, y, a,
                              e);
                problem = text;
            }
        }
    }
    surface->Unlock(nullptr);
    return problem;
}

void LoadJpeg(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    tarn::platform::HeadlessHost& host = tarn::platform::UseHeadlessHost();
    host.Config().desktopBits = 16;
    host.Config().rgb555 = false;

    IDirectDraw* first = nullptr;
    IDirectDraw7* dd = nullptr;
    if (FAILED(DirectDrawCreate(nullptr, &first, nullptr)) ||
        FAILED(first->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd)))) {
        state.SkipWithError("no DirectDraw");
        return;
    }
    first->Release();
    dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);

    const Bytes file = MakeJpeg(width, height);
    const int size = static_cast<int>(file.size());
    std::vector<uint16_t> peer;
    int peerWidth = 0, peerHeight = 0;
    TarnImage image;
    IDirectDrawSurface7* surface = image.LoadMemory(dd, size, file.data(), 1, IMAGE_UNKNOWN);
    std::string problem = !surface ? std::string("LoadMemory gave null")
                          : !PeerLoad(file, &peer, &peerWidth, &peerHeight)
                              ? std::string("the peer failed")
                              : Compare(surface, peer, peerWidth, peerHeight);
    if (surface) surface->Release();
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        dd->Release();
        return;
    }

    using Clock = std::chrono::steady_clock;
    double oursTotal = 0, peerTotal = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        IDirectDrawSurface7* loaded = image.LoadMemory(dd, size, file.data(), 1, IMAGE_UNKNOWN);
        if (loaded) loaded->Release();
        auto t1 = Clock::now();
        PeerLoad(file, &peer, &peerWidth, &peerHeight);
        benchmark::DoNotOptimize(peer.data());
        auto t2 = Clock::now();
        double ours = std::chrono::duration<double>(t1 - t0).count();
        oursTotal += ours;
        peerTotal += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(ours);
    }
    dd->Release();
    state.counters["peer_ms"] = peerTotal / static_cast<double>(state.iterations()) * 1e3;
    state.counters["x_peer"] = oursTotal / peerTotal;
    state.SetLabel(std::to_string(file.size() / 1024) + " KiB file");
}

BENCHMARK(LoadJpeg)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
