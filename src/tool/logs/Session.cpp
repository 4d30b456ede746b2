#include "tool/logs/Session.h"

#include "core/rules/Rules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/eventlog/LogFormat.h"
#include "core/rules/Rules.h"

namespace qbx::tool::logs {

namespace {

constexpr long long kDayMs = 86400000LL;
constexpr long long kHalfDayMs = kDayMs / 2;

// The deal writes the positions in this order.
constexpr std::string_view kDealPositions[6] = {"numberCardView",    "downNumberCardView", "upCardView",
                                                "downColorCardView", "colorCardView",      "targetCardView"};

// The places differ in length but for two: one comparison each.
int positionCode(std::string_view name) {
    switch (name.size()) {
    case 10: return name == "upCardView" ? 2 : -1;
    case 13: return name == "colorCardView" ? 0 : -1;
    case 14:
        if (name == "numberCardView") return 4;
        return name == "targetCardView" ? 5 : -1;
    case 17: return name == "downColorCardView" ? 1 : -1;
    case 18: return name == "downNumberCardView" ? 3 : -1;
    default: return -1;
    }
}

// The place codes of kDealPositions, in the same order.
constexpr int kDealPositionCodes[6] = {4, 3, 2, 1, 0, 5};

// Equal bytes: the sizes first, which differ when most fields do; a card's
// two bytes compared in place. An empty field has no bytes to compare (and
// memcmp given its null pointer, even for no bytes, takes a slow path on
// some processors).
bool sameField(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (a.size() == 2) return a[0] == b[0] && a[1] == b[1];
    return a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0;
}

// A card where it lies on the table: two bytes ("2H"), or none. The reader
// lets no other card through, and a plain pair of bytes is copied and
// compared in place, where a string would be a call each time.
struct TableCard {
    char text[2] = {0, 0};
    bool empty() const { return text[0] == 0; }
    // The card the log names, or the one a string holds ("" for none).
    bool is(std::string_view card) const {
        return card.size() == 2 ? text[0] == card[0] && text[1] == card[1] : card.empty() && empty();
    }
    std::string str() const { return empty() ? std::string() : std::string(text, 2); }
    bool operator==(const TableCard&) const = default;
};

// A dealt card as the table holds it: the shoe's colour letters other than
// H are clubs.
TableCard normalCard(std::string_view card) { return {{card[0], card[1] == 'H' ? 'H' : 'C'}}; }

bool isShared(LogRecordKind kind) { return kind != LogRecordKind::PickedUp && kind != LogRecordKind::LookedAt; }

std::string lineRef(const std::string& file, long line) { return file + ":" + std::to_string(line); }

// The checks and the hands of one log, fed record by record.
class LogTracker {
public:
    LogTracker(bool colorKeeper, const std::string& file, const GameSetup* setup, SessionSink& sink, bool keepActions)
        : ck_(colorKeeper), file_(file), setup_(setup), sink_(sink), keepActions_(keepActions) {}

    void feed(const LogRecord& r);
    void noteFault(const LogFault& f) {
        ++faults;
        sink_.fault({file_, f.line, faultKindName(f.kind), f.what});
    }
    void finish();

    bool done() const { return state_ == State::Done; }
    bool hasStart = false;
    LogStamp start, last;
    long long startMs = 0, lastSince = 0;
    bool crossedMidnight = false;
    std::string participant;
    long long totalMoves = -1;
    std::vector<Hand> hands;
    int faults = 0;
    long lines = 0;

private:
    enum class State { Header, BeforeStart, BeforeDeal, Dealing, InPlay, InEnd, AfterEnd, Ending, Ended, Done };
    void fault(long line, const char* kind, const std::string& what) {
        ++faults;
        sink_.fault({file_, line, kind, what});
    }
    void structure(const LogRecord& r, const char* expected) {
        fault(r.line, "order", std::string("a ") + recordKindName(r.kind) + " record where " + expected + " belongs");
    }
    void stamps(const LogRecord& r, int offset);
    void header(const LogRecord& r);
    void deal(const LogRecord& r);
    void action(const LogRecord& r);
    void handEnd(const LogRecord& r);
    void finishHand(bool atEndOfFile);
    bool shouldEnd() const;
    Hand* hand() { return hands.empty() ? nullptr : &hands.back(); }
    std::string role() const { return ck_ ? "ck" : "nk"; }
    void setOpener(bool colorKeeper) {
        if (hand() && hand()->opener.empty()) hand()->opener = colorKeeper ? "ck" : "nk";
    }
    void addAction(const LogRecord&, bool colorKeeper, ActionKind kind);

