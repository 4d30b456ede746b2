// Fitting the table to the screen, once, at the first showing: every place
// follows from one anchor computed from the screen size and parX, parY.

#include <cmath>

#include "table/engine/Game.h"

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

void Game::FormShow() {
    if (firstShow) CentraSchermo();
    firstShow = false;
}

void Game::CentraSchermo() {
    const Size screen = platform_.screenSize();
    const int32_t A = anchor(screen.width, params.parX);
    const int32_t B = anchor(screen.height, params.parY);
    const int32_t dx[7] = {0, 24, 152, 280, 312, 152, 152};
    const int32_t dy[7] = {0, 144, 144, 144, 0, 0, -184};
    for (int k = 0; k < 7; ++k) {
        coordX[k] = A + dx[k];
        coordY[k] = B + dy[k];
    }
    const Table& t = table_;
    auto place = [&](Ctl c, int32_t left, int32_t top) { table_.setPos(c, left, top); };
    place(Ctl::Shape2, coordX[0] - 8, coordY[0] - 8);
    place(Ctl::Shape3, coordX[5] - 8, coordY[5] - 8);
    place(Ctl::Shape1, coordX[4] - 8, coordY[4] - 8);
    place(Ctl::Shape6, coordX[1] - 8, coordY[1] - 8);
    place(Ctl::Shape4, coordX[2] - 8, coordY[2] - 8);
    place(Ctl::Shape5, coordX[3] - 8, coordY[3] - 8);
    place(Ctl::Button1, t[Ctl::Shape5].left + 208, t[Ctl::Shape5].top + 56);
    place(Ctl::Button2, t[Ctl::Shape5].left + 208, t[Ctl::Button1].top - 56);
    place(Ctl::Label3, t[Ctl::Shape2].left + 22, t[Ctl::Shape2].top - 26);
    place(Ctl::Label6, t[Ctl::Shape3].left + 22, t[Ctl::Shape3].top - 26);
    place(Ctl::Label4, t[Ctl::Shape1].left + 22, t[Ctl::Shape1].top - 26);
    place(Ctl::Shape7, t[Ctl::Shape1].left + 176, t[Ctl::Shape1].top - 152);
    for (Ctl img : {Ctl::Image1, Ctl::Image2, Ctl::Image3, Ctl::Image4, Ctl::Image5, Ctl::Image6, Ctl::Image7})
        place(img, coordX[deckPosition], coordY[deckPosition]);
    place(Ctl::BitBtn1, t[Ctl::Shape2].left - 216, t[Ctl::Shape2].top + 8);
    place(Ctl::Shape8, t[Ctl::Shape2].left - 264, t[Ctl::Shape2].top + 102);
    place(Ctl::Shape9, t[Ctl::Shape8].left, t[Ctl::Button2].top);
    place(Ctl::Label8, t[Ctl::Shape9].left + 40, t[Ctl::Shape9].top + 5);
    place(Ctl::Label9, t[Ctl::Shape9].left + 74, t[Ctl::Shape9].top + 25);
    place(Ctl::Shape11, t[Ctl::Shape2].left - 264, t[Ctl::Shape2].top + 184);
    place(Ctl::Shape10, t[Ctl::Shape11].left, t[Ctl::Button1].top);
    place(Ctl::Label7, t[Ctl::Shape10].left + 35, t[Ctl::Shape10].top + 5);
    place(Ctl::Label10, t[Ctl::Shape10].left + 74, t[Ctl::Shape10].top + 25);
    place(Ctl::ckturn, t[Ctl::Shape7].left + 8, t[Ctl::Shape7].top + 8);
    place(Ctl::nkturn, t[Ctl::Shape7].left + 8, t[Ctl::Shape7].top + 32);
    place(Ctl::Label1, t[Ctl::Shape7].left, t[Ctl::Shape7].top - 16);
    place(Ctl::Memo1, t[Ctl::Shape2].left - 248, t[Ctl::Shape2].top - 156);
    place(Ctl::Label2, t[Ctl::Memo1].left, t[Ctl::Memo1].top - 16);
    place(Ctl::Memo2, t[Ctl::Memo1].left, t[Ctl::Memo1].top + 235);
    place(Ctl::Label5, t[Ctl::Memo2].left, t[Ctl::Memo2].top - 30);
    place(Ctl::Image9, 0, 0);
    const Size window = platform_.windowSize();
    table_.setSize(Ctl::Image9, window.width - 20, window.height - 40);
    table_.lowerToBottom(Ctl::Image9);
}

}  // namespace qbx
