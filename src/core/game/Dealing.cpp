// Dealing a hand: six backs glide out from the deck, then the next shoe line
// is laid and recorded.

#include "core/game/Game.h"

namespace qbx {

namespace {

// Deal steps 1 to 6 send the image of card 0 to 5 to these positions.
constexpr uint8_t kGlideTo[kCards] = {numberCardView,    downNumberCardView, upCardView,
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
    progress_.dealStep = 1;
    for (int card = 0; card < kCards; ++card) {
        table_.setPos(cardImage(card), placeX_[deckPosition], placeY_[deckPosition]);
        table_.setPicture(cardImage(card), Picture::Back);
    }
    progress_.handInPlay = false;
    setTimer(TimerId::DealStep, true);
}

void Game::dealStepTick() {
    guarded([&] {
        if (!table_.formVisible()) {
            table_.setFormVisible(true);
            onFirstShow();
        }
        const LocalTime now = clock_.now();
        int32_t& step = progress_.dealStep;
        if (step == 7) {
            setTimer(TimerId::DealStep, false);
            if (shoe_.atEnd()) {
                endOfShoe(timeStamp(now));
                return;
            }
            layHandFromShoe(now);
        }
        if (step >= 1 && step <= 6) {
            const uint8_t to = kGlideTo[step - 1];
            startGlide(cardImage(step - 1), placeX(to), placeY(to));
        } else if (step == 7) {
            progress_.handInPlay = true;
            table_.setFormEnabled(true);
            table_.setPen(Ctl::NkHandFrame, kGrey);
            table_.setPen(Ctl::CkHandFrame, kGrey);
            table_.setPen(turnFrame(), kGreen);
        }
        ++step;
    });
}

void Game::layHandFromShoe(const LocalTime& now) {
    const ShoeHand& line = shoe_.take();
    // The deal records write each card as the shoe line has it.
    const std::array<uint8_t, kPlaces> order = rules::dealingPositions(rules_.circularDeal);
    std::string_view cardAt[kPlaces];
    for (int pair = 0; pair < kPlaces; ++pair) cardAt[order[pair]] = line.pairs[pair];
    for (LogFile* log : {&logs_.ck(), &logs_.nk()}) {
        for (int k = 1; k <= kPlaces; ++k) {
            const uint8_t position = kDealRecordOrder[k - 1];
            log->writeLine(cardDealtRecord(timeStamp(now, k), cardAt[position], position));
        }
    }
    layOutHand(rules::dealOf(line, rules_.circularDeal));
}

void Game::endOfShoe(const std::string& stamp) {
    logs_.ck().writeLine(shoeExhaustedRecord(stamp));
    logs_.nk().writeLine(shoeExhaustedRecord(stamp));
    logs_.nk().writeLine(gameDoneRecord(stamp));
    logs_.ck().writeLine(gameDoneRecord(stamp));
    logs_.ck().writeLine(totalMovesRecord(progress_.totalMoves));
    logs_.nk().writeLine(totalMovesRecord(progress_.totalMoves));
    // Durable before the participant is told the game is over.
    logs_.sync();
    endRunRecord("game ended");
    platform_.showMessage(texts_.msgGameEnded);
    logs_.close();
    finishRunRecord(RunRecordWriter::kGameEndWait);
    requestTerminate();
}

void Game::layOutHand(const rules::Deal& deal) {
    hand_ = rules::dealtHand(deal.positionOfCard, deal.opener, rules_);
    goalCard_ = deal.goalCard;
    table_.setChecked(hand_.turn == Role::Ck ? Ctl::CkTurnIndicator : Ctl::NkTurnIndicator, true);
    table_.setPos(Ctl::DeckCard, placeX_[deckPosition], placeY_[deckPosition]);
    for (int card = 0; card < kCards; ++card) {
        table_.setPos(cardImage(card), placeX(positionOf(card)), placeY(positionOf(card)));
        setPictureByRule(card);
    }
    if (rules_.goalShown) table_.setPicture(Ctl::DeckCard, facePicture(goalCard_));
    showDragModes();
    coverCards();
}

}  // namespace qbx
