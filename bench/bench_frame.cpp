// Benchmark of one frame of the demo program on the headless host: TarnInput::Update (keyboard,
// mouse and joystick), TarnSurface::CopyTo of the 640 x 480 picture onto the back buffer and
// TarnScreen::Flip, in a full-screen 640 x 480 x 16 display, beside memcpy of one 640 x 480
// 16-bit frame. The headless host keeps every presented frame as 0x00RRGGBB pixels; that copy
// is part of what the frame costs here.
#include "BenchSupport.h"

#include "display/TarnScreen.h"
#include "host/HeadlessHost.h"
#include "input/TarnInput.h"
#include "surface/TarnSurface.h"

#include <cstring>

namespace bench {
namespace {

const Size kFrame = {640, 480};

class FrameCase : public PairCase {
public:
    explicit FrameCase(Size) {}

    std::string Prepare() override {
        tarn::platform::HeadlessHost& host = tarn::platform::UseHeadlessHost();
        host.AttachJoystick(true);
        const std::vector<uint32_t> rgb = TestPicture(kFrame);
        expected.resize(rgb.size());
        for (size_t i = 0; i < rgb.size(); ++i) expected[i] = To565(rgb[i]);
        if (std::string failed = demo.Open("TarnBenchFrame", kFrame.width, kFrame.height,
                                           kFrame.width, kFrame.height, expected);
            !failed.empty())
            return failed;

        Ours();
        int w = 0, h = 0;
        const std::vector<uint32_t>& shown = host.LastFrame(&w, &h);
        if (w != kFrame.width || h != kFrame.height || shown.size() != expected.size())
            return "the frame shown is " + std::to_string(w) + "x" + std::to_string(h);
        for (size_t i = 0; i < expected.size(); ++i) {
            if (To565(shown[i]) != expected[i])
                return "pixel " + std::to_string(i) + " of the frame shown is not the picture's";
        }
        peerSource = expected;
        peerDest.assign(expected.size(), 0);
        Peer();
        if (peerDest != expected) return "memcpy did not copy the frame";
        return "";
    }

    void Ours() override { demo.Draw(); }

    void Peer() override {
        std::memcpy(peerDest.data(), peerSource.data(), peerDest.size() * 2);
        benchmark::ClobberMemory();
    }

private:
    DemoFrame demo;
    std::vector<uint16_t> expected, peerSource, peerDest;
};

const bool kRegistered = [] {
    RegisterPair("DemoFrame", "one demo frame, headless (Update, CopyTo, Flip)",
                 "memcpy of one 640x480 16-bit frame", 3.0,
                 [](Size s) { return std::make_unique<FrameCase>(s); }, {kFrame});
    return true;
}();

} // namespace
} // namespace bench
