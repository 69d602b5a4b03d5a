// Sprite sheets and animations on the headless host: frames cut by a grid and by rectangles, every
// sprite call drawing a frame by number as the surface call draws its rectangle, bad cuts and frame
// numbers refused without a pixel read outside the picture, and animations played in a loop, once
// and back and forth by the game's frame times, paused and restarted.
#include "display/TarnScreen.h"
#include "surface/TarnAnimation.h"
#include "surface/TarnSpriteSheet.h"

#include "support/DesktopScreenTest.h"
#include "support/ScreenFixture.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using tarn::platform::LiveObjects;

class SheetTest : public DesktopScreenTest {
protected:
    void TearDown() override {
        ReleaseScreen();
        EXPECT_EQ(LiveObjects(), 0);
        HeadlessTest::TearDown();
    }

    // A 32-bit w x h surface whose pixel (x, y) is seed + 256 x + y.
    TarnSurface* Make(int w, int h, DWORD seed) {
        const DDPIXELFORMAT format = FormatOf(32);
        TarnSurface* s = WrapOffscreenSurface(screen, w, h, DDSCAPS_SYSTEMMEMORY, &format);
        made.push_back(s);
        EXPECT_EQ(s->Lock(), 1);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(s->surfaceDesc.lpSurface) +
                                         y * s->surfaceDesc.lPitch)[x] = seed + 256 * x + y;
        EXPECT_EQ(s->Unlock(), 0);
        return s;
    }

    static std::vector<DWORD> Read(TarnSurface* s) {
        std::vector<DWORD> out;
        if (s->Lock() != 1) return out;
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x)
                out.push_back(reinterpret_cast<const DWORD*>(
                    static_cast<const BYTE*>(s->surfaceDesc.lpSurface) +
                    y * s->surfaceDesc.lPitch)[x]);
        s->Unlock();
        return out;
    }
};

// A grid: frames from the margin on, `spacing` apart, numbered across then down, as many as end
// inside the picture; a count asks for the first few. What cannot be cut changes nothing.
TEST_F(SheetTest, GridsAndRectanglesCutFramesOrAreRefused) {
    TarnSurface* picture = Make(20, 14, 0);
    TarnSpriteSheet sheet;
    EXPECT_EQ(sheet.CutGrid(4, 3), -1); // no picture yet
    sheet.SetPicture(picture);
    ASSERT_EQ(sheet.CutGrid(4, 3, 1, 2), 9); // 3 across (2, 7, 12), 3 down (2, 6, 10)
    const struct {
        int frame;
        RECT rect;
    } frames[] = {{0, {2, 2, 6, 5}}, {2, {12, 2, 16, 5}}, {3, {2, 6, 6, 9}}, {8, {12, 10, 16, 13}}};
    for (const auto& f : frames) {
        RECT r = {};
        EXPECT_TRUE(sheet.GetFrameRect(f.frame, &r));
        EXPECT_TRUE(r.left == f.rect.left && r.top == f.rect.top && r.right == f.rect.right &&
                    r.bottom == f.rect.bottom)
            << f.frame;
    }
    const struct {
        const char* name;
        int w, h, spacing, margin, count;
        int result;
    } grids[] = {
        {"the whole picture as one frame", 20, 14, 0, 0, 0, 1},
        {"five of twenty", 5, 3, 0, 0, 5, 5},
        {"every 1 x 1 frame", 1, 1, 0, 0, 0, 280},
        {"more than fit", 4, 3, 1, 2, 10, -1},
        {"wider than the picture", 21, 1, 0, 0, 0, -1},
        {"margin past the picture", 1, 1, 0, 20, 0, -1},
        {"width 0", 0, 3, 0, 0, 0, -1},
        {"negative spacing", 4, 3, -1, 0, 0, -1},
        {"negative margin", 4, 3, 0, -1, 0, -1},
        {"negative count", 4, 3, 0, 0, -1, -1},
        {"huge margin", 4, 3, 0, 2147483647, 0, -1},
    };
    for (const auto& g : grids) {
        const int before = sheet.FrameCount();
        EXPECT_EQ(sheet.CutGrid(g.w, g.h, g.spacing, g.margin, g.count), g.result) << g.name;
        if (g.result < 0) {
            EXPECT_EQ(sheet.FrameCount(), before) << g.name;
        }
    }

    const RECT good[] = {{0, 0, 20, 14}, {3, 4, 5, 6}};
    ASSERT_EQ(sheet.CutRects(good, 2), 2);
    const RECT outside[] = {{0, 0, 2, 2}, {18, 0, 21, 2}};
    const RECT empty[] = {{3, 3, 3, 5}};
    const RECT negative[] = {{-1, 0, 2, 2}};
    EXPECT_EQ(sheet.CutRects(outside, 2), -1);
    EXPECT_EQ(sheet.CutRects(empty, 1), -1);
    EXPECT_EQ(sheet.CutRects(negative, 1), -1);
    EXPECT_EQ(sheet.CutRects(nullptr, 1), -1);
    EXPECT_EQ(sheet.CutRects(good, 0), -1);
    EXPECT_EQ(sheet.FrameCount(), 2);
    RECT r = {};
    EXPECT_TRUE(sheet.GetFrameRect(1, &r));
    EXPECT_EQ(r.right, 5);
    EXPECT_FALSE(sheet.GetFrameRect(2, &r));
    EXPECT_FALSE(sheet.GetFrameRect(-1, &r));
    EXPECT_FALSE(sheet.GetFrameRect(0, nullptr));
    sheet.SetPicture(nullptr);
    EXPECT_EQ(sheet.FrameCount(), 0);
}

