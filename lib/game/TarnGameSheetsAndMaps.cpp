// Sprite sheets and maps as resources of the game. A sheet holds only rectangles and a pointer
// to its picture, so it is the picture that is taken apart and made again (as any picture of
// the game, its key and alpha plane kept); the sheet's frames still fit it, at the same address.
// A map keeps its tiles and objects in memory and only its tilesets' pictures live on the
// screen: they go with the old screen and are loaded again on the new one.
#include "game/internal/TarnGameSurfaces.h"

#include <string>

#include "map/TarnMap.h"
#include "surface/TarnSpriteSheet.h"

namespace {

class GameSheet final : public TarnGameResource {
public:
    GameSheet(TarnSpriteSheet* s, std::unique_ptr<TarnGameResource> p)
        : sheet(s), picture(std::move(p)) {}
    ~GameSheet() override {
        sheet->SetPicture(nullptr);
        delete sheet;
    }

    const void* Handle() const override { return sheet; }
    void Detach() override { picture->Detach(); }
    int Remake(TarnScreen* screen) override { return picture->Remake(screen); }
    void Redraw() override { picture->Redraw(); }
    const char* What() const override { return picture->What(); }
    const char* Name() const override { return picture->Name(); }

private:
    TarnSpriteSheet* sheet;                    // owned
    std::unique_ptr<TarnGameResource> picture; // deletes the picture after the sheet
};

class GameMap final : public TarnGameResource {
public:
    GameMap(TarnMap* m, const char* name, BYTE placement)
        : map(m), file(name ? name : ""), placement(placement) {}
    ~GameMap() override { delete map; }

    const void* Handle() const override { return map; }
    void Detach() override { map->ReleasePictures(); }
    int Remake(TarnScreen* screen) override {
        const int result = map->LoadPictures(screen, placement);
        return result == MAP_OK ? 1 : result;
    }
    void Redraw() override {
        if (map->HasPictures()) map->RestorePictures();
    }
    const char* What() const override { return "cannot load the map's pictures"; }
    const char* Name() const override { return file.c_str(); }

private:
    TarnMap* map; // owned
    std::string file;
    BYTE placement;
};

} // namespace

std::unique_ptr<TarnGameResource> TarnGameSheet(TarnSpriteSheet* sheet,
                                                std::unique_ptr<TarnGameResource> picture) {
    return std::make_unique<GameSheet>(sheet, std::move(picture));
}

std::unique_ptr<TarnGameResource> TarnGameMap(TarnMap* map, const char* fileName, BYTE placement) {
    return std::make_unique<GameMap>(map, fileName, placement);
}
