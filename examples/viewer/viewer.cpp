// viewer: shows the pictures Tarn reads (BMP, TGA, PCX, PSD, JPEG, PNG), one at a time, scaled
// up or down to fit the window with its shape kept and bars around it, with its file name and
// size in a text bar below. A file that cannot be read shows why in place of the picture.
//
//   viewer [--fullscreen] [FILE or FOLDER ...]   a folder gives its pictures, sorted by name;
//                                                no argument: the pictures of the current folder
//   Left / Right   previous / next picture       Home / End   first / last picture
//   F12            saves the frame as the first free viewer-NNN.png in the current folder
//   F11            window / full screen          Escape       ends
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "game/TarnGame.h"

const int WIDTH = 640, HEIGHT = 480;
namespace fs = std::filesystem;

const int BAR = 44; // the text bar's height, under the picture

std::string Lower(std::string s) {
    for (char& c : s) c = (char)std::tolower((unsigned char)c);
    return s;
}

// What one argument names: a folder's pictures by name (case ignored), judged by their
// extension, or else the name itself (a file, or a name that will show why it fails to load).
std::vector<std::string> PicturesFor(const std::string& argument) {
    static const char* const kinds[] = {".bmp", ".tga", ".pcx", ".psd", ".jpg", ".jpeg", ".png"};
    std::vector<std::string> found;
    std::error_code error;
    try {
        if (!fs::is_directory(argument, error)) return {argument};
        for (fs::directory_iterator it(argument, error), end; !error && it != end;
             it.increment(error)) {
            const std::string kind = Lower(it->path().extension().string());
            if (it->is_regular_file(error) && std::count(std::begin(kinds), std::end(kinds), kind))
                found.push_back(it->path().string());
        }
    } catch (const std::exception&) { // a name the system cannot convert: the rest is skipped
    }
    std::sort(found.begin(), found.end(),
              [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    return found;
}

class Viewer {
public:
    std::vector<std::string> files;
    std::string nothing = "no pictures here"; // shown when there is no file at all

    void Frame(TarnGame& g) {
        const int last = int(files.size()) - 1;
        int next = current;
        if (g.Pressed(KEY_CODE_RIGHT)) next = current < last ? current + 1 : 0;
        if (g.Pressed(KEY_CODE_LEFT)) next = current > 0 ? current - 1 : last;
        if (g.Pressed(KEY_CODE_HOME)) next = 0;
        if (g.Pressed(KEY_CODE_END)) next = last;
        if (next != current && !files.empty()) Open(g, next);

        TarnSurface* back = g.Back();
        back->FillSolid(TarnColour(40, 40, 44)); // the bars around the picture
        RECT bar = {0, HEIGHT - BAR, WIDTH, HEIGHT};
        back->FillRect(&bar, TarnColour(16, 24, 48));
        const TarnColour white(255, 255, 255), grey(170, 180, 200);
        const int line1 = HEIGHT - BAR + 4, line2 = HEIGHT - BAR + 24;

        if (files.empty()) {
            g.Print(16, (HEIGHT - BAR) / 2, white, "%s", nothing.c_str());
        } else {
            const std::string& path = files[current];
            const std::string name = path.substr(path.find_last_of("/\\") + 1);
            if (picture) {
                RECT fit = Fit(picture->width, picture->height, WIDTH, HEIGHT - BAR);
                picture->StretchTo(back, &fit, nullptr, 0);
                g.Print(8, line1, white, "%s    %d x %d", name.c_str(), picture->width,
                        picture->height);
            } else {
                g.Print(16, (HEIGHT - BAR) / 2, TarnColour(255, 120, 100), "%s: %s", name.c_str(),
                        failure == -2 ? "not a picture Tarn reads" : "could not be loaded");
                g.Print(8, line1, white, "%s", name.c_str());
            }
            g.Print(WIDTH - 80, line1, grey, "%d / %d", current + 1, last + 1);
        }

        if (!notice.empty() && timeGetTime() - noticeTime < 2000)
            g.Print(8, line2, TarnColour(255, 220, 120), "%s", notice.c_str());
        else
            g.Print(8, line2, grey,
                    "Left / Right, Home / End: step    F12: save    F11: full screen    Esc: quit");
        if (g.Pressed(KEY_CODE_F12)) Save(back); // the frame as it will be shown
    }

    // A picture that does not load is shown as a message, not an end.
    void Open(TarnGame& g, int index) {
        g.DeleteSurface(picture);
        current = index;
        picture = g.LoadPicture(files[index].c_str(), &failure);
    }

private:
    TarnSurface* picture = nullptr; // the current file's picture; null when it did not load
    int current = 0, failure = 0;   // its index in files; LoadPicture's result when it failed
    std::string notice;             // said under the picture for two seconds after noticeTime
    DWORD noticeTime = 0;

    // The largest rectangle of the picture's shape inside width x height, centred there.
    static RECT Fit(int pictureWidth, int pictureHeight, int width, int height) {
        long long w = width, h = height;
        if (1LL * pictureWidth * height > 1LL * pictureHeight * width)
            h = std::max(1LL, 1LL * pictureHeight * width / pictureWidth);
        else
            w = std::max(1LL, 1LL * pictureWidth * height / pictureHeight);
        const int left = int((width - w) / 2), top = int((height - h) / 2);
        return RECT{left, top, left + int(w), top + int(h)};
    }

    // Writes the back buffer to the first free viewer-NNN.png and says so on screen; an
    // existing file is never overwritten.
    void Save(TarnSurface* back) {
        noticeTime = timeGetTime();
        notice = "no free name viewer-NNN.png is left here";
        for (int n = 1; n < 1000; ++n) {
            char name[32];
            std::snprintf(name, sizeof(name), "viewer-%03d.png", n);
            std::error_code error;
            if (fs::exists(name, error)) continue;
            notice =
                (back->SavePNG(name) == S_OK ? "saved " : "could not write ") + std::string(name);
            return;
        }
    }
};

int main(int argc, char** argv) {
    TarnGame game("Tarn: viewer", argc, argv);
    if (game.arguments.empty()) game.arguments.push_back(".");
    Viewer viewer;
    for (const std::string& argument : game.arguments) {
        const std::vector<std::string> pictures = PicturesFor(argument);
        viewer.files.insert(viewer.files.end(), pictures.begin(), pictures.end());
        if (pictures.empty()) viewer.nothing = "no pictures in " + argument;
    }
    if (!viewer.files.empty()) viewer.Open(game, 0);
    return game.Run([&](TarnGame& g) { viewer.Frame(g); });
}
