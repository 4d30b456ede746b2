// What the commands that write files promise the experimenter who runs them
// on the only copy of a day's data: an output never lands on an input, on a
// log or in a folder being read; an existing file is replaced only with
// --force; one table at most goes to standard output; and the exit codes
// mean the same in every command.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "tool/LogMaking.h"
#include "tool/Tool.h"

using namespace qbx::tool;
using namespace qbx::tool::test;

namespace {

// Every file under a folder with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = readFile(entry.path());
    return files;
}

bool mentions(const ProcessResult& run, const std::string& text) { return run.output.find(text) != std::string::npos; }

class ToolOutputs : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path dataout = tmp.path() / "dataout";
    fs::path setup = tmp.path() / "setup";
    void SetUp() override {
        copyMixGame(dataout);
        writeMixSetup(setup);
    }
    std::string at(const std::string& name) const { return (tmp.path() / name).string(); }
};

TEST_F(ToolOutputs, AnOutputThatIsAnInputALogOrInAFolderBeingReadIsRefusedEvenWithForce) {
    const std::string ck = (dataout / "ck071226_1.txt").string(), nk = (dataout / "nk071226_1.txt").string();
    // A log under another name: known by its first line.
    fs::copy_file(ck, at("kept-copy.txt"));
    writeFile(at("notes.txt"), "not a log\n");
    fs::create_directory(at("sub"));
    fs::create_symlink(ck, at("link.csv"));
    const std::string shoe = (setup / "shoe.txt").string();
    struct Case {
        std::vector<std::string> args;
        std::string named;  // the path the message names
    };
    const std::vector<Case> cases = {
        {{"csv", dataout.string(), "-o", ck, "--hands", nk}, ck},
        {{"csv", dataout.string(), "-o", at("e.csv"), "--hands", nk}, nk},
        {{"report", dataout.string(), "-o", nk}, nk},
        {{"csv", ck, "-o", ck}, ck},
        {{"csv", dataout.string(), "-o", at("kept-copy.txt")}, at("kept-copy.txt")},
        {{"report", dataout.string(), "-o", at("link.csv")}, at("link.csv")},
        // A new file under a log's name would be read as a log.
        {{"csv", dataout.string(), "-o", at("ck071226_9.txt")}, at("ck071226_9.txt")},
        {{"csv", dataout.string(), at("notes.txt"), "-o", at("notes.txt")}, at("notes.txt")},
        {{"csv", dataout.string(), "-o", (dataout / "events.csv").string()}, (dataout / "events.csv").string()},
        {{"csv", dataout.string(), "-o", at("e.csv"), "--hands", at("dataout/../dataout/h.csv")},
         at("dataout/../dataout/h.csv")},
        {{"report", dataout.string(), "-o", at("sub/../dataout/r.html")}, at("sub/../dataout/r.html")},
        {{"csv", ck, "-o", at("e.csv"), "--setup", setup.string(), "--hands", shoe}, shoe},
        {{"report", dataout.string(), "--setup", setup.string(), "-o", (setup / "QBXParameter.ini").string()},
         (setup / "QBXParameter.ini").string()},
        {{"shoe", "--hands", "2", "--seed", "1", "--setup", setup.string(), "-o", ck}, ck},
        {{"shoe", "--hands", "2", "--seed", "1", "--setup", setup.string(), "-o",
          (setup / "QBXParameter.ini").string()},
         (setup / "QBXParameter.ini").string()},
    };
    const auto before = snapshot(tmp.path());
    for (const Case& c : cases) {
        for (const bool force : {false, true}) {
            std::vector<std::string> args = c.args;
            if (force) args.push_back("--force");
            SCOPED_TRACE(testing::PrintToString(args));
            const ProcessResult run = runTool(args);
            EXPECT_EQ(run.exitCode, kExitCouldNotRun) << run.output;
            EXPECT_TRUE(mentions(run, c.named)) << run.output;
            EXPECT_FALSE(mentions(run, "exists already")) << "refused for what it is, not for existing";
            EXPECT_EQ(snapshot(tmp.path()), before) << "a file was written or changed";
        }
    }
    // Where nothing forbids it, the same logs convert.
    EXPECT_EQ(runTool({"csv", ck, "-o", at("e.csv"), "--hands", at("sub/h.csv")}).exitCode, kExitOk);
}

TEST_F(ToolOutputs, TheEventsAndTheHandsNeverNameTheSameFile) {
    fs::create_directory(at("sub"));
    writeFile(at("old.csv"), "yesterday\n");
    struct Case {
        std::string events, hands;
        bool force;  // the file exists: --force would replace it, but not with two tables at once
    };
    for (const Case& c : std::vector<Case>{{at("t.csv"), at("t.csv"), false},
                                           {at("t.csv"), at("sub/../t.csv"), false},
                                           {at("old.csv"), at("./old.csv"), true}}) {
        SCOPED_TRACE(c.events + " " + c.hands);
        const auto before = snapshot(tmp.path());
        std::vector<std::string> args = {"csv", dataout.string(), "-o", c.events, "--hands", c.hands};
        if (c.force) args.push_back("--force");
        const ProcessResult run = runTool(args);
        EXPECT_EQ(run.exitCode, kExitCouldNotRun) << run.output;
        EXPECT_TRUE(mentions(run, "name the same file")) << run.output;
        EXPECT_TRUE(mentions(run, c.hands)) << run.output;
        EXPECT_EQ(snapshot(tmp.path()), before);
    }
}

