#include "core/runrecord/SetupDigest.h"

#include <algorithm>
#include <atomic>

#include "core/platform/System.h"
#include "core/runrecord/Sha256.h"

namespace qbx {

namespace {

// "setup/./a//b.ini" and "setup/a/b.ini" name one file.
std::string normalised(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : "/") + part;
    return out;
}

std::string underSetup(const std::string& name) { return normalised("setup/" + name); }

// A line of `sha256sum`: a name holding a backslash or a line feed is
// written with those escaped and the line marked with a leading backslash.
std::string sumLine(const SetupFile& file) {
    std::string name;
    bool escaped = false;
    for (const char c : file.path) {
        if (c == '\\' || c == '\n') {
            escaped = true;
            name += c == '\\' ? "\\\\" : "\\n";
        } else {
            name += c;
        }
    }
    return (escaped ? "\\" : "") + file.sha256 + "  " + name + "\n";
}

}  // namespace

std::string setupFileUse(const std::string& path, const ParameterValues& p) {
    const std::string file = normalised(path);
    if (file == normalised(kParameterFile)) return "parameters";
    if (!p.fileMessages.empty() && file == underSetup(p.fileMessages)) return "messages";
    if (file == normalised(p.shoeFilePath)) return "shoe";
    if (!p.fileBackCard.empty() && file == underSetup(p.fileBackCard)) return "card back";
    if (!p.fileTexture.empty() && p.fileTexture != "NO" && file == underSetup(p.fileTexture)) return "texture";
    if (file == "setup/help.html" || file == "setup/help2.html") return "help page";
    return "other";
}

std::string setupHash(const std::vector<SetupFile>& files) {
    Sha256 sha;
    for (const SetupFile& file : files) sha.update(sumLine(file));
    return sha.hexDigest();
}

bool digestSetup(const std::string& workDir, const ParameterValues& parameters, SetupDigest& digest,
                 std::string& error) {
    std::vector<std::string> paths;
    if (!sys::listFilesBelow(workDir + "/setup", paths, error)) {
        error = "setup: " + error;
        return false;
    }
    for (std::string& path : paths) path.erase(0, workDir.size() + 1);
    std::sort(paths.begin(), paths.end());
    digest = {};
    for (const std::string& path : paths) {
        std::string bytes;
        if (!sys::readWholeFile(workDir + "/" + path, bytes, error)) {
            error = path + ": " + error;
            return false;
        }
        digest.files.push_back(
            {path, static_cast<long long>(bytes.size()), sha256Hex(bytes), setupFileUse(path, parameters)});
        digest.contents.push_back(std::move(bytes));
    }
    digest.hash = setupHash(digest.files);
    return true;
}

bool saveSetup(const SetupDigest& digest, const std::string& workDir, std::string& error, long long spare) {
    const std::string setupsDir = workDir + "/dataout/setups";
    const std::string target = setupsDir + "/" + digest.hash;
    if (sys::isDirectory(target)) return true;
    long long size = 0;
    for (const SetupFile& f : digest.files) size += f.bytes + 4096;
    const long long free = sys::freeSpace(workDir + "/dataout");
    if (free >= 0 && free - size < spare) {
        error = "the disk of dataout has " + std::to_string(free / 1024) + " KiB free, kept for the logs";
        return false;
    }
    if (!sys::makeDirectory(setupsDir, error)) {
        error = "dataout/setups: " + error;
        return false;
    }
    // Each session its own temporary folder: two sessions copying the same
    // setup at once do not mix their files.
    static std::atomic<unsigned> copies{0};
    const std::string temp = setupsDir + "/.partial-" + digest.hash.substr(0, 12) + "-" +
                             std::to_string(sys::processId()) + "-" + std::to_string(copies++);
    sys::removeTree(temp);
    for (size_t i = 0; i < digest.files.size(); ++i) {
        const std::string& path = digest.files[i].path;
        const std::string copy = temp + "/" + path;
        if (!sys::makeDirectories(copy.substr(0, copy.rfind('/')), error) ||
            !sys::writeNewFile(copy, digest.contents[i], error)) {
            error = copy.substr(workDir.size() + 1) + ": " + error;
            sys::removeTree(temp);
            return false;
        }
    }
    if (digest.files.empty() && !sys::makeDirectories(temp, error)) return false;
    bool taken = false;
    if (sys::renameDirectory(temp, target, taken, error)) return true;
    sys::removeTree(temp);
    // Another session saved the same setup meanwhile: its copy is as good.
    return taken;
}

}  // namespace qbx
