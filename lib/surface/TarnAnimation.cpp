// TarnAnimation: the sequence and its times in one block allocated by Create, a clock in seconds
// into one round of the sequence, and the step found from the clock by walking the times (forwards,
// then backwards for back and forth), so that a long frame time lands where the time says.
#include "surface/TarnAnimation.h"

#include <cmath>
#include <cstdlib>

TarnAnimation::TarnAnimation() = default;

TarnAnimation::~TarnAnimation() {
    std::free(durations);
}

int TarnAnimation::Create(TarnSpriteSheet* s, const int* list, int n, double framesPerSecond,
                          int how) {
    if (s == nullptr || list == nullptr || n < 1 || n > MAX_STEPS ||
        !std::isfinite(framesPerSecond) || framesPerSecond <= 0 ||
        (how != TARN_ANIMATE_LOOP && how != TARN_ANIMATE_ONCE &&
         how != TARN_ANIMATE_BACK_AND_FORTH))
        return -1;
    for (int i = 0; i < n; ++i)
        if (list[i] < 0 || list[i] >= s->FrameCount()) return -1;
    const double each = 1.0 / framesPerSecond;
    if (!std::isfinite(each) || each <= 0) return -1;
    // The times first: doubles need the stricter alignment.
    void* block = std::malloc(static_cast<size_t>(n) * (sizeof(double) + sizeof(int)));
    if (block == nullptr) return -1;
    std::free(durations);
    durations = static_cast<double*>(block);
    frames = reinterpret_cast<int*>(durations + n);
    for (int i = 0; i < n; ++i) {
        durations[i] = each;
        frames[i] = list[i];
    }
    sheet = s;
    count = n;
    mode = how;
    SetDurations(durations, n);
    return 0;
}

int TarnAnimation::SetDurations(const double* seconds, int n) {
    if (count == 0 || seconds == nullptr || n != count) return -1;
    double total = 0, back = 0;
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(seconds[i]) || seconds[i] <= 0) return -1;
        total += seconds[i];
        if (i > 0 && i < n - 1) back += seconds[i];
    }
    if (!std::isfinite(total + back)) return -1;
    for (int i = 0; i < n; ++i) durations[i] = seconds[i];
    round = mode == TARN_ANIMATE_BACK_AND_FORTH ? total + back : total;
    Restart();
    return 0;
}

void TarnAnimation::Restart() {
    clock = 0;
    step = 0;
    paused = false;
    done = false;
}

int TarnAnimation::StepAt(double at) const {
    for (int i = 0; i < count; ++i) {
        if (at < durations[i]) return i;
        at -= durations[i];
    }
    if (mode != TARN_ANIMATE_BACK_AND_FORTH) return count - 1;
    for (int i = count - 2; i >= 1; --i) {
        if (at < durations[i]) return i;
        at -= durations[i];
    }
    return count > 1 ? 1 : 0; // what rounding left over: the round's last step
}

void TarnAnimation::Update(double seconds) {
    if (count == 0 || paused || done || !std::isfinite(seconds) || seconds <= 0) return;
    clock += seconds;
    if (clock >= round) {
        if (mode == TARN_ANIMATE_ONCE) {
            clock = round;
            step = count - 1;
            done = true;
            return;
        }
        clock = std::fmod(clock, round);
    }
    step = StepAt(clock);
}

HRESULT TarnAnimation::CopyTo(TarnSurface* dest, int x, int y) {
    return count > 0 ? sheet->CopyFrameTo(dest, x, y, frames[step]) : -1;
}

HRESULT TarnAnimation::CopyKeyedTo(TarnSurface* dest, int x, int y) {
    return count > 0 ? sheet->CopyKeyedFrameTo(dest, x, y, frames[step]) : -1;
}

HRESULT TarnAnimation::StretchTo(TarnSurface* dest, const RECT* destRect, DWORD flags) {
    return count > 0 ? sheet->StretchFrameTo(dest, destRect, frames[step], flags) : -1;
}

int TarnAnimation::BlendTo(TarnSurface* dest, int x, int y, WORD alpha) {
    return count > 0 ? sheet->BlendFrameTo(dest, x, y, frames[step], alpha) : -1;
}

int TarnAnimation::AlphaBlendTo(TarnSurface* dest, int x, int y) {
    return count > 0 ? sheet->AlphaBlendFrameTo(dest, x, y, frames[step]) : -1;
}

int TarnAnimation::CopyTurnedTo(TarnSurface* dest, int x, int y, const TarnTurn& turn) {
    return count > 0 ? sheet->CopyTurnedFrameTo(dest, x, y, frames[step], turn) : -1;
}
