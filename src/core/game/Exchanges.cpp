// The rules of an exchange: the role in turn swaps its hand card with the
// face-up card or a face-down card at any time, and with the Target card
// only when both share its attribute (colour for ck, number for nk).

#include "core/game/Game.h"

namespace qbx {

Ctl Game::frameOf(uint8_t position) {
    static constexpr Ctl kFrames[6] = {Ctl::CkHandFrame,     Ctl::DownColourFrame, Ctl::UpFrame,
                                       Ctl::DownNumberFrame, Ctl::NkHandFrame,     Ctl::TargetFrame};
    return position < 6 ? kFrames[position] : Ctl::TargetFrame;
}

std::string Game::positionShortName(const CardSlot& slot) const { return rules::positionShortName(slot.positionCode); }

namespace {

rules::CardAt cardAt(const CardSlot& slot) { return {slot.number, slot.colour, slot.positionCode}; }

}  // namespace

bool Game::tryExchange(Ctl source, Ctl target) {
    const int si = slotOfImage(source);
    const int ti = slotOfImage(target);
    if (si == 0 || ti == 0 || si == ti) return false;
    CardSlot& s = cardSlots[si];
    CardSlot& t = cardSlots[ti];
    const rules::ExchangeVerdict verdict = rules::judgeExchange(rules::roleOf(currentTurn), cardAt(s), cardAt(t));
    if (!verdict.legal) return false;

    // The record names the card that is not the hand card first, with the
    // positions before the exchange.
    const CardSlot& other = verdict.sourceIsHand ? t : s;
    const CardSlot& handCard = verdict.sourceIsHand ? s : t;
    recordMove("PM", cardText(other.number, other.colour), positionShortName(other),
               cardText(handCard.number, handCard.colour), positionShortName(handCard));
    std::swap(s.positionCode, t.positionCode);
    paintTurnFrames();
    rules::HandCounters counters = handCounters();
    rules::countSwap(counters, rules::roleOf(currentTurn));
    setHandCounters(counters);
    lockHandCards();
    return true;
}

bool Game::showIfExchangeAllowed(Ctl source, Ctl target) {
    const int si = slotOfImage(source);
    const int ti = slotOfImage(target);
    if (si == 0 || ti == 0 || si == ti) return false;
    const CardSlot& s = cardSlots[si];
    const CardSlot& t = cardSlots[ti];
    if (!rules::judgeExchange(rules::roleOf(currentTurn), cardAt(s), cardAt(t)).legal) return false;
    table_.setPen(frameOf(s.positionCode), kAqua);
    table_.setPen(frameOf(t.positionCode), kAqua);
    return true;
}

}  // namespace qbx
