// Draws the demo's picture, a mountain lake under an evening sky, procedurally, and writes it
// as a 640 x 480 24-bit BMP file: mklandskap OUT.bmp. Everything is computed here from value
// noise and a fixed seed, so the picture is the same on every machine and build.
//
// Layers, back to front: sky gradient, sun and its glow, clouds, four mountain ridges fading
// into the haze (the farthest with snow), a far shore of small firs, the lake mirroring all
// of it with ripples and a glitter path under the sun, and a near shore with grass, stones
// and two tall firs framing the view.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;
constexpr int HORIZON = 300; // the lake's surface line
constexpr float SUN_X = 470.0f, SUN_Y = 118.0f, SUN_RADIUS = 15.0f;

struct Colour {
    float r, g, b;
};

Colour Mix(Colour a, Colour b, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Colour Scale(Colour a, float s) {
    return {a.r * s, a.g * s, a.b * s};
}
Colour Add(Colour a, Colour b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}

float Smooth(float t) {
    return t * t * (3.0f - 2.0f * t);
}

uint32_t Hash(int x, int y, int seed) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^
                 static_cast<uint32_t>(seed) * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}
float Random(int x, int y, int seed) {
    return (Hash(x, y, seed) & 0xFFFFFF) / 16777215.0f;
}

// Value noise in 0..1 on an integer lattice, smoothly interpolated.
float Noise(float x, float y, int seed) {
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    const float fx = Smooth(x - ix), fy = Smooth(y - iy);
    const float a = Random(ix, iy, seed), b = Random(ix + 1, iy, seed);
    const float c = Random(ix, iy + 1, seed), d = Random(ix + 1, iy + 1, seed);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

float Fbm(float x, float y, int octaves, int seed) {
    float sum = 0.0f, amplitude = 0.5f, total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * Noise(x, y, seed + i * 101);
        total += amplitude;
        x *= 2.03f;
        y *= 2.03f;
        amplitude *= 0.5f;
    }
    return sum / total;
}

// Ridged noise: sharp crests where plain noise crosses its middle, as mountain tops have.
float Ridged(float x, int octaves, int seed) {
    float sum = 0.0f, amplitude = 0.5f, total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        float n = 1.0f - std::fabs(Noise(x, 0.5f, seed + i * 37) * 2.0f - 1.0f);
        sum += amplitude * n * n;
        total += amplitude;
        x *= 2.1f;
        amplitude *= 0.5f;
    }
    return sum / total;
}

class Canvas {
public:
    Canvas() : pixels(WIDTH * HEIGHT, Colour{0, 0, 0}) {}
    Colour& At(int x, int y) { return pixels[static_cast<size_t>(y) * WIDTH + x]; }
    Colour Get(int x, int y) const {
        x = std::clamp(x, 0, WIDTH - 1);
        y = std::clamp(y, 0, HEIGHT - 1);
        return pixels[static_cast<size_t>(y) * WIDTH + x];
    }
    void Blend(int x, int y, Colour c, float alpha) {
        if (x < 0 || x >= WIDTH || y < 0 || y >= HEIGHT) return;
        At(x, y) = Mix(At(x, y), c, alpha);
    }

    bool WriteBmp(const char* path) const {
        const int stride = (WIDTH * 3 + 3) & ~3;
        const uint32_t imageBytes = static_cast<uint32_t>(stride) * HEIGHT;
        unsigned char header[54] = {'B', 'M'};
        auto put32 = [&](int at, uint32_t v) {
            for (int i = 0; i < 4; ++i) header[at + i] = static_cast<unsigned char>(v >> (8 * i));
        };
        put32(2, 54 + imageBytes);
        put32(10, 54);
        put32(14, 40);
        put32(18, WIDTH);
        put32(22, HEIGHT);
        header[26] = 1;  // planes
        header[28] = 24; // bits per pixel
        put32(34, imageBytes);
        put32(38, 2835); // 72 dpi
        put32(42, 2835);
        std::FILE* file = std::fopen(path, "wb");
        if (!file) return false;
        bool ok = std::fwrite(header, 1, sizeof(header), file) == sizeof(header);
        std::vector<unsigned char> row(stride, 0);
        for (int y = HEIGHT - 1; y >= 0 && ok; --y) { // bottom row first
            for (int x = 0; x < WIDTH; ++x) {
                const Colour c = pixels[static_cast<size_t>(y) * WIDTH + x];
                row[3 * x + 0] = static_cast<unsigned char>(std::clamp(c.b, 0.0f, 255.0f) + 0.5f);
                row[3 * x + 1] = static_cast<unsigned char>(std::clamp(c.g, 0.0f, 255.0f) + 0.5f);
                row[3 * x + 2] = static_cast<unsigned char>(std::clamp(c.r, 0.0f, 255.0f) + 0.5f);
            }
            ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
        }
        return std::fclose(file) == 0 && ok;
    }

private:
    std::vector<Colour> pixels;
};

