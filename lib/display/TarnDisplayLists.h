/// @file
/// The elements of a screen's two enumeration lists: one TarnDisplayMode per display mode of its
/// device and one TarnDriverInfo per DirectDraw driver of the machine. Both lists are singly
/// linked, built once when the screen is made, and always end with one empty element, so a list
/// that found nothing is a single empty element and its count is 0.
#pragma once

#include <windows.h>
#include <ddraw.h>

/// One display mode of the screen's device (TarnScreen::modeList).
struct TarnDisplayMode {
    DWORD width;           ///< pixels across
    DWORD height;          ///< pixels down
    DWORD bitDepth;        ///< bits per pixel
    TarnDisplayMode* next; ///< the next mode; null on the trailing empty element
};

/// One DirectDraw driver of the machine (TarnScreen::driverList).
struct TarnDriverInfo {
    GUID* guidPointer;     ///< null for the primary display driver, else &guid
    GUID guid;             ///< the driver's identifier (unused for the primary driver)
    char name[512];        ///< cut to fit, always terminated
    char description[512]; ///< cut to fit, always terminated
    DDCAPS driverCaps;     ///< what the driver's hardware does
    DDCAPS helCaps;        ///< what the software emulation does
    HMONITOR monitor;      ///< the driver's monitor, null when it has none of its own
    TarnDriverInfo* next;  ///< the next driver; null on the trailing empty element
};
