// Picking cards up with the mouse and letting them go: where a card is held,
// what it may be dropped on, the hint painted on the frames while it moves,
// and the card's way home after anything but an accepted swap.

#include <gtest/gtest.h>

#include "support/TablePlay.h"

using namespace qbx;
using namespace qbx::test;

namespace {

// c 2H, ck 3C, up 4H, t 2C, n 3H, nk 4C; goal 3H. The ColorKeeper's 3C may
// go onto the Target 2C (both clubs).
const char* kHand = "2H 3C 4H 2C 3H 4C 3H ck";

class DragDrop : public TablePlay {
protected:
    void SetUp() override { start({kHand}); }

    std::pair<int, int> centreOf(Ctl c) const {
        return {ctl(c).left + ctl(c).width / 2, ctl(c).top + ctl(c).height / 2};
    }
    std::pair<int, int> at(Ctl c) const { return {ctl(c).left, ctl(c).top}; }
    std::pair<int, int> home(uint8_t position) const { return {s.game.placeX(position), s.game.placeY(position)}; }
    // Drags the card at a position, drops it at a point, and lets it glide.
    void dropAt(uint8_t from, int x, int y) {
        s.dragTo(from, x, y);
        EXPECT_FALSE(s.game.dragging());
        glideOut();
    }
    // After a drop that was no swap: the card is home, nothing was counted,
    // and only the pick-up was recorded.
    void expectCameHome(Ctl card, uint8_t position) {
        EXPECT_EQ(at(card), home(position));
        EXPECT_TRUE(ctl(card).enabled);
        EXPECT_EQ(imageAt(position), card);
        EXPECT_EQ(s.game.hand().counters.handMoves, 0);
        EXPECT_EQ(s.game.hand().counters.consecutivePasses, 0);
        EXPECT_EQ(s.game.progress().totalMoves, 0);
        EXPECT_EQ(turnOf(s.game), "ck");
        EXPECT_TRUE(s.game.table().formEnabled());
        const auto lines = newCk();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(":pR:"), std::string::npos);
        EXPECT_TRUE(newNk().empty());
        mark();
    }
};

TEST_F(DragDrop, PressAndReleaseInPlaceDropsOnTheOwnFrameAndGlidesBack) {
    const Ctl card = imageAt(targetCardView);
    const int x = s.centreX(targetCardView), y = s.centreY(targetCardView);
    s.clock.set("10:00:01.001");
    s.press(x, y);
    EXPECT_TRUE(s.game.dragging());
    EXPECT_EQ(at(card), std::make_pair(x - 25, y - 40));
    EXPECT_FALSE(ctl(card).enabled);
    EXPECT_EQ(s.game.table().stacking().back(), card);
    EXPECT_EQ(newCk(), std::vector<std::string>{"36001.1:36001.1:pR:2C:targetCardView:ColorKeeperRemoved card"});
    EXPECT_EQ(s.game.table().controlAt(x, y), Ctl::TargetFrame);
    s.release(x, y);
    EXPECT_TRUE(ctl(card).enabled);
    EXPECT_TRUE(s.game.timerRunning(TimerId::Glide));
    EXPECT_FALSE(s.game.table().formEnabled());
    glideOut();
    expectCameHome(card, targetCardView);
}

TEST_F(DragDrop, ADropOnAFrameBandIsNoSwapEvenWhenTheSwapWouldBeLegal) {
    const Control& frame = ctl(Ctl::TargetFrame);
    const Ctl card = imageAt(colorCardView);
    const std::pair<int, int> bands[] = {
        {frame.left + 3, frame.top + 60},                 // 8 pixels on the left
        {frame.left + 40, frame.top + 3},                 // 8 pixels on the top
        {frame.left + frame.width - 3, frame.top + 60},   // 6 pixels on the right
        {frame.left + 40, frame.top + frame.height - 3},  // 6 pixels at the bottom
    };
    for (const auto& [x, y] : bands) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        ASSERT_EQ(s.game.table().controlAt(x, y), Ctl::TargetFrame);
        dropAt(colorCardView, x, y);
        expectCameHome(card, colorCardView);
        EXPECT_EQ(s.cardTextAt(targetCardView), "2C");
    }
    // The card itself, a pixel inside the band, takes the swap.
    dropAt(colorCardView, frame.left + 8, frame.top + 8);
    EXPECT_EQ(s.cardTextAt(targetCardView), "3C");
}

