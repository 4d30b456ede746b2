// Turns: the hand-over after a swap (at once, or at the next role's first
// action under MIX), the pass, and who may drag which card.

#include "core/game/Game.h"

namespace qbx {

void Game::greyFrames() {
    for (Ctl s : {Ctl::NkHandFrame, Ctl::CkHandFrame, Ctl::TargetFrame, Ctl::UpFrame, Ctl::DownNumberFrame,
                  Ctl::DownColourFrame})
        table_.setPen(s, kGrey);
}

void Game::paintTurnFrames() {
    greyFrames();
    table_.setPen(turnFrame(), kGreen);
}

bool Game::isOwnHandCard(uint8_t position) const { return position == rules::handPosition(rules::roleOf(currentTurn)); }

rules::DragMask Game::dragMask() const {
    rules::DragMask mask = 0;
    for (int slot = 1; slot <= 6; ++slot)
        if (cardSlots[slot].positionCode < 6 && table_[cardSlots[slot].image].dragMode == DragMode::Automatic)
            mask = static_cast<rules::DragMask>(mask | (1u << cardSlots[slot].positionCode));
    return mask;
}

void Game::setDragModes(rules::DragMask mask) {
    for (int slot = 1; slot <= 6; ++slot)
        table_.setDragMode(cardSlots[slot].image,
                           rules::canDrag(mask, cardSlots[slot].positionCode) ? DragMode::Automatic : DragMode::Manual);
}

void Game::lockHandCards() { setDragModes(rules::lockHandCards(dragMask())); }

void Game::applyDragPermission() {
    setDragModes(rules::dragPermission(rules::roleOf(currentTurn), handCardsLocked == 1));
}

rules::HandCounters Game::handCounters() const {
    return rules::HandCounters{consecutivePasses, handMoves, ckMoves, nkMoves};
}

void Game::setHandCounters(const rules::HandCounters& c) {
    consecutivePasses = c.consecutivePasses;
    handMoves = c.handMoves;
    ckMoves = c.ckMoves;
    nkMoves = c.nkMoves;
}

void Game::giveTurnToOtherRole() {
    if (currentTurn == "ck") {
        currentTurn = "nk";
        table_.setChecked(Ctl::NkTurnIndicator, true);
        table_.setPen(Ctl::NkHandFrame, kGreen);
        table_.setPen(Ctl::CkHandFrame, kGrey);
    } else {
        currentTurn = "ck";
        table_.setChecked(Ctl::CkTurnIndicator, true);
        table_.setPen(Ctl::CkHandFrame, kGreen);
        table_.setPen(Ctl::NkHandFrame, kGrey);
    }
    applyDragPermission();
}

void Game::handOverAfterSwap() {
    switch (rules::handOverAfterSwap(params.viewCard)) {
    case rules::HandOver::Pending: turnPassPending = true; break;
    case rules::HandOver::Now: giveTurnToOtherRole(); break;
    case rules::HandOver::Never: break;
    }
}

void Game::completePendingHandOver(int slot) {
    if (!rules::completesPendingHandOver(turnPassPending, rules::roleOf(currentTurn), cardSlots[slot].positionCode))
        return;
    turnPassPending = false;
    giveTurnToOtherRole();
}

void Game::pass() {
    guarded([&] {
        if (!acceptsInput() || dragging_) return;
        if (turnPassPending) {
            giveTurnToOtherRole();
            turnPassPending = false;
        }
        rules::HandCounters counters = handCounters();
        rules::countPass(counters, rules::roleOf(currentTurn));
        setHandCounters(counters);
        recordMove("PP", "", "", "", "");
        endHandIfOver();
        giveTurnToOtherRole();
    });
}

}  // namespace qbx
