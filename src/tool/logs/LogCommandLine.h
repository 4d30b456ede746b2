#pragma once
// What the log commands (verify, csv, report) share on their command line.

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>

#include "tool/Tool.h"
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

// Said last by csv and report, when some sessions have faults.
inline void tellSessionsWithFaults(int sessions) {
    if (sessions)
        std::cerr << counted(sessions, "session has", "sessions have") << " faults: qbxtool verify names them\n";
}

}  // namespace qbx::tool::logs
