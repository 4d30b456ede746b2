// Logs damaged anywhere, their first lines too: every log is read to its
// end without the reader failing, each damage is a fault of its own log at
// its line, and the other sessions of the folder are read as usual.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "core/session/SessionTime.h"
#include "tool/LogMaking.h"
#include "tool/csv/Csv.h"
#include "tool/logs/Report.h"
#include "tool/logs/Session.h"
#include "tool/logs/Verify.h"

using namespace qbx::tool;
using namespace qbx::tool::test;
using namespace qbx::tool::logs;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at) + 1;
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

struct FaultsSeen : SessionSink {
    std::vector<SessionFault> faults;
    void fault(const SessionFault& f) override { faults.push_back(f); }
};

LogPair pairNamed() {
    LogPair pair;
    pair.name = *qbx::parseLogName("ck071226_1.txt");
    pair.ckPath = "ck071226_1.txt";
    pair.nkPath = "nk071226_1.txt";
    return pair;
}

// Logs made of the game's own lines in an order no game writes (records
// repeated, left out, out of place): each is read to its end, with its
// faults at lines it has.
TEST(DamagedLogs, AnyOrderOfTheGamesLinesIsReadToItsEnd) {
    const std::vector<std::string> ck = linesOf(readFile(std::string(QBX_TEST_DATA) + "/mix_game_ck.txt"));
    const std::vector<std::string> nk = linesOf(readFile(std::string(QBX_TEST_DATA) + "/mix_game_nk.txt"));
    std::vector<std::string> pool = ck;
    pool.insert(pool.end(), nk.begin(), nk.end());
    TempDir tmp;
    writeMixSetup(tmp.path() / "setup");
    const GameSetup mixSetup = readSetupAndShoe(tmp.path().string());
    std::mt19937 random(20240611);
    for (int round = 0; round < 4000; ++round) {
        std::string ckLog, nkLog;
        const int ckLines = static_cast<int>(random() % 24), nkLines = static_cast<int>(random() % 24);
        // Mostly the real log with a few lines changed; else lines from anywhere.
        const bool nearReal = random() % 2 == 0;
        for (int i = 0; i < ckLines; ++i)
            ckLog += nearReal && random() % 4 ? ck[static_cast<size_t>(i) % ck.size()] : pool[random() % pool.size()];
        for (int i = 0; i < nkLines; ++i)
            nkLog += nearReal && random() % 4 ? nk[static_cast<size_t>(i) % nk.size()] : pool[random() % pool.size()];
        FaultsSeen sink;
        const Session s = readSessionText(pairNamed(), ckLog, nkLog, round % 2 ? &mixSetup : nullptr, sink);
        for (const SessionFault& f : sink.faults) {
            const long lines = f.file == "ck071226_1.txt" ? ckLines : nkLines;
            ASSERT_LE(f.line, lines) << f.what << "\n" << ckLog << "--\n" << nkLog;
        }
        EXPECT_LE(s.hands.size(), static_cast<size_t>(std::max(ckLines, nkLines)));
    }
}

}  // namespace

namespace {

// A folder with the mix game (071226_1) and a second session whose
// NumberKeeper's log is damaged in its first lines: a hand-end block closed
// before any deal, then a hand end.
fs::path folderWithDamagedLog(const fs::path& root) {
    const fs::path dataout = root / "dataout";
    copyMixGame(dataout);
    const std::vector<std::string> nk = linesOf(readFile(std::string(QBX_TEST_DATA) + "/mix_game_nk.txt"));
    const std::vector<std::string> ck = linesOf(readFile(std::string(QBX_TEST_DATA) + "/mix_game_ck.txt"));
    std::string damaged, cut;
    for (int i = 0; i < 5; ++i) damaged += nk[static_cast<size_t>(i)], cut += ck[static_cast<size_t>(i)];
    damaged += nk[21] + nk[20] + nk[21];  // lines 6 to 8: close, hand end, close
    writeFile(dataout / "nk071226_2.txt", damaged);
    writeFile(dataout / "ck071226_2.txt", cut);
    return dataout;
}

}  // namespace

