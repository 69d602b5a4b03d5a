// The pair registry, the program's main with its summary of ratios, and the shared helpers of
// BenchSupport.h. The summary reads the median CPU time of each benchmark from the reporter (or
// its single run when repetitions are turned off) and, for benchmarks that measure their peer
// inside their own loop, the ratio counters (named x_...) they report.
#include "BenchSupport.h"

#include "host/HeadlessHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace bench {
namespace {

struct PairRow {
    std::string name, what, peer;
    double target;
    std::vector<Size> sizes;
    CpuClock clock;
};

std::vector<PairRow>& PairRows() {
    static std::vector<PairRow> rows;
    return rows;
}

std::string SizeName(Size s) {
    return std::to_string(s.width) + "x" + std::to_string(s.height);
}

// The case both benchmarks of a pair work on: built by the first of the two, kept for the
// second, dropped when another pair starts.
struct CurrentCase {
    std::string key;
    std::unique_ptr<PairCase> pair;
    std::string problem;
};

CurrentCase& Current() {
    static CurrentCase current;
    return current;
}

PairCase* CaseFor(const std::string& key, const CaseFactory& factory, Size size,
                  const std::string** problem) {
    CurrentCase& c = Current();
    if (c.key != key) {
        c.pair.reset();
        c.key = key;
        c.pair = factory(size);
        c.problem = c.pair ? c.pair->Prepare() : "the case could not be set up";
    }
    *problem = &c.problem;
    return c.pair.get();
}

void RunSide(benchmark::State& state, const std::string& key, const CaseFactory& factory, Size size,
             bool ours) {
    const std::string* problem = nullptr;
    PairCase* pair = CaseFor(key, factory, size, &problem);
    if (!problem->empty()) {
        state.SkipWithError(problem->c_str());
        return;
    }
    if (ours) {
        for (auto _ : state) pair->Ours();
    } else {
        for (auto _ : state) pair->Peer();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * size.width * size.height);
}

struct Measured {
    double cpuSeconds = 0;
    double realSeconds = 0;
    bool error = false;
    std::string errorMessage;
    benchmark::UserCounters counters;
};

// Median runs by benchmark name (without the aggregate's suffix).
std::map<std::string, Measured>& Medians() {
    static std::map<std::string, Measured> medians;
    return medians;
}
std::vector<std::string>& RunOrder() {
    static std::vector<std::string> order;
    return order;
}

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!single && !median && !run.error_occurred) continue;
            Measured m;
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            m.cpuSeconds = run.GetAdjustedCPUTime() / unit;
            m.realSeconds = run.GetAdjustedRealTime() / unit;
            m.error = run.error_occurred;
            m.errorMessage = run.error_message;
            m.counters = run.counters;
            // Named as registered: without the "process_time" a process clock adds.
            benchmark::BenchmarkName runName = run.run_name;
            runName.time_type.clear();
            const std::string name = runName.str();
            if (!Medians().count(name)) RunOrder().push_back(name);
            Medians()[name] = m;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        PrintSummary();
    }

