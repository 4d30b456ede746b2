#pragma once
// A setup as the tool finds and reads it: the working directory that holds
// setup/ and dataout/, and the rules its parameter file gives a hand.

#include <filesystem>
#include <string>

#include "core/config/ConfigFiles.h"
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

struct SetupRules {
    ParameterValues params;
    rules::TableRules table;
    int32_t premiumRound = 0;
    int32_t costMove = 0;
};

// The rules of a hand from the parameter file, read and converted as the
// game start does. Throws CouldNotRun naming the file (and the key) when the
// game would not start on them.
SetupRules readSetupRules(const SetupLocation& setup);

}  // namespace qbx::tool
