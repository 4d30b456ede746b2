#include "tool/setup/SolverTable.h"

#include <algorithm>
#include <memory>

#include "core/eventlog/LogFormat.h"

namespace qbx::tool {

namespace {

using rules::Situation;

// The 720 arrangements of the six cards, and the way back from one to its
// number: the position of card c sits in bits 3c to 3c+2 of the key.
struct Arrangements {
    std::vector<std::array<uint8_t, 6>> byIndex;
    std::vector<int16_t> indexOfKey;
    Arrangements() : indexOfKey(1u << 18, -1) {
        std::array<uint8_t, 6> p{0, 1, 2, 3, 4, 5};
        do {
            indexOfKey[keyOf(p)] = static_cast<int16_t>(byIndex.size());
            byIndex.push_back(p);
        } while (std::next_permutation(p.begin(), p.end()));
    }
    static uint32_t keyOf(const std::array<uint8_t, 6>& p) {
        uint32_t key = 0;
        for (int c = 0; c < 6; ++c) key |= static_cast<uint32_t>(p[c]) << (3 * c);
        return key;
    }
    int indexOf(const std::array<uint8_t, 6>& p) const { return indexOfKey[keyOf(p)]; }
};

const Arrangements& arrangements() {
    static const Arrangements table;
    return table;
}

// The positions a role's hand card can be swapped with, in the order a line
// of play tries them; the fifth action is the pass.
constexpr uint8_t kSwapWith[4] = {upCardView, downColorCardView, downNumberCardView, targetCardView};

// A state's number: arrangement, turn, pending hand-over, passes in a row
// (0 to 3; the fourth ends the hand) and the six drag permissions.
constexpr uint32_t kStatesPerArrangement = 2 * 2 * 4 * 64;

}  // namespace

std::string Action::text() const {
    return std::string(roleName(role)) + (isPass ? " passes" : " swaps " + std::string(placeShortName(position)));
}

uint32_t SolverTable::stateIndexOf(const Situation& s) const {
    const uint32_t arrangement = static_cast<uint32_t>(arrangements().indexOf(s.positionOfCard));
    uint32_t index = arrangement * 2 + static_cast<uint32_t>(s.turn);
    index = index * 2 + (s.handOverPending ? 1 : 0);
    index = index * 4 + static_cast<uint32_t>(s.counters.consecutivePasses);
    return index * 64 + s.draggable;
}

Situation SolverTable::situationOf(uint32_t index) const {
    Situation s;
    s.draggable = static_cast<rules::DragMask>(index % 64);
    index /= 64;
    s.counters.consecutivePasses = static_cast<int32_t>(index % 4);
    index /= 4;
    s.handOverPending = index % 2;
    index /= 2;
    s.turn = static_cast<Role>(index % 2);
    s.positionOfCard = arrangements().byIndex[index / 2];
    return s;
}

SolverTable::SolverTable(const rules::TableRules& tableRules) : rules_(tableRules) {
    const Arrangements& all = arrangements();
    compactOf_.assign(all.byIndex.size() * kStatesPerArrangement, -1);
    auto reach = [this](const Situation& s) {
        const uint32_t index = stateIndexOf(s);
        if (compactOf_[index] < 0) {
            compactOf_[index] = static_cast<int32_t>(states_.size());
            states_.push_back(index);
        }
        return compactOf_[index];
    };
    for (const auto& p : all.byIndex)
        for (Role opener : {Role::Ck, Role::Nk}) reach(rules::dealtHand(p, opener, rules_));

    // Every state reachable from a deal, with the state each action leads to.
    for (size_t i = 0; i < states_.size(); ++i) {
        const Situation s = situationOf(states_[i]);
        int32_t successors[kActions];
        for (int a = 0; a < kActions; ++a) {
            Situation t = s;
            bool possible = true;
            if (a < 4)
                possible = rules::trySwap(t, kSwapWith[a], rules_);
            else
                rules::pass(t, rules_);
            // The fourth pass in a row ends the hand without its goal.
            if (t.counters.consecutivePasses >= 4) possible = false;
            successors[a] = possible ? reach(t) : -1;
        }
        next_.insert(next_.end(), successors, successors + kActions);
    }

    // Distances to the goal, per goal card, backwards from every state with
    // that card at the Target.
    const size_t n = states_.size();
    std::vector<uint32_t> firstIn(n + 1, 0), from(next_.size());
    for (int32_t j : next_)
        if (j >= 0) ++firstIn[static_cast<size_t>(j) + 1];
    for (size_t i = 0; i < n; ++i) firstIn[i + 1] += firstIn[i];
    std::vector<uint32_t> fill(firstIn.begin(), firstIn.end() - 1);
    for (size_t i = 0; i < n; ++i)
        for (int a = 0; a < kActions; ++a)
            if (const int32_t j = next_[i * kActions + a]; j >= 0)
                from[fill[static_cast<size_t>(j)]++] = static_cast<uint32_t>(i);

    std::vector<uint32_t> queue;
    queue.reserve(n);
    for (int goal = 0; goal < 6; ++goal) {
        std::vector<uint8_t>& d = distance_[goal];
        d.assign(n, kNever);
        queue.clear();
        for (size_t i = 0; i < n; ++i)
            if (all.byIndex[states_[i] / kStatesPerArrangement][goal] == targetCardView) {
                d[i] = 0;
                queue.push_back(static_cast<uint32_t>(i));
            }
        for (size_t head = 0; head < queue.size(); ++head) {
            const uint32_t j = queue[head];
            const uint8_t dj = d[j];
            if (dj + 1 >= kNever) continue;
            for (uint32_t k = firstIn[j]; k < firstIn[j + 1]; ++k) {
                const uint32_t i = from[k];
                if (d[i] == kNever) {
                    d[i] = static_cast<uint8_t>(dj + 1);
                    queue.push_back(i);
                }
            }
        }
    }
}

std::optional<int> SolverTable::distance(const rules::Deal& deal) const {
    if (deal.positionOfCard[deal.goalCard] == targetCardView) return 0;
    const int32_t i = compactOf_[stateIndexOf(rules::dealtHand(deal.positionOfCard, deal.opener, rules_))];
    const uint8_t d = distance_[deal.goalCard][static_cast<size_t>(i)];
    if (d == kNever) return std::nullopt;
    return d;
}

std::optional<int> SolverTable::distanceFrom(const rules::Situation& s, int goalCard) const {
    if (s.positionOfCard[goalCard] == targetCardView) return 0;
    // Four passes in a row have ended the hand.
    if (s.counters.consecutivePasses < 0 || s.counters.consecutivePasses > 3) return std::nullopt;
    const int32_t i = compactOf_[stateIndexOf(s)];
    if (i < 0) return std::nullopt;
    const uint8_t d = distance_[goalCard][static_cast<size_t>(i)];
    if (d == kNever) return std::nullopt;
    return d;
}

std::vector<Action> SolverTable::line(const rules::Deal& deal) const {
    std::vector<Action> actions;
    if (!distance(deal) || deal.positionOfCard[deal.goalCard] == targetCardView) return actions;
    const std::vector<uint8_t>& d = distance_[deal.goalCard];
    int32_t i = compactOf_[stateIndexOf(rules::dealtHand(deal.positionOfCard, deal.opener, rules_))];
    while (d[static_cast<size_t>(i)] > 0) {
        const Situation s = situationOf(states_[static_cast<size_t>(i)]);
        // A pending hand-over means the next role acts.
        const Role actor = s.handOverPending ? otherRole(s.turn) : s.turn;
        for (int a = 0; a < kActions; ++a) {
            const int32_t j = next_[static_cast<size_t>(i) * kActions + a];
            if (j >= 0 && d[static_cast<size_t>(j)] + 1 == d[static_cast<size_t>(i)]) {
                actions.push_back(Action{actor, a == 4, a < 4 ? kSwapWith[a] : uint8_t{0}});
                i = j;
                break;
            }
        }
    }
    return actions;
}

std::optional<int> fewestActions(const SolverTable& table, const rules::Deal& deal) {
    const std::optional<int> d = table.distance(deal);
    if (!d) return d;
    // A goal dealt at the Target ends the hand at its first action, whatever
    // it is: one action, played as well as it can be.
    if (*d == 0) return 1;
    // With MaxRounds 1 or less every hand ends at its first action, which
    // still counts when it brings the goal card to the Target.
    const int limit = std::max(table.rules().maxRounds, 1);
    if (*d > limit) return std::nullopt;
    return d;
}

std::vector<Action> shortestLine(const SolverTable& table, const rules::Deal& deal) {
    if (!fewestActions(table, deal)) return {};
    return table.line(deal);
}

FewestActions fewestActionsFor(const rules::TableRules& rules) {
    auto table = std::make_shared<const SolverTable>(rules);
    return [table](const rules::Deal& deal) { return fewestActions(*table, deal); };
}

}  // namespace qbx::tool
