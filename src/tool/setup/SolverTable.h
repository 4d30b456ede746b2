#pragma once
// The fewest actions a hand needs: an exhaustive search over every state a
// hand can be in under one setup's rules (card arrangement x turn x pending
// hand-over x passes in a row x which cards can be dragged), done once per
// setup, after which any deal is a table look-up.
//
// Use:
//     qbx::tool::SolverTable table(rules);           // about a tenth of a second
//     std::optional<int> n = qbx::tool::fewestActions(table, deal);
//
// The moves the search may make are those of the game's own rules
// (core/rules/Rules.h): nothing here decides what is legal.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/rules/Rules.h"
#include "tool/setup/GameSetup.h"

namespace qbx::tool {

// One action of a line of play: a swap of the role's hand card with the card
// at `position`, or a pass.
struct Action {
    Role role = Role::Ck;
    bool isPass = false;
    uint8_t position = 0;
    std::string text() const;  // "ck swaps up", "nk passes"
};

class SolverTable {
public:
    // Searches every state under these rules; MaxRounds is applied at look-up.
    explicit SolverTable(const rules::TableRules& rules);
    const rules::TableRules& rules() const { return rules_; }
    size_t stateCount() const { return states_.size(); }

    // Fewest actions from a dealt hand, ignoring MaxRounds; nullopt when no
    // line of play ever reaches the goal.
    std::optional<int> distance(const rules::Deal& deal) const;
    std::vector<Action> line(const rules::Deal& deal) const;
    // Fewest actions from a hand in play (the game's own Situation) to the
    // goal card at the Target, ignoring MaxRounds: 0 when it lies there;
    // nullopt when no line of play reaches it.
    std::optional<int> distanceFrom(const rules::Situation& s, int goalCard) const;

private:
    static constexpr uint8_t kNever = 255;
    static constexpr int kActions = 5;  // swaps with c, up, n, t; the pass
    uint32_t stateIndexOf(const rules::Situation& s) const;
    rules::Situation situationOf(uint32_t stateIndex) const;

    rules::TableRules rules_;
    std::vector<int32_t> compactOf_;    // full state index -> reachable state, or -1
    std::vector<uint32_t> states_;      // reachable state -> full state index
    std::vector<int32_t> next_;         // kActions per reachable state, -1 for none
    std::vector<uint8_t> distance_[6];  // per goal card, per reachable state
};

// The fewest swaps and passes that bring the deal's goal card to the Target
// within the setup's MaxRounds: 1 when it lies there already as dealt (the
// hand then ends at its first action, whatever it is), nullopt when the hand
// cannot reach it before it ends. Deterministic, a table look-up: safe to
// call per row.
std::optional<int> fewestActions(const SolverTable& table, const rules::Deal& deal);

// The fewest actions of any deal under these rules: the table is searched
// once, here, and every deal after that is a look-up.
FewestActions fewestActionsFor(const rules::TableRules& rules);

// One shortest line of play for a deal that fewestActions() says can be
// solved (empty otherwise, and when the goal is already at the Target).
std::vector<Action> shortestLine(const SolverTable& table, const rules::Deal& deal);

}  // namespace qbx::tool