TEST_F(ToolOutputs, AnExistingOutputIsReplacedOnlyWithForce) {
    const auto logs = snapshot(dataout);
    const std::vector<std::vector<std::string>> commands = {
        {"csv", dataout.string(), "-o", at("events.csv")},
        {"csv", dataout.string(), "-o", "-", "--hands", at("hands.csv")},
        {"report", dataout.string(), "-o", at("report.html")},
        {"shoe", "--hands", "2", "--seed", "3", "--setup", setup.string(), "-o", at("shoe.txt")},
    };
    for (const std::vector<std::string>& args : commands) {
        const std::string output = args[args.size() - 1];
        SCOPED_TRACE(output);
        writeFile(output, "an older file\n");
        const ProcessResult kept = runTool(args);
        EXPECT_EQ(kept.exitCode, kExitCouldNotRun) << kept.output;
        EXPECT_TRUE(mentions(kept, output + ": exists already")) << kept.output;
        EXPECT_TRUE(mentions(kept, "--force to replace it")) << kept.output;
        EXPECT_EQ(readFile(output), "an older file\n");

        std::vector<std::string> forced = args;
        forced.push_back("--force");
        const ProcessResult replaced = runTool(forced);
        EXPECT_EQ(replaced.exitCode, kExitOk) << replaced.output;
        EXPECT_NE(readFile(output), "an older file\n");
    }
    // Standard output is never a file that exists.
    EXPECT_EQ(runTool({"csv", dataout.string(), "-o", "-"}).exitCode, kExitOk);
    EXPECT_EQ(runTool({"shoe", "--hands", "2", "--seed", "3", "--setup", setup.string(), "-o", "-"}).exitCode, kExitOk);
    EXPECT_EQ(snapshot(dataout), logs);
}

TEST_F(ToolOutputs, AtMostOneTableGoesToStandardOutput) {
    const ProcessResult both = runTool({"csv", dataout.string(), "-o", "-", "--hands", "-"});
    EXPECT_EQ(both.exitCode, kExitCouldNotRun) << both.output;
    EXPECT_TRUE(mentions(both, "at most one table")) << both.output;
    EXPECT_FALSE(mentions(both, "session,date")) << "a table was written";

    // The hands alone to standard output, the events to a file.
    const ProcessResult hands = runTool({"csv", dataout.string(), "-o", at("events.csv"), "--hands", "-"});
    EXPECT_EQ(hands.exitCode, kExitOk) << hands.output;
    EXPECT_TRUE(mentions(hands, "session,date,participant,hand,opener")) << hands.output;
    EXPECT_EQ(readFile(at("events.csv")).rfind("session,date,participant,log,line", 0), 0u);
    EXPECT_TRUE(mentions(runTool({"csv", "--help"}), "- for standard output when -o names a file"));
}

// A link at an output's name is neither written through nor replaced; a
// link to standard output (as /dev/stdout is) is standard output, written in
// place, with no codebook beside the link.
TEST_F(ToolOutputs, ALinkIsNeverWrittenThroughButStandardOutputIsWrittenInPlace) {
    const std::string elsewhere = at("elsewhere.csv"), kept = at("kept.csv");
    writeFile(kept, "kept\n");
    fs::create_directory(at("out"));
    fs::create_symlink(elsewhere, at("out/dangling.csv"));
    fs::create_symlink(kept, at("out/kept-link.csv"));
    for (const std::string& link : {at("out/dangling.csv"), at("out/kept-link.csv")})
        for (const bool force : {false, true}) {
            std::vector<std::string> args{"csv", dataout.string(), "-o", link};
            if (force) args.push_back("--force");
            const ProcessResult run = runTool(args);
            EXPECT_EQ(run.exitCode, kExitCouldNotRun) << run.output;
            EXPECT_TRUE(mentions(run, link + ": a link")) << run.output;
            EXPECT_TRUE(fs::is_symlink(link));
        }
    EXPECT_FALSE(fs::exists(elsewhere));
    EXPECT_EQ(readFile(kept), "kept\n");

    fs::create_directory(at("dev"));
    fs::create_symlink("/proc/self/fd/1", at("dev/stdout"));
    const std::string table = at("table.csv");
    const std::string command = std::string("'") + QBXTOOL_PROGRAM + "' csv '" + dataout.string() + "' -o '" +
                                at("dev/stdout") + "' --force >'" + table + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readFile(table).rfind("session,date,participant,log,line", 0), 0u);
    EXPECT_TRUE(fs::is_symlink(at("dev/stdout")));
    EXPECT_FALSE(fs::exists(at("dev/datapackage.json")));
}

