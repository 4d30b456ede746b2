// A session ended with TerminateProcess (the task manager's "End task", a
// shutdown that does not wait) keeps every record written before: the logs
// are whole lines ending in CR LF and a line-wise prefix of the logs of the
// same game left to finish. Windows has no fork, so the test program starts
// itself a second time to play the game in the test's working folder, and
// ends that process after a chosen action or at a random moment. The POSIX
// build has its own in core/test_kill.cpp, with the same checks.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <windows.h>

#include "support/KilledRun.h"

using namespace qbx;
using namespace qbx::test;

namespace {

constexpr int kHands = 60;       // killed after chosen actions
constexpr int kLongHands = 300;  // killed at random moments
constexpr unsigned kSeed = 11;
constexpr UINT kKilledCode = 137;  // the exit code TerminateProcess gives the game
constexpr DWORD kReadyTimeoutMs = 60000;
constexpr DWORD kOrphanedMs = 120000;

// Set for the second process only: "<action> <event handle>". The process
// plays the game set up in its working folder and signals the event after
// that action, then waits to be killed (two minutes at most); with action 0
// it signals as the game starts and plays on to the end.
constexpr char kScenarioVariable[] = "QBX_KILLED_GAME";

// In the second process, the game is played before any test runs and the
// process ends without running one.
class KilledGameProcess : public ::testing::Environment {
public:
    void SetUp() override {
        const char* scenario = std::getenv(kScenarioVariable);
        if (!scenario || !*scenario) return;
        long signalAfter = -1;
        unsigned long long event = 0;
        if (std::sscanf(scenario, "%ld %llu", &signalAfter, &event) != 2 || signalAfter < 0 || event == 0) {
            std::fprintf(stderr, "%s: bad scenario \"%s\"\n", kScenarioVariable, scenario);
            ::ExitProcess(2);
        }
        const HANDLE ready = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(event));
        if (signalAfter == 0) ::SetEvent(ready);
        playScripted([&](long actions) {
            if (actions != signalAfter) return;
            ::SetEvent(ready);
            ::Sleep(kOrphanedMs);  // killed long before, unless the test itself was
            ::ExitProcess(3);
        });
        ::ExitProcess(0);
    }
};

[[maybe_unused]] ::testing::Environment* const killedGameProcess =
    ::testing::AddGlobalTestEnvironment(new KilledGameProcess);

std::string thisProgram() {
    char path[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, n);
}

// GoogleTest's shard variables taken out of this process's environment for
// as long as the object lives, so a child started meanwhile runs unsharded.
class ShardVariablesLeftOut {
public:
    ShardVariablesLeftOut() {
        for (Saved& variable : saved_) {
            if (const char* value = std::getenv(variable.name)) {
                variable.value = value;
                variable.wasSet = true;
                _putenv_s(variable.name, "");
            }
        }
    }
    ~ShardVariablesLeftOut() {
        for (const Saved& variable : saved_)
            if (variable.wasSet) _putenv_s(variable.name, variable.value.c_str());
    }
    ShardVariablesLeftOut(const ShardVariablesLeftOut&) = delete;
    ShardVariablesLeftOut& operator=(const ShardVariablesLeftOut&) = delete;

private:
    struct Saved {
        const char* name;
        std::string value;
        bool wasSet = false;
    };
    Saved saved_[2] = {{"GTEST_TOTAL_SHARDS", {}}, {"GTEST_SHARD_INDEX", {}}};
};