private:
    static std::string Millis(double seconds) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", seconds * 1e3);
        return text;
    }

    void PrintSummary() {
        std::FILE* out = stdout;
        std::fprintf(out, "\nRatios, ours / peer, from median CPU times (ms):\n");
        std::fprintf(out, "%-48s %-36s %-10s %9s %9s %7s %7s\n", "case", "peer", "size", "ours",
                     "peer", "ratio", "target");
        int met = 0, missed = 0;
        for (const PairRow& row : PairRows())
            for (Size s : row.sizes) {
                const std::string base = row.name + "/" + SizeName(s);
                auto ours = Medians().find(base + "/ours");
                auto peer = Medians().find(base + "/peer");
                if (ours == Medians().end() && peer == Medians().end()) continue;
                if (ours == Medians().end() || peer == Medians().end() || ours->second.error ||
                    peer->second.error) {
                    std::string why =
                        ours != Medians().end() && ours->second.error   ? ours->second.errorMessage
                        : peer != Medians().end() && peer->second.error ? peer->second.errorMessage
                                                                        : "only one side was run";
                    std::fprintf(out, "%-48s %-36s %-10s  FAILED: %s\n", row.what.c_str(),
                                 row.peer.c_str(), SizeName(s).c_str(), why.c_str());
                    ++missed;
                    continue;
                }
                double ratio = ours->second.cpuSeconds / peer->second.cpuSeconds;
                bool ok = ratio <= row.target;
                (ok ? met : missed)++;
                std::fprintf(out, "%-48s %-36s %-10s %9s %9s %7.2f %7.2f  %s\n", row.what.c_str(),
                             row.peer.c_str(), SizeName(s).c_str(),
                             Millis(ours->second.cpuSeconds).c_str(),
                             Millis(peer->second.cpuSeconds).c_str(), ratio, row.target,
                             ok ? "met" : "NOT MET");
                // A case on the process clock waits for a display: its real time tells how
                // its frames are paced.
                if (row.clock == CpuClock::Process)
                    std::fprintf(out, "%-48s real time per frame (ms): ours %s, peer %s\n", "",
                                 Millis(ours->second.realSeconds).c_str(),
                                 Millis(peer->second.realSeconds).c_str());
            }
        std::fprintf(out, "%d of %d targets met.\n", met, met + missed);

        // Benchmarks that time their peers in their own loop report the ratio as a counter.
        bool header = false;
        for (const std::string& name : RunOrder()) {
            const Measured& m = Medians()[name];
            for (const auto& [counter, value] : m.counters) {
                if (counter.rfind("x_", 0) != 0) continue;
                if (!header) {
                    std::fprintf(out, "\nRatios the benchmarks report themselves (median of "
                                      "the counters; x_peer etc. = ours / that peer):\n");
                    header = true;
                }
                std::fprintf(out, "%-62s %-10s %7.2f\n", name.c_str(), counter.c_str(),
                             static_cast<double>(value));
            }
        }
        std::fflush(out);
    }
};

bool HasFlag(const std::vector<char*>& args, const char* flag) {
    for (char* a : args)
        if (std::strncmp(a, flag, std::strlen(flag)) == 0) return true;
    return false;
}

} // namespace

void RegisterPair(const std::string& name, const std::string& what, const std::string& peer,
                  double target, CaseFactory factory, std::vector<Size> sizes, CpuClock clock) {
    if (sizes.empty()) sizes.assign(std::begin(kSizes), std::end(kSizes));
    PairRows().push_back({name, what, peer, target, sizes, clock});
    for (Size s : sizes) {
        const std::string key = name + "/" + SizeName(s);
        for (bool ours : {true, false}) {
            benchmark::internal::Benchmark* b =
                benchmark::RegisterBenchmark((key + (ours ? "/ours" : "/peer")).c_str(),
                                             [key, factory, s, ours](benchmark::State& state) {
                                                 RunSide(state, key, factory, s, ours);
                                             });
            b->Unit(benchmark::kMillisecond);
            if (clock == CpuClock::Process) b->MeasureProcessCPUTime();
        }
    }
}

IDirectDraw7* OpenDirectDraw(std::string* error) {
    tarn::platform::HeadlessHost& host = tarn::platform::UseHeadlessHost();
    host.Config().desktopBits = 16;
    host.Config().rgb555 = false;
    IDirectDraw* first = nullptr;
    IDirectDraw7* dd = nullptr;
    if (FAILED(DirectDrawCreate(nullptr, &first, nullptr))) {
        *error = "DirectDrawCreate failed";
        return nullptr;
    }
    HRESULT hr = first->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd));
    first->Release();
    if (FAILED(hr) || !dd) {
        *error = "no IDirectDraw7";
        return nullptr;
    }
    dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    return dd;
}

