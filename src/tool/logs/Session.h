#pragma once
// One session read from its two logs at once: every record handed to the
// caller with its hand and time, the hands put together from both logs, and
// every fault found on the way (in a log alone, between the two logs, or
// against the setup).

#include <functional>
#include <string>
#include <vector>

#include "core/eventlog/LogReader.h"
#include "tool/logs/LogFolder.h"
#include "tool/setup/GameSetup.h"

namespace qbx::tool::logs {

struct SessionFault {
    std::string file;
    long line = 0;     // 0: the file as a whole
    std::string kind;  // short name of the kind of fault ("mirror", "score", ...)
    std::string what;
};

// Where a record stands in its session.
struct RecordPlace {
    bool colorKeeperLog = true;
    const std::string* file = nullptr;
    int hand = 0;                // 0: before the first deal or after the game end
    long long sinceStartMs = 0;  // since the session's first record, across midnight
    // The role that acted ('c' ColorKeeper, 'n' NumberKeeper), or whose
    // header it is; 0 for records of neither. A pick-up is handed on once
    // the record that tells whose it was has been read.
    char actor = 0;
};

enum class ActionKind : uint8_t { Move, Pass, PickUp, Look };

struct HandAction {
    long long atMs = 0;  // since the session's first record
    bool colorKeeper = true;
    ActionKind kind = ActionKind::Move;
};

struct HandEndBlock {
    std::string code;                // "GE", "GP", "GM"
    int ckCount = -1, nkCount = -1;  // each role's moves and passes, as its log says
    std::string ckScore, nkScore;
};

struct Hand {
    int number = 0;
    std::array<std::string, 6> dealt;  // by position code, as written
    bool dealComplete = false;
    long long dealMs = -1;  // the deal's clock reading, since the session's first record
    long long endMs = -1;   // the first hand-end record
    std::string opener;     // "ck", "nk", or "" when nobody acted
    std::string goal;       // from the shoe, or from a GE end; "" unknown
    int ckSwaps = 0, ckPasses = 0, nkSwaps = 0, nkPasses = 0;
    int ckPickUps = 0, nkPickUps = 0, ckLooks = 0, nkLooks = 0;
    std::vector<HandEndBlock> ends;
    std::vector<HandAction> actions;  // in time order
    std::optional<int> fewest;        // from the solver, when there is one
    bool ended() const { return !ends.empty(); }
    // The goal card reached the Target (a GE block, alone or with others).
    bool endedOnGoal() const;
    // The solver's fewest actions over the actions taken: defined only for
    // a hand that reached its goal, when the solver's answer is known.
    std::optional<double> efficiency() const;
    int actionsTaken() const { return ckSwaps + ckPasses + nkSwaps + nkPasses; }
    // "GE", "GP", "GM" or several joined with "+" ("GP+GM"); "" not ended.
    std::string endCodes() const;
};

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
    int handsPlayed() const;  // hands that ended
    // Each role's total, one score per ended hand; none when its log is missing.
    std::optional<double> ckTotal() const;
    std::optional<double> nkTotal() const;
    bool partnerMissing() const { return !pair.complete(); }
};

class SessionSink {
public:
    virtual ~SessionSink() = default;
    virtual void record(const RecordPlace&, const LogRecord&) {}
    virtual void fault(const SessionFault&) {}
    // A log altered as a whole after the session (a byte order mark, its
    // line ends), which was read as the game wrote it: once per file, when
    // its reading ends, with kind "warning" and line 0. Never a fault.
    virtual void warning(const SessionFault&) {}
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
