// TarnGame: the window, the screen, the input and the frame loop of a program, with the surfaces
// it made through the game. A switch between window and full screen makes a new window, screen
// and input (a new depth needs surfaces in the new format), so the game's surfaces are taken
// apart before and made again after, at the same addresses; a display loss only restores them.
// Either way the program's redraw callback runs once they exist again.
#include "game/TarnGame.h"
#include "game/internal/TarnGameSurfaces.h"

#include <mmsystem.h>

#include <cstdarg>
#include <cstdio>

namespace {

const char* const WINDOW_CLASS = "TarnGame";

// The game whose window is open; the window procedure hands its messages to it.
TarnGame* g_game = nullptr;

} // namespace

LRESULT CALLBACK TarnGameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_game != nullptr) return g_game->HandleMessage(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

TarnGame::TarnGame(const char* title, int argc, char** argv)
    : title(title ? title : ""), instance(GetModuleHandleA(nullptr)), input(new TarnInput) {
    if (argc > 0 && argv != nullptr && argv[0] != nullptr) {
        const std::string program = argv[0];
        const size_t slash = program.find_last_of("/\\");
        if (slash != std::string::npos) programFolder = program.substr(0, slash + 1);
        programName = slash == std::string::npos ? program : program.substr(slash + 1);
        if (programName.size() > 4 && programName.compare(programName.size() - 4, 4, ".exe") == 0)
            programName.resize(programName.size() - 4);
    }
    for (int i = 1; i < argc && argv != nullptr; ++i) {
        if (argv[i] == nullptr) continue;
        const std::string word = argv[i];
        if (word == "--fullscreen")
            fullScreen = true;
        else if ((word == "--record" || word == "--replay" || word == "--dump" ||
                  word == "--from" || word == "--to") &&
                 i + 1 < argc)
            ++i; // the recorder's flag and its value, read by the platform
        else
            arguments.push_back(argv[i]);
    }
}

// Splits as the examples always did: blanks between words, double quotes keep a word whole
// (and "" is an empty word).
TarnGame::TarnGame(const char* title, const char* commandLine) : TarnGame(title) {
    std::string word;
    bool quoted = false, any = false;
    for (const char* c = commandLine ? commandLine : "";; ++c) {
        if (*c == '"') {
            quoted = !quoted;
            any = true;
        } else if (*c != '\0' && (quoted || (*c != ' ' && *c != '\t'))) {
            word += *c;
            any = true;
        } else if (any) {
            if (word == "--fullscreen")
                fullScreen = true;
            else
                arguments.push_back(word);
            word.clear();
            any = false;
        }
        if (*c == '\0') break;
    }
}

TarnGame::~TarnGame() {
    CloseSound();
    CloseFrame();
    resources.clear(); // apart from the screen already
    delete input;
    if (registered) UnregisterClassA(WINDOW_CLASS, instance);
    if (g_game == this) g_game = nullptr;
}

void TarnGame::Say(const char* what, const char* name, int code) {
    char text[512];
    if (name != nullptr)
        std::snprintf(text, sizeof(text), "%s: %s \"%s\" (%d)\n", title.c_str(), what, name, code);
    else
        std::snprintf(text, sizeof(text), "%s: %s (%d)\n", title.c_str(), what, code);
    std::fputs(text, stderr);
    OutputDebugStringA(text);
}

// A --fullscreen the display refuses falls back to the window, as a refused switch does.
int TarnGame::Open() {
    if (opened) return 0;
    if (failed) return -1;
    if (g_game != nullptr && g_game != this) {
        Say("another game is open", nullptr, -1);
        failed = true;
        return -1;
    }
    g_game = this;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TarnGameWindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = WINDOW_CLASS;
        registered = RegisterClassA(&wc) != 0;
    }
    depth = fullScreen ? FullScreenBits() : 0;
    bool open = OpenFrame() == 0;
    if (!open && depth != 0) {
        CloseFrame();
        depth = 0;
        open = OpenFrame() == 0;
    }
    if (!open) CloseFrame();
    opened = open;
    failed = !open;
    return open ? 0 : -1;
}

