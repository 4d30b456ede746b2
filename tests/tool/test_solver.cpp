// The solver against the game itself: its lines, played on the engine with
// the mouse and the pass button, end their hands on the goal card in exactly
// the number of actions it says; random play never does better; and a few
// deals worked out by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "support/FakeDesktop.h"
#include "tool/setup/ShoeSolutions.h"
#include "tool/setup/SolverTable.h"

using namespace qbx;
using namespace qbx::tool;
using qbx::test::Session;
using qbx::test::WorkDir;

namespace {

// Every way a setup can shape a hand: when the turn passes after a swap, and
// whether the hand cards can be dragged.
struct Variant {
    const char* viewCard;
    const char* dragCkNk;
};
constexpr Variant kVariants[] = {{"ALL", "TRUE"},  {"ALL", "FALSE"}, {"NONE", "TRUE"}, {"MIX", "TRUE"},
                                 {"MIX", "FALSE"}, {"NON", "TRUE"},  {"NON", "FALSE"}};

// The rules the game makes of these parameter values.
rules::TableRules tableRules(const Variant& v, int maxRounds) {
    ParameterValues p;
    p.viewCard = v.viewCard;
    p.dragCkNkText = v.dragCkNk;
    p.maxRoundsText = std::to_string(maxRounds);
    p.premiumRoundText = "2000";
    p.costMoveText = "100";
    return rules::rulesOf(p).rules;
}

rules::Deal randomDeal(std::mt19937& rng) {
    rules::Deal d;
    std::array<uint8_t, 6> p{0, 1, 2, 3, 4, 5};
    std::shuffle(p.begin(), p.end(), rng);
    d.positionOfCard = p;
    d.goalCard = static_cast<int>(rng() % 6);
    d.opener = rng() % 2 ? Role::Nk : Role::Ck;
    return d;
}

// rules::Deal from a shoe line written "2C 2H 4C 3C 4H 3H   3H   ck" (default order).
rules::Deal dealFromLine(const std::string& line) {
    std::string fault;
    const std::optional<ShoeHand> hand = parseShoeLine(line, 2, fault);
    EXPECT_TRUE(hand) << fault;
    return rules::dealOf(*hand, false);
}

std::string shoeOf(const std::vector<rules::Deal>& deals) {
    std::string shoe = "deals\r\n";
    for (const rules::Deal& d : deals) shoe += rules::shoeLineOf(d, false) + "\r\n";
    return shoe;
}

// Starts a game on these deals in a fresh working directory.
void startGame(WorkDir& dir, Session& s, const Variant& v, int maxRounds, const std::vector<rules::Deal>& deals) {
    test::writeSetup(dir, shoeOf(deals),
                     {{"ViewCard", v.viewCard}, {"Drag CkNk", v.dragCkNk}, {"MaxRounds", std::to_string(maxRounds)}});
    s.game.startGame("SOLVER");
    ASSERT_TRUE(s.platform.messages.empty()) << s.platform.messages.front();
}

bool canPickUp(const Session& s, uint8_t position) {
    return s.game.table()[cardImage(s.cardAt(position))].dragMode == DragMode::Automatic;
}

// One action of a line, as a participant makes it: the swap by dragging
// whichever of the two cards may be picked up, after a look that hands the
// turn over when a MIX hand-over is pending; the pass with the button.
void play(Session& s, const Action& a) {
    if (a.isPass) {
        s.pass();
        return;
    }
    if (s.game.hand().handOverPending) s.look(a.position);
    ASSERT_EQ(test::turnOf(s.game), roleName(a.role));
    const uint8_t hand = handPosition(a.role);
    if (canPickUp(s, hand))
        s.drag(hand, a.position);
    else
        s.drag(a.position, hand);
}

}  // namespace

