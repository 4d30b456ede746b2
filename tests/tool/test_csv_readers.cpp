// What the tables give the programs that read them: a spreadsheet runs no
// participant code as a formula when asked (--spreadsheet-safe) and is
// warned of otherwise; pandas and R, through the readers csv writes beside
// the tables, keep every column as its codebook types it.

#include <gtest/gtest.h>

#include <cstdlib>

#include "tool/LogMaking.h"

using namespace qbx::tool;
using namespace qbx::tool::test;
namespace fs = std::filesystem;

namespace {

// The mix game under the suffix given, its participant code replaced (in
// both logs) by `code`.
void mixGameOf(const fs::path& dataout, const std::string& suffix, const std::string& code) {
    copyMixGame(dataout, suffix);
    for (const char* role : {"ck", "nk"}) {
        const fs::path log = dataout / (role + suffix + ".txt");
        std::string text = readFile(log);
        text.replace(text.find("Z9 \xc3\xa9"), 5, code);
        writeFile(log, text);
    }
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

size_t lineCount(const std::string& text) { return occurrences(text, "\n"); }

}  // namespace

TEST(CsvForSpreadsheets, FormulaCodesAreWarnedOfAndPrefixedOnlyWhenAsked) {
    TempDir tmp;
    const fs::path dataout = tmp.path() / "dataout";
    mixGameOf(dataout, "071226_1", "=1+2");
    mixGameOf(dataout, "071226_2", "@SUM");
    mixGameOf(dataout, "071226_3", "A-1");  // a minus inside is no formula
    const fs::path events = tmp.path() / "events.csv", hands = tmp.path() / "hands.csv";
    const std::vector<std::string> args = {"csv",     dataout.string(), "-o",     events.string(),
                                           "--hands", hands.string(),   "--force"};

    const ProcessResult faithful = runTool(args);
    ASSERT_EQ(faithful.exitCode, 0) << faithful.output;
    const std::string rows = readFile(events), handRows = readFile(hands);
    // Each session's rows are a third of each table (the header left out).
    const size_t cells = 2 * (lineCount(rows) - 1) / 3 + 2 * (lineCount(handRows) - 1) / 3;
    EXPECT_EQ(occurrences(rows, ",=1+2,") + occurrences(handRows, ",=1+2,") + occurrences(rows, ",@SUM,") +
                  occurrences(handRows, ",@SUM,"),
              cells);
    EXPECT_NE(faithful.output.find("warning: " + std::to_string(cells) + " cells of the participant column"),
              std::string::npos)
        << faithful.output;
    EXPECT_NE(faithful.output.find("--spreadsheet-safe"), std::string::npos) << faithful.output;

    std::vector<std::string> safeArgs = args;
    safeArgs.push_back("--spreadsheet-safe");
    const ProcessResult safe = runTool(safeArgs);
    ASSERT_EQ(safe.exitCode, 0) << safe.output;
    const std::string safeRows = readFile(events), safeHands = readFile(hands);
    EXPECT_EQ(occurrences(safeRows + safeHands, ",'=1+2,") + occurrences(safeRows + safeHands, ",'@SUM,"), cells);
    EXPECT_EQ(occurrences(safeRows + safeHands, ",=1+2,"), 0u);
    EXPECT_EQ(occurrences(safeRows + safeHands, ",A-1,"), occurrences(rows + handRows, ",A-1,"));
    EXPECT_EQ(safe.output.find("warning:"), std::string::npos) << safe.output;
    EXPECT_NE(safe.output.find(std::to_string(cells) + " cells of the participant column written with a ' before"),
              std::string::npos)
        << safe.output;
}
