// A whole headless game of 1,000 hands with the logs on real files, as the
// game runs it (every action made durable) and with the disk's part left out;
// and the cost of one durable record as the game writes it.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/FakeDesktop.h"
#include "core/eventlog/LogFile.h"
#include "core/eventlog/LogFormat.h"
#include "core/runrecord/RunRecordWriter.h"

using namespace qbx;
using namespace qbx::test;

namespace {

std::string shoeOf(int hands) {
    std::string shoe = "bench shoe\n";
    for (int i = 0; i < hands; ++i) shoe += i % 2 ? "2H 3C 4H 2C 3H 4C 3H nk\n" : "4C 2H 2C 3H 4H 3C 4C ck\n";
    return shoe;
}

// Arguments: hands, durable (1: every action synced, as in a real run).
void BM_HeadlessGame(benchmark::State& state) {
    const int hands = static_cast<int>(state.range(0));
    const bool durable = state.range(1) != 0;
    int64_t actions = 0, records = 0;
    for (auto _ : state) {
        state.PauseTiming();
        WorkDir dir;
        dir.write("setup/QBXParameter.ini", parameterFile({{"MaxRounds", "100"}}));
        dir.write("setup/messages.ini", englishCatalogue());
        dir.write("setup/shoe.txt", shoeOf(hands));
        Session s;
        s.game.setDurableLogs(durable);
        state.ResumeTiming();
        s.game.startGame("bench   ");
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
        for (const std::string& name : dir.list("dataout"))
            if (parseLogName(name)) records += splitLines(dir.read("dataout/" + name)).size();
        if (records == 0) state.SkipWithError("the game wrote no records");
        state.ResumeTiming();
    }
    state.counters["actions"] = benchmark::Counter(static_cast<double>(actions), benchmark::Counter::kIsRate);
    state.counters["records"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
    state.counters["us_per_action"] =
        benchmark::Counter(static_cast<double>(actions), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HeadlessGame)
    ->Args({1000, 1})
    ->Args({1000, 0})
    ->ArgNames({"hands", "durable"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

const std::string kRecord = "37870.250:37870.250:PM:3H;targetCardView;2H;colorCardView:Color Keeper moved card";

// One record written and made durable, as after every participant action;
// each one timed, for the median and the tail.
void BM_DurableRecord(benchmark::State& state) {
    WorkDir dir;
    LogFile log;
    std::string error;
    if (log.createNew(dir.path() + "/dataout/bench.txt", error) != LogFile::Create::Created) {
        state.SkipWithError(error.c_str());
        return;
    }
    log.sync();
    std::vector<double> us;
    us.reserve(static_cast<size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        log.writeLine(kRecord);
        log.sync();
        const auto t1 = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(us.begin(), us.end());
    auto at = [&](double q) {
        return us[std::min(us.size() - 1, static_cast<size_t>(q * static_cast<double>(us.size())))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = us.back();
}
BENCHMARK(BM_DurableRecord)->Unit(benchmark::kMicrosecond)->Iterations(5000);

// A record handed to the system without waiting for the disk.
void BM_RecordWrite(benchmark::State& state) {
    WorkDir dir;
    LogFile log;
    std::string error;
    log.createNew(dir.path() + "/dataout/bench.txt", error);
    for (auto _ : state) log.writeLine(kRecord);
}
BENCHMARK(BM_RecordWrite)->Unit(benchmark::kMicrosecond);

// The session's start and its first actions with the run record: none, on
// its own thread (as the program runs), or written in the game's thread (what
// the thread saves). Timed on the game's thread: startGame() (the logs made,
// the record handed over), the start to the first hand laid (the game's own
// time; the fake timers skip the one-second wait, so the writer's hashing,
// copying and first record overlap the deal and the first actions here, more
// than in a real session), and each of the first actions with its records
// made durable. The setup holds a 2 MB picture, so the copy takes time.
void BM_RunRecordStart(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));  // 0 none, 1 thread, 2 in the game's thread
    std::vector<double> startUs, dealUs, actionUs;
    for (auto _ : state) {
        WorkDir dir;
        dir.write("setup/QBXParameter.ini", parameterFile({{"MaxRounds", "100"}}));
        dir.write("setup/messages.ini", englishCatalogue());
        dir.write("setup/shoe.txt", shoeOf(200));
        dir.write("setup/picture.bmp", std::string(2 << 20, 'p'));
        Session s;
        if (mode == 0) s.game.setRunRecordWriter(nullptr);
        if (mode == 1) s.game.setRunRecordWriter(std::make_unique<RunRecordWriter>());
        const auto t0 = std::chrono::steady_clock::now();
        s.game.startGame("bench   ");
        const auto t1 = std::chrono::steady_clock::now();
        s.untilHandInPlay();
        const auto t2 = std::chrono::steady_clock::now();
        startUs.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        dealUs.push_back(std::chrono::duration<double, std::micro>(t2 - t0).count());
        for (int h = 0; h < 5; ++h) {
            s.untilHandInPlay();
            for (int p = 0; p < 4; ++p) {
                const auto a0 = std::chrono::steady_clock::now();
                s.pass();
                actionUs.push_back(
                    std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - a0).count());
            }
        }
        s.game.flushRunRecord();
    }
    auto at = [](std::vector<double> v, double q) {
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())))];
    };
    state.counters["start_us"] = at(startUs, 0.5);
    state.counters["first_deal_us"] = at(dealUs, 0.5);
    state.counters["action_p50_us"] = at(actionUs, 0.5);
    state.counters["action_p99_us"] = at(actionUs, 0.99);
    state.counters["action_max_us"] = at(actionUs, 1.0);
}
BENCHMARK(BM_RunRecordStart)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("record")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(30);

}  // namespace

BENCHMARK_MAIN();
