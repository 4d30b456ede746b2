// The rules of an exchange: the role in turn swaps its hand card with the
// face-up card or a face-down card at any time, and with the Target card
// only when both share its attribute (colour for ck, number for nk).

#include "table/engine/Game.h"

namespace qbx {

namespace {

bool isTableCard(uint8_t pos) {
    return pos == downColorCardView || pos == upCardView || pos == downNumberCardView;
}

}  // namespace

Ctl Game::frameOf(uint8_t position) {
    static constexpr Ctl kFrames[6] = {Ctl::CkHandFrame, Ctl::DownColourFrame, Ctl::UpFrame,
                                       Ctl::DownNumberFrame, Ctl::NkHandFrame, Ctl::TargetFrame};
    return position < 6 ? kFrames[position] : Ctl::TargetFrame;
}

std::string Game::positionShortName(const CardSlot& slot) const {
    static const char* const kShort[6] = {"ck", "c", "up", "n", "nk", "t"};
    return slot.positionCode < 6 ? kShort[slot.positionCode] : "";
}

namespace {

struct Legality {
    bool legal = false;
    bool sourceIsHand = false;
};

}  // namespace

static Legality judge(const CardSlot& s, const CardSlot& t, const std::string& currentTurn) {
    const bool ck = currentTurn == "ck";
    const uint8_t hand = ck ? colorCardView : numberCardView;
    const bool sameKey = ck ? s.colour == t.colour : s.number == t.number;
    Legality r;
    if (s.positionCode == hand) {
        r.sourceIsHand = true;
        r.legal = isTableCard(t.positionCode) || (t.positionCode == targetCardView && sameKey);
    } else if (t.positionCode == hand) {
        r.legal = isTableCard(s.positionCode) || (s.positionCode == targetCardView && sameKey);
    }
    return r;
}

bool Game::tryExchange(Ctl source, Ctl target) {
    const int si = slotOfImage(source);
    const int ti = slotOfImage(target);
    if (si == 0 || ti == 0 || si == ti) return false;
    CardSlot& s = cardSlots[si];
    CardSlot& t = cardSlots[ti];
    const Legality verdict = judge(s, t, currentTurn);
    if (!verdict.legal) return false;

    // The record names the card that is not the hand card first, with the
    // positions before the exchange.
    const CardSlot& other = verdict.sourceIsHand ? t : s;
    const CardSlot& handCard = verdict.sourceIsHand ? s : t;
    recordMove("PM", cardText(other.number, other.colour), positionShortName(other),
                   cardText(handCard.number, handCard.colour), positionShortName(handCard));
    std::swap(s.positionCode, t.positionCode);
    paintTurnFrames();
    consecutivePasses = 0;
    ++handMoves;
    if (currentTurn == "ck")
        ++ckMoves;
    else
        ++nkMoves;
    lockHandCards();
    return true;
}

bool Game::showIfExchangeAllowed(Ctl source, Ctl target) {
    const int si = slotOfImage(source);
    const int ti = slotOfImage(target);
    if (si == 0 || ti == 0 || si == ti) return false;
    const CardSlot& s = cardSlots[si];
    const CardSlot& t = cardSlots[ti];
    if (!judge(s, t, currentTurn).legal) return false;
    table_.setPen(frameOf(s.positionCode), kAqua);
    table_.setPen(frameOf(t.positionCode), kAqua);
    return true;
}

}  // namespace qbx
