// The screen's enumeration lists: every display mode of its device and every DirectDraw driver
// of the machine with its capabilities, gathered once when the screen is made. Each list keeps
// one empty element at its end, which the next enumerated item fills before a new empty element
// is appended; the count is the number of filled elements.
#include "display/TarnScreen.h"

#include <cstring>
#include <new>

namespace {

// Copies an enumerated string into a fixed field, cut to fit and always terminated.
void CopyName(char* field, size_t size, const char* text) {
    if (text == nullptr) text = "";
    size_t length = std::strlen(text);
    if (length >= size) length = size - 1;
    std::memcpy(field, text, length);
    field[length] = '\0';
}

template <class T> T* LastElement(T* first) {
    while (first->next != nullptr) first = first->next;
    return first;
}

template <class T> int CountAfterFirst(T* first) {
    int n = 0;
    for (T* e = first != nullptr ? first->next : nullptr; e != nullptr; e = e->next) n++;
    return n;
}

template <class T> void FreeList(T* first) {
    while (first != nullptr) {
        T* next = first->next;
        delete first;
        first = next;
    }
}

// Fills the trailing empty node with the mode. The next empty node is made first, so a failed
// allocation ends the enumeration with the list still ending in an empty node.
HRESULT CALLBACK ModeCallback(LPDDSURFACEDESC2 desc, LPVOID context) {
    TarnDisplayMode* last = LastElement(static_cast<TarnDisplayMode*>(context));
    TarnDisplayMode* fresh = new (std::nothrow) TarnDisplayMode();
    if (fresh == nullptr) return DDENUMRET_CANCEL;
    last->width = desc->dwWidth;
    last->height = desc->dwHeight;
    last->bitDepth = desc->ddpfPixelFormat.dwRGBBitCount;
    last->next = fresh;
    return DDENUMRET_OK;
}

// Records one driver when its DirectDraw object can be made and its capabilities read;
// otherwise the driver is left out and the empty record waits for the next one.
BOOL CALLBACK DriverCallback(GUID* guid, LPSTR description, LPSTR name, LPVOID context,
                             HMONITOR monitor) {
    TarnDriverInfo* last = LastElement(static_cast<TarnDriverInfo*>(context));
    IDirectDraw* dd = nullptr;
    if (FAILED(DirectDrawCreate(guid, &dd, nullptr)) || dd == nullptr) return DDENUMRET_OK;
    last->driverCaps.dwSize = sizeof(DDCAPS);
    last->helCaps.dwSize = sizeof(DDCAPS);
    HRESULT hr = dd->GetCaps(&last->driverCaps, &last->helCaps);
    dd->Release();
    if (FAILED(hr)) {
        std::memset(&last->driverCaps, 0, sizeof(DDCAPS)); // the empty record stays empty
        std::memset(&last->helCaps, 0, sizeof(DDCAPS));
        return DDENUMRET_OK;
    }
    TarnDriverInfo* fresh = new (std::nothrow) TarnDriverInfo();
    if (fresh == nullptr) return DDENUMRET_CANCEL;
    if (guid != nullptr) {
        last->guid = *guid;
        last->guidPointer = &last->guid;
    }
    CopyName(last->name, sizeof(last->name), name);
    CopyName(last->description, sizeof(last->description), description);
    last->monitor = monitor;
    last->next = fresh;
    return DDENUMRET_OK;
}

} // namespace

void TarnScreen::BuildModeList() {
    modeCount = 0;
    modeList = new (std::nothrow) TarnDisplayMode();
    if (modeList == nullptr || device == nullptr) return;
    if (SUCCEEDED(
            device->EnumDisplayModes(DDEDM_STANDARDVGAMODES, nullptr, modeList, ModeCallback)))
        modeCount = CountAfterFirst(modeList);
}

void TarnScreen::BuildDriverList() {
    driverCount = 0;
    driverList = new (std::nothrow) TarnDriverInfo();
    if (driverList == nullptr) return;
    if (SUCCEEDED(
            DirectDrawEnumerateExA(DriverCallback, driverList,
                                   DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES)))
        driverCount = CountAfterFirst(driverList);
}

// The mode list first, then the driver list, each down to its trailing empty element.
void TarnScreen::FreeLists() {
    FreeList(modeList);
    modeList = nullptr;
    FreeList(driverList);
    driverList = nullptr;
}
