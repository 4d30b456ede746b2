#include "tool/logs/Setup.h"

#include <memory>

#include "tool/Tool.h"
#include "tool/setup/SetupFiles.h"
#include "tool/setup/SolverTable.h"

namespace qbx::tool::logs {

namespace {

std::string cardText(char digit, char letter) { return std::string{digit, letter == 'H' ? 'H' : 'C'}; }

// The card index of "2H" … "4C"; -1 for anything else.
int cardIndexOf(const std::string& text) {
    if (text.size() != 2 || text[0] < '2' || text[0] > '4' || (text[1] != 'H' && text[1] != 'C')) return -1;
    return rules::cardIndex(text[0] - '0', text[1] == 'H' ? 1 : 2);
}

}  // namespace

SessionSetup readSessionSetup(const std::string& dir) {
    const SetupLocation location = locateSetup(dir);
    const SetupRules read = readSetupRules(location);
    SessionSetup setup;
    setup.folder = location.setupDir.string();
    setup.parameters = read.params;
    setup.rules = read.table;
    setup.premiumRound = read.premiumRound;
    setup.costMove = read.costMove;
    setup.maxRounds = read.table.maxRounds;
    setup.circular = read.params.dealingOrder == "CIRCULAR";
    setup.shoePath = location.inWorkDir(read.params.shoeFilePath).string();
    Shoe shoe;
    std::string fault;
    switch (shoe.load(setup.shoePath, fault)) {
    case Shoe::Status::Unreadable: throw CouldNotRun(setup.shoePath + ": the shoe file cannot be read");
    case Shoe::Status::Faulty: throw CouldNotRun(setup.shoePath + ": " + fault);
    case Shoe::Status::Ok: break;
    }
    while (!shoe.atEnd()) setup.hands.push_back(shoe.take());
    setup.fewest = fewestActionsFor(setup);
    return setup;
}

DealtHand dealtHandOf(const ShoeHand& hand, bool circular) {
    DealtHand dealt;
    const auto at = rules::dealingPositions(circular ? "CIRCULAR" : "");
    for (int i = 0; i < 6; ++i) dealt.cards[at[i]] = cardText(hand.pairs[i][0], hand.pairs[i][1]);
    dealt.goal = cardText(hand.goalDigit, hand.goalLetter);
    dealt.opener = hand.firstTurn == "nk" ? "nk" : "ck";
    return dealt;
}

FewestActions fewestActionsFor(const SessionSetup& setup) {
    auto table = std::make_shared<const SolverTable>(setup.rules);
    return [table](const DealtHand& hand) -> std::optional<int> {
        // A hand whose deal the logs do not give whole has no answer.
        Deal deal;
        int seen = 0;
        for (uint8_t position = 0; position < 6; ++position) {
            const int card = cardIndexOf(hand.cards[position]);
            if (card < 0 || (seen & (1 << card))) return std::nullopt;
            seen |= 1 << card;
            deal.positionOfCard[card] = position;
        }
        deal.goalCard = cardIndexOf(hand.goal);
        if (deal.goalCard < 0) return std::nullopt;
        deal.opener = hand.opener == "nk" ? rules::Role::Nk : rules::Role::Ck;
        return fewestActions(*table, deal);
    };
}

}  // namespace qbx::tool::logs
