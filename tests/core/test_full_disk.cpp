// The disk under dataout failing during play. A full disk and removed logs
// must be told at once (the session stops: a session whose records go
// nowhere is a lost experiment) and the records already written stay whole.
// Permissions are checked when a file is opened, so making dataout
// read-only during play changes nothing for the open logs: play goes on and
// every record reaches them. The full-disk case mounts a tiny memory file
// system and needs root; it is skipped otherwise.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/mount.h>
#include <unistd.h>

#include "support/ScriptedPlay.h"

using namespace qbx;
using namespace qbx::test;

namespace fs = std::filesystem;

namespace {

constexpr unsigned kSeed = 5;

// The logs of the scripted game over `hands` hands on a healthy disk.
Logs finishedRun(int hands) {
    Logs logs;
    inMemoryTemp([&] { logs = scriptedGameLogs(hands, kSeed); });
    return logs;
}

bool endsWithLineEnd(const std::string& text) {
    return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

void expectWholePrefix(const std::string& log, const std::string& finished, const char* what) {
    EXPECT_TRUE(endsWithLineEnd(log)) << what << ": the last record is cut";
    EXPECT_EQ(finished.compare(0, log.size(), log), 0) << what << ": not a prefix of the run on a healthy disk";
}

void expectStoppedAndTold(Session& s, const std::string& about) {
    ASSERT_FALSE(s.platform.messages.empty());
    const std::string& last = s.platform.messages.back();
    EXPECT_NE(last.find("event log dataout/"), std::string::npos) << last;
    EXPECT_NE(last.find(about), std::string::npos) << last;
    EXPECT_NE(last.find("Please call the experimenter."), std::string::npos) << last;
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_TRUE(s.game.terminated());
    for (TimerId id : {TimerId::Glide, TimerId::DealWait, TimerId::DealStep}) EXPECT_FALSE(s.game.timerRunning(id));
}

TEST(FailingDisk, AFullDiskIsToldAndEndsThePlayWithWholeRecords) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    constexpr int kHands = 400;
    const Logs finished = finishedRun(kHands);
    WorkDir dir;
    writeScriptedSetup(dir, kHands, kSeed);
    const std::string dataout = dir.path() + "/dataout";
    if (::mount("tmpfs", dataout.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0755") != 0)
        GTEST_SKIP() << "cannot mount a file system here: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{dataout};
    {
        Session s;
        startScripted(s);
        ASSERT_TRUE(s.platform.messages.empty()) << s.platform.messages.front();
        ScriptedPlay play(s);
        play.playToEnd();
        EXPECT_LT(play.hands, kHands) << "the disk never filled";
        expectStoppedAndTold(s, "No space left on device");
        // Nothing happens after the end.
        const size_t told = s.platform.messages.size();
        s.pass();
        s.settle();
        EXPECT_EQ(s.platform.messages.size(), told);
    }
    const Logs full = readLogs(dataout);
    EXPECT_GT(full.ck.size() + full.nk.size(), 32u * 1024);
    expectWholePrefix(full.ck, finished.ck, "ck");
    expectWholePrefix(full.nk, finished.nk, "nk");
}

TEST(FailingDisk, RemovingDataoutDuringPlayIsToldAtTheNextAction) {
    // On Linux the open logs live on, unnamed, after dataout is removed: the
    // writes succeed and the records would vanish with the program. The
    // removal is found when the records of the next action are saved.
    inMemoryTemp([&] {
        WorkDir dir;
        writeScriptedSetup(dir, 20, kSeed);
        Session s;
        startScripted(s);
        ScriptedPlay play(s);
        long actionsBefore = -1;
        play.afterDeal = [&](long hands) {
            if (hands != 3) return;
            actionsBefore = play.actions;
            fs::remove_all(inWorkDir("dataout"));
        };
        play.playToEnd();
        expectStoppedAndTold(s, "has been removed");
        EXPECT_EQ(play.hands, 3);
        ASSERT_GT(actionsBefore, 0);
        EXPECT_EQ(play.actions, actionsBefore + 1);  // told at the first action after the removal
        EXPECT_FALSE(fs::exists(inWorkDir("dataout")));
    });
}

TEST(FailingDisk, DataoutMadeReadOnlyDuringPlayLosesNothing) {
    constexpr int kHands = 12;
    const Logs finished = finishedRun(kHands);
    inMemoryTemp([&] {
        WorkDir dir;
        writeScriptedSetup(dir, kHands, kSeed);
        Session s;
        startScripted(s);
        ScriptedPlay play(s);
        play.afterDeal = [&](long hands) {
            if (hands != 4) return;
            for (const auto& e : fs::directory_iterator(inWorkDir("dataout")))
                fs::permissions(e.path(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
            fs::permissions(inWorkDir("dataout"), fs::perms::owner_read | fs::perms::owner_exec |
                                                      fs::perms::group_read | fs::perms::group_exec |
                                                      fs::perms::others_read | fs::perms::others_exec);
        };
        play.playToEnd();
        EXPECT_EQ(play.hands, kHands);
        EXPECT_EQ(s.platform.messages.back(), "The game is over. Thank you!");
        const Logs logs = readLogs(inWorkDir("dataout"));
        EXPECT_EQ(logs.ck, finished.ck);
        EXPECT_EQ(logs.nk, finished.nk);
    });
}

TEST(FailingDisk, AFileSystemRemountedReadOnlyDuringPlayIsRefusedOrTold) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a file system needs root";
    constexpr int kHands = 12;
    const Logs finished = finishedRun(kHands);
    WorkDir dir;
    writeScriptedSetup(dir, kHands, kSeed);
    const std::string dataout = dir.path() + "/dataout";
    if (::mount("tmpfs", dataout.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m,mode=0755") != 0)
        GTEST_SKIP() << "cannot mount a file system here: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{dataout};
    int remount = 0;
    {
        Session s;
        startScripted(s);
        ScriptedPlay play(s);
        play.afterDeal = [&](long hands) {
            if (hands != 4) return;
            remount = ::mount(nullptr, dataout.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0 ? 0 : errno;
        };
        play.playToEnd();
        if (remount == 0) {
            // The kernel let it go read-only: the next record cannot be written.
            expectStoppedAndTold(s, "Read-only file system");
            EXPECT_EQ(play.hands, 4);
        } else {
            // Linux refuses while files are open for writing: play goes on.
            EXPECT_EQ(remount, EBUSY);
            EXPECT_EQ(play.hands, kHands);
            // The game's end is the last box. 1 MB is too little to take
            // any of it from the logs: neither the setup's copy nor the run
            // record is written, and that is said on standard error alone.
            ASSERT_FALSE(s.platform.messages.empty());
            EXPECT_EQ(s.platform.messages.back(), "The game is over. Thank you!");
            EXPECT_FALSE(std::filesystem::exists(dataout + "/run071226_4242.json"));
            EXPECT_FALSE(std::filesystem::exists(dataout + "/setups"));
        }
    }
    const Logs logs = readLogs(dataout);
    expectWholePrefix(logs.ck, finished.ck, "ck");
    expectWholePrefix(logs.nk, finished.nk, "nk");
    if (remount != 0) {
        EXPECT_EQ(logs.ck, finished.ck);
    }
}

}  // namespace
