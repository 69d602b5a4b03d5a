// libFuzzer target for the map readers, TMX and JSON alike (the first byte chooses, as Load
// does): a map read from the input as if it lay beside the test maps, so that its tilesets and
// pictures can be found. A map that loads is drawn from a few cameras, at two times, onto a
// small surface of the headless host; afterwards no stand-in object may stay alive.
#include "display/TarnScreen.h"
#include "map/TarnMap.h"
#include "surface/TarnSurface.h"

#include "host/HeadlessHost.h"
#include "internal/StandIn.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

int g_baselineObjects = 0;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tarn::platform::UseHeadlessHost().Config().desktopBits = 32;
    g_baselineObjects = tarn::platform::LiveObjects();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) return 0;
    {
        TarnMap map;
        if (map.LoadFromMemory(reinterpret_cast<const char*>(data), size,
                               TARN_TEST_DATA "/maps/fuzz.tmx") == MAP_OK) {
            TarnScreen screen;
            if (screen.GetDirectDraw() &&
                screen.GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL) == DD_OK &&
                map.LoadPictures(&screen, 1) == MAP_OK) {
                TarnSurface view;
                if (view.CreateBlank(&screen, 48, 40, 1) == 1) {
                    const RECT b = map.DrawnBounds();
                    const int cameras[][2] = {
                        {0, 0}, {-20, -9}, {b.left + 7, b.top + 3}, {b.right - 30, b.bottom - 31}};
                    for (const auto& c : cameras) {
                        map.Draw(&view, c[0], c[1], 0);
                        map.Draw(&view, c[0], c[1], 0.35);
                    }
                }
                map.ReleasePictures();
            }
        }
    }
    if (tarn::platform::LiveObjects() != g_baselineObjects) {
        std::fprintf(stderr, "fuzz_map: %d stand-in objects alive after the input\n",
                     tarn::platform::LiveObjects() - g_baselineObjects);
        std::abort();
    }
    return 0;
}
