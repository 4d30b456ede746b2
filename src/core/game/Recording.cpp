// The records of the game start, moves, passes, pick-ups and looks, written
// by the log format's writers with a fresh reading of the clock each.

#include "core/game/Game.h"

namespace qbx {

void Game::recordGameStart() {
    const std::string T = timeStamp(clock_.now());
    logs_.ck().writeLine(gameStartedRecord(T));
    logs_.nk().writeLine(gameStartedRecord(T));
}

void Game::recordMove(int otherCard, uint8_t otherPosition, int handCard, uint8_t handPosition) {
    const std::string T = timeStamp(clock_.now());
    ++progress_.totalMoves;
    table_.setCaption(Ctl::MoveCounter, std::to_string(progress_.totalMoves));
    logs_.ck().writeLine(moveRecord(T, Role::Ck, hand_.turn, otherCard, otherPosition, handCard, handPosition));
    logs_.nk().writeLine(moveRecord(T, Role::Nk, hand_.turn, otherCard, otherPosition, handCard, handPosition));
}

void Game::recordPass() {
    const std::string T = timeStamp(clock_.now());
    ++progress_.totalMoves;
    table_.setCaption(Ctl::MoveCounter, std::to_string(progress_.totalMoves));
    logs_.ck().writeLine(passRecord(T, Role::Ck, hand_.turn));
    logs_.nk().writeLine(passRecord(T, Role::Nk, hand_.turn));
}

void Game::recordPickUp(int card) {
    // In the log of the role in turn when the card is lifted, before a
    // pending hand-over is completed by it.
    const std::string T = timeStamp(clock_.now());
    LogFile& log = hand_.turn == Role::Ck ? logs_.ck() : logs_.nk();
    log.writeLine(pickUpRecord(T, hand_.turn, card, positionOf(card)));
}

void Game::recordLook(int card) {
    // Only a look at the own hand card of the role in turn is recorded; the
    // clock is read all the same.
    const std::string T = timeStamp(clock_.now());
    if (positionOf(card) != handPosition(hand_.turn)) return;
    LogFile& log = hand_.turn == Role::Ck ? logs_.ck() : logs_.nk();
    log.writeLine(lookRecord(T, hand_.turn));
}

void Game::showInMessagesText(const std::string& text) {
    // The box waits for the participant: the records of the action that
    // brought it up are made durable first.
    logs_.sync();
    platform_.showMessage(text);
}

}  // namespace qbx
