// sound: three effects on the keys, panned by where the mouse is across the window, and a tune
// streamed from an Ogg Vorbis file that fades in and out on a key. The frame shows the waveform
// of the last 23 milliseconds of the mix, left and right, with a level meter for each side.
//
// DirectSound gives a program no way to read back what it mixed, so the picture is the
// program's own reckoning of it: it keeps what it started and when (sound, volume, pan) and adds
// up those samples as the mixer does, the volume and pan laws being linear in amplitude
// (2000 * log10(v / 256) hundredths of a decibel is a gain of v / 256). For the music it keeps a
// second copy of the tune, decoded whole, and reads it at the stream's Position.
//
//   sound [FOLDER] [--fullscreen]   FOLDER: where blip.wav, boom.wav, chime.wav and tune.ogg
//                                   are (made by tools/mksounds), "sounds" by default
//   1, 2, 3 or a mouse button: an effect, panned by the mouse; M: music fades in / out;
//   Up / Down: master volume; F11 switches window and full screen, Escape ends
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/TarnGame.h"
#include "sound/TarnMusic.h"
#include "sound/TarnSound.h"

const int WIDTH = 640, HEIGHT = 480;
const int RATE = 44100; // the mix's rate
const int SHOWN = 1024; // frames of the mix in the picture (about 23 ms)
const DWORD FADE_MS = 2000;
const char* const EFFECT_FILES[3] = {"blip.wav", "boom.wav", "chime.wav"};
const TarnColour WHITE = TarnColour(240, 240, 240), GREY = TarnColour(150, 150, 160);

class SoundExample {
public:
    // Loads the effects and opens the music from `folder`; a file that does not load is said on
    // the screen, and the rest plays without it.
    void Load(TarnGame& g, const std::string& folder) {
        TarnAudio* audio = &g.Audio();
        for (int i = 0; i < 3; ++i)
            effectResults[i] = effects[i].Load(audio, (folder + "/" + EFFECT_FILES[i]).c_str());
        const std::string tune = folder + "/tune.ogg";
        musicResult = music.Open(audio, tune.c_str());
        if (musicResult == 0) tuneCopy.Load(audio, tune.c_str());
    }

    void Frame(TarnGame& g) {
        const TarnInput& input = g.Input();
        const DWORD now = timeGetTime();
        // The mouse's x from the left edge to the right is a pan from -256 to 256.
        const int pan = std::clamp((int(input.mouseX) - WIDTH / 2) * 256 / (WIDTH / 2), -256, 256);
        for (int i = 0; i < 3; ++i)
            if (g.Pressed('1' + i) || g.Pressed(KEY_MOUSE_BUTTON_0 + i)) Start(i, pan, now);
        if (g.Pressed('m')) ToggleMusic();
        if (g.Pressed(KEY_CODE_UP) || g.Pressed(KEY_CODE_DOWN)) {
            const int step = g.Pressed(KEY_CODE_UP) ? 32 : -32;
            g.Audio().SetMasterVolume(std::clamp(g.Audio().MasterVolume() + step, 0, 256));
        }

        TarnSurface* back = g.Back();
        back->FillSolid(TarnColour(16, 20, 30));
        Mix(g, now);
        Trace(g, 40, "left", 0);
        Trace(g, 190, "right", 1);
        Meter(g, 0);
        Meter(g, 1);
        Status(g, pan);
    }

private:
    struct Started {
        const TarnSound* sound;
        DWORD when; // timeGetTime at Play
        int volume, pan;
    };

    // Plays effect `i` panned by `pan` and remembers it for the picture.
    void Start(int i, int pan, DWORD now) {
        if (effects[i].Play(SOUND_VOLUME_MAX, pan) < 0) return;
        started.push_back({&effects[i], now, SOUND_VOLUME_MAX, pan});
    }

    // M: a silent or fading-out tune fades in (starting it first when it is not playing), a
    // playing one fades out; Update stops nothing, so a faded-out tune plays on, silent.
    void ToggleMusic() {
        if (musicResult != 0) return;
        if (!music.IsPlaying()) {
            music.SetVolume(0);
            music.Play(TARN_SOUND_LOOP);
            musicUp = false;
        }
        musicUp = !musicUp;
        music.FadeTo(musicUp ? SOUND_VOLUME_MAX : 0, FADE_MS);
    }

    // The last SHOWN frames of the mix up to `now`, into mixed[] (left, right, -1 .. 1 each).
    void Mix(TarnGame& g, DWORD now) {
        std::fill(std::begin(mixed), std::end(mixed), 0.0f);
        // A played effect counts until its end is out of the picture.
        started.erase(std::remove_if(started.begin(), started.end(),
                                     [&](const Started& s) {
                                         const double length = double(s.sound->samples.size()) /
                                                               s.sound->channels / s.sound->rate;
                                         return now - s.when > DWORD(length * 1000) + 100;
                                     }),
                      started.end());
        const double nowFrame = double(now) * RATE / 1000;
        for (const Started& s : started)
            Add(*s.sound, nowFrame - double(s.when) * RATE / 1000, s.volume, s.pan);
        if (music.IsPlaying() && tuneCopy.rate > 0)
            Add(tuneCopy, double(music.Position()) * RATE / 1000, music.Volume(), 0);
        const float master = float(g.Audio().MasterVolume()) / 256;
        for (float& sample : mixed) sample = std::clamp(sample * master, -1.0f, 1.0f);
    }