// Logs that cannot be read are not the "identical logs" of one session.
TEST_F(ToolOutputs, TwoUnreadableLogsOfOneNameAreNotOneSession) {
    for (const std::string folder : {"a", "b"}) {
        fs::create_directory(at(folder));
        fs::create_symlink(at("gone.txt"), at(folder + "/ck071226_7.txt"));
    }
    const ProcessResult run = runTool({"csv", at("a"), at("b"), "-o", "-"});
    EXPECT_EQ(run.exitCode, kExitCouldNotRun) << run.output;
    EXPECT_FALSE(mentions(run, "the same session")) << run.output;
    EXPECT_TRUE(mentions(run, "cannot be read (No such file or directory)")) << run.output;
}

// One table of exit codes for every log command: 0 done and nothing wrong,
// 1 done and problems found, 2 could not run.
TEST_F(ToolOutputs, EveryLogCommandGivesTheSameExitCodeForTheSameLogs) {
    const fs::path empty = tmp.path() / "empty", unreadable = tmp.path() / "unreadable",
                   unpaired = tmp.path() / "unpaired";
    fs::create_directory(empty);
    copyMixGame(unreadable);
    writeFile(unreadable / "ck071226_1.txt", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\r\n", 18));
    copyMixGame(unpaired);
    fs::remove(unpaired / "nk071226_1.txt");
    const std::vector<std::pair<fs::path, int>> folders = {
        {empty, kExitCouldNotRun}, {unreadable, kExitProblems}, {dataout, kExitOk}, {unpaired, kExitProblems}};
    const auto before = snapshot(tmp.path());
    int run = 0;
    for (const auto& [folder, expected] : folders) {
        for (const std::string command : {"sessions", "verify", "csv", "report"}) {
            SCOPED_TRACE(command + " " + folder.filename().string());
            std::vector<std::string> args = {command, folder.string()};
            if (command == "csv" || command == "report") {
                args.push_back("-o");
                args.push_back(at("out" + std::to_string(++run)));
            }
            if (command == "csv") args.push_back("--force");  // the codebook beside the last table
            const ProcessResult result = runTool(args);
            EXPECT_EQ(result.exitCode, expected) << result.output;
            if (expected != kExitOk) {
                EXPECT_FALSE(result.output.empty()) << "a problem goes unsaid";
            }
        }
    }
    const ProcessResult report = runTool({"report", unreadable.string(), "-o", at("r.html")});
    EXPECT_TRUE(mentions(report, (unreadable / "ck071226_1.txt").string() + ":1:")) << "the line left out is named";
    for (auto& [name, bytes] : snapshot(tmp.path()))
        if (name.rfind("out", 0) != 0 && name != "r.html" && name != "datapackage.json" &&
            name.rfind("read_tables.", 0) != 0) {
            EXPECT_EQ(before.at(name), bytes) << name;
        }
}

TEST_F(ToolOutputs, SolveSaysWhatItWasGivenAndShoeTakesOnlyAWholeSeed) {
    writeFile(at("empty.txt"), "");
    struct Case {
        std::string shoe, says;
    };
    for (const Case& c : std::vector<Case>{{at("sub"), ": a directory, not a shoe file"},
                                           {"/dev/null", "/dev/null: not a regular file"},
                                           {at("empty.txt"), ": empty"},
                                           {at("missing.txt"), ": no such file"}}) {
        SCOPED_TRACE(c.shoe);
        fs::create_directories(at("sub"));
        const ProcessResult run = runTool({"solve", c.shoe, "--setup", setup.string()});
        EXPECT_EQ(run.exitCode, kExitCouldNotRun) << run.output;
        EXPECT_TRUE(mentions(run, c.says)) << run.output;
    }
    for (const std::string seed : {"-1", "seven", "7x", "+7", "18446744073709551616", ""}) {
        SCOPED_TRACE(seed);
        const ProcessResult run = runTool({"shoe", "--hands", "1", "--seed", seed, "--setup", setup.string()});
        EXPECT_EQ(run.exitCode, kExitCouldNotRun) << run.output;
        EXPECT_FALSE(mentions(run, "Shoe made by")) << "a shoe was written";
    }
    const ProcessResult negative = runTool({"shoe", "--hands", "1", "--seed", "-1", "--setup", setup.string()});
    EXPECT_TRUE(mentions(negative, "the seed is a whole number from 0 to 18446744073709551615, not -1"))
        << negative.output;
    const ProcessResult largest =
        runTool({"shoe", "--hands", "1", "--seed", "18446744073709551615", "--setup", setup.string()});
    EXPECT_EQ(largest.exitCode, kExitOk) << largest.output;
    EXPECT_TRUE(mentions(largest, "--seed 18446744073709551615 ")) << largest.output;
}

}  // namespace
