#ifndef _WIN32

#include "core/platform/System.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif

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

#ifdef __linux__

namespace {

struct KnownFileSystem {
    unsigned long magic;
    const char* name;
    bool network;
};

// statfs's f_type of the file systems a lab's machine may hold its data on
// (the kernel's linux/magic.h). ext2, ext3 and ext4 share one number.
constexpr KnownFileSystem kFileSystems[] = {
    {0xEF53, "ext4", false},         {0x58465342, "xfs", false},      {0x9123683E, "btrfs", false},
    {0x01021994, "tmpfs", false},    {0x858458F6, "ramfs", false},    {0x2FC12FC1, "zfs", false},
    {0xF2F52010, "f2fs", false},     {0x794C7630, "overlay", false},  {0x4D44, "vfat", false},
    {0x2011BAB0, "exfat", false},    {0x5346544E, "ntfs", false},     {0x65735546, "fuse", false},
    {0xCA451A4E, "bcachefs", false}, {0x52654973, "reiserfs", false}, {0x3153464A, "jfs", false},
    {0x6969, "nfs", true},           {0xFF534D42, "cifs", true},      {0xFE534D42, "smb2", true},
    {0x517B, "smb", true},           {0x01021997, "9p", true},        {0x00C36400, "ceph", true},
    {0x5346414F, "afs", true},       {0x6B414653, "afs", true},       {0x73757245, "coda", true},
};

// FUSE file systems that reach another machine, by the type the mount table
// gives them ("fuse.sshfs").
constexpr const char* kNetworkFuse[] = {"sshfs",     "rclone", "s3fs",      "gcsfuse",  "glusterfs",
                                        "ceph-fuse", "davfs",  "curlftpfs", "smbnetfs", "gvfsd-fuse"};

// A mount table's field, its blanks and backslashes written as octal escapes.
std::string unescapedField(std::string_view field) {
    const auto octal = [&](size_t k) { return k < field.size() && field[k] >= '0' && field[k] <= '7'; };
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The type the mount table gives the mount that holds `resolved` (a path
// with every link resolved): the mount whose point is the longest leading
// part of it, the later of two at one point. "" when the table cannot be read.
std::string mountedType(const std::string& resolved) {
    std::string table, error;
    if (!readWholeFile("/proc/self/mountinfo", table, error, 16 << 20)) return {};
    std::string best;
    size_t bestLength = 0;
    size_t start = 0;
    while (start < table.size()) {
        size_t end = table.find('\n', start);
        if (end == std::string::npos) end = table.size();
        const std::string_view line(table.data() + start, end - start);
        start = end + 1;
        // "36 35 98:0 /root /mnt/point rw,noatime shared:1 - ext4 /dev/sda1 rw"
        std::vector<std::string_view> fields;
        size_t at = 0;
        while (at < line.size()) {
            size_t next = line.find(' ', at);
            if (next == std::string_view::npos) next = line.size();
            fields.push_back(line.substr(at, next - at));
            at = next + 1;
        }
        size_t dash = 0;
        for (size_t k = 6; k < fields.size(); ++k)
            if (fields[k] == "-") {
                dash = k;
                break;
            }
        if (fields.size() < 5 || dash == 0 || dash + 1 >= fields.size()) continue;
        const std::string point = unescapedField(fields[4]);
        const bool holds = point == "/" || resolved == point ||
                           (resolved.size() > point.size() && resolved.compare(0, point.size(), point) == 0 &&
                            resolved[point.size()] == '/');
        if (holds && point.size() >= bestLength) {
            bestLength = point.size();
            best = std::string(fields[dash + 1]);
        }
    }
    return best;
}

}  // namespace

FileSystemKind fileSystemOf(const std::string& path) {
    FileSystemKind kind;
    struct statfs st {};
    if (::statfs(path.c_str(), &st) != 0) return kind;
    const auto magic = static_cast<unsigned long>(st.f_type) & 0xFFFFFFFFul;
    bool fuse = false;
    for (const KnownFileSystem& known : kFileSystems)
        if (known.magic == magic) {
            kind.name = known.name;
            kind.network = known.network;
            fuse = magic == 0x65735546;
        }
    // The mount table names the type more closely ("ext3", "nfs4",
    // "fuse.sshfs"), which also tells a FUSE file system that reaches
    // another machine.
    const std::string resolved = resolvedPath(path);
    const std::string mounted = resolved.empty() ? std::string() : mountedType(resolved);
    if (!mounted.empty()) {
        kind.name = mounted;
        if (fuse && mounted.rfind("fuse.", 0) == 0)
            for (const char* network : kNetworkFuse)
                if (mounted.substr(5) == network) kind.network = true;
    }
    if (kind.name.empty()) {
        char hex[24];
        std::snprintf(hex, sizeof hex, "0x%lx", magic);
        kind.name = std::string("unknown (") + hex + ")";
    }
    return kind;
}

#else

FileSystemKind fileSystemOf(const std::string&) { return {}; }

#endif

}  // namespace qbx::sys

#endif
