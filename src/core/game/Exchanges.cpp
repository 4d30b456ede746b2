// The rules of an exchange applied to the table: the role in turn swaps its
// hand card with the face-up card or a face-down card at any time, and with
// the Target card only when both share its attribute (core/rules).

#include "core/game/Game.h"

namespace qbx {

namespace {

// The frame around a position.
Ctl frameOf(uint8_t position) {
    static constexpr Ctl kFrames[kPlaces] = {Ctl::CkHandFrame,     Ctl::DownColourFrame, Ctl::UpFrame,
                                             Ctl::DownNumberFrame, Ctl::NkHandFrame,     Ctl::TargetFrame};
    return position < kPlaces ? kFrames[position] : Ctl::TargetFrame;
}

}  // namespace

bool Game::tryExchange(Ctl source, Ctl target) {
    const int a = cardOfImage(source), b = cardOfImage(target);
    if (a < 0 || b < 0 || a == b) return false;
    const uint8_t from = positionOf(a), to = positionOf(b);
    const rules::ExchangeVerdict verdict = rules::judgeExchange(hand_, from, to);
    if (!verdict.legal) return false;

    // The record names the card that is not the hand card first, with the
    // positions before the exchange.
    const uint8_t otherPosition = verdict.sourceIsHand ? to : from;
    const uint8_t handPosition = verdict.sourceIsHand ? from : to;
    recordMove(hand_.cardAt(otherPosition), otherPosition, hand_.cardAt(handPosition), handPosition);
    rules::exchange(hand_, from, to);
    paintTurnFrames();
    showDragModes();
    return true;
}

bool Game::showIfExchangeAllowed(Ctl source, Ctl target) {
    const int a = cardOfImage(source), b = cardOfImage(target);
    if (a < 0 || b < 0 || a == b) return false;
    if (!rules::judgeExchange(hand_, positionOf(a), positionOf(b)).legal) return false;
    table_.setPen(frameOf(positionOf(a)), kAqua);
    table_.setPen(frameOf(positionOf(b)), kAqua);
    return true;
}

}  // namespace qbx
