// Files on the POSIX file system behind CreateFileA, ReadFile, WriteFile, GetFileSize,
// SetFilePointer, CloseHandle, MoveFileExA and DeleteFileA, with the Windows semantics the library
// relies on: sharing modes are enforced between the handles of this process (a file opened for
// shared reading can be opened again for reading, not for writing), names are found regardless of
// case as on a Windows volume, '\' separates folders, a folder cannot be opened as a file, and
// every open file is a live stand-in object until its handle is closed.
#include "internal/StandIn.h"
#include "kernel/Kernel.h"

#include <winbase.h>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarn::platform {
namespace {

struct FileObject {
    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
    DWORD share = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

// The open files; a handle is the address of its object, looked up here before it is used.
std::vector<FileObject*>& OpenFiles() {
    static auto* files = new std::vector<FileObject*>;
    return *files;
}

FileObject* FindFile(HANDLE handle) {
    if (!handle || handle == INVALID_HANDLE_VALUE) return nullptr;
    for (FileObject* f : OpenFiles())
        if (f == handle) return f;
    return nullptr;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

// Finds `path` on the disk regardless of the case of its parts; the path unchanged when a
// part has no match (the open then reports the missing file).
std::string ResolveCase(const std::string& path) {
    std::string resolved = path.empty() || path[0] != '/' ? "" : "/";
    size_t start = resolved.size();
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        std::string folder = resolved.empty() ? "." : resolved;
        std::string candidate = resolved + part;
        struct stat st;
        if (part != "." && part != ".." && lstat(candidate.c_str(), &st) != 0) {
            if (DIR* dir = opendir(folder.c_str())) {
                while (dirent* entry = readdir(dir)) {
                    if (strcasecmp(entry->d_name, part.c_str()) == 0) {
                        candidate = resolved + entry->d_name;
                        break;
                    }
                }
                closedir(dir);
            }
        }
        resolved = candidate;
        if (end < path.size()) resolved += '/';
    }
    return resolved;
}

// True when this process already holds the file in a way the new handle's access or sharing
// does not allow.
bool SharingConflict(const struct stat& st, bool read, bool write, DWORD share) {
    for (const FileObject* f : OpenFiles()) {
        if (f->device != st.st_dev || f->inode != st.st_ino) continue;
        if ((read && !(f->share & FILE_SHARE_READ)) || (write && !(f->share & FILE_SHARE_WRITE)))
            return true;
        if ((f->canRead && !(share & FILE_SHARE_READ)) ||
            (f->canWrite && !(share & FILE_SHARE_WRITE)))
            return true;
    }
    return false;
}

// A Windows path as the POSIX file system names it: '/' for '\\', and each existing part
// found regardless of case.
std::string PosixPath(const char* name) {
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    return ResolveCase(path);
}

HANDLE Fail(DWORD error) {
    SetLastErrorNow(error);
    return INVALID_HANDLE_VALUE;
}

// What ReadFile and WriteFile check before moving any byte: the handle, somewhere to report the
// count, the buffer, the access the handle was opened with; then the file is placed at the
// overlapped offset when one is given. Null, with the last error set, when a check fails.
FileObject* TransferTarget(HANDLE handle, const void* buffer, DWORD count, const DWORD* done,
                           const OVERLAPPED* overlapped, bool writing) {
    FileObject* file = FindFile(handle);
    if (!file) return Failure(ERROR_INVALID_HANDLE, nullptr);
    if (!done && !overlapped) return Failure(ERROR_INVALID_PARAMETER, nullptr);
    if (!buffer && count > 0) return Failure(ERROR_NOACCESS, nullptr);
    if (!(writing ? file->canWrite : file->canRead)) return Failure(ERROR_ACCESS_DENIED, nullptr);
    if (overlapped) {
        off_t offset = (off_t)(((uint64_t)overlapped->OffsetHigh << 32) | overlapped->Offset);
        if (lseek(file->fd, offset, SEEK_SET) < 0) return Failure(ERROR_INVALID_PARAMETER, nullptr);
    }
    return file;
}

} // namespace
} // namespace tarn::platform

