// How the SDL2 host turns a presented frame (the primary surface's memory in the display mode's
// pixel format) into texture pixels. A 5-6-5 frame goes up unchanged when the renderer takes
// RGB565 textures, a 32-bit x8r8g8b8 frame always does; every other format is converted into
// ARGB8888 by our own code (5-6-5 and 5-5-5 by arithmetic, the others through tables built when
// the format changes, never per frame).
#pragma once

#include "host/Host.h"

#include <cstdint>
#include <vector>

namespace tarn::platform {

class FrameConverter {
public:
    // Checks the frame and gets ready for its format. Returns false (with a reason in *why) for a
    // frame that cannot be shown: no pixels, a size or pitch that does not fit, an unknown depth,
    // 8 bits without a palette. Allocates only when the 16-bit masks change.
    bool Prepare(const FrameView& frame, bool rgb565Native, const char** why);

    // The SDL pixel format the texture must have for the prepared frame.
    uint32_t TextureFormat() const { return textureFormat; }
    // True when the frame's memory can be uploaded as it is (no conversion).
    bool Direct() const { return direct; }

    // Writes the prepared frame as ARGB8888 (alpha 0xFF) into dst, rows `dstPitch` bytes apart.
    void Convert(const FrameView& frame, void* dst, int dstPitch) const;

private:
    struct Channel {
        uint32_t mask = 0;
        int shift = 0; // lowest bit of the mask
        int bits = 0;  // width of the mask
    };
    static Channel MakeChannel(uint32_t mask);
    static uint32_t Expand(uint32_t pixel, const Channel& c); // to 8 bits, top bits repeated

    int bits = 0;
    int widen16 = 0; // 6 for 5-6-5, 5 for 5-5-5 (widened by arithmetic), else 0
    uint32_t textureFormat = 0;
    bool direct = false;
    Channel red, green, blue;
    uint32_t table16Masks[3] = {};
    std::vector<uint32_t> table16; // 16-bit pixel -> ARGB8888
};

} // namespace tarn::platform