    bool ck_;
    const std::string& file_;
    const GameSetup* setup_;
    SessionSink& sink_;
    bool keepActions_;
    State state_ = State::Header;
    int headerIndex_ = 0;
    LogStamp headerStamp_, gameEndStamp_;
    long long lastMoment_ = 0;
    long long dayOffset_ = 0;
    long long sinceStart_ = 0;
    int dealIndex_ = 0;
    long long dealBase_ = 0;
    std::array<TableCard, 6> table_;
    int passesInRow_ = 0, handActions_ = 0, ownActions_ = 0;
    long long actionsInLog_ = 0;
    unsigned codesSeen_ = 0, codesExpected_ = 0;
    int lastCodeRank_ = -1;
    std::string handScore_;
    bool goalFromShoe_ = false;
    std::string shoeOpener_;
};

int codeRank(std::string_view code) { return code == "GP" ? 0 : code == "GM" ? 1 : 2; }
const char* codeName(int rank) { return rank == 0 ? "GP" : rank == 1 ? "GM" : "GE"; }
const char* codeMeaning(int rank) {
    return rank == 0 ? "four passes in a row" : rank == 1 ? "the move limit" : "the goal card at the Target";
}

void LogTracker::stamps(const LogRecord& r, int offset) {
    if (r.stampCount == 0) return;
    if (r.first.millis - offset < 0 || r.first.millis - offset > 999)
        fault(r.line, "stamp", "milliseconds " + std::to_string(r.first.millis) + " out of range for this record");
    if (r.stampCount == 2) {
        if (r.kind == LogRecordKind::HandEnded) {
            // Two readings of the clock, the later one written first.
            if (r.second.ms() > r.first.ms()) fault(r.line, "stamp", "the second time stamp is later than the first");
        } else if (r.second.seconds != r.first.seconds || r.second.millis != r.first.millis) {
            fault(r.line, "stamp", "the two time stamps differ");
        }
    }
    long long moment = r.first.ms() - offset + dayOffset_ * kDayMs;
    if (!hasStart) {
        hasStart = true;
        start = r.first;
        startMs = r.first.ms();
    } else if (moment < lastMoment_) {
        if (lastMoment_ - moment > kHalfDayMs) {
            // The session ran past midnight: the stamps start again from 0.
            ++dayOffset_;
            moment += kDayMs;
            crossedMidnight = true;
        } else {
            fault(r.line, "stamp order",
                  "the time goes back from " + clockText({long(lastMoment_ % kDayMs / 1000), int(lastMoment_ % 1000)}) +
                      " to " + clockText(r.first));
        }
    }
    if (moment > lastMoment_ || r.line <= 1) lastMoment_ = moment;
    sinceStart_ = r.first.ms() + dayOffset_ * kDayMs - startMs;
    last = r.first;
    lastSince = sinceStart_;
}

void LogTracker::header(const LogRecord& r) {
    static const LogRecordKind kOrder[4] = {LogRecordKind::RoleHeader, LogRecordKind::GameBegins,
                                            LogRecordKind::UserHeader, LogRecordKind::FixedHeader};
    if (r.kind != kOrder[headerIndex_]) {
        fault(r.line, "header",
              std::string("header line ") + std::to_string(headerIndex_ + 1) + " should be the " +
                  recordKindName(kOrder[headerIndex_]) + ", not a " + recordKindName(r.kind));
    }
    if (headerIndex_ == 0)
        headerStamp_ = r.first;
    else if (r.first.ms() != headerStamp_.ms())
        fault(r.line, "header", "the header lines do not share one time stamp");
    if (r.kind == LogRecordKind::RoleHeader && r.role != (ck_ ? 'c' : 'n'))
        fault(r.line, "header",
              std::string("the log of the ") + (ck_ ? "ColorKeeper" : "NumberKeeper") +
                  " says it is the other role's (" + std::string(r.raw) + ")");
    if (r.kind == LogRecordKind::UserHeader) {
        participant = std::string(r.participant);
        if (participant.size() >= 3 && participant.compare(participant.size() - 3, 3, "   ") == 0)
            participant.resize(participant.size() - 3);
    }
    if (++headerIndex_ == 4) state_ = State::BeforeStart;
}

bool LogTracker::shouldEnd() const {
    if (passesInRow_ >= 4) return true;
    if (setup_ && handActions_ >= setup_->rules.maxRounds) return true;
    if (goalFromShoe_ && table_[5].is(hands.back().goal)) return true;
    return false;
}

void LogTracker::deal(const LogRecord& r) {
    if (state_ == State::BeforeDeal || state_ == State::AfterEnd) {
        if (state_ == State::AfterEnd) finishHand(false);
        // A session has a few dozen hands: room for them at once, not by
        // doubling from one.
        if (hands.empty()) hands.reserve(32);
        hands.emplace_back();
        Hand& h = hands.back();
        h.number = static_cast<int>(hands.size());
        dealIndex_ = 0;
        table_ = {};
        passesInRow_ = handActions_ = ownActions_ = 0;
        codesSeen_ = codesExpected_ = 0;
        lastCodeRank_ = -1;
        handScore_.clear();
        goalFromShoe_ = false;
        state_ = State::Dealing;
    } else if (state_ != State::Dealing) {
        structure(r, "no card can be dealt");
        if (hands.empty()) return;
    }
    Hand& h = hands.back();
    if (dealIndex_ >= 6) {
        fault(r.line, "deal", "a seventh card dealt in one hand");
        return;
    }
    const int k = dealIndex_ + 1;
    stamps(r, k);
    if (dealIndex_ == 0) {
        dealBase_ = r.first.ms() - k;
        h.dealMs = sinceStart_ - k;
    } else if (r.first.ms() - k != dealBase_) {
        fault(r.line, "deal", "the six cards of a deal do not share one clock reading");
    }
    const int pos = positionCode(r.positionA);
    if (pos != kDealPositionCodes[dealIndex_])
        fault(r.line, "deal",
              "card " + std::to_string(k) + " of a deal goes to " + std::string(kDealPositions[dealIndex_]) + ", not " +
                  std::string(r.positionA));
    const TableCard card = normalCard(r.cardA);
    for (const TableCard& other : table_)
        if (other == card) fault(r.line, "deal", "the card " + card.str() + " is dealt twice in one hand");
    if (pos >= 0) {
        table_[pos] = card;
        h.dealt[pos].assign(r.cardA);
    }
    if (++dealIndex_ == 6) {
        h.dealComplete = true;
        state_ = State::InPlay;
        if (setup_) {
            const size_t index = static_cast<size_t>(h.number - 1);
            if (index >= setup_->hands.size()) {
                fault(r.line, "setup",
                      "hand " + std::to_string(h.number) + " is dealt, but the shoe " + setup_->shoePath +
                          " has only " + std::to_string(setup_->hands.size()) + " hands");
            } else {
                const ShoeHand& line = setup_->hands[index];
                const rules::Deal dealt = rules::dealOf(line, setup_->rules.circularDeal);
                bool sameCards = true;
                for (int card = 0; card < kCards; ++card)
                    sameCards &= table_[dealt.positionOfCard[card]].is(cardText(card));
                if (!sameCards)
                    fault(r.line, "setup",
                          "hand " + std::to_string(h.number) + " is not the hand of line " +
                              std::to_string(line.lineNumber) + " of " + setup_->shoePath);
                h.goal = cardText(dealt.goalCard);
                goalFromShoe_ = true;
                shoeOpener_ = roleName(dealt.opener);
                if (setup_->fewest) h.fewest = setup_->fewest(dealt);
            }
        }
    }
}

void LogTracker::addAction(const LogRecord&, bool colorKeeper, ActionKind kind) {
    if (keepActions_ && hand()) hand()->actions.push_back({sinceStart_, colorKeeper, kind});
}

void LogTracker::action(const LogRecord& r) {
    stamps(r, 0);
    if (state_ != State::InPlay) {
        structure(r, "no hand is in play and no action");
        if (!hand()) return;
    }
    Hand& h = *hand();
    const bool own = r.kind == LogRecordKind::OwnMove || r.kind == LogRecordKind::OwnPass ||
                     r.kind == LogRecordKind::PickedUp || r.kind == LogRecordKind::LookedAt;
    if (own && r.role != (ck_ ? 'c' : 'n'))
        fault(r.line, "role",
              "the other role's record in the " + std::string(ck_ ? "ColorKeeper" : "NumberKeeper") +
                  "'s log: " + std::string(r.text));
    const bool actorCk = own ? ck_ : !ck_;
    if (r.kind == LogRecordKind::PickedUp || r.kind == LogRecordKind::LookedAt) {
        if (r.kind == LogRecordKind::PickedUp) {
            ++(ck_ ? h.ckPickUps : h.nkPickUps);
            const int pos = positionCode(r.positionA);
            if (pos >= 0 && h.dealComplete && !table_[pos].is(r.cardA))
                fault(r.line, "move",
                      "the card picked up, " + std::string(r.cardA) + ", does not lie at " + std::string(r.positionA) +
                          " (" + table_[pos].str() + " does)");
        } else {
            ++(ck_ ? h.ckLooks : h.nkLooks);
        }
        setOpener(ck_);
        addAction(r, ck_, r.kind == LogRecordKind::PickedUp ? ActionKind::PickUp : ActionKind::Look);
        return;
    }
    if (handActions_ > 0 && shouldEnd()) fault(r.line, "hand end", "the hand went on after it should have ended");
    setOpener(actorCk);
    if (setup_ && goalFromShoe_ && handActions_ == 0 && h.opener != shoeOpener_)
        fault(r.line, "setup",
              "the shoe has " + shoeOpener_ + " open hand " + std::to_string(h.number) + ", but " + h.opener +
                  " acted first");
    ++actionsInLog_;
    ++handActions_;
    if (own) ++ownActions_;
    if (r.kind == LogRecordKind::OwnPass || r.kind == LogRecordKind::RemotePass) {
        ++passesInRow_;
        ++(actorCk ? h.ckPasses : h.nkPasses);
        addAction(r, actorCk, ActionKind::Pass);
        return;
    }
    passesInRow_ = 0;
    ++(actorCk ? h.ckSwaps : h.nkSwaps);
    addAction(r, actorCk, ActionKind::Move);
    // The mover's own hand card is named second, the other card first, both
    // at their places before the exchange.
    const std::string_view handPlace = actorCk ? "colorCardView" : "numberCardView";
    const int a = positionCode(r.positionA), b = positionCode(r.positionB);
    if (r.positionB != handPlace) {
        fault(r.line, "move",
              "a move by the " + std::string(actorCk ? "ColorKeeper" : "NumberKeeper") +
                  " must name its hand card at " + std::string(handPlace) + " second");
        return;
    }
    if (a != 1 && a != 2 && a != 3 && a != 5) {
        fault(r.line, "move", "no move exchanges a hand card with " + std::string(r.positionA));
        return;
    }
    if (!h.dealComplete) return;
    if (!table_[a].is(r.cardA) || !table_[b].is(r.cardB)) {
        fault(r.line, "move",
              "the cards named, " + std::string(r.cardA) + " and " + std::string(r.cardB) +
                  ", do not lie where the record says (" + table_[a].str() + ", " + table_[b].str() + ")");
        return;
    }
    if (a == 5 && (actorCk ? r.cardA[1] != r.cardB[1] : r.cardA[0] != r.cardB[0]))
        fault(r.line, "move", "an exchange with the Target that the rules refuse");
    std::swap(table_[a], table_[b]);
}

void LogTracker::handEnd(const LogRecord& r) {
    stamps(r, 1);
    if (state_ != State::InPlay && state_ != State::AfterEnd) {
        structure(r, "no hand can end");
        if (!hand()) return;
    }
    Hand& h = *hand();
    const int rank = codeRank(r.code);
    if (state_ == State::InPlay) {
        if (handActions_ == 0) fault(r.line, "hand end", "a hand ended before any move or pass");
        h.endMs = sinceStart_ - 1;
        codesExpected_ = 0;
        if (passesInRow_ >= 4) codesExpected_ |= 1u;
        if (setup_ && handActions_ >= setup_->rules.maxRounds) codesExpected_ |= 2u;
        if (goalFromShoe_ && table_[5].is(h.goal)) codesExpected_ |= 4u;
    }
    if (rank <= lastCodeRank_)
        fault(r.line, "hand end",
              std::string("a ") + codeName(rank) + " block after a " + codeName(lastCodeRank_) +
                  " block of the same hand");
    lastCodeRank_ = rank;
    codesSeen_ |= 1u << rank;
    if (rank == 0 && passesInRow_ < 4)
        fault(r.line, "hand end", "a GP end after " + std::to_string(passesInRow_) + " passes in a row");
    if (rank == 1 && setup_ && handActions_ < setup_->rules.maxRounds)
        fault(r.line, "hand end",
              "a GM end after " + std::to_string(handActions_) + " actions; MaxRounds is " +
                  std::to_string(setup_->rules.maxRounds));
    if (rank == 2) {
        if (goalFromShoe_ && !table_[5].is(h.goal))
            fault(r.line, "hand end", "a GE end with " + table_[5].str() + " at the Target; the goal is " + h.goal);
        if (!goalFromShoe_ && h.dealComplete) h.goal = table_[5].str();
    }
    if (r.moves != ownActions_)
        fault(r.line, "count",
              "the hand end counts " + std::to_string(r.moves) + " moves and passes of the " +
                  (ck_ ? "ColorKeeper" : "NumberKeeper") + "; its log has " + std::to_string(ownActions_));
    if (setup_) {
        const std::string expected = scoreText(rules::roleScore(setup_->rules, handActions_));
        if (r.score != expected)
            fault(r.line, "score",
                  "the score " + std::string(r.score) + " should be " + expected + " (" + std::to_string(handActions_) +
                      " actions, PremiumRound " + std::to_string(setup_->rules.premiumRound) + ", CostMove " +
                      std::to_string(setup_->rules.costMove) + ")");
    }
    if (handScore_.empty())
        handScore_ = std::string(r.score);
    else if (handScore_ != r.score)
        fault(r.line, "score", "two scores for one hand: " + handScore_ + " and " + std::string(r.score));
    HandEndBlock block;
    block.code = std::string(r.code);
    (ck_ ? block.ckCount : block.nkCount) = r.moves;
    (ck_ ? block.ckScore : block.nkScore) = std::string(r.score);
    h.ends.push_back(block);
    state_ = State::InEnd;
}

void LogTracker::finishHand(bool atEndOfFile) {
    if (atEndOfFile || hands.empty()) return;
    const unsigned missing = codesExpected_ & ~codesSeen_;
    for (int rank = 0; rank < 3; ++rank)
        if (missing & (1u << rank))
            fault(lines, "hand end",
                  "hand " + std::to_string(hands.back().number) + " reached " + codeMeaning(rank) + " but has no " +
                      codeName(rank) + " block");
}

void LogTracker::feed(const LogRecord& r) {
    lines = r.line;
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
            if (state_ == State::AfterEnd) finishHand(false);
            if (state_ != State::BeforeDeal && state_ != State::AfterEnd) structure(r, "the game cannot end");
            gameEndStamp_ = r.first;
            state_ = State::Ending;
            break;
        case LogRecordKind::GameDone:
            stamps(r, 0);
            if (state_ != State::Ending)
                structure(r, "no game end");
            else if (r.first.ms() != gameEndStamp_.ms())
                fault(r.line, "stamp", "the game-end records do not share one clock reading");
            state_ = State::Ended;
            break;
        case LogRecordKind::TotalMoves:
            if (state_ != State::Ended) structure(r, "no total");
            totalMoves = r.totalMoves;
            if (r.totalMoves != actionsInLog_)
                fault(r.line, "total",
                      "TotalMove says " + std::to_string(r.totalMoves) + "; the log has " +
                          std::to_string(actionsInLog_) + " moves and passes");
            state_ = State::Done;
            break;
        }
    }
    if (state_ == State::Done && r.kind != LogRecordKind::TotalMoves) structure(r, "nothing (the game has ended)");
}

