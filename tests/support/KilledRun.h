#pragma once
// What the kill tests check, on Linux (fork and SIGKILL) and on Windows
// (a second process and TerminateProcess) alike: a session ended from
// outside keeps every record written before, so its logs are whole lines
// ending in CR LF and a line-wise prefix of the logs of the same scripted
// game left to finish.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/ScriptedPlay.h"

namespace qbx::test {

// The two logs in the working folder's dataout (empty when not made yet).
inline Logs readLogs(const WorkDir& dir) { return readLogs(dir.path() + "/dataout"); }

// Checks one role's log of a killed run against the finished run; returns
// the number of whole lines kept. Each record is one write call, but the
// kernel stops a write of a killed process between two pages of the file:
// a log can end in part of a record only where a 4 KB page ends.
inline size_t expectPrefix(const std::string& killed, const std::string& finished, const std::string& what) {
    constexpr size_t kPage = 4096;
    const bool whole = killed.empty() || (killed.size() >= 2 && killed.compare(killed.size() - 2, 2, "\r\n") == 0);
    EXPECT_TRUE(whole || killed.size() % kPage == 0)
        << what << ": the last record is cut, and not where a page of the file ends (" << killed.size() << " bytes)";
    EXPECT_LE(killed.size(), finished.size()) << what;
    EXPECT_EQ(finished.compare(0, killed.size(), killed), 0) << what << ": not a prefix of the finished log";
    size_t lines = 0;
    for (size_t i = 0; i + 1 < killed.size(); ++i) lines += killed[i] == '\r' && killed[i + 1] == '\n';
    return lines;
}

// The number of leading records of a log stamped no later than a moment
// (milliseconds since midnight); a record begins "<seconds>.<milliseconds>:".
inline size_t recordsUpTo(const std::string& log, long long msOfDay) {
    size_t records = 0;
    for (const std::string& line : splitLines(log)) {
        const size_t dot = line.find('.');
        const size_t colon = line.find(':');
        if (dot == std::string::npos || colon == std::string::npos || dot > colon) break;
        const long long stamp =
            std::stoll(line.substr(0, dot)) * 1000 + std::stoll(line.substr(dot + 1, colon - dot - 1));
        if (stamp > msOfDay) break;
        ++records;
    }
    return records;
}

// The scripted game played to its end in a fresh working folder, with the
// number of lines each log held after every action, and the game's clock
// then.
struct FinishedRun {
    Logs logs;
    std::vector<size_t> ckLinesAfter, nkLinesAfter;  // [n]: after action n; [0]: before the first
    std::vector<long long> clockAfter;               // [n]: milliseconds since midnight
    long actions = 0;
    bool terminated = false;
};

inline FinishedRun finishScripted(int hands, unsigned seed) {
    FinishedRun run;
    WorkDir dir;
    writeScriptedSetup(dir, hands, seed);
    Session s;
    startScripted(s);
    ScriptedPlay play(s);
    run.ckLinesAfter.push_back(0);
    run.nkLinesAfter.push_back(0);
    run.clockAfter.push_back(s.clock.ms());
    play.afterAction = [&](long) {
        run.clockAfter.push_back(s.clock.ms());
        const Logs now = readLogs(dir);
        run.ckLinesAfter.push_back(splitLines(now.ck).size());
        run.nkLinesAfter.push_back(splitLines(now.nk).size());
    };
    play.playToEnd();
    run.terminated = s.platform.terminated;
    run.actions = play.actions;
    run.logs = readLogs(dir);
    return run;
}

// The actions after which a run is killed: each of the first few, then
// further apart, and the last one (which ends the game: killed before the
// end-of-shoe records).
inline std::vector<long> killPoints(long actions) {
    std::vector<long> points = {1, 2, 3, 4, 5, 6, 7};
    for (long n = 10; n < actions; n = n * 3 / 2) points.push_back(n);
    points.push_back(actions);
    return points;
}

// Checks the logs of a run killed right after action n: exactly the records
// of the first n actions, none lost, none beyond. The finished run's counts
// come from the same writer, so a writer that held records back would agree
// with itself; the records stamped up to the action's moment are counted
// from the finished log alone.
inline void expectKilledAfter(const Logs& killed, const FinishedRun& finished, long n) {
    const size_t action = static_cast<size_t>(n);
    const size_t ck = expectPrefix(killed.ck, finished.logs.ck, "ck");
    const size_t nk = expectPrefix(killed.nk, finished.logs.nk, "nk");
    EXPECT_EQ(ck, finished.ckLinesAfter[action]) << "after action " << n;
    EXPECT_EQ(nk, finished.nkLinesAfter[action]) << "after action " << n;
    EXPECT_GE(ck, recordsUpTo(finished.logs.ck, finished.clockAfter[action])) << "ck: held back after action " << n;
    EXPECT_GE(nk, recordsUpTo(finished.logs.nk, finished.clockAfter[action])) << "nk: held back after action " << n;
}

// Plays the scripted game that writeScriptedSetup laid out, in the newest
// WorkDir (in a process started in its folder: there), as the process to be
// killed does; `afterAction` runs after each action with the number of
// actions so far.
inline void playScripted(const std::function<void(long)>& afterAction) {
    Session s;
    startScripted(s);
    ScriptedPlay play(s);
    play.afterAction = afterAction;
    play.playToEnd();
}

}  // namespace qbx::test
