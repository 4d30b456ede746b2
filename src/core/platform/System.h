#pragma once
// The few calls the core and qbxtool make to the operating system, each
// with one implementation for POSIX systems (SystemPosix.cpp) and one for
// Windows (SystemWindows.cpp) that keep the same guarantees. The event log
// files themselves are in core/eventlog (LogFilePosix.cpp, LogFileWindows.cpp).

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

#ifdef _WIN32
// The system's text for a GetLastError() code, without the closing period.
std::string windowsErrorText(unsigned long code);
#endif

}  // namespace qbx::sys
