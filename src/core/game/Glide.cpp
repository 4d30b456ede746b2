// A card glides 20 pixels along its longer direction every glide tick,
// the shorter direction in proportion, and is set exactly on its last tick.
// The window takes no input while a card glides.

#include <cmath>

#include "core/game/Game.h"

namespace qbx {

void Game::startGlide(Ctl card, int32_t destLeft, int32_t destTop) {
    table_.setFormEnabled(false);
    // Clears every aqua hint; during a deal no frame is marked.
    greyFrames();
    if (!timerRunning(TimerId::DealStep)) table_.setPen(turnFrame(), kGreen);
    animTargetX = destLeft;
    animTargetY = destTop;
    animX = table_[card].left;
    animY = table_[card].top;
    movingCard = card;
    const double dx = animX - animTargetX;
    const double dy = animY - animTargetY;
    if (dx == 0 && dy == 0) {
        animStepX = 1.0;
        animStepY = 1.0;
    } else if (std::fabs(dx) >= std::fabs(dy)) {
        animStepX = dx / std::fabs(dx) * 20;
        animStepY = dy * 20 / std::fabs(dx);
    } else {
        animStepY = dy / std::fabs(dy) * 20;
        animStepX = dx * 20 / std::fabs(dy);
    }
    setTimer(TimerId::Glide, true);
}

void Game::glideTick() {
    guarded([&] {
        if (std::fabs(animX - animTargetX) > std::fabs(animStepX) ||
            std::fabs(animY - animTargetY) > std::fabs(animStepY)) {
            animX -= animStepX;
            animY -= animStepY;
            // Truncated toward zero, never rounded.
            table_.setPos(movingCard, static_cast<int32_t>(animX), static_cast<int32_t>(animY));
        } else {
            table_.setPos(movingCard, animTargetX, animTargetY);
            setTimer(TimerId::Glide, false);
            if (handInPlay) table_.setFormEnabled(true);
        }
    });
}

}  // namespace qbx
