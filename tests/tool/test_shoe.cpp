// qbxtool shoe and solve as an experimenter uses them: a made shoe passes
// check, every hand is as hard as asked, the same seed makes the same file,
// and solve reports what the game would need.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include <nlohmann/json.hpp>

#include "support/FakeDesktop.h"
#include "tool/Tool.h"
#include "tool/ToolTestSupport.h"
#include "tool/setup/Check.h"
#include "tool/setup/ShoeMaker.h"
#include "tool/setup/ShoeSolutions.h"

namespace fs = std::filesystem;
using namespace qbx::tool;
using qbx::test::WorkDir;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    return out;
}

}  // namespace

TEST(Shoe, AMadeShoePassesCheckAndEveryHandIsAsHardAsAsked) {
    struct Case {
        const char* viewCard;
        const char* dragCkNk;
        const char* syntax;
        int min, max;
    };
    for (const Case& c : {Case{"ALL", "TRUE", "DEFAULT", 2, 4}, Case{"MIX", "FALSE", "CIRCULAR", 5, 5},
                          Case{"NON", "FALSE", "CIRCULAR", 1, 6}, Case{"NONE", "TRUE", "DEFAULT", 3, 3}}) {
        WorkDir dir;
        qbx::test::writeSetup(dir, "",
                              {{"ViewCard", c.viewCard}, {"Drag CkNk", c.dragCkNk}, {"SyntaxInput", c.syntax}});
        dir.write("setup/help.html", "<p>help</p>");
        const GameSetup setup = readSetup(locateSetup(dir.path()));
        const SolverTable table(setup.rules);
        const MadeShoe shoe = makeShoe({40, 11, c.min, c.max, false}, setup, table, "made for a test");
        ASSERT_TRUE(shoe.made) << c.viewCard << " " << shoe.eligible;
        dir.write("setup/shoe.txt", shoe.text);

        const CheckReport report = checkWorkDir(dir.path());
        EXPECT_EQ(report.count(Finding::Level::Error), 0) << checkText(report);
        for (const Finding& f : report.findings) EXPECT_NE(f.file, "setup/shoe.txt") << checkText(report);
        const std::vector<HandSolution> hands = solveShoe(dir.path() + "/setup/shoe.txt", setup, table);
        ASSERT_EQ(hands.size(), 40u);
        std::set<std::string> distinct;
        for (const HandSolution& h : hands) {
            ASSERT_EQ(h.status, HandSolution::Status::Solved) << h.shoeLine;
            EXPECT_GE(h.fewestActions, c.min) << h.shoeLine;
            EXPECT_LE(h.fewestActions, c.max) << h.shoeLine;
            distinct.insert(h.shoeLine);
        }
        EXPECT_EQ(distinct.size(), 40u) << "a deal came back without --repeat";
    }
}

TEST(Shoe, TheSameSeedMakesTheSameBytesAndAnotherSeedAnotherShoe) {
    TempDir tmp;
    fs::copy(QBX_EXAMPLES "/setup", tmp.path() / "setup", fs::copy_options::recursive);
    const std::string setup = tmp.path().string();
    const auto make = [&](const std::string& name, const std::string& seed) {
        const ProcessResult r = runTool({"shoe", "--hands", "30", "--seed", seed, "--min", "2", "--max", "5", "--setup",
                                         setup, "-o", (tmp.path() / name).string()});
        EXPECT_EQ(r.exitCode, kExitOk) << r.output;
        return readFile(tmp.path() / name);
    };
    const std::string a = make("a.txt", "42"), b = make("b.txt", "42"), c = make("c.txt", "43");
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    const std::vector<std::string> rows = lines(a);
    ASSERT_EQ(rows.size(), 31u);
    EXPECT_NE(rows[0].find("--hands 30 --seed 42 --min 2 --max 5"), std::string::npos) << rows[0];

    // An existing file is kept unless --force says otherwise.
    const ProcessResult again =
        runTool({"shoe", "--hands", "3", "--seed", "1", "--setup", setup, "-o", (tmp.path() / "a.txt").string()});
    EXPECT_EQ(again.exitCode, kExitCouldNotRun);
    EXPECT_EQ(readFile(tmp.path() / "a.txt"), a);
}

