// A whole headless game of 1,000 hands with the logs on real files, and the
// cost of one durable record as the game writes it.

#include <benchmark/benchmark.h>

#include <string>

#include "support/FakeDesktop.h"
#include "table/log/LogFile.h"

using namespace qbx;
using namespace qbx::test;

namespace {

std::string shoeOf(int hands) {
    std::string shoe = "bench shoe\n";
    for (int i = 0; i < hands; ++i) shoe += i % 2 ? "2H 3C 4H 2C 3H 4C 3H nk\n" : "4C 2H 2C 3H 4H 3C 4C ck\n";
    return shoe;
}

void BM_HeadlessGame(benchmark::State& state) {
    const int hands = static_cast<int>(state.range(0));
    int64_t actions = 0, records = 0;
    for (auto _ : state) {
        state.PauseTiming();
        WorkDir dir;
        dir.write("setup/QBXParameter.ini", parameterFile({{"MaxRounds", "100"}}));
        dir.write("setup/messages.ini", englishCatalogue());
        dir.write("setup/shoe.txt", shoeOf(hands));
        Session s;
        state.ResumeTiming();
        s.game.FormCreate("bench   ");
        for (int h = 0; h < hands; ++h) {
            s.untilHandInPlay();
            // Each role swaps its hand card with a face-down card, then four
            // passes end the hand.
            s.drag(colorCardView, downColorCardView);
            s.settle();
            s.drag(numberCardView, downNumberCardView);
            s.settle();
            for (int p = 0; p < 4; ++p) s.pass();
            actions += 6 + 2;  // two pick-ups, two moves, four passes
        }
        s.settle();
        state.PauseTiming();
        for (const std::string& name : dir.list("dataout")) records += splitLines(dir.read("dataout/" + name)).size();
        state.ResumeTiming();
    }
    state.counters["actions"] = benchmark::Counter(static_cast<double>(actions), benchmark::Counter::kIsRate);
    state.counters["records"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
    state.counters["us_per_action"] = benchmark::Counter(static_cast<double>(actions),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["us_per_record"] = benchmark::Counter(static_cast<double>(records),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HeadlessGame)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

// One record written and made durable, as after every participant action.
void BM_DurableRecord(benchmark::State& state) {
    WorkDir dir;
    LogFile log;
    std::string error;
    log.createNew("dataout/bench.txt", error);
    const std::string record = "37870.250:37870.250:PM:3H;targetCardView;2H;colorCardView:Color Keeper moved card";
    for (auto _ : state) {
        log.writeLine(record);
        log.sync();
    }
}
BENCHMARK(BM_DurableRecord)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);

// A record handed to the system without waiting for the disk.
void BM_RecordWrite(benchmark::State& state) {
    WorkDir dir;
    LogFile log;
    std::string error;
    log.createNew("dataout/bench.txt", error);
    const std::string record = "37870.250:37870.250:PM:3H;targetCardView;2H;colorCardView:Color Keeper moved card";
    for (auto _ : state) log.writeLine(record);
}
BENCHMARK(BM_RecordWrite)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
