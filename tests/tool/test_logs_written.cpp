// The run record keeps each log's size and SHA-256 as the game wrote it;
// verify and sessions tell a log changed, cut or extended after the session
// (a warning: its records may read well, but are not the program's), and
// leave alone a copy altered only as a whole, a session the program did not
// end whose log went on after its record, and records without those keys.

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "core/runrecord/RunRecord.h"
#include "core/runrecord/Sha256.h"
#include "support/ScriptedPlay.h"
#include "tool/ToolTestSupport.h"
#include "tool/logs/LogFolder.h"
#include "tool/logs/LogsWritten.h"
#include "tool/logs/Verify.h"

namespace qbx::tool::logs {
namespace {

namespace fs = std::filesystem;
using test::Session;
using test::WorkDir;

const std::string kCk = "ck071226_4242.txt", kNk = "nk071226_4242.txt", kRecord = "run071226_4242.json";

// The warnings of the one session in `dataout` about logs changed after it.
std::vector<std::string> changes(const std::string& dataout) {
    const LogFolder folder = findLogs(dataout);
    std::vector<std::string> said;
    if (folder.pairs.size() != 1) throw std::runtime_error("not one session in " + dataout);
    for (const SessionFault& w : logsChangedAfterSession(folder.pairs[0]))
        said.push_back(fs::path(w.file).filename().string() + ": " + w.what);
    return said;
}

std::string changedBy(const std::string& dataout, const std::string& log, const std::string& bytes,
                      const std::function<std::string(const std::string&)>& edit) {
    tool::writeFile(fs::path(dataout) / log, edit(bytes));
    const std::vector<std::string> said = changes(dataout);
    tool::writeFile(fs::path(dataout) / log, bytes);
    return said.size() == 1 ? said[0] : "(" + std::to_string(said.size()) + " warnings)";
}

TEST(LogsWritten, AnEndedSessionsRecordHoldsItsLogsAndEveryChangeToThemIsTold) {
    WorkDir dir;
    test::writeScriptedSetup(dir, 10, 5);
    {
        Session s;
        test::startScripted(s);
        test::ScriptedPlay(s).playToEnd();
    }
    const std::string dataout = dir.path() + "/dataout";
    std::string error;
    const auto record = readRunRecord(dataout + "/" + kRecord, error);
    ASSERT_TRUE(record) << error;
    ASSERT_TRUE(record->ended);
    ASSERT_EQ(record->logsWritten.size(), 2u);
    const std::string ck = dir.read("dataout/" + kCk), nk = dir.read("dataout/" + kNk);
    EXPECT_EQ(record->logsWritten[0].log, kCk);
    EXPECT_EQ(record->logsWritten[0].bytes, static_cast<long long>(ck.size()));
    EXPECT_EQ(record->logsWritten[0].sha256, sha256Hex(ck));
    EXPECT_EQ(record->logsWritten[1].log, kNk);
    EXPECT_EQ(record->logsWritten[1].sha256, sha256Hex(nk));
    EXPECT_TRUE(changes(dataout).empty());

    const std::string extra = "08:10:00.000:08:10:00.000:SP:\r\n";
    EXPECT_EQ(changedBy(dataout, kCk, ck, [&](const std::string& b) { return b + extra; }),
              kCk + ": changed after the session: " + std::to_string(extra.size()) +
                  " bytes more than when it ended (added after its last line): its records are not those the "
                  "program wrote");
    EXPECT_EQ(changedBy(dataout, kNk, nk, [](const std::string& b) { return b.substr(0, b.size() - 1204); }),
              kNk +
                  ": changed after the session: 1,204 bytes fewer than when it ended: its records are not those "
                  "the program wrote");
    EXPECT_EQ(changedBy(dataout, kCk, ck,
                        [](std::string b) {
                            b[b.size() / 2] = b[b.size() / 2] == '1' ? '2' : '1';
                            return b;
                        }),
              kCk +
                  ": changed after the session: same size, other bytes: its records are not those the program "
                  "wrote");
    // A copy that altered the file as a whole is no change of its records.
    const auto crlfToLf = [](const std::string& b) {
        std::string out;
        for (const char c : b)
            if (c != '\r') out += c;
        return out;
    };
    for (const auto& copy : std::vector<std::function<std::string(const std::string&)>>{
             [](const std::string& b) { return "\xEF\xBB\xBF" + b; }, crlfToLf,
             [&](const std::string& b) { return "\xEF\xBB\xBF" + crlfToLf(b).substr(0, crlfToLf(b).size() - 1); },
             [](const std::string& b) { return b.substr(0, b.size() - 2); }}) {
        tool::writeFile(fs::path(dataout) / kCk, copy(ck));
        EXPECT_TRUE(changes(dataout).empty()) << changes(dataout).front();
    }
    // Altered as a whole and changed inside: the change is still told.
    EXPECT_NE(
        changedBy(dataout, kCk, ck, [&](const std::string& b) { return crlfToLf(b + extra); })
            .find("changed after the session: " + std::to_string(extra.size()) + " bytes more than when it ended"),
        std::string::npos);
    tool::writeFile(fs::path(dataout) / kCk, ck);

    // The commands: verify's warning (no fault: the records still read
    // well), sessions' note, and both JSONs. The participant code retyped in
    // both logs: same size, other bytes.
    const auto retyped = [](std::string b) { return b.replace(b.find("SOAK"), 4, "SOAL"); };
    tool::writeFile(fs::path(dataout) / kCk, retyped(ck));
    tool::writeFile(fs::path(dataout) / kNk, retyped(nk));
    ProcessResult run = runTool({"verify", dataout});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    for (const std::string& log : {kCk, kNk})
        EXPECT_NE(run.output.find(log + ": warning: changed after the session: same size, other bytes"),
                  std::string::npos)
            << run.output;
    run = runTool({"verify", "--json", dataout});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const auto jsonOf = [](const std::string& out) {
        return nlohmann::json::parse(out.substr(out.find('{'), out.rfind('}') + 1 - out.find('{')));
    };
    const nlohmann::json verdict = jsonOf(run.output)["sessions"][0];
    EXPECT_TRUE(verdict["ok"].get<bool>());
    ASSERT_EQ(verdict["warnings"].size(), 2u);
    EXPECT_NE(verdict["warnings"][1]["what"].get<std::string>().find("same size, other bytes"), std::string::npos);
    run = runTool({"sessions", dataout});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(
        run.output.find("game ended, " + kCk + " changed after the session, " + kNk + " changed after the session"),
        std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find(kNk + ": warning: changed after the session"), std::string::npos) << run.output;
    run = runTool({"sessions", "--json", dataout});
    const nlohmann::json sessions = jsonOf(run.output)["sessions"];
    ASSERT_EQ(sessions.size(), 1u);
    ASSERT_EQ(sessions[0]["logsChanged"].size(), 2u);
    EXPECT_EQ(fs::path(sessions[0]["logsChanged"][1]["file"].get<std::string>()).filename(), kNk);

    // A record of an older version, without the keys: nothing to compare.
    nlohmann::json old = nlohmann::json::parse(dir.read("dataout/" + kRecord));
    old.erase("logsWritten");
    tool::writeFile(fs::path(dataout) / kRecord, old.dump(2));
    EXPECT_TRUE(changes(dataout).empty());
}

struct Stopped : std::exception {};

// A session the program did not end: its logs went on after the record was
// last written, which is no change; the bytes up to there still are checked.
TEST(LogsWritten, ASessionStoppedEarlyIsCheckedAsFarAsItsRecordSaw) {
    WorkDir dir;
    test::writeScriptedSetup(dir, 4, 7);
    long long seen = 0;
    {
        Session s;
        test::startScripted(s);
        test::ScriptedPlay play(s);
        play.afterAction = [&](long actions) {
            if (actions == 6) {
                s.game.keptInFront(FrontLost::Covered);  // the record written, with the logs so far
                s.game.flushRunRecord();
                seen = static_cast<long long>(dir.read("dataout/" + kCk).size());
            }
            if (actions == 12) throw Stopped();  // the program killed
        };
        EXPECT_THROW(play.playToEnd(), Stopped);
    }
    const std::string dataout = dir.path() + "/dataout";
    std::string error;
    const auto record = readRunRecord(dataout + "/" + kRecord, error);
    ASSERT_TRUE(record) << error;
    ASSERT_FALSE(record->ended);
    ASSERT_EQ(record->logsWritten.size(), 2u);
    EXPECT_EQ(record->logsWritten[0].bytes, seen);
    const std::string ck = dir.read("dataout/" + kCk);
    ASSERT_GT(static_cast<long long>(ck.size()), seen);
    EXPECT_TRUE(changes(dataout).empty());

    EXPECT_EQ(changedBy(dataout, kCk, ck,
                        [](std::string b) {
                            b[40] = b[40] == '1' ? '2' : '1';
                            return b;
                        }),
              kCk + ": changed after the session: its first " + groupedNumber(seen) +
                  " bytes are not those written when its run record was last written: its records are not those "
                  "the program wrote");
    EXPECT_EQ(changedBy(dataout, kCk, ck, [&](const std::string& b) { return b.substr(0, seen - 100); }),
              kCk +
                  ": changed after the session: 100 bytes fewer than when its run record was last written: its "
                  "records are not those the program wrote");
    // Changed beyond what the record saw: nothing tells.
    EXPECT_TRUE(
        changedBy(dataout, kCk, ck, [&](const std::string& b) { return b.substr(0, b.size() - 5); }).starts_with("(0"));
}

}  // namespace
}  // namespace qbx::tool::logs