using namespace tarn::platform;

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD, HANDLE) {
    if (EnterFailed<"CreateFileA">()) return INVALID_HANDLE_VALUE;
    if (!lpFileName) return Fail(ERROR_INVALID_PARAMETER);
    if (!*lpFileName) return Fail(ERROR_PATH_NOT_FOUND);
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER);
    bool read = (dwDesiredAccess & (GENERIC_READ | GENERIC_ALL)) != 0;
    bool write = (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL)) != 0;
    if (dwCreationDisposition == TRUNCATE_EXISTING && !write) return Fail(ERROR_INVALID_PARAMETER);

    std::string path = lpFileName;
    for (char& c : path)
        if (c == '\\') c = '/';
    bool mayCreate = dwCreationDisposition == CREATE_NEW ||
                     dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    if (dwCreationDisposition != CREATE_NEW) path = ResolveCase(path);

    struct stat before;
    bool existed = stat(path.c_str(), &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    if (existed && dwCreationDisposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS);
    if (!existed && !mayCreate) {
        // A missing folder on the way is reported apart from a missing file.
        size_t slash = path.rfind('/');
        struct stat folder;
        if (slash != std::string::npos && slash > 0 &&
            stat(path.substr(0, slash).c_str(), &folder) != 0)
            return Fail(ERROR_PATH_NOT_FOUND);
        return Fail(ERROR_FILE_NOT_FOUND);
    }

    int flags = O_CLOEXEC | (read && write ? O_RDWR : (write ? O_WRONLY : O_RDONLY));
    if (mayCreate) flags |= O_CREAT;
    if (dwCreationDisposition == CREATE_NEW) flags |= O_EXCL;
    int fd = open(path.c_str(), flags, 0644);
    if (fd < 0) return Fail(ErrorFromErrno(errno));
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return Fail(ERROR_ACCESS_DENIED);
    }
    // Sharing is checked before anything is truncated, so a refused open changes nothing.
    if (SharingConflict(st, read, write, dwShareMode)) {
        close(fd);
        if (!existed) unlink(path.c_str());
        return Fail(ERROR_SHARING_VIOLATION);
    }
    if ((dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING) &&
        ftruncate(fd, 0) != 0) {
        int error = errno;
        close(fd);
        return Fail(ErrorFromErrno(error));
    }
    auto* file = new FileObject;
    file->fd = fd;
    file->canRead = read;
    file->canWrite = write;
    file->share = dwShareMode;
    file->device = st.st_dev;
    file->inode = st.st_ino;
    OpenFiles().push_back(file);
    ObjectCreated("file");
    bool reportsExisting =
        dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    SetLastErrorNow(existed && reportsExisting ? ERROR_ALREADY_EXISTS : NO_ERROR);
    return file;
}

