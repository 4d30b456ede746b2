#include "tool/sim/Players.h"

#include <cmath>
#include <cstdlib>

#include "tool/Tool.h"

namespace qbx::tool::sim {

uint64_t Draws::next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double Draws::normal(double mean, double sd) {
    // 1 - unit() is in (0, 1]: the logarithm is finite.
    const double u = 1.0 - unit(), v = unit();
    return mean + sd * std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * 3.14159265358979323846 * v);
}

PlayerChoice parsePlayer(const std::string& text) {
    PlayerChoice choice;
    choice.text = text;
    if (text == "random") return choice;
    if (text == "greedy") {
        choice.kind = PlayerKind::Greedy;
        return choice;
    }
    if (text == "optimal") {
        choice.kind = PlayerKind::Optimal;
        return choice;
    }
    if (text.rfind("noisy:", 0) == 0) {
        const std::string p = text.substr(6);
        char* end = nullptr;
        const double value = p.empty() ? NAN : std::strtod(p.c_str(), &end);
        if (p.empty() || *end != '\0' || !(value >= 0.0 && value <= 1.0))
            throw CouldNotRun("--players noisy:P needs P between 0 and 1 (the chance of the solver's action), not '" +
                              p + "'");
        choice.kind = PlayerKind::Noisy;
        choice.p = value;
        return choice;
    }
    throw CouldNotRun("--players: unknown player '" + text + "'; the players are random, greedy, optimal and noisy:P");
}

Role actorOf(const rules::Situation& s) { return s.handOverPending ? otherRole(s.turn) : s.turn; }

namespace {

constexpr uint8_t kSwapWith[4] = {downColorCardView, upCardView, downNumberCardView, targetCardView};

}  // namespace

std::vector<SimAction> allowedActions(const rules::Situation& s, const rules::TableRules& rules) {
    std::vector<SimAction> actions;
    for (uint8_t position : kSwapWith) {
        rules::Situation t = s;
        if (rules::trySwap(t, position, rules)) actions.push_back(SimAction{false, position});
    }
    actions.push_back(SimAction{true, 0});
    return actions;
}

rules::Situation afterAction(const rules::Situation& s, SimAction a, const rules::TableRules& rules) {
    rules::Situation t = s;
    if (a.isPass)
        rules::pass(t, rules);
    else
        rules::trySwap(t, a.position, rules);
    return t;
}

int goalNearness(const rules::Situation& s, int goalCard) {
    const uint8_t at = s.positionOfCard[goalCard];
    if (at == targetCardView) return 0;
    const rules::CardAt target = s.at(targetCardView);
    if (isHandPosition(at)) {
        const Role holder = at == colorCardView ? Role::Ck : Role::Nk;
        return rules::judgeExchange(holder, s.at(at), target).legal ? 1 : 2;
    }
    for (Role role : {Role::Ck, Role::Nk}) {
        const rules::CardAt inHand{cardNumber(goalCard), cardColour(goalCard), handPosition(role)};
        if (rules::judgeExchange(role, inHand, target).legal) return 2;
    }
    return 3;
}

SimAction Player::choose(const rules::Situation& s, int goalCard) {
    switch (choice_.kind) {
    case PlayerKind::Random: return randomAction(s);
    case PlayerKind::Greedy: return greedyAction(s, goalCard);
    case PlayerKind::Optimal: return optimalAction(s, goalCard);
    case PlayerKind::Noisy: return draws_.unit() < choice_.p ? optimalAction(s, goalCard) : randomAction(s);
    }
    return SimAction{};
}

SimAction Player::randomAction(const rules::Situation& s) {
    const std::vector<SimAction> actions = allowedActions(s, rules_);
    return actions[draws_.below(actions.size())];
}

SimAction Player::greedyAction(const rules::Situation& s, int goalCard) {
    const int now = goalNearness(s, goalCard);
    std::vector<SimAction> best;
    int bestNearness = now;
    for (const SimAction& a : allowedActions(s, rules_)) {
        if (a.isPass) continue;
        const int n = goalNearness(afterAction(s, a, rules_), goalCard);
        if (n < bestNearness) {
            bestNearness = n;
            best.clear();
        }
        if (n == bestNearness && n < now) best.push_back(a);
    }
    if (best.empty()) return SimAction{};
    return best[draws_.below(best.size())];
}

SimAction Player::optimalAction(const rules::Situation& s, int goalCard) {
    if (!solver_) return SimAction{};
    const std::optional<int> d = solver_->distanceFrom(s, goalCard);
    if (!d || *d == 0) return SimAction{};
    for (const SimAction& a : allowedActions(s, rules_)) {
        const rules::Situation t = afterAction(s, a, rules_);
        // The fourth pass in a row ends the hand without its goal.
        if (t.counters.consecutivePasses >= 4) continue;
        const std::optional<int> dt = solver_->distanceFrom(t, goalCard);
        if (dt && *dt + 1 == *d) return a;
    }
    return SimAction{};
}

}  // namespace qbx::tool::sim