IDirectDrawSurface7* CreatePlainSurface(IDirectDraw7* dd, int width, int height) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface7* surface = nullptr;
    if (FAILED(dd->CreateSurface(&desc, &surface, nullptr))) return nullptr;
    return surface;
}

std::vector<uint16_t> ReadSurface565(IDirectDrawSurface7* surface, int* width, int* height) {
    std::vector<uint16_t> pixels;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (!surface || FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)))
        return pixels;
    if (desc.ddpfPixelFormat.dwRGBBitCount == 16 && desc.ddpfPixelFormat.dwGBitMask == 0x07E0) {
        *width = static_cast<int>(desc.dwWidth);
        *height = static_cast<int>(desc.dwHeight);
        pixels.resize(static_cast<size_t>(*width) * *height);
        for (int y = 0; y < *height; ++y)
            std::memcpy(pixels.data() + static_cast<size_t>(y) * *width,
                        static_cast<const BYTE*>(desc.lpSurface) +
                            static_cast<ptrdiff_t>(y) * desc.lPitch,
                        static_cast<size_t>(*width) * 2);
    }
    surface->Unlock(nullptr);
    return pixels;
}

std::string Compare565(const std::vector<uint16_t>& ours, int oursWidth, int oursHeight,
                       const uint16_t* peer, int peerWidth, int peerHeight, int peerPitchBytes,
                       int tolerance) {
    if (ours.empty()) return "our result could not be read as 5-6-5 pixels";
    if (oursWidth != peerWidth || oursHeight != peerHeight)
        return "ours is " + std::to_string(oursWidth) + "x" + std::to_string(oursHeight) +
               ", the peer's " + std::to_string(peerWidth) + "x" + std::to_string(peerHeight);
    for (int y = 0; y < peerHeight; ++y) {
        const uint16_t* row = reinterpret_cast<const uint16_t*>(
            reinterpret_cast<const uint8_t*>(peer) + static_cast<ptrdiff_t>(y) * peerPitchBytes);
        for (int x = 0; x < peerWidth; ++x) {
            int a = ours[static_cast<size_t>(y) * oursWidth + x], e = row[x];
            int dr = (a >> 11) - (e >> 11), dg = ((a >> 5) & 63) - ((e >> 5) & 63),
                db = (a & 31) - (e & 31);
            if (std::abs(dr) > tolerance || std::abs(dg) > tolerance || std::abs(db) > tolerance) {
                char text[96];
                std::snprintf(text, sizeof text, "pixel (%d, %d) is %04x, the peer's %04x", x, y, a,
                              e);
                return text;
            }
        }
    }
    return "";
}

namespace {

// Sixteen flat colours, for the flat areas of the picture.
const uint32_t kFlatColours[16] = {
    0x204080, 0xE0C040, 0x30A050, 0xF0F0F0, 0x101010, 0x8040C0, 0xC03020, 0x60A0E0,
    0x405030, 0xB0B0A0, 0xF08080, 0x20C0C0, 0x707070, 0xA06020, 0x3050F0, 0xD0E070,
};

// The picture is cut into 12 x 9 tiles; two thirds of them are flat.
bool FlatTile(int tileX, int tileY) {
    return (tileX + tileY) % 3 != 0;
}

} // namespace

std::vector<uint32_t> TestPicture(Size s) {
    std::vector<uint32_t> out(static_cast<size_t>(s.width) * s.height);
    uint32_t noise = 0x2545F491u;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            int tileX = x * 12 / s.width, tileY = y * 9 / s.height;
            uint32_t& p = out[static_cast<size_t>(y) * s.width + x];
            if (FlatTile(tileX, tileY)) {
                p = kFlatColours[(tileX * 5 + tileY * 3) % 16];
                continue;
            }
            noise = noise * 1664525u + 1013904223u;
            int grain = static_cast<int>(noise >> 28) - 8;
            int r = std::clamp(x * 255 / s.width + grain, 0, 255);
            int g = std::clamp(y * 255 / s.height + grain, 0, 255);
            int b = std::clamp(((x / 8 + y / 8) & 1) * 96 + 80 + grain, 0, 255);
            p = static_cast<uint32_t>(r << 16 | g << 8 | b);
        }
    return out;
}

