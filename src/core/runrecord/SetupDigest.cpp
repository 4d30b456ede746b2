#include "core/runrecord/SetupDigest.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>

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

namespace {

// Files are read and copied in pieces of this size, one buffer per call.
constexpr size_t kPiece = size_t{256} * 1024;

bool cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

std::string mebibytes(long long bytes) { return std::to_string(bytes >> 20) + " MiB"; }

// What a name that is not a regular file is, as the record says it.
std::string kindPhrase(sys::EntryKind kind) {
    switch (kind) {
    case sys::EntryKind::Missing: return "gone";
    case sys::EntryKind::File: return "a file";
    case sys::EntryKind::Directory: return "a folder";
    case sys::EntryKind::Link: return "a link";
    case sys::EntryKind::Pipe: return "a named pipe";
    case sys::EntryKind::Device: return "a device";
    case sys::EntryKind::Socket: return "a socket";
    case sys::EntryKind::Other: break;
    }
    return "not a regular file";
}

// A regular file found below setup/: by its name there, where it is read
// (a link's target), and what it was when found.
struct Found {
    std::string path, source;
    sys::Entry entry;
};

// Walks setup/ without following any link to a folder, so that no loop and
// no place outside it is ever entered.
class SetupWalk {
public:
    SetupWalk(const std::string& workDir, const SetupLimits& limits, const std::atomic<bool>* cancel)
        : workDir_(workDir), limits_(limits), cancel_(cancel) {
        const std::string real = sys::resolvedPath(workDir + "/setup");
        inside_ = real.empty() ? std::string() : real + "/";
    }

    bool walk(const std::string& folder, SetupDigest& digest, std::vector<Found>& found, std::string& error) {
        std::vector<std::string> names;
        if (!sys::listFolder(workDir_ + "/" + folder, names, error)) {
            if (folder == "setup") return false;
            digest.notCopied.push_back({folder, "cannot be read: " + error});
            return true;
        }
        for (const std::string& name : names) {
            if (cancelled(cancel_)) {
                error = "the program ended before it was read";
                return false;
            }
            if (++entries_ > limits_.entries) {
                error = "it holds more than " + std::to_string(limits_.entries) + " files, folders and links";
                return false;
            }
            const std::string path = folder + "/" + name;
            const std::string full = workDir_ + "/" + path;
            const sys::Entry entry = sys::entryAt(full);
            switch (entry.kind) {
            case sys::EntryKind::Directory:
                digest.folders.emplace_back(path, entry.mode);
                if (!walk(path, digest, found, error)) return false;
                break;
            case sys::EntryKind::File: found.push_back({path, full, entry}); break;
            case sys::EntryKind::Link: link(path, full, digest, found); break;
            default: digest.notCopied.push_back({path, kindPhrase(entry.kind)}); break;
            }
        }
        return true;
    }

private:
    // A link is followed only to a regular file inside setup/: that file is
    // part of the setup under the link's name.
    void link(const std::string& path, const std::string& full, SetupDigest& digest, std::vector<Found>& found) {
        const sys::Entry target = sys::entryThrough(full);
        if (target.kind == sys::EntryKind::Link) {
            digest.notCopied.push_back({path, "a link, not followed on this system"});
            return;
        }
        const std::string real = sys::resolvedPath(full);
        if (target.kind == sys::EntryKind::Missing || real.empty()) {
            digest.notCopied.push_back({path, "a link to nothing"});
        } else if (inside_.empty() || real.compare(0, inside_.size(), inside_) != 0) {
            digest.notCopied.push_back({path, "a link to outside setup/"});
        } else if (target.kind != sys::EntryKind::File) {
            digest.notCopied.push_back({path, "a link to " + kindPhrase(target.kind)});
        } else {
            found.push_back({path, real, target});
        }
    }

