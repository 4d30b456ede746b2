// Which cards a participant may see, and how the turn moves between the two
// roles after swaps and passes, with what each role may then pick up.

#include <gtest/gtest.h>

#include "support/TablePlay.h"

using namespace qbx;
using namespace qbx::test;

namespace {

// c 2H, ck 3C, up 4H, t 2C, n 3H, nk 4C; goal 3H; the ColorKeeper opens.
const char* kHand = "2H 3C 4H 2C 3H 4C 3H ck";
const std::string kCkLook = "36000.0:36000.0:pL::ColorKeeper looked at hand card";
const std::string kNkLook = "36000.0:36000.0:pL::NumberKeeper looked at hand card";

class Looking : public TablePlay {
protected:
    void startAt(const Params& p) {
        start({kHand}, p);
        s.clock.set("10:00:00.000");
    }
};

class HiddenHandCards : public Looking, public ::testing::WithParamInterface<const char*> {};

TEST_P(HiddenHandCards, RightPressShowsOnlyTheOwnHandCardAndReleaseLogsTheLook) {
    startAt({{"ViewCkNk", "false"}, {"ViewCard", GetParam()}});
    EXPECT_EQ(pictureAt(colorCardView), Picture::Back);
    EXPECT_EQ(pictureAt(numberCardView), Picture::Back);

    pressOn(colorCardView, MouseButton::Right);
    EXPECT_EQ(pictureAt(colorCardView), faceAt(colorCardView));
    EXPECT_FALSE(s.game.dragging());
    releaseOn(colorCardView, MouseButton::Right);
    EXPECT_EQ(pictureAt(colorCardView), Picture::Back);
    EXPECT_EQ(newCk(), std::vector<std::string>{kCkLook});
    EXPECT_TRUE(newNk().empty());

    mark();
    pressOn(numberCardView, MouseButton::Right);
    EXPECT_EQ(pictureAt(numberCardView), Picture::Back);
    releaseOn(numberCardView, MouseButton::Right);
    EXPECT_TRUE(newCk().empty());
    EXPECT_TRUE(newNk().empty());
    EXPECT_EQ(turnOf(s.game), "ck");
}

INSTANTIATE_TEST_SUITE_P(ViewCard, HiddenHandCards, ::testing::Values("NONE", "MIX", "OTHER"));

TEST_F(Looking, UnderAllEitherHandCardShowsButOnlyTheOwnLookIsLogged) {
    startAt({{"ViewCkNk", "FALSE"}, {"ViewCard", "all"}});
    pressOn(numberCardView, MouseButton::Right);
    EXPECT_EQ(pictureAt(numberCardView), faceAt(numberCardView));
    releaseOn(numberCardView, MouseButton::Right);
    EXPECT_EQ(pictureAt(numberCardView), Picture::Back);
    EXPECT_TRUE(newCk().empty());
    EXPECT_TRUE(newNk().empty());

    pressOn(colorCardView, MouseButton::Right);
    EXPECT_EQ(pictureAt(colorCardView), faceAt(colorCardView));
    releaseOn(colorCardView, MouseButton::Right);
    EXPECT_EQ(newCk(), std::vector<std::string>{kCkLook});
}

TEST_F(Looking, FaceDownCardsNeverShowAndOpenCardsAlwaysDo) {
    startAt({{"ViewCkNk", "FALSE"}, {"ViewCard", "ALL"}});
    for (uint8_t p : {downColorCardView, downNumberCardView}) {
        pressOn(p, MouseButton::Right);
        EXPECT_EQ(pictureAt(p), Picture::Back) << int(p);
        releaseOn(p, MouseButton::Right);
        EXPECT_EQ(pictureAt(p), Picture::Back) << int(p);
    }
    for (uint8_t p : {upCardView, targetCardView}) {
        pressOn(p, MouseButton::Right);
        releaseOn(p, MouseButton::Right);
        EXPECT_EQ(pictureAt(p), faceAt(p)) << int(p);
    }
    // Looks at table cards are never recorded.
    EXPECT_TRUE(newCk().empty());
    EXPECT_TRUE(newNk().empty());
}

class OpenHandCards : public Looking, public ::testing::WithParamInterface<const char*> {};

TEST_P(OpenHandCards, StayOpenThroughPressAndRelease) {
    startAt({{"ViewCkNk", GetParam()}});
    EXPECT_EQ(pictureAt(colorCardView), Picture::Face3C);
    EXPECT_EQ(pictureAt(numberCardView), Picture::Face4C);
    s.look(colorCardView);
    s.look(numberCardView);
    EXPECT_EQ(pictureAt(colorCardView), Picture::Face3C);
    EXPECT_EQ(pictureAt(numberCardView), Picture::Face4C);
}

INSTANTIATE_TEST_SUITE_P(ViewCkNk, OpenHandCards, ::testing::Values("TRUE", ""));

TEST_F(Looking, GoalCardShowsAboveTheTableOnlyWhenAsked) {
    startAt({{"ViewTarget", "true"}});
    EXPECT_TRUE(ctl(Ctl::DeckCard).visible);
    EXPECT_EQ(ctl(Ctl::DeckCard).picture, Picture::Face3H);
    EXPECT_EQ(ctl(Ctl::DeckCard).left, s.game.placeX(deckPosition));
    EXPECT_EQ(ctl(Ctl::DeckCard).top, s.game.placeY(deckPosition));
}

class HiddenGoal : public Looking, public ::testing::WithParamInterface<const char*> {};

TEST_P(HiddenGoal, GoalCardIsNotShownAtAll) {
    startAt({{"ViewTarget", GetParam()}});
    EXPECT_FALSE(ctl(Ctl::DeckCard).visible);
    // Hidden, it is no place to drop on either.
    const Control& img7 = ctl(Ctl::DeckCard);
    EXPECT_NE(s.game.table().controlAt(img7.left + 30, img7.top + 30), Ctl::DeckCard);
}

INSTANTIATE_TEST_SUITE_P(ViewTarget, HiddenGoal, ::testing::Values("FALSE", ""));

TEST_F(Looking, ASwapCoversTheCardThatGoesFaceDownAndShowsTheOneThatComesUp) {
    startAt({{"ViewCkNk", "TRUE"}, {"ViewCard", "OTHER"}});
    s.drag(colorCardView, downColorCardView);  // 3C down, 2H into the hand
    EXPECT_EQ(s.cardTextAt(downColorCardView), "3C");
    EXPECT_EQ(pictureAt(downColorCardView), Picture::Back);
    EXPECT_EQ(pictureAt(colorCardView), Picture::Face2H);
    glideOut();
    s.drag(upCardView, colorCardView);  // 4H into the hand, 2H face up
    EXPECT_EQ(pictureAt(upCardView), Picture::Face2H);
    EXPECT_EQ(pictureAt(colorCardView), Picture::Face4H);
}

// ---- Turns -----------------------------------------------------------------

class Turns : public TablePlay {};

class ImmediateHandOver : public Turns, public ::testing::WithParamInterface<const char*> {};

TEST_P(ImmediateHandOver, TheOtherRoleHasTheTurnRightAfterTheSwap) {
    start({kHand}, {{"ViewCard", GetParam()}});
    s.drag(colorCardView, upCardView);
    EXPECT_EQ(turnOf(s.game), "nk");
    EXPECT_FALSE(s.game.hand().handOverPending);
    EXPECT_TRUE(ctl(Ctl::NkTurnIndicator).checked);
    EXPECT_FALSE(ctl(Ctl::CkTurnIndicator).checked);
    EXPECT_EQ(frames(), turnFrames("nk"));
    EXPECT_EQ(modeAt(colorCardView), DragMode::Manual);
    for (uint8_t p : {downColorCardView, upCardView, downNumberCardView, targetCardView, numberCardView})
        EXPECT_EQ(modeAt(p), DragMode::Automatic) << int(p);
    glideOut();
    s.drag(numberCardView, downNumberCardView);
    EXPECT_EQ(turnOf(s.game), "ck");
    EXPECT_TRUE(ctl(Ctl::CkTurnIndicator).checked);
    EXPECT_EQ(modeAt(numberCardView), DragMode::Manual);
    EXPECT_EQ(modeAt(colorCardView), DragMode::Automatic);
    EXPECT_EQ(s.game.hand().counters.ckMoves, 1);
    EXPECT_EQ(s.game.hand().counters.nkMoves, 1);
}

INSTANTIATE_TEST_SUITE_P(ViewCard, ImmediateHandOver, ::testing::Values("NONE", "ALL"));

class LockedHandCards : public Turns, public ::testing::WithParamInterface<const char*> {};

TEST_P(LockedHandCards, AreNeverDraggableAndSwapsGoOntoThem) {
    start({kHand}, {{"Drag CkNk", GetParam()}});
    auto bothLocked = [&] {
        EXPECT_EQ(modeAt(colorCardView), DragMode::Manual);
        EXPECT_EQ(modeAt(numberCardView), DragMode::Manual);
    };
    bothLocked();
    // Pressing the own hand card starts nothing.
    s.drag(colorCardView, upCardView);
    EXPECT_FALSE(s.game.dragging());
    EXPECT_EQ(s.game.hand().counters.handMoves, 0);
    EXPECT_EQ(s.cardTextAt(colorCardView), "3C");
    // The face-up card dragged onto the hand card makes the swap.
    s.drag(upCardView, colorCardView);
    EXPECT_EQ(s.cardTextAt(colorCardView), "4H");
    EXPECT_EQ(turnOf(s.game), "nk");
    bothLocked();
    glideOut();
    s.pass();
    EXPECT_EQ(turnOf(s.game), "ck");
    bothLocked();
}

INSTANTIATE_TEST_SUITE_P(DragCkNk, LockedHandCards, ::testing::Values("FALSE", "", "yes"));

TEST_F(Turns, MixKeepsTheTurnUntilTheNextRoleActs) {
    start({kHand}, {{"ViewCard", "MIX"}, {"ViewCkNk", "FALSE"}});
    s.drag(colorCardView, upCardView);
    glideOut();
    EXPECT_EQ(turnOf(s.game), "ck");
    EXPECT_TRUE(s.game.hand().handOverPending);
    EXPECT_TRUE(ctl(Ctl::CkTurnIndicator).checked);
    EXPECT_EQ(modeAt(colorCardView), DragMode::Manual);
    EXPECT_EQ(modeAt(numberCardView), DragMode::Manual);
    // Handling its own card again keeps the turn.
    s.look(colorCardView);
    EXPECT_EQ(turnOf(s.game), "ck");
    EXPECT_TRUE(s.game.hand().handOverPending);
    // A right press on the NumberKeeper's card hands the turn over first,
    // then shows the card; its release is the NumberKeeper's look.
    mark();
    pressOn(numberCardView, MouseButton::Right);
    EXPECT_EQ(turnOf(s.game), "nk");
    EXPECT_FALSE(s.game.hand().handOverPending);
    EXPECT_TRUE(ctl(Ctl::NkTurnIndicator).checked);
    EXPECT_EQ(frames(), turnFrames("nk"));
    EXPECT_EQ(pictureAt(numberCardView), faceAt(numberCardView));
    s.clock.set("10:00:00.000");
    releaseOn(numberCardView, MouseButton::Right);
    EXPECT_EQ(newNk(), std::vector<std::string>{kNkLook});
    EXPECT_TRUE(newCk().empty());
    EXPECT_EQ(modeAt(numberCardView), DragMode::Automatic);
    EXPECT_EQ(modeAt(colorCardView), DragMode::Manual);
}

TEST_F(Turns, MixHandsOverOnARightPressOnAnyTableCard) {
    start({kHand}, {{"ViewCard", "MIX"}});
    s.drag(colorCardView, upCardView);
    glideOut();
    s.look(targetCardView);
    EXPECT_EQ(turnOf(s.game), "nk");
    // With no hand-over pending, a further look changes nothing.
    s.look(upCardView);
    EXPECT_EQ(turnOf(s.game), "nk");
}

TEST_F(Turns, MixPassWhilePendingBelongsToTheReceivingRoleAndHandsBack) {
    start({kHand}, {{"ViewCard", "MIX"}});
    s.drag(colorCardView, upCardView);
    glideOut();
    mark();
    s.clock.set("10:00:02.005");
    s.pass();
    EXPECT_EQ(newNk(), std::vector<std::string>{"36002.5:36002.5:PP::Numberkeeper passed turn:;;;"});
    EXPECT_EQ(newCk(), std::vector<std::string>{"36002.5:36002.5:RP::Remote pass received:;;;"});
    EXPECT_EQ(s.game.hand().counters.nkMoves, 1);
    EXPECT_EQ(s.game.hand().counters.ckMoves, 1);
    EXPECT_EQ(s.game.hand().counters.consecutivePasses, 1);
    EXPECT_EQ(s.game.hand().counters.handMoves, 2);
    EXPECT_EQ(turnOf(s.game), "ck");
    EXPECT_FALSE(s.game.hand().handOverPending);
    EXPECT_TRUE(ctl(Ctl::CkTurnIndicator).checked);
    EXPECT_EQ(ctl(Ctl::MoveCounter).caption, "2");
}

TEST_F(Turns, MixDragStartIsLoggedForTheSwapperThenTheTurnPasses) {
    start({kHand}, {{"ViewCard", "MIX"}});
    s.drag(colorCardView, upCardView);  // ck 3C <-> up 4H
    glideOut();
    mark();
    s.clock.set("10:00:03.030");
    s.drag(downColorCardView, numberCardView);  // 2H onto the NumberKeeper's 4C
    EXPECT_EQ(newCk(), (std::vector<std::string>{
                           "36003.30:36003.30:pR:2H:downColorCardView:ColorKeeperRemoved card",
                           "36003.30:36003.30:RM:2H;downColorCardView;4C;numberCardView:Remote move card"}));
    EXPECT_EQ(newNk(), std::vector<std::string>{
                           "36003.30:36003.30:PM:2H;downColorCardView;4C;numberCardView:Number Keeper moved card"});
    EXPECT_EQ(s.game.hand().counters.nkMoves, 1);
    EXPECT_EQ(turnOf(s.game), "nk");
    EXPECT_TRUE(s.game.hand().handOverPending);
}

TEST_F(Turns, OtherViewCardValuesNeverHandOverOnSwaps) {
    start({kHand}, {{"ViewCard", "SOMETIMES"}});
    s.drag(colorCardView, upCardView);
    glideOut();
    EXPECT_EQ(turnOf(s.game), "ck");
    EXPECT_FALSE(s.game.hand().handOverPending);
    // The hand card is locked after the swap; a table card onto it still swaps.
    EXPECT_EQ(modeAt(colorCardView), DragMode::Manual);
    s.drag(downNumberCardView, colorCardView);
    glideOut();
    EXPECT_EQ(turnOf(s.game), "ck");
    EXPECT_EQ(s.game.hand().counters.ckMoves, 2);
    EXPECT_EQ(frames(), turnFrames("ck"));
    s.look(numberCardView);
    EXPECT_EQ(turnOf(s.game), "ck");
    s.pass();
    EXPECT_EQ(turnOf(s.game), "nk");
    EXPECT_EQ(modeAt(numberCardView), DragMode::Automatic);
    EXPECT_EQ(modeAt(colorCardView), DragMode::Manual);
}

TEST_F(Turns, PassesAlternateAndEachIsRecordedForBothRoles) {
    start({kHand});
    s.clock.set("10:00:04.100");
    s.pass();
    s.clock.set("10:00:04.200");
    s.pass();
    EXPECT_EQ(newCk(), (std::vector<std::string>{"36004.100:36004.100:PP::Colorkeeper passed turn:;;;",
                                                 "36004.200:36004.200:RP::Remote pass received:;;;"}));
    EXPECT_EQ(newNk(), (std::vector<std::string>{"36004.100:36004.100:RP::Remote pass received:;;;",
                                                 "36004.200:36004.200:PP::Numberkeeper passed turn:;;;"}));
    EXPECT_EQ(s.game.hand().counters.ckMoves, 1);
    EXPECT_EQ(s.game.hand().counters.nkMoves, 1);
    EXPECT_EQ(turnOf(s.game), "ck");
    EXPECT_EQ(frames(), turnFrames("ck"));
    EXPECT_EQ(ctl(Ctl::MoveCounter).caption, "2");
}

TEST_F(Turns, ASwapBetweenPassesStartsTheRunOfPassesAgain) {
    start({kHand});
    for (int i = 0; i < 3; ++i) s.pass();
    EXPECT_EQ(s.game.hand().counters.consecutivePasses, 3);
    s.drag(numberCardView, upCardView);  // the NumberKeeper's turn after three passes
    glideOut();
    EXPECT_EQ(s.game.hand().counters.consecutivePasses, 0);
    for (int i = 0; i < 3; ++i) s.pass();
    EXPECT_TRUE(s.game.progress().handInPlay);
    EXPECT_TRUE(s.platform.messages.empty());
    s.pass();
    EXPECT_FALSE(s.game.progress().handInPlay);
    EXPECT_EQ(s.platform.messages, std::vector<std::string>{"Four passes: the hand is over"});
}

}  // namespace
