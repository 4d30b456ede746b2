// The end of a hand: four passes in a row, the move limit, or the goal card
// at the Target; each writes its block of records with both roles' scores.

#include "core/game/Game.h"
#include "core/eventlog/TimeStamp.h"

namespace qbx {

std::string Game::handEndStamp() { return timeStamp(clock_.now(), 1); }

void Game::writeHandEnd(const char* code, double ckScore, double nkScore) {
    // Of the two stamps of a line, the one built second is written first.
    std::string first = handEndStamp();
    std::string second = handEndStamp();
    logs_.ck().writeLine(second + first + code + std::to_string(ckMoves) + ";" + scoreText(ckScore) + ":Hand Ended");
    first = handEndStamp();
    second = handEndStamp();
    logs_.nk().writeLine(second + first + code + std::to_string(nkMoves) + ";" + scoreText(nkScore) + ":Hand Ended");
    logs_.nk().writeLine(handEndStamp() + ":Hand Ended");
    logs_.ck().writeLine(handEndStamp() + ":Hand Ended");
}

bool Game::endHandIfOver() {
    const int32_t premium = rules::handPremium(premiumRound, handMoves, costMove);
    const double ckScore = premium * ckShare;
    const double nkScore = premium * nkShare;
    bool goalAtTarget = false;
    for (int slot = 1; slot <= 6; ++slot) {
        const CardSlot& c = cardSlots[slot];
        if (c.positionCode == targetCardView && c.colour == goalColour && c.number == goalNumber) goalAtTarget = true;
    }
    const rules::HandEnd end = rules::handEnd(handCounters(), maxRounds, goalAtTarget);
    bool ended = false;
    if (end.byPasses) {
        showInMessagesText(texts.msgForcedPassHandOver);
        writeHandEnd("GP:", ckScore, nkScore);
        ended = true;
    }
    if (end.byLimit) {
        showInMessagesText(texts.msgForcedHandOver);
        writeHandEnd("GM:", ckScore, nkScore);
        ended = true;
    }
    if (end.byGoal) {
        writeHandEnd("GE:", ckScore, nkScore);
        ended = true;
    }
    if (ended) {
        handInPlay = false;
        platform_.beep();
        table_.setFormEnabled(false);
        setTimer(TimerId::DealWait, true);
        ++handNumber;
        table_.setCaption(Ctl::HandCounter, std::to_string(handNumber));
    }
    return ended;
}

}  // namespace qbx
