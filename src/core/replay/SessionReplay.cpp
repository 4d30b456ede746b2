#include "core/replay/SessionReplay.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/eventlog/LogReader.h"
#include "core/session/SessionTime.h"

namespace qbx::replay {

namespace {

// How long a look shows its card before the release that records it, at most.
constexpr long long kLookHoldMs = 600;
// How long a card held travels to its drop, at most: before that it waits
// lifted at its place.
constexpr long long kDragTravelMs = 1500;
// The same action read from the two logs: their stamps agree to the
// millisecond (a hand's end writes each log's from a reading of its own).
// Further apart than this, one log's stamps have gone astray.
constexpr long long kLogsAgreeMs = 60000;
// How long the table is watched after the last action for what it set
// going to come to rest (the longest glide takes 255 ms).
constexpr long long kRestAfterLastMs = 1000;

// One log's records grouped by the action that wrote them.
struct LoggedGroup {
    ActionKind kind = ActionKind::Start;
    long long atMs = 0;  // since the start of the session's first day
    long line = 0;
    char role = 0;              // pR, pL: the role the record names (for a pick-up: the role in turn)
    std::optional<Role> actor;  // who acted, as every reader of a session decides
    std::string card, place, otherCard, otherPlace;
    std::vector<std::string> records;
    bool endsHand = false;
    long long handEndMs = -1;  // the hand-end record's stamp
    std::string participant;   // the user header's code, blanks included
};

struct ReadLog {
    std::vector<LoggedGroup> groups;
    std::vector<std::string> problems;
    char headerRole = 0;
    bool cut = false;
    long lastLine = 0;  // the last line read (a cut one included)
};

// Starts a new group for a record, or adds the record to the group it
// belongs to; false for a record that belongs nowhere (before a header).
void addRecord(std::vector<LoggedGroup>& groups, const LogRecord& r, long long atMs, Role logRole) {
    const auto start = [&](ActionKind kind) {
        LoggedGroup g;
        g.kind = kind;
        g.atMs = atMs;
        g.line = r.line;
        groups.push_back(std::move(g));
    };
    const std::optional<ActionKind> begun = session::actionBegunBy(r.kind);
    if (begun == ActionKind::Deal) {
        if (groups.empty() || groups.back().kind != ActionKind::Deal || groups.back().records.size() >= kPlaces)
            start(ActionKind::Deal);
    } else if (begun) {
        start(*begun);
    } else if (groups.empty()) {
        start(ActionKind::Start);
    }
    LoggedGroup& g = groups.back();
    g.records.emplace_back(r.raw);
    if (begun && *begun != ActionKind::Start && *begun != ActionKind::Deal && *begun != ActionKind::GameEnd)
        g.actor = session::actorOf(r, logRole);
    switch (r.kind) {
    case LogRecordKind::UserHeader: g.participant = std::string(r.participant); break;
    case LogRecordKind::PickedUp:
        g.role = r.role;
        g.card = std::string(r.cardA);
        g.place = std::string(r.positionA);
        break;
    case LogRecordKind::LookedAt: g.role = r.role; break;
    case LogRecordKind::OwnMove:
    case LogRecordKind::RemoteMove:
        g.otherCard = std::string(r.cardA);
        g.otherPlace = std::string(r.positionA);
        g.card = std::string(r.cardB);
        g.place = std::string(r.positionB);
        break;
    case LogRecordKind::HandEnded:
        g.endsHand = true;
        if (g.handEndMs < 0) g.handEndMs = atMs;
        break;
    default: break;
    }
}

// Reads a log into groups. Stamps become milliseconds since the start of
// the session's first day: a stamp far below the one before it has
// passed midnight.
ReadLog readLog(const std::string& name, const std::string& bytes, Role logRole) {
    ReadLog out;
    LogReader reader;
    reader.openText(bytes);
    LogRecord r;
    LogFault fault;
    session::Timeline timeline;
    size_t undecidedPickUps = 0;  // the groups of pick-ups whose maker the next record tells
    const auto decidePickUps = [&](const LogRecord* next) {
        const Role maker = session::pickUpMaker(next, logRole);
        for (size_t k = out.groups.size() - undecidedPickUps; k < out.groups.size(); ++k) out.groups[k].actor = maker;
        undecidedPickUps = 0;
    };
    for (;;) {
        const LogReader::Next next = reader.next(r, fault);
        if (next == LogReader::Next::End) break;
        out.lastLine = next == LogReader::Next::Fault ? fault.line : r.line;
        if (next == LogReader::Next::Fault) {
            if (fault.kind == LogFaultKind::CutLine) {
                out.cut = true;
                out.problems.push_back(name + " line " + std::to_string(fault.line) +
                                       ": the log ends in a line cut short; the log is followed up to the line "
                                       "before it");
                break;
            }
            out.problems.push_back(name + " line " + std::to_string(fault.line) + ": " + fault.what +
                                   "; the line is left out");
            continue;
        }
        if (r.kind == LogRecordKind::RoleHeader && out.headerRole == 0) out.headerRole = r.role;
        if (r.stampCount > 0) timeline.place(r.first.ms());
        if (r.kind != LogRecordKind::PickedUp) decidePickUps(&r);
        addRecord(out.groups, r, timeline.started() ? timeline.latestMs() : 0, logRole);
        if (r.kind == LogRecordKind::PickedUp) ++undecidedPickUps;
    }
    decidePickUps(nullptr);
    return out;
}

Role roleOf(char role) { return role == 'n' ? Role::Nk : Role::Ck; }

// Where the two logs part, as verify finds it: the first mirrored records
// that do not mirror each other, in words. A line that is no record leaves
// the logs out of step: the comparison ends there, as it does where either
// log ends.
struct Parting {
    std::string why;  // empty: the logs do not part
    long ckLine = 0, nkLine = 0;
    // Before the first deal: the headers and the game start, written in one
    // moment with the participant's code, are not the same: the logs are of
    // two sessions.
    bool atStart = false;
};

Parting partingOf(const SessionLogs& logs) {
    LogReader ck, nk;
    ck.openText(logs.ckBytes);
    nk.openText(logs.nkBytes);
    LogRecord c, n;
    LogFault fault;
    const auto nextMirrored = [&fault](LogReader& reader, LogRecord& r) {
        for (;;) {
            if (reader.next(r, fault) != LogReader::Next::Record) return false;
            if (session::isMirrored(r.kind)) return true;
        }
    };
    bool dealt = false;
    while (nextMirrored(ck, c) && nextMirrored(nk, n)) {
        dealt = dealt || c.kind == LogRecordKind::CardDealt || n.kind == LogRecordKind::CardDealt;
        const std::string why = session::mirrorDifference(c, n);
        if (!why.empty()) return {why, c.line, n.line, !dealt};
    }
    return {};
}

// "3 s", "25 min", "23 h 59 min": how far apart two moments are.
std::string apartText(long long ms) {
    ms = std::llabs(ms);
    if (ms < 60000) return std::to_string(ms / 1000) + " s";
    if (ms < 3600000) return std::to_string(ms / 60000) + " min";
    return std::to_string(ms / 3600000) + " h " + std::to_string(ms / 60000 % 60) + " min";
}

// The records a log's text holds, without their stamps (LogReader's
// words for a line that is no record).
std::vector<std::string> recordsWithoutStamps(std::string_view text) {
    std::vector<std::string> out;
    LogReader reader;
    reader.openText(text);
    LogRecord r;
    LogFault fault;
    for (;;) {
        const LogReader::Next next = reader.next(r, fault);
        if (next == LogReader::Next::End) break;
        out.emplace_back(next == LogReader::Next::Record ? session::withoutStamps(r.raw) : fault.what);
    }
    return out;
}

}  // namespace

// What the logs say of each action, log by log, for the comparison with
// the records the replayed game writes.
struct SessionReplay::Logged {
    std::vector<std::string> ck, nk;  // without stamps
    // The line of each log the action's records begin at; for a log that
    // holds none of them, the line of its next record (the records would
    // stand before it), or, past its end, its last line.
    long ckLine = 0, nkLine = 0;
    bool ckEnded = false, nkEnded = false;  // the log has no record from here on
    bool ckCut = false, nkCut = false;      // ... as it ends in a line cut short
    long long handEndMs = -1;
    Role inTurn = Role::Ck;  // a pick-up: the role in turn as the card was lifted (whose log holds it)
};

SessionReplay::SessionReplay() = default;
SessionReplay::~SessionReplay() = default;

std::unique_ptr<SessionReplay> SessionReplay::open(const SessionLogs& logs, Size screen, std::string& error) {
    const std::optional<LogName> ckName = parseLogName(logs.ckName);
    const std::optional<LogName> nkName = parseLogName(logs.nkName);
    if (!ckName || !ckName->colorKeeper) {
        error = "'" + logs.ckName + "' is not the name of a ColorKeeper's log (ck<ddmmyy>_<n>.txt)";
        return nullptr;
    }
    if (!nkName || nkName->colorKeeper) {
        error = "'" + logs.nkName + "' is not the name of a NumberKeeper's log (nk<ddmmyy>_<n>.txt)";
        return nullptr;
    }
    if (ckName->suffix != nkName->suffix) {
        error = logs.ckName + " and " + logs.nkName + " are not the two logs of one session";
        return nullptr;
    }
    ReadLog ck = readLog(logs.ckName, logs.ckBytes, Role::Ck);
    ReadLog nk = readLog(logs.nkName, logs.nkBytes, Role::Nk);
    for (const auto& [log, name, want] : {std::tuple(&ck, &logs.ckName, 'c'), std::tuple(&nk, &logs.nkName, 'n')}) {
        if (log->groups.empty() || log->groups.front().kind != ActionKind::Start || log->headerRole == 0) {
            error = *name + " holds no session: it does not begin with a log's header";
            return nullptr;
        }
        if (log->headerRole != want) {
            error = *name + " is headed as the other role's log";
            return nullptr;
        }
    }
    const Parting parting = partingOf(logs);
    const std::string where = logs.ckName + " line " + std::to_string(parting.ckLine) + " and " + logs.nkName +
                              " line " + std::to_string(parting.nkLine);
    if (parting.atStart) {
        error = logs.ckName + " and " + logs.nkName + " are not the two logs of one session: " + parting.why + " at " +
                where;
        return nullptr;
    }

    std::unique_ptr<SessionReplay> replay(new SessionReplay);
    SessionReplay& s = *replay;
    s.session_ = ckName->suffix;
    s.ckName_ = logs.ckName;
    s.nkName_ = logs.nkName;
    s.screen_ = screen;
    s.setupFolder_ = logs.setupFolder;
    s.startOfDayMs_ = ck.groups.front().atMs;
    const std::string iso = ckName->isoDate();
    std::sscanf(iso.c_str(), "%d-%d-%d", &s.date_.year, &s.date_.month, &s.date_.day);
    s.participantAsTyped_ = ck.groups.front().participant;
    s.participant_ = session::participantCode(s.participantAsTyped_);
    for (std::string& p : ck.problems) s.problems_.push_back({0, std::move(p)});
    for (std::string& p : nk.problems) s.problems_.push_back({0, std::move(p)});
    if (!parting.why.empty())
        s.problems_.push_back(
            {0, where + ": the two logs part (" + parting.why + "); each is followed as it is from there"});

    // The two logs merged: an action only one log holds (a pick-up, a look)
    // comes before the next action both hold; two of them by their stamps.
    size_t i = 0, j = 0;
    int hand = 0;
    const auto placeCode = [](const std::string& name) {
        const int p = placeOfName(name);
        return static_cast<uint8_t>(p < 0 ? 0 : p);
    };
    while (i < ck.groups.size() || j < nk.groups.size()) {
        const LoggedGroup* a = i < ck.groups.size() ? &ck.groups[i] : nullptr;
        const LoggedGroup* b = j < nk.groups.size() ? &nk.groups[j] : nullptr;
        const bool aSolo = a && !session::inBothLogs(a->kind), bSolo = b && !session::inBothLogs(b->kind);
        const LoggedGroup* ckPart = nullptr;
        const LoggedGroup* nkPart = nullptr;
        if (aSolo && (!bSolo || a->atMs <= b->atMs))
            ckPart = &ck.groups[i++];
        else if (bSolo)
            nkPart = &nk.groups[j++];
        else {
            if (a) ckPart = &ck.groups[i++];
            if (b) nkPart = &nk.groups[j++];
            if (ckPart && nkPart && ckPart->kind != nkPart->kind)
                s.problems_.push_back({s.actions_.size(), s.ckName_ + " line " + std::to_string(ckPart->line) +
                                                              " and " + s.nkName_ + " line " +
                                                              std::to_string(nkPart->line) +
                                                              " do not tell of the same action"});
        }
        const LoggedGroup& g = ckPart ? *ckPart : *nkPart;
        Action act;
        act.kind = g.kind;
        act.atMs = g.atMs - s.startOfDayMs_;
        act.file = ckPart ? s.ckName_ : s.nkName_;
        act.line = g.line;
        Logged logged;
        const auto lineOf = [](const ReadLog& log, const LoggedGroup* part, size_t next, long& line, bool& ended,
                               bool& cut) {
            ended = !part && next >= log.groups.size();
            cut = ended && log.cut;
            line = part ? part->line : !ended ? log.groups[next].line : log.lastLine;
        };
        lineOf(ck, ckPart, i, logged.ckLine, logged.ckEnded, logged.ckCut);
        lineOf(nk, nkPart, j, logged.nkLine, logged.nkEnded, logged.nkCut);
        // A damaged stamp puts one log's actions on another day than the
        // other's: the hand cannot be played in time.
        const int handOf = hand + (g.kind == ActionKind::Deal ? 1 : 0);
        if (ckPart && nkPart && std::llabs(ckPart->atMs - nkPart->atMs) > kLogsAgreeMs &&
            (s.handFaults_.empty() || s.handFaults_.back().first != handOf)) {
            std::string why = s.ckName_ + " line " + std::to_string(ckPart->line) + " and " + s.nkName_ + " line " +
                              std::to_string(nkPart->line) + " place the same " + actionKindName(g.kind) + " " +
                              apartText(ckPart->atMs - nkPart->atMs) +
                              " apart: a time stamp of one log, there or before, is damaged";
            s.problems_.push_back({s.actions_.size(), why});
            s.handFaults_.emplace_back(handOf, std::move(why));
        }
        if (ckPart) {
            for (const std::string& rec : ckPart->records) logged.ck.emplace_back(session::withoutStamps(rec));
            act.records.insert(act.records.end(), ckPart->records.begin(), ckPart->records.end());
            logged.ckLine = ckPart->line;
        }
        if (nkPart) {
            for (const std::string& rec : nkPart->records) logged.nk.emplace_back(session::withoutStamps(rec));
            act.records.insert(act.records.end(), nkPart->records.begin(), nkPart->records.end());
            logged.nkLine = nkPart->line;
        }
        act.endsHand = (ckPart && ckPart->endsHand) || (nkPart && nkPart->endsHand);
        logged.handEndMs = std::max(ckPart ? ckPart->handEndMs : -1, nkPart ? nkPart->handEndMs : -1);
        switch (g.kind) {
        case ActionKind::Deal: act.hand = ++hand; break;
        case ActionKind::PickUp:
            act.role = g.actor.value_or(roleOf(g.role));
            logged.inTurn = roleOf(g.role);
            act.from = placeCode(g.place);
            break;
        case ActionKind::Look:
            act.role = roleOf(g.role);
            act.from = handPosition(act.role);
            break;
        case ActionKind::Move: {
            // The mover's log says "PM"; the card dragged is the one its
            // pick-up lifted, dropped on the other card of the swap.
            act.role = g.actor.value_or(Role::Ck);
            const uint8_t handPlace = placeCode(g.place), otherPlace = placeCode(g.otherPlace);
            act.from = handPlace;
            act.to = otherPlace;
            if (!s.actions_.empty() && s.actions_.back().kind == ActionKind::PickUp &&
                s.actions_.back().from == otherPlace) {
                act.from = otherPlace;
                act.to = handPlace;
            }
            break;
        }
        case ActionKind::Pass: act.role = g.actor.value_or(Role::Ck); break;
        default: break;
        }
        if (g.kind != ActionKind::Deal) act.hand = hand;
        s.actions_.push_back(std::move(act));
        s.logged_.push_back(std::move(logged));
    }
    s.hands_ = hand;
    s.openingProblems_ = s.problems_.size();
    s.restart();
    return replay;
}

size_t SessionReplay::firstActionOfHand(int hand) const {
    for (size_t k = 0; k < actions_.size(); ++k)
        if (actions_[k].kind == ActionKind::Deal && actions_[k].hand == hand) return k;
    return actions_.size();
}

void SessionReplay::restart() {
    problems_.resize(openingProblems_);
    game_.reset();
    desktop_ = std::make_unique<SimulatedDesktop>(clock_);
    desktop_->screen = screen_;
    desktop_->window = screen_;
    desktop_->system = SystemInfo{"replay", screen_.width, screen_.height, 1, ""};
    desktop_->onMessage = [this](const std::string& text) {
        banner_ = text;
        // The box stayed open until the participant closed it (the records
        // after it carry that time), and the timers went on meanwhile: a
        // card gliding home went on gliding.
        if (boxClosesAtMs_ < 0) return;
        while (!desktop_->terminated) {
            const long long due = desktop_->nextTimerDue();
            if (due < 0 || due >= boxClosesAtMs_) break;
            desktop_->fireNextTimer(*game_);
        }
        if (clock_.ms() < boxClosesAtMs_) clock_.setMs(boxClosesAtMs_);
    };
    clock_.date = date_;
    clock_.setMs(startOfDayMs_);
    game_ = std::make_unique<Game>(*desktop_, clock_, setupFolder_);
    game_->keepLogsInMemory();
    game_->setRandomSuffix([] { return 0; });
    applied_ = 0;
    nowMs_ = 0;
    banner_.clear();
    ckRead_ = nkRead_ = 0;
    dragHeld_ = false;
    lookHeld_ = false;
    boxClosesAtMs_ = -1;
    compared_ = 0;
    ckEndNamed_ = nkEndNamed_ = false;
}

long long SessionReplay::absolute(long long sinceStartMs) const { return startOfDayMs_ + sinceStartMs; }

void SessionReplay::runTimersTo(long long ms, const std::function<bool()>& rested) {
    const long long until = absolute(ms);
    for (int guard = 0; guard < 1000000; ++guard) {
        if (rested && rested()) return;
        // The wait before a deal ends when the deal's records say it did
        // (a box may have kept it from starting).
        SimulatedDesktop::TimerSlot& wait = desktop_->timers[static_cast<int>(TimerId::DealWait)];
        if (wait.running && applied_ < actions_.size() && actions_[applied_].kind == ActionKind::Deal)
            wait.due = std::max(wait.due, absolute(actions_[applied_].atMs) - session::dealRecordsAfterWaitMs());
        const long long due = desktop_->nextTimerDue();
        if (due < 0 || due > until || desktop_->terminated) break;
        // The deal's last step writes its records: that is the deal's own
        // action, applied (and its records compared) in its turn.
        const SimulatedDesktop::TimerSlot& step = desktop_->timers[static_cast<int>(TimerId::DealStep)];
        if (step.running && step.due == due && game_->progress().dealStep == 7 && applied_ < actions_.size()) break;
        // A hand's end message shows until the next deal begins.
        if (wait.running && wait.due == due) banner_.clear();
        desktop_->fireNextTimer(*game_);
    }
    if (clock_.ms() < until) clock_.setMs(until);
}

void SessionReplay::settleBeforeInput() {
    // The participant could act only once the table took input again: what
    // still glides or deals has finished by then.
    desktop_->runUntil(*game_, [this] {
        return game_->table().formEnabled() && game_->table().formVisible() && !game_->timerRunning(TimerId::Glide) &&
               !game_->timerRunning(TimerId::DealWait) && !game_->timerRunning(TimerId::DealStep);
    });
}

void SessionReplay::releaseLook() {
    if (!lookHeld_) return;
    lookHeld_ = false;
    releaseCard(*game_, lookPlace_, MouseButton::Right);
}

void SessionReplay::dropHeldCard() {
    if (!dragHeld_) return;
    dragHeld_ = false;
    game_->cancelDrag();
}

void SessionReplay::completeHandOverFor(const Action& act, Role inTurn) {
    // A pick-up in the other role's log while the turn waits to be handed
    // over: the participant touched a card first, which hands the turn over
    // and writes nothing (a look at a card that is no hand card).
    const rules::Situation& hand = game_->hand();
    if (!hand.handOverPending || hand.turn == inTurn) return;
    const uint8_t touched = isHandPosition(act.from) ? static_cast<uint8_t>(upCardView) : act.from;
    pressCard(*game_, touched, MouseButton::Right);
    releaseCard(*game_, touched, MouseButton::Right);
}

void SessionReplay::apply(size_t index) {
    const Action& act = actions_[index];
    const long long at = absolute(act.atMs);
    const auto clockTo = [&] {
        if (clock_.ms() < at) clock_.setMs(at);
    };
    if (act.kind != ActionKind::Move) dropHeldCard();
    if (act.kind != ActionKind::Look) releaseLook();
    switch (act.kind) {
    case ActionKind::Start:
    case ActionKind::Deal:
    case ActionKind::GameEnd: break;
    default: settleBeforeInput(); break;
    }
    if (act.kind == ActionKind::Deal || act.kind == ActionKind::GameEnd) {
        // What the last action set going (a glide, the hand's end) is over
        // once the next deal begins.
        desktop_->runUntil(*game_,
                           [this] { return game_->timerRunning(TimerId::DealStep) || game_->progress().handInPlay; });
    }
    compareUpTo(index);
    boxClosesAtMs_ = logged_[index].handEndMs;
    switch (act.kind) {
    case ActionKind::Start:
        clockTo();
        game_->startGame(participantAsTyped_);
        break;
    case ActionKind::Deal:
        banner_.clear();
        desktop_->runUntil(*game_, [this] { return game_->progress().handInPlay; });
        break;
    case ActionKind::PickUp:
        clockTo();
        completeHandOverFor(act, logged_[index].inTurn);
        pressCard(*game_, act.from, MouseButton::Left);
        dragHeld_ = game_->dragging();
        dragFrom_ = act.from;
        break;
    case ActionKind::Look:
        if (!lookHeld_) {
            clockTo();
            pressCard(*game_, act.from, MouseButton::Right);
        }
        lookHeld_ = false;
        clockTo();
        releaseCard(*game_, act.from, MouseButton::Right);
        break;
    case ActionKind::Move:
        if (!dragHeld_ || dragFrom_ != act.from) {
            dropHeldCard();
            clockTo();
            completeHandOverFor(act, act.role);
            pressCard(*game_, act.from, MouseButton::Left);
        }
        dragHeld_ = false;
        clockTo();
        game_->mouseMove(cardCentreX(*game_, act.to), cardCentreY(*game_, act.to));
        releaseCard(*game_, act.to, MouseButton::Left);
        break;
    case ActionKind::Pass:
        clockTo();
        game_->pass();
        break;
    case ActionKind::GameEnd: desktop_->runUntil(*game_, [this] { return desktop_->terminated; }); break;
    }
    // A hand that ends on its goal card shows the participant no box; the
    // banner marks its end all the same.
    if (act.endsHand && banner_.empty())
        banner_ = "Hand " + std::to_string(act.hand) + " is over: the goal card is at the Target.";
    clockTo();
    applied_ = index + 1;
    // Every action writes its records in the call that makes it (a deal's
    // and the game's end in the timer tick applied above): the last one's
    // are all there.
    if (applied_ == actions_.size()) compareUpTo(applied_);
}

void SessionReplay::compareUpTo(size_t end) {
    // Records the game wrote since the last comparison belong to the
    // actions before `end`; each action's are held against the logs'.
    const std::vector<std::string> ckNew =
        recordsWithoutStamps(std::string_view(game_->logs().ck().memory()).substr(ckRead_));
    const std::vector<std::string> nkNew =
        recordsWithoutStamps(std::string_view(game_->logs().nk().memory()).substr(nkRead_));
    ckRead_ = game_->logs().ck().memory().size();
    nkRead_ = game_->logs().nk().memory().size();
    std::vector<std::string> wantCk, wantNk;
    const size_t first = compared_;
    for (; compared_ < end && compared_ < logged_.size(); ++compared_) {
        wantCk.insert(wantCk.end(), logged_[compared_].ck.begin(), logged_[compared_].ck.end());
        wantNk.insert(wantNk.end(), logged_[compared_].nk.begin(), logged_[compared_].nk.end());
    }
    if (first >= compared_) return;
    const auto compare = [&](const std::vector<std::string>& got, const std::vector<std::string>& want,
                             const std::string& file, long line, bool ended, bool cut, bool& endNamed) {
        // A log that has ended holds nothing more: a log cut short was named
        // where it ends, one that ends early is named once.
        if (ended && want.empty() && (cut || endNamed || got.empty())) return;
        if (ended && want.empty()) endNamed = true;
        for (size_t k = 0; k < std::max(got.size(), want.size()); ++k) {
            const std::string g = k < got.size() ? got[k] : std::string();
            if (k < want.size() && g == want[k]) continue;
            std::string what = ended && want.empty()
                                   ? file + " ends at line " + std::to_string(line) + ", before the session does: "
                                   : file + " line " + std::to_string(line + static_cast<long>(k)) + ": ";
            if (k >= want.size())
                what += "the rules also give \"" + g + "\" here, which the log does not hold";
            else if (k >= got.size())
                what += "the log holds \"" + want[k] + "\", which the rules do not give here";
            else
                what += "the log holds \"" + want[k] + "\"; the rules give \"" + g + "\"";
            problems_.push_back({first, what});
            return;
        }
    };
    const Logged& at = logged_[first];
    compare(ckNew, wantCk, ckName_, at.ckLine, at.ckEnded, at.ckCut, ckEndNamed_);
    compare(nkNew, wantNk, nkName_, at.nkLine, at.nkEnded, at.nkCut, nkEndNamed_);
}

void SessionReplay::followMouse(long long ms) {
    if (applied_ >= actions_.size() || applied_ == 0) return;
    const Action& next = actions_[applied_];
    const Action& last = actions_[applied_ - 1];
    if (dragHeld_ && next.kind == ActionKind::Move) {
        // The card follows the pointer from its place to the drop, in the
        // moments before the drop.
        const long long leaves = std::max(last.atMs, next.atMs - kDragTravelMs);
        const long long span = std::max(1LL, next.atMs - leaves);
        const double f = std::clamp(static_cast<double>(ms - leaves) / static_cast<double>(span), 0.0, 1.0);
        const int x0 = cardCentreX(*game_, dragFrom_), y0 = cardCentreY(*game_, dragFrom_);
        const int x1 = cardCentreX(*game_, next.to), y1 = cardCentreY(*game_, next.to);
        game_->mouseMove(x0 + static_cast<int>((x1 - x0) * f), y0 + static_cast<int>((y1 - y0) * f));
    }
    if (next.kind == ActionKind::Look && !lookHeld_ && !dragHeld_) {
        // The look's record is written at the release: the card showed its
        // face for a moment before.
        const long long hold = std::min(kLookHoldMs, next.atMs - last.atMs);
        if (ms >= next.atMs - hold && game_->table().formEnabled() && !game_->timerRunning(TimerId::Glide)) {
            pressCard(*game_, next.from, MouseButton::Right);
            lookHeld_ = true;
            lookPlace_ = next.from;
        }
    }
}

void SessionReplay::playTo(long long ms) {
    if (ms < nowMs_) restart();
    while (applied_ < actions_.size() && actions_[applied_].atMs <= ms) {
        runTimersTo(actions_[applied_].atMs);
        apply(applied_);
    }
    runTimersTo(ms);
    followMouse(ms);
    nowMs_ = std::max(nowMs_, ms);
}

void SessionReplay::showAction(size_t index) {
    jumpToAction(index);
    if (actions_.empty()) return;
    index = std::min(index, actions_.size() - 1);
    const long long until =
        index + 1 < actions_.size() ? actions_[index + 1].atMs : actions_[index].atMs + kRestAfterLastMs;
    // At rest: the table shown, and no card gliding but the deal's own
    // (the first deal's first step shows the table and starts one).
    runTimersTo(until, [this] {
        return game_->table().formVisible() &&
               (!game_->timerRunning(TimerId::Glide) || game_->timerRunning(TimerId::DealStep));
    });
    nowMs_ = std::max(nowMs_, clock_.ms() - startOfDayMs_);
}

long long SessionReplay::nextChangeMs() const {
    long long next = durationMs() + kRestAfterLastMs;
    if (desktop_->terminated) return std::max(nowMs_, next);
    if (const long long due = desktop_->nextTimerDue(); due >= 0) next = std::min(next, due - startOfDayMs_);
    if (applied_ < actions_.size()) {
        const Action& act = actions_[applied_];
        long long at = act.atMs;
        const long long since = applied_ > 0 ? actions_[applied_ - 1].atMs : 0;
        if (act.kind == ActionKind::Look) at -= std::min(kLookHoldMs, std::max(0LL, at - since));
        if (dragHeld_ && act.kind == ActionKind::Move) at = std::max(since, at - kDragTravelMs);
        next = std::min(next, at);
    }
    return std::max(nowMs_, next);
}

std::string SessionReplay::handFault(int hand) const {
    for (const auto& [h, why] : handFaults_)
        if (h == hand) return why;
    return {};
}

void SessionReplay::jumpToAction(size_t index) {
    if (actions_.empty()) return;
    index = std::min(index, actions_.size() - 1);
    if (applied_ > index + 1) restart();
    while (applied_ <= index) {
        runTimersTo(actions_[applied_].atMs);
        apply(applied_);
    }
    nowMs_ = std::max(nowMs_, actions_[index].atMs);
}

}  // namespace qbx::replay
