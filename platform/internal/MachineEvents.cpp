// The listeners of MachineEvents.h, kept in registration order.
#include "internal/MachineEvents.h"

#include <vector>

namespace tarn::platform {
namespace {

std::vector<MachineListener>& Listeners() {
    static std::vector<MachineListener>* listeners =
        new std::vector<MachineListener>; // filled during static initialisation; outlives exit
    return *listeners;
}

} // namespace

bool ListenToMachine(MachineListener listener) {
    if (!listener) return false;
    std::vector<MachineListener>& all = Listeners();
    for (MachineListener known : all)
        if (known == listener) return true;
    all.push_back(listener);
    return true;
}

void TellMachine(MachineChange change) {
    for (MachineListener listener : Listeners()) listener(change);
}

} // namespace tarn::platform
