// File access over the kernel's file calls.
#include "image/TarnFile.h"

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

DWORD TarnFile::GetSize() {
    if (handle == INVALID_HANDLE_VALUE) return 0;
    return GetFileSize(handle, nullptr);
}

void TarnFile::Close() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}
