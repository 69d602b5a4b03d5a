// Benchmarks of TarnSurface's drawing routines on a 640 x 480 surface at 8, 16 and 32 bits:
// full-width horizontal lines over every row (and 480 times over one row, which stays in the
// nearest cache), full-height vertical lines over every column, and a plot of every pixel, each
// called through the surface's slots as client code does.
//
// Every case is timed beside two peers that fill the same pixels in the same memory within the
// same iteration: memset of the same bytes (one call per row for the horizontal lines, a store of
// each pixel's bytes for the vertical lines and plots) and SDL2's SDL_FillRect of the same
// rectangles (rows, columns, single pixels). The reported time is the routine's own; the counters
// x_memset and x_sdl give its time over each peer's (1.0 = as fast), memset_us and sdl_us the
// peers' own times per pass. Before timing, each case fills the surface once with each of the
// three and checks every byte, so a broken routine is reported, not measured.
#include "surface/TarnSurface.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

const int kWidth = 640;
const int kHeight = 480;

struct Target {
    int bits;
    Uint32 sdlFormat;
    DWORD colour; // a pixel value whose bytes differ from the fill used before each check
};

const Target kTargets[] = {
    {8, SDL_PIXELFORMAT_INDEX8, 0x5A},
    {16, SDL_PIXELFORMAT_RGB565, 0xA5C3},
    {32, SDL_PIXELFORMAT_XRGB8888, 0x00C3A55A},
};

// A 640 x 480 surface over memory of our own, clipped to the whole surface, with its routines
// chosen for the depth, and an SDL surface over the same memory.
class Canvas {
public:
    explicit Canvas(const Target& t)
        : bytes(t.bits / 8), pitch(kWidth * bytes),
          memory(new (std::align_val_t(64)) BYTE[static_cast<size_t>(pitch) * kHeight]) {
        surface.pixelLayout.depth = t.bits;
        surface.SelectPixelRoutines();
        surface.width = kWidth;
        surface.height = kHeight;
        surface.surfaceDesc.lpSurface = memory.get();
        surface.surfaceDesc.lPitch = pitch;
        surface.clipArea = {0, 0, kWidth, kHeight};
        sdl = SDL_CreateRGBSurfaceWithFormatFrom(memory.get(), kWidth, kHeight, t.bits, pitch,
                                                 t.sdlFormat);
    }
    ~Canvas() { SDL_FreeSurface(sdl); }

    BYTE* Row(int y) { return memory.get() + static_cast<size_t>(y) * pitch; }
    void Fill(BYTE value) {
        std::memset(memory.get(), value, static_cast<size_t>(pitch) * kHeight);
    }
    // Every pixel of the first `rows` rows holds `value` (little-endian, `bytes` wide).
    bool AllPixels(DWORD value, int rows) {
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int i = 0; i < bytes; ++i)
                    if (Row(y)[x * bytes + i] != static_cast<BYTE>(value >> (8 * i))) return false;
        return true;
    }

    const int bytes;
    const int pitch;

private:
    struct AlignedDelete {
        void operator()(BYTE* p) const { ::operator delete[](p, std::align_val_t(64)); }
    };
    std::unique_ptr<BYTE[], AlignedDelete> memory;

public:
    TarnSurface surface;
    SDL_Surface* sdl = nullptr;
};

// The three ways of filling the same pixels: the routine, memset, SDL_FillRect.
struct Case {
    const char* name;
    int rows; // the rows it fills, from the top
    void (*routine)(Canvas& c, DWORD colour);
    void (*memsetPeer)(Canvas& c, BYTE value);
    void (*sdlPeer)(Canvas& c, DWORD colour);
};

// Stores `bytes` copies of `value` at p: a fixed size, so the compiler makes it one store.
template <int Bytes> void StorePixelBytes(BYTE* p, BYTE value) {
    std::memset(p, value, Bytes);
}

template <int Bytes> void MemsetEachPixel(Canvas& c, BYTE value, bool columnsFirst) {
    if (columnsFirst) {
        for (int x = 0; x < kWidth; ++x)
            for (int y = 0; y < kHeight; ++y) StorePixelBytes<Bytes>(c.Row(y) + x * Bytes, value);
    } else {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) StorePixelBytes<Bytes>(c.Row(y) + x * Bytes, value);
    }
}

void MemsetPixels(Canvas& c, BYTE value, bool columnsFirst) {
    switch (c.bytes) {
    case 1:
        MemsetEachPixel<1>(c, value, columnsFirst);
        break;
    case 2:
        MemsetEachPixel<2>(c, value, columnsFirst);
        break;
    default:
        MemsetEachPixel<4>(c, value, columnsFirst);
        break;
    }
}