// This test program started again to play the game in the newest WorkDir's
// folder; ended with TerminateProcess unless it has ended by itself.
class GameProcess {
public:
    explicit GameProcess(long signalAfter) {
        SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        ready_ = ::CreateEventA(&inherited, TRUE, FALSE, nullptr);
        EXPECT_NE(ready_, nullptr);
        // gtest's own lines from the second process would only be noise.
        const HANDLE nul = ::CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                         OPEN_EXISTING, 0, nullptr);
        const std::string scenario =
            std::to_string(signalAfter) + " " + std::to_string(reinterpret_cast<std::uintptr_t>(ready_));
        _putenv_s(kScenarioVariable, scenario.c_str());
        // The second process runs one test by name: GoogleTest's shard
        // variables, inherited, could put that test in another shard, and a
        // process with no test to run never plays its game.
        const ShardVariablesLeftOut unsharded;
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string command =
            "\"" + thisProgram() + "\" --gtest_filter=" + test->test_suite_name() + "." + test->name();
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nul;
        startup.hStdOutput = nul;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION started{};
        // It plays in the test's folder, the process's own directory there.
        const std::string folder = currentWorkDir();
        const BOOL ok = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                         folder.empty() ? nullptr : folder.c_str(), &startup, &started);
        const DWORD error = ::GetLastError();
        _putenv_s(kScenarioVariable, "");
        if (nul != INVALID_HANDLE_VALUE) ::CloseHandle(nul);
        EXPECT_TRUE(ok) << "CreateProcess: error " << error;
        if (!ok) return;
        ::CloseHandle(started.hThread);
        process_ = started.hProcess;
    }

    ~GameProcess() {
        if (process_) {
            if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) kill();
            ::CloseHandle(process_);
        }
        if (ready_) ::CloseHandle(ready_);
    }

    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    // True once the game has signalled; false when it ended (or hung) first.
    bool waitUntilReady() {
        if (!process_) return false;
        const HANDLE both[2] = {ready_, process_};
        return ::WaitForMultipleObjects(2, both, FALSE, kReadyTimeoutMs) == WAIT_OBJECT_0;
    }

    // Ends the game now and returns its exit code: kKilledCode unless it
    // had ended by itself.
    DWORD kill() {
        ::TerminateProcess(process_, kKilledCode);
        return waitForExit();
    }

    DWORD waitForExit() {
        ::WaitForSingleObject(process_, INFINITE);
        DWORD code = 0;
        ::GetExitCodeProcess(process_, &code);
        return code;
    }

private:
    HANDLE ready_ = nullptr;
    HANDLE process_ = nullptr;
};

}  // namespace

TEST(WindowsKill, AfterAnActionEveryRecordOfThatActionIsOnDisk) {
    inMemoryTemp([&] {
        const FinishedRun finished = finishScripted(kHands, kSeed);
        ASSERT_TRUE(finished.terminated);
        ASSERT_GT(finished.actions, 100);
        for (long n : killPoints(finished.actions)) {
            WorkDir dir;
            writeScriptedSetup(dir, kHands, kSeed);
            GameProcess game(n);
            ASSERT_TRUE(game.waitUntilReady()) << "the game ended before action " << n;
            ASSERT_EQ(game.kill(), kKilledCode) << "after action " << n;
            expectKilledAfter(readLogs(dir), finished, n);
        }
    });
}

TEST(WindowsKill, AtAnyMomentTheLogsAreWholeLinesAndAPrefixOfTheFinishedRun) {
    inMemoryTemp([&] {
        const FinishedRun finished = finishScripted(kLongHands, kSeed);
        ASSERT_NE(finished.logs.ck.find("TotalMove:"), std::string::npos);

        // How long the second process plays, from the game's start to its end:
        // the quickest of a few runs, the first one paying for cold caches.
        long playMicros = 0;
        for (int i = 0; i < 3; ++i) {
            WorkDir dir;
            writeScriptedSetup(dir, kLongHands, kSeed);
            GameProcess game(0);
            ASSERT_TRUE(game.waitUntilReady());
            const auto begin = std::chrono::steady_clock::now();
            ASSERT_EQ(game.waitForExit(), 0u);
            const long micros = static_cast<long>(
                std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin)
                    .count());
            playMicros = i == 0 ? micros : std::min(playMicros, micros);
            const Logs logs = readLogs(dir);
            EXPECT_EQ(logs.ck, finished.logs.ck);  // the second process plays the same game
            EXPECT_EQ(logs.nk, finished.logs.nk);
        }

        std::mt19937 rng(2024);
        std::uniform_int_distribution<long> delay(0, playMicros);
        // Most kills must land while the game runs, or the test proves
        // little; runs go on until half of the planned ones cut a game short
        // (a machine quicker than when the game was timed finishes more).
        constexpr int kRuns = 20;
        int cutShort = 0;
        for (int run = 0; run < kRuns || (cutShort < kRuns / 2 && run < 3 * kRuns); ++run) {
            WorkDir dir;
            writeScriptedSetup(dir, kLongHands, kSeed);
            GameProcess game(0);
            ASSERT_TRUE(game.waitUntilReady());
            std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
            const DWORD code = game.kill();
            const Logs killed = readLogs(dir);
            expectPrefix(killed.ck, finished.logs.ck, "ck");
            expectPrefix(killed.nk, finished.logs.nk, "nk");
            if (code == kKilledCode) {
                ++cutShort;
            } else {
                EXPECT_EQ(code, 0u);
                EXPECT_EQ(killed.ck, finished.logs.ck);
                EXPECT_EQ(killed.nk, finished.logs.nk);
            }
        }
        EXPECT_GE(cutShort, kRuns / 2) << "play took " << playMicros << " us";
    });
}