void TestPicture8(Size s, std::vector<uint8_t>* indices, std::vector<uint32_t>* colours) {
    // Entries 0-15 are the flat colours, 16-255 a 16 x 15 grid of red and green ramps.
    colours->assign(kFlatColours, kFlatColours + 16);
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 15; ++j)
            colours->push_back(static_cast<uint32_t>((i * 17) << 16 | (j * 18) << 8 | 0x60));
    indices->assign(static_cast<size_t>(s.width) * s.height, 0);
    uint32_t noise = 0x9E3779B9u;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            int tileX = x * 12 / s.width, tileY = y * 9 / s.height;
            uint8_t& p = (*indices)[static_cast<size_t>(y) * s.width + x];
            if (FlatTile(tileX, tileY)) {
                p = static_cast<uint8_t>((tileX * 5 + tileY * 3) % 16);
                continue;
            }
            noise = noise * 1664525u + 1013904223u;
            int i = std::clamp(x * 16 / s.width + static_cast<int>(noise >> 30) - 1, 0, 15);
            p = static_cast<uint8_t>(16 + i * 15 + y * 15 / s.height);
        }
}

DemoFrame::~DemoFrame() {
    delete input;
    delete picture;
    if (screen) {
        delete screen->GetBack(); // a full-screen back buffer is the program's to delete
        delete screen;
    }
    if (window) DestroyWindow(window);
}

std::string DemoFrame::Open(const char* title, int windowWidth, int windowHeight, int width,
                            int height, const std::vector<uint16_t>& pixels) {
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = title;
    RegisterClassA(&wc); // a second registration fails harmlessly
    window = CreateWindowExA(WS_EX_TOPMOST, title, title, WS_POPUP, 0, 0, windowWidth, windowHeight,
                             nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return "no window";
    ShowWindow(window, SW_SHOW);
    screen = new TarnScreen();
    if (int r = screen->CreateFullScreen(window, width, height, 16, 0); r != 0)
        return "CreateFullScreen returned " + std::to_string(r);
    input = new TarnInput();
    if (FAILED(input->Create(wc.hInstance, window)))
        return "TarnInput::Create failed (has the window the focus?)";
    picture = new TarnSurface();
    bool ok = pixels.size() == static_cast<size_t>(width) * height &&
              picture->CreateBlank(screen, width, height, 1) == 1 && picture->Lock() > 0;
    if (ok) {
        const DDSURFACEDESC2& desc = picture->surfaceDesc;
        ok = desc.ddpfPixelFormat.dwRGBBitCount == 16 && desc.ddpfPixelFormat.dwGBitMask == 0x07E0;
        for (int y = 0; ok && y < height; ++y)
            std::memcpy(static_cast<BYTE*>(desc.lpSurface) + y * desc.lPitch,
                        &pixels[static_cast<size_t>(y) * width], width * 2);
        picture->Unlock();
    }
    return ok ? "" : "could not make the picture";
}

} // namespace bench

// Runs the benchmarks with repetitions and aggregates only unless the command line says
// otherwise, then prints the summary of ratios.
int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    static char repetitions[] = "--benchmark_repetitions=7";
    static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    static char minTime[] = "--benchmark_min_time=0.1";
    if (!bench::HasFlag(args, "--benchmark_repetitions")) args.push_back(repetitions);
    if (!bench::HasFlag(args, "--benchmark_report_aggregates_only") &&
        !bench::HasFlag(args, "--benchmark_display_aggregates_only"))
        args.push_back(aggregatesOnly);
    if (!bench::HasFlag(args, "--benchmark_min_time")) args.push_back(minTime);
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    bench::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
