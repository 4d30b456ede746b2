#ifdef _WIN32

#include "core/eventlog/LogFile.h"

#include <windows.h>

#include "core/platform/System.h"

namespace qbx {

namespace {

std::string describe(const std::string& what, const std::string& path, DWORD code) {
    return what + " " + path + ": " + sys::windowsErrorText(code);
}

HANDLE asHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

LogFile::~LogFile() { close(); }

LogFile::Create LogFile::createNew(const std::string& path, std::string& error) {
    close();
    // CREATE_NEW never opens an existing file. Other programs may read the
    // log while it is written (FILE_SHARE_READ), but none may write it, and
    // none may delete or rename it while it is open.
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return Create::Exists;
        error = describe("Cannot create the event log", path, code);
        return Create::Failed;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    path_ = path;
    unsynced_ = true;
    line_.reserve(256);
    return Create::Created;
}

void LogFile::writeLine(const std::string& record) {
    if (handle_ == kClosed) throw LogError("The event log " + path_ + " is not open");
    HANDLE h = asHandle(handle_);
    // One WriteFile per record, so a record is never split by a crash
    // between two calls.
    line_.assign(record);
    line_ += "\r\n";
    const char* data = line_.data();
    DWORD left = static_cast<DWORD>(line_.size());
    while (left > 0) {
        DWORD written = 0;
        if (!::WriteFile(h, data, left, &written, nullptr) || written == 0) {
            const DWORD code = ::GetLastError();
            // A full disk can take part of a record: cut it off again, so
            // that the log ends with the last whole record.
            const LONGLONG taken = static_cast<LONGLONG>(line_.size() - left) + written;
            if (taken > 0) {
                LARGE_INTEGER end{};
                LARGE_INTEGER back{};
                back.QuadPart = -taken;
                if (::SetFilePointerEx(h, LARGE_INTEGER{}, &end, FILE_END) && end.QuadPart >= taken &&
                    ::SetFilePointerEx(h, back, nullptr, FILE_END))
                    ::SetEndOfFile(h);
            }
            throw LogError(describe("Cannot write the event log", path_, code ? code : ERROR_DISK_FULL));
        }
        data += written;
        left -= written;
    }
    unsynced_ = true;
}

void LogFile::sync() {
    if (handle_ == kClosed || !unsynced_) return;
    HANDLE h = asHandle(handle_);
    if (!::FlushFileBuffers(h)) throw LogError(describe("Cannot save the event log", path_, ::GetLastError()));
    unsynced_ = false;
    // Windows refuses to delete an open log, but a file system shared with
    // another system (or Wine on Linux) may still unlink it: its records
    // would vanish with the program.
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_STANDARD_INFO standard{};
    const bool unlinked = ::GetFileInformationByHandle(h, &info) && info.nNumberOfLinks == 0;
    const bool pending =
        ::GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard) && standard.DeletePending;
    if (unlinked || pending)
        throw LogError("Cannot save the event log " + path_ + ": the file has been removed from the disk");
}

void LogFile::close() noexcept {
    if (handle_ == kClosed) return;
    HANDLE h = asHandle(handle_);
    if (unsynced_) ::FlushFileBuffers(h);
    ::CloseHandle(h);
    handle_ = kClosed;
    unsynced_ = false;
}

}  // namespace qbx

#endif
