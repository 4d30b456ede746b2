// The lab's reference logs: a table opened at 10:30:45.007 for participant
// A1, one hand dealt at 10:30:46.500, won by the ColorKeeper's first move.

#include <gtest/gtest.h>

#include "support/FakeDesktop.h"

using namespace qbx;
using namespace qbx::test;

namespace {

std::string onlyLog(const WorkDir& dir, const std::string& prefix) {
    for (const std::string& name : dir.list("dataout"))
        if (name.rfind(prefix, 0) == 0) return dir.read("dataout/" + name);
    return "<no " + prefix + " log>";
}

struct ReferenceRun : ::testing::Test {
    WorkDir dir;
    Session s;
    void SetUp() override {
        dir.write("setup/QBXParameter.ini", parameterFile());
        dir.write("setup/messages.ini", englishCatalogue());
        // Default dealing order: 4C to downColorCardView, 2H colorCardView,
        // 2C upCardView, 3H targetCardView, 4H downNumberCardView, 3C
        // numberCardView; goal 2H; the ColorKeeper opens.
        dir.write("setup/shoe.txt", "header line\r\n4C 2H 2C 3H 4H 3C 2H ck\r\n");
        s.clock.set("10:30:45.007");
        s.game.startGame("A1   ");
        ASSERT_TRUE(s.platform.messages.empty()) << s.platform.messages.front();
        s.runUntil([&] { return s.game.progress().dealStep == 7 && !s.game.timerRunning(TimerId::Glide); });
        s.clock.set("10:30:46.500");
        s.game.onTimer(TimerId::DealStep);
        s.untilHandInPlay();
    }
};

TEST_F(ReferenceRun, BothLogsMatchTheReferenceByteForByte) {
    s.clock.set("10:31:09.900");
    s.press(s.centreX(colorCardView), s.centreY(colorCardView));
    s.game.mouseMove(s.centreX(targetCardView) - 40, s.centreY(targetCardView));
    s.game.mouseMove(s.centreX(targetCardView), s.centreY(targetCardView));
    s.clock.script({"10:31:10.250", "10:31:10.251"});
    s.release(s.centreX(targetCardView), s.centreY(targetCardView));

    const std::string header =
        "37845.7:Game begins\r\n"
        "37845.7:userID:userName A1   :gameNum -1:partner 1\r\n"
        "37845.7:errorsMade 0:score 0:row 0column 0\r\n"
        "37845.7:37845.7:GS:;Game started;;\r\n"
        "37846.501:37846.501:GC:3C;numberCardView:Card dealt\r\n"
        "37846.502:37846.502:GC:4H;downNumberCardView:Card dealt\r\n"
        "37846.503:37846.503:GC:2C;upCardView:Card dealt\r\n"
        "37846.504:37846.504:GC:4C;downColorCardView:Card dealt\r\n"
        "37846.505:37846.505:GC:2H;colorCardView:Card dealt\r\n"
        "37846.506:37846.506:GC:3H;targetCardView:Card dealt\r\n";
    EXPECT_EQ(onlyLog(dir, "ck"),
              "37845.7:TF:CK\r\n" + header +
                  "37869.900:37869.900:pR:2H:colorCardView:ColorKeeperRemoved card\r\n"
                  "37870.250:37870.250:PM:3H;targetCardView;2H;colorCardView:Color Keeper moved card\r\n"
                  "37870.252:37870.252:GE:1;950:Hand Ended\r\n"
                  "37870.252::Hand Ended\r\n");
    EXPECT_EQ(onlyLog(dir, "nk"), "37845.7:TF:NK\r\n" + header +
                                      "37870.250:37870.250:RM:3H;targetCardView;2H;colorCardView:Remote move card\r\n"
                                      "37870.252:37870.252:GE:0;950:Hand Ended\r\n"
                                      "37870.252::Hand Ended\r\n");
    // The goal card reached the Target: no message, a beep, the next deal armed.
    EXPECT_TRUE(s.platform.messages.empty());
    EXPECT_EQ(s.platform.beeps, 1);
    EXPECT_FALSE(s.game.table().formEnabled());
    EXPECT_TRUE(s.game.timerRunning(TimerId::DealWait));
    EXPECT_EQ(s.game.table()[Ctl::HandCounter].caption, "2");
}

TEST_F(ReferenceRun, LogNamesShareOneSuffixOfTodaysDate) {
    const auto names = dir.logs();
    ASSERT_EQ(names.size(), 2u);
    ASSERT_EQ(names[0].substr(0, 9), "ck071226_");
    EXPECT_EQ("nk" + names[0].substr(2), names[1]);
    EXPECT_EQ(names[0].substr(names[0].size() - 4), ".txt");
}

TEST_F(ReferenceRun, PairedRecordsOfPassesMovesAndLooks) {
    // A ColorKeeper swap of its hand card with the face-up card, a look, a
    // pick-up dropped nowhere, and the
    // ColorKeeper's pass once the turn is back.
    s.clock.set("10:30:50.007");
    s.drag(colorCardView, upCardView);
    s.settle();
    s.clock.set("10:30:51.008");
    s.drag(numberCardView, downNumberCardView);  // NumberKeeper's turn now (ViewCard NONE)
    s.untilHandInPlay();
    s.clock.set("10:30:52.009");
    s.pass();
    const auto ck = splitLines(onlyLog(dir, "ck"));
    const auto nk = splitLines(onlyLog(dir, "nk"));
    ASSERT_GE(ck.size(), 15u);
    ASSERT_GE(nk.size(), 15u);
    EXPECT_EQ(ck[11], "37850.7:37850.7:pR:2H:colorCardView:ColorKeeperRemoved card");
    EXPECT_EQ(ck[12], "37850.7:37850.7:PM:2C;upCardView;2H;colorCardView:Color Keeper moved card");
    EXPECT_EQ(ck[13], "37851.8:37851.8:RM:4H;downNumberCardView;3C;numberCardView:Remote move card");
    EXPECT_EQ(ck[14], "37852.9:37852.9:PP::Colorkeeper passed turn:;;;");
    EXPECT_EQ(nk[11], "37850.7:37850.7:RM:2C;upCardView;2H;colorCardView:Remote move card");
    EXPECT_EQ(nk[12], "37851.8:37851.8:pR:3C:numberCardView:NumberKeeperRemoved card");
    EXPECT_EQ(nk[13], "37851.8:37851.8:PM:4H;downNumberCardView;3C;numberCardView:Number Keeper moved card");
    EXPECT_EQ(nk[14], "37852.9:37852.9:RP::Remote pass received:;;;");
    EXPECT_EQ(s.game.progress().totalMoves, 3);
    EXPECT_EQ(s.game.table()[Ctl::MoveCounter].caption, "3");
}

}  // namespace
