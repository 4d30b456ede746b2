#include "tool/logs/LogFolder.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <thread>
#include <tuple>

#include "core/eventlog/LogFormat.h"
#include "core/platform/System.h"
#include "core/session/SessionTime.h"
#include "tool/Tool.h"

namespace fs = std::filesystem;

namespace qbx::tool::logs {

namespace {

// The time of day of a session's first record, in milliseconds, read from
// the first bytes of its ColorKeeper's log (else its NumberKeeper's); a log
// that does not begin with a stamp sorts after those of its day that do.
long long firstRecordMs(const LogPair& pair) {
    constexpr long long kUnknown = 2 * session::kDayMs;
    sys::ReadOnlyFile file;
    std::string error;
    sys::ReadFault fault = sys::ReadFault::None;
    if (!file.openFollowed(pair.ckPath.empty() ? pair.nkPath : pair.ckPath, error, fault)) return kUnknown;
    char head[32];
    const long long got = file.read(head, sizeof head, error);
    if (got <= 0) return kUnknown;
    std::string_view text(head, static_cast<size_t>(got));
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte order mark an editor added
    return session::leadingStampMs(text).value_or(kUnknown);
}

// Runs `each(i)` for every i below `count`, on every core when there are
// many: the listing comes before any session is read, so its time adds to
// the whole run's.
template <typename Each>
void forEachOnAllCores(size_t count, const Each& each) {
    const size_t workers = count < 64 ? 1 : std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
    const auto every = [&](size_t from) {
        for (size_t i = from; i < count; i += workers) each(i);
    };
    std::vector<std::thread> threads;
    for (size_t w = 1; w < workers; ++w) threads.emplace_back(every, w);
    every(0);
    for (std::thread& t : threads) t.join();
}

// A pair's run record, read; none, with why in `problem`, when it cannot be
// read or is another session's.
std::shared_ptr<const RunRecord> recordOf(const LogPair& pair, std::string& problem) {
    if (pair.recordPath.empty()) return nullptr;
    std::string error;
    // A named pipe or a device under a record's name is said as such
    // (readRunRecord refuses it without waiting on it).
    const sys::EntryKind kind = sys::entryThrough(pair.recordPath).kind;
    std::optional<RunRecord> record;
    if (kind == sys::EntryKind::File || kind == sys::EntryKind::Missing)
        record = readRunRecord(pair.recordPath, error);
    else
        error = kind == sys::EntryKind::Directory ? "a folder, not a run record" : "not a regular file";
    if (!record) {
        problem = pair.recordPath + ": " + error + "; its session is read as one without a run record";
        return nullptr;
    }
    if (record->session != pair.name.suffix) {
        const std::string whose = record->session.empty()
                                      ? std::string("names no session")
                                      : "the run record of session " + record->session + ", not of " + pair.name.suffix;
        problem = pair.recordPath + ": " + whose + "; its session is read as one without a run record";
        return nullptr;
    }
    return std::make_shared<const RunRecord>(std::move(*record));
}

// The same logs on both sides (either role may be missing on both). Throws
// when a log cannot be read: two sessions that cannot be compared are
// neither one session nor two.
bool sameLogs(const LogPair& a, const LogPair& b) {
    for (const auto& [x, y] : {std::pair{a.ckPath, b.ckPath}, std::pair{a.nkPath, b.nkPath}}) {
        if (x.empty() != y.empty()) return false;
        if (x.empty()) continue;
        std::string xBytes, yBytes, error;
        for (const auto& [path, bytes] : {std::pair{&x, &xBytes}, std::pair{&y, &yBytes}})
            if (!fileBytes(*path, *bytes, error))
                throw CouldNotRun(*path + ": cannot be read (" + error + "), so it cannot be told whether " + x +
                                  " and " + y + " are one session");
        if (xBytes != yBytes) return false;
    }
    return true;
}

std::string pathOf(const LogPair& pair) { return pair.ckPath.empty() ? pair.nkPath : pair.ckPath; }

// One name in two folders: identical logs are one session, read once;
// different logs under one name cannot be told apart in any table.
std::vector<std::string> keepEachSessionOnce(std::vector<LogPair>& pairs) {
    std::vector<std::string> notes;
    std::map<std::string, size_t> first;  // suffix -> the pair kept
    std::vector<LogPair> kept;
    kept.reserve(pairs.size());
    for (LogPair& pair : pairs) {
        const auto [it, isNew] = first.emplace(pair.name.suffix, kept.size());
        if (isNew) {
            kept.push_back(std::move(pair));
            continue;
        }
        LogPair& other = kept[it->second];
        if (!sameLogs(other, pair))
            throw CouldNotRun("two different sessions are both named " + pair.name.suffix + ": " + pathOf(other) +
                              " and " + pathOf(pair) + " (keep them in separate runs of the command)");
        notes.push_back(pathOf(pair) + ": the same session as " + pathOf(other) + " (identical logs), read once");
        if (other.recordPath.empty()) other.recordPath = std::move(pair.recordPath);
    }
    pairs = std::move(kept);
    return notes;
}

struct Collector {
    // Keyed by folder and suffix, so that equal suffixes in two folders stay apart.
    std::map<std::pair<std::string, std::string>, LogPair> pairs;
    std::map<std::pair<std::string, std::string>, std::string> records;  // run records, by folder and session
    std::vector<std::string> notLogs;
    std::vector<std::string> subfolders;

