#pragma once
// What reading a session gives its caller: each record with its place in
// the session, each fault with its kind, and the hands put together from the
// records. The checker of one log (LogCheck) fills them; the reader of both
// logs (Session) hands them on.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/eventlog/LogFormat.h"
#include "core/session/SessionActions.h"

namespace qbx::tool::logs {

// The kinds of fault, printed by the words faultKindText gives them.
enum class SessionFaultKind : uint8_t {
    // A line or log the reader could not read (its LogFaultKind, in order).
    CannotRead,
    CutLine,
    BareLineFeed,
    BareReturn,
    OtherLineEnd,
    NotText,
    LongLine,
    BadStamp,
    UnknownRecord,
    Empty,     // a log without a line
    Warning,   // a log altered as a whole after the session: never a fault
    Unpaired,  // a log without its partner
    // Faults among the records read.
    Mirror,
    Order,
    Stamp,
    StampOrder,
    Header,
    Deal,
    Setup,
    Turn,
    Role,
    Move,
    Drag,
    HandEnd,
    Count,
    Score,
    Total,
};
// "cannot read", "cut line", ..., "empty", "warning", "unpaired", "mirror", "order",
// "stamp", "stamp order", "header", "deal", "setup", "turn", "role", "move",
// "drag", "hand end", "count", "score", "total".
const char* faultKindText(SessionFaultKind kind);
SessionFaultKind sessionFaultKind(LogFaultKind kind);

struct SessionFault {
    std::string file;
    long line = 0;  // 0: the file as a whole
    SessionFaultKind kind = SessionFaultKind::Order;
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

using session::ActionKind;

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

class SessionSink {
public:
    virtual ~SessionSink() = default;
    virtual void record(const RecordPlace&, const LogRecord&) {}
    virtual void fault(const SessionFault&) {}
    // A log altered as a whole after the session (a byte order mark, its
    // line ends), which was read as the game wrote it: once per file, when
    // its reading ends, with kind Warning and line 0. Never a fault.
    virtual void warning(const SessionFault&) {}
};

}  // namespace qbx::tool::logs