    // Adds `sound` played `elapsed` mix frames ago (its last frame heard is the window's last)
    // at `volume` and `pan`, resampled to the mix's rate by taking the nearest frame.
    void Add(const TarnSound& sound, double elapsed, int volume, int pan) {
        const size_t frames = sound.samples.size() / size_t(sound.channels);
        const float gain = float(volume) / 256 / 32768;
        const float left = gain * float(pan > 0 ? 256 - pan : 256) / 256;
        const float right = gain * float(pan < 0 ? 256 + pan : 256) / 256;
        for (int j = 0; j < SHOWN; ++j) {
            const double at = (elapsed - SHOWN + j) * sound.rate / RATE;
            if (at < 0 || at >= double(frames)) continue;
            const int16_t* frame = &sound.samples[size_t(at) * size_t(sound.channels)];
            mixed[2 * j] += left * frame[0];
            mixed[2 * j + 1] += right * frame[sound.channels - 1];
        }
    }

    // One side's waveform in a band 140 pixels high from `top`.
    void Trace(TarnGame& g, int top, const char* name, int side) {
        TarnSurface* back = g.Back();
        RECT band = {20, top, WIDTH - 80, top + 140};
        back->DrawRect(&band, TarnColour(60, 70, 100));
        const int middle = top + 70, width = band.right - band.left - 2;
        back->DrawLine(band.left + 1, middle, band.right - 2, middle, TarnColour(40, 48, 70));
        const TarnColour colour = side == 0 ? TarnColour(120, 200, 255) : TarnColour(255, 170, 110);
        int lastY = middle;
        for (int x = 0; x < width; ++x) {
            const float sample = mixed[2 * (x * SHOWN / width) + side];
            const int y = middle - int(sample * 68);
            if (x > 0) back->DrawLine(band.left + x, lastY, band.left + 1 + x, y, colour);
            lastY = y;
        }
        g.Print(band.left + 6, top + 4, GREY, "%s", name);
    }

    // The peak of one side in the picture, as a bar on the right beside its trace.
    void Meter(TarnGame& g, int side) {
        TarnSurface* back = g.Back();
        float peak = 0;
        for (int j = 0; j < SHOWN; ++j) peak = std::max(peak, std::fabs(mixed[2 * j + side]));
        const int top = side == 0 ? 40 : 190;
        RECT frame = {WIDTH - 64, top, WIDTH - 24, top + 140};
        back->DrawRect(&frame, TarnColour(60, 70, 100));
        const int height = int(peak * 136);
        RECT bar = {frame.left + 2, frame.bottom - 2 - height, frame.right - 2, frame.bottom - 2};
        const TarnColour colour = peak > 0.9f ? TarnColour(255, 90, 80) : TarnColour(120, 230, 120);
        if (height > 0) back->FillRect(&bar, colour);
    }

    // What is loaded and playing, the pan under the mouse and the keys.
    void Status(TarnGame& g, int pan) {
        TarnSurface* back = g.Back();
        const int x = (pan + 256) * (WIDTH - 40) / 512 + 20;
        back->DrawLine(20, 352, WIDTH - 21, 352, TarnColour(60, 70, 100));
        back->FillCircle(x, 352, 5, TarnColour(255, 235, 90));
        g.Print(20, 336, GREY, "left");
        g.Print(WIDTH - 56, 336, GREY, "right");
        g.Print(WIDTH / 2 - 28, 362, WHITE, "pan %d", pan);

        if (!g.Audio().IsReady()) {
            g.Print(20, 384, TarnColour(255, 130, 90), "no sound device: the example is silent");
        } else {
            for (int i = 0; i < 3; ++i)
                g.Print(20 + i * 150, 384, effectResults[i] == 0 ? WHITE : TarnColour(255, 130, 90),
                        "%d: %s%s", i + 1, EFFECT_FILES[i],
                        effectResults[i] == 0 ? (effects[i].IsPlaying() ? " *" : "") : " missing");
            if (musicResult != 0)
                g.Print(20, 404, TarnColour(255, 130, 90), "M: tune.ogg missing");
            else
                g.Print(20, 404, WHITE, "M: tune.ogg %s, %.1f s, volume %d", MusicState(),
                        music.Position() / 1000.0, music.Volume());
            g.Print(400, 404, WHITE, "master volume %d", g.Audio().MasterVolume());
        }
        g.Print(20, HEIGHT - 24, GREY, "1 2 3 / mouse: effect   M: music   Up/Down: volume   Esc");
    }

    // What the music is doing, in a word.
    const char* MusicState() const {
        if (!music.IsPlaying()) return "stopped";
        if (musicUp) return music.Volume() < SOUND_VOLUME_MAX ? "fading in" : "playing";
        return music.Volume() > 0 ? "fading out" : "silent";
    }

    TarnSound effects[3];
    int effectResults[3] = {SOUND_NOT_LOADED, SOUND_NOT_LOADED, SOUND_NOT_LOADED};
    TarnMusic music;
    TarnSound tuneCopy; // the tune decoded whole, only to draw it
    int musicResult = SOUND_NOT_LOADED;
    bool musicUp = false;
    std::vector<Started> started;
    float mixed[2 * SHOWN] = {};
};

int main(int argc, char** argv) {
    TarnGame game("Tarn: sound", argc, argv);
    if (game.Open() != 0) return 1;
    SoundExample program; // after the game: its sounds go before the game's device closes
    program.Load(game, game.Argument(0, "sounds"));
    return game.Run([&](TarnGame& g) { program.Frame(g); });
}
