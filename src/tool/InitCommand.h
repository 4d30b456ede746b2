#pragma once
// qbxtool init: the parts of the command that the tests call directly.

#include <filesystem>
#include <ostream>
#include <string>

namespace qbx::tool {

// The launcher that starts `program` with `workDir` as its working
// directory: a desktop entry on Linux, a command script (cmdLauncherText) on
// Windows.
std::string launcherText(const std::filesystem::path& workDir, const std::string& program);
// A Windows command script (CR LF lines) that starts `program` in `workDir`
// and closes its console at once. A `codePage` other than 0 is set first, so
// that names outside ASCII, written in that code page, are read back as such.
std::string cmdLauncherText(const std::filesystem::path& workDir, const std::string& program, unsigned codePage);

// The pieces of a working directory that init and resume make alike.
// DIR as an absolute path naming the directory itself ("." and "pilot/"
// included); throws CouldNotRun when it cannot be made absolute.
std::filesystem::path absoluteWorkDir(const std::filesystem::path& requested);
// Copies a setup folder under a temporary name beside `to` and renames it,
// so that `to` never holds half a setup; throws CouldNotRun.
void copySetupFolder(const std::filesystem::path& from, const std::filesystem::path& to);
// Writes `file`, the launcher (launcherText) of `workDir`, marked executable;
// throws CouldNotRun. The file may lie elsewhere than `workDir` while the
// directory is being made.
void writeLauncher(const std::filesystem::path& file, const std::filesystem::path& workDir, const std::string& program);
// The launcher's name in a working directory.
#ifdef _WIN32
inline constexpr const char* kLauncherName = "qbxsolo.cmd";
#else
inline constexpr const char* kLauncherName = "qbxsolo.desktop";
#endif

// Makes DIR/setup (a copy of `exampleSetup`), DIR/dataout and
// DIR's launcher. Returns kExitProblems, changing nothing, when DIR
// already holds a setup or a launcher; throws CouldNotRun when it cannot work.
int initWorkDir(const std::filesystem::path& dir, const std::filesystem::path& exampleSetup, const std::string& program,
                std::ostream& out, std::ostream& err);

}  // namespace qbx::tool
