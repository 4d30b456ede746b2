#pragma once
// A setup as the tool finds and reads it: the working directory that holds
// setup/ and dataout/, the parameter values, the rules they give the table
// (by the game's own conversion, core/rules), and the hands of its shoe.
// check, solve, shoe and the log commands all read a setup through here.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/config/ConfigFiles.h"
#include "core/config/Shoe.h"
#include "core/rules/Rules.h"

namespace qbx::tool {

struct SetupLocation {
    std::filesystem::path workDir;   // where the game would be started
    std::filesystem::path setupDir;  // workDir / "setup"
    std::filesystem::path parameterFile() const { return setupDir / "QBXParameter.ini"; }
    // A path the game names relative to its working directory ("setup/shoe.txt").
    std::filesystem::path inWorkDir(const std::string& gamePath) const { return workDir / gamePath; }
};

// DIR is the working directory (holding setup/); a setup folder itself
// (holding QBXParameter.ini) is taken too. Throws CouldNotRun when DIR is
// neither.
SetupLocation locateSetup(const std::string& dir);

// The fewest swaps and passes that bring a deal's goal card to the Target
// under a setup's rules; nullopt when it cannot be reached.
using FewestActions = std::function<std::optional<int>(const rules::Deal&)>;

struct GameSetup {
    SetupLocation location;
    ParameterValues parameters;
    rules::TableRules rules;
    std::string shoePath;         // the shoe file, as the tool reaches it
    std::vector<ShoeHand> hands;  // in the order they are dealt; read by readSetupAndShoe
    FewestActions fewest;         // when a solver was made for these rules (empty otherwise)
};

// The parameter file, read and converted as the game start does. Throws
// CouldNotRun naming the file (and the key) when the game would not start
// on it.
GameSetup readSetup(const SetupLocation& location);
// readSetup of the setup DIR names (see locateSetup), and the hands of the
// shoe file it names; throws CouldNotRun when the shoe cannot be read or
// has a faulty line.
GameSetup readSetupAndShoe(const std::string& dir);

}  // namespace qbx::tool