    // `folder` is the file's folder as its path names it; `fileName` may lie
    // in `path`, and is read before the path is taken.
    void add(const std::string& folder, std::string&& path, std::string_view fileName) {
        auto name = parseLogName(fileName);
        if (!name) {
            if (std::optional<std::string> session = runRecordSession(fileName)) {
                records[{folder, std::move(*session)}] = std::move(path);
                return;
            }
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
        for (auto& [key, pair] : pairs) {
            if (const auto record = records.find(key); record != records.end()) {
                pair.recordPath = std::move(record->second);
                records.erase(record);
            }
            out.pairs.push_back(std::move(pair));
        }
        for (const auto& [key, path] : records)
            out.badRecords.push_back(path + ": a run record without its logs (no ck" + key.second + ".txt nor nk" +
                                     key.second + ".txt beside it), not read");
        out.sameSessionTwice = keepEachSessionOnce(out.pairs);
        // By date (year, month, day of the "ddmmyy" in the name), then the
        // time of the first record, then the number drawn for the name.
        std::vector<std::pair<std::tuple<std::string, long long, int>, size_t>> keys;
        keys.reserve(out.pairs.size());
        // The first records' times, and the run records, read on every core.
        std::vector<long long> firstTimes(out.pairs.size());
        std::vector<std::string> recordProblems(out.pairs.size());
        forEachOnAllCores(out.pairs.size(), [&](size_t i) {
            firstTimes[i] = firstRecordMs(out.pairs[i]);
            out.pairs[i].record = recordOf(out.pairs[i], recordProblems[i]);
        });
        for (std::string& problem : recordProblems)
            if (!problem.empty()) out.badRecords.push_back(std::move(problem));
        std::sort(out.badRecords.begin(), out.badRecords.end());
        for (size_t i = 0; i < out.pairs.size(); ++i) {
            const LogName& n = out.pairs[i].name;
            const std::string date = n.date.substr(4, 2) + n.date.substr(2, 2) + n.date.substr(0, 2);
            keys.push_back({{date, firstTimes[i], n.number}, i});
        }
        std::stable_sort(keys.begin(), keys.end());
        std::vector<LogPair> sorted;
        sorted.reserve(out.pairs.size());
        for (const auto& key : keys) sorted.push_back(std::move(out.pairs[key.second]));
        out.pairs = std::move(sorted);
        std::sort(notLogs.begin(), notLogs.end());
        out.notLogs = std::move(notLogs);
        std::sort(subfolders.begin(), subfolders.end());
        out.subfolders = std::move(subfolders);
        return out;
    }
};

// The folder of dataout that holds the saved setups.
constexpr std::string_view kSavedSetups = "setups";

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
        if (entry.is_directory(typeError) && !parseLogName(name)) {
            // The saved setups the run records name.
            if (name == kSavedSetups) continue;
            collector.subfolders.push_back(std::move(path));
            continue;
        }
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
            const fs::path record = file.parent_path() / runRecordName(name->suffix);
            if (fs::is_regular_file(record, ec)) collector.add(record);
        }
    }
    return collector.result();
}

int leaveOutSimulated(LogFolder& folder) {
    const size_t before = folder.pairs.size();
    std::erase_if(folder.pairs, isSimulated);
    return static_cast<int>(before - folder.pairs.size());
}

LogFolder logsToConvert(const std::vector<std::string>& paths, std::ostream& messages) {
    LogFolder folder = collectLogs(paths);
    if (folder.pairs.empty()) throw CouldNotRun("no logs found in " + paths.front());
    for (const std::string& name : folder.notLogs) messages << name << ": not a log name, skipped\n";
    for (const std::string& line : passedOverText(folder)) messages << line << "\n";
    return folder;
}

std::vector<std::string> passedOverText(const LogFolder& folder) {
    std::vector<std::string> lines;
    for (const std::string& sub : folder.subfolders)
        lines.push_back(sub + ": a folder, not read (name it to read the logs in it)");
    for (const std::string& same : folder.sameSessionTwice) lines.push_back(same);
    for (const std::string& bad : folder.badRecords) lines.push_back(bad);
    return lines;
}

}  // namespace qbx::tool::logs
