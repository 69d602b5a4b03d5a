// libFuzzer target holding turned copies to their reference: each input picks a depth, source and
// destination buffers (sizes, pitches), a source rectangle, a pivot anywhere near it, an angle
// (any, quarter turns and angles near them as often as not), scales (tiny to large, negative),
// mirrors, bilinear or nearest, a key, an alpha plane, an opacity and a clip area in the
// destination. The fast routine and the reference, one pixel at a time, must give identical
// bytes inside the clip area, and nothing may change outside it (the rest of the buffer, and a
// guard band before and after it). The map's box must lie inside the clip area.
#include "surface/internal/TurnRoutines.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const int kDepths[] = {8, 15, 16, 24, 32};
const int kGuard = 16;

void Fail(const char* what) {
    std::fprintf(stderr, "mismatch: %s\n", what);
    std::abort();
}

// A buffer of w x h pixels with a guard band on each side, filled from a seeded generator; a
// narrow mask makes equal pixels (and so keyed ones) common.
struct Buffer {
    std::vector<BYTE> bytes;
    long pitch = 0;
    int width = 0, height = 0;

    void Make(FuzzedDataProvider& in, int pixelBytes, int maxSide) {
        width = in.ConsumeIntegralInRange(1, maxSide);
        height = in.ConsumeIntegralInRange(1, maxSide);
        pitch = static_cast<long>(width) * pixelBytes + in.ConsumeIntegralInRange(0, 5);
        uint32_t state = in.ConsumeIntegral<uint32_t>() | 1;
        const BYTE mask = in.ConsumeBool() ? 0x81 : 0xFF;
        bytes.resize(2 * kGuard + static_cast<size_t>(pitch) * height);
        for (BYTE& b : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            b = static_cast<BYTE>(state) & mask;
        }
    }
    PixelRect Whole() { return PixelRect{bytes.data() + kGuard, pitch, width, height}; }
};

double Angle(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return 90.0 * in.ConsumeIntegralInRange(-8, 8);
    case 1:
        return 90.0 * in.ConsumeIntegralInRange(-4, 4) +
               in.ConsumeFloatingPointInRange(-1e-3, 1e-3);
    default:
        return in.ConsumeFloatingPointInRange(-1e6, 1e6);
    }
}

double Scale(FuzzedDataProvider& in) {
    const double magnitude = in.ConsumeBool()
                                 ? 1.0
                                 : std::ldexp(1.0, in.ConsumeIntegralInRange(-16, 15)) *
                                       in.ConsumeFloatingPointInRange(1.0, 2.0);
    return in.ConsumeBool() ? -magnitude : magnitude;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int depth = kDepths[in.ConsumeIntegralInRange(0, 4)];
    const int bytes = depth == 8 ? 1 : depth <= 16 ? 2 : depth / 8;
    Buffer src, dst;
    src.Make(in, bytes, 40);
    dst.Make(in, bytes, 48);

    RECT bounds;
    bounds.left = in.ConsumeIntegralInRange(0, src.width - 1);
    bounds.top = in.ConsumeIntegralInRange(0, src.height - 1);
    bounds.right = in.ConsumeIntegralInRange(static_cast<int>(bounds.left) + 1, src.width);
    bounds.bottom = in.ConsumeIntegralInRange(static_cast<int>(bounds.top) + 1, src.height);
    RECT clip;
    clip.left = in.ConsumeIntegralInRange(0, dst.width - 1);
    clip.top = in.ConsumeIntegralInRange(0, dst.height - 1);
    clip.right = in.ConsumeIntegralInRange(static_cast<int>(clip.left) + 1, dst.width);
    clip.bottom = in.ConsumeIntegralInRange(static_cast<int>(clip.top) + 1, dst.height);
    const double pivotX = in.ConsumeFloatingPointInRange(-200.0, 200.0);
    const double pivotY = in.ConsumeFloatingPointInRange(-200.0, 200.0);
    const int x = in.ConsumeIntegralInRange(-100, 150), y = in.ConsumeIntegralInRange(-100, 150);
    const double degrees = Angle(in), scaleX = Scale(in), scaleY = Scale(in);
    const bool flipX = in.ConsumeBool(), flipY = in.ConsumeBool();
    const bool smooth = depth != 8 && in.ConsumeBool();
    TurnExtras extras = {{in.ConsumeBool(), 0}, nullptr, src.width, 256};
    const DWORD mask = depth == 8 ? 0xFF : depth <= 16 ? 0xFFFF : 0xFFFFFF;
    extras.key.value = in.ConsumeIntegral<uint32_t>() & mask & (depth == 15 ? 0x7FFF : mask);
    std::vector<BYTE> plane;
    if (depth != 8 && in.ConsumeBool()) {
        plane.resize(static_cast<size_t>(src.width) * src.height);
        for (BYTE& b : plane) b = in.ConsumeIntegral<BYTE>();
        extras.plane = plane.data();
    }
    if (depth != 8) extras.alpha = in.ConsumeIntegralInRange(1, 256);

    TurnMap map;
    if (!MakeTurnMap(bounds, pivotX, pivotY, x, y, degrees, scaleX, scaleY, flipX, flipY, smooth,
                     clip, &map))
        return 0;
    if (map.box.left < clip.left || map.box.top < clip.top || map.box.right > clip.right ||
        map.box.bottom > clip.bottom || map.box.left >= map.box.right ||
        map.box.top >= map.box.bottom)
        Fail("the box leaves the clip area");

    std::vector<BYTE> before = dst.bytes;
    TurnRect(depth, dst.Whole(), src.Whole(), map, extras);
    std::vector<BYTE> fast = dst.bytes;
    dst.bytes = before;
    TurnRectReference(depth, dst.Whole(), src.Whole(), map, extras);
    if (fast != dst.bytes) Fail("fast and reference differ");
    for (size_t i = 0; i < fast.size(); ++i) {
        if (fast[i] == before[i]) continue;
        const long offset = static_cast<long>(i) - kGuard;
        const long row = offset / dst.pitch, column = (offset % dst.pitch) / bytes;
        if (offset < 0 || row >= dst.height || column < clip.left || column >= clip.right ||
            row < clip.top || row >= clip.bottom)
            Fail("a byte outside the clip area changed");
    }
    return 0;
}
