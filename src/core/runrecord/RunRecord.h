#pragma once
// A session's run record (dataout/run<ddmmyy>_<n>.json): under which setup,
// program and circumstances it was played, written as JSON beside its two
// logs (docs/log-format.md has every field). The game fills what it knows;
// the setup's files and hash are added by the writer's thread
// (RunRecordWriter). The tools and the replay read it back here too.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/config/ConfigFiles.h"
#include "core/platform/Platform.h"

namespace qbx {

struct SetupFile {
    std::string path;  // "setup/shoe.txt", relative to the working directory
    long long bytes = 0;
    std::string sha256;
    std::string use;  // "parameters", "messages", "shoe", "card back", "texture", "help page", "other"
};

// A name in setup/ that the saved copy lacks, and why ("a link to outside
// setup/", "larger than 32 MiB, the most a file may have in the copy").
struct SetupLeftOut {
    std::string path;
    std::string why;
};

// A log as the program had written it when the record was last written: its
// size and SHA-256, so that a log changed, cut or extended afterwards is told.
struct LogWritten {
    std::string log;  // the file's name, one of RunRecord::ckLog, nkLog
    long long bytes = 0;
    std::string sha256;
};

struct RunRecord {
    std::string path;          // where it was read; empty for a record being written
    std::string session;       // "071226_4711"
    std::string ckLog, nkLog;  // the logs' file names
    bool ended = false;        // "state"
    // Each log's bytes so far, at every writing of the record; at its end,
    // the whole log. Empty in records of older versions, and a log is left
    // out once a write to it failed (what reached the file is not known).
    std::vector<LogWritten> logsWritten;
    std::string version, commit;  // the program's
    SystemInfo system;
    std::string workingDirectory;  // its last part
    std::string participant;       // as typed, 8-bit
    // Played by qbxtool simulate, not by a participant; written only when
    // true, so that a participant's record has no such field.
    bool simulated = false;
    // The setup, filled by the writer once it has read the files.
    std::string setupHash;
    // The hash's first 12 hex digits as a record read says them; the writer
    // writes them from setupHash.
    std::string setupShort;
    std::optional<std::string> savedSetup;  // "setups/<hash>", relative to dataout
    std::vector<SetupFile> files;
    std::vector<SetupLeftOut> notCopied;                          // written only when there is one
    std::vector<std::pair<std::string, std::string>> parameters;  // the 14 keys, in the file's order
    struct Continues {
        std::string session;
        int hand = 0;
    };
    std::optional<Continues> continues;
    std::string started;  // "2026-12-07T14:03:22.481"
    struct End {
        std::string time, how;
        int hands = 0;
    };
    std::optional<End> end;
    struct KeptInFront {
        std::string time, why;
    };
    std::vector<KeptInFront> keptInFront;
    std::vector<std::string> problems;

    // The saved setup's working directory as a reader reaches it (the
    // record's folder and `savedSetup`); empty when there is none.
    std::string savedSetupDir() const;
};

// This program's version ("1.0") and the short commit it was built from
// ("" when unknown).
std::string programVersion();
std::string programCommit();
// A local time as the record writes it: "2026-12-07T14:03:22.481".
std::string isoTime(const LocalTime& t);
// The parameter file's 14 keys with the values the game read, as text.
std::vector<std::pair<std::string, std::string>> parameterTexts(const ParameterValues& values);
// The whole record as a JSON document, ending in a line feed.
std::string runRecordJson(const RunRecord& record);
// Reads a run record. nullopt with `error` set when the file cannot be read
// or is no run record of a format this program knows.
std::optional<RunRecord> readRunRecord(const std::string& path, std::string& error);

}  // namespace qbx
