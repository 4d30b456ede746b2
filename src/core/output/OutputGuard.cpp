#include "core/output/OutputGuard.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/eventlog/LogFormat.h"
#include "core/eventlog/LogReader.h"
#include "core/platform/System.h"

namespace qbx::output {

namespace fs = std::filesystem;

namespace {

// A path as the system resolves it ("..", ".", symbolic links), for a file
// that need not exist yet.
fs::path resolved(const std::string& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    if (ec) return path;
    const fs::path canonical = fs::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : canonical;
}

// One file under two names: the same resolved path, or, for files that
// exist, the same file on the disk (a hard link; another spelling of the
// name where the system ignores case).
bool sameFile(const std::string& a, const std::string& b) {
    if (resolved(a) == resolved(b)) return true;
    std::error_code ec;
    return fs::equivalent(a, b, ec);  // false, with ec set, when either is missing
}

// `folder` is `tree` or lies below it.
bool within(const fs::path& folder, const std::string& tree) {
    if (sameFile(folder.string(), tree)) return true;
    const fs::path relative = folder.lexically_relative(resolved(tree));
    return !relative.empty() && *relative.begin() != ".." && *relative.begin() != ".";
}

// Whether the first line of an existing regular file is a record of an event
// log, read as the log commands read it. False with `error` set when the
// file cannot be read.
bool startsLikeALog(const std::string& path, std::string& error) {
    sys::ReadOnlyFile file;
    if (!file.openRegular(path, error)) {
        if (error.empty()) error = "it cannot be opened";
        return false;
    }
    // No record is longer than this, with its CR LF.
    std::string head(LogReader::kLongestLine + 2, '\0');
    size_t got = 0;
    while (got < head.size() && head.find('\n') == std::string::npos) {
        const long long n = file.read(head.data() + got, head.size() - got, error);
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    std::string_view line(head.data(), std::min(got, head.find('\n')));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    LogRecord record;
    LogFault fault;
    return parseLogLine(line, 1, record, fault);
}

// Why one output may not be written, or "".
std::string refusalOf(const std::string& path, const Inputs& inputs, bool force) {
    if (parseLogName(fs::path(path).filename().string()))
        return path + ": the name of an event log; an output never replaces a log nor takes a log's name";
    for (const std::string& input : inputs.files)
        if (sameFile(path, input)) return path + ": one of the files being read; an output never replaces an input";
    const fs::path folder = resolved(path).parent_path();
    for (const std::string& input : inputs.folders)
        if (sameFile(folder.string(), input))
            return path + ": lies in " + input + ", a folder being read; write the output elsewhere";
    for (const std::string& tree : inputs.trees)
        if (within(folder, tree))
            return path + ": lies in " + tree + ", a folder being read; write the output elsewhere";
    switch (sys::entryAt(path).kind) {
    case sys::EntryKind::Missing: return "";
    case sys::EntryKind::File: break;
    case sys::EntryKind::Directory: return path + ": is a directory, not a file name";
    case sys::EntryKind::Link:
        return path + ": a link; an output is never written through a link nor put in its place (name a file)";
    default: return path + ": not a regular file; an output goes to a file or to standard output (-)";
    }
    std::string error;
    if (startsLikeALog(path, error))
        return path + ": an event log (its first line is a log record); an output never replaces a log";
    if (!error.empty()) return path + ": exists and cannot be read (" + error + "), so it cannot be told from a log";
    if (!force) return path + ": exists already (choose another name, or add --force to replace it)";
    return "";
}

}  // namespace

Inputs Inputs::of(const std::vector<std::string>& paths) {
    Inputs inputs;
    for (const std::string& path : paths) {
        std::error_code ec;
        (fs::is_directory(path, ec) ? inputs.folders : inputs.files).push_back(path);
    }
    return inputs;
}

std::string standardOutputAs(const std::string& path) {
    return path != "-" && sys::namesStandardOutput(path) ? std::string("-") : path;
}

std::string refusal(const std::vector<Output>& outputs, const Inputs& inputs, bool force) {
    for (size_t i = 0; i < outputs.size(); ++i)
        for (size_t j = i + 1; j < outputs.size(); ++j) {
            const Output& a = outputs[i];
            const Output& b = outputs[j];
            const bool aOut = standardOutputAs(a.path) == "-", bOut = standardOutputAs(b.path) == "-";
            if (aOut && bOut)
                return a.option + " " + a.path + " and " + b.option + " " + b.path +
                       ": at most one table goes to standard output";
            if (!aOut && !bOut && sameFile(a.path, b.path))
                return a.option + " " + a.path + " and " + b.option + " " + b.path +
                       " name the same file; each output needs its own";
        }
    for (const Output& output : outputs)
        if (standardOutputAs(output.path) != "-")
            if (std::string why = refusalOf(output.path, inputs, force); !why.empty()) return why;
    return "";
}

std::string folderRefusal(const std::string& folder, const Inputs& inputs) {
    const sys::Entry entry = sys::entryThrough(folder);
    if (entry.kind != sys::EntryKind::Missing && entry.kind != sys::EntryKind::Directory)
        return folder + ": exists and is not a folder";
    const fs::path where = resolved(folder);
    for (const std::string& input : inputs.folders)
        if (sameFile(where.string(), input)) return folder + ": a folder being read; write the output elsewhere";
    for (const std::string& tree : inputs.trees)
        if (within(where, tree))
            return folder + ": lies in " + tree + ", a folder being read; write the output elsewhere";
    return "";
}

bool writeWhole(const std::string& path, std::string_view bytes, std::string& error) {
    if (standardOutputAs(path) == "-") {
        if ((bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size()) &&
            std::fflush(stdout) == 0)
            return true;
        error = "standard output: write failed";
        return false;
    }
    std::string why;
    if (sys::replaceWholeFile(path, bytes, why)) return true;
    error = path + ": cannot be written (" + why + ")";
    return false;
}

}  // namespace qbx::output
