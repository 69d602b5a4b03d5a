// How what happens to the machine reaches the parts of the stand-in that keep state about it
// (the window manager, DirectDraw's display, DirectSound, XInput, the fault injector ...). Each
// part registers one listener, once, at static initialisation:
//
//     void ListenForDisplay(MachineChange change) { ... }
//     [[maybe_unused]] const bool listening = ListenToMachine(&ListenForDisplay);
//
// The window manager tells them of the foreground's changes as it takes the host's events in,
// before the program hears of them (WM_ACTIVATEAPP); the headless host tells them of a fresh
// machine. The list has no fixed length.
#pragma once

#include <cstdint>

namespace tarn::platform {

enum class MachineChange : uint8_t {
    Reset,       // a fresh machine (the headless host's Reset): forget everything
    TakenAway,   // the program left the foreground: the display and the sound are taken away
    GivenBack,   // the program has the foreground again: what was taken away can be restored
    DisplayLost, // another program changed the display mode and gave it back: surfaces are
                 // lost, the foreground stays
};

using MachineListener = void (*)(MachineChange change);

// Adds a listener (a listener already there is not added twice). Returns true, so that it can
// initialise a static; false only for a null listener.
bool ListenToMachine(MachineListener listener);

// Tells every listener, in the order they registered.
void TellMachine(MachineChange change);

} // namespace tarn::platform
