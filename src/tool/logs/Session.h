#pragma once
// One session read from its two logs at once: every record handed to the
// caller with its hand and time, the hands put together from both logs, and
// every fault found on the way (in a log alone, between the two logs, or
// against the setup).

#include <functional>
#include <string>
#include <vector>

#include "core/eventlog/LogReader.h"
#include "tool/logs/SessionParts.h"
#include "tool/logs/LogFolder.h"
#include "tool/setup/GameSetup.h"

namespace qbx::tool::logs {

struct Session {
    LogPair pair;
    std::string participant;  // the code as typed (the three blanks after it dropped)
    bool hasStart = false;
    LogStamp start;        // the first record's stamp
    LogStamp last;         // the last stamped record's stamp (of either log)
    long long lastMs = 0;  // since the start
    int lastHand = 0;
    bool gameEnded = false;  // both logs (the one log, when its partner is missing) reach their TotalMove line
    bool crossesMidnight = false;
    long long totalMoves = -1;  // the TotalMove line of the ColorKeeper's log
    std::vector<Hand> hands;
    int faults = 0;
    // Some hand is not the shoe's of the setup given: the solver's fewest
    // actions, which come from that shoe, are left out for every hand.
    bool dealsNotFromSetup = false;
    // Logs that differ from what their run record says the program wrote
    // (warnings; filled by sessions and verify, which look).
    std::vector<SessionFault> changedLogs;
    // A log the pair names that could not be opened (a fault of the session).
    bool ckUnreadable = false, nkUnreadable = false;
    int handsPlayed() const;  // hands that ended
    // Each role's total, one score per ended hand; none when its log is
    // missing or could not be read.
    std::optional<double> ckTotal() const;
    std::optional<double> nkTotal() const;
    bool partnerMissing() const { return !pair.complete(); }
};

// Reads both logs of a pair. `setup` may be null. Hands keep their actions
// only when `keepActions` (the report draws them).
Session readSession(const LogPair& pair, const GameSetup* setup, SessionSink& sink, bool keepActions = false);
// The same for two logs held in memory, named by `pair` (tests).
Session readSessionText(const LogPair& pair, std::string_view ckLog, std::string_view nkLog, const GameSetup* setup,
                        SessionSink& sink);

// What csv and report say of a session whose hands are not the shoe's of
// the setup given ("071226_1: its hands are not those of ...").
std::string dealsNotFromSetupWarning(const Session& session, const GameSetup& setup);

// A total as a score is written; "" for none.
std::string totalText(const std::optional<double>& total);

// "10:30:45.007" for a stamp (a delayed stamp's milliseconds carried).
std::string clockText(const LogStamp& stamp);

}  // namespace qbx::tool::logs
