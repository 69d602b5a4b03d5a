// Benchmark of one demo frame in a real window: the SDL2 host on the X server of DISPLAY
// (scripts/run-bench.sh starts an Xvfb of 640 x 480 for it). Ours is the demo's frame: the
// message queue emptied, TarnInput::Update, TarnSurface::CopyTo of the 640 x 480 picture onto the
// back buffer and TarnScreen::Flip, which hands the front buffer to the SDL2 host for the texture
// upload and the present. The peer is the smallest SDL2 program that shows the same 5-6-5 frame:
// its events polled, one streaming RGB565 texture updated from the frame, cleared, copied and
// presented, on a renderer made the same way in the same process. CPU time is the process's, as
// a GL renderer draws with threads of its own. The case runs twice: with the vsync the renderer
// gives, and with vsync turned off (SDL2's hint), where the flip's own pacing must keep ours to
// one frame per display refresh (its real time per frame); the peer then paces itself with the
// smallest frame limiter, a sleep to the next 60th of a second, so that both pay for frames
// that start with cold caches and sleeping driver threads, as a paced program does.
#include "BenchSupport.h"

#include "display/TarnScreen.h"
#include "host/Host.h"
#include "input/TarnInput.h"
#include "surface/TarnSurface.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace bench {
namespace {

const Size kFrame = {640, 480};
const char* const kTitle = "TarnBenchWindow";

// "" when what `renderer` shows is `expected`, read back at 5-6-5 precision.
std::string CheckShown(SDL_Renderer* renderer, const std::vector<uint16_t>& expected,
                       const char* whose) {
    std::vector<uint16_t> shown(expected.size());
    SDL_Rect all = {0, 0, kFrame.width, kFrame.height};
    if (SDL_RenderReadPixels(renderer, &all, SDL_PIXELFORMAT_RGB565, shown.data(),
                             kFrame.width * 2) != 0)
        return std::string(whose) + " window cannot be read back: " + SDL_GetError();
    std::string problem = Compare565(shown, kFrame.width, kFrame.height, expected.data(),
                                     kFrame.width, kFrame.height, kFrame.width * 2, 0);
    return problem.empty() ? "" : std::string(whose) + " window: " + problem;
}

// The SDL window the stand-in opened for our window: the one with our title.
SDL_Window* HostWindow() {
    for (Uint32 id = 1; id < 256; ++id) {
        SDL_Window* w = SDL_GetWindowFromID(id);
        if (w && std::strcmp(SDL_GetWindowTitle(w), kTitle) == 0) return w;
    }
    return nullptr;
}

class WindowFrameCase : public PairCase {
public:
    explicit WindowFrameCase(bool vsync) : vsync(vsync) {}
    ~WindowFrameCase() override {
        if (peerTexture) SDL_DestroyTexture(peerTexture);
        if (peerRenderer) SDL_DestroyRenderer(peerRenderer);
        if (peerWindow) SDL_DestroyWindow(peerWindow);
        SDL_ResetHint(SDL_HINT_RENDER_VSYNC);
    }

    std::string Prepare() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) return "no DISPLAY (scripts/run-bench.sh starts an Xvfb)";
        if (!tarn::platform::SelectHost("sdl2")) return "no SDL2 host";
        tarn::platform::CurrentHost().Machine(); // starts SDL2's video as the host wants it
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return "SDL2 has no video";
        if (!vsync) SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0"); // both renderers are made after this

        const std::vector<uint32_t> rgb = TestPicture(kFrame);
        frame.resize(rgb.size());
        for (size_t i = 0; i < rgb.size(); ++i) frame[i] = To565(rgb[i]);

        // The peer's window first: ours, opened next, comes to the foreground over it.
        peerWindow = SDL_CreateWindow("TarnBenchPeer", 0, 0, kFrame.width, kFrame.height,
                                      SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS);
        if (!peerWindow) return std::string("no peer window: ") + SDL_GetError();
        peerRenderer = SDL_CreateRenderer(peerWindow, -1, SDL_RENDERER_PRESENTVSYNC);
        if (!peerRenderer) peerRenderer = SDL_CreateRenderer(peerWindow, -1, 0);
        if (!peerRenderer) return std::string("no peer renderer: ") + SDL_GetError();
        peerTexture = SDL_CreateTexture(peerRenderer, SDL_PIXELFORMAT_RGB565,
                                        SDL_TEXTUREACCESS_STREAMING, kFrame.width, kFrame.height);
        if (!peerTexture) return std::string("no peer texture: ") + SDL_GetError();

        if (std::string failed =
                demo.Open(kTitle, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                          kFrame.width, kFrame.height, frame);
            !failed.empty())
            return failed;

        SDL_Window* hostWindow = HostWindow();
        SDL_Renderer* hostRenderer = hostWindow ? SDL_GetRenderer(hostWindow) : nullptr;
        if (!hostRenderer) return "the SDL2 host's window has no renderer";
        SDL_RendererInfo ourInfo{}, peerInfo{};
        SDL_GetRendererInfo(hostRenderer, &ourInfo);
        SDL_GetRendererInfo(peerRenderer, &peerInfo);
        if (std::strcmp(ourInfo.name, peerInfo.name) != 0)
            return std::string("renderers differ: ") + ourInfo.name + " and " + peerInfo.name;
        std::fprintf(stderr, "frame in a real window: SDL2's \"%s\" renderer, %s\n", ourInfo.name,
                     (ourInfo.flags & SDL_RENDERER_PRESENTVSYNC) ? "vsync asked for" : "no vsync");

        Ours();
        if (std::string p = CheckShown(hostRenderer, frame, "our"); !p.empty()) return p;
        Peer();
        return CheckShown(peerRenderer, frame, "the peer's");
    }

    void Ours() override {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        demo.Draw();
    }

    void Peer() override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
        }
        SDL_UpdateTexture(peerTexture, nullptr, frame.data(), kFrame.width * 2);
        SDL_SetRenderDrawColor(peerRenderer, 0, 0, 0, 255);
        SDL_RenderClear(peerRenderer);
        SDL_RenderCopy(peerRenderer, peerTexture, nullptr, nullptr);
        SDL_RenderPresent(peerRenderer);
        if (!vsync) {
            const uint64_t period = SDL_GetPerformanceFrequency() / 60;
            uint64_t now = SDL_GetPerformanceCounter();
            if (now < nextFrame)
                SDL_Delay(Uint32((nextFrame - now) * 1000 / SDL_GetPerformanceFrequency()));
            else
                nextFrame = now; // late, or the first frame: the next one is a period from now
            nextFrame += period;
        }
    }

private:
    bool vsync;
    DemoFrame demo;
    std::vector<uint16_t> frame;
    SDL_Window* peerWindow = nullptr;
    SDL_Renderer* peerRenderer = nullptr;
    SDL_Texture* peerTexture = nullptr;
    uint64_t nextFrame = 0; // the peer's frame limiter, without vsync
};

const bool kRegistered = [] {
    for (bool vsync : {true, false})
        RegisterPair(
            vsync ? "WindowFrame" : "WindowFrameNoVsync",
            vsync ? "one demo frame in an SDL2 window (Xvfb)" : "the same, vsync turned off",
            "minimal SDL2 program, one streaming texture", 1.15,
            [vsync](Size) { return std::make_unique<WindowFrameCase>(vsync); }, {kFrame},
            CpuClock::Process);
    return true;
}();

} // namespace
} // namespace bench
