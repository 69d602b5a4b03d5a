// The web host's gamepads (see WebPads.h). What the program read is noted on the page
// (tarnWeb.pads[slot], tarnWeb.joystick) for the page or a test to see.
#include "host/WebPads.h"

#include "host/WebPage.h"

#include <iterator>

namespace tarn::platform {

void WebPads::Start() {
    emscripten_set_gamepadconnected_callback(this, 1, &WebPads::OnConnected);
}

EM_BOOL WebPads::OnConnected(int, const EmscriptenGamepadEvent*, void* self) {
    static_cast<WebPads*>(self)->seen = true;
    return EM_FALSE;
}

bool WebPads::Sample() const {
    if (!seen) return false;
    if (sampledTurn != turn) {
        sampled = emscripten_sample_gamepad_data() == EMSCRIPTEN_RESULT_SUCCESS;
        sampledTurn = turn;
    }
    return sampled;
}

// The first connected gamepad's latest state; null when there is none.
const EmscriptenGamepadEvent* WebPads::Gamepad() const {
    if (!Sample()) return nullptr;
    const int count = emscripten_get_num_gamepads();
    for (int i = 0; i < count; ++i)
        if (emscripten_get_gamepad_status(i, &pad) == EMSCRIPTEN_RESULT_SUCCESS && pad.connected)
            return &pad;
    return nullptr;
}

std::string WebPads::JoystickName() const {
    const EmscriptenGamepadEvent* p = Gamepad();
    return p ? std::string(p->id) : std::string();
}

// The pad's first two axes (-1 .. 1) and its buttons as the joystick's.
bool WebPads::ReadJoystick(JoystickState* out) const {
    const EmscriptenGamepadEvent* p = Gamepad();
    if (!p) return false;
    if (!out) return true;
    auto axis = [&](int i) {
        if (i >= p->numAxes) return 0;
        double v = p->axis[i] < -1 ? -1 : p->axis[i] > 1 ? 1 : p->axis[i];
        return v < 0 ? (int)(v * 32768) : (int)(v * 32767);
    };
    out->x = axis(0);
    out->y = axis(1);
    int held = 0;
    for (int i = 0; i < 32; ++i) {
        out->buttons[i] = i < p->numButtons && p->digitalButton[i];
        if (out->buttons[i]) held |= 1 << i;
    }
    WebPageNoteJoystick(out->x, out->y, held);
    return true;
}

// The browser's "standard" gamepad layout is XInput's: face buttons 0-3, shoulders 4-5,
// triggers 6-7, back and start 8-9, stick clicks 10-11, the d-pad 12-15; axes 0-3 the sticks,
// y growing downwards (XInput's grows upwards). A pad keeps its index while plugged in, and a new
// one takes the lowest free index, as XInput's slots.
bool WebPads::ReadPad(int slot, PadState* out) const {
    if (out) *out = PadState{};
    if (slot < 0 || slot >= kPadSlots) return false;
    if (!Sample()) return false;
    EmscriptenGamepadEvent p{};
    if (emscripten_get_gamepad_status(slot, &p) != EMSCRIPTEN_RESULT_SUCCESS || !p.connected)
        return false;
    if (!out) return true;
    static constexpr uint16_t BUTTONS[] = {
        0x1000, 0x2000, 0x4000, 0x8000, // A, B, X, Y
        0x0100, 0x0200, 0,      0,      // left and right shoulder; the triggers are analog
        0x0020, 0x0010, 0x0040, 0x0080, // back, start, left and right stick
        0x0001, 0x0002, 0x0004, 0x0008, // d-pad up, down, left, right
    };
    for (int i = 0; i < p.numButtons && i < (int)std::size(BUTTONS); ++i)
        if (p.digitalButton[i]) out->buttons |= BUTTONS[i];
    auto trigger = [&](int i) {
        if (i >= p.numButtons) return (uint8_t)0;
        const double v = p.analogButton[i] < 0 ? 0 : p.analogButton[i] > 1 ? 1 : p.analogButton[i];
        return (uint8_t)(v * 255 + 0.5);
    };
    out->leftTrigger = trigger(6);
    out->rightTrigger = trigger(7);
    auto axis = [&](int i, bool flip) {
        if (i >= p.numAxes) return (int16_t)0;
        double v = p.axis[i] < -1 ? -1 : p.axis[i] > 1 ? 1 : p.axis[i];
        if (flip) v = -v;
        return (int16_t)(v < 0 ? v * 32768 : v * 32767);
    };
    out->leftX = axis(0, false);
    out->leftY = axis(1, true);
    out->rightX = axis(2, false);
    out->rightY = axis(3, true);
    WebPageNotePad(slot, out->buttons, out->leftTrigger, out->rightTrigger, out->leftX, out->leftY,
                   out->rightX, out->rightY);
    return true;
}

void WebPads::SetRumble(int slot, uint16_t low, uint16_t high) const {
    if (slot >= 0 && slot < kPadSlots) WebPageRumble(slot, low / 65535.0, high / 65535.0);
}

} // namespace tarn::platform
