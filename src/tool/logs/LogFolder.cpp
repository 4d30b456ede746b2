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

    void add(const fs::path& file) {
        const std::string fileName = file.filename().string();
        const auto name = parseLogName(fileName);
        if (!name) {
            notLogs.push_back(file.string());
            return;
        }
        const std::string folder = file.parent_path().string();
        LogPair& pair = pairs[{folder, name->suffix}];
        pair.name = *name;
        (name->colorKeeper ? pair.ckPath : pair.nkPath) = file.string();
    }

    LogFolder result() {
        LogFolder out;
        for (auto& [key, pair] : pairs) out.pairs.push_back(pair);
        std::stable_sort(out.pairs.begin(), out.pairs.end(), [](const LogPair& a, const LogPair& b) {
            return std::make_tuple(a.name.isoDate(), a.name.number) < std::make_tuple(b.name.isoDate(), b.name.number);
        });
        std::sort(notLogs.begin(), notLogs.end());
        out.notLogs = std::move(notLogs);
        return out;
    }
};

void addFolder(Collector& collector, const std::string& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) throw CouldNotRun(folder + ": cannot be read as a folder (" + ec.message() + ")");
    for (const fs::directory_entry& entry : it) {
        std::error_code typeError;
        // A folder under a log's name is named as such rather than passed over.
        if (entry.is_directory(typeError) && !parseLogName(entry.path().filename().string())) continue;
        collector.add(entry.path());
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