// Each sprite call draws frame k exactly as the surface call draws k's rectangle; a number out of
// range, a frame no longer inside the picture, or no picture draw nothing and say so.
TEST_F(SheetTest, FramesAreDrawnByEverySpriteCall) {
    TarnSurface* picture = Make(24, 8, 0x100000);
    ASSERT_EQ(picture->SetColourKey(0x100000 + 256 * 5 + 2), DD_OK);
    std::vector<BYTE> bgra(24 * 8 * 4, 0x90);
    ASSERT_EQ(picture->SetAlphaPlane(bgra.data(), 24 * 4, 24, 8), 0);
    TarnSpriteSheet sheet;
    sheet.SetPicture(picture);
    ASSERT_EQ(sheet.CutGrid(6, 8), 4);
    TarnSurface* dest = Make(30, 20, 0x200000);
    const std::vector<DWORD> background = Read(dest);
    TarnTurn turn;
    turn.degrees = 30;
    turn.flags = TARN_COPY_SMOOTH | TARN_COPY_KEYED;
    const RECT to = {1, 2, 19, 14};
    const struct {
        const char* name;
        std::function<HRESULT(int frame)> sheetCall;
        std::function<HRESULT(const RECT* rect)> surfaceCall;
    } calls[] = {
        {"copy", [&](int f) { return sheet.CopyFrameTo(dest, 3, 4, f); },
         [&](const RECT* r) { return picture->CopyTo(dest, 3, 4, r); }},
        {"keyed", [&](int f) { return sheet.CopyKeyedFrameTo(dest, 3, 4, f); },
         [&](const RECT* r) { return picture->CopyKeyedTo(dest, 3, 4, r); }},
        {"stretched", [&](int f) { return sheet.StretchFrameTo(dest, &to, f, TARN_COPY_KEYED); },
         [&](const RECT* r) { return picture->StretchTo(dest, &to, r, TARN_COPY_KEYED); }},
        {"blended", [&](int f) { return HRESULT(sheet.BlendFrameTo(dest, 3, 4, f, 100)); },
         [&](const RECT* r) { return HRESULT(picture->BlendTo(dest, 3, 4, r, 100)); }},
        {"alpha", [&](int f) { return HRESULT(sheet.AlphaBlendFrameTo(dest, 3, 4, f)); },
         [&](const RECT* r) { return HRESULT(picture->AlphaBlendTo(dest, 3, 4, r)); }},
        {"turned", [&](int f) { return HRESULT(sheet.CopyTurnedFrameTo(dest, 12, 9, f, turn)); },
         [&](const RECT* r) { return HRESULT(picture->CopyTurnedTo(dest, 12, 9, r, turn)); }},
    };
    for (const auto& c : calls) {
        for (int frame = 0; frame < 4; ++frame) {
            RECT r;
            ASSERT_TRUE(sheet.GetFrameRect(frame, &r));
            std::vector<DWORD> want, got;
            for (auto* out : {&want, &got}) {
                TarnSurface* d = dest;
                ASSERT_EQ(d->Lock(), 1);
                for (int y = 0; y < d->height; ++y)
                    std::memcpy(static_cast<BYTE*>(d->surfaceDesc.lpSurface) +
                                    y * d->surfaceDesc.lPitch,
                                &background[y * d->width], d->width * 4);
                ASSERT_EQ(d->Unlock(), 0);
                EXPECT_EQ(out == &want ? c.surfaceCall(&r) : c.sheetCall(frame), DD_OK);
                *out = Read(dest);
            }
            EXPECT_EQ(got, want) << c.name << ", frame " << frame;
            EXPECT_NE(got, background) << c.name << ", frame " << frame;
        }
        const std::vector<DWORD> before = Read(dest);
        EXPECT_EQ(c.sheetCall(4), DDERR_INVALIDPARAMS) << c.name;
        EXPECT_EQ(c.sheetCall(-1), DDERR_INVALIDPARAMS) << c.name;
        picture->width = 17; // as a picture reloaded smaller: frames 2 and 3 no longer inside
        EXPECT_EQ(c.sheetCall(3), DDERR_INVALIDRECT) << c.name;
        picture->width = 24;
        EXPECT_EQ(Read(dest), before) << c.name;
    }
    TarnSpriteSheet empty;
    EXPECT_EQ(empty.CopyFrameTo(dest, 0, 0, 0), -1);
}

