#pragma once
// The rules of play as functions of a plain state: who may exchange which
// card, when the turn passes, which cards may be dragged, when a hand ends
// and what it scores, which cards show their face. No table, no logs, no
// timers. The game applies these to its one Situation for every action,
// qbxtool's solver searches with them, and qbxtool verify replays the logs
// through them, so none of the three can disagree about what a role may do.

#include <array>
#include <cstdint>
#include <string>

#include "core/rules/Cards.h"

namespace qbx {
struct ShoeHand;
struct ParameterValues;
}  // namespace qbx

namespace qbx::rules {

// ---- The setup's rules --------------------------------------------------------

// What a legal swap does to the turn: it passes at once, at the next role's
// first action, or not at all (only a pass passes it then).
enum class HandOver : uint8_t { Now, Pending, Never };

// Each role's share of what is left of a hand's premium.
inline constexpr double kRoleShare = 0.5;

// The rules a setup's parameter file gives the table.
struct TableRules {
    HandOver handOver = HandOver::Never;   // ViewCard: NONE or ALL now, MIX pending, anything else never
    bool handCardsLocked = true;           // "Drag CkNk" is not TRUE: hand cards are never dragged
    int32_t maxRounds = 0;                 // a hand ends after this many swaps and passes
    int32_t premiumRound = 2000;           // a hand's premium
    int32_t costMove = 100;                // the cost of each swap and pass
    bool circularDeal = false;             // SyntaxInput CIRCULAR
    bool handCardsFaceUp = true;           // ViewCkNk is not FALSE
    bool lookShowsEitherHandCard = false;  // ViewCard ALL
    bool goalShown = false;                // ViewTarget TRUE: the deck shows the goal card
};

// The parameter values as the game turns them into rules. A switch counts
// only when it is exactly its word once upper-cased; MaxRounds, PremiumRound
// and CostMove must be whole numbers that fit in 32 bits.
struct RulesOfSetup {
    TableRules rules;
    // The first of MaxRounds, PremiumRound and CostMove, in that order, that
    // is not a whole number, and its text; null when all three are. The
    // game does not start on such a setup.
    const char* badNumberKey = nullptr;
    std::string badNumberText;
    bool maxRoundsRead = false;  // MaxRounds is a whole number, whatever the others are
};
RulesOfSetup rulesOf(const ParameterValues& parameters);

// ---- Exchanges --------------------------------------------------------------

struct CardAt {
    int32_t number = 0;
    int32_t colour = 0;  // 1 hearts, 2 clubs
    uint8_t position = 0;
};

struct ExchangeVerdict {
    bool legal = false;
    bool sourceIsHand = false;  // the dragged card is the role's hand card
};

// The role in turn may exchange its hand card with the face-up or a face-down
// card at any time, and with the Target card when both share its attribute
// (colour for ck, number for nk), whichever of the two cards is dragged.
ExchangeVerdict judgeExchange(Role turn, const CardAt& source, const CardAt& target);

// ---- Who may drag which card ------------------------------------------------

// Bit p set: the card lying at position p can be picked up.
using DragMask = uint8_t;
inline bool canDrag(DragMask mask, uint8_t position) { return (mask >> position) & 1u; }
// At a deal and at every change of turn: every card but the other role's hand
// card, and neither hand card when the hand cards are locked.
DragMask dragPermission(Role turn, bool handCardsLocked);
// Neither hand card can be dragged; every other card keeps its permission.
DragMask lockHandCards(DragMask mask);
// After a swap the permission travels with the two cards, then the hand
// cards lock until the next change of turn.
DragMask afterSwap(DragMask mask, uint8_t a, uint8_t b);

// ---- Counters, the end of a hand and its score --------------------------------

struct HandCounters {
    int32_t consecutivePasses = 0;
    int32_t handMoves = 0;  // swaps and passes of both roles
    int32_t ckMoves = 0;
    int32_t nkMoves = 0;
    int32_t movesOf(Role role) const { return role == Role::Ck ? ckMoves : nkMoves; }
};
void countSwap(HandCounters& c, Role turn);
void countPass(HandCounters& c, Role turn);

struct HandEnd {
    bool byPasses = false;  // four passes in a row ("GP:")
    bool byLimit = false;   // MaxRounds swaps and passes ("GM:")
    bool byGoal = false;    // the goal card at the Target ("GE:")
    bool any() const { return byPasses || byLimit || byGoal; }
};
HandEnd handEnd(const HandCounters& c, int32_t maxRounds, bool goalAtTarget);

// PremiumRound minus the cost of every swap and pass, in 32-bit arithmetic:
// a result beyond 32 bits wraps round.
int32_t handPremium(int32_t premiumRound, int32_t handMoves, int32_t costMove);
// What each role earns for a hand of so many swaps and passes.
double roleScore(const TableRules& rules, int32_t handMoves);

// ---- Which cards show their face ------------------------------------------------

// When the table is covered: the face-down cards never, the face-up card and
// the Target always, the hand cards as ViewCkNk says.
bool showsFace(uint8_t position, const TableRules& rules);
// A look (the right button held on a card) shows the role in turn its own
// hand card, and under ViewCard ALL either hand card.
bool lookShowsFace(Role turn, uint8_t position, const TableRules& rules);

// ---- A whole situation ----------------------------------------------------------

// Where the pairs of a shoe line are dealt: entry i is the position of pair i.
std::array<uint8_t, kPlaces> dealingPositions(bool circular);

// A hand as a shoe line deals it: where each card lies (by card index), the
// goal card, and the role that opens (the ColorKeeper unless the line says
// "nk").
struct Deal {
    std::array<uint8_t, kCards> positionOfCard{};
    int goalCard = 0;
    Role opener = Role::Ck;
};
Deal dealOf(const ShoeHand& hand, bool circular);
// The shoe line that deals `deal`, e.g. "4C 2H 3C 3H 2C 4H   2H   ck".
std::string shoeLineOf(const Deal& deal, bool circular);

// The state of a hand in play that decides what can happen next.
struct Situation {
    std::array<uint8_t, kCards> positionOfCard{};  // by card index
    Role turn = Role::Ck;
    bool handOverPending = false;
    DragMask draggable = 0;
    HandCounters counters;

