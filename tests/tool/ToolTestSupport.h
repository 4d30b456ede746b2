#pragma once
// Helpers for the qbxtool tests: a private folder, whole-file reads and the
// built program run as a process with its output and exit code.

#include <filesystem>
#include <string>
#include <vector>

namespace qbx::tool {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

struct ProcessResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

// Runs the built qbxtool with these arguments, in `workingDir` when given;
// stopped after `timeoutSeconds` when that is above 0 (exit code 124).
ProcessResult runTool(const std::vector<std::string>& args, const std::filesystem::path& workingDir = {},
                      int timeoutSeconds = 0);

}  // namespace qbx::tool
