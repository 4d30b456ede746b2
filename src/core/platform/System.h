#pragma once
// The few calls the core and qbxtool make to the operating system, each
// with one implementation for POSIX systems and one for Windows that keep
// the same guarantees: SystemPosix.cpp and SystemWindows.cpp, the event
// logs' files in AppendFilePosix.cpp and AppendFileWindows.cpp, and what
// both systems answer alike in FileAccess.cpp. Nothing else in the core
// includes a system header.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Platform.h"

namespace qbx::sys {

// The wall clock in local time, to the millisecond.
LocalTime localTimeNow();

// Makes the names of files just created in `directory` durable. Where the
// file system keeps names durable by itself (NTFS's journal) this does
// nothing.
void syncDirectory(const std::string& directory) noexcept;

// Opens a new file for writing in binary mode; never opens one that exists
// (nor a link of that name). On failure returns nullptr, sets `exists` when
// the name was taken, and `error` to the reason. `mode` is the file's
// permission bits, narrowed by the umask (Windows: its folder's).
std::FILE* createNewFile(const std::string& path, bool& exists, std::string& error, unsigned mode = 0644);

// Flushes the stream and makes its file durable. On failure sets `error`.
bool flushToDisk(std::FILE* file, std::string& error);

// Gives `from` the name `to`, replacing a file of that name in one step.
bool replaceFile(const std::string& from, const std::string& to, std::string& error);

// ---- Whole files and folders (Folders.cpp): the run record and the saved
// setup, written by a worker thread, never the event logs.

// A file that replaces the one at `path` in one step: written under a
// temporary name in the same folder, made durable, renamed over the old name
// (a link of that name is replaced, never followed) and its folder synced,
// so the name always holds a whole file, old or new. Dropped without
// commit(), the temporary file is removed.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file; false with the system's reason.
    bool open(const std::string& path, std::string& error);
    std::FILE* stream() { return file_; }
    enum class Commit { Done, NotWritten, NotRenamed };
    // Flushes, syncs and closes the file (NotWritten), then gives it its
    // name (NotRenamed); on failure nothing is left behind. With `durable`
    // false the bytes are left with the operating system.
    Commit commit(std::string& error, bool durable = true);

private:
    std::string path_, temp_;
    std::FILE* file_ = nullptr;
};

// Replaces the file at `path` with `bytes` in one step, as ReplacingFile
// does. On failure nothing is left behind and `error` says why.
bool replaceWholeFile(const std::string& path, std::string_view bytes, std::string& error, bool durable = true);
// Why a whole file was not read.
enum class ReadFault { None, Missing, Directory, NotAFile, TooLarge, CannotOpen, CannotRead };
// The most a whole-file read takes unless its caller says otherwise.
inline constexpr long long kWholeFileLimit = 1LL << 30;
// A whole file's bytes. Only a regular file is read (a link to one is
// followed): a directory, a named pipe, a device or a socket is refused
// without waiting on it, and so is a file of more than `limit` bytes, also
// one that grows past it while it is read. On failure `bytes` is empty,
// `error` is the system's reason ("No such file or directory") or "is a
// directory", "not a regular file", "larger than N bytes", and `fault`
// (when given) says which.
bool readWholeFile(const std::string& path, std::string& bytes, std::string& error, long long limit = kWholeFileLimit,
                   ReadFault* fault = nullptr);
// Creates one folder in a folder that exists; true when it exists already.
bool makeDirectory(const std::string& path, std::string& error);
// The bytes free for this program on the disk that holds `path`; -1 when
// unknown.
long long freeSpace(const std::string& path);
// The kind of file system that holds `path`: its name as the system calls it
// ("ext4", "xfs", "tmpfs", "nfs4", "cifs", "fuse.sshfs", "NTFS"; "" when it
// cannot be told) and whether it lies on another machine (NFS, SMB, 9p, a
// network drive), where every flush waits on the network.
struct FileSystemKind {
    std::string name;
    bool network = false;
};
FileSystemKind fileSystemOf(const std::string& path);
// Gives the folder `from` the name `to`; `targetExists` when `to` was taken.
bool renameDirectory(const std::string& from, const std::string& to, bool& targetExists, std::string& error);
// Removes a folder and everything in it, as far as it can.
void removeTree(const std::string& path) noexcept;
// A folder's whole path, and its last part ("lab-a"): `folder` taken from
// the working directory; empty, the working directory itself. "" when the
// working directory cannot be read.
std::string workingDirectoryPath(const std::string& folder = {});
std::string workingDirectoryName(const std::string& folder = {});

