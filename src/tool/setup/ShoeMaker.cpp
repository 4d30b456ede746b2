#include "tool/setup/ShoeMaker.h"

#include <algorithm>
#include <random>

namespace qbx::tool {

std::vector<rules::Deal> dealsOfDifficulty(const SolverTable& table, int minActions, int maxActions) {
    std::vector<rules::Deal> deals;
    std::array<uint8_t, 6> p{0, 1, 2, 3, 4, 5};
    do {
        for (int goal = 0; goal < 6; ++goal)
            for (Role opener : {Role::Ck, Role::Nk}) {
                const rules::Deal deal{p, goal, opener};
                // A goal dealt at the Target counts as no difficulty at all.
                const std::optional<int> n =
                    deal.positionOfCard[goal] == targetCardView ? 0 : fewestActions(table, deal);
                if (n && *n >= minActions && *n <= maxActions) deals.push_back(deal);
            }
    } while (std::next_permutation(p.begin(), p.end()));
    return deals;
}

MadeShoe makeShoe(const ShoeRequest& request, const GameSetup& setup, const SolverTable& table,
                  const std::string& header) {
    MadeShoe out;
    std::vector<rules::Deal> deals = dealsOfDifficulty(table, request.minActions, request.maxActions);
    out.eligible = deals.size();
    const size_t hands = static_cast<size_t>(std::max(request.hands, 0));
    if (deals.empty() || (!request.repeats && hands > deals.size())) return out;
    // mt19937_64 is the same sequence on every platform; the draws below use
    // its raw output, not a library distribution, so the bytes are too.
    std::mt19937_64 rng(request.seed);
    std::vector<rules::Deal> chosen;
    chosen.reserve(hands);
    for (size_t i = 0; i < hands; ++i) {
        if (request.repeats) {
            chosen.push_back(deals[rng() % deals.size()]);
        } else {
            const size_t j = i + static_cast<size_t>(rng() % (deals.size() - i));
            std::swap(deals[i], deals[j]);
            chosen.push_back(deals[i]);
        }
    }
    out.text = header + "\n";
    for (const rules::Deal& d : chosen) out.text += rules::shoeLineOf(d, setup.rules.circularDeal) + "\n";
    out.made = true;
    return out;
}

}  // namespace qbx::tool
