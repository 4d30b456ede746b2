#include "core/session/SessionActions.h"

#include <cstring>

#include "core/game/Game.h"

namespace qbx::session {

namespace {

// Equal bytes: the sizes first, which differ when most fields do; a card's
// two bytes compared in place. An empty field has no bytes to compare (and
// memcmp given its null pointer, even for no bytes, takes a slow path on
// some processors).
bool sameField(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (a.size() == 2) return a[0] == b[0] && a[1] == b[1];
    return a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0;
}

bool sameStamps(const LogRecord& a, const LogRecord& b) {
    return a.stampCount == b.stampCount && a.first.ms() == b.first.ms() && a.first.millis == b.first.millis &&
           a.second.ms() == b.second.ms();
}

}  // namespace

std::string mirrorDifference(const LogRecord& c, const LogRecord& n) {
    auto mirrorKind = [](LogRecordKind k) {
        switch (k) {
        case LogRecordKind::OwnMove: return LogRecordKind::RemoteMove;
        case LogRecordKind::RemoteMove: return LogRecordKind::OwnMove;
        case LogRecordKind::OwnPass: return LogRecordKind::RemotePass;
        case LogRecordKind::RemotePass: return LogRecordKind::OwnPass;
        default: return k;
        }
    };
    if (mirrorKind(c.kind) != n.kind)
        return std::string("a ") + recordKindName(c.kind) + " record faces a " + recordKindName(n.kind) + " record";
    const bool ownStamps = c.kind == LogRecordKind::HandEnded || c.kind == LogRecordKind::HandEndClose ||
                           c.kind == LogRecordKind::TotalMoves;
    if (!ownStamps && !sameStamps(c, n)) return "the time stamps differ";
    if (!sameField(c.cardA, n.cardA) || !sameField(c.positionA, n.positionA) || !sameField(c.cardB, n.cardB) ||
        !sameField(c.positionB, n.positionB))
        return "the cards or places differ";
    if (c.kind == LogRecordKind::UserHeader && c.participant != n.participant) return "the participant codes differ";
    if (c.kind == LogRecordKind::HandEnded) {
        if (c.code != n.code) return "the hand ends differ (" + std::string(c.code) + ", " + std::string(n.code) + ")";
        if (c.score != n.score) return "the scores differ (" + std::string(c.score) + ", " + std::string(n.score) + ")";
    }
    if (c.kind == LogRecordKind::TotalMoves && c.totalMoves != n.totalMoves) return "the totals differ";
    return {};
}

const char* actionKindName(ActionKind kind) {
    switch (kind) {
    case ActionKind::Start: return "start";
    case ActionKind::Deal: return "deal";
    case ActionKind::PickUp: return "pick-up";
    case ActionKind::Look: return "look";
    case ActionKind::Move: return "move";
    case ActionKind::Pass: return "pass";
    case ActionKind::GameEnd: return "game end";
    }
    return "";
}

std::optional<ActionKind> actionBegunBy(LogRecordKind kind) {
    switch (kind) {
    case LogRecordKind::RoleHeader: return ActionKind::Start;
    case LogRecordKind::CardDealt: return ActionKind::Deal;
    case LogRecordKind::PickedUp: return ActionKind::PickUp;
    case LogRecordKind::LookedAt: return ActionKind::Look;
    case LogRecordKind::OwnMove:
    case LogRecordKind::RemoteMove: return ActionKind::Move;
    case LogRecordKind::OwnPass:
    case LogRecordKind::RemotePass: return ActionKind::Pass;
    case LogRecordKind::ShoeExhausted: return ActionKind::GameEnd;
    default: return std::nullopt;
    }
}

std::string participantCode(std::string_view headerField) {
    constexpr std::string_view kAddedBlanks = "   ";
    if (headerField.size() >= kAddedBlanks.size() &&
        headerField.substr(headerField.size() - kAddedBlanks.size()) == kAddedBlanks)
        headerField.remove_suffix(kAddedBlanks.size());
    return std::string(headerField);
}

std::string_view withoutStamps(std::string_view line) {
    for (int i = 0; i < 2; ++i) {
        size_t k = 0;
        while (k < line.size() && line[k] >= '0' && line[k] <= '9') ++k;
        if (k == 0 || k >= line.size() || line[k] != '.') break;
        size_t m = k + 1;
        while (m < line.size() && line[m] >= '0' && line[m] <= '9') ++m;
        if (m == k + 1 || m >= line.size() || line[m] != ':') break;
        line.remove_prefix(m + 1);
    }
    return line;
}

long long dealRecordsAfterWaitMs() { return Game::kDealSteps * static_cast<long long>(Game::kDealStepMs); }

}  // namespace qbx::session
