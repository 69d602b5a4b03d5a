// The bookkeeping every stand-in entry point shares: a call count per operation, injected faults
// (the Nth call of an operation, or random calls, fail with a given code) and the count of live
// stand-in objects by kind.
//
// How an entry point turns an injected code into its result: a call whose result is a status or
// a value (an HRESULT, an MMRESULT, MulDiv, timeGetTime, GetSystemMetrics) returns the code; a
// call whose failure is one fixed value (FALSE, NULL, INVALID_HANDLE_VALUE, INVALID_FILE_SIZE,
// -1 from GetMessageA) returns that value and leaves the code as the thread's last error.
// GetSystemInfo, which has no result, reports the code as the processor type.
//
// Enter() runs on every stand-in call, frame paths included. Each call site finds its operation's
// counter once (by the name, in a fixed-size table open-addressed by it); a call then only counts
// and comes here when a fault is pending for it or random faults are on. Nothing is allocated
// after start-up. Everything runs on the program's one thread.
#include "internal/StandIn.h"

#include "internal/MachineEvents.h"

#include <cstdio>
#include <cstring>

namespace tarn::platform {
namespace {

constexpr int MAX_NAME_LENGTH = 63;
constexpr unsigned TABLE_SIZE = 1024; // a power of two, far above the number of operations
constexpr int MAX_FAULTS = 8;         // pending fault windows per operation

struct FaultWindow {
    bool used = false;
    uint64_t first = 0; // first failing call, by the operation's running total
    uint64_t last = 0;  // last failing call; UINT64_MAX for "every call from first on"
    long code = 0;
};

struct Operation {
    OperationCounter counter;
    char name[MAX_NAME_LENGTH + 1] = {};
    FaultWindow faults[MAX_FAULTS];
};

struct ObjectKind {
    char name[MAX_NAME_LENGTH + 1] = {};
    int live = 0;
};

struct State {
    Operation operations[TABLE_SIZE];
    Operation overflow; // counts what the full table cannot; never faulted
    ObjectKind kinds[64];
    int liveTotal = 0;
    unsigned randomOneIn = 0;
    uint32_t randomState = 0;
    char spare[1024] = {};
    bool tableFullReported = false;
};

// Never destroyed, so stand-in objects released during process exit still find it.
State& Get() {
    static State* state = [] {
        State* made = new State;
        for (unsigned i = 0; i < TABLE_SIZE; ++i) made->operations[i].counter.index = i;
        made->overflow.counter.index = TABLE_SIZE;
        return made;
    }();
    return *state;
}

Operation& OperationAt(unsigned index) {
    State& s = Get();
    return index < TABLE_SIZE ? s.operations[index] : s.overflow;
}

uint32_t HashName(const char* name) {
    uint32_t h = 2166136261u;
    for (const char* p = name; *p; ++p) h = (h ^ (uint8_t)*p) * 16777619u;
    return h;
}

// Finds the slot of `name`, claiming a free one on first use; null when the table is full.
Operation* Find(const char* name) {
    State& s = Get();
    uint32_t h = HashName(name);
    for (unsigned i = 0; i < TABLE_SIZE; ++i) {
        Operation& op = s.operations[(h + i) & (TABLE_SIZE - 1)];
        if (op.name[0] == 0) {
            std::snprintf(op.name, sizeof op.name, "%s", name);
            return &op;
        }
        if (std::strncmp(op.name, name, MAX_NAME_LENGTH) == 0) return &op;
    }
    if (!s.tableFullReported) {
        s.tableFullReported = true;
        std::fprintf(stderr, "tarn stand-in: too many distinct operations to count\n");
    }
    return nullptr;
}

ObjectKind* FindKind(const char* kind) {
    State& s = Get();
    for (ObjectKind& k : s.kinds) {
        if (k.name[0] == 0) {
            std::snprintf(k.name, sizeof k.name, "%s", kind);
            return &k;
        }
        if (std::strncmp(k.name, kind, MAX_NAME_LENGTH) == 0) return &k;
    }
    return nullptr;
}

uint32_t NextRandom() {
    uint32_t& x = Get().randomState; // xorshift32
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

// True when `name` is one of the comma-separated operations the random faults leave alone.
bool IsSpared(const char* name) {
    const char* list = Get().spare;
    size_t length = std::strlen(name);
    while (*list) {
        while (*list == ' ' || *list == ',') ++list;
        const char* end = list;
        while (*end && *end != ',') ++end;
        const char* trimmed = end;
        while (trimmed > list && trimmed[-1] == ' ') --trimmed;
        if ((size_t)(trimmed - list) == length && std::strncmp(list, name, length) == 0)
            return true;
        list = end;
    }
    return false;
}

} // namespace

bool randomFaultsOn = false;

OperationCounter& CounterOf(const char* operation) {
    Operation* op = operation ? Find(operation) : nullptr;
    return op ? op->counter : Get().overflow.counter;
}

bool AnswerFault(OperationCounter& counter, uint64_t call, long* code) {
    Operation& op = OperationAt(counter.index);
    if (&op == &Get().overflow) return false;
    // Windows may overlap; the first one that covers the call answers it, and every window
    // whose last call has gone by is freed, whichever answered.
    bool failed = false;
    for (FaultWindow& f : op.faults) {
        if (!f.used || call < f.first) continue;
        if (!failed && code) *code = f.code;
        failed = true;
        if (call >= f.last) {
            f.used = false;
            --counter.pendingFaults;
        }
    }
    if (failed) return true;
    State& s = Get();
    if (s.randomOneIn != 0 && NextRandom() % s.randomOneIn == 0 && !IsSpared(op.name)) {
        if (code) *code = (long)0x80004005L; // E_FAIL
        return true;
    }
    return false;
}

bool Enter(const char* operation, long* code) {
    if (!operation) return false;
    Operation* op = Find(operation);
    return op ? Enter(op->counter, code) : false;
}

void InjectFault(const char* operation, unsigned nth, long code, unsigned count) {
    if (!operation) return;
    Operation* op = Find(operation);
    if (!op) return;
    if (nth == 0) nth = 1;
    for (FaultWindow& f : op->faults) {
        if (f.used) continue;
        f.used = true;
        ++op->counter.pendingFaults;
        f.first = op->counter.total + nth;
        f.last = count == 0 ? UINT64_MAX : f.first + count - 1;
        f.code = code;
        return;
    }
    std::fprintf(stderr, "tarn stand-in: too many pending faults for %s\n", operation);
}

void InjectRandomFaults(unsigned oneIn, uint32_t seed, const char* spare) {
    State& s = Get();
    s.randomOneIn = oneIn;
    randomFaultsOn = oneIn != 0;
    s.randomState = seed ? seed : 0x9E3779B9u;
    std::snprintf(s.spare, sizeof s.spare, "%s", spare ? spare : "");
}

void ClearFaults() {
    State& s = Get();
    for (Operation& op : s.operations) {
        for (FaultWindow& f : op.faults) f.used = false;
        op.counter.pendingFaults = 0;
    }
    s.randomOneIn = 0;
    randomFaultsOn = false;
    s.spare[0] = 0;
}

unsigned CallCount(const char* operation) {
    if (!operation) return 0;
    Operation* op = Find(operation);
    return op ? op->counter.calls : 0;
}

void ResetCallCounts() {
    for (Operation& op : Get().operations) op.counter.calls = 0;
    Get().overflow.counter.calls = 0;
}

namespace {
// A fresh machine has no faults planned and has counted no calls.
void ListenForFaults(MachineChange change) {
    if (change != MachineChange::Reset) return;
    ClearFaults();
    ResetCallCounts();
}
[[maybe_unused]] const bool listening = ListenToMachine(&ListenForFaults);
} // namespace

void ObjectCreated(const char* kind) {
    if (!kind) kind = "";
    State& s = Get();
    ++s.liveTotal;
    if (ObjectKind* k = FindKind(kind)) ++k->live;
}

void ObjectDestroyed(const char* kind) {
    if (!kind) kind = "";
    State& s = Get();
    ObjectKind* k = FindKind(kind);
    // A release of something never counted would hide a leak elsewhere: report it, keep counts.
    if (!k || k->live <= 0) {
        std::fprintf(stderr, "tarn stand-in: %s destroyed more often than created\n", kind);
        return;
    }
    --k->live;
    --s.liveTotal;
}

int LiveObjects() {
    return Get().liveTotal;
}

int LiveObjects(const char* kind) {
    if (!kind) return 0;
    ObjectKind* k = FindKind(kind);
    return k ? k->live : 0;
}

} // namespace tarn::platform
