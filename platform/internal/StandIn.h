// What every stand-in entry point shares: the count of calls per operation, fault injection
// (make the Nth call of an operation return a given code), and the count of live stand-in
// objects, so that tests can prove the library's recoveries run and that it leaks nothing.
#pragma once

#include <cstdint>

namespace tarn::platform {

// Operation names are the platform's own: "CreateFileA", "IDirectDrawSurface7::Lock",
// "IDirectInputDeviceA::Acquire" ... Every entry point calls Enter() first.
//
// Enter counts the call and returns true with *code set when a fault was injected for it; the
// entry point then returns *code (converted to its own result type) without doing anything.
bool Enter(const char* operation, long* code);

// Makes calls nth .. nth+count-1 of `operation`, counted from now (1 = the next call), fail
// with `code`. count 0 means every call from the nth on.
void InjectFault(const char* operation, unsigned nth, long code, unsigned count = 1);
// Makes each call of every operation fail with probability 1/oneIn (0 switches it off), using a
// deterministic generator seeded with `seed`. Operations listed in `spare` (comma-separated) are
// left alone.
void InjectRandomFaults(unsigned oneIn, uint32_t seed, const char* spare = nullptr);
void ClearFaults();
// Calls of `operation` since the last ResetCallCounts.
unsigned CallCount(const char* operation);
void ResetCallCounts();

// Live objects: COM objects, GDI objects, kernel handles and windows the stand-in made and
// that were not released yet. `kind` is a short category name ("surface", "dc", "file" ...).
void ObjectCreated(const char* kind);
void ObjectDestroyed(const char* kind);
int LiveObjects();
int LiveObjects(const char* kind);

} // namespace tarn::platform
