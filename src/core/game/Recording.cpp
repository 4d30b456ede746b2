// The records of moves, passes, the game start, pick-ups and looks.

#include "core/game/Game.h"
#include "core/eventlog/TimeStamp.h"

namespace qbx {

void Game::recordMove(const std::string& eventCode, const std::string& cardA, const std::string& positionA,
                      const std::string& cardB, const std::string& positionB) {
    const std::string T = timeStamp(clock_.now());
    const char* ckCode = "GS";
    const char* ckText = "";
    const char* nkCode = "GS";
    const char* nkText = "";
    const bool ck = currentTurn == "ck";
    if (eventCode == "PM") {
        ckCode = ck ? "PM" : "RM";
        ckText = ck ? ":Color Keeper moved card" : ":Remote move card";
        nkCode = ck ? "RM" : "PM";
        nkText = ck ? ":Remote move card" : ":Number Keeper moved card";
    } else if (eventCode == "PP") {
        ckCode = ck ? "PP::Colorkeeper passed turn" : "RP::Remote pass received";
        nkCode = ck ? "RP::Remote pass received" : "PP::Numberkeeper passed turn";
    }
    if (eventCode == "PM" || eventCode == "PP") {
        ++totalMoves;
        table_.setCaption(Ctl::MoveCounter, std::to_string(totalMoves));
    }
    const std::string body =
        ":" + cardA + ";" + longPositionName(positionA) + ";" + cardB + ";" + longPositionName(positionB);
    logs_.ck().writeLine(T + T + ckCode + body + ckText);
    logs_.nk().writeLine(T + T + nkCode + body + nkText);
}

void Game::recordPickUp(Ctl card) {
    const CardSlot& slot = cardSlots[slotOfImage(card)];
    const std::string position = longPositionName(positionShortName(slot));
    const std::string T = timeStamp(clock_.now());
    const std::string text = cardText(slot.number, slot.colour);
    if (currentTurn == "ck")
        logs_.ck().writeLine(T + T + "pR:" + text + ":" + position + ":ColorKeeperRemoved card");
    else
        logs_.nk().writeLine(T + T + "pR:" + text + ":" + position + ":NumberKeeperRemoved card");
}

void Game::recordLook(Ctl card) {
    const std::string position = positionShortName(cardSlots[slotOfImage(card)]);
    const std::string T = timeStamp(clock_.now());
    if (position == "ck" && currentTurn == "ck") logs_.ck().writeLine(T + T + "pL::ColorKeeper looked at hand card");
    if (position == "nk" && currentTurn == "nk") logs_.nk().writeLine(T + T + "pL::NumberKeeper looked at hand card");
}

void Game::showInMessagesText(const std::string& text) {
    // The box waits for the participant: the records of the action that
    // brought it up are made durable first.
    logs_.sync();
    platform_.showMessage(text);
}

}  // namespace qbx
