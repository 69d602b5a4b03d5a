// File access over the kernel's file calls.
#include "image/TarnFile.h"

#include <cstring>
#include <new>

TarnFile::TarnFile() : handle(INVALID_HANDLE_VALUE) {}

TarnFile::~TarnFile() {
    Close();
}

int TarnFile::Open(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                   DWORD creationDisposition) {
    Close();
    if (!fileName) return -1;
    handle = CreateFileA(fileName, desiredAccess, shareMode, nullptr, creationDisposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? -1 : 0;
}

int TarnFile::OpenRead(const char* fileName) {
    return Open(fileName, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

DWORD TarnFile::Read(void* buffer, DWORD count) {
    DWORD read = 0;
    if (handle == INVALID_HANDLE_VALUE) return 0;
    if (!ReadFile(handle, buffer, count, &read, nullptr)) return 0;
    return read;
}

bool TarnFile::Write(const void* buffer, DWORD count) {
    DWORD written = 0;
    if (handle == INVALID_HANDLE_VALUE) return false;
    return WriteFile(handle, buffer, count, &written, nullptr) && written == count;
}

DWORD TarnFile::GetSize() {
    if (handle == INVALID_HANDLE_VALUE) return 0;
    return GetFileSize(handle, nullptr);
}

void TarnFile::Close() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}

namespace {

// The last error as an HRESULT; E_FAIL when no error was recorded.
HRESULT LastFailure() {
    const DWORD error = GetLastError();
    return error ? static_cast<HRESULT>((error & 0xFFFF) | 0x80070000u) : E_FAIL;
}

} // namespace

HRESULT TarnFile::WriteReplacing(const char* fileName, const void* data, DWORD size) {
    if (!fileName || !*fileName || (!data && size > 0)) return E_INVALIDARG;
    const size_t length = std::strlen(fileName);
    static const char SUFFIX[] = ".saving";
    char* temporary = new (std::nothrow) char[length + sizeof SUFFIX];
    if (!temporary) return E_OUTOFMEMORY;
    std::memcpy(temporary, fileName, length);
    std::memcpy(temporary + length, SUFFIX, sizeof SUFFIX);

    HRESULT result = S_OK;
    TarnFile file;
    if (file.Open(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS) != 0) {
        result = LastFailure();
    } else {
        if (!file.Write(data, size)) result = LastFailure();
        file.Close();
        if (SUCCEEDED(result) &&
            !MoveFileExA(temporary, fileName, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            result = LastFailure();
        if (FAILED(result)) DeleteFileA(temporary);
    }
    delete[] temporary;
    return result;
}
