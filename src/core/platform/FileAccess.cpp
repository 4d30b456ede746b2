// What both systems answer with the same calls (their C runtimes share
// stat, open and read): whether a path is a directory or a file, and files
// read as bytes, one at a time or whole.

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "core/platform/System.h"

namespace qbx::sys {

namespace {

// Files are read as bytes: on Windows a file opened without O_BINARY would
// turn each CR LF into LF.
#ifdef _WIN32
constexpr int kReadFlags = O_RDONLY | O_BINARY;
#else
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC;
#endif

// A file opened for reading alone: no link followed at its end, no wait on
// a named pipe that nobody writes to.
#ifdef _WIN32
constexpr int kRegularFlags = kReadFlags;
#else
constexpr int kRegularFlags = kReadFlags | O_NOFOLLOW | O_NONBLOCK;
#endif

}  // namespace

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isExistingFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool namesStandardOutput(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return false;
#else
    struct stat named {};
    struct stat target {};
    struct stat out {};
    return ::lstat(path.c_str(), &named) == 0 && S_ISLNK(named.st_mode) && ::stat(path.c_str(), &target) == 0 &&
           ::fstat(STDOUT_FILENO, &out) == 0 && target.st_dev == out.st_dev && target.st_ino == out.st_ino;
#endif
}

ReadOnlyFile::Open ReadOnlyFile::open(const std::string& path, std::string& error) {
    close();
    fd_ = ::open(path.c_str(), kReadFlags);
    struct stat st {};
    if (fd_ < 0) {
        const int why = errno;
        if (isDirectory(path)) return Open::IsDirectory;
        error = std::strerror(why);
        return Open::Failed;
    }
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        const bool directory = S_ISDIR(st.st_mode);
        error = std::strerror(errno);
        close();
        return directory ? Open::IsDirectory : Open::Failed;
    }
    sizeAtOpen_ = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
    device_ = static_cast<std::uint64_t>(st.st_dev);
    inode_ = static_cast<std::uint64_t>(st.st_ino);
    return Open::Ok;
}

bool ReadOnlyFile::openRegular(const std::string& path, std::string& error) {
    close();
#ifdef _WIN32
    // Windows opens through a reparse point: it is refused before the open.
    if (entryAt(path).kind != EntryKind::File) {
        error = "not a regular file";
        return false;
    }
#endif
    fd_ = ::open(path.c_str(), kRegularFlags);
    if (fd_ < 0) {
        error = errno == ELOOP ? "a link" : std::strerror(errno);
        return false;
    }
    const ReadFault fault = keepIfRegular(error);
    if (fault == ReadFault::Directory) error = "not a regular file";
    return fault == ReadFault::None;
}

bool ReadOnlyFile::openFollowed(const std::string& path, std::string& error, ReadFault& fault) {
    close();
    fault = ReadFault::None;
#ifdef _WIN32
    struct stat st {};
    // Windows has no named pipes in its file system, but a device name
    // ("NUL", "CON") opens: what is no regular file is refused first.
    if (::stat(path.c_str(), &st) != 0) {
        fault = errno == ENOENT ? ReadFault::Missing : ReadFault::CannotOpen;
        error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode) || !S_ISREG(st.st_mode)) {
        fault = S_ISDIR(st.st_mode) ? ReadFault::Directory : ReadFault::NotAFile;
        error = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
        return false;
    }
    fd_ = ::open(path.c_str(), kReadFlags);
#else
    // Not blocking: a named pipe opens at once, and is then refused.
    fd_ = ::open(path.c_str(), kReadFlags | O_NONBLOCK);
#endif
    if (fd_ < 0) {
        const int why = errno;
        fault = why == ENOENT || why == ENOTDIR ? ReadFault::Missing
                : why == ENXIO                  ? ReadFault::NotAFile
                                                : ReadFault::CannotOpen;
        error = fault == ReadFault::NotAFile ? "not a regular file" : std::strerror(why);
        return false;
    }
    fault = keepIfRegular(error);
    return fault == ReadFault::None;
}

ReadFault ReadOnlyFile::keepIfRegular(std::string& error) {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        error = std::strerror(errno);
        close();
        return ReadFault::CannotOpen;
    }
    if (!S_ISREG(st.st_mode)) {
        const bool directory = S_ISDIR(st.st_mode);
        error = directory ? "is a directory" : "not a regular file";
        close();
        return directory ? ReadFault::Directory : ReadFault::NotAFile;
    }
    sizeAtOpen_ = static_cast<int64_t>(st.st_size);
    device_ = static_cast<std::uint64_t>(st.st_dev);
    inode_ = static_cast<std::uint64_t>(st.st_ino);
    return ReadFault::None;
}

namespace {

std::string sizeText(long long bytes) {
    if (bytes >= (1LL << 20) && bytes % (1LL << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

}  // namespace

bool readWholeFile(const std::string& path, std::string& bytes, std::string& error, long long limit, ReadFault* fault) {
    ReadFault ignored = ReadFault::None;
    ReadFault& why = fault ? *fault : ignored;
    bytes.clear();
    ReadOnlyFile file;
    if (!file.openFollowed(path, error, why)) return false;
    if (file.sizeAtOpen() > limit) {
        why = ReadFault::TooLarge;
        error = "larger than " + sizeText(limit);
        return false;
    }
    bytes.reserve(static_cast<size_t>(file.sizeAtOpen()));
    char buffer[65536];
    for (;;) {
        const long long got = file.read(buffer, sizeof buffer, error);
        if (got == 0) return true;
        if (got < 0 || static_cast<long long>(bytes.size()) + got > limit) {
            why = got < 0 ? ReadFault::CannotRead : ReadFault::TooLarge;
            if (got > 0) error = "larger than " + sizeText(limit);
            bytes.clear();
            bytes.shrink_to_fit();
            return false;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
}

long long ReadOnlyFile::read(char* buffer, size_t size, std::string& error) {
    for (;;) {
#ifdef _WIN32
        const auto got = ::read(fd_, buffer, static_cast<unsigned>(size));
#else
        const auto got = ::read(fd_, buffer, size);
#endif
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        error = std::strerror(errno);
        return -1;
    }
}

void ReadOnlyFile::close() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    sizeAtOpen_ = -1;
    device_ = inode_ = 0;
}

}  // namespace qbx::sys
