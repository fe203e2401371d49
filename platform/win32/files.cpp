// Win32 file calls over POSIX descriptors: CreateFileA, SetFilePointer,
// ReadFile, WriteFile, GetFileSizeEx, SetEndOfFile, FlushFileBuffers,
// LockFileEx / UnlockFileEx and CloseHandle (which also accepts the process
// and thread pseudo-handles).
//
// State: the table of open file handles, from CreateFileA to CloseHandle,
// each with the byte ranges it has locked. Handle values are never reused, so
// a second CloseHandle of the same value fails instead of closing some later
// file. Process-wide, behind a mutex.
//
// Locks are open-file-description locks (fcntl F_OFD_SETLKW): like Windows
// locks they belong to the handle, not to the process, and NFS and SMB
// mounts pass them on to the server. They are advisory here: a program that
// does not lock can still write, where Windows would refuse it.
#include "win32/win32_internal.h"

#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct LockedRange {
    uint64_t offset;
    uint64_t length;
    bool exclusive;
};

struct OpenFile {
    int fd;
    bool canRead;
    bool canWrite;
    std::vector<LockedRange> locks;
};

std::mutex g_filesMutex;
std::map<uintptr_t, OpenFile> g_files;
uintptr_t g_nextFileHandle = 0x1000;  // multiples of 4, as Windows hands them out

const HANDLE kCurrentProcess = (HANDLE)(LONG_PTR)-1;
const HANDLE kCurrentThread = (HANDLE)(LONG_PTR)-2;

bool LookUp(HANDLE h, OpenFile* out) {
    std::lock_guard<std::mutex> lock(g_filesMutex);
    auto it = g_files.find((uintptr_t)h);
    if (it == g_files.end()) return false;
    *out = it->second;
    return true;
}

