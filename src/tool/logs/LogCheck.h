#pragma once
// The checks of one log, fed record by record: its header, its deals, the
// order of its records and their stamps, and every action replayed through
// the game's own rule functions (core/rules). A move is legal, the turn
// passes as the setup says, a hand ends when the rules end it and scores
// what they give, by the very functions the game calls, so that verify can
// never hold a rule the game does not. Without the setup the turn follows
// the records, and what holds under any setup is still checked.

#include <array>
#include <string>
#include <vector>

#include "core/eventlog/LogFormat.h"
#include "core/rules/Rules.h"
#include "core/session/SessionTime.h"
#include "tool/logs/SessionParts.h"
#include "tool/setup/GameSetup.h"

namespace qbx::tool::logs {

class LogCheck {
public:
    LogCheck(Role role, const std::string& file, const GameSetup* setup, SessionSink& sink, bool keepActions);

    void feed(const LogRecord& r);
    // A line that is no record (the reader's fault).
    void noteFault(const LogFault& f);
    // The end of the log.
    void finish() { decidePickUps(session::pickUpMaker(nullptr, role_)); }
    // Who made the pick-ups decided by the last record fed (or by finish()),
    // as session::pickUpMaker tells.
    Role pickUpActor() const { return pickUpActor_; }

    bool done() const { return state_ == State::Done; }

    // What the log says, once read.
    bool hasStart = false;
    LogStamp start, last;
    long long startMs = 0, lastSince = 0;  // since the first record, across midnight
    bool crossedMidnight = false;
    std::string participant;
    long long totalMoves = -1;
    std::vector<Hand> hands;
    int faults = 0;
    long lines = 0;
    // A hand dealt that is not the shoe's of the setup given: the session was
    // played with another setup.
    bool dealsNotFromSetup = false;

private:
    enum class State { Header, BeforeStart, BeforeDeal, Dealing, InPlay, InEnd, AfterEnd, Ending, Ended, Done };
    void fault(long line, SessionFaultKind kind, const std::string& what);
    void structure(const LogRecord& r, const char* expected);
    void stamps(const LogRecord& r, int offset);
    void header(const LogRecord& r);
    void deal(const LogRecord& r);
    void dealComplete(const LogRecord& r, Hand& h);
    void action(const LogRecord& r);
    void move(const LogRecord& r, Role actor);
    void handEnd(const LogRecord& r);
    void finishHand();
    void addAction(Role actor, ActionKind kind);
    void decidePickUps(Role actor);
    Hand* hand() { return hands.empty() ? nullptr : &hands.back(); }

    // The replay: before an action of `actor`, the turn is its own, or
    // passes to it by a pending hand-over (completed by a click no log
    // records, or by the action itself).
    void takeTurn(const LogRecord& r, Role actor, const char* action);
    // A move or pass can never be made by the role whose own swap is still
    // handing the turn over: the game gives it to the other role.
    void refuseDuringHandOver(const LogRecord& r, Role actor, const char* action);
    // How the rules end the hand as it stands.
    rules::HandEnd handEndNow() const;
    bool goalAtTarget() const;
    std::string cardAt(uint8_t position) const;
    // The card a record names lies at the place (the hand being arranged).
    bool lies(std::string_view card, uint8_t position) const;

    Role role_;
    const std::string& file_;
    const GameSetup* setup_;
    SessionSink& sink_;
    bool keepActions_;
    State state_ = State::Header;
    int headerIndex_ = 0;
    LogStamp headerStamp_, gameEndStamp_;
    session::Timeline timeline_;
    long long sinceStart_ = 0;
    long long actionsInLog_ = 0;

    // The hand being dealt and played.
    int dealIndex_ = 0;
    long long dealBase_ = 0;
    std::array<int, kPlaces> dealtCard_{};  // card index by place as dealt, -1 for none
    rules::TableRules rules_;               // the setup's; any, with no move limit, without one
    rules::Situation play_;                 // the hand as the rules see it
    bool arranged_ = false;                 // six different cards were dealt: play_ holds them
    bool replayTurns_ = false;              // the setup gives this hand and its opener: the turn is replayed
    Role shoeOpener_ = Role::Ck;
    int goalCard_ = -1;  // from the shoe
    int undecidedPickUps_ = 0;
    std::vector<size_t> undecidedActions_;  // their places in the hand's actions
    Role pickUpActor_ = Role::Ck;
    unsigned codesSeen_ = 0, codesExpected_ = 0;
    int lastCodeRank_ = -1;
    std::string handScore_;
};

}  // namespace qbx::tool::logs
