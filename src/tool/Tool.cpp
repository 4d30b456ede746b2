#include "tool/Tool.h"

#include <cerrno>
#include <cstring>

#include "core/platform/System.h"

#ifndef QBX_VERSION
#define QBX_VERSION "unknown"
#endif
#ifndef QBX_COMMIT
#define QBX_COMMIT ""
#endif

namespace qbx::tool {

namespace {

std::string reason() { return std::strerror(errno); }

}  // namespace

void checkOutputs(const std::vector<CommandOutput>& outputs, const CommandInputs& inputs, bool force) {
    if (const std::string why = output::refusal(outputs, inputs, force); !why.empty()) throw CouldNotRun(why);
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    if (output::standardOutputAs(path_) == "-") {
        toStdout_ = true;
        return;
    }
    if (sys::isDirectory(path_)) throw CouldNotRun(path_ + ": is a directory, not a file name");
    std::string why;
    if (!file_.open(path_, why)) throw CouldNotRun(path_ + ": cannot be written (" + why + ")");
}

void OutputFile::write(const std::string& text) { write(text.data(), text.size()); }

void OutputFile::write(const char* data, size_t size) {
    if (size && std::fwrite(data, 1, size, stream()) != size)
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
    switch (file_.commit(why)) {
    case sys::ReplacingFile::Commit::Done: break;
    case sys::ReplacingFile::Commit::NotWritten: throw CouldNotRun(path_ + ": write failed (" + why + ")");
    case sys::ReplacingFile::Commit::NotRenamed: throw CouldNotRun(path_ + ": cannot be created (" + why + ")");
    }
    committed_ = true;
}

bool fileBytes(const std::string& path, std::string& bytes, std::string& error) {
    return sys::readWholeFile(path, bytes, error);
}

std::string counted(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string versionText() {
    const std::string commit = QBX_COMMIT;
    return commit.empty() ? std::string(QBX_VERSION) : std::string(QBX_VERSION) + " (" + commit + ")";
}

}  // namespace qbx::tool