    const std::string workDir_;
    const SetupLimits limits_;
    const std::atomic<bool>* cancel_;
    std::string inside_;  // setup/'s real path and a slash
    int entries_ = 0;
};

// Opens the file a digest found, and only that one: a name that now names
// another file (replaced meanwhile) is refused.
bool openFound(sys::ReadOnlyFile& file, const std::string& source, std::uint64_t device, std::uint64_t inode,
               std::string& error) {
    if (!file.openRegular(source, error)) return false;
    if (inode != 0 && (file.inode() != inode || file.device() != device)) {
        error = "replaced while it was read";
        file.close();
        return false;
    }
    return true;
}

// Reads the open file to its end in pieces, each handed to `use`.
bool readPieces(sys::ReadOnlyFile& file, std::vector<char>& buffer, const std::atomic<bool>* cancel,
                const std::function<bool(const char*, size_t)>& use, std::string& error) {
    for (;;) {
        if (cancelled(cancel)) {
            error = "the program ended before it was done";
            return false;
        }
        const long long got = file.read(buffer.data(), buffer.size(), error);
        if (got < 0) return false;
        if (got == 0) return true;
        if (!use(buffer.data(), static_cast<size_t>(got))) return false;
    }
}

}  // namespace

bool digestSetup(const std::string& workDir, const ParameterValues& parameters, SetupDigest& digest, std::string& error,
                 const SetupLimits& limits, const std::atomic<bool>* cancel) {
    digest = {};
    const sys::Entry setup = sys::entryThrough(workDir + "/setup");
    if (setup.kind != sys::EntryKind::Directory) {
        error = "setup: " + (setup.kind == sys::EntryKind::Missing ? std::string("No such file or directory")
                                                                   : "is " + kindPhrase(setup.kind));
        return false;
    }
    digest.folders.emplace_back("setup", setup.mode);
    std::vector<Found> found;
    if (!SetupWalk(workDir, limits, cancel).walk("setup", digest, found, error)) {
        error = "setup: " + error;
        return false;
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.path < b.path; });
    std::vector<char> buffer(kPiece);
    long long copied = 0;
    for (const Found& f : found) {
        sys::ReadOnlyFile file;
        std::string why;
        Sha256 sha;
        long long bytes = 0;
        if (!openFound(file, f.source, f.entry.device, f.entry.inode, why) || !readPieces(
                                                                                  file, buffer, cancel,
                                                                                  [&](const char* data, size_t size) {
                                                                                      sha.update(data, size);
                                                                                      bytes +=
                                                                                          static_cast<long long>(size);
                                                                                      return true;
                                                                                  },
                                                                                  why)) {
            if (cancelled(cancel)) {
                error = f.path + ": " + why;
                return false;
            }
            digest.notCopied.push_back({f.path, "cannot be read: " + why});
            continue;
        }
        digest.files.push_back({f.path, bytes, sha.hexDigest(), setupFileUse(f.path, parameters)});
        digest.sources.push_back({f.source, f.entry.mode, file.device(), file.inode()});
        if (bytes > limits.fileBytes)
            digest.notCopied.push_back(
                {f.path, "larger than " + mebibytes(limits.fileBytes) + ", the most a file may have in the copy"});
        else if (copied + bytes > limits.totalBytes)
            digest.notCopied.push_back({f.path, "the copy holds at most " + mebibytes(limits.totalBytes) + " in all"});
        else
            copied += bytes;
    }
    std::sort(digest.notCopied.begin(), digest.notCopied.end(),
              [](const SetupLeftOut& a, const SetupLeftOut& b) { return a.path < b.path; });
    digest.hash = setupHash(digest.files);
    return true;
}

namespace {

// Copies one file in pieces into a new file of the same permission bits,
// checking that the bytes are those the digest hashed.
bool copyFile(const SetupDigest::Source& from, const SetupFile& file, const std::string& to, std::vector<char>& buffer,
              const std::atomic<bool>* cancel, std::string& error) {
    sys::ReadOnlyFile in;
    if (!openFound(in, from.path, from.device, from.inode, error)) return false;
    bool exists = false;
    std::FILE* out = sys::createNewFile(to, exists, error, from.mode & 0777);
    if (!out) return false;
    Sha256 sha;
    bool ok = readPieces(
        in, buffer, cancel,
        [&](const char* data, size_t size) {
            sha.update(data, size);
            if (std::fwrite(data, 1, size, out) == size) return true;
            error = "the data could not be written";
            return false;
        },
        error);
    if (ok && sha.hexDigest() != file.sha256) {
        error = "changed while it was copied";
        ok = false;
    }
    if (ok) ok = sys::flushToDisk(out, error);
    if (std::fclose(out) != 0 && ok) {
        error = "the file could not be closed";
        ok = false;
    }
    return ok;
}

}  // namespace

