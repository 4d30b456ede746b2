#include "core/rules/Rules.h"

namespace qbx::rules {

namespace {

bool isTableCard(uint8_t pos) { return pos == kDownColour || pos == kUp || pos == kDownNumber; }

}  // namespace

const char* positionShortName(uint8_t position) {
    static const char* const kShort[6] = {"ck", "c", "up", "n", "nk", "t"};
    return position < 6 ? kShort[position] : "";
}

ExchangeVerdict judgeExchange(Role turn, const CardAt& s, const CardAt& t) {
    const bool ck = turn == Role::Ck;
    const uint8_t hand = handPosition(turn);
    const bool sameKey = ck ? s.colour == t.colour : s.number == t.number;
    ExchangeVerdict r;
    if (s.position == hand) {
        r.sourceIsHand = true;
        r.legal = isTableCard(t.position) || (t.position == kTarget && sameKey);
    } else if (t.position == hand) {
        r.legal = isTableCard(s.position) || (s.position == kTarget && sameKey);
    }
    return r;
}

HandOver handOverAfterSwap(const std::string& viewCard) {
    if (viewCard == "MIX") return HandOver::Pending;
    if (viewCard == "NONE" || viewCard == "ALL") return HandOver::Now;
    return HandOver::Never;
}

bool completesPendingHandOver(bool pending, Role turn, uint8_t positionTouched) {
    return pending && positionTouched != handPosition(turn);
}

DragMask dragPermission(Role turn, bool handCardsLocked) {
    DragMask mask = 0x3F;
    mask &= static_cast<DragMask>(~(1u << handPosition(otherRole(turn))));
    if (handCardsLocked) mask = lockHandCards(mask);
    return mask;
}

DragMask lockHandCards(DragMask mask) { return static_cast<DragMask>(mask & ~((1u << kCkHand) | (1u << kNkHand))); }

DragMask afterSwap(DragMask mask, uint8_t a, uint8_t b) {
    const bool atA = canDrag(mask, a), atB = canDrag(mask, b);
    mask = static_cast<DragMask>(mask & ~((1u << a) | (1u << b)));
    mask = static_cast<DragMask>(mask | (atB ? 1u << a : 0u) | (atA ? 1u << b : 0u));
    return lockHandCards(mask);
}

void countSwap(HandCounters& c, Role turn) {
    c.consecutivePasses = 0;
    ++c.handMoves;
    ++(turn == Role::Ck ? c.ckMoves : c.nkMoves);
}

void countPass(HandCounters& c, Role turn) {
    ++c.consecutivePasses;
    ++c.handMoves;
    ++(turn == Role::Ck ? c.ckMoves : c.nkMoves);
}

HandEnd handEnd(const HandCounters& c, int32_t maxRounds, bool goalAtTarget) {
    HandEnd e;
    e.byPasses = c.consecutivePasses >= 4;
    e.byLimit = c.handMoves >= maxRounds;
    e.byGoal = goalAtTarget;
    return e;
}

int32_t handPremium(int32_t premiumRound, int32_t handMoves, int32_t costMove) {
    // Worked out in 64 bits and wrapped to 32, so no configured value
    // overflows while the result stays the 32-bit one.
    const int64_t wide = static_cast<int64_t>(premiumRound) - static_cast<int64_t>(handMoves) * costMove;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
}

std::string cardText(int card) {
    return std::string{static_cast<char>('0' + cardNumber(card)), cardColour(card) == 1 ? 'H' : 'C'};
}

std::array<uint8_t, 6> dealingPositions(const std::string& dealingOrder) {
    if (dealingOrder == "CIRCULAR") return {kNkHand, kDownNumber, kUp, kDownColour, kCkHand, kTarget};
    return {kDownColour, kCkHand, kUp, kTarget, kDownNumber, kNkHand};
}

int Situation::cardAt(uint8_t position) const {
    for (int card = 0; card < 6; ++card)
        if (positionOfCard[card] == position) return card;
    return -1;
}

CardAt Situation::at(uint8_t position) const {
    const int card = cardAt(position);
    return CardAt{cardNumber(card), cardColour(card), position};
}

Situation dealtHand(const std::array<uint8_t, 6>& positionOfCard, Role opener, const TableRules& rules) {
    Situation s;
    s.positionOfCard = positionOfCard;
    s.turn = opener;
    s.draggable = dragPermission(opener, rules.handCardsLocked);
    return s;
}

void giveTurn(Situation& s, const TableRules& rules) {
    s.turn = otherRole(s.turn);
    s.draggable = dragPermission(s.turn, rules.handCardsLocked);
}

bool trySwap(Situation& s, uint8_t otherPosition, const TableRules& rules) {
    Situation next = s;
    // Any card the next role picks up completes the hand-over; a look at a
    // card does it without an action when nothing it may drag is free.
    if (completesPendingHandOver(next.handOverPending, next.turn, otherPosition)) {
        next.handOverPending = false;
        giveTurn(next, rules);
    }
    const uint8_t hand = handPosition(next.turn);
    if (!canDrag(next.draggable, hand) && !canDrag(next.draggable, otherPosition)) return false;
    if (!judgeExchange(next.turn, next.at(hand), next.at(otherPosition)).legal) return false;
    std::swap(next.positionOfCard[next.cardAt(hand)], next.positionOfCard[next.cardAt(otherPosition)]);
    countSwap(next.counters, next.turn);
    next.draggable = afterSwap(next.draggable, hand, otherPosition);
    switch (rules.handOver) {
    case HandOver::Now: giveTurn(next, rules); break;
    case HandOver::Pending: next.handOverPending = true; break;
    case HandOver::Never: break;
    }
    s = next;
    return true;
}

void pass(Situation& s, const TableRules& rules) {
    if (s.handOverPending) {
        giveTurn(s, rules);
        s.handOverPending = false;
    }
    countPass(s.counters, s.turn);
    giveTurn(s, rules);
}

HandEnd handEndAfterAction(const Situation& s, int goalCard, const TableRules& rules) {
    return handEnd(s.counters, rules.maxRounds, s.positionOfCard[goalCard] == kTarget);
}

}  // namespace qbx::rules
