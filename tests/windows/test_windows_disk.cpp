// The event logs on Windows when the disk fails them: a full disk is told
// and leaves whole records, and a dataout that someone tries to delete
// during play stays, with every log in it. Built only for Windows (run
// under Wine here); the POSIX build has its own in core/test_full_disk.cpp.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <windows.h>

#include "core/platform/System.h"
#include "support/ScriptedPlay.h"

using namespace qbx;
using namespace qbx::test;

namespace fs = std::filesystem;

namespace {

constexpr unsigned kSeed = 5;

void expectWholePrefix(const std::string& log, const std::string& finished, const char* what) {
    ASSERT_GE(log.size(), 2u) << what;
    EXPECT_EQ(log.compare(log.size() - 2, 2, "\r\n"), 0) << what << ": the last record is cut";
    EXPECT_EQ(finished.compare(0, log.size(), log), 0) << what << ": not a prefix of the run on a healthy disk";
}

// Makes temporary folders (and so the WorkDir) on another drive while alive.
class TempOn {
public:
    explicit TempOn(const std::string& folder) {
        const char* old = std::getenv("TMP");
        saved_ = old ? old : "";
        _putenv_s("TMP", folder.c_str());
    }
    ~TempOn() { _putenv_s("TMP", saved_.c_str()); }

private:
    std::string saved_;
};

}  // namespace

TEST(WindowsDisk, AFullDiskIsToldAndEndsThePlayWithWholeRecords) {
    // scripts/windows-test mounts a 64 KiB file system and names it here.
    const char* smallDisk = std::getenv("QBX_SMALL_DISK");
    if (!smallDisk || !*smallDisk) GTEST_SKIP() << "QBX_SMALL_DISK names no small disk";
    constexpr int kHands = 400;
    const Logs finished = scriptedGameLogs(kHands, kSeed);
    TempOn onSmallDisk(smallDisk);
    WorkDir dir;
    writeScriptedSetup(dir, kHands, kSeed);
    {
        Session s;
        startScripted(s);
        ASSERT_TRUE(s.platform.messages.empty()) << s.platform.messages.front();
        ScriptedPlay play(s);
        play.playToEnd();
        EXPECT_LT(play.hands, kHands) << "the disk never filled";
        ASSERT_FALSE(s.platform.messages.empty());
        const std::string& told = s.platform.messages.back();
        EXPECT_NE(told.find("Cannot write the event log dataout/"), std::string::npos) << told;
        EXPECT_NE(told.find(sys::windowsErrorText(ERROR_DISK_FULL)), std::string::npos) << told;
        EXPECT_TRUE(s.platform.terminated);
    }
    const Logs full = readLogs(inWorkDir("dataout"));
    EXPECT_GT(full.ck.size() + full.nk.size(), 16u * 1024);
    expectWholePrefix(full.ck, finished.ck, "ck");
    expectWholePrefix(full.nk, finished.nk, "nk");
}

TEST(WindowsDisk, DataoutCannotBeDeletedWhileTheLogsAreOpen) {
    constexpr int kHands = 6;
    const Logs finished = scriptedGameLogs(kHands, kSeed);
    WorkDir dir;
    writeScriptedSetup(dir, kHands, kSeed);
    Session s;
    startScripted(s);
    ScriptedPlay play(s);
    bool refused = false;
    play.afterDeal = [&](long hands) {
        if (hands != 3) return;
        std::error_code ec;
        fs::remove_all(inWorkDir("dataout"), ec);
        refused = static_cast<bool>(ec);
    };
    play.playToEnd();
    EXPECT_TRUE(refused) << "the logs were deleted while open";
    EXPECT_TRUE(s.platform.messages.empty() || s.platform.messages.back().find("Cannot") == std::string::npos);
    EXPECT_EQ(play.hands, kHands);
    const Logs logs = readLogs(inWorkDir("dataout"));
    EXPECT_EQ(logs.ck, finished.ck);
    EXPECT_EQ(logs.nk, finished.nk);
}
