/// @file
/// TarnGame: the frame of a Tarn program in one object. It opens the window (or the full screen
/// with `--fullscreen`), makes the screen and the input on it, runs the message loop and calls
/// the program once per frame with the input read and the seconds since the last frame. F11 and
/// Alt+Enter switch between window and full screen; Escape or closing the window ends the
/// program; Run returns the exit code. While the program is in the background it sleeps in the
/// message queue and draws nothing.
///
/// The surfaces the program makes through the game (LoadPicture, CreateSurface), its sprite
/// sheets (LoadSheet) and its maps (LoadMap) belong to the game and keep their addresses for the
/// program's whole life: a switch between window and full screen makes them again on the new
/// screen, and after a display loss they are restored.
/// Pictures come back by themselves; what the program drew itself is drawn again by the one
/// callback it gives to OnRedraw, which also runs once before the first frame.
///
/// The Windows-shaped layer stays underneath for programs that want their own message loop:
/// Screen(), Back(), Input() and Window() are the TarnScreen, back buffer, TarnInput and window
/// of the moment.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "display/TarnScreen.h"
#include "input/TarnInput.h"
#include "map/TarnMap.h"
#include "sound/TarnAudio.h"
#include "surface/TarnAnimation.h"
#include "surface/TarnSpriteSheet.h"
#include "surface/TarnSurface.h"
#include "text/TarnFont.h"

class TarnGameResource;

/// A window or full screen with a screen, input and a frame loop, and the program's surfaces.
/// One per program.
class TarnGame {
public:
    /// What the game calls: once per frame, per fixed step, or to redraw surfaces.
    using Callback = std::function<void(TarnGame&)>;

    // Settings, read by Open (changing them later has no effect until a switch).
    std::string title; ///< the window's title, and the name in error messages
    int width = 640;   ///< the frame's width in pixels, windowed and full screen
    int height = 480;  ///< the frame's height in pixels
    /// Bits per pixel of the full screen (F11, `--fullscreen`); 0 keeps the window's (the
    /// desktop's) depth, so the colours stay as they are. At 16 bits each colour is cut to
    /// 5-6-5 bits: (12, 14, 32) shows as (8, 12, 33).
    int fullScreenDepth = 0;
    bool fullScreen = false; ///< open in full screen; `--fullscreen` on the command line sets it
    std::vector<std::string> arguments; ///< the command line's words but `--fullscreen`
    std::string programFolder;          ///< the folder of the program (from `argv[0]`), for Asset

    // Time, in seconds, from the host's millisecond clock.
    double seconds = 0; ///< this frame's length (or, in a fixed-step update, the step's)
    double time = 0; ///< seconds played since Run began: the frames' seconds, this one's included
                     ///< (with a fixed step: the steps run, this one included)
    double maxSeconds = 0.1; ///< the longest a frame counts (after a pause, a stall, a switch)
    int stepsPerSecond = 60; ///< the rate of the update in Run(update, draw)
    double stepFraction = 0; ///< in the draw of Run(update, draw): the part of a step not run yet

    /// A game titled `title` with the arguments of `main` (`argv[0]` is skipped); `--fullscreen`
    /// among them sets fullScreen, the others go to arguments. Nothing is opened yet.
    explicit TarnGame(const char* title = "Tarn", int argc = 0, char** argv = nullptr);
    /// The same with WinMain's command line: words split at blanks, a quoted word kept whole.
    TarnGame(const char* title, const char* commandLine);
    /// Deletes the game's surfaces, the input, the screen and the window.
    virtual ~TarnGame();
    TarnGame(const TarnGame&) = delete;
    TarnGame& operator=(const TarnGame&) = delete;

    /// Opens the window, the screen and the input with the settings. LoadPicture,
    /// CreateSurface and Run call it when it was not called; a second call does nothing.
    /// 0 on success; -1 when the window or the screen cannot be made (said on standard error
    /// and to the debugger; Run then returns 1).
    int Open();