void LogTracker::finish() { finishHand(true); }

// A log being read, and its tracker.
struct LogStream {
    LogStream(bool ck, const std::string& path, const GameSetup* setup, SessionSink& sink, bool keepActions)
        : path(path), tracker(ck, this->path, setup, sink, keepActions), colorKeeper(ck), sink(sink) {}
    std::string path;
    LogReader reader;
    LogTracker tracker;
    bool colorKeeper;
    SessionSink& sink;
    bool open = false, ended = false, hadFault = false;
    LogRecord record;
    LogFault f;  // kept, as most calls have none to report

    // The next record that has a mirror in the other log; the others are
    // checked and handed on as they pass.
    bool nextShared() {
        while (open && !ended) {
            switch (reader.next(record, f)) {
            case LogReader::Next::End:
                ended = true;
                tracker.finish();
                return false;
            case LogReader::Next::Fault:
                hadFault = true;
                tracker.noteFault(f);
                continue;
            case LogReader::Next::Record:
                tracker.feed(record);
                RecordPlace place{colorKeeper, &path, tracker.hands.empty() ? 0 : tracker.hands.back().number,
                                  tracker.lastSince};
                if (!tracker.hasStart || record.kind == LogRecordKind::ShoeExhausted ||
                    record.kind == LogRecordKind::GameDone || record.kind == LogRecordKind::TotalMoves ||
                    record.kind == LogRecordKind::GameStarted || record.line <= 4)
                    place.hand = 0;
                sink.record(place, record);
                if (isShared(record.kind)) return true;
            }
        }
        return false;
    }
};

