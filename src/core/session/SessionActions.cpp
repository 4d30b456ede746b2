#include "core/session/SessionActions.h"

#include "core/game/Game.h"

namespace qbx::session {

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

std::optional<Role> actorOf(const LogRecord& record, Role logRole) {
    if (record.role == 'c') return Role::Ck;
    if (record.role == 'n') return Role::Nk;
    if (record.kind == LogRecordKind::RemoteMove || record.kind == LogRecordKind::RemotePass) return otherRole(logRole);
    return std::nullopt;
}

Role pickUpMaker(const LogRecord* next, Role logRole) {
    if (!next) return logRole;
    switch (next->kind) {
    case LogRecordKind::OwnMove:
    case LogRecordKind::OwnPass: return logRole;
    case LogRecordKind::RemoteMove:
    case LogRecordKind::RemotePass: return otherRole(logRole);
    default: return logRole;
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
