// map: a level made in the Tiled editor, scrolled under a figure that walks on it. The level
// (level/level.tmj, in Tiled's JSON form) has a ground layer whose water is animated by its
// tileset, a layer of walls and rocks the figure cannot cross, and an object layer that places
// the figure's start, the coins, a guard and the exit: the program finds them by name and class
// and draws them as markers. Any other orthogonal Tiled map can be given instead; its objects are
// then drawn as their shapes.
//
//   map [MAP] [--fullscreen]   MAP: the level, level/level.tmj by default
//   Arrow keys or a pad's left stick or d-pad walk the figure; F11 switches window and full
//   screen, Escape ends
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "game/TarnGame.h"
#include "map/TarnMap.h"
#include "surface/TarnColour.h"

const int WIDTH = 640, HEIGHT = 480;
const double SPEED = 120; // the figure's pixels a second
const int HALF = 5;       // half the figure's foot box, the part that meets the walls
const TarnColour SKY(30, 30, 40), INK(255, 255, 240), COIN(250, 210, 40), GUARD(220, 50, 40),
    EXIT(60, 230, 90), MARK(240, 240, 255), BODY(60, 110, 220), SKIN(250, 200, 160);

// The map's marker for object `o`, drawn at its place on `back` seen from the camera: the level's
// classes have their own, other objects are outlined as their shapes.
void DrawMarker(TarnSurface* back, const TarnMapObject& o, int left, int top, double time) {
    const int x = int(o.x) - left, y = int(o.y) - top;
    if (o.type == "coin") {
        const int r = 3 + int(2.5 + 2.5 * std::sin(time * 5 + o.id)); // a coin that glints
        back->FillCircle(x, y, r, COIN);
        back->DrawCircle(x, y, r, TarnColour(150, 110, 0));
        return;
    }
    if (o.type == "spawn") {
        back->DrawLine(x - 4, y - 4, x + 4, y + 4, MARK);
        back->DrawLine(x - 4, y + 4, x + 4, y - 4, MARK);
        return;
    }
    switch (o.shape) {
    case SHAPE_POINT:
        back->DrawCircle(x, y, 4, MARK);
        break;
    case SHAPE_ELLIPSE:
        back->DrawCircle(x + int(o.width / 2), y + int(o.height / 2),
                         int(std::min(o.width, o.height) / 2), MARK);
        break;
    case SHAPE_POLYGON:
    case SHAPE_POLYLINE:
        for (size_t i = 1; i < o.points.size(); ++i)
            back->DrawLine(x + int(o.points[i - 1].x), y + int(o.points[i - 1].y),
                           x + int(o.points[i].x), y + int(o.points[i].y), MARK);
        if (o.shape == SHAPE_POLYGON && o.points.size() > 2)
            back->DrawLine(x + int(o.points.back().x), y + int(o.points.back().y),
                           x + int(o.points[0].x), y + int(o.points[0].y), MARK);
        break;
    case SHAPE_TILE: // drawn by the map itself
        break;
    default: {
        const RECT r = {x, y, x + int(o.width), y + int(o.height)};
        back->DrawRect(&r, o.type == "exit" ? EXIT : MARK);
    }
    }
}

