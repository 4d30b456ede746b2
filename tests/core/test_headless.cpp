// The desktop without a display that simulated participants and the replay
// play on: its clock across days, and a game whose logs stay in memory.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/FakeDesktop.h"
#include "support/MixGame.h"

using namespace qbx;
using namespace qbx::test;

namespace {

TEST(SimulatedClock, CountsOnIntoTheFollowingDays) {
    const LocalTime day{2028, 2, 28, 0, 0, 0, 0};
    const LocalTime a = localTimeAfter(day, 23 * 3600000LL + 59 * 60000 + 59 * 1000 + 999);
    EXPECT_EQ(std::tuple(a.year, a.month, a.day, a.hour, a.minute, a.second, a.millisecond),
              std::tuple(2028, 2, 28, 23, 59, 59, 999));
    const LocalTime leap = localTimeAfter(day, 86400000LL + 1);  // 2028 is a leap year
    EXPECT_EQ(std::tuple(leap.month, leap.day, leap.millisecond), std::tuple(2, 29, 1));
    const LocalTime march = localTimeAfter(day, 2 * 86400000LL);
    EXPECT_EQ(std::tuple(march.month, march.day), std::tuple(3, 1));
    const LocalTime newYear = localTimeAfter({2026, 12, 31, 0, 0, 0, 0}, 86400000LL + 3600000);
    EXPECT_EQ(std::tuple(newYear.year, newYear.month, newYear.day, newYear.hour), std::tuple(2027, 1, 1, 1));
    const LocalTime before = localTimeAfter({2027, 1, 1, 0, 0, 0, 0}, -1);
    EXPECT_EQ(std::tuple(before.year, before.month, before.day, before.hour, before.millisecond),
              std::tuple(2026, 12, 31, 23, 999));
}

// Passes until the shoe is done; returns the boxes shown.
std::vector<std::string> passThroughTheShoe(SimulatedClock& clock, SimulatedDesktop& desktop, Game& game) {
    while (!desktop.terminated) {
        desktop.untilHandInPlay(game);
        if (desktop.terminated) break;
        clock.advance(1500);
        game.pass();
    }
    return desktop.messages;
}

TEST(LogsInMemory, HoldTheRecordsTheDiskWouldAndWriteNothing) {
    std::string onDisk[2];
    {
        WorkDir dir;
        writeSetup(dir, kMixShoe, {{"ViewCard", "MIX"}});
        SimulatedClock clock;
        clock.setMs(9 * 3600000LL);
        SimulatedDesktop desktop(clock);
        Game game(desktop, clock, dir.path());
        game.setRandomSuffix([] { return 77; });
        game.startGame("P1   ");
        passThroughTheShoe(clock, desktop, game);
        onDisk[0] = dir.read("dataout/ck071226_77.txt");
        onDisk[1] = dir.read("dataout/nk071226_77.txt");
        ASSERT_FALSE(onDisk[0].empty());
    }
    WorkDir dir;
    writeSetup(dir, kMixShoe, {{"ViewCard", "MIX"}});
    std::filesystem::remove(inWorkDir("dataout"));  // a replay needs none
    SimulatedClock clock;
    clock.setMs(9 * 3600000LL);
    SimulatedDesktop desktop(clock);
    Game game(desktop, clock, dir.path());
    game.setRandomSuffix([] { return 77; });
    game.keepLogsInMemory();
    game.startGame("P1   ");
    const std::vector<std::string> boxes = passThroughTheShoe(clock, desktop, game);
    EXPECT_EQ(boxes.back(), "The game is over. Thank you!");
    EXPECT_EQ(game.logs().ck().memory(), onDisk[0]);
    EXPECT_EQ(game.logs().nk().memory(), onDisk[1]);
    EXPECT_EQ(game.logs().suffix(), "071226_77.txt");
    EXPECT_EQ(dir.list(""), (std::vector<std::string>{"setup"}));
    EXPECT_EQ(dir.list("setup").size(), 3u);
}

}  // namespace
