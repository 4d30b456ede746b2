#include "core/rules/Rules.h"

#include <utility>

#include "core/config/ConfigFiles.h"
#include "core/config/Shoe.h"

namespace qbx::rules {

// ---- The setup's rules --------------------------------------------------------

RulesOfSetup rulesOf(const ParameterValues& p) {
    RulesOfSetup out;
    TableRules& r = out.rules;
    struct Number {
        const char* key;
        const std::string& text;
        int32_t& field;
    };
    for (const Number& n :
         {Number{"MaxRounds", p.maxRoundsText, r.maxRounds}, Number{"PremiumRound", p.premiumRoundText, r.premiumRound},
          Number{"CostMove", p.costMoveText, r.costMove}}) {
        int32_t value = 0;
        if (parseWholeNumber(n.text, value)) {
            n.field = value;
            if (&n.field == &r.maxRounds) out.maxRoundsRead = true;
        } else if (!out.badNumberKey) {
            out.badNumberKey = n.key;
            out.badNumberText = n.text;
        }
    }
    if (p.viewCard == "MIX")
        r.handOver = HandOver::Pending;
    else if (p.viewCard == "NONE" || p.viewCard == "ALL")
        r.handOver = HandOver::Now;
    else
        r.handOver = HandOver::Never;
    r.handCardsLocked = p.dragCkNkText != "TRUE";
    r.circularDeal = p.dealingOrder == "CIRCULAR";
    r.handCardsFaceUp = p.viewCkNk != "FALSE";
    r.lookShowsEitherHandCard = p.viewCard == "ALL";
    r.goalShown = p.viewTarget == "TRUE";
    return out;
}

// ---- Exchanges --------------------------------------------------------------

ExchangeVerdict judgeExchange(Role turn, const CardAt& s, const CardAt& t) {
    const bool ck = turn == Role::Ck;
    const uint8_t hand = handPosition(turn);
    const bool sameKey = ck ? s.colour == t.colour : s.number == t.number;
    ExchangeVerdict r;
    if (s.position == hand) {
        r.sourceIsHand = true;
        r.legal = isTableCard(t.position) || (t.position == targetCardView && sameKey);
    } else if (t.position == hand) {
        r.legal = isTableCard(s.position) || (s.position == targetCardView && sameKey);
    }
    return r;
}

// ---- Who may drag which card ------------------------------------------------

DragMask dragPermission(Role turn, bool handCardsLocked) {
    DragMask mask = 0x3F;
    mask &= static_cast<DragMask>(~(1u << handPosition(otherRole(turn))));
    if (handCardsLocked) mask = lockHandCards(mask);
    return mask;
}

DragMask lockHandCards(DragMask mask) {
    return static_cast<DragMask>(mask & ~((1u << colorCardView) | (1u << numberCardView)));
}

DragMask afterSwap(DragMask mask, uint8_t a, uint8_t b) {
    const bool atA = canDrag(mask, a), atB = canDrag(mask, b);
    mask = static_cast<DragMask>(mask & ~((1u << a) | (1u << b)));
    mask = static_cast<DragMask>(mask | (atB ? 1u << a : 0u) | (atA ? 1u << b : 0u));
    return lockHandCards(mask);
}

// ---- Counters, the end of a hand and its score --------------------------------

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

double roleScore(const TableRules& rules, int32_t handMoves) {
    return handPremium(rules.premiumRound, handMoves, rules.costMove) * kRoleShare;
}

// ---- Which cards show their face ------------------------------------------------

bool showsFace(uint8_t position, const TableRules& rules) {
    if (position == downColorCardView || position == downNumberCardView) return false;
    if (isHandPosition(position)) return rules.handCardsFaceUp;
    return true;
}

bool lookShowsFace(Role turn, uint8_t position, const TableRules& rules) {
    return position == handPosition(turn) || (isHandPosition(position) && rules.lookShowsEitherHandCard);
}

// ---- A whole situation ----------------------------------------------------------

std::array<uint8_t, kPlaces> dealingPositions(bool circular) {
    if (circular)
        return {numberCardView, downNumberCardView, upCardView, downColorCardView, colorCardView, targetCardView};
    return {downColorCardView, colorCardView, upCardView, targetCardView, downNumberCardView, numberCardView};
}

Deal dealOf(const ShoeHand& hand, bool circular) {
    const std::array<uint8_t, kPlaces> at = dealingPositions(circular);
    Deal deal;
    for (int pair = 0; pair < kPlaces; ++pair)
        deal.positionOfCard[cardOfShoeText(hand.pairs[pair][0], hand.pairs[pair][1])] = at[pair];
    deal.goalCard = cardOfShoeText(hand.goalDigit, hand.goalLetter);
    deal.opener = hand.firstTurn == "nk" ? Role::Nk : Role::Ck;
    return deal;
}

std::string shoeLineOf(const Deal& deal, bool circular) {
    const std::array<uint8_t, kPlaces> at = dealingPositions(circular);
    std::string line;
    for (int pair = 0; pair < kPlaces; ++pair) {
        for (int card = 0; card < kCards; ++card)
            if (deal.positionOfCard[card] == at[pair]) line += cardText(card);
        line += pair < kPlaces - 1 ? " " : "   ";
    }
    return line + cardText(deal.goalCard) + "   " + roleName(deal.opener);
}

int Situation::cardAt(uint8_t position) const {
    for (int card = 0; card < kCards; ++card)
        if (positionOfCard[card] == position) return card;
    return -1;
}

CardAt Situation::at(uint8_t position) const {
    const int card = cardAt(position);
    return CardAt{cardNumber(card), cardColour(card), position};
}

Situation dealtHand(const std::array<uint8_t, kCards>& positionOfCard, Role opener, const TableRules& rules) {
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

bool touchCard(Situation& s, uint8_t position, const TableRules& rules) {
    if (!s.handOverPending || position == handPosition(s.turn)) return false;
    s.handOverPending = false;
    giveTurn(s, rules);
    return true;
}

ExchangeVerdict judgeExchange(const Situation& s, uint8_t source, uint8_t target) {
    return judgeExchange(s.turn, s.at(source), s.at(target));
}

void exchange(Situation& s, uint8_t a, uint8_t b) {
    std::swap(s.positionOfCard[s.cardAt(a)], s.positionOfCard[s.cardAt(b)]);
    countSwap(s.counters, s.turn);
    s.draggable = afterSwap(s.draggable, a, b);
}

bool handOverAfterSwap(Situation& s, const TableRules& rules) {
    switch (rules.handOver) {
    case HandOver::Now: giveTurn(s, rules); return true;
    case HandOver::Pending: s.handOverPending = true; return false;
    case HandOver::Never: return false;
    }
    return false;
}

bool countPassOfTurn(Situation& s, const TableRules& rules) {
    const bool handedOver = s.handOverPending;
    if (handedOver) {
        giveTurn(s, rules);
        s.handOverPending = false;
    }
    countPass(s.counters, s.turn);
    return handedOver;
}

bool trySwap(Situation& s, uint8_t otherPosition, const TableRules& rules) {
    Situation next = s;
    // Any card the next role picks up completes the hand-over; a look at a
    // card does it without an action when nothing it may drag is free.
    touchCard(next, otherPosition, rules);
    const uint8_t hand = handPosition(next.turn);
    if (!canDrag(next.draggable, hand) && !canDrag(next.draggable, otherPosition)) return false;
    if (!judgeExchange(next, hand, otherPosition).legal) return false;
    exchange(next, hand, otherPosition);
    handOverAfterSwap(next, rules);
    s = next;
    return true;
}

void pass(Situation& s, const TableRules& rules) {
    countPassOfTurn(s, rules);
    giveTurn(s, rules);
}

HandEnd handEndAfterAction(const Situation& s, int goalCard, const TableRules& rules) {
    return handEnd(s.counters, rules.maxRounds, s.positionOfCard[goalCard] == targetCardView);
}

}  // namespace qbx::rules
