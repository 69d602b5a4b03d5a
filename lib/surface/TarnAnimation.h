/// @file
/// TarnAnimation: a sequence of a sprite sheet's frames, each shown for its own time (or all at
/// one rate of frames per second), played in a loop, once, or back and forth, advanced by the
/// game's frame time (TarnGame::seconds), paused, resumed and restarted; its current frame is
/// drawn like any sprite.
#pragma once

#include <windows.h>

#include "surface/TarnSpriteSheet.h"

/// How an animation plays: from the first step to the last and again; once, stopping on the
/// last; or to the last and back to the first, again and again.
/// @{
const int TARN_ANIMATE_LOOP = 0;
const int TARN_ANIMATE_ONCE = 1;
const int TARN_ANIMATE_BACK_AND_FORTH = 2;
/// @}

/// A played sequence of frames of one sheet (not owned). Update allocates nothing. The drawing
/// calls draw the current frame through the sheet; without a sequence they return -1.
class TarnAnimation {
public:
    /// Most steps a sequence holds.
    static const int MAX_STEPS = 4096;

    TarnAnimation();
    virtual ~TarnAnimation();
    TarnAnimation(const TarnAnimation&) = delete;
    TarnAnimation& operator=(const TarnAnimation&) = delete;

    /// Sets the sequence: `count` frame numbers of `sheet`, each shown 1 / framesPerSecond
    /// seconds, played as `mode` (TARN_ANIMATE_...), from its first step, not paused. 0, or -1
    /// (the sequence held before stays) for a null sheet or list, a count below 1 or above
    /// MAX_STEPS, a frame number the sheet does not have, a rate that is not a finite number
    /// above 0, or an unknown mode.
    int Create(TarnSpriteSheet* sheet, const int* frames, int count, double framesPerSecond,
               int mode);
    /// Gives each step its own time, `seconds[i]` for step i (count as the sequence's), and
    /// restarts. 0, or -1 (nothing changes) without a sequence, for another count, or a time that
    /// is not a finite number above 0.
    int SetDurations(const double* seconds, int count);

    /// Advances by `seconds` (the game's TarnGame::seconds) unless paused or done; a step longer
    /// than one round of a loop goes round as often as it covers. Negative or non-finite
    /// seconds change nothing.
    void Update(double seconds);
    /// Stops the clock where it is (Update changes nothing until Resume).
    void Pause() { paused = true; }
    /// Lets Update advance again.
    void Resume() { paused = false; }
    /// Back to the first step, its time from 0, not paused, not done.
    void Restart();
    /// True while paused.
    bool IsPaused() const { return paused; }
    /// True once an animation played once has shown its last step for its time.
    bool IsDone() const { return done; }
    /// The current step, from 0 (0 without a sequence).
    int Step() const { return step; }
    /// The sheet's frame number of the current step, or -1 without a sequence.
    int Frame() const { return count > 0 ? frames[step] : -1; }

    /// The current frame drawn by the sheet's call of the same kind.
    /// @{
    /// As TarnSpriteSheet::CopyFrameTo.
    HRESULT CopyTo(TarnSurface* dest, int x, int y);
    /// As TarnSpriteSheet::CopyKeyedFrameTo.
    HRESULT CopyKeyedTo(TarnSurface* dest, int x, int y);
    /// As TarnSpriteSheet::StretchFrameTo.
    HRESULT StretchTo(TarnSurface* dest, const RECT* destRect, DWORD flags);
    /// As TarnSpriteSheet::BlendFrameTo.
    int BlendTo(TarnSurface* dest, int x, int y, WORD alpha);
    /// As TarnSpriteSheet::AlphaBlendFrameTo.
    int AlphaBlendTo(TarnSurface* dest, int x, int y);
    /// As TarnSpriteSheet::CopyTurnedFrameTo.
    int CopyTurnedTo(TarnSurface* dest, int x, int y, const TarnTurn& turn);
    /// @}

private:
    // The step shown `at` seconds into one round.
    int StepAt(double at) const;

    TarnSpriteSheet* sheet = nullptr;
    int* frames = nullptr;       // count frame numbers, owned (std::malloc, with durations)
    double* durations = nullptr; // count seconds, in the same block
    int count = 0;
    int mode = TARN_ANIMATE_LOOP;
    double round = 0; // one round: every step (a loop, once) or there and back
    double clock = 0; // seconds into the round
    int step = 0;
    bool paused = false;
    bool done = false;
};
