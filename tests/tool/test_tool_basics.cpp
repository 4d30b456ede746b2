// The parts every qbxtool command stands on: exit codes a script can rely
// on, and output files that appear whole or not at all.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <algorithm>
#include <string>

#include "tool/Tool.h"
#include "tool/ToolTestSupport.h"

namespace fs = std::filesystem;
using namespace qbx::tool;

namespace {

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(OutputFile, AppearsOnlyWhenCommitted) {
    TempDir dir;
    const fs::path target = dir.path() / "events.csv";
    {
        OutputFile out(target.string());
        out.write("a,b\r\n");
        EXPECT_FALSE(fs::exists(target)) << "visible under its real name before commit";
        out.commit();
    }
    EXPECT_EQ(readFile(target), "a,b\r\n");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"events.csv"});
}

TEST(OutputFile, DroppedWithoutCommitLeavesNothingAndKeepsAnOldFile) {
    TempDir dir;
    const fs::path target = dir.path() / "report.html";
    std::ofstream(target) << "yesterday's report";
    {
        OutputFile out(target.string());
        out.write("half a page");
    }  // as when a command fails half way
    EXPECT_EQ(readFile(target), "yesterday's report");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"report.html"});
}

TEST(OutputFile, RefusesADirectoryOrAMissingFolder) {
    TempDir dir;
    EXPECT_THROW(OutputFile(dir.path().string()), CouldNotRun);
    EXPECT_THROW(OutputFile((dir.path() / "no-such-folder" / "x.csv").string()), CouldNotRun);
}

TEST(ToolProgram, ExitCodesForVersionHelpAndBadArguments) {
    const ProcessResult version = runTool({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.output.find(QBX_TOOL_EXPECTED_VERSION), std::string::npos) << version.output;

    EXPECT_EQ(runTool({"--help"}).exitCode, 0);
    EXPECT_EQ(runTool({}).exitCode, kExitCouldNotRun) << "no subcommand is an error";
    const ProcessResult unknown = runTool({"frobnicate"});
    EXPECT_EQ(unknown.exitCode, kExitCouldNotRun);
    EXPECT_NE(unknown.output.find("'frobnicate' is not a command"), std::string::npos) << unknown.output;
    EXPECT_NE(unknown.output.find("check"), std::string::npos) << "the commands there are: " << unknown.output;
}
