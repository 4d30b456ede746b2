// The solver behind qbxtool solve and shoe: the whole table of one setup
// (every deal x opener, under the rule set that has the most states), then a
// 10,000-hand shoe looked up in it, lines of play included.

#include <benchmark/benchmark.h>

#include <random>

#include "tool/setup/ShoeSolutions.h"
#include "tool/setup/SolverTable.h"

using namespace qbx;
using namespace qbx::tool;

namespace {

// Argument: 0 ViewCard ALL, 1 MIX with locked hand cards, 2 a ViewCard that
// never passes the turn (the most states).
rules::TableRules rulesOf(int64_t which) {
    rules::TableRules r;
    r.handOver = which == 0 ? rules::HandOver::Now : which == 1 ? rules::HandOver::Pending : rules::HandOver::Never;
    r.handCardsLocked = which == 1;
    r.maxRounds = 12;
    return r;
}

void BM_SolverTable(benchmark::State& state) {
    const rules::TableRules r = rulesOf(state.range(0));
    size_t states = 0;
    for (auto _ : state) {
        const SolverTable table(r);
        states = table.stateCount();
        benchmark::DoNotOptimize(states);
    }
    state.counters["states"] = static_cast<double>(states);
}
BENCHMARK(BM_SolverTable)->ArgName("rules")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_SolveShoe10000(benchmark::State& state) {
    const rules::TableRules r = rulesOf(state.range(0));
    const SolverTable table(r);
    GameSetup setup;
    setup.rules = r;
    setup.rules.premiumRound = 2000;
    setup.rules.costMove = 100;
    std::mt19937 rng(1);
    std::vector<rules::Deal> deals(10000);
    for (rules::Deal& d : deals) {
        std::array<uint8_t, 6> p{0, 1, 2, 3, 4, 5};
        std::shuffle(p.begin(), p.end(), rng);
        d = rules::Deal{p, static_cast<int>(rng() % 6), rng() % 2 ? Role::Nk : Role::Ck};
    }
    for (auto _ : state) {
        size_t actions = 0;
        for (const rules::Deal& d : deals) actions += solveDeal(d, setup, table).line.size();
        benchmark::DoNotOptimize(actions);
    }
    state.counters["hands/s"] =
        benchmark::Counter(10000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SolveShoe10000)->ArgName("rules")->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
