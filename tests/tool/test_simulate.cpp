// qbxtool simulate: sessions played by simulated participants are real
// sessions of the game (verify finds nothing, the replay follows every
// record), the players play as they
// say, a seed gives the same bytes, and the log commands tell simulated
// sessions apart.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "core/replay/SessionReplay.h"
#include "tool/LogMaking.h"
#include "tool/Tool.h"
#include "tool/ToolTestSupport.h"
#include "tool/logs/LogFolder.h"
#include "tool/logs/SessionSetup.h"
#include "tool/logs/Verify.h"
#include "tool/setup/SolverTable.h"
#include "tool/sim/Simulate.h"

namespace qbx::tool {
namespace {

namespace fs = std::filesystem;
using test::copyMixGame;

// The example setup in a working directory of its own, with overrides of
// its parameter file ("Key=value" lines replaced).
void writeExampleWorkDir(const fs::path& dir, const std::vector<std::pair<std::string, std::string>>& overrides = {}) {
    fs::create_directories(dir / "dataout");
    fs::copy(fs::path(QBX_EXAMPLES) / "setup", dir / "setup", fs::copy_options::recursive);
    std::string ini = readFile(dir / "setup" / "QBXParameter.ini");
    for (const auto& [key, value] : overrides) {
        const size_t at = ini.find("\n" + key + "=");
        ASSERT_NE(at, std::string::npos) << key;
        const size_t end = ini.find('\n', at + 1);
        ini.replace(at + 1, end - at - 1, key + "=" + value);
    }
    writeFile(dir / "setup" / "QBXParameter.ini", ini);
}

// Hand cards face down (looks), the turn handed over at the next role's
// first touch, hand cards that cannot be dragged.
const std::vector<std::pair<std::string, std::string>> kFaceDownMix = {
    {"ViewCkNk", "FALSE"}, {"ViewCard", "MIX"}, {"Drag CkNk", "FALSE"}};

sim::SimulateOptions playing(const std::string& players, int sessions, uint64_t seed = 1) {
    sim::SimulateOptions o;
    o.sessions = sessions;
    o.players = sim::parsePlayer(players);
    o.seed = seed;
    return o;
}

// Every session of a dataout folder, read with its saved setup and the solver's fewest actions.
logs::VerifyResult verified(const fs::path& dataout) {
    const logs::LogFolder folder = logs::findLogs(dataout.string());
    std::ostringstream messages;
    const logs::SessionSetups setups = logs::setupsOfSessions(folder, nullptr, true, messages);
    logs::VerifyResult result = logs::verifyLogs(folder, setups.of);
    EXPECT_EQ(messages.str(), "");
    return result;
}

// hands.csv: each session's value of the last column, by participant (the
// codes here need no quotes).
std::map<std::string, std::string> lastColumnByParticipant(const fs::path& hands, std::string& header) {
    std::map<std::string, std::string> values;
    std::istringstream lines(readFile(hands));
    std::getline(lines, header);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t a = line.find(','), b = line.find(',', a + 1), c = line.find(',', b + 1);
        values[line.substr(b + 1, c - b - 1)] = line.substr(line.rfind(',') + 1);
    }
    return values;
}

std::map<std::string, std::string> filesOf(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) files[fs::relative(e.path(), dir).string()] = readFile(e.path());
    return files;
}

// The ColorKeeper in turn holds the goal 2H; the Target holds `target`.
rules::Situation goalInColourKeepersHand(int target, const rules::TableRules& rules) {
    // Cards 0..5 are 2H 3H 4H 2C 3C 4C; the rest fill the other places.
    std::array<uint8_t, kCards> at{};
    at[0] = colorCardView;
    at[target] = targetCardView;
    const uint8_t others[] = {downColorCardView, upCardView, downNumberCardView, numberCardView};
    int next = 0;
    for (int card = 1; card < kCards; ++card)
        if (card != target) at[card] = others[next++];
    return rules::dealtHand(at, Role::Ck, rules);
}