Colour SkyAt(float y) {
    const Colour top = {34, 62, 128}, middle = {112, 140, 196}, low = {246, 196, 150};
    const float t = y / HORIZON;
    return t < 0.55f ? Mix(top, middle, t / 0.55f) : Mix(middle, low, Smooth((t - 0.55f) / 0.45f));
}

void DrawSky(Canvas& canvas) {
    for (int y = 0; y < HORIZON; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            Colour c = SkyAt(static_cast<float>(y));
            const float dx = x - SUN_X, dy = (y - SUN_Y) * 1.15f;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float glow = std::exp(-d / 70.0f) * 0.75f + std::exp(-d / 220.0f) * 0.25f;
            c = Add(c, Scale(Colour{255, 190, 120}, glow * 0.55f));
            if (d < SUN_RADIUS + 1.5f)
                c = Mix(c, Colour{255, 247, 222}, std::clamp(SUN_RADIUS + 1.5f - d, 0.0f, 1.0f));
            canvas.At(x, y) = c;
        }
}

// Long flat evening clouds, lit from below on the side facing the sun.
void DrawClouds(Canvas& canvas) {
    for (int y = 0; y < 230; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            const float fy = y / 18.0f, fx = x / 95.0f;
            float n = Fbm(fx + 0.35f * Fbm(fx, fy, 3, 11), fy, 6, 3);
            const float band = std::exp(-std::pow((y - 95.0f) / 70.0f, 2.0f));
            float density = std::clamp((n - 0.52f) * 3.2f, 0.0f, 1.0f) * band;
            if (density <= 0.0f) continue;
            const float below = Fbm(fx, (y + 4) / 18.0f, 6, 3);
            const float lit = std::clamp((n - below) * 6.0f + 0.5f, 0.0f, 1.0f);
            const float toSun = std::exp(-std::fabs(x - SUN_X) / 260.0f);
            Colour shade = Mix(Colour{122, 112, 146}, Colour{250, 214, 196}, lit * 0.6f + 0.2f);
            shade = Mix(shade, Colour{255, 200, 150}, toSun * 0.45f);
            canvas.Blend(x, y, shade, density * 0.85f);
        }
}

struct Ridge {
    float base;      // height of the ridge's foot above the horizon line, pixels
    float amplitude; // how high its peaks rise
    float frequency; // peaks per pixel
    int seed;
    Colour colour; // rock colour in full light
    float haze;    // how much of the sky's colour covers it
    float snow;    // snow line, as a share of the way down from the crest
};

float RidgeTop(const Ridge& ridge, float x) {
    const float crest = Ridged(x * ridge.frequency, 6, ridge.seed);
    const float mass = Fbm(x * ridge.frequency * 0.35f, 3.3f, 3, ridge.seed + 9); // massifs
    const float shape = crest * crest * (0.25f + 1.1f * mass) + 0.15f * mass;
    return HORIZON - ridge.base - ridge.amplitude * shape;
}

void DrawRidge(Canvas& canvas, const Ridge& ridge) {
    for (int x = 0; x < WIDTH; ++x) {
        const float top = RidgeTop(ridge, static_cast<float>(x));
        // Light comes from the sun's side: slopes rising towards it are brighter.
        const float slope = RidgeTop(ridge, x + 2.0f) - RidgeTop(ridge, x - 2.0f);
        const float facing = std::clamp(0.5f - slope * 0.12f, 0.0f, 1.0f);
        for (int y = std::max(0, static_cast<int>(std::floor(top))); y < HORIZON; ++y) {
            const float depth = (y - top) / (HORIZON - top + 1.0f); // 0 at the crest
            // Rock relief: a height field lit from the right, its gullies running down-slope.
            const float fx = x / 24.0f, fy = (y - top) / 16.0f + x / 400.0f;
            const float here = Fbm(fx, fy, 5, ridge.seed + 5);
            const float right = Fbm(fx + 0.06f, fy, 5, ridge.seed + 5);
            const float relief = std::clamp((right - here) * 9.0f, -0.6f, 0.6f);
            const float grain = Fbm(x / 3.0f, y / 3.0f, 2, ridge.seed + 8) - 0.5f;
            float light = 0.6f + 0.45f * facing + relief + grain * 0.15f;
            light *= 1.0f - depth * 0.3f;
            Colour c = Scale(ridge.colour, light);
            if (ridge.snow > 0.0f) {
                const float line = ridge.snow + (here - 0.5f) * 0.5f + relief * 0.2f;
                if (depth < line) {
                    const Colour snow = Mix(Colour{150, 162, 205}, Colour{255, 244, 236},
                                            std::clamp(0.35f + facing * 0.4f + relief, 0.0f, 1.0f));
                    c = Mix(c, snow, std::clamp((line - depth) * 12.0f, 0.0f, 0.95f));
                }
            }
            // The lower ridges are wooded: dark crowns of firs over the rock.
            if (ridge.snow == 0.0f) {
                const float crowns = Fbm(x / 2.5f, y / 3.5f, 2, ridge.seed + 11);
                const float woods = std::clamp((depth - 0.04f) * 8.0f, 0.0f, 1.0f);
                const Colour fir = Scale(Colour{36, 62, 40}, 0.6f + crowns * 0.8f + relief * 0.4f);
                c = Mix(c, fir, woods * 0.85f);
            }
            // The lower slopes sink into the haze over the lake.
            const float haze = ridge.haze + (1.0f - ridge.haze) * 0.3f * depth * depth;
            c = Mix(c, SkyAt(static_cast<float>(y) * 0.92f + 20.0f), haze);
            const float edge = std::clamp(y + 1.0f - top, 0.0f, 1.0f); // soft crest
            canvas.Blend(x, y, c, edge);
        }
    }
}

