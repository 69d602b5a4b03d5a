// The program's executable resources: bitmap files embedded at build time (tarn_embed_bitmaps)
// and found with FindResourceA, LoadResource, LockResource and SizeofResource. As in a Windows
// executable, a bitmap resource holds the file without its 14-byte file header, names are
// matched regardless of case, and "#123" names the resource with the number 123.
#include "internal/StandIn.h"
#include "kernel/Kernel.h"

#include <winbase.h>

#include <cstdlib>
#include <string>
#include <strings.h>
#include <vector>

namespace tarn::platform {
namespace {

constexpr size_t FILE_HEADER_SIZE = 14;

struct Resource {
    std::string name; // empty for a numbered resource
    WORD number = 0;
    WORD type = 2; // RT_BITMAP
    const unsigned char* data = nullptr;
    DWORD size = 0;
    HRSRC__ info{}; // its address is the resource's HRSRC
};

// Never destroyed, and the resources never move: their addresses are handles.
std::vector<Resource*>& Table() {
    static auto* table = new std::vector<Resource*>;
    return *table;
}

// "#123" and MAKEINTRESOURCE(123) name the same resource.
bool ParseNumbered(LPCSTR name, WORD* number) {
    if (IS_INTRESOURCE(name)) {
        *number = (WORD)(uintptr_t)name;
        return true;
    }
    if (name[0] != '#' || !name[1]) return false;
    char* end = nullptr;
    long value = std::strtol(name + 1, &end, 10);
    if (*end || value < 0 || value > 0xFFFF) return false;
    *number = (WORD)value;
    return true;
}

bool NameMatches(const Resource& r, LPCSTR name) {
    WORD number = 0;
    if (ParseNumbered(name, &number)) return r.name.empty() && r.number == number;
    return !r.name.empty() && strcasecmp(r.name.c_str(), name) == 0;
}

bool TypeMatches(const Resource& r, LPCSTR type) {
    WORD number = 0;
    return ParseNumbered(type, &number) && number == r.type;
}

HMODULE ProgramModule() {
    return (HMODULE)(uintptr_t)0x00400000;
}

Resource* FindByInfo(HRSRC info) {
    for (Resource* r : Table())
        if (&r->info == info) return r;
    return nullptr;
}

} // namespace

bool RegisterBitmapResource(const char* name, const unsigned char* file, std::size_t size) {
    if (!name || !*name || !file || size < FILE_HEADER_SIZE || file[0] != 'B' || file[1] != 'M' ||
        size - FILE_HEADER_SIZE > 0xFFFFFFFFu)
        return false;
    for (Resource* r : Table())
        if (NameMatches(*r, name)) return false;
    auto* r = new Resource;
    WORD number = 0;
    if (ParseNumbered(name, &number))
        r->number = number;
    else
        r->name = name;
    r->data = file + FILE_HEADER_SIZE;
    r->size = (DWORD)(size - FILE_HEADER_SIZE);
    Table().push_back(r);
    return true;
}

} // namespace tarn::platform

using namespace tarn::platform;

// Looks in the program's own module (null or its handle); other modules have no resources.
HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    if (EnterFailed<"FindResourceA">()) return nullptr;
    if (hModule && hModule != ProgramModule())
        return Failure(ERROR_RESOURCE_DATA_NOT_FOUND, nullptr);
    if (!lpName || !lpType)
        return Failure(!lpType ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND,
                       nullptr);
    bool typeFound = false;
    for (Resource* r : Table()) {
        if (!TypeMatches(*r, lpType)) continue;
        typeFound = true;
        if (NameMatches(*r, lpName)) return &r->info;
    }
    if (Table().empty())
        SetLastErrorNow(ERROR_RESOURCE_DATA_NOT_FOUND);
    else
        SetLastErrorNow(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

// The resource's data stays where it is for the life of the program; its handle is its address.
HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
    if (EnterFailed<"LoadResource">()) return nullptr;
    Resource* r = FindByInfo(hResInfo);
    if (!r || (hModule && hModule != ProgramModule()))
        return Failure(ERROR_INVALID_HANDLE, nullptr);
    return (HGLOBAL)r->data;
}

// Gives the data of a loaded resource; anything else is refused rather than followed.
LPVOID WINAPI LockResource(HGLOBAL hResData) {
    if (EnterFailed<"LockResource">()) return nullptr;
    for (Resource* r : Table())
        if ((HGLOBAL)r->data == hResData) return hResData;
    SetLastErrorNow(ERROR_INVALID_HANDLE);
    return nullptr;
}

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    if (EnterFailed<"SizeofResource">()) return 0;
    Resource* r = FindByInfo(hResInfo);
    if (!r || (hModule && hModule != ProgramModule())) return Failure(ERROR_INVALID_HANDLE, 0);
    return r->size;
}

// Resources are never freed in a 32-bit program; the call does nothing and returns FALSE.
BOOL WINAPI FreeResource(HGLOBAL) {
    Enter<"FreeResource">();
    return FALSE;
}
