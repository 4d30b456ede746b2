#pragma once
// A session played again from its two logs: the records become the
// participant's input once more (a pick-up a press on its card, a move the
// drag onto its target, a look a press of the right button, a pass the
// button) on a game of the engine that keeps its logs in memory, on a
// simulated desktop whose clock follows the records' stamps. The table the
// replay shows is therefore the engine's own table, as the live game had
// it. What the game writes in memory is held against the records of each
// action: a record the rules do not give there is named, and the replay
// goes on. Nothing is written to the disk.
//
// The game reads its setup as the program does, from "setup/" in the folder
// the logs are opened with (a saved setup, dataout/setups/<hash>, or the
// experiment's folder).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/game/Game.h"
#include "core/headless/SimulatedDesktop.h"
#include "core/session/SessionActions.h"

namespace qbx::replay {

using session::ActionKind;
using session::actionKindName;

struct Action {
    ActionKind kind = ActionKind::Start;
    long long atMs = 0;  // since the session's first record, across midnight
    // Who acted (a pick-up: whom the action after it in its log names, as
    // every reader of a session decides); for a deal, the game start and
    // end: the ColorKeeper's log.
    Role role = Role::Ck;
    int hand = 0;  // the hand it belongs to; 0 before the first deal
    // The places it names: a pick-up or look its card's place; a move the
    // dragged card's place (from) and the place it was dropped on (to).
    uint8_t from = 0, to = 0;
    // The records of the action as the logs hold them, with the file and
    // line of the first; a hand's end and its closing lines belong to the
    // action that ended the hand.
    std::string file;
    long line = 0;
    std::vector<std::string> records;
    bool endsHand = false;  // "GE:", "GP:" or "GM:" among its records
};

// Something in the logs the replay could not follow as written.
struct Problem {
    size_t action = 0;  // the action it was found at (actions().size(): at the opening)
    std::string what;   // "ck071226_4.txt line 37: ..." in words an experimenter reads
};

// What a replay is opened from: the two logs' names and bytes, and the
// folder holding the setup/ they were played with.
struct SessionLogs {
    std::string ckName, nkName;  // file names, "ck071226_4711.txt"
    std::string ckBytes, nkBytes;
    std::string setupFolder;  // empty: the working directory
};

class SessionReplay {
public:
    // Reads both logs into actions. nullptr with `error` when they cannot
    // be replayed at all: not two logs of one session (named as such, or
    // whose mirrored records part, the rule verify holds a pair to), no
    // header, no game start. Lines that are no records, and a last line cut short, become
    // problems: the replay ends where the records end.
    // `screen`: the screen the session was played on (its run record says),
    // which the table was fitted to.
    static std::unique_ptr<SessionReplay> open(const SessionLogs& logs, Size screen, std::string& error);
    ~SessionReplay();

    const std::vector<Action>& actions() const { return actions_; }
    // Problems found so far (those of the opening, then those met as the
    // replay went on).
    const std::vector<Problem>& problems() const { return problems_; }
    const std::string& session() const { return session_; }  // "071226_4711"
    // As typed: the three blanks the program writes after it dropped.
    const std::string& participant() const { return participant_; }
    long long durationMs() const { return actions_.empty() ? 0 : actions_.back().atMs; }
    int hands() const { return hands_; }
    // The first action of a hand (its deal); actions().size() when there is none.
    size_t firstActionOfHand(int hand) const;

    // ---- Playing -------------------------------------------------------------
    // Plays on to `ms` since the session's start: timers fire, actions
    // whose time has come are applied, a card being dragged follows the
    // mouse between its pick-up and its move. Going back starts again from
    // the beginning (the engine goes forwards only); that is fast.
    void playTo(long long ms);
    // The state just after action `index` (its time, its records applied).
    void jumpToAction(size_t index);
    // The table as the participant saw it after action `index`, what the
    // action set going come to rest: a card gliding after a swap has
    // reached its place; after the game's start, the table as it first
    // shows at the first deal (hidden until then), its cards on the deck.
    // Never past the next action.
    void showAction(size_t index);
    long long nowMs() const { return nowMs_; }
    // When the table next changes, since the session's start (nowMs() while
    // a held card travels to its drop): an export draws no frames between.
    long long nextChangeMs() const;
    // Why hand `hand` cannot be played in time: its two logs place the same
    // action at moments that far apart (a damaged stamp). Empty when it can.
    std::string handFault(int hand) const;
    // The actions applied so far; the next one to apply is this index.
    size_t actionsApplied() const { return applied_; }

    // The engine's table, hand and counters as they now are.
    const Game& game() const { return *game_; }
    // A label's size as the view measures its caption: the program's window
    // gives its game these after every event, and a view of the replay gives
    // them so too (after each playTo or jump, the game being new after a
    // jump back).
    void setLabelSize(Ctl label, int width, int height) { game_->setLabelSize(label, width, height); }
    // A hand's end message shown (a box in the program, a banner here);
    // a hand that ends on its goal card, which shows no box, has a line of
    // the replay's own. Empty when none shows now; it shows until the next
    // deal begins.
    const std::string& banner() const { return banner_; }

private:
    struct Logged;
    SessionReplay();
    void restart();
    long long absolute(long long sinceStartMs) const;
    void apply(size_t index);
    // Fires the timers due up to `ms`, the clock then at `ms`; stops before
    // that, the clock where the last timer left it, once `rested` holds.
    void runTimersTo(long long ms, const std::function<bool()>& rested = {});
    void settleBeforeInput();
    void releaseLook();
    void dropHeldCard();
    void completeHandOverFor(const Action& act, Role inTurn);
    // The card held follows the pointer to its drop; a look presses its
    // card a moment before the release that records it.
    void followMouse(long long ms);
    // Holds what the game wrote against the records of the actions before `end`.
    void compareUpTo(size_t end);

    std::vector<Action> actions_;
    std::vector<Logged> logged_;
    std::vector<Problem> problems_;
    std::vector<std::pair<int, std::string>> handFaults_;  // hand, why
    size_t openingProblems_ = 0;
    Size screen_{};
    std::string setupFolder_;
    std::string session_, participant_, participantAsTyped_, ckName_, nkName_;
    int hands_ = 0;
    long long startOfDayMs_ = 0;  // the first record's stamp
    LocalTime date_{};

    SimulatedClock clock_;
    std::unique_ptr<SimulatedDesktop> desktop_;
    std::unique_ptr<Game> game_;
    size_t applied_ = 0;
    long long nowMs_ = 0;
    std::string banner_;
    size_t ckRead_ = 0, nkRead_ = 0;                // bytes of the game's memory logs already compared
    size_t compared_ = 0;                           // actions whose records have been compared
    bool ckEndNamed_ = false, nkEndNamed_ = false;  // a log that ends early, named
    bool dragHeld_ = false;
    uint8_t dragFrom_ = 0;
    bool lookHeld_ = false;
    uint8_t lookPlace_ = 0;
    long long boxClosesAtMs_ = -1;
};

}  // namespace qbx::replay
