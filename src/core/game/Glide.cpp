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
    CardGlide& g = glide_;
    g.targetX = destLeft;
    g.targetY = destTop;
    g.x = table_[card].left;
    g.y = table_[card].top;
    g.card = card;
    const double dx = g.x - g.targetX;
    const double dy = g.y - g.targetY;
    if (dx == 0 && dy == 0) {
        g.stepX = 1.0;
        g.stepY = 1.0;
    } else if (std::fabs(dx) >= std::fabs(dy)) {
        g.stepX = dx / std::fabs(dx) * 20;
        g.stepY = dy * 20 / std::fabs(dx);
    } else {
        g.stepY = dy / std::fabs(dy) * 20;
        g.stepX = dx * 20 / std::fabs(dy);
    }
    setTimer(TimerId::Glide, true);
}

void Game::glideTick() {
    guarded([&] {
        CardGlide& g = glide_;
        if (std::fabs(g.x - g.targetX) > std::fabs(g.stepX) || std::fabs(g.y - g.targetY) > std::fabs(g.stepY)) {
            g.x -= g.stepX;
            g.y -= g.stepY;
            // Truncated toward zero, never rounded.
            table_.setPos(g.card, static_cast<int32_t>(g.x), static_cast<int32_t>(g.y));
        } else {
            table_.setPos(g.card, g.targetX, g.targetY);
            setTimer(TimerId::Glide, false);
            if (progress_.handInPlay) table_.setFormEnabled(true);
        }
    });
}

}  // namespace qbx
