// Frame presentation of TarnScreen: Flip measures the frame rate, optionally writes it into the
// back buffer, and shows the back buffer (by flipping the chain on a full-screen screen, by a
// blit into the window's client area on a windowed one); Restore brings lost display surfaces
// back; WaitForVBlank waits for the vertical blank. Nothing here allocates: Flip runs per frame.
#include "display/TarnScreen.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstdio>

namespace {

// The frame-rate read-out: where it goes in the back buffer and its GDI colour.
const int FPS_X = 10;
const int FPS_Y = 20;
const COLORREF FPS_COLOUR = 0xFFF0;
// A measuring window closes at the first Flip after more than this many milliseconds.
const DWORD FPS_WINDOW_MS = 1000;

} // namespace

// The clock difference is taken in unsigned 32-bit arithmetic, so the wrap of the millisecond
// counter after 2^32 ms still gives the right elapsed time. The call that closes a window adds
// its time to that window but is counted in the next one.
void TarnScreen::Flip(int wait, int stretch, int showFrameRate) {
    DWORD now = timeGetTime();
    frameTime += now - lastTime;
    lastTime = now;
    if (frameTime > FPS_WINDOW_MS) {
        // Multiplied before it is divided, so a whole mean rate comes out exact.
        frameRate = static_cast<int>(static_cast<double>(frameCount) * 1000.0 /
                                     static_cast<double>(frameTime));
        frameTime = 0;
        frameCount = 0;
    }
    frameCount++;

    // Only a screen with both buffers has anything to present.
    if (frontBuffer == nullptr || backBuffer == nullptr || frontBuffer->surface == nullptr) return;

    if (showFrameRate != 0) {
        char text[32];
        std::snprintf(text, sizeof(text), "FPS = %d", frameRate);
        if (backBuffer->GetDC() != nullptr) {
            backBuffer->DrawString(FPS_X, FPS_Y, FPS_COLOUR, text);
            backBuffer->ReleaseDC();
        }
    }

    HRESULT hr;
    if (fullScreen != 0) {
        hr = frontBuffer->surface->Flip(nullptr, wait == 1 ? DDFLIP_WAIT : DDFLIP_NOVSYNC);
    } else {
        RECT client;
        GetClientRect(window, &client);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        OffsetRect(&client, origin.x, origin.y);
        if (wait == 1) WaitForVBlank();
        RECT source = {0, 0, backBuffer->width, backBuffer->height};
        if (stretch == 0) {
            // Unscaled: the top-left part of the back buffer, no larger than the back buffer
            // itself, so a client area bigger than the back buffer still shows the frame.
            source.right = std::min<LONG>(client.right - client.left, source.right);
            source.bottom = std::min<LONG>(client.bottom - client.top, source.bottom);
            client.right = client.left + source.right;
            client.bottom = client.top + source.bottom;
        }
        // Only what lies on the desktop: a window partly off the screen shows the rest of the
        // frame (a copy reaching past the primary surface would be refused whole).
        const RECT frame = source, desktop = {0, 0, frontBuffer->width, frontBuffer->height};
        hr = DD_OK;
        if (TarnSurface::ClipScaledRects(frame, desktop, &source, &client))
            hr = frontBuffer->surface->Blt(&client, backBuffer->surface, &source, DDBLT_WAIT,
                                           nullptr);
    }
    // Any other failure just means this frame is not shown.
    if (hr == DDERR_SURFACELOST) Restore();
}

// Restoring a chain's primary surface restores the whole chain; a windowed screen's back buffer
// is a surface of its own and is restored separately. Of a windowed screen's two restores the
// first failure is the result: a primary still lost is not hidden by a back buffer restored.
HRESULT TarnScreen::Restore() {
    IDirectDrawSurface7* primary = frontBuffer != nullptr ? frontBuffer->surface : nullptr;
    if (fullScreen != 0) {
        if (primary == nullptr || primary->IsLost() != DDERR_SURFACELOST) return DD_OK;
        return primary->Restore();
    }
    HRESULT result = DD_OK;
    if (primary != nullptr && primary->IsLost() == DDERR_SURFACELOST) result = primary->Restore();
    IDirectDrawSurface7* back = backBuffer != nullptr ? backBuffer->surface : nullptr;
    if (back == nullptr || back->IsLost() != DDERR_SURFACELOST) return result;
    HRESULT backResult = back->Restore();
    return FAILED(result) ? result : backResult;
}

HRESULT TarnScreen::WaitForVBlank() {
    if (device == nullptr) return DDERR_NOTINITIALIZED;
    return device->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
}
