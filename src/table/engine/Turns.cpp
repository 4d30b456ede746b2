// Turns: the hand-over after a swap (at once, or at the next role's first
// action under MIX), the pass, and who may drag which card.

#include "table/engine/Game.h"

namespace qbx {

void Game::greyFrames() {
    for (Ctl s : {Ctl::NkHandFrame, Ctl::CkHandFrame, Ctl::TargetFrame, Ctl::UpFrame, Ctl::DownNumberFrame, Ctl::DownColourFrame})
        table_.setPen(s, kGrey);
}

void Game::paintTurnFrames() {
    greyFrames();
    table_.setPen(turnFrame(), kGreen);
}

bool Game::isOwnHandCard(uint8_t position) const {
    return (position == colorCardView && currentTurn == "ck") ||
           (position == numberCardView && currentTurn == "nk");
}

void Game::lockHandCards() {
    for (int slot = 1; slot <= 6; ++slot)
        if (cardSlots[slot].positionCode == colorCardView || cardSlots[slot].positionCode == numberCardView)
            table_.setDragMode(cardSlots[slot].image, DragMode::Manual);
}

void Game::applyDragPermission() {
    for (int slot = 1; slot <= 6; ++slot) {
        const uint8_t pos = cardSlots[slot].positionCode;
        const bool othersHandCard = (pos == numberCardView && currentTurn == "ck") ||
                                    (pos == colorCardView && currentTurn == "nk");
        table_.setDragMode(cardSlots[slot].image, othersHandCard ? DragMode::Manual : DragMode::Automatic);
    }
    if (handCardsLocked == 1) lockHandCards();
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
    if (params.viewCard == "MIX") turnPassPending = true;
    if (params.viewCard == "NONE" || params.viewCard == "ALL") giveTurnToOtherRole();
}

void Game::completePendingHandOver(int slot) {
    if (!turnPassPending) return;
    if (isOwnHandCard(cardSlots[slot].positionCode)) return;
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
        ++consecutivePasses;
        ++handMoves;
        if (currentTurn == "ck")
            ++ckMoves;
        else
            ++nkMoves;
        recordMove("PP", "", "", "", "");
        endHandIfOver();
        giveTurnToOtherRole();
    });
}

}  // namespace qbx
