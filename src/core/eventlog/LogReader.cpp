#include "core/eventlog/LogReader.h"

#include <algorithm>
#include <cstring>

namespace qbx {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

const char* lineEndName(LineEnds ends) {
    switch (ends) {
    case LineEnds::CrLf: return "CR LF";
    case LineEnds::LfOnly: return "LF only";
    case LineEnds::CrCrLf: return "CR CR LF";
    }
    return "?";
}

// The CRs before a line's LF, up to two: its line end as one of the forms.
LineEnds lineEndOf(std::string_view line) {
    const size_t n = line.size();
    if (n == 0 || line[n - 1] != '\r') return LineEnds::LfOnly;
    return n >= 2 && line[n - 2] == '\r' ? LineEnds::CrCrLf : LineEnds::CrLf;
}

}  // namespace

std::string alterationText(const LogAlteration& a) {
    std::string text;
    auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
    if (a.byteOrderMark) add("a byte order mark added after the session");
    if (a.lineEnds != LineEnds::CrLf)
        add(std::string("line ends changed after the session: ") + lineEndName(a.lineEnds));
    if (a.lastLineEndMissing) add("the last line end missing");
    return text;
}

bool LogReader::open(const std::string& path, std::string& error, size_t bufferSize) {
    // Only a regular file (or a link to one) is a log: a named pipe, a
    // device (/dev/zero) or a socket would block the reader or never end.
    sys::ReadFault fault = sys::ReadFault::None;
    if (!file_.openFollowed(path, error, fault)) {
        if (fault == sys::ReadFault::Directory) error = "a directory, not a log file";
        return false;
    }
    // A regular file is read up to the size it has now; a log still being
    // written is then read as far as it had come.
    sizeAtOpen_ = file_.sizeAtOpen();
    readSoFar_ = 0;
    capacity_ = std::max(bufferSize, 2 * kLongestLine);
    buffer_.reset(new char[capacity_]);
    return true;
}

void LogReader::openText(std::string_view bytes) {
    fromMemory_ = true;
    memory_ = bytes;
    begin_ = 0;
    end_ = bytes.size();
    eof_ = true;
}

bool LogReader::fill() {
    if (eof_ || fromMemory_) return false;
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == capacity_) return false;  // a full buffer and no line end: the caller deals with it
    const long long got = file_.read(buffer_.get() + end_, capacity_ - end_, readErrorText_);
    if (got < 0) {
        readError_ = true;
        eof_ = true;
        return false;
    }
    if (got == 0) {
        eof_ = true;
        return false;
    }
    end_ += static_cast<size_t>(got);
    readSoFar_ += got;
    // Its whole size read, a regular file has ended: a log usually fits the
    // buffer, and is then read with one call. A short read before that (a
    // network file system may give one) is no end.
    if (sizeAtOpen_ >= 0 && readSoFar_ >= sizeAtOpen_) eof_ = true;
    return true;
}

void LogReader::judge() {
    judged_ = true;
    // A short read (a network file system) is no reason to judge on less.
    if (!fromMemory_)
        while (end_ < kJudgedBytes && fill()) {}
    const char* data = fromMemory_ ? memory_.data() : buffer_.get();
    const size_t judged = std::min(end_, kJudgedBytes);
    if (judged >= kByteOrderMark.size() && std::string_view(data, kByteOrderMark.size()) == kByteOrderMark) {
        alteration_.byteOrderMark = true;
        begin_ = kByteOrderMark.size();
        consumedTotal_ += static_cast<long long>(begin_);
    }
    // One damaged line in a log as the game wrote it stays a fault of that
    // line: the file's form is that of most of its lines.
    size_t count[3] = {0, 0, 0};
    size_t lines = 0;
    for (size_t at = begin_; at < judged;) {
        const char* lf = static_cast<const char*>(std::memchr(data + at, '\n', judged - at));
        if (!lf) break;
        const size_t lineEnd = static_cast<size_t>(lf - data);
        ++count[static_cast<int>(lineEndOf(std::string_view(data + at, lineEnd - at)))];
        ++lines;
        at = lineEnd + 1;
    }
    for (const LineEnds form : {LineEnds::LfOnly, LineEnds::CrCrLf})
        if (2 * count[static_cast<int>(form)] > lines) alteration_.lineEnds = form;
}