TEST(SimulatedPlayers, EachChoosesAsItsKindSaysAmongTheActionsTheRulesAllow) {
    rules::TableRules rules;  // hand cards locked, the turn kept after a swap
    const SolverTable solver(rules);
    sim::Draws draws(3);
    const auto player = [&](const char* kind) { return sim::Player(sim::parsePlayer(kind), rules, &solver, draws); };
    const sim::SimAction onTarget{false, targetCardView}, pass{true, 0};

    // 3H at the Target shares the 2H's colour: four swaps and the pass.
    const rules::Situation sameColour = goalInColourKeepersHand(1, rules);
    EXPECT_EQ(sim::allowedActions(sameColour, rules).size(), 5u);
    EXPECT_EQ(sim::goalNearness(sameColour, 0), 1);
    EXPECT_EQ(player("greedy").choose(sameColour, 0), onTarget);
    EXPECT_EQ(player("optimal").choose(sameColour, 0), onTarget);
    EXPECT_EQ(player("noisy:1").choose(sameColour, 0), onTarget);

    // 3C at the Target does not: no swap with it, and none brings the 2H nearer.
    const rules::Situation otherColour = goalInColourKeepersHand(4, rules);
    const std::vector<sim::SimAction> allowed = sim::allowedActions(otherColour, rules);
    EXPECT_EQ(allowed.size(), 4u);
    EXPECT_EQ(std::count(allowed.begin(), allowed.end(), onTarget), 0);
    EXPECT_EQ(player("greedy").choose(otherColour, 0), pass);
    // The solver's move leads on a shortest line.
    const sim::SimAction best = player("optimal").choose(otherColour, 0);
    const std::optional<int> now = solver.distanceFrom(otherColour, 0);
    ASSERT_TRUE(now);
    EXPECT_EQ(solver.distanceFrom(sim::afterAction(otherColour, best, rules), 0), *now - 1);

    // A random player draws every allowed action, and nothing else.
    sim::Player random = player("random");
    std::map<std::pair<bool, int>, int> drawn;
    for (int i = 0; i < 400; ++i) {
        const sim::SimAction a = random.choose(sameColour, 0);
        ++drawn[{a.isPass, a.position}];
    }
    EXPECT_EQ(drawn.size(), 5u);
    for (const auto& [action, times] : drawn) EXPECT_GT(times, 40) << action.second;
}

TEST(Simulate, EverySessionOfEveryPlayerIsOneTheGameWroteWholeAndVerifyFindsNothing) {
    for (const auto& overrides : {std::vector<std::pair<std::string, std::string>>{}, kFaceDownMix}) {
        for (const std::string players : {"random", "greedy", "optimal", "noisy:0.5"}) {
            SCOPED_TRACE(players + (overrides.empty() ? " example setup" : " face down, MIX, locked"));
            TempDir tmp;
            writeExampleWorkDir(tmp.path(), overrides);
            const sim::SimulateResult done = sim::simulate(tmp.path().string(), playing(players, 4));
            ASSERT_EQ(done.sessions.size(), 4u);
            EXPECT_EQ(done.sessions[0].participant, "SIM-0001");
            EXPECT_EQ(done.sessions[3].participant, "SIM-0004");

            const logs::VerifyResult result = verified(tmp.path() / "dataout");
            ASSERT_EQ(result.pairs.size(), 4u);
            EXPECT_FALSE(result.problems());
            int looks = 0, pickUps = 0;
            for (const logs::PairVerdict& v : result.pairs) {
                EXPECT_FALSE(v.faulty()) << v.pair.name.suffix << ": " << v.firstOfEachKind.front().what;
                EXPECT_TRUE(v.session.gameEnded);
                EXPECT_EQ(v.session.handsPlayed(), 14);
                ASSERT_TRUE(v.pair.record);
                EXPECT_TRUE(v.pair.record->simulated);
                EXPECT_EQ(v.pair.record->system.os, "simulated");
                EXPECT_EQ(v.session.participant.rfind("SIM-", 0), 0u);
                for (const logs::Hand& h : v.session.hands) {
                    looks += h.ckLooks + h.nkLooks;
                    pickUps += h.ckPickUps + h.nkPickUps;
                    // A pick-up before each drag, and every swap is a drag.
                    EXPECT_EQ(h.ckPickUps + h.nkPickUps, h.ckSwaps + h.nkSwaps);
                }
            }
            // Looks only where the hand cards lie face down.
            EXPECT_EQ(looks > 0, !overrides.empty()) << looks;

            // Played again on the engine from its logs, each session shows
            // every record where the rules give it, to the game's end.
            for (const logs::PairVerdict& v : result.pairs) {
                const replay::SessionLogs sessionLogs{
                    fs::path(v.pair.ckPath).filename().string(), fs::path(v.pair.nkPath).filename().string(),
                    readFile(v.pair.ckPath), readFile(v.pair.nkPath), tmp.path().string()};
                std::string error;
                const auto replayed = replay::SessionReplay::open(
                    sessionLogs, {v.pair.record->system.screenWidth, v.pair.record->system.screenHeight}, error);
                ASSERT_TRUE(replayed) << error;
                replayed->playTo(replayed->durationMs() + 60000);
                EXPECT_TRUE(replayed->game().terminated()) << v.pair.name.suffix;
                for (const replay::Problem& p : replayed->problems())
                    ADD_FAILURE() << v.pair.name.suffix << ": " << p.what;
            }
            if (players != "greedy") {
                EXPECT_GT(pickUps, 0);
            }
        }
    }
}

