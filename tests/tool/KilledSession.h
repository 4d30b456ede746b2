#pragma once
// A session that ended early, as a kill leaves it in dataout: the mix game's
// logs from tests/data cut where the session stopped, a run record that says
// "started", and the setup it was played with saved beside them as the
// program saves it (examples/setup with the mix game's parameters and shoe).

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "core/runrecord/Sha256.h"

#include "support/FakeDesktop.h"
#include "support/MixGame.h"
#include "tool/ToolTestSupport.h"

namespace qbx::tool::test {

namespace fs = std::filesystem;

inline const std::string kKilledSession = "071226_4711";
inline const std::string kSavedSetupHash = "5d1b0a4c9e8f7a6b5c4d3e2f1a0b9c8d7e6f5a4b3c2d1e0f9a8b7c6d5e4f3a2b";

// Where a log stops: after the `nth` line holding `marker` and `partBytes`
// bytes of the line after it (a record the kill cut); nth 0 keeps the whole
// log, and nth -1 keeps the lines before the first that holds `marker`.
struct LogCut {
    std::string marker;
    int nth = 0;
    size_t partBytes = 0;
};

inline std::string cutLog(const std::string& log, const LogCut& cut) {
    if (cut.nth == 0) return log;
    int seen = 0;
    size_t at = 0;
    while (at < log.size()) {
        const size_t end = log.find("\r\n", at) + 2;  // every line of the game's logs has its CR LF
        const bool holds = log.substr(at, end - at).find(cut.marker) != std::string::npos;
        if (holds && cut.nth < 0) return log.substr(0, at);
        at = end;
        if (holds && ++seen == cut.nth) break;
    }
    return log.substr(0, at) + log.substr(at, cut.partBytes);
}

// The mix game's parameters, as examples/setup's catalogue is named.
inline std::string mixParameters() {
    return qbx::test::parameterFile({{"ViewCard", "MIX"},
                                     {"ViewCkNk", "FALSE"},
                                     {"MaxRounds", "8"},
                                     {"PremiumRound", "2001"},
                                     {"FileMessages", "messages_en.ini"}});
}

// Writes work/dataout with the session's logs cut by `cut`, its run record
// and its saved setup, whose shoe is `shoe`. Returns the saved setup's
// working directory.
inline fs::path writeKilledSession(const fs::path& work, const LogCut& cut,
                                   const std::string& shoe = qbx::test::kMixShoe) {
    const fs::path dataout = work / "dataout";
    fs::create_directories(dataout);
    for (const char* role : {"ck", "nk"})
        writeFile(dataout / (role + kKilledSession + ".txt"),
                  cutLog(readFile(std::string(QBX_TEST_DATA) + "/mix_game_" + role + ".txt"), cut));
    const fs::path saved = dataout / "setups" / kSavedSetupHash;
    fs::create_directories(saved);
    fs::copy(fs::path(QBX_EXAMPLES) / "setup", saved / "setup", fs::copy_options::recursive);
    writeFile(saved / "setup" / "QBXParameter.ini", mixParameters());
    writeFile(saved / "setup" / "shoe.txt", shoe);
    // The files of the copy, as the record lists them.
    nlohmann::json files = nlohmann::json::array();
    for (const auto& entry : fs::recursive_directory_iterator(saved / "setup")) {
        if (!entry.is_regular_file()) continue;
        const std::string bytes = readFile(entry.path());
        files.push_back({{"path", "setup/" + entry.path().lexically_relative(saved / "setup").generic_string()},
                         {"bytes", bytes.size()},
                         {"sha256", qbx::sha256Hex(bytes)},
                         {"use", "other"}});
    }
    // What resume reads of the record; docs/log-format.md has the rest.
    const nlohmann::json record = {
        {"record", "QBXSolo run record"},
        {"format", 1},
        {"session", kKilledSession},
        {"state", "started"},
        {"end", nullptr},
        {"continues", nullptr},
        {"setup", {{"hash", kSavedSetupHash}, {"saved", "setups/" + kSavedSetupHash}, {"files", files}}}};
    writeFile(dataout / ("run" + kKilledSession + ".json"), record.dump(2));
    return saved;
}

}  // namespace qbx::tool::test
