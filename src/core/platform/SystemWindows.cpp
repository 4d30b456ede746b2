#ifdef _WIN32

#include "core/platform/System.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace qbx::sys {

std::string windowsErrorText(unsigned long code) {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text) ::LocalFree(text);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.' || message.back() == ' '))
        message.pop_back();
    return message;
}

LocalTime localTimeNow() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

long processId() { return static_cast<long>(::GetCurrentProcessId()); }

void syncDirectory(const std::string&) noexcept {
    // NTFS records a new name in its journal; there is no directory to flush.
}

Entry entryAt(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return {};
    Entry e;
    // A symbolic link or a junction: never followed.
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        e.kind = EntryKind::Link;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        e.kind = EntryKind::Directory;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
        e.kind = EntryKind::Device;
    else
        e.kind = EntryKind::File;
    e.bytes = static_cast<long long>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    return e;
}

Entry entryThrough(const std::string& path) {
    // Links are not followed on Windows: a link stays a link.
    return entryAt(path);
}

bool makeOwnDirectory(const std::string& path, std::string& error) {
    // Created with the folder's inherited permissions: Windows has no mode.
    if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
    error = windowsErrorText(::GetLastError());
    return false;
}

void setMode(const std::string&, unsigned) noexcept {
    // Windows files have access lists, inherited from their folder, and no
    // permission bits to keep.
}

std::FILE* createNewFile(const std::string& path, bool& exists, std::string& error, unsigned) {
    exists = false;
    // CREATE_NEW: refused when the name exists, never opens or truncates it.
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        error = windowsErrorText(code);
        return nullptr;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    std::FILE* file = fd >= 0 ? ::_fdopen(fd, "wb") : nullptr;
    if (!file) {
        error = std::strerror(errno);
        if (fd >= 0)
            ::_close(fd);
        else
            ::CloseHandle(handle);
        ::DeleteFileA(path.c_str());
    }
    return file;
}

bool flushToDisk(std::FILE* file, std::string& error) {
    if (std::fflush(file) != 0) {
        error = std::strerror(errno);
        return false;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE || !::FlushFileBuffers(handle)) {
        error = windowsErrorText(::GetLastError());
        return false;
    }
    return true;
}

bool replaceFile(const std::string& from, const std::string& to, std::string& error) {
    // rename() on Windows refuses an existing target; this replaces it.
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = windowsErrorText(::GetLastError());
    return false;
}

FileSystemKind fileSystemOf(const std::string& path) {
    FileSystemKind kind;
    // A UNC path ("\\server\share\...") is a share whatever its volume says.
    const bool unc = path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
    char root[MAX_PATH + 1] = {};
    if (!::GetVolumePathNameA(path.c_str(), root, MAX_PATH)) {
        kind.network = unc;
        return kind;
    }
    char name[MAX_PATH + 1] = {};
    if (::GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH)) kind.name = name;
    kind.network = unc || ::GetDriveTypeA(root) == DRIVE_REMOTE;
    return kind;
}

}  // namespace qbx::sys

#endif
