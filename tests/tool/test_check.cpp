// qbxtool check: what it finds in a working directory, with file and line,
// and that it agrees with the game's own start-up on every bad setup.

#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "support/BadSetups.h"
#include "support/FakeDesktop.h"
#include "tool/Tool.h"
#include "tool/ToolTestSupport.h"
#include "tool/setup/Check.h"

namespace fs = std::filesystem;
using namespace qbx::tool;
using qbx::test::WorkDir;

namespace {

// The findings of one level, each as "file:line: message".
std::vector<std::string> findings(const CheckReport& report, Finding::Level level) {
    std::vector<std::string> out;
    for (const Finding& f : report.findings)
        if (f.level == level) out.push_back(f.file + ":" + std::to_string(f.line) + ": " + f.message);
    return out;
}

bool has(const std::vector<std::string>& list, const std::string& text) {
    for (const std::string& s : list)
        if (s.find(text) != std::string::npos) return true;
    return false;
}

// A working directory made from examples/ as scripts/demo makes it.
fs::path exampleWorkDir(const TempDir& tmp) {
    fs::copy(QBX_EXAMPLES "/setup", tmp.path() / "setup", fs::copy_options::recursive);
    fs::create_directory(tmp.path() / "dataout");
    return tmp.path();
}

}  // namespace

TEST(Check, EveryBadSetupTheGameRefusesOrReportsIsAnError) {
    for (const qbx::test::BadSetup& bad : qbx::test::badSetups()) {
        WorkDir dir;
        qbx::test::writeSetup(dir, qbx::test::kBadSetupShoe);
        bad.make(dir);
        const CheckReport report = checkWorkDir(dir.path());
        EXPECT_GT(report.count(Finding::Level::Error), 0) << bad.name << "\n" << checkText(report);
    }
}

TEST(Check, TheExampleSetupHasNoErrorsAndExitsZero) {
    TempDir tmp;
    const fs::path dir = exampleWorkDir(tmp);
    const ProcessResult run = runTool({"check", dir.string()});
    EXPECT_EQ(run.exitCode, kExitOk) << run.output;
    EXPECT_NE(run.output.find(" 0 errors"), std::string::npos) << run.output;
    // The good test setup is clean of errors too, and says nothing of its keys.
    WorkDir good;
    qbx::test::writeSetup(good, qbx::test::kBadSetupShoe);
    good.write("setup/help.html", "<p>help</p>");
    const CheckReport report = checkWorkDir(good.path());
    EXPECT_EQ(findings(report, Finding::Level::Error), std::vector<std::string>{});
}

TEST(Check, ParameterKeysThatAreMisspeltOrSwitchesTheGameDoesNotKnow) {
    WorkDir dir;
    qbx::test::writeSetup(dir, qbx::test::kBadSetupShoe);
    dir.write("setup/QBXParameter.ini",
              "[PARAMETER]\nShoeFileName=shoe.txt\nMaxRounds=12\nPremiumRound=2000\nCostMove=100\n"
              "Viewcard =NON\nDragCkNk=TRUE\nFileMessages=messages.ini\nViewTargt=TRUE\nparX=12px\nCostMove=5\n");
    const CheckReport report = checkWorkDir(dir.path());
    const auto warnings = findings(report, Finding::Level::Warning);
    const std::string file = "setup/QBXParameter.ini:";
    EXPECT_TRUE(has(warnings, file + "7: 'DragCkNk' is not a key the game reads: it probably means 'Drag CkNk'"));
    EXPECT_TRUE(has(warnings, file + "9: 'ViewTargt' is not a key the game reads: it probably means 'ViewTarget'"));
    EXPECT_TRUE(has(warnings, file + "6: ViewCard 'NON' is none of ALL, NONE, MIX: a swap never passes the turn"));
    EXPECT_TRUE(has(warnings, file + "10: parX '12px' is not a whole number: the game uses 0"));
    EXPECT_TRUE(has(warnings, file + "11: 'CostMove' appears again"));
    EXPECT_TRUE(has(warnings, "Drag CkNk is missing or empty: the hand cards can never be dragged"));
    EXPECT_FALSE(has(warnings, "'Viewcard'")) << "case and blanks around a key do not matter";
    EXPECT_EQ(report.count(Finding::Level::Error), 0) << checkText(report);
}

TEST(Check, AMisspeltSectionIsNamedAtItsOwnLineAsWritten) {
    WorkDir dir;
    qbx::test::writeSetup(dir, qbx::test::kBadSetupShoe);
    dir.write("setup/QBXParameter.ini",
              "[PARAMETER]\nShoeFileName=shoe.txt\nMaxRounds=12\nPremiumRound=2000\n"
              "[Parametres]\n; the lab's own notes\n\nCostMove=100\nFileMessages=messages.ini\n"
              "[Parametres]\nparX=1\n");
    const auto warnings = findings(checkWorkDir(dir.path()), Finding::Level::Warning);
    const std::string file = "setup/QBXParameter.ini:";
    EXPECT_TRUE(has(warnings, file + "5: section [Parametres] is not read: the game reads [PARAMETER] only"))
        << ::testing::PrintToString(warnings);
    EXPECT_FALSE(has(warnings, file + "8: section")) << ::testing::PrintToString(warnings);
}

