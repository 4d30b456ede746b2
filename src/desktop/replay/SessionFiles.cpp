#include "desktop/replay/SessionFiles.h"

#include <filesystem>
#include <utility>

#include "core/eventlog/LogFormat.h"
#include "core/platform/System.h"
#include "core/runrecord/RunRecord.h"

namespace qbx::replayview {

namespace fs = std::filesystem;

namespace {

// The folder holding setup/ for a folder given: that folder itself, or the
// parent of a folder named setup.
bool workDirOf(const fs::path& given, fs::path& workDir, std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(given, ec)) {
        error = given.string() + ": no such folder";
        return false;
    }
    if (fs::is_directory(given / "setup", ec)) {
        workDir = given;
        return true;
    }
    if (given.filename() == "setup") {
        workDir = given.parent_path();
        return true;
    }
    error = given.string() + ": neither a folder holding setup/ nor a folder named setup";
    return false;
}

}  // namespace

bool findSessionFiles(const std::vector<std::string>& names, const std::string& setupDir, SessionFiles& out,
                      std::string& error) {
    fs::path ckPath, nkPath;
    std::optional<LogName> name;
    if (names.size() == 2) {
        const fs::path folder = fs::absolute(names[0]).lexically_normal();
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) {
            error = names[0] + ": no such folder";
            return false;
        }
        name = parseLogName("ck" + names[1] + ".txt");
        if (!name) {
            error = names[1] + ": not a session's name (like 071226_4711)";
            return false;
        }
        ckPath = folder / ("ck" + names[1] + ".txt");
        nkPath = folder / ("nk" + names[1] + ".txt");
        if (!fs::exists(ckPath, ec) && !fs::exists(nkPath, ec)) {
            error = names[0] + ": no logs of session " + names[1] + " (" + ckPath.filename().string() + ", " +
                    nkPath.filename().string() + ")";
            return false;
        }
    } else if (names.size() == 1) {
        const fs::path log = fs::absolute(names[0]).lexically_normal();
        std::error_code ec;
        if (!fs::exists(log, ec)) {
            error = names[0] + ": no such file";
            return false;
        }
        if (fs::is_directory(log, ec)) {
            error = names[0] + ": a folder; give a log, or the folder and a session (like 071226_4711)";
            return false;
        }
        name = parseLogName(log.filename().string());
        if (!name) {
            error = names[0] + ": not a log (a log is named like ck071226_4711.txt or nk071226_4711.txt)";
            return false;
        }
        const fs::path partner = log.parent_path() / partnerLogName(*name);
        ckPath = name->colorKeeper ? log : partner;
        nkPath = name->colorKeeper ? partner : log;
    } else {
        error = "give a log, or a folder of logs and a session (like dataout 071226_4711)";
        return false;
    }

    for (const fs::path& p : {ckPath, nkPath}) {
        std::error_code ec;
        if (!fs::exists(p, ec)) {
            error = p.string() + ": missing: a session is replayed from both its logs";
            return false;
        }
    }
    out.session = name->suffix;
    out.logFolder = ckPath.parent_path().string();
    out.ckPath = ckPath.string();
    out.nkPath = nkPath.string();
    out.logs.ckName = ckPath.filename().string();
    out.logs.nkName = nkPath.filename().string();
    for (const auto& [path, bytes] : {std::pair{ckPath, &out.logs.ckBytes}, std::pair{nkPath, &out.logs.nkBytes}}) {
        std::string why;
        if (!sys::readWholeFile(path.string(), *bytes, why)) {
            error = path.string() + ": cannot be read (" + why + ")";
            return false;
        }
    }

    // The run record: the screen, and the setup it saved.
    const fs::path recordPath = ckPath.parent_path() / runRecordName(out.session);
    std::optional<RunRecord> record;
    std::string recordError;
    std::error_code ec;
    if (fs::exists(recordPath, ec)) {
        out.recordPath = recordPath.string();
        record = readRunRecord(recordPath.string(), recordError);
        if (!record && setupDir.empty()) {
            error = recordPath.string() + ": " + recordError + "; give the experiment's folder with --setup DIR";
            return false;
        }
    }
    if (record && record->system.screenWidth > 0 && record->system.screenHeight > 0)
        out.screen = {record->system.screenWidth, record->system.screenHeight};

    fs::path workDir;
    if (!setupDir.empty()) {
        if (!workDirOf(fs::absolute(setupDir).lexically_normal(), workDir, error)) return false;
        out.setupFrom = "the setup given (" + (workDir / "setup").string() + ")";
    } else if (!record) {
        error = "no run record (" + recordPath.filename().string() +
                ") beside the logs: give the experiment's folder with --setup DIR";
        return false;
    } else {
        const std::string saved = record->savedSetupDir();
        if (saved.empty()) {
            error =
                recordPath.filename().string() + " names no saved setup: give the experiment's folder with --setup DIR";
            return false;
        }
        workDir = fs::path(saved).lexically_normal();
        if (!fs::is_directory(workDir / "setup", ec)) {
            error = "the saved setup " + (workDir / "setup").string() +
                    " is missing: give the experiment's folder with --setup DIR";
            return false;
        }
        out.setupFrom = "the setup saved with the session (" + (workDir / "setup").string() + ")";
    }
    out.workDir = workDir.string();
    out.logs.setupFolder = out.workDir;
    return true;
}

output::Inputs inputsOf(const SessionFiles& files) {
    output::Inputs inputs;
    inputs.files = {files.ckPath, files.nkPath};
    if (!files.recordPath.empty()) inputs.files.push_back(files.recordPath);
    inputs.folders = {files.logFolder};
    inputs.trees = {(fs::path(files.workDir) / "setup").string()};
    // The experiment the logs were written in keeps its setup beside them.
    const fs::path beside = fs::path(files.logFolder).parent_path() / "setup";
    if (sys::isDirectory(beside.string())) inputs.trees.push_back(beside.string());
    return inputs;
}

}  // namespace qbx::replayview