bool LogReader::takeChangedLineEnd(std::string_view& line, LogFault& fault) const {
    const LineEnds own = lineEndOf(line);
    if (own != alteration_.lineEnds) {
        fault = {line_, LogFaultKind::OtherLineEnd,
                 std::string("the line ends in ") + lineEndName(own) + ", the file's other lines in " +
                     lineEndName(alteration_.lineEnds)};
        return false;
    }
    line.remove_suffix(own == LineEnds::CrCrLf ? 2 : 0);
    return true;
}

LogReader::Next LogReader::next(LogRecord& record, LogFault& fault) {
    if (!judged_) judge();
    for (;;) {
        const char* data = fromMemory_ ? memory_.data() : buffer_.get();
        const char* lf = static_cast<const char*>(std::memchr(data + begin_, '\n', end_ - begin_));
        if (!lf) {
            // No complete line yet: read more, unless the line is already
            // longer than any record, or the file has ended.
            if (end_ - begin_ <= kLongestLine && fill()) continue;
            data = fromMemory_ ? memory_.data() : buffer_.get();
            if (readError_) {
                readError_ = false;
                fault = {line_ + 1, LogFaultKind::CannotRead, "read error (" + readErrorText_ + ")"};
                begin_ = end_;
                return Next::Fault;
            }
            if (end_ == begin_) return Next::End;
            if (end_ - begin_ > kLongestLine) {
                // Drop the start of an overlong line and keep looking for its end.
                if (!skippingLongLine_) {
                    skippingLongLine_ = true;
                    ++line_;
                    consumedTotal_ += static_cast<long long>(end_ - begin_);
                    begin_ = end_;
                    fault = {line_, LogFaultKind::LongLine,
                             "a line longer than " + std::to_string(kLongestLine) + " bytes: not a log record"};
                    return Next::Fault;
                }
                consumedTotal_ += static_cast<long long>(end_ - begin_);
                begin_ = end_;
                continue;
            }
            // The file ends inside a line.
            const std::string_view rest(data + begin_, end_ - begin_);
            consumedTotal_ += static_cast<long long>(rest.size());
            begin_ = end_;
            if (skippingLongLine_) {
                skippingLongLine_ = false;
                return Next::End;
            }
            ++line_;
            // A whole record after lines that all end as the file's do: only
            // its line end was lost, in a copy or an editor.
            if (line_ > 1 && !lineEndFault_ && parseLogLine(rest, line_, record, fault)) {
                alteration_.lastLineEndMissing = true;
                return Next::Record;
            }
            fault = {line_, LogFaultKind::CutLine,
                     "the file ends inside this line (no CR LF after \"" + std::string(rest.substr(0, 40)) + "\")"};
            return Next::Fault;
        }
        const size_t lineEnd = static_cast<size_t>(lf - data);
        std::string_view line(data + begin_, lineEnd - begin_);
        consumedTotal_ += static_cast<long long>(line.size() + 1);
        begin_ = lineEnd + 1;
        if (skippingLongLine_) {
            skippingLongLine_ = false;
            continue;
        }
        ++line_;
        if (line.size() > kLongestLine) {
            fault = {line_, LogFaultKind::LongLine,
                     "a line longer than " + std::to_string(kLongestLine) + " bytes: not a log record"};
            return Next::Fault;
        }
        if (alteration_.lineEnds == LineEnds::CrLf) {
            if (line.empty() || line.back() != '\r') {
                lineEndFault_ = true;
                fault = {line_, LogFaultKind::BareLineFeed, "the line ends in LF without CR"};
                return Next::Fault;
            }
            line.remove_suffix(1);
        } else if (!takeChangedLineEnd(line, fault)) {
            lineEndFault_ = true;
            return Next::Fault;
        }
        // One CR more than the file's line end: the parser names it, and the
        // file's lines no longer all end alike.
        if (!line.empty() && line.back() == '\r') lineEndFault_ = true;
        if (!parseLogLine(line, line_, record, fault)) return Next::Fault;
        return Next::Record;
    }
}

}  // namespace qbx
