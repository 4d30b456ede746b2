#pragma once
// Where the files installed beside qbxtool are: found from the program's own
// place, so that an installed copy works under any prefix and a build that
// was never installed still finds the source tree's examples.

#include <filesystem>
#include <string>

namespace qbx::tool {

// The running program's own file; empty when the system does not say.
std::filesystem::path executablePath();

// The example setup directory: <bindir>/../share/qbxsolo/examples/setup for
// an installed qbxtool, else the source tree's examples/setup. Throws
// CouldNotRun when neither is there.
std::filesystem::path findExampleSetup();

// The qbxsolo program beside this qbxtool when there is one, else "qbxsolo"
// (found on PATH when the launcher runs).
std::string programToLaunch();

}  // namespace qbx::tool
