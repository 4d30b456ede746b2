// Dealing a hand: six backs glide out from the deck, then the next shoe line
// is laid and recorded.

#include "core/game/Game.h"
#include "core/eventlog/TimeStamp.h"

namespace qbx {

namespace {

// The deal records, in their order, with the position each names.
constexpr struct {
    uint8_t position;
    const char* suffix;
} kDealRecords[6] = {
    {numberCardView, ";numberCardView:Card dealt"}, {downNumberCardView, ";downNumberCardView:Card dealt"},
    {upCardView, ";upCardView:Card dealt"},         {downColorCardView, ";downColorCardView:Card dealt"},
    {colorCardView, ";colorCardView:Card dealt"},   {targetCardView, ";targetCardView:Card dealt"},
};

// Deal steps 1 to 6 send the image of slot 1 to 6 to these positions.
constexpr uint8_t kGlideTo[6] = {numberCardView,    downNumberCardView, upCardView,
                                 downColorCardView, colorCardView,      targetCardView};

}  // namespace

void Game::dealWaitOver() {
    guarded([&] {
        table_.setFormEnabled(false);
        setTimer(TimerId::DealWait, false);
        beginDeal();
    });
}

void Game::beginDeal() {
    dealStep = 1;
    for (int slot = 1; slot <= 6; ++slot) {
        table_.setPos(cardSlots[slot].image, coordX[deckPosition], coordY[deckPosition]);
        table_.setPicture(cardSlots[slot].image, Picture::Back);
    }
    handInPlay = false;
    setTimer(TimerId::DealStep, true);
}

void Game::dealStepTick() {
    guarded([&] {
        if (!table_.formVisible()) {
            table_.setFormVisible(true);
            onFirstShow();
        }
        const LocalTime now = clock_.now();
        if (dealStep == 7) {
            setTimer(TimerId::DealStep, false);
            if (shoe_.atEnd()) {
                endOfShoe(timeStamp(now));
                return;
            }
            layHandFromShoe(now);
        }
        if (dealStep >= 1 && dealStep <= 6) {
            const uint8_t to = kGlideTo[dealStep - 1];
            startGlide(cardSlots[dealStep].image, placeX(to), placeY(to));
        } else if (dealStep == 7) {
            handInPlay = true;
            table_.setFormEnabled(true);
            table_.setPen(Ctl::NkHandFrame, kGrey);
            table_.setPen(Ctl::CkHandFrame, kGrey);
            table_.setPen(turnFrame(), kGreen);
        }
        ++dealStep;
    });
}

void Game::layHandFromShoe(const LocalTime& now) {
    const ShoeHand& hand = shoe_.take();
    const std::array<uint8_t, 6> order = rules::dealingPositions(params.dealingOrder);
    std::string at[6];
    for (int pair = 0; pair < 6; ++pair) at[order[pair]] = hand.pairs[pair];
    firstTurn = hand.firstTurn;
    goalColour = hand.goalLetter == 'H' ? 1 : 2;
    goalNumber = hand.goalDigit - '0';

    for (LogFile* log : {&logs_.ck(), &logs_.nk()}) {
        for (int k = 1; k <= 6; ++k) {
            const std::string stamp = timeStamp(now, k);
            log->writeLine(stamp + stamp + "GC:" + at[kDealRecords[k - 1].position] + kDealRecords[k - 1].suffix);
        }
    }
    layOutHand(at[numberCardView], at[downNumberCardView], at[upCardView], at[downColorCardView], at[colorCardView],
               at[targetCardView]);
}

void Game::endOfShoe(const std::string& stamp) {
    logs_.ck().writeLine(stamp + stamp + "GE::Game ended due to exhaustion of shoe");
    logs_.nk().writeLine(stamp + stamp + "GE::Game ended due to exhaustion of shoe");
    logs_.nk().writeLine(stamp + ":gameDone");
    logs_.ck().writeLine(stamp + ":gameDone");
    logs_.ck().writeLine("TotalMove:" + std::to_string(totalMoves));
    logs_.nk().writeLine("TotalMove:" + std::to_string(totalMoves));
    // Durable before the participant is told the game is over.
    logs_.sync();
    platform_.showMessage(texts.msgGameEnded);
    logs_.close();
    requestTerminate();
}

int Game::slotOfCard(const std::string& cardText) {
    const int number = cardText[0] - '0';
    return cardText[1] == 'H' ? number - 1 : number + 2;
}

void Game::layOutHand(const std::string& atNkHand, const std::string& atDownNumber, const std::string& atUp,
                      const std::string& atDownColour, const std::string& atCkHand, const std::string& atTarget) {
    currentTurn = firstTurn;
    turnPassPending = false;
    if (currentTurn != "ck" && currentTurn != "nk") currentTurn = "ck";
    table_.setChecked(currentTurn == "ck" ? Ctl::CkTurnIndicator : Ctl::NkTurnIndicator, true);
    consecutivePasses = handMoves = ckMoves = nkMoves = 0;

    const std::string* texts6[6] = {&atNkHand, &atDownNumber, &atUp, &atDownColour, &atCkHand, &atTarget};
    constexpr uint8_t kCodes[6] = {4, 3, 2, 1, 0, 5};
    for (int i = 0; i < 6; ++i) {
        CardSlot& slot = cardSlots[slotOfCard(*texts6[i])];
        slot.number = texts6[i]->at(0) - '0';
        slot.colour = texts6[i]->at(1) == 'H' ? 1 : 2;
        slot.positionCode = kCodes[i];
    }
    table_.setPos(Ctl::DeckCard, coordX[deckPosition], coordY[deckPosition]);
    for (int slot = 1; slot <= 6; ++slot) {
        const CardSlot& c = cardSlots[slot];
        table_.setPos(c.image, placeX(c.positionCode), placeY(c.positionCode));
        setPictureByRule(slot);
    }
    if (params.viewTarget == "TRUE") table_.setPicture(Ctl::DeckCard, facePicture(goalNumber, goalColour));
    applyDragPermission();
    coverCards();
}

}  // namespace qbx
