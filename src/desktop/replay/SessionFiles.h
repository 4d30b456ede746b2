#pragma once
// What a replay is opened from, found on the disk: a session's two logs,
// the setup it was played with and the screen it was played on.

#include <string>
#include <vector>

#include "core/output/OutputGuard.h"
#include "core/platform/Platform.h"
#include "core/replay/SessionReplay.h"

namespace qbx::replayview {

struct SessionFiles {
    replay::SessionLogs logs;
    std::string session;         // "071226_4711"
    std::string logFolder;       // absolute
    std::string ckPath, nkPath;  // the two logs, absolute
    std::string recordPath;      // the run record read, or ""
    // The folder that holds setup/, absolute (also logs.setupFolder): the
    // replayed game reads its setup from there.
    std::string workDir;
    std::string setupFrom;  // where the setup came from, in words
    // The screen the session was played on, as its run record says.
    Size screen{1024, 768};
};

// `names`: a folder of logs and a session ("dataout", "071226_4711"), or one
// log of the pair. `setupDir`: the experiment's folder (holding setup/) or
// the setup folder itself, when given; it is used rather than the setup the
// run record saved. Paths may be relative to the current directory. False,
// with a message an experimenter reads, when something is missing.
bool findSessionFiles(const std::vector<std::string>& names, const std::string& setupDir, SessionFiles& out,
                      std::string& error);

// What a replay reads, which its exports keep off: the logs, the run record,
// the logs' folder, and the setup folder with all below it, also the
// experiment's setup beside the logs' folder when the run record named a
// saved copy.
output::Inputs inputsOf(const SessionFiles& files);

}  // namespace qbx::replayview
