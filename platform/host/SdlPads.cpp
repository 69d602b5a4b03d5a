// SDL2's game controllers as XInput's four slots. Each read first lets SDL2 look for devices
// that came or went: a controller that went frees its slot (its motors with it), a new one
// takes the lowest free slot and keeps it while it stays. SDL2's controller layout is XInput's
// own, so a pad's buttons and axes map one to one; only the sticks' y axes turn round (SDL2's
// grow downwards, XInput's upwards) and the triggers narrow to a byte. Rumble goes through
// SDL2, which limits one request's length: a motor kept running is asked again in time.
#include "host/SdlPads.h"

#include <SDL.h>
#include <xinput.h>

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
    {SDL_CONTROLLER_BUTTON_DPAD_UP, XINPUT_GAMEPAD_DPAD_UP},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, XINPUT_GAMEPAD_DPAD_DOWN},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, XINPUT_GAMEPAD_DPAD_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, XINPUT_GAMEPAD_DPAD_RIGHT},
    {SDL_CONTROLLER_BUTTON_START, XINPUT_GAMEPAD_START},
    {SDL_CONTROLLER_BUTTON_BACK, XINPUT_GAMEPAD_BACK},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, XINPUT_GAMEPAD_LEFT_THUMB},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, XINPUT_GAMEPAD_RIGHT_THUMB},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, XINPUT_GAMEPAD_LEFT_SHOULDER},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, XINPUT_GAMEPAD_RIGHT_SHOULDER},
    {SDL_CONTROLLER_BUTTON_A, XINPUT_GAMEPAD_A},
    {SDL_CONTROLLER_BUTTON_B, XINPUT_GAMEPAD_B},
    {SDL_CONTROLLER_BUTTON_X, XINPUT_GAMEPAD_X},
    {SDL_CONTROLLER_BUTTON_Y, XINPUT_GAMEPAD_Y},
};

// SDL2 runs one rumble request for at most about a minute; a running motor is renewed well
// before its request ends.
constexpr Uint32 kRumbleMs = 60000;
constexpr Uint32 kRenewRumbleMs = 30000;

} // namespace

bool SdlPads::Start() {
    if (started != 0) return started > 0;
    // XInput decides when reads count (XInputEnable); SDL2 must not drop pad input on its own
    // while no window of ours has the keyboard focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "tarn: SDL2 cannot start its game controllers: %s\n", SDL_GetError());
        started = -1;
        return false;
    }
    // SDL2 reads SDL_GAMECONTROLLERCONFIG and SDL_GAMECONTROLLERCONFIG_FILE itself; our own
    // variable says so when its file cannot be used.
    const char* file = std::getenv("TARN_PAD_MAPPINGS");
    if (file && *file && SDL_GameControllerAddMappingsFromFile(file) < 0)
        std::fprintf(stderr,
                     "tarn: cannot read the gamepad mappings in %s (TARN_PAD_MAPPINGS): %s\n", file,
                     SDL_GetError());
    started = 1;
    return true;
}

void SdlPads::Drop(Slot& slot) {
    SDL_GameControllerClose(slot.controller);
    slot = Slot{};
}

bool SdlPads::InSlot(SDL_JoystickID id) const {
    for (const Slot& slot : slots)
        if (slot.controller && slot.id == id) return true;
    return false;
}

// Lets SDL2 update its devices, empties the slots of controllers that went and puts new ones
// into the lowest free slots. Only devices that appeared since the last look are asked whether
// they are controllers, unless a slot came free: then every device is asked again.
void SdlPads::Refresh() {
    SDL_GameControllerUpdate();
    for (Slot& slot : slots) {
        if (slot.controller && !SDL_GameControllerGetAttached(slot.controller)) {
            Drop(slot);
            lastSeen = -1;
        }
    }
    const int count = SDL_NumJoysticks();
    SDL_JoystickID newest = lastSeen;
    for (int index = 0; index < count; ++index) {
        SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        if (id > newest) newest = id;
        if (id <= lastSeen || InSlot(id) || !SDL_IsGameController(index)) continue;
        Slot* free = nullptr;
        for (Slot& slot : slots) {
            if (!slot.controller) {
                free = &slot;
                break;
            }
        }
        if (!free) break;
        free->controller = SDL_GameControllerOpen(index);
        if (free->controller) free->id = id;
    }
    lastSeen = newest;
    // A motor kept running is asked again before SDL2 ends its request.
    Uint32 now = SDL_GetTicks();
    for (Slot& slot : slots) {
        if (slot.controller && (slot.low || slot.high) &&
            now - slot.rumbleStarted >= kRenewRumbleMs) {
            SDL_GameControllerRumble(slot.controller, slot.low, slot.high, kRumbleMs);
            slot.rumbleStarted = now;
        }
    }
}

namespace {

int16_t UpwardsY(Sint16 sdl) {
    return int16_t(sdl == -32768 ? 32767 : -sdl);
}

uint8_t TriggerByte(Sint16 sdl) {
    int v = sdl < 0 ? 0 : sdl;
    return uint8_t((v * 255 + 16383) / 32767);
}

} // namespace

bool SdlPads::Read(int slot, PadState* pad) {
    if (pad) *pad = PadState{};
    if (slot < 0 || slot >= kPadSlots || !Start()) return false;
    Refresh();
    SDL_GameController* controller = slots[slot].controller;
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

void SdlPads::SetRumble(int slot, uint16_t low, uint16_t high) {
    if (slot < 0 || slot >= kPadSlots || !Start()) return;
    Slot& s = slots[slot];
    if (!s.controller) return;
    s.low = low;
    s.high = high;
    s.rumbleStarted = SDL_GetTicks();
    // A pad without motors says so; it is not the program's fault, and there is nothing to stop.
    SDL_GameControllerRumble(s.controller, low, high, (low || high) ? kRumbleMs : 0);
}

} // namespace tarn::platform
