// The log commands as a script meets them: exit codes, messages with file
// and line, and no output file left behind when they cannot run.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tool/LogMaking.h"

using namespace qbx::tool;
using namespace qbx::tool::test;

namespace {

class LogCommands : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path dataout = tmp.path() / "dataout";
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(tmp.path()))
            if (!e.is_directory()) names.push_back(e.path().filename().string());
        return names;
    }
};

TEST_F(LogCommands, CleanLogsGiveExitZeroAndEveryCommandHasAnExample) {
    copyMixGame(dataout);
    EXPECT_EQ(runTool({"sessions", dataout.string()}).exitCode, 0);
    const ProcessResult verify = runTool({"verify", (dataout / "ck071226_1.txt").string()});
    EXPECT_EQ(verify.exitCode, 0) << verify.output;
    EXPECT_NE(verify.output.find("071226_1: ok, 5 hands, game ended"), std::string::npos) << verify.output;
    EXPECT_EQ(runTool({"sessions"}, tmp.path()).exitCode, 0);  // dataout is the default
    for (const char* command : {"sessions", "verify", "csv", "report"}) {
        const ProcessResult help = runTool({command, "--help"});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_NE(help.output.find("Example:"), std::string::npos) << command;
    }
}

TEST_F(LogCommands, BadInputIsNamedWithFileAndLineAndLeavesNoOutput) {
    struct Case {
        const char* name;
        std::string bytes;  // the ColorKeeper's log; "" with `folder` true means a folder of that name
        bool folder = false;
        const char* expect;  // in the message
    };
    const std::string mix = readFile(std::string(QBX_TEST_DATA) + "/mix_game_ck.txt");
    const std::vector<Case> cases = {
        {"empty", "", false, "empty"},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), false, ":1:"},
        {"cut in a line", mix.substr(0, mix.find("GC:3C") + 3), false, ":6: cut line"},
        {"CR without LF", mix.substr(0, 300) + "\r" + mix.substr(300), false, ":8: carriage return without line feed"},
        {"stamp not a number", "50398.99O:TF:CK\r\n" + mix.substr(mix.find('\n') + 1), false, ":1: bad time stamp"},
        {"a folder for a file", "", true, "directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dataout);
        copyMixGame(dataout);
        const fs::path ck = dataout / "ck071226_1.txt";
        fs::remove(ck);
        if (c.folder)
            fs::create_directory(ck);
        else
            writeFile(ck, c.bytes);
        const ProcessResult verify = runTool({"verify", dataout.string()});
        EXPECT_EQ(verify.exitCode, 1) << verify.output;
        EXPECT_NE(verify.output.find(c.expect), std::string::npos) << verify.output;
        EXPECT_NE(verify.output.find(ck.string()), std::string::npos) << verify.output;
        const ProcessResult csv = runTool({"csv", dataout.string(), "-o", (tmp.path() / "e.csv").string(), "--force"});
        EXPECT_EQ(csv.exitCode, 1) << csv.output;
        EXPECT_NE(csv.output.find(ck.string()), std::string::npos) << csv.output;
        const ProcessResult report =
            runTool({"report", dataout.string(), "-o", (tmp.path() / "r.html").string(), "--force"});
        EXPECT_EQ(report.exitCode, 1) << report.output;  // drawn, with what was left out named
        EXPECT_NE(report.output.find(ck.string()), std::string::npos) << report.output;
        EXPECT_NE(readFile(tmp.path() / "r.html").find("run verify"), std::string::npos);
    }
    // Could not run: nothing written, not even a temporary file.
    fs::remove(tmp.path() / "e.csv");
    fs::remove(tmp.path() / "r.html");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"verify", (tmp.path() / "missing").string()},
          {"sessions", (tmp.path() / "missing").string()},
          {"csv", (tmp.path() / "missing").string(), "-o", (tmp.path() / "e.csv").string()},
          {"csv", dataout.string(), "-o", (tmp.path() / "e.csv").string(), "--setup",
           (tmp.path() / "nosetup").string()},
          {"report", dataout.string(), "-o", tmp.path().string()},
          {"csv", dataout.string()}}) {
        const ProcessResult run = runTool(args);
        EXPECT_EQ(run.exitCode, 2) << args[0] << ": " << run.output;
        EXPECT_FALSE(run.output.empty());
    }
    EXPECT_EQ(leftovers(), std::vector<std::string>{}) << "a partial output was left";
}

TEST_F(LogCommands, JsonForScripts) {
    copyMixGame(dataout);
    copyMixGame(dataout, "071226_2");
    fs::remove(dataout / "nk071226_2.txt");
    const ProcessResult sessions = runTool({"sessions", "--json", dataout.string()});
    EXPECT_EQ(sessions.exitCode, 1);  // one log without its partner
    const auto j = nlohmann::json::parse(sessions.output);
    ASSERT_EQ(j["sessions"].size(), 2u);
    EXPECT_EQ(j["sessions"][0]["participant"], "Z9 \xc3\xa9");
    EXPECT_EQ(j["sessions"][0]["colorKeeperScore"], 3952.5);
    EXPECT_EQ(j["unpaired"].size(), 1u);
}

}  // namespace
