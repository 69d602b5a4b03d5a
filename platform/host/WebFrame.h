// How the web host shows a presented frame: converted by the hosts' one frame converter
// (FrameConvert.h) into the canvas's R, G, B, A bytes, which the page puts into its canvas.
#pragma once

#include "host/FrameConvert.h"
#include "host/Host.h"

#include <cstdint>
#include <vector>

namespace tarn::platform {

class WebFrame {
public:
    // Converts the frame and puts it into the canvas; false (with nothing shown) for a frame
    // that cannot be shown. Allocates only when the frame's size changes.
    bool Show(const FrameView& frame);

    int Width() const { return width; }
    int Height() const { return height; }

private:
    FrameConverter converter{RgbOrder::Abgr, 0xFF};
    std::vector<uint32_t> rgba;
    int width = 0, height = 0;
};

} // namespace tarn::platform
