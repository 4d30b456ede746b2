#include "tool/Tool.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

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

std::string counted(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string versionText() {
    const std::string commit = QBX_COMMIT;
    return commit.empty() ? std::string(QBX_VERSION) : std::string(QBX_VERSION) + " (" + commit + ")";
}

}  // namespace qbx::tool
