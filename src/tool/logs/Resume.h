#pragma once
// qbxtool resume: a working directory that continues a session which ended
// early (a power cut, a crash). It is made from the setup the session was
// played with, as its run record saved it, and its shoe holds the hand that
// was in play when the session stopped and every hand after it, under a
// header that names the session and the hand.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "tool/logs/LogFolder.h"

namespace qbx::tool::logs {

// The files of one session: its logs and its run record, beside each other.
struct SessionFiles {
    std::string session;  // "071226_4711"
    LogPair pair;
    std::filesystem::path recordPath;  // where the run record is, or would be
};

// SESSION as the command takes it: a path to either log or to the run
// record, or a session's name ("071226_4711") looked up in `dataout`.
// Throws CouldNotRun when it names no session with a log.
SessionFiles findSessionFiles(const std::string& session, const std::filesystem::path& dataout = "dataout");

struct ResumeOptions {
    std::string session;                        // SESSION
    std::string dir;                            // DIR; empty: resume_<session> in the current folder
    std::string setup;                          // --setup: the setup the session was played with
    std::string program = "qbxsolo";            // what the launcher starts
    std::filesystem::path dataout = "dataout";  // where a session's name is looked up
};

// Makes the working directory. Returns kExitOk, or kExitProblems with the
// reason on `err` and nothing made when the session is not one to continue
// (it ended normally, its shoe has no hand left, or its hands are not the
// setup's); throws CouldNotRun when it cannot work (a file missing, DIR not
// empty), nothing made either.
int resumeSession(const ResumeOptions& options, std::ostream& out, std::ostream& err);

// The shoe that continues from `hand` (counted as the game deals them): the
// continuation header, with the old header's line end, then the old shoe's
// bytes from that hand's line on. nullopt when the shoe has no such hand.
std::optional<std::string> continuedShoe(const std::string& shoeText, const std::string& session, int hand);

}  // namespace qbx::tool::logs
