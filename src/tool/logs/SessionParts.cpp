#include "tool/logs/SessionParts.h"

namespace qbx::tool::logs {

const char* faultKindText(SessionFaultKind kind) {
    switch (kind) {
    case SessionFaultKind::CannotRead: return faultKindName(LogFaultKind::CannotRead);
    case SessionFaultKind::CutLine: return faultKindName(LogFaultKind::CutLine);
    case SessionFaultKind::BareLineFeed: return faultKindName(LogFaultKind::BareLineFeed);
    case SessionFaultKind::BareReturn: return faultKindName(LogFaultKind::BareReturn);
    case SessionFaultKind::OtherLineEnd: return faultKindName(LogFaultKind::OtherLineEnd);
    case SessionFaultKind::NotText: return faultKindName(LogFaultKind::NotText);
    case SessionFaultKind::LongLine: return faultKindName(LogFaultKind::LongLine);
    case SessionFaultKind::BadStamp: return faultKindName(LogFaultKind::BadStamp);
    case SessionFaultKind::UnknownRecord: return faultKindName(LogFaultKind::UnknownRecord);
    case SessionFaultKind::Empty: return "empty";
    case SessionFaultKind::Warning: return "warning";
    case SessionFaultKind::Unpaired: return "unpaired";
    case SessionFaultKind::Mirror: return "mirror";
    case SessionFaultKind::Order: return "order";
    case SessionFaultKind::Stamp: return "stamp";
    case SessionFaultKind::StampOrder: return "stamp order";
    case SessionFaultKind::Header: return "header";
    case SessionFaultKind::Deal: return "deal";
    case SessionFaultKind::Setup: return "setup";
    case SessionFaultKind::Turn: return "turn";
    case SessionFaultKind::Role: return "role";
    case SessionFaultKind::Move: return "move";
    case SessionFaultKind::Drag: return "drag";
    case SessionFaultKind::HandEnd: return "hand end";
    case SessionFaultKind::Count: return "count";
    case SessionFaultKind::Score: return "score";
    case SessionFaultKind::Total: return "total";
    }
    return "?";
}

SessionFaultKind sessionFaultKind(LogFaultKind kind) {
    switch (kind) {
    case LogFaultKind::CannotRead: return SessionFaultKind::CannotRead;
    case LogFaultKind::CutLine: return SessionFaultKind::CutLine;
    case LogFaultKind::BareLineFeed: return SessionFaultKind::BareLineFeed;
    case LogFaultKind::BareReturn: return SessionFaultKind::BareReturn;
    case LogFaultKind::OtherLineEnd: return SessionFaultKind::OtherLineEnd;
    case LogFaultKind::NotText: return SessionFaultKind::NotText;
    case LogFaultKind::LongLine: return SessionFaultKind::LongLine;
    case LogFaultKind::BadStamp: return SessionFaultKind::BadStamp;
    case LogFaultKind::UnknownRecord: return SessionFaultKind::UnknownRecord;
    }
    return SessionFaultKind::UnknownRecord;
}

std::string Hand::endCodes() const {
    std::string codes;
    for (const HandEndBlock& b : ends) codes += (codes.empty() ? "" : "+") + b.code;
    return codes;
}

bool Hand::endedOnGoal() const {
    for (const HandEndBlock& b : ends)
        if (b.code == logtext::kGoalCode) return true;
    return false;
}

std::optional<double> Hand::efficiency() const {
    if (!fewest || !endedOnGoal() || actionsTaken() == 0) return std::nullopt;
    return double(*fewest) / actionsTaken();
}

}  // namespace qbx::tool::logs