// A fir: a narrow trunk under stacked tiers of drooping branches.
void DrawFir(Canvas& canvas, float baseX, float baseY, float heightPx, Colour colour, int seed) {
    const float widthPx = heightPx * 0.32f;
    const int top = static_cast<int>(baseY - heightPx);
    for (int y = std::max(0, top); y < static_cast<int>(baseY); ++y) {
        const float t = (y - (baseY - heightPx)) / heightPx; // 0 at the tip
        const float tiers = 7.0f;
        const float tier = t * tiers - std::floor(t * tiers);
        const float jitter = 0.85f + 0.3f * Random(y, 3, seed);
        const float half = widthPx * 0.5f * (0.15f + 0.85f * t) * (0.55f + 0.45f * tier) * jitter;
        for (int x = static_cast<int>(baseX - half - 1); x <= static_cast<int>(baseX + half + 1);
             ++x) {
            const float inside = half - std::fabs(x - baseX);
            if (inside < -1.0f) continue;
            const float side = half > 0.5f ? (x - baseX) / half : 0.0f;
            const float shade =
                0.8f + 0.3f * side + 0.25f * (Random(x, y, seed) - 0.5f) + 0.3f * (tier - 0.5f);
            canvas.Blend(x, y, Scale(colour, shade), std::clamp(inside + 0.5f, 0.0f, 1.0f));
        }
    }
    const int trunkTop = static_cast<int>(baseY - heightPx * 0.07f);
    for (int y = trunkTop; y < static_cast<int>(baseY); ++y)
        for (int x = static_cast<int>(baseX - heightPx * 0.018f - 1);
             x <= static_cast<int>(baseX + heightPx * 0.018f + 1); ++x)
            canvas.Blend(x, y, Colour{40, 30, 24}, 0.9f);
}

// Small firs in clusters along the far shore, standing on the water line.
void DrawFarShore(Canvas& canvas) {
    for (int x = 0; x < WIDTH; ++x)
        for (int y = HORIZON - 4; y < HORIZON; ++y) canvas.Blend(x, y, Colour{38, 52, 44}, 0.85f);
    for (int i = 0; i < 260; ++i) {
        const float x = Random(i, 1, 77) * WIDTH;
        if (Fbm(x / 60.0f, 0.3f, 3, 21) < 0.45f) continue;
        const float h = 7.0f + Random(i, 2, 77) * 14.0f;
        DrawFir(canvas, x, HORIZON + 1.0f, h, Colour{34, 56, 44}, i);
    }
}

float ShoreTop(float x) {
    return 418.0f + 22.0f * Fbm(x / 140.0f, 1.7f, 4, 55) - 0.03f * x;
}

// The lake mirrors what is above its line, broken by ripples that grow towards the viewer.
void DrawLake(Canvas& canvas) {
    std::vector<Colour> above(static_cast<size_t>(WIDTH) * HORIZON);
    for (int y = 0; y < HORIZON; ++y)
        for (int x = 0; x < WIDTH; ++x) above[static_cast<size_t>(y) * WIDTH + x] = canvas.At(x, y);
    auto sample = [&](float x, int y) {
        y = std::clamp(y, 0, HORIZON - 1);
        const int ix = std::clamp(static_cast<int>(x), 0, WIDTH - 1);
        return above[static_cast<size_t>(y) * WIDTH + ix];
    };
    const Colour water = {38, 70, 96};
    for (int y = HORIZON; y < HEIGHT; ++y) {
        const float near = (y - HORIZON) / static_cast<float>(HEIGHT - HORIZON);
        for (int x = 0; x < WIDTH; ++x) {
            const float wave = Fbm(x / (30.0f + 60.0f * near), y / (1.2f + 5.0f * near), 4, 91);
            const float dx = (wave - 0.5f) * (4.0f + 26.0f * near);
            const int dy = static_cast<int>((wave - 0.5f) * (2.0f + 10.0f * near));
            const int mirrored = 2 * HORIZON - y - 1 + dy;
            Colour c = sample(x + dx, mirrored);
            c = Mix(c, water, 0.22f + 0.3f * near);
            c = Scale(c, 0.9f - 0.15f * near);
            // Glitter on the ripples under the sun.
            const float path = std::exp(-std::pow((x - SUN_X) / (14.0f + 70.0f * near), 2.0f));
            const float spark = std::pow(Fbm(x / 3.0f, y / 0.9f, 2, 17), 8.0f) * 20.0f;
            c = Add(c, Scale(Colour{255, 210, 150}, path * spark * 2.2f));
            // A few light streaks across the water.
            const float streak = std::pow(Fbm(x / 160.0f, y / 0.7f, 3, 23), 4.0f);
            c = Add(c, Scale(Colour{120, 130, 150}, streak * 0.35f));
            canvas.At(x, y) = c;
        }
    }
}

