#ifdef _WIN32

#include <windows.h>

#include "core/platform/System.h"

namespace qbx::sys {

namespace {

HANDLE asHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

AppendFile::Create AppendFile::createNew(const std::string& path, std::string& reason) {
    close();
    // CREATE_NEW never opens an existing file. Other programs may read the
    // log while it is written (FILE_SHARE_READ), but none may write it, and
    // none may delete or rename it while it is open.
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return Create::Exists;
        reason = windowsErrorText(code);
        return Create::Failed;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return Create::Created;
}

bool AppendFile::append(const char* data, size_t size, std::string& reason) {
    HANDLE h = asHandle(handle_);
    // One WriteFile per record, so a record is never split by a crash
    // between two calls.
    DWORD left = static_cast<DWORD>(size);
    while (left > 0) {
        DWORD written = 0;
        if (!::WriteFile(h, data, left, &written, nullptr) || written == 0) {
            const DWORD code = ::GetLastError();
            // A full disk can take part of a record: cut it off again.
            const LONGLONG taken = static_cast<LONGLONG>(size - left) + written;
            if (taken > 0) {
                LARGE_INTEGER end{};
                LARGE_INTEGER back{};
                back.QuadPart = -taken;
                if (::SetFilePointerEx(h, LARGE_INTEGER{}, &end, FILE_END) && end.QuadPart >= taken &&
                    ::SetFilePointerEx(h, back, nullptr, FILE_END))
                    ::SetEndOfFile(h);
            }
            reason = windowsErrorText(code ? code : ERROR_DISK_FULL);
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

bool AppendFile::sync(std::string& reason) {
    if (::FlushFileBuffers(asHandle(handle_))) return true;
    reason = windowsErrorText(::GetLastError());
    return false;
}

bool AppendFile::removedFromDisk() const {
    // Windows refuses to delete an open log, but a file system shared with
    // another system (or Wine on Linux) may still unlink it.
    HANDLE h = asHandle(handle_);
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_STANDARD_INFO standard{};
    const bool unlinked = ::GetFileInformationByHandle(h, &info) && info.nNumberOfLinks == 0;
    const bool pending =
        ::GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard) && standard.DeletePending;
    return unlinked || pending;
}

void AppendFile::close(bool syncFirst) noexcept {
    if (handle_ == kClosed) return;
    HANDLE h = asHandle(handle_);
    if (syncFirst) ::FlushFileBuffers(h);
    ::CloseHandle(h);
    handle_ = kClosed;
}

}  // namespace qbx::sys

#endif
