#ifndef _WIN32

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/platform/System.h"

namespace qbx::sys {

AppendFile::Create AppendFile::createNew(const std::string& path, std::string& reason) {
    close();
    // O_EXCL: never an existing file; O_APPEND: every write goes to the end.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST) return Create::Exists;
        reason = std::strerror(errno);
        return Create::Failed;
    }
    handle_ = fd;
    return Create::Created;
}

bool AppendFile::append(const char* data, size_t size, std::string& reason) {
    const int fd = static_cast<int>(handle_);
    // One write call per record. (A process killed during the call can still
    // leave part of it where a page of the file ends, as the kernel stops a
    // write between pages; the log readers take such a last line as a log
    // that ended early.)
    size_t left = size;
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            // A full disk can take part of a record: cut it off again.
            const off_t taken = static_cast<off_t>(size - left);
            if (taken > 0) {
                const off_t end = ::lseek(fd, 0, SEEK_END);
                if (end >= taken) (void)::ftruncate(fd, end - taken);
            }
            reason = std::strerror(err);
            return false;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool AppendFile::sync(std::string& reason) {
    if (::fdatasync(static_cast<int>(handle_)) == 0) return true;
    reason = std::strerror(errno);
    return false;
}

bool AppendFile::removedFromDisk() const {
    // A file whose name was removed still takes every write.
    struct stat st {};
    return ::fstat(static_cast<int>(handle_), &st) == 0 && st.st_nlink == 0;
}

void AppendFile::close(bool syncFirst) noexcept {
    if (handle_ == kClosed) return;
    const int fd = static_cast<int>(handle_);
    if (syncFirst) ::fdatasync(fd);
    ::close(fd);
    handle_ = kClosed;
}

}  // namespace qbx::sys

#endif
