// A headless test with a screen at the desktop's cooperative level (enough for off-screen
// surfaces) and the surfaces the test made, deleted with the screen when it ends.
#pragma once

#include "display/TarnScreen.h"
#include "support/HeadlessTest.h"
#include "surface/TarnSurface.h"

#include <gtest/gtest.h>

#include <vector>

class DesktopScreenTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        screen = new TarnScreen();
        ASSERT_NE(screen->GetDirectDraw(), nullptr);
        ASSERT_EQ(screen->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }
    void TearDown() override {
        ReleaseScreen();
        HeadlessTest::TearDown();
    }
    // Deletes the test's surfaces and the screen (for a TearDown that checks what is left).
    void ReleaseScreen() {
        for (TarnSurface* s : made) delete s;
        made.clear();
        delete screen;
        screen = nullptr;
    }

    TarnScreen* screen = nullptr;
    std::vector<TarnSurface*> made;
};
