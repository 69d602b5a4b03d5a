// Inside the kernel part of the stand-in: what other parts of the stand-in and the build's
// generated resource files call without going through a counted entry point.
#pragma once

#include "internal/StandIn.h"

#include <windef.h>

#include <cstddef>

namespace tarn::platform {

// Sets the thread's last error as the real calls do on failure (not counted as a call).
void SetLastErrorNow(DWORD error);

// Enter() for an entry point that reports its failures through the last error: true, with the
// injected code made the last error, when a fault was injected for `Operation`.
template <OperationName Operation> bool EnterFailed() {
    long code;
    if (!Enter<Operation>(&code)) return false;
    SetLastErrorNow((DWORD)code);
    return true;
}

// An entry point's failure in one line: sets the last error and gives `result`.
template <class T> T Failure(DWORD error, T result) {
    SetLastErrorNow(error);
    return result;
}

// Adds a bitmap resource to the program's module. `file` is a whole .bmp file that stays in
// memory for the life of the process; the resource's data is the file without its 14-byte file
// header, as in a Windows executable. Called at static initialisation by the files that
// tarn_embed_bitmaps generates. False when the data is not a bitmap file or the name is taken.
bool RegisterBitmapResource(const char* name, const unsigned char* file, std::size_t size);

} // namespace tarn::platform
