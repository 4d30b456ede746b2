#include "tool/logs/LogFolder.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <tuple>

#include "tool/Tool.h"

namespace fs = std::filesystem;

namespace qbx::tool::logs {

namespace {

struct Collector {
    // Keyed by folder and suffix, so that equal suffixes in two folders stay apart.
    std::map<std::pair<std::string, std::string>, LogPair> pairs;
    std::vector<std::string> notLogs;

    // `folder` is the file's folder as its path names it; `fileName` may lie
    // in `path`, and is read before the path is taken.
    void add(const std::string& folder, std::string&& path, std::string_view fileName) {
        auto name = parseLogName(fileName);
        if (!name) {
            notLogs.push_back(std::move(path));
            return;
        }
        LogPair& pair = pairs[{folder, name->suffix}];
        (name->colorKeeper ? pair.ckPath : pair.nkPath) = std::move(path);
        pair.name = std::move(*name);
    }
    void add(const fs::path& file) {
        std::string path = file.string();
        add(file.parent_path().string(), std::move(path), file.filename().string());
    }

    LogFolder result() {
        LogFolder out;
        out.pairs.reserve(pairs.size());
        for (auto& [key, pair] : pairs) out.pairs.push_back(std::move(pair));
        // By date (year, month, day of the "ddmmyy" in the name), then number.
        auto order = [](const LogName& n) {
            const std::string_view date = n.date;
            return std::make_tuple(date.substr(4, 2), date.substr(2, 2), date.substr(0, 2), n.number);
        };
        std::stable_sort(out.pairs.begin(), out.pairs.end(),
                         [&](const LogPair& a, const LogPair& b) { return order(a.name) < order(b.name); });
        std::sort(notLogs.begin(), notLogs.end());
        out.notLogs = std::move(notLogs);
        return out;
    }
};

// What separates the parts of a path here.
constexpr std::string_view kSeparators = fs::path::preferred_separator == '/' ? "/" : "/\\";

void addFolder(Collector& collector, const std::string& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) throw CouldNotRun(folder + ": cannot be read as a folder (" + ec.message() + ")");
    // Every entry's path is the folder's path and its name.
    const std::string parent = (fs::path(folder) / "x").parent_path().string();
    for (const fs::directory_entry& entry : it) {
        std::string path = entry.path().string();
        const std::string_view name = std::string_view(path).substr(path.find_last_of(kSeparators) + 1);
        std::error_code typeError;
        // A folder under a log's name is named as such rather than passed over.
        if (entry.is_directory(typeError) && !parseLogName(name)) continue;
        collector.add(parent, std::move(path), name);
    }
}

}  // namespace

LogFolder findLogs(const std::string& folder) {
    std::error_code ec;
    if (!fs::exists(folder, ec)) throw CouldNotRun(folder + ": no such folder");
    if (!fs::is_directory(folder, ec)) throw CouldNotRun(folder + ": not a folder");
    Collector collector;
    addFolder(collector, folder);
    return collector.result();
}

LogFolder collectLogs(const std::vector<std::string>& paths) {
    Collector collector;
    for (const std::string& path : paths) {
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (ec || !fs::exists(status)) throw CouldNotRun(path + ": no such file or folder");
        if (fs::is_directory(status)) {
            addFolder(collector, path);
            continue;
        }
        const fs::path file(path);
        collector.add(file);
        // A log given alone brings its partner when it lies beside it.
        if (const auto name = parseLogName(file.filename().string())) {
            const fs::path partner = file.parent_path() / partnerLogName(*name);
            if (fs::is_regular_file(partner, ec)) collector.add(partner);
        }
    }
    return collector.result();
}

LogFolder logsToConvert(const std::vector<std::string>& paths, std::ostream& messages) {
    LogFolder folder = collectLogs(paths);
    if (folder.pairs.empty()) throw CouldNotRun("no logs found in " + paths.front());
    for (const std::string& name : folder.notLogs) messages << name << ": not a log name, skipped\n";
    return folder;
}

}  // namespace qbx::tool::logs