    int cardAt(uint8_t position) const;
    CardAt at(uint8_t position) const;
    bool holds(int card, uint8_t position) const { return positionOfCard[card] == position; }
};

// A hand as laid: the opener in turn, nothing pending, no counts.
Situation dealtHand(const std::array<uint8_t, kCards>& positionOfCard, Role opener, const TableRules& rules);
// The turn passes to the other role, and the drag permission follows it.
void giveTurn(Situation& s, const TableRules& rules);

// The steps the game takes, one per rule:
// A look at, or a drag start on, the card at `position` completes a pending
// hand-over, unless it is the swapping role's own hand card. True when the
// turn passed.
bool touchCard(Situation& s, uint8_t position, const TableRules& rules);
// The exchange of the cards at `source` (the one dragged) and `target` as the
// rules judge it for the role in turn.
ExchangeVerdict judgeExchange(const Situation& s, uint8_t source, uint8_t target);
// A legal exchange done: the two cards change places, the swap is counted
// for the role in turn, and the drag permission follows (afterSwap).
void exchange(Situation& s, uint8_t a, uint8_t b);
// After a swap the turn passes now, becomes pending, or stays, as the rules
// say. True when the turn passed.
bool handOverAfterSwap(Situation& s, const TableRules& rules);
// The pass button: a pending hand-over is completed first (true when it
// was), then the pass is counted for the role then in turn. The turn passes
// with giveTurn() once the hand's end has been looked at.
bool countPassOfTurn(Situation& s, const TableRules& rules);

// The same steps put together, for a search over whole lines of play:
// The role in turn swaps its hand card with the card at `otherPosition`,
// dragging whichever of the two it may (a pending hand-over is completed
// first, as the drag start does). False, leaving `s` unchanged, when the
// exchange is illegal or neither card can be dragged.
bool trySwap(Situation& s, uint8_t otherPosition, const TableRules& rules);
// A pass, and the turn passes.
void pass(Situation& s, const TableRules& rules);

// The end of the hand after an action.
HandEnd handEndAfterAction(const Situation& s, int goalCard, const TableRules& rules);

}  // namespace qbx::rules
