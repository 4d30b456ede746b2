// Which cards show their face: the face-down positions never, the face-up
// and Target cards always, the hand cards as ViewCkNk and ViewCard say.

#include "core/game/Game.h"

namespace qbx {

void Game::setPictureByRule(int card) {
    table_.setPicture(cardImage(card), rules::showsFace(positionOf(card), rules_) ? facePicture(card) : Picture::Back);
}

void Game::coverCards() {
    for (int card = 0; card < kCards; ++card) setPictureByRule(card);
}

void Game::showCard(int card) {
    completePendingHandOver(card);
    if (rules::lookShowsFace(hand_.turn, positionOf(card), rules_))
        table_.setPicture(cardImage(card), facePicture(card));
}

void Game::coverCard(int card) {
    if (!rules_.handCardsFaceUp && isHandPosition(positionOf(card))) table_.setPicture(cardImage(card), Picture::Back);
}

}  // namespace qbx
