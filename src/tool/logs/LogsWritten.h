#pragma once
// Whether each log of a session still holds the bytes the program wrote:
// its run record keeps every log's size and SHA-256 as written when the
// record was last written (at the session's end, the whole log). A log
// changed, cut or extended after that is told as a warning: its records may
// still read well, but they are not those the program wrote.
//
// A copy that only altered a log as a whole (a byte order mark, its line
// ends, its last line end dropped) is compared as the original it stands
// for: the log reader names those alterations already.

#include <string>
#include <vector>

#include "tool/logs/LogFolder.h"
#include "tool/logs/SessionParts.h"

namespace qbx::tool::logs {

// One warning (SessionFaultKind::Warning) per log of `pair` that differs from
// its run record; none without a record, for a record of an older version,
// and for a log that cannot be read (the session's reader says so).
std::vector<SessionFault> logsChangedAfterSession(const LogPair& pair);

// "1,204": a count of bytes with its thousands marked.
std::string groupedNumber(long long n);

}  // namespace qbx::tool::logs
