#pragma once
// What the logs alone do not say, read from the setup folder a session was
// played with (--setup DIR): the premium and cost that the scores follow
// from, the move limit, the order of dealing and the shoe's goal cards and
// openers; and the solver's fewest actions for a hand.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/config/ConfigFiles.h"
#include "core/rules/Rules.h"
#include "core/config/Shoe.h"

namespace qbx::tool::logs {

// A hand as it was dealt: the card at each position code (0 colorCardView,
// 1 downColorCardView, 2 upCardView, 3 downNumberCardView, 4 numberCardView,
// 5 targetCardView) written "2H".."4C", the goal card and the role that
// opens ("ck" or "nk").
struct DealtHand {
    std::array<std::string, 6> cards;
    std::string goal;
    std::string opener;
};

// The fewest moves and passes (both roles together) that bring the hand's
// goal card to the Target under the session's parameters; nullopt when the
// goal cannot be reached. An empty function means no solver is at hand: the
// columns and figures that need it stay empty.
using FewestActions = std::function<std::optional<int>(const DealtHand&)>;

struct SessionSetup {
    std::string folder;  // the setup folder read
    ParameterValues parameters;
    rules::TableRules rules;
    int premiumRound = 0;
    int costMove = 0;
    int maxRounds = 0;
    bool circular = false;  // SyntaxInput CIRCULAR
    std::string shoePath;
    std::vector<ShoeHand> hands;  // in the order they are dealt
    FewestActions fewest;
};

// Reads the setup as `qbxtool check` and `solve` find it (DIR is a session's
// working folder holding setup/, or the setup folder itself) and the shoe
// file it names. Throws CouldNotRun with the file and what is wrong.
SessionSetup readSessionSetup(const std::string& dir);

// The hand a shoe line deals, its colour letters written H or C.
DealtHand dealtHandOf(const ShoeHand& hand, bool circular);

// The solver for the rules of a setup: its table is searched once, here,
// and every hand after that is a look-up.
FewestActions fewestActionsFor(const SessionSetup& setup);

}  // namespace qbx::tool::logs
