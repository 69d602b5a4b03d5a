// How the SDL2 host puts a presented frame (the primary surface's memory in the display mode's
// pixel format) into a texture. A 5-6-5 frame goes up unchanged when the renderer takes RGB565
// textures, a 32-bit x8r8g8b8 frame always does; every other format is converted into ARGB8888
// by the hosts' one frame converter (FrameConvert.h).
#pragma once

#include "host/FrameConvert.h"
#include "host/Host.h"

#include <cstdint>

namespace tarn::platform {

class SdlFrame {
public:
    // Checks the frame and gets ready for its format. Returns false (with a reason in *why) for a
    // frame that cannot be shown (see FrameConverter::Prepare).
    bool Prepare(const FrameView& frame, bool rgb565Native, const char** why);

    // The SDL pixel format the texture must have for the prepared frame.
    uint32_t TextureFormat() const { return textureFormat; }
    // True when the frame's memory can be uploaded as it is (no conversion).
    bool Direct() const { return direct; }

    // Writes the prepared frame as ARGB8888 (alpha 0xFF) into dst, rows `dstPitch` bytes apart.
    void Convert(const FrameView& frame, void* dst, int dstPitch) const {
        converter.Convert(frame, dst, dstPitch);
    }

private:
    FrameConverter converter{RgbOrder::Argb, 0xFF};
    uint32_t textureFormat = 0;
    bool direct = false;
};

} // namespace tarn::platform