    /// Loads a picture file (BMP, TGA, PCX, PSD, JPEG, PNG) into a surface the game owns.
    /// Without `result`, a picture that does not load is an error of the program: it is said on
    /// standard error and to the debugger, and Run returns 1 at once. With `result`, the
    /// program handles it: *result is TarnSurface::Create's result (1 loaded) and nothing is
    /// said. Null when the picture did not load.
    TarnSurface* LoadPicture(const char* fileName, int* result = nullptr);
    /// A blank surface of width x height the game owns, for the program to draw into (best in
    /// the OnRedraw callback, since a display loss takes its pixels). Failure is handled as in
    /// LoadPicture; null when it could not be made.
    TarnSurface* CreateSurface(int width, int height, int* result = nullptr);
    /// Deletes a surface the game made; any other pointer is left alone.
    void DeleteSurface(TarnSurface* surface);
    /// Loads a picture as LoadPicture does and cuts it into frameWidth x frameHeight frames as
    /// TarnSpriteSheet::CutGrid does (`count` 0: every whole frame). The sheet and its picture
    /// (Picture()) belong to the game and are kept across switches and display losses; a colour
    /// key or alpha plane set on the picture is kept too. Failure is handled as in LoadPicture:
    /// *result is the picture's load result, or -1 when it loaded but the grid does not fit it.
    /// Null on failure.
    TarnSpriteSheet* LoadSheet(const char* fileName, int frameWidth, int frameHeight,
                               int spacing = 0, int margin = 0, int count = 0,
                               int* result = nullptr);
    /// Deletes a sheet the game made, with its picture; any other pointer is left alone.
    void DeleteSheet(TarnSpriteSheet* sheet);
    /// Loads a Tiled map (looked up as Asset does) with its tilesets' pictures on the game's
    /// screen. The map belongs to the game: its pictures are made again after a switch and
    /// restored after a display loss. Without `result`, a map that does not load is an error of
    /// the program (TarnMap::Error() said on standard error and to the debugger; Run returns 1);
    /// with it, *result is MAP_OK or the failed call's TarnMapResult and nothing is said. Null
    /// on failure.
    TarnMap* LoadMap(const char* fileName, int* result = nullptr);
    /// Deletes a map the game made; any other pointer is left alone.
    void DeleteMap(TarnMap* map);
    /// The one place where the program draws its own surfaces (and sets what belongs to the
    /// screen, such as an 8-bit palette): called before the first frame, after every switch
    /// between window and full screen and after every display loss, once the surfaces exist
    /// again.
    void OnRedraw(Callback redraw);

    /// Runs the game: each frame the input is read, `frame` draws into Back(), and the frame is
    /// shown. Returns the exit code: 0 after Escape or the window's closing, Quit's code, or 1
    /// when the game could not open or a picture or surface did not load.
    int Run(Callback frame);
    /// Runs the game with a fixed-step update: `update` runs stepsPerSecond times a second of
    /// the clock (seconds is then the step), however fast frames are drawn, each time with the
    /// input read anew; `draw` draws each frame. Returns as Run(frame).
    int Run(Callback update, Callback draw);
    /// Ends the game once the current frame is done; Run returns `exitCode`.
    void Quit(int exitCode = 0);
    /// Switches from the next frame on: 0 to the window, else to full screen at `depth` bits.
    /// A mode the display refuses leaves the game where it was.
    void SwitchTo(int depth);
    /// True while the game shows the full screen.
    bool IsFullScreen() const { return depth != 0; }

