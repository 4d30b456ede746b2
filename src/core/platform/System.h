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

#include "core/platform/Platform.h"

namespace qbx::sys {

// The wall clock in local time, to the millisecond.
LocalTime localTimeNow();

// Makes the names of files just created in `directory` durable. Where the
// file system keeps names durable by itself (NTFS's journal) this does
// nothing.
void syncDirectory(const std::string& directory) noexcept;

// Opens a new file for writing in binary mode; never opens one that exists.
// On failure returns nullptr, sets `exists` when the name was taken, and
// `error` to the reason.
std::FILE* createNewFile(const std::string& path, bool& exists, std::string& error);

// Flushes the stream and makes its file durable. On failure sets `error`.
bool flushToDisk(std::FILE* file, std::string& error);

// Gives `from` the name `to`, replacing a file of that name in one step.
bool replaceFile(const std::string& from, const std::string& to, std::string& error);

// A directory exists at `path`.
bool isDirectory(const std::string& path);
// Something that is not a directory exists at `path` (a file, a device).
bool isExistingFile(const std::string& path);
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
    // A regular file's size when it was opened; -1 for anything else.
    int64_t sizeAtOpen() const { return sizeAtOpen_; }
    // Up to `size` bytes into `buffer`: the count read, 0 at the end, -1 on
    // an error with `error` set.
    long long read(char* buffer, size_t size, std::string& error);
    void close() noexcept;

private:
    int fd_ = -1;
    int64_t sizeAtOpen_ = -1;
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