// Each command reads the folder: the damaged log's fault is named at its
// line, and the other session is read as usual.
TEST(DamagedLogs, EachCommandNamesTheFaultAndReadsTheOtherSessions) {
    TempDir tmp;
    const fs::path dataout = folderWithDamagedLog(tmp.path());
    const std::string damaged = (dataout / "nk071226_2.txt").string();

    const ProcessResult verify = runTool({"verify", dataout.string()}, {}, 120);
    EXPECT_EQ(verify.exitCode, 1) << verify.output;
    EXPECT_NE(verify.output.find("071226_1: ok"), std::string::npos) << verify.output;
    EXPECT_NE(verify.output.find(damaged + ":6: order"), std::string::npos) << verify.output;

    const ProcessResult sessions = runTool({"sessions", dataout.string()}, {}, 120);
    EXPECT_TRUE(sessions.exitCode == 0 || sessions.exitCode == 1) << sessions.output;
    EXPECT_NE(sessions.output.find("071226_1"), std::string::npos) << sessions.output;
    EXPECT_NE(sessions.output.find("071226_2"), std::string::npos) << sessions.output;

    const fs::path events = tmp.path() / "events.csv", hands = tmp.path() / "hands.csv";
    const ProcessResult csv =
        runTool({"csv", dataout.string(), "-o", events.string(), "--hands", hands.string()}, {}, 120);
    EXPECT_TRUE(csv.exitCode == 0 || csv.exitCode == 1) << csv.output;
    const std::string rows = readFile(hands);
    EXPECT_NE(rows.find("071226_1"), std::string::npos) << csv.output;
    EXPECT_NE(readFile(events).find("071226_2"), std::string::npos) << csv.output;

    const fs::path page = tmp.path() / "report.html";
    const ProcessResult report = runTool({"report", dataout.string(), "-o", page.string()}, {}, 120);
    EXPECT_TRUE(report.exitCode == 0 || report.exitCode == 1) << report.output;
    EXPECT_NE(readFile(page).find("071226_1"), std::string::npos) << report.output;
}

// A stamp of more digits than any the game writes is no stamp: it is a
// fault of its line, never summed, and the folder's sessions are still
// read and put in order.
TEST(DamagedLogs, AStampOfTooManyDigitsIsAFaultOfItsLine) {
    EXPECT_EQ(qbx::session::leadingStampMs("37845.7:TF:CK"), 37845007);
    EXPECT_EQ(qbx::session::leadingStampMs("86399.1005:x"), 86400005);
    for (const char* text : {"9999999999999999999.5:TF:CK", "123456.5:TF:CK", "37845.99999999999999999999:TF:CK",
                             "37845.12345:TF:CK", "37845:TF:CK", ".5:TF:CK", "37845.5"})
        EXPECT_EQ(qbx::session::leadingStampMs(text), std::nullopt) << text;

    TempDir tmp;
    const fs::path dataout = tmp.path() / "dataout";
    copyMixGame(dataout);
    std::string ck = readFile(std::string(QBX_TEST_DATA) + "/mix_game_ck.txt");
    ck.replace(0, ck.find(':'), "9999999999999999999.990");
    writeFile(dataout / "ck071226_2.txt", ck);
    writeFile(dataout / "nk071226_2.txt", readFile(std::string(QBX_TEST_DATA) + "/mix_game_nk.txt"));
    const ProcessResult verify = runTool({"verify", dataout.string()}, {}, 120);
    EXPECT_EQ(verify.exitCode, 1) << verify.output;
    EXPECT_NE(verify.output.find("071226_1: ok"), std::string::npos) << verify.output;
    EXPECT_NE(verify.output.find((dataout / "ck071226_2.txt").string() + ":1: "), std::string::npos) << verify.output;
    const ProcessResult sessions = runTool({"sessions", dataout.string()}, {}, 120);
    EXPECT_EQ(sessions.exitCode, 1) << sessions.output;
    // The session whose first stamp cannot be read is listed after the other.
    EXPECT_LT(sessions.output.find("071226_1"), sessions.output.find("071226_2")) << sessions.output;
}