// The open file behind a handle that was opened for writing; otherwise sets
// the error Windows gives (a bad handle, or no write access) and is false.
bool LookUpForWriting(HANDLE h, OpenFile* out) {
    if (!LookUp(h, out)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!out->canWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

// The parent folder of a path exists (and is a folder).
bool ParentExists(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return true;
    std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat st;
    return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

DWORD ErrorFromErrno(int err, const std::string& path) {
    switch (err) {
    case ENOENT: return ParentExists(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC:
    case EFBIG:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    default: return ERROR_GEN_FAILURE;
    }
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)dwShareMode;
    (void)lpSecurityAttributes;
    (void)dwFlagsAndAttributes;
    (void)hTemplateFile;
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path(lpFileName);
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    for (char& c : path)
        if (c == '\\') c = '/';  // Windows takes both separators

    const bool wantRead = (dwDesiredAccess & GENERIC_READ) != 0;
    const bool wantWrite = (dwDesiredAccess & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC;
    flags |= wantWrite ? (wantRead ? O_RDWR : O_WRONLY) : O_RDONLY;

    bool existedBefore = false;
    switch (dwCreationDisposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
        if (!wantWrite) {  // Windows demands write access to truncate
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        flags |= O_TRUNC;
        break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS) {
        struct stat st;
        existedBefore = stat(path.c_str(), &st) == 0;
        if (existedBefore && S_ISDIR(st.st_mode)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
    }

    int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno, path));
        return INVALID_HANDLE_VALUE;
    }
    // A folder opens for reading on Linux; on Windows (without backup
    // semantics) it does not.
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }

    uintptr_t value;
    {
        std::lock_guard<std::mutex> lock(g_filesMutex);
        value = g_nextFileHandle;
        g_nextFileHandle += 4;
        g_files[value] = OpenFile{fd, wantRead, wantWrite, {}};
    }
    // As Windows reports it: the call succeeded on a file that was already there.
    SetLastError(existedBefore ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return (HANDLE)value;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    OpenFile file;
    if (!LookUp(hFile, &file)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the distance is a signed 32-bit value; with one,
    // the two halves make a signed 64-bit distance.
    int64_t distance = lpDistanceToMoveHigh
                           ? (int64_t)(((uint64_t)(uint32_t)*lpDistanceToMoveHigh << 32) | (uint32_t)lDistanceToMove)
                           : (int64_t)lDistanceToMove;
    int64_t base;
    switch (dwMoveMethod) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = lseek(file.fd, 0, SEEK_CUR); break;
    case FILE_END: {
        struct stat st;
        base = fstat(file.fd, &st) == 0 ? (int64_t)st.st_size : -1;
        break;
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        SetLastError(ErrorFromErrno(errno, std::string()));
        return INVALID_SET_FILE_POINTER;
    }
    int64_t target;
    if (__builtin_add_overflow(base, distance, &target) || target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);  // the position stays where it was
        return INVALID_SET_FILE_POINTER;
    }
    if (!lpDistanceToMoveHigh && target > (int64_t)0xFFFFFFFEu) {
        // The caller could not tell the result from INVALID_SET_FILE_POINTER.
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(file.fd, (off_t)target, SEEK_SET) < 0) {
        SetLastError(ErrorFromErrno(errno, std::string()));
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = (LONG)(uint32_t)((uint64_t)target >> 32);
    DWORD low = (DWORD)((uint64_t)target & 0xFFFFFFFFu);
    // A low part that equals INVALID_SET_FILE_POINTER is told apart from a
    // failure through GetLastError.
    if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
    return low;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    OpenFile file;
    if (!LookUp(hFile, &file)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!file.canRead) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!lpBuffer && nNumberOfBytesToRead > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    char* dest = (char*)lpBuffer;
    DWORD total = 0;
    int64_t offset = lpOverlapped ? (int64_t)(((uint64_t)lpOverlapped->OffsetHigh << 32) | lpOverlapped->Offset) : -1;
    while (total < nNumberOfBytesToRead) {
        ssize_t n = offset >= 0 ? pread(file.fd, dest + total, nNumberOfBytesToRead - total, (off_t)(offset + total))
                                : read(file.fd, dest + total, nNumberOfBytesToRead - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetLastError(errno == EIO ? ERROR_READ_FAULT : ErrorFromErrno(errno, std::string()));
            if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
            return FALSE;
        }
        if (n == 0) break;  // end of file: success with what was read
        total += (DWORD)n;
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
    if (lpOverlapped) lpOverlapped->InternalHigh = total;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    OpenFile file;
    if (!LookUpForWriting(hFile, &file)) return FALSE;
    if (!lpBuffer && nNumberOfBytesToWrite > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const char* src = (const char*)lpBuffer;
    DWORD total = 0;
    int64_t offset = lpOverlapped ? (int64_t)(((uint64_t)lpOverlapped->OffsetHigh << 32) | lpOverlapped->Offset) : -1;
    while (total < nNumberOfBytesToWrite) {
        ssize_t n = offset >= 0 ? pwrite(file.fd, src + total, nNumberOfBytesToWrite - total, (off_t)(offset + total))
                                : write(file.fd, src + total, nNumberOfBytesToWrite - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetLastError(errno == EIO ? ERROR_WRITE_FAULT : ErrorFromErrno(errno, std::string()));
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = total;
            return FALSE;
        }
        total += (DWORD)n;
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = total;
    if (lpOverlapped) lpOverlapped->InternalHigh = total;
    return TRUE;
}

BOOL WINAPI GetFileSizeEx(HANDLE hFile, LARGE_INTEGER* lpFileSize) {
    OpenFile file;
    if (!LookUp(hFile, &file)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpFileSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat st;
    if (fstat(file.fd, &st) != 0) {
        SetLastError(ErrorFromErrno(errno, std::string()));
        return FALSE;
    }
    lpFileSize->QuadPart = (LONGLONG)st.st_size;
    return TRUE;
}

// Cuts or extends the file to the current position (the position stays).
BOOL WINAPI SetEndOfFile(HANDLE hFile) {
    OpenFile file;
    if (!LookUpForWriting(hFile, &file)) return FALSE;
    const off_t position = lseek(file.fd, 0, SEEK_CUR);
    if (position < 0 || ftruncate(file.fd, position) != 0) {
        SetLastError(ErrorFromErrno(errno, std::string()));
        return FALSE;
    }
    return TRUE;
}

// Data and size on the disk (or the server) before it returns. Windows wants
// write access for it.
BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
    OpenFile file;
    if (!LookUpForWriting(hFile, &file)) return FALSE;
    int result;
    while ((result = fsync(file.fd)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        SetLastError(errno == EIO ? ERROR_WRITE_FAULT : ErrorFromErrno(errno, std::string()));
        return FALSE;
    }
    return TRUE;
}

namespace {

// The range an OVERLAPPED and a 64-bit count name, as a struct flock. A range
// reaching past the largest off_t locks "to the end and beyond" (l_len 0).
struct flock RangeLock(short type, uint64_t offset, uint64_t length) {
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = (off_t)offset;
    fl.l_len = (length > (uint64_t)INT64_MAX - offset) ? 0 : (off_t)length;
    return fl;
}

bool Overlaps(const LockedRange& r, uint64_t offset, uint64_t length) {
    const uint64_t end = length > UINT64_MAX - offset ? UINT64_MAX : offset + length;
    const uint64_t rEnd = r.length > UINT64_MAX - r.offset ? UINT64_MAX : r.offset + r.length;
    return offset < rEnd && r.offset < end;
}

}  // namespace

// Locks a byte range of the file (it may lie beyond the end) for this
// handle: shared, or exclusive with LOCKFILE_EXCLUSIVE_LOCK. Waits for other
// holders unless LOCKFILE_FAIL_IMMEDIATELY (then ERROR_LOCK_VIOLATION). A
// range this handle already holds exclusively, or that overlaps one, cannot
// be taken again (Windows would wait for itself forever; this fails).
BOOL WINAPI LockFileEx(HANDLE hFile, DWORD dwFlags, DWORD dwReserved, DWORD nNumberOfBytesToLockLow,
                       DWORD nNumberOfBytesToLockHigh, LPOVERLAPPED lpOverlapped) {
    OpenFile file;
    if (!LookUp(hFile, &file)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (dwReserved != 0 || !lpOverlapped || (nNumberOfBytesToLockLow == 0 && nNumberOfBytesToLockHigh == 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool exclusive = (dwFlags & LOCKFILE_EXCLUSIVE_LOCK) != 0;
    const uint64_t offset = ((uint64_t)lpOverlapped->OffsetHigh << 32) | lpOverlapped->Offset;
    const uint64_t length = ((uint64_t)nNumberOfBytesToLockHigh << 32) | nNumberOfBytesToLockLow;
    for (const LockedRange& r : file.locks) {
        if ((exclusive || r.exclusive) && Overlaps(r, offset, length)) {
            SetLastError(ERROR_LOCK_VIOLATION);
            return FALSE;
        }
    }
    if (offset > (uint64_t)INT64_MAX) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Shared locks of one handle on overlapping ranges would merge into one
    // OFD lock and the first unlock would drop both; Windows keeps them apart.
    // Only non-overlapping ranges reach fcntl more than once.
    struct flock fl = RangeLock(exclusive ? F_WRLCK : F_RDLCK, offset, length);
    const int command = (dwFlags & LOCKFILE_FAIL_IMMEDIATELY) ? F_OFD_SETLK : F_OFD_SETLKW;
    int result;
    while ((result = fcntl(file.fd, command, &fl)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        const int err = errno;
        SetLastError(err == EAGAIN || err == EACCES || err == EDEADLK ? ERROR_LOCK_VIOLATION
                     : err == ENOLCK                                  ? ERROR_NOT_ENOUGH_MEMORY
                                                                      : ErrorFromErrno(err, std::string()));
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> lock(g_filesMutex);
        auto it = g_files.find((uintptr_t)hFile);
        if (it != g_files.end()) it->second.locks.push_back({offset, length, exclusive});
    }
    if (lpOverlapped) lpOverlapped->Internal = 0;
    return TRUE;
}

// Releases a range exactly as LockFileEx took it; any other range fails with
// ERROR_NOT_LOCKED.
BOOL WINAPI UnlockFileEx(HANDLE hFile, DWORD dwReserved, DWORD nNumberOfBytesToUnlockLow,
                         DWORD nNumberOfBytesToUnlockHigh, LPOVERLAPPED lpOverlapped) {
    if (dwReserved != 0 || !lpOverlapped) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const uint64_t offset = ((uint64_t)lpOverlapped->OffsetHigh << 32) | lpOverlapped->Offset;
    const uint64_t length = ((uint64_t)nNumberOfBytesToUnlockHigh << 32) | nNumberOfBytesToUnlockLow;
    int fd = -1;
    bool stillCovered = false;
    {
        std::lock_guard<std::mutex> lock(g_filesMutex);
        auto it = g_files.find((uintptr_t)hFile);
        if (it == g_files.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        std::vector<LockedRange>& locks = it->second.locks;
        size_t i = 0;
        while (i < locks.size() && !(locks[i].offset == offset && locks[i].length == length)) ++i;
        if (i == locks.size()) {
            SetLastError(ERROR_NOT_LOCKED);
            return FALSE;
        }
        locks.erase(locks.begin() + (ptrdiff_t)i);
        // Another shared lock of this handle on an overlapping range keeps it.
        for (const LockedRange& r : locks) stillCovered = stillCovered || Overlaps(r, offset, length);
        fd = it->second.fd;
    }
    if (stillCovered) return TRUE;
    struct flock fl = RangeLock(F_UNLCK, offset, length);
    if (fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        SetLastError(ErrorFromErrno(errno, std::string()));
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (hObject == kCurrentProcess || hObject == kCurrentThread) return TRUE;  // pseudo-handles: nothing to close
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(g_filesMutex);
        auto it = g_files.find((uintptr_t)hObject);
        if (it != g_files.end()) {
            fd = it->second.fd;
            g_files.erase(it);
        }
    }
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (close(fd) != 0 && errno != EINTR) {
        SetLastError(ErrorFromErrno(errno, std::string()));
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
