// The Windows API as far as the library uses it: base types, kernel, window manager, GDI and the
// multimedia timer, declared with the real SDK's names, types and values.
#pragma once

#include "windef.h"
#include "winbase.h"
#include "wingdi.h"
#include "winuser.h"
#include "mmsystem.h"
