// What every stand-in entry point shares: the count of calls per operation, fault injection
// (make the Nth call of an operation return a given code), and the count of live stand-in
// objects, so that tests can prove the library's recoveries run and that it leaks nothing.
//
// An entry point opens with its operation's name, the platform's own ("CreateFileA",
// "IDirectDrawSurface7::Lock" ...), given as a template argument:
//
//     if (HRESULT hr; Enter<"IDirectDrawSurface7::Lock">(&hr)) return hr;
//
// The name is looked up once per call site, on its first call; after that a call costs an
// increment and a test of one flag. Enter counts the call and returns true with *result set
// when a fault was injected for it; the entry point then returns that result without doing
// anything. Tests name operations by the same strings (CallCount, InjectFault).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace tarn::platform {

// An operation's name as a template argument; two names join with "::" (Interface::Method).
template <std::size_t N> struct OperationName {
    char text[N] = {};
    consteval OperationName(const char (&name)[N]) {
        for (std::size_t i = 0; i < N; ++i) text[i] = name[i];
    }
    consteval OperationName() = default;
};

template <std::size_t A, std::size_t B>
consteval OperationName<A + B + 1> JoinNames(const OperationName<A>& owner,
                                             const OperationName<B>& member) {
    OperationName<A + B + 1> joined;
    std::size_t at = 0;
    for (std::size_t i = 0; i + 1 < A; ++i) joined.text[at++] = owner.text[i];
    joined.text[at++] = ':';
    joined.text[at++] = ':';
    for (std::size_t i = 0; i < B; ++i) joined.text[at++] = member.text[i];
    return joined;
}

// The counters of one operation, in a table that never moves. Only Enter's fast path reads
// them here; everything else goes through the functions below.
struct OperationCounter {
    unsigned calls = 0;    // since the last ResetCallCounts
    uint64_t total = 0;    // never reset: fault windows are counted on it
    int pendingFaults = 0; // fault windows not yet used up
    unsigned index = 0;    // its place in the table
};

// Random faults are on (InjectRandomFaults with oneIn > 0): every call takes the slow path.
extern bool randomFaultsOn;

// The counter of `operation`, claimed on first use; a spare one (never faulted) when the table
// is full.
OperationCounter& CounterOf(const char* operation);
// The part of a call that only runs while a fault is pending or random faults are on.
bool AnswerFault(OperationCounter& counter, uint64_t call, long* code);

inline bool Enter(OperationCounter& counter, long* code) {
    ++counter.calls;
    uint64_t call = ++counter.total;
    if (counter.pendingFaults == 0 && !randomFaultsOn) [[likely]]
        return false;
    return AnswerFault(counter, call, code);
}

// The counter of one named operation, found on the first call of each call site's name.
template <OperationName Name> inline OperationCounter& Counter() {
    static OperationCounter& counter = CounterOf(Name.text);
    return counter;
}

// Counts a call of `Name`; true with *result set to the injected code (converted to the entry
// point's own result type) when a fault was injected. A null `result` ignores the code.
template <OperationName Name, class Result = long> inline bool Enter(Result* result = nullptr) {
    long code = 0;
    if (!Enter(Counter<Name>(), &code)) return false;
    if (result) {
        if constexpr (std::is_pointer_v<Result>)
            *result = reinterpret_cast<Result>((intptr_t)code);
        else
            *result = (Result)code;
    }
    return true;
}

// The same by a name known only at run time (looked up on every call; for tests and tools).
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
