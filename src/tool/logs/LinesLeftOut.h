#pragma once
// The lines a log command leaves out of what it gives: lines that are no
// records, and logs that are empty or cannot be read. sessions, csv and
// report count them alike, and exit 1 when there are any.

#include <ostream>
#include <string>
#include <vector>

#include "tool/logs/SessionParts.h"

namespace qbx::tool::logs {

// Whether a fault of this kind leaves lines out: the reader's faults (a line
// that is no record, a log that cannot be read) and an empty log. The other
// kinds are faults among records read, which verify names.
inline bool losesRecords(SessionFaultKind kind) { return kind <= SessionFaultKind::Empty; }

// A session's reader that counts the lines left out and, given a stream or a
// text to add to, names each with its file and line as csv does. The
// warnings of logs altered after the session go there too, or are kept when
// there is none.
class LinesLeftOut : public SessionSink {
public:
    explicit LinesLeftOut(std::ostream* messages = nullptr) : stream_(messages) {}
    explicit LinesLeftOut(std::string* messages) : text_(messages) {}
    void fault(const SessionFault& f) override {
        if (!losesRecords(f.kind)) return;
        ++count_;
        if (!stream_ && !text_) return;
        std::string line = f.file;
        if (f.line) {
            line += ':';
            line += std::to_string(f.line);
        }
        line += ": ";
        line += f.what;
        if (f.line) line += " (left out)";
        line += '\n';
        put(line);
    }
    void warning(const SessionFault& w) override {
        std::string line = w.file + ": " + faultKindText(w.kind) + ": " + w.what;
        if (stream_ || text_)
            put(line + '\n');
        else
            warnings.push_back(std::move(line));
    }
    int count() const { return count_; }
    std::vector<std::string> warnings;  // "<file>: warning: <what>", kept when there is nowhere to write

private:
    void put(const std::string& line) {
        if (stream_)
            *stream_ << line;
        else
            *text_ += line;
    }
    std::ostream* stream_ = nullptr;
    std::string* text_ = nullptr;
    int count_ = 0;
};

}  // namespace qbx::tool::logs
