// qbxtool report DIR -o report.html [--setup DIR] [--force]

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <optional>

#include "tool/Commands.h"
#include "tool/Tool.h"
#include "tool/logs/LogCommandLine.h"
#include "tool/logs/Report.h"
#include "tool/logs/SessionSetup.h"

namespace qbx::tool {

void addReportCommand(CLI::App& app, CommandResult& result) {
    struct Options {
        std::vector<std::string> paths;
        std::string output, setup, title = "QBXSolo sessions";
        bool force = false, noSimulated = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* cmd =
        app.add_subcommand("report", "Make one HTML page of a day of sessions: table, summary, time lines.");
    cmd->footer(
        "One self-contained file (inline SVG and CSS, no script): the sessions, a summary across them,\n"
        "and for each session the actions per hand and a time line of every hand (moves, passes,\n"
        "pick-ups and looks of each role from the deal to the hand's end and its score), and each\n"
        "session's setup and program version. Each session is read with its own saved setup (its run\n"
        "record names it): the goals come from its shoe, and the solver's fewest actions are drawn;\n"
        "--setup DIR reads every session with DIR's instead, warning of each whose setup differs. Lines that are no\n"
        "records are named with file and line and left out (exit 1). The page is never an input, a log,\n"
        "or a file in a folder being read; an existing file is replaced only with --force.\n\n"
        "Example:\n  qbxtool report dataout -o report.html --setup setup");
    cmd->add_option("LOGS", options->paths, "folders of logs, or log files")->required();
    cmd->add_option("-o,--output", options->output, "the page to write")->required();
    logs::addSetupOption(cmd, options->setup);
    cmd->add_option("--title", options->title, "the page's title");
    logs::addForceOption(cmd, options->force);
    logs::addNoSimulatedOption(cmd, options->noSimulated);
    cmd->callback([options, &result] {
        const std::optional<GameSetup> setup = logs::setupFromOption(options->setup);
        checkOutputs({{"-o", options->output}}, logs::inputsOf(options->paths, setup), options->force);
        logs::LogFolder folder = logs::logsToConvert(options->paths, std::cerr);
        logs::leaveOutSimulatedIfAsked(options->noSimulated, folder, std::cerr);
        const logs::SessionSetups setups = logs::setupsOfSessions(folder, setup ? &*setup : nullptr, true, std::cerr);
        const logs::ReportCounts counts =
            logs::writeReport(folder, options->output, setups.of, setup ? &*setup : nullptr, options->title, std::cerr);
        std::cerr << options->output << ": " << counted(counts.sessions, "session", "sessions") << ", "
                  << counted(counts.hands, "hand", "hands") << "\n";
        logs::tellSessionsWithFaults(counts.sessionsWithFaults);
        result.exitCode = counts.unpaired || counts.linesLeftOut ? kExitProblems : kExitOk;
    });
}

}  // namespace qbx::tool
