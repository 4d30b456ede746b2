// qbxtool sessions [DATAOUT]: one line per log pair of a folder.

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "tool/Commands.h"
#include "tool/Tool.h"
#include "tool/logs/LogCommandLine.h"
#include "tool/logs/SessionSetup.h"
#include "tool/logs/Verify.h"

namespace qbx::tool {

void addSessionsCommand(CLI::App& app, CommandResult& result) {
    struct Options {
        std::string folder = "dataout";
        bool json = false, noSimulated = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand("sessions", "List the sessions of a dataout folder: one line per log pair.");
    cmd->footer(
        "Each line: session (date_number), date, participant code, time of the first record, hands played,\n"
        "each role's total score, its setup (short hash and working directory, from its run record) and\n"
        "how the session ended, with what its run record adds: no run record (older logs), the program\n"
        "stopped before the end, the session it continues, what could not be saved, \"simulated\" for a\n"
        "session played by qbxtool simulate (--no-simulated leaves those out), a log changed after the\n"
        "session (its bytes not those its run record names; said on standard error). Each session is read\n"
        "with its own saved setup. Logs without their partner and files that are no log names are listed\n"
        "after the table. Exit 1 when a log has no partner or lines that are no\n"
        "records were left out (qbxtool verify names them), 2 when the folder holds no log.\n\n"
        "Example:\n  qbxtool sessions run/demo/dataout\n  qbxtool sessions --json dataout > sessions.json");
    cmd->add_option("DATAOUT", options->folder, "the folder of logs (default: dataout)");
    cmd->add_flag("--json", options->json, "write JSON to standard output instead of the table");
    logs::addNoSimulatedOption(cmd, options->noSimulated);
    cmd->callback([options, &result] {
        logs::LogFolder folder = logs::findLogs(options->folder);
        if (folder.pairs.empty()) throw CouldNotRun("no logs found in " + options->folder);
        logs::leaveOutSimulatedIfAsked(options->noSimulated, folder, std::cerr);
        const logs::SessionSetups setups = logs::setupsOfSessions(folder, nullptr, false, std::cerr);
        const logs::SessionsResult sessions = logs::listSessions(folder, setups.of);
        if (options->json)
            std::cout << json::write(logs::sessionsJson(sessions), 2, json::KeyOrder::Sorted) << "\n";
        else {
            const ShownOutput shown(std::cout);
            logs::printSessions(sessions, std::cout);
        }
        for (const std::string& w : sessions.warnings) std::cerr << w << "\n";
        if (sessions.linesLeftOut)
            std::cerr << counted(sessions.linesLeftOut, "unreadable line or log", "unreadable lines or logs")
                      << " left out: qbxtool verify names them\n";
        result.exitCode = sessions.unpaired.empty() && !sessions.linesLeftOut ? kExitOk : kExitProblems;
    });
}

}  // namespace qbx::tool