TEST(Simulate, OptimalPlayersReachEveryReachableGoalInTheFewestActionsAndRandomOnesNeverInFewer) {
    for (const auto& overrides : {std::vector<std::pair<std::string, std::string>>{}, kFaceDownMix}) {
        TempDir optimal, random;
        writeExampleWorkDir(optimal.path(), overrides);
        writeExampleWorkDir(random.path(), overrides);
        sim::simulate(optimal.path().string(), playing("optimal", 2));
        sim::simulate(random.path().string(), playing("random", 30, 9));

        int reachable = 0;
        for (const logs::PairVerdict& v : verified(optimal.path() / "dataout").pairs)
            for (const logs::Hand& h : v.session.hands) {
                if (!h.fewest) continue;
                ++reachable;
                EXPECT_TRUE(h.endedOnGoal()) << v.pair.name.suffix << " hand " << h.number;
                EXPECT_EQ(h.efficiency(), std::optional<double>(1.0)) << v.pair.name.suffix << " hand " << h.number;
            }
        EXPECT_GT(reachable, 0);

        int reached = 0;
        for (const logs::PairVerdict& v : verified(random.path() / "dataout").pairs)
            for (const logs::Hand& h : v.session.hands) {
                if (!h.endedOnGoal()) continue;
                ASSERT_TRUE(h.fewest) << v.pair.name.suffix << " hand " << h.number << " reached an unreachable goal";
                EXPECT_GE(h.actionsTaken(), *h.fewest) << v.pair.name.suffix << " hand " << h.number;
                ++reached;
            }
        EXPECT_GT(reached, 0);
    }
}

TEST(Simulate, TheSameSeedGivesTheSameBytesAnotherSeedOthersAndALaterRunGoesOn) {
    TempDir tmp;
    writeExampleWorkDir(tmp.path(), kFaceDownMix);
    const fs::path dataout = tmp.path() / "dataout";
    const auto run = [&](uint64_t seed) {
        fs::remove_all(dataout);
        fs::create_directories(dataout);
        sim::simulate(tmp.path().string(), playing("noisy:0.7", 3, seed));
        return filesOf(dataout);
    };
    const std::map<std::string, std::string> first = run(5);
    EXPECT_EQ(first.size(), 3u * 3u + 7u);  // two logs and a run record each, and one saved setup
    EXPECT_EQ(run(5), first);
    const std::map<std::string, std::string> other = run(6);
    EXPECT_NE(other, first);

    // A second run in the same dataout numbers on and starts after the
    // last simulated session ended.
    sim::simulate(tmp.path().string(), playing("random", 2, 6));
    const logs::LogFolder folder = logs::findLogs(dataout.string());
    ASSERT_EQ(folder.pairs.size(), 5u);
    std::map<std::string, const RunRecord*> byCode;
    for (const logs::LogPair& p : folder.pairs) {
        EXPECT_EQ(p.record->participant.substr(8), "   ");  // as the login window gives it
        byCode[p.record->participant.substr(0, 8)] = p.record.get();
    }
    ASSERT_EQ(byCode.size(), 5u);
    EXPECT_EQ(byCode.rbegin()->first, "SIM-0005");
    ASSERT_TRUE(byCode["SIM-0003"]->end);
    EXPECT_GT(byCode["SIM-0004"]->started, byCode["SIM-0003"]->end->time);
    EXPECT_EQ(byCode["SIM-0001"]->started, "2000-01-01T09:00:00.000");
}

