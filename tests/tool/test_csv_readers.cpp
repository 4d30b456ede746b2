// What the tables give the programs that read them: a spreadsheet runs no
// participant code as a formula when asked (--spreadsheet-safe) and is
// warned of otherwise; pandas and R, through the readers csv writes beside
// the tables, keep every column as its codebook types it.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "core/eventlog/LogFormat.h"
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

// A run record naming the program version given; its saved setup is not
// there, so the session is read without a setup (and said so).
void writeRunRecord(const fs::path& dataout, const std::string& session, const std::string& version) {
    const std::string hash(64, 'a');
    const nlohmann::json r = {
        {"record", "QBXSolo run record"},
        {"format", 1},
        {"session", session},
        {"logs", {"ck" + session + ".txt", "nk" + session + ".txt"}},
        {"state", "ended"},
        {"program", {{"version", version}}},
        {"workingDirectory", "lab"},
        {"setup", {{"hash", hash}, {"short", hash.substr(0, 12)}, {"saved", "setups/" + hash}, {"files", {}}}},
        {"continues", nullptr},
        {"started", "2026-12-07T14:00:00.000"},
        {"end", {{"time", "2026-12-07T14:20:00.000"}, {"how", "game ended"}, {"hands", 5}}},
        {"problems", nlohmann::json::array()}};
    writeFile(dataout / qbx::runRecordName(session), r.dump(2));
}

// What a shell command prints (standard error too), run in `folder`; its
// exit status in `status`.
std::string outputOf(const fs::path& folder, const std::string& command, int& status) {
    const std::string line = "cd '" + folder.string() + "' && " + command + " 2>&1";
    FILE* pipe = ::popen(line.c_str(), "r");
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
    status = ::pclose(pipe);
    return text;
}

// A Python with pandas: the one on the path, else the system's (where the
// Debian package puts it); "" when neither has it.
std::string pythonWithPandas() {
    for (const char* python : {"python3", "/usr/bin/python3"})
        if (std::system((std::string(python) + " -c 'import pandas' >/dev/null 2>&1").c_str()) == 0) return python;
    return "";
}

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

TEST(CsvReaders, PandasAndRKeepCodesOfDigitsAndVersionsAsTextAndCountsAsIntegers) {
    const std::string python = pythonWithPandas();
    if (python.empty()) GTEST_SKIP() << "pandas is not installed (python3-pandas): the pandas reader is not run";
    if (std::system("Rscript -e 'invisible(0)' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "Rscript is not installed (r-base-core): the R reader is not run";
    TempDir tmp;
    const fs::path dataout = tmp.path() / "dataout", out = tmp.path() / "tables";
    // Codes that read.csv and read_csv turn into a number and a missing value.
    mixGameOf(dataout, "071226_1", "0042");
    mixGameOf(dataout, "071226_2", "NA");
    writeRunRecord(dataout, "071226_1", "1.0");
    writeRunRecord(dataout, "071226_2", "2");
    fs::create_directories(out);
    const ProcessResult run = runTool(
        {"csv", dataout.string(), "-o", (out / "events.csv").string(), "--hands", (out / "hands.csv").string()});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(fs::is_regular_file(out / "read_tables.py") && fs::is_regular_file(out / "read_tables.R"));

    // Each reader, read in its folder, gives the first and last hand's
    // participant and version, and the types of a text, an integer, a number
    // and a date column.
    int status = 0;
    const std::string pandas = outputOf(
        out,
        python +
            " -c \"exec(open('read_tables.py').read()); h = hands.iloc[[0, -1]]; "
            "print(list(h.participant), list(h.program_version), list(h.hand), hands.participant.dtype, "
            "hands.hand.dtype, events.hand.dtype, hands.ck_score.dtype, events.date.dtype, events.hand.isna().any())\"",
        status);
    ASSERT_EQ(status, 0) << pandas;
    EXPECT_EQ(pandas, "['0042', 'NA'] ['1.0', '2'] [1, 5] object Int64 Int64 float64 datetime64[ns] True\n");
    const std::string r =
        outputOf(out,
                 "Rscript -e 'source(\"read_tables.R\"); h <- hands[c(1, nrow(hands)), ]; "
                 "cat(encodeString(h$participant, quote = \"\\\"\"), h$program_version, h$hand, "
                 "class(hands$participant), class(hands$hand), "
                 "class(events$hand), class(hands$ck_score), class(events$date), anyNA(events$hand), \"\\n\")'",
                 status);
    ASSERT_EQ(status, 0) << r;
    EXPECT_EQ(r, "\"0042\" \"NA\" 1.0 2 1 5 character integer integer numeric Date TRUE \n");

    // Run as scripts from elsewhere, given the folder: both tables, whole.
    const std::string rows = "events: " + std::to_string(lineCount(readFile(out / "events.csv")) - 1) +
                             " rows, 19 columns\nhands: 10 rows, 35 columns\n";
    EXPECT_EQ(outputOf(tmp.path(), python + " tables/read_tables.py tables", status), rows);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(outputOf(tmp.path(), "Rscript tables/read_tables.R tables", status), rows);
    EXPECT_EQ(status, 0);

    // A reader is an output like the tables: an existing one is replaced
    // only with --force, and nothing is written when it is refused.
    const fs::path other = tmp.path() / "other";
    fs::create_directories(other);
    writeFile(other / "read_tables.R", "kept\n");
    const ProcessResult refused = runTool({"csv", dataout.string(), "-o", (other / "events.csv").string()});
    EXPECT_EQ(refused.exitCode, 2) << refused.output;
    EXPECT_NE(refused.output.find("read_tables.R"), std::string::npos) << refused.output;
    EXPECT_FALSE(fs::exists(other / "events.csv"));
    EXPECT_EQ(readFile(other / "read_tables.R"), "kept\n");
    const ProcessResult forced = runTool({"csv", dataout.string(), "-o", (other / "events.csv").string(), "--force"});
    ASSERT_EQ(forced.exitCode, 0) << forced.output;
    // Only the events table is written there, and only it is read.
    EXPECT_EQ(outputOf(other, "Rscript read_tables.R", status),
              "events: " + std::to_string(lineCount(readFile(out / "events.csv")) - 1) + " rows, 19 columns\n");
}
