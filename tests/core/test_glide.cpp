// A card gliding across the table: 20 pixels along its longer direction per
// tick, positions truncated toward zero, set exactly at the end, and the
// window shut while it moves.

#include <gtest/gtest.h>

#include <utility>

#include "support/TablePlay.h"

using namespace qbx;
using namespace qbx::test;

namespace {

using Points = std::vector<std::pair<int, int>>;

class Glide : public TablePlay {
protected:
    void SetUp() override { start({"2H 3C 4H 2C 3H 4C 3H ck"}); }

    // Places the card, starts its glide and collects where each tick puts it.
    Points glide(Ctl card, int fromX, int fromY, int toX, int toY) {
        s.game.table().setPos(card, fromX, fromY);
        s.game.startGlide(card, toX, toY);
        EXPECT_FALSE(s.game.table().formEnabled());
        EXPECT_TRUE(s.game.timerRunning(TimerId::Glide));
        Points ticks;
        for (int i = 0; i < 100 && s.game.timerRunning(TimerId::Glide); ++i) {
            s.game.onTimer(TimerId::Glide);
            ticks.emplace_back(ctl(card).left, ctl(card).top);
        }
        return ticks;
    }
};

TEST_F(Glide, DiagonalGlideLeftAndUp) {
    EXPECT_EQ(glide(Ctl::Card3H, 230, 350, 100, 300),
              (Points{{210, 342}, {190, 334}, {170, 326}, {150, 319}, {130, 311}, {110, 303}, {100, 300}}));
    EXPECT_DOUBLE_EQ(s.game.glide().stepX, 20.0);
    EXPECT_NEAR(s.game.glide().stepY, 7.6923, 1e-4);
    EXPECT_TRUE(s.game.table().formEnabled());
}

TEST_F(Glide, DiagonalGlideRightAndDown) {
    EXPECT_EQ(glide(Ctl::Card3H, 100, 300, 230, 350),
              (Points{{120, 307}, {140, 315}, {160, 323}, {180, 330}, {200, 338}, {220, 346}, {230, 350}}));
}

TEST_F(Glide, ZeroDistanceTakesOneTick) {
    EXPECT_EQ(glide(Ctl::Card2C, 150, 150, 150, 150), (Points{{150, 150}}));
    EXPECT_FALSE(s.game.timerRunning(TimerId::Glide));
    EXPECT_TRUE(s.game.table().formEnabled());
}

TEST_F(Glide, StraightGlidesMoveOnOneAxisOnly) {
    EXPECT_EQ(glide(Ctl::Card2H, 100, 300, 160, 300), (Points{{120, 300}, {140, 300}, {160, 300}}));
    EXPECT_DOUBLE_EQ(s.game.glide().stepY, 0.0);
    EXPECT_EQ(glide(Ctl::Card2H, 100, 300, 100, 245), (Points{{100, 280}, {100, 260}, {100, 245}}));
    EXPECT_DOUBLE_EQ(s.game.glide().stepX, 0.0);
}

TEST_F(Glide, EqualSidesMoveTwentyOnBoth) {
    EXPECT_EQ(glide(Ctl::Card4H, 200, 200, 140, 140), (Points{{180, 180}, {160, 160}, {140, 140}}));
}

TEST_F(Glide, ThirtyByTenArrivesOnTheSecondTick) {
    EXPECT_EQ(glide(Ctl::Card4H, 130, 310, 100, 300), (Points{{110, 303}, {100, 300}}));
}

TEST_F(Glide, NegativePlacesAreTruncatedTowardZero) {
    EXPECT_EQ(glide(Ctl::Card3C, 10, 0, -70, -10), (Points{{-10, -2}, {-30, -5}, {-50, -7}, {-70, -10}}));
}

TEST_F(Glide, TheWindowOpensAtTheEndOnlyWhileAHandIsInPlay) {
    for (int i = 0; i < 4; ++i) s.pass();  // four passes end the hand
    ASSERT_FALSE(s.game.progress().handInPlay);
    glide(Ctl::Card2H, 100, 300, 160, 300);
    EXPECT_EQ(ctl(Ctl::Card2H).left, 160);
    EXPECT_FALSE(s.game.table().formEnabled());
}

TEST_F(Glide, StartingAGlideClearsMarksAndShowsTheTurn) {
    s.game.table().setPen(Ctl::TargetFrame, kAqua);
    s.game.table().setPen(Ctl::NkHandFrame, kAqua);
    s.game.startGlide(Ctl::Card2H, 0, 0);
    EXPECT_EQ(frames(), turnFrames("ck"));
}

TEST_F(Glide, DuringTheDealEveryFrameStaysGrey) {
    // The next hand's deal: its glides start while the deal timer runs.
    s.pass();
    s.pass();
    s.pass();
    s.pass();  // four passes end the hand; the turn is the ColorKeeper's
    ASSERT_FALSE(s.game.progress().handInPlay);
    s.runUntil([&] { return s.game.progress().dealStep == 2; });
    ASSERT_TRUE(s.game.timerRunning(TimerId::DealStep));
    EXPECT_TRUE(s.game.timerRunning(TimerId::Glide));
    EXPECT_EQ(frames(), std::vector<Rgb>(6, kGrey));
}

TEST_F(Glide, ASecondGlideReplacesTheFirst) {
    s.game.table().setPos(Ctl::Card2H, 230, 350);
    s.game.startGlide(Ctl::Card2H, 100, 300);
    s.game.onTimer(TimerId::Glide);
    s.game.onTimer(TimerId::Glide);
    EXPECT_EQ(std::make_pair(ctl(Ctl::Card2H).left, ctl(Ctl::Card2H).top), std::make_pair(190, 334));
    s.game.table().setPos(Ctl::Card3H, 0, 0);
    s.game.startGlide(Ctl::Card3H, 40, 0);
    EXPECT_EQ(s.game.glide().card, Ctl::Card3H);
    for (int i = 0; i < 10 && s.game.timerRunning(TimerId::Glide); ++i) s.game.onTimer(TimerId::Glide);
    EXPECT_FALSE(s.game.timerRunning(TimerId::Glide));
    EXPECT_EQ(std::make_pair(ctl(Ctl::Card3H).left, ctl(Ctl::Card3H).top), std::make_pair(40, 0));
    // The first card stays where its last step left it.
    EXPECT_EQ(std::make_pair(ctl(Ctl::Card2H).left, ctl(Ctl::Card2H).top), std::make_pair(190, 334));
}

TEST_F(Glide, TicksComeEveryFifteenMilliseconds) {
    s.game.table().setPos(Ctl::Card2H, 0, 0);
    const long long t0 = s.clock.ms();
    s.game.startGlide(Ctl::Card2H, 100, 0);
    EXPECT_EQ(s.platform.timers[0].interval, 15);
    s.runUntil([&] { return !s.game.timerRunning(TimerId::Glide); });
    EXPECT_EQ(s.clock.ms() - t0, 5 * 15);  // 100 pixels: five ticks
    EXPECT_EQ(ctl(Ctl::Card2H).left, 100);
}

}  // namespace
