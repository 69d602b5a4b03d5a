// SDL2's game controllers as XInput's four slots. Each read first lets SDL2 look for devices
// that came or went: a controller that went frees its slot (its motors with it), a new one
// takes the lowest free slot and keeps it while it stays. SDL2's controller layout is XInput's
// own, so a pad's buttons and axes map one to one; only the sticks' y axes turn round (SDL2's
// grow downwards, XInput's upwards) and the triggers narrow to a byte. Rumble goes through
// SDL2, which limits one request's length: a motor kept running is asked again in time.
#include "host/SdlPads.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace tarn::platform {
namespace {

// SDL2's buttons and XInput's bits, one row per button.
struct ButtonMap {
    SDL_GameControllerButton sdl;
    uint16_t xinput;
};
const ButtonMap kButtons[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, 0x0001},       // XINPUT_GAMEPAD_DPAD_UP
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 0x0002},     // XINPUT_GAMEPAD_DPAD_DOWN
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0x0004},     // XINPUT_GAMEPAD_DPAD_LEFT
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0x0008},    // XINPUT_GAMEPAD_DPAD_RIGHT
    {SDL_CONTROLLER_BUTTON_START, 0x0010},         // XINPUT_GAMEPAD_START
    {SDL_CONTROLLER_BUTTON_BACK, 0x0020},          // XINPUT_GAMEPAD_BACK
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, 0x0040},     // XINPUT_GAMEPAD_LEFT_THUMB
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, 0x0080},    // XINPUT_GAMEPAD_RIGHT_THUMB
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 0x0100},  // XINPUT_GAMEPAD_LEFT_SHOULDER
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 0x0200}, // XINPUT_GAMEPAD_RIGHT_SHOULDER
    {SDL_CONTROLLER_BUTTON_A, 0x1000},             // XINPUT_GAMEPAD_A
    {SDL_CONTROLLER_BUTTON_B, 0x2000},             // XINPUT_GAMEPAD_B
    {SDL_CONTROLLER_BUTTON_X, 0x4000},             // XINPUT_GAMEPAD_X
    {SDL_CONTROLLER_BUTTON_Y, 0x8000},             // XINPUT_GAMEPAD_Y
};

// SDL2 runs one rumble request for at most about a minute; a running motor is renewed well
// before its request ends.
constexpr Uint32 kRumbleMs = 60000;
constexpr Uint32 kRenewRumbleMs = 30000;

struct Slot {
    SDL_GameController* controller = nullptr;
    SDL_JoystickID id = -1;
    uint16_t low = 0, high = 0; // motor speeds asked for
    Uint32 rumbleStarted = 0;   // SDL_GetTicks of the last request
};

struct Pads {
    int started = 0; // 0 not tried, 1 running, -1 failed
    Slot slots[kPadSlots];
    // SDL2 numbers devices in the order they appear, never twice: the ones up to here were
    // looked at already (and are not controllers, or found every slot taken).
    SDL_JoystickID lastSeen = -1;
};

Pads& State() {
    static Pads pads;
    return pads;
}

bool Start() {
    Pads& pads = State();
    if (pads.started != 0) return pads.started > 0;
    // XInput decides when reads count (XInputEnable); SDL2 must not drop pad input on its own
    // while no window of ours has the keyboard focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "tarn: SDL2 cannot start its game controllers: %s\n", SDL_GetError());
        pads.started = -1;
        return false;
    }
    // SDL2 reads SDL_GAMECONTROLLERCONFIG and SDL_GAMECONTROLLERCONFIG_FILE itself; our own
    // variable says so when its file cannot be used.
    const char* file = std::getenv("TARN_PAD_MAPPINGS");
    if (file && *file && SDL_GameControllerAddMappingsFromFile(file) < 0)
        std::fprintf(stderr,
                     "tarn: cannot read the gamepad mappings in %s (TARN_PAD_MAPPINGS): %s\n", file,
                     SDL_GetError());
    pads.started = 1;
    return true;
}

void Drop(Slot& slot) {
    SDL_GameControllerClose(slot.controller);
    slot = Slot{};
}

bool InSlot(SDL_JoystickID id) {
    for (const Slot& slot : State().slots)
        if (slot.controller && slot.id == id) return true;
    return false;
}

// Lets SDL2 update its devices, empties the slots of controllers that went and puts new ones
// into the lowest free slots. Only devices that appeared since the last look are asked whether
// they are controllers, unless a slot came free: then every device is asked again.
void Refresh() {
    Pads& pads = State();
    SDL_GameControllerUpdate();
    for (Slot& slot : pads.slots) {
        if (slot.controller && !SDL_GameControllerGetAttached(slot.controller)) {
            Drop(slot);
            pads.lastSeen = -1;
        }
    }
    const int count = SDL_NumJoysticks();
    SDL_JoystickID newest = pads.lastSeen;
    for (int index = 0; index < count; ++index) {
        SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        if (id > newest) newest = id;
        if (id <= pads.lastSeen || InSlot(id) || !SDL_IsGameController(index)) continue;
        Slot* free = nullptr;
        for (Slot& slot : pads.slots) {
            if (!slot.controller) {
                free = &slot;
                break;
            }
        }
        if (!free) break;
        free->controller = SDL_GameControllerOpen(index);
        if (free->controller) free->id = id;
    }
    pads.lastSeen = newest;
    // A motor kept running is asked again before SDL2 ends its request.
    Uint32 now = SDL_GetTicks();
    for (Slot& slot : pads.slots) {
        if (slot.controller && (slot.low || slot.high) &&
            now - slot.rumbleStarted >= kRenewRumbleMs) {
            SDL_GameControllerRumble(slot.controller, slot.low, slot.high, kRumbleMs);
            slot.rumbleStarted = now;
        }
    }
}

int16_t UpwardsY(Sint16 sdl) {
    return int16_t(sdl == -32768 ? 32767 : -sdl);
}

uint8_t TriggerByte(Sint16 sdl) {
    int v = sdl < 0 ? 0 : sdl;
    return uint8_t((v * 255 + 16383) / 32767);
}

} // namespace

bool SdlReadPad(int slot, PadState* pad) {
    if (pad) *pad = PadState{};
    if (slot < 0 || slot >= kPadSlots || !Start()) return false;
    Refresh();
    SDL_GameController* controller = State().slots[slot].controller;
    if (!controller) return false;
    if (!pad) return true;
    for (const ButtonMap& b : kButtons)
        if (SDL_GameControllerGetButton(controller, b.sdl)) pad->buttons |= b.xinput;
    pad->leftX = SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTX);
    pad->leftY = UpwardsY(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTY));
    pad->rightX = SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_RIGHTX);
    pad->rightY = UpwardsY(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_RIGHTY));
    pad->leftTrigger =
        TriggerByte(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_TRIGGERLEFT));
    pad->rightTrigger =
        TriggerByte(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
    return true;
}

void SdlSetPadRumble(int slot, uint16_t low, uint16_t high) {
    if (slot < 0 || slot >= kPadSlots || !Start()) return;
    Slot& s = State().slots[slot];
    if (!s.controller) return;
    s.low = low;
    s.high = high;
    s.rumbleStarted = SDL_GetTicks();
    // A pad without motors says so; it is not the program's fault, and there is nothing to stop.
    SDL_GameControllerRumble(s.controller, low, high, (low || high) ? kRumbleMs : 0);
}

} // namespace tarn::platform
