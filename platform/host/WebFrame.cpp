// The web host's frame: converted into the canvas's layout, then handed to the page.
#include "host/WebFrame.h"

#include "host/WebPage.h"

#include <cstddef>

namespace tarn::platform {

bool WebFrame::Show(const FrameView& frame) {
    const char* why = nullptr;
    if (!converter.Prepare(frame, &why)) return false;
    const size_t count = (size_t)frame.width * (size_t)frame.height;
    if (rgba.size() != count) rgba.assign(count, 0xFF000000u);
    converter.Convert(frame, rgba.data(), frame.width * 4);
    width = frame.width;
    height = frame.height;
    WebPageShowFrame(rgba.data(), width, height);
    return true;
}

} // namespace tarn::platform