const Case kCases[] = {
    {"HorzLine", kHeight,
     [](Canvas& c, DWORD colour) {
         TarnSurface& s = c.surface;
         for (int y = 0; y < kHeight; ++y) (s.*s.horzLine)(0, kWidth - 1, y, colour);
     },
     [](Canvas& c, BYTE value) {
         const size_t rowBytes = static_cast<size_t>(kWidth) * c.bytes;
         for (int y = 0; y < kHeight; ++y) std::memset(c.Row(y), value, rowBytes);
     },
     [](Canvas& c, DWORD colour) {
         for (int y = 0; y < kHeight; ++y) {
             const SDL_Rect row = {0, y, kWidth, 1};
             SDL_FillRect(c.sdl, &row, colour);
         }
     }},
    // The same full-width row again and again, held in the nearest cache: the line's own cost
    // with no memory traffic, beside memset of that row.
    {"HorzLineSameRow", 1,
     [](Canvas& c, DWORD colour) {
         TarnSurface& s = c.surface;
         for (int i = 0; i < kHeight; ++i) (s.*s.horzLine)(0, kWidth - 1, 0, colour);
     },
     [](Canvas& c, BYTE value) {
         const size_t rowBytes = static_cast<size_t>(kWidth) * c.bytes;
         for (int i = 0; i < kHeight; ++i) {
             std::memset(c.Row(0), value, rowBytes);
             benchmark::ClobberMemory();
         }
     },
     [](Canvas& c, DWORD colour) {
         const SDL_Rect row = {0, 0, kWidth, 1};
         for (int i = 0; i < kHeight; ++i) SDL_FillRect(c.sdl, &row, colour);
     }},
    {"VertLine", kHeight,
     [](Canvas& c, DWORD colour) {
         TarnSurface& s = c.surface;
         for (int x = 0; x < kWidth; ++x) (s.*s.vertLine)(0, kHeight - 1, x, colour);
     },
     [](Canvas& c, BYTE value) { MemsetPixels(c, value, true); },
     [](Canvas& c, DWORD colour) {
         for (int x = 0; x < kWidth; ++x) {
             const SDL_Rect column = {x, 0, 1, kHeight};
             SDL_FillRect(c.sdl, &column, colour);
         }
     }},
    {"PlotPixel", kHeight,
     [](Canvas& c, DWORD colour) {
         TarnSurface& s = c.surface;
         for (int y = 0; y < kHeight; ++y)
             for (int x = 0; x < kWidth; ++x) (s.*s.plotPixel)(x, y, colour);
     },
     [](Canvas& c, BYTE value) { MemsetPixels(c, value, false); },
     [](Canvas& c, DWORD colour) {
         for (int y = 0; y < kHeight; ++y)
             for (int x = 0; x < kWidth; ++x) {
                 const SDL_Rect pixel = {x, y, 1, 1};
                 SDL_FillRect(c.sdl, &pixel, colour);
             }
     }},
};

// Fills the surface with a byte none of the results hold, runs `fill` and checks every pixel
// of the rows it should fill.
template <typename Fill> bool FillsEveryPixel(Canvas& c, int rows, DWORD expected, Fill fill) {
    c.Fill(0xEE);
    fill();
    return c.AllPixels(expected, rows);
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void RunCase(benchmark::State& state, const Case& kase, const Target& target) {
    Canvas c(target);
    const DWORD colour = target.colour;
    const BYTE memsetValue = 0x3C;
    const DWORD memsetPixel = target.bits == 8 ? 0x3Cu : target.bits == 16 ? 0x3C3Cu : 0x3C3C3C3Cu;
    if (!c.sdl) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    if (!FillsEveryPixel(c, kase.rows, colour, [&] { kase.routine(c, colour); })) {
        state.SkipWithError("the routine did not fill every pixel with the colour");
        return;
    }
    if (!FillsEveryPixel(c, kase.rows, memsetPixel, [&] { kase.memsetPeer(c, memsetValue); }) ||
        !FillsEveryPixel(c, kase.rows, colour, [&] { kase.sdlPeer(c, colour); })) {
        state.SkipWithError("a peer did not fill every pixel");
        return;
    }

    using Clock = std::chrono::steady_clock;
    double routineTotal = 0, memsetTotal = 0, sdlTotal = 0;
    // Each pass starts with the surface in the cache: SDL's fill writes around the cache, and
    // the pass after it would otherwise pay for bringing the memory back.
    auto timed = [&](auto pass) {
        c.Fill(0);
        benchmark::ClobberMemory();
        const auto start = Clock::now();
        pass();
        benchmark::ClobberMemory();
        return Seconds(Clock::now() - start);
    };
    for (auto _ : state) {
        const double routine = timed([&] { kase.routine(c, colour); });
        memsetTotal += timed([&] { kase.memsetPeer(c, memsetValue); });
        sdlTotal += timed([&] { kase.sdlPeer(c, colour); });
        state.SetIterationTime(routine);
        routineTotal += routine;
    }
    const double passes = static_cast<double>(state.iterations());
    state.counters["memset_us"] = memsetTotal / passes * 1e6;
    state.counters["sdl_us"] = sdlTotal / passes * 1e6;
    state.counters["x_memset"] = routineTotal / memsetTotal;
    state.counters["x_sdl"] = routineTotal / sdlTotal;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * c.bytes);
}

// One benchmark per case and depth, e.g. PixelRoutines/HorzLine/16.
const bool kRegistered = [] {
    for (const Case& kase : kCases)
        for (const Target& target : kTargets) {
            const std::string name =
                std::string("PixelRoutines/") + kase.name + "/" + std::to_string(target.bits);
            benchmark::RegisterBenchmark(name.c_str(), RunCase, kase, target)
                ->UseManualTime()
                ->Unit(benchmark::kMicrosecond);
        }
    return true;
}();

} // namespace