TEST_F(DragDrop, DropsOnButtonsLabelsAndTheBackgroundSendTheCardHome) {
    const Ctl card = imageAt(upCardView);
    const Control& box = ctl(Ctl::TurnBox);
    struct Spot {
        Ctl expected;
        std::pair<int, int> point;
    };
    const Spot spots[] = {
        {Ctl::PassButton, centreOf(Ctl::PassButton)},
        {Ctl::HelpButton, centreOf(Ctl::HelpButton)},
        {Ctl::CkCaption, centreOf(Ctl::CkCaption)},
        {Ctl::MoveCounter, centreOf(Ctl::MoveCounter)},
        {Ctl::MessagesText, centreOf(Ctl::MessagesText)},
        {Ctl::MoveCounterBox, {ctl(Ctl::MoveCounterBox).left + 150, ctl(Ctl::MoveCounterBox).top + 3}},
        {Ctl::Window, {3, 3}},
        // The disabled box of the turn indicators passes the drop beneath it.
        {Ctl::Window, {box.left + 2, box.top + 2}},
    };
    for (const Spot& spot : spots) {
        SCOPED_TRACE(ctl(spot.expected).name);
        ASSERT_EQ(s.game.table().controlAt(spot.point.first, spot.point.second), spot.expected);
        dropAt(upCardView, spot.point.first, spot.point.second);
        expectCameHome(card, upCardView);
    }
}

TEST_F(DragDrop, HiddenControlsAreNeverTargets) {
    const Ctl card = imageAt(upCardView);
    for (Ctl hidden : {Ctl::NavyBar, Ctl::RedBar, Ctl::RulesTitle, Ctl::RulesText, Ctl::SecondHelpButton}) {
        SCOPED_TRACE(ctl(hidden).name);
        ASSERT_FALSE(ctl(hidden).visible);
        const auto [x, y] = centreOf(hidden);
        EXPECT_NE(s.game.table().controlAt(x, y), hidden);
        dropAt(upCardView, x, y);
        expectCameHome(card, upCardView);
    }
}

TEST_F(DragDrop, TheHintStaysUntilAFrameOrAGlideRepaints) {
    const Ctl card = imageAt(colorCardView);
    pressOn(colorCardView, MouseButton::Left);
    EXPECT_EQ(frames(), turnFrames("ck"));
    const std::vector<Rgb> hint = {kGrey, kAqua, kAqua, kGrey, kGrey, kGrey};
    s.game.mouseMove(s.centreX(targetCardView), s.centreY(targetCardView));
    EXPECT_EQ(frames(), hint);
    const auto [lx, ly] = centreOf(Ctl::TargetCaption);
    ASSERT_EQ(s.game.table().controlAt(lx, ly), Ctl::TargetCaption);
    s.game.mouseMove(lx, ly);
    EXPECT_EQ(frames(), hint);
    EXPECT_EQ(at(card), std::make_pair(lx - 25, ly - 40));
    EXPECT_EQ(s.game.table().stacking().back(), card);
    s.game.mouseMove(3, 3);
    EXPECT_EQ(frames(), hint);
    EXPECT_EQ(at(card), std::make_pair(-22, -37));
    // An illegal card paints nothing and clears nothing.
    s.game.mouseMove(s.centreX(numberCardView), s.centreY(numberCardView));
    EXPECT_EQ(frames(), hint);
    // The NumberKeeper's frame restores every frame.
    s.game.mouseMove(ctl(Ctl::NkHandFrame).left + 2, ctl(Ctl::NkHandFrame).top + 50);
    EXPECT_EQ(frames(), turnFrames("ck"));
    // A table frame clears only the four table frames.
    s.game.mouseMove(s.centreX(targetCardView), s.centreY(targetCardView));
    EXPECT_EQ(frames(), hint);
    s.game.mouseMove(ctl(Ctl::UpFrame).left + 2, ctl(Ctl::UpFrame).top + 50);
    EXPECT_EQ(frames(), (std::vector<Rgb>{kGrey, kAqua, kGrey, kGrey, kGrey, kGrey}));
    // The glide home repaints the turn.
    s.release(3, 3);
    EXPECT_EQ(frames(), turnFrames("ck"));
}

TEST_F(DragDrop, TheHintAlsoShowsWhenATableCardIsDraggedOntoTheHandCard) {
    pressOn(downNumberCardView, MouseButton::Left);
    s.game.mouseMove(s.centreX(colorCardView), s.centreY(colorCardView));
    EXPECT_EQ(pen(Ctl::DownNumberFrame), kAqua);
    EXPECT_EQ(pen(Ctl::CkHandFrame), kAqua);
    EXPECT_EQ(pen(Ctl::TargetFrame), kGrey);
    s.release(s.centreX(colorCardView), s.centreY(colorCardView));
}