TEST(Simulate, SessionsCsvAndReportMarkSimulatedSessionsAndLeaveThemOutOnRequest) {
    TempDir tmp;
    writeExampleWorkDir(tmp.path());
    const fs::path dataout = tmp.path() / "dataout";
    copyMixGame(dataout);  // a participant's session, without a run record
    sim::simulate(tmp.path().string(), playing("greedy", 2));
    const std::string events = (tmp.path() / "events.csv").string(), hands = (tmp.path() / "hands.csv").string();
    const std::string report = (tmp.path() / "report.html").string();

    const ProcessResult all = runTool({"sessions", dataout.string()});
    EXPECT_EQ(all.exitCode, 0) << all.output;
    EXPECT_NE(all.output.find("SIM-0002"), std::string::npos) << all.output;
    EXPECT_NE(all.output.find("game ended, simulated"), std::string::npos) << all.output;
    const ProcessResult real = runTool({"sessions", "--no-simulated", dataout.string()});
    EXPECT_EQ(real.exitCode, 0) << real.output;
    EXPECT_EQ(real.output.find("SIM-"), std::string::npos) << real.output;
    EXPECT_NE(real.output.find("071226_1"), std::string::npos) << real.output;
    EXPECT_NE(real.output.find("2 simulated sessions left out"), std::string::npos) << real.output;

    ASSERT_EQ(runTool({"csv", dataout.string(), "-o", events, "--hands", hands}).exitCode, 0);
    std::string header;
    const std::map<std::string, std::string> simulatedOf = lastColumnByParticipant(hands, header);
    EXPECT_EQ(header.substr(header.rfind(',') + 1), "simulated\r");
    ASSERT_EQ(simulatedOf.size(), 3u);
    EXPECT_EQ(simulatedOf.at("SIM-0001"), "true");
    EXPECT_EQ(simulatedOf.at("SIM-0002"), "true");
    for (const auto& [code, value] : simulatedOf) {
        if (code.rfind("SIM-", 0) != 0) {
            EXPECT_EQ(value, "") << code;  // the participant's session has no run record
        }
    }
    ASSERT_EQ(runTool({"csv", dataout.string(), "-o", events, "--hands", hands, "--force", "--no-simulated"}).exitCode,
              0);
    EXPECT_EQ(readFile(events).find("SIM-"), std::string::npos);
    EXPECT_EQ(readFile(hands).find("SIM-"), std::string::npos);
    EXPECT_NE(readFile(hands).find("071226_1"), std::string::npos);

    ASSERT_EQ(runTool({"report", dataout.string(), "-o", report}).exitCode, 0);
    EXPECT_NE(readFile(report).find("SIM-0001"), std::string::npos);
    EXPECT_NE(readFile(report).find("simulated"), std::string::npos);
    ASSERT_EQ(runTool({"report", dataout.string(), "-o", report, "--force", "--no-simulated"}).exitCode, 0);
    EXPECT_EQ(readFile(report).find("SIM-"), std::string::npos);

    // Nothing but simulated sessions: nothing left to list.
    fs::remove(dataout / "ck071226_1.txt");
    fs::remove(dataout / "nk071226_1.txt");
    const ProcessResult none = runTool({"sessions", "--no-simulated", dataout.string()});
    EXPECT_EQ(none.exitCode, kExitCouldNotRun);
    EXPECT_NE(none.output.find("every session found is simulated"), std::string::npos) << none.output;
}

