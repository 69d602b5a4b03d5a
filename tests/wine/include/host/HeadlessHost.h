// The Windows build's stand-in for the headless host's test API. Windows has no headless host:
// the portable tests run on the real machine. Their shared fixture (tests/support/HeadlessTest.h)
// still selects "the host" and may ask for a desktop depth before a test; here that request goes
// to a record the real platform never reads, so the real desktop must already be what the test
// wants (the Wine run uses a 24-bit X screen, which Windows programs see as a 32-bit desktop).
// Nothing else of the instrument API is declared: a test that needs an instrument does not
// compile for Windows and stays off the portable list in tests/wine/CMakeLists.txt.
#pragma once

namespace tarn::platform {

struct MachineConfig {
    int desktopBits = 32;
};

class HeadlessHost {
public:
    MachineConfig& Config() { return config; }

private:
    MachineConfig config;
};

inline HeadlessHost& UseHeadlessHost() {
    static HeadlessHost host;
    host = HeadlessHost();
    return host;
}

} // namespace tarn::platform
