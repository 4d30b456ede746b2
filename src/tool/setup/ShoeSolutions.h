#pragma once
// `qbxtool solve`: for every hand of a shoe, the fewest actions that bring
// its goal card to the Target under a setup's rules, one shortest line of
// play, and the score that leaves each role.

#include <string>
#include <vector>

#include "core/json/Json.h"
#include "tool/setup/GameSetup.h"
#include "tool/setup/SolverTable.h"

namespace qbx::tool {

struct HandSolution {
    enum class Status { Solved, AlreadyAtTarget, Unreachable };
    int lineNumber = 0;
    std::string shoeLine;  // as written in the file
    rules::Deal deal;
    Status status = Status::Solved;
    int fewestActions = 0;     // Solved, and 1 when AlreadyAtTarget
    std::vector<Action> line;  // Solved only
    std::string score;         // each role's score after the fewest actions, as the log writes it
};

// Reads and solves the shoe file. Throws CouldNotRun when it cannot be read
// or a line is not a hand (with the file and the line).
std::vector<HandSolution> solveShoe(const std::string& shoePath, const GameSetup& setup, const SolverTable& table);
// One hand's solution for a deal (lineNumber and shoeLine left empty).
HandSolution solveDeal(const rules::Deal& deal, const GameSetup& setup, const SolverTable& table);

std::string solutionsText(const std::string& shoePath, const GameSetup& setup, const std::vector<HandSolution>& hands);
json::Value solutionsJson(const std::string& shoePath, const GameSetup& setup, const std::vector<HandSolution>& hands);

// "ViewCard ALL, Drag CkNk TRUE, MaxRounds 12, SyntaxInput DEFAULT": the
// settings a solution depends on.
std::string rulesSummary(const GameSetup& setup);

}  // namespace qbx::tool
