#pragma once
// The lines a log command leaves out of what it gives: lines that are no
// records, and logs that are empty or cannot be read. sessions, csv and
// report count them alike, and exit 1 when there are any.

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/eventlog/LogFormat.h"
#include "tool/logs/Session.h"

namespace qbx::tool::logs {

// Whether a fault of this kind leaves lines out: the reader's faults (a line
// that is no record, a log that cannot be read) and an empty log. The other
// kinds are faults among records read, which verify names.
inline bool losesRecords(std::string_view kind) {
    for (int k = 0; k <= static_cast<int>(LogFaultKind::UnknownRecord); ++k)
        if (kind == faultKindName(static_cast<LogFaultKind>(k))) return true;
    return kind == "empty";
}

// A session's reader that counts the lines left out and, given a stream,
// names each with its file and line as csv does. The warnings of logs altered
// after the session go to that stream too, or are kept when there is none.
class LinesLeftOut : public SessionSink {
public:
    explicit LinesLeftOut(std::ostream* messages = nullptr) : messages_(messages) {}
    void fault(const SessionFault& f) override {
        if (!losesRecords(f.kind)) return;
        ++count_;
        if (!messages_) return;
        *messages_ << f.file;
        if (f.line) *messages_ << ':' << f.line;
        *messages_ << ": " << f.what << (f.line ? " (left out)" : "") << '\n';
    }
    void warning(const SessionFault& w) override {
        std::string line = w.file + ": " + w.kind + ": " + w.what;
        if (messages_)
            *messages_ << line << '\n';
        else
            warnings.push_back(std::move(line));
    }
    int count() const { return count_; }
    std::vector<std::string> warnings;  // "<file>: warning: <what>", kept when there is no stream

private:
    std::ostream* messages_;
    int count_ = 0;
};

}  // namespace qbx::tool::logs
