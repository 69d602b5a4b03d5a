// The table of host backends and the choice of the current one. A backend is one line in
// HOSTS; the current host is chosen on first use from TARN_HOST, or the default below. The
// headless host is a test instrument and is only ever chosen by name. A build for the browser
// (Emscripten) has the web host in place of the SDL2 one: which machine exists is known when
// the stand-in is compiled.
#include "host/Host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarn::platform {

// Each backend's one instance; created on first use and kept for the life of the process.
Host* CreateHeadlessHost();
#ifdef __EMSCRIPTEN__
Host* CreateWebHost();
#else
Host* CreateSdlHost();
#endif

namespace {

struct HostEntry {
    const char* name;
    Host* (*create)();
};

const HostEntry HOSTS[] = {
    {"headless", &CreateHeadlessHost},
#ifdef __EMSCRIPTEN__
    {"web", &CreateWebHost},
#else
    {"sdl2", &CreateSdlHost},
#endif
};

#ifdef __EMSCRIPTEN__
constexpr const char* DEFAULT_HOST = "web";
#else
constexpr const char* DEFAULT_HOST = "sdl2";
#endif

Host* currentHost = nullptr;

const HostEntry* FindEntry(const char* name) {
    for (const HostEntry& entry : HOSTS)
        if (std::strcmp(entry.name, name) == 0) return &entry;
    return nullptr;
}

} // namespace

Host& CurrentHost() {
    if (currentHost) return *currentHost;
    const char* wanted = std::getenv("TARN_HOST");
    const HostEntry* entry = nullptr;
    if (wanted && *wanted) {
        entry = FindEntry(wanted);
        if (!entry)
            std::fprintf(stderr, "tarn: unknown host \"%s\" in TARN_HOST, using \"%s\"\n", wanted,
                         DEFAULT_HOST);
    }
    if (!entry) entry = FindEntry(DEFAULT_HOST);
    currentHost = entry->create();
    return *currentHost;
}

bool SelectHost(const char* name) {
    if (!name) return false;
    const HostEntry* entry = FindEntry(name);
    if (!entry) return false;
    currentHost = entry->create();
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
