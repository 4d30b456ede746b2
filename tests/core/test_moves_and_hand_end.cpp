// Which swaps a role may make, what a swap leaves in the logs and on the
// table, and how a hand ends and is scored.

#include <gtest/gtest.h>

#include "support/TablePlay.h"

using namespace qbx;
using namespace qbx::test;

namespace {

// ---- Moves -----------------------------------------------------------------

struct MoveCase {
    const char* story;
    const char* line;
    uint8_t from, to;
    const char* record;  // the move record after the stamps, or nullptr when refused
};
void PrintTo(const MoveCase& m, std::ostream* os) { *os << m.story; }

// c 3C, ck 2H, up 2C, t 4H, n 4C, nk 3H: the ColorKeeper holds 2H, Target 4H.
const char* kCkSameColour = "3C 2H 2C 4H 4C 3H 3C ck";
// c 3C, ck 2H, up 4H, t 2C, n 4C, nk 3H: same number, other colour.
const char* kCkSameNumber = "3C 2H 4H 2C 4C 3H 3C ck";
// c 2H, ck 4H, up 2C, t 3H, n 4C, nk 3C: the NumberKeeper holds 3C, Target 3H.
const char* kNkSameNumber = "2H 4H 2C 3H 4C 3C 2C nk";
// c 2H, ck 4H, up 2C, t 4C, n 3H, nk 3C: same colour, other number.
const char* kNkSameColour = "2H 4H 2C 4C 3H 3C 2C nk";

const MoveCase kMoves[] = {
    {"ck hand onto Target of its colour", kCkSameColour, colorCardView, targetCardView,
     "PM:4H;targetCardView;2H;colorCardView:Color Keeper moved card"},
    {"Target of its colour onto ck hand", kCkSameColour, targetCardView, colorCardView,
     "PM:4H;targetCardView;2H;colorCardView:Color Keeper moved card"},
    {"ck hand onto face-up", kCkSameColour, colorCardView, upCardView,
     "PM:2C;upCardView;2H;colorCardView:Color Keeper moved card"},
    {"ck hand onto own face-down", kCkSameColour, colorCardView, downColorCardView,
     "PM:3C;downColorCardView;2H;colorCardView:Color Keeper moved card"},
    {"ck hand onto far face-down", kCkSameColour, colorCardView, downNumberCardView,
     "PM:4C;downNumberCardView;2H;colorCardView:Color Keeper moved card"},
    {"face-up onto ck hand", kCkSameColour, upCardView, colorCardView,
     "PM:2C;upCardView;2H;colorCardView:Color Keeper moved card"},
    {"own face-down onto ck hand", kCkSameColour, downColorCardView, colorCardView,
     "PM:3C;downColorCardView;2H;colorCardView:Color Keeper moved card"},
    {"far face-down onto ck hand", kCkSameColour, downNumberCardView, colorCardView,
     "PM:4C;downNumberCardView;2H;colorCardView:Color Keeper moved card"},
    {"ck hand onto Target of its number only", kCkSameNumber, colorCardView, targetCardView, nullptr},
    {"Target of its number only onto ck hand", kCkSameNumber, targetCardView, colorCardView, nullptr},
    {"face-up onto a face-down card", kCkSameColour, upCardView, downColorCardView, nullptr},
    {"face-down onto face-up", kCkSameColour, downNumberCardView, upCardView, nullptr},
    {"Target onto face-up", kCkSameColour, targetCardView, upCardView, nullptr},
    {"face-down onto Target", kCkSameColour, downColorCardView, targetCardView, nullptr},
    {"face-up onto the other role's hand", kCkSameColour, upCardView, numberCardView, nullptr},
    {"ck hand onto the other role's hand", kCkSameColour, colorCardView, numberCardView, nullptr},
    {"nk hand onto Target of its number", kNkSameNumber, numberCardView, targetCardView,
     "PM:3H;targetCardView;3C;numberCardView:Number Keeper moved card"},
    {"Target of its number onto nk hand", kNkSameNumber, targetCardView, numberCardView,
     "PM:3H;targetCardView;3C;numberCardView:Number Keeper moved card"},
    {"far face-down onto nk hand", kNkSameNumber, downColorCardView, numberCardView,
     "PM:2H;downColorCardView;3C;numberCardView:Number Keeper moved card"},
    {"nk hand onto Target of its colour only", kNkSameColour, numberCardView, targetCardView, nullptr},
    {"Target onto the other role's hand for nk", kNkSameNumber, targetCardView, colorCardView, nullptr},
};

class Moves : public TablePlay, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(Moves, AreJudgedForTheRoleInTurn) {
    const MoveCase& m = GetParam();
    SCOPED_TRACE(m.story);
    // ViewCard OTHER keeps the turn, so the frames show the mover's turn.
    start({m.line}, {{"ViewCard", "OTHER"}});
    const std::string role = turnOf(s.game);
    const bool ckMoves = role == "ck";
    std::string before[6];
    for (uint8_t p = 0; p < 6; ++p) before[p] = s.cardTextAt(p);
    const Ctl dragged = imageAt(m.from), other = imageAt(m.to);
    const int startLeft = ctl(dragged).left, startTop = ctl(dragged).top;
    const int otherLeft = ctl(other).left, otherTop = ctl(other).top;

