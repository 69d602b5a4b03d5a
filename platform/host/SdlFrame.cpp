// The SDL2 host's choice between uploading a frame as it is and converting it first.
#include "host/SdlFrame.h"

#include <SDL.h>

namespace tarn::platform {

bool SdlFrame::Prepare(const FrameView& frame, bool rgb565Native, const char** why) {
    if (!converter.Prepare(frame, why)) return false;
    direct = false;
    textureFormat = SDL_PIXELFORMAT_ARGB8888;
    if (frame.bits == 16 && FrameIs565(frame) && rgb565Native) {
        direct = true;
        textureFormat = SDL_PIXELFORMAT_RGB565;
    } else if (frame.bits == 32 && FrameIsX888(frame)) {
        direct = true; // drawn without blending, so the unused top byte does not matter
    }
    return true;
}

} // namespace tarn::platform