    /// The screen of the moment (null before Open); it changes with a switch.
    TarnScreen* Screen() { return screen; }
    /// The back buffer of the moment, to draw the frame into (null before Open).
    TarnSurface* Back() { return screen ? screen->GetBack() : nullptr; }
    /// The input of the moment, read once per frame (once per step with a fixed step).
    TarnInput& Input() { return *input; }
    /// The window of the moment (null before Open).
    HWND Window() { return window; }
    /// The game's sound device, opened by Open with the window and kept across switches;
    /// the game updates it every frame and closes it when it ends. Load effects and music on
    /// it: `sound.Load(&game.Audio(), "boom.wav")`. Without a device (none present, refused)
    /// it stays closed, said once on the debugger output; what is made on it then answers
    /// SOUND_NO_DEVICE and the game goes on silent.
    TarnAudio& Audio() { return audio; }
    /// True when `key` (a TarnInput key code, KEY_CODE_...) went down at this frame's read. A
    /// letter may be given in either case: 'A' and 'a' are both the A key.
    bool Pressed(DWORD key) const;
    /// True when `key` is down: pressed at this read or held since an earlier one. Letters as
    /// in Pressed.
    bool Held(DWORD key) const;
    /// An axis of the keys and a pad, -1 .. 1: -1 while a key of `negative` is down, 1 while
    /// one of `positive` is (0 with both), plus the pad's `padAxis` (PAD_AXIS_LEFT_X ...
    /// PAD_AXIS_DPAD_Y, or PAD_AXIS_NONE) of pad `pad`, the sum kept within -1 .. 1. A stick
    /// reads 0 inside its dead zone. For a paddle:
    /// `g.Axis({KEY_CODE_LEFT, KEY_CODE_A}, {KEY_CODE_RIGHT, KEY_CODE_D}, PAD_AXIS_LEFT_X)`.
    double Axis(std::initializer_list<DWORD> negative, std::initializer_list<DWORD> positive,
                int padAxis = PAD_AXIS_NONE, int pad = 0) const;
    /// A button made of keys and pad buttons (PAD_A ...) of pad `pad`: true while any of
    /// them is down. `g.ButtonHeld({KEY_CODE_SPACE, KEY_CODE_W}, {PAD_A})`.
    bool ButtonHeld(std::initializer_list<DWORD> keys, std::initializer_list<int> padButtons = {},
                    int pad = 0) const;
    /// True at the read where the button went down: one of its keys or pad buttons was
    /// pressed and none of them was held from before.
    bool ButtonPressed(std::initializer_list<DWORD> keys,
                       std::initializer_list<int> padButtons = {}, int pad = 0) const;
    /// Where the program's file `name` is: the name itself when it opens from the working
    /// folder (in a web page: among the page's files), else the same name in the program's
    /// folder, else in the install's data folder beside it (`../share/PROGRAM/`, PROGRAM the
    /// program's file name). The name as given when none has it, so that the error that
    /// follows names it. LoadPicture looks its pictures up this way; load sounds with it:
    /// `sound.Load(&g.Audio(), g.Asset("boom.wav"))`. The text stays valid until the next call.
    const char* Asset(const char* name);
    /// The `index`-th of arguments, or `otherwise` when there are fewer.
    const char* Argument(size_t index, const char* otherwise = nullptr) const;
    /// Writes printf-style text (at most 255 bytes of it) at (x, y), the top left of its cell,
    /// on the back buffer in `colour`: through GDI's TextOut in the system font, or with the
    /// print font when one is set (SetPrintFont), UTF-8 and anti-aliased. 0, or -1 without a
    /// back buffer or its device context, or the font's FONT_* error.
    int Print(int x, int y, COLORREF colour, const char* format, ...);
    /// As Print in a typed colour: with GDI its red, green and blue; with the print font its
    /// alpha too, as TarnFont::Draw takes it.
    int Print(int x, int y, TarnColour colour, const char* format, ...);
    /// Print draws with `font` from now on (the program's: it stays the program's and must
    /// outlive its use); null goes back to GDI's system font.
    void SetPrintFont(TarnFont* font);
    /// Print draws with the game's own font: the default face `face` (TARN_FONT_SANS,
    /// TARN_FONT_BOLD, TARN_FONT_MONO) at `pixelSize` (6 to 256). 0, or the font's FONT_* error
    /// (Print then keeps what it drew with before).
    int SetPrintFont(int pixelSize, int face = TARN_FONT_SANS);
    /// The font Print draws with, or null for GDI's.
    TarnFont* PrintFont() { return printFont; }

private:
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    TarnScreen* screen = nullptr;
    TarnInput* input = nullptr;
    TarnAudio audio;
    std::vector<std::unique_ptr<TarnGameResource>> resources; // every one on the screen
    Callback redraw;
    TarnFont* printFont = nullptr;     // Print's font; null: GDI
    std::unique_ptr<TarnFont> ownFont; // the one SetPrintFont(size, face) opened
    int depth = 0;                     // 0 windowed, else the full screen's bits per pixel
    int wanted = -1;                   // a switch asked for: -1 none, 0 window, else a depth
    bool opened = false;               // Open was called and succeeded
    bool failed = false;               // the game cannot run: Run returns 1
    bool active = true;                // the program has the foreground
    bool altDown = false;              // an Alt key is down, for Alt+Enter
    bool registered = false;           // the window class exists
    bool restore = false;              // the display may have gone while in the background
    DWORD lastTime = 0;                // the clock at the last frame
    long long stepCredit = 0;          // unrun update time, in milliseconds x stepsPerSecond
    long long playedMs = 0;            // every frame's milliseconds (time, without rounding sums)
    long long stepsRun = 0;            // fixed steps run at stepRate (time with a fixed step)
    int stepRate = 0;                  // the rate those steps ran at; 0 before the first
    double stepBase = 0;               // seconds played at earlier rates

    friend LRESULT CALLBACK TarnGameWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    int OpenFrame();
    void CloseFrame();
    bool Switch();
    bool DisplayCameBack();
    void Restore();
    TarnSurface* Keep(TarnSurface* made, int result, int* out, bool picture, const char* name);
    void Say(const char* what, const char* name, int code);
    int Loop(const Callback* update, const Callback& draw);
    int FullScreenBits() const;
    int PrintText(int x, int y, TarnColour colour, const char* format, va_list args);
    void Forget(const void* handle);
    std::string programName; // the program's file name (from `argv[0]`), for Asset
    std::string assetPath;   // Asset's answer
    void Advance(const Callback* update, const Callback& draw);
    // The sound: opened with the first window (later windows take it over), updated once a
    // frame, closed before the last window goes.
    void OpenSound();
    void UpdateSound() { audio.Update(); }
    void CloseSound() { audio.Release(); }
};
