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
    fs::remove(tmp.path() / "datapackage.json");  // the codebook beside e.csv
    fs::remove(tmp.path() / "read_tables.py");    // and its readers
    fs::remove(tmp.path() / "read_tables.R");
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

// A folder named in 8-bit bytes (a Windows share, an old archive) is named
// in the JSON as the tables read such bytes; the JSON is still written.
TEST_F(LogCommands, JsonNamesAFolderWhoseNameIsNotUtf8) {
    const fs::path folder = tmp.path() / "caf\xe9";
    copyMixGame(folder);
    for (const char* command : {"sessions", "verify"}) {
        const ProcessResult run = runTool({command, "--json", folder.string()});
        EXPECT_EQ(run.exitCode, 0) << command << ": " << run.output;
        const auto j = nlohmann::json::parse(run.output);
        EXPECT_EQ(j["sessions"][0]["colorKeeperLog"], (tmp.path() / "caf\xc3\xa9" / "ck071226_1.txt").string());
    }
}

// A log without its partner is no session that ended early: it says its
// partner is missing, the missing role's figures are empty, never 0, and
// stay out of the report's means.
TEST_F(LogCommands, ALogWithoutItsPartnerSaysSoAndTheMissingRoleHasNoFigures) {
    copyMixGame(dataout);
    copyMixGame(dataout, "071226_2");
    fs::remove(dataout / "nk071226_2.txt");
    const ProcessResult sessions = runTool({"sessions", dataout.string()});
    EXPECT_EQ(sessions.exitCode, 1);
    std::string second;
    for (size_t at = 0; at < sessions.output.size();) {
        const size_t end = sessions.output.find('\n', at);
        const std::string line = sessions.output.substr(at, end - at);
        if (line.rfind("071226_2 ", 0) == 0) second = line;
        at = end + 1;
    }
    EXPECT_NE(second.find("partner log missing, game ended"), std::string::npos) << second;
    EXPECT_EQ(second.find("ended early"), std::string::npos) << second;
    EXPECT_NE(second.find("3952.5"), std::string::npos) << second;  // the ColorKeeper's total
    EXPECT_EQ(second.find(" 0 "), std::string::npos) << second;     // no 0 for the NumberKeeper
    const auto j = nlohmann::json::parse(runTool({"sessions", "--json", dataout.string()}).output);
    EXPECT_EQ(j["sessions"][1]["colorKeeperScore"], 3952.5);
    EXPECT_TRUE(j["sessions"][1]["numberKeeperScore"].is_null());
    EXPECT_EQ(j["sessions"][1]["end"], "partner log missing, game ended");

    // The report's mean of the NumberKeeper's totals counts the one session
    // that has its log.
    const fs::path page = tmp.path() / "report.html";
    EXPECT_EQ(runTool({"report", dataout.string(), "-o", page.string()}).exitCode, 1);
    const std::string html = readFile(page);
    const double nkTotal = j["sessions"][0]["numberKeeperScore"].get<double>();
    char mean[64];
    std::snprintf(mean, sizeof mean, "3952.5 · %.1f</div>", nkTotal);
    EXPECT_NE(html.find(mean), std::string::npos) << mean;
    EXPECT_NE(html.find("partner log missing, game ended"), std::string::npos);
}

// Sessions come in the order they were played (their first records'
// times), not in the order of the number drawn for their names; a folder
// inside one read is said to be passed over; one session found in two
// folders is read once when its logs are the same, and is an error naming
// both when they differ.
TEST_F(LogCommands, SessionsInTheOrderPlayedOnceEachAndNothingPassedOverUnsaid) {
    copyMixGame(dataout, "071226_1");             // first record at 14:00
    playScriptedGame(dataout, 2, 5, "071226_9");  // at 10:00
    fs::create_directories(dataout / "old");
    copyMixGame(dataout / "old", "071226_7");
    const ProcessResult sessions = runTool({"sessions", "--json", dataout.string()});
    ASSERT_EQ(sessions.exitCode, 0) << sessions.output;
    const auto j = nlohmann::json::parse(sessions.output);
    ASSERT_EQ(j["sessions"].size(), 2u);
    EXPECT_EQ(j["sessions"][0]["session"], "071226_9");
    EXPECT_EQ(j["sessions"][1]["session"], "071226_1");
    EXPECT_NE(sessions.output.find("old: a folder, not read"), std::string::npos) << sessions.output;

    // A backup beside the folder: the same session read once, and said.
    const fs::path backup = tmp.path() / "backup";
    copyMixGame(backup, "071226_1");
    const ProcessResult twice = runTool({"csv", dataout.string(), backup.string(), "-o", "-"});
    EXPECT_EQ(twice.exitCode, 0) << twice.output;
    EXPECT_NE(twice.output.find("the same session as"), std::string::npos) << twice.output;
    size_t headers = 0;
    for (size_t at = twice.output.find("userID:userName Z9"); at != std::string::npos;
         at = twice.output.find("userID:userName Z9", at + 1))
        ++headers;
    EXPECT_EQ(headers, 2u);  // the one session's two logs, once

    // Another session under that name is an error that names both.
    std::string other = readFile(backup / "nk071226_1.txt");
    other[other.find("Z9")] = 'Y';
    writeFile(backup / "nk071226_1.txt", other);
    const ProcessResult clash = runTool({"verify", dataout.string(), backup.string()});
    EXPECT_EQ(clash.exitCode, 2);
    EXPECT_NE(clash.output.find("two different sessions are both named 071226_1"), std::string::npos) << clash.output;
    EXPECT_NE(clash.output.find((backup / "ck071226_1.txt").string()), std::string::npos) << clash.output;
}

}  // namespace
