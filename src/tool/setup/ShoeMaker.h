#pragma once
// `qbxtool shoe`: a shoe of random deals of known difficulty, in the format
// the game reads, that the same options and seed make again byte for byte.

#include <cstdint>
#include <string>
#include <vector>

#include "tool/setup/GameSetup.h"
#include "tool/setup/SolverTable.h"

namespace qbx::tool {

struct ShoeRequest {
    int hands = 0;
    uint64_t seed = 0;
    int minActions = 1;
    int maxActions = 0;
    bool repeats = false;  // the same deal may come back within the shoe
};

// Every deal whose fewest actions lie in [minActions, maxActions], in a fixed
// order (arrangements, then goal card, then ck before nk).
std::vector<rules::Deal> dealsOfDifficulty(const SolverTable& table, int minActions, int maxActions);

struct MadeShoe {
    bool made = false;
    size_t eligible = 0;  // deals of that difficulty under the setup's rules
    std::string text;     // the whole file: header line, then one hand per line
};

// Draws the hands (without repeats unless asked) with a generator fixed by
// the seed; `header` becomes the first line.
MadeShoe makeShoe(const ShoeRequest& request, const GameSetup& setup, const SolverTable& table,
                  const std::string& header);

}  // namespace qbx::tool
