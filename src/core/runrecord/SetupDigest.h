#pragma once
// The setup of a session as the run record names it: every file of setup/
// with its size, SHA-256 and use, the hash of the whole setup (the SHA-256
// of the lines `sha256sum` prints for the files, sorted by path), and the
// copy kept once per distinct setup in dataout/setups/<hash>/setup/.

#include <string>
#include <vector>

#include "core/config/ConfigFiles.h"
#include "core/runrecord/RunRecord.h"

namespace qbx {

struct SetupDigest {
    std::vector<SetupFile> files;       // sorted by path, byte by byte
    std::vector<std::string> contents;  // each file's bytes, as hashed
    std::string hash;
};

// What the game reads a setup file for: "parameters", "messages", "shoe",
// "card back", "texture", "help page" or "other".
std::string setupFileUse(const std::string& path, const ParameterValues& parameters);
// The hash of a whole setup from its files' hashes and paths.
std::string setupHash(const std::vector<SetupFile>& files);
// Reads every file below <workDir>/setup; the paths are named relative to
// `workDir` ("setup/shoe.txt"). False with `error` when a file cannot be
// read.
bool digestSetup(const std::string& workDir, const ParameterValues& parameters, SetupDigest& digest,
                 std::string& error);
// Copies the setup into <workDir>/dataout/setups/<hash>/setup/ unless that
// folder exists, and never into a dataout that is gone. The copy is made
// under a temporary name in setups/ and renamed into place, so a folder
// named after a hash always holds the whole setup. It is not made when it
// would leave the disk with less than `spare` bytes: the logs come first.
bool saveSetup(const SetupDigest& digest, const std::string& workDir, std::string& error, long long spare = 64LL << 20);

}  // namespace qbx