TEST(Check, TheShoeCatalogueAndPicturesWithFileAndLine) {
    WorkDir dir;
    qbx::test::writeSetup(dir,
                          "deals\n"
                          "4C 2H 2C 3H 4H 3C 2H ck\n"      // fine
                          "2C 3H 4H 4C 2H 3C   4C   nk\n"  // the goal is at the Target
                          "3H 4C 2C 2H 4H 3C   3C   ck\n"  // needs four actions
                          "3H 4C 2C 2H 4H 3C   3C   kk\n"  // no opener
                          "2H 3C 4C\n",                    // faulty
                          {{"MaxRounds", "3"}});
    dir.write("setup/messages.ini", "[BUTTON]\nHelp=Help\nStep=Pass\n");
    dir.write("setup/back.bmp", "not a bitmap");
    const CheckReport report = checkWorkDir(dir.path());
    const auto errors = findings(report, Finding::Level::Error);
    const auto warnings = findings(report, Finding::Level::Warning);
    EXPECT_TRUE(has(errors, "setup/shoe.txt:6: line 6 has 6 significant characters instead of 16"));
    EXPECT_TRUE(has(errors, "setup/back.bmp:0: not a readable bitmap"));
    EXPECT_TRUE(has(warnings, "setup/shoe.txt:3: the goal card 4C lies at the Target as dealt"));
    EXPECT_TRUE(has(warnings,
                    "setup/shoe.txt:4: the goal card 3C cannot reach the Target within MaxRounds 3 "
                    "(it needs 4 actions)"));
    EXPECT_TRUE(has(warnings, "setup/shoe.txt:5: the opener 'kk' is neither ck nor nk"));
    EXPECT_FALSE(has(warnings, "setup/shoe.txt:2:"));
    EXPECT_TRUE(has(warnings, "setup/messages.ini:0: [MESSAGES] GameEnded is missing: that text will be empty"));
    EXPECT_FALSE(has(warnings, "[BUTTON] Step"));
    EXPECT_TRUE(has(warnings, "setup/help.html:0: missing"));
}

// check, solve and the game read a shoe's lines alike: a CR inside a line
// of an LF file is skipped, a file without LF ends its lines at each CR, and
// a fault is named at the same line number by all three.
TEST(Check, CheckSolveAndTheGameSplitAShoeAlikeWhateverItsLineEnds) {
    const struct {
        const char* shoe;
        size_t hands;      // 0: refused
        const char* line;  // the faulty line's number
    } cases[] = {
        {"deals\n2H 3C 4H\r2C 3H 4C 3H ck\n4C 2H 2C 3H 4H 3C 2H nk\r\n", 2, ""},
        {"deals\r2H 3C 4H 2C 3H 4C 3H ck\r\r4C 2H 2C 3H 4H 3C 2H nk", 2, ""},
        {"deals\r\n4C 2H 2C 3H 4H 3C 2H ck\r\r\n2H 3C\r4H\r\n", 0, "3"},
        {"deals\r4C 2H 2C 3H 4H 3C 2H ck\r\r2H 3C 4H", 0, "4"},
    };
    for (const auto& c : cases) {
        const std::string what = testing::PrintToString(std::string(c.shoe));
        WorkDir dir;
        qbx::test::writeSetup(dir, c.shoe);
        const auto errors = findings(checkWorkDir(dir.path()), Finding::Level::Error);
        const ProcessResult solved = runTool({"solve", "setup/shoe.txt"}, dir.path());
        qbx::test::Session game;
        game.game.startGame("P7   ");
        if (c.hands > 0) {
            EXPECT_TRUE(errors.empty()) << what << testing::PrintToString(errors);
            EXPECT_EQ(game.game.shoe().size(), c.hands) << what;
            EXPECT_TRUE(game.platform.messages.empty()) << what;
            EXPECT_NE(solved.output.find(": " + std::to_string(c.hands) + " hands under"), std::string::npos)
                << what << solved.output;
        } else {
            const std::string fault = "line " + std::string(c.line) + " has 6 significant characters instead of 16";
            const std::string at = "setup/shoe.txt:" + std::string(c.line) + ": " + fault;
            EXPECT_TRUE(has(errors, at)) << what << testing::PrintToString(errors);
            EXPECT_EQ(game.platform.messages,
                      std::vector<std::string>{"The shoe file setup/shoe.txt cannot be played: " + fault + "."})
                << what;
            EXPECT_NE(solved.output.find(at), std::string::npos) << what << solved.output;
        }
    }
}

TEST(Check, ProgramExitCodesAndJson) {
    WorkDir dir;
    qbx::test::writeSetup(dir, "deals\n2H 3C\n");
    const ProcessResult bad = runTool({"check", dir.path(), "--json"});
    EXPECT_EQ(bad.exitCode, kExitProblems) << bad.output;
    const nlohmann::json j = nlohmann::json::parse(bad.output);
    ASSERT_EQ(j["errors"].size(), 2u) << bad.output;  // the faulty line, and no hand at all
    EXPECT_EQ(j["errors"][0]["file"], "setup/shoe.txt");
    EXPECT_EQ(j["errors"][0]["line"], 2);
    EXPECT_TRUE(j["errors"][1]["line"].is_null());

    EXPECT_EQ(runTool({"check", (fs::path(dir.path()) / "nowhere").string()}).exitCode, kExitCouldNotRun);
    const ProcessResult help = runTool({"check", "--help"});
    EXPECT_EQ(help.exitCode, kExitOk);
    EXPECT_NE(help.output.find("Example:"), std::string::npos);
}