bool sameStamps(const LogRecord& a, const LogRecord& b) {
    return a.stampCount == b.stampCount && a.first.ms() == b.first.ms() && a.first.millis == b.first.millis &&
           a.second.ms() == b.second.ms();
}

// Why two records that should mirror each other do not; empty when they do.
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
    if ((c.kind == LogRecordKind::OwnMove || c.kind == LogRecordKind::OwnPass) && c.role != 'c') return {};
    return {};
}

// The hands are moved out of the trackers, which are done with.
void mergeHands(Session& s, LogTracker& ck, LogTracker& nk) {
    const size_t count = std::max(ck.hands.size(), nk.hands.size());
    s.hands.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        Hand* c = i < ck.hands.size() ? &ck.hands[i] : nullptr;
        Hand* n = i < nk.hands.size() ? &nk.hands[i] : nullptr;
        Hand h = std::move(c ? *c : *n);
        if (c && n) {
            h.nkPickUps = n->nkPickUps;
            h.nkLooks = n->nkLooks;
            if (h.opener.empty()) h.opener = n->opener;
            if (h.goal.empty()) h.goal = n->goal;
            for (size_t b = 0; b < h.ends.size() && b < n->ends.size(); ++b) {
                h.ends[b].nkCount = n->ends[b].nkCount;
                h.ends[b].nkScore = n->ends[b].nkScore;
            }
            if (!n->ends.empty() && h.ends.size() < n->ends.size())
                for (size_t b = h.ends.size(); b < n->ends.size(); ++b) h.ends.push_back(n->ends[b]);
            for (const HandAction& a : n->actions)
                if (a.kind == ActionKind::PickUp || a.kind == ActionKind::Look) h.actions.push_back(a);
            std::stable_sort(h.actions.begin(), h.actions.end(),
                             [](const HandAction& a, const HandAction& b) { return a.atMs < b.atMs; });
        } else if (!c) {
            h.ckPickUps = h.ckLooks = 0;
        }
        s.hands.push_back(std::move(h));
    }
}

}  // namespace

