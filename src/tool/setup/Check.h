#pragma once
// `qbxtool check`: everything wrong with a working directory before a
// participant sits down, all at once, each finding with its file and line.
// The files are read with the game's own readers, so a finding is what the
// game would do.

#include <string>
#include <vector>

#include "core/json/Json.h"

namespace qbx::tool {

struct Finding {
    enum class Level { Error, Warning };
    Level level = Level::Error;
    std::string file;  // as the game names it, e.g. "setup/shoe.txt"; empty for the directory
    int line = 0;      // from 1; 0 when the finding is about the whole file
    std::string message;
};

struct CheckReport {
    std::string workDir;
    std::vector<Finding> findings;
    int count(Finding::Level level) const;
};

// Checks the working directory DIR (holding setup/ and dataout/). Throws
// CouldNotRun when DIR is not a directory.
CheckReport checkWorkDir(const std::string& dir);

// "setup/shoe.txt:5: error: line 5 has 15 significant characters instead of 16",
// then a count of errors and warnings.
std::string checkText(const CheckReport& report);
json::Value checkJson(const CheckReport& report);

}  // namespace qbx::tool
