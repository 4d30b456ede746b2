#include "tool/Tool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <string_view>

#include "core/eventlog/LogReader.h"
#include "core/platform/System.h"

#ifndef QBX_VERSION
#define QBX_VERSION "unknown"
#endif
#ifndef QBX_COMMIT
#define QBX_COMMIT ""
#endif

namespace qbx::tool {

namespace fs = std::filesystem;

namespace {

std::string reason() { return std::strerror(errno); }

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

// Whether the first line of an existing regular file is a record of an event
// log, read as the log commands read it. False with `error` set when the
// file cannot be read.
bool startsLikeALog(const std::string& path, std::string& error) {
    sys::ReadOnlyFile file;
    if (file.open(path, error) != sys::ReadOnlyFile::Open::Ok) {
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

// Throws when one output may not be written; see checkOutputs.
void checkOutput(const std::string& path, const CommandInputs& inputs, bool force) {
    if (parseLogName(fs::path(path).filename().string()))
        throw CouldNotRun(path + ": the name of an event log; an output never replaces a log nor takes a log's name");
    for (const std::string& input : inputs.files)
        if (sameFile(path, input))
            throw CouldNotRun(path + ": one of the files being read; an output never replaces an input");
    const std::string folder = resolved(path).parent_path().string();
    for (const std::string& input : inputs.folders)
        if (sameFile(folder, input))
            throw CouldNotRun(path + ": lies in " + input + ", a folder being read; write the output elsewhere");
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return;
    if (fs::is_directory(status)) throw CouldNotRun(path + ": is a directory, not a file name");
    if (!fs::is_regular_file(status))
        throw CouldNotRun(path + ": not a regular file; an output goes to a file or to standard output (-)");
    std::string error;
    if (startsLikeALog(path, error))
        throw CouldNotRun(path + ": an event log (its first line is a log record); an output never replaces a log");
    if (!error.empty())
        throw CouldNotRun(path + ": exists and cannot be read (" + error + "), so it cannot be told from a log");
    if (!force) throw CouldNotRun(path + ": exists already (choose another name, or add --force to replace it)");
}

}  // namespace

CommandInputs CommandInputs::of(const std::vector<std::string>& paths) {
    CommandInputs inputs;
    for (const std::string& path : paths) {
        std::error_code ec;
        (fs::is_directory(path, ec) ? inputs.folders : inputs.files).push_back(path);
    }
    return inputs;
}

void checkOutputs(const std::vector<CommandOutput>& outputs, const CommandInputs& inputs, bool force) {
    for (size_t i = 0; i < outputs.size(); ++i)
        for (size_t j = i + 1; j < outputs.size(); ++j) {
            const CommandOutput& a = outputs[i];
            const CommandOutput& b = outputs[j];
            if (a.path == "-" && b.path == "-")
                throw CouldNotRun(a.option + " - and " + b.option + " -: at most one table goes to standard output");
            if (a.path != "-" && b.path != "-" && sameFile(a.path, b.path))
                throw CouldNotRun(a.option + " " + a.path + " and " + b.option + " " + b.path +
                                  " name the same file; each output needs its own");
        }
    for (const CommandOutput& output : outputs)
        if (output.path != "-") checkOutput(output.path, inputs, force);
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    if (path_ == "-") {
        toStdout_ = true;
        file_ = stdout;
        return;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(path_, ec)) throw CouldNotRun(path_ + ": is a directory, not a file name");
    const std::filesystem::path target(path_);
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    std::random_device seed;
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        tempPath_ = (dir / ("." + target.filename().string() + ".tmp" + std::to_string(seed() % 1000000))).string();
        bool taken = false;
        std::string why;
        file_ = sys::createNewFile(tempPath_, taken, why);
        if (!file_ && !taken) throw CouldNotRun(path_ + ": cannot be written (" + why + ")");
    }
    if (!file_) throw CouldNotRun(path_ + ": no temporary name free beside it");
}

OutputFile::~OutputFile() {
    if (toStdout_ || committed_) return;
    if (file_) std::fclose(file_);
    std::remove(tempPath_.c_str());
}

void OutputFile::write(const std::string& text) { write(text.data(), text.size()); }

void OutputFile::write(const char* data, size_t size) {
    if (size && std::fwrite(data, 1, size, file_) != size)
        throw CouldNotRun(path_ + ": write failed (" + reason() + ")");
}

void OutputFile::commit() {
    if (committed_) return;
    if (toStdout_) {
        if (std::fflush(stdout) != 0) throw CouldNotRun("standard output: write failed (" + reason() + ")");
        committed_ = true;
        return;
    }
    std::string why;
    const bool flushed = sys::flushToDisk(file_, why);
    const bool closed = std::fclose(file_) == 0;
    if (flushed && !closed) why = reason();
    file_ = nullptr;
    if (!flushed || !closed) {
        std::remove(tempPath_.c_str());
        throw CouldNotRun(path_ + ": write failed (" + why + ")");
    }
    if (!sys::replaceFile(tempPath_, path_, why)) {
        std::remove(tempPath_.c_str());
        throw CouldNotRun(path_ + ": cannot be created (" + why + ")");
    }
    committed_ = true;
}

std::string fileBytes(const std::string& path) {
    std::string bytes, error;
    if (!sys::readWholeFile(path, bytes, error)) bytes.clear();
    return bytes;
}

std::string counted(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string versionText() {
    const std::string commit = QBX_COMMIT;
    return commit.empty() ? std::string(QBX_VERSION) : std::string(QBX_VERSION) + " (" + commit + ")";
}

}  // namespace qbx::tool