TEST(SolverOnTheEngine, EveryShortestLineEndsItsHandOnTheGoalInExactlyThatManyActions) {
    std::mt19937 rng(12);
    for (const Variant& v : kVariants) {
        const SolverTable table(tableRules(v, 50));
        std::vector<rules::Deal> deals;
        for (int i = 0; i < 40; ++i) deals.push_back(randomDeal(rng));
        WorkDir dir;
        Session s;
        startGame(dir, s, v, 50, deals);
        for (const rules::Deal& deal : deals) {
            s.untilHandInPlay();
            ASSERT_TRUE(s.game.progress().handInPlay);
            const std::optional<int> n = fewestActions(table, deal);
            ASSERT_TRUE(n) << v.viewCard << " " << rules::shoeLineOf(deal, false);
            const std::vector<Action> line = shortestLine(table, deal);
            const int hand = s.game.progress().handNumber;
            if (deal.positionOfCard[deal.goalCard] == targetCardView) {
                // The goal lies at the Target: the first action, whatever it
                // is, ends the hand, so the fewest is one and no line is given.
                EXPECT_EQ(*n, 1);
                EXPECT_TRUE(line.empty());
                s.pass();
            }
            for (size_t i = 0; i < line.size(); ++i) {
                ASSERT_EQ(s.game.progress().handNumber, hand)
                    << "ended early: " << v.viewCard << " " << rules::shoeLineOf(deal, false);
                play(s, line[i]);
                ASSERT_EQ(s.game.hand().counters.handMoves, static_cast<int>(i + 1))
                    << line[i].text() << " was not made: " << v.viewCard << "/" << v.dragCkNk << " "
                    << rules::shoeLineOf(deal, false);
                if (s.game.progress().handNumber == hand) s.settle();
            }
            EXPECT_EQ(s.game.progress().handNumber, hand + 1) << v.viewCard << " " << rules::shoeLineOf(deal, false);
            EXPECT_EQ(s.cardTextAt(targetCardView), cardText(deal.goalCard));
            EXPECT_EQ(s.game.hand().counters.handMoves, std::max(*n, 1));
        }
    }
}

TEST(SolverOnTheEngine, RandomPlayNeverReachesTheGoalInFewerActionsThanTheSolverSays) {
    std::mt19937 rng(99);
    for (const Variant& v : kVariants) {
        const int maxRounds = 9;
        const SolverTable table(tableRules(v, maxRounds));
        std::vector<rules::Deal> deals;
        for (int i = 0; i < 60; ++i) {
            rules::Deal d = randomDeal(rng);
            if (d.positionOfCard[d.goalCard] != targetCardView) deals.push_back(d);
        }
        WorkDir dir;
        Session s;
        startGame(dir, s, v, maxRounds, deals);
        int reached = 0;
        for (const rules::Deal& deal : deals) {
            s.untilHandInPlay();
            ASSERT_TRUE(s.game.progress().handInPlay);
            const int hand = s.game.progress().handNumber;
            while (s.game.progress().handNumber == hand) {
                const unsigned r = rng() % 12;
                if (r == 0) {
                    s.pass();
                } else if (r == 1) {
                    s.look(static_cast<uint8_t>(rng() % 6));
                } else {
                    const auto from = static_cast<uint8_t>(rng() % 6), to = static_cast<uint8_t>(rng() % 6);
                    if (from == to || !canPickUp(s, from)) continue;
                    s.drag(from, to);
                }
                if (s.game.progress().handNumber == hand) s.settle();
            }
            const std::optional<int> n = fewestActions(table, deal);
            if (s.cardTextAt(targetCardView) == cardText(deal.goalCard)) {
                ++reached;
                ASSERT_TRUE(n) << "reached a goal the solver calls unreachable: " << rules::shoeLineOf(deal, false);
                EXPECT_GE(s.game.hand().counters.handMoves, *n)
                    << v.viewCard << "/" << v.dragCkNk << " " << rules::shoeLineOf(deal, false);
            }
        }
        EXPECT_GT(reached, 0) << "random play never reached a goal under " << v.viewCard;
    }
}

// ---- Deals worked out by hand (default dealing order: c, ck, up, t, n, nk) ----