void DrawNearShore(Canvas& canvas) {
    for (int x = 0; x < WIDTH; ++x) {
        const float top = ShoreTop(static_cast<float>(x));
        for (int y = static_cast<int>(top); y < HEIGHT; ++y) {
            const float depth = (y - top) / (HEIGHT - top + 1.0f);
            const float grass = Fbm(x / 3.0f, y / 9.0f, 4, 61);
            const float patches = Fbm(x / 50.0f, y / 20.0f, 4, 63);
            Colour c = Mix(Colour{72, 96, 44}, Colour{124, 134, 58}, patches);
            c = Mix(c, Colour{110, 92, 62}, std::clamp((0.42f - patches) * 4.0f, 0.0f, 0.8f));
            c = Scale(c, 0.55f + grass * 0.7f - depth * 0.15f);
            // Wet, darker ground at the water's edge.
            c = Scale(c, 0.7f + 0.3f * std::clamp((y - top) / 6.0f, 0.0f, 1.0f));
            canvas.Blend(x, y, c, std::clamp(y + 1.0f - top, 0.0f, 1.0f));
        }
    }
    // Stones, lit from the upper right.
    for (int i = 0; i < 22; ++i) {
        const float cx = Random(i, 5, 31) * WIDTH;
        const float cy = ShoreTop(cx) + 6.0f + Random(i, 6, 31) * 40.0f;
        const float r = 3.0f + Random(i, 7, 31) * 8.0f;
        for (int y = static_cast<int>(cy - r); y <= static_cast<int>(cy + r * 0.6f); ++y)
            for (int x = static_cast<int>(cx - r - 1); x <= static_cast<int>(cx + r + 1); ++x) {
                const float nx = (x - cx) / r, ny = (y - cy) / (r * 0.6f);
                const float d = nx * nx + ny * ny;
                if (d > 1.0f) continue;
                const float light = 0.55f + 0.45f * std::clamp(nx * 0.5f - ny * 0.7f, -1.0f, 1.0f);
                const float grain = 0.85f + 0.3f * Random(x, y, 41);
                canvas.Blend(x, y, Scale(Colour{150, 146, 138}, light * grain),
                             std::clamp((1.0f - d) * r, 0.0f, 1.0f));
            }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mklandskap OUT.bmp\n");
        return 1;
    }
    Canvas canvas;
    DrawSky(canvas);
    DrawClouds(canvas);
    const Ridge ridges[] = {
        {30.0f, 190.0f, 1.0f / 230.0f, 7, {140, 140, 168}, 0.38f, 0.3f},
        {18.0f, 120.0f, 1.0f / 160.0f, 13, {96, 104, 124}, 0.3f, 0.1f},
        {8.0f, 70.0f, 1.0f / 120.0f, 19, {70, 86, 80}, 0.3f, 0.0f},
        {0.0f, 34.0f, 1.0f / 80.0f, 29, {52, 70, 56}, 0.12f, 0.0f},
    };
    for (const Ridge& ridge : ridges) DrawRidge(canvas, ridge);
    DrawFarShore(canvas);
    DrawLake(canvas);
    DrawNearShore(canvas);
    DrawFir(canvas, 38.0f, ShoreTop(38.0f) + 30.0f, 330.0f, Colour{26, 44, 30}, 1);
    DrawFir(canvas, 92.0f, ShoreTop(92.0f) + 22.0f, 220.0f, Colour{30, 50, 34}, 2);
    DrawFir(canvas, 602.0f, ShoreTop(602.0f) + 26.0f, 260.0f, Colour{26, 44, 30}, 3);
    if (!canvas.WriteBmp(argv[1])) {
        std::fprintf(stderr, "mklandskap: %s: can't write the file\n", argv[1]);
        return 1;
    }
    return 0;
}
