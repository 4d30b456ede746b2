// Time stamps, scores and position names exactly as the analysis scripts
// read them.

#include <clocale>
#include <gtest/gtest.h>

#include "core/eventlog/TimeStamp.h"

using namespace qbx;

namespace {

LocalTime at(int h, int m, int s, int ms) { return LocalTime{2026, 12, 7, h, m, s, ms}; }

TEST(TimeStamp, SecondsSinceMidnightAndMillisecondsWithoutLeadingZeros) {
    EXPECT_EQ(timeStamp(at(10, 30, 45, 7)), "37845.7:");
    EXPECT_EQ(timeStamp(at(10, 30, 45, 250)), "37845.250:");
    EXPECT_EQ(timeStamp(at(0, 0, 5, 3)), "5.3:");
    EXPECT_EQ(timeStamp(at(0, 0, 0, 0)), "0.0:");
    EXPECT_EQ(timeStamp(at(23, 59, 59, 999)), "86399.999:");
}

TEST(TimeStamp, DelaysAreAddedToTheMillisecondsWithoutCarry) {
    EXPECT_EQ(timeStamp(at(10, 30, 45, 999), 1), "37845.1000:");
    EXPECT_EQ(timeStamp(at(10, 30, 45, 999), 6), "37845.1005:");
    EXPECT_EQ(timeStamp(at(10, 30, 45, 7), 3), "37845.10:");
}

TEST(Score, ShortestDecimalFormWithAPointWhateverTheLocale) {
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // a comma locale, where installed
    EXPECT_EQ(scoreText(850), "850");
    EXPECT_EQ(scoreText(-250), "-250");
    EXPECT_EQ(scoreText(950.5), "950.5");
    EXPECT_EQ(scoreText(937.5), "937.5");
    EXPECT_EQ(scoreText(0), "0");
    EXPECT_EQ(scoreText(-0.5), "-0.5");
    EXPECT_EQ(scoreText(1073741823.5), "1073741823.5");
    EXPECT_EQ(scoreText(-1073741824), "-1073741824");
    std::setlocale(LC_ALL, "C");
}

TEST(PositionNames, ShortNamesBecomeLongOthersStay) {
    EXPECT_EQ(longPositionName("ck"), "colorCardView");
    EXPECT_EQ(longPositionName("c"), "downColorCardView");
    EXPECT_EQ(longPositionName("up"), "upCardView");
    EXPECT_EQ(longPositionName("n"), "downNumberCardView");
    EXPECT_EQ(longPositionName("nk"), "numberCardView");
    EXPECT_EQ(longPositionName("t"), "targetCardView");
    EXPECT_EQ(longPositionName("Game started"), "Game started");
    EXPECT_EQ(longPositionName(""), "");
}

}  // namespace
