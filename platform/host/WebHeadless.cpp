// The headless machine shown in a page: a page that runs its program on a script (the script
// player in front, TARN_HEADLESS_SCRIPT) has clock, input, events and sound from the headless
// machine, whose controls the player works, while every presented frame also goes to the canvas
// and the waits give the browser its turn. So a scripted run shows in the page exactly what the
// headless host would dump, at the browser's pace.
#include "host/HeadlessHost.h"
#include "host/Host.h"
#include "host/HostControls.h"
#include "host/PassThroughHost.h"
#include "host/WebFrame.h"
#include "host/WebPage.h"

#include <emscripten.h>

namespace tarn::platform {

Host* CreateHeadlessHost();

namespace {

class WebHeadlessHost final : public PassThroughHost, public HostControls {
public:
    explicit WebHeadlessHost(HeadlessHost& machine) : PassThroughHost(machine), machine(machine) {
        lastYield = emscripten_get_now();
    }

    const char* Name() const override { return "web"; }
    bool OpenWindow(const char* title, int width, int height) override {
        if (title && *title) WebPageSetTitle(title);
        return machine.OpenWindow(title, width, height);
    }
    void Present(const FrameView& view) override {
        machine.Present(view);
        frame.Show(view);
    }
    // The headless machine's wait, then the browser's next animation frame.
    void WaitVerticalBlank() override {
        machine.WaitVerticalBlank();
        NextTurn();
    }
    // A program that only polls still lets the browser run now and then.
    bool PollEvent(HostEvent* event) override {
        if (emscripten_get_now() - lastYield >= 100) NextTurn();
        return machine.PollEvent(event);
    }

    // The headless machine's own controls, for the script player.
    void PushEvent(const HostEvent& event) override { machine.PushEvent(event); }
    void SetFocus(bool focus) override { machine.SetFocus(focus); }
    void AdvanceTime(uint32_t ms) override { machine.AdvanceTime(ms); }
    void SetKey(int dik, bool down) override { machine.SetKey(dik, down); }
    void MoveMouse(int dx, int dy) override { machine.MoveMouse(dx, dy); }
    void TurnWheel(int delta) override { machine.TurnWheel(delta); }
    void SetMouseButton(int button, bool down) override { machine.SetMouseButton(button, down); }
    void AttachJoystick(bool attached, const std::string& name) override {
        machine.AttachJoystick(attached, name);
    }
    void PlugJoystick() override { machine.PlugJoystick(); }
    void SetJoystick(int x, int y) override { machine.SetJoystick(x, y); }
    void SetJoystickButton(int button, bool down) override {
        machine.SetJoystickButton(button, down);
    }
    void ConnectPad(int slot, bool connected) override { machine.ConnectPad(slot, connected); }
    void SetPadButton(int slot, uint16_t button, bool down) override {
        machine.SetPadButton(slot, button, down);
    }
    void SetPadStick(int slot, int stick, int x, int y) override {
        machine.SetPadStick(slot, stick, x, y);
    }
    void SetPadTrigger(int slot, int trigger, int value) override {
        machine.SetPadTrigger(slot, trigger, value);
    }
    const std::vector<int16_t>& AudioRecording() override { return machine.AudioRecording(); }
    int AudioRate() const override { return machine.AudioRate(); }

private:
    void NextTurn() {
        WebPageNextFrame();
        lastYield = emscripten_get_now();
    }

    HeadlessHost& machine;
    WebFrame frame;
    double lastYield = 0;
};

} // namespace

// The one instance, for the page's life.
Host* CreateWebHeadlessHost() {
    static WebHeadlessHost* host = nullptr;
    if (!host) host = new WebHeadlessHost(*dynamic_cast<HeadlessHost*>(CreateHeadlessHost()));
    return host;
}

} // namespace tarn::platform
