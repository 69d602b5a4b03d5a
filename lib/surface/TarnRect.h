/// @file
/// Small helpers for rectangles (RECT, right and bottom exclusive, as everywhere in Tarn) and
/// numbers: overlap, containment, a point inside, clamping. An empty rectangle (right <= left
/// or bottom <= top) overlaps nothing and contains nothing.
#pragma once

#include <windows.h>

/// True when `r` holds no pixel.
constexpr bool TarnRectEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

/// True when `a` and `b` share at least one pixel.
constexpr bool TarnRectsOverlap(const RECT& a, const RECT& b) {
    return !TarnRectEmpty(a) && !TarnRectEmpty(b) && a.left < b.right && b.left < a.right &&
           a.top < b.bottom && b.top < a.bottom;
}

/// The pixels `a` and `b` share; an empty rectangle (all 0) when they share none.
constexpr RECT TarnRectOverlap(const RECT& a, const RECT& b) {
    if (!TarnRectsOverlap(a, b)) return RECT{0, 0, 0, 0};
    return RECT{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
}

/// True when every pixel of `inner` lies in `outer` (and `inner` has one).
constexpr bool TarnRectContains(const RECT& outer, const RECT& inner) {
    return !TarnRectEmpty(inner) && inner.left >= outer.left && inner.top >= outer.top &&
           inner.right <= outer.right && inner.bottom <= outer.bottom;
}

/// True when the pixel (x, y) lies in `r`.
constexpr bool TarnPointInRect(const RECT& r, LONG x, LONG y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

/// `value` kept within low .. high (low when high < low).
template <class T> constexpr T TarnClamp(T value, T low, T high) {
    return value > high ? (high < low ? low : high) : value < low ? low : value;
}

/// `r` moved so that it lies in `area` where it fits (its size kept); where it is wider or
/// taller than `area`, its left or top edge goes to the area's.
constexpr RECT TarnRectClamp(const RECT& r, const RECT& area) {
    const LONG w = r.right - r.left, h = r.bottom - r.top;
    const LONG left = TarnClamp<LONG>(r.left, area.left, area.right - w);
    const LONG top = TarnClamp<LONG>(r.top, area.top, area.bottom - h);
    return RECT{left, top, left + w, top + h};
}