bool saveSetup(const SetupDigest& digest, const std::string& workDir, std::string& error, long long spare,
               const std::atomic<bool>* cancel, const std::function<long long(const std::string&)>& freeSpace) {
    const std::string dataout = workDir + "/dataout";
    const std::string setupsDir = dataout + "/setups";
    const std::string target = setupsDir + "/" + digest.hash;
    // Nothing is written through a link, nor beside something that is no
    // folder: each name is looked at itself, never what it points to.
    if (sys::entryThrough(dataout).kind != sys::EntryKind::Directory) {
        error = "dataout is gone or is no folder";
        return false;
    }
    const sys::EntryKind setups = sys::entryAt(setupsDir).kind;
    if (setups != sys::EntryKind::Directory && setups != sys::EntryKind::Missing) {
        error = "dataout/setups is " + kindPhrase(setups) + ", not a folder: nothing is saved there";
        return false;
    }
    const sys::EntryKind existing = sys::entryAt(target).kind;
    if (existing == sys::EntryKind::Directory) return true;
    if (existing != sys::EntryKind::Missing) {
        error =
            "dataout/setups/" + digest.hash + " is " + kindPhrase(existing) + ", not a folder: nothing is saved there";
        return false;
    }
    std::vector<bool> copies(digest.files.size(), true);
    long long size = 4096;
    for (size_t i = 0; i < digest.files.size(); ++i) {
        for (const SetupLeftOut& left : digest.notCopied)
            if (left.path == digest.files[i].path) copies[i] = false;
        if (copies[i]) size += digest.files[i].bytes + 4096;
    }
    const long long free = freeSpace ? freeSpace(dataout) : sys::freeSpace(dataout);
    if (free >= 0 && free - size < spare) {
        error = "the disk of dataout has " + std::to_string(free / 1024) + " KiB free, kept for the logs";
        return false;
    }
    if (setups == sys::EntryKind::Missing && !sys::makeDirectory(setupsDir, error)) {
        error = "dataout/setups: " + error;
        return false;
    }
    if (sys::entryAt(setupsDir).kind != sys::EntryKind::Directory) {
        error = "dataout/setups is not a folder: nothing is saved there";
        return false;
    }
    // Each session its own temporary folder, made new: two sessions copying
    // the same setup at once do not mix their files.
    static std::atomic<unsigned> copiesMade{0};
    const std::string temp = setupsDir + "/.partial-" + digest.hash.substr(0, 12) + "-" +
                             std::to_string(sys::processId()) + "-" + std::to_string(copiesMade++);
    sys::removeTree(temp);
    const auto fail = [&](const std::string& what) {
        error = what + ": " + error;
        sys::removeTree(temp);
        return false;
    };
    if (!sys::makeOwnDirectory(temp, error)) return fail("dataout/setups");
    // Every folder of the copy is made new by this copy (so none is a link).
    for (const auto& [folder, mode] : digest.folders)
        if (!sys::makeOwnDirectory(temp + "/" + folder, error)) return fail(folder);
    std::vector<char> buffer(kPiece);
    for (size_t i = 0; i < digest.files.size(); ++i) {
        if (!copies[i]) continue;
        const SetupFile& file = digest.files[i];
        if (!copyFile(digest.sources[i], file, temp + "/" + file.path, buffer, cancel, error)) return fail(file.path);
    }
    // The folders as open as the setup's own, and always the owner's.
    for (const auto& [folder, mode] : digest.folders) sys::setMode(temp + "/" + folder, (mode & 0777) | 0700);
    if (!digest.folders.empty()) sys::setMode(temp, (digest.folders.front().second & 0777) | 0700);
    bool taken = false;
    if (sys::renameDirectory(temp, target, taken, error)) return true;
    sys::removeTree(temp);
    // Another session saved the same setup meanwhile: its copy is as good,
    // when it is a folder.
    if (taken && sys::entryAt(target).kind == sys::EntryKind::Directory) return true;
    error = "dataout/setups/" + digest.hash + ": " + error;
    return false;
}

}  // namespace qbx
