#ifndef _WIN32

#include "core/eventlog/LogFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbx {

namespace {
std::string describe(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}
}  // namespace

LogFile::~LogFile() { close(); }

LogFile::Create LogFile::createNew(const std::string& path, std::string& error) {
    close();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST) return Create::Exists;
        error = describe("Cannot create the event log", path, errno);
        return Create::Failed;
    }
    handle_ = fd;
    path_ = path;
    unsynced_ = true;  // the new directory entry must reach the disk too
    line_.reserve(256);
    return Create::Created;
}

void LogFile::writeLine(const std::string& record) {
    if (handle_ == kClosed) throw LogError("The event log " + path_ + " is not open");
    const int fd = static_cast<int>(handle_);
    // One write call per record, so a record is never split by a crash
    // between two calls. (A process killed during the call can still leave
    // part of it where a page of the file ends, as the kernel stops a write
    // between pages; the log readers take such a last line as a log that
    // ended early.)
    line_.assign(record);
    line_ += "\r\n";
    const char* data = line_.data();
    size_t left = line_.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            // A full disk can take part of a record: cut it off again, so
            // that the log ends with the last whole record.
            const off_t taken = static_cast<off_t>(line_.size() - left);
            if (taken > 0) {
                const off_t end = ::lseek(fd, 0, SEEK_END);
                if (end >= taken) (void)::ftruncate(fd, end - taken);
            }
            throw LogError(describe("Cannot write the event log", path_, err));
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    unsynced_ = true;
}

void LogFile::sync() {
    if (handle_ == kClosed || !unsynced_) return;
    const int fd = static_cast<int>(handle_);
    if (::fdatasync(fd) != 0) throw LogError(describe("Cannot save the event log", path_, errno));
    unsynced_ = false;
    // A log whose name was removed (dataout deleted during play) still takes
    // every write, but its records would vanish with the program.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_nlink == 0)
        throw LogError("Cannot save the event log " + path_ + ": the file has been removed from the disk");
}

void LogFile::close() noexcept {
    if (handle_ == kClosed) return;
    const int fd = static_cast<int>(handle_);
    if (unsynced_) ::fdatasync(fd);
    ::close(fd);
    handle_ = kClosed;
    unsynced_ = false;
}

}  // namespace qbx

#endif