int main(int argc, char** argv) {
    TarnGame game("Tarn: map", argc, argv);
    // The map and its tilesets' pictures belong to the game, which loads the pictures again after
    // a switch and restores them after a display loss. A map that does not load is said on
    // standard error, naming the file and what is wrong.
    TarnMap* loaded = game.LoadMap(game.Argument(0, "level/level.tmj"));
    if (loaded == nullptr) return 1;
    TarnMap& map = *loaded;
    const int walls = map.FindLayer("walls"); // -1 in a map without one: nothing blocks
    const TarnMapObject* start = map.FindObject("start");
    const TarnMapObject* guard = map.FindObject("guard");
    const TarnMapObject* exit = map.FindObject("exit");
    const double guardRange = guard ? guard->properties.GetNumber("range", 48) : 0;
    // The coins: every object of class coin, each worth its "value".
    std::vector<const TarnMapObject*> coins;
    for (const TarnMapLayer& layer : map.layers)
        for (const TarnMapObject& o : layer.objects)
            if (o.type == "coin") coins.push_back(&o);
    std::vector<bool> taken(coins.size(), false);
    int score = 0;

    const int mapW = map.PixelWidth(), mapH = map.PixelHeight();
    double x = start ? start->x : mapW / 2.0, y = start ? start->y : mapH / 2.0;
    // True when the figure's foot box at (px, py) is on a wall or outside the map.
    auto blocked = [&](double px, double py) {
        if (px - HALF < 0 || py - HALF < 0 || px + HALF >= mapW || py + HALF >= mapH) return true;
        if (walls < 0) return false;
        const TarnMapLayer& layer = map.layers[size_t(walls)];
        for (int c = int(px - HALF) / map.tileWidth; c <= int(px + HALF) / map.tileWidth; ++c)
            for (int r = int(py - HALF) / map.tileHeight; r <= int(py + HALF) / map.tileHeight; ++r)
                if (layer.TileAt(c, r) != 0) return true;
        return false;
    };

    return game.Run([&](TarnGame& g) {
        // Walk: across and down apart, so that the figure slides along a wall.
        const double dx = g.Axis({KEY_CODE_LEFT}, {KEY_CODE_RIGHT}, PAD_AXIS_LEFT_X) +
                          g.Axis({}, {}, PAD_AXIS_DPAD_X);
        const double dy = g.Axis({KEY_CODE_UP}, {KEY_CODE_DOWN}, PAD_AXIS_LEFT_Y) +
                          g.Axis({}, {}, PAD_AXIS_DPAD_Y);
        const double step = SPEED * g.seconds;
        if (!blocked(x + dx * step, y)) x += dx * step;
        if (!blocked(x, y + dy * step)) y += dy * step;
        for (size_t i = 0; i < coins.size(); ++i)
            if (!taken[i] && std::abs(coins[i]->x - x) < 10 && std::abs(coins[i]->y - y) < 10) {
                taken[i] = true;
                score += int(coins[i]->properties.GetNumber("value", 1));
            }
        const bool out = exit && x >= exit->x && x < exit->x + exit->width && y >= exit->y &&
                         y < exit->y + exit->height;

        // The camera keeps the figure in the middle, within the map.
        const int left = std::clamp(int(x) - WIDTH / 2, 0, std::max(0, mapW - WIDTH));
        const int top = std::clamp(int(y) - HEIGHT / 2, 0, std::max(0, mapH - HEIGHT));
        TarnSurface* back = g.Back();
        back->FillSolid(SKY);
        map.Draw(back, left, top, g.time);
        for (const TarnMapLayer& layer : map.layers)
            if (layer.kind == LAYER_OBJECTS && layer.totalVisible)
                for (const TarnMapObject& o : layer.objects) {
                    const auto coin = std::find(coins.begin(), coins.end(), &o);
                    if (&o == guard || (coin != coins.end() && taken[size_t(coin - coins.begin())]))
                        continue;
                    DrawMarker(back, o, left, top, g.time);
                }
        if (guard) { // the guard paces to and fro over its range
            const int gx = int(guard->x + guardRange * std::sin(g.time)) - left;
            const int gy = int(guard->y) - top;
            const RECT r = {gx - 6, gy - 6, gx + 6, gy + 6};
            back->FillRect(&r, GUARD);
        }
        // The figure: a body and a head.
        const int fx = int(x) - left, fy = int(y) - top;
        back->FillCircle(fx, fy, 6, BODY);
        back->FillCircle(fx, fy - 9, 4, SKIN);

        g.Print(8, 8, INK, "score %d   coins %d of %zu", score,
                int(std::count(taken.begin(), taken.end(), true)), coins.size());
        g.Print(8, HEIGHT - 24, out ? EXIT : INK, "%s",
                out ? "you found the exit" : "arrows or pad walk; find the coins and the exit");
    });
}