// Reads up to the count; at the end of the file it succeeds with fewer bytes (0 past the end).
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    if (EnterFailed<"ReadFile">()) return FALSE;
    FileObject* file = TransferTarget(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead,
                                      lpOverlapped, false);
    if (!file) return FALSE;
    DWORD total = 0;
    auto* out = static_cast<unsigned char*>(lpBuffer);
    while (total < nNumberOfBytesToRead) {
        ssize_t n = read(file->fd, out + total, nNumberOfBytesToRead - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
            SetLastErrorNow(ErrorFromErrno(errno));
            return FALSE;
        }
        if (n == 0) break;
        total += (DWORD)n;
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
    if (lpOverlapped) lpOverlapped->InternalHigh = total;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    if (EnterFailed<"WriteFile">()) return FALSE;
    FileObject* file = TransferTarget(hFile, lpBuffer, nNumberOfBytesToWrite,
                                      lpNumberOfBytesWritten, lpOverlapped, true);
    if (!file) return FALSE;
    DWORD total = 0;
    const auto* in = static_cast<const unsigned char*>(lpBuffer);
    while (total < nNumberOfBytesToWrite) {
        ssize_t n = write(file->fd, in + total, nNumberOfBytesToWrite - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = total;
            SetLastErrorNow(n < 0 && errno == ENOSPC ? 112L /* ERROR_DISK_FULL */
                                                     : ErrorFromErrno(errno));
            return FALSE;
        }
        total += (DWORD)n;
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = total;
    if (lpOverlapped) lpOverlapped->InternalHigh = total;
    return TRUE;
}

// The low 32 bits of the size; the high part only when asked for.
DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    if (EnterFailed<"GetFileSize">()) return INVALID_FILE_SIZE;
    FileObject* file = FindFile(hFile);
    struct stat st;
    if (!file || fstat(file->fd, &st) != 0) return Failure(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
    uint64_t size = (uint64_t)st.st_size;
    if (lpFileSizeHigh) *lpFileSizeHigh = (DWORD)(size >> 32);
    SetLastErrorNow(NO_ERROR); // a size whose low part is 0xFFFFFFFF is not a failure
    return (DWORD)size;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
    if (EnterFailed<"SetFilePointer">()) return INVALID_SET_FILE_POINTER;
    FileObject* file = FindFile(hFile);
    if (!file) return Failure(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
    int whence = dwMoveMethod == FILE_BEGIN     ? SEEK_SET
                 : dwMoveMethod == FILE_CURRENT ? SEEK_CUR
                 : dwMoveMethod == FILE_END     ? SEEK_END
                                                : -1;
    if (whence < 0) return Failure(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    int64_t distance = lpDistanceToMoveHigh
                           ? (int64_t)(((uint64_t)(uint32_t)*lpDistanceToMoveHigh << 32) |
                                       (uint32_t)lDistanceToMove)
                           : (int64_t)lDistanceToMove;
    off_t now = lseek(file->fd, 0, SEEK_CUR);
    off_t end = lseek(file->fd, 0, SEEK_END);
    lseek(file->fd, now, SEEK_SET);
    int64_t base = whence == SEEK_SET ? 0 : (whence == SEEK_CUR ? (int64_t)now : (int64_t)end);
    if (base + distance < 0) return Failure(ERROR_NEGATIVE_SEEK, INVALID_SET_FILE_POINTER);
    off_t result = lseek(file->fd, (off_t)(base + distance), SEEK_SET);
    if (result < 0 || (!lpDistanceToMoveHigh && (uint64_t)result > 0xFFFFFFFEu))
        return Failure(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = (LONG)((uint64_t)result >> 32);
    SetLastErrorNow(NO_ERROR);
    return (DWORD)result;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (EnterFailed<"CloseHandle">()) return FALSE;
    FileObject* file = FindFile(hObject);
    if (!file) return Failure(ERROR_INVALID_HANDLE, FALSE);
    std::vector<FileObject*>& files = OpenFiles();
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i] == file) {
            files.erase(files.begin() + (long)i);
            break;
        }
    }
    close(file->fd);
    delete file;
    ObjectDestroyed("file");
    return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    if (EnterFailed<"MoveFileExA">()) return FALSE;
    if (!lpExistingFileName || !lpNewFileName) return Failure(ERROR_INVALID_PARAMETER, FALSE);
    if (!*lpExistingFileName || !*lpNewFileName) return Failure(ERROR_PATH_NOT_FOUND, FALSE);
    std::string from = PosixPath(lpExistingFileName), to = PosixPath(lpNewFileName);
    struct stat st;
    if (stat(from.c_str(), &st) != 0) return Failure(ErrorFromErrno(errno), FALSE);
    struct stat target;
    bool exists = stat(to.c_str(), &target) == 0;
    if (exists && !(dwFlags & MOVEFILE_REPLACE_EXISTING))
        return Failure(ERROR_ALREADY_EXISTS, FALSE);
    if (exists && S_ISDIR(target.st_mode)) return Failure(ERROR_ACCESS_DENIED, FALSE);
    // Windows refuses to replace or move a file this process holds open without delete sharing;
    // no handle of the stand-in shares deletion.
    for (const FileObject* f : OpenFiles())
        if ((f->device == st.st_dev && f->inode == st.st_ino) ||
            (exists && f->device == target.st_dev && f->inode == target.st_ino))
            return Failure(ERROR_SHARING_VIOLATION, FALSE);
    if (rename(from.c_str(), to.c_str()) != 0) return Failure(ErrorFromErrno(errno), FALSE);
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    if (EnterFailed<"DeleteFileA">()) return FALSE;
    if (!lpFileName) return Failure(ERROR_INVALID_PARAMETER, FALSE);
    if (!*lpFileName) return Failure(ERROR_PATH_NOT_FOUND, FALSE);
    std::string path = PosixPath(lpFileName);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return Failure(ErrorFromErrno(errno), FALSE);
    if (S_ISDIR(st.st_mode)) return Failure(ERROR_ACCESS_DENIED, FALSE);
    for (const FileObject* f : OpenFiles())
        if (f->device == st.st_dev && f->inode == st.st_ino)
            return Failure(ERROR_SHARING_VIOLATION, FALSE);
    if (unlink(path.c_str()) != 0) return Failure(ErrorFromErrno(errno), FALSE);
    return TRUE;
}
