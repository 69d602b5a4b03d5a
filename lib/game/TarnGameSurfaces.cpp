// Pictures and blank surfaces as resources of the game. The surface object stays at its
// address for the program's whole life: Detach takes what it holds apart with Reset, and
// Remake makes it again in the same object on the new screen.
#include "game/internal/TarnGameSurfaces.h"

#include <cstdlib>
#include <string>

#include "display/TarnScreen.h"
#include "surface/TarnSurface.h"

namespace {

// The colour key's red, green and blue, read back from the surface's own format; false when the
// surface has none or it cannot be read (an 8-bit surface without a palette).
bool KeyRGB(TarnSurface* s, BYTE* r, BYTE* g, BYTE* b) {
    if (!s->hasColourKey) return false;
    const PixelLayout& p = s->pixelLayout;
    if (p.depth == 8) {
        PALETTEENTRY entries[256];
        IDirectDrawPalette* palette = s->screen ? s->screen->palette : nullptr;
        if (palette == nullptr || FAILED(palette->GetEntries(0, 0, 256, entries))) return false;
        const PALETTEENTRY& e = entries[s->colourKey & 0xFF];
        *r = e.peRed, *g = e.peGreen, *b = e.peBlue;
        return true;
    }
    if (p.redMax == 0 || p.greenMax == 0 || p.blueMax == 0) return false;
    auto channel = [&](BYTE max, BYTE shift) {
        return BYTE(((s->colourKey >> shift) & max) * 255 / max);
    };
    *r = channel(p.redMax, p.redShift);
    *g = channel(p.greenMax, p.greenShift);
    *b = channel(p.blueMax, p.blueShift);
    return true;
}

// An alpha plane held apart from its surface: the surface's own block, taken over whole, so
// nothing is copied and nothing can fail on the way out or back in.
struct HeldPlane {
    BYTE* bytes = nullptr;
    int width = 0, height = 0;

    ~HeldPlane() { std::free(bytes); }
    void TakeFrom(TarnSurface* s) {
        std::free(bytes);
        bytes = s->alphaPlane;
        width = s->alphaWidth;
        height = s->alphaHeight;
        s->alphaPlane = nullptr;
        s->alphaWidth = s->alphaHeight = 0;
    }
    // Back into the surface in the place of the plane it has now (a reloaded picture brings its
    // file's); a plane that no longer fits the surface is dropped.
    void GiveTo(TarnSurface* s) {
        if (bytes == nullptr) return;
        if (width == s->width && height == s->height) {
            std::free(s->alphaPlane);
            s->alphaPlane = bytes;
            s->alphaWidth = width;
            s->alphaHeight = height;
        } else {
            std::free(bytes);
        }
        bytes = nullptr;
        width = height = 0;
    }
};

// What a picture and a blank surface share: the surface, its settings kept across a switch.
class GameSurface : public TarnGameResource {
public:
    explicit GameSurface(TarnSurface* s) : surface(s) {}
    ~GameSurface() override { delete surface; }

    const void* Handle() const override { return surface; }

    void Detach() override {
        TarnSurface* s = surface;
        if (s->surface == nullptr) return; // apart already: what was kept stays
        width = s->width;
        height = s->height;
        placement = BYTE(s->placement);
        keyed = KeyRGB(s, &keyRed, &keyGreen, &keyBlue);
        clipArea = s->clipArea;
        plane.TakeFrom(s);
        s->Reset();
    }

    int Remake(TarnScreen* screen) override {
        TarnSurface* s = surface;
        const int result = Make(screen);
        if (result != 1) return result;
        if (keyed) s->SetColourKeyRGB(keyRed, keyGreen, keyBlue);
        plane.GiveTo(s);
        s->SetClipArea(&clipArea);
        return 1;
    }

    // The restore of a picture reloads its file and with it the file's alpha plane; the
    // plane the surface had (perhaps the program's own) is put back over it.
    void Redraw() override {
        TarnSurface* s = surface;
        if (s->surface == nullptr || s->surface->IsLost() == DD_OK) return;
        HeldPlane held;
        if (s->alphaPlane != nullptr) held.TakeFrom(s);
        s->Restore();
        held.GiveTo(s);
    }

protected:
    virtual int Make(TarnScreen* screen) = 0;

    TarnSurface* surface; // owned
    int width = 0, height = 0;
    BYTE placement = 2;

private:
    bool keyed = false; // the key as a colour: it is made anew in the new screen's format
    BYTE keyRed = 0, keyGreen = 0, keyBlue = 0;
    RECT clipArea = {};
    HeldPlane plane;
};

class GamePicture final : public GameSurface {
public:
    explicit GamePicture(TarnSurface* s) : GameSurface(s), file(s->fileName) {}
    const char* What() const override { return "cannot load the picture"; }
    const char* Name() const override { return file.c_str(); }

private:
    int Make(TarnScreen* screen) override {
        return surface->Create(screen, file.c_str(), placement);
    }

    std::string file;
};

class GameBlankSurface final : public GameSurface {
public:
    using GameSurface::GameSurface;
    const char* What() const override { return "cannot make a surface"; }
    const char* Name() const override { return nullptr; }

private:
    int Make(TarnScreen* screen) override {
        return surface->CreateBlank(screen, width, height, placement);
    }
};

} // namespace

std::unique_ptr<TarnGameResource> TarnGamePicture(TarnSurface* surface) {
    return std::make_unique<GamePicture>(surface);
}

std::unique_ptr<TarnGameResource> TarnGameBlankSurface(TarnSurface* surface) {
    return std::make_unique<GameBlankSurface>(surface);
}
