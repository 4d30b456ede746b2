#pragma once
// What a session's records tell of its actions: which records an action
// writes, who made it, the participant code of the header, and when a deal's
// records come after the wait before it. The checker, the tables, the
// sessions list and the replay read a session by these alone.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/eventlog/LogFormat.h"
#include "core/rules/Cards.h"

namespace qbx::session {

// An action of a session, as its records tell it.
enum class ActionKind : uint8_t {
    Start,    // the game start: the headers and "Game started"
    Deal,     // a hand dealt: the six "Card dealt" records
    PickUp,   // a card lifted (pR)
    Look,     // a look at the own hand card (pL)
    Move,     // a swap (PM in the mover's log, RM in the other)
    Pass,     // a pass (PP and RP)
    GameEnd,  // the shoe exhausted: the game's last records
};
const char* actionKindName(ActionKind kind);  // "start", "deal", "pick-up", "look", "move", "pass", "game end"

// The action a record begins; none for a record that belongs to the action
// before it (the headers after the first, a deal's later cards, a hand's
// end, the game's last lines).
std::optional<ActionKind> actionBegunBy(LogRecordKind kind);
// Pick-ups and looks are written in one log alone; the other actions in both.
inline bool inBothLogs(ActionKind kind) { return kind != ActionKind::PickUp && kind != ActionKind::Look; }

// A record of both logs: every record but a pick-up's and a look's stands
// in the other log too, mirrored (an own move or pass there the other
// role's remote one, the role header the other role's).
inline bool isMirrored(LogRecordKind kind) {
    return kind != LogRecordKind::PickedUp && kind != LogRecordKind::LookedAt;
}
// Why a ColorKeeper's record and the NumberKeeper's record that stands
// opposite it (the same count of mirrored records before each) do not
// mirror each other: another kind, other stamps, cards, places, code,
// score or total. Empty when they do. Two logs are of one session while
// their mirrored records mirror each other: verify and the replay hold a
// pair to this one rule.
std::string mirrorDifference(const LogRecord& ck, const LogRecord& nk);

// The role a record is of, in the log of `logRole`: the role it names (a
// log's header, a pick-up, a look, an own move or pass), the other role for
// a remote move or pass; none for the records of neither. Whose a pick-up
// was is decided later (pickUpMaker). Inline, as csv asks both of every
// record.
inline std::optional<Role> actorOf(const LogRecord& record, Role logRole) {
    if (record.role == 'c') return Role::Ck;
    if (record.role == 'n') return Role::Nk;
    if (record.kind == LogRecordKind::RemoteMove || record.kind == LogRecordKind::RemotePass) return otherRole(logRole);
    return std::nullopt;
}

// A pick-up is written into the log of the role in turn as the card is
// lifted; under MIX the lift itself may hand the turn to the other role,
// whose pick-up it then is. The record that follows pick-ups in their log
// tells whose they were: the maker of the move or pass it is; a look's or
// any other record's (or none: the log's end), the log's role.
inline Role pickUpMaker(const LogRecord* next, Role logRole) {
    if (next && (next->kind == LogRecordKind::RemoteMove || next->kind == LogRecordKind::RemotePass))
        return otherRole(logRole);
    return logRole;
}

// The participant code as typed: the header's field without the three
// blanks the program writes after every code. A code's own trailing blanks
// stay, as they were typed.
std::string participantCode(std::string_view headerField);

// A record's line without its leading time stamps: what the rules decide,
// not when.
std::string_view withoutStamps(std::string_view line);

// A deal's records are written at its last step, this long after the wait
// before the deal ended.
long long dealRecordsAfterWaitMs();

}  // namespace qbx::session