TEST(Shoe, SaysWhenTooFewDealsAreThatHardAndWritesNothing) {
    TempDir tmp;
    fs::copy(QBX_EXAMPLES "/setup", tmp.path() / "setup", fs::copy_options::recursive);
    // Under ALL no deal needs more than five actions, and 1008 need exactly five.
    const ProcessResult none = runTool({"shoe", "--hands", "5", "--seed", "1", "--min", "6", "--max", "9", "--setup",
                                        tmp.path().string(), "-o", (tmp.path() / "x.txt").string()});
    EXPECT_EQ(none.exitCode, kExitProblems);
    EXPECT_NE(none.output.find("only 0 deals"), std::string::npos) << none.output;
    const ProcessResult few = runTool({"shoe", "--hands", "2000", "--seed", "1", "--min", "5", "--max", "5", "--setup",
                                       tmp.path().string(), "-o", (tmp.path() / "x.txt").string()});
    EXPECT_EQ(few.exitCode, kExitProblems);
    EXPECT_NE(few.output.find("only 1008 deals"), std::string::npos) << few.output;
    EXPECT_FALSE(fs::exists(tmp.path() / "x.txt"));
    const ProcessResult repeats = runTool({"shoe", "--hands", "2000", "--seed", "1", "--min", "5", "--max", "5",
                                           "--repeat", "--setup", tmp.path().string()});
    EXPECT_EQ(repeats.exitCode, kExitOk);
    EXPECT_EQ(lines(repeats.output).size(), 2001u);
}

TEST(Solve, TheExampleShoeAsTextAndJsonWithItsExitCodes) {
    TempDir tmp;
    fs::copy(QBX_EXAMPLES "/setup", tmp.path() / "setup", fs::copy_options::recursive);
    const ProcessResult text = runTool({"solve", "setup/shoe.txt"}, tmp.path());
    EXPECT_EQ(text.exitCode, kExitOk) << text.output;
    EXPECT_NE(text.output.find("line 2 (4C 2H 3C 3H 2C 4H   2H   ck): 1 action: ck swaps t; score 950 each"),
              std::string::npos)
        << text.output;
    EXPECT_NE(text.output.find("line 3 (2C 3H 4H 4C 2H 3C   4C   nk): already at the Target"), std::string::npos);

    const ProcessResult json = runTool({"solve", "setup/shoe.txt", "--json"}, tmp.path());
    const nlohmann::json j = nlohmann::json::parse(json.output);
    ASSERT_EQ(j["hands"].size(), 14u);
    EXPECT_EQ(j["hands"][0]["fewestActions"], 1);
    EXPECT_EQ(j["hands"][0]["shortestLine"][0], "ck swaps t");
    EXPECT_EQ(j["hands"][1]["status"], "already at the Target");

    // A MaxRounds too small for a hand is a problem found; a faulty line
    // cannot be solved at all.
    std::string params = readFile(tmp.path() / "setup" / "QBXParameter.ini");
    params.replace(params.find("MaxRounds=12"), 12, "MaxRounds=2");
    writeFile(tmp.path() / "setup" / "QBXParameter.ini", params);
    const ProcessResult limited = runTool({"solve", "setup/shoe.txt"}, tmp.path());
    EXPECT_EQ(limited.exitCode, kExitProblems);
    EXPECT_NE(limited.output.find("unreachable within MaxRounds 2"), std::string::npos);
    writeFile(tmp.path() / "bad.txt", "deals\n2H 3C 4H\n");
    const ProcessResult bad = runTool({"solve", "bad.txt"}, tmp.path());
    EXPECT_EQ(bad.exitCode, kExitCouldNotRun);
    EXPECT_NE(bad.output.find("bad.txt:2: line 2 has 6 significant characters instead of 16"), std::string::npos)
        << bad.output;
}
