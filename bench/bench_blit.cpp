// Benchmarks of moving whole surfaces: TarnSurface::CopyTo of a 5-6-5 picture onto a surface of
// the same size (one opaque BltFast) beside memcpy of the same rows between the same two blocks
// of memory, and TarnSurface::FillSolid of a 5-6-5 surface beside memset of the same bytes.
// The peers write into the surfaces' own memory (its address taken from a lock), so both sides
// touch exactly the same bytes.
#include "BenchSupport.h"

#include "surface/TarnSurface.h"

#include <cstring>

namespace bench {
namespace {

// A surface of the display's format wrapped the way the screen wraps its buffers.
TarnSurface* Wrap(IDirectDrawSurface7* dds, Size s) {
    TarnSurface* t = new TarnSurface();
    t->surface = dds;
    t->width = s.width;
    t->height = s.height;
    RECT area = {0, 0, s.width, s.height};
    t->SetClipArea(&area);
    return t;
}

// Where a surface's pixels live; the block stays put while the surface is not restored.
struct Memory {
    BYTE* pixels = nullptr;
    long pitch = 0;
};

bool MemoryOf(IDirectDrawSurface7* s, Memory* out) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (FAILED(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return false;
    out->pixels = static_cast<BYTE*>(desc.lpSurface);
    out->pitch = desc.lPitch;
    s->Unlock(nullptr);
    return desc.ddpfPixelFormat.dwRGBBitCount == 16 && desc.ddpfPixelFormat.dwGBitMask == 0x07E0;
}

class SurfacePair : public PairCase {
public:
    explicit SurfacePair(Size s) : size(s) {}
    ~SurfacePair() override {
        delete source;
        delete dest;
        if (dd) dd->Release();
    }

protected:
    // Two 5-6-5 surfaces; the source holds the test picture.
    std::string Open() {
        std::string error;
        dd = OpenDirectDraw(&error);
        if (!dd) return error;
        IDirectDrawSurface7* a = CreatePlainSurface(dd, size.width, size.height);
        IDirectDrawSurface7* b = CreatePlainSurface(dd, size.width, size.height);
        if (!a || !b) {
            if (a) a->Release();
            if (b) b->Release();
            return "could not create the surfaces";
        }
        source = Wrap(a, size);
        dest = Wrap(b, size);
        if (!MemoryOf(a, &src) || !MemoryOf(b, &dst)) return "the surfaces are not 5-6-5";
        const std::vector<uint32_t> picture = TestPicture(size);
        for (int y = 0; y < size.height; ++y) {
            uint16_t* row = reinterpret_cast<uint16_t*>(src.pixels + y * src.pitch);
            for (int x = 0; x < size.width; ++x) {
                row[x] = To565(picture[static_cast<size_t>(y) * size.width + x]);
            }
        }
        return "";
    }

    // "" when every row of the destination equals the source's.
    std::string SameAsSource() const {
        const size_t rowBytes = static_cast<size_t>(size.width) * 2;
        for (int y = 0; y < size.height; ++y)
            if (std::memcmp(dst.pixels + y * dst.pitch, src.pixels + y * src.pitch, rowBytes))
                return "row " + std::to_string(y) + " differs from the source";
        return "";
    }

    // "" when every pixel of the destination is `value`.
    std::string AllPixels(uint16_t value) const {
        for (int y = 0; y < size.height; ++y) {
            const uint16_t* row = reinterpret_cast<const uint16_t*>(dst.pixels + y * dst.pitch);
            for (int x = 0; x < size.width; ++x)
                if (row[x] != value)
                    return "pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                           ") was not filled";
        }
        return "";
    }

    void Clear() {
        for (int y = 0; y < size.height; ++y)
            std::memset(dst.pixels + y * dst.pitch, 0, static_cast<size_t>(size.width) * 2);
    }

    Size size;
    IDirectDraw7* dd = nullptr;
    TarnSurface* source = nullptr;
    TarnSurface* dest = nullptr;
    Memory src, dst;
};

class CopyToCase : public SurfacePair {
public:
    using SurfacePair::SurfacePair;
    std::string Prepare() override {
        std::string problem = Open();
        if (!problem.empty()) return problem;
        Clear();
        HRESULT hr = source->CopyTo(dest, 0, 0, nullptr);
        if (hr != DD_OK) return "CopyTo returned " + std::to_string(hr);
        if (!(problem = SameAsSource()).empty()) return "CopyTo: " + problem;
        Clear();
        Peer();
        if (!(problem = SameAsSource()).empty()) return "memcpy: " + problem;
        return "";
    }
    void Ours() override {
        source->CopyTo(dest, 0, 0, nullptr);
        benchmark::ClobberMemory();
    }
    void Peer() override {
        const size_t rowBytes = static_cast<size_t>(size.width) * 2;
        for (int y = 0; y < size.height; ++y)
            std::memcpy(dst.pixels + y * dst.pitch, src.pixels + y * src.pitch, rowBytes);
        benchmark::ClobberMemory();
    }
};

class FillSolidCase : public SurfacePair {
public:
    using SurfacePair::SurfacePair;
    static constexpr uint16_t kColour = 0xA5C3;
    static constexpr unsigned char kByte = 0x3C;
    std::string Prepare() override {
        std::string problem = Open();
        if (!problem.empty()) return problem;
        HRESULT hr = dest->FillSolid(kColour);
        if (hr != DD_OK) return "FillSolid returned " + std::to_string(hr);
        if (!(problem = AllPixels(kColour)).empty()) return "FillSolid: " + problem;
        Peer();
        if (!(problem = AllPixels(kByte * 0x101)).empty()) return "memset: " + problem;
        return "";
    }
    void Ours() override {
        dest->FillSolid(kColour);
        benchmark::ClobberMemory();
    }
    void Peer() override {
        // One call when the rows follow each other without a gap, as the surfaces' rows do.
        const size_t rowBytes = static_cast<size_t>(size.width) * 2;
        if (dst.pitch == static_cast<long>(rowBytes))
            std::memset(dst.pixels, kByte, rowBytes * size.height);
        else
            for (int y = 0; y < size.height; ++y)
                std::memset(dst.pixels + y * dst.pitch, kByte, rowBytes);
        benchmark::ClobberMemory();
    }
};

const bool kRegistered = [] {
    RegisterPair("CopyTo565", "TarnSurface::CopyTo 5-6-5 opaque (BltFast)", "memcpy row by row",
                 1.2, [](Size s) { return std::make_unique<CopyToCase>(s); });
    RegisterPair("FillSolid565", "TarnSurface::FillSolid 5-6-5", "memset of the same bytes", 1.2,
                 [](Size s) { return std::make_unique<FillSolidCase>(s); });
    return true;
}();

} // namespace
} // namespace bench
