#include "tool/logs/SessionSetup.h"

#include <algorithm>
#include <filesystem>

#include "core/runrecord/SetupDigest.h"
#include "tool/Tool.h"
#include "tool/setup/SolverTable.h"

namespace fs = std::filesystem;

namespace qbx::tool::logs {

namespace {

// Every file of a setup folder as the run record names them: by its path
// from the working directory ("setup/shoe.txt"), with its SHA-256, read with
// the guards of the program's own digest (links only to files inside the
// setup, a bound on the entries); none when the folder cannot be read.
std::map<std::string, std::string> filesOf(const fs::path& setupDir) {
    std::map<std::string, std::string> files;
    SetupDigest digest;
    std::string error;
    if (!digestSetup(setupDir.parent_path().string(), ParameterValues{}, digest, error)) return files;
    for (const SetupFile& f : digest.files) files[f.path] = f.sha256;
    return files;
}

// The files a run record lists, with their SHA-256.
std::map<std::string, std::string> filesRecorded(const RunRecord& record) {
    std::map<std::string, std::string> files;
    for (const SetupFile& f : record.files) files[f.path] = f.sha256;
    return files;
}

// The files the saved copy of a record's setup holds: those it lists, but
// those it says were not copied.
std::map<std::string, std::string> filesCopied(const RunRecord& record) {
    std::map<std::string, std::string> files = filesRecorded(record);
    for (const SetupLeftOut& left : record.notCopied) files.erase(left.path);
    return files;
}

// "071226_1", or "071226_1 (and 3 more sessions)".
std::string sessionsNamed(const std::vector<std::string>& sessions) {
    std::string text = sessions.front();
    if (sessions.size() > 1)
        text += " (and " + counted(static_cast<long long>(sessions.size() - 1), "more session", "more sessions") + ")";
    return text;
}

// "5d1b0a4c9e8f (lab-a)": a record's setup as the messages name it.
std::string setupName(const RunRecord& record) {
    std::string name = record.setupShort.empty() ? std::string("of no hash") : record.setupShort;
    if (!record.workingDirectory.empty()) name += " (" + record.workingDirectory + ")";
    return name;
}

// How the files a run record lists differ from a setup's, one phrase per
// file ("setup/shoe.txt differs", "setup/b.bmp only in the saved setup");
// empty when they are the same files with the same bytes.
std::vector<std::string> differences(const std::map<std::string, std::string>& recorded,
                                     const std::map<std::string, std::string>& given) {
    std::vector<std::string> differences;
    for (const auto& [path, digest] : recorded) {
        const auto it = given.find(path);
        if (it == given.end())
            differences.push_back(path + " only in the saved setup");
        else if (it->second != digest)
            differences.push_back(path + " differs");
    }
    for (const auto& [path, digest] : given)
        if (!recorded.count(path)) differences.push_back(path + " only in the setup given");
    return differences;
}

// How a saved copy's files differ from those its record lists as copied,
// one phrase per file ("setup/shoe.txt changed", "setup/a.txt removed",
// "setup/b.txt added").
std::vector<std::string> changesToCopy(const std::map<std::string, std::string>& recorded,
                                       const std::map<std::string, std::string>& now) {
    std::vector<std::string> changes;
    for (const auto& [path, digest] : recorded) {
        const auto it = now.find(path);
        if (it == now.end())
            changes.push_back(path + " removed");
        else if (it->second != digest)
            changes.push_back(path + " changed");
    }
    for (const auto& [path, digest] : now)
        if (!recorded.count(path)) changes.push_back(path + " added");
    return changes;
}

// Every session named: "071226_4", "071226_4 and 071226_6", "071226_4,
// 071226_6 and 071226_7".
std::string everySession(const std::vector<std::string>& sessions) {
    std::string text;
    for (size_t i = 0; i < sessions.size(); ++i)
        text += (i == 0 ? "" : i + 1 == sessions.size() ? " and " : ", ") + sessions[i];
    return text;
}

}  // namespace

std::vector<std::string> setupDifferences(const RunRecord& record, const SetupLocation& setup) {
    return differences(filesRecorded(record), filesOf(setup.setupDir));
}

std::vector<std::string> setupDifferences(const fs::path& savedSetupDir, const SetupLocation& setup) {
    return differences(filesOf(savedSetupDir), filesOf(setup.setupDir));
}

SessionSetups setupsOfSessions(const LogFolder& folder, const GameSetup* given, bool solver, std::ostream& messages) {
    SessionSetups out;
    out.of.assign(folder.pairs.size(), given);
    // The saved setups that could not be read, with why, and their sessions.
    std::map<std::string, std::pair<std::string, std::vector<std::string>>> unread;
    std::vector<std::string> said;
    // With --setup: its files, read once, and how each setup the records
    // name differs from them, found once per setup.
    std::map<std::string, std::string> givenFiles;
    if (given) givenFiles = filesOf(given->location.setupDir);
    std::map<std::string, std::vector<std::string>> differing;
    // Saved copies changed since their sessions: how, and every session read with each.
    std::map<std::string, std::pair<std::vector<std::string>, std::vector<std::string>>> edited;
    for (size_t i = 0; i < folder.pairs.size(); ++i) {
        const LogPair& pair = folder.pairs[i];
        if (!pair.record) continue;
        const RunRecord& record = *pair.record;
        const std::string saved = record.savedSetupDir();
        const std::string& session = pair.name.suffix;
        if (given) {
            if (record.files.empty()) {
                said.push_back(session +
                               ": warning: its run record lists no setup files, so it cannot be told "
                               "whether its setup is the one given with --setup: read with the setup given");
                continue;
            }
            const std::string key = record.setupHash.empty() ? record.path : record.setupHash;
            auto found = differing.find(key);
            if (found == differing.end())
                found = differing.emplace(key, differences(filesRecorded(record), givenFiles)).first;
            const std::vector<std::string>& different = found->second;
            if (different.empty()) continue;
            std::string which;
            for (size_t d = 0; d < different.size() && d < 3; ++d) which += (d ? ", " : "") + different[d];
            if (different.size() > 3) which += ", …";
            said.push_back(session + ": warning: played with setup " + setupName(record) +
                           ", which differs from the setup given with --setup (" + which +
                           "): read with the setup given");
            continue;
        }
        if (saved.empty()) {
            said.push_back(session +
                           ": warning: its setup was not saved (its run record names no copy): read without a setup");
            continue;
        }
        if (const auto known = out.saved.find(saved); known != out.saved.end()) {
            out.of[i] = known->second.get();
            if (const auto changed = edited.find(saved); changed != edited.end())
                changed->second.second.push_back(session);
            continue;
        }
        if (const auto bad = unread.find(saved); bad != unread.end()) {
            bad->second.second.push_back(session);
            continue;
        }
        std::error_code ec;
        if (!fs::is_directory(saved, ec)) {
            unread[saved] = {"is missing", {session}};
            continue;
        }
        try {
            // The copy is named after its hash: files changed in it since
            // are said, with every session read with it, and it is read as
            // it is.
            if (!record.setupHash.empty()) {
                std::vector<std::string> changes =
                    changesToCopy(filesCopied(record), filesOf(fs::path(saved) / "setup"));
                if (!changes.empty()) edited[saved] = {std::move(changes), {session}};
            }
            auto setup = std::make_unique<GameSetup>(readSetupAndShoe(saved));
            if (solver) setup->fewest = fewestActionsFor(setup->rules);
            out.of[i] = setup.get();
            out.saved.emplace(saved, std::move(setup));
        } catch (const CouldNotRun& e) {
            unread[saved] = {std::string("cannot be read (") + e.what() + ")", {session}};
        }
    }
    for (const auto& [saved, how] : edited) {
        const bool one = how.second.size() == 1;
        std::string which;
        for (const std::string& change : how.first) which += (which.empty() ? "" : ", ") + change;
        said.push_back(everySession(how.second) + ": warning: the saved setup " + saved + " is no longer the setup " +
                       (one ? "its run record names" : "their run records name") + " (" + which +
                       " after the session): read as it is");
    }
    for (const auto& [saved, why] : unread)
        said.push_back(sessionsNamed(why.second) + ": warning: the saved setup " + saved + " " + why.first +
                       ": read without a setup");
    for (const std::string& line : said) messages << line << '\n';
    return out;
}

}  // namespace qbx::tool::logs
