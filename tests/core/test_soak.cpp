// A long session: 2,000 hands played headless by a script of swaps and
// passes. At the end both logs hold exactly the records the script caused,
// and the process did not grow while it played.

#include <gtest/gtest.h>

#include <fstream>
#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <unistd.h>
#endif

#include "support/ScriptedPlay.h"

using namespace qbx;
using namespace qbx::test;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QBX_HAS_ASAN 1
#endif
#endif
#ifndef QBX_HAS_ASAN
#define QBX_HAS_ASAN 0
#endif

namespace {

long residentBytes() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<long>(counters.WorkingSetSize);
#else
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
#endif
}

long countContaining(const std::vector<std::string>& lines, const std::string& what) {
    long n = 0;
    for (const std::string& l : lines) n += l.find(what) != std::string::npos;
    return n;
}

TEST(Soak, TwoThousandHandsKeepEveryRecordAndDoNotGrow) {
    constexpr int kHands = 2000;
    inMemoryTemp([&] {
        WorkDir dir;
        writeScriptedSetup(dir, kHands, 7);
        Session s;
        startScripted(s);
        ASSERT_TRUE(s.platform.messages.empty());

        ScriptedPlay play(s);
        long residentAt200 = 0;
        play.afterDeal = [&](long hands) {
            if (hands == 200) residentAt200 = residentBytes();
        };
        play.playToEnd();
        const long residentAtEnd = residentBytes();

        ASSERT_TRUE(s.platform.terminated);
        EXPECT_EQ(play.hands, kHands);
        // Every hand ends by one condition: one message box for each hand
        // ended by passes, then the game-end box.
        EXPECT_EQ(s.platform.messages.back(), "The game is over. Thank you!");

        const auto names = dir.logs();
        ASSERT_EQ(names.size(), 2u);
        const auto ck = splitLines(dir.read("dataout/" + names[0]));
        const auto nk = splitLines(dir.read("dataout/" + names[1]));
        const long hands = play.hands, actions = play.actions;
        // header 4, game start 1, per hand 6 deal records and 2 hand-end
        // lines, one record per action, the drag starts of the role, 3 at the end.
        EXPECT_EQ(static_cast<long>(ck.size()), 5 + 8 * hands + actions + play.ckDragStarts + 3);
        EXPECT_EQ(static_cast<long>(nk.size()), 5 + 8 * hands + actions + play.nkDragStarts + 3);
        for (const auto* log : {&ck, &nk}) {
            EXPECT_EQ(countContaining(*log, ":GC:"), 6 * hands);
            EXPECT_EQ(countContaining(*log, "M:") - countContaining(*log, "GM:"), play.swaps);
            EXPECT_EQ(countContaining(*log, "P::"), play.passes);
            EXPECT_EQ(countContaining(*log, "Hand Ended"), 2 * hands);
            EXPECT_EQ(log->back(), "TotalMove:" + std::to_string(actions));
        }
        EXPECT_EQ(countContaining(ck, "pR:"), play.ckDragStarts);
        EXPECT_EQ(countContaining(nk, "pR:"), play.nkDragStarts);

        ASSERT_GT(residentAt200, 0);
#if defined(__SANITIZE_ADDRESS__) || QBX_HAS_ASAN
        // AddressSanitizer holds freed memory back in quarantine, so the
        // resident size grows by design; its leak checker covers leaks.
        (void)residentAtEnd;
#else
        EXPECT_LE(residentAtEnd - residentAt200, 2L * 1024 * 1024)
            << "resident at hand 200: " << residentAt200 << ", at the end: " << residentAtEnd;
#endif
    });
}

}  // namespace