// What is at a path, a link at its end not followed. On Windows every
// reparse point (a symbolic link, a junction) is a link, and `mode` is 0.
enum class EntryKind { Missing, File, Directory, Link, Pipe, Device, Socket, Other };
struct Entry {
    EntryKind kind = EntryKind::Missing;
    long long bytes = 0;
    unsigned mode = 0;  // the permission bits
    // Which file it is, to tell whether a name still names the file it
    // named (0 where the system does not say).
    std::uint64_t device = 0, inode = 0;
};
Entry entryAt(const std::string& path);
// The same, a link at its end followed.
Entry entryThrough(const std::string& path);
// The names in one folder, "." and ".." left out, in no particular order.
bool listFolder(const std::string& directory, std::vector<std::string>& names, std::string& error);
// The path with every link resolved, or "" when it cannot be resolved.
std::string resolvedPath(const std::string& path);
// Creates one new folder that only its owner may enter; fails when anything
// has that name already (a link too).
bool makeOwnDirectory(const std::string& path, std::string& error);
// Sets the permission bits (nothing on Windows, where files have none).
void setMode(const std::string& path, unsigned mode) noexcept;

// A directory exists at `path`.
bool isDirectory(const std::string& path);
// Something that is not a directory exists at `path` (a file, a device).
bool isExistingFile(const std::string& path);
// `path` is a link that leads to this program's standard output (as
// "/dev/stdout" and "/proc/self/fd/1" do): false on Windows, where no path
// names it.
bool namesStandardOutput(const std::string& path);
// This program's process number.
long processId();

// A file read as the bytes it holds (no line ends translated).
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile() { close(); }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    enum class Open { Ok, IsDirectory, Failed };
    // On Failed, `error` is the system's reason.
    Open open(const std::string& path, std::string& error);
    // Opens only a regular file, never through a link at the end of `path`
    // and never waiting (a named pipe is refused before anyone writes to
    // it): false with `error` for anything else.
    bool openRegular(const std::string& path, std::string& error);
    // Opens only a regular file, a link at the end of `path` followed,
    // never waiting; `fault` says why not.
    bool openFollowed(const std::string& path, std::string& error, ReadFault& fault);
    // The file's device and inode as opened (0 where the system has none).
    std::uint64_t device() const { return device_; }
    std::uint64_t inode() const { return inode_; }
    // A regular file's size when it was opened; -1 for anything else.
    int64_t sizeAtOpen() const { return sizeAtOpen_; }
    // Up to `size` bytes into `buffer`: the count read, 0 at the end, -1 on
    // an error with `error` set.
    long long read(char* buffer, size_t size, std::string& error);
    void close() noexcept;

private:
    // Keeps what was just opened if it is a regular file, taking its size,
    // device and inode; closes it otherwise, saying why.
    ReadFault keepIfRegular(std::string& error);

    int fd_ = -1;
    int64_t sizeAtOpen_ = -1;
    std::uint64_t device_ = 0, inode_ = 0;
};

// A file that is only ever created new and appended to: the event logs. A
// record handed to append() reaches the system in one call, so a crash
// never splits it between two.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile() { close(); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    enum class Create { Created, Exists, Failed };
    // Creates the file, failing if the name exists. On Failed, `reason` is
    // the system's.
    Create createNew(const std::string& path, std::string& reason);
    bool isOpen() const { return handle_ != kClosed; }
    // Appends the bytes. When the disk takes only part of them, that part is
    // cut off again, so the file ends where it ended before; false with the
    // system's reason.
    bool append(const char* data, size_t size, std::string& reason);
    // Makes what was appended durable; false with the system's reason.
    bool sync(std::string& reason);
    // The file's name is gone from the disk (its folder removed while it is
    // open): what is written would vanish with the program.
    bool removedFromDisk() const;
    // Closes, making what was appended durable first when asked.
    void close(bool syncFirst = false) noexcept;

private:
    // A file descriptor, or a Windows HANDLE (INVALID_HANDLE_VALUE is -1 too).
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;
};

#ifdef _WIN32
// The system's text for a GetLastError() code, without the closing period.
std::string windowsErrorText(unsigned long code);
#endif

}  // namespace qbx::sys
