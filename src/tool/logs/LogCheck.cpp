#include "tool/logs/LogCheck.h"

#include <climits>

namespace qbx::tool::logs {

namespace {

const char* keeperName(Role role) { return role == Role::Ck ? "ColorKeeper" : "NumberKeeper"; }

// The hand-end codes in the order a hand's blocks are written: GP, GM, GE.
int codeRank(std::string_view code) {
    return code == logtext::kFourPassesCode ? 0 : code == logtext::kMoveLimitCode ? 1 : 2;
}
std::string codeName(int rank) { return std::string(handEndCode(static_cast<HandEndCode>(rank))); }
const char* codeMeaning(int rank) {
    return rank == 0 ? "four passes in a row" : rank == 1 ? "the move limit" : "the goal card at the Target";
}

}  // namespace

LogCheck::LogCheck(Role role, const std::string& file, const GameSetup* setup, SessionSink& sink, bool keepActions)
    : role_(role), file_(file), setup_(setup), sink_(sink), keepActions_(keepActions) {
    if (setup_)
        rules_ = setup_->rules;
    else
        rules_.maxRounds = INT32_MAX;  // no setup, no move limit to hold a hand to
}

void LogCheck::fault(long line, SessionFaultKind kind, const std::string& what) {
    ++faults;
    sink_.fault({file_, line, kind, what});
}

void LogCheck::noteFault(const LogFault& f) {
    ++faults;
    sink_.fault({file_, f.line, sessionFaultKind(f.kind), f.what});
}

void LogCheck::structure(const LogRecord& r, const char* expected) {
    fault(r.line, SessionFaultKind::Order,
          std::string("a ") + recordKindName(r.kind) + " record where " + expected + " belongs");
}

void LogCheck::stamps(const LogRecord& r, int offset) {
    if (r.stampCount == 0) return;
    if (r.first.millis - offset < 0 || r.first.millis - offset > 999)
        fault(r.line, SessionFaultKind::Stamp,
              "milliseconds " + std::to_string(r.first.millis) + " out of range for this record");
    if (r.stampCount == 2) {
        if (r.kind == LogRecordKind::HandEnded) {
            // Two readings of the clock, the later one written first.
            if (r.second.ms() > r.first.ms())
                fault(r.line, SessionFaultKind::Stamp, "the second time stamp is later than the first");
        } else if (r.second.seconds != r.first.seconds || r.second.millis != r.first.millis) {
            fault(r.line, SessionFaultKind::Stamp, "the two time stamps differ");
        }
    }
    const long long furthest = timeline_.furthestMs();
    const session::Timeline::Step step = timeline_.place(r.first.ms(), offset);
    if (step == session::Timeline::Step::First) {
        hasStart = true;
        start = r.first;
        startMs = r.first.ms();
    } else if (step == session::Timeline::Step::PastMidnight) {
        // The session ran past midnight: the stamps start again from 0.
        crossedMidnight = true;
    } else if (step == session::Timeline::Step::Back) {
        fault(r.line, SessionFaultKind::StampOrder,
              "the time goes back from " + session::clockText(furthest) + " to " + session::clockText(r.first.ms()));
    }
    sinceStart_ = timeline_.sinceFirstMs();
    last = r.first;
    lastSince = sinceStart_;
}

void LogCheck::header(const LogRecord& r) {
    static const LogRecordKind kOrder[4] = {LogRecordKind::RoleHeader, LogRecordKind::GameBegins,
                                            LogRecordKind::UserHeader, LogRecordKind::FixedHeader};
    if (r.kind != kOrder[headerIndex_]) {
        fault(r.line, SessionFaultKind::Header,
              std::string("header line ") + std::to_string(headerIndex_ + 1) + " should be the " +
                  recordKindName(kOrder[headerIndex_]) + ", not a " + recordKindName(r.kind));
    }
    if (headerIndex_ == 0)
        headerStamp_ = r.first;
    else if (r.first.ms() != headerStamp_.ms())
        fault(r.line, SessionFaultKind::Header, "the header lines do not share one time stamp");
    if (r.kind == LogRecordKind::RoleHeader && r.role != (role_ == Role::Ck ? 'c' : 'n'))
        fault(r.line, SessionFaultKind::Header,
              std::string("the log of the ") + keeperName(role_) + " says it is the other role's (" +
                  std::string(r.raw) + ")");
    if (r.kind == LogRecordKind::UserHeader) participant = session::participantCode(r.participant);
    if (++headerIndex_ == 4) state_ = State::BeforeStart;
}

// ---- Deals ----------------------------------------------------------------------

void LogCheck::deal(const LogRecord& r) {
    if (state_ == State::BeforeDeal || state_ == State::AfterEnd) {
        if (state_ == State::AfterEnd) finishHand();
        // A session has a few dozen hands: room for them at once, not by
        // doubling from one.
        if (hands.empty()) hands.reserve(32);
        hands.emplace_back();
        hands.back().number = static_cast<int>(hands.size());
        dealIndex_ = 0;
        dealtCard_.fill(-1);
        play_ = rules::Situation{};
        arranged_ = replayTurns_ = false;
        goalCard_ = -1;
        codesSeen_ = codesExpected_ = 0;
        lastCodeRank_ = -1;
        handScore_.clear();
        state_ = State::Dealing;
    } else if (state_ != State::Dealing) {
        structure(r, "no card can be dealt");
        if (hands.empty()) return;
    }
    Hand& h = hands.back();
    if (dealIndex_ >= kPlaces) {
        fault(r.line, SessionFaultKind::Deal, "a seventh card dealt in one hand");
        return;
    }
    const int k = dealIndex_ + 1;
    stamps(r, k);
    if (dealIndex_ == 0) {
        dealBase_ = r.first.ms() - k;
        h.dealMs = sinceStart_ - k;
    } else if (r.first.ms() - k != dealBase_) {
        fault(r.line, SessionFaultKind::Deal, "the six cards of a deal do not share one clock reading");
    }
    const int position = placeOfName(r.positionA);
    if (position != kDealRecordOrder[dealIndex_])
        fault(r.line, SessionFaultKind::Deal,
              "card " + std::to_string(k) + " of a deal goes to " +
                  std::string(placeName(kDealRecordOrder[dealIndex_])) + ", not " + std::string(r.positionA));
    // The shoe's colour letters other than H are clubs.
    const int card = cardOfShoeText(r.cardA[0], r.cardA[1]);
    for (const int other : dealtCard_)
        if (other == card)
            fault(r.line, SessionFaultKind::Deal, "the card " + cardText(card) + " is dealt twice in one hand");
    if (position >= 0) {
        dealtCard_[position] = card;
        // Two bytes each, into a string's own room: no call of assign.
        std::string& dealt = h.dealt[position];
        dealt.clear();
        for (const char c : r.cardA) dealt.push_back(c);
    }
    if (++dealIndex_ == kPlaces) dealComplete(r, h);
}

void LogCheck::dealComplete(const LogRecord& r, Hand& h) {
    h.dealComplete = true;
    state_ = State::InPlay;
    // Six different cards at the six places: the hand the rules replay.
    std::array<uint8_t, kCards> positionOfCard{};
    unsigned seen = 0;
    arranged_ = true;
    for (uint8_t position = 0; position < kPlaces; ++position) {
        const int card = dealtCard_[position];
        if (card < 0 || (seen & (1u << card))) {
            arranged_ = false;
            break;
        }
        seen |= 1u << card;
        positionOfCard[card] = position;
    }
    Role opener = Role::Ck;
    if (setup_) {
        const size_t index = static_cast<size_t>(h.number - 1);
        if (index >= setup_->hands.size()) {
            dealsNotFromSetup = true;
            fault(r.line, SessionFaultKind::Setup,
                  "hand " + std::to_string(h.number) + " is dealt, but the shoe " + setup_->shoePath + " has only " +
                      std::to_string(setup_->hands.size()) + " hands");
        } else {
            const ShoeHand& line = setup_->hands[index];
            const rules::Deal dealt = rules::dealOf(line, rules_.circularDeal);
            if (!arranged_ || dealt.positionOfCard != positionOfCard) {
                dealsNotFromSetup = true;
                fault(r.line, SessionFaultKind::Setup,
                      "hand " + std::to_string(h.number) + " is not the hand of line " +
                          std::to_string(line.lineNumber) + " of " + setup_->shoePath);
            }
            h.goal = cardText(dealt.goalCard);
            goalCard_ = dealt.goalCard;
            shoeOpener_ = opener = dealt.opener;
            replayTurns_ = arranged_;
            if (setup_->fewest) h.fewest = setup_->fewest(dealt);
        }
    }
    if (arranged_) play_ = rules::dealtHand(positionOfCard, opener, rules_);
}

bool LogCheck::lies(std::string_view card, uint8_t position) const {
    const int index = cardOfText(card);
    return index >= 0 && play_.holds(index, position);
}

std::string LogCheck::cardAt(uint8_t position) const {
    return arranged_ ? cardText(play_.cardAt(position)) : std::string();
}

bool LogCheck::goalAtTarget() const { return arranged_ && goalCard_ >= 0 && play_.holds(goalCard_, targetCardView); }

rules::HandEnd LogCheck::handEndNow() const { return rules::handEnd(play_.counters, rules_.maxRounds, goalAtTarget()); }

// ---- Actions --------------------------------------------------------------------

void LogCheck::decidePickUps(Role actor) {
    pickUpActor_ = actor;
    if (undecidedPickUps_ == 0) return;
    Hand* h = hand();
    if (h) {
        (actor == Role::Ck ? h->ckPickUps : h->nkPickUps) += undecidedPickUps_;
        for (const size_t index : undecidedActions_) h->actions[index].colorKeeper = actor == Role::Ck;
    }
    undecidedPickUps_ = 0;
    undecidedActions_.clear();
}

void LogCheck::addAction(Role actor, ActionKind kind) {
    if (keepActions_ && hand()) hand()->actions.push_back({sinceStart_, actor == Role::Ck, kind});
}

void LogCheck::takeTurn(const LogRecord& r, Role actor, const char* action) {
    if (play_.turn == actor) return;
    if (!replayTurns_ || play_.counters.handMoves == 0) {
        // The rules of the turn are not known, or the hand's first action
        // is not the opener's (which the shoe's check names): the turn
        // follows the records.
        play_.turn = actor;
        play_.handOverPending = false;
        play_.draggable = rules::dragPermission(actor, rules_.handCardsLocked);
        return;
    }
    if (play_.handOverPending) {
        play_.handOverPending = false;
        rules::giveTurn(play_, rules_);
        return;
    }
    fault(r.line, SessionFaultKind::Turn,
          std::string("a ") + action + " by the " + keeperName(actor) + " when it is the " + keeperName(play_.turn) +
              "'s turn");
    play_.turn = actor;
    play_.draggable = rules::dragPermission(actor, rules_.handCardsLocked);
}

void LogCheck::refuseDuringHandOver(const LogRecord& r, Role actor, const char* action) {
    if (!replayTurns_ || play_.turn != actor || !play_.handOverPending) return;
    fault(r.line, SessionFaultKind::Turn,
          std::string("a ") + action + " by the " + keeperName(actor) + " while the turn was passing to the " +
              keeperName(otherRole(actor)));
    play_.handOverPending = false;
}

void LogCheck::action(const LogRecord& r) {
    stamps(r, 0);
    if (state_ != State::InPlay) {
        structure(r, "no hand is in play and no action");
        if (!hand()) return;
    }
    Hand& h = *hand();
    const bool own = r.kind == LogRecordKind::OwnMove || r.kind == LogRecordKind::OwnPass ||
                     r.kind == LogRecordKind::PickedUp || r.kind == LogRecordKind::LookedAt;
    if (own && r.role != (role_ == Role::Ck ? 'c' : 'n'))
        fault(r.line, SessionFaultKind::Role,
              "the other role's record in the " + std::string(keeperName(role_)) + "'s log: " + std::string(r.text));
    const Role actor = own ? role_ : otherRole(role_);
    const bool replay = replayTurns_ && state_ == State::InPlay;

    if (r.kind == LogRecordKind::PickedUp) {
        // Whose it was, the action that follows it in this log tells.
        ++undecidedPickUps_;
        const int position = placeOfName(r.positionA);
        if (position >= 0 && arranged_ && !lies(r.cardA, static_cast<uint8_t>(position)))
            fault(r.line, SessionFaultKind::Move,
                  "the card picked up, " + std::string(r.cardA) + ", does not lie at " + std::string(r.positionA) +
                      " (" + cardAt(static_cast<uint8_t>(position)) + " does)");
        if (h.opener.empty()) h.opener = roleName(role_);
        if (keepActions_) undecidedActions_.push_back(h.actions.size());
        addAction(role_, ActionKind::PickUp);
        // A card is lifted in the turn of the role whose log says so; the
        // lift itself may complete a pending hand-over.
        if (replay && position >= 0) {
            takeTurn(r, role_, "pick-up");
            if (!rules::canDrag(play_.draggable, static_cast<uint8_t>(position)))
                fault(r.line, SessionFaultKind::Drag,
                      "the " + std::string(keeperName(role_)) + " picked up the card at " + std::string(r.positionA) +
                          ", which cannot be dragged now");
            rules::touchCard(play_, static_cast<uint8_t>(position), rules_);
        }
        return;
    }
    if (r.kind == LogRecordKind::LookedAt) {
        // A look is recorded in the log of the role in turn.
        ++(role_ == Role::Ck ? h.ckLooks : h.nkLooks);
        if (h.opener.empty()) h.opener = roleName(role_);
        addAction(role_, ActionKind::Look);
        // Only a look at the own hand card of the role in turn is recorded.
        if (replay) takeTurn(r, role_, "look");
        return;
    }

    if (play_.counters.handMoves > 0 && handEndNow().any())
        fault(r.line, SessionFaultKind::HandEnd, "the hand went on after it should have ended");
    if (h.opener.empty()) h.opener = roleName(actor);
    if (goalCard_ >= 0 && play_.counters.handMoves == 0 && h.opener != roleName(shoeOpener_))
        fault(r.line, SessionFaultKind::Setup,
              "the shoe has " + std::string(roleName(shoeOpener_)) + " open hand " + std::to_string(h.number) +
                  ", but " + h.opener + " acted first");
    ++actionsInLog_;
    if (r.kind == LogRecordKind::OwnPass || r.kind == LogRecordKind::RemotePass) {
        ++(actor == Role::Ck ? h.ckPasses : h.nkPasses);
        addAction(actor, ActionKind::Pass);
        // The pass button completes a pending hand-over first: a pass by the
        // role whose swap is handing the turn over is the other role's.
        refuseDuringHandOver(r, actor, "pass");
        takeTurn(r, actor, "pass");
        rules::pass(play_, rules_);
        return;
    }
    ++(actor == Role::Ck ? h.ckSwaps : h.nkSwaps);
    addAction(actor, ActionKind::Move);
    move(r, actor);
}

void LogCheck::move(const LogRecord& r, Role actor) {
    // The mover's own hand card is named second, the other card first, both
    // at their places before the exchange.
    const uint8_t handPlace = handPosition(actor);
    const int a = placeOfName(r.positionA), b = placeOfName(r.positionB);
    // A move that cannot be laid on the table is counted, and the records
    // lead the turn for the rest of the hand.
    auto notLaid = [&] {
        takeTurn(r, actor, "move");
        rules::countSwap(play_.counters, actor);
        replayTurns_ = false;
    };
    if (b != handPlace) {
        fault(r.line, SessionFaultKind::Move,
              "a move by the " + std::string(keeperName(actor)) + " must name its hand card at " +
                  std::string(placeName(handPlace)) + " second");
        return notLaid();
    }
    if (a != downColorCardView && a != upCardView && a != downNumberCardView && a != targetCardView) {
        fault(r.line, SessionFaultKind::Move, "no move exchanges a hand card with " + std::string(r.positionA));
        return notLaid();
    }
    if (!arranged_) return notLaid();
    const auto other = static_cast<uint8_t>(a);
    if (!lies(r.cardA, other) || !lies(r.cardB, handPlace)) {
        fault(r.line, SessionFaultKind::Move,
              "the cards named, " + std::string(r.cardA) + " and " + std::string(r.cardB) +
                  ", do not lie where the record says (" + cardAt(other) + ", " + cardAt(handPlace) + ")");
        return notLaid();
    }
    // A move by the role whose swap is handing the turn over: its hand card
    // is locked, and any other card it lifts hands the turn over first.
    refuseDuringHandOver(r, actor, "move");
    takeTurn(r, actor, "move");
    if (!rules::judgeExchange(play_, other, handPlace).legal)
        fault(r.line, SessionFaultKind::Move, "an exchange with the Target that the rules refuse");
    rules::exchange(play_, other, handPlace);
    if (replayTurns_) rules::handOverAfterSwap(play_, rules_);
}

// ---- The end of a hand and of the game -------------------------------------------

void LogCheck::handEnd(const LogRecord& r) {
    stamps(r, 1);
    // A hand-end block closed before any deal leaves no hand to end.
    if ((state_ != State::InPlay && state_ != State::AfterEnd) || !hand()) {
        structure(r, "no hand can end");
        if (!hand()) return;
    }
    Hand& h = *hand();
    const rules::HandCounters& counts = play_.counters;
    const int rank = codeRank(r.code);
    if (state_ == State::InPlay) {
        if (counts.handMoves == 0) fault(r.line, SessionFaultKind::HandEnd, "a hand ended before any move or pass");
        h.endMs = sinceStart_ - 1;
        const rules::HandEnd end = handEndNow();
        codesExpected_ = (end.byPasses ? 1u : 0u) | (end.byLimit ? 2u : 0u) | (end.byGoal ? 4u : 0u);
    }
    if (rank <= lastCodeRank_)
        fault(r.line, SessionFaultKind::HandEnd,
              "a " + codeName(rank) + " block after a " + codeName(lastCodeRank_) + " block of the same hand");
    lastCodeRank_ = rank;
    codesSeen_ |= 1u << rank;
    if (rank == 0 && counts.consecutivePasses < 4)
        fault(r.line, SessionFaultKind::HandEnd,
              "a GP end after " + std::to_string(counts.consecutivePasses) + " passes in a row");
    if (rank == 1 && setup_ && counts.handMoves < rules_.maxRounds)
        fault(r.line, SessionFaultKind::HandEnd,
              "a GM end after " + std::to_string(counts.handMoves) + " actions; MaxRounds is " +
                  std::to_string(rules_.maxRounds));
    if (rank == 2) {
        if (goalCard_ >= 0 && !goalAtTarget())
            fault(r.line, SessionFaultKind::HandEnd,
                  "a GE end with " + cardAt(targetCardView) + " at the Target; the goal is " + h.goal);
        if (goalCard_ < 0 && h.dealComplete) h.goal = cardAt(targetCardView);
    }
    if (r.moves != counts.movesOf(role_))
        fault(r.line, SessionFaultKind::Count,
              "the hand end counts " + std::to_string(r.moves) + " moves and passes of the " + keeperName(role_) +
                  "; its log has " + std::to_string(counts.movesOf(role_)));
    if (setup_) {
        const std::string expected = scoreText(rules::roleScore(rules_, counts.handMoves));
        if (r.score != expected)
            fault(r.line, SessionFaultKind::Score,
                  "the score " + std::string(r.score) + " should be " + expected + " (" +
                      std::to_string(counts.handMoves) + " actions, PremiumRound " +
                      std::to_string(rules_.premiumRound) + ", CostMove " + std::to_string(rules_.costMove) + ")");
    }
    if (handScore_.empty())
        handScore_ = std::string(r.score);
    else if (handScore_ != r.score)
        fault(r.line, SessionFaultKind::Score,
              "two scores for one hand: " + handScore_ + " and " + std::string(r.score));
    HandEndBlock block;
    block.code = std::string(r.code);
    (role_ == Role::Ck ? block.ckCount : block.nkCount) = r.moves;
    (role_ == Role::Ck ? block.ckScore : block.nkScore) = std::string(r.score);
    h.ends.push_back(std::move(block));
    state_ = State::InEnd;
}

void LogCheck::finishHand() {
    if (hands.empty()) return;
    const unsigned missing = codesExpected_ & ~codesSeen_;
    for (int rank = 0; rank < 3; ++rank)
        if (missing & (1u << rank))
            fault(lines, SessionFaultKind::HandEnd,
                  "hand " + std::to_string(hands.back().number) + " reached " + codeMeaning(rank) + " but has no " +
                      codeName(rank) + " block");
}

void LogCheck::feed(const LogRecord& r) {
    lines = r.line;
    // The pick-ups before this record were made by whom it tells.
    if (r.kind != LogRecordKind::PickedUp) decidePickUps(session::pickUpMaker(&r, role_));
    if (state_ == State::Header) {
        stamps(r, 0);
        header(r);
    } else {
        switch (r.kind) {
        case LogRecordKind::RoleHeader:
        case LogRecordKind::GameBegins:
        case LogRecordKind::UserHeader:
        case LogRecordKind::FixedHeader:
            stamps(r, 0);
            structure(r, "the game's records");
            break;
        case LogRecordKind::GameStarted:
            stamps(r, 0);
            if (state_ != State::BeforeStart) structure(r, "no game start");
            state_ = State::BeforeDeal;
            break;
        case LogRecordKind::CardDealt: deal(r); break;
        case LogRecordKind::PickedUp:
        case LogRecordKind::LookedAt:
        case LogRecordKind::OwnMove:
        case LogRecordKind::RemoteMove:
        case LogRecordKind::OwnPass:
        case LogRecordKind::RemotePass: action(r); break;
        case LogRecordKind::HandEnded: handEnd(r); break;
        case LogRecordKind::HandEndClose:
            stamps(r, 1);
            if (state_ != State::InEnd) structure(r, "no hand-end block is open");
            state_ = State::AfterEnd;
            break;
        case LogRecordKind::ShoeExhausted:
            stamps(r, 0);
            if (state_ == State::AfterEnd) finishHand();
            if (state_ != State::BeforeDeal && state_ != State::AfterEnd) structure(r, "the game cannot end");
            gameEndStamp_ = r.first;
            state_ = State::Ending;
            break;
        case LogRecordKind::GameDone:
            stamps(r, 0);
            if (state_ != State::Ending)
                structure(r, "no game end");
            else if (r.first.ms() != gameEndStamp_.ms())
                fault(r.line, SessionFaultKind::Stamp, "the game-end records do not share one clock reading");
            state_ = State::Ended;
            break;
        case LogRecordKind::TotalMoves:
            if (state_ != State::Ended) structure(r, "no total");
            totalMoves = r.totalMoves;
            if (r.totalMoves != actionsInLog_)
                fault(r.line, SessionFaultKind::Total,
                      "TotalMove says " + std::to_string(r.totalMoves) + "; the log has " +
                          std::to_string(actionsInLog_) + " moves and passes");
            state_ = State::Done;
            break;
        }
    }
    if (state_ == State::Done && r.kind != LogRecordKind::TotalMoves) structure(r, "nothing (the game has ended)");
}

}  // namespace qbx::tool::logs