std::string Hand::endCodes() const {
    std::string codes;
    for (const HandEndBlock& b : ends) codes += (codes.empty() ? "" : "+") + b.code;
    return codes;
}

int Session::handsPlayed() const {
    int n = 0;
    for (const Hand& h : hands) n += h.ended();
    return n;
}

double Session::ckTotal() const {
    double total = 0;
    for (const Hand& h : hands)
        if (h.ended() && !h.ends.front().ckScore.empty()) total += std::stod(h.ends.front().ckScore);
    return total;
}

double Session::nkTotal() const {
    double total = 0;
    for (const Hand& h : hands)
        if (h.ended() && !h.ends.front().nkScore.empty()) total += std::stod(h.ends.front().nkScore);
    return total;
}

std::string clockText(const LogStamp& stamp) {
    const long long ms = stamp.ms() % kDayMs;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                  ms % 1000);
    return text;
}

Session readSession(const LogPair& pair, const GameSetup* setup, SessionSink& sink, bool keepActions) {
    Session s;
    s.pair = pair;
    LogStream ck(true, pair.ckPath, setup, sink, keepActions);
    LogStream nk(false, pair.nkPath, setup, sink, keepActions);
    for (LogStream* stream : {&ck, &nk}) {
        if (stream->path.empty()) continue;
        std::string error;
        stream->open = stream->reader.open(stream->path, error);
        if (!stream->open) {
            ++s.faults;
            sink.fault({stream->path, 0, "cannot read", error});
        }
    }
    bool mirrored = ck.open && nk.open;
    for (;;) {
        const bool haveCk = ck.nextShared();
        const bool haveNk = mirrored ? nk.nextShared() : false;
        if (!mirrored || !haveCk || !haveNk) break;
        if (ck.hadFault || nk.hadFault) {
            // An unreadable line leaves the two logs out of step.
            mirrored = false;
            break;
        }
        const std::string why = mirrorDifference(ck.record, nk.record);
        if (!why.empty()) {
            ++s.faults;
            sink.fault({ck.path, ck.record.line, "mirror",
                        why + " at " + lineRef(nk.path, nk.record.line) + ": the two logs part here"});
            mirrored = false;
            break;
        }
    }
    // Read on to the end of each log alone.
    while (ck.nextShared()) {}
    while (nk.nextShared()) {}
    for (LogStream* stream : {&ck, &nk})
        if (stream->open && stream->tracker.lines == 0 && stream->reader.linesRead() == 0) {
            ++s.faults;
            sink.fault({stream->path, 0, "empty", "the log is empty"});
        }
    const LogTracker& c = ck.tracker;
    const LogTracker& n = nk.tracker;
    s.faults += c.faults + n.faults;
    s.participant = !c.participant.empty() || n.participant.empty() ? c.participant : n.participant;
    s.hasStart = c.hasStart || n.hasStart;
    s.start = c.hasStart ? c.start : n.start;
    const LogTracker& later = (n.hasStart && (!c.hasStart || n.lastSince > c.lastSince)) ? n : c;
    s.last = later.last;
    s.lastMs = later.lastSince;
    s.crossesMidnight = c.crossedMidnight || n.crossedMidnight;
    s.gameEnded = c.done() && n.done();
    s.totalMoves = c.totalMoves >= 0 ? c.totalMoves : n.totalMoves;
    mergeHands(s, ck.tracker, nk.tracker);
    s.lastHand = s.hands.empty() ? 0 : s.hands.back().number;
    return s;
}

}  // namespace qbx::tool::logs
