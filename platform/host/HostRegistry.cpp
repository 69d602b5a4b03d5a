// The table of host backends and the choice of the current one. A backend is one line in
// HOSTS; the current host is chosen on first use from TARN_HOST, or the default below. The
// headless host is a test instrument and is only ever chosen by name. A build for the browser
// (Emscripten) has the web host in place of the SDL2 one: which machine exists is known when
// the stand-in is compiled. A script or a report asked for in the environment puts the script
// player (ScriptedHost.h) in front of the chosen host.
#include "host/Host.h"
#include "host/Recording.h"
#include "host/ScriptedHost.h"

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
    // A replay runs on the headless host unless another is asked for.
    if ((!wanted || !*wanted) && ReplayAsked()) wanted = "headless";
    const HostEntry* entry = nullptr;
    if (wanted && *wanted) {
        entry = FindEntry(wanted);
        if (!entry)
            std::fprintf(stderr, "tarn: unknown host \"%s\" in TARN_HOST, using \"%s\"\n", wanted,
                         DEFAULT_HOST);
    }
    if (!entry) entry = FindEntry(DEFAULT_HOST);
    currentHost = entry->create();
    // A script or a report asked for from the environment puts the player in front, and a
    // recorder or a replay in front of that.
    currentHost = PlayerFromEnvironment(currentHost);
    currentHost = RecordingFromEnvironment(currentHost);
    return *currentHost;
}

void InstallHost(Host* host) {
    if (host) currentHost = host;
}

bool SelectHost(const char* name) {
    if (!name) return false;
    const HostEntry* entry = FindEntry(name);
    if (!entry) return false;
    currentHost = entry->create();
    return true;
}

} // namespace tarn::platform
