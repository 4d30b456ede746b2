#pragma once
// The simulated participants of `qbxtool simulate`: what each kind of player
// does next in a hand, chosen from the actions the game's own rules allow
// (core/rules), never from a copy of them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/rules/Rules.h"
#include "tool/setup/SolverTable.h"

namespace qbx::tool::sim {

// The seeded source of every draw of a simulation: 64-bit SplitMix, the
// same numbers on every platform and compiler, so that a seed gives the
// same sessions everywhere.
class Draws {
public:
    explicit Draws(uint64_t seed) : state_(seed) {}
    uint64_t next();
    // 0 <= n < bound.
    uint64_t below(uint64_t bound) { return next() % bound; }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Normal with this mean and standard deviation (Box-Muller).
    double normal(double mean, double sd);

private:
    uint64_t state_;
};

enum class PlayerKind { Random, Greedy, Optimal, Noisy };

struct PlayerChoice {
    PlayerKind kind = PlayerKind::Random;
    double p = 0;      // noisy: the chance of the solver's action
    std::string text;  // as given: "random", "noisy:0.8"
};

// "random", "greedy", "optimal" or "noisy:P" with 0 <= P <= 1. Throws
// CouldNotRun with what is wrong.
PlayerChoice parsePlayer(const std::string& text);

// One action: the role that acts swaps its hand card with the card at
// `position`, or passes.
struct SimAction {
    bool isPass = true;
    uint8_t position = 0;
    bool operator==(const SimAction&) const = default;
};

// The role that acts next: the one in turn, or the other one while a
// hand-over is pending (its first touch completes it).
Role actorOf(const rules::Situation& s);

// Every action the rules allow now: the swaps that rules::trySwap accepts,
// in the order c, up, n, t, then the pass.
std::vector<SimAction> allowedActions(const rules::Situation& s, const rules::TableRules& rules);

// The hand after an action, as the rules play it.
rules::Situation afterAction(const rules::Situation& s, SimAction a, const rules::TableRules& rules);

// How far the goal card is from the Target by the rules alone, without a
// search: 0 at the Target; 1 in a hand card that its role may exchange with
// the Target; 2 on the table (face up or down) where a role could take it
// and then exchange it with the Target; 3 anywhere else.
int goalNearness(const rules::Situation& s, int goalCard);

class Player {
public:
    // `solver` is needed by the optimal and noisy players only.
    Player(PlayerChoice choice, const rules::TableRules& rules, const SolverTable* solver, Draws& draws)
        : choice_(std::move(choice)), rules_(rules), solver_(solver), draws_(draws) {}
    SimAction choose(const rules::Situation& s, int goalCard);

    SimAction randomAction(const rules::Situation& s);
    // The action that brings the goal nearer (goalNearness), ties drawn;
    // the pass when none does.
    SimAction greedyAction(const rules::Situation& s, int goalCard);
    // An action on a shortest line to the goal (the solver's table); the
    // pass when the goal cannot be reached or lies at the Target already.
    SimAction optimalAction(const rules::Situation& s, int goalCard);

private:
    PlayerChoice choice_;
    rules::TableRules rules_;
    const SolverTable* solver_;
    Draws& draws_;
};

}  // namespace qbx::tool::sim
