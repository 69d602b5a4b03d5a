// The web host's calls into its page: the functions of web/tarn_web.js (linked with
// --js-library), which say what each does. WebPageNextFrame and WebPageSleep give the browser its
// turn (Asyncify; the link names them in ASYNCIFY_IMPORTS).
#pragma once

#include <cstdint>

extern "C" {
void WebPageShowFrame(const void* rgba, int width, int height);
void WebPageNextFrame();
void WebPageSleep(int ms);
void WebPageWake();
void WebPageSetTitle(const char* title);
int WebPageWidth();
int WebPageHeight();
int WebPageVisible();
void WebPageShowCursor(int show);
void WebPageCanvasPlace(double place[4]);
void WebPageFocusCanvas();
int WebPageOpenAudio(int rate, int16_t* buffer, int frames);
void WebPageCloseAudio();
void WebPageRumble(int index, double strong, double weak);
void WebPageNotePad(int slot, int buttons, int lt, int rt, int lx, int ly, int rx, int ry);
void WebPageNoteJoystick(int x, int y, int buttons);
void WebPageNoteMouse(int dx, int dy, int wheel);
void WebPageNoteCursor(int x, int y);
}
