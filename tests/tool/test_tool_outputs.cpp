// What the commands promise the experimenter: the exit codes mean the same
// in every command, and solve and shoe say what they were given when they
// cannot use it.

#include <gtest/gtest.h>

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
        if (name.rfind("out", 0) != 0 && name != "r.html") {
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
