// Fitting the table to the screen, once, at the first showing: every place
// follows from one anchor computed from the screen size and parX, parY.

#include <cmath>

#include "core/game/Game.h"

namespace qbx {

namespace {

// Far-off parX or parY put the table off the screen, as asked; the anchor is
// held within a range where no coordinate can overflow.
int32_t anchor(int screenExtent, int32_t shift) {
    double a = std::trunc(screenExtent / 2.0 - shift);
    if (a > 1e9) a = 1e9;
    if (a < -1e9) a = -1e9;
    return static_cast<int32_t>(a);
}

}  // namespace

void Game::onFirstShow() {
    if (firstShow_) fitTableToScreen();
    firstShow_ = false;
}

void Game::fitTableToScreen() {
    const Size screen = platform_.screenSize();
    const int32_t A = anchor(screen.width, parameters_.parX);
    const int32_t B = anchor(screen.height, parameters_.parY);
    const int32_t dx[7] = {0, 24, 152, 280, 312, 152, 152};
    const int32_t dy[7] = {0, 144, 144, 144, 0, 0, -184};
    for (int k = 0; k < 7; ++k) {
        placeX_[k] = A + dx[k];
        placeY_[k] = B + dy[k];
    }
    const Table& t = table_;
    auto place = [&](Ctl c, int32_t left, int32_t top) { table_.setPos(c, left, top); };
    place(Ctl::CkHandFrame, placeX_[0] - 8, placeY_[0] - 8);
    place(Ctl::TargetFrame, placeX_[5] - 8, placeY_[5] - 8);
    place(Ctl::NkHandFrame, placeX_[4] - 8, placeY_[4] - 8);
    place(Ctl::DownColourFrame, placeX_[1] - 8, placeY_[1] - 8);
    place(Ctl::UpFrame, placeX_[2] - 8, placeY_[2] - 8);
    place(Ctl::DownNumberFrame, placeX_[3] - 8, placeY_[3] - 8);
    place(Ctl::PassButton, t[Ctl::DownNumberFrame].left + 208, t[Ctl::DownNumberFrame].top + 56);
    place(Ctl::HelpButton, t[Ctl::DownNumberFrame].left + 208, t[Ctl::PassButton].top - 56);
    place(Ctl::CkCaption, t[Ctl::CkHandFrame].left + 22, t[Ctl::CkHandFrame].top - 26);
    place(Ctl::TargetCaption, t[Ctl::TargetFrame].left + 22, t[Ctl::TargetFrame].top - 26);
    place(Ctl::NkCaption, t[Ctl::NkHandFrame].left + 22, t[Ctl::NkHandFrame].top - 26);
    place(Ctl::TurnBox, t[Ctl::NkHandFrame].left + 176, t[Ctl::NkHandFrame].top - 152);
    for (Ctl img : {Ctl::Card2H, Ctl::Card3H, Ctl::Card4H, Ctl::Card2C, Ctl::Card3C, Ctl::Card4C, Ctl::DeckCard})
        place(img, placeX_[deckPosition], placeY_[deckPosition]);
    place(Ctl::SecondHelpButton, t[Ctl::CkHandFrame].left - 216, t[Ctl::CkHandFrame].top + 8);
    place(Ctl::NavyBar, t[Ctl::CkHandFrame].left - 264, t[Ctl::CkHandFrame].top + 102);
    place(Ctl::MoveCounterBox, t[Ctl::NavyBar].left, t[Ctl::HelpButton].top);
    place(Ctl::MoveCounterTitle, t[Ctl::MoveCounterBox].left + 40, t[Ctl::MoveCounterBox].top + 5);
    place(Ctl::MoveCounter, t[Ctl::MoveCounterBox].left + 74, t[Ctl::MoveCounterBox].top + 25);
    place(Ctl::RedBar, t[Ctl::CkHandFrame].left - 264, t[Ctl::CkHandFrame].top + 184);
    place(Ctl::HandCounterBox, t[Ctl::RedBar].left, t[Ctl::PassButton].top);
    place(Ctl::HandCounterTitle, t[Ctl::HandCounterBox].left + 35, t[Ctl::HandCounterBox].top + 5);
    place(Ctl::HandCounter, t[Ctl::HandCounterBox].left + 74, t[Ctl::HandCounterBox].top + 25);
    place(Ctl::CkTurnIndicator, t[Ctl::TurnBox].left + 8, t[Ctl::TurnBox].top + 8);
    place(Ctl::NkTurnIndicator, t[Ctl::TurnBox].left + 8, t[Ctl::TurnBox].top + 32);
    place(Ctl::TurnTitle, t[Ctl::TurnBox].left, t[Ctl::TurnBox].top - 16);
    place(Ctl::MessagesText, t[Ctl::CkHandFrame].left - 248, t[Ctl::CkHandFrame].top - 156);
    place(Ctl::MessagesTitle, t[Ctl::MessagesText].left, t[Ctl::MessagesText].top - 16);
    place(Ctl::RulesText, t[Ctl::MessagesText].left, t[Ctl::MessagesText].top + 235);
    place(Ctl::RulesTitle, t[Ctl::RulesText].left, t[Ctl::RulesText].top - 30);
    place(Ctl::Background, 0, 0);
    const Size window = platform_.windowSize();
    table_.setSize(Ctl::Background, window.width - 20, window.height - 40);
    table_.lowerToBottom(Ctl::Background);
}

}  // namespace qbx
