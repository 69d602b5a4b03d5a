// The web host's sound (see WebAudio.h): one block buffer in the program's memory, which the
// page's audio callback has filled by TarnWebPullAudio and then reads.
#include "host/WebAudio.h"

#include "host/WebPage.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tarn::platform {
namespace {

constexpr int BLOCK_FRAMES = 2048; // about 46 ms at 44.1 kHz

struct Device {
    AudioPull pull = nullptr;
    void* context = nullptr;
    std::vector<int16_t> buffer; // interleaved stereo, read by the page
};
Device device;

} // namespace

bool WebOpenAudio(int rate, AudioPull pull, void* context) {
    if (!pull || rate <= 0 || device.pull) return false;
    device.buffer.assign(BLOCK_FRAMES * 2, 0);
    device.pull = pull;
    device.context = context;
    if (!WebPageOpenAudio(rate, device.buffer.data(), BLOCK_FRAMES)) {
        device.pull = nullptr;
        return false;
    }
    // A program that ends with its device still open (exit() in the middle of a game) has its
    // context closed before its sound objects are destroyed.
    static bool closeAtExit = false;
    if (!closeAtExit) closeAtExit = std::atexit(&WebCloseAudio) == 0;
    return true;
}

void WebCloseAudio() {
    if (!device.pull) return;
    WebPageCloseAudio();
    device.pull = nullptr;
    device.context = nullptr;
}

} // namespace tarn::platform

// The page's audio callback asks for `frames` frames here (exported by name).
extern "C" EMSCRIPTEN_KEEPALIVE void TarnWebPullAudio(int frames) {
    using tarn::platform::device;
    if (frames * 2 > (int)device.buffer.size()) frames = (int)device.buffer.size() / 2;
    if (device.pull)
        device.pull(device.context, device.buffer.data(), frames);
    else
        std::fill(device.buffer.begin(), device.buffer.end(), (int16_t)0);
}
