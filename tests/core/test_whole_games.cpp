// Whole games played as participants would, each log compared line by line
// with the expected file in tests/data (time stamps included: the clock is
// the test's). Set QBX_WRITE_EXPECTED=1 to write the files anew after a
// deliberate change, then read the difference before committing it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "support/FakeDesktop.h"
#include "support/MixGame.h"

using namespace qbx;
using namespace qbx::test;

namespace {

void compareWithExpected(const WorkDir& dir, const std::string& role, const std::string& expectedName) {
    std::string actual;
    for (const std::string& name : dir.list("dataout"))
        if (name.rfind(role, 0) == 0) actual = dir.read("dataout/" + name);
    const std::string path = std::string(QBX_TEST_DATA) + "/" + expectedName;
    if (std::getenv("QBX_WRITE_EXPECTED")) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    const auto want = splitLines(readFile(path));
    const auto got = splitLines(actual);
    for (size_t i = 0; i < std::min(want.size(), got.size()); ++i)
        ASSERT_EQ(got[i], want[i]) << expectedName << " line " << i + 1;
    EXPECT_EQ(got.size(), want.size()) << expectedName;
}

// A participant thinks a little before each action.
void later(Session& s) { s.clock.advance(1234); }

TEST(WholeGame, MixTurnsHiddenHandCardsAndEveryWayAHandEnds) {
    WorkDir dir;
    dir.write(
        "setup/QBXParameter.ini",
        parameterFile({{"ViewCard", "MIX"}, {"ViewCkNk", "FALSE"}, {"MaxRounds", "8"}, {"PremiumRound", "2001"}}));
    dir.write("setup/messages.ini", englishCatalogue());
    dir.write("setup/shoe.txt", kMixShoe);
    Session s;
    s.clock.set("13:59:58.990");
    s.game.startGame("Z9 \xc3\xa9   ");
    s.untilHandInPlay();

    // Hand 1, ColorKeeper first; goal 2H, which the ColorKeeper holds.
    later(s), s.look(colorCardView);              // pL ck
    later(s), s.drag(colorCardView, upCardView);  // ck: 2H <-> 2C, hand-over pending
    s.settle();
    later(s), s.look(numberCardView);             // the NumberKeeper takes the turn: pL nk
    later(s), s.pass();                           // nk passes; ck's turn
    later(s), s.drag(upCardView, colorCardView);  // ck takes 2H back
    s.settle();
    later(s), s.drag(upCardView, numberCardView);  // pR in ck's log, then nk swaps 2C <-> 3C
    s.settle();
    later(s), s.pass();                                // pending: the pass is ck's; then nk's turn
    later(s), s.drag(targetCardView, numberCardView);  // nk: 3H onto 2C, numbers differ: refused
    s.settle();
    later(s), s.pass();                               // nk passes; ck's turn
    later(s), s.drag(colorCardView, targetCardView);  // 2H onto 3H, both hearts: the goal at the Target
    s.untilHandInPlay();
    EXPECT_EQ(s.game.progress().handNumber, 2);

    // Hand 2, NumberKeeper first: four passes in a row.
    for (int i = 0; i < 4; ++i) later(s), s.pass();
    EXPECT_EQ(s.platform.messages.back(), "Four passes: the hand is over");
    s.untilHandInPlay();

    // Hand 3: the goal 4H lies at the Target from the deal. A refused swap
    // and a drop on the background change nothing; the first legal action
    // ends the hand.
    later(s), s.drag(targetCardView, colorCardView);  // 4H onto 4C: colours differ
    s.settle();
    later(s), s.dragTo(upCardView, 5, 5);
    s.settle();
    later(s), s.drag(upCardView, colorCardView);
    s.untilHandInPlay();

    // Hand 4, NumberKeeper first: four swaps, each drag start handing the
    // turn over, then four passes; the eighth action is also the fourth pass.
    later(s), s.drag(downNumberCardView, numberCardView);
    s.settle();
    later(s), s.drag(downNumberCardView, colorCardView);
    s.settle();
    later(s), s.drag(upCardView, numberCardView);
    s.settle();
    later(s), s.drag(upCardView, colorCardView);
    s.settle();
    for (int i = 0; i < 4; ++i) later(s), s.pass();
    s.untilHandInPlay();

    // Hand 5: the goal at the Target again; a pass ends it, and the shoe.
    later(s), s.pass();
    s.settle();
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_EQ(s.platform.messages,
              (std::vector<std::string>{"Four passes: the hand is over", "Four passes: the hand is over",
                                        "Too many moves: the hand is over", "The game is over. Thank you!"}));
    compareWithExpected(dir, "ck", "mix_game_ck.txt");
    compareWithExpected(dir, "nk", "mix_game_nk.txt");
}

TEST(WholeGame, CircularOrderLockedHandCardsAndLooksAtEitherCard) {
    WorkDir dir;
    dir.write("setup/QBXParameter.ini", parameterFile({{"ViewCard", "ALL"},
                                                       {"ViewCkNk", "FALSE"},
                                                       {"SyntaxInput", "circular"},
                                                       {"Drag CkNk", ""},
                                                       {"ViewTarget", ""},
                                                       {"MaxRounds", "40"}}));
    dir.write("setup/messages.ini", englishCatalogue());
    dir.write("setup/shoe.txt", "header\n2H 3C 4H 2C 3H 4C 3H ck\n2H,3C,4H,2C,3H,4C,2C,nk\n");
    Session s;
    s.clock.set("23:59:57.500");  // the game runs across midnight
    s.game.startGame("P1   ");
    s.untilHandInPlay();
    // Circular order: 2H numberCardView, 3C downNumberCardView, 4H
    // upCardView, 2C downColorCardView, 3H colorCardView, 4C targetCardView.
    ASSERT_EQ(s.cardTextAt(colorCardView), "3H");
    later(s), s.look(numberCardView);                       // either card may be seen; not logged
    later(s), s.look(numberCardView, MouseButton::Middle);  // nothing
    later(s), s.look(colorCardView);                        // pL ck
    later(s), s.drag(colorCardView, upCardView);            // locked: a click, logged as a look
    later(s), s.drag(upCardView, colorCardView);            // 4H to ck; nk's turn at once
    s.settle();
    later(s), s.drag(upCardView, numberCardView);  // 3H to nk; ck's turn
    s.settle();
    later(s), s.drag(targetCardView, colorCardView);  // 4C onto 4H: colours differ, refused
    s.settle();
    later(s), s.drag(downNumberCardView, colorCardView);  // 3C to ck; nk's turn
    s.settle();
    later(s), s.drag(targetCardView, numberCardView);  // 4C onto 3H: numbers differ, refused
    s.settle();
    later(s), s.drag(downNumberCardView, numberCardView);  // 4H to nk; ck's turn
    s.settle();
    for (int i = 0; i < 4; ++i) later(s), s.pass();  // four passes end the hand
    s.untilHandInPlay();

    // Hand 2, NumberKeeper first; goal 2C at downColorCardView.
    later(s), s.drag(downColorCardView, numberCardView);  // 2C to nk
    s.settle();
    later(s), s.pass();                            // ck passes
    later(s), s.drag(upCardView, numberCardView);  // nk puts 2C face up, takes 4H
    s.settle();
    later(s), s.drag(upCardView, colorCardView);  // ck takes 2C
    s.settle();
    later(s), s.pass();                               // nk passes
    later(s), s.drag(targetCardView, colorCardView);  // 4C onto 2C, both clubs: the goal
    s.settle();
    EXPECT_TRUE(s.platform.terminated);
    compareWithExpected(dir, "ck", "circular_game_ck.txt");
    compareWithExpected(dir, "nk", "circular_game_nk.txt");
}

}  // namespace
