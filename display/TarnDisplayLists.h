// The elements of a screen's two enumeration lists: one TarnDisplayMode per display mode of its
// device and one TarnDriverInfo per DirectDraw driver of the machine. Both lists are singly
// linked, built once when the screen is made, and always end with one empty element, so a list
// that found nothing is a single empty element and its count is 0.
#pragma once

#include <windows.h>
#include <ddraw.h>

struct TarnDisplayMode {
    DWORD width;
    DWORD height;
    DWORD bitDepth;
    TarnDisplayMode* next;
};

struct TarnDriverInfo {
    GUID* guidPointer; // null for the primary display driver, else &guid
    GUID guid;
    char name[512];        // cut to fit, always terminated
    char description[512]; // cut to fit, always terminated
    DDCAPS driverCaps;
    DDCAPS helCaps;
    HMONITOR monitor;
    TarnDriverInfo* next;
};
