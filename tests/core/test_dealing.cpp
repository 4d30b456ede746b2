// Hands dealt from the shoe file: where each card of a line lands in either
// dealing order, the records of the deal, the window during the deal, and
// the end of the game when the shoe runs out.

#include <gtest/gtest.h>

#include "core/config/Shoe.h"
#include "support/TablePlay.h"

using namespace qbx;
using namespace qbx::test;

namespace {

struct Laid {
    const char* cardAt[6];  // card text at positions 0..5
};

class Dealing : public TablePlay {
protected:
    void expectLaid(const Laid& want) {
        for (uint8_t p = 0; p < 6; ++p) EXPECT_EQ(s.cardTextAt(p), want.cardAt[p]) << "position " << int(p);
    }
    // The six deal records of one log, as the shoe line wrote each card.
    static std::vector<std::string> dealRecords(const std::string& stamp, const char* nk, const char* n, const char* up,
                                                const char* c, const char* ck, const char* t, int firstMs) {
        const char* cards[6] = {nk, n, up, c, ck, t};
        const char* suffix[6] = {";numberCardView:Card dealt", ";downNumberCardView:Card dealt",
                                 ";upCardView:Card dealt",     ";downColorCardView:Card dealt",
                                 ";colorCardView:Card dealt",  ";targetCardView:Card dealt"};
        std::vector<std::string> out;
        for (int k = 0; k < 6; ++k) {
            const std::string T = stamp + "." + std::to_string(firstMs + k) + ":";
            out.push_back(T + T + "GC:" + cards[k] + suffix[k]);
        }
        return out;
    }
    // Runs the deal up to its last step and fires that step at a set time.
    void layAt(const std::string& hms) {
        s.runUntil([&] { return s.game.progress().dealStep == 7 && !s.game.timerRunning(TimerId::Glide); });
        ASSERT_EQ(s.game.progress().dealStep, 7);
        s.clock.set(hms);
        s.game.onTimer(TimerId::DealStep);
    }
};

// 2H 3C 4H 2C 3H 4C, goal 3H, ColorKeeper opens.
const Laid kDefaultLaid{{"3C", "2H", "4H", "3H", "4C", "2C"}};
const Laid kCircularLaid{{"3H", "2C", "4H", "3C", "2H", "4C"}};

class SeparatorVariants : public Dealing, public ::testing::WithParamInterface<const char*> {};

TEST_P(SeparatorVariants, OnlyTheCardLettersAndDigitsCount) {
    open({GetParam()});
    layAt("10:00:05.100");
    expectLaid(kDefaultLaid);
    EXPECT_EQ(cardNumber(s.game.goalCard()), 3);
    EXPECT_EQ(cardColour(s.game.goalCard()), 1);
    EXPECT_EQ(turnOf(s.game), "ck");
    EXPECT_TRUE(ctl(Ctl::CkTurnIndicator).checked);
    EXPECT_FALSE(ctl(Ctl::NkTurnIndicator).checked);
}

INSTANTIATE_TEST_SUITE_P(Lines, SeparatorVariants,
                         ::testing::Values("2H 3C 4H 2C 3H 4C 3H ck", "2H,3C,4H,2C,3H,4C,3H,ck", "2H3C4H2C3H4C3Hck",
                                           "\t2H;3C | 4H/2C  3H-4C = 3H\tck ", "#1: 2H 3C 4H 2C 3H 4C 3H cK k 9"));

TEST_F(Dealing, DefaultOrderRecordsEveryCardInBothLogs) {
    open({"2H 3C 4H 2C 3H 4C 3H ck"});
    layAt("10:00:05.100");
    const auto want = dealRecords("36005", "4C", "3H", "4H", "2H", "3C", "2C", 101);
    const auto ckLog = ck(), nkLog = nk();
    ASSERT_EQ(ckLog.size(), 11u);
    ASSERT_EQ(nkLog.size(), 11u);
    EXPECT_EQ(std::vector<std::string>(ckLog.begin() + 5, ckLog.end()), want);
    EXPECT_EQ(std::vector<std::string>(nkLog.begin() + 5, nkLog.end()), want);
    // Each card image lies at its position and shows what the position allows.
    for (uint8_t p = 0; p < 6; ++p) {
        EXPECT_EQ(ctl(imageAt(p)).left, s.game.placeX(p));
        EXPECT_EQ(ctl(imageAt(p)).top, s.game.placeY(p));
        const bool faceDown = p == downColorCardView || p == downNumberCardView;
        EXPECT_EQ(pictureAt(p), faceDown ? Picture::Back : faceAt(p)) << int(p);
    }
    EXPECT_EQ(ctl(Ctl::DeckCard).picture, Picture::Face3H);
}

TEST_F(Dealing, CircularOrderGoesRoundTheTableFromTheNumberKeepersCard) {
    open({"2H 3C 4H 2C 3H 4C 3H ck"}, {{"SyntaxInput", "circular"}});
    layAt("10:00:05.100");
    expectLaid(kCircularLaid);
    const auto want = dealRecords("36005", "2H", "3C", "4H", "2C", "3H", "4C", 101);
    const auto ckLog = ck();
    ASSERT_EQ(ckLog.size(), 11u);
    EXPECT_EQ(std::vector<std::string>(ckLog.begin() + 5, ckLog.end()), want);
}

TEST_F(Dealing, AnyOtherSyntaxValueDealsInTheDefaultOrder) {
    open({"2H 3C 4H 2C 3H 4C 3H ck"}, {{"SyntaxInput", "CIRCLE"}});
    layAt("10:00:05.100");
    expectLaid(kDefaultLaid);
}

TEST_F(Dealing, ADealAtTheLastMillisecondCountsPastAThousand) {
    open({"2H 3C 4H 2C 3H 4C 3H ck"});
    layAt("10:00:05.999");
    const auto want = dealRecords("36005", "4C", "3H", "4H", "2H", "3C", "2C", 1000);
    const auto ckLog = ck(), nkLog = nk();
    ASSERT_EQ(ckLog.size(), 11u);
    EXPECT_EQ(std::vector<std::string>(ckLog.begin() + 5, ckLog.end()), want);
    EXPECT_EQ(std::vector<std::string>(nkLog.begin() + 5, nkLog.end()), want);
}

TEST_F(Dealing, OpeningRoleOtherThanCkOrNkGivesTheColorKeeperTheTurn) {
    open({"2H 3C 4H 2C 3H 4C 3H nk", "2H 3C 4H 2C 3H 4C 3H kk", "2H 3C 4H 2C 3H 4C 3H nc"}, {{"MaxRounds", "1"}});
    const char* want[3] = {"nk", "ck", "ck"};
    for (int hand = 0; hand < 3; ++hand) {
        s.untilHandInPlay();
        ASSERT_TRUE(s.game.progress().handInPlay);
        EXPECT_EQ(turnOf(s.game), want[hand]) << "hand " << hand + 1;
        EXPECT_EQ(ctl(Ctl::CkTurnIndicator).checked, want[hand][0] == 'c');
        EXPECT_EQ(ctl(Ctl::NkTurnIndicator).checked, want[hand][0] == 'n');
        EXPECT_EQ(frames(), turnFrames(want[hand]));
        // The role in turn may drag its own hand card, never the other's.
        const bool ckOpens = want[hand][0] == 'c';
        EXPECT_EQ(modeAt(colorCardView), ckOpens ? DragMode::Automatic : DragMode::Manual);
        EXPECT_EQ(modeAt(numberCardView), ckOpens ? DragMode::Manual : DragMode::Automatic);
        s.pass();  // MaxRounds 1: ends the hand
    }
}

TEST_F(Dealing, ALowerCaseCardLetterIsClubsAndIsLoggedAsWritten) {
    open({"2H 3c 4H 2C 3H 4C 3c ck"});
    layAt("10:00:05.100");
    const int hand = s.cardAt(colorCardView);
    EXPECT_EQ(cardNumber(hand), 3);
    EXPECT_EQ(cardColour(hand), 2);
    EXPECT_EQ(cardColour(s.game.goalCard()), 2);
    EXPECT_EQ(ctl(Ctl::DeckCard).picture, Picture::Face3C);
    const auto ckLog = ck();
    ASSERT_EQ(ckLog.size(), 11u);
    EXPECT_EQ(ckLog[9], "36005.105:36005.105:GC:3c;colorCardView:Card dealt");
}

TEST_F(Dealing, WindowStaysDisabledUntilTheSeventhStep) {
    open({"2H 3C 4H 2C 3H 4C 3H nk"});
    EXPECT_EQ(s.game.timerInterval(TimerId::DealStep), 302);
    EXPECT_FALSE(s.game.table().formVisible());
    std::vector<long long> stepTimes;
    int lastStep = s.game.progress().dealStep;
    while (!s.game.progress().handInPlay) {
        ASSERT_TRUE(s.step());
        if (s.game.progress().dealStep != lastStep) {
            lastStep = s.game.progress().dealStep;
            stepTimes.push_back(s.clock.ms());
            if (lastStep >= 2 && !s.game.progress().handInPlay) {
                // Shown from the first step on, disabled, no frame marked.
                EXPECT_TRUE(s.game.table().formVisible());
                EXPECT_FALSE(s.game.table().formEnabled()) << "deal step " << lastStep - 1;
                EXPECT_EQ(frames(), std::vector<Rgb>(6, kGrey)) << "deal step " << lastStep - 1;
            }
        }
        if (s.game.progress().dealStep >= 1 && !s.game.progress().handInPlay) {
            EXPECT_FALSE(s.game.table().formEnabled());
        }
    }
    // The wait before the deal ended at 1000 ms and started the deal (dealStep 1), then one step
    // every 302 ms; the seventh enables the window with the turn frame green.
    ASSERT_EQ(stepTimes.size(), 8u);
    EXPECT_EQ(stepTimes[0], parseHms("10:00:01.000"));
    for (size_t i = 1; i < stepTimes.size(); ++i) EXPECT_EQ(stepTimes[i] - stepTimes[i - 1], 302) << i;
    EXPECT_TRUE(s.game.table().formEnabled());
    EXPECT_EQ(s.game.progress().dealStep, 8);
    EXPECT_EQ(frames(), turnFrames("nk"));
    EXPECT_FALSE(s.game.timerRunning(TimerId::DealStep));
}

TEST_F(Dealing, HeaderIsNeverDealtAndThreeLinesGiveThreeHandsThenTheGameEnd) {
    // The header looks like a hand; it must not be played. Every hand has its
    // goal at the Target already, so the first pass ends it.
    open({"2H 3C 4H 2C 3H 4C 2C ck", "3C 2H 2C 4H 4C 3H 4H nk", "4H 3C 2H 3H 4C 2C 3H ck"}, {},
         "4C 2H 2C 3H 4H 3C 2H ck");
    const char* targets[3] = {"2C", "4H", "3H"};
    for (int hand = 0; hand < 3; ++hand) {
        s.untilHandInPlay();
        ASSERT_TRUE(s.game.progress().handInPlay) << "hand " << hand + 1;
        EXPECT_EQ(s.cardTextAt(targetCardView), targets[hand]);
        s.pass();
        EXPECT_EQ(ctl(Ctl::HandCounter).caption, std::to_string(hand + 2));
    }
    std::vector<std::string> ckAtMessage, nkAtMessage;
    s.platform.onMessage = [&](const std::string&) {
        ckAtMessage = ck();
        nkAtMessage = nk();
    };
    s.runUntil([&] { return s.game.progress().dealStep == 7 && !s.game.timerRunning(TimerId::Glide); });
    EXPECT_FALSE(s.game.terminated());  // the six backs glide out first
    s.clock.set("10:05:00.250");
    s.game.onTimer(TimerId::DealStep);

    EXPECT_EQ(s.platform.messages, std::vector<std::string>{"The game is over. Thank you!"});
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_TRUE(s.game.terminated());
    for (TimerId t : {TimerId::Glide, TimerId::DealWait, TimerId::DealStep}) EXPECT_FALSE(s.game.timerRunning(t));
    const auto ckLog = ck(), nkLog = nk();
    ASSERT_GE(ckLog.size(), 3u);
    ASSERT_GE(nkLog.size(), 3u);
    const std::vector<std::string> tail = {"36300.250:36300.250:GE::Game ended due to exhaustion of shoe",
                                           "36300.250::gameDone", "TotalMove:3"};
    EXPECT_EQ(std::vector<std::string>(ckLog.end() - 3, ckLog.end()), tail);
    EXPECT_EQ(std::vector<std::string>(nkLog.end() - 3, nkLog.end()), tail);
    // The records were complete on disk before the message was shown.
    EXPECT_EQ(ckAtMessage, ckLog);
    EXPECT_EQ(nkAtMessage, nkLog);
    // Three deals of six records each, and three hand ends.
    int dealt = 0, ended = 0;
    for (const auto& l : ckLog) {
        dealt += l.find(":GC:") != std::string::npos;
        ended += l.find(":GE:") != std::string::npos && l.find("Hand Ended") != std::string::npos;
    }
    EXPECT_EQ(dealt, 18);
    EXPECT_EQ(ended, 3);
    // Nothing reacts after the end of the program.
    s.pass();
    EXPECT_EQ(ck(), ckLog);
}

class BlankLastLine : public Dealing, public ::testing::WithParamInterface<const char*> {};

TEST_P(BlankLastLine, IsNoHand) {
    open({"2H 3C 4H 2C 3H 4C 2C ck", GetParam()});
    s.untilHandInPlay();
    ASSERT_TRUE(s.game.progress().handInPlay);
    s.pass();  // the goal lies at the Target: the hand ends
    s.settle();
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_EQ(s.game.progress().handNumber, 2);
    EXPECT_EQ(s.platform.messages, std::vector<std::string>{"The game is over. Thank you!"});
}

INSTANTIATE_TEST_SUITE_P(Lines, BlankLastLine, ::testing::Values("", "   \t "));

}  // namespace

namespace {

// A shoe that continues a session says which, in a header the game reads
// back; any other header continues nothing.
TEST(ShoeHeader, AContinuationReadsBackAndNothingElseIsOne) {
    const std::string header = continuationHeader({"071226_4711", 3});
    EXPECT_EQ(header, "Continues session 071226_4711 from hand 3, made by qbxtool resume");
    for (const std::string& line :
         {header, header + "\r\n", std::string("Continues session 071226_4711 from hand 12")}) {
        const auto c = continuationOf(line);
        ASSERT_TRUE(c) << line;
        EXPECT_EQ(c->session, "071226_4711");
    }
    EXPECT_EQ(continuationOf(header)->hand, 3);
    for (const char* other :
         {"Demo shoe for QBXSolo.", "", "Continues session  from hand 3", "Continues session 071226_4711 from hand 0",
          "Continues session 071226_4711 from hand x", "Continues session 07/12/26 from hand 3",
          "continues session 071226_4711 from hand 3", "Continues session 071226_4711 from hand 3x"})
        EXPECT_FALSE(continuationOf(other)) << other;
}

}  // namespace
