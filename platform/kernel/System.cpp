// The small kernel and multimedia calls: the thread's last error, MulDiv, processor
// information, debugger output, the module handle of the program, and the millisecond clocks,
// which read the host's clock.
#include "host/Host.h"
#include "internal/StandIn.h"
#include "kernel/Kernel.h"

#include <intrin.h>
#include <mmsystem.h>
#include <winbase.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

thread_local DWORD lastError = 0;

// The program's own module: a fixed address, as a Windows program's image base is.
HMODULE ProgramModule() {
    return (HMODULE)(uintptr_t)0x00400000;
}

// The program's file name without folder and without ".exe", for GetModuleHandleA by name.
bool IsProgramName(const char* name) {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return false;
    path[length] = 0;
    const char* base = std::strrchr(path, '/');
    base = base ? base + 1 : path;
    size_t baseLength = std::strlen(base);
    size_t nameLength = std::strlen(name);
    if (nameLength > 4 && strcasecmp(name + nameLength - 4, ".exe") == 0) nameLength -= 4;
    return nameLength == baseLength && strncasecmp(name, base, nameLength) == 0;
}

} // namespace

void tarn::platform::SetLastErrorNow(DWORD error) {
    lastError = error;
}

using namespace tarn::platform;

DWORD WINAPI GetLastError(void) {
    if (DWORD result; Enter<"GetLastError">(&result)) return result;
    return lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    if (Enter<"SetLastError">()) return;
    lastError = dwErrCode;
}

// number * numerator / denominator with a 64-bit product, rounded half away from zero;
// -1 when the denominator is 0 or the result does not fit in an int.
int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (int result; Enter<"MulDiv">(&result)) return result;
    if (nDenominator == 0) return -1;
    int64_t product = (int64_t)nNumber * (int64_t)nNumerator;
    int64_t denominator = nDenominator;
    bool negative = (product < 0) != (denominator < 0);
    uint64_t p = product < 0 ? (uint64_t)(-product) : (uint64_t)product;
    uint64_t d = denominator < 0 ? (uint64_t)(-denominator) : (uint64_t)denominator;
    uint64_t q = (p + d / 2) / d;
    if (q > (uint64_t)INT_MAX + (negative ? 1 : 0)) return -1;
    return negative ? (int)(-(int64_t)q) : (int)q;
}

// The real machine's processor. With an injected fault the machine reports the fault's code
// as its processor type (e.g. 486), so a test can show the library an old processor.
void WINAPI GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
    long code;
    bool faulted = Enter<"GetSystemInfo">(&code);
    if (!lpSystemInfo) return;
    SYSTEM_INFO info;
    std::memset(&info, 0, sizeof info);
#if defined(__x86_64__)
    info.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    info.dwProcessorType = PROCESSOR_AMD_X8664;
#elif defined(__i386__)
    info.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    info.dwProcessorType = PROCESSOR_INTEL_PENTIUM;
#elif defined(__aarch64__)
    info.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM64;
#else
    info.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
#endif
    long pageSize = sysconf(_SC_PAGESIZE);
    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    info.dwPageSize = pageSize > 0 ? (DWORD)pageSize : 4096;
    info.lpMinimumApplicationAddress = (LPVOID)(uintptr_t)0x10000;
    info.lpMaximumApplicationAddress = (LPVOID)(uintptr_t)0x7FFEFFFF;
    info.dwNumberOfProcessors = processors > 0 ? (DWORD)processors : 1;
    info.dwActiveProcessorMask = info.dwNumberOfProcessors >= 8 * sizeof(DWORD_PTR)
                                     ? ~(DWORD_PTR)0
                                     : (((DWORD_PTR)1 << info.dwNumberOfProcessors) - 1);
    info.dwAllocationGranularity = 65536;
#if defined(__i386__) || defined(__x86_64__)
    int regs[4];
    __cpuid(regs, 1);
    int family = (regs[0] >> 8) & 0xF, model = (regs[0] >> 4) & 0xF, stepping = regs[0] & 0xF;
    if (family == 0xF) family += (regs[0] >> 20) & 0xFF;
    if (family >= 6) model += ((regs[0] >> 16) & 0xF) << 4;
    info.wProcessorLevel = (WORD)family;
    info.wProcessorRevision = (WORD)((model << 8) | stepping);
#endif
    if (faulted) info.dwProcessorType = (DWORD)code;
    *lpSystemInfo = info;
}

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
    if (Enter<"OutputDebugStringA">() || !lpOutputString) return;
    CurrentHost().DebugOutput(lpOutputString);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (EnterFailed<"GetModuleHandleA">()) return nullptr;
    if (!lpModuleName || IsProgramName(lpModuleName)) return ProgramModule();
    SetLastErrorNow(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

// The program's own file (the only module there is). A name longer than the buffer is cut to
// nSize - 1 characters and ended, and the call returns nSize with ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    if (EnterFailed<"GetModuleFileNameA">()) return 0;
    if (hModule != nullptr && hModule != ProgramModule()) {
        SetLastErrorNow(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (lpFilename == nullptr && nSize > 0) {
        SetLastErrorNow(ERROR_INVALID_PARAMETER);
        return 0;
    }
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        SetLastErrorNow(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (nSize == 0) {
        SetLastErrorNow(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const DWORD whole = static_cast<DWORD>(length);
    const DWORD copied = whole < nSize ? whole : nSize - 1;
    std::memcpy(lpFilename, path, copied);
    lpFilename[copied] = '\0';
    if (copied < whole) {
        SetLastErrorNow(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    return copied;
}

DWORD WINAPI GetTickCount(void) {
    if (DWORD result; Enter<"GetTickCount">(&result)) return result;
    return CurrentHost().Milliseconds();
}

DWORD WINAPI timeGetTime(void) {
    if (DWORD result; Enter<"timeGetTime">(&result)) return result;
    return CurrentHost().Milliseconds();
}

MMRESULT WINAPI timeBeginPeriod(UINT uPeriod) {
    if (MMRESULT result; Enter<"timeBeginPeriod">(&result)) return result;
    return uPeriod == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT uPeriod) {
    if (MMRESULT result; Enter<"timeEndPeriod">(&result)) return result;
    return uPeriod == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR;
}
