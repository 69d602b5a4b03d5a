// The shared fixture of the unit tests: every test runs on a fresh headless host, and a test
// that released everything it made can prove the stand-in holds no live object afterwards.
#pragma once

#include "host/HeadlessHost.h"
#include "internal/StandIn.h"

#include <windows.h>

#include <gtest/gtest.h>

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override { host = &tarn::platform::UseHeadlessHost(); }
    void TearDown() override { tarn::platform::ClearFaults(); }

    // The display goes away and comes back as the host reports it: the program loses and
    // regains the foreground, or another program takes the display and gives it back (focus
    // stays). The stand-in takes the host's events in at once, as a message loop would.
    void TakeDisplayAway() {
        host->SetFocus(false);
        TakeInHostEvents();
    }
    void GiveDisplayBack() {
        host->SetFocus(true);
        TakeInHostEvents();
    }
    void LoseDisplay() {
        tarn::platform::HostEvent lost;
        lost.type = tarn::platform::HostEvent::DisplayLost;
        host->PushEvent(lost);
        TakeInHostEvents();
    }
    static void TakeInHostEvents() {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }

    tarn::platform::HeadlessHost* host = nullptr;
};
