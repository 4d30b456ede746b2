#pragma once
// qbxtool init: the parts of the command that the tests call directly.

#include <filesystem>
#include <ostream>
#include <string>

namespace qbx::tool {

// The desktop entry that starts `program` with `workDir` as its working
// directory.
std::string launcherText(const std::filesystem::path& workDir, const std::string& program);

// Makes DIR/setup (a copy of `exampleSetup`), DIR/dataout and
// DIR/qbxsolo.desktop. Returns kExitProblems, changing nothing, when DIR
// already holds a setup or a launcher; throws CouldNotRun when it cannot work.
int initWorkDir(const std::filesystem::path& dir, const std::filesystem::path& exampleSetup, const std::string& program,
                std::ostream& out, std::ostream& err);

}  // namespace qbx::tool
