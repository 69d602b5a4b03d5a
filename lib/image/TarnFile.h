/// A thin owner of one operating-system file handle: open by name, learn the size, read, write,
/// close. The image front end reads a picture file whole with it and the surface's savers write
/// theirs with it (WriteReplacing); nothing else in the library touches files.
#pragma once

#include <windows.h>

class TarnFile {
public:
    TarnFile();
    virtual ~TarnFile();

    /// 0 on success, -1 on failure; any file held before is closed first.
    int Open(const char* fileName, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition);
    /// An existing file, for reading; others may read it too.
    int OpenRead(const char* fileName);
    /// Bytes read, 0 when the read fails; a short read is for the caller to notice.
    DWORD Read(void* buffer, DWORD count);
    /// True when all `count` bytes were written.
    bool Write(const void* buffer, DWORD count);
    /// The low 32 bits of the size; 0 when no file is open.
    DWORD GetSize();
    /// Closes the file; nothing happens when none is open. The destructor closes it too.
    void Close();

    /// The file's handle, INVALID_HANDLE_VALUE when none is open. Owned: closed by Close.
    HANDLE handle;

    /// Writes `size` bytes as the file `fileName`: first to a temporary file beside it, which then
    /// replaces the file in one rename. On failure no temporary file is left behind and an
    /// existing `fileName` is untouched. S_OK, or the failure as an HRESULT.
    static HRESULT WriteReplacing(const char* fileName, const void* data, DWORD size);
};
