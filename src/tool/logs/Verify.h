#pragma once
// sessions and verify: what a dataout folder holds, and whether each pair of
// logs is whole and agrees with itself, with its partner and with the setup.

#include <iosfwd>
#include <string>
#include <vector>

#include "core/json/Json.h"

#include "tool/logs/LogFolder.h"
#include "tool/logs/Session.h"

namespace qbx::tool::logs {

struct SessionsResult {
    std::vector<Session> sessions;
    std::vector<std::string> unpaired;  // a log without its partner, with why
    std::vector<std::string> notLogs;
    std::vector<std::string> passedOver;  // folders not read, a session found twice
    int linesLeftOut = 0;                 // lines that are no records, left out of the sessions
    std::vector<std::string> warnings;    // logs altered after the session, said on standard error
};
// `setups`: the setup of each pair (setupsOfSessions), or none at all.
SessionsResult listSessions(const LogFolder& folder, const std::vector<const GameSetup*>& setups = {});
void printSessions(const SessionsResult& result, std::ostream& out);
json::Value sessionsJson(const SessionsResult& result);
// "game ended", "ended early at 10:31:10.252 in hand 3", "partner log
// missing, game ended".
std::string endingText(const Session& session);
// What the session's run record adds: "no run record", "simulated" (played
// by qbxtool simulate), that the program was stopped, the session it continues, the record's problems; one phrase each.
std::vector<std::string> runRecordNotes(const Session& session);
// "5d1b0a4c9e8f lab-a": the setup a session was played with, as its run
// record says; "" without one.
std::string setupText(const Session& session);

struct PairVerdict {
    LogPair pair;
    Session session;
    std::vector<SessionFault> firstOfEachKind;
    int moreFaults = 0;                  // faults beyond the first of their kind
    std::vector<SessionFault> warnings;  // one per log altered after the session: no fault
    bool faulty() const { return !firstOfEachKind.empty(); }
};

struct VerifyResult {
    std::vector<PairVerdict> pairs;
    std::vector<std::string> notLogs;
    std::vector<std::string> passedOver;  // folders not read, a session found twice
    bool problems() const;
};
// `setups`: the setup of each pair (setupsOfSessions), or none at all.
VerifyResult verifyLogs(const LogFolder& folder, const std::vector<const GameSetup*>& setups);
void printVerify(const VerifyResult& result, std::ostream& out, std::ostream& messages);
json::Value verifyJson(const VerifyResult& result);

}  // namespace qbx::tool::logs
