// Turns: the hand-over after a swap (at once, or at the next role's first
// action under MIX), the pass, and who may drag which card, shown on the
// table as the rules (core/rules) change the hand.

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

void Game::showDragModes() {
    for (int card = 0; card < kCards; ++card)
        table_.setDragMode(cardImage(card),
                           rules::canDrag(hand_.draggable, positionOf(card)) ? DragMode::Automatic : DragMode::Manual);
}

void Game::showTurnPassed() {
    if (hand_.turn == Role::Nk) {
        table_.setChecked(Ctl::NkTurnIndicator, true);
        table_.setPen(Ctl::NkHandFrame, kGreen);
        table_.setPen(Ctl::CkHandFrame, kGrey);
    } else {
        table_.setChecked(Ctl::CkTurnIndicator, true);
        table_.setPen(Ctl::CkHandFrame, kGreen);
        table_.setPen(Ctl::NkHandFrame, kGrey);
    }
    showDragModes();
}

void Game::giveTurnToOtherRole() {
    rules::giveTurn(hand_, rules_);
    showTurnPassed();
}

void Game::handOverAfterSwap() {
    if (rules::handOverAfterSwap(hand_, rules_)) showTurnPassed();
}

void Game::completePendingHandOver(int card) {
    if (rules::touchCard(hand_, positionOf(card), rules_)) showTurnPassed();
}

void Game::pass() {
    guarded([&] {
        if (!acceptsInput() || dragging_) return;
        if (rules::countPassOfTurn(hand_, rules_)) showTurnPassed();
        recordPass();
        endHandIfOver();
        giveTurnToOtherRole();
    });
}

}  // namespace qbx
