// The end of a hand: four passes in a row, the move limit, or the goal card
// at the Target; each writes its block of records with both roles' scores.

#include "core/game/Game.h"

namespace qbx {

std::string Game::handEndStamp() { return timeStamp(clock_.now(), 1); }

void Game::writeHandEnd(HandEndCode code, double score) {
    // Of the two stamps of a line, the one built second is written first.
    std::string first = handEndStamp();
    std::string second = handEndStamp();
    logs_.ck().writeLine(handEndRecord(second, first, code, hand_.counters.ckMoves, score));
    first = handEndStamp();
    second = handEndStamp();
    logs_.nk().writeLine(handEndRecord(second, first, code, hand_.counters.nkMoves, score));
    logs_.nk().writeLine(handEndCloseRecord(handEndStamp()));
    logs_.ck().writeLine(handEndCloseRecord(handEndStamp()));
}

bool Game::endHandIfOver() {
    // Both roles earn the same share of what is left of the premium.
    const double score = rules::roleScore(rules_, hand_.counters.handMoves);
    const rules::HandEnd end = rules::handEndAfterAction(hand_, goalCard_, rules_);
    if (end.byPasses) {
        showInMessagesText(texts_.msgForcedPassHandOver);
        writeHandEnd(HandEndCode::FourPasses, score);
    }
    if (end.byLimit) {
        showInMessagesText(texts_.msgForcedHandOver);
        writeHandEnd(HandEndCode::MoveLimit, score);
    }
    if (end.byGoal) writeHandEnd(HandEndCode::Goal, score);
    if (!end.any()) return false;
    progress_.handInPlay = false;
    platform_.beep();
    table_.setFormEnabled(false);
    setTimer(TimerId::DealWait, true);
    ++progress_.handNumber;
    table_.setCaption(Ctl::HandCounter, std::to_string(progress_.handNumber));
    return true;
}

}  // namespace qbx
