#pragma once
// Reading an event log back: one record per line, split into its time
// stamps, code, cards and positions, counts, score and text. The reader
// streams (a fixed buffer, whatever the file's size) and never throws on bad
// bytes: every line that is not a record of the game is a fault with its
// line number. The views in a LogRecord point into the reader's buffer and
// stay valid until the next call of next().
//
// A log copied through another system, mailed or saved by an editor may
// arrive altered as a whole: a UTF-8 byte order mark before its first
// record, every line ending in LF alone or in CR CR LF, or its last line
// end missing. The reader recognises each alteration once per file, reads
// the lines as the game wrote them, and says what it undid
// (alteration()), which is a property of the file and not a fault of any
// line.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/eventlog/LogFormat.h"
#include "core/platform/System.h"

namespace qbx {

// How a file's lines end. The game writes CR LF; a copy may have made every
// line end in LF alone, or in CR CR LF (a CR LF file copied as text to a
// system that writes CR LF for each LF).
enum class LineEnds : uint8_t { CrLf, LfOnly, CrCrLf };

// What was done to a file after the session, as a whole.
struct LogAlteration {
    bool byteOrderMark = false;  // a UTF-8 byte order mark before the first line
    LineEnds lineEnds = LineEnds::CrLf;
    bool lastLineEndMissing = false;  // the last line a whole record, without its line end
    bool any() const { return byteOrderMark || lineEnds != LineEnds::CrLf || lastLineEndMissing; }
};

// "line ends changed after the session: LF only" and the like, several
// joined by "; "; empty for a file as the game wrote it.
std::string alterationText(const LogAlteration& alteration);

class LogReader {
public:
    LogReader() = default;
    LogReader(const LogReader&) = delete;
    LogReader& operator=(const LogReader&) = delete;

    // Opens a regular file, a link at the end of `path` followed, without
    // waiting on it; false with `error` saying why (missing, a directory,
    // "not a regular file", unreadable). A reader that wants only the first lines asks for a
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
    // The byte order mark and the line ends are known once next() has been
    // called; whether the last line end is missing once it has returned End.
    const LogAlteration& alteration() const { return alteration_; }

    static constexpr size_t kLongestLine = 2048;
    // The line ends of a file are judged on its first bytes, as many as the
    // smallest buffer holds, so that every reader of a file judges alike.
    static constexpr size_t kJudgedBytes = 2 * kLongestLine;

private:
    bool fill();  // reads more bytes into the buffer; false at the end
    // Looks at the file's first bytes: a byte order mark, and the line end
    // that more than half of the lines there have (CR LF when none has).
    void judge();
    // Takes the line end off a line of a file whose line ends were changed;
    // false with `fault` for a line that ends otherwise than the file's.
    bool takeChangedLineEnd(std::string_view& line, LogFault& fault) const;
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
    bool judged_ = false;
    LogAlteration alteration_;
    // A line of the file has ended otherwise than the file's lines do: a
    // last line without a line end is then a cut line, not an altered file.
    bool lineEndFault_ = false;
};

}  // namespace qbx
