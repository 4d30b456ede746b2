#pragma once
// `qbxtool simulate`: whole sessions of a working directory's setup played
// by simulated participants on the game itself (core/game on the core's
// SimulatedDesktop: no window, a clock that moves only when told), so that
// their logs and run records are written by the game's own code, byte for
// byte as the program writes them.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "tool/sim/Players.h"

namespace qbx::tool::sim {

// Thinking times, in seconds: drawn from a normal distribution, and never
// shorter than kShortestThink.
struct ThinkTime {
    double mean = 4.0;
    double sd = 2.0;
};
inline constexpr double kShortestThink = 0.3;

// "MEAN,SD" in seconds, MEAN > 0 and SD >= 0. Throws CouldNotRun.
ThinkTime parseThink(const std::string& text);

struct SimulateOptions {
    int sessions = 1;
    PlayerChoice players;
    ThinkTime think;
    uint64_t seed = 1;
    // Tests: called at each step after which the files of dataout change
    // (a session's name claimed, its logs made before their first run record,
    // each call into the game that wrote records), to stop the run there.
    std::function<void()> atStep;
};

struct SimulatedSession {
    std::string participant;  // "SIM-0001"
    std::string session;      // "010100_4711"
    int hands = 0;
};

struct SimulateResult {
    std::vector<SimulatedSession> sessions;
};

// The first simulated day: sessions start at 09:00:00.000 on 1 January 2000
// (a date no participant's session bears), one after the other; a session
// that would start after 20:00 starts at 09:00 the next day. A later run in
// the same dataout goes on a minute after the last simulated session there
// ended, with the participant codes numbered on from the highest there.
inline constexpr int kFirstYear = 2000, kFirstMonth = 1, kFirstDay = 1;

// Plays the sessions in the working directory `dir` (holding setup/ and
// dataout/). Each session's run record, marked simulated, is written before
// its logs are made, so that however the run ends no session of it is ever
// taken for a participant's. The setup must pass `qbxtool check`. The current directory is
// `dir` while the games run, and is restored. Progress goes to `progress`
// (when standard error is a terminal). Throws CouldNotRun for a bad option,
// a setup that cannot be played, or a session that stopped.
SimulateResult simulate(const std::string& dir, const SimulateOptions& options);

// The summary the command prints: how many sessions, where, their names.
std::string summaryText(const std::string& dir, const SimulateOptions& options, const SimulateResult& result);

}  // namespace qbx::tool::sim
