// The multimedia timer of the Windows API: the millisecond clock the library measures frames and
// key presses with, declared with the real SDK's names and values.
#pragma once

#include "windef.h"

typedef UINT MMRESULT;

#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

// Milliseconds since the system started; wraps at 2^32.
DWORD WINAPI timeGetTime(void);
MMRESULT WINAPI timeBeginPeriod(UINT uPeriod);
MMRESULT WINAPI timeEndPeriod(UINT uPeriod);
