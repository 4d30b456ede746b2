#pragma once
// A session's run record (dataout/run<ddmmyy>_<n>.json), as the program
// writes it beside the two logs: under which setup, program and
// circumstances the session was played. docs/log-format.md has its fields.

#include <optional>
#include <string>
#include <vector>

namespace qbx::tool::logs {

struct RunRecordFile {
    std::string path;  // relative to the working directory, "setup/shoe.txt"
    long long bytes = 0;
    std::string sha256;
    std::string use;  // "parameters", "messages", "shoe", "card back", "texture", "help page", "other"
};

// A name of setup/ the saved copy lacks, and why.
struct RunRecordLeftOut {
    std::string path, why;
};

struct KeptInFront {
    std::string time;  // "2026-12-07T14:05:10.120"
    std::string why;
};

struct RunRecord {
    std::string path;  // where it was read
    std::string session;
    bool ended = false;  // "state": "ended"; false for "started"
    std::string version, commit;
    std::string os;
    int screenWidth = 0, screenHeight = 0;
    double devicePixelRatio = 1;
    std::optional<std::string> windowManager;
    std::string workingDirectory;
    std::string participant;
    bool simulated = false;  // "simulated": true, played by qbxtool simulate
    std::string setupHash, setupShort;
    std::optional<std::string> savedSetup;  // as written, relative to the record's folder
    std::vector<RunRecordFile> files;
    std::vector<RunRecordLeftOut> notCopied;                      // absent from the record when there is none
    std::vector<std::pair<std::string, std::string>> parameters;  // in the record's order
    struct Continues {
        std::string session;
        int hand = 0;
    };
    std::optional<Continues> continues;
    std::string started;
    struct End {
        std::string time, how;
        int hands = 0;
    };
    std::optional<End> end;
    std::vector<KeptInFront> keptInFront;
    std::vector<std::string> problems;

    // The saved setup's working directory as the tool reaches it (the
    // record's folder and `savedSetup`); empty when there is none.
    std::string savedSetupDir() const;
};

// Reads a run record. nullopt with `error` set when the file cannot be read
// or is no run record of a format this tool knows.
std::optional<RunRecord> readRunRecord(const std::string& path, std::string& error);

}  // namespace qbx::tool::logs
