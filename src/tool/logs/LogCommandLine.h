#pragma once
// What the log commands (verify, csv, report) share on their command line.

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "tool/Tool.h"
#include "tool/logs/LogFolder.h"
#include "tool/setup/GameSetup.h"
#include "tool/setup/SolverTable.h"

namespace qbx::tool::logs {

// --setup DIR: the working directory the sessions were played with.
inline void addSetupOption(CLI::App* command, std::string& dir) {
    command->add_option("--setup", dir, "the working directory (or its setup folder) the sessions were played with");
}

// The setup --setup names, read (CouldNotRun when it cannot be); none when
// the option was not given.
inline std::optional<GameSetup> setupFromOption(const std::string& dir) {
    if (dir.empty()) return std::nullopt;
    GameSetup setup = readSetupAndShoe(dir);
    setup.fewest = fewestActionsFor(setup.rules);
    return setup;
}

// --force: csv and report replace an existing output.
inline void addForceOption(CLI::App* command, bool& force) {
    command->add_flag("--force", force, "replace an output file that exists (never an input or a log)");
}

// What csv and report read: the logs and folders given, and the setup's
// parameter file and shoe.
inline CommandInputs inputsOf(const std::vector<std::string>& paths, const std::optional<GameSetup>& setup) {
    CommandInputs inputs = CommandInputs::of(paths);
    if (setup) {
        inputs.files.push_back(setup->location.parameterFile().string());
        inputs.files.push_back(setup->shoePath);
    }
    return inputs;
}

// --no-simulated: sessions, csv and report leave out what qbxtool simulate played.
inline void addNoSimulatedOption(CLI::App* command, bool& noSimulated) {
    command->add_flag("--no-simulated", noSimulated,
                      "leave out the sessions played by qbxtool simulate (their run records say \"simulated\")");
}

// Leaves the simulated sessions out when asked, and says how many; throws
// CouldNotRun when no session is left.
inline void leaveOutSimulatedIfAsked(bool asked, LogFolder& folder, std::ostream& messages) {
    if (!asked) return;
    const int left = leaveOutSimulated(folder);
    if (left) messages << counted(left, "simulated session", "simulated sessions") << " left out (--no-simulated)\n";
    if (folder.pairs.empty())
        throw CouldNotRun(left ? "every session found is simulated: --no-simulated leaves none" : "no sessions found");
}

// Said last by csv and report, when some sessions have faults.
inline void tellSessionsWithFaults(int sessions) {
    if (sessions)
        std::cerr << counted(sessions, "session has", "sessions have") << " faults: qbxtool verify names them\n";
}

}  // namespace qbx::tool::logs
