// Which cards show their face: the face-down positions never, the face-up
// and Target cards always, the hand cards as ViewCkNk and ViewCard say.

#include "core/game/Game.h"

namespace qbx {

Picture Game::facePicture(int32_t number, int32_t colour) {
    if (number < 2 || number > 4) return Picture::Back;
    const int base = colour == 1 ? static_cast<int>(Picture::Face2H) : static_cast<int>(Picture::Face2C);
    return static_cast<Picture>(base + number - 2);
}

void Game::setPictureByRule(int slot) {
    const CardSlot& c = cardSlots[slot];
    bool face = true;
    switch (c.positionCode) {
    case downColorCardView:
    case downNumberCardView: face = false; break;
    case colorCardView:
    case numberCardView: face = params.viewCkNk != "FALSE"; break;
    default: face = true; break;
    }
    table_.setPicture(c.image, face ? facePicture(c.number, c.colour) : Picture::Back);
}

void Game::coverCards() {
    for (int slot = 1; slot <= 6; ++slot) setPictureByRule(slot);
}

void Game::showCard(int slot) {
    completePendingHandOver(slot);
    const CardSlot& c = cardSlots[slot];
    const uint8_t pos = c.positionCode;
    const bool anyHandCard = (pos == colorCardView || pos == numberCardView) && params.viewCard == "ALL";
    if (isOwnHandCard(pos) || anyHandCard) table_.setPicture(c.image, facePicture(c.number, c.colour));
}

void Game::coverCard(int slot) {
    const CardSlot& c = cardSlots[slot];
    if (params.viewCkNk == "FALSE" && (c.positionCode == colorCardView || c.positionCode == numberCardView))
        table_.setPicture(c.image, Picture::Back);
}

}  // namespace qbx
