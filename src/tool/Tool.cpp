#include "tool/Tool.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <unistd.h>

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
    if (std::filesystem::is_directory(path_, ec))
        throw CouldNotRun(path_ + ": is a directory, not a file name");
    const std::filesystem::path target(path_);
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    std::random_device seed;
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        tempPath_ = (dir / ("." + target.filename().string() + ".tmp" + std::to_string(seed() % 1000000)))
                        .string();
        const int fd = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            file_ = ::fdopen(fd, "wb");
            if (!file_) ::close(fd);
        } else if (errno != EEXIST) {
            throw CouldNotRun(path_ + ": cannot be written (" + reason() + ")");
        }
    }
    if (!file_) throw CouldNotRun(path_ + ": no temporary name free beside it");
}

OutputFile::~OutputFile() {
    if (toStdout_ || committed_) return;
    if (file_) std::fclose(file_);
    ::unlink(tempPath_.c_str());
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
    const bool flushed = std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
    const int savedErrno = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed) {
        errno = flushed ? errno : savedErrno;
        const std::string why = reason();
        ::unlink(tempPath_.c_str());
        throw CouldNotRun(path_ + ": write failed (" + why + ")");
    }
    if (std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        const std::string why = reason();
        ::unlink(tempPath_.c_str());
        throw CouldNotRun(path_ + ": cannot be created (" + why + ")");
    }
    committed_ = true;
}

std::string versionText() {
    const std::string commit = QBX_COMMIT;
    return commit.empty() ? std::string(QBX_VERSION) : std::string(QBX_VERSION) + " (" + commit + ")";
}

}  // namespace qbx::tool
