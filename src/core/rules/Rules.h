#pragma once
// The rules of play as functions of a plain state: who may exchange which
// card, when the turn passes, which cards may be dragged, when a hand ends
// and what it scores. No table, no logs, no timers. The game calls these for
// every action, and qbxtool's solver searches with the very same functions,
// so the two cannot disagree about what a role may do.

#include <array>
#include <cstdint>
#include <string>

namespace qbx::rules {

// Position codes of the table (the same numbers as Game's Position).
inline constexpr uint8_t kCkHand = 0, kDownColour = 1, kUp = 2, kDownNumber = 3, kNkHand = 4, kTarget = 5;

enum class Role : uint8_t { Ck = 0, Nk = 1 };

// "ck" is the ColorKeeper; any other text counts as the NumberKeeper, as in
// every rule that asks whose turn it is.
inline Role roleOf(const std::string& currentTurn) { return currentTurn == "ck" ? Role::Ck : Role::Nk; }
inline Role otherRole(Role r) { return r == Role::Ck ? Role::Nk : Role::Ck; }
inline const char* roleName(Role r) { return r == Role::Ck ? "ck" : "nk"; }
// The role's own hand-card position: 0 for the ColorKeeper, 4 for the NumberKeeper.
inline uint8_t handPosition(Role r) { return r == Role::Ck ? kCkHand : kNkHand; }
// "ck", "c", "up", "n", "nk" or "t".
const char* positionShortName(uint8_t position);

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

// ---- Turns ------------------------------------------------------------------

// What a legal swap does to the turn, by ViewCard (upper-cased): NONE and ALL
// pass it at once, MIX at the next role's first action, anything else never.
enum class HandOver : uint8_t { Now, Pending, Never };
HandOver handOverAfterSwap(const std::string& viewCard);

// A pending hand-over is completed by a look or a drag start on any card but
// the swapping role's own hand card.
bool completesPendingHandOver(bool pending, Role turn, uint8_t positionTouched);

// ---- Who may drag which card ------------------------------------------------

// Bit p set: the card lying at position p can be picked up.
using DragMask = uint8_t;
inline bool canDrag(DragMask mask, uint8_t position) { return (mask >> position) & 1u; }
// At a deal and at every change of turn: every card but the other role's hand
// card, and neither hand card when the hand cards are locked ("Drag CkNk" not
// "TRUE").
DragMask dragPermission(Role turn, bool handCardsLocked);
// After a swap the two cards now at the hand positions cannot be dragged
// until the next change of turn; every other card keeps its permission.
DragMask lockHandCards(DragMask mask);
// The permission travels with the cards of a swap, then the hand cards lock.
DragMask afterSwap(DragMask mask, uint8_t a, uint8_t b);

// ---- Counters, the end of a hand and its score --------------------------------

struct HandCounters {
    int32_t consecutivePasses = 0;
    int32_t handMoves = 0;  // swaps and passes of both roles
    int32_t ckMoves = 0;
    int32_t nkMoves = 0;
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

// PremiumRound minus the cost of every swap and pass, in 32-bit arithmetic
// that wraps like the original's; each role earns its share of it.
int32_t handPremium(int32_t premiumRound, int32_t handMoves, int32_t costMove);

// ---- A whole situation, for searching -----------------------------------------

// Cards are numbered 0 to 5 in slot order: 2H 3H 4H 2C 3C 4C.
inline int32_t cardNumber(int card) { return card % 3 + 2; }
inline int32_t cardColour(int card) { return card / 3 + 1; }
inline int cardIndex(int32_t number, int32_t colour) { return (colour == 1 ? 0 : 3) + number - 2; }
std::string cardText(int card);  // "2H" … "4C"

// Where the pairs of a shoe line are dealt, by SyntaxInput (upper-cased):
// entry i is the position of pair i.
std::array<uint8_t, 6> dealingPositions(const std::string& dealingOrder);

// The state of a hand in play that decides what can happen next.
struct Situation {
    std::array<uint8_t, 6> positionOfCard{};  // by card index
    Role turn = Role::Ck;
    bool handOverPending = false;
    DragMask draggable = 0;
    HandCounters counters;

    int cardAt(uint8_t position) const;
    CardAt at(uint8_t position) const;
};

// The setup's rules that shape a hand.
struct TableRules {
    HandOver handOver = HandOver::Never;
    bool handCardsLocked = true;
    int32_t maxRounds = 0;
};

// A hand as laid: the opener in turn, nothing pending, no counts.
Situation dealtHand(const std::array<uint8_t, 6>& positionOfCard, Role opener, const TableRules& rules);
// The turn passes to the other role, and the drag permission follows it.
void giveTurn(Situation& s, const TableRules& rules);
// The role in turn swaps its hand card with the card at `otherPosition`,
// dragging whichever of the two it may (a pending hand-over is completed
// first, as the drag start does). False, leaving `s` unchanged, when the
// exchange is illegal or neither card can be dragged.
bool trySwap(Situation& s, uint8_t otherPosition, const TableRules& rules);
// A pass: a pending hand-over is completed first, the pass is counted for the
// role then in turn, and the turn passes.
void pass(Situation& s, const TableRules& rules);
// The end of the hand after an action.
HandEnd handEndAfterAction(const Situation& s, int goalCard, const TableRules& rules);

}  // namespace qbx::rules
