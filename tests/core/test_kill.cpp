// A session killed with SIGKILL (power cut of the program, a kill from the
// task manager) keeps every record written before the kill: the logs of a
// killed run are whole lines ending in CR LF and a line-wise prefix of the
// logs of the same run left to finish. The game is played by a child
// process; the same script with the same fake clock gives the same records.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/KilledRun.h"

using namespace qbx;
using namespace qbx::test;

namespace {

constexpr int kHands = 60;        // killed after chosen actions
constexpr int kLongHands = 2000;  // killed at random moments
constexpr unsigned kSeed = 11;

// Plays the scripted game in a child process in the current directory; the
// child kills itself right after action `killAfter` when it is not negative.
pid_t playInChild(long killAfter) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    playScripted([&](long actions) {
        if (actions == killAfter) ::raise(SIGKILL);
    });
    ::_exit(0);
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return status;
}

struct Killed : ::testing::Test {
    FinishedRun finished;

    void SetUp() override {
        inMemoryTemp([&] { finished = finishScripted(kHands, kSeed); });
        ASSERT_TRUE(finished.terminated);
        ASSERT_GT(finished.actions, 100);
    }
};

TEST_F(Killed, AfterAnActionEveryRecordOfThatActionIsOnDisk) {
    for (long n : killPoints(finished.actions)) {
        inMemoryTemp([&] {
            WorkDir dir;
            writeScriptedSetup(dir, kHands, kSeed);
            const int status = waitFor(playInChild(n));
            ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "after action " << n;
            expectKilledAfter(readLogs(dir), finished, n);
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
            for (const auto& name : dir.list("dataout")) std::filesystem::remove_all("dataout/" + name);
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
    // Most kills must land while the game runs, or the test proves little;
    // a machine that got quicker than when the game was timed finishes more
    // games before their kill, so runs go on until 15 kills have cut a game
    // short (30 runs at least, 90 at most).
    int cutShort = 0;
    for (int run = 0; run < 30 || (cutShort < 15 && run < 90); ++run) {
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
    EXPECT_GE(cutShort, 15);
}

TEST(KilledAnyTime, TheRunRecordIsWholeAndSaysStarted) {
    // The child rewrites its record without pause (a return to the front
    // after another); killed at any moment, the name holds a whole record.
    int seen = 0;
    for (int run = 0; run < 20; ++run) {
        inMemoryTemp([&] {
            WorkDir dir;
            writeScriptedSetup(dir, 3, kSeed);
            const pid_t pid = ::fork();
            if (pid == 0) {
                Session s;
                s.game.setRunRecordWriter(std::make_unique<RunRecordWriter>());  // on its own thread
                startScripted(s);
                for (;;) {
                    s.game.keptInFront(FrontLost::Hidden);
                    s.game.flushRunRecord();
                }
            }
            // The kill must land among the rewrites, not before the first:
            // a slow build (the sanitizers) may take longer than any fixed
            // pause to start the game.
            const std::string path = inWorkDir("dataout/run071226_4242.json");
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (std::chrono::steady_clock::now() < giveUp &&
                   !(std::filesystem::exists(path) && readFile(path).find("\"why\": \"hidden\"") != std::string::npos))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(run * 3));
            ::kill(pid, SIGKILL);
            waitFor(pid);
            if (!std::filesystem::exists(path)) return;
            ++seen;
            const std::string record = readFile(path);
            ASSERT_GE(record.size(), 4u);
            EXPECT_EQ(record.substr(0, 2), "{\n");
            EXPECT_EQ(record.substr(record.size() - 3), "\n}\n");
            EXPECT_EQ(std::count(record.begin(), record.end(), '{'), std::count(record.begin(), record.end(), '}'));
            EXPECT_NE(record.find("\"state\": \"started\""), std::string::npos);
            EXPECT_NE(record.find("\"why\": \"hidden\"}\n  ],\n  \"problems\": []\n}"), std::string::npos);
        });
    }
    EXPECT_GE(seen, 15);
}

}  // namespace
