#pragma once
// The setup of a session as the run record names it: every regular file of
// setup/ with its size, SHA-256 and use, the hash of the whole setup (the
// SHA-256 of the lines `sha256sum` prints for the files, sorted by path), and
// the copy kept once per distinct setup in dataout/setups/<hash>/setup/.
//
// Both read the experimenter's folder and write beside the logs, so both are
// bounded: files are read in pieces (never one whole in memory), only
// regular files inside setup/ are opened, the copy has a size limit and a
// reserve of free disk, it is never written through a link, and either
// stops between two pieces when asked to.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/config/ConfigFiles.h"
#include "core/runrecord/RunRecord.h"

namespace qbx {

// What the copy may take. Files beyond a limit are still read, hashed and
// listed, and marked as not copied.
struct SetupLimits {
    long long fileBytes = 32LL << 20;    // one file
    long long totalBytes = 128LL << 20;  // all files copied, in path order
    int entries = 4096;                  // files, folders and links in setup/; more and it is not read
};

struct SetupDigest {
    std::vector<SetupFile> files;  // the regular files read, sorted by path, byte by byte
    std::vector<SetupLeftOut> notCopied;
    std::string hash;
    // Where each file of `files` was read and what it was then (its mode,
    // and which file it was, so that the copy reads the same one).
    struct Source {
        std::string path;  // a link's target when it was followed
        unsigned mode = 0;
        std::uint64_t device = 0, inode = 0;
    };
    std::vector<Source> sources;
    // The folders of setup/ ("setup", "setup/pics") with their modes.
    std::vector<std::pair<std::string, unsigned>> folders;
};

// What the game reads a setup file for: "parameters", "messages", "shoe",
// "card back", "texture", "help page" or "other".
std::string setupFileUse(const std::string& path, const ParameterValues& parameters);
// The hash of a whole setup from its files' hashes and paths.
std::string setupHash(const std::vector<SetupFile>& files);
// Reads every file below <workDir>/setup; the paths are named relative to
// `workDir` ("setup/shoe.txt"). A link is followed only to a regular file
// inside setup/ (not on Windows, where no link is followed); links to
// anywhere else, to folders, named pipes, devices, sockets and files that
// cannot be read are listed in `notCopied` with why, and are no part of the
// hash. False with `error` when setup/ itself cannot be read, or when
// `cancel` was set.
bool digestSetup(const std::string& workDir, const ParameterValues& parameters, SetupDigest& digest, std::string& error,
                 const SetupLimits& limits = {}, const std::atomic<bool>* cancel = nullptr);
// Copies the setup into <workDir>/dataout/setups/<hash>/setup/ unless that
// folder exists, and never into a dataout that is gone, nor through a link
// (dataout/setups or the hash's name being a link, or anything but a folder,
// is an error). The copy is made under a temporary name in setups/ and
// renamed into place, so a folder named after a hash always holds the whole
// setup but the files its digest marks as not copied. Each file keeps its
// permission bits, narrowed by the umask. It is not made when it would leave
// the disk with less than `spare` bytes: the logs come first. `freeSpace`
// answers how much is free (-1: unknown).
bool saveSetup(const SetupDigest& digest, const std::string& workDir, std::string& error, long long spare = 64LL << 20,
               const std::atomic<bool>* cancel = nullptr,
               const std::function<long long(const std::string&)>& freeSpace = {});

}  // namespace qbx
