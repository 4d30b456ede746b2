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

bool writeAndClose(std::FILE* file, std::string_view bytes, std::string& error, bool durable = true) {
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (!ok) error = "the data could not be written";
    if (ok && durable) ok = flushToDisk(file, error);
    if (std::fclose(file) != 0 && ok) {
        error = "the file could not be closed";
        ok = false;
    }
    return ok;
}

std::string parentOf(const std::string& path) {
    const fs::path p(path);
    return p.has_parent_path() ? p.parent_path().string() : std::string(".");
}

}  // namespace

bool replaceWholeFile(const std::string& path, std::string_view bytes, std::string& error, bool durable) {
    const fs::path target(path);
    const std::string folder = parentOf(path);
    static thread_local std::mt19937 draw(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp =
            (fs::path(folder) / ("." + target.filename().string() + "." + std::to_string(draw() % 1000000) + ".tmp"))
                .string();
        bool exists = false;
        std::FILE* file = createNewFile(temp, exists, error);
        if (!file) {
            if (exists) continue;
            return false;
        }
        if (!writeAndClose(file, bytes, error, durable) || !replaceFile(temp, path, error)) {
            std::remove(temp.c_str());
            return false;
        }
        if (durable) syncDirectory(folder);
        return true;
    }
    error = "no temporary name free beside it";
    return false;
}

bool readWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    ReadOnlyFile file;
    switch (file.open(path, error)) {
    case ReadOnlyFile::Open::Ok: break;
    case ReadOnlyFile::Open::IsDirectory: error = "is a directory"; return false;
    case ReadOnlyFile::Open::Failed: return false;
    }
    bytes.clear();
    if (file.sizeAtOpen() > 0) bytes.reserve(static_cast<size_t>(file.sizeAtOpen()));
    char buffer[65536];
    for (;;) {
        const long long got = file.read(buffer, sizeof buffer, error);
        if (got < 0) return false;
        if (got == 0) return true;
        bytes.append(buffer, static_cast<size_t>(got));
    }
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