// Window, screen and input, windowed or full screen at `depth`, and the game's surfaces on the
// new screen. 0, or -1 with the reason said.
int TarnGame::OpenFrame() {
    const DWORD style = depth ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    RECT r = {0, 0, width, height};
    if (depth)
        r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    else
        AdjustWindowRect(&r, style, FALSE);
    window =
        CreateWindowExA(depth ? WS_EX_TOPMOST : 0, WINDOW_CLASS, title.c_str(), style, 0, 0,
                        r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        Say("no window", nullptr, int(GetLastError()));
        return -1;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    screen = new TarnScreen;
    const int result = depth ? screen->CreateFullScreen(window, width, height, depth, 0)
                             : screen->CreateWindowed(window, width, height);
    if (result != 0) {
        Say(depth ? "no full screen" : "no screen", nullptr, result);
        return -1;
    }
    screen->GetBack()->FillSolid(0);
    input->Create(instance, window);
    input->mouseMinX = input->mouseMinY = 0;
    input->mouseMaxX = width;
    input->mouseMaxY = height;
    input->mouseX = width / 2;
    input->mouseY = height / 2;
    OpenSound();
    active = true; // a new window has the foreground
    restore = false;
    altDown = false;
    for (auto& resource : resources) {
        const int made = resource->Remake(screen);
        if (made != 1) {
            Say(resource->What(), resource->Name(), made);
            return -1;
        }
    }
    return 0;
}

// The first window opens the sound device; a later one (after a switch) takes it over, so what
// the program loaded keeps playing. A game without a device goes on silent.
void TarnGame::OpenSound() {
    if (audio.IsReady())
        audio.SetWindow(window);
    else
        audio.Create(window);
}

// Everything of the window, the game's resources only taken apart: they are made again by the
// next OpenFrame or deleted by the destructor.
void TarnGame::CloseFrame() {
    for (auto& resource : resources) resource->Detach();
    delete input;
    input = new TarnInput;
    if (screen != nullptr && screen->IsFullScreen()) delete screen->GetBack();
    delete screen;
    screen = nullptr;
    if (window != nullptr) DestroyWindow(window);
    window = nullptr;
}

TarnSurface* TarnGame::LoadPicture(const char* fileName, int* result) {
    if (result) *result = -1;
    if (Open() != 0) return nullptr;
    TarnSurface* s = new TarnSurface;
    const char* found = Asset(fileName);
    return Keep(s, s->Create(screen, found, 2), result, true, fileName ? fileName : "");
}

TarnSurface* TarnGame::CreateSurface(int w, int h, int* result) {
    if (result) *result = -1;
    if (Open() != 0) return nullptr;
    TarnSurface* s = new TarnSurface;
    return Keep(s, s->CreateBlank(screen, w, h, 2), result, false, nullptr);
}

// A surface just made joins the resources; one that failed is an error of the program unless
// the program asked for the result itself.
TarnSurface* TarnGame::Keep(TarnSurface* made, int result, int* out, bool picture,
                            const char* name) {
    if (out) *out = result;
    if (result != 1) {
        delete made;
        if (out == nullptr) {
            Say(picture ? "cannot load the picture" : "cannot make a surface", name, result);
            failed = true;
        }
        return nullptr;
    }
    resources.push_back(picture ? TarnGamePicture(made) : TarnGameBlankSurface(made));
    return made;
}

void TarnGame::DeleteSurface(TarnSurface* surface) {
    Forget(surface);
}

// The resource of `handle`, if the game has one, goes with what it holds.
void TarnGame::Forget(const void* handle) {
    if (handle == nullptr) return;
    for (auto i = resources.begin(); i != resources.end(); ++i)
        if ((*i)->Handle() == handle) {
            resources.erase(i); // the resource deletes the surface, sheet or map
            return;
        }
}

// The picture joins the game as LoadPicture's do, inside the sheet's resource, so that it goes
// with the sheet.
TarnSpriteSheet* TarnGame::LoadSheet(const char* fileName, int frameWidth, int frameHeight,
                                     int spacing, int margin, int count, int* result) {
    if (result) *result = -1;
    if (Open() != 0) return nullptr;
    const char* name = fileName ? fileName : "";
    TarnSurface* s = new TarnSurface;
    const int loaded = s->Create(screen, Asset(fileName), 2);
    if (result) *result = loaded;
    if (loaded != 1) {
        delete s;
        if (result == nullptr) {
            Say("cannot load the picture", name, loaded);
            failed = true;
        }
        return nullptr;
    }
    std::unique_ptr<TarnGameResource> picture = TarnGamePicture(s); // deletes s
    TarnSpriteSheet* sheet = new TarnSpriteSheet;
    sheet->SetPicture(s);
    if (sheet->CutGrid(frameWidth, frameHeight, spacing, margin, count) < 0) {
        delete sheet;
        if (result) {
            *result = -1;
        } else {
            Say("the frames do not fit the picture", name, -1);
            failed = true;
        }
        return nullptr;
    }
    resources.push_back(TarnGameSheet(sheet, std::move(picture)));
    return sheet;
}

void TarnGame::DeleteSheet(TarnSpriteSheet* sheet) {
    Forget(sheet);
}

TarnMap* TarnGame::LoadMap(const char* fileName, int* result) {
    if (result) *result = MAP_ERR_STATE;
    if (Open() != 0) return nullptr;
    TarnMap* map = new TarnMap;
    int loaded = fileName ? map->Load(Asset(fileName)) : MAP_ERR_STATE;
    if (loaded == MAP_OK) loaded = map->LoadPictures(screen, 2);
    if (result) *result = loaded;
    if (loaded != MAP_OK) {
        if (result == nullptr) {
            Say(fileName ? map->Error() : "cannot load a map without a name", nullptr, loaded);
            failed = true;
        }
        delete map;
        return nullptr;
    }
    resources.push_back(TarnGameMap(map, fileName, 2));
    return map;
}

void TarnGame::DeleteMap(TarnMap* map) {
    Forget(map);
}

void TarnGame::OnRedraw(Callback callback) {
    redraw = std::move(callback);
}

void TarnGame::Quit(int exitCode) {
    PostQuitMessage(exitCode);
}

void TarnGame::SwitchTo(int bits) {
    wanted = bits < 0 ? 0 : bits;
}

// Letters are their lower-case character among the key codes; an upper-case one means the same.
static DWORD KeyCode(DWORD key) {
    return key >= 'A' && key <= 'Z' ? key - 'A' + 'a' : key;
}

bool TarnGame::Pressed(DWORD key) const {
    key = KeyCode(key);
    return key < KEY_CODE_COUNT && input->keyState[key] == KEY_PRESSED;
}

bool TarnGame::Held(DWORD key) const {
    key = KeyCode(key);
    return key < KEY_CODE_COUNT &&
           (input->keyState[key] == KEY_PRESSED || input->keyState[key] == KEY_HELD);
}

double TarnGame::Axis(std::initializer_list<DWORD> negative, std::initializer_list<DWORD> positive,
                      int padAxis, int pad) const {
    double value = 0;
    for (DWORD key : negative)
        if (Held(key)) {
            value -= 1;
            break;
        }
    for (DWORD key : positive)
        if (Held(key)) {
            value += 1;
            break;
        }
    if (padAxis >= PAD_AXIS_LEFT_X && padAxis <= PAD_AXIS_RIGHT_Y) {
        int x = 0, y = 0;
        input->GetPadStick(pad, padAxis < PAD_AXIS_RIGHT_X ? PAD_STICK_LEFT : PAD_STICK_RIGHT, &x,
                           &y);
        value += ((padAxis == PAD_AXIS_LEFT_X || padAxis == PAD_AXIS_RIGHT_X) ? x : y) / 32767.0;
    } else if (padAxis == PAD_AXIS_DPAD_X || padAxis == PAD_AXIS_DPAD_Y) {
        const bool across = padAxis == PAD_AXIS_DPAD_X;
        auto down = [&](int button) {
            const BYTE state = input->GetPadButtonState(pad, button);
            return state == KEY_PRESSED || state == KEY_HELD;
        };
        value -= down(across ? PAD_LEFT : PAD_UP) ? 1 : 0;
        value += down(across ? PAD_RIGHT : PAD_DOWN) ? 1 : 0;
    }
    return value < -1 ? -1 : value > 1 ? 1 : value;
}

bool TarnGame::ButtonHeld(std::initializer_list<DWORD> keys, std::initializer_list<int> padButtons,
                          int pad) const {
    for (DWORD key : keys)
        if (Held(key)) return true;
    for (int button : padButtons) {
        const BYTE state = input->GetPadButtonState(pad, button);
        if (state == KEY_PRESSED || state == KEY_HELD) return true;
    }
    return false;
}

// A second source going down while the first is held is no new press of the button.
bool TarnGame::ButtonPressed(std::initializer_list<DWORD> keys,
                             std::initializer_list<int> padButtons, int pad) const {
    bool pressed = false;
    for (DWORD key : keys) {
        key = KeyCode(key);
        const BYTE state = key < KEY_CODE_COUNT ? input->keyState[key] : KEY_UP;
        if (state == KEY_HELD) return false;
        pressed = pressed || state == KEY_PRESSED;
    }
    for (int button : padButtons) {
        const BYTE state = input->GetPadButtonState(pad, button);
        if (state == KEY_HELD) return false;
        pressed = pressed || state == KEY_PRESSED;
    }
    return pressed;
}

// The first place whose file opens for reading.
const char* TarnGame::Asset(const char* name) {
    if (name == nullptr) return nullptr;
    const std::string given = name;
    const bool absolute = !given.empty() && (given[0] == '/' || given[0] == '\\' ||
                                             (given.size() > 1 && given[1] == ':'));
    const std::string places[] = {
        "",
        absolute ? std::string() : programFolder,
        absolute || programName.empty() ? std::string()
                                        : programFolder + "../share/" + programName + "/",
    };
    for (const std::string& place : places) {
        if (&place != &places[0] && place.empty()) continue;
        assetPath = place + given;
        if (FILE* f = std::fopen(assetPath.c_str(), "rb")) {
            std::fclose(f);
            return assetPath.c_str();
        }
    }
    assetPath = given;
    return assetPath.c_str();
}

// The full screen's depth: the one asked for, else the display's, which the window has.
int TarnGame::FullScreenBits() const {
    if (fullScreenDepth > 0) return fullScreenDepth;
    HDC desktop = CreateCompatibleDC(nullptr); // a memory context takes the display's format
    const int bits = desktop ? GetDeviceCaps(desktop, BITSPIXEL) : 0;
    if (desktop) DeleteDC(desktop);
    return bits == 8 || bits == 16 || bits == 24 || bits == 32 ? bits : 32;
}

const char* TarnGame::Argument(size_t index, const char* otherwise) const {
    return index < arguments.size() ? arguments[index].c_str() : otherwise;
}

int TarnGame::Print(int x, int y, COLORREF colour, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = PrintText(x, y, TarnColour::FromCOLORREF(colour), format, args);
    va_end(args);
    return result;
}

int TarnGame::Print(int x, int y, TarnColour colour, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = PrintText(x, y, colour, format, args);
    va_end(args);
    return result;
}

void TarnGame::SetPrintFont(TarnFont* font) {
    printFont = font;
}

// A font that does not open leaves Print as it was, the game's earlier font included.
int TarnGame::SetPrintFont(int pixelSize, int face) {
    auto font = std::make_unique<TarnFont>();
    const int result = font->OpenDefault(pixelSize, face);
    if (result != 0) return result;
    if (printFont == ownFont.get()) printFont = nullptr;
    ownFont = std::move(font);
    printFont = ownFont.get();
    return 0;
}

int TarnGame::PrintText(int x, int y, TarnColour colour, const char* format, va_list args) {
    TarnSurface* back = Back();
    if (back == nullptr || format == nullptr) return -1;
    char text[256];
    std::vsnprintf(text, sizeof(text), format, args);
    if (printFont != nullptr) return printFont->Draw(back, x, y, colour, text);
    if (back->GetDC() == nullptr) return -1;
    back->DrawString(x, y, colour.ToCOLORREF(), text);
    back->ReleaseDC();
    return 0;
}

// The frame's own keys, the foreground and the end; the rest goes to the system.
LRESULT TarnGame::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool repeat = (lParam & (LPARAM(1) << 30)) != 0;
    switch (message) {
    case WM_ACTIVATEAPP:
        active = wParam != 0;
        altDown = false;
        if (!active) {
            restore = true; // the display may go with the foreground
            // The game sleeps until it comes back, so the pads are read once now: out of the
            // foreground they go neutral and their motors stop.
            if (input != nullptr) input->UpdatePads();
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (wParam == VK_MENU) altDown = true;
        if (wParam == VK_ESCAPE) Quit(0);
        // Alt+Enter: Windows marks Alt in the message; the Alt key's own messages tell too.
        if (!repeat && (wParam == VK_F11 ||
                        (wParam == VK_RETURN && (altDown || (lParam & (LPARAM(1) << 29)) != 0)))) {
            SwitchTo(depth ? 0 : FullScreenBits());
            return 0;
        }
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (wParam == VK_MENU) altDown = false;
        break;
    case WM_SYSCHAR:
        if (wParam == '\r') return 0; // Alt+Enter was ours: no beep
        break;
    case WM_CLOSE:
        Quit(0);
        return 0;
    case WM_SETCURSOR:
        if (depth) { // no pointer over a full-screen frame
            SetCursor(nullptr);
            return TRUE;
        }
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A switch the display refuses goes back to where the game was; false when not even that opens.
bool TarnGame::Switch() {
    const int previous = depth;
    CloseFrame();
    depth = wanted;
    wanted = -1;
    bool open = OpenFrame() == 0;
    if (!open && depth != previous) {
        CloseFrame();
        depth = previous;
        open = OpenFrame() == 0;
    } else if (open && depth != 0 && depth != FullScreenBits()) {
        fullScreenDepth = depth; // a depth the program asked for stays for later switches
    }
    if (!open) {
        CloseFrame();
        return false;
    }
    if (redraw) redraw(*this);
    return true;
}

// True once after the display was taken away and could be given back: the screen's buffers
// came back, and the surfaces lost their pixels (also without a change of the foreground).
bool TarnGame::DisplayCameBack() {
    TarnSurface* buffers[] = {screen->GetFront(), screen->GetBack()};
    bool lost = false;
    for (TarnSurface* buffer : buffers)
        lost = lost || (buffer && buffer->surface && buffer->surface->IsLost() != DD_OK);
    return lost && SUCCEEDED(screen->Restore());
}

// Gives the lost resources their memory back (a picture reloads its file as it is restored)
// and lets the program draw its own again.
void TarnGame::Restore() {
    restore = false;
    screen->Restore();
    for (auto& resource : resources) resource->Redraw();
    if (redraw) redraw(*this);
}

int TarnGame::Run(Callback frame) {
    return Loop(nullptr, frame);
}

int TarnGame::Run(Callback update, Callback draw) {
    return Loop(&update, draw);
}

// Pending messages always go first; then a switch asked for, sleep in the background, a
// restore after a display loss, or else one frame.
int TarnGame::Loop(const Callback* update, const Callback& draw) {
    if (Open() != 0 || failed) return 1;
    if (redraw) redraw(*this);
    seconds = time = stepFraction = 0;
    stepCredit = playedMs = stepsRun = 0;
    stepBase = 0;
    stepRate = 0;
    lastTime = timeGetTime();
    MSG msg = {};
    int exitCode = 0;
    while (!failed) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                exitCode = int(msg.wParam);
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (wanted >= 0) {
            failed = !Switch();
        } else if (!active) {
            WaitMessage();
        } else if (restore || DisplayCameBack()) {
            Restore();
        } else {
            Advance(update, draw);
        }
    }
    return failed ? 1 : exitCode;
}

// One frame: the clock, the input, the program's update and drawing, the sound, the flip. A
// frame counts at most maxSeconds, so a pause or a stall does not make the game jump.
void TarnGame::Advance(const Callback* update, const Callback& draw) {
    const DWORD now = timeGetTime();
    DWORD elapsed = now - lastTime;
    lastTime = now;
    const double longest = maxSeconds > 0 ? maxSeconds * 1000 : 0;
    if (elapsed > longest) elapsed = DWORD(longest);
    seconds = elapsed / 1000.0;
    if (update != nullptr && *update) {
        // Whole steps of the clock's milliseconds x steps per second: exact, no drift. A new
        // rate counts from the time played so far, with the unrun part of a step carried over.
        const int rate = stepsPerSecond > 0 ? stepsPerSecond : 1;
        if (rate != stepRate) {
            if (stepRate > 0) {
                stepBase += double(stepsRun) / stepRate;
                stepCredit = stepCredit * rate / stepRate;
            }
            stepsRun = 0;
            stepRate = rate;
        }
        stepCredit += (long long)elapsed * rate;
        const double frameSeconds = seconds;
        seconds = 1.0 / rate;
        while (stepCredit >= 1000) {
            stepCredit -= 1000;
            input->Update();
            time = stepBase + double(++stepsRun) / rate;
            (*update)(*this);
        }
        seconds = frameSeconds;
        stepFraction = stepCredit / 1000.0;
    } else {
        input->Update();
        playedMs += elapsed;
        time = playedMs / 1000.0;
    }
    if (draw) draw(*this);
    UpdateSound();
    screen->Flip(1, 1, 0);
}
