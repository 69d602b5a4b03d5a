// What the paired benchmarks share: a case is measured as two Google Benchmark entries, ours and
// its peer's, over the same inputs in the same process, and the program's main prints a table
// of ratios (ours / peer, from the median CPU times of the repetitions) when the run ends, beside
// each case's target. Also here: the headless DirectDraw device in a 5-6-5 display mode, the
// deterministic test picture every case draws from, and the comparison of 5-6-5 pixels.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <benchmark/benchmark.h>
#include "display/TarnScreen.h"
#include "input/TarnInput.h"
#include "surface/TarnSurface.h"
#include "support/ByteWriter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bench {

using Bytes = std::vector<unsigned char>;

struct Size {
    int width;
    int height;
};
// The two picture sizes every case runs at.
inline constexpr Size kSizes[] = {{640, 480}, {1920, 1080}};

// One case of a pair: its inputs, our operation and the peer's. Prepare runs both once and
// compares their results; Ours and Peer are what the two benchmarks time.
class PairCase {
public:
    virtual ~PairCase() = default;
    // "" when both results agree within the case's rounding, else what differs.
    virtual std::string Prepare() = 0;
    virtual void Ours() = 0;
    virtual void Peer() = 0;
};

using CaseFactory = std::function<std::unique_ptr<PairCase>(Size size)>;

// How a pair's CPU time is counted: the benchmark's own thread (the default), or the whole
// process, for cases whose work is partly done by threads of a library (a GL driver's).
enum class CpuClock { Thread, Process };

// Registers "<name>/<W>x<H>/ours" and ".../peer" for each size, and a row of the summary:
// `what` describes the case, `peer` its peer, `target` the highest acceptable ratio.
void RegisterPair(const std::string& name, const std::string& what, const std::string& peer,
                  double target, CaseFactory factory, std::vector<Size> sizes = {},
                  CpuClock clock = CpuClock::Thread);

// --- the headless machine -----------------------------------------------------------------

// A DirectDraw device on a fresh headless host whose display is 16 bits 5-6-5, in the normal
// cooperative level: off-screen surfaces it creates are 5-6-5. Null (with `error` set) on failure.
IDirectDraw7* OpenDirectDraw(std::string* error);
// An off-screen system-memory surface of the display's format.
IDirectDrawSurface7* CreatePlainSurface(IDirectDraw7* dd, int width, int height);

// A 0x00RRGGBB colour as a 5-6-5 pixel: each channel's top bits.
inline uint16_t To565(uint32_t rgb) {
    return static_cast<uint16_t>((rgb >> 8 & 0xF800) | (rgb >> 5 & 0x07E0) | (rgb >> 3 & 0x001F));
}

// The demo's frame as the frame benchmarks run it: a topmost popup window of the given size, a
// full-screen 5-6-5 screen of the picture's size, the input, and the picture (width x height
// 5-6-5 values, top row first) in a surface made as a program makes one to draw into. Deleting
// it deletes them in the order the demo does.
struct DemoFrame {
    HWND window = nullptr;
    TarnScreen* screen = nullptr;
    TarnInput* input = nullptr;
    TarnSurface* picture = nullptr;

    DemoFrame() = default;
    DemoFrame(const DemoFrame&) = delete;
    DemoFrame& operator=(const DemoFrame&) = delete;
    ~DemoFrame();
    // "" when all is made, else what failed.
    std::string Open(const char* title, int windowWidth, int windowHeight, int width, int height,
                     const std::vector<uint16_t>& pixels);
    // The demo's frame: the input read, the picture copied onto the back buffer, a flip.
    void Draw() {
        input->Update();
        picture->CopyTo(screen->GetBack(), 0, 0, nullptr);
        screen->Flip(1, 1, 0);
    }
};

// A surface's pixels copied out as 5-6-5 values, top row first; empty if it is not 5-6-5 or
// cannot be locked.
std::vector<uint16_t> ReadSurface565(IDirectDrawSurface7* surface, int* width, int* height);

// "" when every pixel of `ours` is within `tolerance` steps of `peer` in each of the three
// channels (as 5, 6, 5 bits), else the first pixel that is not.
std::string Compare565(const std::vector<uint16_t>& ours, int oursWidth, int oursHeight,
                       const uint16_t* peer, int peerWidth, int peerHeight, int peerPitchBytes,
                       int tolerance = 1);

// --- the test picture ----------------------------------------------------------------------

// A picture of `size` as 0x00RRGGBB, top row first: flat areas (long runs, as in drawings and
// screenshots) beside smooth gradients with a grain (as in photographs). The same every run.
std::vector<uint32_t> TestPicture(Size size);
// The same picture in 256 colours: indices top row first, and the colour table (0x00RRGGBB).
void TestPicture8(Size size, std::vector<uint8_t>* indices, std::vector<uint32_t>* colours);

// Little- and big-endian appenders for the file writers, shared with the tests
// (tests/support/ByteWriter.h).
using samples::Put16;
using samples::Put16BE;
using samples::Put32;
using samples::Put32BE;

} // namespace bench