    s.clock.set("10:00:07.070");
    s.drag(m.from, m.to);

    const std::string T = "36007.70:";
    const std::string pickUp = T + T + "pR:" + before[m.from] + ":" +
                               (m.from == colorCardView       ? "colorCardView"
                                : m.from == numberCardView    ? "numberCardView"
                                : m.from == targetCardView    ? "targetCardView"
                                : m.from == upCardView        ? "upCardView"
                                : m.from == downColorCardView ? "downColorCardView"
                                                              : "downNumberCardView") +
                               (ckMoves ? ":ColorKeeperRemoved card" : ":NumberKeeperRemoved card");
    const auto mover = ckMoves ? newCk() : newNk();
    const auto watcher = ckMoves ? newNk() : newCk();
    if (m.record) {
        EXPECT_EQ(mover, (std::vector<std::string>{pickUp, T + T + m.record}));
        std::string remote = m.record;
        remote.replace(0, 2, "RM");
        remote = remote.substr(0, remote.rfind(':')) + ":Remote move card";
        EXPECT_EQ(watcher, std::vector<std::string>{T + T + remote});
        EXPECT_EQ(s.cardTextAt(m.from), before[m.to]);
        EXPECT_EQ(s.cardTextAt(m.to), before[m.from]);
        EXPECT_EQ(s.game.hand().counters.handMoves, 1);
        EXPECT_EQ(s.game.hand().counters.ckMoves, ckMoves ? 1 : 0);
        EXPECT_EQ(s.game.hand().counters.nkMoves, ckMoves ? 0 : 1);
        EXPECT_EQ(s.game.progress().totalMoves, 1);
        EXPECT_EQ(ctl(Ctl::MoveCounter).caption, "1");
        // The dragged card stands in the other's place; the other glides off.
        EXPECT_EQ(ctl(dragged).left, otherLeft);
        EXPECT_EQ(ctl(dragged).top, otherTop);
        EXPECT_TRUE(ctl(dragged).enabled);
        EXPECT_TRUE(s.game.timerRunning(TimerId::Glide));
        EXPECT_EQ(s.game.glide().card, other);
        glideOut();
        EXPECT_EQ(ctl(other).left, startLeft);
        EXPECT_EQ(ctl(other).top, startTop);
        EXPECT_EQ(modeAt(colorCardView), DragMode::Manual);
        EXPECT_EQ(modeAt(numberCardView), DragMode::Manual);
    } else {
        EXPECT_EQ(mover, std::vector<std::string>{pickUp});
        EXPECT_TRUE(watcher.empty());
        for (uint8_t p = 0; p < 6; ++p) EXPECT_EQ(s.cardTextAt(p), before[p]);
        EXPECT_EQ(s.game.hand().counters.handMoves, 0);
        EXPECT_EQ(s.game.hand().counters.ckMoves + s.game.hand().counters.nkMoves, 0);
        EXPECT_EQ(s.game.progress().totalMoves, 0);
        EXPECT_EQ(s.game.glide().card, dragged);
        glideOut();
        EXPECT_EQ(ctl(dragged).left, startLeft);
        EXPECT_EQ(ctl(dragged).top, startTop);
        EXPECT_EQ(ctl(other).left, otherLeft);
        EXPECT_TRUE(ctl(dragged).enabled);
    }
    EXPECT_EQ(turnOf(s.game), role);
    EXPECT_EQ(frames(), turnFrames(role));
    EXPECT_TRUE(s.game.table().formEnabled());
}

INSTANTIATE_TEST_SUITE_P(Table, Moves, ::testing::ValuesIn(kMoves));

class MoveRules : public TablePlay {};

TEST_F(MoveRules, ACardIsNeverExchangedWithItself) {
    start({kCkSameColour});
    for (uint8_t p = 0; p < 6; ++p) {
        EXPECT_FALSE(s.game.tryExchange(imageAt(p), imageAt(p))) << int(p);
        EXPECT_FALSE(s.game.showIfExchangeAllowed(imageAt(p), imageAt(p))) << int(p);
    }
    EXPECT_EQ(frames(), turnFrames("ck"));
    EXPECT_EQ(s.game.hand().counters.handMoves, 0);
    EXPECT_TRUE(newCk().empty());
}

TEST_F(MoveRules, TheOtherRolesHandCardCannotBePickedUp) {
    start({kCkSameColour});
    s.drag(numberCardView, upCardView);
    EXPECT_FALSE(s.game.dragging());
    EXPECT_EQ(s.cardTextAt(numberCardView), "3H");
    EXPECT_TRUE(newCk().empty());
    EXPECT_TRUE(newNk().empty());
}

TEST_F(MoveRules, ASwapAfterPassesCountsForTheMoverAndClearsThePasses) {
    start({kCkSameColour}, {{"ViewCard", "OTHER"}});
    s.pass();
    s.pass();  // back to the ColorKeeper
    EXPECT_EQ(s.game.hand().counters.consecutivePasses, 2);
    s.drag(colorCardView, upCardView);
    EXPECT_EQ(s.game.hand().counters.consecutivePasses, 0);
    EXPECT_EQ(s.game.hand().counters.handMoves, 3);
    EXPECT_EQ(s.game.hand().counters.ckMoves, 2);
    EXPECT_EQ(s.game.hand().counters.nkMoves, 1);
}

// ---- Hand end ---------------------------------------------------------------

// c 2H, ck 3C, up 4H, t 2C, n 3H, nk 4C; goal 3H, out of the way of hand and
// face-up swaps.
const char* kFarGoal = "2H 3C 4H 2C 3H 4C 3H ck";
// Same cards with the goal 2C already at the Target.
const char* kGoalOnTarget = "2H 3C 4H 2C 3H 4C 2C ck";
// c 3C, ck 2H, up 2C, t 4H, n 4C, nk 3H; goal 2H in the ColorKeeper's hand.
const char* kGoalInHand = "3C 2H 2C 4H 4C 3H 2H ck";

class HandEnd : public TablePlay {
protected:
    void expectEndedOnce(int nextHand) {
        EXPECT_FALSE(s.game.progress().handInPlay);
        EXPECT_FALSE(s.game.table().formEnabled());
        EXPECT_EQ(s.platform.beeps, 1);
        EXPECT_TRUE(s.game.timerRunning(TimerId::DealWait));
        EXPECT_EQ(s.game.progress().handNumber, nextHand);
        EXPECT_EQ(ctl(Ctl::HandCounter).caption, std::to_string(nextHand));
    }
    // The role's own swap of its hand card with the face-up card.
    void swapWithFaceUp() {
        s.drag(turnOf(s.game) == "ck" ? colorCardView : numberCardView, upCardView);
        glideOut();
    }
};

TEST_F(HandEnd, TheFourthPassInARowEndsTheHandAfterItsMessage) {
    start({kFarGoal, kFarGoal});
    for (int i = 0; i < 3; ++i) s.pass();
    EXPECT_TRUE(s.game.progress().handInPlay);
    EXPECT_TRUE(s.platform.messages.empty());
    EXPECT_EQ(s.platform.beeps, 0);
    size_t ckAtMessage = 0;
    s.platform.onMessage = [&](const std::string&) { ckAtMessage = ck().size(); };
    mark();
    s.clock.script({"10:00:10.100", "10:00:10.200", "10:00:10.300", "10:00:10.400", "10:00:10.500", "10:00:10.600",
                    "10:00:10.700"});
    s.pass();
    EXPECT_EQ(s.platform.messages, std::vector<std::string>{"Four passes: the hand is over"});
    // The message came before any record of the hand end.
    EXPECT_EQ(ckAtMessage, ckMark + 1);
    // Of the two stamps of a line, the one taken second is written first.
    EXPECT_EQ(newCk(), (std::vector<std::string>{"36010.100:36010.100:RP::Remote pass received:;;;",
                                                 "36010.301:36010.201:GP:2;800:Hand Ended", "36010.701::Hand Ended"}));
    EXPECT_EQ(newNk(), (std::vector<std::string>{"36010.100:36010.100:PP::Numberkeeper passed turn:;;;",
                                                 "36010.501:36010.401:GP:2;800:Hand Ended", "36010.601::Hand Ended"}));
    expectEndedOnce(2);
    // The pass still hands the turn over after the hand ended.
    EXPECT_EQ(turnOf(s.game), "ck");
}

TEST_F(HandEnd, TheFifthActionEndsTheHandWhenFiveAreAllowed) {
    start({kFarGoal, kFarGoal}, {{"MaxRounds", "5"}});
    s.pass();          // ck
    s.pass();          // nk
    s.pass();          // ck
    swapWithFaceUp();  // nk
    EXPECT_TRUE(s.game.progress().handInPlay);
    mark();
    s.clock.set("10:00:20.000");
    s.pass();  // ck, the fifth action
    EXPECT_EQ(s.platform.messages, std::vector<std::string>{"Too many moves: the hand is over"});
    const auto ckNew = newCk(), nkNew = newNk();
    ASSERT_EQ(ckNew.size(), 3u);
    ASSERT_EQ(nkNew.size(), 3u);
    EXPECT_EQ(ckNew[1], "36020.1:36020.1:GM:3;750:Hand Ended");
    EXPECT_EQ(nkNew[1], "36020.1:36020.1:GM:2;750:Hand Ended");
    EXPECT_EQ(nkNew[2], "36020.1::Hand Ended");
    EXPECT_EQ(ckNew[2], "36020.1::Hand Ended");
    expectEndedOnce(2);
}

TEST_F(HandEnd, BringingTheGoalToTheTargetEndsTheHandWithoutAMessage) {
    start({kGoalInHand, kFarGoal});
    s.clock.set("10:00:30.500");
    s.drag(colorCardView, targetCardView);
    EXPECT_TRUE(s.platform.messages.empty());
    const auto ckNew = newCk(), nkNew = newNk();
    ASSERT_EQ(ckNew.size(), 4u);
    EXPECT_EQ(ckNew[2], "36030.501:36030.501:GE:1;950:Hand Ended");
    EXPECT_EQ(ckNew[3], "36030.501::Hand Ended");
    ASSERT_EQ(nkNew.size(), 3u);
    EXPECT_EQ(nkNew[1], "36030.501:36030.501:GE:0;950:Hand Ended");
    expectEndedOnce(2);
    // The former Target card still glides home; the window stays shut.
    EXPECT_TRUE(s.game.timerRunning(TimerId::Glide));
    glideOut();
    EXPECT_EQ(ctl(imageAt(colorCardView)).left, s.game.placeX(colorCardView));
    EXPECT_FALSE(s.game.table().formEnabled());
    s.pass();
    EXPECT_EQ(s.game.progress().totalMoves, 1);
    // The next hand is dealt and takes input again.
    s.untilHandInPlay();
    EXPECT_TRUE(s.game.progress().handInPlay);
    EXPECT_TRUE(s.game.table().formEnabled());
    EXPECT_EQ(s.game.hand().counters.handMoves, 0);
    EXPECT_EQ(s.game.hand().counters.ckMoves, 0);
}

TEST_F(HandEnd, AGoalDealtOntoTheTargetEndsTheHandAtTheFirstPass) {
    start({kGoalOnTarget, kFarGoal}, {{"PremiumRound", "2001"}});
    s.clock.set("10:00:40.040");
    s.pass();
    const auto ckNew = newCk(), nkNew = newNk();
    ASSERT_EQ(ckNew.size(), 3u);
    EXPECT_EQ(ckNew[1], "36040.41:36040.41:GE:1;950.5:Hand Ended");
    EXPECT_EQ(nkNew[1], "36040.41:36040.41:GE:0;950.5:Hand Ended");
    expectEndedOnce(2);
}

TEST_F(HandEnd, AGoalDealtOntoTheTargetEndsTheHandAtASwapThatLeavesIt) {
    start({kGoalOnTarget, kFarGoal});
    swapWithFaceUp();
    EXPECT_FALSE(s.game.progress().handInPlay);
    EXPECT_EQ(s.game.progress().handNumber, 2);
}

TEST_F(HandEnd, PassesAndTheLimitTogetherWriteBothBlocksAndEndOnce) {
    start({kFarGoal, kFarGoal}, {{"MaxRounds", "4"}});
    for (int i = 0; i < 3; ++i) s.pass();
    mark();
    s.clock.set("10:00:50.000");
    s.pass();
    EXPECT_EQ(s.platform.messages,
              (std::vector<std::string>{"Four passes: the hand is over", "Too many moves: the hand is over"}));
    EXPECT_EQ(newCk(), (std::vector<std::string>{"36050.0:36050.0:RP::Remote pass received:;;;",
                                                 "36050.1:36050.1:GP:2;800:Hand Ended", "36050.1::Hand Ended",
                                                 "36050.1:36050.1:GM:2;800:Hand Ended", "36050.1::Hand Ended"}));
    EXPECT_EQ(newNk(), (std::vector<std::string>{"36050.0:36050.0:PP::Numberkeeper passed turn:;;;",
                                                 "36050.1:36050.1:GP:2;800:Hand Ended", "36050.1::Hand Ended",
                                                 "36050.1:36050.1:GM:2;800:Hand Ended", "36050.1::Hand Ended"}));
    expectEndedOnce(2);
}

TEST_F(HandEnd, ThreeActionsScoreEightHundredFifty) {
    start({kFarGoal}, {{"MaxRounds", "3"}});
    s.pass();
    swapWithFaceUp();
    s.clock.set("10:00:55.000");
    s.pass();
    const auto ckNew = newCk(), nkNew = newNk();
    ASSERT_GE(ckNew.size(), 3u);
    EXPECT_EQ(ckNew[ckNew.size() - 2], "36055.1:36055.1:GM:2;850:Hand Ended");
    EXPECT_EQ(nkNew[nkNew.size() - 2], "36055.1:36055.1:GM:1;850:Hand Ended");
}

TEST_F(HandEnd, TwentyFiveActionsLeaveANegativeScore) {
    start({kFarGoal}, {{"MaxRounds", "25"}});
    for (int i = 0; i < 24; ++i) {
        if (i % 3 == 2)
            swapWithFaceUp();
        else
            s.pass();
        ASSERT_TRUE(s.game.progress().handInPlay) << "action " << i + 1;
    }
    s.clock.set("10:01:00.000");
    s.pass();
    EXPECT_FALSE(s.game.progress().handInPlay);
    EXPECT_EQ(s.game.hand().counters.handMoves, 25);
    const auto ckNew = newCk(), nkNew = newNk();
    EXPECT_EQ(ckNew[ckNew.size() - 2], "36060.1:36060.1:GM:13;-250:Hand Ended");
    EXPECT_EQ(nkNew[nkNew.size() - 2], "36060.1:36060.1:GM:12;-250:Hand Ended");
    EXPECT_EQ(s.game.progress().totalMoves, 25);
}

TEST_F(HandEnd, StampsAtTheLastMillisecondCountPastAThousand) {
    start({kGoalOnTarget});
    s.clock.set("10:00:10.999");
    s.pass();
    const auto ckNew = newCk();
    ASSERT_EQ(ckNew.size(), 3u);
    EXPECT_EQ(ckNew[0], "36010.999:36010.999:PP::Colorkeeper passed turn:;;;");
    EXPECT_EQ(ckNew[1], "36010.1000:36010.1000:GE:1;950:Hand Ended");
    EXPECT_EQ(ckNew[2], "36010.1000::Hand Ended");
}

struct HugeCase {
    const char* story;
    Params params;
    int passes;
    const char* ckLine;  // the ColorKeeper's hand-end line after the stamps
};
void PrintTo(const HugeCase& h, std::ostream* os) { *os << h.story; }

class HugeValues : public HandEnd, public ::testing::WithParamInterface<HugeCase> {};

TEST_P(HugeValues, ScoreAsThirtyTwoBitPremiumArithmetic) {
    SCOPED_TRACE(GetParam().story);
    start({kFarGoal}, GetParam().params);
    for (int i = 0; i < GetParam().passes; ++i) s.pass();
    EXPECT_FALSE(s.game.progress().handInPlay);
    EXPECT_EQ(s.platform.messages, std::vector<std::string>{"Too many moves: the hand is over"});
    const auto ckNew = newCk();
    ASSERT_GE(ckNew.size(), 2u);
    const std::string& line = ckNew[ckNew.size() - 2];
    EXPECT_EQ(line.substr(line.find("GM:")), GetParam().ckLine);
}

INSTANTIATE_TEST_SUITE_P(Limits, HugeValues,
                         ::testing::Values(
                             // 2000 - 2000000000 = -1999998000, halved.
                             HugeCase{"negative limit ends at the first action",
                                      {{"CostMove", "2000000000"}, {"MaxRounds", "-5"}},
                                      1,
                                      "GM:1;-999999000:Hand Ended"},
                             // 2000 - 4000000000 wraps to 294969296, halved.
                             HugeCase{"two costly actions wrap",
                                      {{"CostMove", "2000000000"}, {"MaxRounds", "2"}},
                                      2,
                                      "GM:1;147484648:Hand Ended"},
                             // -2000000000 - 2000000000 wraps to 294967296, halved.
                             HugeCase{"negative premium wraps",
                                      {{"PremiumRound", "-2000000000"}, {"CostMove", "2000000000"}, {"MaxRounds", "1"}},
                                      1,
                                      "GM:1;147483648:Hand Ended"}),
                         [](const auto& info) { return std::to_string(info.index); });

}  // namespace
