// Whole files replaced in one step and folders copied for the run record,
// with the same calls on both systems (std::filesystem and the file calls of
// System.h, whose Windows side renames with MoveFileEx).

#include <filesystem>
#include <random>
#include <system_error>

#include "core/platform/System.h"

namespace qbx::sys {

namespace fs = std::filesystem;

namespace {

std::string parentOf(const std::string& path) {
    const fs::path p(path);
    return p.has_parent_path() ? p.parent_path().string() : std::string(".");
}

}  // namespace

ReplacingFile::~ReplacingFile() {
    if (file_) std::fclose(file_);
    if (!temp_.empty()) std::remove(temp_.c_str());
}

bool ReplacingFile::open(const std::string& path, std::string& error) {
    const fs::path target(path);
    const std::string folder = parentOf(path);
    static thread_local std::mt19937 draw(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp =
            (fs::path(folder) / ("." + target.filename().string() + "." + std::to_string(draw() % 1000000) + ".tmp"))
                .string();
        bool exists = false;
        file_ = createNewFile(temp, exists, error);
        if (file_) {
            path_ = path;
            temp_ = temp;
            return true;
        }
        if (!exists) return false;
    }
    error = "no temporary name free beside it";
    return false;
}

ReplacingFile::Commit ReplacingFile::commit(std::string& error, bool durable) {
    bool ok = true;
    if (durable) {
        ok = flushToDisk(file_, error);
    } else if (std::fflush(file_) != 0) {
        error = "the data could not be written";
        ok = false;
    }
    if (std::fclose(file_) != 0 && ok) {
        error = "the file could not be closed";
        ok = false;
    }
    file_ = nullptr;
    if (!ok) return Commit::NotWritten;
    if (!replaceFile(temp_, path_, error)) return Commit::NotRenamed;
    temp_.clear();
    if (durable) syncDirectory(parentOf(path_));
    return Commit::Done;
}

bool replaceWholeFile(const std::string& path, std::string_view bytes, std::string& error, bool durable) {
    ReplacingFile file;
    if (!file.open(path, error)) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) != bytes.size()) {
        error = "the data could not be written";
        return false;
    }
    return file.commit(error, durable) == ReplacingFile::Commit::Done;
}

bool listFolder(const std::string& directory, std::vector<std::string>& names, std::string& error) {
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
        names.push_back(it->path().filename().generic_string());
    if (ec) {
        error = ec.message();
        return false;
    }
    return true;
}

std::string resolvedPath(const std::string& path) {
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    return ec ? std::string() : real.generic_string();
}

bool makeDirectory(const std::string& path, std::string& error) {
    std::error_code ec;
    fs::create_directory(path, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    return true;
}

long long freeSpace(const std::string& path) {
    std::error_code ec;
    const fs::space_info space = fs::space(path, ec);
    return ec ? -1 : static_cast<long long>(space.available);
}

bool renameDirectory(const std::string& from, const std::string& to, bool& targetExists, std::string& error) {
    // rename() would replace an empty folder of that name: one that exists is
    // another session's copy, kept. Whatever has the name (a link too) is
    // left alone.
    targetExists = entryAt(to).kind != EntryKind::Missing;
    if (targetExists) {
        error = "exists";
        return false;
    }
    std::error_code ec;
    fs::rename(from, to, ec);
    if (!ec) {
        syncDirectory(parentOf(to));
        return true;
    }
    targetExists = entryAt(to).kind != EntryKind::Missing;
    error = ec.message();
    return false;
}

void removeTree(const std::string& path) noexcept {
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::string workingDirectoryPath(const std::string& folder) {
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    if (ec) return {};
    fs::path whole = (cwd / fs::path(folder)).lexically_normal();
    // "lab-a/" and "lab-a" name the same folder.
    if (!whole.has_filename() && whole.has_parent_path() && whole != whole.root_path()) whole = whole.parent_path();
    return whole.generic_string();
}

std::string workingDirectoryName(const std::string& folder) {
    return fs::path(workingDirectoryPath(folder)).filename().string();
}

}  // namespace qbx::sys
