// A host in front of another that passes every call through: the base of the hosts that stand
// between the program and the machine (the script player, the recorder, the replay), which
// override only what they add.
#pragma once

#include "host/Host.h"

#include <string>

namespace tarn::platform {

class PassThroughHost : public Host {
public:
    explicit PassThroughHost(Host& inner) : inner(inner) {}
    Host& Inner() const { return inner; }

    const char* Name() const override { return inner.Name(); }
    const MachineConfig& Machine() const override { return inner.Machine(); }
    bool OpenWindow(const char* title, int width, int height) override {
        return inner.OpenWindow(title, width, height);
    }
    void CloseWindow() override { inner.CloseWindow(); }
    void SetFullScreen(bool on, int width, int height, int bits) override {
        inner.SetFullScreen(on, width, height, bits);
    }
    void ShowCursor(bool show) override { inner.ShowCursor(show); }
    void Present(const FrameView& frame) override { inner.Present(frame); }
    void WaitVerticalBlank() override { inner.WaitVerticalBlank(); }
    bool PollEvent(HostEvent* event) override { return inner.PollEvent(event); }
    void WaitEvent() override { inner.WaitEvent(); }
    bool HasFocus() const override { return inner.HasFocus(); }
    void ReadKeyboard(uint8_t state[256]) override { inner.ReadKeyboard(state); }
    void ReadMouse(MouseState* mouse) override { inner.ReadMouse(mouse); }
    bool JoystickAttached() const override { return inner.JoystickAttached(); }
    std::string JoystickName() const override { return inner.JoystickName(); }
    bool ReadJoystick(JoystickState* joystick) override { return inner.ReadJoystick(joystick); }
    bool ReadPad(int slot, PadState* pad) override { return inner.ReadPad(slot, pad); }
    void SetPadRumble(int slot, uint16_t low, uint16_t high) override {
        inner.SetPadRumble(slot, low, high);
    }
    uint32_t Milliseconds() override { return inner.Milliseconds(); }
    void CursorPos(int* x, int* y) override { inner.CursorPos(x, y); }
    void DebugOutput(const char* text) override { inner.DebugOutput(text); }
    bool OpenAudio(int rate, AudioPull pull, void* context) override {
        return inner.OpenAudio(rate, pull, context);
    }
    void CloseAudio() override { inner.CloseAudio(); }
    bool AudioLost() override { return inner.AudioLost(); }
    void CatchUpAudio() override { inner.CatchUpAudio(); }

protected:
    Host& inner;
};

} // namespace tarn::platform
