// The rules of play, held two ways. First, verify and the game hold the same
// rules: for every setting, role in turn, pair of places and pair of cards, a
// pick-up and a move recorded as the game would record them are found faulty
// by verify exactly when the game's rule functions would not have let them
// happen; and the pass that follows a legal swap is the other role's exactly
// when the rules hand the turn over. Second, both the rule functions and
// verify are held to tables of cases that state the rules' outcomes outright
// (which exchange is legal and why, the table after it, whose turn follows,
// which cards may be lifted, how a hand ends and what it scores, how a shoe
// line is dealt), so that a wrong rule shared by the game and verify is
// caught too.

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/config/ConfigFiles.h"
#include "core/config/Shoe.h"
#include "core/eventlog/LogFormat.h"
#include "core/rules/Rules.h"
#include "tool/logs/Session.h"

using namespace qbx;
using namespace qbx::tool;
using namespace qbx::tool::logs;

namespace {

class Faults : public SessionSink {
public:
    void fault(const SessionFault& f) override {
        found.push_back(f.file + ":" + std::to_string(f.line) + " " + faultKindText(f.kind) + ": " + f.what);
    }
    std::vector<std::string> found;
};

// The two logs of a session of one hand, as the game writes them, up to the
// records a case adds.
struct Logs {
    std::string ck, nk;
    void both(const std::string& ckLine, const std::string& nkLine) {
        ck += ckLine + "\r\n";
        nk += nkLine + "\r\n";
    }
    void to(Role role, const std::string& line) { (role == Role::Ck ? ck : nk) += line + "\r\n"; }
};

const std::string T = "36000.0:";

Logs dealtLogs(const rules::Deal& deal) {
    Logs logs;
    logs.both(roleHeaderRecord(T, Role::Ck), roleHeaderRecord(T, Role::Nk));
    for (const std::string& line :
         {gameBeginsRecord(T), participantRecord(T, "P1"), fixedHeaderRecord(T), gameStartedRecord(T)})
        logs.both(line, line);
    for (int k = 1; k <= kPlaces; ++k) {
        const uint8_t position = kDealRecordOrder[k - 1];
        int card = 0;
        while (deal.positionOfCard[card] != position) ++card;
        const std::string line = cardDealtRecord("36001." + std::to_string(k) + ":", cardText(card), position);
        logs.both(line, line);
    }
    return logs;
}

std::vector<std::string> verify(const Logs& logs, const GameSetup& setup) {
    LogPair pair;
    pair.name = *parseLogName("ck071226_1.txt");
    pair.ckPath = "ck071226_1.txt";
    pair.nkPath = "nk071226_1.txt";
    Faults faults;
    readSessionText(pair, logs.ck, logs.nk, &setup, faults);
    return faults.found;
}

std::string describe(const std::vector<std::string>& faults) {
    std::string text;
    for (const std::string& f : faults) text += "\n  " + f;
    return text;
}

struct Setting {
    const char* viewCard;
    const char* dragCkNk;
};

TEST(VerifyHoldsTheGamesRules, EveryPickUpMoveAndHandOverIsJudgedAsTheRulesJudgeIt) {
    const Setting settings[] = {{"ALL", "TRUE"}, {"ALL", "FALSE"}, {"NONE", "TRUE"},  {"NONE", "FALSE"},
                                {"MIX", "TRUE"}, {"MIX", "FALSE"}, {"OTHER", "TRUE"}, {"OTHER", "FALSE"}};
    int cases = 0, legalMoves = 0, handOvers = 0;
    for (const Setting& setting : settings) {
        ParameterValues parameters;
        parameters.viewCard = setting.viewCard;
        parameters.dragCkNkText = setting.dragCkNk;
        parameters.maxRoundsText = "50";
        parameters.premiumRoundText = "2000";
        parameters.costMoveText = "100";
        GameSetup setup;
        setup.rules = rules::rulesOf(parameters).rules;
        setup.shoePath = "shoe.txt";
        for (const Role role : {Role::Ck, Role::Nk}) {
            for (uint8_t from = 0; from < kPlaces; ++from) {
                for (uint8_t to = 0; to < kPlaces; ++to) {
                    if (from == to) continue;
                    for (int dragged = 0; dragged < kCards; ++dragged) {
                        for (int target = 0; target < kCards; ++target) {
                            if (dragged == target) continue;
                            // The two cards where the case wants them, the
                            // others in the remaining places in order; the
                            // goal is one of those, away from the Target, so
                            // that no swap of the case ends the hand.
                            rules::Deal deal;
                            deal.opener = role;
                            deal.positionOfCard[dragged] = from;
                            deal.positionOfCard[target] = to;
                            uint8_t next = 0;
                            deal.goalCard = -1;
                            for (int card = 0; card < kCards; ++card) {
                                if (card == dragged || card == target) continue;
                                while (next == from || next == to) ++next;
                                deal.positionOfCard[card] = next++;
                                if (deal.goalCard < 0 && deal.positionOfCard[card] != targetCardView)
                                    deal.goalCard = card;
                            }
                            std::string fault;
                            setup.hands = {*parseShoeLine(rules::shoeLineOf(deal, false), 2, fault)};

                            // What the game's rule functions let happen.
                            rules::Situation s = rules::dealtHand(deal.positionOfCard, role, setup.rules);
                            const bool liftable = rules::canDrag(s.draggable, from);
                            rules::touchCard(s, from, setup.rules);
                            const bool moves = liftable && rules::judgeExchange(s, from, to).legal;

                            // The records the game writes when it does: the
                            // card that is not the role's hand card first.
                            const uint8_t hand = handPosition(role);
                            const uint8_t other = from == hand ? to : from;
                            const uint8_t held = other == from ? to : from;
                            const int otherCard = other == from ? dragged : target;
                            const int heldCard = other == from ? target : dragged;
                            Logs logs = dealtLogs(deal);
                            const std::string A = "36005.0:";
                            logs.to(role, pickUpRecord(A, role, dragged, from));
                            logs.both(moveRecord(A, Role::Ck, role, otherCard, other, heldCard, held),
                                      moveRecord(A, Role::Nk, role, otherCard, other, heldCard, held));
                            const std::vector<std::string> found = verify(logs, setup);
                            SCOPED_TRACE(std::string(setting.viewCard) + " Drag CkNk " + setting.dragCkNk + ", " +
                                         roleName(role) + " drags " + cardText(dragged) + " from " +
                                         std::string(placeName(from)) + " onto " + cardText(target) + " at " +
                                         std::string(placeName(to)));
                            ++cases;
                            EXPECT_EQ(found.empty(), moves) << describe(found);
                            if (!moves || !found.empty()) continue;
                            ++legalMoves;

                            // The next pass is the other role's exactly when
                            // the rules hand the turn over after the swap.
                            rules::exchange(s, from, to);
                            rules::handOverAfterSwap(s, setup.rules);
                            rules::Situation afterPass = s;
                            rules::countPassOfTurn(afterPass, setup.rules);
                            const Role passer = afterPass.turn;
                            for (const Role by : {Role::Ck, Role::Nk}) {
                                Logs passed = logs;
                                passed.both(passRecord("36006.0:", Role::Ck, by), passRecord("36006.0:", Role::Nk, by));
                                const std::vector<std::string> pass = verify(passed, setup);
                                EXPECT_EQ(pass.empty(), by == passer) << roleName(by) << " passes" << describe(pass);
                                handOvers += by == passer && by != role;
                            }
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(cases, 8 * 2 * 30 * 30);
    // Each kind of verdict came up, so that no branch went untried.
    EXPECT_GT(legalMoves, 0);
    EXPECT_LT(legalMoves, cases);
    EXPECT_GT(handOvers, 0);
}

// ---- The rules stated case by case ----------------------------------------------
//
// A table is written as the card at each place, in this order: the
// ColorKeeper's hand card (ck), the face-down card on its side (c), the
// face-up card (up), the face-down card on the NumberKeeper's side (n), the
// NumberKeeper's hand card (nk), the Target (t).

const char* const kPlaceOrder[kPlaces] = {"ck", "c", "up", "n", "nk", "t"};

uint8_t place(const std::string& shortName) {
    for (uint8_t p = 0; p < kPlaces; ++p)
        if (shortName == kPlaceOrder[p]) return p;
    ADD_FAILURE() << "no place " << shortName;
    return 0;
}

Role role(const std::string& name) { return name == "nk" ? Role::Nk : Role::Ck; }

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
        const size_t end = text.find(' ', at);
        out.push_back(text.substr(at, end - at));
        at = end;
    }
    return out;
}

// The card index at each place of a table text, and back.
std::array<uint8_t, kCards> positionsOf(const std::string& table) {
    const std::vector<std::string> cards = words(table);
    EXPECT_EQ(cards.size(), size_t(kPlaces)) << table;
    std::array<uint8_t, kCards> positionOfCard{};
    for (uint8_t p = 0; p < kPlaces && p < cards.size(); ++p) positionOfCard[cardOfText(cards[p])] = p;
    return positionOfCard;
}

std::string tableOf(const std::array<uint8_t, kCards>& positionOfCard) {
    std::string text;
    for (uint8_t p = 0; p < kPlaces; ++p)
        for (int card = 0; card < kCards; ++card)
            if (positionOfCard[card] == p) text += (text.empty() ? "" : " ") + cardText(card);
    return text;
}

std::string cardAt(const std::string& table, uint8_t p) { return words(table)[p]; }

// A shoe line that deals `table` in the default order: the face-down card on
// the ColorKeeper's side, its hand card, the face-up card, the Target, the
// face-down card on the NumberKeeper's side, its hand card; then the goal
// and the opener.
std::string shoeLine(const std::string& table, const std::string& goal, const std::string& opener) {
    std::string line;
    for (const char* p : {"c", "ck", "up", "t", "n", "nk"}) line += cardAt(table, place(p)) + " ";
    return line + goal + " " + opener;
}

GameSetup setupOf(const char* viewCard, const char* dragCkNk, int premium, int cost, int maxRounds,
                  const std::vector<std::string>& lines, const char* syntax = "") {
    ParameterValues parameters;
    parameters.viewCard = viewCard;
    parameters.dragCkNkText = dragCkNk;
    parameters.dealingOrder = syntax;
    parameters.maxRoundsText = std::to_string(maxRounds);
    parameters.premiumRoundText = std::to_string(premium);
    parameters.costMoveText = std::to_string(cost);
    GameSetup setup;
    setup.rules = rules::rulesOf(parameters).rules;
    setup.shoePath = "shoe.txt";
    for (const std::string& line : lines) {
        std::string fault;
        const std::optional<ShoeHand> hand = parseShoeLine(line, 2, fault);
        EXPECT_TRUE(hand) << line << ": " << fault;
        if (hand) setup.hands.push_back(*hand);
    }
    return setup;
}

// The logs of one hand dealt as `table` says, the records the actions add
// going after them.
Logs dealtAs(const std::string& table, const std::string& opener) {
    rules::Deal deal;
    deal.positionOfCard = positionsOf(table);
    deal.opener = role(opener);
    return dealtLogs(deal);
}

// A record stamp a few seconds after the deal, one per action.
std::string stampOf(int action) { return std::to_string(36010 + action) + ".0:"; }

// The records of a swap: the pick-up in the log of the role in turn when the
// card is lifted, then the move in both logs (the card that is not the
// mover's hand card first, both at their places before the exchange).
void addSwap(Logs& logs, const std::string& table, Role liftedIn, Role mover, uint8_t dragged, uint8_t onto,
             int action) {
    const std::string at = stampOf(action);
    const uint8_t hand = dragged == handPosition(mover) ? dragged : onto;
    const uint8_t other = hand == dragged ? onto : dragged;
    const int handCard = cardOfText(cardAt(table, hand)), otherCard = cardOfText(cardAt(table, other));
    logs.to(liftedIn, pickUpRecord(at, liftedIn, cardOfText(cardAt(table, dragged)), dragged));
    logs.both(moveRecord(at, Role::Ck, mover, otherCard, other, handCard, hand),
              moveRecord(at, Role::Nk, mover, otherCard, other, handCard, hand));
}

void addPass(Logs& logs, Role passer, int action) {
    logs.both(passRecord(stampOf(action), Role::Ck, passer), passRecord(stampOf(action), Role::Nk, passer));
}

// ---- Exchanges ----

struct ExchangeCase {
    const char* table;  // before
    const char* turn;
    const char* dragged;  // the place of the card dragged
    const char* onto;     // the place of the card it is dropped on
    const char* after;    // the table after the exchange; null when the rules refuse it
    const char* why;
};

// Two tables: in the first the ColorKeeper's hand card shares its colour with
// the Target and the NumberKeeper's its number; in the second neither does
// (the ColorKeeper's shares the number, the NumberKeeper's the colour).
const char* const kShared = "2H 3C 3H 2C 4C 4H";
const char* const kCrossed = "2C 3C 3H 4C 4H 2H";

const ExchangeCase kExchanges[] = {
    // The hand card with a face-down or the face-up card: always, either way round.
    {kShared, "ck", "ck", "c", "3C 2H 3H 2C 4C 4H", "ck's hand card onto the face-down card on its side"},
    {kShared, "ck", "c", "ck", "3C 2H 3H 2C 4C 4H", "the face-down card onto ck's hand card"},
    {kShared, "ck", "ck", "up", "3H 3C 2H 2C 4C 4H", "ck's hand card onto the face-up card"},
    {kShared, "ck", "up", "ck", "3H 3C 2H 2C 4C 4H", "the face-up card onto ck's hand card"},
    {kShared, "ck", "ck", "n", "2C 3C 3H 2H 4C 4H", "ck's hand card onto the face-down card on nk's side"},
    {kShared, "ck", "n", "ck", "2C 3C 3H 2H 4C 4H", "the face-down card on nk's side onto ck's hand card"},
    {kCrossed, "ck", "up", "ck", "3H 3C 2C 4C 4H 2H", "whatever the cards"},
    {kShared, "nk", "nk", "c", "2H 4C 3H 2C 3C 4H", "nk's hand card onto the face-down card on ck's side"},
    {kShared, "nk", "up", "nk", "2H 3C 4C 2C 3H 4H", "the face-up card onto nk's hand card"},
    {kShared, "nk", "n", "nk", "2H 3C 3H 4C 2C 4H", "the face-down card on its side onto nk's hand card"},
    {kCrossed, "nk", "nk", "c", "2C 4H 3H 4C 3C 2H", "whatever the cards"},
    // The hand card with the Target: only when they share the role's attribute.
    {kShared, "ck", "ck", "t", "4H 3C 3H 2C 4C 2H", "2H and 4H share the colour ck holds to"},
    {kShared, "ck", "t", "ck", "4H 3C 3H 2C 4C 2H", "the Target dragged onto the hand card likewise"},
    {kCrossed, "ck", "ck", "t", nullptr, "2C and 2H share the number, not the colour"},
    {kCrossed, "ck", "t", "ck", nullptr, "nor the other way round"},
    {kShared, "nk", "nk", "t", "2H 3C 3H 2C 4H 4C", "4C and 4H share the number nk holds to"},
    {kShared, "nk", "t", "nk", "2H 3C 3H 2C 4H 4C", "the Target dragged onto the hand card likewise"},
    {kCrossed, "nk", "nk", "t", nullptr, "4H and 2H share the colour, not the number"},
    {kCrossed, "nk", "t", "nk", nullptr, "nor the other way round"},
    // Never the other role's hand card, never two cards of the table.
    {kShared, "ck", "ck", "nk", nullptr, "the other role's hand card"},
    {kShared, "ck", "nk", "ck", nullptr, "the other role's hand card dragged"},
    {kShared, "ck", "nk", "t", nullptr, "the other role's hand card with the Target, though they share the number"},
    {kShared, "ck", "nk", "c", nullptr, "the other role's hand card with a table card"},
    {kShared, "nk", "ck", "nk", nullptr, "the other role's hand card dragged"},
    {kShared, "nk", "ck", "t", nullptr, "the other role's hand card with the Target, though they share the colour"},
    {kShared, "ck", "up", "c", nullptr, "the face-up card onto a face-down card"},
    {kShared, "ck", "c", "n", nullptr, "a face-down card onto the other"},
    {kShared, "ck", "t", "up", nullptr, "the Target onto the face-up card"},
    {kShared, "nk", "n", "t", nullptr, "a face-down card onto the Target"},
    {kShared, "ck", "ck", "ck", nullptr, "a card dropped on itself"},
    {kShared, "nk", "nk", "nk", nullptr, "a card dropped on itself"},
};

// Which places' cards the role in turn may lift, as the deal and every change
// of turn leave them: never the other role's hand card, and neither hand
// card unless "Drag CkNk" is TRUE.
struct LiftCase {
    const char* turn;
    const char* dragCkNk;
    const char* liftable;
};
const LiftCase kLifts[] = {
    {"ck", "TRUE", "ck c up n t"},
    {"nk", "TRUE", "c up n nk t"},
    {"ck", "FALSE", "c up n t"},
    {"nk", "FALSE", "c up n t"},
};

bool liftable(const std::string& turn, const std::string& dragCkNk, uint8_t p) {
    for (const LiftCase& c : kLifts)
        if (turn == c.turn && dragCkNk == c.dragCkNk) {
            for (const std::string& w : words(c.liftable))
                if (place(w) == p) return true;
            return false;
        }
    ADD_FAILURE() << "no lift case for " << turn << " " << dragCkNk;
    return false;
}

TEST(RulesStated, ExchangesAreJudgedAndDoneAsTheRulesSay) {
    for (const ExchangeCase& c : kExchanges) {
        SCOPED_TRACE(std::string(c.turn) + " drags " + c.dragged + " onto " + c.onto + " of " + c.table + ": " + c.why);
        const uint8_t from = place(c.dragged), to = place(c.onto);
        rules::TableRules tableRules;
        tableRules.handCardsLocked = false;
        rules::Situation s = rules::dealtHand(positionsOf(c.table), role(c.turn), tableRules);
        EXPECT_EQ(rules::judgeExchange(role(c.turn), s.at(from), s.at(to)).legal, c.after != nullptr);
        if (!c.after || from == to) continue;
        rules::exchange(s, from, to);
        EXPECT_EQ(tableOf(s.positionOfCard), c.after);
        EXPECT_EQ(s.counters.consecutivePasses, 0);
        EXPECT_EQ(s.counters.handMoves, 1);
        EXPECT_EQ(s.counters.movesOf(role(c.turn)), 1);
        EXPECT_EQ(s.counters.movesOf(otherRole(role(c.turn))), 0);
    }
}

TEST(RulesStated, CardsAreLiftableAsTheRulesSay) {
    for (const LiftCase& c : kLifts) {
        SCOPED_TRACE(std::string(c.turn) + " in turn, Drag CkNk " + c.dragCkNk);
        const rules::DragMask mask = rules::dragPermission(role(c.turn), std::string(c.dragCkNk) != "TRUE");
        for (uint8_t p = 0; p < kPlaces; ++p)
            EXPECT_EQ(rules::canDrag(mask, p), liftable(c.turn, c.dragCkNk, p)) << kPlaceOrder[p];
    }
}

// verify, given the pick-up and the move of each case at the start of a
// hand, finds a fault exactly when the card could not be lifted or the rules
// refuse the exchange.
TEST(RulesStated, VerifyFindsAFaultExactlyInTheExchangesTheRulesRefuse) {
    for (const ExchangeCase& c : kExchanges) {
        for (const char* dragCkNk : {"TRUE", "FALSE"}) {
            SCOPED_TRACE(std::string(c.turn) + " drags " + c.dragged + " onto " + c.onto + " of " + c.table +
                         ", Drag CkNk " + dragCkNk + ": " + c.why);
            const uint8_t from = place(c.dragged), to = place(c.onto);
            // The goal lies where neither card of the case goes.
            std::string goal;
            for (const char* p : {"c", "up", "n", "ck", "nk"})
                if (goal.empty() && place(p) != from && place(p) != to) goal = cardAt(c.table, place(p));
            const GameSetup setup = setupOf("NONE", dragCkNk, 2000, 100, 50, {shoeLine(c.table, goal, c.turn)});
            Logs logs = dealtAs(c.table, c.turn);
            addSwap(logs, c.table, role(c.turn), role(c.turn), from, to, 1);
            const std::vector<std::string> found = verify(logs, setup);
            const bool allowed = c.after && liftable(c.turn, dragCkNk, from);
            EXPECT_EQ(found.empty(), allowed) << describe(found);
        }
    }
}

// ---- Turns ----

// One action and what follows it. "swap P": the role in turn drags the card
// at P onto its hand card (the drag start touches P first); "touch P": a
// right-button press on the card at P, and its release; "pass": the Passo
// button.
struct Step {
    const char* action;
    // Who swaps or passes; for a touch, whose log records a look (the
    // release on the own hand card of the role then in turn), null for none.
    const char* by;
    const char* turnAfter;
    bool pendingAfter;
    int ckMoves, nkMoves, passesInARow;
};
struct TurnCase {
    const char* viewCard;
    const char* opener;
    std::vector<Step> steps;
    const char* story;
};

const char* const kTurnTable = "2H 3C 3H 2C 4C 4H";

const TurnCase kTurns[] = {
    {"NONE",
     "ck",
     {{"swap c", "ck", "nk", false, 1, 0, 0},
      {"swap up", "nk", "ck", false, 1, 1, 0},
      {"pass", "ck", "nk", false, 2, 1, 1},
      {"pass", "nk", "ck", false, 2, 2, 2}},
     "NONE: a swap hands the turn over at once"},
    {"ALL",
     "nk",
     {{"swap n", "nk", "ck", false, 0, 1, 0},
      {"pass", "ck", "nk", false, 1, 1, 1},
      {"swap c", "nk", "ck", false, 1, 2, 0}},
     "ALL: likewise"},
    {"OTHER",
     "ck",
     {{"swap c", "ck", "ck", false, 1, 0, 0},
      {"swap up", "ck", "ck", false, 2, 0, 0},
      {"pass", "ck", "nk", false, 3, 0, 1},
      {"swap n", "nk", "nk", false, 3, 1, 0},
      {"pass", "nk", "ck", false, 3, 2, 1}},
     "any other ViewCard: only a pass hands the turn over"},
    {"",
     "nk",
     {{"swap t", "nk", "nk", false, 0, 1, 0}, {"pass", "nk", "ck", false, 0, 2, 1}},
     "an empty ViewCard: likewise"},
    {"MIX",
     "ck",
     {{"swap c", "ck", "ck", true, 1, 0, 0},
      {"touch ck", "ck", "ck", true, 1, 0, 0},
      {"touch nk", "nk", "nk", false, 1, 0, 0},
      {"swap up", "nk", "nk", true, 1, 1, 0},
      {"touch up", nullptr, "ck", false, 1, 1, 0},
      {"pass", "ck", "nk", false, 2, 1, 1}},
     "MIX: the hand-over waits for a touch of any card but the swapper's own hand card"},
    {"MIX",
     "ck",
     {{"swap up", "ck", "ck", true, 1, 0, 0},
      {"swap c", "nk", "nk", true, 1, 1, 0},
      {"swap t", "ck", "ck", true, 2, 1, 0}},
     "MIX: the next role's drag start hands the turn over"},
    {"MIX",
     "ck",
     {{"swap c", "ck", "ck", true, 1, 0, 0},
      {"pass", "nk", "ck", false, 1, 1, 1},
      {"pass", "ck", "nk", false, 2, 1, 2}},
     "MIX: Passo during a hand-over is the next role's pass, and hands the turn back"},
    {"MIX",
     "nk",
     {{"pass", "nk", "ck", false, 0, 1, 1},
      {"pass", "ck", "nk", false, 1, 1, 2},
      {"swap n", "nk", "nk", true, 1, 2, 0},
      {"touch nk", "nk", "nk", true, 1, 2, 0},
      {"pass", "ck", "nk", false, 2, 2, 1}},
     "MIX: a swap sets the passes in a row back to 0"},
};

TEST(RulesStated, TurnsPassAsTheRulesSay) {
    for (const TurnCase& c : kTurns) {
        SCOPED_TRACE(c.story);
        const GameSetup setup = setupOf(c.viewCard, "FALSE", 2000, 100, 50, {});
        rules::Situation s = rules::dealtHand(positionsOf(kTurnTable), role(c.opener), setup.rules);
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.action);
            const std::vector<std::string> w = words(step.action);
            if (w[0] == "pass") {
                rules::countPassOfTurn(s, setup.rules);
                EXPECT_EQ(roleName(s.turn), std::string(step.by));
                rules::giveTurn(s, setup.rules);
            } else if (w[0] == "touch") {
                rules::touchCard(s, place(w[1]), setup.rules);
            } else {
                rules::touchCard(s, place(w[1]), setup.rules);
                EXPECT_EQ(roleName(s.turn), std::string(step.by));
                const uint8_t hand = handPosition(s.turn);
                ASSERT_TRUE(rules::judgeExchange(s, place(w[1]), hand).legal);
                rules::exchange(s, place(w[1]), hand);
                rules::handOverAfterSwap(s, setup.rules);
            }
            EXPECT_EQ(roleName(s.turn), std::string(step.turnAfter));
            EXPECT_EQ(s.handOverPending, step.pendingAfter);
            EXPECT_EQ(s.counters.ckMoves, step.ckMoves);
            EXPECT_EQ(s.counters.nkMoves, step.nkMoves);
            EXPECT_EQ(s.counters.handMoves, step.ckMoves + step.nkMoves);
            EXPECT_EQ(s.counters.consecutivePasses, step.passesInARow);
        }
    }
}

// The logs of the case's swaps and passes, as the game writes them, up to
// and including step `last`; with `wrongBy`, that step is written as the
// other role's.
Logs turnLogs(const TurnCase& c, size_t last, bool wrongBy) {
    Logs logs = dealtAs(kTurnTable, c.opener);
    std::string table = kTurnTable;
    std::string turn = c.opener;
    for (size_t i = 0; i <= last; ++i) {
        const Step& step = c.steps[i];
        const std::vector<std::string> w = words(step.action);
        const Role by = step.by && wrongBy && i == last ? otherRole(role(step.by)) : role(step.by ? step.by : "ck");
        if (w[0] == "pass") {
            addPass(logs, by, static_cast<int>(i + 1));
        } else if (w[0] == "touch") {
            if (step.by) logs.to(by, lookRecord(stampOf(static_cast<int>(i + 1)), by));
        } else {
            const uint8_t p = place(w[1]), hand = handPosition(by);
            // The pick-up goes to the log of the role in turn as the card is
            // lifted, before the lift hands a pending turn over.
            if (!(wrongBy && i == last))
                addSwap(logs, table, role(turn), by, p, hand, static_cast<int>(i + 1));
            else
                addSwap(logs, table, by, by, p, hand, static_cast<int>(i + 1));
            std::vector<std::string> cards = words(table);
            std::swap(cards[p], cards[hand]);
            table.clear();
            for (const std::string& card : cards) table += (table.empty() ? "" : " ") + card;
        }
        turn = step.turnAfter;
    }
    return logs;
}

TEST(RulesStated, VerifyFollowsTheTurnAsTheRulesPassIt) {
    for (const TurnCase& c : kTurns) {
        SCOPED_TRACE(c.story);
        const GameSetup setup = setupOf(c.viewCard, "FALSE", 2000, 100, 50, {shoeLine(kTurnTable, "3C", c.opener)});
        for (size_t i = 0; i < c.steps.size(); ++i) {
            if (!c.steps[i].by) continue;
            SCOPED_TRACE(std::string(c.steps[i].action) + " by " + c.steps[i].by);
            const std::vector<std::string> right = verify(turnLogs(c, i, false), setup);
            EXPECT_TRUE(right.empty()) << describe(right);
            // The same swap or pass written as the other role's is a fault.
            if (words(c.steps[i].action)[0] != "touch") {
                EXPECT_FALSE(verify(turnLogs(c, i, true), setup).empty());
            }
        }
    }
}

// After a swap neither hand card can be lifted until the turn changes hands,
// and a card keeps its drag mode as it changes places: the hand card that a
// locked setup swapped to a face-down place cannot be lifted from there
// either. Every other card can. Under NONE the turn changes at once, and
// with it the cards that may be lifted.
struct LiftAfterSwapCase {
    const char* viewCard;
    const char* dragCkNk;
    const char* liftedBy;  // whose log the pick-up is in: the role in turn
    const char* liftable;
};
const LiftAfterSwapCase kLiftsAfterSwap[] = {
    {"NONE", "TRUE", "nk", "c up n nk t"}, {"OTHER", "TRUE", "ck", "c up n t"}, {"MIX", "TRUE", "ck", "c up n t"},
    {"NONE", "FALSE", "nk", "c up n t"},   {"OTHER", "FALSE", "ck", "up n t"},  {"MIX", "FALSE", "ck", "up n t"},
};

TEST(RulesStated, AfterASwapTheHandCardsAreLockedUntilTheTurnChanges) {
    for (const LiftAfterSwapCase& c : kLiftsAfterSwap) {
        // ColorKeeper opens and drags the face-down card on its side onto its hand card.
        const GameSetup setup = setupOf(c.viewCard, c.dragCkNk, 2000, 100, 50, {shoeLine(kTurnTable, "3C", "ck")});
        rules::Situation s = rules::dealtHand(positionsOf(kTurnTable), Role::Ck, setup.rules);
        rules::exchange(s, downColorCardView, colorCardView);
        rules::handOverAfterSwap(s, setup.rules);
        const std::string after = "3C 2H 3H 2C 4C 4H";
        for (uint8_t p = 0; p < kPlaces; ++p) {
            SCOPED_TRACE(std::string(c.viewCard) + ", Drag CkNk " + c.dragCkNk + ": " + c.liftedBy +
                         " lifts the card at " + kPlaceOrder[p]);
            bool expected = false;
            for (const std::string& w : words(c.liftable)) expected |= place(w) == p;
            EXPECT_EQ(roleName(s.turn), std::string(c.liftedBy));
            EXPECT_EQ(rules::canDrag(s.draggable, p), expected);
            Logs logs = dealtAs(kTurnTable, "ck");
            addSwap(logs, kTurnTable, Role::Ck, Role::Ck, downColorCardView, colorCardView, 1);
            logs.to(role(c.liftedBy), pickUpRecord(stampOf(2), role(c.liftedBy), cardOfText(cardAt(after, p)), p));
            const std::vector<std::string> found = verify(logs, setup);
            EXPECT_EQ(found.empty(), expected) << describe(found);
        }
    }
}

// ---- The end of a hand and its score ----

// The table of every hand-end case: the ColorKeeper holds 2H, the face-up
// card is 3H, the NumberKeeper holds 4C, the Target is 4H.
const char* const kEndTable = "2H 3C 3H 2C 4C 4H";

struct HandEndCase {
    const char* story;
    int premium, cost, maxRounds;
    const char* goal;
    const char* viewCard;
    const char* actions;  // "ck pass, nk swap c, ...": the last ends the hand
    const char* codes;    // the hand-end blocks, in the order written
    int ckMoves, nkMoves;
    const char* score;  // each role's, as the log writes it
};

// clang-format off
const HandEndCase kHandEnds[] = {
    {"four passes in a row", 2000, 100, 50, "2C", "NONE", "ck pass, nk pass, ck pass, nk pass", "GP", 2, 2, "800"},
    {"a swap sets the passes in a row back", 2000, 100, 50, "2C", "NONE",
     "ck pass, nk pass, ck pass, nk swap c, ck pass, nk pass, ck pass, nk pass", "GP", 4, 4, "600"},
    {"the fifth action with MaxRounds 5", 2000, 100, 5, "2C", "OTHER",
     "ck swap c, ck pass, nk swap up, nk pass, ck swap c", "GM", 3, 2, "750"},
    {"the goal swapped to the Target", 2000, 100, 50, "3H", "NONE", "ck swap up, nk pass, ck swap t", "GE", 2, 1, "850"},
    {"the goal dealt at the Target: the first pass", 2001, 100, 50, "4H", "NONE", "ck pass", "GE", 1, 0, "950.5"},
    {"the goal dealt at the Target: a swap that leaves it there", 2000, 100, 50, "4H", "NONE", "ck swap n", "GE", 1, 0,
     "950"},
    {"the fourth pass in a row is also the last allowed", 2000, 100, 4, "2C", "NONE",
     "ck pass, nk pass, ck pass, nk pass", "GP GM", 2, 2, "800"},
    {"the goal at the Target with the last allowed action", 2000, 100, 2, "4C", "NONE", "ck pass, nk swap t", "GM GE",
     1, 1, "900"},
    {"25 actions: the premium below nothing", 2000, 100, 25, "2C", "OTHER",
     "ck pass, nk pass, ck pass, nk swap c, nk pass, ck pass, nk pass, ck swap c, ck pass, nk pass, ck pass, "
     "nk swap c, nk pass, ck pass, nk pass, ck swap c, ck pass, nk pass, ck pass, nk swap c, nk pass, ck pass, "
     "nk pass, ck swap c, ck pass", "GM", 13, 12, "-250"},
    {"MaxRounds 0: the first action", 2000, 100, 0, "2C", "NONE", "ck pass", "GM", 1, 0, "950"},
    {"a premium that halves to nothing", 300, 100, 3, "2C", "NONE", "ck pass, nk pass, ck pass", "GM", 2, 1, "0"},
    {"a premium that halves to a fraction below nothing", 2000, 667, 3, "2C", "NONE", "ck pass, nk pass, ck pass", "GM",
     2, 1, "-0.5"},
    {"a premium past 32 bits wraps round", 2147483647, -1, 50, "4H", "NONE", "ck pass", "GE", 1, 0, "-1073741824"},
};
// clang-format on

std::vector<std::string> actionsOf(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    for (size_t comma; (comma = text.find(", ", at)) != std::string::npos; at = comma + 2)
        out.push_back(text.substr(at, comma - at));
    out.push_back(text.substr(at));
    return out;
}

std::string handEndLine(const std::string& code, int moves, const std::string& score) {
    const std::string at = "36100.1:";
    return at + at + code + ":" + std::to_string(moves) + ";" + score + ":Hand Ended";
}

// The case's logs: the deal, `actions`, and the hand-end blocks `codes` with
// `score` and the game's end after them (none without blocks).
Logs handEndLogs(const HandEndCase& c, const std::vector<std::string>& actions, const std::vector<std::string>& codes,
                 const std::string& score) {
    Logs logs = dealtAs(kEndTable, words(actions[0])[0]);
    std::string table = kEndTable;
    for (size_t i = 0; i < actions.size(); ++i) {
        const std::vector<std::string> w = words(actions[i]);
        const Role by = role(w[0]);
        if (w[1] == "pass") {
            addPass(logs, by, static_cast<int>(i + 1));
            continue;
        }
        const uint8_t p = place(w[2]), hand = handPosition(by);
        addSwap(logs, table, by, by, p, hand, static_cast<int>(i + 1));
        std::vector<std::string> cards = words(table);
        std::swap(cards[p], cards[hand]);
        table.clear();
        for (const std::string& card : cards) table += (table.empty() ? "" : " ") + card;
    }
    for (const std::string& code : codes) {
        logs.both(handEndLine(code, c.ckMoves, score), handEndLine(code, c.nkMoves, score));
        logs.both("36100.1::Hand Ended", "36100.1::Hand Ended");
    }
    // The shoe is exhausted: the game ends after the hand.
    if (!codes.empty()) {
        logs.both(shoeExhaustedRecord("36102.0:"), shoeExhaustedRecord("36102.0:"));
        logs.both(gameDoneRecord("36102.0:"), gameDoneRecord("36102.0:"));
        logs.both(totalMovesRecord(static_cast<long long>(actions.size())),
                  totalMovesRecord(static_cast<long long>(actions.size())));
    }
    return logs;
}

GameSetup handEndSetup(const HandEndCase& c) {
    return setupOf(c.viewCard, "FALSE", c.premium, c.cost, c.maxRounds,
                   {shoeLine(kEndTable, c.goal, words(actionsOf(c.actions)[0])[0])});
}

TEST(RulesStated, HandsEndAndScoreAsTheRulesSay) {
    for (const HandEndCase& c : kHandEnds) {
        SCOPED_TRACE(c.story);
        const GameSetup setup = handEndSetup(c);
        const rules::Deal deal = rules::dealOf(setup.hands[0], false);
        rules::Situation s = rules::dealtHand(deal.positionOfCard, deal.opener, setup.rules);
        const std::vector<std::string> actions = actionsOf(c.actions);
        for (size_t i = 0; i < actions.size(); ++i) {
            const std::vector<std::string> w = words(actions[i]);
            SCOPED_TRACE(actions[i]);
            s.turn = role(w[0]);
            if (w[1] == "pass") {
                rules::countPassOfTurn(s, setup.rules);
            } else {
                ASSERT_TRUE(rules::judgeExchange(s, place(w[2]), handPosition(s.turn)).legal);
                rules::exchange(s, place(w[2]), handPosition(s.turn));
            }
            const rules::HandEnd end = rules::handEndAfterAction(s, deal.goalCard, setup.rules);
            std::string codes =
                std::string(end.byPasses ? " GP" : "") + (end.byLimit ? " GM" : "") + (end.byGoal ? " GE" : "");
            if (!codes.empty()) codes.erase(0, 1);
            EXPECT_EQ(codes, i + 1 == actions.size() ? c.codes : "");
        }
        EXPECT_EQ(s.counters.ckMoves, c.ckMoves);
        EXPECT_EQ(s.counters.nkMoves, c.nkMoves);
        EXPECT_EQ(scoreText(rules::roleScore(setup.rules, s.counters.handMoves)), c.score);
    }
}

TEST(RulesStated, VerifyHoldsEachHandEndToTheRules) {
    for (const HandEndCase& c : kHandEnds) {
        SCOPED_TRACE(c.story);
        const GameSetup setup = handEndSetup(c);
        const std::vector<std::string> codes = words(c.codes);
        const std::vector<std::string> actions = actionsOf(c.actions);
        const std::vector<std::string> right = verify(handEndLogs(c, actions, codes, c.score), setup);
        EXPECT_TRUE(right.empty()) << describe(right);
        // Another score.
        EXPECT_FALSE(verify(handEndLogs(c, actions, codes, std::string(c.score) + "1"), setup).empty());
        // The hand ended one action early.
        if (actions.size() > 1) {
            const std::vector<std::string> early(actions.begin(), actions.end() - 1);
            EXPECT_FALSE(verify(handEndLogs(c, early, codes, c.score), setup).empty());
        }
        // An action after the one that ended the hand, by either role.
        for (const char* next : {"ck pass", "nk pass"}) {
            std::vector<std::string> more = actions;
            more.emplace_back(next);
            const std::vector<std::string> wentOn = verify(handEndLogs(c, more, {}, c.score), setup);
            EXPECT_NE(describe(wentOn).find("hand end: the hand went on"), std::string::npos)
                << next << describe(wentOn);
        }
        // The blocks in another order than GP, GM, GE.
        if (codes.size() > 1) {
            const std::vector<std::string> reversed(codes.rbegin(), codes.rend());
            EXPECT_FALSE(verify(handEndLogs(c, actions, reversed, c.score), setup).empty());
        }
        // Each block left out.
        for (size_t leftOut = 0; leftOut < codes.size(); ++leftOut) {
            std::vector<std::string> fewer = codes;
            fewer.erase(fewer.begin() + static_cast<long>(leftOut));
            if (fewer.empty()) continue;
            EXPECT_FALSE(verify(handEndLogs(c, actions, fewer, c.score), setup).empty())
                << codes[leftOut] << " left out";
        }
    }
}

// ---- Dealing ----

struct DealCase {
    const char* line;
    const char* syntax;
    const char* table;
    const char* goal;
    const char* opener;
};

const DealCase kDeals[] = {
    {"2H 3C 4H 2C 3H 4C 3H ck", "", "3C 2H 4H 3H 4C 2C", "3H", "ck"},
    {"2H 3C 4H 2C 3H 4C 3H ck", "CIRCULAR", "3H 2C 4H 3C 2H 4C", "3H", "ck"},
    {"2H,3C,4H,2C,3H,4C,3H,ck", "", "3C 2H 4H 3H 4C 2C", "3H", "ck"},
    {"2H3C4H2C3H4C3Hck", "OTHER", "3C 2H 4H 3H 4C 2C", "3H", "ck"},
    {"4C 2H 3C 3H 2C 4H 2H nk", "", "2H 4C 3C 2C 4H 3H", "2H", "nk"},
    {"4C 2H 3C 3H 2C 4H 2H nk", "CIRCULAR", "2C 3H 3C 2H 4C 4H", "2H", "nk"},
    {"2H 3c 4H 2c 3H 4c 2c kk", "", "3C 2H 4H 3H 4C 2C", "2C", "ck"},
    {"2H 3C 4H 2C 3H 4C 4C nc", "", "3C 2H 4H 3H 4C 2C", "4C", "ck"},
    {"2H 3C 4H 2C 3H 4C 4C nKk", "", "3C 2H 4H 3H 4C 2C", "4C", "nk"},
};

TEST(RulesStated, ShoeLinesAreDealtAsTheRulesSay) {
    for (const DealCase& c : kDeals) {
        SCOPED_TRACE(std::string(c.line) + " " + c.syntax);
        std::string fault;
        const std::optional<ShoeHand> hand = parseShoeLine(c.line, 2, fault);
        ASSERT_TRUE(hand) << fault;
        const rules::Deal deal = rules::dealOf(*hand, std::string(c.syntax) == "CIRCULAR");
        EXPECT_EQ(tableOf(deal.positionOfCard), c.table);
        EXPECT_EQ(cardText(deal.goalCard), c.goal);
        EXPECT_EQ(roleName(deal.opener), std::string(c.opener));
    }
}

TEST(RulesStated, VerifyHoldsEachDealAndItsOpenerToTheShoe) {
    for (const DealCase& c : kDeals) {
        SCOPED_TRACE(std::string(c.line) + " " + c.syntax);
        const GameSetup setup = setupOf("NONE", "FALSE", 2000, 100, 50, {c.line}, c.syntax);
        for (const Role by : {Role::Ck, Role::Nk}) {
            Logs logs = dealtAs(c.table, c.opener);
            addPass(logs, by, 1);
            const std::vector<std::string> found = verify(logs, setup);
            EXPECT_EQ(found.empty(), roleName(by) == std::string(c.opener)) << roleName(by) << describe(found);
        }
        // The same cards dealt otherwise: two places exchanged.
        std::vector<std::string> cards = words(c.table);
        std::swap(cards[1], cards[3]);
        const std::string other =
            cards[0] + " " + cards[1] + " " + cards[2] + " " + cards[3] + " " + cards[4] + " " + cards[5];
        EXPECT_FALSE(verify(dealtAs(other, c.opener), setup).empty());
    }
}

// ---- The setup's switches ----

struct SwitchCase {
    const char* viewCard;
    const char* dragCkNk;
    const char* syntax;
    rules::HandOver handOver;
    bool handCardsLocked;
    bool circular;
};

// The values as read, upper-cased: a switch counts only when it is exactly its word.
const SwitchCase kSwitches[] = {
    {"NONE", "TRUE", "CIRCULAR", rules::HandOver::Now, false, true},
    {"ALL", "FALSE", "", rules::HandOver::Now, true, false},
    {"MIX", "", "DEFAULT", rules::HandOver::Pending, true, false},
    {"", "TRUE ", "CIRCULAR ", rules::HandOver::Never, true, false},
    {"MIXED", "YES", "CIRCLE", rules::HandOver::Never, true, false},
    {" ALL", "1", "", rules::HandOver::Never, true, false},
};

TEST(RulesStated, TheSetupsSwitchesCountOnlyAsTheirExactWords) {
    for (const SwitchCase& c : kSwitches) {
        SCOPED_TRACE(std::string("ViewCard '") + c.viewCard + "', Drag CkNk '" + c.dragCkNk + "', SyntaxInput '" +
                     c.syntax + "'");
        const rules::TableRules r = setupOf(c.viewCard, c.dragCkNk, 2000, 100, 50, {}, c.syntax).rules;
        EXPECT_EQ(r.handOver, c.handOver);
        EXPECT_EQ(r.handCardsLocked, c.handCardsLocked);
        EXPECT_EQ(r.circularDeal, c.circular);
    }
}

}  // namespace
