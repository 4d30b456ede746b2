#pragma once
// report: one self-contained HTML page for a day of sessions (inline SVG and
// CSS, no script, nothing fetched): the table of sessions, a summary across
// them, and for each session a time line of every hand and its actions
// against the solver's fewest.

#include <iosfwd>
#include <string>
#include <vector>

#include "tool/logs/LogFolder.h"
#include "tool/setup/GameSetup.h"

namespace qbx::tool::logs {

struct ReportCounts {
    int sessions = 0;
    int hands = 0;  // time lines drawn
    int sessionsWithFaults = 0;
    int unpaired = 0;
    int linesLeftOut = 0;  // lines that are no records, named on `messages`
};

// Writes the page to `path` (whole, or not at all when it throws); what the
// reader of the page should know besides goes to `messages`. `setups`: the
// setup of each pair (setupsOfSessions); `given`: the setup of --setup, or
// null.
ReportCounts writeReport(const LogFolder& logs, const std::string& path, const std::vector<const GameSetup*>& setups,
                         const GameSetup* given, const std::string& title, std::ostream& messages);

}  // namespace qbx::tool::logs
