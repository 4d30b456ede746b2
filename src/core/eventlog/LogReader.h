#pragma once
// Reading an event log back: one record per line, split into its time
// stamps, code, cards and positions, counts, score and text. The reader
// streams (a fixed buffer, whatever the file's size) and never throws on bad
// bytes: every line that is not a record of the game is a fault with its
// line number. The views in a LogRecord point into the reader's buffer and
// stay valid until the next call of next().

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/eventlog/LogFormat.h"
#include "core/platform/System.h"

namespace qbx {

class LogReader {
public:
    LogReader() = default;
    LogReader(const LogReader&) = delete;
    LogReader& operator=(const LogReader&) = delete;

    // Opens a file; false with `error` saying why (missing, a directory,
    // unreadable). A reader that wants only the first lines asks for a
    // smaller buffer (at least twice the longest line); what it reads is
    // the same.
    bool open(const std::string& path, std::string& error, size_t bufferSize = size_t{1} << 16);
    // Reads from bytes in memory (kept by the caller).
    void openText(std::string_view bytes);

    enum class Next { Record, Fault, End };
    // The next record, or the next fault (the reader then goes on with the
    // line after it), or the end of the file.
    Next next(LogRecord& record, LogFault& fault);
    long linesRead() const { return line_; }
    long long bytesRead() const { return consumedTotal_; }

    static constexpr size_t kLongestLine = 2048;

private:
    bool fill();  // reads more bytes into the buffer; false at the end
    sys::ReadOnlyFile file_;
    std::unique_ptr<char[]> buffer_;  // not cleared: only bytes read are looked at
    size_t capacity_ = 0;
    std::string_view memory_;
    bool fromMemory_ = false;
    size_t begin_ = 0, end_ = 0;  // unread bytes in buffer_
    bool eof_ = false;
    int64_t sizeAtOpen_ = -1;  // regular files: the size when opened
    int64_t readSoFar_ = 0;
    bool readError_ = false;
    std::string readErrorText_;
    long line_ = 0;
    long long consumedTotal_ = 0;
    bool skippingLongLine_ = false;
};

}  // namespace qbx