TEST_F(DragDrop, TheDraggedCardRisesAboveTheOtherPicturesButNotAboveButtons) {
    const Ctl card = imageAt(targetCardView);
    const auto& order = s.game.table().stacking();
    ASSERT_NE(order.back(), card);
    pressOn(targetCardView, MouseButton::Left);
    const auto [bx, by] = centreOf(Ctl::PassButton);
    s.game.mouseMove(bx, by);
    EXPECT_EQ(order.back(), card);
    EXPECT_EQ(at(card), std::make_pair(bx - 25, by - 40));
    EXPECT_EQ(s.game.table().controlAt(bx, by), Ctl::PassButton);
    s.release(bx, by);
    EXPECT_EQ(s.game.progress().totalMoves, 0);
}

TEST_F(DragDrop, AnAcceptedSwapActsAtOnceWhileTheOtherCardGlides) {
    const Ctl dragged = imageAt(colorCardView), other = imageAt(targetCardView);
    s.drag(colorCardView, targetCardView);
    EXPECT_EQ(at(dragged), home(targetCardView));
    EXPECT_TRUE(s.game.timerRunning(TimerId::Glide));
    EXPECT_EQ(turnOf(s.game), "nk");  // handed over before the glide ends
    EXPECT_EQ(s.game.glide().targetX, home(colorCardView).first);
    glideOut();
    EXPECT_EQ(at(other), home(colorCardView));
    EXPECT_TRUE(s.game.table().formEnabled());
}

TEST_F(DragDrop, CancellingADragSendsTheCardHomeAndFreesIt) {
    const Ctl card = imageAt(targetCardView);
    pressOn(targetCardView, MouseButton::Left);
    s.game.mouseMove(3, 3);
    s.game.cancelDrag();
    EXPECT_FALSE(s.game.dragging());
    EXPECT_TRUE(ctl(card).enabled);
    EXPECT_TRUE(s.game.timerRunning(TimerId::Glide));
    glideOut();
    expectCameHome(card, targetCardView);
}

TEST_F(DragDrop, NothingReactsWhileACardGlides) {
    s.drag(upCardView, downColorCardView);  // refused: glides home
    ASSERT_TRUE(s.game.timerRunning(TimerId::Glide));
    mark();
    pressOn(targetCardView, MouseButton::Left);
    EXPECT_FALSE(s.game.dragging());
    releaseOn(targetCardView, MouseButton::Left);
    s.look(colorCardView);
    s.pass();
    EXPECT_TRUE(newCk().empty());
    EXPECT_TRUE(newNk().empty());
    EXPECT_EQ(s.game.progress().totalMoves, 0);
    glideOut();
    s.pass();
    EXPECT_EQ(s.game.progress().totalMoves, 1);
}

class DealInput : public TablePlay {};

TEST_F(DealInput, NothingReactsWhileAHandIsDealt) {
    open({kHand});
    s.runUntil([&] { return s.game.progress().dealStep == 4; });
    ASSERT_FALSE(s.game.table().formEnabled());
    mark();
    const Control& c = ctl(Ctl::Card2H);
    s.press(c.left + 30, c.top + 30);
    EXPECT_FALSE(s.game.dragging());
    s.release(c.left + 30, c.top + 30);
    s.pass();
    EXPECT_TRUE(newCk().empty());
    EXPECT_EQ(s.game.hand().counters.consecutivePasses, 0);
}

class LockedCards : public TablePlay {};

TEST_F(LockedCards, ALeftClickOnALockedHandCardPeeksAtNothingButLogsTheLook) {
    start({kHand}, {{"Drag CkNk", "FALSE"}, {"ViewCkNk", "FALSE"}});
    for (MouseButton b : {MouseButton::Left, MouseButton::Middle}) {
        mark();
        s.clock.set("10:00:09.009");
        pressOn(colorCardView, b);
        EXPECT_FALSE(s.game.dragging());
        EXPECT_EQ(pictureAt(colorCardView), Picture::Back);
        EXPECT_TRUE(newCk().empty());
        releaseOn(colorCardView, b);
        EXPECT_EQ(pictureAt(colorCardView), Picture::Back);
        EXPECT_EQ(newCk(), std::vector<std::string>{"36009.9:36009.9:pL::ColorKeeper looked at hand card"});
    }
    // A right press shows it without starting a drag.
    pressOn(colorCardView, MouseButton::Right);
    EXPECT_FALSE(s.game.dragging());
    EXPECT_EQ(pictureAt(colorCardView), Picture::Face3C);
    releaseOn(colorCardView, MouseButton::Right);
    EXPECT_EQ(pictureAt(colorCardView), Picture::Back);
}

}  // namespace
