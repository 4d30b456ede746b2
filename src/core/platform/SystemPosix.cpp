#ifndef _WIN32

#include "core/platform/System.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
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

std::FILE* createNewFile(const std::string& path, bool& exists, std::string& error) {
    exists = false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
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
