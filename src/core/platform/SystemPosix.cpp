#ifndef _WIN32

#include "core/platform/System.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbx::sys {

LocalTime localTimeNow() {
    // Every record stamp and every deal step reads the clock. The wall clock
    // comes through the vDSO and localtime_r uses the zone rules loaded at
    // the first call, so a reading makes no system call.
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    ::localtime_r(&ts.tv_sec, &local);
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(ts.tv_nsec / 1000000)};
}

long processId() { return static_cast<long>(::getpid()); }

void syncDirectory(const std::string& directory) noexcept {
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

namespace {

Entry entryOf(const struct stat& st) {
    Entry e;
    const auto type = st.st_mode & S_IFMT;
    e.kind = type == S_IFREG    ? EntryKind::File
             : type == S_IFDIR  ? EntryKind::Directory
             : type == S_IFLNK  ? EntryKind::Link
             : type == S_IFIFO  ? EntryKind::Pipe
             : type == S_IFCHR  ? EntryKind::Device
             : type == S_IFBLK  ? EntryKind::Device
             : type == S_IFSOCK ? EntryKind::Socket
                                : EntryKind::Other;
    e.bytes = static_cast<long long>(st.st_size);
    e.mode = static_cast<unsigned>(st.st_mode & 07777);
    e.device = static_cast<std::uint64_t>(st.st_dev);
    e.inode = static_cast<std::uint64_t>(st.st_ino);
    return e;
}

}  // namespace

Entry entryAt(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? entryOf(st) : Entry{};
}

Entry entryThrough(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? entryOf(st) : Entry{};
}

bool makeOwnDirectory(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    error = std::strerror(errno);
    return false;
}

void setMode(const std::string& path, unsigned mode) noexcept { ::chmod(path.c_str(), static_cast<mode_t>(mode)); }

std::FILE* createNewFile(const std::string& path, bool& exists, std::string& error, unsigned mode) {
    exists = false;
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, static_cast<mode_t>(mode));
    if (fd < 0) {
        exists = errno == EEXIST;
        error = std::strerror(errno);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        error = std::strerror(errno);
        ::close(fd);
        ::unlink(path.c_str());
    }
    return file;
}

bool flushToDisk(std::FILE* file, std::string& error) {
    if (std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0) return true;
    error = std::strerror(errno);
    return false;
}

bool replaceFile(const std::string& from, const std::string& to, std::string& error) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    error = std::strerror(errno);
    return false;
}

}  // namespace qbx::sys

#endif