TEST(Simulate, EveryBadInputIsToldAndNothingIsWritten) {
    TempDir tmp;
    const fs::path good = tmp.path() / "good", noDataout = tmp.path() / "nodataout", noSetup = tmp.path() / "nosetup",
                   badSetup = tmp.path() / "bad";
    writeExampleWorkDir(good);
    writeExampleWorkDir(noDataout);
    fs::remove_all(noDataout / "dataout");
    fs::create_directories(noSetup / "dataout");
    writeExampleWorkDir(badSetup);
    writeFile(badSetup / "setup" / "shoe.txt", "header\r\n4H 2C 3C 4C 2H\r\n");
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const std::string g = good.string();
    const std::vector<Case> cases = {
        {{"--players", "clever", g}, "unknown player 'clever'"},
        {{"--players", "noisy:1.5", g}, "P between 0 and 1"},
        {{"--players", "noisy:", g}, "P between 0 and 1"},
        {{"--players", "noisy:0.5x", g}, "not '0.5x'"},
        {{"--players", "random", "--think", "3", g}, "needs two numbers"},
        {{"--players", "random", "--think", "0,1", g}, "the mean must be more than 0"},
        {{"--players", "random", "--think", "2,-1", g}, "cannot be negative"},
        {{"--players", "random", "--think", "a,1", g}, "'a' is not a number"},
        {{"--players", "random", "--sessions", "0", g}, "--sessions must be 1 or more"},
        {{"--players", "random", (tmp.path() / "nowhere").string()}, "no such folder"},
        {{"--players", "random", noSetup.string()}, "has no setup folder"},
        {{"--players", "random", noDataout.string()}, "has no dataout folder"},
        {{"--players", "random", badSetup.string()}, "qbxtool check"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"simulate"};
        if (std::find(c.args.begin(), c.args.end(), "--sessions") == c.args.end())
            args.insert(args.end(), {"--sessions", "2"});
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.says);
        const ProcessResult run = runTool(args);
        EXPECT_EQ(run.exitCode, kExitCouldNotRun) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    }
    EXPECT_TRUE(fs::is_empty(good / "dataout"));
    EXPECT_TRUE(fs::is_empty(badSetup / "dataout"));

    const ProcessResult ok = runTool({"simulate", "--sessions", "2", "--players", "optimal", "--think", "2.5,1", g});
    EXPECT_EQ(ok.exitCode, kExitOk) << ok.output;
    EXPECT_NE(ok.output.find("2 simulated sessions written"), std::string::npos) << ok.output;
    EXPECT_NE(ok.output.find("SIM-0001 to SIM-0002"), std::string::npos) << ok.output;
}

namespace killed {

// The example setup with a shoe of two hands: a run of two sessions is short
// enough to be stopped at each of its steps.
void writeShortWorkDir(const fs::path& dir) {
    writeExampleWorkDir(dir);
    std::istringstream shoe(readFile(dir / "setup" / "shoe.txt"));
    std::string kept, line;
    for (int i = 0; i < 3 && std::getline(shoe, line); ++i) kept += line + "\n";
    writeFile(dir / "setup" / "shoe.txt", kept);
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return status;
}

}  // namespace killed

TEST(SimulateKilled, StoppedAtAnyStepNoSessionOfItReadsAsAParticipants) {
    TempDir tmp;
    killed::writeShortWorkDir(tmp.path());
    const fs::path dataout = tmp.path() / "dataout";
    sim::SimulateOptions options = playing("random", 2, 3);
    long steps = 0;
    options.atStep = [&] { ++steps; };
    sim::simulate(tmp.path().string(), options);
    ASSERT_EQ(logs::findLogs(dataout.string()).pairs.size(), 2u);
    ASSERT_GT(steps, 10);

    for (long stop = 1; stop <= steps; ++stop) {
        fs::remove_all(dataout);
        fs::create_directories(dataout);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            long at = 0;
            options.atStep = [&] {
                if (++at == stop) ::raise(SIGKILL);
            };
            try {
                sim::simulate(tmp.path().string(), options);
            } catch (...) {}
            ::_exit(0);
        }
        const int status = killed::waitFor(pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "step " << stop;
        logs::LogFolder folder = logs::findLogs(dataout.string());
        for (const logs::LogPair& pair : folder.pairs)
            EXPECT_TRUE(logs::isSimulated(pair)) << "step " << stop << ": " << pair.name.suffix;
        // What sessions --no-simulated lists.
        logs::leaveOutSimulated(folder);
        EXPECT_TRUE(folder.pairs.empty()) << "step " << stop;
    }
}

}  // namespace
}  // namespace qbx::tool
