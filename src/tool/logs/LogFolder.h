#pragma once
// Finding the log pairs of a dataout folder, or among files given one by
// one: each ColorKeeper log with the NumberKeeper log of the same suffix.

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/eventlog/LogReader.h"
#include "core/runrecord/RunRecord.h"

namespace qbx::tool::logs {

struct LogPair {
    LogName name;        // of whichever log was found (the suffix is shared)
    std::string ckPath;  // empty when the ColorKeeper's log is missing
    std::string nkPath;  // empty when the NumberKeeper's log is missing
    // The session's run record (run<suffix>.json beside its logs), read;
    // none for older logs, and for a record that could not be read (named
    // in LogFolder::badRecords).
    std::string recordPath;  // the record's file, when there is one
    std::shared_ptr<const RunRecord> record;
    bool complete() const { return !ckPath.empty() && !nkPath.empty(); }
};

struct LogFolder {
    // Sorted by date, then the time of the session's first record (then the
    // number of the name, which is drawn at random).
    std::vector<LogPair> pairs;
    std::vector<std::string> notLogs;     // files whose names are no log names
    std::vector<std::string> subfolders;  // folders inside a folder read, not read
    // A session found twice, as identical logs in two folders (a backup, a
    // copy from a second machine): read once, and said.
    std::vector<std::string> sameSessionTwice;
    // Run records that cannot be read or belong to no pair here, with why:
    // their sessions are read as sessions without a record.
    std::vector<std::string> badRecords;
};

// A session played by `qbxtool simulate`: its run record says so.
inline bool isSimulated(const LogPair& pair) { return pair.record && pair.record->simulated; }
// Takes the simulated sessions out of the folder; how many there were.
int leaveOutSimulated(LogFolder& folder);

// What the commands say of the files and folders they pass over, of a
// session found twice and of run records not used, one line each.
std::vector<std::string> passedOverText(const LogFolder& folder);

// Every file of a folder (not its subfolders). Throws CouldNotRun when it is
// not a readable folder, or when two different sessions bear one name.
LogFolder findLogs(const std::string& folder);

// Folders and files given on the command line. A log given alone is paired
// with its partner beside it when that exists. Throws CouldNotRun for a path
// that does not exist or is neither a folder nor a file.
LogFolder collectLogs(const std::vector<std::string>& paths);

// What csv and report convert: the log pairs of the paths given, with the
// files that are no log names told on `messages` and skipped. Throws
// CouldNotRun when there is no log at all.
LogFolder logsToConvert(const std::vector<std::string>& paths, std::ostream& messages);

}  // namespace qbx::tool::logs
