// verify and the game hold the same rules: for every setting, role in turn,
// pair of places and pair of cards, a pick-up and a move recorded as the
// game would record them are found faulty by verify exactly when the game's
// rule functions would not have let them happen; and the pass that follows a
// legal swap is the other role's exactly when the rules hand the turn over.

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
