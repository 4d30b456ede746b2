// A session killed with SIGKILL (power cut of the program, a kill from the
// task manager) keeps every record written before the kill: the logs of a
// killed run are whole lines ending in CR LF and a line-wise prefix of the
// logs of the same run left to finish. The game is played by a child
// process; the same script with the same fake clock gives the same records.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/ScriptedPlay.h"

using namespace qbx;
using namespace qbx::test;

namespace {

constexpr int kHands = 60;       // killed after chosen actions
constexpr int kLongHands = 2000; // killed at random moments
constexpr unsigned kSeed = 11;

struct Logs {
    std::string ck, nk;
};

Logs readLogs(const WorkDir& dir) {
    Logs logs;
    for (const std::string& name : dir.list("dataout")) {
        if (name.rfind("ck", 0) == 0) logs.ck = dir.read("dataout/" + name);
        if (name.rfind("nk", 0) == 0) logs.nk = dir.read("dataout/" + name);
    }
    return logs;
}

// Plays the scripted game in a child process in the current directory; the
// child kills itself right after action `killAfter` when it is not negative.
pid_t playInChild(long killAfter) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    {
        Session s;
        startScripted(s);
        ScriptedPlay play(s);
        play.afterAction = [&](long actions) {
            if (actions == killAfter) ::raise(SIGKILL);
        };
        play.playToEnd();
    }
    ::_exit(0);
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Checks one role's log of a killed run against the finished run; returns
// the number of whole lines kept.
size_t expectPrefix(const std::string& killed, const std::string& finished, const std::string& what) {
    EXPECT_TRUE(killed.empty() || (killed.size() >= 2 && killed.compare(killed.size() - 2, 2, "\r\n") == 0))
        << what << ": the last record is not whole";
    EXPECT_LE(killed.size(), finished.size()) << what;
    EXPECT_EQ(finished.compare(0, killed.size(), killed), 0) << what << ": not a prefix of the finished log";
    size_t lines = 0;
    for (size_t i = 0; i + 1 < killed.size(); ++i) lines += killed[i] == '\r' && killed[i + 1] == '\n';
    return lines;
}

struct Killed : ::testing::Test {
    Logs finished;
    std::vector<size_t> ckLinesAfter, nkLinesAfter;  // after each action of the finished run
    long actions = 0;

    void SetUp() override {
        inMemoryTemp([&] {
            WorkDir dir;
            writeScriptedSetup(dir, kHands, kSeed);
            Session s;
            startScripted(s);
            ScriptedPlay play(s);
            ckLinesAfter.push_back(0);
            nkLinesAfter.push_back(0);
            play.afterAction = [&](long) {
                const Logs now = readLogs(dir);
                ckLinesAfter.push_back(splitLines(now.ck).size());
                nkLinesAfter.push_back(splitLines(now.nk).size());
            };
            play.playToEnd();
            ASSERT_TRUE(s.platform.terminated);
            actions = play.actions;
            finished = readLogs(dir);
        });
        ASSERT_GT(actions, 100);
    }
};

TEST_F(Killed, AfterAnActionEveryRecordOfThatActionIsOnDisk) {
    std::vector<long> points = {1, 2, 3, 4, 5, 6, 7};
    for (long n = 10; n < actions; n = n * 3 / 2) points.push_back(n);
    points.push_back(actions);  // the last action ends the game: killed before the end-of-shoe records
    for (long n : points) {
        inMemoryTemp([&] {
            WorkDir dir;
            writeScriptedSetup(dir, kHands, kSeed);
            const int status = waitFor(playInChild(n));
            ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "after action " << n;
            const Logs killed = readLogs(dir);
            // Exactly the records of the first n actions: none lost, none beyond.
            EXPECT_EQ(expectPrefix(killed.ck, finished.ck, "ck"), ckLinesAfter[static_cast<size_t>(n)]) << n;
            EXPECT_EQ(expectPrefix(killed.nk, finished.nk, "nk"), nkLinesAfter[static_cast<size_t>(n)]) << n;
        });
    }
}

TEST(KilledAnyTime, TheLogsAreWholeLinesAndAPrefixOfTheFinishedRun) {
    // The same game finished, then timed in a child (fork and setup included).
    Logs finished;
    long childMicros = 0;
    inMemoryTemp([&] {
        WorkDir dir;
        writeScriptedSetup(dir, kLongHands, kSeed);
        {
            Session s;
            startScripted(s);
            ScriptedPlay(s).playToEnd();
        }
        finished = readLogs(dir);
        // The quickest of a few runs: the first one pays for cold caches.
        for (int i = 0; i < 3; ++i) {
            for (const auto& name : dir.list("dataout")) std::filesystem::remove("dataout/" + name);
            const auto begin = std::chrono::steady_clock::now();
            const int status = waitFor(playInChild(-1));
            const long micros = static_cast<long>(
                std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin)
                    .count());
            childMicros = i == 0 ? micros : std::min(childMicros, micros);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            EXPECT_EQ(readLogs(dir).ck, finished.ck);  // the child plays the same game
        }
    });
    ASSERT_NE(finished.ck.find("TotalMove:"), std::string::npos);

    std::mt19937 rng(2024);
    std::uniform_int_distribution<long> delay(0, childMicros);
    int cutShort = 0;
    for (int run = 0; run < 30; ++run) {
        inMemoryTemp([&] {
            WorkDir dir;
            writeScriptedSetup(dir, kLongHands, kSeed);
            const pid_t pid = playInChild(-1);
            std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
            ::kill(pid, SIGKILL);
            const int status = waitFor(pid);
            const Logs killed = readLogs(dir);
            expectPrefix(killed.ck, finished.ck, "ck");
            expectPrefix(killed.nk, finished.nk, "nk");
            if (WIFSIGNALED(status)) {
                ++cutShort;
            } else {
                EXPECT_EQ(killed.ck, finished.ck);
                EXPECT_EQ(killed.nk, finished.nk);
            }
        });
    }
    // Most kills must land while the game runs, or the test proves little.
    EXPECT_GE(cutShort, 15);
}

}  // namespace
