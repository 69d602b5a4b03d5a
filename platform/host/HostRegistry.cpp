// The table of host backends and the choice of the current one. A backend is one line in
// kHosts; the current host is chosen on first use from TARN_HOST, or the default below. The
// headless host is a test instrument and is only ever chosen by name.
#include "host/Host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarn::platform {

// Each backend's one instance; created on first use and kept for the life of the process.
Host* CreateHeadlessHost();
Host* CreateSdlHost();

namespace {

struct HostEntry {
    const char* name;
    Host* (*create)();
};

const HostEntry kHosts[] = {
    {"headless", &CreateHeadlessHost},
    {"sdl2", &CreateSdlHost},
};

constexpr const char* kDefaultHost = "sdl2";

Host* g_current = nullptr;

const HostEntry* FindEntry(const char* name) {
    for (const HostEntry& entry : kHosts)
        if (std::strcmp(entry.name, name) == 0) return &entry;
    return nullptr;
}

} // namespace

Host& CurrentHost() {
    if (g_current) return *g_current;
    const char* wanted = std::getenv("TARN_HOST");
    const HostEntry* entry = nullptr;
    if (wanted && *wanted) {
        entry = FindEntry(wanted);
        if (!entry)
            std::fprintf(stderr, "tarn: unknown host \"%s\" in TARN_HOST, using \"%s\"\n", wanted,
                         kDefaultHost);
    }
    if (!entry) entry = FindEntry(kDefaultHost);
    g_current = entry->create();
    return *g_current;
}

bool SelectHost(const char* name) {
    if (!name) return false;
    const HostEntry* entry = FindEntry(name);
    if (!entry) return false;
    g_current = entry->create();
    return true;
}

namespace {
struct ResetHooks {
    void (*hooks[8])() = {};
    int count = 0;
};
ResetHooks& Hooks() {
    static ResetHooks hooks; // filled during static initialisation, before any reset
    return hooks;
}
} // namespace

void WhenMachineResets(void (*startAfresh)()) {
    ResetHooks& h = Hooks();
    if (!startAfresh || h.count == (int)(sizeof h.hooks / sizeof h.hooks[0])) return;
    for (int i = 0; i < h.count; ++i)
        if (h.hooks[i] == startAfresh) return;
    h.hooks[h.count++] = startAfresh;
}

void MachineReset() {
    ResetHooks& h = Hooks();
    for (int i = 0; i < h.count; ++i) h.hooks[i]();
}

} // namespace tarn::platform
