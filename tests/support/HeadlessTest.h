// The shared fixture of the unit tests: every test runs on a fresh headless host, and a test
// that released everything it made can prove the stand-in holds no live object afterwards.
#pragma once

#include "host/HeadlessHost.h"
#include "internal/StandIn.h"

#include <gtest/gtest.h>

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override { host = &tarn::platform::UseHeadlessHost(); }
    void TearDown() override { tarn::platform::ClearFaults(); }

    tarn::platform::HeadlessHost* host = nullptr;
};