TEST(SolverByHand, OneTwoAndThreeActions) {
    const SolverTable all(tableRules({"ALL", "TRUE"}, 12));
    // The ColorKeeper holds the goal 2H and the Target is 3H: one swap.
    const rules::Deal one = dealFromLine("4C 2H 3C 3H 2C 4H   2H   ck");
    EXPECT_EQ(fewestActions(all, one), 1);
    EXPECT_EQ(shortestLine(all, one).front().text(), "ck swaps t");

    // The NumberKeeper holds the goal 3H over a Target 3C, but the ColorKeeper
    // opens: it must act first, whatever it does.
    const rules::Deal two = dealFromLine("2C 2H 4C 3C 4H 3H   3H   ck");
    EXPECT_EQ(fewestActions(all, two), 2);
    EXPECT_EQ(shortestLine(all, two).back().text(), "nk swaps t");

    // The goal 3H lies face up; the ColorKeeper takes it, then must wait a
    // turn before it may lay it on the Target 4H.
    const rules::Deal three = dealFromLine("2C 4C 3H 4H 3C 2H   3H   ck");
    EXPECT_EQ(fewestActions(all, three), 3);
    std::vector<std::string> texts;
    for (const Action& a : shortestLine(all, three)) texts.push_back(a.text());
    EXPECT_EQ(texts.front(), "ck swaps up");
    EXPECT_EQ(texts.back(), "ck swaps t");
    EXPECT_EQ(texts.size(), 3u);
}

TEST(SolverByHand, TheTurnRulesChangeTheCount) {
    const rules::Deal three = dealFromLine("2C 4C 3H 4H 3C 2H   3H   ck");
    // A swap that never passes the turn lets the ColorKeeper swap twice.
    EXPECT_EQ(fewestActions(SolverTable(tableRules({"NON", "TRUE"}, 12)), three), 2);
    EXPECT_EQ(fewestActions(SolverTable(tableRules({"NON", "FALSE"}, 12)), three), 2);
    // MIX passes the turn at the next role's first action: as ALL.
    EXPECT_EQ(fewestActions(SolverTable(tableRules({"MIX", "FALSE"}, 12)), three), 3);
}

TEST(SolverByHand, MaxRoundsAndTheGoalAlreadyAtTheTarget) {
    const rules::Deal three = dealFromLine("2C 4C 3H 4H 3C 2H   3H   ck");
    EXPECT_EQ(fewestActions(SolverTable(tableRules({"ALL", "TRUE"}, 3)), three), 3);
    EXPECT_EQ(fewestActions(SolverTable(tableRules({"ALL", "TRUE"}, 2)), three), std::nullopt);
    // A limit of 0 or 1 ends every hand at its first action, which still
    // counts when it lays the goal on the Target.
    const rules::Deal one = dealFromLine("4C 2H 3C 3H 2C 4H   2H   ck");
    EXPECT_EQ(fewestActions(SolverTable(tableRules({"ALL", "TRUE"}, 0)), one), 1);

    const rules::Deal there = dealFromLine("2C 3H 4H 4C 2H 3C   4C   nk");
    const SolverTable table(tableRules({"ALL", "TRUE"}, 12));
    EXPECT_EQ(fewestActions(table, there), 1);  // one action, whatever it is, ends the hand
    EXPECT_TRUE(shortestLine(table, there).empty());
}

TEST(SolverDeals, ShoeLinesRoundTripUnderBothDealingOrders) {
    std::mt19937 rng(5);
    for (const bool circular : {false, true}) {
        for (int i = 0; i < 50; ++i) {
            const rules::Deal d = randomDeal(rng);
            const std::string line = rules::shoeLineOf(d, circular);
            std::string fault;
            const std::optional<ShoeHand> hand = parseShoeLine(line, 2, fault);
            ASSERT_TRUE(hand) << fault;
            const rules::Deal back = rules::dealOf(*hand, circular);
            EXPECT_EQ(back.positionOfCard, d.positionOfCard) << line;
            EXPECT_EQ(back.goalCard, d.goalCard);
            EXPECT_EQ(back.opener, d.opener);
        }
    }
    // The game's own example of the circular order: 2H goes to the
    // NumberKeeper's hand, 4C to the Target.
    std::string fault;
    const rules::Deal c = rules::dealOf(*parseShoeLine("2H 3C 4H 2C 3H 4C 3H ck", 2, fault), true);
    EXPECT_EQ(c.positionOfCard[cardIndex(2, 1)], numberCardView);
    EXPECT_EQ(c.positionOfCard[cardIndex(4, 2)], targetCardView);
}