// Animations step by the frame times they are given: a loop goes round, once stops on its last
// step and is done, back and forth turns at both ends without showing an end twice; a frame time
// longer than a round lands where the time says. Paused, nothing moves; restarted, step 0.
TEST_F(SheetTest, AnimationsFollowTheGameClock) {
    TarnSurface* picture = Make(40, 8, 0);
    TarnSpriteSheet sheet;
    sheet.SetPicture(picture);
    ASSERT_EQ(sheet.CutGrid(8, 8), 5);
    const int frames[] = {4, 2, 3, 1};
    const struct {
        const char* name;
        int mode;
        std::vector<double> updates;
        std::vector<int> steps; // the step after each update
    } cases[] = {
        // Four steps of 0.25 seconds.
        {"loop", TARN_ANIMATE_LOOP, {0.1, 0.2, 0.25, 0.5, 0.25, 2.0, 0.75}, {0, 1, 2, 0, 1, 1, 0}},
        {"once", TARN_ANIMATE_ONCE, {0.3, 0.5, 0.1, 0.2, 5}, {1, 3, 3, 3, 3}},
        {"back and forth",
         TARN_ANIMATE_BACK_AND_FORTH,
         {0.25, 0.25, 0.25, 0.25, 0.25, 0.25, 0.25, 1.5, 0.5},
         {1, 2, 3, 2, 1, 0, 1, 1, 3}},
        {"nothing for bad times",
         TARN_ANIMATE_LOOP,
         {0.3, -1, 0, std::numeric_limits<double>::infinity()},
         {1, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        TarnAnimation anim;
        ASSERT_EQ(anim.Create(&sheet, frames, 4, 4, c.mode), 0) << c.name;
        EXPECT_EQ(anim.Frame(), 4);
        for (size_t i = 0; i < c.updates.size(); ++i) {
            anim.Update(c.updates[i]);
            EXPECT_EQ(anim.Step(), c.steps[i]) << c.name << ", update " << i;
            EXPECT_EQ(anim.Frame(), frames[c.steps[i]]) << c.name << ", update " << i;
        }
        EXPECT_EQ(anim.IsDone(), c.mode == TARN_ANIMATE_ONCE) << c.name;
    }

    TarnAnimation anim;
    ASSERT_EQ(anim.Create(&sheet, frames, 4, 4, TARN_ANIMATE_ONCE), 0);
    const double times[] = {0.5, 0.1, 0.1, 1.0};
    ASSERT_EQ(anim.SetDurations(times, 4), 0);
    anim.Update(0.55);
    EXPECT_EQ(anim.Step(), 1);
    anim.Pause();
    anim.Update(10);
    EXPECT_TRUE(anim.IsPaused());
    EXPECT_EQ(anim.Step(), 1);
    anim.Resume();
    anim.Update(0.1);
    EXPECT_EQ(anim.Step(), 2);
    anim.Update(1.2);
    EXPECT_TRUE(anim.IsDone());
    anim.Restart();
    EXPECT_FALSE(anim.IsDone());
    EXPECT_EQ(anim.Step(), 0);

    // The current frame is drawn as the sheet draws it.
    TarnSurface* a = Make(16, 16, 0x300000);
    TarnSurface* b = Make(16, 16, 0x300000);
    anim.Update(0.65);
    EXPECT_EQ(anim.CopyTo(a, 2, 2), DD_OK);
    EXPECT_EQ(sheet.CopyFrameTo(b, 2, 2, 3), DD_OK);
    EXPECT_EQ(Read(a), Read(b));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const int outOfRange[] = {0, 5};
    const double badTimes[] = {0.1, 0, 0.1, 0.1};
    TarnAnimation none;
    EXPECT_EQ(none.Create(&sheet, frames, 0, 4, TARN_ANIMATE_LOOP), -1);
    EXPECT_EQ(none.Create(&sheet, outOfRange, 2, 4, TARN_ANIMATE_LOOP), -1);
    EXPECT_EQ(none.Create(&sheet, frames, 4, 0, TARN_ANIMATE_LOOP), -1);
    EXPECT_EQ(none.Create(&sheet, frames, 4, nan, TARN_ANIMATE_LOOP), -1);
    EXPECT_EQ(none.Create(&sheet, frames, 4, 1e-320, TARN_ANIMATE_LOOP), -1);
    EXPECT_EQ(none.Create(&sheet, frames, 4, 4, 7), -1);
    EXPECT_EQ(none.Create(nullptr, frames, 4, 4, TARN_ANIMATE_LOOP), -1);
    EXPECT_EQ(none.SetDurations(times, 4), -1);
    EXPECT_EQ(none.Frame(), -1);
    EXPECT_EQ(none.CopyTo(a, 0, 0), -1);
    EXPECT_EQ(anim.SetDurations(times, 3), -1);
    EXPECT_EQ(anim.SetDurations(badTimes, 4), -1);
}

} // namespace
