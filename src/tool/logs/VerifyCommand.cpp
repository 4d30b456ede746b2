// qbxtool verify CKLOG [NKLOG] | DIR: checks log pairs.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "tool/Commands.h"
#include "tool/Tool.h"
#include "tool/logs/LogCommandLine.h"
#include "tool/logs/SessionSetup.h"
#include "tool/logs/Verify.h"

namespace qbx::tool {

namespace {

// Two files given that are no pair by name are taken as ColorKeeper's and
// NumberKeeper's log, in that order.
logs::LogFolder logsToVerify(const std::vector<std::string>& paths) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (paths.size() == 2 && fs::is_regular_file(paths[0], ec) && fs::is_regular_file(paths[1], ec)) {
        logs::LogFolder byName = logs::collectLogs(paths);
        if (byName.pairs.size() == 1 && byName.pairs[0].complete() && byName.notLogs.empty()) return byName;
        logs::LogPair pair;
        if (auto name = parseLogName(fs::path(paths[0]).filename().string()))
            pair.name = *name;
        else
            pair.name.suffix = fs::path(paths[0]).filename().string();
        pair.ckPath = paths[0];
        pair.nkPath = paths[1];
        logs::LogFolder folder;
        folder.pairs.push_back(pair);
        return folder;
    }
    for (const std::string& p : paths)
        if (!fs::exists(p, ec)) throw CouldNotRun(p + ": no such file or folder");
    return logs::collectLogs(paths);
}

}  // namespace

void addVerifyCommand(CLI::App& app, CommandResult& result) {
    struct Options {
        std::vector<std::string> paths;
        std::string setup;
        bool json = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand("verify", "Check log pairs: whole, mirrored, scored as the setup says.");
    cmd->footer(
        "Checks the header, every line's CR LF and time stamps (a session across midnight is fine), each\n"
        "deal, move, pass and hand end against the other log, the hand-end counts and scores, and the\n"
        "totals at the game end. Each session is checked under its own setup, saved beside the logs and\n"
        "named by its run record (--setup DIR reads every session with DIR's instead, and warns of each\n"
        "whose saved setup differs): the scores follow from PremiumRound and CostMove, the hands from the\n"
        "shoe. Names the first fault of each kind with file and line. A session that ended early\n"
        "is no fault, nor is a log altered as a whole after the session (a byte order mark, its line ends\n"
        "changed): it is read as the original and named once as a warning. A log whose bytes are not\n"
        "those its run record says the program wrote (changed, cut or extended after the session) is\n"
        "named as a warning too, with how it differs: its data are not what the program wrote.\n"
        "Exit 0 all whole, 1 a pair has faults, 2 could not run.\n\n"
        "Example:\n  qbxtool verify dataout/ck061226_417.txt\n  qbxtool verify --setup run/setup dataout");
    cmd->add_option("LOGS", options->paths,
                    "a log (its partner is found by name), a ColorKeeper and a NumberKeeper log, or folders")
        ->required();
    logs::addSetupOption(cmd, options->setup);
    cmd->add_flag("--json", options->json, "write the verdicts as JSON to standard output");
    cmd->callback([options, &result] {
        const std::optional<GameSetup> setup = logs::setupFromOption(options->setup);
        const logs::LogFolder folder = logsToVerify(options->paths);
        if (folder.pairs.empty()) throw CouldNotRun("no logs found in " + options->paths.front());
        const logs::SessionSetups setups = logs::setupsOfSessions(folder, setup ? &*setup : nullptr, false, std::cerr);
        const logs::VerifyResult verdict = logs::verifyLogs(folder, setups.of);
        if (options->json) {
            std::cout << json::write(logs::verifyJson(verdict), 2, json::KeyOrder::Sorted) << "\n";
            std::ostringstream quiet;
            logs::printVerify(verdict, quiet, std::cerr);
        } else {
            const ShownOutput shown(std::cout);
            logs::printVerify(verdict, std::cout, std::cerr);
        }
        result.exitCode = verdict.problems() ? kExitProblems : kExitOk;
    });
}

}  // namespace qbx::tool
