// The Windows build's stand-in for the headless host's test API. Windows has no headless host:
// the portable tests run on the real machine. Their shared fixture (tests/support/HeadlessTest.h)
// still selects "the host" and may ask for a desktop depth before a test; here that request goes
// to a record the real platform never reads, so the real desktop must already be what the test
// wants (the Wine run uses a 24-bit X screen, which Windows programs see as a 32-bit desktop).
//
// The debugger output is read as on the headless host, without a debugger: OutputDebugStringA
// first raises the DBG_PRINTEXCEPTION_C exception with the text, and a vectored handler, which
// sees it before anything else, keeps the text and lets the program continue as if a debugger
// had taken it. Nothing else of the instrument API is declared: a test that needs another
// instrument does not compile for Windows and stays off the portable list in
// tests/wine/CMakeLists.txt.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

namespace tarn::platform {

struct MachineConfig {
    int desktopBits = 32;
    // Rows padded by the test have no effect here: the real driver chooses its own pitch.
    int pitchPadding = 0;
};

// The host event the fixture's display helpers raise. Declared only, with SetFocus and
// PushEvent below, so that the fixture compiles: a test that takes the display away does not
// link for Windows and stays off the portable list.
struct HostEvent {
    enum Type { DisplayLost };
    Type type = DisplayLost;
};

class HeadlessHost {
public:
    MachineConfig& Config() { return config; }
    void SetFocus(bool focused);
    void PushEvent(const HostEvent& event);
    // The OutputDebugStringA text since the host was selected, in order.
    const std::string& DebugText() const { return Captured(); }
    void ClearDebugText() { Captured().clear(); }

    static std::string& Captured() {
        static std::string text;
        return text;
    }

private:
    static LONG CALLBACK TakeDebugText(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || record->NumberParameters < 2)
            return EXCEPTION_CONTINUE_SEARCH;
        // The parameters: the length of the text (with its final zero), and the text.
        const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        const size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
        if (text) Captured().append(text, strnlen(text, length));
        return EXCEPTION_CONTINUE_EXECUTION;
    }

    friend HeadlessHost& UseHeadlessHost();
    MachineConfig config;
};

inline HeadlessHost& UseHeadlessHost() {
    static HeadlessHost host;
    static const PVOID handler = AddVectoredExceptionHandler(1, HeadlessHost::TakeDebugText);
    (void)handler;
    host = HeadlessHost();
    host.ClearDebugText();
    return host;
}

} // namespace tarn::platform
